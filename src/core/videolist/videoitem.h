#pragma once

#include "core/videolist/audiostream.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace fulmaro {

// Why a listed file cannot be rendered.
enum class ItemProblem {
    None,       // a video stream to render
    NoVideo,    // the probe read the file but found no video stream (sound only, a picture)
    Unreadable, // the probe could not read the file (empty, truncated, not media, no probe)
};
// The small still in front of a row's caption: asked for after the probe, grabbed in the
// background; a row without a picture to show (no video stream, or a grab that failed) shows a
// sign instead.
enum class StillState { Pending, Ready, None };

// One row of the video list. The texts are written once, when the file is added.
struct VideoItem
{
    QString caption;    // the file's full path, exactly as it was given
    QString duration;   // "Süre": hh:nn:ss with the user's time separator, always 8 characters
    QString type;       // "Tür": the extension without its dot, as spelled
    QString size;       // "Dosya Boyutu"
    QString resolution; // "Çözünürlük": width "x" height as displayed, or the problem's reason
    bool checked = false;
    int group = 0;

    // Read from the stream probe, not shown.
    ItemProblem problem = ItemProblem::None;
    bool hasAudio = false;
    QList<AudioStream> audioStreams; // every sound stream, in file order
    // The video stream: its place among the file's video streams (cover pictures counted, so
    // the encoder's "v:N" finds it), and the canvas rate for it as "num/den"; empty when the row
    // was not probed.
    int videoOrdinal = 0;
    QString frameRate;
    int rotation = 0; // degrees the picture is turned when shown
    // The video's length with its fraction: the video stream's, else the container's; 0 when
    // unknown.
    double seconds = 0;
    // The video's frames are steady and no stream starts before it (see StreamFacts); false when
    // not known.
    bool videoStartsWithFile = false;

    bool renderable() const { return problem == ItemProblem::None; }
    // The still and where it stands; travels with the row's other contents.
    StillState stillState = StillState::Pending;
    QByteArray still; // the picture file's bytes, once ready
    // Given by the list when the row is appended, so a still finds its row after moves.
    quint64 key = 0;
};

// The reason a row shows instead of its resolution: "görüntü yok", "okunamadı"; empty for a
// renderable row.
inline QString problemText(ItemProblem problem)
{
    switch (problem) {
    case ItemProblem::NoVideo:
        return QStringLiteral("görüntü yok");
    case ItemProblem::Unreadable:
        return QStringLiteral("okunamadı");
    case ItemProblem::None:
        break;
    }
    return QString();
}

// What the program says when a row is refused: "Bu dosya işlenemez: " and the reason.
inline QString refusalMessage(const VideoItem &item)
{
    return QStringLiteral("Bu dosya işlenemez: ") + problemText(item.problem);
}

} // namespace fulmaro
