#include "core/runner/shellquote.h"

namespace fulmaro {

QString quoteArg(const QString &text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
#ifdef Q_OS_WIN
    // Two readers: cmd.exe (run with /V:OFF, so "!" is plain), then the tool's own splitting of
    // its command line into arguments. Inside double quotes cmd.exe takes & | < > ^ ( ) as
    // letters but still expands %NAME% and ends the quotes at a ". So each % and " is written
    // outside the quotes, escaped for cmd.exe with ^: a % then never has a variable name beside
    // it that is free of quotes and carets, so nothing is expanded; and a quote comes out as \"
    // for the tool. The tool counts backslashes before a quote: those are doubled where a quote
    // follows them, the closing one included ("C:\Out\\" stays C:\Out\).
    qsizetype backslashes = 0;
    const auto closeQuote = [&] {
        quoted += QString(backslashes, QLatin1Char('\\'));
        quoted += QLatin1Char('"');
    };
    for (QChar c : text) {
        if (c == QLatin1Char('%')) {
            closeQuote();
            quoted += QStringLiteral("^%\"");
        } else if (c == QLatin1Char('"')) {
            closeQuote();
            quoted += QStringLiteral("\\^\"\"");
        }
        if (c == QLatin1Char('%') || c == QLatin1Char('"')) {
            backslashes = 0;
            continue;
        }
        backslashes = c == QLatin1Char('\\') ? backslashes + 1 : 0;
        quoted += c;
    }
    quoted += QString(backslashes, QLatin1Char('\\'));
#else
    // Inside double quotes the POSIX shell still interprets \ " $ and `; escape exactly those.
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$') ||
            c == QLatin1Char('`'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
#endif
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace fulmaro
