#pragma once

#include "core/base/toolset.h"

#include <QLocale>
#include <QStringList>

class QRandomGenerator;

namespace fulmaro {

// The video's file name without folder and extension: the stem of the scratch pictures and of
// the proposed save name.
QString pictureBaseName(const QString &fileName);

// The scratch picture for one grab: tempDir + base + "_" + seconds + ".jpg".
QString thumbnailScratchPath(const QString &tempDir, const QString &fileName, int seconds);

// The encoder's command line that writes the one frame at the given second into scratchPath.
// The seek stands before the input, so the encoder jumps instead of decoding from the start.
QString thumbnailGrabCommand(const ToolSet &tools, const QString &fileName, int seconds,
                             const QString &scratchPath);

// The slider's maximum from the format probe's output: the video's length in whole seconds by
// the duration rule (0 when the probe gave none).
int thumbnailSliderMaximum(const QStringList &formatLines, const QLocale &locale = QLocale());

// A random second from 0 to maximum - 1, so the last (possibly rounded-up) second is never
// drawn; 0 when the maximum is 0.
int randomThumbnailPosition(int maximum, QRandomGenerator &generator);

// The window caption for a slider position: Küçük Resim (hh:nn:ss).
QString thumbnailCaption(int position, const QLocale &locale = QLocale());

// The name the save dialog proposes: base + ".jpg"; for a picture of a known second,
// base + "_hh-mm-ss.jpg", so the pictures of one clip do not all offer one name.
QString proposedPictureName(const QString &fileName, int second = -1);

} // namespace fulmaro
