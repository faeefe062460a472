#include "core/base/endingsignals.h"
#include "core/runner/largepages.h"
#include "ui/appstyle.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/queue/renderactions.h"
#include "ui/startfiles.h"
#include "ui/translations.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    fulmaro::restartWithLargePages(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fulmaro"));
    // The toolkit's own dialogs and buttons in the user's language.
    fulmaro::installQtTranslations(app);
    fulmaro::launchUpdater(QCoreApplication::applicationDirPath(),
                           QCoreApplication::applicationFilePath());

    QString styleError;
    if (!fulmaro::applyLightStyle(app, &styleError))
        fulmaro::showMsg(fulmaro::MsgDlgType::mtError, styleError);

    // The installed desktop entry and icon carry this name; the desktop finds the window by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.fulmaro.Fulmaro"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.fulmaro.Fulmaro")));

    fulmaro::MainForm form;
    // A logout, a shutdown or a closed terminal ends the program as closing its window does:
    // the settings are kept, and every tool it started (a render, a preview) is ended with its
    // unfinished files when the windows go.
    fulmaro::EndingSignals ending;
    QObject::connect(&ending, &fulmaro::EndingSignals::arrived, &form, [&form] {
        form.close();
        QCoreApplication::quit();
    });
    fulmaro::addFilesOnStartup(&form, app.arguments().mid(1));
    // A run the program did not end last time is offered to be continued.
    QObject::connect(
        &form, &fulmaro::MainForm::startupDone, &form,
        [&form] { form.renderActions->offerUnfinishedRun(); }, Qt::QueuedConnection);
    form.show();
    return app.exec();
}
