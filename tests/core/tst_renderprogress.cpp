// Progress parsing of the encoder's console output: the documented cases, and output captured
// from the real encoder cut into pieces in every way.

#include "core/queue/renderprogress.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "support/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

class TestRenderProgress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void expected_data();
    void expected();
    void percent_data();
    void percent();
    void pieces_data();
    void pieces();
    void realEncoderOutput();
    void joinedClipsCount();
    void timeFormats_data();
    void timeFormats();
    void elapsed();
};

void TestRenderProgress::expected_data()
{
    QTest::addColumn<qint64>("input");
    QTest::addColumn<int>("cutStart");
    QTest::addColumn<int>("cutEnd");
    QTest::addColumn<int>("speed");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("normal") << qint64(100) << 0 << 0 << 100 << qint64(100);
    QTest::newRow("speed 150") << qint64(100) << 0 << 0 << 150 << qint64(67);
    QTest::newRow("half to even down") << qint64(5) << 0 << 0 << 200 << qint64(2);
    QTest::newRow("half to even up") << qint64(7) << 0 << 0 << 200 << qint64(4);
    QTest::newRow("cuts") << qint64(100) << 10 << 20 << 100 << qint64(70);
    QTest::newRow("negative cut") << qint64(100) << -5 << 0 << 100 << qint64(105);
    QTest::newRow("extended precision") << qint64(171) << 0 << 0 << 72 << qint64(237);
    QTest::newRow("cut past the end") << qint64(10) << 8 << 8 << 100 << qint64(-6);
    QTest::newRow("slow") << qint64(10) << 0 << 0 << 5 << qint64(200);
}

void TestRenderProgress::expected()
{
    QFETCH(qint64, input);
    QFETCH(int, cutStart);
    QFETCH(int, cutEnd);
    QFETCH(int, speed);
    QFETCH(qint64, expected);
    QCOMPARE(expectedOutputSeconds(input, cutStart, cutEnd, speed), expected);
}

void TestRenderProgress::percent_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<qint64>("percent");
    QTest::newRow("quarter") << qint64(25) << qint64(100) << qint64(25);
    QTest::newRow("truncated") << qint64(2) << qint64(3) << qint64(66);
    QTest::newRow("extended precision") << qint64(53) << qint64(100) << qint64(52);
    QTest::newRow("beyond") << qint64(150) << qint64(100) << qint64(150);
    QTest::newRow("negative expected") << qint64(5) << qint64(-10) << qint64(-50);
}

void TestRenderProgress::percent()
{
    QFETCH(qint64, position);
    QFETCH(qint64, expected);
    QFETCH(qint64, percent);
    QCOMPARE(progressPercent(position, expected), percent);
}

// Each piece is fed in turn; the columns say what the last piece that carried a report showed.
void TestRenderProgress::pieces_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<int>("speed");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<int>("reports");    // pieces that updated the row
    QTest::addColumn<qint64>("percent"); // the last update's value

    const QString head = QStringLiteral("Input #0, mov,mp4, from 'a.mp4':\r\n");
    const QString report = QStringLiteral("frame=  750 fps=0.0 q=-1.0 size=    2048kB "
                                          "time=00:00:25.00 bitrate= 671.1kbits/s speed=50x\r");
    QTest::newRow("whole reports")
        << QStringList{head + QStringLiteral("  Duration: 00:01:40.52, start: 0.000000\r\n"),
                       report}
        << 100 << qint64(100) << 1 << qint64(25);
    QTest::newRow("value cut in two")
        << QStringList{head + QStringLiteral("  Duration: 00:0"),
                       QStringLiteral("1:40.52, start: 0.000000\r\n"), report}
        << 100 << qint64(100) << 1 << qint64(25);
    QTest::newRow("value cut before its comma")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52"), QStringLiteral(", start: 0.0\n"),
                       report}
        << 100 << qint64(100) << 1 << qint64(25);
    // A keyword cut in two is still the first report; the picture's own report must not win.
    QTest::newRow("keyword cut in two")
        << QStringList{QStringLiteral("  Dura"),
                       QStringLiteral("tion: 00:01:40.52, start: 0.0\r\n"
                                      "Input #1, png_pipe, from 'logo.png':\r\n"
                                      "  Duration: N/A, bitrate: N/A\r\n"),
                       report}
        << 100 << qint64(100) << 1 << qint64(25);
    QTest::newRow("first input counts")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"
                                      "  Duration: 00:00:05.00, start: 0.0\n"),
                       report}
        << 100 << qint64(100) << 1 << qint64(25);
    QTest::newRow("speed 150")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"), report} << 150
        << qint64(67) << 1 << qint64(37);
    QTest::newRow("report cut before bitrate")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"),
                       QStringLiteral("frame=  750 time=00:00:25.00 bi"),
                       QStringLiteral("trate= 671.1kbits/s\r")}
        << 100 << qint64(100) << 0 << qint64(0);
    QTest::newRow("next complete report counts")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"),
                       QStringLiteral("frame=  750 time=00:00:25.00 bi"),
                       QStringLiteral("trate= 671.1kbits/s\r"),
                       QStringLiteral("frame=  900 time=00:00:50.00 bitrate= 600.0kbits/s\r")}
        << 100 << qint64(100) << 1 << qint64(50);
    // A busy machine reads several reports at once; the last whole one is where the encoder is.
    QTest::newRow("several reports in one piece")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"),
                       report + QStringLiteral("frame=  900 time=00:01:40.00 bitrate= 600.0kbits/s "
                                               "speed=50x\rframe= 901 time=00:01:4")}
        << 100 << qint64(100) << 1 << qint64(100);
    QTest::newRow("duration and report in one piece")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n") + report} << 100
        << qint64(100) << 0 << qint64(0);
    QTest::newRow("unreadable duration")
        << QStringList{QStringLiteral("  Duration: N/A, start: 0.0\n"), report, report} << 100
        << qint64(0) << 0 << qint64(0);
    QTest::newRow("unreadable position")
        << QStringList{QStringLiteral("  Duration: 00:01:40.52, start: 0.0\n"),
                       QStringLiteral("frame=    0 time=N/A bitrate=N/A speed=N/A\r")}
        << 100 << qint64(100) << 1 << qint64(0);
    QTest::newRow("no duration yet")
        << QStringList{head, report} << 100 << qint64(0) << 0 << qint64(0);
    QTest::newRow("hours") << QStringList{QStringLiteral("  Duration: 02:00:00.00, start: 0.0\n"),
                                          QStringLiteral("time=01:30:00.00 bitrate=1\r")}
                           << 100 << qint64(7200) << 1 << qint64(75);
}

void TestRenderProgress::pieces()
{
    QFETCH(QStringList, pieces);
    QFETCH(int, speed);
    QFETCH(qint64, expected);
    QFETCH(int, reports);
    QFETCH(qint64, percent);
    RenderProgress progress(0, 0, speed);
    int seen = 0;
    qint64 last = 0;
    for (const QString &piece : pieces) {
        const RenderProgress::Step step = progress.feed(piece);
        if (step.progress) {
            ++seen;
            last = step.percent;
        }
    }
    QCOMPARE(progress.expectedSeconds(), expected);
    QCOMPARE(seen, reports);
    QCOMPARE(last, percent);
    QCOMPARE(progress.log(), pieces.join(QString()));
}

// An intro and an outro add their seconds to the source's, once its length is known.
void TestRenderProgress::joinedClipsCount()
{
    RenderProgress progress(0, 0, 50);
    progress.setAddedSeconds(4.2);
    QVERIFY(!progress.feed(QStringLiteral("  Duration: N/A, start: 0.0\n")).durationLearnt);
    QCOMPARE(progress.expectedSeconds(), qint64(0));
    progress.reset();
    QVERIFY(progress.feed(QStringLiteral("  Duration: 00:00:03.00, start: 0.0\n")).durationLearnt);
    QCOMPARE(progress.expectedSeconds(), qint64(10)); // 3 s at half speed, and 4 s of clips
    const RenderProgress::Step step =
        progress.feed(QStringLiteral("frame=  150 time=00:00:05.00 bitrate= 600.0kbits/s\r"));
    QCOMPARE(step.percent, qint64(50));
}

// The real encoder's report of a 3-second clip, as the runner delivered it and cut at every
// place around its duration report.
void TestRenderProgress::realEncoderOutput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ffmpeg = quoteArg(QStringLiteral(TOOLS_DIR "/ffmpeg"));
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    RunResult made = getDosOutput(
        QStringLiteral("ffmpeg"),
        ffmpeg +
            QStringLiteral(" -v error -y -f lavfi -i testsrc=size=160x120:rate=30:duration=3 "
                           "-c:v mpeg4 ") +
            quoteArg(clip),
        dir.path());
    QVERIFY2(made.succeeded(), qPrintable(made.lines.join(QLatin1Char('\n'))));

    QStringList pieces;
    RenderProgress live(1, 0, 100);
    qint64 highestPercent = -1;
    // -re: the encoder reads at the clip's own pace, so its reports come over three seconds and a
    // busy machine cannot hand them all over in one read (a piece counts its first report).
    const RunResult run = getDosOutput(QStringLiteral("ffmpeg"),
                                       ffmpeg + QStringLiteral(" -y -re -i ") + quoteArg(clip) +
                                           QStringLiteral(" -c:v mpeg4 -stats_period 0.05 ") +
                                           quoteArg(dir.filePath(QStringLiteral("out.mp4"))),
                                       dir.path(), [&](const QString &piece, bool &) {
                                           pieces << piece;
                                           const RenderProgress::Step step = live.feed(piece);
                                           if (step.progress)
                                               highestPercent =
                                                   std::max(highestPercent, step.percent);
                                       });
    QVERIFY2(run.succeeded(), qPrintable(run.lines.join(QLatin1Char('\n'))));
    // 3 seconds less the one cut from the start.
    QCOMPARE(live.expectedSeconds(), qint64(2));
    QVERIFY2(highestPercent >= 50, qPrintable(QString::number(highestPercent)));

    const QString all = pieces.join(QString());
    const qsizetype at = all.indexOf(QStringLiteral("Duration: "));
    QVERIFY(at > 0);
    for (qsizetype cut = at - 2; cut < at + 25; ++cut) {
        RenderProgress progress;
        progress.feed(all.left(cut));
        progress.feed(all.mid(cut));
        QCOMPARE(progress.expectedSeconds(), qint64(3));
    }
    // Small pieces of every size, the way a slow pipe might deliver them.
    for (int size : {1, 2, 3, 7, 13, 64}) {
        RenderProgress progress;
        for (qsizetype from = 0; from < all.size(); from += size)
            progress.feed(all.mid(from, size));
        QCOMPARE(progress.expectedSeconds(), qint64(3));
    }
}

void TestRenderProgress::timeFormats_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << QStringLiteral("C");
    QTest::newRow("Turkish") << QStringLiteral("tr_TR");
    QTest::newRow("English (US)") << QStringLiteral("en_US");
    QTest::newRow("German") << QStringLiteral("de_DE");
}

// A time written in the long format reads back, without a time-zone part.
void TestRenderProgress::timeFormats()
{
    QFETCH(QString, locale);
    const QLocale l(locale);
    const QString format = longTimeFormat(l);
    QVERIFY(!format.isEmpty());
    QVERIFY2(!format.contains(QLatin1Char('t')), qPrintable(format));
    for (const QTime &time : {QTime(0, 0, 1), QTime(9, 5, 7), QTime(13, 59, 59), QTime(23, 0, 0)}) {
        const QString text = timeText(time, l);
        QCOMPARE(l.toTime(text, format), time);
    }
    // A span is counted on a 24-hour clock and never carries an AM/PM marker.
    QCOMPARE(elapsedText(13 * 3600 + 5, l), QStringLiteral("13:00:05"));
}

void TestRenderProgress::elapsed()
{
    const QLocale c = QLocale::c();
    QCOMPARE(elapsedText(0, c), QStringLiteral("00:00:00"));
    QCOMPARE(elapsedText(3661, c), QStringLiteral("01:01:01"));
    QCOMPARE(elapsedText(86399, c), QStringLiteral("23:59:59"));
    QCOMPARE(elapsedText(86400 + 5, c), QStringLiteral("1.00:00:05"));
    QCOMPARE(elapsedText(-3, c), QStringLiteral("00:00:00"));
}

QTEST_GUILESS_MAIN(TestRenderProgress)
#include "tst_renderprogress.moc"
