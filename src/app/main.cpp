#include "app/appstyle.h"
#include "app/mainform.h"
#include "dialogs/msgform.h"
#include "runner/largepages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// Where the updater fetches the description of the newest version.
const char kUpdateManifestUrl[] = "http://www.fulmaro.com/update/version.xml";

void launchUpdater()
{
    const QString programFile = QCoreApplication::applicationFilePath();
#ifdef Q_OS_WIN
    const QString updater = QCoreApplication::applicationDirPath() + QStringLiteral("/Updater.exe");
#else
    const QString updater = QCoreApplication::applicationDirPath() + QStringLiteral("/Updater");
#endif
    if (!QFileInfo::exists(updater))
        return;
    // Not waited for; its outcome is its own business.
    QProcess::startDetached(updater, {QDir::toNativeSeparators(programFile),
                                      QString::fromLatin1(kUpdateManifestUrl)});
}

} // namespace

int main(int argc, char *argv[])
{
    fulmaro::restartWithLargePages(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fulmaro"));
    launchUpdater();

    QString styleError;
    if (!fulmaro::applyLightStyle(app, &styleError))
        fulmaro::showMsg(fulmaro::MsgDlgType::mtError, styleError);

    fulmaro::MainForm form;
    form.show();
    return app.exec();
}
