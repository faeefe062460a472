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

} // namespace testsupport
