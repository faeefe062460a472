#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

// The filter of the intro and outro clip dialogs.
inline constexpr char16_t kVideoFilterText[] =
    u"Video Dosyaları (*.mp4;*.mkv;*.avi;*.flv)|*.mp4;*.mkv;*.avi;*.flv|mp4 |*.mp4|mkv|*.mkv|"
    u"avi|*.avi|flv|*.flv";

// The clip filter as the toolkit's file dialogs take it: each description followed by its
// patterns in parentheses, separated by blanks (the toolkit reads only the last parentheses).
QStringList clipDialogNameFilters();

// The extensions of the video files the list takes (lower case, without the dot): the
// containers the probe reads as video.
QStringList videoExtensions();
// The add dialog's filter: all video files, then each extension, then "Tüm dosyalar".
QStringList videoDialogNameFilters();

// The extension of a path with its dot: from the last "." after the last folder separator to
// the end, as spelled; empty when there is none.
QString extensionWithDot(const QString &path);
// The file-name part of a path: the text after the last folder separator.
QString fileNamePart(const QString &path);
// Whether a dropped name goes to the list: its extension, in any case, is a video extension.
bool passesVideoDropTest(const QString &path);
// The video files under a folder and its subfolders, in name order (numbers by value: "2" before
// "10"), each path in the platform's spelling.
QStringList videoFilesInFolder(const QString &folder);

} // namespace fulmaro
