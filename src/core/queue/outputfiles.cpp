#include "core/queue/outputfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fulmaro {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QDir::separator();
}

#ifdef Q_OS_UNIX
QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
#endif

} // namespace

QString partPathFor(const QString &outputPath, int n)
{
    qsizetype nameAt = outputPath.size();
    while (nameAt > 0 && !isSeparator(outputPath.at(nameAt - 1)))
        --nameAt;
    const qsizetype dot = outputPath.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > nameAt ? dot : outputPath.size();
    QString suffix = QStringLiteral(".part");
    if (n > 1)
        suffix += QString::number(n);
    return outputPath.left(cut) + suffix + outputPath.mid(cut);
}

OutputFault outputFaultFromErrno(int error)
{
    switch (error) {
    case 0:
        return OutputFault::None;
    case ENOENT:
    case ENOTDIR:
        return OutputFault::FolderMissing;
    case EACCES:
    case EPERM:
    case EROFS:
        return OutputFault::NotWritable;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return OutputFault::DiskFull;
    default:
        return OutputFault::Other;
    }
}

PartFile createPartFile(const QString &outputPath)
{
    PartFile part;
    const QString folder = QFileInfo(outputPath).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        part.fault = OutputFault::FolderMissing;
        return part;
    }
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = partPathFor(outputPath, n);
#ifdef Q_OS_UNIX
        // O_EXCL: an existing file of that name is never taken over, whoever made it.
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            if (error == EEXIST)
                continue;
            part.fault = outputFaultFromErrno(error);
            part.errorText = systemErrorText(error);
            return part;
        }
        ::close(fd);
#else
        QFile file(candidate);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(candidate))
                continue;
            part.fault =
                QFileInfo(folder).isDir() ? OutputFault::NotWritable : OutputFault::FolderMissing;
            part.errorText = file.errorString();
            return part;
        }
        file.close();
#endif
        part.path = candidate;
        return part;
    }
    part.fault = OutputFault::Other;
    part.errorText = QStringLiteral("no free temporary name");
    return part;
}

OutputFault replaceFile(const QString &from, const QString &to, QString *errorText)
{
#ifdef Q_OS_WIN
    if (::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                      reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return OutputFault::None;
    const DWORD error = ::GetLastError();
    if (errorText)
        *errorText = QStringLiteral("Windows error %1").arg(error);
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND)
        return OutputFault::FolderMissing;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
        return OutputFault::NotWritable;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return OutputFault::DiskFull;
    return OutputFault::Other;
#else
    // rename() replaces the target atomically: at no moment is there no file or half a file.
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return OutputFault::None;
    const int error = errno;
    if (errorText)
        *errorText = systemErrorText(error);
    return outputFaultFromErrno(error);
#endif
}

} // namespace fulmaro
