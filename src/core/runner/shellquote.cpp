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
    // letters but still expands %NAME%, so each % is written between the quotes: "a"%"PATH"%"b".
    // A name between two % then always begins and ends with a quote, and no variable has such
    // a name. A double quote cannot be part of a Windows file name and would end the quoting:
    // it is dropped. The tool counts backslashes before a quote, so those are doubled where a
    // quote follows them, the closing one included ("C:\Out\\" stays C:\Out\).
    qsizetype backslashes = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            continue;
        if (c == QLatin1Char('%')) {
            quoted += QString(backslashes, QLatin1Char('\\'));
            quoted += QStringLiteral("\"%\"");
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
