#pragma once

#include "core/queue/outputfiles.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderprogress.h"
#include "core/runner/toolrun.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace fulmaro {

enum class JobState {
    Waiting, // not reached yet
    Running,
    Succeeded, // the encoder ended well
    Failed,    // the encoder could not start, exited with an error or crashed
    Stopped,   // ended by a stop request
    Skipped,   // not run: the run was stopped, the tool check failed or the encoder is gone
};

struct JobStatus
{
    JobState state = JobState::Waiting;
    QDateTime started;
    QDateTime ended;
    qint64 expectedSeconds = 0;    // the output's length, once the encoder has reported it
    std::optional<qint64> percent; // the last progress; 100 once the job has succeeded
    qint64 elapsedSeconds = 0;     // while running: up to the last progress; then start to end
    RunEnd runEnd = RunEnd::FailedToStart;
    int exitCode = -1;
    QStringList lastLines;       // the end of the encoder's output when the job failed
    QString reason;              // why a failed or skipped job gave no output, in Turkish
    QString partPath;            // the temporary name the encoder writes to while it runs
    bool partKept = false;       // a failed job's output left under partPath for the user
    QString notice;              // something the user should know of a job that ran, in Turkish
    double positionSeconds = 0;  // the output time the encoder last reported, with its fraction
    QDateTime progressAt;        // when that report came
    std::optional<double> speed; // the encoder's speed in that report
    int pass = 0; // of a two-pass job while it runs: 1 or 2; each pass is half the progress
    // Of a job written in segments while it runs: the segment being encoded, or the segments'
    // count while they are joined; -1 otherwise.
    int segment = -1;
};

struct QueueOptions
{
    QString encoderPath; // the encoder file (tools folder + name)
    QString workDir;     // the scratch folder the encoder runs in; also holds the output locks
    // Files no output may replace: the run's sources, and outputs as they are written. Shared by
    // the queues of one run; made from the jobs' sources when not given.
    std::shared_ptr<GuardedFiles> guarded;
    // Render settings the expected length depends on.
    qint64 timeStart = 0;
    qint64 timeEnd = 0;
    int speedPercent = 100;
    // A long encode goes on from the segments an earlier run of the same job left.
    bool resumeSegments = true;
};

// Runs render jobs through the tool runner, following each job's progress: one after another, or
// several at once, started in list order. Signal-driven: start() returns at once, finished()
// follows the last job. Needs an event loop (the application's, or runAll()'s own) but no window.
class RenderQueue : public QObject
{
    Q_OBJECT
public:
    RenderQueue(QList<RenderJob> jobs, QueueOptions options, QObject *parent = nullptr);
    ~RenderQueue() override;

    // Asked before each job while the run goes on: false skips the job and ends the run, so a
    // failing check is asked (and shows its message) once.
    std::function<bool(int index)> toolCheck;
    // The clock the times come from.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // How many lines of a failed job's output are kept.
    int failureLines = 12;

    // Before start(): how many jobs run at once (1 by default).
    void setParallel(int jobs);
    int parallel() const { return m_parallel; }

    // Before start(): the job was done by an earlier run of the same batch; it is not run again
    // and counts as succeeded, with the notice.
    void markDone(int index, const QString &notice);
    // Before start(): the job keeps the outcome an earlier run of this batch gave it and is not
    // run ("Yeniden Dene" runs only the failed and stopped jobs again).
    void keepResult(int index, const JobStatus &status);

    // Before start(): something the user should know of the job before it runs (why it runs
    // again); shown as its notice.
    void setNotice(int index, const QString &notice);
    // Before start(): the job at index is not built yet (its source is still being probed); the
    // queue waits for provideJob() when its turn comes, and asks for it with jobWanted().
    void setPending(int index);
    // Gives a pending job; its turn may already have come.
    void provideJob(int index, RenderJob job);
    bool isPending(int index) const { return m_pending.at(index); }

    void start();
    // Ends one running job's process tree (it counts as stopped, "Atlandı"); the run goes on
    // with the next jobs. False when the job is not running.
    bool skip(int index);
    // Skips the remaining jobs and ends every running job's process tree. keepSegments: the
    // segments of a stopped encode stay for a later run to go on from (the program is being
    // ended, not the run given up).
    void stop(bool keepSegments = false);
    // start(), then waits for finished() in a local event loop. True when every job succeeded.
    bool runAll();

    bool isStarted() const { return m_started; }
    bool isRunning() const { return m_started && !m_finished; }
    bool isFinished() const { return m_finished; }
    bool stopRequested() const { return m_abort; }
    // The run ended early without a stop: the encoder failed its check or could not be found.
    bool halted() const { return m_halted; }

    int count() const { return int(m_jobs.size()); }
    const RenderJob &job(int index) const { return m_jobs.at(index); }
    const JobStatus &status(int index) const { return m_status.at(index); }
    // The jobs being run or checked, in list order.
    QList<int> activeIndices() const;
    // The first of them, or -1.
    int currentIndex() const;
    // A running job's encoder, or null.
    ToolRun *run(int index) const;
    ToolRun *currentRun() const { return run(currentIndex()); }
    // A running job's output so far (empty for any other).
    const RenderProgress &progress(int index) const;
    const RenderProgress &progress() const { return progress(currentIndex()); }

Q_SIGNALS:
    // The job's turn has come; its check follows after pending events have been handled.
    void jobStarting(int index);
    // The job's turn has come but it is still pending.
    void jobWanted(int index);
    void jobStarted(int index);
    void jobProgress(int index);
    void jobFinished(int index);
    void finished();

private:
    // An encoder at work for one job.
    struct Running
    {
        explicit Running(const QueueOptions &options)
            : progress(options.timeStart, options.timeEnd, options.speedPercent)
        {}
        QPointer<ToolRun> run;
        RenderProgress progress;
        std::shared_ptr<QLockFile> partLock; // the job's temporary name
        QString segmentFolder;               // of a job written in segments
    };

    // Starts the next jobs while there is room; ends the run after the last.
    void next();
    void checkAndRun(int index);
    // Sees that the source can be read and reserves the temporary output name; false when the
    // job cannot run, with the reason in its status.
    bool prepareJob(int index, Running &running);
    // After the encoder succeeded: why its output must not take the final name, or empty.
    QString finishedOutputProblem(const JobStatus &status, const RenderJob &job) const;
    void endWithoutRun(int index, JobState state);
    // Starts the encoder for the job's current pass; its positions count from offset seconds.
    void runPass(int index, const QString &commandLine, double offset = 0);
    // Readies a job's segment folder; the first segment to encode, or -1 when the job runs as
    // one encode.
    int openSegments(int index);
    // Encodes segment k, or joins the segments once k is their count.
    void runSegment(int index, int k);
    // After segment k's encoder succeeded: it takes its name and the next one starts. False, with
    // the reason in the job's status, when its file could not be kept.
    bool segmentDone(int index);
    // Removes a two-pass job's log files from the working folder.
    void removePassLogs(const RenderJob &job) const;
    // Copies the job's overlay pictures to the scratch folder, once a run: a copy another job's
    // encoder is reading is left alone.
    void makeCopies(const RenderJob &job);
    void onOutput(int index, const QString &piece, bool &stop);
    void onDone(int index);
    void release(int index);

    QList<RenderJob> m_jobs;
    QList<JobStatus> m_status;
    QList<bool> m_pending;
    QList<bool> m_doneBefore;
    QList<bool> m_kept;
    QSet<int> m_waitingFor; // the pending jobs whose turn has come
    QueueOptions m_options;
    std::map<int, std::unique_ptr<Running>> m_running; // by job index
    QList<int> m_active; // jobs taken and not finished: being checked, waited for or run
    QSet<QString> m_copiesMade;
    QSet<int> m_skipped;     // running jobs ended one by one
    QList<int> m_afterCheck; // jobs that came while the tool check was being asked
    bool m_checking = false;
    const RenderProgress m_noProgress;
    int m_next = 0; // the next job to take
    int m_parallel = 1;
    bool m_started = false;
    bool m_finished = false;
    bool m_abort = false;
    bool m_keepSegments = false;
    bool m_halted = false;
};

} // namespace fulmaro
