#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace fulmaro {

// The settings file: lines of name=value ended by CR LF, in the system's 8-bit encoding. Its keys
// are "outputfolder", and the folders the file dialogs last opened: "videofolder" (adding videos)
// and "stillfolder" (saving stills).

// Decodes the file's bytes: a UTF-8 or UTF-16 byte-order mark selects that encoding, otherwise
// the system's 8-bit encoding is used. Lines end at CR, LF or CR LF.
QStringList decodeSettingsLines(const QByteArray &bytes);
// The value of the first line whose name (the text before its first "=") equals key without
// regard to case; blanks are not trimmed. Empty text when no line matches.
QString settingsValue(const QStringList &lines, const QString &key);
// The bytes written for an output folder: "outputfolder=<folder>" CR LF, or nothing at all for
// an empty folder.
QByteArray encodeSettings(const QString &outputFolder);

// The output folder as the file at path holds it, or why it cannot be used (Turkish): the file
// is not a regular file, is far too large for a settings file, or ends inside a line (it was cut
// short, and the folder in it may be a part of the one chosen). A missing file or key gives
// neither.
struct OutputFolderSetting
{
    QString folder;
    QString problem;
};
OutputFolderSetting readOutputFolderSetting(const QString &path);

// Reads the output folder from the file at path; empty text when the file or the key is missing
// or the file cannot be used.
QString loadOutputFolder(const QString &path);
// Replaces the file at path atomically, so a crash never leaves it half written.
// The dialogs' folders are kept.
bool saveOutputFolder(const QString &path, const QString &outputFolder,
                      QString *errorText = nullptr);

// The folder a file dialog last opened (key "videofolder" or "stillfolder"), when it still is
// one; empty otherwise.
QString loadDialogFolder(const QString &path, const QString &key);
// Keeps the folder under key, atomically, with the file's other keys.
bool saveDialogFolder(const QString &path, const QString &key, const QString &folder,
                      QString *errorText = nullptr);

} // namespace fulmaro
