#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/batch/runjournal.h"
#include "core/queue/jobplan.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderqueue.h"
#include "core/queue/sizeestimate.h"
#include "core/render/endclips.h"
#include "core/render/rendersettings.h"
#include "core/videolist/videoitem.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace fulmaro {

class RunJournal;
class SleepInhibitor;
class SourceProber;

// What a run renders with.
struct BatchSetup
{
    RenderSettings settings;
    QString outputFolder;
    WorkFolders folders;
    ToolSet tools;
    // Segments of an earlier run's encode that was cut short are not taken up (each job starts
    // from its first frame).
    bool fresh = false;
};

// How a run ended, as both front ends report it.
struct BatchTotals
{
    int succeeded = 0;
    int failed = 0; // refused rows included
    int notRun = 0; // stopped, or skipped after a stop or a failed tool check
    bool stopped = false;
};

// One render run over a batch of sources, in phases: scan (probe the sources not known yet),
// check (input the encoder could only fail on), run (build each job as its source is known and
// render it through the queue), done. It keeps the machine awake while it runs and, where the
// front end wants it, says in a desktop notice how it ended. The window and fulmaro-batch only
// start it, stop it and show what it reports.
class BatchRun : public QObject
{
    Q_OBJECT
public:
    enum class Phase { Ready, Scan, Run, Done };

    // Rows the list has probed already (the window).
    BatchRun(BatchSetup setup, QList<VideoItem> items, QObject *parent = nullptr);
    // Files to probe (the command line): each is probed ahead of its render, so probing
    // overlaps the renders; with a trim, every file is probed first, since the trim is checked
    // against every length before anything runs.
    BatchRun(BatchSetup setup, QStringList files, QObject *parent = nullptr);
    ~BatchRun() override;

    // Before each job: false skips it and ends the run (the check has said why). By default the
    // encoder's check, silently.
    std::function<bool()> toolCheck;
    // At the end: whether to say in a desktop notice how the run ended.
    std::function<bool()> noticeWanted;

    // Before start(): keeps the run's journal (locked by the caller) current from the moment the
    // jobs begin, under this key; a run that ends, however it ends, removes it. A run cut short
    // by a crash or a kill leaves it for the next program to continue.
    void setJournal(std::unique_ptr<RunJournal> journal, const QString &key = QString());
    // Before start(): jobs an earlier run of the same batch did; they are not run again, and their
    // status says so with the notice (by default: done in the run that was cut short). Each call
    // adds to the ones before.
    void setDoneBefore(const QList<int> &indices, const QString &notice = QString());
    // Before start(): what the user should know of jobs before they run (why they run again).
    void setNotices(const QMap<int, QString> &notices);
    // Before start(): a run again of an earlier run's jobs: the jobs that did not fail and were
    // not stopped keep their outcome and are not run.
    void retryOf(const BatchRun &earlier);
    // After the run (rows given, not probed): a new run of the same rows and setup that runs
    // only the failed and stopped jobs again; null when there are none. It keeps its journal
    // where this run kept its own.
    BatchRun *retry(QObject *parent = nullptr) const;
    // After the run: what it did, as a journal holds it (the sources as they are now, each job's
    // state), for the next run of the same batch to leave the done jobs alone.
    JournalData outcome() const;

    // What can be told before anything runs: the bitrate, the trims against every row known, and
    // an output folder that takes no file (a missing one is reported by start()).
    InputProblem check() const;
    // Checks (a missing output folder too) and starts: false, with refused() emitted, when a
    // check fails; the run can then be started again once the input is mended.
    bool start();
    // Ends the probing and the running job; the rest is not run.
    void stop();
    // The same, for a program that is being ended (a shutdown, a scheduler's time limit): the
    // journal and the segments of the encodes cut short stay, so the same batch goes on later.
    void interrupt();

    Phase phase() const { return m_phase; }
    int count() const { return int(m_sources.size()); }
    const QString &source(int index) const { return m_sources.at(index); }
    // The queue, once the run phase has begun.
    RenderQueue *queue() const { return m_queue; }
    // The row of a source, once known.
    const VideoItem *item(int index) const;
    // Each job's planned output length in seconds, 0 while unknown.
    QList<qint64> plannedSeconds() const;
    BatchTotals totals() const;
    bool stopRequested() const { return m_stopped; }
    // How many jobs go at once and with how many threads, decided when the jobs begin.
    const JobPlan &plan() const { return m_plan; }
    // Held while the jobs run, so the machine does not go to sleep.
    SleepInhibitor *sleepLock() const { return m_sleepLock.get(); }
    // Starts working out each job's expected output size, once: the rows known now at once, the
    // others as their probes end. It goes on beside the jobs and ends with a stop or the run.
    SizeEstimator *estimateSizes();
    // The estimates, once asked for.
    SizeEstimator *sizes() const { return m_sizes; }
    // The size of a job's output, once the job has succeeded.
    std::optional<qint64> writtenBytes(int index) const;
    // The intro and outro the settings choose, probed the first time they are asked for.
    const EndClips &endClips() const;

Q_SIGNALS:
    void phaseChanged(fulmaro::BatchRun::Phase phase);
    // A check failed before anything ran.
    void refused(const fulmaro::InputProblem &problem);
    void jobStarting(int index);
    void jobStarted(int index);
    void jobProgress(int index);
    void jobFinished(int index);
    void finished();

private:
    void setPhase(Phase phase);
    void scanned();
    void runJobs();
    void provideKnownJobs();
    void provideKnownSizes();
    void finish();
    void writeJournal();
    // A job's state as the journal writes it.
    QString recordedState(int index) const;

    BatchSetup m_setup;
    QStringList m_sources;
    QList<VideoItem> m_items; // the rows given (the window); empty when probing
    std::unique_ptr<SourceProber> m_prober;
    QStringList m_outputs;
    JobPlan m_plan;
    QPointer<RenderQueue> m_queue;
    QPointer<SizeEstimator> m_sizes;
    std::unique_ptr<SleepInhibitor> m_sleepLock;
    std::unique_ptr<RunJournal> m_journal;
    QString m_journalKey;
    JournalData m_journalData;       // what the journal holds, once written
    QMap<int, QString> m_doneBefore; // index: its notice
    QString m_journalPath;
    QMap<int, QString> m_notices;
    QMap<int, JobStatus> m_kept;
    mutable std::optional<EndClips> m_endClips;
    Phase m_phase = Phase::Ready;
    bool m_stopped = false;
    bool m_interrupted = false;
};

} // namespace fulmaro
