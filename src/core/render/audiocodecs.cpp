#include "core/render/audiocodecs.h"

#include "core/render/rendersettings.h"

#include <QStringList>

#include <algorithm>
#include <initializer_list>

namespace fulmaro {

namespace {

// Which sound codec the encoder (FFmpeg 5.1) copies into which container. Found by copying a
// short stream of each codec at 44100, 48000 and 22050 Hz into each container: a pair is listed
// where the encoder wrote the file and read it back. Vorbis, which mov takes, is left out there:
// the players that read mov files do not play it. webm holds Opus and Vorbis only. flv takes MP3
// and PCM only at the rates its header can name; everything else here holds at any rate.
struct CopyRule
{
    const char *codec;
    const char *containers;              // blank separated
    std::initializer_list<int> flvRates; // empty: flv is not in containers, or any rate
};

constexpr std::initializer_list<int> kFlvMp3Rates = {48000, 44100, 22050, 11025};
constexpr std::initializer_list<int> kFlvPcmRates = {44100, 22050, 11025, 16000, 8000, 5512};

const CopyRule kCopyRules[] = {
    {"aac", "mp4 mkv avi flv mov", {}},
    {"mp3", "mp4 mkv avi flv mov", kFlvMp3Rates},
    {"opus", "mp4 mkv webm", {}},
    {"vorbis", "mp4 mkv avi webm", {}},
    {"flac", "mkv avi", {}},
    {"alac", "mp4 mkv mov", {}},
    {"ac3", "mp4 mkv avi mov", {}},
    {"eac3", "mp4 mkv avi mov", {}},
    {"mp2", "mp4 mkv avi mov", {}},
    {"dts", "mp4 mkv avi mov", {}},
    {"truehd", "mkv", {}},
    {"pcm_s16le", "mkv avi flv mov", kFlvPcmRates},
    {"pcm_u8", "mkv avi flv mov", kFlvPcmRates},
    {"pcm_s16be", "mkv flv mov", kFlvPcmRates},
    {"pcm_mulaw", "mkv avi flv mov", kFlvPcmRates},
    {"pcm_alaw", "mkv avi flv mov", kFlvPcmRates},
    {"pcm_s24le", "mkv avi mov", {}},
    {"pcm_s32le", "mkv avi mov", {}},
    {"pcm_f32le", "mkv avi mov", {}},
    {"adpcm_ima_wav", "mkv avi", {}},
    {"adpcm_ms", "mkv avi", {}},
    {"wmav2", "mkv avi", {}},
};

// The rates the MP3 encoder writes.
constexpr int kMp3EncoderRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};

const CopyRule *ruleFor(const QString &codec)
{
    for (const CopyRule &rule : kCopyRules) {
        if (codec == QLatin1String(rule.codec))
            return &rule;
    }
    return nullptr;
}

} // namespace

bool canCopyAudio(const QString &codec, int sampleRate, const QString &extension)
{
    const CopyRule *rule = ruleFor(codec);
    if (!rule)
        return false;
    const QString container = extension.toLower();
    const QStringList containers = QString::fromLatin1(rule->containers).split(QLatin1Char(' '));
    if (!containers.contains(container))
        return false;
    if (container == QLatin1String("flv") && rule->flvRates.size() != 0)
        return std::find(rule->flvRates.begin(), rule->flvRates.end(), sampleRate) !=
               rule->flvRates.end();
    return true;
}

QString audioEncoderFor(const QString &extension)
{
    const QString container = extension.toLower();
    if (container == QLatin1String("mp4") || container == QLatin1String("mkv") ||
        container == QLatin1String("flv") || container == QLatin1String("mov"))
        return QStringLiteral("aac");
    if (container == QLatin1String("webm") || container == QLatin1String("opus"))
        return QStringLiteral("libopus");
    if (container == QLatin1String("m4a"))
        return QStringLiteral("aac");
    return QStringLiteral("libmp3lame");
}

bool soundFileCopies(const QString &codec, const QString &extension)
{
    const QString container = extension.toLower();
    if (container == QLatin1String("mp3"))
        return codec == QLatin1String("mp3");
    if (container == QLatin1String("opus"))
        return codec == QLatin1String("opus");
    if (container == QLatin1String("m4a"))
        return codec == QLatin1String("aac") || codec == QLatin1String("alac");
    return false;
}

QString audioCodecOption(const QList<AudioStream> &streams, const QString &extension, bool retimed)
{
    if (!retimed) {
        const bool copyable =
            std::all_of(streams.begin(), streams.end(), [&](const AudioStream &a) {
                return canCopyAudio(a.codec, a.sampleRate, extension);
            });
        return copyable ? QStringLiteral("copy") : audioEncoderFor(extension);
    }
    // Retimed sound keeps its sample rate; MP3 must be able to carry it there.
    const bool mp3Fits = std::all_of(streams.begin(), streams.end(), [&](const AudioStream &a) {
        return std::find(std::begin(kMp3EncoderRates), std::end(kMp3EncoderRates), a.sampleRate) !=
                   std::end(kMp3EncoderRates) &&
               canCopyAudio(QStringLiteral("mp3"), a.sampleRate, extension);
    });
    return mp3Fits ? QStringLiteral("libmp3lame") : audioEncoderFor(extension);
}

QStringList audioTableContainers()
{
    // The table covers every container the picker offers.
    return extensionItems();
}

QStringList audioTableCodecs()
{
    QStringList codecs;
    for (const CopyRule &rule : kCopyRules)
        codecs << QLatin1String(rule.codec);
    return codecs;
}

} // namespace fulmaro
