#include "core/base/filechecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fulmaro {

namespace {

QString encodingReason()
{
    return QStringLiteral("Dosya adı sistemin karakter kodlamasına uymuyor; dosyayı yeniden "
                          "adlandırın.");
}

#ifdef Q_OS_UNIX
bool statPath(const QString &path, struct stat *info)
{
    return ::stat(QFile::encodeName(path).constData(), info) == 0;
}

// Whether the folder holds an entry whose bytes do not decode and whose decoded name is name.
bool folderHasUndecodableEntry(const QString &folder, const QString &name)
{
    DIR *dir = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral("/") : folder));
    if (!dir)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        if (!nameRoundTrips(bytes) && QFile::decodeName(bytes) == name) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}
#endif

} // namespace

FileIdentity fileIdentity(const QString &path)
{
    FileIdentity identity;
    if (path.isEmpty())
        return identity;
#ifdef Q_OS_UNIX
    struct stat info;
    if (!statPath(path, &info))
        return identity;
    identity.valid = true;
    identity.device = quint64(info.st_dev);
    identity.inode = quint64(info.st_ino);
#else
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return identity;
    identity.valid = true;
    identity.key = canonical.toCaseFolded();
#endif
    return identity;
}

bool folderIgnoresCase(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".fulmaro-case-XXXXXX")));
    if (!probe.open())
        return false;
    // Only existence tells: some of these file systems (exFAT through FUSE) give another inode
    // number to each spelling of one file.
    const QFileInfo made(probe.fileName());
    return QFileInfo::exists(made.dir().filePath(made.fileName().toUpper()));
}

bool nameRoundTrips(const QByteArray &nativeName)
{
#ifdef Q_OS_UNIX
    return QFile::encodeName(QFile::decodeName(nativeName)) == nativeName;
#else
    Q_UNUSED(nativeName)
    return true;
#endif
}

bool nameHidesUndecodableEntry(const QString &path)
{
#ifdef Q_OS_UNIX
    if (!path.contains(QChar::ReplacementCharacter))
        return false;
    // Any part of the path may be the one the system spells with other bytes.
    const QStringList parts = path.split(QLatin1Char('/'));
    QString folder;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.contains(QChar::ReplacementCharacter) && folderHasUndecodableEntry(folder, part))
            return true;
        folder += (i == 0 ? QString() : QStringLiteral("/")) + part;
    }
    return false;
#else
    Q_UNUSED(path)
    return false;
#endif
}

QString notRegularFileReason(const QString &path)
{
    if (nameHidesUndecodableEntry(path))
        return encodingReason();
#ifdef Q_OS_UNIX
    struct stat info;
    if (!statPath(path, &info)) {
        if (errno == EACCES)
            return QStringLiteral("Dosyaya erişim izni yok.");
        return QStringLiteral("Dosya bulunamadı.");
    }
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("Bu bir klasör, dosya değil.");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("Normal bir dosya değil (boru, aygıt ya da soket).");
#else
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("Dosya bulunamadı.");
    if (info.isDir())
        return QStringLiteral("Bu bir klasör, dosya değil.");
    if (!info.isFile())
        return QStringLiteral("Normal bir dosya değil (boru, aygıt ya da soket).");
#endif
    return QString();
}

SmallFileRead readSmallRegularFile(const QString &path, qint64 maxBytes)
{
    SmallFileRead read;
    const QString reason = notRegularFileReason(path);
    if (!reason.isEmpty()) {
        read.missing = !QFileInfo::exists(path);
        read.error = reason;
        return read;
    }
#ifdef Q_OS_UNIX
    // Opened without waiting and looked at again through the open file: what was a regular file
    // a moment ago may have been replaced by a pipe since.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        read.missing = errno == ENOENT;
        read.error = read.missing ? QStringLiteral("Dosya bulunamadı.")
                                  : QString::fromLocal8Bit(std::strerror(errno));
        return read;
    }
    QFile file;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        read.error = QStringLiteral("Normal bir dosya değil (boru, aygıt ya da soket).");
        return read;
    }
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = file.errorString();
        return read;
    }
#endif
    // One byte more than allowed tells a file that is too large, however its size is reported.
    read.bytes = file.read(maxBytes + 1);
    if (read.bytes.size() > maxBytes) {
        read.bytes.clear();
        read.tooLarge = true;
        read.error = QStringLiteral("Dosya beklenenden çok büyük.");
        return read;
    }
    read.ok = true;
    return read;
}

QString refusedFileText(const QString &path, const QString &reason)
{
    QString text = reason;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text + QStringLiteral(": ") + printableName(QDir::toNativeSeparators(path));
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

QString printableName(const QString &text)
{
    QString shown = text;
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return shown;
}

} // namespace fulmaro
