#pragma once

#include "core/base/filechecks.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class QLockFile;

namespace fulmaro {

// A job's output is written under a temporary name beside its final one and takes the final name
// only once the encoder has succeeded, so a stopped or failed job never leaves a broken file under
// the final name, and an older file of that name survives it.

// The final name with ".part" before its extension ("clip.part.mp4"), so the encoder still picks
// the container from the extension; number n > 1 gives ".part2", ".part3" ... A name that would
// grow past what the file system takes becomes a short hidden one in the same folder
// (".3f9a0c1b2d4e.part.mp4"), always the same for the same output.
QString partPathFor(const QString &outputPath, int n = 1);

// How preparing or finishing an output file went.
enum class OutputFault {
    None,
    FolderMissing, // the output folder is gone (or is not a folder)
    NotWritable,   // no permission, or a read-only file system
    DiskFull,      // no space (or quota) left
    NameTooLong,   // the file name is longer than the file system takes
    NameRefused,   // the folder is there but its file system takes no such name (exFAT, FAT)
    IsFolder,      // a folder has the output's name
    Protected,     // an existing output is write-protected; it is not replaced
    Other,         // anything else; see the error text
};

struct PartFile
{
    QString path; // empty when it could not be made
    OutputFault fault = OutputFault::None;
    QString errorText; // the system's words, for Other
    // Held while the job writes the file, so that another run sees the name taken, and the next
    // run after a killed one knows the file left behind as its own to remove.
    std::shared_ptr<QLockFile> lock;
    QString removedLeftover; // a killed run's unfinished file of this name, removed to make room
};

// Creates an empty file under the first free temporary name of outputPath (one that no file has),
// so the name is the job's alone and the folder is known to take a new file. With a lock folder,
// each temporary name is held by a lock file there; a name whose lock was left by a program that
// is gone is a killed run's leftover and is taken over (its file removed). A file of that name
// without such a lock is never touched, whoever made it.
PartFile createPartFile(const QString &outputPath, const QString &lockFolder = QString());

// Why an existing file must not be replaced by the output (a folder, a write-protected file),
// or why no file can take the output's name (longer than file systems take), or None.
OutputFault existingOutputFault(const QString &outputPath);

// The files a run never writes over: its sources, and the outputs its jobs have written. Held by
// identity, so no other spelling of their paths gets past.
class GuardedFiles
{
public:
    void add(const QString &path);
    // Whether the path reaches one of the files: the same inode, or, in a folder whose file
    // system ignores case, the same folder and the same name in another case.
    bool reaches(const QString &path) const;
    bool isEmpty() const { return m_files.isEmpty(); }

private:
    struct Guarded
    {
        FileIdentity file;
        FileIdentity folder;
        QString foldedName;
    };
    bool ignoresCase(const QString &folder) const;

    QList<Guarded> m_files;
    mutable QHash<QString, bool> m_caseRules; // by folder path
};

// Gives from the name to, replacing a file of that name in one step.
OutputFault replaceFile(const QString &from, const QString &to, QString *errorText = nullptr);

// Classifies a system error number.
OutputFault outputFaultFromErrno(int error);

} // namespace fulmaro
