#include "core/render/commandbuilder.h"
#include "core/videolist/videoitem.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace fulmaro;

using Tweak = std::function<void(RenderSettings &, VideoItem &)>;
Q_DECLARE_METATYPE(Tweak)

namespace {

const quint32 kTick = 123456;
const QString kPlayer =
    QStringLiteral(" - -window_title \"Fulmaro: Önizleme\" -autoexit -framedrop");

BuildFolders sampleFolders()
{
    BuildFolders f;
    f.tempDir = QStringLiteral("/ProgramData/Fulmaro/Temp/");
    f.filterDir = QStringLiteral("/ProgramData/Fulmaro/Filter/");
    f.frameDir = QStringLiteral("/ProgramData/Fulmaro/Frame/");
    f.logoDir = QStringLiteral("/ProgramData/Fulmaro/Logo/");
    f.playerPath = QStringLiteral("/ProgramData/Fulmaro/Bin/ffplay");
    return f;
}

VideoItem sampleRow()
{
    VideoItem item;
    item.caption = QStringLiteral("/Videolar/deniz.mp4");
    item.duration = QStringLiteral("00:02:30");
    item.hasAudio = true;
    return item;
}

BuiltCommand build(const Tweak &tweak, int mode)
{
    RenderSettings s;
    VideoItem item = sampleRow();
    if (tweak)
        tweak(s, item);
    return buildCommandLine(&item, mode, s, sampleFolders(), kTick);
}

// The effects-and-overlays example: every layer at once.
void fullExample(RenderSettings &s, VideoItem &)
{
    s.cbRenderScale = 2;
    s.cbBitrate = QStringLiteral("3000");
    s.cbPreset = 2;
    s.edTimeStart = 5;
    s.edTimeEnd = 10;
    s.edCropLeft = 40;
    s.edCropTop = 20;
    s.tbZoom = 15;
    s.tbVideoSpeed = 150;
    s.cbFlipVideo = 1;
    s.cbSepia = true;
    s.cbVignette = true;
    s.tbContrast = 12;
    s.cbFilter = 1;
    s.cbFilterText = QStringLiteral("isik");
    s.cbFrame = 2;
    s.cbFrameText = QStringLiteral("Fulmaro Özel 2");
    s.edVideoFront = 1;
    s.cbVideoPosition = 5;
    s.cbLogo = 1;
    s.cbLogoText = QStringLiteral("kanal");
    s.cbLogoPosition = 9;
    s.cbLogoScale = QStringLiteral("100x100");
}

void pictureFrameBehind(RenderSettings &s, VideoItem &)
{
    s.cbRenderScale = 2;
    s.cbFrame = 5;
    s.cbFrameText = QStringLiteral("ahsap");
    s.edVideoFront = 0;
    s.cbVideoPosition = 0;
    s.edVideoPositionX = 100;
    s.edVideoPositionY = 50;
}

} // namespace

class TestCommandBuilder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void wholeLines_data();
    void wholeLines();
    void fragments_data();
    void fragments();
    void presets_data();
    void presets();
    void encoders_data();
    void encoders();
    void twoPasses();
    void noRow();
    void scratchCopies();
    void makeCopiesOverwrites();
    void durations_data();
    void durations();
    void decimals_data();
    void decimals();
};

void TestCommandBuilder::initTestCase()
{
    // Command lines use "." whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
}

void TestCommandBuilder::wholeLines_data()
{
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");

    const QString head = QStringLiteral(" -threads 6 -i \"/Videolar/deniz.mp4\"");
    const QString pipe =
        QStringLiteral(" -f avi - | \"/ProgramData/Fulmaro/Bin/ffplay\"") + kPlayer;

    QTest::newRow("defaults, render")
        << Tweak() << 0
        << head +
               QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1280x720 [base1]; "
                              "[0:v] scale=1280x720[video]; [base1][video] overlay=0:0:shortest=1 "
                              "[base2]\" -map \"[base2]\"  -map 0:a? -c:a copy  -b:v 5000k");
    QTest::newRow("defaults, preview")
        << Tweak() << 1
        << head +
               QStringLiteral(" -an  -preset ultrafast -filter_complex \"color=size=640x360 "
                              "[base1]; [0:v] scale=640x360[video]; [base1][video] "
                              "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -map 0:a? "
                              "-c:a copy  -b:v 5000k") +
               pipe;
    QTest::newRow("any other mode is a preview")
        << Tweak() << 7
        << head +
               QStringLiteral(" -an  -preset ultrafast -filter_complex \"color=size=640x360 "
                              "[base1]; [0:v] scale=640x360[video]; [base1][video] "
                              "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -map 0:a? "
                              "-c:a copy  -b:v 5000k") +
               pipe;
    QTest::newRow("silent preview at 1.5x")
        << Tweak([](RenderSettings &s, VideoItem &) { s.tbVideoSpeed = 150; }) << 1
        << head +
               QStringLiteral(" -an  -preset ultrafast -filter_complex \"color=size=640x360 "
                              "[base1]; [0:v] setpts=(1/1.5)*PTS, scale=640x360[video]; "
                              "[base1][video] overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  "
                              "-b:v 5000k") +
               pipe;
    QTest::newRow("render at 1.5x")
        << Tweak([](RenderSettings &s, VideoItem &) { s.tbVideoSpeed = 150; }) << 0
        << head +
               QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1280x720 [base1]; "
                              "[0:a]atempo=1.5 [audio]; [0:v] setpts=(1/1.5)*PTS, "
                              "scale=1280x720[video]; [base1][video] overlay=0:0:shortest=1 "
                              "[base2]\" -map \"[base2]\"  -map \"[audio]\" -c:a libmp3lame  "
                              "-b:v 5000k");
    QTest::newRow("preview with sound at 1.5x")
        << Tweak([](RenderSettings &s, VideoItem &) {
               s.tbVideoSpeed = 150;
               s.cbPreviewNoAudio = false;
           })
        << 1
        << head +
               QStringLiteral(" -preset ultrafast -filter_complex \"color=size=640x360 [base1]; "
                              "[0:a]atempo=1.5 [audio]; [0:v] setpts=(1/1.5)*PTS, "
                              "scale=640x360[video]; [base1][video] overlay=0:0:shortest=1 "
                              "[base2]\" -map \"[base2]\"  -map \"[audio]\" -c:a libmp3lame  "
                              "-b:v 5000k") +
               pipe;
    QTest::newRow("row without sound at 1.5x")
        << Tweak([](RenderSettings &s, VideoItem &row) {
               s.tbVideoSpeed = 150;
               row.hasAudio = false;
           })
        << 0
        << head +
               QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1280x720 [base1]; "
                              "[0:v] setpts=(1/1.5)*PTS, scale=1280x720[video]; [base1][video] "
                              "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -b:v 5000k");
    QTest::newRow("canvas at the source's rate")
        << Tweak([](RenderSettings &, VideoItem &row) {
               row.frameRate = QStringLiteral("30000/1001");
           })
        << 0
        << head + QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1280x720:rate="
                                 "30000/1001 [base1]; [0:v] scale=1280x720[video]; [base1][video] "
                                 "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -map 0:a? "
                                 "-c:a copy  -b:v 5000k");
    QTest::newRow("effects and overlays")
        << Tweak(fullExample) << 0
        << QStringLiteral(
               " -threads 6 -i \"/Videolar/deniz.mp4\" -i "
               "\"/ProgramData/Fulmaro/Temp/filter_123456.png\" "
               "-i \"/Videolar/deniz.mp4\" -i \"/ProgramData/Fulmaro/Temp/logo_123456.png\" "
               "-preset "
               "medium -filter_complex \"color=size=1920x1080 [base1]; [0:a]atempo=1.5 [audio]; "
               "[0:v] "
               "setpts=(1/1.5)*PTS, crop=in_w-40:in_h-20, scale=1344x756, hflip, "
               "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131, "
               "vignette=PI/0.1, "
               "scale=1.5*iw:-1, crop=trunc(iw/1.5):trunc(ih/1.5), eq=gamma=1:contrast=1.2:"
               "brightness=0:saturation=1:gamma_r=1:gamma_g=1:gamma_b=1[video]; [1:v] "
               "scale=1344x756 "
               "[filter]; [2:v] scale=1920x1080 [frame]; [3:v] scale=100x100 [logo]; "
               "[base1][frame] overlay=0:0,setpts=(1/1.5)*PTS, boxblur=15:1, hflip, "
               "format=pix_fmts=gray [base2]; [base2][video] overlay=0+trunc((main_w-overlay_w)/2):"
               "trunc((main_h-overlay_h)/2)+0:shortest=1 [base3]; [base3][filter] "
               "overlay=0+trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2)+0 [base4]; "
               "[base4][logo] overlay=0+main_w-overlay_w-10:main_h-overlay_h-10+0 [base5]\" -map "
               "\"[base5]\"  -map \"[audio]\" -c:a libmp3lame  -ss 3.33333333333333 -t 90 -b:v "
               "3000k");
    QTest::newRow("preview, picture frame behind the video")
        << Tweak(pictureFrameBehind) << 1
        << head +
               QStringLiteral(
                   " -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -an  -preset ultrafast "
                   "-filter_complex \"color=size=640x360 [base1]; [0:v] scale=448x252[video]; "
                   "[1:v] "
                   "scale=640x360 [frame]; [base1][video] overlay=33:16:shortest=1 [base2]; "
                   "[base2][frame] overlay=0:0 [base3]\" -map \"[base3]\"  -map 0:a? -c:a copy  "
                   "-b:v 5000k") +
               pipe;
    QTest::newRow("quoted paths, no full CPU")
        << Tweak([](RenderSettings &s, VideoItem &row) {
               s.btnFullCPU = false;
               row.caption = QStringLiteral("/v/a \"b\" $HOME `id` \\ ##out_scale##.mp4");
           })
        << 0
        << QStringLiteral(" -i \"/v/a \\\"b\\\" \\$HOME \\`id\\` \\\\ ##out_scale##.mp4\" -preset "
                          "ultrafast -filter_complex \"color=size=1280x720 [base1]; [0:v] "
                          "scale=1280x720[video]; [base1][video] overlay=0:0:shortest=1 [base2]\" "
                          "-map \"[base2]\"  -map 0:a? -c:a copy  -b:v 5000k");
    // One whole line for every branch of the builder: each flip, frame kind and order, position,
    // effect, adjustment, crop, atempo chain and trim, in render and preview.
    using S = RenderSettings;
    using V = VideoItem;
    const auto line = [](const char *name, Tweak tweak, int mode, const QString &expected) {
        QTest::newRow(name) << tweak << mode << expected;
    };
    line(
        "built-in frame 1, both flips, 0.05x, top left",
        [](S &s, V &) {
            s.cbFlipVideo = 3;
            s.cbFrame = 1;
            s.tbVideoSpeed = 5;
            s.cbVideoPosition = 1;
            s.edVideoPositionX = 7;
            s.edVideoPositionY = 8;
        },
        0,
        head + QStringLiteral(
                   " -i \"/Videolar/deniz.mp4\" -preset ultrafast -filter_complex "
                   "\"color=size=1280x720 [base1]; "
                   "[0:a]atempo=0.5,atempo=0.5,atempo=0.5,atempo=0.5,atempo=0.8 [audio]; [0:v] "
                   "setpts=(1/0.05)*PTS, scale=896x504, hflip, vflip[video]; [1:v] scale=1280x720 "
                   "[frame]; [base1][frame] overlay=0:0,setpts=(1/0.05)*PTS, boxblur=15:1, hflip, "
                   "vflip [base2]; [base2][video] overlay=7+10:10+8:shortest=1 [base3]\" -map "
                   "\"[base3]\"  -map \"[audio]\" -c:a libmp3lame  -b:v 5000k"));
    line(
        "built-in frame 3, vertical flip, top centre, logo top right",
        [](S &s, V &) {
            s.cbFlipVideo = 2;
            s.cbFrame = 3;
            s.cbVideoPosition = 2;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoPosition = 3;
            s.edLogoPositionX = 4;
            s.edLogoPositionY = -6;
        },
        0,
        head + QStringLiteral(
                   " -i \"/Videolar/deniz.mp4\" -i \"/ProgramData/Fulmaro/Temp/logo_123456.png\" "
                   "-preset ultrafast -filter_complex \"color=size=1280x720 [base1]; [0:v] "
                   "scale=896x504, vflip[video]; [1:v] scale=1280x720 [frame]; [2:v] scale=50x50 "
                   "[logo]; [base1][frame] overlay=0:0,setpts=(1/1)*PTS, boxblur=15:1, vflip, "
                   "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131 [base2]; "
                   "[base2][video] overlay=0+trunc((main_w-overlay_w)/2):10+0:shortest=1 [base3]; "
                   "[base3][logo] overlay=4+main_w-overlay_w-10:10+-6 [base4]\" -map \"[base4]\"  "
                   "-map "
                   "0:a? -c:a copy  -b:v 5000k"));
    line(
        "built-in frame 4, filter, crop top, left centre, logo right centre",
        [](S &s, V &) {
            s.cbFrame = 4;
            s.cbVideoPosition = 4;
            s.edCropTop = 20;
            s.cbFilter = 2;
            s.cbFilterText = QStringLiteral("isik");
            s.cbLogo = 3;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoPosition = 6;
        },
        0,
        head +
            QStringLiteral(
                " -i \"/ProgramData/Fulmaro/Temp/filter_123456.png\" -i \"/Videolar/deniz.mp4\" -i "
                "\"/ProgramData/Fulmaro/Temp/logo_123456.png\" -preset ultrafast -filter_complex "
                "\"color=size=1280x720 [base1]; [0:v] crop=in_w:in_h-20, scale=896x504[video]; "
                "[1:v] scale=896x504 [filter]; [2:v] scale=1280x720 [frame]; [3:v] scale=50x50 "
                "[logo]; [base1][frame] overlay=0:0,setpts=(1/1)*PTS, boxblur=15:1, "
                "noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 0.9215/1' [base2]; "
                "[base2][video] overlay=0+10:trunc((main_h-overlay_h)/2)+0:shortest=1 [base3]; "
                "[base3][filter] overlay=0+10:trunc((main_h-overlay_h)/2)+0 [base4]; "
                "[base4][logo] overlay=0+main_w-overlay_w-10:trunc((main_h-overlay_h)/2)+0 "
                "[base5]\" -map \"[base5]\"  -map 0:a? -c:a copy  -b:v 5000k"));
    line(
        "built-in frame 2 behind the video, bottom left, logo bottom centre",
        [](S &s, V &) {
            s.cbFrame = 2;
            s.edVideoFront = 0;
            s.cbVideoPosition = 7;
            s.tbVideoSpeed = 57;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoPosition = 8;
        },
        0,
        head + QStringLiteral(
                   " -i \"/Videolar/deniz.mp4\" -i \"/ProgramData/Fulmaro/Temp/logo_123456.png\" "
                   "-preset ultrafast -filter_complex \"color=size=1280x720 [base1]; "
                   "[0:a]atempo=0.57 [audio]; [0:v] setpts=(1/0.57)*PTS, scale=896x504[video]; "
                   "[1:v] scale=1280x720 [frame]; [2:v] scale=50x50 [logo]; [base1][video] "
                   "overlay=0+10:main_h-overlay_h-10+0:shortest=1 [base2]; [base2][frame] "
                   "overlay=0:0 [base3]; [base3][logo] "
                   "overlay=0+trunc((main_w-overlay_w)/2):main_h-overlay_h-10+0 [base4]\" -map "
                   "\"[base4]\"  -map \"[audio]\" -c:a libmp3lame  -b:v 5000k"));
    line(
        "picture frame in front, positions outside the table",
        [](S &s, V &) {
            s.cbFrame = 6;
            s.cbFrameText = QStringLiteral("ahsap");
            s.cbVideoPosition = -1;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoPosition = 10;
        },
        0,
        head +
            QStringLiteral(
                " -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -i "
                "\"/ProgramData/Fulmaro/Temp/logo_123456.png\" -preset ultrafast -filter_complex "
                "\"color=size=1280x720 [base1]; [0:v] scale=896x504[video]; [1:v] scale=1280x720 "
                "[frame]; [2:v] scale=50x50 [logo]; [base1][frame] overlay=0:0 [base2]; "
                "[base2][video] overlay=0:0:shortest=1 [base3]; [base3][logo] overlay= [base4]\" "
                "-map \"[base4]\"  -map 0:a? -c:a copy  -b:v 5000k"));
    line(
        "every effect and adjustment, zoom 11",
        [](S &s, V &) {
            s.cbVignette = true;
            s.cbVintage = true;
            s.cbLSD = true;
            s.cbPosterize = true;
            s.cbBadDream = true;
            s.cbThermography = true;
            s.cbNegative = true;
            s.cbSepia = true;
            s.cbGreyscale = true;
            s.tbZoom = 11;
            s.tbContrast = -20;
            s.tbBrightness = 10;
            s.tbSaturation = 30;
            s.tbGamma = 1;
            s.tbGammaRed = 2;
            s.tbGammaGreen = 57;
            s.tbGammaBlue = 99;
        },
        0,
        head +
            QStringLiteral(
                " -preset ultrafast -filter_complex \"color=size=1280x720 [base1]; [0:v] "
                "scale=1280x720, format=pix_fmts=gray, "
                "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131, "
                "curves=negative, curves=r='0.4/0 0.6/1':g='0.25/1 0.75/0.5 0.9/0 1/1':b='0/1 "
                "0.25/0 0.75/0 1/1', noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 "
                "0.9215/1', elbg=l=25: nb_steps=1, hue='H=2*PI*t: s=sin(2*PI*t)+1', "
                "curves=r='0/0.11 .42/.51 1/0.95':g='0.50/0.48':b='0/0.22 .49/.44 1/0.8', "
                "vignette=PI/0.1, scale=1.1*iw:-1, crop=trunc(iw/1.1):trunc(ih/1.1), "
                "eq=gamma=0.1:contrast=-2:brightness=1:saturation=3:gamma_r=0.02:gamma_g=0.57:"
                "gamma_b=0.99[video]; "
                "[base1][video] overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -map 0:a? -c:a "
                "copy  -b:v 5000k"));
    line(
        "crop left, trims, typed bitrate, slowest preset",
        [](S &s, V &) {
            s.edCropLeft = 40;
            s.edTimeStart = 5;
            s.edTimeEnd = 10;
            s.cbBitrate = QStringLiteral("25;rm 00");
            s.cbPreset = 4;
        },
        0,
        head +
            QStringLiteral(
                " -preset veryslow -filter_complex \"color=size=1280x720 [base1]; [0:v] "
                "crop=in_w-40:in_h, scale=1280x720[video]; [base1][video] overlay=0:0:shortest=1 "
                "[base2]\" -map \"[base2]\"  -map 0:a? -c:a copy  -ss 5 -t 135 -b:v 2500k"));
    line(
        "trims at 2x, filter without a frame, logo size without x",
        [](S &s, V &) {
            s.tbVideoSpeed = 200;
            s.edTimeStart = 5;
            s.edTimeEnd = 10;
            s.cbFilter = 1;
            s.cbFilterText = QStringLiteral("isik");
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoScale = QStringLiteral("120");
        },
        0,
        head +
            QStringLiteral(
                " -i \"/ProgramData/Fulmaro/Temp/filter_123456.png\" -i "
                "\"/ProgramData/Fulmaro/Temp/logo_123456.png\" -preset ultrafast -filter_complex "
                "\"color=size=1280x720 [base1]; [0:a]atempo=2 [audio]; [0:v] setpts=(1/2)*PTS, "
                "scale=1280x720[video]; [1:v] scale=1280x720 [filter]; [2:v] scale=0x120 [logo]; "
                "[base1][video] overlay=0:0:shortest=1 [base2]; [base2][filter] overlay=0:0 "
                "[base3]; [base3][logo] overlay=0+10:10+0 [base4]\" -map \"[base4]\"  -map "
                "\"[audio]\" -c:a libmp3lame  -ss 2.5 -t 67.5 -b:v 5000k"));
    line(
        "silent preview at 1.5x, built-in frame and logo",
        [](S &s, V &) {
            s.tbVideoSpeed = 150;
            s.cbFrame = 1;
            s.cbFlipVideo = 1;
            s.cbLogo = 2;
            s.cbLogoText = QStringLiteral("kanal");
        },
        1,
        head +
            QStringLiteral(
                " -i \"/Videolar/deniz.mp4\" -i \"/ProgramData/Fulmaro/Temp/logo_123456.png\" -an  "
                "-preset ultrafast -filter_complex \"color=size=640x360 [base1]; [0:v] "
                "setpts=(1/1.5)*PTS, scale=448x252, hflip[video]; [1:v] scale=640x360 [frame]; "
                "[2:v] scale=25x25 [logo]; [base1][frame] overlay=0:0,setpts=(1/1.5)*PTS, "
                "boxblur=15:1, hflip [base2]; [base2][video] "
                "overlay=0+trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2)+0:shortest=1 "
                "[base3]; [base3][logo] overlay=0+10:10+0 [base4]\" -map \"[base4]\"  -b:v 5000k") +
            pipe);
    line(
        "preview scaling at one half",
        [](S &s, V &) {
            s.edCropLeft = 40;
            s.edCropTop = 20;
            s.cbFrame = 5;
            s.cbFrameText = QStringLiteral("ahsap");
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 10;
            s.edVideoPositionY = 6;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoPosition = 0;
            s.edLogoPositionX = 20;
            s.edLogoPositionY = 30;
            s.cbLogoScale = QStringLiteral("100x100");
        },
        1,
        head +
            QStringLiteral(
                " -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -i "
                "\"/ProgramData/Fulmaro/Temp/logo_123456.png\" -an  -preset ultrafast "
                "-filter_complex \"color=size=640x360 [base1]; [0:v] crop=in_w-20:in_h-10, "
                "scale=448x252[video]; [1:v] scale=640x360 [frame]; [2:v] scale=50x50 [logo]; "
                "[base1][frame] overlay=0:0 [base2]; [base2][video] overlay=5:3:shortest=1 "
                "[base3]; [base3][logo] overlay=10:15 [base4]\" -map \"[base4]\"  -map 0:a? -c:a "
                "copy  -b:v 5000k") +
            pipe);
    line(
        "preview crops that shrink to nothing",
        [](S &s, V &) {
            s.cbRenderScale = 2;
            s.edCropLeft = 1;
            s.edCropTop = 1;
        },
        1,
        head +
            QStringLiteral(
                " -an  -preset ultrafast -filter_complex \"color=size=640x360 [base1]; "
                "[0:v] crop=in_w-0:in_h, scale=640x360[video]; [base1][video] "
                "overlay=0:0:shortest=1 [base2]\" -map \"[base2]\"  -map 0:a? -c:a copy  "
                "-b:v 5000k") +
            pipe);
    line(
        "preview larger than the render: 427 of 854 is 1920 of 3840",
        [](S &s, V &) {
            s.cbRenderScale = 4;
            s.cbPreviewScale = 0;
            s.edCropLeft = 1;
            s.edCropTop = 1;
            s.cbFrame = 5;
            s.cbFrameText = QStringLiteral("ahsap");
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 427;
            s.edVideoPositionY = 240;
            s.cbPreviewNoAudio = false;
        },
        1,
        head +
            QStringLiteral(
                " -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -preset ultrafast "
                "-filter_complex \"color=size=3840x2160 [base1]; [0:v] crop=in_w-4:in_h-4, "
                "scale=2684x1512[video]; [1:v] scale=3840x2160 [frame]; [base1][frame] "
                "overlay=0:0 [base2]; [base2][video] overlay=1920:1080:shortest=1 [base3]\" -map "
                "\"[base3]\"  -map 0:a? -c:a copy  -b:v 5000k") +
            pipe);

    // Upright and square sizes, and the video kept in proportion.
    const QString tail = QStringLiteral("\" -map \"[base2]\"  -map 0:a? -c:a copy  -b:v 5000k");
    line(
        "upright 1080x1920", [](S &s, V &) { s.cbRenderScale = 7; }, 0,
        head +
            QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1080x1920 "
                           "[base1]; [0:v] scale=1080x1920[video]; [base1][video] "
                           "overlay=0:0:shortest=1 [base2]") +
            tail);
    line(
        "square 1080x1080, proportions kept, centred on the canvas",
        [](S &s, V &) {
            s.cbRenderScale = 10;
            s.cbKeepAspect = true;
        },
        0,
        head +
            QStringLiteral(" -preset ultrafast -filter_complex \"color=size=1080x1080 "
                           "[base1]; [0:v] scale=1080x1080:force_original_aspect_ratio="
                           "decrease:force_divisible_by=2[video]; [base1][video] "
                           "overlay=trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2):"
                           "shortest=1 [base2]") +
            tail);
    line(
        "720x1280, proportions kept inside a blurred frame made from the video",
        [](S &s, V &) {
            s.cbRenderScale = 8;
            s.cbKeepAspect = true;
            s.cbFrame = 1;
            s.cbFrameText = QStringLiteral("Fulmaro Özel 1");
        },
        0,
        head + QStringLiteral(
                   " -i \"/Videolar/deniz.mp4\" -preset ultrafast -filter_complex \"color=size="
                   "720x1280 [base1]; [0:v] scale=504x896:force_original_aspect_ratio=decrease:"
                   "force_divisible_by=2[video]; [1:v] scale=720x1280:force_original_aspect_ratio="
                   "increase, crop=720:1280 [frame]; [base1][frame] overlay=0:0,setpts=(1/1)*PTS, "
                   "boxblur=15:1 [base2]; [base2][video] overlay=0+trunc((main_w-504)/2)+trunc(("
                   "504-overlay_w)/2):trunc((main_h-896)/2)+0+trunc((896-overlay_h)/2):shortest=1 "
                   "[base3]\" -map \"[base3]\"  -map 0:a? -c:a copy  -b:v 5000k"));
    line(
        "proportions kept at coordinates inside a frame picture",
        [](S &s, V &) {
            s.cbKeepAspect = true;
            s.cbFrame = 5;
            s.cbFrameText = QStringLiteral("ahsap");
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 20;
            s.edVideoPositionY = 30;
        },
        0,
        head + QStringLiteral(
                   " -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -preset ultrafast "
                   "-filter_complex \"color=size=1280x720 [base1]; [0:v] scale=896x504:"
                   "force_original_aspect_ratio=decrease:force_divisible_by=2[video]; [1:v] "
                   "scale=1280x720 [frame]; [base1][frame] overlay=0:0 [base2]; [base2][video] "
                   "overlay=20+trunc((896-overlay_w)/2):30+trunc((504-overlay_h)/2):shortest=1 "
                   "[base3]\" -map \"[base3]\"  -map 0:a? -c:a copy  -b:v 5000k"));
    line(
        "upright render in a wide preview size keeps its shape",
        [](S &s, V &) { s.cbRenderScale = 7; }, 1,
        head +
            QStringLiteral(" -an  -preset ultrafast -filter_complex \"color=size=202x360 "
                           "[base1]; [0:v] scale=202x360[video]; [base1][video] "
                           "overlay=0:0:shortest=1 [base2]") +
            tail + pipe);
    line(
        "upright preview size of an upright render, logo scaled by a third",
        [](S &s, V &) {
            s.cbRenderScale = 7;
            s.cbPreviewScale = 9;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
            s.cbLogoScale = QStringLiteral("300x150");
        },
        1,
        head +
            QStringLiteral(" -i \"/ProgramData/Fulmaro/Temp/logo_123456.png\" -an  -preset "
                           "ultrafast -filter_complex \"color=size=360x640 [base1]; [0:v] "
                           "scale=360x640[video]; [1:v] scale=100x50 [logo]; [base1][video] "
                           "overlay=0:0:shortest=1 [base2]; [base2][logo] overlay=0+10:10+0 "
                           "[base3]\" -map \"[base3]\"  -map 0:a? -c:a copy  -b:v 5000k") +
            pipe);
}

void TestCommandBuilder::wholeLines()
{
    QFETCH(Tweak, tweak);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QCOMPARE(build(tweak, mode).text, expected);
}

void TestCommandBuilder::fragments_data()
{
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    const auto row = [](const char *name, Tweak tweak, int mode, QStringList present,
                        QStringList absent = {}) {
        QTest::newRow(name) << tweak << mode << present << absent;
    };
    using S = RenderSettings;
    using V = VideoItem;

    row("only trim start", [](S &s, V &) { s.edTimeStart = 5; }, 0, {" -ss 5 -b:v"}, {" -t "});
    row("only trim end", [](S &s, V &) { s.edTimeEnd = 10; }, 0, {"copy  -t 140 -b:v"}, {" -ss "});
    row("both trims",
        [](S &s, V &) {
            s.edTimeStart = 5;
            s.edTimeEnd = 10;
        },
        0, {" -ss 5 -t 135 -b:v"});
    row("trim longer than the video", [](S &s, V &) { s.edTimeEnd = 200; }, 0, {" -t -50 -b:v"});
    row("negative trims do nothing",
        [](S &s, V &) {
            s.edTimeStart = -5;
            s.edTimeEnd = -1;
        },
        0, {}, {" -ss ", " -t "});
    row("trims at 2x",
        [](S &s, V &) {
            s.edTimeStart = 5;
            s.edTimeEnd = 10;
            s.tbVideoSpeed = 200;
        },
        0, {" -ss 2.5 -t 67.5 -b:v"});
    row("trim at 0.5x",
        [](S &s, V &) {
            s.edTimeEnd = 30;
            s.tbVideoSpeed = 50;
        },
        0, {" -t 240 -b:v"});
    row("bitrate as typed", [](S &s, V &) { s.cbBitrate = QStringLiteral("2500"); }, 0,
        {" -b:v 2500k"});
    row("bitrate keeps digits only", [](S &s, V &) { s.cbBitrate = QStringLiteral("25;rm 00"); }, 0,
        {" -b:v 2500k"}, {"25;", "rm"});
    row("logo size without x",
        [](S &s, V &) {
            s.cbLogo = 1;
            s.cbLogoScale = QStringLiteral("120");
        },
        0, {"[1:v] scale=0x120 [logo]"});
    row("logo size 80x60",
        [](S &s, V &) {
            s.cbLogo = 1;
            s.cbLogoScale = QStringLiteral("80x60");
        },
        0,
        {"[1:v] scale=80x60 [logo]", "[base2][logo] overlay=0+10:10+0 [base3]\" -map \"[base3]\""});
    row("silent preview with a frame and a logo",
        [](S &s, V &) {
            s.cbFrame = 6;
            s.cbLogo = 2;
        },
        1,
        {" -i \"/ProgramData/Fulmaro/Temp/frame_123456.png\" -i "
         "\"/ProgramData/Fulmaro/Temp/logo_123456.png\" -an  -preset"});
    row("preview scaling at one half",
        [](S &s, V &) {
            s.edCropLeft = 40;
            s.edCropTop = 20;
            s.cbFrame = 5;
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 10;
            s.edVideoPositionY = 6;
            s.cbLogo = 1;
            s.cbLogoPosition = 0;
            s.edLogoPositionX = 20;
            s.edLogoPositionY = 30;
            s.cbLogoScale = QStringLiteral("100x100");
        },
        1,
        {"[0:v] crop=in_w-20:in_h-10, scale=448x252[video]", "overlay=5:3:shortest=1",
         "scale=50x50 [logo]", "[logo] overlay=10:15 [base4]"});
    row("427 of 854 is 1920 of 3840",
        [](S &s, V &) {
            s.cbRenderScale = 4;
            s.cbPreviewScale = 0;
            s.cbFrame = 1;
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 427;
            s.edVideoPositionY = 240;
        },
        1, {"overlay=1920:1080:shortest=1"});
    row("silent preview at normal speed keeps the map", {}, 1, {" -an ", " -map 0:a? -c:a copy "});
    row("filter without a frame", [](S &s, V &) { s.cbFilter = 1; }, 0,
        {"[1:v] scale=1280x720 [filter]; [base1][video] overlay=0:0:shortest=1 [base2]; "
         "[base2][filter] overlay=0:0 [base3]\" -map \"[base3]\""});
    row("filter inside a frame",
        [](S &s, V &) {
            s.cbFilter = 1;
            s.cbFrame = 5;
            s.cbVideoPosition = 1;
        },
        0,
        {"[1:v] scale=896x504 [filter]; [2:v] scale=1280x720 [frame]",
         "[base3][filter] overlay=0+10:10+0 [base4]"});
    row("frame at top left",
        [](S &s, V &) {
            s.cbFrame = 5;
            s.cbVideoPosition = 1;
        },
        0, {"[base2][video] overlay=0+10:10+0:shortest=1 [base3]"});
    row("video position ignored without a frame",
        [](S &s, V &) {
            s.cbVideoPosition = 0;
            s.edVideoPositionX = 50;
            s.edVideoPositionY = 9;
        },
        0, {"[base1][video] overlay=0:0:shortest=1 [base2]"});
    row("logo position without a frame",
        [](S &s, V &) {
            s.cbLogo = 1;
            s.cbLogoPosition = 9;
            s.edLogoPositionX = 15;
        },
        0, {"[base2][logo] overlay=15+main_w-overlay_w-10:main_h-overlay_h-10+0 [base3]"});
    row("logo position outside the table",
        [](S &s, V &) {
            s.cbLogo = 1;
            s.cbLogoPosition = 10;
        },
        0, {"[base2][logo] overlay= [base3]"});
    row("video position outside the table",
        [](S &s, V &) {
            s.cbFrame = 5;
            s.cbVideoPosition = -1;
        },
        0, {"[video] overlay=0:0:shortest=1"});
    row("both flips with a blurred built-in frame",
        [](S &s, V &) {
            s.cbFlipVideo = 3;
            s.cbFrame = 1;
        },
        0,
        {"scale=896x504, hflip, vflip[video]",
         "[base1][frame] overlay=0:0,setpts=(1/1)*PTS, boxblur=15:1, hflip, vflip [base2]"});
    row("picture frame is never flipped",
        [](S &s, V &) {
            s.cbFlipVideo = 3;
            s.cbFrame = 5;
        },
        0, {"[base1][frame] overlay=0:0 [base2]"}, {"vflip [base"});
    row("vertical flip", [](S &s, V &) { s.cbFlipVideo = 2; }, 0, {"scale=1280x720, vflip[video]"},
        {"hflip"});
    row("built-in frame 3 is sepia", [](S &s, V &) { s.cbFrame = 3; }, 0,
        {"boxblur=15:1, colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131 "
         "[base2]"});
    row("built-in frame 4 is grainy", [](S &s, V &) { s.cbFrame = 4; }, 0,
        {"boxblur=15:1, noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 0.9215/1' "
         "[base2]"});
    row("built-in frame behind the video",
        [](S &s, V &) {
            s.cbFrame = 1;
            s.edVideoFront = 0;
        },
        0,
        {" -i \"/Videolar/deniz.mp4\" -i \"/Videolar/deniz.mp4\" -preset",
         "[base1][video] overlay=0+trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2)+0:"
         "shortest=1 [base2]; [base2][frame] overlay=0:0 [base3]\" -map \"[base3]\""},
        {"boxblur"});
    row("only crop left", [](S &s, V &) { s.edCropLeft = 40; }, 0,
        {"[0:v] crop=in_w-40:in_h, scale="});
    row("only crop top", [](S &s, V &) { s.edCropTop = 20; }, 0,
        {"[0:v] crop=in_w:in_h-20, scale="});
    row("crops that shrink to nothing",
        [](S &s, V &) {
            s.cbRenderScale = 2;
            s.edCropLeft = 1;
            s.edCropTop = 1;
        },
        1, {"[0:v] crop=in_w-0:in_h, scale=640x360"});
    row("zoom 10 adds nothing", [](S &s, V &) { s.tbZoom = 10; }, 0, {}, {"*iw"});
    row("zoom 11", [](S &s, V &) { s.tbZoom = 11; }, 0,
        {"scale=1280x720, scale=1.1*iw:-1, crop=trunc(iw/1.1):trunc(ih/1.1)[video]"});
    row("zoom 100", [](S &s, V &) { s.tbZoom = 100; }, 0,
        {"scale=10*iw:-1, crop=trunc(iw/10):trunc(ih/10)[video]"});
    row("brightness -3", [](S &s, V &) { s.tbBrightness = -3; }, 0,
        {"eq=gamma=1:contrast=1:brightness=-0.3:saturation=1:gamma_r=1:gamma_g=1:gamma_b=1["
         "video]"});
    row("red gamma 55", [](S &s, V &) { s.tbGammaRed = 55; }, 0,
        {"eq=gamma=1:contrast=1:brightness=0:saturation=1:gamma_r=0.55:gamma_g=1:gamma_b=1["
         "video]"});
    row("all adjustments",
        [](S &s, V &) {
            s.tbContrast = -20;
            s.tbBrightness = 10;
            s.tbSaturation = 30;
            s.tbGamma = 1;
            s.tbGammaRed = 2;
            s.tbGammaGreen = 57;
            s.tbGammaBlue = 99;
        },
        0,
        {"eq=gamma=0.1:contrast=-2:brightness=1:saturation=3:gamma_r=0.02:gamma_g=0.57:gamma_b=0."
         "99[video]"},
        {"mp=eq2"});
    row("all effects in fixed order",
        [](S &s, V &) {
            s.cbVignette = true;
            s.cbVintage = true;
            s.cbLSD = true;
            s.cbPosterize = true;
            s.cbBadDream = true;
            s.cbThermography = true;
            s.cbNegative = true;
            s.cbSepia = true;
            s.cbGreyscale = true;
        },
        0,
        {"[0:v] scale=1280x720, format=pix_fmts=gray, "
         "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131, curves=negative, "
         "curves=r='0.4/0 0.6/1':g='0.25/1 0.75/0.5 0.9/0 1/1':b='0/1 0.25/0 0.75/0 1/1', "
         "noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 0.9215/1', elbg=l=25: "
         "nb_steps=1, "
         "hue='H=2*PI*t: s=sin(2*PI*t)+1', curves=r='0/0.11 .42/.51 "
         "1/0.95':g='0.50/0.48':b='0/0.22 "
         ".49/.44 1/0.8', vignette=PI/0.1[video]"});
    row("two effects and a zoom",
        [](S &s, V &) {
            s.cbNegative = true;
            s.cbGreyscale = true;
            s.tbZoom = 20;
        },
        0,
        {"[0:v] scale=1280x720, format=pix_fmts=gray, curves=negative, scale=2*iw:-1, "
         "crop=trunc(iw/2):trunc(ih/2)[video]"});
    row("speed 0.05 chains atempo", [](S &s, V &) { s.tbVideoSpeed = 5; }, 0,
        {"[0:a]atempo=0.5,atempo=0.5,atempo=0.5,atempo=0.5,atempo=0.8 [audio]; [0:v] "
         "setpts=(1/0.05)*PTS, "});
    row("speed 0.4 chains atempo", [](S &s, V &) { s.tbVideoSpeed = 40; }, 0,
        {"[0:a]atempo=0.5,atempo=0.8 [audio]"});
    row("speed 0.5 is one atempo", [](S &s, V &) { s.tbVideoSpeed = 50; }, 0,
        {"[0:a]atempo=0.5 [audio]; [0:v] setpts=(1/0.5)*PTS, "});
    row("speed 2", [](S &s, V &) { s.tbVideoSpeed = 200; }, 0,
        {"[0:a]atempo=2 [audio]; [0:v] setpts=(1/2)*PTS, "});
    row("speed and frame",
        [](S &s, V &) {
            s.tbVideoSpeed = 57;
            s.cbFrame = 1;
        },
        0, {"overlay=0:0,setpts=(1/0.57)*PTS, boxblur=15:1 [base2]"});
    row("unknown rate keeps the plain canvas",
        [](S &, V &r) { r.frameRate = QStringLiteral("0/0"); }, 0,
        {"\"color=size=1280x720 [base1]; "});
    row("odd rate text never reaches the graph",
        [](S &, V &r) { r.frameRate = QStringLiteral("30/1\"; id; \""); }, 0,
        {"\"color=size=1280x720 [base1]; "}, {"id;"});
    row("whole rate", [](S &, V &r) { r.frameRate = QStringLiteral("25"); }, 0,
        {"\"color=size=1280x720:rate=25 [base1]; "});
    row("size index outside the table", [](S &s, V &) { s.cbRenderScale = 99; }, 0,
        {"\"color=size= [base1]; [0:v] scale=[video]"});
    row("frame share not a number",
        [](S &s, V &) {
            s.cbFrame = 5;
            s.cbVideoScale = QStringLiteral("a%");
        },
        0, {"scale=0x0[video]"});
    row("frame share 33",
        [](S &s, V &) {
            s.cbFrame = 5;
            s.cbVideoScale = QStringLiteral("33%");
        },
        0, {"scale=857x482[video]"});

    // Sound goes into the container as it is only where the container can hold it.
    const auto sound = [](const char *codec, int rate) {
        return [codec, rate](S &, V &r) { r.audioStreams = {{QLatin1String(codec), rate}}; };
    };
    const auto into = [](const char *codec, int rate, const char *extension, int speed = 100) {
        return [=](S &s, V &r) {
            r.audioStreams = {{QLatin1String(codec), rate}};
            s.cbExtension = QLatin1String(extension);
            s.tbVideoSpeed = speed;
        };
    };
    row("AAC copied into mp4", sound("aac", 44100), 0, {" -map 0:a? -c:a copy  -b:v"});
    row("PCM into mp4 as AAC", into("pcm_s16le", 48000, "mp4"), 0, {" -map 0:a? -c:a aac  -b:v"},
        {"copy"});
    row("PCM into avi copied", into("pcm_s16le", 48000, "avi"), 0, {" -map 0:a? -c:a copy "});
    row("Opus into avi as MP3", into("opus", 48000, "avi"), 0,
        {" -map 0:a? -c:a libmp3lame  -b:v"});
    row("Vorbis into flv as AAC", into("vorbis", 44100, "flv"), 0, {" -map 0:a? -c:a aac "});
    row("retimed PCM 32 kHz into flv as AAC", into("pcm_s16le", 32000, "flv", 150), 0,
        {"[0:a]atempo=1.5 [audio]; ", " -map \"[audio]\" -c:a aac  -b:v"});
    row("retimed Opus into mp4 as MP3", into("opus", 48000, "mp4", 150), 0,
        {" -map \"[audio]\" -c:a libmp3lame "});
    // A preview pipes avi into the player, whatever container the render would write.
    row("preview of Opus writes MP3", into("opus", 48000, "mkv"), 1,
        {" -map 0:a? -c:a libmp3lame "}, {"copy"});

    // The video after a cover picture is the one that is rendered, also as a built-in frame.
    row("video after a cover picture", [](S &, V &r) { r.videoOrdinal = 1; }, 0,
        {"[base1]; [0:v:1] scale=1280x720[video]"}, {"[0:v] "});
    row("video after a cover picture, retimed",
        [](S &s, V &r) {
            r.videoOrdinal = 2;
            s.tbVideoSpeed = 200;
        },
        0, {"[audio]; [0:v:2] setpts=(1/2)*PTS, "});
    row("built-in frame after a cover picture",
        [](S &s, V &r) {
            r.videoOrdinal = 1;
            s.cbFrame = 1;
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("logo");
        },
        0, {"; [1:v:1] scale=1280x720 [frame]", "; [2:v] scale="});
}

void TestCommandBuilder::fragments()
{
    QFETCH(Tweak, tweak);
    QFETCH(int, mode);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QString text = build(tweak, mode).text;
    for (const QString &piece : present)
        QVERIFY2(text.contains(piece),
                 qPrintable(QStringLiteral("missing [%1] in [%2]").arg(piece, text)));
    for (const QString &piece : absent)
        QVERIFY2(!text.contains(piece),
                 qPrintable(QStringLiteral("unwanted [%1] in [%2]").arg(piece, text)));
}

void TestCommandBuilder::presets_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("preset");
    QTest::newRow("0") << 0 << "ultrafast";
    QTest::newRow("1") << 1 << "veryfast";
    QTest::newRow("2") << 2 << "medium";
    QTest::newRow("3") << 3 << "slower";
    QTest::newRow("4") << 4 << "veryslow";
    QTest::newRow("5") << 5 << "ultrafast";
    QTest::newRow("-1") << -1 << "ultrafast";
}

void TestCommandBuilder::presets()
{
    QFETCH(int, index);
    QFETCH(QString, preset);
    const QString text =
        build([index](RenderSettings &s, VideoItem &) { s.cbPreset = index; }, 0).text;
    QVERIFY(
        text.contains(QStringLiteral("\" -preset ") + preset + QStringLiteral(" -filter_complex")));
}

// What a codec, a rate mode and the speed write: the options after the inputs, and the end of
// the line. "Otomatik" keeps the line of old; a preview always takes the fastest, by bitrate.
void TestCommandBuilder::encoders_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("rateMode");
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("head"); // between the source and " -filter_complex"
    QTest::addColumn<QString>("tail"); // after the sound's options
    const auto row = [](const char *name, int codec, const char *container, int rateMode,
                        int preset, int quality, int mode, const char *head, const char *tail) {
        QTest::newRow(name) << codec << QString::fromLatin1(container) << rateMode << preset
                            << quality << mode << QString::fromLatin1(head)
                            << QString::fromLatin1(tail);
    };
    row("defaults", 0, "mp4", 0, 0, 50, 0, " -preset ultrafast", " -b:v 5000k");
    row("Otomatik in avi keeps its preset", 0, "avi", 0, 2, 50, 0, " -preset medium",
        " -b:v 5000k");
    row("Otomatik in webm is VP9's speed", 0, "webm", 0, 0, 50, 0,
        " -deadline realtime -cpu-used 8 -row-mt 1", " -b:v 5000k");
    row("H.264 named", 1, "mkv", 0, 4, 50, 0, " -c:v libx264 -preset veryslow", " -b:v 5000k");
    row("H.265 slower", 2, "mov", 0, 3, 50, 0, " -c:v libx265 -tag:v hvc1 -preset slower",
        " -b:v 5000k");
    row("H.265 in mkv needs no tag", 2, "mkv", 0, 0, 50, 0, " -c:v libx265 -preset ultrafast",
        " -b:v 5000k");
    row("VP9 normal", 3, "webm", 0, 2, 50, 0,
        " -c:v libvpx-vp9 -deadline good -cpu-used 3 -row-mt 1", " -b:v 5000k");
    row("AV1 slowest", 4, "mkv", 0, 4, 50, 0, " -c:v libsvtav1 -preset 4", " -b:v 5000k");
    row("H.264 quality default", 1, "mp4", 1, 0, 50, 0, " -c:v libx264 -preset ultrafast",
        " -crf 23");
    row("H.264 best quality", 1, "mp4", 1, 0, 100, 0, " -c:v libx264 -preset ultrafast",
        " -crf 12");
    row("H.264 smallest files", 1, "mp4", 1, 0, 0, 0, " -c:v libx264 -preset ultrafast",
        " -crf 45");
    row("VP9 quality has no bitrate cap", 3, "webm", 1, 0, 50, 0,
        " -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1", " -crf 33 -b:v 0");
    row("Otomatik quality in avi", 0, "avi", 1, 0, 50, 0, " -preset ultrafast", " -q:v 4");
    row("quality out of range is clamped", 1, "mp4", 1, 0, 500, 0,
        " -c:v libx264 -preset ultrafast", " -crf 12");
    row("preview ignores codec, speed and quality", 2, "mkv", 1, 4, 80, 1,
        " -an  -preset ultrafast", " -b:v 5000k -f avi - | ");
}

void TestCommandBuilder::encoders()
{
    QFETCH(int, codec);
    QFETCH(QString, container);
    QFETCH(int, rateMode);
    QFETCH(int, preset);
    QFETCH(int, quality);
    QFETCH(int, mode);
    QFETCH(QString, head);
    QFETCH(QString, tail);
    const BuiltCommand built = build(
        [&](RenderSettings &s, VideoItem &) {
            s.cbVideoCodec = codec;
            s.cbExtension = container;
            s.cbRateMode = rateMode;
            s.cbPreset = preset;
            s.tbQuality = quality;
        },
        mode);
    const QString source = QStringLiteral("-i \"/Videolar/deniz.mp4\"");
    QVERIFY2(built.text.contains(source + head + QStringLiteral(" -filter_complex")),
             qPrintable(built.text));
    const QString sound = QStringLiteral("-c:a ");
    const qsizetype soundAt = built.text.indexOf(sound);
    QVERIFY(soundAt > 0);
    const QString afterSound = built.text.mid(built.text.indexOf(QLatin1Char(' '), soundAt + 5));
    QVERIFY2(afterSound.startsWith(QLatin1Char(' ') + tail), qPrintable(afterSound));
    if (mode == RenderMode)
        QVERIFY2(built.text.endsWith(tail), qPrintable(built.text));
    QVERIFY(built.firstPass.isEmpty());
}

// Two passes: the first measures without writing (its sound copied, or plain samples where the
// graph retimes it), the second writes; both read one log by the name given.
void TestCommandBuilder::twoPasses()
{
    const auto twoPass = [](int codec, int speed) {
        RenderSettings s;
        s.cbVideoCodec = codec;
        s.cbRateMode = 2;
        s.cbBitrate = QStringLiteral("1500");
        s.tbVideoSpeed = speed;
        VideoItem item = sampleRow();
        return buildCommandLine(&item, RenderMode, s, sampleFolders(), kTick,
                                QStringLiteral("deniz-0123456789-pass"));
    };
    // The null output of the first pass has an encoder of its own: two passes name the
    // container's, also under "Otomatik".
    const BuiltCommand x264 = twoPass(0, 100);
    QVERIFY(x264.firstPass.contains(QStringLiteral(" -c:v libx264 -preset ultrafast ")));
    QVERIFY(x264.text.contains(QStringLiteral(" -c:v libx264 -preset ultrafast ")));
    QVERIFY2(x264.firstPass.endsWith(QStringLiteral(
                 " -map 0:a? -c:a copy  -b:v 1500k -pass 1 -passlogfile deniz-0123456789-pass -f "
                 "null -")),
             qPrintable(x264.firstPass));
    QVERIFY2(x264.text.endsWith(
                 QStringLiteral(" -b:v 1500k -pass 2 -passlogfile deniz-0123456789-pass")),
             qPrintable(x264.text));
    // Everything before the sound is the same in both passes.
    const qsizetype mapAt = x264.text.indexOf(QStringLiteral("-map 0:a?"));
    QCOMPARE(x264.firstPass.left(mapAt), x264.text.left(mapAt));

    const BuiltCommand retimed = twoPass(1, 150);
    QVERIFY2(retimed.firstPass.contains(QStringLiteral(" -map \"[audio]\" -c:a pcm_s16le ")),
             qPrintable(retimed.firstPass));
    QVERIFY(retimed.text.contains(QStringLiteral(" -map \"[audio]\" -c:a libmp3lame ")));

    const BuiltCommand x265 = twoPass(2, 100);
    QVERIFY2(x265.firstPass.contains(
                 QStringLiteral(" -x265-params pass=1:stats=deniz-0123456789-pass.log -f null -")),
             qPrintable(x265.firstPass));
    QVERIFY(
        x265.text.endsWith(QStringLiteral(" -x265-params pass=2:stats=deniz-0123456789-pass.log")));

    // VP9 in real time writes an empty first-pass log: two passes take its fastest good speed.
    const BuiltCommand vp9 = twoPass(3, 100);
    QVERIFY2(vp9.firstPass.contains(QStringLiteral(" -deadline good -cpu-used 8 -row-mt 1 ")),
             qPrintable(vp9.firstPass));

    // SVT-AV1 reads no first-pass log here; two passes of AV1 take the other AV1 encoder.
    const BuiltCommand av1 = twoPass(4, 100);
    QVERIFY(av1.text.contains(QStringLiteral(" -c:v libaom-av1 -cpu-used 8 -row-mt 1 ")));
    QVERIFY(av1.firstPass.contains(QStringLiteral(" -pass 1 -passlogfile ")));
}

void TestCommandBuilder::noRow()
{
    RenderSettings s;
    s.cbFilter = 1;
    const BuiltCommand built = buildCommandLine(nullptr, 0, s, sampleFolders(), kTick);
    QVERIFY(built.text.isEmpty());
    QVERIFY(built.copies.isEmpty());
    // Nor is there a command for a row without a video stream or that could not be read.
    for (const ItemProblem problem : {ItemProblem::NoVideo, ItemProblem::Unreadable}) {
        VideoItem item = sampleRow();
        item.problem = problem;
        for (const int mode : {0, 1}) {
            const BuiltCommand refused = buildCommandLine(&item, mode, s, sampleFolders(), kTick);
            QVERIFY(refused.text.isEmpty());
            QVERIFY(refused.copies.isEmpty());
        }
    }
}

void TestCommandBuilder::scratchCopies()
{
    const BuiltCommand all = build(
        [](RenderSettings &s, VideoItem &) {
            s.cbFilter = 2;
            s.cbFilterText = QStringLiteral("Yağmur");
            s.cbFrame = 5;
            s.cbFrameText = QStringLiteral("ahşap");
            s.cbLogo = 1;
            s.cbLogoText = QStringLiteral("kanal");
        },
        0);
    const QList<ScratchCopy> expected = {
        {QStringLiteral("/ProgramData/Fulmaro/Filter/Yağmur.png"),
         QStringLiteral("/ProgramData/Fulmaro/Temp/filter_123456.png")},
        {QStringLiteral("/ProgramData/Fulmaro/Frame/ahşap.png"),
         QStringLiteral("/ProgramData/Fulmaro/Temp/frame_123456.png")},
        {QStringLiteral("/ProgramData/Fulmaro/Logo/kanal.png"),
         QStringLiteral("/ProgramData/Fulmaro/Temp/logo_123456.png")}};
    QCOMPARE(all.copies, expected);

    const BuiltCommand builtIn = build([](RenderSettings &s, VideoItem &) { s.cbFrame = 4; }, 0);
    QVERIFY(builtIn.copies.isEmpty());
    // A picker without a selection counts as "Yok".
    const BuiltCommand unselected = build([](RenderSettings &s, VideoItem &) { s.cbLogo = -1; }, 0);
    QVERIFY(unselected.copies.isEmpty());
    QVERIFY(!unselected.text.contains(QStringLiteral("[logo]")));
}

void TestCommandBuilder::makeCopiesOverwrites()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.png"));
    const QString b = dir.filePath(QStringLiteral("b.png"));
    for (const auto &[path, content] :
         {std::pair{a, QByteArray("new")}, std::pair{b, QByteArray("old")}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QVERIFY(makeScratchCopies({{a, b}}));
    QFile f(b);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("new"));
    QVERIFY(!makeScratchCopies({{dir.filePath(QStringLiteral("missing.png")), b}}));
}

void TestCommandBuilder::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("one hour") << "01:00:00" << 3600;
    QTest::newRow("bad hours") << "xx:01:02" << 62;
    QTest::newRow("tail ignored") << "00:02:30:99" << 150;
    QTest::newRow("dot separators") << "00.02.30" << 150;
    QTest::newRow("empty") << "" << 0;
}

void TestCommandBuilder::durations()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(durationToSeconds(text), seconds);
}

void TestCommandBuilder::decimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << 150 / 100.0 << "1.5";
    QTest::newRow("0.05") << 5 / 100.0 << "0.05";
    QTest::newRow("-0.1") << -1 / 10.0 << "-0.1";
    QTest::newRow("2") << 200 / 100.0 << "2";
    QTest::newRow("0.57") << 57 / 100.0 << "0.57";
    QTest::newRow("1/3") << 1 / 3.0 << "0.333333333333333";
    QTest::newRow("100/3") << 100 / 3.0 << "33.3333333333333";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
}

void TestCommandBuilder::decimals()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(decimalText(value), text);
}

QTEST_GUILESS_MAIN(TestCommandBuilder)
#include "tst_commandbuilder.moc"
