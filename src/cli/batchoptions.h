#pragma once

#include <QStringList>

namespace fulmaro::batch {

// What the command line asks for.
enum class Command { None, Help, List, Render, Presets };

struct BatchOptions
{
    Command command = Command::None;
    QStringList files;
    QStringList assignments; // "NAME=VALUE" of each --set, in order
    QString preset;          // --preset: applied before the --set options
    QString savePreset;      // --save-preset: the settings given are stored under this name
    QString outputFolder;    // --output; empty: the saved output folder
    bool dryRun = false;
    bool preview = false;
    bool nullLines = false;    // --null: --dry-run lines end with NUL instead of a line end
    bool estimate = false;     // --estimate: only each output's expected size
    bool fresh = false;        // --fresh: an interrupted run of the same command is not continued
    bool skipExisting = false; // --skip-existing: a source whose output exists is not rendered
    QString slurmScript;       // --slurm: writes a job-array script here instead of rendering
    // --jobs: 0 auto, 1..4 jobs at once (with --slurm, the array's tasks at once, any number);
    // -1 the settings' own
    int jobs = -1;
    QString error; // Turkish text when the command line cannot be used
};

// Reads the arguments after the program's name.
BatchOptions parseArguments(const QStringList &arguments);

// Makes the file and folder names absolute against currentFolder. The tools run in the work
// folders, where a relative name would point elsewhere.
void resolveRelativePaths(BatchOptions &options, const QString &currentFolder);

QString helpText();

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// The most tasks of a job array --jobs can let run at once; beyond any cluster's size.
inline constexpr int kMaximumArrayLimit = 100000;

} // namespace fulmaro::batch
