#include "core/queue/rendercheck.h"

#include "core/render/commandbuilder.h"
#include "core/render/videocodecs.h"
#include "core/videolist/videoitem.h"

#include <QFileInfo>
#include <QTemporaryFile>

namespace fulmaro {

namespace {

// Frames a second of the row's picture; the canvas falls back to 30 for an implausible rate.
double framesPerSecond(const QString &frameRate)
{
    const qsizetype slash = frameRate.indexOf(QLatin1Char('/'));
    const double num = frameRate.left(slash < 0 ? frameRate.size() : slash).toDouble();
    const double den = slash < 0 ? 1.0 : frameRate.mid(slash + 1).toDouble();
    const double rate = den > 0 ? num / den : 0;
    return rate >= 1 && rate <= 240 ? rate : 30.0;
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

InputProblem checkStreams(const RenderSettings &settings)
{
    if (settings.cbEraseAudio && settings.cbEraseVideo)
        return {erasedEverythingText(), QStringLiteral("cbEraseVideo")};
    return {};
}

InputProblem checkCodec(const RenderSettings &settings)
{
    // Sound only writes no video codec.
    if (settings.cbEraseVideo)
        return {};
    return {codecContainerProblem(settings), QStringLiteral("cbVideoCodec")};
}

InputProblem checkBitrate(const RenderSettings &settings)
{
    // A constant quality has no bitrate, nor has sound only.
    if (rateModeFromIndex(settings.cbRateMode) == RateMode::Quality || settings.cbEraseVideo)
        return {};
    const QString text = settings.cbBitrate.trimmed();
    if (text.isEmpty())
        return {QStringLiteral("Bit hızı girilmemiş."), QStringLiteral("cbBitrate")};
    if (!isValidBitrate(text))
        return {QStringLiteral("Bit hızı yalnızca rakamlardan oluşmalı: %1").arg(text),
                QStringLiteral("cbBitrate")};
    bool allZero = true;
    for (QChar c : text)
        allZero = allZero && c == QLatin1Char('0');
    if (allZero)
        return {QStringLiteral("Bit hızı sıfır olamaz."), QStringLiteral("cbBitrate")};
    // Far beyond any video, and beyond what the encoders take: refused now rather than by each
    // job's encoder.
    bool fits = false;
    const qlonglong kbits = text.toLongLong(&fits);
    if (!fits || kbits > kMaxBitrateKbits)
        return {QStringLiteral("Bit hızı çok büyük: %1 (en çok %2 kbit/s).")
                    .arg(text)
                    .arg(kMaxBitrateKbits),
                QStringLiteral("cbBitrate")};
    return {};
}

InputProblem checkTrim(const VideoItem &item, const RenderSettings &settings)
{
    // The command ignores negative cuts.
    const qint64 start = qMax(0, settings.edTimeStart);
    const qint64 end = qMax(0, settings.edTimeEnd);
    if (start == 0 && end == 0)
        return {};
    const qint64 length = durationToSeconds(item.duration);
    const qint64 left = length - start - end;
    const double speed = settings.tbVideoSpeed > 0 ? settings.tbVideoSpeed / 100.0 : 1.0;
    if (double(left) / speed * framesPerSecond(item.frameRate) >= 1.0)
        return {};
    const QString message =
        QStringLiteral("Kırpma sonrası videodan geriye bir şey kalmıyor: %1 (süre %2, baştan %3 "
                       "sn, sondan %4 sn kesiliyor).")
            .arg(fileName(item.caption), item.duration)
            .arg(start)
            .arg(end);
    // The cut that alone takes everything, else the end cut, which is the one usually set last.
    const bool startAlone = start >= length || end == 0;
    return {message, startAlone ? QStringLiteral("edTimeStart") : QStringLiteral("edTimeEnd")};
}

InputProblem checkOutputFolder(const QString &folder)
{
    const QString control = QStringLiteral("edOutputFolder");
    if (!QFileInfo(folder).isDir())
        return {QStringLiteral("Çıkış klasörü bulunamadı."), control};
    // Permissions alone do not tell (a read-only file system, an administrator, access lists):
    // try to make a file there.
    QTemporaryFile probe(folder + QStringLiteral("/.fulmaro-XXXXXX"));
    if (!probe.open())
        return {QStringLiteral("Çıkış klasörüne yazılamıyor: %1").arg(folder), control};
    return {};
}

InputProblem checkRenderInput(const QList<VideoItem> &items, const RenderSettings &settings,
                              const QString &outputFolder)
{
    InputProblem problem = checkStreams(settings);
    if (problem.isProblem())
        return problem;
    problem = checkCodec(settings);
    if (problem.isProblem())
        return problem;
    problem = checkBitrate(settings);
    if (problem.isProblem())
        return problem;
    for (const VideoItem &item : items) {
        problem = checkTrim(item, settings);
        if (problem.isProblem())
            return problem;
    }
    if (QFileInfo(outputFolder).isDir())
        return checkOutputFolder(outputFolder);
    return {};
}

} // namespace fulmaro
