#pragma once

#include "core/render/commandbuilder.h"
#include "core/render/rendersettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace fulmaro {

struct VideoItem;

// One encoder run of a render: a row of the video list and where its output goes.
struct RenderJob
{
    QString name;    // the input's full path, the row's caption
    QString command; // the encoder's arguments in render mode; starts with a blank
    // With two passes: the first pass's arguments, and the name its log files take in the
    // encoder's working folder (they go when the job ends). Empty with one pass.
    QString firstPass;
    QString passLog;
    QList<ScratchCopy> copies; // overlay pictures the command reads from the scratch folder
    QString outputPath;        // unique within the run
    int position = -1;         // the row's position in the video list
    // Why the row cannot be rendered ("görüntü yok", "okunamadı"); such a job has no command
    // and never reaches the encoder.
    QString refusal;
    // How long the output should be, from the row's listed length with the trims and the speed
    // and the joined clips' lengths; 0 when not known. An output clearly shorter came from a
    // damaged source.
    double plannedSeconds = 0;
    // With several jobs at once: the threads its encoder may use (the filter graph's and the
    // encoder's); 0 leaves them to the encoder.
    int threads = 0;
    // The intro and outro the command joins: each must still be there when the job's turn
    // comes; their seconds come on top of the source's in the progress.
    QList<EndClip> clips;
    double clipSeconds = 0;
    int loudness = 0; // cbLoudness: the second pass takes the first pass's measure
    // A long encode written in segments (see SegmentedCommand): each segment's arguments and the
    // join's, and the segments' length. Empty when the job is one encode.
    QStringList segments;
    QString segmentJoin;
    double segmentSeconds = 0;
};

// The input's file name without its folder and without its last extension (a dot that starts the
// name starts no extension: ".clip" stays ".clip").
QString outputBaseName(const QString &inputPath);

// outputFolder + separator + base name + "." + extension.
QString outputPathFor(const QString &outputFolder, const QString &inputPath,
                      const QString &extension);

// Gives each path that equals an earlier one, or one of the reserved paths, or that taken() says
// is taken, " (2)", " (3)" ... before its extension, the first number that makes it unique.
// ignoreCase compares as a file system that ignores case does.
QStringList uniquePaths(const QStringList &paths, const QStringList &reserved = {},
                        const std::function<bool(const QString &)> &taken = {},
                        bool ignoreCase = false);

// The output paths of a run over these inputs, in their order: unique among themselves and never
// one of the inputs, under any spelling (a folder reached through a link, a hard link, another
// case where the output folder ignores case).
QStringList renderOutputPaths(const QStringList &inputs, const QString &extension,
                              const QString &outputFolder);

// How long a row's output should be, in whole seconds: its listed length with the trims and the
// speed; 0 when the length is not known.
qint64 plannedOutputSeconds(const VideoItem &item, const RenderSettings &settings);

// The job of one row whose output path is already known.
RenderJob buildRenderJob(const VideoItem &item, int position, const RenderSettings &settings,
                         const BuildFolders &folders, const QString &outputPath);

// One job per row, in list order, marked or not. Outputs never collide with each other nor with
// a listed input. Touches no file; the jobs' scratch copies are made by whoever runs them.
QList<RenderJob> buildRenderJobs(const QList<VideoItem> &items, const RenderSettings &settings,
                                 const BuildFolders &folders, const QString &outputFolder);

// The encoder's command line for one job, writing to its output path, or to writePath when given
// (the temporary name the job's output takes until the encoder has succeeded).
QString renderCommandLine(const QString &encoderPath, const RenderJob &job,
                          const QString &writePath = QString());

// The command line of a job for another machine or a shell: the encoder writes the output's
// temporary name, which takes the final name only when the encoder has succeeded ("... &&
// mv -f -- PART OUT"), so a line that fails or is killed never leaves a broken file under the
// final name.
QString safeRenderCommandLine(const QString &encoderPath, const RenderJob &job);

// The command line of segment k of a job written in segments, writing writePath.
QString segmentCommandLine(const QString &encoderPath, const RenderJob &job, int k,
                           const QString &writePath);

// The command line that joins a job's segments, listed in listPath, with its sound into
// writePath.
QString segmentJoinCommandLine(const QString &encoderPath, const RenderJob &job,
                               const QString &listPath, const QString &writePath);

// A loudness job (two passes, the second taking the first's measure) as one line for /bin/sh:
// the first pass, its measure read from its output by awk into the second pass's filter graph,
// then the second pass as safeRenderCommandLine writes it. Empty for any other job, and on
// Windows, whose shell has no such means.
QString loudnessShellLine(const QString &encoderPath, const RenderJob &job);

// The command line of a two-pass job's first pass, which writes only its log; empty for a job of
// one pass.
QString firstPassCommandLine(const QString &encoderPath, const RenderJob &job);

// The second pass's command line once the first has ended with this output: renderCommandLine
// with the measured loudness filled in. Empty, with the reason in problem (Turkish), when the
// first pass measured nothing usable.
QString secondPassCommandLine(const QString &encoderPath, const RenderJob &job,
                              const QString &writePath, const QStringList &firstPassLines,
                              QString *problem);

// Why the job cannot run now: its source or a joined clip has gone or cannot be read (Turkish);
// empty when all can be read.
QString jobInputProblem(const RenderJob &job);

// Why a row cannot be rendered with these settings and clips, beyond the row's own problem: a
// chosen clip that cannot be joined, sound only from a source without sound. Empty when it can.
QString stagingRefusal(const VideoItem &item, const RenderSettings &settings,
                       const EndClips &clips);

// The name of a job's two-pass log files: the output's name in letters, digits, "-" and "_", and
// a digest of the whole output path, so two jobs never share a log and every encoder option parser
// takes the name as it is.
QString passLogName(const QString &outputPath);

// The command line of a preview: the encoder, a blank and the preview-mode arguments (which end
// with the pipe into the player).
QString previewCommandLine(const QString &encoderPath, const BuiltCommand &built);

} // namespace fulmaro
