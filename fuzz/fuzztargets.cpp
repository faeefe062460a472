#include "fuzztargets.h"

#include "core/base/settingsfile.h"
#include "core/queue/renderprogress.h"
#include "core/render/rendersettings.h"
#include "core/render/settingsoptions.h"
#include "core/render/settingstable.h"
#include "core/runner/linesplitter.h"
#include "core/videolist/mediaprobe.h"

#include <QLocale>
#include <QStringDecoder>

#include <cstdio>
#include <cstdlib>

namespace fulmaro::fuzz {

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// Cuts the text into pieces whose lengths come from the seed bytes, as reads of a pipe would.
QStringList pieces(const QString &text, const QByteArray &seed)
{
    QStringList result;
    qsizetype at = 0;
    for (qsizetype i = 0; at < text.size(); ++i) {
        const qsizetype length = seed.isEmpty() ? 7 : 1 + quint8(seed.at(i % seed.size())) % 64;
        result << text.mid(at, length);
        at += length;
    }
    return result;
}

// The first few bytes steer the run; the rest is the text.
struct Split
{
    QByteArray head;
    QString text;
};

Split split(const QByteArray &data, qsizetype headSize)
{
    const qsizetype cut = std::min(headSize, data.size());
    return {data.left(cut), QString::fromUtf8(data.mid(cut))};
}

} // namespace

void lineSplitter(const QByteArray &data)
{
    const Split in = split(data, 4);
    LineSplitter whole;
    check(whole.feed(in.text).size() <= in.text.size(), "visible text longer than the piece");
    whole.finish();
    LineSplitter cut;
    QString visible;
    for (const QString &piece : pieces(in.text, in.head))
        visible += cut.feed(piece);
    cut.finish();
    check(cut.lines() == whole.lines(), "lines depend on the piece boundaries");
    for (const QString &line : cut.lines()) {
        check(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')) &&
                  !line.contains(QChar(0)),
              "a break or NUL inside a line");
    }
    LineSplitter again;
    again.feed(in.text);
    check(again.feed(QString()).isEmpty(), "an empty piece shows text");
}

void probeOutput(const QByteArray &data)
{
    const QString text = QString::fromUtf8(data);
    const qsizetype middle = text.indexOf(QLatin1String("[STREAM]"));
    const QStringList formatLines =
        text.left(middle < 0 ? text.size() : middle).split(QLatin1Char('\n'));
    const QStringList streamLines =
        middle < 0 ? QStringList() : text.mid(middle).split(QLatin1Char('\n'));
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::Turkish, QLocale::Turkey)}) {
        const VideoItem item = makeVideoItem(QStringLiteral("/v/clip.mp4"), formatLines,
                                             streamLines, data.size(), locale);
        check(item.duration.size() == 8, "a duration that is not 8 characters");
        check(wholeSecondsFromDecimal(probeValue(formatLines, u"duration"), locale) >= 0,
              "a negative duration");
    }
}

void renderProgress(const QByteArray &data)
{
    const Split in = split(data, 6);
    const auto byte = [&in](int i) { return i < in.head.size() ? quint8(in.head.at(i)) : 0; };
    // Cuts as the panel allows them, speeds in the slider's range.
    const qint64 start = qint64(byte(0) | (byte(1) << 8)) * (byte(4) & 1 ? 1000 : 1);
    const qint64 end = qint64(byte(2) | (byte(3) << 8)) - (byte(4) & 2 ? 1000 : 0);
    const int speed = 5 + byte(5) % 196;
    RenderProgress progress(start, end, speed);
    qint64 learnt = 0;
    for (const QString &piece : pieces(in.text, in.head)) {
        const RenderProgress::Step step = progress.feed(piece);
        if (learnt != 0)
            check(progress.expectedSeconds() == learnt, "the expected length changed");
        learnt = progress.expectedSeconds();
        if (step.progress)
            check(learnt != 0, "progress before the length is known");
    }
    check(progress.log() == in.text, "the log is not the output as delivered");
}

void settingsFile(const QByteArray &data)
{
    const QStringList lines = decodeSettingsLines(data);
    const QString folder = settingsValue(lines, QStringLiteral("outputfolder"));
    for (const QString &line : lines)
        check(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')),
              "a break inside a settings line");
    // What was read is written back and read again unchanged, where the system's encoding can
    // hold it.
    QStringEncoder encoder(QStringConverter::System);
    QStringDecoder decoder(QStringConverter::System);
    const QByteArray encoded = encoder.encode(folder);
    const bool representable = !encoder.hasError() && QString(decoder.decode(encoded)) == folder;
    if (!folder.isEmpty() && representable && !folder.startsWith(QChar(0xFEFF)))
        check(settingsValue(decodeSettingsLines(encodeSettings(folder)),
                            QStringLiteral("outputfolder")) == folder,
              "the output folder does not survive a save");
}

void setOption(const QByteArray &data)
{
    const LibraryEntries library{{QStringLiteral("mavi"), QStringLiteral("Yok")},
                                 {QStringLiteral("altın çerçeve")},
                                 {QStringLiteral("Kırmızı"), QStringLiteral("a;b")},
                                 {QStringLiteral("giriş")},
                                 {QStringLiteral("kapanış")}};
    RenderSettings settings;
    const RenderSettings before = settings;
    const QString problem = applySettingOption(settings, QString::fromUtf8(data), library);
    if (!problem.isEmpty())
        return;
    check(isValidBitrate(settings.cbBitrate) || settings.cbBitrate == before.cbBitrate,
          "a bitrate the panel refuses");
    check(isValidLogoScale(settings.cbLogoScale) || settings.cbLogoScale == before.cbLogoScale,
          "a logo size the panel refuses");
    for (const SettingControl &control : settingControls()) {
        if (control.kind != SettingKind::Slider)
            continue;
        const int value = settings.*(control.number);
        check(value >= control.minimum && value <= control.maximum, "a slider out of its range");
    }
    check(settings.edTimeStart <= kSpinLimit && settings.edTimeStart >= -kSpinLimit &&
              settings.edTimeEnd <= kSpinLimit && settings.edTimeEnd >= -kSpinLimit,
          "a spin box beyond its limit");
}

const QList<Target> &targets()
{
    static const QList<Target> all{{"linesplitter", &lineSplitter},
                                   {"probeoutput", &probeOutput},
                                   {"renderprogress", &renderProgress},
                                   {"settingsfile", &settingsFile},
                                   {"setoption", &setOption}};
    return all;
}

} // namespace fulmaro::fuzz
