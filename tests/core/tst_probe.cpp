#include "core/base/toolset.h"
#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/probebatch.h"
#include "support/corpus.h"
#include "support/testsupport.h"
#include "support/videolistclips.h"

#include <QSignalSpy>
#include <QTest>

using namespace fulmaro;

class TestProbe : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void durationRule_data();
    void durationRule();
    void timeSeparatorFollowsLocale();
    void sizeFormat_data();
    void sizeFormat();
    void nameValueReading();
    void workedExample();
    void streamFacts_data();
    void streamFacts();
    void plausibleRate_data();
    void plausibleRate();
    void usersFiles_data();
    void usersFiles();
    void commandLines();
    void realProbe_data();
    void realProbe();
    void missingFileGivesNoRow();
    void oddProbeOutput_data();
    void oddProbeOutput();
    void largeFileWithoutProbedSize();
    void probeThatCannotRun();
    void filesProbedSideBySideRowsInOrder();

private:
    QList<VideoItem> probeAll(const QString &binDir, const QStringList &paths,
                              QStringList *missing = nullptr, int parallel = 0);

    QTemporaryDir m_dir;
    QString m_realBin;
    QString m_fakeBin;
    QString m_withSound;
    QString m_silent;
};

void TestProbe::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    QVERIFY(m_dir.isValid());
    m_realBin = m_dir.filePath(QStringLiteral("real/"));
    m_fakeBin = m_dir.filePath(QStringLiteral("fake/"));
    QVERIFY(testsupport::linkRealTools(m_realBin));
    QVERIFY(QDir().mkpath(m_fakeBin));
    QVERIFY(clips::installFakeProbe(m_fakeBin));
    m_withSound = m_dir.filePath(QStringLiteral("kısa video deneme.MP4"));
    m_silent = m_dir.filePath(QStringLiteral("sessiz klip.mkv"));
    QVERIFY(clips::make(m_withSound, 1, QStringLiteral("320x240"), true));
    QVERIFY(clips::make(m_silent, 2, QStringLiteral("176x144"), false));
}

QList<VideoItem> TestProbe::probeAll(const QString &binDir, const QStringList &paths,
                                     QStringList *missing, int parallel)
{
    ProbeBatch batch(ToolSet::configured(binDir), m_dir.path() + QLatin1Char('/'), paths);
    if (parallel > 0)
        batch.setParallelFiles(parallel);
    QList<VideoItem> rows;
    connect(&batch, &ProbeBatch::itemReady, this, [&rows](const VideoItem &i) { rows << i; });
    if (missing)
        connect(&batch, &ProbeBatch::fileMissing, this,
                [missing](const QString &p) { *missing << p; });
    QSignalSpy finished(&batch, &ProbeBatch::finished);
    batch.start();
    if (finished.isEmpty())
        finished.wait(60000);
    return rows;
}

void TestProbe::durationRule_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("two and a half minutes") << "150.533000"
                                            << "00:02:31";
    QTest::newRow("half to even, down") << "2.5"
                                        << "00:00:02";
    QTest::newRow("half to even, up") << "3.5"
                                      << "00:00:04";
    QTest::newRow("59.5") << "59.5"
                          << "00:01:00";
    QTest::newRow("60.5") << "60.5"
                          << "00:01:00";
    QTest::newRow("61.5") << "61.5"
                          << "00:01:02";
    QTest::newRow("3599.4") << "3599.4"
                            << "00:59:59";
    QTest::newRow("day lost") << "86399.6"
                              << "00:00:00";
    QTest::newRow("over a day") << "90000"
                                << "01:00:00";
    QTest::newRow("N/A") << "N/A"
                         << "00:00:00";
    QTest::newRow("empty") << ""
                           << "00:00:00";
    QTest::newRow("garbage") << "1.5abc"
                             << "00:00:00";
}

void TestProbe::durationRule()
{
    QFETCH(QString, value);
    QFETCH(QString, text);
    const QLocale tr(QLocale::Turkish, QLocale::Turkey);
    QCOMPARE(durationText(wholeSecondsFromDecimal(value, tr), tr), text);
    // "." is the decimal point whatever the user's settings.
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(wholeSecondsFromDecimal(value, en), wholeSecondsFromDecimal(value, tr));
}

void TestProbe::timeSeparatorFollowsLocale()
{
    const QLocale fi(QLocale::Finnish, QLocale::Finland);
    const QString sep = timeSeparator(fi);
    QVERIFY(fi.timeFormat(QLocale::ShortFormat).contains(QStringLiteral("H") + sep));
    const QString text = durationText(151, fi);
    QCOMPARE(text, QStringLiteral("00") + sep + QStringLiteral("02") + sep + QStringLiteral("31"));
    QCOMPARE(durationText(151, QLocale(QLocale::Turkish)), QStringLiteral("00:02:31"));
}

void TestProbe::sizeFormat_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("turkish");
    QTest::addColumn<QString>("english");
    QTest::newRow("0") << qint64(0) << "0 KB"
                       << "0 KB";
    QTest::newRow("128 half up") << qint64(128) << "0,13 KB"
                                 << "0.13 KB";
    QTest::newRow("500") << qint64(500) << "0,49 KB"
                         << "0.49 KB";
    QTest::newRow("1 MiB") << qint64(1048576) << "1 MB"
                           << "1 MB";
    QTest::newRow("999.999 KB") << qint64(1023999) << "1000 KB"
                                << "1000 KB";
    QTest::newRow("1000 KB") << qint64(1024000) << "0,98 MB"
                             << "0.98 MB";
    QTest::newRow("one and a half megabytes") << qint64(1536000) << "1,46 MB"
                                              << "1.46 MB";
    QTest::newRow("one decimal") << qint64(1572864) << "1,5 MB"
                                 << "1.5 MB";
    QTest::newRow("5 GB") << qint64(5000000000) << "4,66 GB"
                          << "4.66 GB";
    QTest::newRow("999.5 KB") << qint64(1023488) << "999,5 KB"
                              << "999.5 KB";
    QTest::newRow("below 1000 GB") << qint64(1073741823999) << "1000 GB"
                                   << "1000 GB";
    QTest::newRow("1000 GB") << qint64(1073741824000) << ""
                             << "";
}

void TestProbe::sizeFormat()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, turkish);
    QFETCH(QString, english);
    QCOMPARE(fileSizeText(bytes, QLocale(QLocale::Turkish, QLocale::Turkey)), turkish);
    QCOMPARE(fileSizeText(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), english);
}

void TestProbe::nameValueReading()
{
    const QStringList lines = {"[FORMAT]", "filename=a=b.mp4", "Size=12",  "size=99",
                               "duration", "TAG:title=x=y",    "[/FORMAT]"};
    QCOMPARE(probeValue(lines, u"size"), QStringLiteral("12"));
    QCOMPARE(probeValue(lines, u"FILENAME"), QStringLiteral("a=b.mp4"));
    QCOMPARE(probeValue(lines, u"duration"), QString());
    QCOMPARE(probeValue(lines, u"tag:title"), QStringLiteral("x=y"));
    QCOMPARE(probedSize(QStringLiteral("5000000000")), qint64(5000000000));
    QCOMPARE(probedSize(QStringLiteral("N/A")), qint64(0));
    QCOMPARE(probedSize(QStringLiteral("12.5")), qint64(0));
    QCOMPARE(probedSize(QStringLiteral("99999999999999999999")), qint64(0));
}

void TestProbe::workedExample()
{
    const VideoItem item =
        makeVideoItem(QStringLiteral("/videolar/deniz.mp4"),
                      {"[FORMAT]", "duration=150.533000", "size=1536000", "[/FORMAT]"},
                      {"[STREAM]", "codec_type=video", "width=1280", "height=720",
                       "r_frame_rate=25/1", "[/STREAM]"},
                      777);
    QCOMPARE(item.caption, QStringLiteral("/videolar/deniz.mp4"));
    QCOMPARE(item.duration, QStringLiteral("00:02:31"));
    QCOMPARE(item.type, QStringLiteral("mp4"));
    QCOMPARE(item.size, QStringLiteral("1,46 MB"));
    QCOMPARE(item.resolution, QStringLiteral("1280x720"));
    QVERIFY(!item.checked);
    QCOMPARE(item.group, 0);
    QVERIFY(!item.hasAudio);
    QCOMPARE(item.frameRate, QStringLiteral("25/1"));
    QCOMPARE(makeVideoItem(QStringLiteral("/a.b/klip"), {}, {}, 0).type, QString());
}

void TestProbe::streamFacts_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<int>("videoOrdinal");
    QTest::addColumn<QString>("frameRate");
    QTest::addColumn<QStringList>("audioCodecs");
    QTest::newRow("audio first, then two videos")
        << QStringList{"[STREAM]",          "codec_type=audio", "codec_name=aac",
                       "sample_rate=48000", "r_frame_rate=0/0", "[/STREAM]",
                       "[STREAM]",          "codec_type=video", "r_frame_rate=30000/1001",
                       "width=640",         "height=360",       "[/STREAM]",
                       "[STREAM]",          "codec_type=video", "r_frame_rate=25/1",
                       "width=1920",        "height=1080",      "[/STREAM]"}
        << "640x360" << true << 0 << "30000/1001" << QStringList{"aac"};
    QTest::newRow("cover picture before the video")
        << QStringList{"[STREAM]",
                       "codec_type=video",
                       "width=64",
                       "height=64",
                       "r_frame_rate=90000/1",
                       "DISPOSITION:attached_pic=1",
                       "[/STREAM]",
                       "[STREAM]",
                       "codec_type=video",
                       "width=320",
                       "height=240",
                       "r_frame_rate=30/1",
                       "DISPOSITION:attached_pic=0",
                       "[/STREAM]",
                       "[STREAM]",
                       "codec_type=audio",
                       "codec_name=opus",
                       "[/STREAM]"}
        << "320x240" << true << 1 << "30/1" << QStringList{"opus"};
    // The side data section sits inside the stream; what follows it still belongs there.
    QTest::newRow("turned by the display matrix")
        << QStringList{"[STREAM]",          "codec_type=video",
                       "width=568",         "height=320",
                       "[SIDE_DATA]",       "side_data_type=Display Matrix",
                       "displaymatrix=",    "00000000:            0       65536           0",
                       "rotation=-90",      "[/SIDE_DATA]",
                       "r_frame_rate=30/1", "[/STREAM]"}
        << "320x568" << true << 0 << "30/1" << QStringList{};
    QTest::newRow("turned by the rotate tag")
        << QStringList{"[STREAM]",       "codec_type=video",  "width=568", "height=320",
                       "TAG:rotate=270", "r_frame_rate=25/1", "[/STREAM]"}
        << "320x568" << true << 0 << "25/1" << QStringList{};
    QTest::newRow("upside down keeps its sides")
        << QStringList{"[STREAM]",    "codec_type=video", "width=568",    "height=320",
                       "[SIDE_DATA]", "rotation=180",     "[/SIDE_DATA]", "[/STREAM]"}
        << "568x320" << true << 0 << "30/1" << QStringList{};
    QTest::newRow("jittering timestamps")
        << QStringList{"[STREAM]",   "codec_type=video",     "width=320",
                       "height=240", "r_frame_rate=90000/1", "avg_frame_rate=5400000/181607",
                       "[/STREAM]"}
        << "320x240" << true << 0 << "11537/388" << QStringList{};
    QTest::newRow("sound only") << QStringList{"[STREAM]",         "codec_type=audio",
                                               "codec_name=mp3",   "sample_rate=44100",
                                               "[/STREAM]",        "[STREAM]",
                                               "codec_type=audio", "codec_name=pcm_s16le",
                                               "[/STREAM]"}
                                << "" << false << 0 << "" << QStringList{"mp3", "pcm_s16le"};
    QTest::newRow("only a cover picture")
        << QStringList{"[STREAM]",   "codec_type=video",           "width=600",
                       "height=600", "DISPOSITION:attached_pic=1", "[/STREAM]",
                       "[STREAM]",   "codec_type=audio",           "codec_name=mp3",
                       "[/STREAM]"}
        << "" << false << 0 << "" << QStringList{"mp3"};
    QTest::newRow("nothing") << QStringList{} << "" << false << 0 << "" << QStringList{};
}

void TestProbe::streamFacts()
{
    QFETCH(QStringList, lines);
    const StreamFacts facts = readStreamFacts(lines);
    QTEST(facts.resolution, "resolution");
    QTEST(facts.hasVideo, "hasVideo");
    QTEST(facts.videoOrdinal, "videoOrdinal");
    QTEST(facts.frameRate, "frameRate");
    QStringList codecs;
    for (const AudioStream &a : facts.audioStreams)
        codecs << a.codec;
    QTEST(codecs, "audioCodecs");
    QCOMPARE(facts.hasAudio, !codecs.isEmpty());
    QCOMPARE(facts.anyStream, !lines.isEmpty());
}

void TestProbe::plausibleRate_data()
{
    QTest::addColumn<QString>("real");
    QTest::addColumn<QString>("average");
    QTest::addColumn<QString>("rate");
    QTest::newRow("constant") << "30/1"
                              << "30/1"
                              << "30/1";
    QTest::newRow("film") << "24000/1001"
                          << "24000/1001"
                          << "24000/1001";
    QTest::newRow("time base as rate") << "90000/1"
                                       << "30/1"
                                       << "30/1";
    QTest::newRow("240 is still a rate") << "240/1"
                                         << "0/0"
                                         << "240/1";
    QTest::newRow("just below one") << "1/2"
                                    << "0/0"
                                    << "30/1";
    QTest::newRow("one frame a second") << "1/1"
                                        << "0/0"
                                        << "1/1";
    QTest::newRow("nothing known") << "0/0"
                                   << "0/0"
                                   << "30/1";
    QTest::newRow("not a rate") << "abc"
                                << ""
                                << "30/1";
    QTest::newRow("both implausible") << "1000/1"
                                      << "500/1"
                                      << "30/1";
    QTest::newRow("terms too large for the encoders") << "90000/1"
                                                      << "5400000/181607"
                                                      << "11537/388";
}

void TestProbe::plausibleRate()
{
    QFETCH(QString, real);
    QFETCH(QString, average);
    QFETCH(QString, rate);
    const QString result = plausibleFrameRate(real, average);
    QCOMPARE(result, rate);
    // Whatever the terms, the rate stays within a hair of the source's.
    const double source =
        frameRateValue(frameRateValue(real) >= 1 && frameRateValue(real) <= 240 ? real : average);
    if (source >= 1 && source <= 240)
        QVERIFY(qAbs(frameRateValue(result) - source) < 1e-4);
}

void TestProbe::usersFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const corpus::Sample &s : corpus::samples())
        QTest::newRow(s.name) << QString::fromLatin1(s.name);
}

void TestProbe::usersFiles()
{
    QFETCH(QString, name);
    static QStringList paths;
    const QString folder = m_dir.filePath(QStringLiteral("kullanıcı dosyaları/"));
    if (paths.isEmpty())
        paths = corpus::makeAll(folder);
    QVERIFY(!paths.isEmpty());
    const corpus::Sample &s = *corpus::sample(name);
    const QString path = folder + QString::fromUtf8(s.file);
    const QList<VideoItem> rows = probeAll(m_realBin, {path});
    QCOMPARE(rows.size(), 1);
    const VideoItem &row = rows.constFirst();
    QCOMPARE(row.resolution, QString::fromUtf8(s.resolution));
    QCOMPARE(row.renderable(), s.renderable);
    QCOMPARE(row.hasAudio, s.hasAudio);
    if (s.hasAudio)
        QCOMPARE(row.audioStreams.value(0).codec, QLatin1String(s.audioCodec));
    if (s.renderable) {
        QVERIFY2(qAbs(frameRateValue(row.frameRate) - s.fps) <= s.fpsTolerance,
                 qPrintable(row.frameRate));
        QCOMPARE(wholeSecondsFromDecimal(QString::number(s.seconds)),
                 qint64(durationToSeconds(row.duration)));
    }

    // The one combined run gives the row the format and stream runs give apart.
    const ToolSet tools = ToolSet::configured(m_realBin);
    const RunResult format =
        getDosOutput(tools.ffProbe, formatProbeCommand(tools, path), m_dir.path());
    const RunResult streams =
        getDosOutput(tools.ffProbe, streamProbeCommand(tools, path), m_dir.path());
    const VideoItem apart = makeVideoItem(path, format.lines, streams.lines, QFileInfo(path).size(),
                                          QLocale(), streams.succeeded());
    const VideoItem together = *probeVideoFile(tools, m_dir.path(), path);
    QCOMPARE(together.duration, apart.duration);
    QCOMPARE(together.size, apart.size);
    QCOMPARE(together.resolution, apart.resolution);
    QCOMPARE(together.problem, apart.problem);
    QCOMPARE(together.hasAudio, apart.hasAudio);
    QCOMPARE(together.audioStreams, apart.audioStreams);
    QCOMPARE(together.videoOrdinal, apart.videoOrdinal);
    QCOMPARE(together.frameRate, apart.frameRate);
    QCOMPARE(together.rotation, apart.rotation);
}

void TestProbe::commandLines()
{
    ToolSet tools = ToolSet::configured(QStringLiteral("/iş yeri/Bin/"));
    tools.searchPath = false; // the probe in Bin, even where it is missing
    const QString path = QStringLiteral("/v/deniz kıyısı.mp4");
    QCOMPARE(formatProbeCommand(tools, path),
             QStringLiteral("\"/iş yeri/Bin/ffprobe\"  \"/v/deniz kıyısı.mp4\" -v quiet "
                            "-show_entries format=duration,size"));
    QCOMPARE(streamProbeCommand(tools, QStringLiteral("/v/$x.mp4")),
             QStringLiteral("\"/iş yeri/Bin/ffprobe\"  ") + quoteArg(QStringLiteral("/v/$x.mp4")) +
                 QStringLiteral(" -v quiet -show_streams"));
}

void TestProbe::realProbe_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<bool>("hasAudio");
    QTest::newRow("with sound, capital extension") << m_withSound << "00:00:01"
                                                   << "MP4"
                                                   << "320x240" << true;
    QTest::newRow("without sound") << m_silent << "00:00:02"
                                   << "mkv"
                                   << "176x144" << false;
}

void TestProbe::realProbe()
{
    QFETCH(QString, path);
    const QList<VideoItem> rows = probeAll(m_realBin, {path});
    QCOMPARE(rows.size(), 1);
    const VideoItem &row = rows.constFirst();
    QCOMPARE(row.caption, path);
    QTEST(row.duration, "duration");
    QTEST(row.type, "type");
    QTEST(row.resolution, "resolution");
    QTEST(row.hasAudio, "hasAudio");
    QCOMPARE(row.frameRate, QStringLiteral("30/1"));
    // The probe's size is the file's size.
    QCOMPARE(row.size, fileSizeText(QFileInfo(path).size(), QLocale(QLocale::Turkish)));
    QVERIFY(row.size.endsWith(QLatin1String(" KB")));
    QVERIFY(!row.checked);
    QCOMPARE(row.group, 0);

    // The synchronous form gives the same row.
    const auto single = probeVideoFile(ToolSet::configured(m_realBin), m_dir.path(), path);
    QVERIFY(single.has_value());
    QCOMPARE(single->duration, row.duration);
    QCOMPARE(single->resolution, row.resolution);
}

void TestProbe::missingFileGivesNoRow()
{
    QStringList missing;
    const QString gone = m_dir.filePath(QStringLiteral("yok.mp4"));
    const QList<VideoItem> rows =
        probeAll(m_realBin, {gone, m_silent, m_dir.path(), m_silent}, &missing);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).caption, m_silent);
    QCOMPARE(rows.at(1).caption, m_silent);
    QCOMPARE(missing, QStringList({gone, m_dir.path()}));
    QVERIFY(!probeVideoFile(ToolSet::configured(m_realBin), m_dir.path(), gone).has_value());
}

void TestProbe::oddProbeOutput_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("resolution");
    QTest::newRow("N/A duration and size") << "na"
                                           << "00:00:00"
                                           << "640x360";
    QTest::newRow("size 0") << "zero"
                            << "00:00:02"
                            << "640x360";
    QTest::newRow("size missing, name in capitals") << "nosize"
                                                    << "00:01:02"
                                                    << "640x360";
    // Nothing about any stream: the file is listed as one the probe could not read.
    QTest::newRow("names missing") << "silent"
                                   << "00:00:00"
                                   << "okunamadı";
}

void TestProbe::oddProbeOutput()
{
    QFETCH(QString, mode);
    // 3000 bytes on disk: the probe's size is unusable, so this is the size shown.
    const QString path = m_dir.filePath(QStringLiteral("tuhaf.mp4"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'x'));
    }
    qputenv("FAKE_PROBE_MODE", mode.toUtf8());
    const QList<VideoItem> rows = probeAll(m_fakeBin, {path});
    qunsetenv("FAKE_PROBE_MODE");
    QCOMPARE(rows.size(), 1);
    QTEST(rows.constFirst().duration, "duration");
    QCOMPARE(rows.constFirst().size, QStringLiteral("2,93 KB"));
    QTEST(rows.constFirst().resolution, "resolution");
}

void TestProbe::largeFileWithoutProbedSize()
{
    // A sparse 5 GiB file: its size needs all 64 bits.
    const QString path = m_dir.filePath(QStringLiteral("büyük.mkv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (!f.resize(qint64(5) << 30))
            QSKIP("the temporary folder cannot hold a sparse 5 GiB file");
    }
    qputenv("FAKE_PROBE_MODE", "na");
    const QList<VideoItem> rows = probeAll(m_fakeBin, {path});
    qunsetenv("FAKE_PROBE_MODE");
    QFile::remove(path);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.constFirst().size, QStringLiteral("5 GB"));
}

void TestProbe::probeThatCannotRun()
{
    // Neither Bin nor PATH holds a probe.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir.filePath(QStringLiteral("boş")).toLocal8Bit());
    const QList<VideoItem> rows = probeAll(m_dir.filePath(QStringLiteral("boş/")), {m_silent});
    qputenv("PATH", path);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.constFirst().duration, QStringLiteral("00:00:00"));
    QCOMPARE(rows.constFirst().resolution, QStringLiteral("okunamadı"));
    QVERIFY(!rows.constFirst().renderable());
    QCOMPARE(rows.constFirst().size, fileSizeText(QFileInfo(m_silent).size()));
}

void TestProbe::filesProbedSideBySideRowsInOrder()
{
    QStringList paths;
    for (const char *name : {"slow.mp4", "a.mp4", "b.mp4", "c.mp4"}) {
        paths << m_dir.filePath(QLatin1String(name));
        QFile f(paths.constLast());
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QString logPath = m_dir.filePath(QStringLiteral("probe.log"));
    QFile::remove(logPath);
    qputenv("FAKE_PROBE_LOG", logPath.toUtf8());
    const QList<VideoItem> rows = probeAll(m_fakeBin, paths, nullptr, 2);
    qunsetenv("FAKE_PROBE_LOG");

    QStringList captions;
    for (const VideoItem &r : rows)
        captions << r.caption;
    QCOMPARE(captions, paths);

    QFile logFile(logPath);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QStringList log = QString::fromUtf8(logFile.readAll()).split('\n', Qt::SkipEmptyParts);
    // One run per file.
    QCOMPARE(log.size(), 4 * 2);
    for (const char *name : {"slow.mp4", "a.mp4", "b.mp4", "c.mp4"})
        QCOMPARE(log.count(QStringLiteral("start both ") + QLatin1String(name)), 1);
    // The second file started while the first was still being probed.
    QVERIFY(log.indexOf(QStringLiteral("start both a.mp4")) <
            log.indexOf(QStringLiteral("end both slow.mp4")));
    // Never more than two files at once: the third waits until one of the first two is done.
    const qsizetype thirdStart = log.indexOf(QStringLiteral("start both b.mp4"));
    QVERIFY(thirdStart > log.indexOf(QStringLiteral("end both a.mp4")) ||
            thirdStart > log.indexOf(QStringLiteral("end both slow.mp4")));
}

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
