#pragma once

#include "core/render/rendersettings.h"

#include <QList>
#include <QString>

namespace fulmaro {

struct VideoItem;

// Input that would make the encoder fail or write a useless file, found before anything runs.
struct InputProblem
{
    QString message; // Turkish, as shown; empty when the input is fine
    QString control; // objectName of the control to correct ("cbBitrate", "edTimeEnd", ...)

    bool isProblem() const { return !message.isEmpty(); }
};

// The largest bitrate taken, in kbit/s (10 Gbit/s).
inline constexpr qlonglong kMaxBitrateKbits = 10'000'000;

// A codec the container cannot hold (cbVideoCodec).
InputProblem checkCodec(const RenderSettings &settings);

// Empty, zero or far too large bitrate (cbBitrate); none in constant-quality mode.
InputProblem checkBitrate(const RenderSettings &settings);

// A trim that leaves less than one frame of a row (edTimeStart or edTimeEnd).
InputProblem checkTrim(const VideoItem &item, const RenderSettings &settings);

// The output folder: missing, or one that takes no new file (edOutputFolder).
InputProblem checkOutputFolder(const QString &folder);

// "Sesi Sil" and "Görüntüyü Sil" together leave nothing to write (cbEraseVideo).
InputProblem checkStreams(const RenderSettings &settings);

// Every check over a render's rows, first problem first: streams, codec, bitrate, trims, then the
// output folder when it exists (a missing one is reported when the run starts).
InputProblem checkRenderInput(const QList<VideoItem> &items, const RenderSettings &settings,
                              const QString &outputFolder);

} // namespace fulmaro
