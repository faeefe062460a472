// The intro and outro joined to every render, and the sound settings (mute, volume, loudness,
// sound only), rendered by fulmaro-batch with the real encoder and checked with the real probe.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderqueue.h"
#include "core/render/commandbuilder.h"
#include "core/render/endclips.h"
#include "core/render/settingstable.h"
#include "core/videolist/mediaprobe.h"
#include "support/batchrunner.h"
#include "support/fakedesktopbus.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

// Runs one of the real tools and gives its standard output and error together.
QString tool(const char *name, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TOOLS_DIR "/") + QLatin1String(name), args);
    if (!p.waitForFinished(180000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAll());
}

// Makes a clip from the encoder's test sources; sound is a lavfi source or empty for none.
bool makeSource(const QString &path, const QString &size, int rate, double seconds,
                const QString &sound, const QStringList &codecs)
{
    QStringList args{
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("testsrc2=size=%1:rate=%2:duration=%3").arg(size).arg(rate).arg(seconds)};
    if (!sound.isEmpty())
        args << "-f"
             << "lavfi"
             << "-i" << sound << "-shortest";
    args << "-pix_fmt"
         << "yuv420p" << codecs << path;
    return testsupport::runCommand(QStringLiteral(TOOLS_DIR "/ffmpeg"), args, 120000);
}

// The probe's "name=value" lines of each stream, in order.
QList<QMap<QString, QString>> streams(const QString &path)
{
    const QString text =
        tool("ffprobe", {"-v", "error", "-show_entries",
                         "stream=codec_type,codec_name,width,height,r_frame_rate,start_time,"
                         "duration",
                         path});
    QList<QMap<QString, QString>> result;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("[STREAM]"))
            result.append(QMap<QString, QString>());
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !result.isEmpty())
            result.last().insert(line.left(eq), line.mid(eq + 1).trimmed());
    }
    return result;
}

QMap<QString, QString> stream(const QString &path, const char *type)
{
    for (const auto &s : streams(path)) {
        if (s.value(QStringLiteral("codec_type")) == QLatin1String(type))
            return s;
    }
    return {};
}

// The picture at a second of a file.
QImage frameAt(const QString &path, double seconds, const QString &png)
{
    tool("ffmpeg",
         {"-v", "error", "-y", "-ss", QString::number(seconds), "-i", path, "-frames:v", "1", png});
    return QImage(png);
}

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

bool isBlack(QRgb c)
{
    return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30;
}

// The integrated loudness the ebur128 filter measures, in LUFS.
double integratedLoudness(const QString &path)
{
    const QString text =
        tool("ffmpeg", {"-nostats", "-i", path, "-af", "ebur128", "-f", "null", "-"});
    static const QRegularExpression re(QStringLiteral("I:\\s+(-?[0-9.]+) LUFS"));
    double value = 0;
    // The summary at the end repeats the figure: the last one counts.
    auto it = re.globalMatch(text);
    while (it.hasNext())
        value = it.next().captured(1).toDouble();
    return value;
}

double meanVolume(const QString &path)
{
    const QString text =
        tool("ffmpeg", {"-nostats", "-i", path, "-af", "volumedetect", "-f", "null", "-"});
    static const QRegularExpression re(QStringLiteral("mean_volume: (-?[0-9.]+) dB"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

} // namespace

class TestBatchIntroSound : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void joinsIntroVideoAndOutro();
    void joinedFramesAddUp();
    void clipsCountInTheEstimate();
    void loudness_data();
    void loudness();
    void loudnessLineRunsByHand();
    void streams_data();
    void streams();
    void volumeHalves();
    void unreadableIntroFailsTheJob();
    void clipRemovedBeforeItsTurn();
    void helpNamesEverySetting();

private:
    Output batch(const QStringList &args) { return testsupport::runBatch(args); }

    QTemporaryDir m_dir;
    WorkFolders m_folders;
    QString m_video; // 3 s, 16:9, AAC sound
    QString m_quiet; // 4 s, faint pink noise in Opus
    QString m_loud;  // 4 s, a loud tone in PCM
    QString m_silent;
    QString m_out;
    testsupport::FakeDesktopBus m_desktop;
};

void TestBatchIntroSound::initTestCase()
{
    QVERIFY(m_desktop.start());
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast"};
    // The library clips: a 4:3 intro without sound, an upright outro with Opus sound.
    QVERIFY(makeSource(m_folders.introDir + "açılış 4x3.mp4", "200x150", 25, 2, {}, h264));
    QVERIFY(makeSource(m_folders.outroDir + "kapanış.mp4", "120x214", 24, 2,
                       "sine=frequency=880:sample_rate=48000",
                       h264 + QStringList{"-c:a", "libopus"}));
    // A red logo.
    QImage logo(50, 50, QImage::Format_ARGB32);
    logo.fill(QColor(255, 0, 0));
    QVERIFY(logo.save(m_folders.logoDir + "kırmızı.png"));

    m_video = m_dir.filePath(QStringLiteral("deniz kıyısı 16x9.mp4"));
    QVERIFY(makeSource(m_video, "320x180", 30, 3, "sine=frequency=440:sample_rate=44100",
                       h264 + QStringList{"-c:a", "aac", "-ac", "2"}));
    m_quiet = m_dir.filePath(QStringLiteral("fısıltı.mkv"));
    QVERIFY(makeSource(m_quiet, "176x144", 25, 4,
                       "anoisesrc=color=pink:amplitude=0.01:sample_rate=48000",
                       h264 + QStringList{"-c:a", "libopus"}));
    m_loud = m_dir.filePath(QStringLiteral("gürültü.mkv"));
    QVERIFY(makeSource(m_loud, "176x144", 25, 4, "sine=frequency=300:sample_rate=44100,volume=0.9",
                       h264 + QStringList{"-c:a", "pcm_s16le"}));
    m_silent = m_dir.filePath(QStringLiteral("sessiz.mp4"));
    QVERIFY(makeSource(m_silent, "176x144", 25, 2, {}, h264));
    m_out = m_dir.filePath(QStringLiteral("Çıktı"));
    QVERIFY(QDir().mkpath(m_out));
}

void TestBatchIntroSound::joinsIntroVideoAndOutro()
{
    const Output o =
        batch({"--output", m_out, "--set", "cbRenderScale=5", "--set", "cbIntro=açılış 4x3",
               "--set", "cbOutro=kapanış", "--set", "tbVideoSpeed=50", "--set", "cbLogo=kırmızı",
               "--set", "cbLogoPosition=1", m_video});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    const QString output = m_out + "/deniz kıyısı 16x9.mp4";

    // One file of the render's size and the video's rate, 2 + 6 + 2 s, sound from start to end.
    const auto video = stream(output, "video");
    const auto sound = stream(output, "audio");
    QCOMPARE(video.value("width"), QStringLiteral("640"));
    QCOMPARE(video.value("height"), QStringLiteral("360"));
    QCOMPARE(video.value("r_frame_rate"), QStringLiteral("30/1"));
    QVERIFY2(qAbs(video.value("duration").toDouble() - 10) < 0.2,
             qPrintable(video.value("duration")));
    QVERIFY(qAbs(sound.value("start_time").toDouble()) < 0.05);
    QVERIFY2(qAbs(sound.value("duration").toDouble() - 10) < 0.2,
             qPrintable(sound.value("duration")));

    // A frame of each part: the logo's corner is red over the video only; the intro and the
    // outro are centred with their proportions, bars at the sides.
    const QImage intro = frameAt(output, 1.0, m_dir.filePath("intro.png"));
    const QImage middle = frameAt(output, 5.0, m_dir.filePath("middle.png"));
    const QImage outro = frameAt(output, 9.0, m_dir.filePath("outro.png"));
    for (const QImage *image : {&intro, &middle, &outro})
        QCOMPARE(image->size(), QSize(640, 360));
    const QPoint logoCentre(35, 35);
    QVERIFY(isRed(middle.pixel(logoCentre)));
    QVERIFY(!isRed(intro.pixel(logoCentre)));
    QVERIFY(!isRed(outro.pixel(logoCentre)));
    // 200x150 fills 480x360 between bars of 80; 120x214 fills about 202x360 in the middle.
    QVERIFY(isBlack(intro.pixel(40, 180)) && !isBlack(intro.pixel(320, 180)));
    QVERIFY(isBlack(outro.pixel(200, 180)) && !isBlack(outro.pixel(320, 180)));
    QVERIFY(!isBlack(middle.pixel(40, 180)));
    // The outro's tone, not silence, is heard at its end.
    const QString tail = tool("ffmpeg", {"-nostats", "-ss", "8.5", "-i", output, "-t", "1", "-af",
                                         "volumedetect", "-f", "null", "-"});
    QVERIFY2(!tail.contains("max_volume: -91"), qPrintable(tail));
}

// Without overlays, at the source's speed: the parts' frames add up, none held over at a seam.
void TestBatchIntroSound::joinedFramesAddUp()
{
    const Output o = batch({"--output", m_out, "--set", "cbRenderScale=6", "--set",
                            "cbIntro=açılış 4x3", "--set", "cbOutro=kapanış", m_video});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    const QString text = tool("ffprobe", {"-v", "error", "-count_packets", "-select_streams", "v",
                                          "-show_entries", "stream=nb_read_packets", "-of",
                                          "default=nw=1:nk=1", m_out + "/deniz kıyısı 16x9.mp4"});
    QCOMPARE(text.trimmed(), QStringLiteral("210")); // 2 s, 3 s and 2 s at 30 frames a second
}

void TestBatchIntroSound::clipsCountInTheEstimate()
{
    // In the bitrate mode the size follows the length: 2 + 3 + 2 s against 3 s.
    const Output plain = batch({"--output", m_out, "--estimate", m_video});
    const Output joined = batch({"--output", m_out, "--set", "cbIntro=açılış 4x3", "--set",
                                 "cbOutro=kapanış", "--estimate", m_video});
    QCOMPARE(plain.exitCode, 0);
    QCOMPARE(joined.exitCode, 0);
    const auto kilobytes = [](const QString &out) {
        const QString size = out.section(QLatin1Char('\t'), 0, 0);
        const double value = QString(size)
                                 .remove(QRegularExpression(" [KMG]B$"))
                                 .replace(QLatin1Char(','), QLatin1Char('.'))
                                 .toDouble();
        return size.endsWith("MB") ? value * 1024 : value;
    };
    const double ratio = kilobytes(joined.out) / kilobytes(plain.out);
    QVERIFY2(ratio > 7.0 / 3 * 0.9 && ratio < 7.0 / 3 * 1.1, qPrintable(QString::number(ratio)));
}

void TestBatchIntroSound::loudness_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<double>("target");
    QTest::newRow("quiet, web") << m_quiet << QStringList{"cbLoudness=1"} << -14.0;
    QTest::newRow("loud, web") << m_loud << QStringList{"cbLoudness=1"} << -14.0;
    QTest::newRow("loud, broadcast") << m_loud << QStringList{"cbLoudness=2"} << -23.0;
    // The first pass measures the sound and the video's first pass at once; the silent intro is
    // below the measure's gate.
    QTest::newRow("quiet, two passes, intro")
        << m_quiet << QStringList{"cbLoudness=1", "cbRateMode=2", "cbIntro=açılış 4x3"} << -14.0;
}

void TestBatchIntroSound::loudness()
{
    QFETCH(QString, source);
    QFETCH(QStringList, settings);
    QFETCH(double, target);
    QStringList args{"--output", m_out, "--set", "cbRenderScale=6"};
    for (const QString &s : settings)
        args << "--set" << s;
    const Output o = batch(args << source);
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    const QString output = m_out + "/" + QFileInfo(source).completeBaseName() + ".mp4";
    const double measured = integratedLoudness(output);
    QVERIFY2(qAbs(measured - target) <= 1.0, qPrintable(QString::number(measured)));
    // The measuring pass leaves nothing in the scratch folder.
    QVERIFY(QDir(m_folders.tempDir).entryList({"*pass*"}, QDir::Files).isEmpty());
}

// The --dry-run line of a loudness job runs on its own in a shell: it measures, carries the
// measure into the second pass, and lands on the target. The mark in a file's name is left alone.
void TestBatchIntroSound::loudnessLineRunsByHand()
{
    const QString source = m_dir.filePath(QStringLiteral("@loudnorm@ $fısıltı.mkv"));
    QFile::remove(source);
    QVERIFY(QFile::copy(m_quiet, source));
    const QString folder = m_out + QStringLiteral("/elle");
    QVERIFY(QDir().mkpath(folder));
    const Output o = batch({"--dry-run", "--output", folder, "--set", "cbRenderScale=6", "--set",
                            "cbLoudness=1", source});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    QStringList lines;
    for (const QString &line : o.out.split('\n')) {
        if (!line.startsWith(QLatin1String("# ")) && !line.trimmed().isEmpty())
            lines << line;
    }
    QCOMPARE(lines.size(), 1);
    const testsupport::ShellRun run = testsupport::runShell(lines.constFirst(), m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.output.right(2000)));
    const QString output = folder + QStringLiteral("/@loudnorm@ $fısıltı.mp4");
    const double measured = integratedLoudness(output);
    QVERIFY2(qAbs(measured - -14.0) <= 1.0, qPrintable(QString::number(measured)));
}

void TestBatchIntroSound::streams_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("sound");
    QTest::newRow("mute") << "cbEraseAudio=1"
                          << "mp4"
                          << "mp4"
                          << "h264"
                          << "";
    QTest::newRow("sound only, mp4") << "cbEraseVideo=1"
                                     << "mp4"
                                     << "m4a"
                                     << ""
                                     << "aac";
    QTest::newRow("sound only, avi") << "cbEraseVideo=1"
                                     << "avi"
                                     << "mp3"
                                     << ""
                                     << "mp3";
    QTest::newRow("sound only, webm") << "cbEraseVideo=1"
                                      << "webm"
                                      << "opus"
                                      << ""
                                      << "opus";
}

void TestBatchIntroSound::streams()
{
    QFETCH(QString, setting);
    QFETCH(QString, container);
    QFETCH(QString, extension);
    QFETCH(QString, video);
    QFETCH(QString, sound);
    const Output o = batch({"--output", m_out, "--set", "cbRenderScale=6", "--set",
                            "cbExtension=" + container, "--set", setting, m_loud});
    QVERIFY2(o.exitCode == 0, qPrintable(o.err));
    const QString output = m_out + "/gürültü." + extension;
    QCOMPARE(stream(output, "video").value("codec_name"), video);
    QCOMPARE(stream(output, "audio").value("codec_name"), sound);
    QVERIFY(qAbs(testsupport::probedSeconds(output) - 4) < 0.2);
}

void TestBatchIntroSound::volumeHalves()
{
    const Output full = batch({"--output", m_out, "--set", "cbRenderScale=6", m_loud});
    QVERIFY2(full.exitCode == 0, qPrintable(full.err));
    const double before = meanVolume(m_out + "/gürültü.mp4");
    const Output half =
        batch({"--output", m_out, "--set", "cbRenderScale=6", "--set", "tbVolume=50", m_loud});
    QVERIFY2(half.exitCode == 0, qPrintable(half.err));
    const double after = meanVolume(m_out + "/gürültü.mp4");
    QVERIFY2(qAbs(after - before + 6.02) < 0.5,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
}

void TestBatchIntroSound::unreadableIntroFailsTheJob()
{
    QFile broken(m_folders.introDir + "bozuk.mp4");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("bu bir video değil");
    broken.close();
    const QString output = m_out + "/sessiz.mp4";
    QFile::remove(output);
    const Output o = batch({"--output", m_out, "--set", "cbIntro=bozuk", m_silent});
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains(QStringLiteral("Intro klibi \"bozuk\" okunamadı")), qPrintable(o.err));
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(broken.remove());
}

void TestBatchIntroSound::clipRemovedBeforeItsTurn()
{
    // The clip was there when the run began and its facts were probed; it goes before the job
    // runs. The queue is driven directly: the front end gives no moment between the two.
    const QString outro = m_folders.outroDir + "geçici kapanış.mp4";
    QVERIFY(QFile::copy(m_folders.outroDir + "kapanış.mp4", outro));
    const ToolSet tools = ToolSet::configured(m_folders.binDir);
    RenderSettings settings;
    settings.cbRenderScale = 6;
    settings.cbOutro = 1;
    settings.cbOutroText = QStringLiteral("geçici kapanış");
    BuildFolders folders = BuildFolders::from(m_folders, tools);
    folders.endClips =
        probeEndClips(settings, m_folders.introDir, m_folders.outroDir, tools, m_folders.workDir);
    QVERIFY(folders.endClips.problem().isEmpty());
    const std::optional<VideoItem> item = probeVideoFile(tools, m_folders.workDir, m_silent);
    QVERIFY(item);
    const QString output = m_out + "/kaldırılan.mp4";
    RenderJob job = buildRenderJob(*item, 0, settings, folders, output);
    QVERIFY(job.refusal.isEmpty());
    // The outro's two seconds count in the job's length, beside the source's two.
    QVERIFY(qAbs(job.clipSeconds - 2) < 0.05);
    QVERIFY(qAbs(job.plannedSeconds - 4) < 0.05);
    QVERIFY(QFile::remove(outro));

    QueueOptions options;
    options.encoderPath = tools.path(tools.ffMpeg);
    options.workDir = m_folders.tempDir;
    RenderQueue queue({job}, options);
    QVERIFY(!queue.runAll());
    QCOMPARE(queue.status(0).state, JobState::Failed);
    QCOMPARE(queue.status(0).reason,
             QStringLiteral("Outro klibi \"geçici kapanış\" kitaplıkta bulunamadı."));
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(QDir(m_out).entryList({"kaldırılan*"}, QDir::Files).isEmpty());
}

// The help lists the settings from the settings table: a new setting is there at once.
void TestBatchIntroSound::helpNamesEverySetting()
{
    const Output o = batch({"--help"});
    QCOMPARE(o.exitCode, 0);
    for (const SettingControl &control : settingControls()) {
        QVERIFY2(o.out.contains(QStringLiteral("\n  ") + control.name + QLatin1Char(' ')),
                 qPrintable(control.name));
    }
    QVERIFY(o.out.contains(QStringLiteral("0 Değiştirme, 1 Web (-14 LUFS), 2 Yayın (-23 LUFS)")));
    QVERIFY(o.out.contains(QStringLiteral("tbVolume            0 .. 200 (varsayılan: 100)")));
}

QTEST_GUILESS_MAIN(TestBatchIntroSound)
#include "tst_batch_introsound.moc"
