#pragma once

#include "core/base/toolset.h"
#include "core/videolist/videoitem.h"

#include <QLocale>
#include <QStringList>

#include <optional>

namespace fulmaro {

// The two probe command lines for one file: the probe's quoted path, two blanks, the quoted
// file, then the options.
QString formatProbeCommand(const ToolSet &tools, const QString &path);
QString streamProbeCommand(const ToolSet &tools, const QString &path);

// The probe command asking for what both of them ask, in one run: starting the probe costs about
// a tenth of a second of processor time, which on short clips is much of what listing or
// rendering them adds to the encoder's own time. Its rows are the ones the two runs give.
QString combinedProbeCommand(const ToolSet &tools, const QString &path);
// Splits its output into the format probe's lines and the stream probe's lines.
void splitCombinedProbe(const QStringList &lines, QStringList *formatLines,
                        QStringList *streamLines);

// The value of the first name=value line whose name equals name (any case); empty when none.
QString probeValue(const QStringList &lines, QStringView name);

// Whole seconds from a "duration" value: "." is the decimal point whatever the locale, halves go
// to the even neighbour, anything that is not a number gives 0.
qint64 wholeSecondsFromDecimal(const QString &value, const QLocale &locale = QLocale());
// The duration rule applied to a format probe's output.
qint64 probedDurationSeconds(const QStringList &formatLines, const QLocale &locale = QLocale());

// The separator the locale puts between hours and minutes.
QString timeSeparator(const QLocale &locale = QLocale());
// hh:nn:ss of the time of day the seconds reach; whole days are dropped. Always 8 characters.
QString durationText(qint64 seconds, const QLocale &locale = QLocale());
// KB, MB or GB with up to two decimals; empty from 1000 GB on.
QString fileSizeText(qint64 bytes, const QLocale &locale = QLocale());
// A strict 64-bit decimal integer; anything else gives 0.
qint64 probedSize(const QString &value);

// A frame rate the canvas can run at: r_frame_rate when it lies between 1 and 240 frames a
// second, otherwise avg_frame_rate when that does, otherwise 30/1. Jittering timestamps make the
// probe guess r_frame_rate as the time base (90000/1). The result is "num/den" with both terms
// at most 65535, the most the MPEG-4 and H.263 encoders take for their time base; a rate that
// needs more is written as the nearest fraction that fits.
QString plausibleFrameRate(const QString &rFrameRate, const QString &avgFrameRate);

// A rate as the probe writes it ("30000/1001", "25") in frames a second; 0 when it is not one.
double frameRateValue(const QString &rate);

// What the stream probe tells about a file.
struct StreamFacts
{
    bool anyStream = false; // the probe listed at least one stream
    bool hasVideo = false;  // a video stream that is not an attached picture
    // The video stream: the first one that is not an attached picture (cover art).
    int videoOrdinal = 0; // its place among all video streams
    QString width;        // as stored
    QString height;
    int rotation = 0;        // degrees, 0 to 359, from the display matrix or the rotate tag
    double videoSeconds = 0; // the video stream's own length; 0 where the container gives none
    QString resolution;      // width "x" height as shown: swapped when turned by 90 or 270
    QString frameRate;       // the plausible canvas rate
    // The probe's guess of the rate is the average rate: no jitter or gaps it could see.
    bool steadyRate = false;
    // The video's frames are steady and the first is the file's first moment: no stream starts
    // before it. False when the probe gives no start times.
    bool videoStartsWithFile = false;
    bool hasAudio = false;
    QList<AudioStream> audioStreams;
};
StreamFacts readStreamFacts(const QStringList &streamLines);

// The row for one file from both probes' output. fileSystemSize stands in when the probe gives
// no usable size. streamProbeSucceeded is false when the stream probe could not run or could
// not read the file: the row then says so.
VideoItem makeVideoItem(const QString &path, const QStringList &formatLines,
                        const QStringList &streamLines, qint64 fileSystemSize,
                        const QLocale &locale = QLocale(), bool streamProbeSucceeded = true);

// Whether a row is made for the path at all: an existing regular file (links followed), never a
// folder, a pipe or a device, nor a name that reaches another file than the one meant.
bool isProbeableFile(const QString &path);

// How long one probe run may take before it is ended and its file counted unreadable: a file on
// a hung network share must not hold a batch or the list for ever.
inline constexpr int kProbeTimeLimitMs = 120 * 1000;

// Probes one file with the combined run while the event loop keeps running.
// No row for a missing file.
std::optional<VideoItem> probeVideoFile(const ToolSet &tools, const QString &workDir,
                                        const QString &path, const QLocale &locale = QLocale());

} // namespace fulmaro
