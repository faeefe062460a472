#pragma once

#include "core/runner/linesplitter.h"

#include <QObject>
#include <QProcess>
#include <QStringDecoder>

#include <atomic>
#include <functional>
#include <memory>

namespace fulmaro {

// How a tool run ended.
enum class RunEnd {
    Succeeded,     // normal exit with code 0
    Failed,        // normal exit with another code
    Crashed,       // killed by a signal or crashed
    FailedToStart, // the interpreter could not be started (missing working folder, ...)
    Stopped,       // stopped on request; its process tree has been ended
};

struct RunResult
{
    QStringList lines;
    int exitCode = -1;
    RunEnd end = RunEnd::FailedToStart;

    bool succeeded() const { return end == RunEnd::Succeeded; }
};

// Receives every decoded piece of output as it arrives. Setting stop to true ends the run.
// The size of a piece is whatever the pipe delivered; callers never rely on it.
using OutputCallback = std::function<void(const QString &piece, bool &stop)>;

// One run of a command line through the system's command interpreter, with standard output and
// standard error merged. The child runs in a process group of its own (a job object on Windows),
// so stopping it ends the interpreter, the tool and everything they started, and nothing else.
// The process is started on the tool thread and then handed back, so the start never holds the
// caller's thread; its output and its end are read on the caller's thread.
class ToolRun : public QObject
{
    Q_OBJECT
public:
    explicit ToolRun(QString commandLine, QString workDir, OutputCallback callback = {},
                     QObject *parent = nullptr);
    ~ToolRun() override;

    // Before start(): run the tool at the lowest scheduling priority, so it only takes the
    // processor time that other work leaves (probing ahead while an encoder runs).
    void setBackground(bool background) { m_background = background; }

    // Returns at once; processId() is known once the tool thread has started the process.
    void start();
    // Ends the child's process tree; done() follows once the whole tree has gone.
    void stop();

    bool isRunning() const { return m_started && !m_finished; }
    bool isFinished() const { return m_finished; }
    const RunResult &result() const { return m_result; }
    RunResult takeResult() { return std::move(m_result); }
    qint64 processId() const;
    const QString &commandLine() const { return m_commandLine; }

    // The interpreter and the arguments that run a command line on this platform.
    static QString interpreter();
    static QStringList interpreterArguments(const QString &commandLine);

Q_SIGNALS:
    void done();

private:
    void readOutput();
    void finish(RunEnd end, int exitCode);
    void complete(RunEnd end, int exitCode);
    void killTree();
    // Whether a process of the run's tree is still running.
    bool treeAlive() const;

    struct Launch;

    QString m_commandLine;
    QString m_workDir;
    OutputCallback m_callback;
    std::unique_ptr<QProcess> m_process;
    std::shared_ptr<Launch> m_launch;
    QStringDecoder m_decoder;
    QString m_text;
    LineSplitter m_splitter;
    RunResult m_result;
    bool m_background = false;
    bool m_started = false;
    bool m_stopRequested = false;
    bool m_finished = false;
    bool m_reaping = false; // the interpreter has ended; waiting for the rest of its stopped tree
};

// Runs one command line and waits for its end while the event loop keeps running, so the
// interface stays responsive even while the tool prints nothing. taskName only tells the reader
// of a call which tool it runs: no process is ever looked up by its name, and stopping ends the
// run's own process tree.
RunResult getDosOutput(const QString &taskName, const QString &commandLine, const QString &workDir,
                       const OutputCallback &onDosProgress = {});

} // namespace fulmaro
