#include "core/videolist/mediaprobe.h"

#include "core/base/pathtext.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace fulmaro {

QString formatProbeCommand(const ToolSet &tools, const QString &path)
{
    return tools.path(tools.ffProbe) + QStringLiteral("  ") + quoteArg(path)
           + QStringLiteral(" -v quiet -show_entries format=duration,size");
}

QString streamProbeCommand(const ToolSet &tools, const QString &path)
{
    return tools.path(tools.ffProbe) + QStringLiteral("  ") + quoteArg(path)
           + QStringLiteral(" -v quiet -show_streams");
}

QString probeValue(const QStringList &lines, QStringView name)
{
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

qint64 wholeSecondsFromDecimal(const QString &value, const QLocale &locale)
{
    // The probe always writes "."; it becomes the user's separator so the user's number format
    // reads it, as the rest of the program's shown numbers are.
    QString text = value;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        text.replace(dot, 1, locale.decimalPoint());
    QLocale reader = locale;
    reader.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double seconds = reader.toDouble(text, &ok);
    // Negative or absurd values are no duration either.
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 9.0e15)
        return 0;
    const double whole = std::floor(seconds);
    const double rest = seconds - whole;
    qint64 s = static_cast<qint64>(whole);
    if (rest > 0.5 || (rest == 0.5 && (s % 2) != 0))
        ++s;
    return s;
}

qint64 probedDurationSeconds(const QStringList &formatLines, const QLocale &locale)
{
    return wholeSecondsFromDecimal(probeValue(formatLines, u"duration"), locale);
}

QString timeSeparator(const QLocale &locale)
{
    // The locale's short time format holds the separator right after the hours.
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (i >= 0) {
        while (i < format.size() && format.at(i).toLower() == QLatin1Char('h'))
            ++i;
        qsizetype end = i;
        while (end < format.size() && !format.at(end).isLetter()
               && format.at(end) != QLatin1Char('\''))
            ++end;
        if (end > i)
            return format.mid(i, end - i).trimmed().isEmpty() ? format.mid(i, end - i)
                                                              : format.mid(i, end - i).trimmed();
    }
    return QStringLiteral(":");
}

QString durationText(qint64 seconds, const QLocale &locale)
{
    const qint64 ofDay = ((seconds % 86400) + 86400) % 86400;
    const QString sep = timeSeparator(locale);
    auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(ofDay / 3600) + sep + two(ofDay / 60 % 60) + sep + two(ofDay % 60);
}

namespace {

// "0.##": rounded to two decimals (halves away from zero), no trailing zeros, no grouping.
QString twoDecimals(double value, const QLocale &locale)
{
    const qint64 hundredths = std::llround(value * 100.0);
    const qint64 whole = hundredths / 100;
    qint64 frac = std::abs(hundredths % 100);
    QString text = (hundredths < 0 && whole == 0 ? QStringLiteral("-") : QString())
                   + QString::number(whole);
    if (frac != 0) {
        QString digits = QStringLiteral("%1").arg(frac, 2, 10, QLatin1Char('0'));
        if (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += locale.decimalPoint() + digits;
    }
    return text;
}

} // namespace

QString fileSizeText(qint64 bytes, const QLocale &locale)
{
    const double b = static_cast<double>(bytes);
    if (b / 1024.0 < 1000.0)
        return twoDecimals(b / 1024.0, locale) + QStringLiteral(" KB");
    if (b / 1048576.0 < 1000.0)
        return twoDecimals(b / 1048576.0, locale) + QStringLiteral(" MB");
    if (b / 1073741824.0 < 1000.0)
        return twoDecimals(b / 1073741824.0, locale) + QStringLiteral(" GB");
    return {};
}

qint64 probedSize(const QString &value)
{
    if (value.isEmpty())
        return 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (!(c.isDigit() || (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')))))
            return 0;
    }
    bool ok = false;
    const qint64 n = value.toLongLong(&ok, 10);
    return ok ? n : 0;
}

StreamFacts readStreamFacts(const QStringList &streamLines)
{
    StreamFacts facts;
    facts.resolution = probeValue(streamLines, u"width") + QLatin1Char('x')
                       + probeValue(streamLines, u"height");

    // Walk the streams one section at a time; a value belongs to the section it stands in.
    bool videoSeen = false;
    QString sectionType;
    QString sectionRate;
    auto closeSection = [&] {
        if (sectionType == QLatin1String("audio"))
            facts.hasAudio = true;
        if (!videoSeen && sectionType == QLatin1String("video")) {
            videoSeen = true;
            facts.frameRate = sectionRate;
        }
        sectionType.clear();
        sectionRate.clear();
    };
    for (const QString &line : streamLines) {
        if (line.startsWith(QLatin1Char('['))) {
            closeSection();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QStringView name = QStringView(line).left(eq);
        if (name.compare(u"codec_type", Qt::CaseInsensitive) == 0 && sectionType.isEmpty())
            sectionType = line.mid(eq + 1).trimmed();
        else if (name.compare(u"r_frame_rate", Qt::CaseInsensitive) == 0 && sectionRate.isEmpty())
            sectionRate = line.mid(eq + 1).trimmed();
    }
    closeSection();
    return facts;
}

VideoItem makeVideoItem(const QString &path, const QStringList &formatLines,
                        const QStringList &streamLines, qint64 fileSystemSize,
                        const QLocale &locale)
{
    VideoItem item;
    item.caption = path;
    item.duration = durationText(probedDurationSeconds(formatLines, locale), locale);
    item.type = extensionWithDot(path).mid(1);
    qint64 bytes = probedSize(probeValue(formatLines, u"size"));
    // A negative count is no size either; the file system knows better.
    if (bytes <= 0)
        bytes = fileSystemSize;
    item.size = fileSizeText(qMax<qint64>(bytes, 0), locale);
    const StreamFacts facts = readStreamFacts(streamLines);
    item.resolution = facts.resolution;
    item.hasAudio = facts.hasAudio;
    item.frameRate = facts.frameRate;
    item.checked = false;
    item.group = 0;
    return item;
}

bool isProbeableFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

std::optional<VideoItem> probeVideoFile(const ToolSet &tools, const QString &workDir,
                                        const QString &path, const QLocale &locale)
{
    if (!isProbeableFile(path))
        return std::nullopt;
    const RunResult format = getDosOutput(tools.ffProbe, formatProbeCommand(tools, path), workDir);
    const RunResult streams = getDosOutput(tools.ffProbe, streamProbeCommand(tools, path), workDir);
    return makeVideoItem(path, format.lines, streams.lines, QFileInfo(path).size(), locale);
}

} // namespace fulmaro
