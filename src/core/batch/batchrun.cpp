#include "core/batch/batchrun.h"

#include "core/batch/runjournal.h"
#include "core/batch/sourceprober.h"
#include "core/desktop/desktopnotifier.h"
#include "core/desktop/sleepinhibitor.h"
#include "core/queue/renderjobs.h"
#include "core/render/commandbuilder.h"
#include "core/render/presets.h"
#include "core/runner/toolcheck.h"

#include <QFileInfo>

#include <cmath>

namespace fulmaro {

namespace {

bool trims(const RenderSettings &settings)
{
    return settings.edTimeStart > 0 || settings.edTimeEnd > 0;
}

QueueOptions queueOptions(const BatchSetup &setup)
{
    QueueOptions options;
    options.encoderPath = setup.tools.path(setup.tools.ffMpeg);
    options.workDir = setup.folders.tempDir;
    options.timeStart = setup.settings.edTimeStart;
    options.timeEnd = setup.settings.edTimeEnd;
    options.speedPercent = setup.settings.tbVideoSpeed;
    options.resumeSegments = !setup.fresh;
    return options;
}

} // namespace

BatchRun::BatchRun(BatchSetup setup, QList<VideoItem> items, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_items(std::move(items))
    , m_sleepLock(std::make_unique<SleepInhibitor>())
{
    for (const VideoItem &item : std::as_const(m_items))
        m_sources.append(item.caption);
}

BatchRun::BatchRun(BatchSetup setup, QStringList files, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_sources(std::move(files))
    , m_sleepLock(std::make_unique<SleepInhibitor>())
{
    // With a trim every file is needed before the run, two at a time; else one ahead of the
    // renders, which keep the processor first.
    m_prober = std::make_unique<SourceProber>(m_setup.tools, m_setup.folders.workDir, m_sources,
                                              trims(m_setup.settings) ? 2 : 1);
    connect(m_prober.get(), &SourceProber::progressed, this, [this] {
        if (m_phase == Phase::Scan)
            scanned();
        else if (m_phase == Phase::Run)
            provideKnownJobs();
    });
}

// The queue's running job is ended with its tree when the queue goes, as a child of this. A run
// still going when its owner goes keeps its journal, as a killed one does.
BatchRun::~BatchRun() = default;

void BatchRun::setJournal(std::unique_ptr<RunJournal> journal, const QString &key)
{
    if (m_phase != Phase::Ready)
        return;
    m_journal = std::move(journal);
    m_journalPath = m_journal ? m_journal->path() : QString();
    m_journalKey = key;
}

void BatchRun::setDoneBefore(const QList<int> &indices, const QString &notice)
{
    if (m_phase != Phase::Ready)
        return;
    for (const int index : indices)
        m_doneBefore.insert(index, notice.isEmpty()
                                       ? QStringLiteral("Yarım kalan işlemde tamamlanmıştı.")
                                       : notice);
}

void BatchRun::setNotices(const QMap<int, QString> &notices)
{
    if (m_phase == Phase::Ready)
        m_notices = notices;
}

void BatchRun::retryOf(const BatchRun &earlier)
{
    if (m_phase != Phase::Ready || !earlier.queue() || earlier.count() != count())
        return;
    m_kept.clear();
    for (int index = 0; index < count(); ++index) {
        const JobStatus &status = earlier.queue()->status(index);
        if (status.state != JobState::Failed && status.state != JobState::Stopped)
            m_kept.insert(index, status);
    }
}

BatchRun *BatchRun::retry(QObject *parent) const
{
    if (m_phase != Phase::Done || m_prober || !m_queue)
        return nullptr;
    bool any = false;
    for (int index = 0; index < count(); ++index) {
        const JobState state = m_queue->status(index).state;
        any = any || state == JobState::Failed || state == JobState::Stopped;
    }
    if (!any)
        return nullptr;
    auto *again = new BatchRun(m_setup, m_items, parent);
    again->toolCheck = toolCheck;
    again->noticeWanted = noticeWanted;
    again->retryOf(*this);
    // A crash during the second run loses nothing either.
    if (!m_journalPath.isEmpty()) {
        auto journal = std::make_unique<RunJournal>(m_journalPath);
        if (journal->lock())
            again->setJournal(std::move(journal), m_journalKey);
    }
    return again;
}

namespace {

QString journalState(JobState state)
{
    switch (state) {
    case JobState::Waiting:
        return QStringLiteral("bekliyor");
    case JobState::Running:
        return QStringLiteral("çalışıyor");
    case JobState::Succeeded:
        return QStringLiteral("tamam");
    case JobState::Failed:
        return QStringLiteral("hata");
    case JobState::Stopped:
        return QStringLiteral("durduruldu");
    case JobState::Skipped:
        break;
    }
    return QStringLiteral("çalıştırılmadı");
}

} // namespace

JournalData BatchRun::outcome() const
{
    JournalData data;
    data.key = m_journalKey;
    data.outputFolder = m_setup.outputFolder;
    data.settings = presetText(m_setup.settings);
    data.created = QDateTime::currentDateTimeUtc();
    for (int index = 0; index < count() && index < m_outputs.size(); ++index) {
        JournalJob job = journalJob(m_sources.at(index), m_outputs.at(index));
        job.state = recordedState(index);
        data.jobs.append(job);
    }
    return data;
}

void BatchRun::writeJournal()
{
    if (!m_journal || !m_queue)
        return;
    // The sources' sizes and times are those the run began with; later writes change only the
    // jobs' states, without looking at every source again.
    if (m_journalData.jobs.isEmpty()) {
        m_journalData.key = m_journalKey;
        m_journalData.outputFolder = m_setup.outputFolder;
        m_journalData.settings = presetText(m_setup.settings);
        m_journalData.created = QDateTime::currentDateTimeUtc();
        for (int index = 0; index < count(); ++index)
            m_journalData.jobs.append(journalJob(m_sources.at(index), m_outputs.at(index)));
    }
    for (int index = 0; index < count(); ++index)
        m_journalData.jobs[index].state = recordedState(index);
    m_journal->write(m_journalData);
}

QString BatchRun::recordedState(int index) const
{
    const JobState state = m_queue ? m_queue->status(index).state : JobState::Waiting;
    // A job done before is done, from before its turn comes.
    return state == JobState::Waiting && m_doneBefore.contains(index) ? QStringLiteral("tamam")
                                                                      : journalState(state);
}

const VideoItem *BatchRun::item(int index) const
{
    if (!m_prober)
        return index >= 0 && index < m_items.size() ? &m_items.at(index) : nullptr;
    return m_prober->known(index);
}

InputProblem BatchRun::check() const
{
    QList<VideoItem> known;
    for (int index = 0; index < count(); ++index) {
        if (const VideoItem *row = item(index))
            known.append(*row);
    }
    return checkRenderInput(known, m_setup.settings, m_setup.outputFolder);
}

bool BatchRun::start()
{
    if (m_phase != Phase::Ready)
        return m_phase != Phase::Done;
    // The folder may have gone, or stopped taking files, since the input was checked.
    InputProblem problem = check();
    if (!problem.isProblem())
        problem = checkOutputFolder(m_setup.outputFolder);
    if (problem.isProblem()) {
        Q_EMIT refused(problem);
        return false;
    }
    m_stopped = false;
    if (m_prober && trims(m_setup.settings)) {
        setPhase(Phase::Scan);
        m_prober->start();
        scanned();
        return true;
    }
    runJobs();
    return true;
}

void BatchRun::stop()
{
    if (m_phase == Phase::Done)
        return;
    m_stopped = true;
    if (m_prober)
        m_prober->abandon();
    if (m_sizes)
        m_sizes->stop();
    if (m_phase == Phase::Scan) {
        finish();
        return;
    }
    if (m_queue)
        m_queue->stop(m_interrupted);
}

void BatchRun::interrupt()
{
    m_interrupted = true;
    stop();
}

void BatchRun::setPhase(Phase phase)
{
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
}

void BatchRun::scanned()
{
    for (int index = 0; index < count(); ++index) {
        if (!item(index))
            return;
    }
    // Every length is known: a trim that leaves nothing of one of them refuses the whole run.
    if (const InputProblem problem = check(); problem.isProblem()) {
        Q_EMIT refused(problem);
        finish();
        return;
    }
    runJobs();
}

void BatchRun::runJobs()
{
    setPhase(Phase::Run);
    m_outputs =
        renderOutputPaths(m_sources, outputExtension(m_setup.settings), m_setup.outputFolder);
    QList<RenderJob> jobs;
    for (int index = 0; index < count(); ++index) {
        RenderJob placeholder;
        placeholder.name = m_sources.at(index);
        placeholder.outputPath = m_outputs.at(index);
        placeholder.position = index;
        jobs.append(placeholder);
    }
    QueueOptions options = queueOptions(m_setup);
    // Every job keeps off every source, and off the outputs written before it.
    options.guarded = std::make_shared<GuardedFiles>();
    for (const QString &source : std::as_const(m_sources))
        options.guarded->add(source);
    m_queue = new RenderQueue(jobs, options, this);
    m_queue->setObjectName(QStringLiteral("RenderQueue"));
    // Decided from the rows known now: every row in the window, the first probed ones here.
    QList<const VideoItem *> known;
    for (int index = 0; index < count(); ++index)
        known.append(item(index));
    m_plan = planRun(m_setup.settings, known, count());
    m_queue->setParallel(m_plan.jobs);
    for (int index = 0; index < count(); ++index)
        m_queue->setPending(index);
    m_queue->toolCheck = [this](int) {
        if (toolCheck)
            return toolCheck();
        QString message;
        return verifyTool(m_setup.tools, m_setup.tools.ffMpeg, &message);
    };
    connect(m_queue, &RenderQueue::jobStarting, this, &BatchRun::jobStarting);
    connect(m_queue, &RenderQueue::jobStarted, this, &BatchRun::jobStarted);
    connect(m_queue, &RenderQueue::jobProgress, this, &BatchRun::jobProgress);
    connect(m_queue, &RenderQueue::jobFinished, this, &BatchRun::jobFinished);
    connect(m_queue, &RenderQueue::finished, this, &BatchRun::finish);
    for (auto done = m_doneBefore.cbegin(); done != m_doneBefore.cend(); ++done) {
        if (done.key() >= 0 && done.key() < count())
            m_queue->markDone(done.key(), done.value());
    }
    for (auto kept = m_kept.cbegin(); kept != m_kept.cend(); ++kept)
        m_queue->keepResult(kept.key(), kept.value());
    for (auto notice = m_notices.cbegin(); notice != m_notices.cend(); ++notice) {
        if (notice.key() >= 0 && notice.key() < count())
            m_queue->setNotice(notice.key(), notice.value());
    }
    // The journal follows every job's start and end.
    connect(m_queue, &RenderQueue::jobStarted, this, &BatchRun::writeJournal);
    connect(m_queue, &RenderQueue::jobFinished, this, &BatchRun::writeJournal);
    writeJournal();
    // The machine stays awake until the last job is done.
    m_sleepLock->hold();
    provideKnownJobs();
    if (m_prober)
        m_prober->start();
    m_queue->start();
}

void BatchRun::provideKnownJobs()
{
    if (!m_queue)
        return;
    BuildFolders folders = BuildFolders::from(m_setup.folders, m_setup.tools);
    folders.endClips = endClips();
    for (int index = 0; index < count(); ++index) {
        const VideoItem *known = item(index);
        if (!known || !m_queue->isPending(index))
            continue;
        RenderJob job =
            buildRenderJob(*known, index, m_setup.settings, folders, m_outputs.at(index));
        job.threads = m_plan.threads;
        m_queue->provideJob(index, std::move(job));
    }
}

SizeEstimator *BatchRun::estimateSizes()
{
    if (m_sizes)
        return m_sizes;
    m_sizes = new SizeEstimator(count(), m_setup.settings, m_setup.folders, m_setup.tools, this);
    m_sizes->setObjectName(QStringLiteral("SizeEstimator"));
    m_sizes->setEndClips(endClips());
    if (m_prober)
        connect(m_prober.get(), &SourceProber::progressed, m_sizes,
                [this] { provideKnownSizes(); });
    provideKnownSizes();
    return m_sizes;
}

void BatchRun::provideKnownSizes()
{
    for (int index = 0; m_sizes && index < count(); ++index) {
        if (const VideoItem *known = item(index))
            m_sizes->provide(index, *known);
    }
}

std::optional<qint64> BatchRun::writtenBytes(int index) const
{
    if (!m_queue || index < 0 || index >= count() ||
        m_queue->status(index).state != JobState::Succeeded)
        return std::nullopt;
    const QFileInfo output(m_queue->job(index).outputPath);
    if (!output.isFile())
        return std::nullopt;
    return output.size();
}

QList<qint64> BatchRun::plannedSeconds() const
{
    QList<qint64> planned;
    for (int index = 0; index < count(); ++index) {
        const VideoItem *known = item(index);
        const qint64 seconds = known ? plannedOutputSeconds(*known, m_setup.settings) : 0;
        planned << (seconds > 0 ? seconds + std::llround(endClips().seconds()) : 0);
    }
    return planned;
}

const EndClips &BatchRun::endClips() const
{
    if (!m_endClips)
        m_endClips =
            probeEndClips(m_setup.settings, m_setup.folders.introDir, m_setup.folders.outroDir,
                          m_setup.tools, m_setup.folders.workDir);
    return *m_endClips;
}

BatchTotals BatchRun::totals() const
{
    BatchTotals totals;
    for (int index = 0; index < count(); ++index) {
        const JobState state = m_queue ? m_queue->status(index).state : JobState::Waiting;
        totals.succeeded += state == JobState::Succeeded ? 1 : 0;
        totals.failed += state == JobState::Failed ? 1 : 0;
    }
    totals.notRun = count() - totals.succeeded - totals.failed;
    totals.stopped = m_stopped || (m_queue && m_queue->stopRequested());
    return totals;
}

void BatchRun::finish()
{
    if (m_phase == Phase::Done)
        return;
    m_sleepLock->release();
    // The run has ended as runs do (done, failed or stopped): nothing is left to continue. An
    // interrupted one leaves its journal, unlocked, for the next run of the batch.
    if (m_journal && !m_interrupted)
        m_journal->remove();
    m_journal.reset();
    setPhase(Phase::Done);
    // Said once, and only to someone who is looking elsewhere.
    if (noticeWanted && noticeWanted()) {
        const BatchTotals sum = totals();
        const RunNotice notice = runEndNotice(sum.succeeded, sum.failed, sum.notRun, sum.stopped);
        DesktopNotifier().notify(notice.summary, notice.body);
    }
    Q_EMIT finished();
}

} // namespace fulmaro
