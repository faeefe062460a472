#include "core/queue/sizeestimate.h"

#include "core/queue/renderjobs.h"
#include "core/render/audiocodecs.h"
#include "core/render/videocodecs.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace fulmaro {

namespace {

constexpr int kNormalSpeed = 100;
// The canvas's rate when the probe gave none: the color source's default.
constexpr double kDefaultFrameRate = 25.0;
constexpr int kDefaultChannels = 2;
constexpr int kDefaultSampleRate = 48000;

// Three samples of a second and a half of output each: enough for the picture's changes to show
// in the rate, and a few seconds of the encoder's time at most. A row shorter than four samples
// is encoded whole in one.
constexpr int kSampleCount = 3;
constexpr double kSampleSeconds = 1.5;

bool isPcm(const QString &codec)
{
    return codec.startsWith(QLatin1String("pcm_"));
}

// Bits of one sample of a plain PCM codec: the digits of its name (pcm_s16le, pcm_f32le), 8 for
// the 8-bit ones (pcm_u8, pcm_mulaw, pcm_alaw).
int pcmBits(const QString &codec)
{
    QString digits;
    for (const QChar c : codec) {
        if (c.isDigit())
            digits += c;
    }
    const int bits = digits.toInt();
    return bits > 0 ? bits : 8;
}

int channelsOf(const AudioStream &stream)
{
    return stream.channels > 0 ? stream.channels : kDefaultChannels;
}

int sampleRateOf(const AudioStream &stream)
{
    return stream.sampleRate > 0 ? stream.sampleRate : kDefaultSampleRate;
}

// What a copied stream usually carries when its container does not say.
qint64 usualBitRate(const AudioStream &stream)
{
    const QString &codec = stream.codec;
    const qint64 pcmRate = qint64(sampleRateOf(stream)) * channelsOf(stream);
    if (isPcm(codec))
        return pcmRate * pcmBits(codec);
    if (codec.startsWith(QLatin1String("adpcm_")))
        return pcmRate * 4;
    // Lossless codecs keep about three fifths of 16-bit samples.
    if (codec == QLatin1String("flac") || codec == QLatin1String("alac"))
        return pcmRate * 16 * 3 / 5;
    struct Usual
    {
        const char *codec;
        qint64 bitRate;
    };
    static const Usual kUsual[] = {
        {"aac", 128000},     {"mp3", 128000},   {"mp2", 192000},  {"opus", 96000},
        {"vorbis", 128000},  {"ac3", 384000},   {"eac3", 256000}, {"dts", 1536000},
        {"truehd", 3000000}, {"wmav2", 128000},
    };
    for (const Usual &usual : kUsual) {
        if (codec == QLatin1String(usual.codec))
            return usual.bitRate;
    }
    return 128000;
}

// FFmpeg's AAC encoder gives each channel element its share: 69k a single channel, 128k a pair,
// 16k the low-frequency one, laid out by the channel count.
qint64 aacDefaultBitRate(int channels)
{
    static const qint64 kByChannels[] = {69000,  128000, 197000, 266000,
                                         325000, 341000, 410000, 469000};
    return kByChannels[std::clamp(channels, 1, 8) - 1];
}

// libopus: 64k a stream and 32k more for each coupled pair of the standard mappings.
qint64 opusDefaultBitRate(int channels)
{
    static const int kStreams[] = {1, 1, 2, 2, 3, 4, 5, 5};
    static const int kCoupled[] = {0, 1, 1, 2, 2, 2, 2, 3};
    const int at = std::clamp(channels, 1, 8) - 1;
    return 64000 * qint64(kStreams[at]) + 32000 * qint64(kCoupled[at]);
}

// The sound streams a job writes, each with its -c:a value.
QList<AudioStream> writtenSoundStreams(const VideoItem &item, const RenderSettings &settings,
                                       QString *codecOption, bool clipSound = false)
{
    if (settings.cbEraseAudio)
        return {};
    const QString extension = outputExtension(settings);
    const bool joins = settings.cbIntro > 0 || settings.cbOutro > 0;
    // Sound that goes through a filter is encoded, as one stream: the source's first, or the
    // silence the joined clips' sound is laid beside.
    if (joins || settings.tbVolume != 100 || settings.cbLoudness != 0 ||
        (settings.cbEraseVideo && settings.tbVideoSpeed != kNormalSpeed)) {
        if (!item.hasAudio && !(joins && clipSound))
            return {};
        *codecOption = audioEncoderFor(extension);
        return {item.hasAudio && !item.audioStreams.isEmpty() ? item.audioStreams.first()
                                                              : AudioStream{}};
    }
    if (!item.hasAudio || item.audioStreams.isEmpty())
        return {};
    if (settings.cbEraseVideo) {
        const AudioStream &first = item.audioStreams.first();
        *codecOption = soundFileCopies(first.codec, extension) ? QStringLiteral("copy")
                                                               : audioEncoderFor(extension);
        return {first};
    }
    const bool retimed = settings.tbVideoSpeed != kNormalSpeed;
    *codecOption = audioCodecOption(item.audioStreams, settings.cbExtension, retimed);
    // At another speed only the first stream goes through the tempo chain.
    return retimed ? QList<AudioStream>{item.audioStreams.first()} : item.audioStreams;
}

// The cbBitrate digits in bits a second; 0 when there are none or too many to be a bitrate.
qint64 videoBitRate(const QString &typed)
{
    QString digits;
    for (const QChar c : typed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    }
    if (digits.isEmpty() || digits.size() > 12)
        return 0;
    return digits.toLongLong() * 1000;
}

double framesPerSecond(const VideoItem &item)
{
    const double rate = frameRateValue(item.frameRate);
    return rate > 0 ? rate : kDefaultFrameRate;
}

// A number of seconds for the command line, to the millisecond.
QString secondsText(double seconds)
{
    return decimalText(std::round(seconds * 1000.0) / 1000.0);
}

QString newSamplePath(const QString &tempDir)
{
    static std::atomic<int> serial{0};
    return tempDir + QStringLiteral("estimate-%1-%2.framecrc")
                         .arg(QCoreApplication::applicationPid())
                         .arg(++serial);
}

} // namespace

qint64 soundStreamBitRate(const AudioStream &stream, const QString &codecOption)
{
    if (codecOption == QLatin1String("copy"))
        return stream.bitRate > 0 ? stream.bitRate : usualBitRate(stream);
    const int channels = channelsOf(stream);
    if (codecOption == QLatin1String("aac"))
        return aacDefaultBitRate(channels);
    if (codecOption == QLatin1String("libmp3lame"))
        return 64000 * qint64(std::min(channels, 2));
    if (codecOption == QLatin1String("libopus"))
        return opusDefaultBitRate(channels);
    return 128000;
}

qint64 jobSoundBitRate(const VideoItem &item, const RenderSettings &settings)
{
    QString option;
    qint64 bits = 0;
    for (const AudioStream &stream : writtenSoundStreams(item, settings, &option))
        bits += soundStreamBitRate(stream, option);
    return bits;
}

double soundPacketsPerSecond(const AudioStream &stream, const QString &codecOption)
{
    const QString codec = codecOption == QLatin1String("copy") ? stream.codec : codecOption;
    const double rate = sampleRateOf(stream);
    // Samples in one packet of each codec.
    if (codec == QLatin1String("opus") || codec == QLatin1String("libopus"))
        return 50; // 20 ms frames at 48 kHz, whatever the source's rate
    if (codec == QLatin1String("mp3") || codec == QLatin1String("libmp3lame") ||
        codec == QLatin1String("mp2"))
        return rate / 1152;
    if (codec == QLatin1String("ac3") || codec == QLatin1String("eac3"))
        return rate / 1536;
    return rate / 1024; // AAC, and the demuxers' PCM packets
}

qint64 containerOverheadBytes(const QString &extension, double packets)
{
    // Measured by copying the same streams into each container at two lengths: a fixed part
    // (headers, and the index AVI reserves) and a part per packet (sample tables, block and
    // tag headers, index entries).
    struct Overhead
    {
        const char *extension;
        double fixed;
        double perPacket;
    };
    static const Overhead kOverheads[] = {
        {"mp4", 1500, 9.4}, {"mov", 1500, 9.4}, {"mkv", 750, 7.1},
        {"webm", 750, 7.1}, {"flv", 420, 18.1}, {"avi", 10100, 24.2},
    };
    const QString container = extension.toLower();
    const Overhead *overhead = &kOverheads[0];
    for (const Overhead &o : kOverheads) {
        if (container == QLatin1String(o.extension))
            overhead = &o;
    }
    return std::llround(overhead->fixed + overhead->perPacket * std::max(0.0, packets));
}

std::optional<SizeParts> computedOutputSize(const VideoItem &item, const RenderSettings &settings,
                                            const EndClips &clips)
{
    // Sound only has no picture to measure: it is always worked out.
    const bool picture = !settings.cbEraseVideo;
    if (!item.renderable() ||
        (picture && rateModeFromIndex(settings.cbRateMode) == RateMode::Quality))
        return std::nullopt;
    const qint64 planned = plannedOutputSeconds(item, settings);
    const qint64 seconds = planned > 0 ? planned + std::llround(clips.seconds()) : 0;
    const qint64 videoBits = picture ? videoBitRate(settings.cbBitrate) : 0;
    if (seconds <= 0 || (picture && videoBits <= 0))
        return std::nullopt;
    QString option;
    qint64 soundBits = 0;
    double soundPackets = 0;
    const bool clipSound =
        (clips.intro && clips.intro->hasAudio) || (clips.outro && clips.outro->hasAudio);
    for (const AudioStream &stream : writtenSoundStreams(item, settings, &option, clipSound)) {
        soundBits += soundStreamBitRate(stream, option);
        soundPackets += soundPacketsPerSecond(stream, option);
    }
    SizeParts parts;
    parts.video = videoBits * seconds / 8;
    parts.sound = soundBits * seconds / 8;
    parts.container = containerOverheadBytes(
        outputExtension(settings),
        ((picture ? framesPerSecond(item) : 0) + soundPackets) * double(seconds));
    return parts;
}

QList<SampleSpan> sampleSpans(const VideoItem &item, const RenderSettings &settings)
{
    const double listed = durationToSeconds(item.duration);
    const double from = std::max(0, settings.edTimeStart);
    const double to = listed - std::max(0, settings.edTimeEnd);
    if (listed <= 0 || to <= from)
        return {};
    const double speed =
        settings.tbVideoSpeed > 0 ? double(settings.tbVideoSpeed) / kNormalSpeed : 1.0;
    // A sample of so many output seconds reads that many seconds times the speed of the source.
    const double length = kSampleSeconds * speed;
    const double range = to - from;
    if (range <= (kSampleCount + 1) * length)
        return {{from, range}};
    QList<SampleSpan> spans;
    for (int i = 0; i < kSampleCount; ++i) {
        const double middle = from + (i + 0.5) * range / kSampleCount;
        spans.append({middle - length / 2, length});
    }
    return spans;
}

SampleCommand sampleCommand(const QString &encoderPath, const VideoItem &item,
                            const RenderSettings &settings, const BuildFolders &folders,
                            quint32 tick, const SampleSpan &span, const QString &samplePath)
{
    // The span takes the trims' place: the job's own line without them.
    RenderSettings untrimmed = settings;
    untrimmed.edTimeStart = 0;
    untrimmed.edTimeEnd = 0;
    // The samples are of the video alone, in one pass: the clips' seconds are counted in when
    // they are scaled up, and the loudness changes the sound's level, not its size.
    untrimmed.cbIntro = 0;
    untrimmed.cbOutro = 0;
    untrimmed.cbLoudness = 0;
    const BuiltCommand built = buildCommandLine(&item, RenderMode, untrimmed, folders, tick);
    // The source is read from the span only, wherever the graph reads it (a built-in frame
    // reads it a second time).
    const QString input = QStringLiteral(" -i ") + quoteArg(item.caption);
    if (built.text.isEmpty() || !built.text.contains(input))
        return {};
    QString text = built.text;
    text.replace(input, QStringLiteral(" -ss ") + secondsText(span.start) + QStringLiteral(" -t ") +
                            secondsText(span.length) + input);
    // "Otomatik" leaves the encoder to the container, which the list of packets does not have.
    SampleCommand command;
    command.commandLine = quoteArg(encoderPath) + QStringLiteral(" -nostdin -v error -y") + text +
                          QStringLiteral(" -c:v ") + videoEncoderFor(settings) +
                          QStringLiteral(" -f framecrc ") + quoteArg(samplePath);
    command.copies = built.copies;
    return command;
}

std::optional<SampleMeasure> readSampleMeasure(const QByteArray &frameList)
{
    // "#tb 0: 1/25", "#media_type 0: video", then one line a packet in the order written:
    // "stream, dts, pts, duration, size, checksum", flags and side data after it where there
    // are any. The first picture packet is the key frame the encode opens with.
    QHash<int, double> timeBase;
    QHash<int, QByteArray> mediaType;
    int video = -1;
    SampleMeasure measure;
    double videoFrom = 0;
    double videoTo = 0;
    struct Sound
    {
        double at;
        qint64 bytes;
    };
    QList<Sound> sound;
    for (const QByteArray &rawLine : frameList.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith("#tb ") || line.startsWith("#media_type ")) {
            const qsizetype colon = line.indexOf(':');
            if (colon < 0)
                continue;
            const int stream =
                line.mid(line.indexOf(' ') + 1, colon - line.indexOf(' ') - 1).trimmed().toInt();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (line.startsWith("#tb ")) {
                const QList<QByteArray> terms = value.split('/');
                if (terms.size() == 2 && terms.at(1).toDouble() > 0)
                    timeBase.insert(stream, terms.at(0).toDouble() / terms.at(1).toDouble());
            } else {
                mediaType.insert(stream, value);
                if (video < 0 && value == "video")
                    video = stream;
            }
            continue;
        }
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 5)
            continue;
        const int stream = fields.at(0).trimmed().toInt();
        const double base = timeBase.value(stream, 0);
        const qint64 pts = fields.at(2).trimmed().toLongLong();
        const qint64 duration = fields.at(3).trimmed().toLongLong();
        const qint64 size = fields.at(4).trimmed().toLongLong();
        if (stream == video) {
            const double from = pts * base;
            const double to = (pts + std::max<qint64>(duration, 0)) * base;
            videoFrom = measure.frameBytes.isEmpty() ? from : std::min(videoFrom, from);
            videoTo = measure.frameBytes.isEmpty() ? to : std::max(videoTo, to);
            measure.frameBytes.append(size);
        } else if (mediaType.value(stream) == "audio") {
            sound.append({pts * base, size});
        }
    }
    if (measure.frameBytes.isEmpty())
        return std::nullopt;
    measure.seconds = videoTo - videoFrom;
    // A copied stream starts at the packet before the seek point: what lies before the sample's
    // start (negative times) or after its picture is not the sample's.
    for (const Sound &packet : std::as_const(sound)) {
        if (packet.at >= 0 && packet.at < videoTo) {
            measure.soundBytes += packet.bytes;
            ++measure.soundPackets;
        }
    }
    return measure;
}

int keyFrameInterval(const QString &encoder, double framesPerSecond)
{
    // The encoders' own defaults, which the command leaves as they are.
    if (encoder == QLatin1String("libvpx-vp9"))
        return 128;
    // SVT-AV1 puts a key frame about every five seconds, on its 32-frame groups.
    if (encoder == QLatin1String("libsvtav1") || encoder == QLatin1String("libaom-av1"))
        return framesPerSecond > 30.5 ? 321 : 161;
    // FFmpeg's own encoders take its default group of 12.
    if (encoder == QLatin1String("mpeg4") || encoder == QLatin1String("flv"))
        return 12;
    return 250; // x264 and x265
}

SizeParts measuredOutputSize(const QList<SampleMeasure> &samples, double plannedSeconds,
                             int keyInterval, const QString &extension)
{
    double seconds = 0;
    qint64 frames = 0;
    double keyBytes = 0;
    double otherBytes = 0;
    qint64 soundBytes = 0;
    qint64 soundPackets = 0;
    qsizetype longest = 0;
    int counted = 0;
    for (const SampleMeasure &sample : samples) {
        const QList<qint64> &sizes = sample.frameBytes;
        if (sizes.isEmpty())
            continue;
        ++counted;
        seconds += sample.seconds;
        frames += sizes.size();
        longest = std::max(longest, sizes.size());
        keyBytes += sizes.first();
        for (qsizetype i = 1; i < sizes.size(); ++i)
            otherBytes += sizes.at(i);
        soundBytes += sample.soundBytes;
        soundPackets += sample.soundPackets;
    }
    SizeParts parts;
    if (counted == 0 || seconds <= 0 || plannedSeconds <= 0)
        return parts;
    const qint64 total = std::max<qint64>(1, std::llround(plannedSeconds * frames / seconds));
    keyBytes /= counted;
    const qint64 otherFrames = frames - counted;
    const double otherFrame = otherFrames > 0 ? otherBytes / otherFrames : keyBytes;
    const qint64 periodic = keyInterval > longest ? (total - 1) / keyInterval : 0;
    parts.video = std::llround(keyBytes * double(1 + periodic) +
                               otherFrame * double(std::max<qint64>(0, total - 1 - periodic)));
    parts.sound = std::llround(double(soundBytes) / seconds * plannedSeconds);
    const double packets = double(total) + double(soundPackets) / seconds * plannedSeconds;
    parts.container = containerOverheadBytes(extension, packets);
    return parts;
}

// ---- SizeEstimator ------------------------------------------------------------------------------

SizeEstimator::SizeEstimator(int count, RenderSettings settings, WorkFolders folders, ToolSet tools,
                             QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_folders(std::move(folders))
    , m_tools(std::move(tools))
    , m_estimates(std::max(0, count))
{}

SizeEstimator::~SizeEstimator()
{
    if (m_run) {
        // Ends the sample's process tree.
        m_run->disconnect(this);
        delete m_run.data();
    }
    dropSample();
}

void SizeEstimator::provide(int index, const VideoItem &item)
{
    if (index < 0 || index >= count() ||
        m_estimates.at(index).state != SizeEstimate::State::Pending ||
        m_waitingIndex.contains(index) || index == m_current)
        return;
    if (m_stopped || !item.renderable() || plannedOutputSeconds(item, m_settings) <= 0) {
        settle(index, SizeEstimate::State::None);
        return;
    }
    if (rateModeFromIndex(m_settings.cbRateMode) != RateMode::Quality || m_settings.cbEraseVideo) {
        const std::optional<SizeParts> parts = computedOutputSize(item, m_settings, m_clips);
        settle(index, parts ? SizeEstimate::State::Ready : SizeEstimate::State::None,
               parts.value_or(SizeParts()));
        return;
    }
    m_waiting.append(item);
    m_waitingIndex.append(index);
    if (m_current < 0)
        startNext();
}

void SizeEstimator::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_waiting.clear();
    const QList<int> waiting = std::exchange(m_waitingIndex, {});
    // The running sample's file goes once its tree has ended (sampleDone).
    if (m_run)
        m_run->stop();
    if (m_current >= 0)
        settle(std::exchange(m_current, -1), SizeEstimate::State::None);
    for (const int index : waiting)
        settle(index, SizeEstimate::State::None);
}

const SizeEstimate &SizeEstimator::waitFor(int index)
{
    if (estimate(index).state == SizeEstimate::State::Pending) {
        QEventLoop loop;
        connect(this, &SizeEstimator::estimated, &loop, [&loop, index](int settled) {
            if (settled == index)
                loop.quit();
        });
        loop.exec();
    }
    return estimate(index);
}

qint64 SizeEstimator::total() const
{
    qint64 sum = 0;
    for (const SizeEstimate &estimate : m_estimates)
        sum += estimate.ready() ? estimate.bytes() : 0;
    return sum;
}

bool SizeEstimator::complete() const
{
    return std::none_of(m_estimates.begin(), m_estimates.end(), [](const SizeEstimate &e) {
        return e.state == SizeEstimate::State::Pending;
    });
}

void SizeEstimator::settle(int index, SizeEstimate::State state, const SizeParts &parts,
                           bool measured)
{
    SizeEstimate &estimate = m_estimates[index];
    estimate.state = state;
    estimate.parts = parts;
    estimate.measured = measured;
    Q_EMIT estimated(index);
    if (complete())
        Q_EMIT completed();
}

void SizeEstimator::startNext()
{
    while (!m_stopped && !m_waitingIndex.isEmpty()) {
        m_current = m_waitingIndex.takeFirst();
        m_item = m_waiting.takeFirst();
        m_spans = sampleSpans(m_item, m_settings);
        m_measures.clear();
        m_tick = scratchTick();
        if (!m_spans.isEmpty()) {
            runSample();
            return;
        }
        settle(std::exchange(m_current, -1), SizeEstimate::State::None);
    }
    m_current = -1;
}

void SizeEstimator::runSample()
{
    m_samplePath = newSamplePath(m_folders.tempDir);
    const SampleCommand command = sampleCommand(m_tools.path(m_tools.ffMpeg), m_item, m_settings,
                                                BuildFolders::from(m_folders, m_tools), m_tick,
                                                m_spans.at(m_measures.size()), m_samplePath);
    if (command.commandLine.isEmpty()) {
        m_samplePath.clear();
        settle(std::exchange(m_current, -1), SizeEstimate::State::None);
        startNext();
        return;
    }
    if (m_measures.isEmpty())
        makeScratchCopies(command.copies);
    m_run = new ToolRun(command.commandLine, m_folders.tempDir, {}, this);
    m_run->setObjectName(QStringLiteral("SizeSampleRun"));
    // Beside a render, the samples take only the processor time it leaves.
    m_run->setBackground(true);
    connect(m_run, &ToolRun::done, this, &SizeEstimator::sampleDone, Qt::QueuedConnection);
    m_run->start();
}

void SizeEstimator::sampleDone()
{
    ToolRun *run = m_run;
    m_run = nullptr;
    if (!run)
        return;
    const bool succeeded = run->result().succeeded();
    run->deleteLater();
    QByteArray frameList;
    if (succeeded) {
        QFile file(m_samplePath);
        if (file.open(QIODevice::ReadOnly))
            frameList = file.readAll();
    }
    dropSample();
    if (m_stopped || m_current < 0)
        return;
    const std::optional<SampleMeasure> measure =
        succeeded ? readSampleMeasure(frameList) : std::nullopt;
    if (!measure) {
        settle(std::exchange(m_current, -1), SizeEstimate::State::None);
        startNext();
        return;
    }
    m_measures.append(*measure);
    if (m_measures.size() < m_spans.size()) {
        runSample();
        return;
    }
    double seconds = 0;
    qsizetype frames = 0;
    for (const SampleMeasure &sample : std::as_const(m_measures)) {
        seconds += sample.seconds;
        frames += sample.frameBytes.size();
    }
    const int keyInterval =
        keyFrameInterval(videoEncoderFor(m_settings), seconds > 0 ? frames / seconds : 0);
    const SizeParts parts = measuredOutputSize(
        m_measures, double(plannedOutputSeconds(m_item, m_settings)) + m_clips.seconds(),
        keyInterval, m_settings.cbExtension);
    settle(std::exchange(m_current, -1),
           parts.total() > 0 ? SizeEstimate::State::Ready : SizeEstimate::State::None, parts, true);
    startNext();
}

void SizeEstimator::dropSample()
{
    if (!m_samplePath.isEmpty())
        QFile::remove(m_samplePath);
    m_samplePath.clear();
}

QString sizeText(qint64 bytes)
{
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const double kb = double(std::max<qint64>(bytes, 0)) / 1024.0;
    if (kb < 1000.0)
        return turkish.toString(kb, 'f', 1) + QStringLiteral(" KB");
    if (kb / 1024.0 < 1000.0)
        return turkish.toString(kb / 1024.0, 'f', 1) + QStringLiteral(" MB");
    return turkish.toString(kb / 1048576.0, 'f', 1) + QStringLiteral(" GB");
}

} // namespace fulmaro
