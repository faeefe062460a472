#pragma once

#include "core/base/toolset.h"
#include "core/videolist/videoitem.h"

#include <QLocale>
#include <QStringList>

#include <optional>

namespace fulmaro {

// The two probe command lines for one file: the probe's path unquoted, two blanks, the quoted
// file, then the options.
QString formatProbeCommand(const ToolSet &tools, const QString &path);
QString streamProbeCommand(const ToolSet &tools, const QString &path);

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

// What the stream probe tells beside the resolution.
struct StreamFacts
{
    QString resolution; // first "width" anywhere, "x", first "height" anywhere
    bool hasAudio = false;
    QString frameRate; // r_frame_rate of the first video stream, as written
};
StreamFacts readStreamFacts(const QStringList &streamLines);

// The row for one file from both probes' output. fileSystemSize stands in when the probe gives
// no usable size.
VideoItem makeVideoItem(const QString &path, const QStringList &formatLines,
                        const QStringList &streamLines, qint64 fileSystemSize,
                        const QLocale &locale = QLocale());

// Whether a row is made for the path at all: an existing file (links followed).
bool isProbeableFile(const QString &path);

// Probes one file with both runs, one after the other, while the event loop keeps running.
// No row for a missing file.
std::optional<VideoItem> probeVideoFile(const ToolSet &tools, const QString &workDir,
                                        const QString &path, const QLocale &locale = QLocale());

} // namespace fulmaro
