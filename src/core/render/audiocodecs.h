#pragma once

#include "core/videolist/audiostream.h"

#include <QList>
#include <QString>

namespace fulmaro {

// Whether the encoder copies a stream of this codec and sample rate into the container named by
// this output extension (mp4, mkv, avi, flv, webm, mov; any case) without touching it. A codec the
// table does not know is never copied.
bool canCopyAudio(const QString &codec, int sampleRate, const QString &extension);

// The encoder used when the sound must be encoded for this container: "aac" for mp4, mkv, flv and
// mov, "libopus" for webm, "libmp3lame" for avi (and for a container the table does not know);
// for the sound-only files "aac" for m4a, "libopus" for opus, "libmp3lame" for mp3.
QString audioEncoderFor(const QString &extension);

// Whether a sound-only file (m4a, mp3, opus) holds a stream of this codec as it is: AAC and ALAC
// in m4a, MP3 in mp3, Opus in opus.
bool soundFileCopies(const QString &codec, const QString &extension);

// The value of -c:a for a source's sound written into this container.
// At the source's speed: "copy" when every stream can be copied, otherwise the container's
// encoder. At a changed speed the sound is always encoded: "libmp3lame" where MP3 at the
// streams' rates goes into the container, otherwise the container's encoder.
QString audioCodecOption(const QList<AudioStream> &streams, const QString &extension, bool retimed);

// The extensions the table speaks of, for the tests that re-check it with the real encoder.
QStringList audioTableContainers();
// Every codec the table names.
QStringList audioTableCodecs();

} // namespace fulmaro
