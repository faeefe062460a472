#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

#include <optional>

namespace fulmaro {

// The output's length in whole seconds: the input's length less the cut seconds, divided by the
// speed factor. Computed in extended precision and rounded half to even, so the figure agrees
// with the one the queue has always shown (171 s at speed 72 gives 237).
qint64 expectedOutputSeconds(qint64 inputSeconds, qint64 timeStart, qint64 timeEnd,
                             int speedPercent);

// Position over expected length, in percent, truncated towards zero; not limited to 0..100.
// expected must not be 0.
qint64 progressPercent(qint64 positionSeconds, qint64 expectedSeconds);

// Follows one render job's console output: learns the output's length from the encoder's first
// "Duration: " report, then turns each "time=" ... "bitrate" report into a percentage.
class RenderProgress
{
public:
    RenderProgress(qint64 timeStart = 0, qint64 timeEnd = 0, int speedPercent = 100);

    struct Step
    {
        bool durationLearnt = false; // this piece made the expected length known
        bool progress = false;       // this piece carried a complete position report
        qint64 positionSeconds = 0;
        qint64 percent = 0;
        // The position with its fraction, for estimates that must not stall between seconds.
        double positionExact = 0;
        // The encoder's own "speed=" figure of that report (2.4 for "2.41x"), when it gave one.
        std::optional<double> speed;
    };

    // Takes one piece of output, as the runner delivered it.
    Step feed(const QString &piece);

    // Seconds the output holds beyond the source's (joined clips), counted into the expected
    // length once it is learnt.
    void setAddedSeconds(double seconds) { m_added = seconds; }
    // Seconds of the output written before this encoder's first (a segment's start), added to
    // every position it reports.
    void setPositionOffset(double seconds) { m_offset = seconds; }

    // 0 while unknown.
    qint64 expectedSeconds() const { return m_expected; }
    // The job's output so far, as delivered.
    const QString &log() const { return m_log; }
    void reset();

private:
    Step durationStep();
    Step progressStep(const QString &piece) const;

    qint64 m_timeStart;
    qint64 m_timeEnd;
    int m_speed;
    double m_added = 0;
    double m_offset = 0;
    qint64 m_expected = 0;
    QString m_log;
    qsizetype m_scanFrom = 0;    // where the search for "Duration: " goes on
    qsizetype m_durationAt = -1; // the first "Duration: ", once found
};

// A time text hh:mm:ss.ff in seconds with its fraction; fields that do not read count as 0.
double timeTextSeconds(const QString &text);
// The figure of a "speed=" report ("2.41x", " 1e+03x"); nothing for "N/A" or a cut report.
std::optional<double> parseSpeed(const QString &value);

// The user's long time format without its time-zone part, so a time written with it reads back.
QString longTimeFormat(const QLocale &locale = QLocale());
// A time of day in that format.
QString timeText(const QTime &time, const QLocale &locale = QLocale());
// A span of whole seconds in the same format, on a 24-hour clock; a day or more is prefixed with
// the number of days and a dot.
QString elapsedText(qint64 seconds, const QLocale &locale = QLocale());

} // namespace fulmaro
