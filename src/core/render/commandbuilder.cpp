#include "core/render/commandbuilder.h"

#include "core/render/audiocodecs.h"
#include "core/render/settingstable.h"
#include "core/render/videocodecs.h"

#include "core/render/settingvalues.h"

#include "core/assets/assetfiles.h"
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videoitem.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

namespace fulmaro {

namespace {

// tbZoom counts tenths and tbVideoSpeed hundredths of the factor.
constexpr int kNoZoom = 10;
constexpr int kNormalSpeed = 100;

const QString kSepia =
    QStringLiteral("colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131");
const QString kGrain =
    QStringLiteral("noise=alls=20:allf=t+u, curves=master='0.0627/0 0.1/0.15 0.9215/1'");

// ---- Reading the panel ------------------------------------------------------------------------

// The panel's item indices as the phases read them, converted once.
struct Choices
{
    bool preview = false;
    Flip flip = Flip::None;
    bool filter = false;
    FrameKind frame = FrameKind::None;
    std::optional<FrameOrder> frameOrder;
    std::optional<Position> videoPosition;
    bool logo = false;
    std::optional<Position> logoPosition;
    bool keepAspect = false;

    bool hasFrame() const { return frame != FrameKind::None; }
};

Choices readChoices(const RenderSettings &s, int mode)
{
    Choices c;
    c.preview = mode != RenderMode;
    c.flip = flipFromIndex(s.cbFlipVideo);
    c.filter = s.cbFilter > 0;
    c.frame = frameKindFromIndex(s.cbFrame);
    c.frameOrder = frameOrderFromIndex(s.edVideoFront);
    c.videoPosition = positionFromIndex(s.cbVideoPosition);
    c.logo = s.cbLogo > 0;
    c.logoPosition = positionFromIndex(s.cbLogoPosition);
    c.keepAspect = s.cbKeepAspect;
    return c;
}

// ---- Geometry: sizes, crop, zoom, canvas ------------------------------------------------------

struct Size
{
    int width = 0;
    int height = 0;

    QString text() const
    {
        return QString::number(width) + QLatin1Char('x') + QString::number(height);
    }
};

// The parts before and after the first "x", 0 where a part is not a number. Without an "x" the
// whole text is the height.
Size parseSize(const QString &text)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'));
    if (x < 0)
        return {0, text.toInt()};
    return {text.left(x).toInt(), text.mid(x + 1).toInt()};
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

// Carries the render's pixel values over to a preview of another size; 1 in render mode.
struct Ratios
{
    long double x = 1.0L;
    long double y = 1.0L;
};

Ratios previewRatios(const Size &render, const Size &preview)
{
    Ratios r;
    if (render.width != 0)
        r.x = static_cast<long double>(preview.width) / render.width;
    if (render.height != 0)
        r.y = static_cast<long double>(preview.height) / render.height;
    return r;
}

// A preview size of another shape than the render (an upright render in a wide preview size)
// shows the render's shape inside the preview size, so the preview is not stretched. Shapes
// within 2% of each other (854x480 and 640x360) keep the preview size as it is.
Size previewSize(const Size &render, const Size &preview)
{
    if (render.width <= 0 || render.height <= 0 || preview.width <= 0 || preview.height <= 0)
        return preview;
    const double renderShape = double(render.width) / render.height;
    const double previewShape = double(preview.width) / preview.height;
    if (std::fabs(renderShape / previewShape - 1.0) <= 0.02)
        return preview;
    const double factor =
        std::min(double(preview.width) / render.width, double(preview.height) / render.height);
    // Even sizes, as the encoders' 4:2:0 pictures need.
    const auto even = [factor](int value) { return std::max(2, int(value * factor) / 2 * 2); };
    return {even(render.width), even(render.height)};
}

// The frame takes its share ("30%") of the render size; the video fills the rest.
Size innerSize(const Size &render, const QString &frameShare)
{
    QString shareText = frameShare;
    if (const qsizetype percent = shareText.indexOf(QLatin1Char('%')); percent >= 0)
        shareText.remove(percent, 1);
    bool ok = false;
    int share = shareText.toInt(&ok);
    if (!ok)
        share = 100;
    const auto rest = [share](int whole) {
        return static_cast<int>(whole - static_cast<qint64>(whole) * share / 100.0);
    };
    return {rest(render.width), rest(render.height)};
}

// Every size, position and crop amount as the command writes it.
struct Geometry
{
    QString outSize;   // the canvas, and whatever covers the whole picture
    QString videoSize; // the video inside a frame
    QString logoSize;
    int frameX = 0, frameY = 0;
    int logoX = 0, logoY = 0;
    int cropLeft = 0, cropTop = 0;
    int boxWidth = 0, boxHeight = 0; // videoSize as numbers
};

Geometry measureGeometry(const RenderSettings &s, bool preview)
{
    const QString renderText = scaleSizeText(s.cbRenderScale);
    const Size render = parseSize(renderText);
    const Size previewFit = previewSize(render, parseSize(scaleSizeText(s.cbPreviewScale)));
    const QString previewText = previewFit.text() == QLatin1String("0x0")
                                    ? scaleSizeText(s.cbPreviewScale)
                                    : previewFit.text();
    const Ratios r = preview ? previewRatios(render, previewFit) : Ratios();
    const Size inner = innerSize(render, s.cbVideoScale);
    const Size logo = parseSize(s.cbLogoScale);

    Geometry g;
    g.outSize = preview ? previewText : renderText;
    g.boxWidth = scaled(inner.width, r.x);
    g.boxHeight = scaled(inner.height, r.y);
    g.videoSize = Size{scaled(inner.width, r.x), scaled(inner.height, r.y)}.text();
    g.logoSize = Size{scaled(logo.width, r.x), scaled(logo.height, r.y)}.text();
    g.frameX = scaled(s.edVideoPositionX, r.x);
    g.frameY = scaled(s.edVideoPositionY, r.y);
    g.logoX = scaled(s.edLogoPositionX, r.x);
    g.logoY = scaled(s.edLogoPositionY, r.y);
    g.cropLeft = scaled(s.edCropLeft, r.x);
    g.cropTop = scaled(s.edCropTop, r.y);
    return g;
}

// The probe gives a plausible rate as "num/den"; anything else (a row the probe never saw) leaves
// the canvas at the encoder's default rate. Only digits and one slash can reach the graph.
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

// The first base every layer is laid on: a plain picture of the output size, at the source's rate
// so a 30 or 60 fps source keeps its rate.
// A segment of a longer encode starts the canvas later by whole frames (its time base is one
// frame), so its ticks stay those of the whole encode.
QString canvas(const Geometry &g, const VideoItem &item, qint64 shiftFrames = 0)
{
    const QString rate = canvasRate(item.frameRate);
    return QStringLiteral("color=size=") + g.outSize +
           (rate.isEmpty() ? QString() : QStringLiteral(":rate=") + rate) +
           (shiftFrames > 0 ? QStringLiteral(", setpts=PTS+") + QString::number(shiftFrames)
                            : QString()) +
           QStringLiteral(" [base1]; ");
}

// At most one crop. The single-side forms follow the panel values, so a preview that scales a
// crop to 0 still writes it.
QString cropStep(const Geometry &g, const RenderSettings &s)
{
    if (g.cropLeft > 0 && g.cropTop > 0)
        return QStringLiteral("crop=in_w-%1:in_h-%2").arg(g.cropLeft).arg(g.cropTop);
    if (s.edCropLeft > 0)
        return QStringLiteral("crop=in_w-%1:in_h").arg(g.cropLeft);
    if (s.edCropTop > 0)
        return QStringLiteral("crop=in_w:in_h-%1").arg(g.cropTop);
    return QString();
}

// Enlarges by the factor and cuts back to the size before, centred; none at 1x.
QString zoomStep(int tbZoom)
{
    if (tbZoom <= kNoZoom)
        return QString();
    const QString z = decimalText(double(tbZoom) / kNoZoom);
    return QStringLiteral("scale=") + z + QStringLiteral("*iw:-1, crop=trunc(iw/") + z +
           QStringLiteral("):trunc(ih/") + z + QStringLiteral(")");
}

// ---- Speed and audio --------------------------------------------------------------------------

// What a speed other than 1x changes: the main chain's head and the sound's map.
struct SpeedPlan
{
    int percent = kNormalSpeed;
    QString speedText; // the factor, "1" at normal speed
    QString chainHead; // opens the main chain
    QString audioMap;  // follows the graph's map
};

// atempo takes factors from 0.5 to 100 only; slower speeds are a chain of halvings and a rest.
QString atempoChain(int speedPercent)
{
    constexpr int kSlowestAtempo = kNormalSpeed / 2;
    QStringList factors;
    qint64 numerator = speedPercent;
    while (numerator > 0 && numerator < kSlowestAtempo) {
        factors.append(QStringLiteral("atempo=0.5"));
        numerator *= 2;
    }
    factors.append(QStringLiteral("atempo=") + decimalText(double(numerator) / kNormalSpeed));
    return factors.join(QLatin1Char(','));
}

// The source's video stream in input k: the first one, or the one after the cover pictures
// that stand before it.
QString videoStreamLabel(int input, const VideoItem &item)
{
    if (item.videoOrdinal <= 0)
        return QStringLiteral("[%1:v]").arg(input);
    return QStringLiteral("[%1:v:%2]").arg(input).arg(item.videoOrdinal);
}

// The container the sound is written into: a preview pipes avi into the player.
QString outputContainer(const RenderSettings &s, bool preview)
{
    return preview ? QStringLiteral("avi") : s.cbExtension;
}

// The video is retimed; the sound follows through atempo when there is any to keep. Sound is
// copied only where the container can hold its codec; otherwise it is encoded for it.
SpeedPlan planSpeedAndAudio(const RenderSettings &s, const VideoItem &item, bool preview,
                            bool withSound = true)
{
    SpeedPlan plan;
    plan.percent = s.tbVideoSpeed;
    plan.speedText = decimalText(double(plan.percent) / kNormalSpeed);
    const QString container = outputContainer(s, preview);
    const QString video = videoStreamLabel(0, item);
    if (plan.percent == kNormalSpeed) {
        plan.chainHead = video + QLatin1Char(' ');
        if (!withSound)
            return plan;
        // Optional, so a source without sound renders too.
        plan.audioMap = QStringLiteral(" -map 0:a? -c:a ") +
                        audioCodecOption(item.audioStreams, container, false) + QLatin1Char(' ');
        return plan;
    }
    const QString retime =
        video + QStringLiteral(" setpts=(1/") + plan.speedText + QStringLiteral(")*PTS, ");
    const bool keepSound = withSound && item.hasAudio && !(preview && s.cbPreviewNoAudio);
    if (!keepSound) {
        plan.chainHead = retime;
        return plan;
    }
    plan.chainHead =
        QStringLiteral("[0:a]") + atempoChain(plan.percent) + QStringLiteral(" [audio]; ") + retime;
    plan.audioMap = QStringLiteral(" -map \"[audio]\" -c:a ") +
                    audioCodecOption(item.audioStreams, container, true) + QLatin1Char(' ');
    return plan;
}

// ---- Inputs -----------------------------------------------------------------------------------

struct Inputs
{
    QString text;
    QList<ScratchCopy> copies;
};

// A library picture the command reads from the scratch folder under a name of this build.
QString addPictureInput(Inputs &inputs, const QString &library, const QString &entry,
                        const QString &scratchName, const BuildFolders &folders, quint32 tick)
{
    const QString scratch = folders.tempDir + scratchCopyName(scratchName, tick);
    inputs.copies.append({library + entry + QStringLiteral(".png"), scratch});
    return QStringLiteral(" -i ") + quoteArg(scratch);
}

// 0 the source, then the filter, the frame and the logo, each when chosen: the overlay chains
// count on this order.
// seek goes before each reading of the source (a segment of a longer encode reads from its own
// place on).
Inputs collectInputs(const VideoItem &item, const RenderSettings &s, const Choices &c,
                     const BuildFolders &folders, quint32 tick, const QString &seek = QString())
{
    Inputs in;
    if (s.btnFullCPU)
        in.text += QStringLiteral(" -threads 6");
    const QString source = seek + QStringLiteral(" -i ") + quoteArg(item.caption);
    in.text += source;
    if (c.filter)
        in.text += addPictureInput(in, folders.filterDir, s.cbFilterText, QStringLiteral("filter"),
                                   folders, tick);
    if (c.frame == FrameKind::Picture)
        in.text += addPictureInput(in, folders.frameDir, s.cbFrameText, QStringLiteral("frame"),
                                   folders, tick);
    else if (isBuiltInFrame(c.frame))
        in.text += source; // built-in frames are made from the video
    if (c.logo)
        in.text += addPictureInput(in, folders.logoDir, s.cbLogoText, QStringLiteral("logo"),
                                   folders, tick);
    // After every input, so it applies to the output: placed before an input it would only
    // silence that input (the logo) and the preview would play the source's sound.
    if (c.preview && s.cbPreviewNoAudio)
        in.text += QStringLiteral(" -an ");
    return in;
}

// ---- Video steps ------------------------------------------------------------------------------

// The colour effects, in the order the chain applies them whatever the order they were switched
// on in.
struct Effect
{
    bool RenderSettings::*enabled;
    const QString step;
};

const Effect kEffects[] = {
    {&RenderSettings::cbGreyscale, QStringLiteral("format=pix_fmts=gray")},
    {&RenderSettings::cbSepia, kSepia},
    {&RenderSettings::cbNegative, QStringLiteral("curves=negative")},
    {&RenderSettings::cbThermography,
     QStringLiteral(
         "curves=r='0.4/0 0.6/1':g='0.25/1 0.75/0.5 0.9/0 1/1':b='0/1 0.25/0 0.75/0 1/1'")},
    {&RenderSettings::cbBadDream, kGrain},
    {&RenderSettings::cbPosterize, QStringLiteral("elbg=l=25: nb_steps=1")},
    {&RenderSettings::cbLSD, QStringLiteral("hue='H=2*PI*t: s=sin(2*PI*t)+1'")},
    {&RenderSettings::cbVintage,
     QStringLiteral("curves=r='0/0.11 .42/.51 1/0.95':g='0.50/0.48':b='0/0.22 .49/.44 1/0.8'")},
    {&RenderSettings::cbVignette, QStringLiteral("vignette=PI/0.1")},
};

// The picture adjustments, in the order eq takes them: a slider's position over its scale is the
// value, and the slider at its neutral position changes nothing.
struct Adjustment
{
    const char *option;
    int RenderSettings::*slider;
    int neutral;
    double scale;
};

const Adjustment kAdjustments[] = {
    {"gamma", &RenderSettings::tbGamma, 10, 10.0},
    {"contrast", &RenderSettings::tbContrast, 10, 10.0},
    {"brightness", &RenderSettings::tbBrightness, 0, 10.0},
    {"saturation", &RenderSettings::tbSaturation, 10, 10.0},
    {"gamma_r", &RenderSettings::tbGammaRed, 100, 100.0},
    {"gamma_g", &RenderSettings::tbGammaGreen, 100, 100.0},
    {"gamma_b", &RenderSettings::tbGammaBlue, 100, 100.0},
};

void appendFlips(QStringList &steps, Flip flip)
{
    if (flipsHorizontally(flip))
        steps.append(QStringLiteral("hflip"));
    if (flipsVertically(flip))
        steps.append(QStringLiteral("vflip"));
}

void appendEffects(QStringList &steps, const RenderSettings &s)
{
    for (const Effect &effect : kEffects) {
        if (s.*effect.enabled)
            steps.append(effect.step);
    }
}

// All seven values as soon as one slider leaves its neutral position; nothing otherwise.
QString adjustmentStep(const RenderSettings &s)
{
    const bool neutral =
        std::all_of(std::begin(kAdjustments), std::end(kAdjustments),
                    [&s](const Adjustment &a) { return s.*a.slider == a.neutral; });
    if (neutral)
        return QString();
    QStringList values;
    for (const Adjustment &a : kAdjustments)
        values.append(QLatin1String(a.option) + QLatin1Char('=') +
                      decimalText(s.*a.slider / a.scale));
    return QStringLiteral("eq=") + values.join(QLatin1Char(':'));
}

void appendIfAny(QStringList &steps, const QString &step)
{
    if (!step.isEmpty())
        steps.append(step);
}

// The source's video from the speed's head to "[video]". The scale step is always there, so the
// chain is never empty.
QString videoChain(const RenderSettings &s, const Choices &c, const Geometry &g,
                   const SpeedPlan &speed)
{
    QStringList steps;
    appendIfAny(steps, cropStep(g, s));
    steps.append(QStringLiteral("scale=") + (c.hasFrame() ? g.videoSize : g.outSize) +
                 (c.keepAspect ? QStringLiteral(":force_original_aspect_ratio=decrease:"
                                                "force_divisible_by=2")
                               : QString()));
    appendFlips(steps, c.flip);
    appendEffects(steps, s);
    appendIfAny(steps, zoomStep(s.tbZoom));
    appendIfAny(steps, adjustmentStep(s));
    return speed.chainHead + steps.join(QStringLiteral(", ")) + QStringLiteral("[video]");
}

// Nothing of the canvas shows when the video covers it whole from the first moment to the last:
// no frame, filter or logo over or around it, no border left by kept proportions, and no stream
// that starts before the video (the canvas would show alone until the video's first frame). The
// rate filter holds the last frame to its own end where the overlay stops at its start: a tick
// apart now and then when the frames jitter or a changed speed stretches them, so those keep the
// canvas.
bool coversCanvas(const Choices &c, const VideoItem &item, int speedPercent)
{
    return !c.hasFrame() && !c.filter && !c.logo && !c.keepAspect && item.videoStartsWithFile &&
           speedPercent == kNormalSpeed;
}

// The picture the canvas and its overlay would give, without drawing the one and painting the
// other over it for every frame: the overlay shows, at each of the canvas's ticks, the latest
// frame that is not after it (the rate filter rounding up does the same), on the canvas's square
// pixels and in its format.
QString leanVideoChain(const RenderSettings &s, const Choices &c, const Geometry &g,
                       const SpeedPlan &speed, const VideoItem &item)
{
    QString chain = videoChain(s, c, g, speed);
    chain.chop(QStringLiteral("[video]").size());
    const QString rate = canvasRate(item.frameRate);
    // The overlay takes its picture as YUV with alpha: asking the same of the chain makes its
    // filters work in the formats they work in under the overlay. Its output has the canvas's
    // square pixels and unstated colour properties, which the encoder writes into the file.
    return chain + QStringLiteral(", format=yuva420p, fps=") +
           (rate.isEmpty() ? QStringLiteral("25") : rate) +
           QStringLiteral(":round=up, setsar=1, setparams=field_mode=prog:range=unknown:"
                          "color_primaries=unknown:color_trc=unknown:colorspace=unknown, "
                          "format=yuv420p[video]");
}

// ---- Overlay layers ---------------------------------------------------------------------------

// The overlay inputs scaled to their places: the filter covers the video inside a frame, or the
// whole picture; the frame the whole picture; the logo its own size.
QString overlayInputChains(const Choices &c, const Geometry &g, const VideoItem &item,
                           const QString &sourceStep = QString())
{
    QString chains;
    int input = 1;
    const auto chain = [&chains, &input](const QString &stream, const QString &size,
                                         const char *label) {
        chains += QStringLiteral("; ") + stream + QStringLiteral(" scale=") + size +
                  QStringLiteral(" [") + QLatin1String(label) + QLatin1Char(']');
        ++input;
    };
    const auto picture = [&input] { return QStringLiteral("[%1:v]").arg(input); };
    if (c.filter)
        chain(picture(), c.hasFrame() ? g.videoSize : g.outSize, "filter");
    if (c.hasFrame()) {
        // A built-in frame is the source again: its video stream, not a cover picture.
        const QString source =
            isBuiltInFrame(c.frame) ? videoStreamLabel(input, item) + sourceStep : picture();
        // A frame made from the video keeps the video's shape too: it covers the canvas and its
        // overflow is cut away, centred.
        if (c.keepAspect && isBuiltInFrame(c.frame))
            chain(source,
                  g.outSize + QStringLiteral(":force_original_aspect_ratio=increase, crop=") +
                      QString(g.outSize).replace(QLatin1Char('x'), QLatin1Char(':')),
                  "frame");
        else
            chain(source, g.outSize, "frame");
    }
    if (c.logo)
        chain(picture(), g.logoSize, "logo");
    return chains;
}

const char *const kLeftEdge = "10";
const char *const kCentreX = "trunc((main_w-overlay_w)/2)";
const char *const kRightEdge = "main_w-overlay_w-10";
const char *const kTopEdge = "10";
const char *const kCentreY = "trunc((main_h-overlay_h)/2)";
const char *const kBottomEdge = "main_h-overlay_h-10";

struct Anchor
{
    Position position;
    const char *x;
    const char *y;
};

const Anchor kAnchors[] = {
    {Position::TopLeft, kLeftEdge, kTopEdge},
    {Position::TopCentre, kCentreX, kTopEdge},
    {Position::TopRight, kRightEdge, kTopEdge},
    {Position::CentreLeft, kLeftEdge, kCentreY},
    {Position::Centre, kCentreX, kCentreY},
    {Position::CentreRight, kRightEdge, kCentreY},
    {Position::BottomLeft, kLeftEdge, kBottomEdge},
    {Position::BottomCentre, kCentreX, kBottomEdge},
    {Position::BottomRight, kRightEdge, kBottomEdge},
};

// The overlay filter's "x:y"; the offsets stay as written (0+main_w-overlay_w-10, 15+10).
// Empty for a position outside the list.
QString positionText(std::optional<Position> position, int x, int y)
{
    const QString X = QString::number(x);
    const QString Y = QString::number(y);
    if (position == Position::Coordinate)
        return X + QLatin1Char(':') + Y;
    for (const Anchor &a : kAnchors) {
        if (position == a.position)
            return X + QLatin1Char('+') + QLatin1String(a.x) + QLatin1Char(':') +
                   QLatin1String(a.y) + QLatin1Char('+') + Y;
    }
    return QString();
}

// The video is placed only inside a frame; without one it covers the canvas.
QString videoPositionText(const Choices &c, const Geometry &g)
{
    const QString text =
        c.hasFrame() ? positionText(c.videoPosition, g.frameX, g.frameY) : QString();
    return text.isEmpty() ? QStringLiteral("0:0") : text;
}

// With the proportions kept, the video may be smaller than its box (the frame's inside, or the
// canvas): it is centred in the box. The box's place is the place above with the box's size in
// overlay_w and overlay_h's stead.
QString keptVideoPositionText(const Choices &c, const Geometry &g)
{
    if (!c.hasFrame())
        return QStringLiteral("trunc((main_w-overlay_w)/2):trunc((main_h-overlay_h)/2)");
    const QString boxW = QString::number(g.boxWidth);
    const QString boxH = QString::number(g.boxHeight);
    const QString box = videoPositionText(c, g);
    const qsizetype colon = box.indexOf(QLatin1Char(':'));
    QString x = box.left(colon);
    QString y = box.mid(colon + 1);
    x.replace(QLatin1String("overlay_w"), boxW);
    y.replace(QLatin1String("overlay_h"), boxH);
    return x + QStringLiteral("+trunc((") + boxW + QStringLiteral("-overlay_w)/2):") + y +
           QStringLiteral("+trunc((") + boxH + QStringLiteral("-overlay_h)/2)");
}

// Each layer is laid on the current base and makes the next one.
class LayerStack
{
public:
    void lay(const QString &overlay, const QString &tail = QString())
    {
        m_graph += QStringLiteral("; [base%1]").arg(m_base) + overlay + tail +
                   QStringLiteral(" [base%1]").arg(m_base + 1);
        ++m_base;
    }
    const QString &graph() const { return m_graph; }
    int base() const { return m_base; }

private:
    QString m_graph;
    int m_base = 1;
};

// A built-in frame under the video: the second copy of the source, retimed like the video,
// blurred, flipped like it, then tinted by its kind.
QString builtInFrameTail(FrameKind kind, Flip flip, const QString &speedText)
{
    QString tail =
        QStringLiteral(",setpts=(1/") + speedText + QStringLiteral(")*PTS, boxblur=15:1");
    if (flipsHorizontally(flip))
        tail += QStringLiteral(", hflip");
    if (flipsVertically(flip))
        tail += QStringLiteral(", vflip");
    switch (kind) {
    case FrameKind::BuiltInGrey:
        return tail + QStringLiteral(", format=pix_fmts=gray");
    case FrameKind::BuiltInSepia:
        return tail + QStringLiteral(", ") + kSepia;
    case FrameKind::BuiltInGrainy:
        return tail + QStringLiteral(", ") + kGrain;
    default:
        return tail;
    }
}

// The frame, the video, the filter and the logo on the canvas, bottom to top.
void layOverlays(LayerStack &layers, const Choices &c, const Geometry &g, const SpeedPlan &speed)
{
    const QString frame = QStringLiteral("[frame] overlay=0:0");
    const QString videoAt = videoPositionText(c, g);
    const QString keptAt = c.keepAspect ? keptVideoPositionText(c, g) : videoAt;
    if (c.hasFrame() && c.frameOrder == FrameOrder::VideoInFront) {
        const bool builtIn = isBuiltInFrame(c.frame);
        layers.lay(frame, builtIn ? builtInFrameTail(c.frame, c.flip, speed.speedText) : QString());
    }
    // The video ends the output.
    layers.lay(QStringLiteral("[video] overlay=") + keptAt, QStringLiteral(":shortest=1"));
    // Behind the video, a built-in frame is the whole picture unblurred and hides the video.
    if (c.hasFrame() && c.frameOrder == FrameOrder::VideoBehind)
        layers.lay(frame);
    if (c.filter)
        layers.lay(QStringLiteral("[filter] overlay=") + videoAt);
    if (c.logo)
        layers.lay(QStringLiteral("[logo] overlay=") +
                   positionText(c.logoPosition, g.logoX, g.logoY));
}

// ---- Output options ---------------------------------------------------------------------------

// The encoder and its speed. "Otomatik" names no encoder (but for two passes); x264's presets then
// stand where they always have (the avi and flv encoders pass over them). A preview is for looking,
// not keeping: it always takes the fastest speed.
// Apple's players read H.265 in mp4 and mov only under the "hvc1" tag.
QString appleTagOption(const RenderSettings &s)
{
    const QString container = s.cbExtension.toLower();
    const bool tagged = videoEncoderFor(s) == QLatin1String("libx265") &&
                        (container == QLatin1String("mp4") || container == QLatin1String("mov"));
    return tagged ? QStringLiteral(" -tag:v hvc1") : QString();
}

QString encoderOptions(const RenderSettings &s, bool preview)
{
    if (preview)
        return speedOptions(QStringLiteral("libx264"), 0);
    const QString encoder = videoEncoderFor(s);
    // The first of two passes writes to the null output, whose own default encoder writes no
    // log: two passes always name the container's encoder.
    const bool twoPass = rateModeFromIndex(s.cbRateMode) == RateMode::TwoPass;
    const bool named = videoCodecFromIndex(s.cbVideoCodec) != VideoCodec::Auto || twoPass;
    return (named ? QStringLiteral(" -c:v ") + encoder : QString()) + appleTagOption(s) +
           speedOptions(encoder, s.cbPreset, twoPass);
}

// The trim cuts the retimed picture, so at a changed speed the seconds the user gave (seconds of
// the source) are divided by the speed.
QString outputSeconds(qint64 sourceSeconds, int speedPercent)
{
    if (speedPercent == kNormalSpeed || speedPercent <= 0)
        return QString::number(sourceSeconds);
    return decimalText(sourceSeconds * double(kNormalSpeed) / speedPercent);
}

QString trimOptions(const RenderSettings &s, const VideoItem &item, int speedPercent)
{
    QString text;
    if (s.edTimeStart > 0)
        text += QStringLiteral(" -ss ") + outputSeconds(s.edTimeStart, speedPercent);
    if (s.edTimeEnd > 0) {
        qint64 length = qint64(durationToSeconds(item.duration)) - s.edTimeEnd;
        if (s.edTimeStart > 0)
            length -= s.edTimeStart;
        text += QStringLiteral(" -t ") + outputSeconds(length, speedPercent);
    }
    return text;
}

// Only digits reach the command, whatever was typed.
QString bitrateOption(const QString &typed)
{
    QString digits;
    for (QChar c : typed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    }
    return QStringLiteral(" -b:v ") + digits + QLatin1Char('k');
}

QString previewPipe(const BuildFolders &folders)
{
    return QStringLiteral(" -f avi - | ") + quoteArg(folders.playerPath) +
           QStringLiteral(" - -window_title \"Fulmaro: Önizleme\" -autoexit -framedrop");
}

// The rate options that end the line: the bitrate, or the constant quality. A preview keeps the
// bitrate whatever the mode, as its encoder is the avi one.
QString rateOptions(const RenderSettings &s, bool preview, int pass, const QString &passLog)
{
    if (preview)
        return bitrateOption(s.cbBitrate);
    const QString encoder = videoEncoderFor(s);
    switch (rateModeFromIndex(s.cbRateMode)) {
    case RateMode::Quality:
        return qualityOptions(encoder, s.tbQuality);
    case RateMode::TwoPass:
        return bitrateOption(s.cbBitrate) + passOptions(encoder, pass, passLog);
    case RateMode::Bitrate:
        break;
    }
    return bitrateOption(s.cbBitrate);
}

// The first of two passes only measures: its sound is copied or, where the graph makes it,
// written as plain samples, and nothing is kept.
QString firstPassAudioMap(const SpeedPlan &speed)
{
    if (speed.audioMap.isEmpty())
        return QString();
    if (speed.percent == kNormalSpeed)
        return QStringLiteral(" -map 0:a? -c:a copy ");
    return QStringLiteral(" -map \"[audio]\" -c:a pcm_s16le ");
}

// ---- Intro, outro and sound -------------------------------------------------------------------

// What the third page asks of a render.
struct Staging
{
    const EndClip *intro = nullptr; // joined clips, with their probed facts
    const EndClip *outro = nullptr;
    bool picture = true; // false: sound only
    bool sound = true;   // false: no sound stream
    int volume = 100;
    int loudness = 0; // cbLoudness

    bool joins() const { return intro || outro; }
};

const EndClip *joinedClip(int choice, const std::optional<EndClip> &clip)
{
    return choice > 0 && clip && clip->problem.isEmpty() ? &*clip : nullptr;
}

Staging readStaging(const RenderSettings &s, const BuildFolders &folders)
{
    Staging st;
    st.intro = joinedClip(s.cbIntro, folders.endClips.intro);
    st.outro = joinedClip(s.cbOutro, folders.endClips.outro);
    st.picture = !s.cbEraseVideo;
    st.sound = !s.cbEraseAudio;
    st.volume = s.tbVolume;
    st.loudness = s.cbLoudness;
    return st;
}

// Whether the render goes through the staged line at all: at the defaults it never does, so
// every line stays as it has always been.
bool isStaged(const Staging &st)
{
    return st.joins() || !st.picture || !st.sound || st.volume != 100 || st.loudness != 0;
}

// The loudness targets of cbLoudness: integrated loudness and true peak. The loudness range
// target is the filter's widest, so a normalisation stays a plain gain wherever the peaks allow.
struct LoudnessTarget
{
    int integrated;
    double truePeak;
};

std::optional<LoudnessTarget> loudnessTarget(int index)
{
    switch (index) {
    case 1: // "Web (-14 LUFS)"
        return LoudnessTarget{-14, -1.0};
    case 2: // "Yayın (-23 LUFS)"
        return LoudnessTarget{-23, -1.0};
    default:
        return std::nullopt;
    }
}

QString loudnessTargetOptions(const LoudnessTarget &t)
{
    return QStringLiteral("loudnorm=I=%1:TP=%2:LRA=50")
        .arg(t.integrated)
        .arg(decimalText(t.truePeak));
}

// The sound of the output: the rate and layout of the source's first sound stream, which the
// joined clips are brought to; 48 kHz stereo when the source has none.
struct SoundFormat
{
    int sampleRate = 48000;
    QString layout = QStringLiteral("stereo");
};

QString layoutForChannels(int channels)
{
    static const char *const kLayouts[] = {"mono", "stereo", "2.1", "quad",
                                           "5.0",  "5.1",    "6.1", "7.1"};
    return channels >= 1 && channels <= 8 ? QLatin1String(kLayouts[channels - 1])
                                          : QStringLiteral("stereo");
}

SoundFormat soundFormat(const VideoItem &item)
{
    SoundFormat f;
    if (item.hasAudio && !item.audioStreams.isEmpty()) {
        const AudioStream &first = item.audioStreams.first();
        if (first.sampleRate > 0)
            f.sampleRate = first.sampleRate;
        if (first.channels > 0)
            f.layout = layoutForChannels(first.channels);
    }
    return f;
}

QString formatStep(const SoundFormat &f)
{
    return QStringLiteral("aformat=sample_rates=%1:channel_layouts=%2")
        .arg(f.sampleRate)
        .arg(f.layout);
}

// A length for a trim filter, to the millisecond.
QString secondsText(double seconds)
{
    return decimalText(std::round(std::max(0.0, seconds) * 1000.0) / 1000.0);
}

// The seconds of the source the render keeps (as inputTrims reads them), and the output seconds
// they make at the speed.
double keptSourceSeconds(const VideoItem &item, const RenderSettings &s)
{
    const double listed = item.seconds > 0 ? item.seconds : durationToSeconds(item.duration);
    const double start = std::max(0, s.edTimeStart);
    if (s.edTimeEnd > 0)
        return std::clamp(double(durationToSeconds(item.duration) - s.edTimeEnd - start), 0.0,
                          std::max(0.0, listed - start));
    return std::max(0.0, listed - start);
}

double mainOutputSeconds(const VideoItem &item, const RenderSettings &s)
{
    const double speed = s.tbVideoSpeed > 0 ? double(s.tbVideoSpeed) / kNormalSpeed : 1.0;
    return keptSourceSeconds(item, s) / speed;
}

// The trims as options of the source's inputs: joined clips must not be cut, so the source is
// read from the kept stretch only (in seconds of the source, before the speed).
QString inputTrims(const VideoItem &item, const RenderSettings &s)
{
    QString text;
    if (s.edTimeStart > 0)
        text += QStringLiteral(" -ss ") + QString::number(s.edTimeStart);
    if (s.edTimeEnd > 0) {
        qint64 length = qint64(durationToSeconds(item.duration)) - s.edTimeEnd;
        if (s.edTimeStart > 0)
            length -= s.edTimeStart;
        text += QStringLiteral(" -t ") + QString::number(length);
    }
    return text;
}

// A joined clip's picture on the render's canvas: as large as fits, its proportions kept,
// centred, at the render's rate and pixel format.
QString clipPictureChain(const EndClip &clip, int input, const Geometry &g, const VideoItem &item,
                         const char *label)
{
    const Size out = parseSize(g.outSize);
    const QString rate = canvasRate(item.frameRate);
    const QString w = QString::number(out.width);
    const QString h = QString::number(out.height);
    const QString stream = clip.videoOrdinal <= 0
                               ? QStringLiteral("[%1:v]").arg(input)
                               : QStringLiteral("[%1:v:%2]").arg(input).arg(clip.videoOrdinal);
    return QStringLiteral("; ") + stream + QStringLiteral(" scale=") + w + QLatin1Char(':') + h +
           QStringLiteral(":force_original_aspect_ratio=decrease:force_divisible_by=2, pad=") + w +
           QLatin1Char(':') + h + QStringLiteral(":-1:-1, setsar=1, fps=") +
           (rate.isEmpty() ? QStringLiteral("25") : rate) + QStringLiteral(", format=yuv420p [") +
           QLatin1String(label) + QLatin1Char(']');
}

// A joined clip's sound, exactly as long as its picture: its own, padded or cut, or silence.
QString clipSoundChain(const EndClip &clip, int input, const SoundFormat &f, const char *label)
{
    const QString length = secondsText(clip.seconds);
    const QString source =
        clip.hasAudio
            ? QStringLiteral("[%1:a:0] ").arg(input) + formatStep(f) + QStringLiteral(", apad")
            : QStringLiteral("anullsrc=r=%1:cl=%2").arg(f.sampleRate).arg(f.layout);
    return QStringLiteral("; ") + source + QStringLiteral(", atrim=duration=") + length +
           QStringLiteral(" [") + QLatin1String(label) + QLatin1Char(']');
}

// Sound-only files: the container that goes with the chosen one, and its encoder.
QString soundOnlyExtension(const QString &container)
{
    const QString c = container.toLower();
    if (c == QLatin1String("avi") || c == QLatin1String("flv"))
        return QStringLiteral("mp3");
    if (c == QLatin1String("webm"))
        return QStringLiteral("opus");
    return QStringLiteral("m4a");
}

// The render line when the third page asks for something: the clips joined by the concat filter
// in one encoder run, the sound muted, processed or alone.
// The picture's part of the graph and the label it ends with: the lean chain where the video
// covers the canvas for its whole length, else the canvas with the video and the overlays laid
// on it. A segment of a longer encode starts the canvas canvasShift frames later and each reading
// of the source with sourceStep.
struct PictureGraph
{
    QString graph;
    QString label;
};

PictureGraph pictureGraph(const RenderSettings &s, const Choices &choices, const Geometry &geometry,
                          const SpeedPlan &speed, const VideoItem &item, bool leanGraph,
                          qint64 canvasShift = 0, const QString &sourceStep = QString())
{
    if (leanGraph && coversCanvas(choices, item, speed.percent))
        return {leanVideoChain(s, choices, geometry, speed, item), QStringLiteral("[video]")};
    LayerStack layers;
    layOverlays(layers, choices, geometry, speed);
    return {canvas(geometry, item, canvasShift) + videoChain(s, choices, geometry, speed) +
                overlayInputChains(choices, geometry, item, sourceStep) + layers.graph(),
            QStringLiteral("[base") + QString::number(layers.base()) + QLatin1Char(']')};
}

BuiltCommand buildStagedRender(const VideoItem &item, const RenderSettings &s,
                               const BuildFolders &folders, quint32 tick, const QString &log,
                               bool leanGraph, const Staging &st)
{
    const Choices choices = readChoices(s, RenderMode);
    const Geometry geometry = measureGeometry(s, false);
    const bool joins = st.joins();
    const QString extension = outputExtension(s);
    const SoundFormat format = soundFormat(item);
    const bool mainSound = st.sound && item.hasAudio;
    const bool clipSound = (st.intro && st.intro->hasAudio) || (st.outro && st.outro->hasAudio);
    const bool sound = st.sound && (mainSound || (joins && clipSound));
    const std::optional<LoudnessTarget> loudness = loudnessTarget(st.loudness);
    const bool measures = sound && loudness.has_value();

    // Inputs: the source (twice for a built-in frame) and the overlay pictures as always, read
    // from the kept stretch when clips are joined; then the intro and the outro. Sound only
    // reads the source alone.
    Inputs inputs;
    int nextInput = 1;
    if (st.picture) {
        inputs = collectInputs(item, s, choices, folders, tick);
        nextInput +=
            (choices.filter ? 1 : 0) + (choices.hasFrame() ? 1 : 0) + (choices.logo ? 1 : 0);
    } else {
        if (s.btnFullCPU)
            inputs.text += QStringLiteral(" -threads 6");
        inputs.text += QStringLiteral(" -i ") + quoteArg(item.caption);
    }
    if (joins) {
        const QString source = QStringLiteral(" -i ") + quoteArg(item.caption);
        inputs.text.replace(source, inputTrims(item, s) + source);
    }
    int introInput = -1;
    int outroInput = -1;
    if (st.intro) {
        introInput = nextInput++;
        inputs.text += QStringLiteral(" -i ") + quoteArg(st.intro->path);
    }
    if (st.outro) {
        outroInput = nextInput++;
        inputs.text += QStringLiteral(" -i ") + quoteArg(st.outro->path);
    }

    // The picture: the graph of every render, its sound left to the chain below.
    VideoItem silent = item;
    silent.hasAudio = false;
    const SpeedPlan speed = planSpeedAndAudio(s, silent, false);
    QString graph;
    QString picture;
    if (st.picture) {
        // The lean graph ends with the video's own last frame as the canvas would: the joined
        // parts' frames add up.
        PictureGraph made = pictureGraph(s, choices, geometry, speed, item, leanGraph);
        graph = std::move(made.graph);
        picture = std::move(made.label);
    }
    const auto append = [&graph](const QString &chain) {
        graph += graph.isEmpty() ? chain.mid(2) : chain; // chains start with "; "
    };

    // The source's sound: retimed with the picture, brought to the joined format.
    QString soundLabel;
    if (mainSound) {
        QStringList steps;
        if (speed.percent != kNormalSpeed)
            steps << atempoChain(speed.percent);
        if (joins) {
            steps << formatStep(format);
            // As long as the picture: sound that runs on would hold the next part back a frame.
            if (const double length = mainOutputSeconds(item, s); length > 0)
                steps << QStringLiteral("apad, atrim=duration=") + secondsText(length);
        }
        if (!steps.isEmpty() || joins || st.volume != 100 || loudness) {
            append(QStringLiteral("; [0:a:0] ") +
                   (steps.isEmpty() ? QStringLiteral("anull") : steps.join(QStringLiteral(", "))) +
                   QStringLiteral(" [mainsound]"));
            soundLabel = QStringLiteral("[mainsound]");
        }
    } else if (sound && joins) {
        append(QStringLiteral("; anullsrc=r=%1:cl=%2, atrim=duration=")
                   .arg(format.sampleRate)
                   .arg(format.layout) +
               secondsText(mainOutputSeconds(item, s)) + QStringLiteral(" [mainsound]"));
        soundLabel = QStringLiteral("[mainsound]");
    }

    // Intro, video, outro: one after the other through concat, each part's picture and sound.
    if (joins) {
        QString parts;
        const auto part = [&](const EndClip *clip, int input, const char *pictureLabel,
                              const char *soundLabelText) {
            if (st.picture)
                append(clipPictureChain(*clip, input, geometry, item, pictureLabel));
            if (sound)
                append(clipSoundChain(*clip, input, format, soundLabelText));
            parts += (st.picture ? QLatin1Char('[') + QLatin1String(pictureLabel) + QLatin1Char(']')
                                 : QString()) +
                     (sound ? QLatin1Char('[') + QLatin1String(soundLabelText) + QLatin1Char(']')
                            : QString());
        };
        if (st.intro)
            part(st.intro, introInput, "introvideo", "introsound");
        parts += (st.picture ? picture : QString()) + (sound ? soundLabel : QString());
        if (st.outro)
            part(st.outro, outroInput, "outrovideo", "outrosound");
        const int count = 1 + (st.intro ? 1 : 0) + (st.outro ? 1 : 0);
        append(QStringLiteral("; ") + parts +
               QStringLiteral(" concat=n=%1:v=%2:a=%3")
                   .arg(count)
                   .arg(st.picture ? 1 : 0)
                   .arg(sound ? 1 : 0) +
               (st.picture ? QStringLiteral(" [joined]") : QString()) +
               (sound ? QStringLiteral(" [joinedsound]") : QString()));
        if (st.picture)
            picture = QStringLiteral("[joined]");
        if (sound)
            soundLabel = QStringLiteral("[joinedsound]");
    }

    // The volume, then the loudness: measured in the first pass, filled in for the second.
    const auto soundGraph = [&](bool measuring) -> QString {
        QStringList steps;
        if (st.volume != 100)
            steps << QStringLiteral("volume=") + decimalText(st.volume / 100.0);
        if (loudness) {
            if (measuring) {
                steps << loudnessTargetOptions(*loudness) + QStringLiteral(":print_format=json");
            } else {
                steps << QLatin1String(kLoudnessMark);
            }
        }
        if (steps.isEmpty() || soundLabel.isEmpty())
            return QString();
        // Back to the source's rate (the loudness filter works at 192 kHz) and a named layout,
        // which the encoders need where the source left it unstated.
        steps << formatStep(format);
        return QStringLiteral("; ") + soundLabel + QLatin1Char(' ') +
               steps.join(QStringLiteral(", ")) + QStringLiteral(" [sound]");
    };

    const auto graphFor = [&](bool measuring) -> QString {
        QString whole = graph;
        const QString tail = soundGraph(measuring);
        if (!tail.isEmpty())
            whole += whole.isEmpty() ? tail.mid(2) : tail;
        return whole;
    };
    const QString finalSound = soundGraph(false).isEmpty() ? soundLabel : QStringLiteral("[sound]");

    // Maps and codecs. Sound taken straight from the source (sound only, nothing done to it) is
    // copied where the file holds its codec.
    QString soundMap;
    QString measureSoundMap;
    if (sound && !finalSound.isEmpty()) {
        soundMap = QStringLiteral(" -map \"") + finalSound + QStringLiteral("\" -c:a ") +
                   audioEncoderFor(extension) + QLatin1Char(' ');
        measureSoundMap =
            QStringLiteral(" -map \"") + finalSound + QStringLiteral("\" -c:a pcm_s16le ");
    } else if (sound) {
        const AudioStream &first = item.audioStreams.first();
        soundMap = QStringLiteral(" -map 0:a:0 -c:a ") +
                   (soundFileCopies(first.codec, extension) ? QStringLiteral("copy")
                                                            : audioEncoderFor(extension)) +
                   QLatin1Char(' ');
        measureSoundMap = QStringLiteral(" -map 0:a:0 -c:a pcm_s16le ");
    }
    const QString trims = joins ? QString() : trimOptions(s, item, speed.percent);
    const auto filterOption = [](const QString &g) -> QString {
        return g.isEmpty() ? QString()
                           : QStringLiteral(" -filter_complex \"") + g + QLatin1Char('"');
    };
    const QString pictureMap =
        st.picture ? QStringLiteral(" -map \"") + picture + QStringLiteral("\" ") : QString();
    const bool twoPass = st.picture && rateModeFromIndex(s.cbRateMode) == RateMode::TwoPass;

    BuiltCommand result;
    if (st.picture) {
        const QString encoder = encoderOptions(s, false);
        result.text = inputs.text + encoder + filterOption(graphFor(false)) + pictureMap +
                      soundMap + trims + rateOptions(s, false, 2, log);
        if (twoPass)
            result.firstPass = inputs.text + encoder + filterOption(graphFor(measures)) +
                               pictureMap + (measures ? measureSoundMap : QString()) + trims +
                               rateOptions(s, false, 1, log) + QStringLiteral(" -f null -");
        else if (measures)
            // Only the sound is measured: the picture goes to the null output unencoded.
            result.firstPass = inputs.text + filterOption(graphFor(true)) + pictureMap +
                               measureSoundMap + trims + QStringLiteral(" -f null -");
    } else {
        result.text = inputs.text + filterOption(graphFor(false)) + soundMap + trims;
        if (measures)
            result.firstPass = inputs.text + filterOption(graphFor(true)) + measureSoundMap +
                               trims + QStringLiteral(" -f null -");
    }
    result.copies = inputs.copies;
    return result;
}

} // namespace

QString outputExtension(const RenderSettings &settings)
{
    return settings.cbEraseVideo && !settings.cbEraseAudio
               ? soundOnlyExtension(settings.cbExtension)
               : settings.cbExtension;
}

std::optional<LoudnessMeasure> readLoudnessMeasure(const QStringList &lines)
{
    // The report is a JSON object over several lines, after the filter's own line:
    // "input_i" : "-27.61", ... "target_offset" : "0.58" }.
    std::optional<LoudnessMeasure> last;
    LoudnessMeasure m;
    int found = 0;
    static const QRegularExpression field(
        QStringLiteral("\\A\\s*\"([a-z_]+)\"\\s*:\\s*\"([^\"]*)\"\\s*,?\\s*\\z"));
    const struct
    {
        const char *name;
        double LoudnessMeasure::*member;
    } kFields[] = {{"input_i", &LoudnessMeasure::inputI},
                   {"input_tp", &LoudnessMeasure::inputTp},
                   {"input_lra", &LoudnessMeasure::inputLra},
                   {"input_thresh", &LoudnessMeasure::inputThresh},
                   {"target_offset", &LoudnessMeasure::targetOffset}};
    for (const QString &line : lines) {
        if (line.trimmed() == QLatin1String("{")) {
            m = LoudnessMeasure();
            found = 0;
            continue;
        }
        const QRegularExpressionMatch match = field.match(line);
        if (match.hasMatch()) {
            for (const auto &f : kFields) {
                if (match.captured(1) != QLatin1String(f.name))
                    continue;
                // "-inf" for silence reads as the lowest the filter takes.
                bool ok = false;
                double value = match.captured(2).toDouble(&ok);
                if (match.captured(2).trimmed() == QLatin1String("-inf")) {
                    value = -99;
                    ok = true;
                }
                if (ok && std::isfinite(value)) {
                    m.*f.member = value;
                    ++found;
                }
            }
            continue;
        }
        if (line.trimmed() == QLatin1String("}") && found == int(std::size(kFields)))
            last = m;
    }
    return last;
}

QString completeLoudness(const QString &arguments, const RenderSettings &settings,
                         const LoudnessMeasure &measure)
{
    const QString mark = QLatin1String(kLoudnessMark);
    // The mark stands in the filter graph, which names no file: a path holding the same text
    // is never touched.
    const qsizetype graphAt = arguments.indexOf(QStringLiteral(" -filter_complex \""));
    const qsizetype at = graphAt < 0 ? -1 : arguments.indexOf(mark, graphAt);
    const std::optional<LoudnessTarget> target = loudnessTarget(settings.cbLoudness);
    if (at < 0 || !target)
        return arguments;
    // Silence (or next to it) has no loudness to bring to the target.
    constexpr double kQuietest = -70.0;
    QString step;
    if (measure.inputI <= kQuietest) {
        step = QStringLiteral("anull");
    } else {
        const auto clamped = [](double v, double low, double high) {
            return decimalText(std::clamp(v, low, high));
        };
        step = loudnessTargetOptions(*target) + QStringLiteral(":measured_I=") +
               clamped(measure.inputI, -99, 0) + QStringLiteral(":measured_TP=") +
               clamped(measure.inputTp, -99, 99) + QStringLiteral(":measured_LRA=") +
               clamped(measure.inputLra, 0, 99) + QStringLiteral(":measured_thresh=") +
               clamped(measure.inputThresh, -99, 0) + QStringLiteral(":offset=") +
               clamped(measure.targetOffset, -99, 99) + QStringLiteral(":linear=true");
    }
    QString text = arguments;
    text.replace(at, mark.size(), step);
    return text;
}

QString loudnessTargetText(const RenderSettings &settings)
{
    const std::optional<LoudnessTarget> target = loudnessTarget(settings.cbLoudness);
    return target ? loudnessTargetOptions(*target) : QString();
}

BuildFolders BuildFolders::from(const WorkFolders &folders, const ToolSet &tools)
{
    BuildFolders b;
    b.tempDir = folders.tempDir;
    b.filterDir = folders.filterDir;
    b.frameDir = folders.frameDir;
    b.logoDir = folders.logoDir;
    const QString player = tools.ffPlay.isEmpty() ? QStringLiteral("ffplay") : tools.ffPlay;
    // The tools folder's player, or the system's where the folder lacks it.
    b.playerPath = tools.binDir.isEmpty() ? folders.binDir + player : tools.path(player);
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

QString scaleSizeText(int index)
{
    return settingControl(QStringLiteral("cbRenderScale"))->values.value(index);
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

namespace {

// The stretch of the output one encoder run of a segmented encode writes: from start (seconds of
// the output, after the trims and the speed) for length seconds, or to the encode's end when
// length is 0.
struct SegmentWindow
{
    double start = 0;
    double length = 0;
};

// Reading a segment: the source from shortly before its stretch, with the timestamps it has in the
// whole encode (so the steps that go by time, and the canvas's ticks, agree), and the output's
// trims narrowed to the stretch.
struct SegmentReading
{
    QString seek;
    qint64 canvasShift = 0; // whole canvas frames
    // Starts each reading of the source's picture: the frames decoded from the key frame before
    // the seek are dropped before any work is done on them.
    QString sourceStep;
    QString trims;
};

SegmentReading readSegment(const RenderSettings &s, const VideoItem &item, int speedPercent,
                           const SegmentWindow &w)
{
    const double speed = double(speedPercent) / kNormalSpeed;
    const double trimStart = s.edTimeStart > 0 ? s.edTimeStart / speed : 0;
    const double from = trimStart + w.start; // in the retimed picture's time
    // Two seconds of the source before the stretch: the frames a rate step or an overlay takes
    // for the stretch's first ticks come from before it.
    const double seekAt = std::max(0.0, from * speed - 2);
    SegmentReading r;
    if (seekAt > 0) {
        const QString at = decimalText(seekAt);
        r.seek = QStringLiteral(" -ss ") + at + QStringLiteral(" -itsoffset ") + at;
        r.sourceStep = QStringLiteral(" trim=start=") + at + QLatin1Char(',');
        const double rate = frameRateValue(canvasRate(item.frameRate));
        r.canvasShift = qint64(std::floor(seekAt / speed * (rate > 0 ? rate : 25)));
    }
    if (from > 0)
        r.trims += QStringLiteral(" -ss ") + decimalText(from);
    if (w.length > 0) {
        r.trims += QStringLiteral(" -t ") + decimalText(w.length);
    } else if (s.edTimeEnd > 0) {
        qint64 length = qint64(durationToSeconds(item.duration)) - s.edTimeEnd;
        if (s.edTimeStart > 0)
            length -= s.edTimeStart;
        r.trims += QStringLiteral(" -t ") + decimalText(length / speed - w.start);
    }
    return r;
}

BuiltCommand buildRender(const VideoItem &item, int mode, const RenderSettings &s,
                         const BuildFolders &folders, quint32 tick, const QString &log,
                         bool leanGraph, const SegmentWindow *segment)
{
    const Choices choices = readChoices(s, mode);
    const Geometry geometry = measureGeometry(s, choices.preview);
    // A segment is the picture alone; the sound is added as its segments are joined.
    SpeedPlan speed = planSpeedAndAudio(s, item, choices.preview, !segment);
    const SegmentReading reading =
        segment ? readSegment(s, item, speed.percent, *segment) : SegmentReading{};
    // Without sound the chain starts with the source's picture.
    speed.chainHead.insert(videoStreamLabel(0, item).size(), reading.sourceStep);
    const Inputs inputs = collectInputs(item, s, choices, folders, tick, reading.seek);

    const PictureGraph picture = pictureGraph(s, choices, geometry, speed, item, leanGraph,
                                              reading.canvasShift, reading.sourceStep);

    const QString head = inputs.text + encoderOptions(s, choices.preview) +
                         QStringLiteral(" -filter_complex \"") + picture.graph +
                         QStringLiteral("\" -map \"") + picture.label + QStringLiteral("\" ");
    const QString trims = segment ? reading.trims : trimOptions(s, item, speed.percent);

    BuiltCommand result;
    result.text = head + speed.audioMap + trims + rateOptions(s, choices.preview, 2, log);
    if (choices.preview)
        result.text += previewPipe(folders);
    else if (rateModeFromIndex(s.cbRateMode) == RateMode::TwoPass)
        result.firstPass = head + firstPassAudioMap(speed) + trims + rateOptions(s, false, 1, log) +
                           QStringLiteral(" -f null -");
    result.copies = inputs.copies;
    return result;
}

// The sound of a segmented encode, read from the source's kept stretch as the whole encode reads
// it, and the maps that take the picture from the joined segments (input 0) as it is.
QString segmentJoin(const VideoItem &item, const RenderSettings &s)
{
    const QString container = s.cbExtension;
    QString sound;
    if (s.tbVideoSpeed == kNormalSpeed) {
        sound = QStringLiteral(" -map 1:a? -c:a ") +
                audioCodecOption(item.audioStreams, container, false);
    } else if (item.hasAudio) {
        sound = QStringLiteral(" -filter_complex \"[1:a]") + atempoChain(s.tbVideoSpeed) +
                QStringLiteral(" [audio]\" -map \"[audio]\" -c:a ") +
                audioCodecOption(item.audioStreams, container, true);
    }
    return inputTrims(item, s) + QStringLiteral(" -i ") + quoteArg(item.caption) +
           QStringLiteral(" -map 0:v -c:v copy") + appleTagOption(s) + sound;
}

} // namespace

BuiltCommand buildCommandLine(const VideoItem *item, int mode, const RenderSettings &s,
                              const BuildFolders &folders, quint32 tick, const QString &passLog,
                              bool leanGraph)
{
    // A row without a video stream to render is never handed to the encoder.
    if (!item || !item->renderable())
        return {};
    const QString log = passLog.isEmpty() ? QStringLiteral("fulmaro-pass") : passLog;
    // A preview shows the video alone, as the settings make it.
    if (const Staging staging = readStaging(s, folders); mode == RenderMode && isStaged(staging))
        return buildStagedRender(*item, s, folders, tick, log, leanGraph, staging);
    return buildRender(*item, mode, s, folders, tick, log, leanGraph, nullptr);
}

SegmentedCommand buildSegmentedCommand(const VideoItem &item, const RenderSettings &s,
                                       const BuildFolders &folders, quint32 tick, bool leanGraph)
{
    SegmentedCommand result;
    // Joined clips, the sound steps and two passes run as one encode; so do the containers whose
    // pieces do not join as they are.
    const QString container = s.cbExtension.toLower();
    const bool joinable = container == QLatin1String("mp4") || container == QLatin1String("mov") ||
                          container == QLatin1String("mkv") || container == QLatin1String("webm");
    const double rate = frameRateValue(canvasRate(item.frameRate));
    if (!item.renderable() || isStaged(readStaging(s, folders)) || !joinable || rate <= 0 ||
        s.tbVideoSpeed <= 0 || rateModeFromIndex(s.cbRateMode) == RateMode::TwoPass)
        return result;
    const double total = mainOutputSeconds(item, s);
    if (total <= kSegmentedFrom)
        return result;
    // Whole frames of the output, so every segment starts on one of the encode's ticks.
    const double length = std::max(1.0, std::round(kSegmentSeconds * rate)) / rate;
    // The last segment runs to the end, however long the source turns out to be, and never
    // starts in the source's last seconds (a length to the second may be rounded up).
    const int count = std::max(1, int(std::ceil((total - 2) / length)));
    for (int k = 0; k < count; ++k) {
        const SegmentWindow window{k * length, k + 1 < count ? length : 0};
        BuiltCommand built =
            buildRender(item, RenderMode, s, folders, tick, QString(), leanGraph, &window);
        result.segments.append(built.text);
        result.copies = std::move(built.copies);
    }
    result.segmentSeconds = length;
    result.join = segmentJoin(item, s);
    return result;
}

} // namespace fulmaro
