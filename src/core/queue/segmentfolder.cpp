#include "core/queue/segmentfolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace fulmaro {

namespace {

const QString kKeyFile = QStringLiteral("segments.key");
const QString kListFile = QStringLiteral("segments.txt");

QString extensionOf(const RenderJob &job)
{
    return QFileInfo(job.outputPath).suffix();
}

// The program's own files in a segment folder: numbered segments, finished or not, the key and
// the list.
bool isOwnFile(const QString &name)
{
    static const QRegularExpression segment(QStringLiteral("\\A[0-9]{4}(\\.tmp)?\\.[^./]+\\z"));
    return name == kKeyFile || name == kListFile || segment.match(name).hasMatch();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

void addFileFacts(QCryptographicHash &hash, const QString &path)
{
    const QFileInfo info(path);
    hash.addData(path.toUtf8());
    hash.addData(QByteArray::number(info.size()));
    hash.addData(info.lastModified().toUTC().toString(Qt::ISODateWithMs).toUtf8());
}

} // namespace

QString segmentFolderFor(const QString &partPath)
{
    const QFileInfo info(partPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return info.dir().filePath(dot > 0 ? name.left(dot) : name + QStringLiteral(".segments"));
}

QString segmentPath(const QString &folder, int k, const QString &extension)
{
    return QDir(folder).filePath(QStringLiteral("%1.").arg(k + 1, 4, 10, QLatin1Char('0')) +
                                 extension);
}

QString segmentWritePath(const QString &folder, int k, const QString &extension)
{
    return QDir(folder).filePath(QStringLiteral("%1.tmp.").arg(k + 1, 4, 10, QLatin1Char('0')) +
                                 extension);
}

QString segmentListPath(const QString &folder)
{
    return QDir(folder).filePath(kListFile);
}

QByteArray segmentKey(const RenderJob &job)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (QString args : job.segments) {
        // The scratch names change from run to run; the pictures they hold are what counts.
        for (const ScratchCopy &copy : job.copies)
            args.replace(copy.destination, copy.source);
        hash.addData(args.toUtf8());
        hash.addData(QByteArrayView("\n"));
    }
    for (const ScratchCopy &copy : job.copies)
        addFileFacts(hash, copy.source);
    hash.addData(job.segmentJoin.toUtf8());
    hash.addData(QByteArray::number(job.segmentSeconds, 'g', 17));
    addFileFacts(hash, job.name);
    return hash.result().toHex();
}

std::optional<int> openSegmentFolder(const QString &folder, const RenderJob &job, bool resume)
{
    const QByteArray key = segmentKey(job);
    const QStringList entries = entriesOf(folder);
    if (!entries.isEmpty()) {
        // A folder of this name that the program did not make is left as it is.
        for (const QString &name : entries) {
            if (!isOwnFile(name) || !QFileInfo(QDir(folder).filePath(name)).isFile())
                return std::nullopt;
        }
        QFile keyFile(QDir(folder).filePath(kKeyFile));
        const bool same =
            resume && keyFile.open(QIODevice::ReadOnly) && keyFile.readAll().trimmed() == key;
        keyFile.close();
        for (const QString &name : entries) {
            // Unfinished segments, and everything made for another encode, go.
            if (!same || name.contains(QStringLiteral(".tmp.")) || name == kListFile)
                QFile::remove(QDir(folder).filePath(name));
        }
    }
    if (!QDir().mkpath(folder))
        return std::nullopt;
    QSaveFile keyFile(QDir(folder).filePath(kKeyFile));
    if (!keyFile.open(QIODevice::WriteOnly) || keyFile.write(key + '\n') < 0 || !keyFile.commit())
        return std::nullopt;
    return nextMissingSegment(folder, job, 0);
}

int nextMissingSegment(const QString &folder, const RenderJob &job, int k)
{
    const QString extension = extensionOf(job);
    while (k < job.segments.size() && QFileInfo(segmentPath(folder, k, extension)).isFile())
        ++k;
    return k;
}

bool writeSegmentList(const QString &folder, const RenderJob &job)
{
    QByteArray list;
    const QString extension = extensionOf(job);
    for (int k = 0; k < job.segments.size(); ++k) {
        // Names relative to the list, which the join reads them from: plain digits, nothing to
        // quote.
        list += "file '" + QFileInfo(segmentPath(folder, k, extension)).fileName().toUtf8() + "'\n";
    }
    QSaveFile file(segmentListPath(folder));
    return file.open(QIODevice::WriteOnly) && file.write(list) == list.size() && file.commit();
}

void removeSegmentFolder(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    for (const QString &name : entriesOf(folder)) {
        if (isOwnFile(name))
            QFile::remove(QDir(folder).filePath(name));
    }
    QDir().rmdir(folder);
}

} // namespace fulmaro
