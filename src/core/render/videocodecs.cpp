#include "core/render/videocodecs.h"

#include "core/render/rendersettings.h"
#include "core/render/settingstable.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace fulmaro {

namespace {

// The containers each codec is written into, found by encoding a short clip of each codec into
// each container and decoding the result: H.265 in avi comes out as an unreadable stream, VP9 and
// AV1 are refused by mov and flv, H.264 by webm. VP9 and AV1 in avi decode here but few players
// read them, so they are not offered.
struct CodecRule
{
    VideoCodec codec;
    const char *encoder;
    const char *containers; // blank separated
};

const CodecRule kCodecRules[] = {
    {VideoCodec::H264, "libx264", "mp4 mkv avi flv mov"},
    {VideoCodec::H265, "libx265", "mp4 mkv mov"},
    {VideoCodec::VP9, "libvpx-vp9", "mp4 mkv webm"},
    {VideoCodec::AV1, "libsvtav1", "mp4 mkv webm"},
};

const CodecRule *ruleFor(VideoCodec codec)
{
    for (const CodecRule &rule : kCodecRules) {
        if (rule.codec == codec)
            return &rule;
    }
    return nullptr;
}

// One slider, every encoder's own quality scale: the scale's value at the slider's ends and at
// its default. x264's own default, 23, is the anchor; VP9's is near its documented 31..35. x265's
// and SVT-AV1's sit where, on full HD scenes that move (a camera panning over textured ground,
// something crossing it, light grain), their files come out smaller than x264's at 23 with an
// SSIM to the source at most 0.005 lower, at the veryfast and medium speeds alike; SVT-AV1 needs
// 38 for that (at 32 its files were larger than x264's). So a codec change alone makes the file
// smaller and not the picture worse. Where grain is most of the picture no value of either does
// both, nor does x265's against x264's fastest preset, which turns off the tools that keep x264's
// files small.
struct QualityScale
{
    const char *encoder;
    int worst;  // at kQualityMinimum
    int middle; // at kQualityDefault
    int best;   // at kQualityMaximum
};

const QualityScale kQualityScales[] = {
    {"libx264", 45, 23, 12},   {"libx265", 45, 25, 12},    {"libvpx-vp9", 60, 33, 15},
    {"libsvtav1", 60, 38, 12}, {"libaom-av1", 60, 32, 12}, {"mpeg4", 31, 4, 2},
    {"flv", 31, 4, 2},
};

int scaleValue(const QualityScale &scale, int quality)
{
    const int q = std::clamp(quality, kQualityMinimum, kQualityMaximum);
    const double low = kQualityMinimum, mid = kQualityDefault, high = kQualityMaximum;
    const double value =
        q <= kQualityDefault
            ? scale.worst + (scale.middle - scale.worst) * ((q - low) / (mid - low))
            : scale.middle + (scale.best - scale.middle) * ((q - mid) / (high - mid));
    return int(std::lround(value));
}

} // namespace

const QStringList &videoCodecItems()
{
    static const QStringList items = {QStringLiteral("Otomatik"), QStringLiteral("H.264"),
                                      QStringLiteral("H.265"), QStringLiteral("VP9"),
                                      QStringLiteral("AV1")};
    return items;
}

const QStringList &rateModeItems()
{
    static const QStringList items = {QStringLiteral("Bitrate"), QStringLiteral("Kalite"),
                                      QStringLiteral("İki geçiş")};
    return items;
}

bool codecFitsContainer(VideoCodec codec, const QString &extension)
{
    const CodecRule *rule = ruleFor(codec);
    if (!rule)
        return true;
    return QString::fromLatin1(rule->containers)
        .split(QLatin1Char(' '))
        .contains(extension.toLower());
}

QString codecContainerProblem(const RenderSettings &settings)
{
    const VideoCodec codec = videoCodecFromIndex(settings.cbVideoCodec);
    if (codecFitsContainer(codec, settings.cbExtension))
        return QString();
    const CodecRule *rule = ruleFor(codec);
    QStringList containers = QString::fromLatin1(rule->containers).split(QLatin1Char(' '));
    return QStringLiteral("%1 videosu %2 dosyasına yazılamaz; %1 için şunlardan birini seçin: %3")
        .arg(videoCodecItems().at(int(codec)), settings.cbExtension,
             containers.join(QStringLiteral(", ")));
}

QString videoEncoderFor(const RenderSettings &settings)
{
    const VideoCodec codec = videoCodecFromIndex(settings.cbVideoCodec);
    if (codec == VideoCodec::AV1 && rateModeFromIndex(settings.cbRateMode) == RateMode::TwoPass)
        return QStringLiteral("libaom-av1");
    if (const CodecRule *rule = ruleFor(codec))
        return QLatin1String(rule->encoder);
    const QString container = settings.cbExtension.toLower();
    if (container == QLatin1String("avi"))
        return QStringLiteral("mpeg4");
    if (container == QLatin1String("flv"))
        return QStringLiteral("flv");
    if (container == QLatin1String("webm"))
        return QStringLiteral("libvpx-vp9");
    return QStringLiteral("libx264");
}

QString speedOptions(const QString &encoder, int presetIndex, bool twoPass)
{
    const int index = presetIndex >= 0 && presetIndex <= 4 ? presetIndex : 0;
    if (encoder == QLatin1String("libvpx-vp9")) {
        static const char *const kVp9[] = {"realtime -cpu-used 8", "good -cpu-used 5",
                                           "good -cpu-used 3", "good -cpu-used 1",
                                           "good -cpu-used 0"};
        // In real time the encoder writes an empty first-pass log, which the second pass refuses.
        const QString speed =
            twoPass && index == 0 ? QStringLiteral("good -cpu-used 8") : QLatin1String(kVp9[index]);
        return QStringLiteral(" -deadline ") + speed + QStringLiteral(" -row-mt 1");
    }
    if (encoder == QLatin1String("libsvtav1")) {
        static const int kSvt[] = {12, 10, 8, 6, 4};
        return QStringLiteral(" -preset %1").arg(kSvt[index]);
    }
    if (encoder == QLatin1String("libaom-av1")) {
        static const int kAom[] = {8, 6, 4, 2, 1};
        return QStringLiteral(" -cpu-used %1 -row-mt 1").arg(kAom[index]);
    }
    // x264 and x265 share their preset names; the avi and flv encoders ignore the option, which
    // their lines have always carried.
    const QStringList &presets = settingControl(QStringLiteral("cbPreset"))->values;
    return QStringLiteral(" -preset ") + presets.at(index);
}

QString qualityOptions(const QString &encoder, int quality)
{
    for (const QualityScale &scale : kQualityScales) {
        if (encoder != QLatin1String(scale.encoder))
            continue;
        const QString value = QString::number(scaleValue(scale, quality));
        if (encoder == QLatin1String("mpeg4") || encoder == QLatin1String("flv"))
            return QStringLiteral(" -q:v ") + value;
        if (encoder == QLatin1String("libvpx-vp9") || encoder == QLatin1String("libaom-av1"))
            return QStringLiteral(" -crf ") + value + QStringLiteral(" -b:v 0");
        return QStringLiteral(" -crf ") + value;
    }
    return QString();
}

QString passOptions(const QString &encoder, int pass, const QString &logName)
{
    if (encoder == QLatin1String("libx265"))
        return QStringLiteral(" -x265-params pass=%1:stats=%2.log").arg(pass).arg(logName);
    return QStringLiteral(" -pass %1 -passlogfile %2").arg(pass).arg(logName);
}

} // namespace fulmaro
