#pragma once

// Small clips made at test time with the encoder's test sources, and a probe stand-in.

#include <QFile>
#include <QProcess>
#include <QString>

namespace clips {

// A clip of the given length and size at 30 frames a second, with a tone when withAudio.
inline bool make(const QString &path, double seconds, const QString &size, bool withAudio)
{
    const QString d = QString::number(seconds);
    QStringList args = {QStringLiteral("-v"),
                        QStringLiteral("error"),
                        QStringLiteral("-y"),
                        QStringLiteral("-f"),
                        QStringLiteral("lavfi"),
                        QStringLiteral("-i"),
                        QStringLiteral("testsrc=size=%1:rate=30:duration=%2").arg(size, d)};
    if (withAudio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=duration=%1").arg(d);
    args << QStringLiteral("-c:v") << QStringLiteral("mpeg4");
    if (withAudio)
        args << QStringLiteral("-c:a") << QStringLiteral("aac");
    // The container by name, whatever the spelling of the extension.
    const QString lower = path.toLower();
    args << QStringLiteral("-f")
         << (lower.endsWith(QLatin1String(".mkv")) ? QStringLiteral("matroska")
                                                   : QStringLiteral("mp4"))
         << path;
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"), args);
    return p.waitForFinished(60000) && p.exitCode() == 0 && QFile::exists(path);
}

// Puts the probe stand-in into binDir under the probe's name.
inline bool installFakeProbe(const QString &binDir)
{
    const QString target = binDir + QStringLiteral("ffprobe");
    QFile::remove(target);
    return QFile::link(QStringLiteral(FAKE_FFPROBE), target);
}

} // namespace clips
