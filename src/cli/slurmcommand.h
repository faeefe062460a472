#pragma once

#include "cli/batchoptions.h"
#include "core/base/workfolders.h"

#include <QStringList>

class QTextStream;

namespace fulmaro {
struct RenderSettings;
}

namespace fulmaro::batch {

// A job-array script for Slurm's sbatch: task N renders the Nth source of the list with this
// program, so each task has the program's temporary output name, reasons and exit codes.
struct SlurmScript
{
    QString program;         // this program, absolute
    QString dataHome;        // the folder the work folder is in (XDG_DATA_HOME of the tasks)
    QString outputFolder;    // absolute
    QStringList assignments; // every --set, the preset's first
    QString listPath;        // the sources, one absolute path a line
    QString logFolder;       // the tasks' logs
    int count = 0;           // tasks
    int cpusPerTask = 1;
    int limit = 0; // tasks at once; 0 leaves it to the scheduler
    bool fresh = false;
};

// The cores a task asks for: one for each 40 million pixels a second of output at 30 frames a
// second, the measure that decides how many jobs share one machine (an encoder cannot keep more
// cores busy with a smaller output). The sources are not probed for it, so that the script of a
// large batch is written at once.
int slurmCpusPerTask(const RenderSettings &settings);

// The script's text (POSIX sh with #SBATCH lines).
QString slurmScriptText(const SlurmScript &script);

// Writes the script, the list of sources beside it (SCRIPT.files) and the folder for the tasks'
// logs (SCRIPT.logs). The files and folders have been checked; returns the exit code.
int writeSlurmScript(const BatchOptions &options, const RenderSettings &settings,
                     const QString &outputFolder, const WorkFolders &folders, QTextStream &out,
                     QTextStream &err);

} // namespace fulmaro::batch
