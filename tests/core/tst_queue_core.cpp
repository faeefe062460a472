// The render jobs and the job runner without a window: output names, the order and outcome of
// jobs, stopping, and the tool check. The encoder is the scriptable fake tool.

#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"
#include "core/runner/shellquote.h"
#include "support/testsupport.h"
#include "core/videolist/videoitem.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

RenderJob fakeJob(const QString &steps, const QString &output)
{
    RenderJob job;
    job.name = output;
    job.command = QLatin1Char(' ') + steps;
    job.outputPath = output;
    return job;
}

const QString kDurationStep = QStringLiteral("out 'Input #0\\n  Duration: 00:00:10.00, start: 0\\n'");


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
    void toolCheckStopsRun();
    void refusedRowFailsAtOnce();
    void acrossMidnight();
};

void TestQueueCore::baseName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << QStringLiteral("/v/clip.mp4") << QStringLiteral("clip");
    QTest::newRow("last extension only") << QStringLiteral("/v/clip.final.mov")
                                         << QStringLiteral("clip.final");
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
    QTest::newRow("three")
        << QStringList{"/o/a.mp4", "/o/a.mp4", "/o/b.mp4", "/o/a.mp4"} << QStringList{}
        << QStringList{"/o/a.mp4", "/o/a (2).mp4", "/o/b.mp4", "/o/a (3).mp4"};
    QTest::newRow("taken by a numbered one")
        << QStringList{"/o/a (2).mp4", "/o/a.mp4", "/o/a.mp4"} << QStringList{}
        << QStringList{"/o/a (2).mp4", "/o/a.mp4", "/o/a (3).mp4"};
    QTest::newRow("other spelling") << QStringList{"/o/a.mp4", "/o//x/../a.mp4"} << QStringList{}
                                    << QStringList{"/o/a.mp4", "/o//x/../a (2).mp4"};
    QTest::newRow("a listed source") << QStringList{"/v/a.mp4", "/o/b.mp4"}
                                     << QStringList{"/v/a.mp4", "/v/b.mp4"}
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
             QStringLiteral("\"/b/ffmpeg\" -y ") + jobs[2].command
                 + QStringLiteral(" \"/o/other.mkv\""));
}

// Every job runs, in order, whatever became of the one before; each shows how it ended.
void TestQueueCore::outcomes()
{
    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
    QList<RenderJob> jobs = {
        fakeJob(kDurationStep + QStringLiteral(" err 'frame=1 time=00:00:05.00 bitrate=1\\r'"
                                               " exit 0"), out + "ok.mp4"),
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
    QTRY_VERIFY_WITH_TIMEOUT(queue.currentIndex() == 1 && queue.currentRun()
                                 && queue.progress().log().contains(QLatin1String("child=")),
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

// A failed check skips that job and every later one, and is asked again for each.
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
    QCOMPARE(asked, QList<int>({0, 1, 2}));
    QCOMPARE(queue.status(0).state, JobState::Succeeded);
    QCOMPARE(queue.status(1).state, JobState::Skipped);
    QCOMPARE(queue.status(2).state, JobState::Skipped);
    QVERIFY(queue.stopRequested());
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
    QCOMPARE(queue.status(0).lastLines, QStringList{QStringLiteral("okunamadı")});
    QCOMPARE(queue.status(1).state, JobState::Succeeded);
}

// The time a job took is the real span, also when midnight falls inside it.
void TestQueueCore::acrossMidnight()
{
    QTemporaryDir dir;
    QueueOptions options;
    options.encoderPath = QStringLiteral(FAKE_TOOL);
    options.workDir = dir.path();
    RenderQueue queue({fakeJob(kDurationStep + QStringLiteral(" sleep 100 err 'time=00:00:01.00 bitrate=1\\r'"),
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

QTEST_GUILESS_MAIN(TestQueueCore)
#include "tst_queue_core.moc"
