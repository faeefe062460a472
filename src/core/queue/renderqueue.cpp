#include "core/queue/renderqueue.h"

#include "core/queue/jobreason.h"
#include "core/queue/outputfiles.h"
#include "core/queue/segmentfolder.h"

#include "core/runner/tooloutput.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace fulmaro {

RenderQueue::RenderQueue(QList<RenderJob> jobs, QueueOptions options, QObject *parent)
    : QObject(parent)
    , m_jobs(std::move(jobs))
    , m_status(m_jobs.size())
    , m_pending(m_jobs.size(), false)
    , m_doneBefore(m_jobs.size(), false)
    , m_kept(m_jobs.size(), false)
    , m_options(std::move(options))
{}

RenderQueue::~RenderQueue()
{
    // Jobs still running are ended with their whole trees, and their unfinished outputs go with
    // them.
    for (auto &[index, running] : m_running) {
        if (!running->run)
            continue;
        delete running->run.data();
        if (!m_status.at(index).partPath.isEmpty())
            QFile::remove(m_status.at(index).partPath);
        removePassLogs(m_jobs.at(index));
    }
    m_running.clear();
}

void RenderQueue::setParallel(int jobs)
{
    if (!m_started)
        m_parallel = std::max(1, jobs);
}

QList<int> RenderQueue::activeIndices() const
{
    QList<int> active = m_active;
    std::sort(active.begin(), active.end());
    return active;
}

int RenderQueue::currentIndex() const
{
    const QList<int> active = activeIndices();
    return active.isEmpty() ? -1 : active.first();
}

ToolRun *RenderQueue::run(int index) const
{
    const auto found = m_running.find(index);
    return found == m_running.end() ? nullptr : found->second->run.data();
}

const RenderProgress &RenderQueue::progress(int index) const
{
    const auto found = m_running.find(index);
    return found == m_running.end() ? m_noProgress : found->second->progress;
}

void RenderQueue::start()
{
    if (m_started)
        return;
    m_started = true;
    m_abort = false;
    m_next = 0;
    if (!m_options.guarded) {
        m_options.guarded = std::make_shared<GuardedFiles>();
        for (const RenderJob &job : std::as_const(m_jobs))
            m_options.guarded->add(job.name);
    }
    // Queued, so the caller sees the run start before the first job is looked at.
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

void RenderQueue::markDone(int index, const QString &notice)
{
    if (m_started)
        return;
    m_doneBefore[index] = true;
    m_status[index].notice = notice;
}

void RenderQueue::keepResult(int index, const JobStatus &status)
{
    if (m_started)
        return;
    m_kept[index] = true;
    m_status[index] = status;
}

void RenderQueue::setNotice(int index, const QString &notice)
{
    if (!m_started)
        m_status[index].notice = notice;
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
    if (m_waitingFor.remove(index)) {
        QMetaObject::invokeMethod(
            this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
    }
}

void RenderQueue::stop(bool keepSegments)
{
    m_abort = true;
    m_keepSegments = m_keepSegments || keepSegments;
    // Jobs still waiting to be built are not waited for any longer.
    const QSet<int> waiting = std::exchange(m_waitingFor, {});
    for (const int index : waiting) {
        QMetaObject::invokeMethod(
            this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
    }
    // The running encoders are ended now, not only when they next print something.
    for (auto &[index, running] : m_running) {
        if (running->run && running->run->isRunning())
            running->run->stop();
    }
}

bool RenderQueue::skip(int index)
{
    ToolRun *running = run(index);
    if (!running || !running->isRunning())
        return false;
    m_skipped.insert(index);
    running->stop();
    return true;
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
    if (m_finished)
        return;
    // Jobs start in list order: while the next one is still being built, none after it starts.
    // After a stop or a halt the rest are taken at once, to be marked as not run.
    const bool ending = m_abort || m_halted;
    while (m_next < m_jobs.size() && m_waitingFor.isEmpty() &&
           (ending || m_active.size() < m_parallel)) {
        const int index = m_next++;
        m_active.append(index);
        Q_EMIT jobStarting(index);
        // Pending events (a repaint, a click on the stop button) are handled before the check.
        QMetaObject::invokeMethod(
            this, [this, index] { checkAndRun(index); }, Qt::QueuedConnection);
    }
    if (m_next >= m_jobs.size() && m_active.isEmpty()) {
        m_finished = true;
        Q_EMIT finished();
    }
}

void RenderQueue::release(int index)
{
    m_active.removeOne(index);
    Q_EMIT jobFinished(index);
    QMetaObject::invokeMethod(this, &RenderQueue::next, Qt::QueuedConnection);
}

void RenderQueue::endWithoutRun(int index, JobState state)
{
    m_status[index].state = state;
    m_running.erase(index);
    release(index);
}

void RenderQueue::checkAndRun(int index)
{
    if (m_kept.at(index)) {
        if (m_status.at(index).state == JobState::Succeeded && m_options.guarded)
            m_options.guarded->add(m_jobs.at(index).outputPath);
        m_running.erase(index);
        release(index);
        return;
    }
    if (m_doneBefore.at(index)) {
        JobStatus &done = m_status[index];
        done.started = done.ended = clock();
        done.percent = 100;
        if (m_options.guarded)
            m_options.guarded->add(m_jobs.at(index).outputPath);
        endWithoutRun(index, JobState::Succeeded);
        return;
    }
    if (m_pending.at(index) && !m_abort && !m_halted) {
        m_waitingFor.insert(index);
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
    if (toolCheck && m_checking) {
        // One check at a time: the first may be showing its message while jobs wait.
        m_afterCheck.append(index);
        return;
    }
    if (toolCheck) {
        m_checking = true;
        const bool passed = toolCheck(index);
        m_checking = false;
        for (const int waiting : std::exchange(m_afterCheck, {})) {
            QMetaObject::invokeMethod(
                this, [this, waiting] { checkAndRun(waiting); }, Qt::QueuedConnection);
        }
        if (!passed) {
            // The check has said why; the rest of the run would only say it again.
            m_halted = true;
            status.reason = encoderCheckFailedText();
            endWithoutRun(index, JobState::Skipped);
            return;
        }
    }
    auto running = std::make_unique<Running>(m_options);
    if (!prepareJob(index, *running)) {
        status.started = status.ended = clock();
        endWithoutRun(index, JobState::Failed);
        return;
    }
    m_running[index] = std::move(running);
    const RenderJob &job = m_jobs.at(index);
    makeCopies(job);
    status.state = JobState::Running;
    status.started = clock();
    // A log left by an earlier run of the same output would be read as this one's.
    removePassLogs(job);
    if (!job.firstPass.isEmpty()) {
        status.pass = 1;
        runPass(index, firstPassCommandLine(m_options.encoderPath, job));
    } else if (const int first = openSegments(index); first >= 0) {
        runSegment(index, first);
    } else {
        runPass(index, renderCommandLine(m_options.encoderPath, job, status.partPath));
    }
    Q_EMIT jobStarted(index);
}

int RenderQueue::openSegments(int index)
{
    const RenderJob &job = m_jobs.at(index);
    JobStatus &status = m_status[index];
    if (job.segments.isEmpty())
        return -1;
    const QString folder = segmentFolderFor(status.partPath);
    const std::optional<int> done = openSegmentFolder(folder, job, m_options.resumeSegments);
    if (!done)
        return -1;
    m_running.at(index)->segmentFolder = folder;
    if (*done > 0) {
        const QString resumed = QStringLiteral("Yarıda kalan kodlama sürdürüldü: %1 parçanın %2 "
                                               "tanesi hazırdı.")
                                    .arg(job.segments.size())
                                    .arg(*done);
        // The temporary file a killed run left was empty; its encode is in the segments.
        status.notice = resumed;
    }
    return *done;
}

void RenderQueue::runSegment(int index, int k)
{
    const RenderJob &job = m_jobs.at(index);
    JobStatus &status = m_status[index];
    const QString folder = m_running.at(index)->segmentFolder;
    status.segment = k;
    if (k >= job.segments.size()) {
        runPass(index, segmentJoinCommandLine(m_options.encoderPath, job, segmentListPath(folder),
                                              status.partPath));
        return;
    }
    const QString extension = QFileInfo(job.outputPath).suffix();
    runPass(
        index,
        segmentCommandLine(m_options.encoderPath, job, k, segmentWritePath(folder, k, extension)),
        k * job.segmentSeconds);
}

bool RenderQueue::segmentDone(int index)
{
    const RenderJob &job = m_jobs.at(index);
    JobStatus &status = m_status[index];
    const QString folder = m_running.at(index)->segmentFolder;
    const QString extension = QFileInfo(job.outputPath).suffix();
    const QString written = segmentWritePath(folder, status.segment, extension);
    const QString kept = segmentPath(folder, status.segment, extension);
    QFile::remove(kept);
    if (!QFile::rename(written, kept)) {
        status.reason = QStringLiteral("Kodlanan parça saklanamadı: %1").arg(written);
        return false;
    }
    const int next = nextMissingSegment(folder, job, status.segment + 1);
    if (next >= job.segments.size() && !writeSegmentList(folder, job)) {
        status.reason = QStringLiteral("Parçaların listesi yazılamadı: %1").arg(folder);
        return false;
    }
    runSegment(index, next);
    return true;
}

void RenderQueue::runPass(int index, const QString &commandLine, double offset)
{
    Running &running = *m_running.at(index);
    running.progress.reset();
    running.progress.setAddedSeconds(m_jobs.at(index).clipSeconds);
    running.progress.setPositionOffset(offset);
    auto *run = new ToolRun(
        commandLine, m_options.workDir,
        [this, index](const QString &piece, bool &stop) { onOutput(index, piece, stop); }, this);
    running.run = run;
    connect(run, &ToolRun::done, this, [this, index] { onDone(index); });
    run->start();
}

void RenderQueue::makeCopies(const RenderJob &job)
{
    QList<ScratchCopy> wanted;
    for (const ScratchCopy &copy : job.copies) {
        if (!m_copiesMade.contains(copy.destination))
            wanted.append(copy);
    }
    // A copy that cannot be made shows as the encoder's failure to open it, and is tried again
    // for the next job that needs it.
    makeScratchCopies(wanted);
    for (const ScratchCopy &copy : std::as_const(wanted)) {
        if (QFileInfo::exists(copy.destination))
            m_copiesMade.insert(copy.destination);
    }
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

bool RenderQueue::prepareJob(int index, Running &running)
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
    running.partLock = std::move(part.lock);
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

void RenderQueue::onOutput(int index, const QString &piece, bool &stop)
{
    const auto found = m_running.find(index);
    if (found == m_running.end())
        return;
    RenderProgress &progress = found->second->progress;
    JobStatus &status = m_status[index];
    const RenderProgress::Step step = progress.feed(piece);
    // The join reads the segments first: its lengths are not the render's, and its positions
    // matter only for the finished output's length.
    const bool joining = status.segment >= 0 && status.segment >= m_jobs.at(index).segments.size();
    if (joining) {
        if (step.progress)
            status.positionSeconds = step.positionExact;
    } else {
        status.expectedSeconds = progress.expectedSeconds();
    }
    if (step.progress && !joining) {
        // Each of two passes is half the job.
        status.percent = status.pass == 1   ? step.percent / 2
                         : status.pass == 2 ? 50 + step.percent / 2
                                            : step.percent;
        status.progressAt = clock();
        status.elapsedSeconds = status.started.secsTo(status.progressAt);
        status.positionSeconds = step.positionExact;
        if (step.speed)
            status.speed = step.speed;
        Q_EMIT jobProgress(index);
    }
    if (m_abort || m_skipped.contains(index))
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

void RenderQueue::onDone(int index)
{
    const auto found = m_running.find(index);
    if (found == m_running.end() || !found->second->run)
        return;
    ToolRun *run = found->second->run;
    const RunResult &result = run->result();
    JobStatus &status = m_status[index];
    const RenderJob &job = m_jobs.at(index);
    // The first pass has measured the video; the second writes it.
    QString measureProblem;
    if (status.pass == 1 && result.end == RunEnd::Succeeded && !m_abort &&
        !m_skipped.contains(index)) {
        // The second line takes what the first measured (the loudness).
        const QString second = secondPassCommandLine(m_options.encoderPath, job, status.partPath,
                                                     result.lines, &measureProblem);
        if (!second.isEmpty()) {
            found->second->run = nullptr;
            run->deleteLater();
            status.pass = 2;
            runPass(index, second);
            return;
        }
    }
    // A segment done: the next one, or the join after the last.
    QString segmentProblem;
    const bool segmentRun = status.segment >= 0 && status.segment < job.segments.size();
    if (segmentRun && result.end == RunEnd::Succeeded && !m_abort && !m_skipped.contains(index)) {
        found->second->run = nullptr;
        run->deleteLater();
        if (segmentDone(index))
            return;
        segmentProblem = status.reason;
    }
    // A stop that came as the first pass or a segment ended leaves nothing to finish.
    const bool unfinished = (status.pass == 1 || segmentRun) && result.end == RunEnd::Succeeded;
    const RunEnd end = !measureProblem.isEmpty() || !segmentProblem.isEmpty() ? RunEnd::Failed
                       : unfinished                                           ? RunEnd::Stopped
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
        if (m_skipped.contains(index))
            status.reason = QStringLiteral("Atlandı.");
        break;
    case RunEnd::Failed:
    case RunEnd::Crashed:
    case RunEnd::FailedToStart: {
        status.state = JobState::Failed;
        keepTail();
        const JobReason reason = encoderFailureReason(result.end, result.exitCode, result.lines,
                                                      job.name, status.partPath);
        const QString own = !segmentProblem.isEmpty() ? segmentProblem : measureProblem;
        status.reason = own.isEmpty() ? reason.text : own;
        if (reason.endsRun && own.isEmpty())
            m_halted = true;
        break;
    }
    }
    if (status.state != JobState::Succeeded && !status.partKept && !status.partPath.isEmpty())
        QFile::remove(status.partPath);
    removePassLogs(job);
    // Segments are kept only by a run that was cut short (the program killed, the machine off):
    // however this one ended, they are of no more use.
    status.segment = -1;
    if (!(m_keepSegments && status.state == JobState::Stopped))
        removeSegmentFolder(found->second->segmentFolder);
    if (run)
        run->deleteLater();
    // The temporary name's lock goes with it.
    m_running.erase(found);
    release(index);
}

} // namespace fulmaro
