// The expected output size: worked out from the bitrate in the bitrate and two-pass modes,
// measured by short sample encodes in the quality mode (with the real encoder, on a small clip
// made here), and the sample runs stopped or dropped with their processes and files.

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/queue/sizeestimate.h"
#include "core/render/settingsoptions.h"
#include "core/render/videocodecs.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace fulmaro;

namespace {

VideoItem row(const QString &duration, const QList<AudioStream> &sound = {},
              const QString &frameRate = QStringLiteral("25/1"))
{
    VideoItem item;
    item.caption = QStringLiteral("/videos/klip.mp4");
    item.duration = duration;
    item.frameRate = frameRate;
    item.audioStreams = sound;
    item.hasAudio = !sound.isEmpty();
    return item;
}

bool applySet(RenderSettings &settings, const QStringList &set)
{
    for (const QString &assignment : set) {
        if (!applySettingOption(settings, assignment).isEmpty())
            return false;
    }
    return true;
}

QStringList sampleFiles(const QString &tempDir)
{
    return QDir(tempDir).entryList({QStringLiteral("estimate-*")}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestSizeEstimate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void computed_data();
    void computed();
    void nothingToWorkOut_data();
    void nothingToWorkOut();
    void spans_data();
    void spans();
    void sampleListRead();
    void scaledUp_data();
    void scaledUp();
    void texts_data();
    void texts();
    void qualityEstimateNearTheRender();
    void samplesEndWithTheEstimate_data();
    void samplesEndWithTheEstimate();

private:
    QTemporaryDir m_dir;
    WorkFolders m_folders;
    ToolSet m_tools;
    QString m_clip;
};

void TestSizeEstimate::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_tools = ToolSet::configured(m_folders.binDir);
    // Long enough for three samples, small enough to render in a moment.
    m_clip = m_dir.filePath(QStringLiteral("örnek klip.mp4"));
    QVERIFY(testsupport::makeClip(m_clip, 8, true, QStringLiteral("160x120")));
}

// Video bits a second from cbBitrate, sound bits a second as copied or encoded, times the planned
// seconds, over 8; the container's own bytes on top, a small share.
void TestSizeEstimate::computed_data()
{
    QTest::addColumn<VideoItem>("item");
    QTest::addColumn<QStringList>("set"); // NAME=VALUE over the defaults
    QTest::addColumn<qint64>("video");
    QTest::addColumn<qint64>("sound");

    const AudioStream aacKnown{QStringLiteral("aac"), 44100, 2, 125000};
    const AudioStream aacUnknown{QStringLiteral("aac"), 48000, 2, 0};
    const AudioStream aacMono{QStringLiteral("aac"), 48000, 1, 0};
    const AudioStream opus{QStringLiteral("opus"), 48000, 2, 0};
    const AudioStream pcm{QStringLiteral("pcm_s16le"), 48000, 2, 0};
    const qint64 fiveMbit10s = 5000000LL * 10 / 8;

    QTest::newRow("copied, the probe's bitrate")
        << row("00:00:10", {aacKnown}) << QStringList() << fiveMbit10s << 125000LL * 10 / 8;
    QTest::newRow("copied into mkv, the codec's usual bitrate")
        << row("00:00:10", {aacUnknown}) << QStringList{"cbExtension=mkv"} << fiveMbit10s
        << 128000LL * 10 / 8;
    QTest::newRow("copied PCM: its samples")
        << row("00:00:10", {pcm}) << QStringList{"cbExtension=mkv"} << fiveMbit10s
        << 48000LL * 16 * 2 * 10 / 8;
    QTest::newRow("every stream copied") << row("00:00:10", {aacKnown, aacUnknown}) << QStringList()
                                         << fiveMbit10s << (125000LL + 128000) * 10 / 8;
    QTest::newRow("PCM into mp4: aac stereo")
        << row("00:00:10", {pcm}) << QStringList() << fiveMbit10s << 128000LL * 10 / 8;
    QTest::newRow("opus into avi: MP3 stereo")
        << row("00:00:10", {opus}) << QStringList{"cbExtension=avi"} << fiveMbit10s
        << 128000LL * 10 / 8;
    QTest::newRow("into webm: opus stereo")
        << row("00:00:10", {aacUnknown}) << QStringList{"cbExtension=webm"} << fiveMbit10s
        << 96000LL * 10 / 8;
    QTest::newRow("into webm: opus mono")
        << row("00:00:10", {aacMono}) << QStringList{"cbExtension=webm"} << fiveMbit10s
        << 64000LL * 10 / 8;
    QTest::newRow("twice the speed: half the length, the first stream as MP3")
        << row("00:00:10", {aacKnown, aacUnknown}) << QStringList{"tbVideoSpeed=200"}
        << 5000000LL * 5 / 8 << 128000LL * 5 / 8;
    QTest::newRow("two passes with trims")
        << row("00:00:20", {aacKnown})
        << QStringList{"cbRateMode=2", "cbBitrate=2000", "edTimeStart=3", "edTimeEnd=2"}
        << 2000000LL * 15 / 8 << 125000LL * 15 / 8;
    QTest::newRow("no sound") << row("00:01:00") << QStringList{"cbBitrate=800"}
                              << 800000LL * 60 / 8 << 0LL;
}

void TestSizeEstimate::computed()
{
    QFETCH(VideoItem, item);
    QFETCH(QStringList, set);
    QFETCH(qint64, video);
    QFETCH(qint64, sound);
    RenderSettings settings;
    QVERIFY(applySet(settings, set));
    const std::optional<SizeParts> parts = computedOutputSize(item, settings);
    QVERIFY(parts);
    QCOMPARE(parts->video, video);
    QCOMPARE(parts->sound, sound);
    // Headers and the packets' own bytes: more than nothing, far less than the streams.
    QVERIFY2(parts->container > 0 && parts->container < (video + sound) / 100 + 12000,
             qPrintable(QString::number(parts->container)));
    QCOMPARE(parts->total(), video + sound + parts->container);
}

void TestSizeEstimate::nothingToWorkOut_data()
{
    QTest::addColumn<VideoItem>("item");
    QTest::addColumn<QStringList>("set");
    VideoItem unreadable = row("00:00:10");
    unreadable.problem = ItemProblem::Unreadable;
    QTest::newRow("quality mode measures") << row("00:00:10") << QStringList{"cbRateMode=1"};
    QTest::newRow("length unknown") << row("00:00:00") << QStringList();
    QTest::newRow("trims leave nothing")
        << row("00:00:10") << QStringList{"edTimeStart=6", "edTimeEnd=4"};
    QTest::newRow("zero bitrate") << row("00:00:10") << QStringList{"cbBitrate=0"};
    QTest::newRow("cannot be rendered") << unreadable << QStringList();
}

void TestSizeEstimate::nothingToWorkOut()
{
    QFETCH(VideoItem, item);
    QFETCH(QStringList, set);
    RenderSettings settings;
    QVERIFY(applySet(settings, set));
    QVERIFY(!computedOutputSize(item, settings));
}

void TestSizeEstimate::spans_data()
{
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<QList<double>>("spans"); // start, length, start, length ...
    QTest::newRow("the middle of each third")
        << "00:01:00" << QStringList() << QList<double>{9.25, 1.5, 29.25, 1.5, 49.25, 1.5};
    QTest::newRow("within the trims") << "00:01:00" << QStringList{"edTimeStart=6", "edTimeEnd=6"}
                                      << QList<double>{13.25, 1.5, 29.25, 1.5, 45.25, 1.5};
    QTest::newRow("twice the speed reads twice the source")
        << "00:01:00" << QStringList{"tbVideoSpeed=200"}
        << QList<double>{8.5, 3.0, 28.5, 3.0, 48.5, 3.0};
    QTest::newRow("short: encoded whole") << "00:00:05" << QStringList() << QList<double>{0, 5};
    QTest::newRow("short after the trim")
        << "00:00:30" << QStringList{"edTimeStart=25"} << QList<double>{25, 5};
    QTest::newRow("length unknown") << "00:00:00" << QStringList() << QList<double>{};
}

void TestSizeEstimate::spans()
{
    QFETCH(QString, duration);
    QFETCH(QStringList, set);
    QFETCH(QList<double>, spans);
    RenderSettings settings;
    QVERIFY(applySet(settings, set));
    QList<double> flat;
    for (const SampleSpan &span : sampleSpans(row(duration), settings))
        flat << span.start << span.length;
    QCOMPARE(flat, spans);
}

// The frame checksum list: the first picture packet apart, the others summed; sound before the
// sample's start (a copied stream starts at the packet before the seek point) or after its picture
// left out.
void TestSizeEstimate::sampleListRead()
{
    const QByteArray list = "#software: Lavf59.27.100\n"
                            "#tb 0: 1/25\n"
                            "#media_type 0: video\n"
                            "#codec_id 0: h264\n"
                            "#tb 1: 1/1000\n"
                            "#media_type 1: audio\n"
                            "1,       -40,       -40,       20,      300, 0x00000001\n"
                            "0,         0,         1,        1,     9000, 0x00000002, S=1, 8\n"
                            "1,         0,         0,       20,      310, 0x00000003\n"
                            "0,         1,         2,        1,     1000, 0x00000004, F=0x0\n"
                            "1,        20,        20,       20,      320, 0x00000005\n"
                            "0,         2,         3,        1,     1100, 0x00000006, F=0x0\n"
                            "1,       200,       200,       20,      999, 0x00000007\n";
    const std::optional<SampleMeasure> measure = readSampleMeasure(list);
    QVERIFY(measure);
    QCOMPARE(measure->frameBytes, QList<qint64>({9000, 1000, 1100}));
    QCOMPARE(measure->seconds, 0.12);
    QCOMPARE(measure->soundBytes, 630LL);
    QCOMPARE(measure->soundPackets, 2);
    QVERIFY(!readSampleMeasure("#tb 0: 1/25\n#media_type 0: video\n"));
}

void TestSizeEstimate::scaledUp_data()
{
    QTest::addColumn<double>("planned");
    QTest::addColumn<int>("keyInterval");
    QTest::addColumn<qint64>("video");
    // One sample of 30 frames in 1.2 s: a key frame of 10000 bytes, 29 frames of 1000 on
    // average. Scaled to 10 s, 250 frames: the key frame once, 1000 a frame for the rest.
    QTest::newRow("groups longer than the whole") << 10.0 << 1000 << 10000LL + 249 * 1000;
    QTest::newRow("groups shorter than a sample show in it") << 10.0 << 12 << 10000LL + 249 * 1000;
    QTest::newRow("groups of 100: two more key frames") << 10.0 << 100 << 3 * 10000LL + 247 * 1000;
    QTest::newRow("shorter than a sample") << 0.2 << 1000 << 10000LL + 4 * 1000;
}

void TestSizeEstimate::scaledUp()
{
    QFETCH(double, planned);
    QFETCH(int, keyInterval);
    QFETCH(qint64, video);
    SampleMeasure sample;
    sample.seconds = 1.2;
    sample.frameBytes = {10000};
    for (int i = 1; i < 30; ++i)
        sample.frameBytes << (i % 2 ? 1500 : 500);
    sample.frameBytes.last() = 1000;
    sample.soundBytes = 24000;
    sample.soundPackets = 52;
    const SizeParts parts =
        measuredOutputSize({sample}, planned, keyInterval, QStringLiteral("mkv"));
    QCOMPARE(parts.video, video);
    QCOMPARE(parts.sound, qint64(std::llround(20000 * planned)));
    QCOMPARE(parts.container,
             containerOverheadBytes(QStringLiteral("mkv"), 25 * planned + 52 / 1.2 * planned));
}

void TestSizeEstimate::texts_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 0LL << "0,0 KB";
    QTest::newRow("kilobytes") << 1536LL << "1,5 KB";
    QTest::newRow("megabytes") << 13002342LL << "12,4 MB";
    QTest::newRow("just under a thousand") << 1048064000LL << "999,5 MB";
    QTest::newRow("gigabytes") << 1610612736LL << "1,5 GB";
}

void TestSizeEstimate::texts()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(sizeText(bytes), text);
}

// Three samples of the clip, scaled up, against the clip rendered whole with the same settings;
// no sample file is left.
void TestSizeEstimate::qualityEstimateNearTheRender()
{
    const std::optional<VideoItem> item = probeVideoFile(m_tools, m_folders.workDir, m_clip);
    QVERIFY(item);
    RenderSettings settings;
    settings.cbRateMode = int(RateMode::Quality);
    settings.cbRenderScale = 6;
    settings.cbExtension = QStringLiteral("mkv");
    QCOMPARE(sampleSpans(*item, settings).size(), 3);

    SizeEstimator sizes(1, settings, m_folders, m_tools);
    QSignalSpy estimated(&sizes, &SizeEstimator::estimated);
    QSignalSpy completed(&sizes, &SizeEstimator::completed);
    sizes.provide(0, *item);
    // Measured in the background: nothing yet.
    QCOMPARE(sizes.estimate(0).state, SizeEstimate::State::Pending);
    QVERIFY(sizes.isMeasuring());
    QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 1, 120000);
    QCOMPARE(estimated.size(), 1);
    const SizeEstimate &estimate = sizes.estimate(0);
    QVERIFY(estimate.ready());
    QVERIFY(estimate.measured);
    QCOMPARE(sizes.total(), estimate.bytes());
    QCOMPARE(sampleFiles(m_folders.tempDir), QStringList());

    const QString outDir = m_dir.filePath(QStringLiteral("çıktı"));
    QVERIFY(QDir().mkpath(outDir));
    const RenderJob job = buildRenderJob(*item, 0, settings, BuildFolders::from(m_folders, m_tools),
                                         outDir + QStringLiteral("/klip.mkv"));
    const RunResult render =
        getDosOutput(QStringLiteral("ffmpeg"), renderCommandLine(m_tools.path(m_tools.ffMpeg), job),
                     m_folders.tempDir);
    QVERIFY(render.succeeded());
    const qint64 actual = QFileInfo(job.outputPath).size();
    QVERIFY(actual > 0);
    const double error = double(estimate.bytes() - actual) / double(actual);
    QVERIFY2(
        qAbs(error) < 0.3,
        qPrintable(QStringLiteral("estimated %1, rendered %2").arg(estimate.bytes()).arg(actual)));
}

void TestSizeEstimate::samplesEndWithTheEstimate_data()
{
    QTest::addColumn<bool>("destroy"); // false: stop()
    QTest::newRow("stopped") << false;
    QTest::newRow("destroyed") << true;
}

// A sample that runs when the estimate is stopped or goes ends with its process tree, and its
// file goes with it; what was still to come has no estimate.
void TestSizeEstimate::samplesEndWithTheEstimate()
{
    QFETCH(bool, destroy);
    const std::optional<VideoItem> item = probeVideoFile(m_tools, m_folders.workDir, m_clip);
    QVERIFY(item);
    RenderSettings settings;
    settings.cbRateMode = int(RateMode::Quality);
    // The largest size and the slowest speed, so the sample is still running when stopped.
    settings.cbRenderScale = 0;
    settings.cbPreset = 4;
    auto sizes = std::make_unique<SizeEstimator>(2, settings, m_folders, m_tools);
    QSignalSpy estimated(sizes.get(), &SizeEstimator::estimated);
    sizes->provide(0, *item);
    sizes->provide(1, *item);
    ToolRun *run = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((run = sizes->findChild<ToolRun *>()) && run->processId() > 0, 30000);
    const qint64 group = run->processId();
    QVERIFY(testsupport::groupAlive(group));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(sizes->samplePath()), 30000);
    if (destroy) {
        sizes.reset();
    } else {
        sizes->stop();
        QCOMPARE(estimated.size(), 2);
        QCOMPARE(sizes->estimate(0).state, SizeEstimate::State::None);
        QCOMPARE(sizes->estimate(1).state, SizeEstimate::State::None);
        QVERIFY(sizes->complete());
        QTRY_VERIFY_WITH_TIMEOUT(!sizes->isMeasuring(), 30000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::groupAlive(group), 10000);
    QCOMPARE(sampleFiles(m_folders.tempDir), QStringList());
}

QTEST_GUILESS_MAIN(TestSizeEstimate)
#include "tst_sizeestimate.moc"
