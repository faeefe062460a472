#include "runner/linesplitter.h"

namespace fulmaro {

QString LineSplitter::feed(QStringView piece)
{
    QString visible;
    visible.reserve(piece.size());
    qsizetype start = 0; // start of the run of ordinary characters being collected
    auto flushRun = [&](qsizetype end) {
        if (end > start) {
            const QStringView run = piece.mid(start, end - start);
            if (!m_skipping) {
                m_partial += run;
                visible += run;
            }
        }
    };
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        if (c != u'\r' && c != u'\n' && c != u'\0') {
            m_afterCr = false;
            continue;
        }
        flushRun(i);
        start = i + 1;
        if (c == u'\0') {
            if (!m_skipping) {
                m_lines.append(std::exchange(m_partial, QString()));
                m_skipping = true;
            }
            m_afterCr = false;
            continue;
        }
        if (c == u'\n' && m_afterCr) {
            // Second half of a CR LF pair: the break has been counted already.
            m_afterCr = false;
            visible += QLatin1Char('\n');
            continue;
        }
        if (m_skipping) {
            // The line was ended by its NUL; this break only ends the dropped text.
            m_skipping = false;
        } else {
            m_lines.append(std::exchange(m_partial, QString()));
        }
        m_afterCr = (c == u'\r');
        visible += QChar(c);
    }
    flushRun(piece.size());
    return visible;
}

void LineSplitter::finish()
{
    if (!m_partial.isEmpty())
        m_lines.append(std::exchange(m_partial, QString()));
    m_afterCr = false;
    m_skipping = false;
}

} // namespace fulmaro
