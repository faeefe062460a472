#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace fulmaro {

// The file side of the overlay and clip libraries. A library is a plain folder; an entry is a
// file's name without its extension, and names are compared without regard to case everywhere,
// also on file systems that tell case apart.

// The names, without their last extension, of the files that aFileMask (a wildcard, appended to
// the folder path) matches in aDirectory, without regard to case. Sub-folders and hidden or
// system files are skipped. Sorted by name without regard to case; a missing folder gives an
// empty list.
QStringList getFilesInDirectory(const QString &aDirectory, const QString &aFileMask);

// path itself when it names an existing file; otherwise a listed file of its folder whose name
// equals path's file name without regard to case (one that differs only in the extension's case
// is preferred), so that an entry "Logo" finds "Logo.PNG". When there is none, path unchanged.
QString findFileIgnoringCase(const QString &path);

// The file of a library entry: folder + name + extension, found without regard to case. Empty for
// a name that is empty or holds a folder separator, so no entry text reaches outside the folder.
QString libraryFilePath(const QString &folder, const QString &name, const QString &extension);

// Copies source into folder under its own file name. A file of that name (in any case) is
// replaced, keeping its spelling; the replacement is atomic, so a failed copy leaves the old file
// as it was. A source that already is that library file is left alone. Returns the library
// file's path, or an empty string when the copy failed.
QString copyIntoLibrary(const QString &source, const QString &folder);

// Deletes the file of a library entry. False when there was nothing to delete or it stayed.
bool deleteLibraryFile(const QString &folder, const QString &name, const QString &extension);

// The file name of a scratch copy of a library picture: the library's scratch stem ("filter",
// "frame" or "logo"), "_", the build's tick, ".png".
QString scratchCopyName(const QString &stem, quint32 tick);
// Whether a file name is one of those scratch copies.
bool isScratchCopyName(const QString &fileName);

// Removes the scratch copies in tempDir that have not been written for longer than maxAgeSecs
// (a day by default); anything else in the folder stays. The age counts from the newest of the
// file's times, so a copy that kept an old picture's modification time is still young. The
// encoder opens its inputs as it starts, seconds after the copies are made, so a day leaves the
// copies of every command that another running instance of the program has not yet opened.
// Returns how many were removed.
int removeOldScratchCopies(const QString &tempDir, qint64 maxAgeSecs = 24 * 60 * 60,
                           const QDateTime &now = QDateTime::currentDateTimeUtc());

} // namespace fulmaro
