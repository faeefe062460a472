#include "core/render/commandbuilder.h"

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/assets/assetfiles.h"
#include "core/runner/shellquote.h"
#include "core/videolist/videoitem.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace fulmaro {

namespace {

const QString kOutScale = QStringLiteral("##out_scale##");
const QString kVideoScale = QStringLiteral("##video_scale##");
const QString kLogoScale = QStringLiteral("##logo_scale##");

const QString kSepia =
    QStringLiteral("colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131");
const QString kGrain = QStringLiteral("noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 "
                                      "0.9215/1'");

// Width and height of a "WxH" text: the parts before and after the first "x", 0 where a part is
// not a number. Without an "x" the whole text is the height.
void splitSize(const QString &text, int &width, int &height)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'));
    if (x < 0) {
        width = 0;
        height = text.toInt();
        return;
    }
    width = text.left(x).toInt();
    height = text.mid(x + 1).toInt();
}

// value x ratio, truncated toward zero. The ratio is kept in extended precision: a double product
// lands one pixel short for some sizes (427 from 854 to 3840 must give 1920).
int scaled(int value, long double ratio)
{
    const long double product = static_cast<long double>(value) * ratio;
    if (!std::isfinite(static_cast<double>(product)))
        return 0;
    const long double limit = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(std::trunc(product), -limit, limit));
}

QString positionText(int index, int x, int y)
{
    const QString X = QString::number(x);
    const QString Y = QString::number(y);
    switch (index) {
    case 0: return X + QLatin1Char(':') + Y;
    case 1: return X + QStringLiteral("+10:10+") + Y;
    case 2: return X + QStringLiteral("+trunc((main_w-overlay_w)/2):10+") + Y;
    case 3: return X + QStringLiteral("+main_w-overlay_w-10:10+") + Y;
    case 4: return X + QStringLiteral("+10:trunc((main_h-overlay_h)/2)+") + Y;
    case 5: return X + QStringLiteral("+trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2)+") + Y;
    case 6: return X + QStringLiteral("+main_w-overlay_w-10:trunc((main_h-overlay_h)/2)+") + Y;
    case 7: return X + QStringLiteral("+10:main_h-overlay_h-10+") + Y;
    case 8: return X + QStringLiteral("+trunc((main_w-overlay_w)/2):main_h-overlay_h-10+") + Y;
    case 9: return X + QStringLiteral("+main_w-overlay_w-10:main_h-overlay_h-10+") + Y;
    default: return QString();
    }
}

// The probe writes rates as "num/den"; anything else (or "0/0" for an unknown rate) leaves the
// canvas at the encoder's default rate. Only digits and one slash can reach the graph.
QString canvasRate(const QString &frameRate)
{
    static const QRegularExpression re(QStringLiteral("\\A([0-9]+)(?:/([0-9]+))?\\z"));
    const QRegularExpressionMatch m = re.match(frameRate);
    if (!m.hasMatch())
        return QString();
    if (m.captured(1).toLongLong() == 0)
        return QString();
    if (m.lastCapturedIndex() >= 2 && m.captured(2).toLongLong() == 0)
        return QString();
    return frameRate;
}

// atempo takes factors from 0.5 to 100 only; slower speeds are a chain of halvings and a rest.
QString atempoChain(int speedPercent)
{
    QStringList factors;
    qint64 numerator = speedPercent;
    while (numerator > 0 && numerator < 50) {
        factors.append(QStringLiteral("atempo=0.5"));
        numerator *= 2;
    }
    factors.append(QStringLiteral("atempo=") + decimalText(numerator / 100.0));
    return factors.join(QLatin1Char(','));
}

} // namespace

BuildFolders BuildFolders::from(const WorkFolders &folders, const ToolSet &tools)
{
    BuildFolders b;
    b.tempDir = folders.tempDir;
    b.filterDir = folders.filterDir;
    b.frameDir = folders.frameDir;
    b.logoDir = folders.logoDir;
    const QString player = tools.ffPlay.isEmpty() ? QStringLiteral("ffplay") : tools.ffPlay;
    b.playerPath = (tools.binDir.isEmpty() ? folders.binDir : tools.binDir) + player;
    return b;
}

QString decimalText(double value)
{
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::clamp(14 - magnitude, 0, 40);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString sizeText(int index)
{
    static const char *const sizes[] = {"3840x2160", "2560x1440", "1920x1080", "1280x720",
                                        "854x480",   "640x360",   "426x240"};
    if (index < 0 || index > 6)
        return QString();
    return QLatin1String(sizes[index]);
}

int durationToSeconds(const QString &text)
{
    const auto pair = [&text](int from) { return text.mid(from, 2).toInt(); };
    return pair(0) * 3600 + pair(3) * 60 + pair(6);
}

quint32 scratchTick()
{
    // Milliseconds of the monotonic clock, wrapping like a 32-bit tick count.
    QElapsedTimer clock;
    clock.start();
    return static_cast<quint32>(clock.msecsSinceReference());
}

bool makeScratchCopies(const QList<ScratchCopy> &copies)
{
    bool allMade = true;
    for (const ScratchCopy &copy : copies) {
        if (QFile::exists(copy.destination))
            QFile::remove(copy.destination);
        // Library entries are compared without regard to case: the entry "Logo" is the file
        // "Logo.PNG" on a file system that tells case apart.
        if (!QFile::copy(findFileIgnoringCase(copy.source), copy.destination))
            allMade = false;
    }
    return allMade;
}

BuiltCommand buildCommandLine(const VideoItem *item, int mode, const RenderSettings &s,
                              const BuildFolders &folders, quint32 tick)
{
    BuiltCommand result;
    if (!item)
        return result;

    const bool preview = mode != RenderMode;
    const int filter = std::max(s.cbFilter, 0);
    const int frame = std::max(s.cbFrame, 0);
    const int logo = std::max(s.cbLogo, 0);
    const bool hasFilter = filter > 0;
    const bool hasFrame = frame > 0;
    const bool builtInFrame = frame >= 1 && frame <= 4;
    const bool pictureFrame = frame >= 5;
    const bool hasLogo = logo > 0;

    const QString tickText = QString::number(tick);
    const QString filterScratch = folders.tempDir + QStringLiteral("filter_") + tickText
                                  + QStringLiteral(".png");
    const QString frameScratch = folders.tempDir + QStringLiteral("frame_") + tickText
                                 + QStringLiteral(".png");
    const QString logoScratch = folders.tempDir + QStringLiteral("logo_") + tickText
                                + QStringLiteral(".png");

    // Sizes, and the ratios that carry the render's pixel values over to a preview.
    const QString renderSize = sizeText(s.cbRenderScale);
    const QString outSize = preview ? sizeText(s.cbPreviewScale) : renderSize;
    int renderW = 0, renderH = 0;
    splitSize(renderSize, renderW, renderH);
    long double ratioX = 1.0L, ratioY = 1.0L;
    if (preview) {
        int previewW = 0, previewH = 0;
        splitSize(sizeText(s.cbPreviewScale), previewW, previewH);
        if (renderW != 0)
            ratioX = static_cast<long double>(previewW) / renderW;
        if (renderH != 0)
            ratioY = static_cast<long double>(previewH) / renderH;
    }

    QString shareText = s.cbVideoScale;
    if (const qsizetype percent = shareText.indexOf(QLatin1Char('%')); percent >= 0)
        shareText.remove(percent, 1);
    bool shareOk = false;
    int share = shareText.toInt(&shareOk);
    if (!shareOk)
        share = 100;
    const int innerW = static_cast<int>(renderW - static_cast<qint64>(renderW) * share / 100.0);
    const int innerH = static_cast<int>(renderH - static_cast<qint64>(renderH) * share / 100.0);
    int logoW = 0, logoH = 0;
    splitSize(s.cbLogoScale, logoW, logoH);

    const int frameX = scaled(s.edVideoPositionX, ratioX);
    const int frameY = scaled(s.edVideoPositionY, ratioY);
    const int videoW = scaled(innerW, ratioX);
    const int videoH = scaled(innerH, ratioY);
    const int logoX = scaled(s.edLogoPositionX, ratioX);
    const int logoY = scaled(s.edLogoPositionY, ratioY);
    const int logoSW = scaled(logoW, ratioX);
    const int logoSH = scaled(logoH, ratioY);
    const int cropLeft = scaled(s.edCropLeft, ratioX);
    const int cropTop = scaled(s.edCropTop, ratioY);

    // Speed: the video is retimed; the sound follows through atempo when there is any to keep.
    const int speed = s.tbVideoSpeed;
    const bool changedSpeed = speed != 100;
    const QString speedText = decimalText(speed / 100.0);
    const bool keepSound = item->hasAudio && !(preview && s.cbPreviewNoAudio);
    QString chainHead;
    QString audioMap;
    if (!changedSpeed) {
        chainHead = QStringLiteral("[0:v] ");
        // Optional, so a source without sound renders too.
        audioMap = QStringLiteral(" -map 0:a? -c:a copy ");
    } else if (keepSound) {
        chainHead = QStringLiteral("[0:a]") + atempoChain(speed) + QStringLiteral(" [audio]; [0:v] setpts=(1/")
                    + speedText + QStringLiteral(")*PTS, ");
        audioMap = QStringLiteral(" -map \"[audio]\" -c:a libmp3lame ");
    } else {
        chainHead = QStringLiteral("[0:v] setpts=(1/") + speedText + QStringLiteral(")*PTS, ");
    }

    // Inputs: 0 the source, then the filter, the frame and the logo, each when chosen.
    QString text;
    if (s.btnFullCPU)
        text += QStringLiteral(" -threads 6");
    const QString source = quoteArg(item->caption);
    text += QStringLiteral(" -i ") + source;
    if (hasFilter)
        text += QStringLiteral(" -i ") + quoteArg(filterScratch);
    if (pictureFrame)
        text += QStringLiteral(" -i ") + quoteArg(frameScratch);
    else if (builtInFrame)
        text += QStringLiteral(" -i ") + source;
    if (hasLogo)
        text += QStringLiteral(" -i ") + quoteArg(logoScratch);
    // After every input, so it applies to the output: placed before an input it would only
    // silence that input (the logo) and the preview would play the source's sound.
    if (preview && s.cbPreviewNoAudio)
        text += QStringLiteral(" -an ");

    static const char *const presets[] = {"ultrafast", "veryfast", "medium", "slower", "veryslow"};
    text += QStringLiteral(" -preset ")
            + QLatin1String(s.cbPreset >= 0 && s.cbPreset <= 4 ? presets[s.cbPreset] : presets[0]);

    // The filter graph: a canvas, the main chain, the overlay inputs, then the layers.
    const QString rate = canvasRate(item->frameRate);
    QString graph = QStringLiteral("color=size=") + kOutScale
                    + (rate.isEmpty() ? QString() : QStringLiteral(":rate=") + rate)
                    + QStringLiteral(" [base1]; ");

    QStringList steps;
    if (cropLeft > 0 && cropTop > 0)
        steps.append(QStringLiteral("crop=in_w-%1:in_h-%2").arg(cropLeft).arg(cropTop));
    else if (s.edCropLeft > 0)
        steps.append(QStringLiteral("crop=in_w-%1:in_h").arg(cropLeft));
    else if (s.edCropTop > 0)
        steps.append(QStringLiteral("crop=in_w:in_h-%1").arg(cropTop));
    steps.append(QStringLiteral("scale=") + (hasFrame ? kVideoScale : kOutScale));
    const bool hflip = s.cbFlipVideo == 1 || s.cbFlipVideo == 3;
    const bool vflip = s.cbFlipVideo == 2 || s.cbFlipVideo == 3;
    if (hflip)
        steps.append(QStringLiteral("hflip"));
    if (vflip)
        steps.append(QStringLiteral("vflip"));
    if (s.cbGreyscale)
        steps.append(QStringLiteral("format=pix_fmts=gray"));
    if (s.cbSepia)
        steps.append(kSepia);
    if (s.cbNegative)
        steps.append(QStringLiteral("curves=negative"));
    if (s.cbThermography)
        steps.append(QStringLiteral("curves=r='0.4/0 0.6/1':g='0.25/1 0.75/0.5 0.9/0 1/1':b='0/1 "
                                    "0.25/0 0.75/0 1/1'"));
    if (s.cbBadDream)
        steps.append(kGrain);
    if (s.cbPosterize)
        steps.append(QStringLiteral("elbg=l=25: nb_steps=1"));
    if (s.cbLSD)
        steps.append(QStringLiteral("hue='H=2*PI*t: s=sin(2*PI*t)+1'"));
    if (s.cbVintage)
        steps.append(QStringLiteral("curves=r='0/0.11 .42/.51 1/0.95':g='0.50/0.48':b='0/0.22 "
                                    ".49/.44 1/0.8'"));
    if (s.cbVignette)
        steps.append(QStringLiteral("vignette=PI/0.1"));
    if (s.tbZoom > 10) {
        const QString z = decimalText(s.tbZoom / 10.0);
        steps.append(QStringLiteral("scale=") + z + QStringLiteral("*iw:-1, crop=trunc(iw/") + z
                     + QStringLiteral("):trunc(ih/") + z + QStringLiteral(")"));
    }
    if (s.tbContrast != 10 || s.tbBrightness != 0 || s.tbSaturation != 10 || s.tbGamma != 10
        || s.tbGammaRed != 100 || s.tbGammaGreen != 100 || s.tbGammaBlue != 100) {
        steps.append(QStringLiteral("eq=gamma=") + decimalText(s.tbGamma / 10.0)
                     + QStringLiteral(":contrast=") + decimalText(s.tbContrast / 10.0)
                     + QStringLiteral(":brightness=") + decimalText(s.tbBrightness / 10.0)
                     + QStringLiteral(":saturation=") + decimalText(s.tbSaturation / 10.0)
                     + QStringLiteral(":gamma_r=") + decimalText(s.tbGammaRed / 100.0)
                     + QStringLiteral(":gamma_g=") + decimalText(s.tbGammaGreen / 100.0)
                     + QStringLiteral(":gamma_b=") + decimalText(s.tbGammaBlue / 100.0));
    }
    graph += chainHead + steps.join(QStringLiteral(", ")) + QStringLiteral("[video]");

    int input = 1;
    if (hasFilter) {
        graph += QStringLiteral("; [%1:v] scale=").arg(input) + (hasFrame ? kVideoScale : kOutScale)
                 + QStringLiteral(" [filter]");
        ++input;
    }
    if (hasFrame) {
        graph += QStringLiteral("; [%1:v] scale=").arg(input) + kOutScale + QStringLiteral(" [frame]");
        ++input;
    }
    if (hasLogo)
        graph += QStringLiteral("; [%1:v] scale=").arg(input) + kLogoScale + QStringLiteral(" [logo]");

    const QString videoPosition =
        hasFrame ? positionText(s.cbVideoPosition, frameX, frameY) : QStringLiteral("0:0");
    const QString videoPos = videoPosition.isEmpty() ? QStringLiteral("0:0") : videoPosition;
    const QString logoPos = positionText(s.cbLogoPosition, logoX, logoY);

    int base = 1;
    const auto layer = [&graph, &base](const QString &overlay, const QString &tail) {
        graph += QStringLiteral("; [base%1]").arg(base) + overlay + tail
                 + QStringLiteral(" [base%1]").arg(base + 1);
        ++base;
    };
    if (hasFrame && s.edVideoFront == 1) {
        if (builtInFrame) {
            QString tail = QStringLiteral(",setpts=(1/") + speedText
                           + QStringLiteral(")*PTS, boxblur=15:1");
            if (hflip)
                tail += QStringLiteral(", hflip");
            if (vflip)
                tail += QStringLiteral(", vflip");
            if (frame == 2)
                tail += QStringLiteral(", format=pix_fmts=gray");
            else if (frame == 3)
                tail += QStringLiteral(", ") + kSepia;
            else if (frame == 4)
                tail += QStringLiteral(", ") + kGrain;
            layer(QStringLiteral("[frame] overlay=0:0"), tail);
        } else {
            layer(QStringLiteral("[frame] overlay=0:0"), QString());
        }
    }
    layer(QStringLiteral("[video] overlay=") + videoPos, QStringLiteral(":shortest=1"));
    if (hasFrame && s.edVideoFront == 0)
        layer(QStringLiteral("[frame] overlay=0:0"), QString());
    if (hasFilter)
        layer(QStringLiteral("[filter] overlay=") + videoPos, QString());
    if (hasLogo)
        layer(QStringLiteral("[logo] overlay=") + logoPos, QString());

    // Markers are replaced in the graph only, never in a path that happens to hold one.
    graph.replace(kOutScale, outSize);
    graph.replace(kVideoScale, QString::number(videoW) + QLatin1Char('x') + QString::number(videoH));
    graph.replace(kLogoScale, QString::number(logoSW) + QLatin1Char('x') + QString::number(logoSH));

    text += QStringLiteral(" -filter_complex \"") + graph + QStringLiteral("\" -map \"[base")
            + QString::number(base) + QStringLiteral("]\" ") + audioMap;

    // Output options cut the retimed picture, so at a changed speed the seconds the user gave
    // (seconds of the source) are divided by the speed.
    const auto seconds = [speed, changedSpeed](qint64 value) {
        if (!changedSpeed || speed <= 0)
            return QString::number(value);
        return decimalText(value * 100.0 / speed);
    };
    if (s.edTimeStart > 0)
        text += QStringLiteral(" -ss ") + seconds(s.edTimeStart);
    if (s.edTimeEnd > 0) {
        qint64 length = qint64(durationToSeconds(item->duration)) - s.edTimeEnd;
        if (s.edTimeStart > 0)
            length -= s.edTimeStart;
        text += QStringLiteral(" -t ") + seconds(length);
    }

    // Only digits reach the command, whatever was typed.
    QString bitrate;
    for (QChar c : s.cbBitrate) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            bitrate += c;
    }
    text += QStringLiteral(" -b:v ") + bitrate + QLatin1Char('k');

    if (preview)
        text += QStringLiteral(" -f avi - | ") + quoteArg(folders.playerPath)
                + QStringLiteral(" - -window_title \"Fulmaro: Önizleme\" -autoexit -framedrop");

    if (hasFilter)
        result.copies.append({folders.filterDir + s.cbFilterText + QStringLiteral(".png"), filterScratch});
    if (pictureFrame)
        result.copies.append({folders.frameDir + s.cbFrameText + QStringLiteral(".png"), frameScratch});
    if (hasLogo)
        result.copies.append({folders.logoDir + s.cbLogoText + QStringLiteral(".png"), logoScratch});
    result.text = text;
    return result;
}

} // namespace fulmaro
