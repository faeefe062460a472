#pragma once

#include <QByteArray>
#include <QString>

namespace fulmaro {

// Which file a path reaches, whatever its spelling: a link, a folder reached through a link, a
// hard link or another case on a file system that ignores case all give the same identity.
struct FileIdentity
{
    bool valid = false; // false when nothing is there
    quint64 device = 0;
    quint64 inode = 0;
    QString key; // where the system has no inode numbers: the canonical path, case-folded

    friend bool operator==(const FileIdentity &a, const FileIdentity &b)
    {
        return a.valid && b.valid && a.device == b.device && a.inode == b.inode && a.key == b.key;
    }
};

FileIdentity fileIdentity(const QString &path);

// Whether the folder's file system finds a name in another case (exFAT, FAT, a case-folded
// ext4 folder, NTFS): asked by making a file there. False when that cannot be told.
bool folderIgnoresCase(const QString &folder);

// Why a path cannot be read as a video, a preset or a settings file (Turkish, for the user), or
// empty for a regular file: it is missing, a folder, a pipe, a device or a socket, or its name is
// not one the system's encoding spells (another file would be reached under the decoded name).
QString notRegularFileReason(const QString &path);

// "<reason>: <path>", the path made printable: how a refused file is named in a line of text.
QString refusedFileText(const QString &path, const QString &reason);

// Whether the name, as the system spells it in bytes, decodes to text and back unchanged.
// A name with bytes that are not valid in the system's encoding comes out with replacement
// characters, and those would name another file.
bool nameRoundTrips(const QByteArray &nativeName);

// A path with replacement characters that stand for bytes the system's encoding cannot spell:
// its folder holds an entry that decodes to this very name. Such a path never reaches that entry.
bool nameHidesUndecodableEntry(const QString &path);

// A small text file read whole, refused unless it is a regular file of at most maxBytes (a pipe
// or a device would block or never end).
struct SmallFileRead
{
    bool ok = false;
    bool missing = false;
    bool tooLarge = false;
    QByteArray bytes;
    QString error; // Turkish, when not ok
};
SmallFileRead readSmallRegularFile(const QString &path, qint64 maxBytes);

// Control characters (line ends, tabs, escapes) shown as "?", so a name printed into a line of
// text never splits or colours it.
QString printableName(const QString &text);
// Whether the text holds a control character.
bool hasControlCharacter(const QString &text);

} // namespace fulmaro
