#include "core/queue/renderqueue.h"

#include "core/queue/jobreason.h"
#include "core/queue/outputfiles.h"

#include "core/runner/tooloutput.h"
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

namespace fulmaro {

RenderQueue::RenderQueue(QList<RenderJob> jobs, QueueOptions options, QObject *parent)
    : QObject(parent)
    , m_jobs(std::move(jobs))
    , m_status(m_jobs.size())
    , m_pending(m_jobs.size(), false)
    , m_options(std::move(options))
    , m_progress(m_options.timeStart, m_options.timeEnd, m_options.speedPercent)
{}

RenderQueue::~RenderQueue()
{
    // A job still running is ended with its whole tree, and its unfinished output goes with it.
    if (m_run) {
        delete m_run.data();
        if (m_current >= 0 && !m_status.at(m_current).partPath.isEmpty())
            QFile::remove(m_status.at(m_current).partPath);
        if (m_current >= 0)
            removePassLogs(m_jobs.at(m_current));
    }
    m_partLock.reset();
}

void RenderQueue::start()
{
    if (m_started)
        return;
    m_started = true;
    m_abort = false;
    m_current = -1;
    if (!m_options.guarded) {
        m_options.guarded = std::make_shared<GuardedFiles>();
        for (const RenderJob &job : std::as_const(m_jobs))
            m_options.guarded->add(job.name);
    }
    // Queued, so the caller sees the run start before the first job is looked at.
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

void RenderQueue::setPending(int index)
{
    if (!m_started)
        m_pending[index] = true;
}

void RenderQueue::provideJob(int index, RenderJob job)
{
    if (!m_pending.at(index))
        return;
    m_jobs[index] = std::move(job);
    m_pending[index] = false;
    if (m_waitingFor == index) {
        m_waitingFor = -1;
        QMetaObject::invokeMethod(
            this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
    }
}

void RenderQueue::stop()
{
    m_abort = true;
    // A job still waiting to be built is not waited for any longer.
    if (m_waitingFor >= 0) {
        const int index = std::exchange(m_waitingFor, -1);
        QMetaObject::invokeMethod(
            this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
    }
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
    QMetaObject::invokeMethod(
        this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
}

void RenderQueue::endWithoutRun(int index, JobState state)
{
    m_status[index].state = state;
    Q_EMIT jobFinished(index);
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

void RenderQueue::checkAndRun(int index)
{
    if (m_pending.at(index) && !m_abort && !m_halted) {
        m_waitingFor = index;
        Q_EMIT jobWanted(index);
        return;
    }
    JobStatus &status = m_status[index];
    // A row that cannot be rendered fails at once with its reason; the run goes on.
    if (!m_abort && !m_halted && !m_jobs.at(index).refusal.isEmpty()) {
        status.started = status.ended = clock();
        status.reason = m_jobs.at(index).refusal;
        endWithoutRun(index, JobState::Failed);
        return;
    }
    if (m_abort || m_halted) {
        endWithoutRun(index, JobState::Skipped);
        return;
    }
    if (toolCheck && !toolCheck(index)) {
        // The check has said why; the rest of the run would only say it again.
        m_halted = true;
        status.reason = encoderCheckFailedText();
        endWithoutRun(index, JobState::Skipped);
        return;
    }
    if (!prepareJob(index)) {
        status.started = status.ended = clock();
        endWithoutRun(index, JobState::Failed);
        return;
    }
    const RenderJob &job = m_jobs.at(index);
    // A copy that cannot be made shows as the encoder's failure to open it.
    makeScratchCopies(job.copies);
    status.state = JobState::Running;
    status.started = clock();
    // A log left by an earlier run of the same output would be read as this one's.
    removePassLogs(job);
    if (!job.firstPass.isEmpty()) {
        status.pass = 1;
        runPass(index, firstPassCommandLine(m_options.encoderPath, job));
    } else {
        runPass(index, renderCommandLine(m_options.encoderPath, job, status.partPath));
    }
    Q_EMIT jobStarted(index);
}

void RenderQueue::runPass(int index, const QString &commandLine)
{
    m_progress.reset();
    m_progress.setAddedSeconds(m_jobs.at(index).clipSeconds);
    auto *run = new ToolRun(
        commandLine, m_options.workDir,
        [this](const QString &piece, bool &stop) { onOutput(piece, stop); }, this);
    m_run = run;
    connect(run, &ToolRun::done, this, &RenderQueue::onDone);
    run->start();
}

void RenderQueue::removePassLogs(const RenderJob &job) const
{
    if (job.passLog.isEmpty())
        return;
    // The encoders add their own endings: "-0.log", ".log", ".log.cutree", ".log.mbtree", and
    // ".temp" while they write.
    const QDir folder(m_options.workDir.isEmpty() ? QDir::currentPath() : m_options.workDir);
    const QStringList logs =
        folder.entryList({job.passLog + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString &log : logs)
        QFile::remove(folder.filePath(log));
}

bool RenderQueue::prepareJob(int index)
{
    JobStatus &status = m_status[index];
    const RenderJob &job = m_jobs.at(index);
    // A source deleted or locked away since it was listed fails here, not in the encoder.
    status.reason = jobInputProblem(job);
    if (!status.reason.isEmpty())
        return false;
    // Said now rather than after the whole encode.
    if (const OutputFault fault = existingOutputFault(job.outputPath); fault != OutputFault::None) {
        status.reason = outputFaultText(fault);
        return false;
    }
    if (m_options.guarded && m_options.guarded->reaches(job.outputPath)) {
        status.reason = overwriteRefusedText();
        return false;
    }
    // The scratch folder may have been cleaned away since the run began.
    if (!m_options.workDir.isEmpty())
        QDir().mkpath(m_options.workDir);
    PartFile part = createPartFile(job.outputPath, m_options.workDir);
    if (part.path.isEmpty()) {
        status.reason = outputFaultText(part.fault, part.errorText);
        return false;
    }
    if (!part.removedLeftover.isEmpty())
        status.notice = leftoverRemovedText(part.removedLeftover);
    status.partPath = part.path;
    m_partLock = std::move(part.lock);
    return true;
}

QString RenderQueue::finishedOutputProblem(const JobStatus &status, const RenderJob &job) const
{
    // The source may have come to be reached by the output's name while the job ran (a link, a
    // folder moved into place); never replace it.
    if (m_options.guarded && m_options.guarded->reaches(job.outputPath))
        return overwriteRefusedText();
    if (const OutputFault fault = existingOutputFault(job.outputPath); fault != OutputFault::None)
        return outputFaultText(fault);
    // The encoder ends well on a source that stops early (a cut-off download, a card pulled
    // out while copying): its output is as short as what was there.
    if (job.plannedSeconds > 0 && status.percent)
        return shortOutputText(status.positionSeconds, job.plannedSeconds);
    return QString();
}

void RenderQueue::onOutput(const QString &piece, bool &stop)
{
    if (m_current < 0)
        return;
    JobStatus &status = m_status[m_current];
    const RenderProgress::Step step = m_progress.feed(piece);
    status.expectedSeconds = m_progress.expectedSeconds();
    if (step.progress) {
        // Each of two passes is half the job.
        status.percent = status.pass == 1   ? step.percent / 2
                         : status.pass == 2 ? 50 + step.percent / 2
                                            : step.percent;
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

namespace {

QString endText(const RunResult &result)
{
    switch (result.end) {
    case RunEnd::Crashed:
        return QStringLiteral("Kodlayıcı çöktü.");
    case RunEnd::FailedToStart:
        return QStringLiteral("Kodlayıcı başlatılamadı.");
    default:
        return QStringLiteral("Kodlayıcı %1 çıkış koduyla bitti.").arg(result.exitCode);
    }
}

} // namespace

void RenderQueue::onDone()
{
    ToolRun *run = m_run;
    if (!run || m_current < 0)
        return;
    const RunResult &result = run->result();
    JobStatus &status = m_status[m_current];
    const RenderJob &job = m_jobs.at(m_current);
    // The first pass has measured the video; the second writes it.
    QString measureProblem;
    if (status.pass == 1 && result.end == RunEnd::Succeeded && !m_abort) {
        // The second line takes what the first measured (the loudness).
        const QString second = secondPassCommandLine(m_options.encoderPath, job, status.partPath,
                                                     result.lines, &measureProblem);
        if (!second.isEmpty()) {
            m_run = nullptr;
            run->deleteLater();
            status.pass = 2;
            runPass(m_current, second);
            return;
        }
    }
    // A stop that came as the first pass ended leaves nothing to finish.
    const RunEnd end = !measureProblem.isEmpty()                             ? RunEnd::Failed
                       : status.pass == 1 && result.end == RunEnd::Succeeded ? RunEnd::Stopped
                                                                             : result.end;
    status.pass = 0;
    status.ended = clock();
    // The real span, so a job that runs across midnight shows how long it took.
    status.elapsedSeconds = std::max<qint64>(0, status.started.secsTo(status.ended));
    status.runEnd = end;
    status.exitCode = result.exitCode;
    // What went wrong, without the encoder's banner and progress; when it said nothing of use,
    // how it ended.
    auto keepTail = [&] {
        status.lastLines = lastMeaningfulLines(result.lines, failureLines);
        if (status.lastLines.isEmpty())
            status.lastLines << endText(result);
    };
    switch (end) {
    case RunEnd::Succeeded: {
        if (const QString problem = finishedOutputProblem(status, job); !problem.isEmpty()) {
            // The render is kept for the user to look at, under its temporary name.
            status.state = JobState::Failed;
            status.partKept = QFileInfo::exists(status.partPath);
            status.reason = problem;
            if (status.partKept)
                status.reason += QLatin1Char(' ') + keptPartText(status.partPath);
            break;
        }
        // Only now does the output take its final name, replacing an older file in one step.
        QString error;
        OutputFault fault = OutputFault::None;
        if (QFileInfo::exists(status.partPath))
            fault = replaceFile(status.partPath, job.outputPath, &error);
        else if (!QFileInfo(QFileInfo(job.outputPath).absolutePath()).isDir())
            fault = OutputFault::FolderMissing;
        if (fault == OutputFault::None && QFileInfo::exists(job.outputPath)) {
            status.state = JobState::Succeeded;
            status.percent = 100;
            if (m_options.guarded)
                m_options.guarded->add(job.outputPath);
        } else {
            // The encoder did its part; what failed is the file's last step, and the reason
            // says which.
            status.state = JobState::Failed;
            status.reason = fault == OutputFault::None
                                ? QStringLiteral("Kodlayıcının yazdığı dosya bulunamadı.")
                                : outputFaultText(fault, error);
        }
        break;
    }
    case RunEnd::Stopped:
        status.state = JobState::Stopped;
        break;
    case RunEnd::Failed:
    case RunEnd::Crashed:
    case RunEnd::FailedToStart: {
        status.state = JobState::Failed;
        keepTail();
        const JobReason reason = encoderFailureReason(result.end, result.exitCode, result.lines,
                                                      job.name, status.partPath);
        status.reason = measureProblem.isEmpty() ? reason.text : measureProblem;
        if (reason.endsRun && measureProblem.isEmpty())
            m_halted = true;
        break;
    }
    }
    if (status.state != JobState::Succeeded && !status.partKept && !status.partPath.isEmpty())
        QFile::remove(status.partPath);
    removePassLogs(job);
    m_partLock.reset();
    m_run = nullptr;
    run->deleteLater();
    const int index = m_current;
    Q_EMIT jobFinished(index);
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

} // namespace fulmaro
