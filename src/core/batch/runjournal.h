#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLockFile;

namespace fulmaro {

// One job of a run as the journal keeps it.
struct JournalJob
{
    QString source;
    qint64 sourceSize = -1;
    QDateTime sourceModified; // UTC
    QString output;
    QString state; // "bekliyor", "çalışıyor", "tamam", "hata", "durduruldu", "çalıştırılmadı"
};

// What a run was: enough to run it again, with the jobs already done left out.
struct JournalData
{
    QString key; // fulmaro-batch's command, digested; empty for the window's runs
    QString outputFolder;
    QString settings;  // the render settings as a preset's text
    QDateTime created; // UTC
    QList<JournalJob> jobs;
};

// The journal's text (JSON) and back; nothing and a Turkish problem for text that is not one.
QByteArray journalText(const JournalData &data);
std::optional<JournalData> parseJournal(const QByteArray &text, QString *problem = nullptr);

// The source's size and time now, for a job's entry.
JournalJob journalJob(const QString &source, const QString &output);
// Whether a job the journal says is done can be taken as done: its output is there and its
// source is as it was; otherwise the reason, in Turkish.
QString doneJobProblem(const JournalJob &job);

// The run journals' folder in a work folder.
QString journalFolder(const QString &workDir);

// A run's journal: a JSON file written whole each time (it is never seen half-written), and a
// lock beside it that names the program holding it; a lock whose program has died is taken over
// by the next one.
class RunJournal
{
public:
    explicit RunJournal(QString path);
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    const QString &path() const { return m_path; }
    // Takes the lock: false when a live program holds it.
    bool lock();
    bool isLocked() const;
    bool write(const JournalData &data);
    // The file and the lock go: the run ended as it should.
    void remove();
    // Renames the file aside ("NAME.bozuk-yyyyMMdd-HHmmss.json" or the given tag) and returns the
    // new path; the journal then starts empty.
    QString setAside(const QString &tag);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

// Journals the folder holds whose name starts with prefix and that no live program holds,
// oldest first.
QStringList orphanJournals(const QString &folder, const QString &prefix);
// Removes journals set aside more than a week ago.
void removeOldJournals(const QString &folder,
                       const QDateTime &now = QDateTime::currentDateTimeUtc());

} // namespace fulmaro
