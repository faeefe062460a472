#pragma once

#include <QByteArray>
#include <QString>

namespace fulmaro {

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
    QString resolution; // "Çözünürlük": width "x" height
    bool checked = false;
    int group = 0;
    // Read from the stream probe, not shown: whether the file has a sound stream, and the frame
    // rate of its first video stream as the probe wrote it ("30/1", "30000/1001"), or empty.
    bool hasAudio = false;
    QString frameRate;
    // The still and where it stands; travels with the row's other contents.
    StillState stillState = StillState::Pending;
    QByteArray still; // the picture file's bytes, once ready
    // Given by the list when the row is appended, so a still finds its row after moves.
    quint64 key = 0;
};

} // namespace fulmaro
