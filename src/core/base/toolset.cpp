#include "core/base/toolset.h"

#include "tooldigests.h"

#include <QCryptographicHash>
#include <QFile>

namespace fulmaro {

ToolSet ToolSet::configured(const QString &binDir)
{
    ToolSet t;
    t.binDir = binDir;
#ifdef Q_OS_WIN
    t.ffMpeg = QStringLiteral("ffmpeg.exe");
    t.ffPlay = QStringLiteral("ffplay.exe");
    t.ffProbe = QStringLiteral("ffprobe.exe");
#else
    t.ffMpeg = QStringLiteral("ffmpeg");
    t.ffPlay = QStringLiteral("ffplay");
    t.ffProbe = QStringLiteral("ffprobe");
#endif
    t.ffMpegDigest = QString::fromLatin1(digests::ffMpeg);
    t.ffPlayDigest = QString::fromLatin1(digests::ffPlay);
    t.ffProbeDigest = QString::fromLatin1(digests::ffProbe);
    return t;
}

QString fileDigest(const QString &path, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file)) {
        if (errorText)
            *errorText = file.errorString();
        return {};
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

ToolCheck ToolSet::check(const QString &fileName, QString *errorText) const
{
    if (fileName.trimmed().isEmpty())
        return ToolCheck::UnknownName;
    const QString *expected = nullptr;
    if (fileName == ffMpeg)
        expected = &ffMpegDigest;
    else if (fileName == ffPlay)
        expected = &ffPlayDigest;
    else if (fileName == ffProbe)
        expected = &ffProbeDigest;
    else
        return ToolCheck::UnknownName;

    QString error;
    const QString digest = fileDigest(path(fileName), &error);
    if (digest.isEmpty()) {
        if (errorText)
            *errorText = error;
        return ToolCheck::CannotOpen;
    }
    // Exact text comparison: the same digest in lower case would not be equal.
    return digest == *expected ? ToolCheck::Ok : ToolCheck::Mismatch;
}

bool ToolSet::verify(const QString &fileName, QString *message) const
{
    QString error;
    message->clear();
    switch (check(fileName, &error)) {
    case ToolCheck::Ok:
        return true;
    case ToolCheck::UnknownName:
        break;
    case ToolCheck::Mismatch:
        *message = QStringLiteral("FFMpeg dosya versiyonları uyumsuz!");
        break;
    case ToolCheck::CannotOpen:
        *message = QStringLiteral("%1 dosyası açılamadı: %2").arg(path(fileName), error);
        break;
    }
    return false;
}

} // namespace fulmaro
