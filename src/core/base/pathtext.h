#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

// The filter of the video open dialog, also the text that dropped files' extensions are tested
// against.
inline constexpr char16_t kVideoFilterText[] =
    u"Video Dosyaları (*.mp4;*.mkv;*.avi;*.flv)|*.mp4;*.mkv;*.avi;*.flv|mp4 |*.mp4|mkv|*.mkv|"
    u"avi|*.avi|flv|*.flv";

// The video filter as the toolkit's file dialogs take it: each description followed by its
// patterns in parentheses, separated by blanks (the toolkit reads only the last parentheses).
QStringList videoDialogNameFilters();

// The extension of a path with its dot: from the last "." after the last folder separator to
// the end, as spelled; empty when there is none.
QString extensionWithDot(const QString &path);
// The file-name part of a path: the text after the last folder separator.
QString fileNamePart(const QString &path);
// Whether a dropped name goes to the list: its extension is not empty and occurs anywhere in the
// open dialog's filter text (case-sensitive).
bool passesVideoDropTest(const QString &path);

} // namespace fulmaro
