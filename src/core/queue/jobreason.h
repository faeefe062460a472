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

// Why an encoder run that did not succeed failed, read from how it ended, its output and what
// has become of its source and output folder.
JobReason encoderFailureReason(RunEnd end, int exitCode, const QStringList &lines,
                               const QString &sourcePath, const QString &outputPath);

// Shown on a job skipped because the encoder failed its check.
QString encoderCheckFailedText();

} // namespace fulmaro
