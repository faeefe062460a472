// fulmaro-batch building and running render commands, with the real encoder and probe.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"
#include "support/batchrunner.h"
#include "support/fakedesktopbus.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

} // namespace

class TestBatchRender : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void dryRunPrintsTheQueuesLine();
    void dryRunWithOverlaysRunsAsPrinted();
    void dryRunPreview();
    void refused_data();
    void refused();
    void renders();
    void encoderRefusedOnce();
    void interruptStopsTheRunningJob_data();
    void interruptStopsTheRunningJob();
    void statusLineOnATerminal();

private:
    Output batch(const QStringList &args, int timeoutMs = 120000);

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    ToolSet m_tools;
    QString m_sound;  // 1 s, with sound
    QString m_silent; // 1 s, no sound
    QString m_out;
    const QString m_silentName = QStringLiteral("@silent");
    // logind on a bus of the test's own; the front end finds it through the variable.
    testsupport::FakeDesktopBus m_desktop;
};

Output TestBatchRender::batch(const QStringList &args, int timeoutMs)
{
    return testsupport::runBatch(args, {}, {}, timeoutMs);
}

void TestBatchRender::initTestCase()
{
    QVERIFY(m_desktop.start());
    const QString data = testsupport::isolateDataHome();
    m_folders = WorkFolders::under(data);
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_tools = ToolSet::configured(m_folders.binDir);
    m_sound = m_dir.filePath(QStringLiteral("deniz kıyısı.mp4"));
    m_silent = m_dir.filePath(QStringLiteral("sessiz.mp4"));
    QVERIFY(testsupport::makeClip(m_sound, 1, true));
    QVERIFY(testsupport::makeClip(m_silent, 1, false));
    m_out = m_dir.filePath(QStringLiteral("Çıktı"));
    QVERIFY(QDir().mkpath(m_out));
}

// The line writes the temporary name and gives the output its final name only when the
// encoder has succeeded.
void TestBatchRender::dryRunPrintsTheQueuesLine()
{
    const Output o = batch({"--output", m_out, "--dry-run", m_sound});
    QCOMPARE(o.exitCode, 0);
    QCOMPARE(o.err, QString());
    // The default settings: the plain 720p render of this row, at its own frame rate. The video
    // covers the whole picture, so no canvas is drawn under it.
    const QString expected =
        quoteArg(m_folders.binDir + "ffmpeg") +
        QStringLiteral(" -y  -threads 6 -i %1 -preset ultrafast -filter_complex \"[0:v] "
                       "scale=1280x720, format=yuva420p, fps=30/1:round=up, setsar=1, "
                       "setparams=field_mode=prog:range=unknown:color_primaries=unknown:"
                       "color_trc=unknown:colorspace=unknown, format=yuv420p[video]\" -map "
                       "\"[video]\"  -map 0:a? -c:a copy  -b:v 5000k %2 && mv -f -- %2 %3\n")
            .arg(quoteArg(m_sound), quoteArg(m_out + "/deniz kıyısı.part.mp4"),
                 quoteArg(m_out + "/deniz kıyısı.mp4"));
    QCOMPARE(testsupport::withoutComments(o.out), expected);

    // The same lines the window's queue runs for rows the list's probes made, also where the
    // length, the sound and the frame rate all count.
    const QList<QStringList> sets{{}, {"--set", "tbVideoSpeed=50", "--set", "edTimeEnd=1"}};
    // Long enough for the cut to leave something.
    const QString sound3 = m_dir.filePath(QStringLiteral("üç saniye.mp4"));
    const QString silent3 = m_dir.filePath(QStringLiteral("üç saniye sessiz.mp4"));
    QVERIFY(testsupport::makeClip(sound3, 3, true));
    QVERIFY(testsupport::makeClip(silent3, 3, false));
    for (const QStringList &set : sets) {
        RenderSettings settings;
        QList<VideoItem> items;
        for (const QString &clip : {sound3, silent3}) {
            const auto item = probeVideoFile(m_tools, m_folders.workDir, clip);
            QVERIFY(item);
            items << *item;
        }
        if (!set.isEmpty()) {
            settings.tbVideoSpeed = 50;
            settings.edTimeEnd = 1;
        }
        QString expectedLines;
        for (const RenderJob &job :
             buildRenderJobs(items, settings, BuildFolders::from(m_folders, m_tools), m_out))
            expectedLines += safeRenderCommandLine(m_tools.path(m_tools.ffMpeg), job) + '\n';
        const Output both =
            batch(QStringList{"--output", m_out, "--dry-run"} + set + QStringList{sound3, silent3});
        QCOMPARE(testsupport::withoutComments(both.out), expectedLines);
    }

    // The saved output folder is the default.
    QVERIFY(QFile::remove(m_folders.settingsFile()) || !QFile::exists(m_folders.settingsFile()));
    QFile settings(m_folders.settingsFile());
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(("outputfolder=" + m_out + "\r\n").toUtf8());
    settings.close();
    QCOMPARE(testsupport::withoutComments(batch({"--dry-run", m_sound}).out), expected);
    QVERIFY(QFile::remove(m_folders.settingsFile()));

    // A line cut off mid-write (here by a limit on the file size, as a full disk would) leaves
    // an older file under the final name as it was.
    QTemporaryDir elsewhere;
    const QString older = m_out + "/deniz kıyısı.mp4";
    QFile file(older);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("older");
    file.close();
    const testsupport::ShellRun cut = testsupport::runShell(
        QStringLiteral("ulimit -f 100; ") + expected.trimmed(), elsewhere.path());
    QVERIFY2(cut.exitCode != 0, qPrintable(cut.output));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("older"));
    file.close();
    QFile::remove(m_out + "/deniz kıyısı.part.mp4");
    QVERIFY(QFile::remove(older));
}

void TestBatchRender::dryRunWithOverlaysRunsAsPrinted()
{
    QImage logo(40, 40, QImage::Format_ARGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(m_folders.logoDir + "Kırmızı.png"));
    QImage filter(64, 36, QImage::Format_ARGB32);
    filter.fill(QColor(0, 0, 255, 80));
    QVERIFY(filter.save(m_folders.filterDir + "mavi.png"));

    const QStringList sets{
        "cbRenderScale=6",  "cbBitrate=800",          "cbPreset=2",        "edTimeStart=0",
        "tbVideoSpeed=150", "cbFlipVideo=1",          "cbSepia=1",         "tbContrast=12",
        "cbFilter=mavi",    "cbFrame=Fulmaro Özel 2", "edVideoFront=1",    "cbVideoScale=30%",
        "cbLogo=Kırmızı",   "cbLogoPosition=9",       "cbLogoScale=20x20", "cbExtension=mkv"};
    QStringList args{"--output", m_out, "--dry-run"};
    for (const QString &s : sets)
        args << "--set" << s;
    args << m_sound << m_silent;
    const Output o = batch(args);
    QCOMPARE(o.exitCode, 0);
    const QStringList lines = testsupport::withoutComments(o.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].contains("atempo=1.5"), qPrintable(lines[0]));
    QVERIFY2(!lines[1].contains("atempo"), qPrintable(lines[1])); // no sound to speed up
    QVERIFY(lines[0].endsWith(quoteArg(m_out + "/deniz kıyısı.mkv")));

    // The scratch copies are in place, so the printed lines run as they are.
    for (const QString &line : lines) {
        const RunResult r = getDosOutput(m_tools.ffMpeg, line, m_folders.tempDir);
        QVERIFY2(r.succeeded(), qPrintable(r.lines.mid(r.lines.size() - 5).join('\n')));
    }
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/deniz kıyısı.mkv") - 1.0 / 1.5) < 0.15);
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/sessiz.mkv") - 1.0 / 1.5) < 0.15);
}

void TestBatchRender::dryRunPreview()
{
    const Output o = batch({"--dry-run", "--preview", "--set", "cbPreviewScale=6", m_sound});
    QCOMPARE(o.exitCode, 0);
    const QString line = o.out.trimmed();
    QVERIFY2(line.startsWith(quoteArg(m_folders.binDir + "ffmpeg") + "  -threads 6 -i "),
             qPrintable(line));
    QVERIFY2(line.contains("scale=426x240"), qPrintable(line));
    QVERIFY2(line.endsWith("-f avi - | " + quoteArg(m_folders.binDir + "ffplay") +
                           " - -window_title \"Fulmaro: Önizleme\" -autoexit -framedrop"),
             qPrintable(line));
}

void TestBatchRender::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString clip = QStringLiteral("@clip");
    QTest::newRow("unknown name") << QStringList{"--set", "cbNope=1", clip} << "cbNope";
    QTest::newRow("slider out of range")
        << QStringList{"--set", "tbVideoSpeed=201", clip} << "tbVideoSpeed";
    QTest::newRow("bitrate refused") << QStringList{"--set", "cbBitrate=12a", clip} << "cbBitrate";
    QTest::newRow("logo size refused")
        << QStringList{"--set", "cbLogoScale=10x", clip} << "cbLogoScale";
    QTest::newRow("no such picture") << QStringList{"--set", "cbLogo=yok-böyle", clip} << "cbLogo";
    QTest::newRow("missing file") << QStringList{"/no/such/video.mp4"} << "Dosya bulunamadı";
    QTest::newRow("missing output folder")
        << QStringList{"--output", "/no/such/folder", clip} << "Çıkış klasörü bulunamadı.";
    QTest::newRow("no output folder chosen") << QStringList{clip} << "Çıkış klasörü seçilmemiş";
    QTest::newRow("preview without dry run") << QStringList{"--preview", clip} << "--dry-run";
    QTest::newRow("set without value") << QStringList{"--set"} << "--set";
    QTest::newRow("zero bitrate") << QStringList{"--output", "@out", "--set", "cbBitrate=0", clip}
                                  << "Bit hızı sıfır olamaz.";
    QTest::newRow("trim as long as the video")
        << QStringList{"--output", "@out", "--set", "edTimeEnd=1", clip}
        << "Kırpma sonrası videodan geriye bir şey kalmıyor: deniz kıyısı.mp4";
    QTest::newRow("trim past the end")
        << QStringList{"--output", "@out", "--set", "edTimeStart=3", m_silentName, clip}
        << "Kırpma sonrası videodan geriye bir şey kalmıyor: sessiz.mp4";
    QTest::newRow("output folder takes no file")
        << QStringList{"--output", "@readonly", clip} << "Çıkış klasörüne yazılamıyor";
}

void TestBatchRender::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    args.replaceInStrings(QStringLiteral("@clip"), m_sound);
    args.replaceInStrings(m_silentName, m_silent);
    args.replaceInStrings(QStringLiteral("@out"), m_out);
    const QString readOnly = m_dir.filePath(QStringLiteral("salt okunur"));
    bool mounted = false;
    if (args.contains(QStringLiteral("@readonly"))) {
        QVERIFY(QDir().mkpath(readOnly));
        args.replaceInStrings(QStringLiteral("@readonly"), readOnly);
        if (::geteuid() == 0) {
            // Permissions do not stop this user: a read-only view of the folder does.
            mounted = QProcess::execute("mount", {"--bind", readOnly, readOnly}) == 0;
            if (mounted && QProcess::execute("mount", {"-o", "remount,bind,ro", readOnly}) != 0)
                mounted = QProcess::execute("umount", {readOnly}) != 0;
            if (!mounted)
                QSKIP("no read-only folder can be made here");
        } else {
            QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
        }
    }
    const Output o = batch(args);
    if (mounted)
        QProcess::execute("umount", {readOnly});
    QCOMPARE(o.exitCode, 2);
    QCOMPARE(o.out, QString());
    QVERIFY2(o.err.contains(message), qPrintable(o.err));
    QVERIFY(!QFileInfo::exists(m_out + "/deniz kıyısı.mp4"));
}

void TestBatchRender::renders()
{
    const QString broken = m_dir.filePath(QStringLiteral("bozuk.mp4"));
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    const QString out = m_dir.filePath(QStringLiteral("render"));
    QVERIFY(QDir().mkpath(out));

    const Output o =
        batch({"--output", out, "--set", "cbRenderScale=6", m_sound, broken, m_silent});
    QCOMPARE(o.exitCode, 1);
    QVERIFY(qAbs(testsupport::probedSeconds(out + "/deniz kıyısı.mp4") - 1.0) < 0.15);
    QVERIFY(qAbs(testsupport::probedSeconds(out + "/sessiz.mp4") - 1.0) < 0.15);
    const QStringList status = o.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(status.filter(QRegularExpression("^\\[1/3\\] .*deniz kıyısı.mp4: tamam")).size() == 1,
             qPrintable(o.err));
    // A file the probe cannot read is refused with its reason and never reaches the encoder; it
    // leaves no file.
    const qsizetype failedAt =
        status.indexOf(QRegularExpression("^\\[2/3\\] .*bozuk.mp4: hata: okunamadı$"));
    QVERIFY2(failedAt > 0, qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files),
             QStringList({QStringLiteral("deniz kıyısı.mp4"), QStringLiteral("sessiz.mp4")}));
    QVERIFY2(status.filter(QRegularExpression("^\\[3/3\\] .*sessiz.mp4: tamam")).size() == 1,
             qPrintable(o.err));
    QVERIFY2(o.err.contains("Toplam 3 iş: 2 başarılı, 1 başarısız"), qPrintable(o.err));

    // Every job succeeding ends with 0.
    QCOMPARE(batch({"--output", out, "--set", "cbRenderScale=6", m_silent}).exitCode, 0);
}

// An encoder that fails its check: its message once, however many files, and nothing runs.
void TestBatchRender::encoderRefusedOnce()
{
    const QString bin = m_folders.binDir;
    QVERIFY(QFile::remove(bin + "ffmpeg"));
    QFile fake(bin + "ffmpeg");
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nexit 0\n");
    fake.close();
    fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner);
    const QString out = m_dir.filePath(QStringLiteral("refused"));
    QVERIFY(QDir().mkpath(out));
    const Output o = batch({"--output", out, m_sound, m_silent, m_sound});
    QVERIFY(testsupport::linkRealTools(bin));
    QCOMPARE(o.exitCode, 1);
    QCOMPARE(o.err.count(QStringLiteral("FFMpeg dosya versiyonları uyumsuz!")), 1);
    QCOMPARE(o.err.count(QStringLiteral(": çalıştırılmadı")), 3);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
}

// Ctrl-C, or the end of the session, stops the running job: neither its output nor its
// temporary file is left, and no encoder of it keeps running.
void TestBatchRender::interruptStopsTheRunningJob_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("terminate") << int(SIGTERM);
}

void TestBatchRender::interruptStopsTheRunningJob()
{
    QFETCH(int, signal);
    const QString longClip = m_dir.filePath(QStringLiteral("uzun.mp4"));
    if (!QFileInfo::exists(longClip))
        QVERIFY(testsupport::makeClip(longClip, 60, true, QStringLiteral("640x480")));
    const QString out = m_dir.filePath(QStringLiteral("stop %1").arg(signal));
    QVERIFY(QDir().mkpath(out));
    // An older output of that name survives the stopped job.
    QFile older(out + "/uzun.mp4");
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();

    QProcess p;
    p.start(QStringLiteral(FULMARO_BATCH),
            {"--output", out, "--jobs", "1", "--set", "cbPreset=4", longClip, m_sound});
    QVERIFY(p.waitForStarted());
    // Wait until the encoder is writing its output, under the temporary name.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out + "/uzun.part.mp4").size() > 0, 20000);
    // The machine is kept awake while the batch renders.
    // (Earlier runs' calls may reach the stand-in only now: their callers have gone, so their
    // locks are not held.)
    QTRY_COMPARE(m_desktop.locksHeld(), 1);
    for (const QVariantList &inhibit : std::as_const(m_desktop.inhibits))
        QCOMPARE(inhibit,
                 QVariantList({QStringLiteral("sleep:idle"), QStringLiteral("Fulmaro"),
                               QStringLiteral("Fulmaro video işliyor"), QStringLiteral("block")}));
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(m_desktop.locksHeld(), 0);
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("uzun.mp4: durduruldu"), qPrintable(err));
    QVERIFY2(err.contains("deniz kıyısı.mp4: çalıştırılmadı"), qPrintable(err));
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("uzun.mp4")});
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("older"));

    // No encoder of that job is left running.
    QDirIterator procs("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (procs.hasNext()) {
        QFile cmd(procs.next() + "/cmdline");
        if (cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains(out.toUtf8()))
            QVERIFY2(!testsupport::processAlive(procs.fileName().toLongLong()),
                     qPrintable(procs.fileName()));
    }
}

// On a terminal the status line carries the window's figures: the job's percentage, the
// encoder's speed and the time left, then the whole run's.
void TestBatchRender::statusLineOnATerminal()
{
    const QString clip = m_dir.filePath(QStringLiteral("orta.mp4"));
    QVERIFY(testsupport::makeClip(clip, 20, true, QStringLiteral("320x240")));
    const QString out = m_dir.filePath(QStringLiteral("terminal"));
    QVERIFY(QDir().mkpath(out));
    // script gives the front end a terminal of its own.
    QProcess p;
    p.start(QStringLiteral("script"), {"-qefc",
                                       quoteArg(QStringLiteral(FULMARO_BATCH)) + " --output " +
                                           quoteArg(out) + ' ' + quoteArg(clip),
                                       "/dev/null"});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 180000);
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromUtf8(p.readAll());

    const QRegularExpression line(
        QStringLiteral("orta\\.mp4: %(\\d+) · (\\d+\\.\\d)x · kalan (\\d\\d):(\\d\\d):(\\d\\d) · "
                       "toplam %(\\d+) · 1/1 · kalan \\d\\d:\\d\\d:\\d\\d"));
    QList<int> left;
    QList<double> speeds;
    QRegularExpressionMatchIterator it = line.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QVERIFY2(m.captured(2).toDouble() > 0, qPrintable(m.captured(0)));
        speeds << m.captured(2).toDouble();
        // One job: the run is where the job is (its figure counts the fraction of a second too).
        QVERIFY2(m.captured(6).toInt() >= qMin(100, m.captured(1).toInt()),
                 qPrintable(m.captured(0)));
        left << m.captured(3).toInt() * 3600 + m.captured(4).toInt() * 60 + m.captured(5).toInt();
    }
    QVERIFY2(left.size() >= 2, qPrintable(text));
    // The time left counts down; it may rise only where the encoder slowed down (a busy machine).
    QVERIFY2(left.constLast() <= left.constFirst() || speeds.constLast() < speeds.constFirst(),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("orta.mp4: tamam")), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestBatchRender)
#include "tst_batch_render.moc"
