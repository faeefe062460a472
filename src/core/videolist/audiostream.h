#pragma once

#include <QString>

namespace fulmaro {

// One sound stream of a source, as the stream probe names it.
struct AudioStream
{
    QString codec;      // codec_name: "aac", "mp3", "opus", "pcm_s16le" ...
    int sampleRate = 0; // 0 when the probe gave none
    int channels = 0;   // 0 when the probe gave none
    qint64 bitRate = 0; // bits a second; 0 when the container does not say (Matroska)
    friend bool operator==(const AudioStream &, const AudioStream &) = default;
};

} // namespace fulmaro
