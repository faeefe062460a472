// The figures the queue shows besides the percentage: the encoder's speed read from its
// reports, a job's time left, and the whole run's percentage, place and time left; and how many
// jobs go at once.

#include "core/queue/jobplan.h"
#include "core/queue/renderprogress.h"
#include "core/queue/runestimate.h"
#include "core/render/rendersettings.h"
#include "core/videolist/videoitem.h"

#include <QTest>

using namespace fulmaro;

namespace {

const QDateTime kStart(QDate(2026, 1, 5), QTime(10, 0, 0));

JobStatus job(JobState state, qint64 expected, double position = 0, int startAfter = 0,
              int reportAfter = 0, int endAfter = 0)
{
    JobStatus status;
    status.state = state;
    status.expectedSeconds = expected;
    status.positionSeconds = position;
    status.started = kStart.addSecs(startAfter);
    if (reportAfter > 0)
        status.progressAt = kStart.addSecs(reportAfter);
    if (endAfter > 0)
        status.ended = kStart.addSecs(endAfter);
    return status;
}

} // namespace

class TestRunEstimate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void speedFromReports_data();
    void speedFromReports();
    void jobLeft_data();
    void jobLeft();
    void run_data();
    void run();
    void texts();
    void plan_data();
    void plan();
    void pixelRate();
};

void TestRunEstimate::speedFromReports_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("speed"); // 0: none
    const QString head = QStringLiteral("  Duration: 00:01:40.00, start: 0.000000\n");
    QTest::newRow("whole report")
        << QStringList{head,
                       "frame=  30 fps=0.0 q=2.0 size= 1kB time=00:00:25.40 bitrate= 1.0kbits/s "
                       "speed=2.41x    \r"}
        << 25.4 << 2.41;
    QTest::newRow("no speed yet")
        << QStringList{head, "frame=  1 time=00:00:00.04 bitrate=N/A speed=N/A    \r"} << 0.04
        << 0.0;
    QTest::newRow("cut before the x")
        << QStringList{head, "frame= 9 time=00:00:10.00 bitrate=1.0kbits/s speed=1.5"} << 10.0
        << 0.0;
    QTest::newRow("blank-padded and large")
        << QStringList{head, "time=01:00:00.50 bitrate=1kbits/s speed= 120x\r"} << 3600.5 << 120.0;
    QTest::newRow("speed of the next line is not this report's")
        << QStringList{head, "time=00:00:05.00 bitrate=1kbits/s\nframe=1 speed=9x"} << 5.0 << 0.0;
}

void TestRunEstimate::speedFromReports()
{
    QFETCH(QStringList, pieces);
    QFETCH(double, position);
    QFETCH(double, speed);
    RenderProgress progress;
    RenderProgress::Step last;
    for (const QString &piece : pieces)
        last = progress.feed(piece);
    QVERIFY(last.progress);
    QCOMPARE(last.positionExact, position);
    QCOMPARE(last.speed.has_value(), speed > 0);
    if (speed > 0)
        QCOMPARE(*last.speed, speed);
}

void TestRunEstimate::jobLeft_data()
{
    QTest::addColumn<JobStatus>("status");
    QTest::addColumn<int>("nowAfter");
    QTest::addColumn<qint64>("left"); // -1: none
    // 10 s to reach 25 of 100: 30 s to go, less what has passed since the report.
    QTest::newRow("quarter") << job(JobState::Running, 100, 25, 0, 10) << 10 << qint64(30);
    QTest::newRow("since the report") << job(JobState::Running, 100, 25, 0, 10) << 14 << qint64(26);
    QTest::newRow("never below 0") << job(JobState::Running, 100, 99, 0, 10) << 30 << qint64(0);
    QTest::newRow("no report yet") << job(JobState::Running, 100, 0) << 5 << qint64(-1);
    QTest::newRow("length unknown") << job(JobState::Running, 0, 3, 0, 2) << 5 << qint64(-1);
    QTest::newRow("succeeded") << job(JobState::Succeeded, 100, 100, 0, 10, 12) << 20 << qint64(0);
    QTest::newRow("stopped") << job(JobState::Stopped, 100, 50, 0, 10, 12) << 20 << qint64(-1);
}

void TestRunEstimate::jobLeft()
{
    QFETCH(JobStatus, status);
    QFETCH(int, nowAfter);
    QFETCH(qint64, left);
    const std::optional<qint64> got = jobSecondsLeft(status, kStart.addSecs(nowAfter));
    QCOMPARE(got.value_or(-1), left);
}

void TestRunEstimate::run_data()
{
    QTest::addColumn<QList<JobStatus>>("jobs");
    QTest::addColumn<QList<qint64>>("planned");
    QTest::addColumn<int>("nowAfter");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("parallel");
    QTest::newRow("before") << QList<JobStatus>{job(JobState::Waiting, 0),
                                                job(JobState::Waiting, 0)}
                            << QList<qint64>{60, 40} << 0 << QStringLiteral("%0 · 0/2") << 1;
    // The first job (60 s) took 30 s: the pace is 2 output seconds a second. The second is at 10
    // of 40 after 5 s (15 s to go); the third waits with 100 s planned (50 s at that pace).
    QTest::newRow("third of the way")
        << QList<JobStatus>{job(JobState::Succeeded, 60, 60, 0, 30, 30),
                            job(JobState::Running, 40, 10, 30, 35), job(JobState::Waiting, 0)}
        << QList<qint64>{60, 40, 100} << 35 << QStringLiteral("%35 · 2/3 · kalan 00:01:05") << 1;
    // A length never reported nor planned counts as the mean of the others.
    QTest::newRow("unknown length")
        << QList<JobStatus>{job(JobState::Succeeded, 60, 60, 0, 30, 30), job(JobState::Waiting, 0)}
        << QList<qint64>{0, 0} << 30 << QStringLiteral("%50 · 1/2 · kalan 00:00:30") << 1;
    QTest::newRow("all done") << QList<JobStatus>{job(JobState::Succeeded, 10, 10, 0, 5, 5),
                                                  job(JobState::Failed, 10, 2, 5, 6, 6)}
                              << QList<qint64>{10, 10} << 8
                              << QStringLiteral("%100 · 2/2 · kalan 00:00:00") << 1;
    QTest::newRow("stopped") << QList<JobStatus>{job(JobState::Succeeded, 10, 10, 0, 5, 5),
                                                 job(JobState::Stopped, 10, 5, 5, 8, 8),
                                                 job(JobState::Skipped, 0)}
                             << QList<qint64>{10, 10, 20} << 9
                             << QStringLiteral("%37 · 2/3 · kalan 00:00:00") << 1;
    // Two at once, each at 1.5 output seconds a second: the first has 10 s to go, the second 30;
    // the waiting 60 s take 40 s more of one job's time, shared by the two.
    QTest::newRow("two at once") << QList<JobStatus>{job(JobState::Running, 40, 20, 0, 10),
                                                     job(JobState::Running, 40, 10, 0, 10),
                                                     job(JobState::Waiting, 0)}
                                 << QList<qint64>{40, 40, 60} << 10
                                 << QStringLiteral("%21 · 2/3 · 2 iş sürüyor · kalan 00:00:40")
                                 << 2;
    // Nothing waits: the run ends with its longest job.
    QTest::newRow("last two") << QList<JobStatus>{job(JobState::Running, 40, 20, 0, 10),
                                                  job(JobState::Running, 40, 10, 0, 10)}
                              << QList<qint64>{40, 40} << 10
                              << QStringLiteral("%37 · 2/2 · 2 iş sürüyor · kalan 00:00:30") << 2;
}

void TestRunEstimate::run()
{
    QFETCH(QList<JobStatus>, jobs);
    QFETCH(QList<qint64>, planned);
    QFETCH(int, nowAfter);
    QFETCH(QString, caption);
    QFETCH(int, parallel);
    const QLocale c(QLocale::C);
    QCOMPARE(runCaption(runFigures(jobs, planned, kStart.addSecs(nowAfter), parallel), c), caption);
}

void TestRunEstimate::texts()
{
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    QCOMPARE(speedText(2.41, turkish), QStringLiteral("2,4x"));
    QCOMPARE(speedText(2.41, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("2.4x"));
    RunFigures figures;
    figures.percent = 45;
    figures.current = 3;
    figures.total = 8;
    figures.secondsLeft = 250;
    QCOMPARE(runCaption(figures, turkish), QStringLiteral("%45 · 3/8 · kalan 00:04:10"));
}

void TestRunEstimate::plan_data()
{
    QTest::addColumn<int>("choice"); // cbJobs: 0 Otomatik, 1..4
    QTest::addColumn<int>("cores");
    QTest::addColumn<double>("pixelRate");
    QTest::addColumn<int>("jobCount");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<int>("threads"); // 0: the encoder's own choice
    const double p360 = 640.0 * 360 * 30, p720 = 1280.0 * 720 * 30, p1080 = 1920.0 * 1080 * 30;
    QTest::newRow("small output, two cores") << 0 << 2 << p360 << 12 << 2 << 1;
    QTest::newRow("720p, two cores") << 0 << 2 << p720 << 12 << 2 << 1;
    QTest::newRow("1080p keeps two cores busy") << 0 << 2 << p1080 << 12 << 1 << 0;
    QTest::newRow("720p at 60 a second") << 0 << 2 << p720 * 2 << 12 << 1 << 0;
    QTest::newRow("one core") << 0 << 1 << p360 << 12 << 1 << 0;
    QTest::newRow("many cores, at most four") << 0 << 16 << p360 << 12 << 4 << 4;
    QTest::newRow("1080p, eight cores") << 0 << 8 << p1080 << 12 << 4 << 2;
    QTest::newRow("no more jobs than the run has") << 0 << 16 << p360 << 3 << 3 << 5;
    QTest::newRow("one file") << 0 << 8 << p360 << 1 << 1 << 0;
    QTest::newRow("chosen: one") << 1 << 8 << p360 << 12 << 1 << 0;
    QTest::newRow("chosen: three on two cores") << 3 << 2 << p1080 << 12 << 3 << 1;
    QTest::newRow("chosen, fewer files") << 4 << 8 << p1080 << 2 << 2 << 4;
    QTest::newRow("rate unknown") << 0 << 2 << 0.0 << 12 << 1 << 0;
}

void TestRunEstimate::plan()
{
    QFETCH(int, choice);
    QFETCH(int, cores);
    QFETCH(double, pixelRate);
    QFETCH(int, jobCount);
    QFETCH(int, jobs);
    QFETCH(int, threads);
    const JobPlan got = planJobs(choice, cores, pixelRate, jobCount);
    QCOMPARE(got.jobs, jobs);
    QCOMPARE(got.threads, threads);
}

// The render size at the fastest rate of the rows known; 30 a second when none says, or when a
// header's rate is beyond any camera's.
void TestRunEstimate::pixelRate()
{
    RenderSettings settings; // 1280x720
    VideoItem slow, fast, broken;
    slow.frameRate = QStringLiteral("25/1");
    fast.frameRate = QStringLiteral("60000/1001");
    broken.frameRate = QStringLiteral("90000/1");
    QCOMPARE(outputPixelRate(settings, {}), 1280.0 * 720 * 30);
    QCOMPARE(outputPixelRate(settings, {&slow, nullptr}), 1280.0 * 720 * 25);
    QCOMPARE(outputPixelRate(settings, {&slow, &fast}), 1280.0 * 720 * 60000 / 1001);
    QCOMPARE(outputPixelRate(settings, {&broken}), 1280.0 * 720 * 30);
    settings.cbRenderScale = 8; // 720x1280
    QCOMPARE(outputPixelRate(settings, {&slow}), 720.0 * 1280 * 25);
}

QTEST_GUILESS_MAIN(TestRunEstimate)
#include "tst_runestimate.moc"
