#include "core/runner/toolrun.h"

#include "core/runner/toolthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#endif
#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>
#endif

namespace fulmaro {

#ifdef Q_OS_UNIX
namespace {
// A background run takes only the processor time nothing else wants. This is done here, after the
// start, and not in the child before its exec: the start waits for that exec, and a child
// already in the idle class can wait long for a processor on a busy machine. The nice value covers
// the whole group, now and whatever it starts later; the idle class is given to the interpreter and
// to the tool it may already have started.
void lowerPriority(qint64 group)
{
    ::setpriority(PRIO_PGRP, id_t(group), 19);
#ifdef SCHED_IDLE
    const sched_param param{};
    ::sched_setscheduler(pid_t(group), SCHED_IDLE, &param);
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(group));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray &child : children.readAll().split(' ')) {
            if (const pid_t pid = pid_t(child.trimmed().toLongLong()); pid > 0)
                ::sched_setscheduler(pid, SCHED_IDLE, &param);
        }
    }
#endif
}

#ifdef Q_OS_LINUX
// The read end of a pipe whose write end only this program holds (open, never written, until the
// program ends): reading it gives end-of-file once the program has ended, however it ended.
int programLifeline()
{
    static const int readEnd = [] {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return -1;
        return ends[0];
    }();
    return readEnd;
}

// Runs in the new child before it becomes the interpreter, so only system calls. A tool must not
// outlive the program: killed with SIGKILL, the program can end nothing, and the interpreter,
// the encoder and the player, each in the run's own session, would go on writing. So the child
// leaves a watcher in its group: a tiny shell that reads the lifeline and kills the whole group
// when the program has gone. The watcher dies with the child (the parent's death signal, which
// survives its exec), so it never outlives the run. The death signal alone would reach only the
// interpreter, not the tools it starts. vfork: the watcher shares the memory until its exec, so
// starting it copies none of the program's pages.
void leaveWatcher(int lifeline)
{
    if (lifeline < 0)
        return;
    const pid_t group = ::getpid();
    if (::vfork() != 0)
        return; // the child goes on to run the tool (unwatched if the watcher did not start)
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != group)
        ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (::dup2(lifeline, 0) != 0 || null < 0 || ::dup2(null, 1) != 1 || ::dup2(null, 2) != 2)
        ::_exit(0);
    // The group is the child's: the watcher's parent while it lives.
    static const char *const argv[] = {"sh", "-c", "read x; kill -9 -$PPID", nullptr};
    static const char *const envp[] = {nullptr};
    ::execve("/bin/sh", const_cast<char *const *>(argv), const_cast<char *const *>(envp));
    ::_exit(0);
}
#endif

// Whether a process of the group is still running (zombies waiting to be reaped do not count).
bool groupHasLiveMembers(qint64 group)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // pid (name) state ppid pgrp ...; the name may hold blanks and parentheses.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z")
            return true;
    }
    return false;
}
} // namespace
#endif

#ifdef Q_OS_WIN
namespace {
// A job object holds the run's whole tree: the interpreter, the tool and whatever they start.
// Closing its last handle ends whatever is still in it, so no tree outlives its run; a
// background run's job holds its processes at the idle priority.
HANDLE createJob(bool background)
{
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (background) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PRIORITY_CLASS;
        limits.BasicLimitInformation.PriorityClass = IDLE_PRIORITY_CLASS;
    }
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// Whether a process of the job is still running.
bool jobHasLiveMembers(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                     nullptr))
        return false;
    return info.ActiveProcesses > 0;
}
} // namespace
#endif

namespace {
// Ends the process tree of a started run: its process group on Unix, everything below the
// interpreter on Windows.
void killProcessTree(QProcess *process, qint64 pid, void *job)
{
    if (pid <= 0)
        return;
#ifdef Q_OS_UNIX
    Q_UNUSED(process)
    Q_UNUSED(job)
    ::kill(-static_cast<pid_t>(pid), SIGKILL);
#else
    if (job) {
        ::TerminateJobObject(job, 1);
        return;
    }
    QProcess::startDetached(
        QStringLiteral("taskkill.exe"),
        {QStringLiteral("/F"), QStringLiteral("/T"), QStringLiteral("/PID"), QString::number(pid)});
    process->kill();
#endif
}

// Keeps the processes of run objects deleted while their tool was still running until the killed
// tree has been reaped, so deleting a run never waits on it. Whatever is left when the program
// ends is waited for then; it has been killed already, so that takes no time.
class ProcessReaper : public QObject
{
public:
    using QObject::QObject;
    ~ProcessReaper() override
    {
        for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly))
            process->waitForFinished(5000);
    }
    void adopt(QProcess *process)
    {
        process->setParent(this);
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        if (process->state() == QProcess::NotRunning)
            process->deleteLater();
    }
};

ProcessReaper *processReaper()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    static QPointer<ProcessReaper> reaper;
    if (!reaper)
        reaper = new ProcessReaper(app);
    return reaper;
}
} // namespace

// Shared by a run and the start on the tool thread. The lock is held for the whole start, so the
// run sees the process either not yet started (and can still cancel it) or started and back on
// its own thread.
struct ToolRun::Launch
{
    QMutex lock;
    std::atomic<qint64> pid = 0;
    bool home = false;      // started and handed back to the run's thread
    bool abandoned = false; // the run went first: the start deletes the process unstarted
    bool stop = false;      // a stop came first: the start ends the tree at once
#ifdef Q_OS_WIN
    HANDLE job = nullptr; // the job object holding the tree
#endif
};

ToolRun::ToolRun(QString commandLine, QString workDir, OutputCallback callback, QObject *parent)
    : QObject(parent)
    , m_commandLine(std::move(commandLine))
    , m_workDir(std::move(workDir))
    , m_callback(std::move(callback))
    , m_decoder(QStringDecoder::System)
{}

ToolRun::~ToolRun()
{
    if (m_launch) {
        const QMutexLocker lock(&m_launch->lock);
        if (!m_launch->home) {
            m_process->disconnect(this);
            m_launch->abandoned = true;
            static_cast<void>(m_process.release()); // the start deletes it
            return;
        }
    }
    if (isRunning()) {
        // Never leave a tool running behind a run object that is gone.
        m_callback = {};
        killTree();
        if (m_process) {
            m_process->disconnect(this);
            if (ProcessReaper *reaper = processReaper())
                reaper->adopt(m_process.release());
            else
                m_process->waitForFinished(5000);
        }
    }
#ifdef Q_OS_WIN
    // Whatever is still in the job ends with its last handle.
    if (m_launch && m_launch->job)
        ::CloseHandle(m_launch->job);
#endif
}

QString ToolRun::interpreter()
{
#ifdef Q_OS_WIN
    // The system's own cmd.exe: a bare name would be looked for in the program's and the
    // working folder first.
    wchar_t system[MAX_PATH];
    const UINT size = ::GetSystemDirectoryW(system, MAX_PATH);
    if (size == 0 || size >= MAX_PATH)
        return QStringLiteral("cmd.exe");
    return QString::fromWCharArray(system, int(size)) + QStringLiteral("\\cmd.exe");
#else
    return QStringLiteral("/bin/sh");
#endif
}

QStringList ToolRun::interpreterArguments(const QString &commandLine)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("/D"), QStringLiteral("/V:OFF"), QStringLiteral("/S"),
            QStringLiteral("/C"), QLatin1Char('"') + commandLine + QLatin1Char('"')};
#else
    return {QStringLiteral("-c"), commandLine};
#endif
}

void ToolRun::start()
{
    if (m_started)
        return;
    m_started = true;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setWorkingDirectory(m_workDir);
    m_process->setProgram(interpreter());
#ifdef Q_OS_WIN
    // /D: no AutoRun commands of the registry (their output would mix with the tool's);
    // /V:OFF: no delayed expansion, so a "!" in a file name is a letter; /S /C "line": the line
    // runs exactly as it stands between the outer quotes, whatever quotes it starts with.
    m_process->setNativeArguments(interpreterArguments(m_commandLine).join(QLatin1Char(' ')));
#else
    m_process->setArguments(interpreterArguments(m_commandLine));
    // A process group of its own: stopping the run ends exactly this tree.
#ifdef Q_OS_LINUX
    m_process->setChildProcessModifier([lifeline = programLifeline()] {
        ::setsid();
        leaveWatcher(lifeline);
    });
#else
    m_process->setChildProcessModifier([] { ::setsid(); });
#endif
#endif
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &ToolRun::readOutput);
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(RunEnd::FailedToStart, -1);
    });
    connect(m_process.get(), &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                readOutput();
                if (m_stopRequested)
                    finish(RunEnd::Stopped, exitCode);
                else if (status == QProcess::CrashExit)
                    finish(RunEnd::Crashed, exitCode);
                else
                    finish(exitCode == 0 ? RunEnd::Succeeded : RunEnd::Failed, exitCode);
            });
    auto launch = std::make_shared<Launch>();
    m_launch = launch;
    QProcess *process = m_process.get();
    QThread *home = thread();
    const bool background = m_background;
    process->moveToThread(toolThread());
    QMetaObject::invokeMethod(
        process,
        [process, launch, home, background] {
            const QMutexLocker lock(&launch->lock);
            if (launch->abandoned) {
                delete process;
                return;
            }
#ifdef Q_OS_WIN
            // The interpreter starts suspended and joins the run's job before it runs, so
            // everything it starts is in the job too, and a stop ends exactly that tree.
            launch->job = createJob(background);
            PROCESS_INFORMATION *started = nullptr;
            if (launch->job) {
                process->setCreateProcessArgumentsModifier(
                    [&started](QProcess::CreateProcessArguments *args) {
                        args->flags |= CREATE_SUSPENDED;
                        started = args->processInformation;
                    });
            }
#endif
            process->start();
            const qint64 pid = process->processId();
            launch->pid = pid;
#ifdef Q_OS_WIN
            if (started && process->state() != QProcess::NotRunning) {
                if (!::AssignProcessToJobObject(launch->job, started->hProcess)) {
                    // Not in the job (an old system refusing nested jobs): stops fall back on
                    // taskkill.
                    ::CloseHandle(launch->job);
                    launch->job = nullptr;
                }
                ::ResumeThread(started->hThread);
            }
            void *job = launch->job;
#else
            void *job = nullptr;
#endif
            if (launch->stop)
                killProcessTree(process, pid, job);
#ifdef Q_OS_UNIX
            else if (background && pid > 0)
                lowerPriority(pid);
#else
            Q_UNUSED(background)
#endif
            process->moveToThread(home);
            launch->home = true;
        },
        Qt::QueuedConnection);
}

qint64 ToolRun::processId() const
{
    return m_launch ? m_launch->pid.load() : 0;
}

void ToolRun::readOutput()
{
    if (!m_process || m_finished)
        return;
    const QByteArray bytes = m_process->readAllStandardOutput();
    if (bytes.isEmpty() || m_stopRequested)
        return;
    // Decode into one reused buffer: a fresh buffer per read would cost a page fault for every
    // page of output.
    const qsizetype room = m_decoder.requiredSpace(bytes.size());
    if (m_text.capacity() < room)
        m_text.reserve(room);
    m_text.resize(room);
    QChar *end = m_decoder.appendToBuffer(m_text.data(), bytes);
    m_text.resize(end - m_text.constData());
    const QString visible = m_splitter.feed(m_text);
    if (m_callback && !visible.isEmpty()) {
        bool stop = false;
        QPointer<ToolRun> self(this);
        m_callback(visible, stop);
        if (!self)
            return;
        if (stop)
            this->stop();
    }
}

void ToolRun::stop()
{
    if (!isRunning() || m_stopRequested)
        return;
    m_stopRequested = true;
    if (m_launch) {
        const QMutexLocker lock(&m_launch->lock);
        if (!m_launch->home) {
            m_launch->stop = true;
            return;
        }
    }
    killTree();
}

void ToolRun::killTree()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
#ifdef Q_OS_WIN
    killProcessTree(m_process.get(), processId(), m_launch ? m_launch->job : nullptr);
#else
    killProcessTree(m_process.get(), processId(), nullptr);
#endif
}

bool ToolRun::treeAlive() const
{
#ifdef Q_OS_UNIX
    return processId() > 0 && groupHasLiveMembers(processId());
#elif defined(Q_OS_WIN)
    return m_launch && m_launch->job && jobHasLiveMembers(m_launch->job);
#else
    return false;
#endif
}

void ToolRun::finish(RunEnd end, int exitCode)
{
    if (m_finished || m_reaping)
        return;
    if (m_stopRequested && treeAlive()) {
        // The interpreter is gone; its killed children may take a moment longer. A stop is
        // reported once the whole tree has ended, so nothing keeps writing the job's output; the
        // event loop goes on meanwhile.
        m_reaping = true;
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        auto polls = std::make_shared<int>(0);
        connect(timer, &QTimer::timeout, this, [this, timer, polls, end, exitCode] {
            if (treeAlive() && ++*polls < 600)
                return;
            timer->stop();
            timer->deleteLater();
            complete(end, exitCode);
        });
        timer->start();
        return;
    }
    complete(end, exitCode);
}

void ToolRun::complete(RunEnd end, int exitCode)
{
    m_finished = true;
    if (m_stopRequested && end != RunEnd::FailedToStart)
        end = RunEnd::Stopped;
    // Whatever the decoder still holds (an incomplete character) is not text; drop it.
    m_splitter.finish();
    m_result.lines = m_splitter.takeLines();
    m_result.exitCode = exitCode;
    m_result.end = end;
    Q_EMIT done();
}

RunResult getDosOutput(const QString &taskName, const QString &commandLine, const QString &workDir,
                       const OutputCallback &onDosProgress)
{
    Q_UNUSED(taskName) // the run ends its own process tree; no name-based kill is needed
    ToolRun run(commandLine, workDir, onDosProgress);
    QEventLoop loop;
    QObject::connect(&run, &ToolRun::done, &loop, &QEventLoop::quit);
    run.start();
    if (!run.isFinished())
        loop.exec();
    return run.takeResult();
}

} // namespace fulmaro
