// Overlays chosen in the pickers reach a rendered file: the panel's settings go through the
// builder and the scratch copies into the real encoder, and the pixels of the result show the
// frame, the filter and the logo where each belongs.

#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/videolist/videoitem.h"
#include "support/testsupport.h"
#include "ui/mainform.h"
#include "ui/render/settingspanel.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

bool near(QColor actual, QColor expected)
{
    return qAbs(actual.red() - expected.red()) <= 40 &&
           qAbs(actual.green() - expected.green()) <= 40 &&
           qAbs(actual.blue() - expected.blue()) <= 40;
}

} // namespace

class TestOverlays : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void overlaysInRender_data();
    void overlaysInRender();

private:
    QTemporaryDir m_dir;
    MainForm *m_form = nullptr;
    QString m_ffmpeg;
    QString m_source;
};

void TestOverlays::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const WorkFolders folders = WorkFolders::under(m_dir.path());
    folders.create();
    QVERIFY(testsupport::linkRealTools(folders.binDir));
    m_ffmpeg = quoteArg(folders.binDir + QStringLiteral("ffmpeg"));

    // A white clip, and the library pictures: an opaque red frame, a filter whose top-left
    // quarter is green and the rest transparent, and a yellow logo with an upper-case extension.
    m_source = m_dir.path() + QStringLiteral("/beyaz.mp4");
    const testsupport::ShellRun made = testsupport::runShell(
        m_ffmpeg +
            QStringLiteral(" -v error -y -f lavfi -i color=c=white:size=320x240:rate=25:duration=1 "
                           "-c:v libx264 -preset ultrafast -pix_fmt yuv420p ") +
            quoteArg(m_source),
        m_dir.path());
    QVERIFY2(made.exitCode == 0, qPrintable(made.output));
    QImage frame(64, 36, QImage::Format_ARGB32);
    frame.fill(Qt::red);
    QVERIFY(frame.save(folders.frameDir + QStringLiteral("kırmızı kenar.png")));
    QImage filter(20, 20, QImage::Format_ARGB32);
    filter.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            filter.setPixelColor(x, y, Qt::green);
    QVERIFY(filter.save(folders.filterDir + QStringLiteral("Işık.png")));
    QImage logo(16, 16, QImage::Format_ARGB32);
    logo.fill(Qt::yellow);
    QVERIFY(logo.save(folders.logoDir + QStringLiteral("Kanal.PNG"), "PNG"));

    m_form = new MainForm(folders);
}

void TestOverlays::cleanupTestCase()
{
    delete m_form;
}

void TestOverlays::overlaysInRender_data()
{
    QTest::addColumn<int>("videoFront");
    QTest::addColumn<QColor>("videoArea"); // what the video's place shows outside the filter

    QTest::newRow("video in front of the frame") << 1 << QColor(Qt::white);
    QTest::newRow("video behind the frame") << 0 << QColor(Qt::red);
}

void TestOverlays::overlaysInRender()
{
    QFETCH(int, videoFront);
    QFETCH(QColor, videoArea);

    SettingsPanel *p = m_form->renderSettings;
    p->fillPickers();
    p->cbRenderScale->setCurrentIndex(6); // 426x240
    p->cbFilter->setCurrentIndex(p->cbFilter->findText(QStringLiteral("Işık")));
    p->cbFrame->setCurrentIndex(p->cbFrame->findText(QStringLiteral("kırmızı kenar")));
    p->cbLogo->setCurrentIndex(p->cbLogo->findText(QStringLiteral("Kanal")));
    QVERIFY(p->cbFilter->currentIndex() > 0 && p->cbFrame->currentIndex() > 4 &&
            p->cbLogo->currentIndex() > 0);
    p->edVideoFront->setCurrentIndex(videoFront);
    p->cbLogoPosition->setCurrentIndex(9); // "Sağ Alt"
    p->cbLogoScale->setCurrentText(QStringLiteral("50x50"));

    VideoItem item;
    item.caption = m_source;
    item.duration = QStringLiteral("00:00:01");
    item.frameRate = QStringLiteral("25/1");
    const BuiltCommand built =
        buildCommandLine(&item, RenderMode, p->settings(),
                         BuildFolders::from(m_form->folders, m_form->tools), scratchTick());
    QCOMPARE(built.copies.size(), 3);
    QVERIFY(makeScratchCopies(built.copies));

    const QString tempDir = m_form->folders.tempDir;
    const QString output = tempDir + QStringLiteral("sonuç.mp4");
    const testsupport::ShellRun render = testsupport::runShell(
        m_ffmpeg + QStringLiteral(" -y") + built.text + QLatin1Char(' ') + quoteArg(output),
        tempDir);
    QVERIFY2(render.exitCode == 0, qPrintable(built.text + QLatin1Char('\n') + render.output));
    const QString still = tempDir + QStringLiteral("kare.png");
    const testsupport::ShellRun grab = testsupport::runShell(
        m_ffmpeg + QStringLiteral(" -v error -y -ss 0.5 -i ") + quoteArg(output) +
            QStringLiteral(" -frames:v 1 ") + quoteArg(still),
        tempDir);
    QVERIFY2(grab.exitCode == 0, qPrintable(grab.output));
    const QImage picture(still);
    QCOMPARE(picture.size(), QSize(426, 240));

    // The video takes 70% of each side, centred: x 64..361, y 36..203; the filter covers the
    // video's place, its green quarter x 64..212, y 36..119; the logo x 366..415, y 180..229.
    const struct
    {
        QPoint at;
        QColor colour;
        const char *what;
    } probes[] = {
        {{20, 20}, Qt::red, "frame, top left"},
        {{400, 100}, Qt::red, "frame, right"},
        {{100, 70}, Qt::green, "filter's opaque quarter"},
        {{300, 170}, videoArea, "video's place, filter transparent"},
        {{390, 205}, Qt::yellow, "logo at bottom right"},
        {{330, 225}, Qt::red, "frame beside the logo"},
    };
    for (const auto &probe : probes) {
        const QColor seen = picture.pixelColor(probe.at);
        QVERIFY2(near(seen, probe.colour),
                 qPrintable(QStringLiteral("%1 at (%2,%3): %4, expected %5")
                                .arg(QLatin1String(probe.what))
                                .arg(probe.at.x())
                                .arg(probe.at.y())
                                .arg(seen.name(), probe.colour.name())));
    }
}

QTEST_MAIN(TestOverlays)
#include "tst_overlays.moc"
