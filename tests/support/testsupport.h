#pragma once

// Shared by the tests: a work folder of their own, and the real tools linked into its Bin.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

namespace testsupport {

// Points the shared data folder at a fresh temporary folder for the whole test program, so
// the work folder is <tmp>/Fulmaro/. Call before anything asks for the work folders.
inline QString isolateDataHome()
{
    static QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    return dir.path();
}

// Links the tools from the folder the build was pointed at into binDir.
inline bool linkRealTools(const QString &binDir)
{
    QDir().mkpath(binDir);
    for (const char *tool : {"ffmpeg", "ffprobe", "ffplay"}) {
        const QString target = QStringLiteral(TOOLS_DIR "/") + QLatin1String(tool);
        const QString link = binDir + QLatin1String(tool);
        QFile::remove(link);
        if (!QFile::link(target, link))
            return false;
    }
    return true;
}

// Runs a program and waits for it: true when it ended well.
inline bool runCommand(const QString &program, const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

// Whether a process with this id still exists (zombies count as gone).
inline bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z';
}

// The ids of the processes the system lists now.
inline QList<qint64> processIds()
{
    QList<qint64> ids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number)
            ids << pid;
    }
    return ids;
}

// Whether a live process's command line mentions the text.
inline bool processMentions(const QByteArray &text)
{
    for (const qint64 pid : processIds()) {
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains(text) && processAlive(pid))
            return true;
    }
    return false;
}

// Whether a running process of this process group is left (zombies count as gone).
inline bool groupAlive(qint64 group)
{
    for (const qint64 pid : processIds()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // state, parent, group, ... after the name in parentheses
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toLongLong() == group && fields.at(0) != "Z" &&
            processAlive(pid))
            return true;
    }
    return false;
}

// Makes a test clip with the encoder's own test sources: a counting picture at 30 frames a
// second, with a tone unless sound is false. mpeg4 keeps it quick to make and to decode.
inline bool makeClip(const QString &path, int seconds, bool sound = true,
                     const QString &size = QStringLiteral("320x240"))
{
    QStringList args{"-v",
                     "error",
                     "-y",
                     "-f",
                     "lavfi",
                     "-i",
                     QStringLiteral("testsrc=size=%1:rate=30:duration=%2").arg(size).arg(seconds)};
    if (sound)
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("sine=duration=%1").arg(seconds) << "-c:a"
             << "aac"
             << "-shortest";
    args << "-c:v"
         << "mpeg4" << path;
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"), args);
    return p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The length of a media file as the probe reports it; -1 when it cannot be read.
inline double probedSeconds(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffprobe"),
            {"-v", "error", "-show_entries", "format=duration", "-of", "default=nw=1:nk=1", path});
    p.waitForFinished(60000);
    bool ok = false;
    const double seconds = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok && p.exitCode() == 0 ? seconds : -1;
}

struct ShellRun
{
    int exitCode = -1; // -1 also when it did not end in time or crashed
    QString output;    // standard output and error together
};

// Runs a command line through the interpreter, as the program's runner does, and waits for it.
inline ShellRun runShell(const QString &commandLine, const QString &workDir, int timeoutMs = 180000)
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    ShellRun run;
    if (!process.waitForFinished(timeoutMs))
        return run;
    run.output = QString::fromLocal8Bit(process.readAll());
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

} // namespace testsupport
