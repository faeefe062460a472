// The thumbnail window's pure pieces: the grab command, names, caption and the random second.
#include "core/thumbnail/stillgrabber.h"
#include "core/thumbnail/thumbnailcommand.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace fulmaro;

class TestThumbnail : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void grabCommand_data();
    void grabCommand();
    void proposedName_data();
    void proposedName();
    void caption_data();
    void caption();
    void randomPosition_data();
    void randomPosition();
    void stillCommand();
    void pictureSize_data();
    void pictureSize();
};

void TestThumbnail::grabCommand_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain")
        << "/videolar/deniz.mp4" << 65
        << "\"/data/Fulmaro/Bin/ffmpeg\" -y  -ss 65 -i \"/videolar/deniz.mp4\" -f "
           "image2 -vframes 1 -preset ultrafast "
           "\"/data/Fulmaro/Temp/deniz_65.jpg\"";
    QTest::newRow("dots and blanks") << "/v/yaz tatili.2024.mkv" << 0
                                     << "\"/data/Fulmaro/Bin/ffmpeg\" -y  -ss 0 -i \"/v/yaz "
                                        "tatili.2024.mkv\" -f image2 -vframes 1 -preset ultrafast "
                                        "\"/data/Fulmaro/Temp/yaz tatili.2024_0.jpg\"";
    // Shell characters in a name stay text in both the input and the scratch path.
    QTest::newRow("shell characters")
        << "/v/a\"$(id)`b`.mp4" << 7
        << "\"/data/Fulmaro/Bin/ffmpeg\" -y  -ss 7 -i \"/v/a\\\"\\$(id)\\`b\\`.mp4\" -f image2 "
           "-vframes "
           "1 -preset ultrafast \"/data/Fulmaro/Temp/a\\\"\\$(id)\\`b\\`_7.jpg\"";
}

void TestThumbnail::grabCommand()
{
    QFETCH(QString, fileName);
    QFETCH(int, seconds);
    QFETCH(QString, expected);
    ToolSet tools;
    tools.binDir = QStringLiteral("/data/Fulmaro/Bin/");
    tools.ffMpeg = QStringLiteral("ffmpeg");
    const QString scratch =
        thumbnailScratchPath(QStringLiteral("/data/Fulmaro/Temp/"), fileName, seconds);
    QCOMPARE(thumbnailGrabCommand(tools, fileName, seconds, scratch), expected);
}

void TestThumbnail::proposedName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/Videolar/deniz.mp4"
                           << "deniz.jpg";
    QTest::newRow("inner dots, Turkish letters") << "/v/arşiv.2024.Çekim.MOV"
                                                 << "arşiv.2024.Çekim.jpg";
    QTest::newRow("no extension") << "/v/klip"
                                  << "klip.jpg";
}

void TestThumbnail::proposedName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, expected);
    QCOMPARE(proposedPictureName(fileName), expected);
    // A picture of a known second carries it.
    const QString base = expected.chopped(4);
    QCOMPARE(proposedPictureName(fileName, 0), base + QStringLiteral("_00-00-00.jpg"));
    QCOMPARE(proposedPictureName(fileName, 65), base + QStringLiteral("_00-01-05.jpg"));
    QCOMPARE(proposedPictureName(fileName, 3 * 3600 + 59), base + QStringLiteral("_03-00-59.jpg"));
}

void TestThumbnail::caption_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << "Küçük Resim (00:00:00)";
    QTest::newRow("65") << 65 << "Küçük Resim (00:01:05)";
    QTest::newRow("3661") << 3661 << "Küçük Resim (01:01:01)";
}

void TestThumbnail::caption()
{
    QFETCH(int, position);
    QFETCH(QString, expected);
    QCOMPARE(thumbnailCaption(position, QLocale(QLocale::Turkish, QLocale::Turkey)), expected);
}

void TestThumbnail::randomPosition_data()
{
    QTest::addColumn<int>("maximum");
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("13") << 13;
}

void TestThumbnail::randomPosition()
{
    QFETCH(int, maximum);
    QRandomGenerator generator(20240611u);
    QSet<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int p = randomThumbnailPosition(maximum, generator);
        QVERIFY2(p >= 0 && (p < maximum || (maximum == 0 && p == 0)),
                 qPrintable(QString::number(p)));
        seen.insert(p);
    }
    // Every second but the last one comes up.
    QCOMPARE(seen.size(), qMax(1, maximum));
}

// The list's still: the tool path and every file path quoted, a tenth into the video, fitted
// into 128x72 after making the pixels square.
void TestThumbnail::stillCommand()
{
    ToolSet tools;
    tools.binDir = QStringLiteral("/data/$HOME Fulmaro/Bin/");
    tools.ffMpeg = QStringLiteral("ffmpeg");
    QCOMPARE(stillGrabCommand(tools, QStringLiteral("/v/yaz `tatili`.mkv"), stillMoment(65),
                              QStringLiteral("/t/still_1_2.png")),
             QStringLiteral("\"/data/\\$HOME Fulmaro/Bin/ffmpeg\" -v error -y -ss 6.50 -i "
                            "\"/v/yaz \\`tatili\\`.mkv\" -an -sn -frames:v 1 -vf "
                            "\"scale=iw*sar:ih,scale=128:72:force_original_aspect_ratio=decrease,"
                            "setsar=1\" -f image2 -c:v png \"/t/still_1_2.png\""));
    QCOMPARE(stillMoment(0), 0.0);
}

void TestThumbnail::pictureSize_data()
{
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<bool>("picture");
    QTest::newRow("video") << "1280x720" << true;
    QTest::newRow("no video stream") << "x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("zero") << "0x0" << false;
    QTest::newRow("height only") << "x720" << false;
}

void TestThumbnail::pictureSize()
{
    QFETCH(QString, resolution);
    QFETCH(bool, picture);
    QCOMPARE(hasPictureSize(resolution), picture);
}

QTEST_APPLESS_MAIN(TestThumbnail)
#include "tst_thumbnail.moc"
