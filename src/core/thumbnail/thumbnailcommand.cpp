#include "core/thumbnail/thumbnailcommand.h"

#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <limits>

namespace fulmaro {

QString pictureBaseName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

QString thumbnailScratchPath(const QString &tempDir, const QString &fileName, int seconds)
{
    return tempDir + pictureBaseName(fileName) + QLatin1Char('_') + QString::number(seconds) +
           QStringLiteral(".jpg");
}

QString thumbnailGrabCommand(const ToolSet &tools, const QString &fileName, int seconds,
                             const QString &scratchPath)
{
    return quoteArg(tools.path(tools.ffMpeg)) + QStringLiteral(" -y ") + QStringLiteral(" -ss ") +
           QString::number(seconds) + QStringLiteral(" -i ") + quoteArg(fileName) +
           QStringLiteral(" -f image2") + QStringLiteral(" -vframes 1") +
           QStringLiteral(" -preset ultrafast") + QLatin1Char(' ') + quoteArg(scratchPath);
}

int thumbnailSliderMaximum(const QStringList &formatLines, const QLocale &locale)
{
    const qint64 seconds = probedDurationSeconds(formatLines, locale);
    // A slider holds an int; a length beyond it (68 years) is no video anyway.
    return static_cast<int>(std::clamp<qint64>(seconds, 0, std::numeric_limits<int>::max()));
}

int randomThumbnailPosition(int maximum, QRandomGenerator &generator)
{
    return maximum > 0 ? static_cast<int>(generator.bounded(maximum)) : 0;
}

QString thumbnailCaption(int position, const QLocale &locale)
{
    return QStringLiteral("Küçük Resim (") + durationText(position, locale) + QLatin1Char(')');
}

QString proposedPictureName(const QString &fileName, int second)
{
    if (second < 0)
        return pictureBaseName(fileName) + QStringLiteral(".jpg");
    return pictureBaseName(fileName) + QStringLiteral("_%1-%2-%3.jpg")
                                           .arg(second / 3600, 2, 10, QLatin1Char('0'))
                                           .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                                           .arg(second % 60, 2, 10, QLatin1Char('0'));
}

} // namespace fulmaro
