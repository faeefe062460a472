#include "core/render/audiocodecs.h"
#include "core/runner/shellquote.h"
#include "core/runner/tooloutput.h"
#include "core/runner/toolrun.h"
#include "support/testsupport.h"

#include <QTest>

using namespace fulmaro;

class TestAudioCodecs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void copyTable_data();
    void copyTable();
    void codecOption_data();
    void codecOption();
    void encoderAgrees_data();
    void encoderAgrees();
    void meaningfulLines_data();
    void meaningfulLines();

private:
    QTemporaryDir m_dir;
};

void TestAudioCodecs::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestAudioCodecs::copyTable_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("container");
    QTest::addColumn<bool>("copy");
    QTest::newRow("AAC into flv") << "aac" << 48000 << "flv" << true;
    QTest::newRow("PCM into mp4") << "pcm_s16le" << 48000 << "mp4" << false;
    QTest::newRow("PCM into avi") << "pcm_s16le" << 48000 << "avi" << true;
    QTest::newRow("PCM 48 kHz into flv") << "pcm_s16le" << 48000 << "flv" << false;
    QTest::newRow("PCM 44.1 kHz into flv") << "pcm_s16le" << 44100 << "flv" << true;
    QTest::newRow("Opus into avi") << "opus" << 48000 << "avi" << false;
    QTest::newRow("Opus into mp4") << "opus" << 48000 << "mp4" << true;
    QTest::newRow("Vorbis into flv") << "vorbis" << 44100 << "flv" << false;
    QTest::newRow("MP3 32 kHz into flv") << "mp3" << 32000 << "flv" << false;
    QTest::newRow("MP3 48 kHz into flv") << "mp3" << 48000 << "flv" << true;
    QTest::newRow("FLAC into mp4") << "flac" << 44100 << "mp4" << false;
    QTest::newRow("extension in capitals") << "flac" << 44100 << "MKV" << true;
    QTest::newRow("unknown codec") << "cook" << 44100 << "mkv" << false;
    QTest::newRow("unknown container") << "aac" << 44100 << "ogv" << false;
    QTest::newRow("Opus into webm") << "opus" << 48000 << "webm" << true;
    QTest::newRow("AAC into webm") << "aac" << 48000 << "webm" << false;
    QTest::newRow("Vorbis into mov") << "vorbis" << 44100 << "mov" << false;
    QTest::newRow("PCM 24-bit into mov") << "pcm_s24le" << 48000 << "mov" << true;
}

void TestAudioCodecs::copyTable()
{
    QFETCH(QString, codec);
    QFETCH(int, rate);
    QFETCH(QString, container);
    QTEST(canCopyAudio(codec, rate, container), "copy");
}

void TestAudioCodecs::codecOption_data()
{
    QTest::addColumn<QList<AudioStream>>("streams");
    QTest::addColumn<QString>("container");
    QTest::addColumn<bool>("retimed");
    QTest::addColumn<QString>("option");
    const QList<AudioStream> aac{{"aac", 44100}};
    const QList<AudioStream> pcm48{{"pcm_s16le", 48000}};
    const QList<AudioStream> opus{{"opus", 48000}};
    const QList<AudioStream> pcm32{{"pcm_s16le", 32000}};
    QTest::newRow("AAC copied") << aac << "mp4" << false << "copy";
    QTest::newRow("PCM into mp4 as AAC") << pcm48 << "mp4" << false << "aac";
    QTest::newRow("Opus into avi as MP3") << opus << "avi" << false << "libmp3lame";
    QTest::newRow("Opus into flv as AAC") << opus << "flv" << false << "aac";
    QTest::newRow("one stream that cannot go encodes all")
        << QList<AudioStream>{{"aac", 44100}, {"opus", 48000}} << "avi" << false << "libmp3lame";
    QTest::newRow("rows that were not probed keep the copy")
        << QList<AudioStream>{} << "mp4" << false << "copy";
    QTest::newRow("retimed into mp4") << aac << "mp4" << true << "libmp3lame";
    QTest::newRow("retimed Opus into flv") << opus << "flv" << true << "libmp3lame";
    QTest::newRow("retimed 32 kHz into flv") << pcm32 << "flv" << true << "aac";
    QTest::newRow("retimed 32 kHz into avi") << pcm32 << "avi" << true << "libmp3lame";
}

void TestAudioCodecs::codecOption()
{
    QFETCH(QList<AudioStream>, streams);
    QFETCH(QString, container);
    QFETCH(bool, retimed);
    QTEST(audioCodecOption(streams, container, retimed), "option");
}

// The table against the encoder in use: a stream of the codec is copied into the container
// exactly where the table says it can be, and where it cannot, the container's encoder works.
void TestAudioCodecs::encoderAgrees_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("container");
    QTest::newRow("PCM into mp4") << "pcm_s16le"
                                  << "pcm_s16le" << 48000 << "mp4";
    QTest::newRow("PCM 48 kHz into flv") << "pcm_s16le"
                                         << "pcm_s16le" << 48000 << "flv";
    QTest::newRow("PCM 22 kHz into flv") << "pcm_s16le"
                                         << "pcm_s16le" << 22050 << "flv";
    QTest::newRow("Opus into avi") << "libopus"
                                   << "opus" << 48000 << "avi";
    QTest::newRow("Opus into mkv") << "libopus"
                                   << "opus" << 48000 << "mkv";
    QTest::newRow("Vorbis into flv") << "libvorbis"
                                     << "vorbis" << 44100 << "flv";
    QTest::newRow("MP3 into flv") << "libmp3lame"
                                  << "mp3" << 44100 << "flv";
    QTest::newRow("AAC into avi") << "aac"
                                  << "aac" << 44100 << "avi";
    QTest::newRow("AAC 44.1 kHz into webm") << "aac"
                                            << "aac" << 44100 << "webm";
    QTest::newRow("Opus into webm") << "libopus"
                                    << "opus" << 48000 << "webm";
    QTest::newRow("PCM into mov") << "pcm_s16le"
                                  << "pcm_s16le" << 48000 << "mov";
    QTest::newRow("Opus into mov") << "libopus"
                                   << "opus" << 48000 << "mov";
}

void TestAudioCodecs::encoderAgrees()
{
    QFETCH(QString, encoder);
    QFETCH(QString, codec);
    QFETCH(int, rate);
    QFETCH(QString, container);
    const QString ffmpeg = quoteArg(QStringLiteral(TOOLS_DIR "/ffmpeg"));
    const QString source = m_dir.filePath(codec + QString::number(rate) + QStringLiteral(".mkv"));
    const testsupport::ShellRun made = testsupport::runShell(
        ffmpeg +
            QStringLiteral(" -v error -y -f lavfi -i sine=duration=0.3:sample_rate=%1 -c:a %2 ")
                .arg(rate)
                .arg(encoder) +
            quoteArg(source),
        m_dir.path());
    QCOMPARE(made.exitCode, 0);

    const QString output = m_dir.filePath(QStringLiteral("çıktı.") + container);
    const auto copyInto = [&](const QString &option) {
        return getDosOutput(QStringLiteral("ffmpeg"),
                            ffmpeg + QStringLiteral(" -y -i ") + quoteArg(source) +
                                QStringLiteral(" -c:a ") + option + QLatin1Char(' ') +
                                quoteArg(output),
                            m_dir.path());
    };
    const RunResult copied = copyInto(QStringLiteral("copy"));
    QCOMPARE(copied.succeeded(), canCopyAudio(codec, rate, container));
    if (!copied.succeeded()) {
        // What the failure says is the encoder's complaint, not its banner or stream list.
        const QStringList tail = lastMeaningfulLines(copied.lines, 3);
        QVERIFY(!tail.isEmpty());
        for (const QString &line : tail) {
            QVERIFY2(!line.contains(QLatin1String("version")) && !line.front().isSpace(),
                     qPrintable(line));
        }
        QVERIFY2(tail.join(QLatin1Char('\n')).contains(QLatin1String("rror")) ||
                     tail.join(QLatin1Char('\n')).contains(QLatin1String("not")),
                 qPrintable(tail.join(QLatin1Char('\n'))));
        const RunResult encoded = copyInto(audioCodecOption({{codec, rate}}, container, false));
        QVERIFY2(encoded.succeeded(), qPrintable(encoded.lines.join(QLatin1Char('\n'))));
    }
}

void TestAudioCodecs::meaningfulLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("tail");
    const QStringList banner{
        "ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026 the FFmpeg developers",
        "  built with gcc 12 (Debian 12.2.0-14+deb12u1)",
        "  configuration: --prefix=/usr --enable-gpl", "  libavutil      57. 28.100 / 57. 28.100",
        "  libavcodec     59. 37.100 / 59. 37.100"};
    QTest::newRow("failure after progress")
        << banner + QStringList{"Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'a.mp4':",
                                "  Duration: 00:00:02.00, start: 0.000000, bitrate: 300 kb/s",
                                "Stream mapping:",
                                "  Stream #0:0 -> #0:0 (mpeg4 -> h264)",
                                "Press [q] to stop, [?] for help",
                                "frame=   12 fps=0.0 q=0.0 size=       0kB time=00:00:00.33 "
                                "bitrate=N/A speed=0.6x",
                                "[mp4 @ 0x55] Could not find tag for codec pcm_s16le",
                                "Could not write header for output file #0",
                                "",
                                "size=      12kB time=00:00:01.00 bitrate=  98.3kbits/s"}
        << QStringList{"[mp4 @ 0x55] Could not find tag for codec pcm_s16le",
                       "Could not write header for output file #0"};
    QTest::newRow("unreadable input")
        << banner + QStringList{"[mov,mp4,m4a,3gp,3g2,mj2 @ 0x56] moov atom not found",
                                "yarım.mp4: Invalid data found when processing input"}
        << QStringList{"[mov,mp4,m4a,3gp,3g2,mj2 @ 0x56] moov atom not found",
                       "yarım.mp4: Invalid data found when processing input"};
    QTest::newRow("chatter of a run that went on")
        << QStringList{"[swscaler @ 0x5a] [swscaler @ 0x5b] deprecated pixel format used, make "
                       "sure you did set range correctly",
                       "[libx264 @ 0x5c] using SAR=1/1",
                       "[libx264 @ 0x5c] profile Constrained Baseline, level 3.0, 4:2:0, 8-bit",
                       "[flv @ 0x5d] Audio codec opus not compatible with flv",
                       "Conversion failed!",
                       "video:2kB audio:1kB subtitle:0kB other streams:0kB global headers:0kB",
                       "[libx264 @ 0x5c] frame I:1     Avg QP:20.00  size:  2000",
                       "[libx264 @ 0x5c] kb/s:120.00"}
        << QStringList{"[flv @ 0x5d] Audio codec opus not compatible with flv",
                       "Conversion failed!"};
    QTest::newRow("only the last three")
        << QStringList{"a", "b", "c", "d"} << QStringList{"b", "c", "d"};
    QTest::newRow("nothing but the banner") << banner << QStringList{};
}

void TestAudioCodecs::meaningfulLines()
{
    QFETCH(QStringList, lines);
    QTEST(lastMeaningfulLines(lines, 3), "tail");
}

QTEST_GUILESS_MAIN(TestAudioCodecs)
#include "tst_audiocodecs.moc"
