#include "core/runner/toolrun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QDir>
#include <QFile>

#include <csignal>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <QDir>
#endif

namespace fulmaro {

#ifdef Q_OS_UNIX
namespace {
// A background run takes only the processor time nothing else wants. This is done here, after the
// start, and not in the child before its exec: QProcess waits for that exec, and a child already
// in the idle class can wait long for a processor on a busy machine, holding the interface
// thread all that time. The nice value covers the whole group, now and whatever it starts later;
// the idle class is given to the interpreter and to the tool it may already have started.
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

namespace {
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

ToolRun::ToolRun(QString commandLine, QString workDir, OutputCallback callback, QObject *parent)
    : QObject(parent)
    , m_commandLine(std::move(commandLine))
    , m_workDir(std::move(workDir))
    , m_callback(std::move(callback))
    , m_decoder(QStringDecoder::System)
{}

ToolRun::~ToolRun()
{
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
}

QString ToolRun::interpreter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("cmd.exe");
#else
    return QStringLiteral("/bin/sh");
#endif
}

QStringList ToolRun::interpreterArguments(const QString &commandLine)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("/C"), commandLine};
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
    m_process->setNativeArguments(QStringLiteral("/C ") + m_commandLine);
#else
    m_process->setArguments(interpreterArguments(m_commandLine));
    // A process group of its own: stopping the run ends exactly this tree.
    m_process->setChildProcessModifier([] { ::setsid(); });
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
    m_process->start();
    m_pid = m_process->processId();
#ifdef Q_OS_UNIX
    if (m_background && m_pid > 0)
        lowerPriority(m_pid);
#endif
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
    killTree();
}

void ToolRun::killTree()
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

void ToolRun::finish(RunEnd end, int exitCode)
{
    if (m_finished || m_reaping)
        return;
#ifdef Q_OS_UNIX
    if (m_stopRequested && m_pid > 0 && groupHasLiveMembers(m_pid)) {
        // The interpreter is gone; its killed children may take a moment longer. A stop is
        // reported once the whole tree has ended, so nothing keeps writing the job's output; the
        // event loop goes on meanwhile.
        m_reaping = true;
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        auto polls = std::make_shared<int>(0);
        connect(timer, &QTimer::timeout, this, [this, timer, polls, end, exitCode] {
            if (groupHasLiveMembers(m_pid) && ++*polls < 600)
                return;
            timer->stop();
            timer->deleteLater();
            complete(end, exitCode);
        });
        timer->start();
        return;
    }
#endif
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
