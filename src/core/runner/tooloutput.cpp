#include "core/runner/tooloutput.h"

#include <QRegularExpression>

namespace fulmaro {

bool isMeaningfulToolLine(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty())
        return false;
    // Indented lines describe the inputs, outputs and stream mapping (and repeat counts); the
    // tools write what went wrong from the line's start.
    if (line.front().isSpace())
        return false;
    if (text.startsWith(QLatin1String("Input #")) || text.startsWith(QLatin1String("Output #")) ||
        text == QLatin1String("Stream mapping:"))
        return false;
    // The banner: "ffmpeg version ...", then indented build, configuration and library lines.
    static const QRegularExpression banner(QStringLiteral(
        "\\A(?:(?:ffmpeg|ffprobe|ffplay) version |built with |configuration: "
        "|lib(?:avutil|avcodec|avformat|avdevice|avfilter|swscale|swresample|postproc)\\s+\\d)"));
    if (banner.match(text).hasMatch())
        return false;
    // Progress: "frame=  30 fps=... time=..." for video, "size= ... time=..." for sound alone.
    static const QRegularExpression progress(
        QStringLiteral("\\A(?:frame|size|Lsize)=.*\\btime=-?[0-9:.N/A]+"));
    if (progress.match(text).hasMatch())
        return false;
    if (text.startsWith(QLatin1String("Press [q] to stop")))
        return false;
    // Chatter of a run that went on: the encoder's settings and statistics, the final sizes,
    // and the scaler's note on full-range pictures (every camera's MJPEG).
    static const QRegularExpression chatter(QStringLiteral(
        "\\A(?:\\[libx264 @ [^\\]]*\\] (?:using |profile |264 - core|frame [IPB]:|consecutive "
        "B-frames|mb [IPB] |8x8 transform|coded y|i16 |i8 |i4 |i8c |Weighted P|ref [PB] |kb/s:"
        "|direct mvs|final ratefactor|SSIM|PSNR)"
        "|\\[swscaler @ [^\\]]*\\].*deprecated pixel format used"
        "|video:\\S+ audio:\\S+ subtitle:)"));
    if (chatter.match(text).hasMatch())
        return false;
    return true;
}

QStringList lastMeaningfulLines(const QStringList &lines, int count)
{
    QStringList tail;
    for (qsizetype i = lines.size() - 1; i >= 0 && tail.size() < count; --i) {
        if (isMeaningfulToolLine(lines.at(i)))
            tail.prepend(lines.at(i));
    }
    return tail;
}

} // namespace fulmaro
