// fulmaro-batch with each video codec, container and rate mode, rendered by the real encoders:
// what each pair writes, the pairs refused, two passes and their logs, and the quality slider.
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/render/rendersettings.h"
#include "core/render/videocodecs.h"
#include "support/batchrunner.h"
#include "support/corpus.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

// The smallest size and the fastest speed: the encoders do the least work.
const QStringList kSmallAndFast{"--set", "cbRenderScale=6", "--set", "cbPreset=0"};

QStringList settingArgs(const QStringList &settings)
{
    QStringList args;
    for (const QString &setting : settings)
        args << QStringLiteral("--set") << setting;
    return args;
}

// The codec name the probe gives the video a pair writes: the named codec, or under "Otomatik"
// the container's own. Empty for a pair this test does not know.
QString expectedVideoCodec(VideoCodec codec, const QString &container)
{
    switch (codec) {
    case VideoCodec::H264:
        return QStringLiteral("h264");
    case VideoCodec::H265:
        return QStringLiteral("hevc");
    case VideoCodec::VP9:
        return QStringLiteral("vp9");
    case VideoCodec::AV1:
        return QStringLiteral("av1");
    case VideoCodec::Auto:
        break;
    }
    if (container == QLatin1String("mp4") || container == QLatin1String("mkv") ||
        container == QLatin1String("mov"))
        return QStringLiteral("h264");
    if (container == QLatin1String("avi"))
        return QStringLiteral("mpeg4");
    if (container == QLatin1String("flv"))
        return QStringLiteral("flv1");
    if (container == QLatin1String("webm"))
        return QStringLiteral("vp9");
    return QString();
}

QString probeText(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffprobe"), QStringList{"-v", "error"} + args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct ReadBack
{
    QString errors;      // what the decoder said at error level or above; empty for a clean file
    QStringList streams; // the codec of each stream, "audio opus", "video h264", sorted
};

// Decodes the whole file, video and sound, as `ffmpeg -v error -i FILE -f null -` does, and
// reads the streams' codecs from the same run.
ReadBack readBack(const QString &path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
            {"-hide_banner", "-nostats", "-loglevel", "level+info", "-i", path, "-f", "null", "-"});
    ReadBack r;
    if (!p.waitForFinished(120000)) {
        r.errors = QStringLiteral("the decoder did not end");
        return r;
    }
    const QRegularExpression stream(
        QStringLiteral("^\\[info\\]\\s+Stream #0:\\d+[^:]*: (Video|Audio): (\\w+)"));
    bool input = true; // the input's streams come before the output's
    const QStringList lines = QString::fromUtf8(p.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.contains(QLatin1String("[error]")) || line.contains(QLatin1String("[fatal]")) ||
            line.contains(QLatin1String("[panic]")))
            r.errors += line + QLatin1Char('\n');
        if (line.startsWith(QLatin1String("[info] Output #")))
            input = false;
        const QRegularExpressionMatch m = stream.match(line);
        if (input && m.hasMatch())
            r.streams << m.captured(1).toLower() + QLatin1Char(' ') + m.captured(2);
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        r.errors += QStringLiteral("exit code %1").arg(p.exitCode());
    r.streams.sort();
    return r;
}

// The bytes of the video stream, and its length in seconds.
qint64 videoBytes(const QString &path)
{
    qint64 bytes = 0;
    const QStringList sizes = probeText({"-select_streams", "v:0", "-show_entries", "packet=size",
                                         "-of", "default=nw=1:nk=1", path})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &size : sizes)
        bytes += size.toLongLong();
    return bytes;
}

double videoSeconds(const QString &path)
{
    bool ok = false;
    const double seconds = probeText({"-select_streams", "v:0", "-show_entries", "stream=duration",
                                      "-of", "default=nw=1:nk=1", path})
                               .trimmed()
                               .toDouble(&ok);
    return ok ? seconds : -1;
}

// The structural similarity of each render to the source, frame by frame over the whole clip
// (1 is the same picture), measured in one run that decodes the source once; -1 for a render it
// could not measure.
QList<double> ssims(const QString &source, const QStringList &renders)
{
    QStringList args{"-hide_banner", "-nostats", "-i", source};
    QString graph = QStringLiteral("[0:v]split=%1").arg(renders.size());
    QString chains;
    QStringList maps;
    for (int i = 0; i < renders.size(); ++i) {
        args << "-i" << renders.at(i);
        graph += QStringLiteral("[s%1]").arg(i);
        chains += QStringLiteral(";[%1:v][s%2]ssim@r%2[o%2]").arg(i + 1).arg(i);
        maps << "-map" << QStringLiteral("[o%1]").arg(i);
    }
    args << "-filter_complex" << graph + chains;
    args += maps;
    args << "-f"
         << "null"
         << "-";
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"), args);
    QList<double> values(renders.size(), -1);
    if (!p.waitForFinished(180000) || p.exitCode() != 0)
        return values;
    const QString said = QString::fromUtf8(p.readAll());
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("\\[ssim@r(\\d+) @ [^]]*\\] SSIM .* All:([0-9.]+)"))
            .globalMatch(said);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const int i = m.captured(1).toInt();
        if (i >= 0 && i < values.size())
            values[i] = m.captured(2).toDouble();
    }
    return values;
}

// The 1 s clips, each with another sound.
constexpr int kMp3Clip = 0;
constexpr int kPcmClip = 1;
constexpr int kOpusClip = 2;
constexpr int kClipCount = 3;

struct WatchedRun
{
    int exitCode = -1; // -1: it crashed or did not end in time
    QString err;
    bool logsSeen = false; // the pass logs were there at some point of the run
};

} // namespace

class TestBatchCodecs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void offeredPairsRender_data();
    void offeredPairsRender();
    void refusedPairs_data();
    void refusedPairs();
    void twoPassesWithEachEncoder_data();
    void twoPassesWithEachEncoder();
    void twoPassesHitTheBitrate();
    void passLogsGoneAfterAFailure_data();
    void passLogsGoneAfterAFailure();
    void stopInTheFirstPassLeavesNothing();
    void higherQualityMakesALargerFile_data();
    void higherQualityMakesALargerFile();
    void newerCodecsSmallerAtTheSamePicture();

private:
    QString folder(const QString &name);
    // The files in the scratch folder, where the encoder runs and writes its pass logs.
    QStringList scratchFiles() const;
    QStringList passLogs(const QString &logName) const;
    // Runs fulmaro-batch and looks for the pass logs in the scratch folder while it runs.
    // fileLimit > 0: no file it or the encoder writes grows past that many bytes, as on a full
    // volume.
    WatchedRun runWatchingLogs(const QStringList &args, const QString &logName,
                               qint64 fileLimit = 0);

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    // 1 s clips as users have them, each with another sound: MP3, PCM from a camera, Opus.
    QStringList m_clips;
    QString m_long; // 20 s, 320x180, with sound, its detail changing as it runs
};

QString TestBatchCodecs::folder(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(path);
    return path;
}

QStringList TestBatchCodecs::scratchFiles() const
{
    return QDir(m_folders.tempDir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList TestBatchCodecs::passLogs(const QString &logName) const
{
    return QDir(m_folders.tempDir)
        .entryList({logName + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
}

WatchedRun TestBatchCodecs::runWatchingLogs(const QStringList &args, const QString &logName,
                                            qint64 fileLimit)
{
    QProcess p;
    // The encoder's messages in English, whatever the machine's language.
    p.setProcessEnvironment(testsupport::environmentWith({{"LC_ALL", "C.UTF-8"}}));
    if (fileLimit > 0) {
        p.setChildProcessModifier([fileLimit] {
            // A write past the limit fails as on a full volume, rather than ending the writer.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fileLimit), rlim_t(fileLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    WatchedRun run;
    p.start(QStringLiteral(FULMARO_BATCH), args);
    if (!p.waitForStarted())
        return run;
    QElapsedTimer clock;
    clock.start();
    while (!p.waitForFinished(20)) {
        if (!passLogs(logName).isEmpty())
            run.logsSeen = true;
        if (clock.elapsed() > 180000) {
            p.kill();
            p.waitForFinished();
            return run;
        }
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

void TestBatchCodecs::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));

    const QString mp3 = m_dir.filePath(QStringLiteral("deniz $ 'kıyısı'.mp4"));
    QVERIFY(corpus::encode({"-f", "lavfi", "-i", "testsrc2=size=174x98:rate=24000/1001:duration=1",
                            "-f", "lavfi", "-i", "sine=frequency=500:duration=1", "-c:v", "mpeg4",
                            "-c:a", "libmp3lame", "-shortest", mp3}));
    const QString pcm = m_dir.filePath(QStringLiteral("eski \"kamera\" çekimi.avi"));
    QVERIFY(
        corpus::encode({"-f", "lavfi", "-i", "testsrc2=size=200x112:rate=25:duration=1", "-f",
                        "lavfi", "-i", "sine=frequency=300:duration=1:sample_rate=48000", "-c:v",
                        "mjpeg", "-q:v", "8", "-c:a", "pcm_s16le", "-ac", "2", "-shortest", pcm}));
    const QString opus = m_dir.filePath(QStringLiteral("konuşma ğüşıöç.mkv"));
    QVERIFY(
        corpus::encode({"-f", "lavfi", "-i", "testsrc2=size=162x90:rate=15:duration=1", "-f",
                        "lavfi", "-i", "sine=frequency=700:duration=1:sample_rate=48000", "-c:v",
                        "libx264", "-preset", "ultrafast", "-c:a", "libopus", "-shortest", opus}));
    m_clips = {mp3, pcm, opus};

    // Calm at first, then grainy for a while, then calm again: the rate control has to spread
    // the bits.
    m_long = m_dir.filePath(QStringLiteral("iki geçiş.mp4"));
    QVERIFY(
        corpus::encode({"-f", "lavfi", "-i",
                        "testsrc2=size=320x180:rate=25:duration=20,"
                        "noise=alls=30:allf=t+u:enable='between(t,7,14)'",
                        "-f", "lavfi", "-i", "sine=frequency=330:duration=20", "-c:v", "libx264",
                        "-preset", "ultrafast", "-crf", "26", "-c:a", "aac", "-shortest", m_long}));
}

// Every codec, "Otomatik" too, in every container the pickers let it go into: the render reads
// back without an error, with the codec chosen and the source's sound, copied where the container
// holds it and encoded for it where not. The sources take turns, so each container gets sounds
// of several codecs; webm, which holds neither, gets MP3 or PCM.
void TestBatchCodecs::offeredPairsRender_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("clip");
    for (int codec = 0; codec < videoCodecItems().size(); ++codec) {
        for (int c = 0; c < extensionItems().size(); ++c) {
            const QString &container = extensionItems().at(c);
            if (!codecFitsContainer(videoCodecFromIndex(codec), container))
                continue;
            int clip = (codec + c) % kClipCount;
            if (container == QLatin1String("webm") && clip == kOpusClip)
                clip = kMp3Clip;
            QTest::addRow("%s in %s", qPrintable(videoCodecItems().at(codec)),
                          qPrintable(container))
                << codec << container << clip;
        }
    }
}

void TestBatchCodecs::offeredPairsRender()
{
    QFETCH(int, codec);
    QFETCH(QString, container);
    QFETCH(int, clip);
    const QString expected = expectedVideoCodec(videoCodecFromIndex(codec), container);
    QVERIFY2(!expected.isEmpty(), "a pair this test does not know");
    const QString source = m_clips.at(clip);
    const QString out = folder(QStringLiteral("çift %1 %2").arg(codec).arg(container));
    const Output o = testsupport::runBatch(
        QStringList{"--output", out} + kSmallAndFast +
        settingArgs({QStringLiteral("cbVideoCodec=%1").arg(codec), "cbExtension=" + container}) +
        QStringList{source});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    const QString render = out + QLatin1Char('/') + QFileInfo(source).completeBaseName() +
                           QLatin1Char('.') + container;
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(render).fileName()});
    const ReadBack back = readBack(render);
    QVERIFY2(back.errors.isEmpty(), qPrintable(back.errors));
    QCOMPARE(back.streams.size(), 2);
    QVERIFY2(back.streams.at(0).startsWith(QLatin1String("audio ")),
             qPrintable(back.streams.join(", ")));
    QCOMPARE(back.streams.at(1), QStringLiteral("video ") + expected);
}

// A codec its container cannot hold is refused before anything runs, with the reason and the
// containers that would do.
void TestBatchCodecs::refusedPairs_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, VideoCodec codec, const char *container,
                        const char *reason) {
        QTest::newRow(name) << int(codec) << QString::fromLatin1(container)
                            << QString::fromUtf8(reason);
    };
    row("AV1 in avi", VideoCodec::AV1, "avi",
        "AV1 videosu avi dosyasına yazılamaz; AV1 için şunlardan birini seçin: mp4, mkv, webm");
    row("AV1 in flv", VideoCodec::AV1, "flv",
        "AV1 videosu flv dosyasına yazılamaz; AV1 için şunlardan birini seçin: mp4, mkv, webm");
    row("AV1 in mov", VideoCodec::AV1, "mov",
        "AV1 videosu mov dosyasına yazılamaz; AV1 için şunlardan birini seçin: mp4, mkv, webm");
    row("VP9 in avi", VideoCodec::VP9, "avi",
        "VP9 videosu avi dosyasına yazılamaz; VP9 için şunlardan birini seçin: mp4, mkv, webm");
    row("VP9 in flv", VideoCodec::VP9, "flv",
        "VP9 videosu flv dosyasına yazılamaz; VP9 için şunlardan birini seçin: mp4, mkv, webm");
    row("VP9 in mov", VideoCodec::VP9, "mov",
        "VP9 videosu mov dosyasına yazılamaz; VP9 için şunlardan birini seçin: mp4, mkv, webm");
    row("H.265 in avi", VideoCodec::H265, "avi",
        "H.265 videosu avi dosyasına yazılamaz; H.265 için şunlardan birini seçin: mp4, mkv, mov");
    row("H.265 in flv", VideoCodec::H265, "flv",
        "H.265 videosu flv dosyasına yazılamaz; H.265 için şunlardan birini seçin: mp4, mkv, mov");
    row("H.265 in webm", VideoCodec::H265, "webm",
        "H.265 videosu webm dosyasına yazılamaz; H.265 için şunlardan birini seçin: mp4, mkv, "
        "mov");
    row("H.264 in webm", VideoCodec::H264, "webm",
        "H.264 videosu webm dosyasına yazılamaz; H.264 için şunlardan birini seçin: mp4, mkv, "
        "avi, flv, mov");
}

void TestBatchCodecs::refusedPairs()
{
    const QStringList before = scratchFiles();
    QFETCH(int, codec);
    QFETCH(QString, container);
    QFETCH(QString, reason);
    const QString out = folder(QStringLiteral("reddedilen"));
    const Output o = testsupport::runBatch(
        QStringList{"--output", out} + kSmallAndFast +
        settingArgs({QStringLiteral("cbVideoCodec=%1").arg(codec), "cbExtension=" + container}) +
        m_clips);
    QCOMPARE(o.exitCode, 2);
    QCOMPARE(o.out, QString());
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    // Nothing reached the encoder.
    QCOMPARE(scratchFiles(), before);
}

// Two passes with each codec, and with the encoders "Otomatik" takes for mp4, avi and webm
// (x264, MPEG-4, VP9), at the fastest speed: the first pass writes the log the second reads, and
// neither leaves a file behind in the scratch folder.
void TestBatchCodecs::twoPassesWithEachEncoder_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("container");
    for (const char *container : {"mp4", "avi", "webm"})
        QTest::addRow("Otomatik in %s", container) << 0 << QString::fromLatin1(container);
    QTest::newRow("H.265 in mkv") << int(VideoCodec::H265) << "mkv";
    QTest::newRow("VP9 in webm") << int(VideoCodec::VP9) << "webm";
    // Two passes of AV1 take libaom-av1.
    QTest::newRow("AV1 in mp4") << int(VideoCodec::AV1) << "mp4";
}

void TestBatchCodecs::twoPassesWithEachEncoder()
{
    const QStringList before = scratchFiles();
    QFETCH(int, codec);
    QFETCH(QString, container);
    const QString clip = m_clips.at(kMp3Clip);
    const QString out = folder(QStringLiteral("iki geçiş %1 %2").arg(codec).arg(container));
    const QString render =
        out + QLatin1Char('/') + QFileInfo(clip).completeBaseName() + QLatin1Char('.') + container;
    const WatchedRun run = runWatchingLogs(
        QStringList{"--output", out} + kSmallAndFast +
            settingArgs({QStringLiteral("cbVideoCodec=%1").arg(codec), "cbExtension=" + container,
                         "cbRateMode=2", "cbBitrate=300"}) +
            QStringList{clip},
        passLogName(render));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.logsSeen);
    const ReadBack back = readBack(render);
    QVERIFY2(back.errors.isEmpty(), qPrintable(back.errors));
    QVERIFY2(back.streams.contains(QStringLiteral("video ") +
                                   expectedVideoCodec(videoCodecFromIndex(codec), container)),
             qPrintable(back.streams.join(", ")));
    QCOMPARE(scratchFiles(), before);
}

// Two passes keep to the bitrate over a clip whose detail changes, and take their logs away.
void TestBatchCodecs::twoPassesHitTheBitrate()
{
    const QStringList before = scratchFiles();
    const QString out = folder(QStringLiteral("bit hızı"));
    const QString render = out + QStringLiteral("/iki geçiş.mp4");
    const WatchedRun run = runWatchingLogs(
        QStringList{"--output", out} + kSmallAndFast +
            settingArgs({"cbVideoCodec=1", "cbRateMode=2", "cbBitrate=1500"}) + QStringList{m_long},
        passLogName(render));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.logsSeen);
    QCOMPARE(scratchFiles(), before);
    const double seconds = videoSeconds(render);
    QVERIFY2(qAbs(seconds - 20) < 0.2, qPrintable(QString::number(seconds)));
    const double kbps = videoBytes(render) * 8 / seconds / 1000;
    qInfo("two passes at 1500 kbit/s: %.1f kbit/s", kbps);
    QVERIFY2(qAbs(kbps - 1500) <= 1500 * 0.05, qPrintable(QString::number(kbps)));
}

// However the job fails, the logs go with it: a volume that fills up while the second pass
// writes the output, a source that ends halfway through.
void TestBatchCodecs::passLogsGoneAfterAFailure_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");
    QTest::newRow("full volume") << "full"
                                 << "File too large";
    QTest::newRow("source cut short") << "cut"
                                      << "beklenen 20 sn";
}

void TestBatchCodecs::passLogsGoneAfterAFailure()
{
    const QStringList before = scratchFiles();
    QFETCH(QString, fault);
    QFETCH(QString, said);
    QString source = m_long;
    qint64 fileLimit = 0;
    if (fault == QLatin1String("full")) {
        // The logs fit; the output, 3.75 MB at this bitrate, does not.
        fileLimit = 1024 * 1024;
    } else {
        // A download that stopped halfway: the header says 20 s, half of it is there.
        const QString whole = m_dir.filePath(QStringLiteral("bütün.mkv"));
        QVERIFY(corpus::encode({"-i", m_long, "-c", "copy", whole}));
        QFile in(whole);
        QVERIFY(in.open(QIODevice::ReadOnly));
        source = m_dir.filePath(QStringLiteral("yarım kalmış indirme.mkv"));
        QFile cut(source);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        QVERIFY(cut.write(in.read(in.size() / 2)) > 0);
    }
    const QString out = folder(QStringLiteral("başarısız ") + fault);
    const QString render = out + QLatin1Char('/') + QFileInfo(source).completeBaseName() + ".mp4";
    const WatchedRun run = runWatchingLogs(
        QStringList{"--output", out} + kSmallAndFast +
            settingArgs({"cbVideoCodec=1", "cbRateMode=2", "cbBitrate=1500"}) + QStringList{source},
        passLogName(render), fileLimit);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY(run.logsSeen);
    QCOMPARE(passLogs(passLogName(render)), QStringList());
    QCOMPARE(scratchFiles(), before);
    QVERIFY(!QFileInfo::exists(render));
}

// Stopped while the first pass measures: no log, no temporary output, no output, no encoder.
void TestBatchCodecs::stopInTheFirstPassLeavesNothing()
{
    const QStringList before = scratchFiles();
    const QString out = folder(QStringLiteral("durdurulan"));
    const QString render = out + QStringLiteral("/iki geçiş.mp4");
    const QString log = passLogName(render);
    QProcess p;
    // At 1080p the first pass takes a few seconds.
    p.start(QStringLiteral(FULMARO_BATCH),
            QStringList{"--output", out} +
                settingArgs({"cbRenderScale=2", "cbPreset=0", "cbVideoCodec=1", "cbRateMode=2",
                             "cbBitrate=1500"}) +
                QStringList{m_long});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!passLogs(log).isEmpty(), 60000);
    // Still the first pass: the second writes into the temporary output.
    QCOMPARE(QFileInfo(out + QStringLiteral("/iki geçiş.part.mp4")).size(), 0);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("iki geçiş.mp4: durduruldu")), qPrintable(err));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(passLogs(log), QStringList());
    QCOMPARE(scratchFiles(), before);
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processMentions(log.toUtf8()), 5000);
}

// The quality slider on each encoder's own scale: higher is a larger file.
void TestBatchCodecs::higherQualityMakesALargerFile_data()
{
    QTest::addColumn<int>("codec");
    for (const VideoCodec codec :
         {VideoCodec::H264, VideoCodec::H265, VideoCodec::VP9, VideoCodec::AV1})
        QTest::newRow(qPrintable(videoCodecItems().at(int(codec)))) << int(codec);
}

void TestBatchCodecs::higherQualityMakesALargerFile()
{
    QFETCH(int, codec);
    const QString clip = m_clips.at(kPcmClip);
    qint64 sizes[2] = {};
    const int qualities[2] = {20, 80};
    for (int i = 0; i < 2; ++i) {
        const QString out = folder(QStringLiteral("kalite %1 %2").arg(codec).arg(qualities[i]));
        const Output o = testsupport::runBatch(
            QStringList{"--output", out} + kSmallAndFast +
            settingArgs({QStringLiteral("cbVideoCodec=%1").arg(codec), "cbExtension=mkv",
                         "cbRateMode=1", QStringLiteral("tbQuality=%1").arg(qualities[i])}) +
            QStringList{clip});
        QVERIFY2(o.exitCode == 0, qPrintable(o.err));
        sizes[i] =
            QFileInfo(out + QLatin1Char('/') + QFileInfo(clip).completeBaseName() + ".mkv").size();
        QVERIFY(sizes[i] > 0);
    }
    QVERIFY2(sizes[1] > sizes[0],
             qPrintable(QStringLiteral("%1 <= %2").arg(sizes[1]).arg(sizes[0])));
}

// At the slider's default, H.265 and AV1 make a smaller file than H.264 with the picture no
// worse, at the same speed, on a full HD scene that moves: a camera panning over a textured
// ground with an object crossing it, and the sensor's grain.
void TestBatchCodecs::newerCodecsSmallerAtTheSamePicture()
{
    const QString scene = m_dir.filePath(QStringLiteral("sahne 1080p.mkv"));
    QVERIFY(corpus::encode(
        {"-f", "lavfi", "-i",
         "color=c=0x607080:size=2400x1400:rate=25,noise=alls=90:allf=u,gblur=sigma=2.5,"
         "eq=contrast=2.5:saturation=2,trim=end_frame=1,loop=loop=49:size=1,setpts=N/25/TB,"
         "crop=1920:1080:x='t*120':y='t*60',noise=alls=3:allf=t[ground];"
         "testsrc2=size=480x270:rate=25[thing];"
         "[ground][thing]overlay=x='200+t*500':y='300+t*100':shortest=1",
         "-c:v", "libx264", "-preset", "ultrafast", "-crf", "14", scene}));

    const QList<VideoCodec> codecs{VideoCodec::H264, VideoCodec::H265, VideoCodec::AV1};
    QStringList renders;
    QList<qint64> bytes;
    for (const VideoCodec codec : codecs) {
        const QString out = folder(QStringLiteral("varsayılan %1").arg(int(codec)));
        const Output o = testsupport::runBatch(
            QStringList{"--output", out} +
            settingArgs({"cbRenderScale=2", "cbPreset=1", "cbExtension=mkv", "cbRateMode=1",
                         QStringLiteral("cbVideoCodec=%1").arg(int(codec))}) +
            QStringList{scene});
        QVERIFY2(o.exitCode == 0, qPrintable(o.err));
        renders << out + QStringLiteral("/sahne 1080p.mkv");
        bytes << videoBytes(renders.constLast());
        QVERIFY(bytes.constLast() > 0);
    }
    const QList<double> similarity = ssims(scene, renders);
    for (int i = 0; i < codecs.size(); ++i) {
        qInfo("%s: %lld bytes, SSIM %.4f", qPrintable(videoCodecItems().at(int(codecs.at(i)))),
              bytes.at(i), similarity.at(i));
        QVERIFY(similarity.at(i) > 0);
    }
    // codecs.at(0) is H.264.
    for (int i = 1; i < codecs.size(); ++i) {
        const QString figures = QStringLiteral("%1: %2 bytes, SSIM %3; H.264: %4 bytes, SSIM %5")
                                    .arg(videoCodecItems().at(int(codecs.at(i))))
                                    .arg(bytes.at(i))
                                    .arg(similarity.at(i))
                                    .arg(bytes.at(0))
                                    .arg(similarity.at(0));
        QVERIFY2(bytes.at(i) < bytes.at(0), qPrintable(figures));
        QVERIFY2(similarity.at(i) >= similarity.at(0) - 0.005, qPrintable(figures));
    }
}

QTEST_GUILESS_MAIN(TestBatchCodecs)
#include "tst_batch_codecs.moc"
