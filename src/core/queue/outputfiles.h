#pragma once

#include <QString>

namespace fulmaro {

// A job's output is written under a temporary name beside its final one and takes the final name
// only once the encoder has succeeded, so a stopped or failed job never leaves a broken file under
// the final name, and an older file of that name survives it.

// The final name with ".part" before its extension ("clip.part.mp4"), so the encoder still picks
// the container from the extension; number n > 1 gives ".part2", ".part3" ...
QString partPathFor(const QString &outputPath, int n = 1);

// How preparing or finishing an output file went.
enum class OutputFault {
    None,
    FolderMissing, // the output folder is gone (or is not a folder)
    NotWritable,   // no permission, or a read-only file system
    DiskFull,      // no space (or quota) left
    Other,         // anything else; see the error text
};

struct PartFile
{
    QString path; // empty when it could not be made
    OutputFault fault = OutputFault::None;
    QString errorText; // the system's words, for Other
};

// Creates an empty file under the first free temporary name of outputPath (one that no file has),
// so the name is the job's alone and the folder is known to take a new file.
PartFile createPartFile(const QString &outputPath);

// Gives from the name to, replacing a file of that name in one step.
OutputFault replaceFile(const QString &from, const QString &to, QString *errorText = nullptr);

// Classifies a system error number.
OutputFault outputFaultFromErrno(int error);

} // namespace fulmaro
