#include "core/base/pathtext.h"

namespace fulmaro {

namespace {
qsizetype lastSeparator(const QString &path)
{
#ifdef Q_OS_WIN
    return std::max(
        path.lastIndexOf(QLatin1Char('\\')),
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char(':'))));
#else
    return path.lastIndexOf(QLatin1Char('/'));
#endif
}
} // namespace

QString extensionWithDot(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < lastSeparator(path))
        return {};
    return path.mid(dot);
}

QString fileNamePart(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

QStringList videoDialogNameFilters()
{
    const QStringList parts = QString::fromUtf16(kVideoFilterText).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

bool passesVideoDropTest(const QString &path)
{
    const QString ext = extensionWithDot(path);
    return !ext.isEmpty() && QStringView(kVideoFilterText).contains(ext, Qt::CaseSensitive);
}

} // namespace fulmaro
