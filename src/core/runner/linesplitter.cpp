#include "core/runner/linesplitter.h"

namespace fulmaro {

QString LineSplitter::feed(const QString &piece)
{
    const QChar *const begin = piece.constData();
    const QChar *const end = begin + piece.size();
    // Most pieces hold no NUL and start outside dropped text: they are passed on as they are.
    QString visible;
    bool visibleIsPiece = !m_skipping;
    const QChar *runStart = begin; // ordinary characters not yet added to the current line

    auto takeRun = [&](const QChar *runEnd) {
        if (runEnd == runStart || m_skipping)
            return;
        if (!visibleIsPiece)
            visible.append(runStart, runEnd - runStart);
        m_partial.append(runStart, runEnd - runStart);
    };
    auto endLine = [&](const QChar *runEnd) {
        if (m_partial.isEmpty()) {
            m_lines.append(QString(runStart, runEnd - runStart));
        } else {
            m_partial.append(runStart, runEnd - runStart);
            m_lines.append(std::exchange(m_partial, QString()));
        }
        if (!visibleIsPiece)
            visible.append(runStart, runEnd - runStart);
    };

    for (const QChar *p = begin; p != end; ++p) {
        const char16_t c = p->unicode();
        if (c > u'\r' || (c != u'\r' && c != u'\n' && c != u'\0')) {
            m_afterCr = false;
            continue;
        }
        if (c == u'\0') {
            if (visibleIsPiece) {
                // From here on the text differs from the piece: copy what went before.
                visible = piece.left(runStart - begin);
                visibleIsPiece = false;
            }
            if (!m_skipping) {
                endLine(p);
                m_skipping = true;
            }
            m_afterCr = false;
            runStart = p + 1;
            continue;
        }
        if (c == u'\n' && m_afterCr) {
            // Second half of a CR LF pair: the break has been counted already.
            takeRun(p);
            m_afterCr = false;
        } else if (m_skipping) {
            // The line was ended by its NUL; this break only ends the dropped text.
            m_skipping = false;
            m_afterCr = (c == u'\r');
        } else {
            endLine(p);
            m_afterCr = (c == u'\r');
        }
        if (!visibleIsPiece)
            visible.append(*p);
        runStart = p + 1;
    }
    takeRun(end);
    return visibleIsPiece ? piece : visible;
}

void LineSplitter::finish()
{
    if (!m_partial.isEmpty())
        m_lines.append(std::exchange(m_partial, QString()));
    m_afterCr = false;
    m_skipping = false;
}

} // namespace fulmaro
