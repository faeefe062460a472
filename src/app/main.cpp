#include "core/runner/largepages.h"
#include "ui/appstyle.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

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

    // The installed desktop entry and icon carry this name; the desktop finds the window by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.fulmaro.Fulmaro"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.fulmaro.Fulmaro")));

    fulmaro::MainForm form;
    // Files named on the command line (the desktop entry's %F) join the list once the tools
    // are set, as if they had been dropped onto it.
    QStringList files;
    for (const QString &argument : app.arguments().mid(1))
        files << QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());
    if (!files.isEmpty())
        QObject::connect(&form, &fulmaro::MainForm::startupDone, &form,
                         [&form, files] { form.addVideoFiles(files); });
    form.show();
    return app.exec();
}
