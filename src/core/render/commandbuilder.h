#pragma once

#include "core/render/endclips.h"
#include "core/render/rendersettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace fulmaro {

struct ToolSet;
struct VideoItem;
struct WorkFolders;

// What the builder needs to know about the work-folder tree.
struct BuildFolders
{
    QString tempDir; // scratch copies; each folder ends with a separator
    QString filterDir;
    QString frameDir;
    QString logoDir;
    QString playerPath; // the player a preview pipes into (the tool set's "ffplay")
    // The intro and outro of the run as probed when it began (probeEndClips): a render joins a
    // chosen clip only with its facts from here. None after from().
    EndClips endClips;

    static BuildFolders from(const WorkFolders &folders, const ToolSet &tools);
};

// One overlay picture the command expects in the scratch folder.
struct ScratchCopy
{
    QString source;
    QString destination;
    friend bool operator==(const ScratchCopy &, const ScratchCopy &) = default;
};

struct BuiltCommand
{
    QString text;              // the encoder's arguments; starts with a blank
    QList<ScratchCopy> copies; // to be made before the command runs
    // With two passes, the first pass's arguments, which write nothing but the pass log (they
    // end with the null output); empty otherwise. text is then the second pass. With the
    // loudness set, the first pass also measures the sound and text holds kLoudnessMark where
    // the measured values go (completeLoudness).
    QString firstPass;
};

// Stands in the second pass's filter graph for the loudness step that the first pass's
// measurement completes.
inline constexpr char kLoudnessMark[] = "@loudnorm@";

// The measured loudness, read from the first pass's output (loudnorm's JSON report).
struct LoudnessMeasure
{
    double inputI = 0;
    double inputTp = 0;
    double inputLra = 0;
    double inputThresh = 0;
    double targetOffset = 0;
};
// Nothing when the output holds no complete report; the last report counts.
std::optional<LoudnessMeasure> readLoudnessMeasure(const QStringList &lines);
// The second pass's arguments with the loudness step filled in from the measure: a linear
// normalisation to the target of cbLoudness, or nothing for silence (no loudness to bring up).
// Arguments without the mark come back unchanged.
QString completeLoudness(const QString &arguments, const RenderSettings &settings,
                         const LoudnessMeasure &measure);

// The loudness step's target options for cbLoudness ("loudnorm=I=-14:TP=-1:LRA=50"), which
// completeLoudness completes with the measure; empty when the loudness is left as it is.
QString loudnessTargetText(const RenderSettings &settings);

// The extension of a render's output: the container's, or for sound only the sound file's that
// goes with it (m4a from mp4, mov and mkv; mp3 from avi and flv; opus from webm).
QString outputExtension(const RenderSettings &settings);

enum BuildMode { RenderMode = 0, PreviewMode = 1 };

// The encoder's argument text for one row: the inputs, the filter graph, the maps, trimming and
// bitrate; in preview mode followed by the pipe into the player. No output file in render mode.
// Pure: reads nothing but its arguments and touches no file. A null row gives an empty result.
// passLog names the two-pass log files in the encoder's working folder (see passOptions).
// Where the video covers the whole picture for its whole length, the graph leaves out the canvas
// it would cover and gives the same pictures; leanGraph false keeps the canvas in any case.
BuiltCommand buildCommandLine(const VideoItem *item, int mode, const RenderSettings &settings,
                              const BuildFolders &folders, quint32 tick,
                              const QString &passLog = QString(), bool leanGraph = true);

// Encodes whose output is longer than this (in seconds) are written in segments.
inline constexpr double kSegmentedFrom = 60;
// About this long each (whole frames of the output).
inline constexpr double kSegmentSeconds = 15;

// An encode written in segments, one encoder run each, and joined without encoding the picture
// again: an encode cut short goes on from the segment it was in.
struct SegmentedCommand
{
    double segmentSeconds = 0; // each segment's length but the last's, which runs to the end
    // Each segment's arguments in render mode, without its output; together they give the frames
    // of buildCommandLine's render. Empty when the render is written in one run: preview, joined
    // clips, sound steps, two passes, an avi or flv container, a rate not known, or an output of
    // kSegmentedFrom seconds or less.
    QStringList segments;
    // The arguments that follow the segments' list, read as input 0 (" -f concat -i LIST"): the
    // source's sound as the render has it, and the maps. No output file.
    QString join;
    QList<ScratchCopy> copies;
};

SegmentedCommand buildSegmentedCommand(const VideoItem &item, const RenderSettings &settings,
                                       const BuildFolders &folders, quint32 tick,
                                       bool leanGraph = true);

// Makes the scratch copies, overwriting older files of the same names. A source is found without
// regard to case, as library entries are. Returns false when one of them could not be made; the
// command then fails when the encoder opens it.
bool makeScratchCopies(const QList<ScratchCopy> &copies);

// A millisecond counter for the scratch names; one build uses one value.
quint32 scratchTick();

// "hh:nn:ss" to seconds; a pair that is not a number counts as 0, characters past the 8th are
// ignored.
int durationToSeconds(const QString &text);

// A number as the encoder reads it: at most 15 significant digits, "." as separator, no
// exponent, no trailing zeros, no point when whole.
QString decimalText(double value);

// The "WxH" size of a cbRenderScale or cbPreviewScale item: "3840x2160" .. "426x240" for the
// indexes 0..6, the upright and square sizes after them, empty for any other.
QString scaleSizeText(int index);

} // namespace fulmaro
