#include "core/queue/outputfiles.h"

#include "core/base/sharedlock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

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

// The longest file name the common file systems take: 255 bytes on Linux, 255 UTF-16 units on
// Windows.
constexpr qsizetype kMaxNameLength = 255;

qsizetype nameLength(const QString &name)
{
#ifdef Q_OS_WIN
    return name.size();
#else
    return QFile::encodeName(name).size();
#endif
}

QString digestText(const QString &text, int length)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().left(length));
}

QString lockPathFor(const QString &lockFolder, const QString &partPath)
{
    return QDir(lockFolder)
        .filePath(QStringLiteral("part-") + digestText(QFileInfo(partPath).absoluteFilePath(), 32) +
                  QStringLiteral(".lock"));
}

bool entryExists(const QString &path)
{
    // A dangling link counts: the name is taken.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

} // namespace

QString partPathFor(const QString &outputPath, int n)
{
    qsizetype nameAt = outputPath.size();
    while (nameAt > 0 && !isSeparator(outputPath.at(nameAt - 1)))
        --nameAt;
    // A dot that starts the name starts no extension: ".clip" is a name.
    const qsizetype dot = outputPath.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > nameAt ? dot : outputPath.size();
    QString suffix = QStringLiteral(".part");
    if (n > 1)
        suffix += QString::number(n);
    const QString extension = outputPath.mid(cut);
    QString name = outputPath.mid(nameAt, cut - nameAt) + suffix + extension;
    if (nameLength(name) > kMaxNameLength)
        name = QLatin1Char('.') + digestText(outputPath, 12) + suffix + extension;
    return outputPath.left(nameAt) + name;
}

OutputFault outputFaultFromErrno(int error)
{
    switch (error) {
    case 0:
        return OutputFault::None;
    case ENOENT:
    case ENOTDIR:
        return OutputFault::FolderMissing;
    case ENAMETOOLONG:
        return OutputFault::NameTooLong;
    case EISDIR:
        return OutputFault::IsFolder;
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

PartFile createPartFile(const QString &outputPath, const QString &lockFolder)
{
    PartFile part;
    const QString folder = QFileInfo(outputPath).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        part.fault = OutputFault::FolderMissing;
        return part;
    }
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = partPathFor(outputPath, n);
        std::shared_ptr<QLockFile> lock;
        bool leftover = false;
        if (!lockFolder.isEmpty()) {
            const QString lockPath = lockPathFor(lockFolder, candidate);
            const bool lockedBefore = entryExists(lockPath);
            lock = std::make_shared<QLockFile>(lockPath);
            // Only a lock whose program is gone is stale, however old it is: jobs run for hours.
            if (!takeSharedLock(*lock, lockPath)) {
                if (lock->error() == QLockFile::LockFailedError)
                    continue; // a live run writes this name
                lock.reset(); // no lock can be made there; go on without
            } else {
                leftover = lockedBefore;
            }
        }
        if (leftover && entryExists(candidate) && QFile::remove(candidate))
            part.removedLeftover = candidate;
#ifdef Q_OS_UNIX
        // O_EXCL: an existing file of that name is never taken over, whoever made it.
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            if (error == EEXIST)
                continue;
            part.fault = outputFaultFromErrno(error);
            // Some file systems (exFAT) answer a name they refuse as if the folder were missing.
            if ((part.fault == OutputFault::FolderMissing || error == EINVAL) &&
                QFileInfo(folder).isDir())
                part.fault = OutputFault::NameRefused;
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
        part.lock = std::move(lock);
        return part;
    }
    part.fault = OutputFault::Other;
    part.errorText = QStringLiteral("no free temporary name");
    return part;
}

OutputFault existingOutputFault(const QString &outputPath)
{
    const QFileInfo info(outputPath);
    // Known before the encode rather than at the rename after it.
    if (nameLength(info.fileName()) > kMaxNameLength)
        return OutputFault::NameTooLong;
    if (!info.exists())
        return OutputFault::None;
    if (info.isDir())
        return OutputFault::IsFolder;
    // The permission bits, not only whether this user could write: a rename replaces a file
    // whatever its bits say, and an administrator may write anything.
    constexpr QFile::Permissions writeBits =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!(info.permissions() & writeBits) || !info.isWritable())
        return OutputFault::Protected;
    return OutputFault::None;
}

void GuardedFiles::add(const QString &path)
{
    const QFileInfo info(path);
    Guarded guarded{fileIdentity(path), fileIdentity(info.absolutePath()),
                    info.fileName().toCaseFolded()};
    if (guarded.file.valid)
        m_files.append(std::move(guarded));
}

bool GuardedFiles::reaches(const QString &path) const
{
    const FileIdentity identity = fileIdentity(path);
    if (!identity.valid)
        return false;
    const QFileInfo info(path);
    FileIdentity folder;
    QString foldedName;
    for (const Guarded &guarded : m_files) {
        if (guarded.file == identity)
            return true;
        if (foldedName.isEmpty()) {
            folder = fileIdentity(info.absolutePath());
            foldedName = info.fileName().toCaseFolded();
        }
        if (guarded.folder == folder && guarded.foldedName == foldedName &&
            ignoresCase(info.absolutePath()))
            return true;
    }
    return false;
}

bool GuardedFiles::ignoresCase(const QString &folder) const
{
    const auto known = m_caseRules.constFind(folder);
    if (known != m_caseRules.cend())
        return *known;
    const bool ignores = folderIgnoresCase(folder);
    m_caseRules.insert(folder, ignores);
    return ignores;
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
