// The render jobs and the job runner without a window: output names, the order and outcome of
// jobs, stopping, and the tool check. The encoder is the scriptable fake tool.

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/jobreason.h"
#include "core/queue/outputfiles.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"
#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videoitem.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

// The fake writes its output file first, as the encoder does, then plays its steps.
RenderJob fakeJob(const QString &steps, const QString &output)
{
    RenderJob job;
    job.name = QStringLiteral(FAKE_TOOL); // a source that exists
    job.command = QStringLiteral(" write 16 ") + steps;
    job.outputPath = output;
    return job;
}

const QString kDurationStep =
    QStringLiteral("out 'Input #0\\n  Duration: 00:00:10.00, start: 0\\n'");

} // namespace

class TestQueueCore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void baseName_data();
    void baseName();
    void uniquePaths_data();
    void uniquePaths();
    void buildJobs();
    void outcomes();
    void stopEndsTree();
    void skipEndsOneJob();
    void severalAtOnce_data();
    void severalAtOnce();
    void toolCheckStopsRun();
    void refusedRowFailsAtOnce();
    void acrossMidnight();
    void partPath_data();
    void partPath();
    void outputTakesFinalNameOnlyOnSuccess_data();
    void outputTakesFinalNameOnlyOnSuccess();
    void partNameNeverTakesAFile();
    void twoPasses_data();
    void twoPasses();
    void failureReason_data();
    void failureReason();
    void inputRefused_data();
    void inputRefused();
};

void TestQueueCore::baseName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << QStringLiteral("/v/clip.mp4") << QStringLiteral("clip");
    QTest::newRow("last extension only")
        << QStringLiteral("/v/clip.final.mov") << QStringLiteral("clip.final");
    QTest::newRow("none") << QStringLiteral("/v/clip") << QStringLiteral("clip");
    QTest::newRow("dot in folder") << QStringLiteral("/v.d/clip") << QStringLiteral("clip");
    QTest::newRow("blanks") << QStringLiteral("/v/my clip.avi") << QStringLiteral("my clip");
}

void TestQueueCore::baseName()
{
    QFETCH(QString, input);
    QFETCH(QString, base);
    QCOMPARE(outputBaseName(input), base);
}

void TestQueueCore::uniquePaths_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("reserved");
    QTest::addColumn<QStringList>("unique");
    QTest::newRow("distinct") << QStringList{"/o/a.mkv", "/o/b.mkv"} << QStringList{}
                              << QStringList{"/o/a.mkv", "/o/b.mkv"};
    QTest::newRow("same base name")
        << QStringList{"/o/clip.final.mkv", "/o/clip.final.mkv"} << QStringList{}
        << QStringList{"/o/clip.final.mkv", "/o/clip.final (2).mkv"};
    QTest::newRow("three") << QStringList{"/o/a.mp4", "/o/a.mp4", "/o/b.mp4", "/o/a.mp4"}
                           << QStringList{}
                           << QStringList{"/o/a.mp4", "/o/a (2).mp4", "/o/b.mp4", "/o/a (3).mp4"};
    QTest::newRow("taken by a numbered one")
        << QStringList{"/o/a (2).mp4", "/o/a.mp4", "/o/a.mp4"} << QStringList{}
        << QStringList{"/o/a (2).mp4", "/o/a.mp4", "/o/a (3).mp4"};
    QTest::newRow("other spelling") << QStringList{"/o/a.mp4", "/o//x/../a.mp4"} << QStringList{}
                                    << QStringList{"/o/a.mp4", "/o//x/../a (2).mp4"};
    QTest::newRow("a listed source")
        << QStringList{"/v/a.mp4", "/o/b.mp4"} << QStringList{"/v/a.mp4", "/v/b.mp4"}
        << QStringList{"/v/a (2).mp4", "/o/b.mp4"};
    QTest::newRow("no extension, dotted folder")
        << QStringList{"/o.d/a", "/o.d/a"} << QStringList{} << QStringList{"/o.d/a", "/o.d/a (2)"};
}

void TestQueueCore::uniquePaths()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, reserved);
    QFETCH(QStringList, unique);
    QCOMPARE(fulmaro::uniquePaths(paths, reserved), unique);
}

void TestQueueCore::buildJobs()
{
    QList<VideoItem> items(3);
    items[0].caption = QStringLiteral("/v/clip.final.mov");
    items[1].caption = QStringLiteral("/w/clip.final.mkv");
    items[1].checked = true;
    items[2].caption = QStringLiteral("/w/other.avi");
    for (VideoItem &item : items) {
        item.duration = QStringLiteral("00:00:05");
        item.hasAudio = true;
        item.frameRate = QStringLiteral("30/1");
    }
    RenderSettings settings;
    settings.cbExtension = QStringLiteral("mkv");
    BuildFolders folders;
    folders.tempDir = QStringLiteral("/t/");
    const QList<RenderJob> jobs = buildRenderJobs(items, settings, folders, QStringLiteral("/o"));
    QCOMPARE(jobs.size(), 3);
    QStringList outputs;
    for (int i = 0; i < jobs.size(); ++i) {
        QCOMPARE(jobs[i].name, items[i].caption);
        QCOMPARE(jobs[i].position, i);
        QVERIFY(jobs[i].command.startsWith(QLatin1Char(' ')));
        QVERIFY(jobs[i].command.contains(quoteArg(items[i].caption)));
        outputs << jobs[i].outputPath;
    }
    QCOMPARE(outputs, QStringList({"/o/clip.final.mkv", "/o/clip.final (2).mkv", "/o/other.mkv"}));
    QCOMPARE(renderCommandLine(QStringLiteral("/b/ffmpeg"), jobs[2]),
             QStringLiteral("\"/b/ffmpeg\" -y ") + jobs[2].command +
                 QStringLiteral(" \"/o/other.mkv\""));
}

// Every job runs, in order, whatever became of the one before; each shows how it ended.
void TestQueueCore::outcomes()
{
    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    QList<RenderJob> jobs = {
        fakeJob(kDurationStep + QStringLiteral(" err 'frame=1 time=00:00:05.00 bitrate=1\\r'"
                                               " exit 0"),
                out + "ok.mp4"),
        fakeJob(QStringLiteral("err 'ok.mp4: Invalid data found when processing input\\n' exit 1"),
                out + "bad.mp4"),
        fakeJob(kDurationStep + QStringLiteral(" crash"), out + "crash.mp4"),
        fakeJob(kDurationStep + QStringLiteral(" err 'time=00:00:02.00 bitrate=1\\r' exit 0"),
                out + "last.mp4"),
    };
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue(jobs, options);
    QSignalSpy started(&queue, &RenderQueue::jobStarted);
    QVERIFY(!queue.runAll());

    QCOMPARE(started.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(started.at(i).at(0).toInt(), i);

    QCOMPARE(queue.status(0).state, JobState::Succeeded);
    QCOMPARE(queue.status(0).expectedSeconds, qint64(10));
    QCOMPARE(queue.status(0).percent, std::optional<qint64>(100));

    QCOMPARE(queue.status(1).state, JobState::Failed);
    QCOMPARE(queue.status(1).runEnd, RunEnd::Failed);
    QCOMPARE(queue.status(1).lastLines,
             QStringList{QStringLiteral("ok.mp4: Invalid data found when processing input")});
    QVERIFY(!queue.status(1).percent);

    QCOMPARE(queue.status(2).state, JobState::Failed);
    QVERIFY(!queue.status(2).lastLines.isEmpty());

    QCOMPARE(queue.status(3).state, JobState::Succeeded);
    QCOMPARE(queue.status(3).percent, std::optional<qint64>(100));
    for (int i = 0; i < 4; ++i) {
        QVERIFY(queue.status(i).started.isValid());
        QVERIFY(queue.status(i).ended >= queue.status(i).started);
    }

    // An encoder that cannot be found fails like any other.
    options.encoderPath = dir.path() + QStringLiteral("/missing");
    RenderQueue missing({fakeJob(QStringLiteral("exit 0"), out + "x.mp4")}, options);
    QVERIFY(!missing.runAll());
    QCOMPARE(missing.status(0).state, JobState::Failed);
    QVERIFY(!missing.status(0).lastLines.isEmpty());
}

// A stop ends the running job's whole process tree at once and skips the rest, while the
// encoder prints nothing.
void TestQueueCore::stopEndsTree()
{
    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(QStringLiteral("exit 0"), out + "1.mp4"),
                       fakeJob(kDurationStep + QStringLiteral(" spawn hang"), out + "2.mp4"),
                       fakeJob(QStringLiteral("exit 0"), out + "3.mp4")},
                      options);
    QSignalSpy finished(&queue, &RenderQueue::finished);
    queue.start();
    QTRY_VERIFY_WITH_TIMEOUT(queue.currentIndex() == 1 && queue.currentRun() &&
                                 queue.progress().log().contains(QLatin1String("child=")),
                             20000);
    const qint64 group = queue.currentRun()->processId();
    QVERIFY(testsupport::groupAlive(group));
    queue.stop();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::groupAlive(group), 5000);
    QCOMPARE(queue.status(0).state, JobState::Succeeded);
    QCOMPARE(queue.status(1).state, JobState::Stopped);
    QVERIFY(!queue.status(1).percent);
    QCOMPARE(queue.status(2).state, JobState::Skipped);
    QVERIFY(!queue.status(2).started.isValid());
}

// "Atla" ends the running job's tree only; the run goes on with the next jobs.
void TestQueueCore::skipEndsOneJob()
{
    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(kDurationStep + QStringLiteral(" spawn hang"), out + "1.mp4"),
                       fakeJob(QStringLiteral("exit 0"), out + "2.mp4"),
                       fakeJob(QStringLiteral("exit 0"), out + "3.mp4")},
                      options);
    QSignalSpy finished(&queue, &RenderQueue::finished);
    queue.start();
    QTRY_VERIFY_WITH_TIMEOUT(
        queue.run(0) && queue.progress(0).log().contains(QLatin1String("child=")), 20000);
    const qint64 group = queue.run(0)->processId();
    QVERIFY(!queue.skip(1)); // not running yet
    QVERIFY(queue.skip(0));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::groupAlive(group), 5000);
    QCOMPARE(queue.status(0).state, JobState::Stopped);
    QCOMPARE(queue.status(0).reason, QStringLiteral("Atlandı."));
    QCOMPARE(queue.status(1).state, JobState::Succeeded);
    QCOMPARE(queue.status(2).state, JobState::Succeeded);
    QCOMPARE(QDir(out).entryList({"*.mp4"}, QDir::Files), QStringList({"2.mp4", "3.mp4"}));
    QVERIFY(!queue.stopRequested());
}

void TestQueueCore::severalAtOnce_data()
{
    QTest::addColumn<int>("parallel");
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

// With the real encoder: as many jobs run at once as asked, never more, started in list order,
// and every output is its own source's.
void TestQueueCore::severalAtOnce()
{
    QFETCH(int, parallel);
    QTemporaryDir dir;
    const WorkFolders folders = WorkFolders::under(dir.filePath(QStringLiteral("iş")));
    folders.create();
    const ToolSet tools = ToolSet::configured(QStringLiteral(TOOLS_DIR "/"));
    const QList<int> seconds{3, 1, 2, 1};
    QList<RenderJob> jobs;
    RenderSettings settings;
    settings.cbRenderScale = 6;
    for (int i = 0; i < seconds.size(); ++i) {
        const QString source = dir.filePath(QStringLiteral("kaynak %1.mp4").arg(i));
        QVERIFY(testsupport::makeClip(source, seconds[i], i % 2 == 0));
        const std::optional<VideoItem> item = probeVideoFile(tools, folders.workDir, source);
        QVERIFY(item);
        jobs << buildRenderJob(*item, i, settings, BuildFolders::from(folders, tools),
                               dir.filePath(QStringLiteral("çıktı %1.mp4").arg(i)));
    }
    QueueOptions options;
    options.encoderPath = tools.path(tools.ffMpeg);
    options.workDir = folders.tempDir;
    RenderQueue queue(jobs, options);
    queue.setParallel(parallel);
    int running = 0;
    int most = 0;
    QList<int> started;
    connect(&queue, &RenderQueue::jobStarted, this, [&](int index) {
        started << index;
        most = std::max(most, ++running);
    });
    connect(&queue, &RenderQueue::jobFinished, this, [&](int index) {
        if (queue.status(index).started.isValid())
            --running;
    });
    const bool allDone = queue.runAll();
    QString reasons;
    for (int i = 0; i < queue.count(); ++i)
        reasons += queue.status(i).reason + queue.status(i).lastLines.join(QLatin1Char('|')) + ';';
    QVERIFY2(allDone, qPrintable(reasons));
    QCOMPARE(most, parallel);
    QCOMPARE(started, QList<int>({0, 1, 2, 3}));
    for (int i = 0; i < seconds.size(); ++i) {
        const double length = testsupport::probedSeconds(jobs[i].outputPath);
        QVERIFY2(qAbs(length - seconds[i]) < 0.2, qPrintable(QString::number(length)));
    }
}

// A failed check skips that job and every later one; it is not asked again, so its message
// shows once.
void TestQueueCore::toolCheckStopsRun()
{
    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(QStringLiteral("exit 0"), out + "1.mp4"),
                       fakeJob(QStringLiteral("exit 0"), out + "2.mp4"),
                       fakeJob(QStringLiteral("exit 0"), out + "3.mp4")},
                      options);
    QList<int> asked;
    queue.toolCheck = [&asked](int index) {
        asked << index;
        return index == 0;
    };
    QVERIFY(!queue.runAll());
    QCOMPARE(asked, QList<int>({0, 1}));
    QCOMPARE(queue.status(0).state, JobState::Succeeded);
    QCOMPARE(queue.status(1).state, JobState::Skipped);
    QVERIFY(!queue.status(1).reason.isEmpty());
    QCOMPARE(queue.status(2).state, JobState::Skipped);
    QVERIFY(queue.status(2).reason.isEmpty());
    QVERIFY(queue.halted());
    QVERIFY(!QFile::exists(out + "2.mp4") && !QFile::exists(out + "2.part.mp4"));
}

// A row that cannot be rendered has no command; its job fails at once with the reason and the
// run goes on.
void TestQueueCore::refusedRowFailsAtOnce()
{
    QList<VideoItem> items(2);
    items[0].caption = QStringLiteral("/v/ses.flv");
    items[0].problem = ItemProblem::NoVideo;
    items[1].caption = QStringLiteral("/v/klip.mp4");
    const QList<RenderJob> built =
        buildRenderJobs(items, RenderSettings(), BuildFolders(), QStringLiteral("/o"));
    QCOMPARE(built[0].refusal, QStringLiteral("görüntü yok"));
    QVERIFY(built[0].command.isEmpty());
    QVERIFY(built[1].refusal.isEmpty());

    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    RenderJob refused = fakeJob(QStringLiteral("exit 0"), out + "ses.mp4");
    refused.refusal = QStringLiteral("okunamadı");
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({refused, fakeJob(QStringLiteral("exit 0"), out + "klip.mp4")}, options);
    QList<int> checked;
    queue.toolCheck = [&checked](int index) {
        checked << index;
        return true;
    };
    QSignalSpy started(&queue, &RenderQueue::jobStarted);
    QVERIFY(!queue.runAll());
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), 1);
    QCOMPARE(checked, QList<int>{1});
    QCOMPARE(queue.status(0).state, JobState::Failed);
    QCOMPARE(queue.status(0).reason, QStringLiteral("okunamadı"));
    QCOMPARE(queue.status(1).state, JobState::Succeeded);
}

// The time a job took is the real span, also when midnight falls inside it.
void TestQueueCore::acrossMidnight()
{
    QTemporaryDir dir;
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue(
        {fakeJob(kDurationStep + QStringLiteral(" sleep 100 err 'time=00:00:01.00 bitrate=1\\r'"),
                 dir.path() + "/1.mp4")},
        options);
    const QDateTime start(QDate(2024, 3, 9), QTime(23, 59, 50));
    int calls = 0;
    queue.clock = [&] { return start.addSecs(15 * calls++); };
    QVERIFY(queue.runAll());
    QCOMPARE(queue.status(0).started, start);
    QCOMPARE(queue.status(0).ended, start.addSecs(30));
    QCOMPARE(queue.status(0).elapsedSeconds, qint64(30));
    QCOMPARE(elapsedText(queue.status(0).elapsedSeconds, QLocale::c()), QStringLiteral("00:00:30"));
}

void TestQueueCore::partPath_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("part");
    QTest::newRow("plain") << "/o/clip.mp4" << 1 << "/o/clip.part.mp4";
    QTest::newRow("dotted name") << "/o/clip.final.mkv" << 1 << "/o/clip.final.part.mkv";
    QTest::newRow("second") << "/o/clip.mp4" << 2 << "/o/clip.part2.mp4";
    QTest::newRow("no extension, dotted folder") << "/o.d/clip" << 1 << "/o.d/clip.part";
    QTest::newRow("hidden name") << "/o/.mp4" << 1 << "/o/.mp4.part";
}

void TestQueueCore::partPath()
{
    QFETCH(QString, output);
    QFETCH(int, n);
    QFETCH(QString, part);
    QCOMPARE(partPathFor(output, n), part);
}

// An older file of the final name is replaced only by a job that succeeded; whatever else
// happens, no temporary file is left behind.
void TestQueueCore::outputTakesFinalNameOnlyOnSuccess_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("state");
    QTest::newRow("success") << "exit 0" << false << int(JobState::Succeeded);
    QTest::newRow("failure") << "err 'broken\\n' exit 1" << false << int(JobState::Failed);
    QTest::newRow("crash") << "crash" << false << int(JobState::Failed);
    QTest::newRow("stop") << "pid hang" << true << int(JobState::Stopped);
}

void TestQueueCore::outputTakesFinalNameOnlyOnSuccess()
{
    QFETCH(QString, steps);
    QFETCH(bool, stop);
    QFETCH(int, state);
    QTemporaryDir dir;
    const QString final = dir.filePath(QStringLiteral("out.mp4"));
    QFile older(final);
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(steps, final)}, options);
    QSignalSpy finished(&queue, &RenderQueue::finished);
    queue.start();
    if (stop) {
        QTRY_VERIFY_WITH_TIMEOUT(queue.progress().log().contains(QLatin1String("pid=")), 20000);
        // The encoder has written part of its output by now, under the temporary name only.
        QCOMPARE(QFileInfo(queue.status(0).partPath).size(), qint64(16));
        queue.stop();
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(int(queue.status(0).state), state);
    QCOMPARE(queue.status(0).partPath, dir.filePath(QStringLiteral("out.part.mp4")));
    QVERIFY(!QFile::exists(queue.status(0).partPath));
    QVERIFY(older.open(QIODevice::ReadOnly));
    const QByteArray content = older.readAll();
    if (state == int(JobState::Succeeded))
        QCOMPARE(content, QByteArray(16, 'v'));
    else
        QCOMPARE(content, QByteArray("older"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.mp4")});
}

// A two-pass job runs its first pass, then its second; each is half the progress, and the first
// pass's log files are gone however the job ends. A first pass that fails or is stopped ends the
// job there.
void TestQueueCore::twoPasses_data()
{
    QTest::addColumn<QString>("firstEnd");
    QTest::addColumn<QString>("secondEnd");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("runs");
    QTest::newRow("success") << "exit 0"
                             << "exit 0" << false << int(JobState::Succeeded) << 2;
    QTest::newRow("first pass fails") << "exit 1"
                                      << "exit 0" << false << int(JobState::Failed) << 1;
    QTest::newRow("second pass fails") << "exit 0"
                                       << "exit 1" << false << int(JobState::Failed) << 2;
    QTest::newRow("first pass stopped") << "pid hang"
                                        << "exit 0" << true << int(JobState::Stopped) << 1;
}

void TestQueueCore::twoPasses()
{
    QFETCH(QString, firstEnd);
    QFETCH(QString, secondEnd);
    QFETCH(bool, stop);
    QFETCH(int, state);
    QFETCH(int, runs);
    QTemporaryDir dir;
    // Each pass reports its length, waits for the test's go-ahead (so the report of its position
    // comes in a piece of its own), then reports half the clip.
    const auto pass = [&dir](int n, const QString &end) -> QString {
        return kDurationStep + QStringLiteral(" await ") +
               quoteArg(dir.filePath(QStringLiteral("go%1").arg(n))) +
               QStringLiteral(" err 'time=00:00:05.00 bitrate=1\\r' ") + end;
    };
    const QString final = dir.filePath(QStringLiteral("out.mp4"));
    RenderJob job = fakeJob(pass(2, secondEnd), final);
    job.passLog = passLogName(final);
    // The fake's write goes to its last argument: here the pass log, in the working folder.
    job.firstPass = QStringLiteral(" write 8 ") + pass(1, firstEnd) + QLatin1Char(' ') +
                    job.passLog + QStringLiteral("-0.log");
    // A log left by an earlier run of the same output is not this job's.
    QFile stale(dir.filePath(job.passLog + QStringLiteral(".log.mbtree")));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();

    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({job}, options);
    QSignalSpy finished(&queue, &RenderQueue::finished);
    QList<qint64> percents;
    QStringList logsWhileRunning;
    connect(&queue, &RenderQueue::jobProgress, this, [&] {
        percents << queue.status(0).percent.value_or(-1);
        logsWhileRunning << QDir(dir.path()).entryList({job.passLog + QLatin1Char('*')});
    });
    const auto goAhead = [&dir](int n) {
        QFile go(dir.filePath(QStringLiteral("go%1").arg(n)));
        return go.open(QIODevice::WriteOnly);
    };
    queue.start();
    QTRY_VERIFY_WITH_TIMEOUT(queue.progress().log().contains(QLatin1String("Duration")), 20000);
    QVERIFY(goAhead(1));
    if (stop) {
        QTRY_VERIFY_WITH_TIMEOUT(queue.progress().log().contains(QLatin1String("pid=")), 20000);
        queue.stop();
    }
    if (runs == 2) {
        QTRY_VERIFY_WITH_TIMEOUT(queue.status(0).pass == 2 &&
                                     queue.progress().log().contains(QLatin1String("Duration")),
                                 20000);
        QVERIFY(goAhead(2));
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(int(queue.status(0).state), state);
    // The first pass reports half its clip as a quarter of the job, the second as three.
    QList<qint64> expected{25};
    if (runs == 2)
        expected << 75;
    QCOMPARE(percents, expected);
    QVERIFY(logsWhileRunning.contains(job.passLog + QStringLiteral("-0.log")));
    QVERIFY(!logsWhileRunning.contains(job.passLog + QStringLiteral(".log.mbtree")));
    QCOMPARE(QDir(dir.path()).entryList({job.passLog + QLatin1Char('*')}), QStringList());
    QCOMPARE(QFile::exists(final), state == int(JobState::Succeeded));
    QVERIFY(!QFile::exists(queue.status(0).partPath));
}

// A file that happens to carry the temporary name is somebody's: it is left alone.
void TestQueueCore::partNameNeverTakesAFile()
{
    QTemporaryDir dir;
    QFile theirs(dir.filePath(QStringLiteral("out.part.mkv")));
    QVERIFY(theirs.open(QIODevice::WriteOnly));
    theirs.write("theirs");
    theirs.close();
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(QStringLiteral("exit 0"), dir.filePath(QStringLiteral("out.mkv")))},
                      options);
    QVERIFY(queue.runAll());
    QCOMPARE(queue.status(0).partPath, dir.filePath(QStringLiteral("out.part2.mkv")));
    QVERIFY(theirs.open(QIODevice::ReadOnly));
    QCOMPARE(theirs.readAll(), QByteArray("theirs"));
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("out.mkv"))).size(), qint64(16));
}

void TestQueueCore::failureReason_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("endsRun");
    const QString killed = QStringLiteral("Kodlayıcı dışarıdan sonlandırıldı (sinyal %1).");
    QTest::newRow("killed") << int(RunEnd::Crashed) << 9 << QStringList{} << killed.arg(9) << false;
    QTest::newRow("crashed") << int(RunEnd::Crashed) << 11 << QStringList{}
                             << QStringLiteral("Kodlayıcı çöktü (sinyal 11).") << false;
    QTest::newRow("killed under the interpreter")
        << int(RunEnd::Failed) << 137 << QStringList{} << killed.arg(9) << false;
    QTest::newRow("ended itself on a signal")
        << int(RunEnd::Failed) << 255
        << QStringList{"frame=1", "Exiting normally, received signal 15."} << killed.arg(15)
        << false;
    QTest::newRow("not found") << int(RunEnd::Failed) << 127
                               << QStringList{"sh: 1: /b/ffmpeg: not found"}
                               << QStringLiteral("Kodlayıcı bulunamadı.") << true;
    QTest::newRow("cannot start") << int(RunEnd::FailedToStart) << -1 << QStringList{}
                                  << QStringLiteral("Kodlayıcı başlatılamadı.") << true;
    QTest::newRow("disk full")
        << int(RunEnd::Failed) << 1
        << QStringList{"av_interleaved_write_frame(): No space left on device"}
        << QStringLiteral("Çıkış diskinde yer kalmadı.") << false;
    QTest::newRow("output refused")
        << int(RunEnd::Failed) << 1 << QStringList{"@out: Permission denied"}
        << QStringLiteral("Çıkış klasörüne yazılamıyor.") << false;
    QTest::newRow("other") << int(RunEnd::Failed) << 1 << QStringList{"Invalid argument"}
                           << QStringLiteral("Kodlayıcı hata ile bitti (çıkış kodu 1).") << false;
}

void TestQueueCore::failureReason()
{
    QFETCH(int, end);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, reason);
    QFETCH(bool, endsRun);
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("out.part.mp4"));
    lines.replaceInStrings(QStringLiteral("@out"), output);
    const JobReason got =
        encoderFailureReason(RunEnd(end), exitCode, lines, QStringLiteral(FAKE_TOOL), output);
    QCOMPARE(got.text, reason);
    QCOMPARE(got.endsRun, endsRun);
}

// Input that can only fail or give an empty file is refused, naming the control to correct.
void TestQueueCore::inputRefused_data()
{
    QTest::addColumn<QString>("duration");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QString>("bitrate");
    QTest::addColumn<QString>("control");
    QTest::newRow("fine") << "00:00:10" << 3 << 6 << 100 << "5000"
                          << "";
    QTest::newRow("negative cuts are ignored") << "00:00:10" << -5 << -5 << 100 << "5000"
                                               << "";
    QTest::newRow("end cut as long as the video") << "00:00:10" << 0 << 10 << 100 << "5000"
                                                  << "edTimeEnd";
    QTest::newRow("both cuts longer") << "00:00:10" << 4 << 7 << 100 << "5000"
                                      << "edTimeEnd";
    QTest::newRow("start cut past the end") << "00:00:10" << 12 << 0 << 100 << "5000"
                                            << "edTimeStart";
    QTest::newRow("start cut past the end with an end cut")
        << "00:00:10" << 12 << 1 << 100 << "5000"
        << "edTimeStart";
    QTest::newRow("a second left, slowed") << "00:00:10" << 9 << 0 << 5 << "5000"
                                           << "";
    QTest::newRow("empty bitrate") << "00:00:10" << 0 << 0 << 100 << ""
                                   << "cbBitrate";
    QTest::newRow("blank bitrate") << "00:00:10" << 0 << 0 << 100 << "  "
                                   << "cbBitrate";
    QTest::newRow("zero bitrate") << "00:00:10" << 0 << 0 << 100 << "000"
                                  << "cbBitrate";
}

void TestQueueCore::inputRefused()
{
    QFETCH(QString, duration);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, speed);
    QFETCH(QString, bitrate);
    QFETCH(QString, control);
    QTemporaryDir dir;
    VideoItem item;
    item.caption = QStringLiteral("/v/clip.mp4");
    item.duration = duration;
    item.frameRate = QStringLiteral("30/1");
    RenderSettings settings;
    settings.edTimeStart = start;
    settings.edTimeEnd = end;
    settings.tbVideoSpeed = speed;
    settings.cbBitrate = bitrate;
    const InputProblem problem = checkRenderInput({item}, settings, dir.path());
    QCOMPARE(problem.control, control);
    QCOMPARE(problem.isProblem(), !control.isEmpty());
    if (control.startsWith(QLatin1String("edTime")))
        QVERIFY2(problem.message.contains(QLatin1String("clip.mp4")), qPrintable(problem.message));
}

QTEST_GUILESS_MAIN(TestQueueCore)
#include "tst_queue_core.moc"
