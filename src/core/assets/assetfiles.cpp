#include "core/assets/assetfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace fulmaro {

namespace {

// Hidden and system entries are left out by not asking for them.
constexpr QDir::Filters kListed = QDir::Files | QDir::NoDotAndDotDot;

QFileInfoList listFiles(const QString &folder, const QString &pattern)
{
    if (folder.isEmpty() || pattern.isEmpty())
        return {};
    const QDir dir(folder);
    if (!dir.exists())
        return {};
    // Name filters without QDir::CaseSensitive match without regard to case, so "*.png" also
    // lists "Logo.PNG" on a file system that tells case apart.
    return dir.entryInfoList({pattern}, kListed, QDir::Name | QDir::IgnoreCase);
}

} // namespace

QStringList getFilesInDirectory(const QString &aDirectory, const QString &aFileMask)
{
    const QFileInfo mask(aDirectory + aFileMask);
    QStringList names;
    for (const QFileInfo &file : listFiles(mask.path(), mask.fileName()))
        names.append(file.completeBaseName());
    return names;
}

QString findFileIgnoringCase(const QString &path)
{
    const QFileInfo wanted(path);
    if (wanted.isFile())
        return path;
    const QString name = wanted.fileName();
    if (name.isEmpty())
        return path;
    const QFileInfoList files = listFiles(wanted.path(), QStringLiteral("*"));
    const QFileInfo *found = nullptr;
    for (const QFileInfo &file : files) {
        if (file.fileName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        // Two names that differ only in case can both exist here; the one spelled like the
        // entry text wins.
        if (file.completeBaseName() == wanted.completeBaseName()) {
            found = &file;
            break;
        }
        if (!found)
            found = &file;
    }
    if (!found)
        return path;
    return path.left(path.size() - name.size()) + found->fileName();
}

QString libraryFilePath(const QString &folder, const QString &name, const QString &extension)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QString();
    return findFileIgnoringCase(folder + name + extension);
}

QString copyIntoLibrary(const QString &source, const QString &folder)
{
    const QFileInfo from(source);
    if (!from.isFile())
        return QString();
    const QString destination = findFileIgnoringCase(folder + from.fileName());
    const QFileInfo to(destination);
    // Copying a library file onto itself would truncate it before reading it.
    if (to.exists() && to.canonicalFilePath() == from.canonicalFilePath())
        return destination;

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            break;
        if (out.write(chunk) != chunk.size())
            break;
    }
    if (in.error() != QFileDevice::NoError || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return QString();
    }
    return out.commit() ? destination : QString();
}

bool deleteLibraryFile(const QString &folder, const QString &name, const QString &extension)
{
    const QString path = libraryFilePath(folder, name, extension);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    return QFile::remove(path);
}

QString scratchCopyName(const QString &stem, quint32 tick)
{
    return stem + QLatin1Char('_') + QString::number(tick) + QStringLiteral(".png");
}

bool isScratchCopyName(const QString &fileName)
{
    static const QRegularExpression re(QStringLiteral("\\A(filter|frame|logo)_[0-9]+\\.png\\z"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(fileName).hasMatch();
}

int removeOldScratchCopies(const QString &tempDir, qint64 maxAgeSecs, const QDateTime &now)
{
    int removed = 0;
    for (const QFileInfo &file : listFiles(tempDir, QStringLiteral("*.png"))) {
        if (file.isSymLink() || !isScratchCopyName(file.fileName()))
            continue;
        // A copy may carry its source's modification time (a copy keeps it on some systems);
        // the change and birth times tell when the copy itself was made.
        QDateTime newest = file.lastModified();
        for (const QDateTime &time : {file.metadataChangeTime(), file.birthTime()}) {
            if (time.isValid() && time > newest)
                newest = time;
        }
        if (!newest.isValid() || newest.secsTo(now) <= maxAgeSecs)
            continue;
        if (QFile::remove(file.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

} // namespace fulmaro
