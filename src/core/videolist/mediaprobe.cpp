#include "core/videolist/mediaprobe.h"

#include "core/base/pathtext.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include <QFileInfo>

#include "core/base/filechecks.h"
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace fulmaro {

QString formatProbeCommand(const ToolSet &tools, const QString &path)
{
    return quoteArg(tools.path(tools.ffProbe)) + QStringLiteral("  ") + quoteArg(path) +
           QStringLiteral(" -v quiet -show_entries format=duration,size");
}

QString streamProbeCommand(const ToolSet &tools, const QString &path)
{
    return quoteArg(tools.path(tools.ffProbe)) + QStringLiteral("  ") + quoteArg(path) +
           QStringLiteral(" -v quiet -show_streams");
}

QString combinedProbeCommand(const ToolSet &tools, const QString &path)
{
    return quoteArg(tools.path(tools.ffProbe)) + QStringLiteral("  ") + quoteArg(path) +
           QStringLiteral(" -v quiet -show_entries format=duration,size -show_streams");
}

void splitCombinedProbe(const QStringList &lines, QStringList *formatLines,
                        QStringList *streamLines)
{
    // The streams come first, the container's section last; a stream's own "duration=" must not
    // be read as the container's.
    bool inFormat = false;
    for (const QString &line : lines) {
        if (line == QLatin1String("[FORMAT]"))
            inFormat = true;
        (inFormat ? formatLines : streamLines)->append(line);
        if (line == QLatin1String("[/FORMAT]"))
            inFormat = false;
    }
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
        while (end < format.size() && !format.at(end).isLetter() &&
               format.at(end) != QLatin1Char('\''))
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
    QString text =
        (hundredths < 0 && whole == 0 ? QStringLiteral("-") : QString()) + QString::number(whole);
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

double frameRateValue(const QString &rate)
{
    static const QRegularExpression re(
        QStringLiteral("\\A\\s*([0-9]+(?:\\.[0-9]+)?)(?:/([0-9]+(?:\\.[0-9]+)?))?\\s*\\z"));
    const QRegularExpressionMatch m = re.match(rate);
    if (!m.hasMatch())
        return 0;
    const double num = m.captured(1).toDouble();
    const double den = m.captured(2).isEmpty() ? 1.0 : m.captured(2).toDouble();
    if (den <= 0 || !std::isfinite(num / den))
        return 0;
    return num / den;
}

namespace {

bool plausibleRate(double fps)
{
    return fps >= 1.0 && fps <= 240.0;
}

// "num/den" with both terms at most limit: the probe's own terms when they fit, otherwise the
// last continued-fraction convergent of the value that does.
QString boundedRate(const QString &rate, double value)
{
    constexpr qint64 limit = 65535;
    static const QRegularExpression exact(QStringLiteral("\\A\\s*([0-9]+)(?:/([0-9]+))?\\s*\\z"));
    if (const QRegularExpressionMatch m = exact.match(rate); m.hasMatch()) {
        const qint64 num = m.captured(1).toLongLong();
        const qint64 den = m.captured(2).isEmpty() ? 1 : m.captured(2).toLongLong();
        if (num > 0 && den > 0 && num <= limit && den <= limit)
            return QString::number(num) + QLatin1Char('/') + QString::number(den);
    }
    qint64 p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double x = value;
    for (int i = 0; i < 64; ++i) {
        const double a = std::floor(x);
        const qint64 p2 = static_cast<qint64>(a) * p1 + p0;
        const qint64 q2 = static_cast<qint64>(a) * q1 + q0;
        if (p2 > limit || q2 > limit)
            break;
        p0 = p1;
        q0 = q1;
        p1 = p2;
        q1 = q2;
        const double rest = x - a;
        if (rest < 1e-12)
            break;
        x = 1.0 / rest;
    }
    if (q1 == 0)
        return QStringLiteral("30/1");
    return QString::number(p1) + QLatin1Char('/') + QString::number(q1);
}

} // namespace

QString plausibleFrameRate(const QString &rFrameRate, const QString &avgFrameRate)
{
    const double real = frameRateValue(rFrameRate);
    if (plausibleRate(real))
        return boundedRate(rFrameRate, real);
    const double average = frameRateValue(avgFrameRate);
    if (plausibleRate(average))
        return boundedRate(avgFrameRate, average);
    return QStringLiteral("30/1");
}

namespace {

// One [STREAM] section of the stream probe's output.
struct StreamSection
{
    QString type;
    QString codec;
    QString width;
    QString height;
    QString rFrameRate;
    QString avgFrameRate;
    QString sampleRate;
    QString channels;
    QString bitRate;
    QString sideRotation;
    QString rotateTag;
    QString startTime;
    QString duration;
    bool attachedPicture = false;
};

// Degrees the picture is turned when shown, 0 to 359. The display matrix's rotation counts
// counter-clockwise; only its size matters here, since a quarter turn either way swaps the sides.
int rotationDegrees(const StreamSection &s)
{
    const QString &text = s.sideRotation.isEmpty() ? s.rotateTag : s.sideRotation;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const long long degrees = std::llround(value);
    return static_cast<int>(((degrees % 360) + 360) % 360);
}

} // namespace

StreamFacts readStreamFacts(const QStringList &streamLines)
{
    StreamFacts facts;
    int videoStreams = 0;
    bool inStream = false;
    bool inSideData = false;
    StreamSection section;
    // The earliest start of any stream, which the encoder takes as the file's start, and the
    // video's own; NaN while unknown.
    double firstStart = std::numeric_limits<double>::quiet_NaN();
    double videoStart = std::numeric_limits<double>::quiet_NaN();

    auto closeStream = [&] {
        bool known = false;
        const double start = section.startTime.toDouble(&known);
        if (known && std::isfinite(start) && !(start >= firstStart))
            firstStart = start;
        if (section.type == QLatin1String("audio")) {
            facts.hasAudio = true;
            facts.audioStreams.append(AudioStream{section.codec, section.sampleRate.toInt(),
                                                  section.channels.toInt(),
                                                  section.bitRate.toLongLong()});
        } else if (section.type == QLatin1String("video")) {
            if (!facts.hasVideo && !section.attachedPicture) {
                facts.hasVideo = true;
                facts.videoOrdinal = videoStreams;
                facts.width = section.width;
                facts.height = section.height;
                facts.rotation = rotationDegrees(section);
                facts.frameRate = plausibleFrameRate(section.rFrameRate, section.avgFrameRate);
                if (known && std::isfinite(start))
                    videoStart = start;
                const double length = section.duration.toDouble();
                facts.videoSeconds = std::isfinite(length) && length > 0 ? length : 0;
                const double guessed = frameRateValue(section.rFrameRate);
                const double average = frameRateValue(section.avgFrameRate);
                facts.steadyRate = guessed > 0 && std::fabs(guessed - average) <= guessed * 1e-9;
            }
            ++videoStreams;
        }
        if (!section.type.isEmpty())
            facts.anyStream = true;
        section = StreamSection();
    };

    for (const QString &line : streamLines) {
        const QString trimmed = line.trimmed();
        if (trimmed == QLatin1String("[STREAM]")) {
            if (inStream)
                closeStream();
            inStream = true;
            inSideData = false;
            continue;
        }
        if (trimmed == QLatin1String("[/STREAM]")) {
            if (inStream)
                closeStream();
            inStream = false;
            inSideData = false;
            continue;
        }
        // Side data sits inside a stream; of it only the display matrix's rotation is read.
        if (trimmed.startsWith(QLatin1String("[SIDE_DATA"))) {
            inSideData = true;
            continue;
        }
        if (trimmed.startsWith(QLatin1String("[/SIDE_DATA"))) {
            inSideData = false;
            continue;
        }
        if (!inStream)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        // The first line of a name counts, as everywhere in the probe's output.
        auto take = [&value](QString &field) {
            if (field.isEmpty())
                field = value;
        };
        if (inSideData) {
            if (name == QLatin1String("rotation"))
                take(section.sideRotation);
            continue;
        }
        if (name == QLatin1String("codec_type"))
            take(section.type);
        else if (name == QLatin1String("codec_name"))
            take(section.codec);
        else if (name == QLatin1String("width"))
            take(section.width);
        else if (name == QLatin1String("height"))
            take(section.height);
        else if (name == QLatin1String("r_frame_rate"))
            take(section.rFrameRate);
        else if (name == QLatin1String("avg_frame_rate"))
            take(section.avgFrameRate);
        else if (name == QLatin1String("sample_rate"))
            take(section.sampleRate);
        else if (name == QLatin1String("channels"))
            take(section.channels);
        else if (name == QLatin1String("bit_rate"))
            take(section.bitRate);
        else if (name == QLatin1String("tag:rotate"))
            take(section.rotateTag);
        else if (name == QLatin1String("start_time"))
            take(section.startTime);
        else if (name == QLatin1String("duration"))
            take(section.duration);
        else if (name == QLatin1String("disposition:attached_pic"))
            section.attachedPicture = value == QLatin1String("1");
    }
    if (inStream)
        closeStream();

    // A stream that starts before the video (sound that begins first) leaves the first moments
    // of the output without a picture.
    facts.videoStartsWithFile = videoStart <= firstStart + 1e-6 && facts.steadyRate;
    if (facts.hasVideo) {
        const bool quarterTurn = facts.rotation == 90 || facts.rotation == 270;
        facts.resolution = quarterTurn ? facts.height + QLatin1Char('x') + facts.width
                                       : facts.width + QLatin1Char('x') + facts.height;
    }
    return facts;
}

VideoItem makeVideoItem(const QString &path, const QStringList &formatLines,
                        const QStringList &streamLines, qint64 fileSystemSize,
                        const QLocale &locale, bool streamProbeSucceeded)
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
    if (!streamProbeSucceeded || !facts.anyStream)
        item.problem = ItemProblem::Unreadable;
    else if (!facts.hasVideo)
        item.problem = ItemProblem::NoVideo;
    item.resolution = item.renderable() ? facts.resolution : problemText(item.problem);
    item.hasAudio = facts.hasAudio;
    item.audioStreams = facts.audioStreams;
    item.videoOrdinal = facts.videoOrdinal;
    item.frameRate = facts.frameRate;
    item.rotation = facts.rotation;
    item.videoStartsWithFile = facts.videoStartsWithFile;
    // The picture's own length where the container gives it, the container's otherwise.
    const double container = probeValue(formatLines, u"duration").toDouble();
    item.seconds = facts.videoSeconds > 0 ? facts.videoSeconds
                   : std::isfinite(container) && container > 0 && container < 9.0e15 ? container
                                                                                     : 0;
    item.checked = false;
    item.group = 0;
    return item;
}

bool isProbeableFile(const QString &path)
{
    return !path.isEmpty() && notRegularFileReason(path).isEmpty();
}

std::optional<VideoItem> probeVideoFile(const ToolSet &tools, const QString &workDir,
                                        const QString &path, const QLocale &locale)
{
    if (!isProbeableFile(path))
        return std::nullopt;
    const RunResult probe = getDosOutput(tools.ffProbe, combinedProbeCommand(tools, path), workDir);
    QStringList formatLines;
    QStringList streamLines;
    splitCombinedProbe(probe.lines, &formatLines, &streamLines);
    return makeVideoItem(path, formatLines, streamLines, QFileInfo(path).size(), locale,
                         probe.succeeded());
}

} // namespace fulmaro
