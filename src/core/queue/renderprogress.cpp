#include "core/queue/renderprogress.h"

#include "core/render/commandbuilder.h"

#include <cmath>

namespace fulmaro {

namespace {

const QString kDuration = QStringLiteral("Duration: ");
const QString kTime = QStringLiteral("time=");
const QString kBitrate = QStringLiteral("bitrate");
const QString kSpeed = QStringLiteral("speed=");

// Drops the format characters outside quoted literals for which keep() says no, together with
// the blanks that separated them from the rest.
QString stripFormat(const QString &format, const std::function<bool(QChar)> &keep)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
        } else if (quoted || keep(c)) {
            out += c;
        } else {
            while (out.endsWith(QLatin1Char(' ')))
                out.chop(1);
        }
    }
    return out.trimmed();
}

} // namespace

qint64 expectedOutputSeconds(qint64 inputSeconds, qint64 timeStart, qint64 timeEnd,
                             int speedPercent)
{
    const qint64 d = inputSeconds - timeStart - timeEnd;
    if (speedPercent <= 0)
        return d;
    // long double carries a 64-bit significand on x86; nearbyint rounds a tie to even.
    const long double factor = static_cast<long double>(speedPercent) / 100.0L;
    const long double quotient = static_cast<long double>(d) / factor;
    return static_cast<qint64>(std::nearbyint(quotient));
}

qint64 progressPercent(qint64 positionSeconds, qint64 expectedSeconds)
{
    if (expectedSeconds == 0)
        return 0;
    const long double quotient =
        static_cast<long double>(positionSeconds) / static_cast<long double>(expectedSeconds);
    const long double percent = quotient * 100.0L;
    return static_cast<qint64>(percent);
}

RenderProgress::RenderProgress(qint64 timeStart, qint64 timeEnd, int speedPercent)
    : m_timeStart(timeStart)
    , m_timeEnd(timeEnd)
    , m_speed(speedPercent)
{}

void RenderProgress::reset()
{
    m_expected = 0;
    m_log.clear();
    m_scanFrom = 0;
    m_durationAt = -1;
}

RenderProgress::Step RenderProgress::feed(const QString &piece)
{
    // The log is the output exactly as delivered: a report cut between two pieces stays whole.
    m_log += piece;
    return m_expected == 0 ? durationStep() : progressStep(piece);
}

RenderProgress::Step RenderProgress::durationStep()
{
    Step step;
    if (m_durationAt < 0) {
        const qsizetype at = m_log.indexOf(kDuration, m_scanFrom);
        if (at < 0) {
            m_scanFrom = std::max<qsizetype>(0, m_log.size() - (kDuration.size() - 1));
            return step;
        }
        m_durationAt = at;
    }
    const qsizetype valueAt = m_durationAt + kDuration.size();
    const qsizetype comma = m_log.indexOf(QLatin1Char(','), valueAt);
    if (comma < 0)
        return step;
    QString value = m_log.mid(valueAt, comma - valueAt);
    value.remove(QLatin1Char('\r'));
    value.remove(QLatin1Char('\n'));
    if (value.trimmed().isEmpty())
        return step;
    m_expected = expectedOutputSeconds(durationToSeconds(value), m_timeStart, m_timeEnd, m_speed);
    if (m_expected != 0)
        m_expected += std::llround(m_added);
    step.durationLearnt = m_expected != 0;
    return step;
}

RenderProgress::Step RenderProgress::progressStep(const QString &piece) const
{
    Step step;
    // The latest whole report of the piece: on a busy machine one read can hold several, and the
    // last of them is where the encoder is (at the end, the position it finished at).
    qsizetype at = piece.lastIndexOf(kTime);
    qsizetype end = -1;
    while (at >= 0) {
        end = piece.indexOf(kBitrate, at + kTime.size());
        if (end >= 0)
            break;
        at = at > 0 ? piece.lastIndexOf(kTime, at - 1) : -1;
    }
    if (at < 0)
        return step;
    const qsizetype valueAt = at + kTime.size();
    QString value = piece.mid(valueAt, end - valueAt);
    value.remove(QLatin1Char('\r'));
    value.remove(QLatin1Char('\n'));
    if (value.trimmed().isEmpty())
        return step;
    step.progress = true;
    step.positionSeconds = durationToSeconds(value);
    step.positionExact = timeTextSeconds(value.trimmed());
    if (m_offset > 0) {
        step.positionExact += m_offset;
        step.positionSeconds = qint64(step.positionExact);
    }
    step.percent = progressPercent(step.positionSeconds, m_expected);
    // The speed closes the same report line; a piece that ends before its "x" has none.
    const qsizetype speedAt = piece.indexOf(kSpeed, end);
    const qsizetype lineEnd = [&] {
        const qsizetype cr = piece.indexOf(QLatin1Char('\r'), end);
        const qsizetype lf = piece.indexOf(QLatin1Char('\n'), end);
        if (cr < 0)
            return lf;
        return lf < 0 ? cr : std::min(cr, lf);
    }();
    if (speedAt >= 0 && (lineEnd < 0 || speedAt < lineEnd)) {
        const qsizetype valueStart = speedAt + kSpeed.size();
        const qsizetype x = piece.indexOf(QLatin1Char('x'), valueStart);
        if (x >= 0 && (lineEnd < 0 || x < lineEnd))
            step.speed = parseSpeed(piece.mid(valueStart, x - valueStart + 1));
    }
    return step;
}

double timeTextSeconds(const QString &text)
{
    // hh:mm:ss.ff; the encoder writes "." whatever the locale.
    const QStringList fields = text.split(QLatin1Char(':'));
    if (fields.size() != 3)
        return durationToSeconds(text);
    const double seconds = fields.at(2).toDouble();
    return fields.at(0).toInt() * 3600.0 + fields.at(1).toInt() * 60.0 +
           (std::isfinite(seconds) && seconds > 0 ? seconds : 0.0);
}

std::optional<double> parseSpeed(const QString &value)
{
    QString text = value.trimmed();
    if (!text.endsWith(QLatin1Char('x')))
        return std::nullopt;
    text.chop(1);
    bool ok = false;
    const double speed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(speed) || speed <= 0)
        return std::nullopt;
    return speed;
}

QString longTimeFormat(const QLocale &locale)
{
    return stripFormat(locale.timeFormat(QLocale::LongFormat),
                       [](QChar c) { return c != QLatin1Char('t'); });
}

QString timeText(const QTime &time, const QLocale &locale)
{
    return locale.toString(time, longTimeFormat(locale));
}

QString elapsedText(qint64 seconds, const QLocale &locale)
{
    if (seconds < 0)
        seconds = 0;
    // A span is no time of day: no AM/PM marker, hours counted from 0 to 23.
    QString format = stripFormat(longTimeFormat(locale), [](QChar c) {
        return c != QLatin1Char('A') && c != QLatin1Char('a') && c != QLatin1Char('P') &&
               c != QLatin1Char('p');
    });
    format.replace(QLatin1Char('h'), QLatin1Char('H'));
    const QString text = locale.toString(QTime(0, 0).addSecs(int(seconds % 86400)), format);
    const qint64 days = seconds / 86400;
    return days > 0 ? QString::number(days) + QLatin1Char('.') + text : text;
}

} // namespace fulmaro
