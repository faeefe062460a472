#include "core/runner/shellquote.h"

namespace fulmaro {

QString quoteArg(const QString &text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
#ifdef Q_OS_WIN
    // cmd.exe has no escape inside double quotes, and a double quote cannot be part of a
    // Windows file name; drop any so the quoting cannot be closed early.
    for (QChar c : text) {
        if (c != QLatin1Char('"'))
            quoted += c;
    }
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
