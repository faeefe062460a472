// Runs built command lines through the real encoder on small clips made at test time, and checks
// that each output lasts as long as it should, at the source's frame rate.

#include "core/base/toolset.h"
#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videoitem.h"

#include "support/testsupport.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QTest>

#include <functional>

using namespace fulmaro;

using Tweak = std::function<void(RenderSettings &)>;
Q_DECLARE_METATYPE(Tweak)

namespace {

const QString kFfmpeg = QStringLiteral(TOOLS_DIR "/ffmpeg");
const QString kFfprobe = QStringLiteral(TOOLS_DIR "/ffprobe");

QString probe(const QString &file, const QString &select, const QString &entries)
{
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error")};
    if (!select.isEmpty())
        args << QStringLiteral("-select_streams") << select;
    args << QStringLiteral("-show_entries") << entries << QStringLiteral("-of")
         << QStringLiteral("default=nw=1:nk=1") << file;
    QProcess process;
    process.start(kFfprobe, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestCommandBuilderEncode : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void encode_data();
    void encode();
    void keptProportions_data();
    void keptProportions();
    void leanGraph_data();
    void leanGraph();
    void segmentsGiveTheWholeRendersFrames_data();
    void segmentsGiveTheWholeRendersFrames();

private:
    void make(const QString &args);
    QTemporaryDir m_dir;
    BuildFolders m_folders;
};

void TestCommandBuilderEncode::make(const QString &args)
{
    const testsupport::ShellRun run = testsupport::runShell(
        quoteArg(kFfmpeg) + QStringLiteral(" -v error -y ") + args, m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
}

void TestCommandBuilderEncode::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString root = m_dir.path() + QLatin1Char('/');
    for (const char *sub : {"Temp", "Filter", "Frame", "Logo", "Bin"})
        QVERIFY(QDir().mkpath(root + QLatin1String(sub)));
    m_folders.tempDir = root + QStringLiteral("Temp/");
    m_folders.filterDir = root + QStringLiteral("Filter/");
    m_folders.frameDir = root + QStringLiteral("Frame/");
    m_folders.logoDir = root + QStringLiteral("Logo/");
    m_folders.playerPath = root + QStringLiteral("Bin/ffplay");

    const QString video = QStringLiteral("-f lavfi -i testsrc=size=320x240:rate=30:duration=%1 ");
    const QString sound = QStringLiteral("-f lavfi -i sine=duration=%1 -shortest -c:a aac ");
    const QString h264 = QStringLiteral("-c:v libx264 -preset ultrafast -pix_fmt yuv420p ");
    make(video.arg(2) + sound.arg(2) + h264 + QStringLiteral("sound2.mp4"));
    make(video.arg(2) + h264 + QStringLiteral("silent2.mp4"));
    make(video.arg(1) + sound.arg(1) + h264 + QStringLiteral("sound1.mp4"));
    make(video.arg(1) + h264 + QStringLiteral("silent1.mp4"));
    // Plain bright pictures, so the area they cover stands out from the black canvas: a 4:3
    // clip, and a wide recording stored with a quarter turn, as a phone held upright keeps it.
    const QString plain =
        QStringLiteral("-f lavfi -i color=c=0xC0C0C0:size=%1:rate=30:duration=1 ");
    make(plain.arg(QStringLiteral("320x240")) + h264 + QStringLiteral("fourthirds.mp4"));
    make(plain.arg(QStringLiteral("320x180")) + h264 + QStringLiteral("stored.mp4"));
    make(QStringLiteral("-i stored.mp4 -c copy -metadata:s:v:0 rotate=90 upright.mp4"));
    // Sources as users have them, for the graph without a canvas: an odd size at an odd rate with
    // MP3 sound, NTSC's rate in mkv with PCM, 10-bit 4:4:4 pictures, the gaps of a variable-rate
    // recording, the jittering timestamps of a phone's, and sound that starts before the picture.
    make(QStringLiteral("-f lavfi -i testsrc2=size=174x98:rate=25/2:duration=1 -f lavfi -i "
                        "sine=duration=1 -c:v libx264 -preset ultrafast -c:a libmp3lame odd.mp4"));
    make(QStringLiteral("-f lavfi -i testsrc2=size=320x180:rate=30000/1001:duration=1 -f lavfi "
                        "-i sine=duration=1:sample_rate=48000 -c:v libx264 -preset ultrafast "
                        "-c:a pcm_s16le ntsc.mkv"));
    make(QStringLiteral("-f lavfi -i testsrc2=size=320x180:rate=25:duration=1 -pix_fmt "
                        "yuv444p10le -c:v libx264 -preset ultrafast deep.mkv"));
    make(QStringLiteral("-f lavfi -i testsrc2=size=320x180:rate=30:duration=1 -vf "
                        "\"select='not(eq(mod(n,4),3))'\" -fps_mode vfr -c:v libx264 -preset "
                        "ultrafast variable.mkv"));
    make(QStringLiteral("-f lavfi -i testsrc2=size=320x180:rate=30:duration=1 -f lavfi -i "
                        "sine=duration=1 -vf \"settb=1/90000,setpts='(N/30+0.02*(random(0)-0.5))/"
                        "TB'\" -fps_mode passthrough -enc_time_base 1/90000 "
                        "-video_track_timescale 90000 -c:v libx264 -preset ultrafast -c:a aac "
                        "-shortest jitter.mp4"));
    make(QStringLiteral("-f lavfi -i testsrc2=size=320x180:rate=25:duration=1 -f lavfi -i "
                        "sine=duration=1.5 -filter_complex \"[0:v]setpts=PTS+0.3/TB[v]\" -map "
                        "\"[v]\" -map 1:a -fps_mode passthrough -c:v libx264 -preset ultrafast "
                        "late.mkv"));
    // Overlay pictures with transparency, as the libraries hold them.
    make(QStringLiteral(
        "-f lavfi -i color=c=blue@0.4:size=64x48,format=rgba -frames:v 1 \"Filter/mavi.png\""));
    make(QStringLiteral("-f lavfi -i color=c=red@0.8:size=160x120,format=rgba -frames:v 1 "
                        "\"Frame/kırmızı çerçeve.png\""));
    make(QStringLiteral(
        "-f lavfi -i color=c=yellow:size=32x32,format=rgba -frames:v 1 \"Logo/logo.png\""));

    // The player of a preview: it takes the piped stream and keeps it for probing.
    QFile player(m_folders.playerPath);
    QVERIFY(player.open(QIODevice::WriteOnly));
    player.write("#!/bin/sh\nexec " + quoteArg(kFfmpeg).toUtf8() +
                 " -v error -y -f avi -i - -c copy \"$(dirname \"$0\")/preview.mkv\"\n");
    player.close();
    QVERIFY(player.setPermissions(player.permissions() | QFileDevice::ExeOwner));
}

void TestCommandBuilderEncode::encode_data()
{
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<double>("length");
    QTest::addColumn<bool>("sound");

    const auto row = [](const QString &name, Tweak tweak, double length,
                        const char *clip = "sound2", bool sound = true, int mode = 0,
                        const char *extension = "mp4") {
        QTest::newRow(qPrintable(name)) << tweak << mode << QString::fromLatin1(clip)
                                        << QString::fromLatin1(extension) << length << sound;
    };
    using S = RenderSettings;

    row(QStringLiteral("defaults"), {}, 2.0);
    row(QStringLiteral("defaults, no sound"), {}, 2.0, "silent2", false);
    const QList<std::pair<const char *, bool S::*>> effects = {{"greyscale", &S::cbGreyscale},
                                                               {"sepia", &S::cbSepia},
                                                               {"negative", &S::cbNegative},
                                                               {"thermography", &S::cbThermography},
                                                               {"bad dream", &S::cbBadDream},
                                                               {"posterize", &S::cbPosterize},
                                                               {"lsd", &S::cbLSD},
                                                               {"vintage", &S::cbVintage},
                                                               {"vignette", &S::cbVignette}};
    for (const auto &[name, field] : effects)
        row(
            QString::fromLatin1(name), [field = field](S &s) { s.*field = true; }, 2.0);
    row(
        QStringLiteral("all adjustments"),
        [](S &s) {
            s.tbContrast = 12;
            s.tbBrightness = -3;
            s.tbSaturation = 15;
            s.tbGamma = 12;
            s.tbGammaRed = 55;
            s.tbGammaGreen = 80;
            s.tbGammaBlue = 120 - 20;
        },
        2.0);
    row(
        QStringLiteral("flip both, crop"),
        [](S &s) {
            s.cbFlipVideo = 3;
            s.edCropLeft = 40;
            s.edCropTop = 20;
        },
        2.0);
    row(
        QStringLiteral("zoom 11"), [](S &s) { s.tbZoom = 11; }, 2.0);
    row(
        QStringLiteral("zoom 100"), [](S &s) { s.tbZoom = 100; }, 2.0);
    for (const char *clip : {"sound1", "silent1"}) {
        const bool sound = clip[1] == 'o';
        // Without sound the output ends one canvas frame after the last source frame starts,
        // which at 0.05x is 19 1/3 s into a 20 s stretch.
        const double length = sound ? 20.0 : (29.0 / 30) / 0.05 + 1.0 / 30;
        row(
            QStringLiteral("speed 5, ") + QLatin1String(clip), [](S &s) { s.tbVideoSpeed = 5; },
            length, clip, sound);
    }
    for (const char *clip : {"sound2", "silent2"}) {
        const bool sound = clip[1] == 'o';
        for (int speed : {50, 150, 200})
            row(
                QStringLiteral("speed %1, %2").arg(speed).arg(QLatin1String(clip)),
                [speed](S &s) { s.tbVideoSpeed = speed; }, 2.0 * 100 / speed, clip, sound);
    }
    for (int frame = 1; frame <= 4; ++frame) {
        for (int front : {1, 0})
            row(
                QStringLiteral("built-in frame %1, video %2")
                    .arg(frame)
                    .arg(front ? "in front" : "behind"),
                [frame, front](S &s) {
                    s.cbFrame = frame;
                    s.edVideoFront = front;
                },
                2.0);
    }
    row(
        QStringLiteral("built-in frame at 1.5x"),
        [](S &s) {
            s.cbFrame = 2;
            s.tbVideoSpeed = 150;
        },
        2.0 / 1.5);
    const auto pictureFrame = [](S &s) {
        s.cbFrame = 5;
        s.cbFrameText = QStringLiteral("kırmızı çerçeve");
    };
    row(QStringLiteral("picture frame in front"), pictureFrame, 2.0);
    row(
        QStringLiteral("picture frame behind"),
        [pictureFrame](S &s) {
            pictureFrame(s);
            s.edVideoFront = 0;
        },
        2.0);
    const auto filter = [](S &s) {
        s.cbFilter = 1;
        s.cbFilterText = QStringLiteral("mavi");
    };
    row(QStringLiteral("filter"), filter, 2.0);
    row(
        QStringLiteral("filter in a frame"),
        [filter, pictureFrame](S &s) {
            filter(s);
            pictureFrame(s);
            s.cbVideoPosition = 3;
        },
        2.0);
    for (int position = 0; position <= 9; ++position)
        row(
            QStringLiteral("logo at %1").arg(position),
            [position](S &s) {
                s.cbLogo = 1;
                s.cbLogoText = QStringLiteral("logo");
                s.cbLogoPosition = position;
                s.edLogoPositionX = 4;
                s.edLogoPositionY = 6;
                s.cbLogoScale = QStringLiteral("40x30");
            },
            2.0);
    row(
        QStringLiteral("trim start"), [](S &s) { s.edTimeStart = 1; }, 1.0);
    row(
        QStringLiteral("trim end"), [](S &s) { s.edTimeEnd = 1; }, 1.0);
    row(
        QStringLiteral("trim start at 2x"),
        [](S &s) {
            s.edTimeStart = 1;
            s.tbVideoSpeed = 200;
        },
        0.5);
    row(
        QStringLiteral("trim start at 0.5x"),
        [](S &s) {
            s.edTimeStart = 1;
            s.tbVideoSpeed = 50;
        },
        2.0);
    row(
        QStringLiteral("trim end at 0.5x"),
        [](S &s) {
            s.edTimeEnd = 1;
            s.tbVideoSpeed = 50;
        },
        2.0);
    row(
        QStringLiteral("trim end at 0.5x, no sound"),
        [](S &s) {
            s.edTimeEnd = 1;
            s.tbVideoSpeed = 50;
        },
        2.0, "silent2", false);
    for (const char *extension : {"mkv", "avi", "flv"}) {
        row(QStringLiteral("container ") + QLatin1String(extension), {}, 2.0, "sound2", true, 0,
            extension);
        row(
            QStringLiteral("container %1 at 1.5x").arg(QLatin1String(extension)),
            [](S &s) { s.tbVideoSpeed = 150; }, 2.0 / 1.5, "sound2", true, 0, extension);
    }
    row(QStringLiteral("preview"), {}, 2.0, "sound2", false, 1);
    row(
        QStringLiteral("preview with sound"), [](S &s) { s.cbPreviewNoAudio = false; }, 2.0,
        "sound2", true, 1);
    row(
        QStringLiteral("silent preview with a logo"),
        [](S &s) {
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("logo");
        },
        2.0, "sound2", false, 1);
    row(
        QStringLiteral("preview at 1.5x with sound"),
        [](S &s) {
            s.tbVideoSpeed = 150;
            s.cbPreviewNoAudio = false;
        },
        2.0 / 1.5, "sound2", true, 1);
    row(
        QStringLiteral("preview of a 720p render, frame and logo"),
        [pictureFrame](S &s) {
            pictureFrame(s);
            s.cbRenderScale = 3;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("logo");
            s.cbLogoScale = QStringLiteral("100x100");
            s.edCropLeft = 40;
        },
        2.0, "sound2", false, 1);
}

void TestCommandBuilderEncode::encode()
{
    QFETCH(Tweak, tweak);
    QFETCH(int, mode);
    QFETCH(QString, clip);
    QFETCH(QString, extension);
    QFETCH(double, length);
    QFETCH(bool, sound);

    RenderSettings s;
    s.cbRenderScale = 6; // 240p keeps every run short
    s.cbPreviewScale = 6;
    s.cbBitrate = QStringLiteral("500");
    if (tweak)
        tweak(s);
    VideoItem item;
    item.caption = m_dir.filePath(clip + QStringLiteral(".mp4"));
    item.duration =
        clip.endsWith(QLatin1Char('1')) ? QStringLiteral("00:00:01") : QStringLiteral("00:00:02");
    item.hasAudio = clip.startsWith(QStringLiteral("sound"));
    item.frameRate = QStringLiteral("30/1");

    const BuiltCommand built = buildCommandLine(&item, mode, s, m_folders, scratchTick());
    QVERIFY(makeScratchCopies(built.copies));
    QString output;
    QString command = quoteArg(kFfmpeg);
    if (mode == 0) {
        output = m_dir.filePath(QStringLiteral("out.") + extension);
        command += QStringLiteral(" -y") + built.text + QLatin1Char(' ') + quoteArg(output);
    } else {
        output = m_dir.filePath(QStringLiteral("Bin/preview.mkv"));
        command += QLatin1Char(' ') + built.text;
    }
    QFile::remove(output);
    const testsupport::ShellRun run = testsupport::runShell(command, m_folders.tempDir);
    QVERIFY2(run.exitCode == 0, qPrintable(built.text + QLatin1Char('\n') + run.output));
    QVERIFY(QFile::exists(output));

    const double seconds = probe(output, {}, QStringLiteral("format=duration")).toDouble();
    QVERIFY2(qAbs(seconds - length) <= 0.15,
             qPrintable(QStringLiteral("lasts %1 s, expected %2 s: %3")
                            .arg(seconds)
                            .arg(length)
                            .arg(built.text)));
    // Frames at the source's rate: count them against the video stream's own length.
    const QString frames =
        probe(output, QStringLiteral("v:0"), QStringLiteral("stream=r_frame_rate"));
    QVERIFY2(frames == QLatin1String("30/1"), qPrintable(frames));
    const bool hasSound =
        !probe(output, QStringLiteral("a"), QStringLiteral("stream=index")).isEmpty();
    QCOMPARE(hasSound, sound);
}

void TestCommandBuilderEncode::keptProportions_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("scale");
    QTest::addColumn<double>("shape"); // the source's width over height as it is shown

    for (const auto &[clip, shape] :
         {std::pair{"upright", 180.0 / 320}, std::pair{"fourthirds", 320.0 / 240}}) {
        QTest::newRow(qPrintable(QLatin1String(clip) + QStringLiteral(" in 640x360")))
            << QString::fromLatin1(clip) << 5 << shape;
        QTest::newRow(qPrintable(QLatin1String(clip) + QStringLiteral(" in 360x640")))
            << QString::fromLatin1(clip) << 9 << shape;
    }
}

// "Oranı koru": the area the video covers on the black canvas, as cropdetect finds it in the
// output, has the source's shape.
void TestCommandBuilderEncode::keptProportions()
{
    QFETCH(QString, clip);
    QFETCH(int, scale);
    QFETCH(double, shape);

    RenderSettings s;
    s.cbRenderScale = scale;
    s.cbKeepAspect = true;
    VideoItem item;
    item.caption = m_dir.filePath(clip + QStringLiteral(".mp4"));
    item.duration = QStringLiteral("00:00:01");
    item.frameRate = QStringLiteral("30/1");
    const BuiltCommand built = buildCommandLine(&item, RenderMode, s, m_folders, scratchTick());
    const QString output = m_dir.filePath(QStringLiteral("kept.mp4"));
    QFile::remove(output);
    const testsupport::ShellRun run =
        testsupport::runShell(quoteArg(kFfmpeg) + QStringLiteral(" -y") + built.text +
                                  QLatin1Char(' ') + quoteArg(output),
                              m_folders.tempDir);
    QVERIFY2(run.exitCode == 0, qPrintable(built.text + QLatin1Char('\n') + run.output));
    QCOMPARE(probe(output, QStringLiteral("v:0"), QStringLiteral("stream=width,height")),
             QString(scaleSizeText(scale)).replace(QLatin1Char('x'), QLatin1Char('\n')));

    const testsupport::ShellRun detect = testsupport::runShell(
        quoteArg(kFfmpeg) + QStringLiteral(" -i ") + quoteArg(output) +
            QStringLiteral(" -vf cropdetect=limit=24:round=2:reset=0 -f null -"),
        m_dir.path());
    QCOMPARE(detect.exitCode, 0);
    const QRegularExpression re(QStringLiteral("crop=([0-9]+):([0-9]+):"));
    QRegularExpressionMatch last;
    for (auto it = re.globalMatch(detect.output); it.hasNext();)
        last = it.next();
    QVERIFY2(last.hasMatch(), qPrintable(detect.output));
    const double width = last.captured(1).toDouble();
    const double height = last.captured(2).toDouble();
    QVERIFY(width > 0 && height > 0);
    QVERIFY2(
        qAbs(width / height / shape - 1.0) <= 0.02,
        qPrintable(QStringLiteral("picture %1x%2, shape %3").arg(width).arg(height).arg(shape)));
    // It fills its box one way: the full width or the full height of the canvas.
    const QStringList canvas = scaleSizeText(scale).split(QLatin1Char('x'));
    QVERIFY(qAbs(width - canvas[0].toDouble()) <= 2 || qAbs(height - canvas[1].toDouble()) <= 2);
}

// Where the video covers the canvas whole, the line without the canvas gives the very pictures
// and sound of the line with it: the outputs decode to the same frames, timestamps included.
void TestCommandBuilderEncode::leanGraph_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<bool>("lean");
    using S = RenderSettings;
    const auto row = [](const char *name, const char *clip, Tweak tweak, bool lean = true) {
        QTest::newRow(name) << QString::fromLatin1(clip) << tweak << lean;
    };
    row("defaults", "sound1.mp4", {});
    row("odd size and rate, MP3", "odd.mp4", [](S &s) { s.cbRenderScale = 5; });
    row("NTSC rate, PCM, upright size", "ntsc.mkv", [](S &s) { s.cbRenderScale = 9; });
    row("10-bit 4:4:4", "deep.mkv", {});
    row("variable rate", "variable.mkv", {});
    row("quarter turn", "upright.mp4", [](S &s) { s.cbRenderScale = 11; });
    row("crop and zoom", "sound1.mp4", [](S &s) {
        s.edCropLeft = 40;
        s.edCropTop = 20;
        s.tbZoom = 25;
    });
    row("flipped, trimmed", "sound2.mp4", [](S &s) {
        s.cbFlipVideo = 3;
        s.edTimeStart = 1;
    });
    // Posterizing draws on a random seed, so no two of its runs are alike.
    row("effects in grey and light", "sound1.mp4", [](S &s) {
        s.cbGreyscale = true;
        s.cbVignette = true;
    });
    row("effects in colour", "variable.mkv", [](S &s) {
        s.cbNegative = true;
        s.cbThermography = true;
        s.cbSepia = true;
    });
    row("effects with noise and curves", "odd.mp4", [](S &s) {
        s.cbBadDream = true;
        s.cbLSD = true;
        s.cbVintage = true;
    });
    row("adjustments", "deep.mkv", [](S &s) {
        s.tbContrast = 14;
        s.tbGamma = 12;
        s.tbGammaBlue = 80;
    });
    // What draws on the canvas, or shows it, keeps it; so does a changed speed.
    row(
        "faster", "odd.mp4", [](S &s) { s.tbVideoSpeed = 150; }, false);
    row(
        "slower", "ntsc.mkv", [](S &s) { s.tbVideoSpeed = 60; }, false);
    row("sound before the picture", "late.mkv", {}, false);
    row("jittering timestamps", "jitter.mp4", {}, false);
    row(
        "kept proportions", "upright.mp4", [](S &s) { s.cbKeepAspect = true; }, false);
    row(
        "built-in frame", "sound1.mp4", [](S &s) { s.cbFrame = 2; }, false);
    row(
        "logo", "sound1.mp4",
        [](S &s) {
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("logo");
        },
        false);
}

void TestCommandBuilderEncode::leanGraph()
{
    QFETCH(QString, clip);
    QFETCH(Tweak, tweak);
    QFETCH(bool, lean);
    RenderSettings s;
    s.cbRenderScale = 6;
    if (tweak)
        tweak(s);
    // The row as the list's probe makes it.
    const ToolSet tools = ToolSet::configured(QStringLiteral(TOOLS_DIR "/"));
    const std::optional<VideoItem> item = probeVideoFile(tools, m_dir.path(), m_dir.filePath(clip));
    QVERIFY(item && item->renderable());
    QCOMPARE(item->videoStartsWithFile,
             clip != QLatin1String("late.mkv") && clip != QLatin1String("jitter.mp4"));

    const quint32 tick = scratchTick();
    const BuiltCommand plain = buildCommandLine(&*item, RenderMode, s, m_folders, tick, {}, true);
    const BuiltCommand canvas = buildCommandLine(&*item, RenderMode, s, m_folders, tick, {}, false);
    QVERIFY(canvas.text.contains(QStringLiteral("color=size=")));
    QCOMPARE(!plain.text.contains(QStringLiteral("color=size=")), lean);
    if (!lean) {
        QCOMPARE(plain.text, canvas.text);
        return;
    }
    // The encoder of an mp4 is deterministic: the same pictures give the same packets, which the
    // frame digest lists with their timestamps, sound included.
    QStringList frames;
    for (const BuiltCommand &built : {plain, canvas}) {
        const testsupport::ShellRun run =
            testsupport::runShell(quoteArg(kFfmpeg) + QStringLiteral(" -v error -y") + built.text +
                                      QStringLiteral(" -c:v libx264 -f framemd5 -"),
                                  m_folders.tempDir);
        QVERIFY2(run.exitCode == 0, qPrintable(built.text + QLatin1Char('\n') + run.output));
        frames << run.output;
    }
    QVERIFY(frames.at(0).count(QLatin1Char('\n')) > 10);
    QVERIFY2(frames.at(0) == frames.at(1), qPrintable(plain.text));
}

void TestCommandBuilderEncode::segmentsGiveTheWholeRendersFrames_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<Tweak>("tweak");
    using S = RenderSettings;
    const auto row = [](const char *name, const char *clip, Tweak tweak) {
        QTest::newRow(name) << QString::fromLatin1(clip) << tweak;
    };
    // Key frames far apart, so a segment's reading starts well before its stretch.
    row("defaults", "long.mp4", {});
    row("NTSC rate, PCM, trimmed at both ends", "long ntsc.mkv", [](S &s) {
        s.edTimeStart = 1;
        s.edTimeEnd = 1;
    });
    row("slower, trimmed", "long.mp4", [](S &s) {
        s.tbVideoSpeed = 80;
        s.edTimeStart = 2;
    });
    row("jittering timestamps, on the canvas", "long jitter.mp4", {});
    // The steps that go by time (the hue turns with it), the source read a second time for the
    // frame, and a picture input.
    row("built-in frame, logo, effects over time", "long.mp4", [](S &s) {
        s.cbFrame = 2;
        s.cbLogo = 1;
        s.cbLogoText = QStringLiteral("logo");
        s.cbLSD = true;
    });
}

// The segments of a long encode, one after another, hold exactly the pictures of the whole
// render, frame for frame: the raw pictures' digests are compared before any encoder sees them.
void TestCommandBuilderEncode::segmentsGiveTheWholeRendersFrames()
{
    QFETCH(QString, clip);
    QFETCH(Tweak, tweak);
    if (!QFileInfo::exists(m_dir.filePath(QStringLiteral("long.mp4")))) {
        const QString small = QStringLiteral("-c:v libx264 -preset ultrafast -g 300 ");
        make(QStringLiteral("-f lavfi -i testsrc2=size=96x54:rate=30:duration=63 -f lavfi -i "
                            "sine=duration=63 -c:a aac ") +
             small + QStringLiteral("long.mp4"));
        make(QStringLiteral("-f lavfi -i testsrc2=size=96x54:rate=30000/1001:duration=64 -f lavfi "
                            "-i sine=duration=64:sample_rate=48000 -c:a pcm_s16le ") +
             small + QStringLiteral("\"long ntsc.mkv\""));
        make(QStringLiteral("-f lavfi -i testsrc2=size=96x54:rate=30:duration=62 -vf "
                            "\"settb=1/90000,setpts='(N/30+0.02*(random(0)-0.5))/TB'\" "
                            "-fps_mode passthrough -enc_time_base 1/90000 "
                            "-video_track_timescale 90000 ") +
             small + QStringLiteral("\"long jitter.mp4\""));
    }
    RenderSettings s;
    s.cbRenderScale = 6;
    if (tweak)
        tweak(s);
    const ToolSet tools = ToolSet::configured(QStringLiteral(TOOLS_DIR "/"));
    const std::optional<VideoItem> item = probeVideoFile(tools, m_dir.path(), m_dir.filePath(clip));
    QVERIFY(item && item->renderable());
    const quint32 tick = scratchTick();
    const BuiltCommand whole = buildCommandLine(&*item, RenderMode, s, m_folders, tick);
    const SegmentedCommand segmented = buildSegmentedCommand(*item, s, m_folders, tick);
    QVERIFY(segmented.segments.size() >= 4);
    QCOMPARE(segmented.copies, whole.copies);
    QVERIFY(makeScratchCopies(whole.copies));

    // Each picture's size and digest, in order: the raw pictures of the video stream.
    const auto pictures = [this](const QString &args, QStringList *out) {
        const testsupport::ShellRun run =
            testsupport::runShell(quoteArg(kFfmpeg) + QStringLiteral(" -v error -y") + args +
                                      QStringLiteral(" -c:v rawvideo -f framemd5 -"),
                                  m_folders.tempDir);
        QVERIFY2(run.exitCode == 0, qPrintable(args + QLatin1Char('\n') + run.output));
        for (const QString &line : run.output.split(QLatin1Char('\n'))) {
            const QStringList fields = line.split(QLatin1Char(','));
            if (fields.size() == 6 && fields.at(0).trimmed() == QLatin1String("0"))
                out->append(fields.at(4).trimmed() + fields.at(5).trimmed());
        }
    };
    QStringList wholeFrames;
    pictures(whole.text, &wholeFrames);
    QStringList joined;
    for (const QString &segment : segmented.segments) {
        const qsizetype before = joined.size();
        pictures(segment, &joined);
        // A segment is never empty, and none but the last is longer than its stretch.
        QVERIFY(joined.size() > before);
    }
    QVERIFY(wholeFrames.size() > 1800);
    QCOMPARE(joined.size(), wholeFrames.size());
    QVERIFY(joined == wholeFrames);
}

QTEST_GUILESS_MAIN(TestCommandBuilderEncode)
#include "tst_commandbuilder_encode.moc"
