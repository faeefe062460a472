// Several jobs at once with the real encoder: jobs that run side by side, equal output names,
// reports in the list's order, a stop that ends every running job and a failing job among
// running ones.
#include "core/runner/shellquote.h"
#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace fulmaro;

class TestBatchJobs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void severalAtOnce_data();
    void severalAtOnce();
    void stopEndsEveryRunningJob();
    void failingJobAmongRunningOnes();
    void jobsOption_data();
    void jobsOption();

private:
    QTemporaryDir m_dir;
};

void TestBatchJobs::initTestCase()
{
    QVERIFY(m_dir.isValid());
    testsupport::isolateDataHome();
}

void TestBatchJobs::severalAtOnce_data()
{
    QTest::addColumn<int>("jobs");
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

// Every output is its own source's, the two sources of one name get two outputs, and the
// finished jobs are told in the list's order although the first one ends last (how many run at
// once is shown with the queue itself, where it does not hang on the machine's load).
void TestBatchJobs::severalAtOnce()
{
    QFETCH(int, jobs);
    const QString src = m_dir.filePath(QStringLiteral("kaynak %1").arg(jobs));
    const QString out = m_dir.filePath(QStringLiteral("çıktı %1").arg(jobs));
    for (const QString &folder : QStringList{src + "/a", src + "/b", out})
        QVERIFY(QDir().mkpath(folder));
    struct Clip
    {
        QString path;
        int seconds;
        bool sound;
        QString size;
        QString output;
    };
    const QList<Clip> clips{
        {src + "/a/klip.mp4", 8, true, "320x240", out + "/klip.mp4"},
        {src + "/b/klip.mp4", 2, true, "200x150", out + "/klip (2).mp4"},
        {src + "/ç $x 'tırnak'.mp4", 3, false, "321x243", out + "/ç $x 'tırnak'.mp4"},
        {src + "/son.mp4", 2, true, "320x240", out + "/son.mp4"},
    };
    QStringList command{QStringLiteral(FULMARO_BATCH),
                        "--output",
                        out,
                        "--jobs",
                        QString::number(jobs),
                        "--set",
                        "cbRenderScale=6"};
    for (const Clip &clip : clips) {
        QVERIFY(testsupport::makeClip(clip.path, clip.seconds, clip.sound, clip.size));
        command << clip.path;
    }
    QStringList quoted;
    for (const QString &arg : std::as_const(command))
        quoted << quoteArg(arg);
    // script gives the front end a terminal, where its status line comes between the reports.
    QProcess p;
    p.start(QStringLiteral("script"), {"-qefc", quoted.join(QLatin1Char(' ')), "/dev/null"});
    QVERIFY(p.waitForStarted());
    QVERIFY(p.waitForFinished(180000));
    const QString text = QString::fromUtf8(p.readAll());
    QVERIFY2(p.exitCode() == 0, qPrintable(text));

    qsizetype from = 0;
    for (int i = 0; i < clips.size(); ++i) {
        const QString report = QStringLiteral("[%1/4] %2: tamam").arg(i + 1).arg(clips[i].output);
        const qsizetype at = text.indexOf(report, from);
        QVERIFY2(at >= 0, qPrintable(report + QStringLiteral("\n") + text));
        from = at;
        const double seconds = testsupport::probedSeconds(clips[i].output);
        QVERIFY2(qAbs(seconds - clips[i].seconds) < 0.2,
                 qPrintable(clips[i].output + QStringLiteral(": ") + QString::number(seconds)));
    }
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), clips.size());
}

// Ctrl-C with three jobs running ends all three trees: no temporary file, an older output of a
// running job's name kept, and the job after them not run.
void TestBatchJobs::stopEndsEveryRunningJob()
{
    const QString src = m_dir.filePath(QStringLiteral("uzun"));
    const QString out = m_dir.filePath(QStringLiteral("durdurulan çıktı"));
    QVERIFY(QDir().mkpath(src));
    QVERIFY(QDir().mkpath(out));
    QVERIFY(testsupport::makeClip(src + "/uzun 1.mp4", 60, true, QStringLiteral("640x480")));
    QVERIFY(QFile::copy(src + "/uzun 1.mp4", src + "/uzun 2.mp4"));
    QVERIFY(QFile::copy(src + "/uzun 1.mp4", src + "/uzun 3.mp4"));
    QVERIFY(testsupport::makeClip(src + "/kısa.mp4", 1));
    QFile older(out + "/uzun 2.mp4");
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();

    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH),
            {"--output", out, "--jobs", "3", "--set", "cbPreset=4", src + "/uzun 1.mp4",
             src + "/uzun 2.mp4", src + "/uzun 3.mp4", src + "/kısa.mp4"});
    QVERIFY(p.waitForStarted());
    // All three encoders are writing their outputs under the temporary names.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out + "/uzun 1.part.mp4").size() > 0 &&
                                 QFileInfo(out + "/uzun 2.part.mp4").size() > 0 &&
                                 QFileInfo(out + "/uzun 3.part.mp4").size() > 0,
                             30000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(err.contains(QStringLiteral("[%1/4] %2/uzun %1.mp4: durduruldu").arg(i).arg(out)),
                 qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("[4/4] %1/kısa.mp4: çalıştırılmadı").arg(out)),
             qPrintable(err));
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("uzun 2.mp4")});
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("older"));
    // No encoder of the run is left: each went with its tree.
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processMentions(out.toUtf8()), 5000);
}

// A source cut off after its header (a download that stopped) fails while the jobs beside it
// and after it go on and succeed.
void TestBatchJobs::failingJobAmongRunningOnes()
{
    const QString src = m_dir.filePath(QStringLiteral("karışık"));
    const QString out = m_dir.filePath(QStringLiteral("karışık çıktı"));
    QVERIFY(QDir().mkpath(src));
    QVERIFY(QDir().mkpath(out));
    const QString cut = src + "/kesik.mkv";
    QVERIFY(testsupport::makeClip(cut, 20));
    QFile file(cut);
    QVERIFY(file.resize(file.size() * 4 / 10));
    QVERIFY(testsupport::makeClip(src + "/bir.mp4", 3));
    QVERIFY(testsupport::makeClip(src + "/iki.mp4", 2, false));
    QVERIFY(testsupport::makeClip(src + "/üç.mp4", 2));

    const testsupport::BatchResult r =
        testsupport::runBatch({"--output", out, "--jobs", "2", "--set", "cbRenderScale=6",
                               src + "/bir.mp4", cut, src + "/iki.mp4", src + "/üç.mp4"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("[2/4] %1/kesik.mp4: hata").arg(out)),
             qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("kaynak dosya bozuk olabilir")), qPrintable(r.err));
    for (const QString name : {"bir", "iki", "üç"})
        QVERIFY2(testsupport::probedSeconds(out + '/' + name + ".mp4") > 1.5, qPrintable(name));
    // Nothing under the cut source's final name; its render is kept for a look, under the
    // temporary one.
    QVERIFY(!QFileInfo::exists(out + "/kesik.mp4"));
    QVERIFY(QFileInfo::exists(out + "/kesik.part.mp4"));
    QVERIFY2(r.err.contains(QStringLiteral("3 başarılı")), qPrintable(r.err));
}

void TestBatchJobs::jobsOption_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("auto") << "auto" << true;
    QTest::newRow("one") << "1" << true;
    QTest::newRow("four") << "4" << true;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("five") << "5" << false;
    QTest::newRow("word") << "iki" << false;
    QTest::newRow("signed") << "+2" << false;
}

// --jobs takes auto or 1 to 4; anything else is refused before any file is looked at.
void TestBatchJobs::jobsOption()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    const QString out = m_dir.filePath(QStringLiteral("seçenek ") + QTest::currentDataTag());
    QVERIFY(QDir().mkpath(out));
    const QString clip = m_dir.filePath(QStringLiteral("seçenek.mp4"));
    if (!QFileInfo::exists(clip))
        QVERIFY(testsupport::makeClip(clip, 1));
    const testsupport::BatchResult r =
        testsupport::runBatch({"--output", out, "--jobs", value, "--set", "cbRenderScale=6", clip});
    if (accepted) {
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(out + "/seçenek.mp4"));
    } else {
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("--jobs için auto ya da 1 ile 4 arasında")),
                 qPrintable(r.err));
        QVERIFY(QDir(out).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestBatchJobs)
#include "tst_batch_jobs.moc"
