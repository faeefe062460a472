#include "core/runner/toolprocess.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QProcess>
#include <QSemaphore>
#include <QThread>

#ifdef Q_OS_UNIX
#include <QFile>

#include <csignal>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fulmaro {

namespace {

#ifdef Q_OS_UNIX
// A background run takes only the processor time nothing else wants. This is done here, after the
// start, and not in the child before its exec: the start waits for that exec, and a child already
// in the idle class can wait long for a processor on a busy machine. The nice value covers the
// whole group, now and whatever it starts later; the idle class is given to the interpreter and to
// the tool it may already have started.
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
#endif

// Owns the tool processes. Whatever is still here when the thread ends (runs whose owner is gone,
// runs still going when the program quits) is ended and reaped then, on this thread.
class ToolThread : public QThread
{
public:
    ToolThread() { setObjectName(QStringLiteral("tools")); }
    QObject *home() const { return m_home; }
    void startAndWait()
    {
        start();
        m_ready.acquire();
    }

protected:
    void run() override
    {
        QObject home;
        m_home = &home;
        m_ready.release();
        exec();
        m_home = nullptr;
    }

private:
    QObject *m_home = nullptr;
    QSemaphore m_ready;
};

QMutex toolThreadLock;
ToolThread *runningToolThread = nullptr;

void endToolThread()
{
    const QMutexLocker lock(&toolThreadLock);
    if (!runningToolThread)
        return;
    runningToolThread->quit();
    runningToolThread->wait();
    delete runningToolThread;
    runningToolThread = nullptr;
}

// Ends the thread when the program ends without an application object going first.
struct ToolThreadEnd
{
    ~ToolThreadEnd() { endToolThread(); }
};

} // namespace

QThread *ToolProcess::toolThread()
{
    static ToolThreadEnd atExit;
    const QMutexLocker lock(&toolThreadLock);
    if (!runningToolThread) {
        runningToolThread = new ToolThread;
        runningToolThread->startAndWait();
        static bool postRoutineAdded = false;
        if (!postRoutineAdded && QCoreApplication::instance()) {
            postRoutineAdded = true;
            qAddPostRoutine(endToolThread);
        }
    }
    return runningToolThread;
}

ToolProcess::ToolProcess(QString commandLine, QString workDir, bool background)
    : m_commandLine(std::move(commandLine))
    , m_workDir(std::move(workDir))
    , m_background(background)
{}

ToolProcess::~ToolProcess()
{
    // Never leave a tool running behind: the process object's own end only kills the interpreter.
    killTree();
}

void ToolProcess::release()
{
    m_released.store(true);
    QMetaObject::invokeMethod(this, &ToolProcess::abandon, Qt::QueuedConnection);
}

void ToolProcess::start()
{
    if (auto *thread = dynamic_cast<ToolThread *>(QThread::currentThread()); thread && !parent())
        setParent(thread->home());
    // Released before its start came round: the run is gone, nothing to start.
    if (m_released.load())
        return;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setWorkingDirectory(m_workDir);
    m_process->setProgram(interpreter());
#ifdef Q_OS_WIN
    m_process->setNativeArguments(QStringLiteral("/C ") + m_commandLine);
#else
    m_process->setArguments(interpreterArguments(m_commandLine));
    // A process group of its own: stopping the run ends exactly this tree.
    m_process->setChildProcessModifier([] { ::setsid(); });
#endif
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ToolProcess::readOutput);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            report(Exit::FailedToStart, -1);
    });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                readOutput();
                report(status == QProcess::CrashExit ? Exit::Crashed : Exit::Normal, exitCode);
            });
    m_process->start();
    m_pid = m_process->processId();
    if (m_pid > 0) {
#ifdef Q_OS_UNIX
        if (m_background)
            lowerPriority(m_pid);
#endif
        Q_EMIT started(m_pid);
    }
}

QString ToolProcess::interpreter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("cmd.exe");
#else
    return QStringLiteral("/bin/sh");
#endif
}

QStringList ToolProcess::interpreterArguments(const QString &commandLine)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("/C"), commandLine};
#else
    return {QStringLiteral("-c"), commandLine};
#endif
}

void ToolProcess::readOutput()
{
    if (!m_process || m_ended)
        return;
    const QByteArray bytes = m_process->readAllStandardOutput();
    if (!bytes.isEmpty() && !m_released.load())
        Q_EMIT output(bytes);
}

void ToolProcess::killTree()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
#ifdef Q_OS_UNIX
    if (m_pid > 0)
        ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
#else
    QProcess::startDetached(QStringLiteral("taskkill.exe"),
                            {QStringLiteral("/F"), QStringLiteral("/T"), QStringLiteral("/PID"),
                             QString::number(m_pid)});
    m_process->kill();
#endif
}

void ToolProcess::abandon()
{
    killTree();
    if (!m_process || m_process->state() == QProcess::NotRunning)
        deleteLater();
    // Otherwise the end of the killed interpreter deletes this (see report).
}

void ToolProcess::report(Exit exit, int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_released.load())
        deleteLater();
    else
        Q_EMIT ended(exit, exitCode);
}

} // namespace fulmaro
