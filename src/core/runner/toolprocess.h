#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class QProcess;
class QThread;

namespace fulmaro {

// The process side of a ToolRun. It lives on the tool thread, which starts and reads every tool
// the program runs: starting a process holds the starting thread until the child has become the
// tool, and on a busy machine the child may first wait long for a processor. On the tool thread
// that wait holds no window. Everything it reports reaches the run as queued signals, in order.
class ToolProcess : public QObject
{
    Q_OBJECT
public:
    enum class Exit { Normal, Crashed, FailedToStart };
    Q_ENUM(Exit)

    ToolProcess(QString commandLine, QString workDir, bool background);
    ~ToolProcess() override;

    // The thread tools are started on; created when first asked for, ended when the application
    // object goes (or the program ends).
    static QThread *toolThread();

    // The interpreter and the arguments that run a command line on this platform.
    static QString interpreter();
    static QStringList interpreterArguments(const QString &commandLine);

    // These run on the tool thread; the run calls them through queued calls.
    void start();
    void killTree();

    // From the run's thread: the run no longer listens. The tree is ended, and this deletes
    // itself once its interpreter has been reaped; a start still on its way starts nothing.
    void release();

Q_SIGNALS:
    void started(qint64 pid);
    void output(const QByteArray &bytes);
    void ended(fulmaro::ToolProcess::Exit exit, int exitCode);

private:
    void abandon();
    void readOutput();
    void report(Exit exit, int exitCode);

    QString m_commandLine;
    QString m_workDir;
    QProcess *m_process = nullptr;
    qint64 m_pid = 0;
    bool m_background = false;
    bool m_ended = false;
    std::atomic<bool> m_released = false;
};

} // namespace fulmaro
