// The figures the queue shows besides the percentage: the encoder's speed read from its
// reports, a job's time left, and the whole run's percentage, place and time left.

#include "core/queue/renderprogress.h"
#include "core/queue/runestimate.h"

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
    QTest::newRow("before") << QList<JobStatus>{job(JobState::Waiting, 0),
                                                job(JobState::Waiting, 0)}
                            << QList<qint64>{60, 40} << 0 << QStringLiteral("%0 · 0/2");
    // The first job (60 s) took 30 s: the pace is 2 output seconds a second. The second is at 10
    // of 40 after 5 s (15 s to go); the third waits with 100 s planned (50 s at that pace).
    QTest::newRow("third of the way")
        << QList<JobStatus>{job(JobState::Succeeded, 60, 60, 0, 30, 30),
                            job(JobState::Running, 40, 10, 30, 35), job(JobState::Waiting, 0)}
        << QList<qint64>{60, 40, 100} << 35 << QStringLiteral("%35 · 2/3 · kalan 00:01:05");
    // A length never reported nor planned counts as the mean of the others.
    QTest::newRow("unknown length")
        << QList<JobStatus>{job(JobState::Succeeded, 60, 60, 0, 30, 30), job(JobState::Waiting, 0)}
        << QList<qint64>{0, 0} << 30 << QStringLiteral("%50 · 1/2 · kalan 00:00:30");
    QTest::newRow("all done") << QList<JobStatus>{job(JobState::Succeeded, 10, 10, 0, 5, 5),
                                                  job(JobState::Failed, 10, 2, 5, 6, 6)}
                              << QList<qint64>{10, 10} << 8
                              << QStringLiteral("%100 · 2/2 · kalan 00:00:00");
    QTest::newRow("stopped") << QList<JobStatus>{job(JobState::Succeeded, 10, 10, 0, 5, 5),
                                                 job(JobState::Stopped, 10, 5, 5, 8, 8),
                                                 job(JobState::Skipped, 0)}
                             << QList<qint64>{10, 10, 20} << 9
                             << QStringLiteral("%37 · 2/3 · kalan 00:00:00");
}

void TestRunEstimate::run()
{
    QFETCH(QList<JobStatus>, jobs);
    QFETCH(QList<qint64>, planned);
    QFETCH(int, nowAfter);
    QFETCH(QString, caption);
    const QLocale c(QLocale::C);
    QCOMPARE(runCaption(runFigures(jobs, planned, kStart.addSecs(nowAfter)), c), caption);
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

QTEST_GUILESS_MAIN(TestRunEstimate)
#include "tst_runestimate.moc"
