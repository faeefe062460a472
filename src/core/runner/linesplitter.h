#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

// Splits tool output into lines as it arrives. A partial line is kept until a later piece
// completes it, and a CR LF pair counts as one break even when the CR ends one piece and the LF
// starts the next. Breaks: CR LF, lone CR, lone LF, and NUL (the text after a NUL is dropped up
// to the next line break).
class LineSplitter
{
public:
    // Feeds one decoded piece of output. Returns the piece without the text that is dropped
    // after a NUL, which is what a progress callback gets to see.
    QString feed(const QString &piece);
    // Ends the output: a trailing partial line becomes the last line.
    void finish();

    const QStringList &lines() const { return m_lines; }
    QStringList takeLines() { return std::move(m_lines); }

private:
    QStringList m_lines;
    QString m_partial;
    bool m_afterCr = false;
    bool m_skipping = false;
};

} // namespace fulmaro
