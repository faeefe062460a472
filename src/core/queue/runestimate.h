#pragma once

#include "core/queue/renderqueue.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace fulmaro {

// Seconds left for one job: for a running job, the time its last report took to reach its
// position, scaled to what is still to come, less the time since that report; 0 once it has
// succeeded; nothing before the first report or for a job that ended otherwise.
std::optional<qint64> jobSecondsLeft(const JobStatus &status, const QDateTime &now);

// Where a whole run stands.
struct RunFigures
{
    int percent = 0; // of the run's output seconds done (a failed job counts as done)
    int current = 0; // the ordinal of the last job that began, or of the last one that ran
    int total = 0;
    int running = 0;                   // jobs running now
    std::optional<qint64> secondsLeft; // nothing until the run has a pace
};

// Each job's share is its output length: the one the encoder reported, else the planned one
// (from the probed length), else the mean of the others. The time left is the running jobs' own
// estimates plus the waiting jobs' lengths at the pace a job has kept so far, shared among the
// jobs that run at once (parallel), and never less than the longest running job's own.
RunFigures runFigures(const QList<JobStatus> &statuses, const QList<qint64> &plannedSeconds,
                      const QDateTime &now, int parallel = 1);

// "%45 · 3/8 · kalan 00:04:10", numbers in the user's locale; with several jobs running,
// "%45 · 3/8 · 2 iş sürüyor · kalan 00:04:10"; without the time left while it is unknown.
QString runCaption(const RunFigures &figures, const QLocale &locale = QLocale());

// "2,4x": the encoder's speed with one decimal in the user's locale.
QString speedText(double speed, const QLocale &locale = QLocale());

} // namespace fulmaro
