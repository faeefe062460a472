#include "core/queue/runestimate.h"

#include <algorithm>
#include <cmath>

namespace fulmaro {

std::optional<qint64> jobSecondsLeft(const JobStatus &status, const QDateTime &now)
{
    if (status.state == JobState::Succeeded)
        return 0;
    if (status.state != JobState::Running || status.expectedSeconds <= 0 ||
        status.positionSeconds <= 0 || !status.progressAt.isValid())
        return std::nullopt;
    const double expected = double(status.expectedSeconds);
    const double position = std::min(status.positionSeconds, expected);
    const double took = status.started.msecsTo(status.progressAt) / 1000.0;
    const double since = status.progressAt.msecsTo(now) / 1000.0;
    const double left = took * (expected - position) / position - since;
    return qint64(std::llround(std::max(0.0, left)));
}

namespace {

bool ran(JobState state)
{
    return state == JobState::Running || state == JobState::Succeeded ||
           state == JobState::Failed || state == JobState::Stopped;
}

} // namespace

RunFigures runFigures(const QList<JobStatus> &statuses, const QList<qint64> &plannedSeconds,
                      const QDateTime &now, int parallel)
{
    RunFigures figures;
    const qsizetype count = statuses.size();
    figures.total = int(count);
    if (count == 0)
        return figures;

    // Lengths: reported, planned, or the mean of those known.
    QList<double> length(count, 0.0);
    double knownSum = 0;
    int known = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 reported = statuses.at(i).expectedSeconds;
        const qint64 planned = i < plannedSeconds.size() ? plannedSeconds.at(i) : 0;
        length[i] = reported > 0 ? double(reported) : planned > 0 ? double(planned) : 0.0;
        if (length[i] > 0) {
            knownSum += length[i];
            ++known;
        }
    }
    const double fallback = known > 0 ? knownSum / known : 1.0;
    for (double &value : length) {
        if (value <= 0)
            value = fallback;
    }

    double total = 0, dealt = 0, encoded = 0, wall = 0, waiting = 0;
    QList<qsizetype> running;
    for (qsizetype i = 0; i < count; ++i) {
        const JobStatus &status = statuses.at(i);
        const double reached = std::clamp(status.positionSeconds, 0.0, length[i]);
        total += length[i];
        switch (status.state) {
        case JobState::Waiting:
            waiting += length[i];
            break;
        case JobState::Skipped:
            break;
        case JobState::Running:
            running.append(i);
            dealt += reached;
            encoded += reached;
            wall += std::max<qint64>(0, status.started.msecsTo(now)) / 1000.0;
            break;
        case JobState::Succeeded:
            dealt += length[i];
            encoded += length[i];
            wall += std::max<qint64>(0, status.started.msecsTo(status.ended)) / 1000.0;
            break;
        case JobState::Failed: // over: nothing more to do for it
            dealt += length[i];
            encoded += reached;
            wall += std::max<qint64>(0, status.started.msecsTo(status.ended)) / 1000.0;
            break;
        case JobState::Stopped:
            dealt += reached;
            encoded += reached;
            wall += std::max<qint64>(0, status.started.msecsTo(status.ended)) / 1000.0;
            break;
        }
        if (ran(status.state))
            figures.current = int(i) + 1;
    }
    figures.percent = int(std::clamp(std::floor(100.0 * dealt / total), 0.0, 100.0));
    figures.running = int(running.size());

    if (running.isEmpty() && waiting == 0) {
        figures.secondsLeft = 0; // nothing more will run
        return figures;
    }
    if (encoded <= 0 || wall <= 0)
        return figures;
    const double pace = encoded / wall; // output seconds per second of one job
    double work = waiting / pace;
    double longest = 0;
    for (const qsizetype index : std::as_const(running)) {
        const JobStatus &status = statuses.at(index);
        const std::optional<qint64> own = jobSecondsLeft(status, now);
        const double rest =
            own ? double(*own) : std::max(0.0, length[index] - status.positionSeconds) / pace;
        work += rest;
        longest = std::max(longest, rest);
    }
    const double left = std::max(longest, work / std::max(1, parallel));
    figures.secondsLeft = qint64(std::llround(left));
    return figures;
}

QString runCaption(const RunFigures &figures, const QLocale &locale)
{
    QString text = QLatin1Char('%') + locale.toString(figures.percent) + QStringLiteral(" · ") +
                   locale.toString(figures.current) + QLatin1Char('/') +
                   locale.toString(figures.total);
    if (figures.running > 1)
        text += QStringLiteral(" · %1 iş sürüyor").arg(locale.toString(figures.running));
    if (figures.secondsLeft)
        text += QStringLiteral(" · kalan ") + elapsedText(*figures.secondsLeft, locale);
    return text;
}

QString speedText(double speed, const QLocale &locale)
{
    return locale.toString(speed, 'f', 1) + QLatin1Char('x');
}

} // namespace fulmaro
