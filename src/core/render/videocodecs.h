#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

struct RenderSettings;

// cbVideoCodec: "Otomatik" names no encoder, so each container keeps its encoder's default.
enum class VideoCodec { Auto = 0, H264 = 1, H265 = 2, VP9 = 3, AV1 = 4 };

// cbRateMode: an average bitrate, a constant quality, or the bitrate in two passes.
enum class RateMode { Bitrate = 0, Quality = 1, TwoPass = 2 };

// The items of the pickers, in the order of the enums.
const QStringList &videoCodecItems(); // "Otomatik", "H.264", "H.265", "VP9", "AV1"
const QStringList &rateModeItems();   // "Bitrate", "Kalite", "İki geçiş"

// tbQuality runs from the smallest files (0) to the best picture (100).
inline constexpr int kQualityMinimum = 0;
inline constexpr int kQualityMaximum = 100;
inline constexpr int kQualityDefault = 50;

constexpr VideoCodec videoCodecFromIndex(int index)
{
    return index >= 1 && index <= 4 ? static_cast<VideoCodec>(index) : VideoCodec::Auto;
}

constexpr RateMode rateModeFromIndex(int index)
{
    return index == 1 || index == 2 ? static_cast<RateMode>(index) : RateMode::Bitrate;
}

// Whether the container (an output extension, any case) can hold the codec in a file that players
// read: H.264 goes everywhere but webm, H.265 into mp4, mkv and mov, VP9 and AV1 into mp4, mkv and
// webm. "Otomatik" fits every container.
bool codecFitsContainer(VideoCodec codec, const QString &extension);

// Why the settings' codec and container cannot go together, in Turkish; empty when they can.
QString codecContainerProblem(const RenderSettings &settings);

// The encoder that writes the video of a render with these settings: the chosen codec's, or the
// container's default under "Otomatik" (libx264 for mp4, mkv and mov, mpeg4 for avi, flv for flv,
// libvpx-vp9 for webm). Two passes of AV1 take libaom-av1: the SVT-AV1 encoder of this FFmpeg
// reads no first-pass log.
QString videoEncoderFor(const RenderSettings &settings);

// The encoder's own options for the speed picker's item (0 fastest .. 4 slowest); twoPass asks
// for a speed that writes a first-pass log.
QString speedOptions(const QString &encoder, int presetIndex, bool twoPass = false);

// The encoder's constant-quality options for a position of tbQuality: the one scale of the slider
// mapped onto each encoder's own (CRF, VP9's CRF with no bitrate limit, MPEG-4's fixed quantiser).
QString qualityOptions(const QString &encoder, int quality);

// The options of one pass of a two-pass encode; logName is the log files' name in the encoder's
// working folder, without a path (letters, digits, "-" and "_" only).
QString passOptions(const QString &encoder, int pass, const QString &logName);

} // namespace fulmaro
