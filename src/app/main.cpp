#include "ui/appstyle.h"
#include "ui/mainform.h"
#include "ui/dialogs/msgform.h"
#include "core/runner/largepages.h"

#include <QApplication>


int main(int argc, char *argv[])
{
    fulmaro::restartWithLargePages(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fulmaro"));
    fulmaro::launchUpdater(QCoreApplication::applicationDirPath(),
                           QCoreApplication::applicationFilePath());

    QString styleError;
    if (!fulmaro::applyLightStyle(app, &styleError))
        fulmaro::showMsg(fulmaro::MsgDlgType::mtError, styleError);

    fulmaro::MainForm form;
    form.show();
    return app.exec();
}
