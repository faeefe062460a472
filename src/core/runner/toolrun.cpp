#include "core/runner/toolrun.h"

#include "core/runner/toolprocess.h"

#include <QEventLoop>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QDir>
#include <QFile>
#endif

namespace fulmaro {

#ifdef Q_OS_UNIX
namespace {
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

ToolRun::ToolRun(QString commandLine, QString workDir, OutputCallback callback, QObject *parent)
    : QObject(parent)
    , m_commandLine(std::move(commandLine))
    , m_workDir(std::move(workDir))
    , m_callback(std::move(callback))
    , m_decoder(QStringDecoder::System)
{}

ToolRun::~ToolRun()
{
    // Never leave a tool running behind a run object that is gone; its tree is ended on the tool
    // thread, without waiting here.
    releaseProcess();
}

void ToolRun::releaseProcess()
{
    if (ToolProcess *process = m_process) {
        process->disconnect(this);
        process->release();
    }
    m_process = nullptr;
}

QString ToolRun::interpreter()
{
    return ToolProcess::interpreter();
}

QStringList ToolRun::interpreterArguments(const QString &commandLine)
{
    return ToolProcess::interpreterArguments(commandLine);
}

void ToolRun::start()
{
    if (m_started)
        return;
    m_started = true;
    auto *process = new ToolProcess(m_commandLine, m_workDir, m_background);
    process->moveToThread(ToolProcess::toolThread());
    m_process = process;
    connect(process, &ToolProcess::started, this, [this](qint64 pid) { m_pid = pid; });
    connect(process, &ToolProcess::output, this, &ToolRun::readOutput);
    connect(process, &ToolProcess::ended, this, [this](ToolProcess::Exit exit, int exitCode) {
        releaseProcess();
        if (exit == ToolProcess::Exit::FailedToStart)
            finish(RunEnd::FailedToStart, -1);
        else if (m_stopRequested)
            finish(RunEnd::Stopped, exitCode);
        else if (exit == ToolProcess::Exit::Crashed)
            finish(RunEnd::Crashed, exitCode);
        else
            finish(exitCode == 0 ? RunEnd::Succeeded : RunEnd::Failed, exitCode);
    });
    QMetaObject::invokeMethod(process, &ToolProcess::start, Qt::QueuedConnection);
}

void ToolRun::readOutput(const QByteArray &bytes)
{
    if (m_finished || m_stopRequested || bytes.isEmpty())
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
    if (m_process)
        QMetaObject::invokeMethod(m_process, &ToolProcess::killTree, Qt::QueuedConnection);
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
