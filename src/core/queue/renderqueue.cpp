#include "core/queue/renderqueue.h"

#include <QEventLoop>

namespace fulmaro {

RenderQueue::RenderQueue(QList<RenderJob> jobs, QueueOptions options, QObject *parent)
    : QObject(parent)
    , m_jobs(std::move(jobs))
    , m_status(m_jobs.size())
    , m_options(std::move(options))
    , m_progress(m_options.timeStart, m_options.timeEnd, m_options.speedPercent)
{
}

// A run still going is a child: deleting it ends the encoder's tree.
RenderQueue::~RenderQueue() = default;

void RenderQueue::start()
{
    if (m_started)
        return;
    m_started = true;
    m_abort = false;
    m_current = -1;
    // Queued, so the caller sees the run start before the first job is looked at.
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

void RenderQueue::stop()
{
    m_abort = true;
    // The running encoder is ended now, not only when it next prints something.
    if (m_run && m_run->isRunning())
        m_run->stop();
}

bool RenderQueue::runAll()
{
    if (!m_started) {
        QEventLoop loop;
        connect(this, &RenderQueue::finished, &loop, &QEventLoop::quit);
        start();
        loop.exec();
    }
    for (const JobStatus &status : m_status) {
        if (status.state != JobState::Succeeded)
            return false;
    }
    return true;
}

void RenderQueue::next()
{
    const int index = m_current + 1;
    if (index >= m_jobs.size()) {
        m_current = -1;
        m_finished = true;
        Q_EMIT finished();
        return;
    }
    m_current = index;
    Q_EMIT jobStarting(index);
    // Pending events (a repaint, a click on the stop button) are handled before the check.
    QMetaObject::invokeMethod(this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
}

void RenderQueue::checkAndRun(int index)
{
    if (toolCheck && !toolCheck(index))
        m_abort = true;
    JobStatus &status = m_status[index];
    if (m_abort) {
        status.state = JobState::Skipped;
        Q_EMIT jobFinished(index);
        QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
        return;
    }
    const RenderJob &job = m_jobs.at(index);
    // A copy that cannot be made shows as the encoder's failure to open it.
    makeScratchCopies(job.copies);
    m_progress.reset();
    status.state = JobState::Running;
    status.started = clock();
    auto *run = new ToolRun(renderCommandLine(m_options.encoderPath, job), m_options.workDir,
                            [this](const QString &piece, bool &stop) { onOutput(piece, stop); },
                            this);
    m_run = run;
    connect(run, &ToolRun::done, this, &RenderQueue::onDone);
    Q_EMIT jobStarted(index);
    run->start();
}

void RenderQueue::onOutput(const QString &piece, bool &stop)
{
    if (m_current < 0)
        return;
    JobStatus &status = m_status[m_current];
    const RenderProgress::Step step = m_progress.feed(piece);
    status.expectedSeconds = m_progress.expectedSeconds();
    if (step.progress) {
        status.percent = step.percent;
        status.progressAt = clock();
        status.elapsedSeconds = status.started.secsTo(status.progressAt);
        status.positionSeconds = step.positionExact;
        if (step.speed)
            status.speed = step.speed;
        Q_EMIT jobProgress(m_current);
    }
    if (m_abort)
        stop = true;
}

void RenderQueue::onDone()
{
    ToolRun *run = m_run;
    if (!run || m_current < 0)
        return;
    const RunResult &result = run->result();
    JobStatus &status = m_status[m_current];
    status.ended = clock();
    // The real span, so a job that runs across midnight shows how long it took.
    status.elapsedSeconds = std::max<qint64>(0, status.started.secsTo(status.ended));
    status.runEnd = result.end;
    status.exitCode = result.exitCode;
    switch (result.end) {
    case RunEnd::Succeeded:
        status.state = JobState::Succeeded;
        status.percent = 100;
        break;
    case RunEnd::Stopped:
        status.state = JobState::Stopped;
        break;
    case RunEnd::Failed:
    case RunEnd::Crashed:
    case RunEnd::FailedToStart: {
        status.state = JobState::Failed;
        QStringList tail;
        for (qsizetype i = result.lines.size() - 1; i >= 0 && tail.size() < failureLines; --i) {
            if (!result.lines.at(i).trimmed().isEmpty())
                tail.prepend(result.lines.at(i));
        }
        status.lastLines = tail;
        break;
    }
    }
    m_run = nullptr;
    run->deleteLater();
    const int index = m_current;
    Q_EMIT jobFinished(index);
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

} // namespace fulmaro
