#pragma once

#include "core/queue/outputfiles.h"
#include "core/runner/toolrun.h"

#include <QString>
#include <QStringList>

namespace fulmaro {

// Why a job did not give its output, in the words its row shows.
struct JobReason
{
    QString text;         // empty: nothing to say
    bool endsRun = false; // the next jobs cannot run either (the encoder is gone)
};

// The reason for an output file that could not be made, moved or removed.
QString outputFaultText(OutputFault fault, const QString &errorText = QString());

// Empty when the source can be read now; otherwise why not.
QString sourceProblem(const QString &sourcePath);

// An output that would replace one of the run's sources (another spelling of its path).
QString overwriteRefusedText();
// A killed run's unfinished output, removed by the job that writes the same output.
QString leftoverRemovedText(const QString &path);
// A failed job's output left under its temporary name.
QString keptPartText(const QString &path);
// Why an output of outputSeconds is clearly shorter than the planned length (the source is
// damaged), or empty when it is not: short by more than a second and by more than a tenth.
QString shortOutputText(double outputSeconds, double plannedSeconds);

// Why an encoder run that did not succeed failed, read from how it ended, its output and what
// has become of its source and output folder.
JobReason encoderFailureReason(RunEnd end, int exitCode, const QStringList &lines,
                               const QString &sourcePath, const QString &outputPath);

// Shown on a job skipped because the encoder failed its check.
QString encoderCheckFailedText();

} // namespace fulmaro
