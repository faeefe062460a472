#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/render/commandbuilder.h"
#include "core/render/rendersettings.h"
#include "core/runner/toolrun.h"
#include "core/videolist/videoitem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace fulmaro {

// An output's expected size in its parts: the picture's and the sound's packets, and what the
// container adds around them (headers, packet headers, index).
struct SizeParts
{
    qint64 video = 0;
    qint64 sound = 0;
    qint64 container = 0;

    qint64 total() const { return video + sound + container; }
};

// ---- Bitrate and two passes: worked out ---------------------------------------------------------

// What the encoder writes for one second of a sound stream, in bits: a copied stream keeps the
// source's rate (the probe's figure, or the codec's usual one where the container does not say),
// an encoded one gets the encoder's default for its channels (aac 128k for stereo, libmp3lame
// 64k a channel, libopus 64k a stream and 32k more for a coupled pair).
qint64 soundStreamBitRate(const AudioStream &stream, const QString &codecOption);

// The sound of a job in bits a second: every sound stream at the source's speed, the first one
// retimed at another speed; 0 without sound.
qint64 jobSoundBitRate(const VideoItem &item, const RenderSettings &settings);

// Sound packets a second of a stream written with this -c:a value.
double soundPacketsPerSecond(const AudioStream &stream, const QString &codecOption);

// The bytes a container (an output extension) adds to this many packets of its streams.
qint64 containerOverheadBytes(const QString &extension, double packets);

// The expected size of a job in the bitrate and two-pass modes: (video bitrate + sound bitrate)
// x planned output seconds / 8, plus the container's bytes. Nothing for a row that cannot be
// rendered, an unknown length, a bitrate that is no number, or the quality mode (which measures).
// The joined clips' seconds count as the video's; sound only has no video bits.
std::optional<SizeParts> computedOutputSize(const VideoItem &item, const RenderSettings &settings,
                                            const EndClips &clips = {});

// ---- Constant quality: measured ---------------------------------------------------------------

// A stretch of the source a sample encodes: where it starts and how long it runs, in seconds of
// the source.
struct SampleSpan
{
    double start = 0;
    double length = 0;
    friend bool operator==(const SampleSpan &, const SampleSpan &) = default;
};

// The samples of a row: three of 1.5 output seconds, one in the middle of each third of what the
// trims leave; a row too short for that is encoded whole in one. Empty for an unknown length.
QList<SampleSpan> sampleSpans(const VideoItem &item, const RenderSettings &settings);

// The command line of one sample: the job's own inputs, filter graph and encoder options (without
// the trims, which the span replaces), the source read from the span only (the seek before the
// input, so nothing before it is decoded in vain), every packet's size written to samplePath as a
// frame checksum list instead of the container. The overlay pictures it reads are in copies,
// named with tick, so every sample of a job reads the same copies.
struct SampleCommand
{
    QString commandLine; // empty when the row gives no command
    QList<ScratchCopy> copies;
};
SampleCommand sampleCommand(const QString &encoderPath, const VideoItem &item,
                            const RenderSettings &settings, const BuildFolders &folders,
                            quint32 tick, const SampleSpan &span, const QString &samplePath);

// What a sample encode wrote, read from its frame checksum list.
struct SampleMeasure
{
    double seconds = 0;       // the picture's length
    QList<qint64> frameBytes; // each picture packet's size, in the order written
    qint64 soundBytes = 0;    // sound packets within the picture's length
    int soundPackets = 0;
};
// Nothing when the list holds no picture packet.
std::optional<SampleMeasure> readSampleMeasure(const QByteArray &frameList);

// The encoder's longest stretch between key frames when nothing forces one, in frames.
int keyFrameInterval(const QString &encoder, double framesPerSecond);

// Scales the samples up to the planned length. A sample opens with a key frame where the whole
// encode has a P frame, so its first packet is counted once per key frame the whole encode will
// have: its first, and one each keyInterval frames where that is longer than a sample (a shorter
// group shows in the samples as often as in the whole encode). The other packets give the rate
// of every other frame.
SizeParts measuredOutputSize(const QList<SampleMeasure> &samples, double plannedSeconds,
                             int keyInterval, const QString &extension);

// ---- The estimates of a run -------------------------------------------------------------------

struct SizeEstimate
{
    enum class State {
        Pending, // the row is not known yet, or its samples are still to come
        Ready,
        None, // no figure: the row cannot be rendered, its length is not known, a sample failed
    };
    State state = State::Pending;
    SizeParts parts;
    bool measured = false; // from sample encodes (the quality mode), not worked out

    bool ready() const { return state == State::Ready; }
    qint64 bytes() const { return parts.total(); }
};

// Works out the expected output size of each job of a run: at once in the bitrate modes, from a
// few short sample encodes in the quality mode, one job after another, in the background (the
// samples run at the lowest priority, so a render beside them keeps the processor first). Rows
// are given as they become known. Signal-driven: nothing waits on a process; stop() and the
// destructor end the running sample with its process tree and remove its file.
class SizeEstimator : public QObject
{
    Q_OBJECT
public:
    SizeEstimator(int count, RenderSettings settings, WorkFolders folders, ToolSet tools,
                  QObject *parent = nullptr);
    ~SizeEstimator() override;

    // The row of job index. A worked-out estimate is reported at once (estimated() before this
    // returns); a measured one once its samples are done.
    void provide(int index, const VideoItem &item);
    // The intro and outro every output is joined with; their seconds count in every estimate.
    void setEndClips(const EndClips &clips) { m_clips = clips; }
    // Ends the running sample; every estimate still to come has none.
    void stop();
    // Runs the event loop until job index has its estimate (or none); for the command line.
    const SizeEstimate &waitFor(int index);

    int count() const { return int(m_estimates.size()); }
    const SizeEstimate &estimate(int index) const { return m_estimates.at(index); }
    // The sum of the estimates there are.
    qint64 total() const;
    // Every job has its estimate, or has none.
    bool complete() const;
    bool isMeasuring() const { return m_run != nullptr; }
    // The sample file being written, while a sample runs.
    const QString &samplePath() const { return m_samplePath; }

Q_SIGNALS:
    void estimated(int index);
    void completed();

private:
    void settle(int index, SizeEstimate::State state, const SizeParts &parts = {},
                bool measured = false);
    void startNext();
    void runSample();
    void sampleDone();
    void dropSample();

    RenderSettings m_settings;
    WorkFolders m_folders;
    ToolSet m_tools;
    EndClips m_clips;
    QList<SizeEstimate> m_estimates;
    QList<VideoItem> m_waiting; // rows whose samples are still to run, in order
    QList<int> m_waitingIndex;
    // The job being measured.
    int m_current = -1;
    VideoItem m_item;
    QList<SampleSpan> m_spans;
    QList<SampleMeasure> m_measures;
    quint32 m_tick = 0;
    QPointer<ToolRun> m_run;
    QString m_samplePath;
    bool m_stopped = false;
};

// A size as the program shows it: one decimal, Turkish style ("12,4 MB", "850,0 KB", "1,2 GB"),
// counted in 1024s like the list's sizes.
QString sizeText(qint64 bytes);

} // namespace fulmaro
