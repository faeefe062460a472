#include "core/base/pathtext.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>

namespace fulmaro {

namespace {
// Name order as people read it: runs of digits compare by value, letters without case.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Leading zeros aside, the longer run is the larger number.
            QStringView x = QStringView(a).mid(i, ei - i), y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x.front() == QLatin1Char('0'))
                x = x.mid(1);
            while (y.size() > 1 && y.front() == QLatin1Char('0'))
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ei, j = ej;
            continue;
        }
        const QChar ca = a.at(i).toCaseFolded(), cb = b.at(j).toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i, ++j;
    }
    return a.size() - i < b.size() - j;
}

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

QStringList videoExtensions()
{
    return {QStringLiteral("mp4"),  QStringLiteral("mkv"), QStringLiteral("avi"),
            QStringLiteral("flv"),  QStringLiteral("mov"), QStringLiteral("webm"),
            QStringLiteral("m4v"),  QStringLiteral("3gp"), QStringLiteral("mts"),
            QStringLiteral("m2ts"), QStringLiteral("ts"),  QStringLiteral("mpg"),
            QStringLiteral("mpeg"), QStringLiteral("wmv"), QStringLiteral("ogv"),
            QStringLiteral("vob"),  QStringLiteral("mxf"), QStringLiteral("asf"),
            QStringLiteral("divx"), QStringLiteral("f4v"), QStringLiteral("3g2")};
}

QStringList videoDialogNameFilters()
{
    QStringList all;
    for (const QString &ext : videoExtensions())
        all << QStringLiteral("*.") + ext;
    QStringList filters = {QStringLiteral("Video Dosyaları (") + all.join(QLatin1Char(' ')) +
                           QLatin1Char(')')};
    for (const QString &ext : videoExtensions())
        filters << ext + QStringLiteral(" (*.") + ext + QLatin1Char(')');
    filters << QStringLiteral("Tüm dosyalar (*)");
    return filters;
}

QStringList clipDialogNameFilters()
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
    const QString ext = extensionWithDot(path).mid(1).toLower();
    return !ext.isEmpty() && videoExtensions().contains(ext);
}

QStringList videoFilesInFolder(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (passesVideoDropTest(path))
            found << QDir::toNativeSeparators(path);
    }
    std::sort(found.begin(), found.end(),
              [](const QString &a, const QString &b) { return naturalLess(a, b); });
    return found;
}

} // namespace fulmaro
