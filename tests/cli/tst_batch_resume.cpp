// A batch cut short by a kill goes on where it stopped when the same command is given again;
// another command, --fresh, a changed source, a corrupt journal and a live program's journal are
// dealt with as the user would expect. The real encoder and probe throughout.
#include "core/base/workfolders.h"
#include "core/batch/runjournal.h"
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

class TestBatchResume : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void killedRunContinues();
    void freshOrChangedStartsAnew_data();
    void freshOrChangedStartsAnew();
    void corruptJournalSetAside();
    void liveProgramsJournalLeftAlone();
    void killedEncodeGoesOnFromItsSegment_data();
    void killedEncodeGoesOnFromItsSegment();
    void freshDropsTheSegments();
    void endedProgramKeepsWhatGoesOn_data();
    void endedProgramKeepsWhatGoesOn();

private:
    // Starts the batch over the three clips, kills it (-9) while the second job runs, after the
    // first is done.
    bool killDuringSecondJob();
    // Renders the long clip alone and kills the program (-9) once the given segment is done;
    // the segments left behind.
    QStringList killAfterSegment(const QStringList &args, int segment);
    QStringList command(const QStringList &extra = {}) const;
    QStringList journals() const;

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    QString m_src;
    QString m_out;
    QStringList m_clips;
};

void TestBatchResume::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    m_src = m_dir.filePath(QStringLiteral("kaynak $ klasör"));
    QVERIFY(QDir().mkpath(m_src));
    m_clips = QStringList{m_src + "/bir.mp4", m_src + "/uzun 'iki'.mp4", m_src + "/üç.mp4"};
    QVERIFY(testsupport::makeClip(m_clips[0], 2));
    QVERIFY(testsupport::makeClip(m_clips[1], 90, true, QStringLiteral("640x480")));
    QVERIFY(testsupport::makeClip(m_clips[2], 1, false));
}

void TestBatchResume::init()
{
    m_out = m_dir.filePath(QStringLiteral("çıktı ") + QTest::currentTestFunction() +
                           QTest::currentDataTag());
    QDir(m_out).removeRecursively();
    QVERIFY(QDir().mkpath(m_out));
    for (const QString &journal : journals())
        QFile::remove(journal);
}

QStringList TestBatchResume::command(const QStringList &extra) const
{
    return QStringList{"--output", m_out, "--jobs", "1", "--set", "cbRenderScale=6"} + extra +
           m_clips;
}

QStringList TestBatchResume::journals() const
{
    QStringList found;
    const QDir folder(journalFolder(m_folders.workDir));
    for (const QString &name : folder.entryList({QStringLiteral("*.json")}, QDir::Files))
        found << folder.filePath(name);
    return found;
}

bool TestBatchResume::killDuringSecondJob()
{
    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH), command());
    if (!p.waitForStarted())
        return false;
    const bool reached = QTest::qWaitFor(
        [&] {
            // The long clip is encoded in segments beside its temporary file.
            return QFileInfo::exists(m_out + "/bir.mp4") &&
                   !QDir(m_out + "/uzun 'iki'.part")
                        .entryList({QStringLiteral("0*")}, QDir::Files)
                        .isEmpty();
        },
        60000);
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished();
    // The encoder goes with the program.
    const bool encoderGone =
        QTest::qWaitFor([this] { return !testsupport::processMentions(m_out.toUtf8()); }, 10000);
    return reached && encoderGone && !QFileInfo::exists(m_out + "/uzun 'iki'.mp4") &&
           journals().size() == 1;
}

// The same command again: the first output is kept as it was, the rest are made, and the
// journal goes once the run has ended.
void TestBatchResume::killedRunContinues()
{
    QVERIFY(killDuringSecondJob());
    const QDateTime firstWritten = QFileInfo(m_out + "/bir.mp4").lastModified();
    const testsupport::BatchResult r = testsupport::runBatch(command());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(
                 QStringLiteral("Yarım kalan işlem sürdürülüyor: 1 iş tamamlanmıştı, 2 iş kaldı.")),
             qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("Yarım kalan işlemde tamamlanmıştı.")),
             qPrintable(r.err));
    QCOMPARE(QFileInfo(m_out + "/bir.mp4").lastModified(), firstWritten);
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/uzun 'iki'.mp4") - 90) < 0.2);
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/üç.mp4") - 1) < 0.2);
    QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 3);
    QVERIFY(journals().isEmpty());
}

void TestBatchResume::freshOrChangedStartsAnew_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("--fresh") << "fresh";
    QTest::newRow("another command") << "command";
    QTest::newRow("source changed since") << "source";
}

// Nothing of the cut run is taken: every output is made again.
void TestBatchResume::freshOrChangedStartsAnew()
{
    QFETCH(QString, change);
    QVERIFY(killDuringSecondJob());
    QStringList args = command();
    if (change == "fresh")
        args = command({"--fresh"});
    else if (change == "command")
        args = command({"--set", "cbBitrate=3000"});
    else {
        // Copied over since (same size, another time).
        QFile source(m_clips[0]);
        QVERIFY(source.open(QIODevice::ReadWrite));
        QVERIFY(source.setFileTime(source.fileTime(QFileDevice::FileModificationTime).addSecs(-60),
                                   QFileDevice::FileModificationTime));
    }
    QTest::qWait(1100); // so a new output's time tells from the old one's
    const QDateTime firstWritten = QFileInfo(m_out + "/bir.mp4").lastModified();
    const testsupport::BatchResult r = testsupport::runBatch(args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(QFileInfo(m_out + "/bir.mp4").lastModified() > firstWritten);
    if (change == "source")
        QVERIFY2(r.err.contains(QStringLiteral("0 iş tamamlanmıştı, 3 iş kaldı")),
                 qPrintable(r.err));
    else
        QVERIFY2(!r.err.contains(QStringLiteral("sürdürülüyor")), qPrintable(r.err));
    // Another command keeps the cut run's journal for that command; the others leave none.
    QCOMPARE(journals().size(), change == "command" ? 1 : 0);
}

// A journal that cannot be read is set aside with a message, and the run starts anew.
void TestBatchResume::corruptJournalSetAside()
{
    QVERIFY(killDuringSecondJob());
    const QString journal = journals().constFirst();
    QFile file(journal);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{ \"version\": 1, \"jobs\": [ {\"source\": ");
    file.close();
    const testsupport::BatchResult r = testsupport::runBatch(command());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("Yarım kalan işlemin kaydı okunamadı")),
             qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(journal));
    const QStringList left = journals();
    QCOMPARE(left.size(), 1);
    QVERIFY2(left.constFirst().contains(QStringLiteral(".bozuk-")), qPrintable(left.join(' ')));
    QCOMPARE(QDir(m_out).entryList(QDir::Files).size(), 3);
}

// The same command while a live program runs it is refused; that program's journal is not
// touched, and goes when it is stopped.
void TestBatchResume::liveProgramsJournalLeftAlone()
{
    // The slowest preset keeps it running while the second one is tried.
    const QStringList slow = command({"--set", "cbPreset=4"});
    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH), slow);
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(journals().size() == 1, 20000);
    const QString journal = journals().constFirst();
    const testsupport::BatchResult second = testsupport::runBatch(slow);
    QCOMPARE(second.exitCode, 2);
    QVERIFY2(second.err.contains(QStringLiteral("başka bir fulmaro-batch tarafından işleniyor")),
             qPrintable(second.err));
    QVERIFY(QFileInfo::exists(journal));
    QCOMPARE(p.state(), QProcess::Running);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 130);
    QVERIFY(journals().isEmpty());
}

namespace {

struct StreamFacts
{
    int frames = 0;
    double pictureSeconds = 0;
    double soundSeconds = 0;
};

StreamFacts streamFacts(const QString &path)
{
    const auto probe = [&path](const char *stream, const char *entries) {
        QProcess p;
        p.start(QStringLiteral(TOOLS_DIR "/ffprobe"),
                {"-v", "error", "-count_packets", "-select_streams", stream, "-show_entries",
                 entries, "-of", "default=nw=1:nk=1", path});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    const QStringList picture = probe("v:0", "stream=duration,nb_read_packets");
    const QStringList sound = probe("a:0", "stream=duration");
    StreamFacts facts;
    facts.pictureSeconds = picture.value(0).toDouble();
    facts.frames = picture.value(1).toInt();
    facts.soundSeconds = sound.value(0).toDouble();
    return facts;
}

} // namespace

QStringList TestBatchResume::killAfterSegment(const QStringList &args, int segment)
{
    const QString folder = m_out + "/uzun 'iki'.part";
    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH), args);
    if (!p.waitForStarted())
        return {};
    const QString done = folder + QStringLiteral("/%1.mp4").arg(segment, 4, 10, QLatin1Char('0'));
    const bool reached = QTest::qWaitFor([&] { return QFileInfo::exists(done); }, 120000);
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished();
    const bool encoderGone =
        QTest::qWaitFor([this] { return !testsupport::processMentions(m_out.toUtf8()); }, 10000);
    if (!reached || !encoderGone || QFileInfo::exists(m_out + "/uzun 'iki'.mp4"))
        return {};
    return QDir(folder).entryList({QStringLiteral("[0-9][0-9][0-9][0-9].mp4")}, QDir::Files);
}

void TestBatchResume::killedEncodeGoesOnFromItsSegment_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("as set") << QStringList{};
    QTest::newRow("trimmed and faster") << QStringList{
        "--set", "edTimeStart=3", "--set", "edTimeEnd=2", "--set", "tbVideoSpeed=125"};
}

// An encode killed in its third segment goes on from that segment when the same command is given
// again, and its output has the frames and the sound of an encode that was never cut.
void TestBatchResume::killedEncodeGoesOnFromItsSegment()
{
    QFETCH(QStringList, settings);
    const QStringList args =
        QStringList{"--output", m_out, "--jobs", "1", "--set", "cbRenderScale=6"} + settings +
        QStringList{m_clips[1]};
    const QStringList kept = killAfterSegment(args, 2);
    QVERIFY2(kept.size() >= 2, qPrintable(kept.join(' ')));

    const testsupport::BatchResult r = testsupport::runBatch(args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // Only what was not done is encoded again: the segments that were there are used.
    QVERIFY2(r.err.contains(QStringLiteral(" parçanın %1 tanesi hazırdı.").arg(kept.size())),
             qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(m_out + "/uzun 'iki'.part"));
    const QString output = m_out + "/uzun 'iki'.mp4";

    // The same job in one encode, as its --dry-run line makes it.
    const QString whole = m_out + "/tek";
    QVERIFY(QDir().mkpath(whole));
    QStringList dry = args;
    dry[1] = whole;
    const testsupport::BatchResult line = testsupport::runBatch(QStringList{"--dry-run"} + dry);
    QCOMPARE(line.exitCode, 0);
    QString command;
    for (const QString &text : line.out.split('\n')) {
        if (!text.startsWith(QLatin1String("# ")) && !text.trimmed().isEmpty())
            command = text;
    }
    const testsupport::ShellRun wholeRun = testsupport::runShell(command, m_out);
    QVERIFY2(wholeRun.exitCode == 0, qPrintable(wholeRun.output));

    const StreamFacts resumed = streamFacts(output);
    const StreamFacts uncut = streamFacts(whole + "/uzun 'iki'.mp4");
    QVERIFY(uncut.frames > 1500);
    QCOMPARE(resumed.frames, uncut.frames);
    QVERIFY2(
        qAbs(resumed.pictureSeconds - resumed.soundSeconds) <= 0.05,
        qPrintable(QStringLiteral("%1 %2").arg(resumed.pictureSeconds).arg(resumed.soundSeconds)));
    QVERIFY(qAbs(resumed.soundSeconds - uncut.soundSeconds) <= 0.05);
    // Plays from end to end: the decoder finds nothing wrong.
    const testsupport::ShellRun decode =
        testsupport::runShell(QStringLiteral(TOOLS_DIR "/ffmpeg -v error -i ") + quoteArg(output) +
                                  QStringLiteral(" -f null -"),
                              m_out);
    QCOMPARE(decode.exitCode, 0);
    QVERIFY2(decode.output.trimmed().isEmpty(), qPrintable(decode.output));
}

// --fresh starts a cut encode from its first frame: the segments left are not used.
void TestBatchResume::freshDropsTheSegments()
{
    const QStringList args =
        QStringList{"--output", m_out, "--jobs", "1", "--set", "cbRenderScale=6", m_clips[1]};
    QVERIFY(!killAfterSegment(args, 1).isEmpty());
    const testsupport::BatchResult r = testsupport::runBatch(QStringList{"--fresh"} + args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(!r.err.contains(QStringLiteral("hazırdı")), qPrintable(r.err));
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/uzun 'iki'.mp4") - 90) < 0.2);
    QVERIFY(!QFileInfo::exists(m_out + "/uzun 'iki'.part"));
}

void TestBatchResume::endedProgramKeepsWhatGoesOn_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("kept");
    QTest::newRow("Ctrl-C: the user stops it") << int(SIGINT) << false;
    QTest::newRow("SIGTERM: a shutdown or a time limit") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP: the terminal closed") << int(SIGHUP) << true;
}

// Ctrl-C gives the run up: nothing of it is left. A program ended from outside keeps its journal
// and the finished segments, and the same command goes on from them.
void TestBatchResume::endedProgramKeepsWhatGoesOn()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, kept);
    const QStringList args =
        QStringList{"--output", m_out, "--jobs", "1", "--set", "cbRenderScale=6", m_clips[1]};
    const QString folder = m_out + "/uzun 'iki'.part";
    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH), args);
    QVERIFY(p.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(folder + "/0002.mp4"); }, 120000));
    ::kill(pid_t(p.processId()), signalNumber);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(err.contains(QStringLiteral("Kesildi: aynı komut yeniden verildiğinde kaldığı yerden "
                                         "sürer.")),
             kept);
    QVERIFY(!QFileInfo::exists(m_out + "/uzun 'iki'.mp4"));
    QVERIFY(!QFileInfo::exists(m_out + "/uzun 'iki'.part.mp4"));
    QCOMPARE(journals().size(), kept ? 1 : 0);
    const QStringList segments =
        QDir(folder).entryList({QStringLiteral("[0-9][0-9][0-9][0-9].mp4")}, QDir::Files);
    QCOMPARE(segments.size() >= 2, kept);
    if (!kept) {
        QVERIFY(!QFileInfo::exists(folder));
        return;
    }
    const testsupport::BatchResult r = testsupport::runBatch(args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("Yarım kalan işlem sürdürülüyor: 0 iş tamamlanmıştı, "
                                           "1 iş kaldı.")),
             qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral(" parçanın %1 tanesi hazırdı.").arg(segments.size())),
             qPrintable(r.err));
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/uzun 'iki'.mp4") - 90) < 0.2);
    QVERIFY(journals().isEmpty());
}

QTEST_GUILESS_MAIN(TestBatchResume)
#include "tst_batch_resume.moc"
