#include "core/batch/runjournal.h"

#include "core/base/sharedlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

namespace fulmaro {

namespace {

constexpr int kJournalVersion = 1;

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime fromIso(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}

} // namespace

QByteArray journalText(const JournalData &data)
{
    QJsonArray jobs;
    for (const JournalJob &job : data.jobs) {
        jobs.append(QJsonObject{{"source", job.source},
                                {"sourceSize", double(job.sourceSize)},
                                {"sourceModified", isoTime(job.sourceModified)},
                                {"output", job.output},
                                {"state", job.state}});
    }
    const QJsonObject root{{"version", kJournalVersion},        {"key", data.key},
                           {"outputFolder", data.outputFolder}, {"settings", data.settings},
                           {"created", isoTime(data.created)},  {"jobs", jobs}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<JournalData> parseJournal(const QByteArray &text, QString *problem)
{
    auto fail = [problem](const QString &why) -> std::optional<JournalData> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return fail(QStringLiteral("kayıt okunamadı (%1)").arg(error.errorString()));
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("version")).toInt() != kJournalVersion)
        return fail(QStringLiteral("kaydın sürümü tanınmıyor"));
    JournalData data;
    data.key = root.value(QLatin1String("key")).toString();
    data.outputFolder = root.value(QLatin1String("outputFolder")).toString();
    data.settings = root.value(QLatin1String("settings")).toString();
    data.created = fromIso(root.value(QLatin1String("created")).toString());
    const QJsonValue jobs = root.value(QLatin1String("jobs"));
    if (!jobs.isArray())
        return fail(QStringLiteral("kayıtta iş listesi yok"));
    for (const QJsonValue &value : jobs.toArray()) {
        const QJsonObject entry = value.toObject();
        JournalJob job;
        job.source = entry.value(QLatin1String("source")).toString();
        job.sourceSize = qint64(entry.value(QLatin1String("sourceSize")).toDouble(-1));
        job.sourceModified = fromIso(entry.value(QLatin1String("sourceModified")).toString());
        job.output = entry.value(QLatin1String("output")).toString();
        job.state = entry.value(QLatin1String("state")).toString();
        if (job.source.isEmpty() || job.output.isEmpty())
            return fail(QStringLiteral("kayıtta eksik bir iş var"));
        data.jobs.append(job);
    }
    if (data.jobs.isEmpty())
        return fail(QStringLiteral("kayıtta iş yok"));
    return data;
}

JournalJob journalJob(const QString &source, const QString &output)
{
    JournalJob job;
    job.source = source;
    job.output = output;
    job.state = QStringLiteral("bekliyor");
    const QFileInfo info(source);
    if (info.isFile()) {
        job.sourceSize = info.size();
        job.sourceModified = info.lastModified().toUTC();
    }
    return job;
}

QString doneJobProblem(const JournalJob &job)
{
    const QFileInfo source(job.source);
    if (!source.isFile())
        return QStringLiteral("Kaynak dosya artık yok.");
    if (source.size() != job.sourceSize || source.lastModified().toUTC() != job.sourceModified)
        return QStringLiteral("Kaynak dosya o zamandan beri değişmiş.");
    if (!QFileInfo(job.output).isFile())
        return QStringLiteral("Çıktı dosyası artık yok.");
    return QString();
}

QString journalFolder(const QString &workDir)
{
    return QDir(workDir).filePath(QStringLiteral("Journal")) + QLatin1Char('/');
}

RunJournal::RunJournal(QString path)
    : m_path(std::move(path))
{}

RunJournal::~RunJournal() = default;

bool RunJournal::lock()
{
    if (isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QString lockPath = m_path + QStringLiteral(".lock");
    auto lock = std::make_unique<QLockFile>(lockPath);
    // A lock is stale only when its program is gone; a live one is never taken however old.
    if (!takeSharedLock(*lock, lockPath))
        return false;
    m_lock = std::move(lock);
    return true;
}

bool RunJournal::isLocked() const
{
    return m_lock && m_lock->isLocked();
}

bool RunJournal::write(const JournalData &data)
{
    if (!isLocked())
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(journalText(data));
    return file.commit();
}

void RunJournal::remove()
{
    QFile::remove(m_path);
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

QString RunJournal::setAside(const QString &tag)
{
    const QFileInfo info(m_path);
    const QString aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                          QLatin1Char('.') + tag + QLatin1Char('-') +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                          QStringLiteral(".json");
    QFile::remove(aside);
    QFile::rename(m_path, aside);
    return aside;
}

QStringList orphanJournals(const QString &folder, const QString &prefix)
{
    QStringList found;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {prefix + QStringLiteral("*.json")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo &file : files) {
        // Set-aside journals carry a tag before ".json"; only live names are runs.
        if (file.completeBaseName().contains(QLatin1Char('.')))
            continue;
        const QString lockPath = file.absoluteFilePath() + QStringLiteral(".lock");
        QLockFile lock(lockPath);
        if (!takeSharedLock(lock, lockPath))
            continue; // a live program's
        lock.unlock();
        found << file.absoluteFilePath();
    }
    return found;
}

void removeOldJournals(const QString &folder, const QDateTime &now)
{
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.completeBaseName().contains(QLatin1Char('.')) &&
            file.lastModified().toUTC().daysTo(now) > 7)
            QFile::remove(file.absoluteFilePath());
    }
}

} // namespace fulmaro
