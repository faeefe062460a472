// Render jobs with the real encoder when things go wrong around them: a full disk, an output
// folder that goes away or turns read-only, a source that is gone before its turn, an encoder
// killed from outside, missing, or failing its check. Each job says why; the run goes on where it
// can; no broken file is ever left under an output's final name.

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"
#include "core/videolist/mediaprobe.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace fulmaro;

namespace {

using testsupport::runCommand;

// A mount made for one test, undone however the test ends.
class Mount
{
public:
    Mount() = default;
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;
    ~Mount() { undo(); }

    // A small memory file system: a disk that fills up.
    bool tmpfs(const QString &at, const QString &size)
    {
        m_at = at;
        m_done =
            runCommand(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", at});
        return m_done;
    }
    // The folder seen through a read-only view of itself; files already open stay writable.
    bool readOnly(const QString &at)
    {
        m_at = at;
        m_done = runCommand(QStringLiteral("mount"), {"--bind", at, at});
        if (m_done && !runCommand(QStringLiteral("mount"), {"-o", "remount,bind,ro", at}))
            undo();
        return m_done;
    }
    void undo()
    {
        if (m_done)
            runCommand(QStringLiteral("umount"), {m_at});
        m_done = false;
    }

private:
    QString m_at;
    bool m_done = false;
};

// The processes of a process group whose program is name.
QList<qint64> groupMembers(qint64 group, const QString &name)
{
    QList<qint64> found;
    for (const qint64 pid : testsupport::processIds()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QByteArray comm =
            text.mid(text.indexOf('(') + 1, text.lastIndexOf(')') - text.indexOf('(') - 1);
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toLongLong() == group && comm == name.toUtf8())
            found << pid;
    }
    return found;
}

QStringList filesIn(const QString &folder)
{
    // A segment folder left behind counts as a file left.
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestQueueFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void finalNameOnlyOnSuccess_data();
    void finalNameOnlyOnSuccess();
    void diskFull();
    void outputFolderGoesDuringRun_data();
    void outputFolderGoesDuringRun();
    void sourceGoneBeforeItsTurn_data();
    void sourceGoneBeforeItsTurn();
    void encoderKilledFromOutside_data();
    void encoderKilledFromOutside();
    void encoderMissingOrRefused_data();
    void encoderMissingOrRefused();

private:
    // The jobs the window's queue makes for these files, at a small size.
    QList<RenderJob> jobsFor(const QStringList &files, const QString &outputFolder,
                             const QString &bitrate = QStringLiteral("500"));
    QueueOptions options() const;

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    ToolSet m_tools;
    QString m_short; // 1 s
    QString m_long;  // long enough to act on while it renders
    QString m_out;
};

void TestQueueFaults::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_tools = ToolSet::configured(m_folders.binDir);
    m_short = m_dir.filePath(QStringLiteral("kısa.mp4"));
    m_long = m_dir.filePath(QStringLiteral("uzun.mp4"));
    QVERIFY(testsupport::makeClip(m_short, 1, true, QStringLiteral("160x120")));
    QVERIFY(testsupport::makeClip(m_long, 90, true, QStringLiteral("320x240")));
}

void TestQueueFaults::init()
{
    static int n = 0;
    m_out = m_dir.filePath(QStringLiteral("out%1").arg(++n));
    QVERIFY(QDir().mkpath(m_out));
}

QList<RenderJob> TestQueueFaults::jobsFor(const QStringList &files, const QString &outputFolder,
                                          const QString &bitrate)
{
    QList<VideoItem> items;
    for (const QString &file : files) {
        const auto item = probeVideoFile(m_tools, m_folders.workDir, file);
        if (!item)
            return {};
        items << *item;
    }
    RenderSettings settings;
    settings.cbRenderScale = 5; // 360p
    settings.cbPreset = 2;      // slow enough to act on the long clip while it renders
    settings.cbBitrate = bitrate;
    return buildRenderJobs(items, settings, BuildFolders::from(m_folders, m_tools), outputFolder);
}

QueueOptions TestQueueFaults::options() const
{
    QueueOptions options;
    options.encoderPath = m_tools.path(m_tools.ffMpeg);
    options.workDir = m_folders.tempDir;
    return options;
}

// With the real encoder: an older file of the output's name is replaced only by a job that
// succeeded; a stopped or failed job leaves no file under the final name and none of its own.
void TestQueueFaults::finalNameOnlyOnSuccess_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("state");
    QTest::newRow("succeeded") << "ok" << int(JobState::Succeeded);
    QTest::newRow("stopped") << "stop" << int(JobState::Stopped);
    QTest::newRow("failed") << "fail" << int(JobState::Failed);
}

void TestQueueFaults::finalNameOnlyOnSuccess()
{
    QFETCH(QString, how);
    QFETCH(int, state);
    const QString source = how == QLatin1String("ok") ? m_short : m_long;
    QList<RenderJob> jobs = jobsFor({source}, m_out);
    QCOMPARE(jobs.size(), 1);
    if (how == QLatin1String("fail")) {
        // The long clip is encoded in segments: each of its runs fails.
        jobs[0].command += QStringLiteral(" -c:v no-such-encoder");
        for (QString &segment : jobs[0].segments)
            segment += QStringLiteral(" -c:v no-such-encoder");
    }
    for (const bool older : {false, true}) {
        const QString final = jobs[0].outputPath;
        QFile::remove(final);
        if (older) {
            QFile file(final);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("older");
        }
        RenderQueue queue(jobs, options());
        QSignalSpy finished(&queue, &RenderQueue::finished);
        queue.start();
        if (how == QLatin1String("stop")) {
            QTRY_VERIFY_WITH_TIMEOUT(queue.status(0).percent.has_value(), 60000);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(queue.status(0).partPath).size() > 0, 60000);
            queue.stop();
        }
        QVERIFY(finished.wait(180000));
        QCOMPARE(int(queue.status(0).state), state);
        if (state == int(JobState::Succeeded)) {
            QVERIFY(qAbs(testsupport::probedSeconds(final) - 1.0) < 0.2);
            QCOMPARE(filesIn(m_out), QStringList{QFileInfo(final).fileName()});
        } else if (older) {
            QFile file(final);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("older"));
            QCOMPARE(filesIn(m_out), QStringList{QFileInfo(final).fileName()});
        } else {
            QCOMPARE(filesIn(m_out), QStringList());
        }
    }
}

// The disk fills up: the job says so, its partial file is gone, the next job is still tried.
// Where no file system can be mounted, an encoder that fails the way a full disk makes it fail.
void TestQueueFaults::diskFull()
{
    const QString small = m_dir.filePath(QStringLiteral("küçük disk"));
    QVERIFY(QDir().mkpath(small));
    Mount mount;
    QueueOptions opts = options();
    if (!mount.tmpfs(small, QStringLiteral("300k"))) {
        const QString fake = m_dir.filePath(QStringLiteral("full-disk-encoder"));
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor last; do :; done\nhead -c 4096 /dev/zero > \"$last\"\n"
                     "echo \"av_interleaved_write_frame(): No space left on device\" >&2\n"
                     "exit 1\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        opts.encoderPath = fake;
        qWarning("no tmpfs here: a fake encoder plays the full disk");
    }
    // Five seconds at 2000 kbit/s need far more than the disk holds; one second at 100 fits.
    QList<RenderJob> jobs = jobsFor({m_long, m_short}, small, QStringLiteral("2000"));
    QCOMPARE(jobs.size(), 2);
    jobs[0].command += QStringLiteral(" -t 5");
    jobs[0].segments.clear(); // one encode, cut short
    jobs[1].command.replace(QStringLiteral("-b:v 2000k"), QStringLiteral("-b:v 100k"));
    RenderQueue queue(jobs, opts);
    QVERIFY(!queue.runAll());
    QCOMPARE(queue.status(0).state, JobState::Failed);
    QCOMPARE(queue.status(0).reason, QStringLiteral("Çıkış diskinde yer kalmadı."));
    QVERIFY(!QFile::exists(jobs[0].outputPath));
    QVERIFY(!QFile::exists(queue.status(0).partPath));
    // The second job ran after the first one's space was given back.
    QVERIFY(queue.status(1).started.isValid());
    if (opts.encoderPath == options().encoderPath) {
        QCOMPARE(queue.status(1).state, JobState::Succeeded);
        QCOMPARE(filesIn(small), QStringList{QFileInfo(jobs[1].outputPath).fileName()});
    }
}

// The output folder is removed, or turns read-only, while a job writes into it: that job and the
// next fail with the reason; nothing appears under a final name.
void TestQueueFaults::outputFolderGoesDuringRun_data()
{
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("reason");
    QTest::newRow("removed") << true << QStringLiteral("Çıkış klasörü bulunamadı.");
    QTest::newRow("read-only") << false << QStringLiteral("Çıkış klasörüne yazılamıyor.");
}

void TestQueueFaults::outputFolderGoesDuringRun()
{
    QFETCH(bool, remove);
    QFETCH(QString, reason);
    const QList<RenderJob> jobs = jobsFor({m_long, m_short}, m_out);
    QCOMPARE(jobs.size(), 2);
    // Ten seconds are enough to act on and end soon after.
    QList<RenderJob> cut = jobs;
    cut[0].command += QStringLiteral(" -t 10");
    cut[0].segments.clear(); // one encode, cut short
    cut[0].plannedSeconds = 10;
    RenderQueue queue(cut, options());
    QSignalSpy finished(&queue, &RenderQueue::finished);
    Mount mount;
    queue.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(queue.status(0).partPath).size() > 0, 60000);
    if (remove) {
        QVERIFY(QDir(m_out).removeRecursively());
    } else if (::geteuid() == 0) {
        if (!mount.readOnly(m_out)) {
            queue.stop();
            QVERIFY(finished.wait(60000));
            QSKIP("neither permissions nor a read-only mount can stop this user writing");
        }
    } else {
        QVERIFY(QFile::setPermissions(m_out, QFile::ReadOwner | QFile::ExeOwner));
    }
    QVERIFY(finished.wait(180000));
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(queue.status(i).state, JobState::Failed);
        QCOMPARE(queue.status(i).reason, reason);
        QVERIFY(!QFile::exists(jobs[i].outputPath));
    }
    mount.undo();
    QFile::setPermissions(m_out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A listed source deleted or made unreadable while an earlier job renders fails at its turn with
// the reason; the job after it renders.
void TestQueueFaults::sourceGoneBeforeItsTurn_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::newRow("deleted") << "delete" << QStringLiteral("Kaynak dosya bulunamadı.");
    QTest::newRow("a folder in its place")
        << "folder" << QStringLiteral("Kaynak dosya kullanılamıyor: Bu bir klasör, dosya değil.");
    QTest::newRow("no read permission") << "chmod" << QStringLiteral("Kaynak dosya okunamadı.");
}

void TestQueueFaults::sourceGoneBeforeItsTurn()
{
    QFETCH(QString, how);
    QFETCH(QString, reason);
    if (how == QLatin1String("chmod") && ::geteuid() == 0)
        QSKIP("permissions do not stop this user reading");
    const QString victim = m_dir.filePath(QStringLiteral("kurban %1.mp4").arg(how));
    QVERIFY(QFile::copy(m_short, victim));
    const QList<RenderJob> jobs = jobsFor({m_short, victim, m_short}, m_out);
    QCOMPARE(jobs.size(), 3);
    RenderQueue queue(jobs, options());
    connect(&queue, &RenderQueue::jobStarted, &queue, [&](int index) {
        if (index != 0)
            return;
        QFile::remove(victim);
        if (how == QLatin1String("folder"))
            QDir().mkpath(victim);
        if (how == QLatin1String("chmod")) {
            QFile::copy(m_short, victim);
            QFile::setPermissions(victim, QFileDevice::Permissions());
        }
    });
    QVERIFY(!queue.runAll());
    QCOMPARE(queue.status(0).state, JobState::Succeeded);
    QCOMPARE(queue.status(1).state, JobState::Failed);
    QCOMPARE(queue.status(1).reason, reason);
    QCOMPARE(queue.status(2).state, JobState::Succeeded);
    QVERIFY(!QFile::exists(jobs[1].outputPath));
    QDir(victim).removeRecursively();
    QFile::remove(victim);
}

// Somebody else ends the encoder: the job says so and the next one renders.
void TestQueueFaults::encoderKilledFromOutside_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("kill") << int(SIGKILL);
    QTest::newRow("terminate") << int(SIGTERM);
}

void TestQueueFaults::encoderKilledFromOutside()
{
    QFETCH(int, signal);
    const QList<RenderJob> jobs = jobsFor({m_long, m_short}, m_out);
    QCOMPARE(jobs.size(), 2);
    RenderQueue queue(jobs, options());
    QSignalSpy finished(&queue, &RenderQueue::finished);
    queue.start();
    QTRY_VERIFY_WITH_TIMEOUT(queue.status(0).percent.has_value() && queue.currentRun(), 60000);
    const QList<qint64> encoders = groupMembers(queue.currentRun()->processId(), "ffmpeg");
    QCOMPARE(encoders.size(), 1);
    QCOMPARE(::kill(pid_t(encoders.first()), signal), 0);
    QVERIFY(finished.wait(180000));
    QCOMPARE(queue.status(0).state, JobState::Failed);
    QCOMPARE(queue.status(0).reason,
             QStringLiteral("Kodlayıcı dışarıdan sonlandırıldı (sinyal %1).").arg(signal));
    QVERIFY(!QFile::exists(jobs[0].outputPath));
    QCOMPARE(queue.status(1).state, JobState::Succeeded);
    QCOMPARE(filesIn(m_out), QStringList{QFileInfo(jobs[1].outputPath).fileName()});
}

// An encoder that fails its check is asked about once and ends the run; one that is gone ends it
// at the first job with the reason.
void TestQueueFaults::encoderMissingOrRefused_data()
{
    QTest::addColumn<bool>("checkFails");
    QTest::addColumn<QString>("reason");
    QTest::newRow("check fails") << true
                                 << QStringLiteral(
                                        "Kodlayıcı denetimden geçmedi; iş çalıştırılmadı.");
    QTest::newRow("missing") << false << QStringLiteral("Kodlayıcı bulunamadı.");
}

void TestQueueFaults::encoderMissingOrRefused()
{
    QFETCH(bool, checkFails);
    QFETCH(QString, reason);
    const QList<RenderJob> jobs = jobsFor({m_short, m_short, m_short}, m_out);
    QCOMPARE(jobs.size(), 3);
    QueueOptions opts = options();
    if (!checkFails)
        opts.encoderPath = m_folders.binDir + QStringLiteral("yok-ffmpeg");
    RenderQueue queue(jobs, opts);
    int asked = 0;
    if (checkFails) {
        queue.toolCheck = [&asked](int) {
            ++asked;
            return false;
        };
    }
    QVERIFY(!queue.runAll());
    QCOMPARE(asked, checkFails ? 1 : 0);
    QVERIFY(queue.halted());
    QCOMPARE(queue.status(0).state, checkFails ? JobState::Skipped : JobState::Failed);
    QCOMPARE(queue.status(0).reason, reason);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(queue.status(i).state, JobState::Skipped);
        QVERIFY(!queue.status(i).started.isValid());
    }
    QCOMPARE(filesIn(m_out), QStringList());
}

QTEST_GUILESS_MAIN(TestQueueFaults)
#include "tst_queue_faults.moc"
