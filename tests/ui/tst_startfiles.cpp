// The program started with file names (as the desktop entry does with %F) and nothing in the
// work folder's Bin: the files join the list, probed by the system's tools, which pass the check.
#include "core/base/workfolders.h"
#include "core/videolist/videolistmodel.h"
#include "support/testsupport.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/startfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <csignal>

using namespace fulmaro;

class TestStartFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filesOfTheCommandLineJoinTheList();
    void endingSignalClosesTheWindow_data();
    void endingSignalClosesTheWindow();
};

void TestStartFiles::filesOfTheCommandLineJoinTheList()
{
    const WorkFolders folders = WorkFolders::under(testsupport::isolateDataHome());
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("deniz kıyısı.mp4"));
    const QString second = dir.filePath(QStringLiteral("alt/iki.mkv"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("alt"))));
    QVERIFY(testsupport::makeClip(first, 1, true));
    QVERIFY(testsupport::makeClip(second, 2, false));
    QStringList messages;
    setMsgHook([&](MsgDlgType, const QString &text) {
        messages << text;
        return kMsgClosed;
    });

    // Named relative to the folder the program starts in.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    MainForm form(folders);
    addFilesOnStartup(&form, {QStringLiteral("deniz kıyısı.mp4"), second});
    QVERIFY(QDir::setCurrent(previous));
    auto *model = qobject_cast<VideoListModel *>(form.videoList->model());
    QVERIFY(model);
    QCOMPARE(model->count(), 0); // not before the tools are set
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE_WITH_TIMEOUT(model->count(), 2, 30000);
    QCOMPARE(model->item(0).caption, first);
    QCOMPARE(model->item(1).caption, second);
    QTRY_COMPARE_WITH_TIMEOUT(model->item(1).duration, QStringLiteral("00:00:02"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(model->item(0).resolution, QStringLiteral("320x240"), 30000);

    QVERIFY(!QFileInfo::exists(folders.binDir));
    QVERIFY(form.actRender->isEnabled());
    QVERIFY(form.checkFile(form.tools.ffMpeg));
    QCOMPARE(messages, QStringList());

    // Once the window runs, names are added at once.
    addFilesOnStartup(&form, {first});
    QTRY_COMPARE_WITH_TIMEOUT(model->count(), 3, 30000);
    setMsgHook({});
}

// A logout, a shutdown or a closed terminal (SIGTERM, SIGHUP) ends the program as its close box
// does: the window closes and keeps the output folder, the tools end with the windows, and the
// program exits normally instead of being cut off by the signal.
void TestStartFiles::endingSignalClosesTheWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestStartFiles::endingSignalClosesTheWindow()
{
    QFETCH(int, signal);
    QTemporaryDir data;
    const WorkFolders folders = WorkFolders::under(data.path());
    folders.create();
    QVERIFY(!QFileInfo::exists(folders.settingsFile()));
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(FULMARO_APP));
    QVERIFY(app.waitForStarted());
    // The handler is in place once the process catches the signal.
    const auto catches = [&app, signal] {
        QFile status(QStringLiteral("/proc/%1/status").arg(app.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1) != 0;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(catches(), 30000);
    ::kill(pid_t(app.processId()), signal);
    QVERIFY(app.waitForFinished(30000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    // Closing saved the settings file, as the close box does.
    QVERIFY(QFileInfo::exists(folders.settingsFile()));
}

QTEST_MAIN(TestStartFiles)
#include "tst_startfiles.moc"
