#include "support/settingsdump.h"
#include "support/testsupport.h"
#include "ui/render/settingspanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace fulmaro;

class TestSettingsPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void controlsAndDefaults();
    void videoScaleItems();
    void defaultsAreTheSettingsDefaults();
    void settingsRoundTrip();
    void hiddenControls();
    void soundEnabling();
    void initialLabels();
    void labelsFollowAnySlider_data();
    void labelsFollowAnySlider();
    void resets_data();
    void resets();
    void frameEnabling();
    void logoEnabling();
    void rateModeEnabling_data();
    void rateModeEnabling();
    void codecContainerItems_data();
    void codecContainerItems();
    void refusedItemsAreSkipped();
    void enablingFollowsAnyChange();
    void typedTextsAreDigits();
    void pickersListLibraries();

private:
    QString m_data;
    WorkFolders m_folders;
    SettingsPanel *p = nullptr;
};

void TestSettingsPanel::initTestCase()
{
    m_data = testsupport::isolateDataHome();
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    m_folders = WorkFolders::under(m_data);
    m_folders.create();
}

void TestSettingsPanel::init()
{
    p = new SettingsPanel(m_folders);
}

void TestSettingsPanel::cleanup()
{
    delete p;
    p = nullptr;
    // Each test starts with empty libraries.
    for (const QString &folder : {m_folders.filterDir, m_folders.frameDir, m_folders.logoDir}) {
        QDir dir(folder);
        for (const QString &file : dir.entryList(QDir::Files))
            QVERIFY(dir.remove(file));
    }
}

void TestSettingsPanel::controlsAndDefaults()
{
    const auto items = [this](const char *name) {
        auto *box = p->findChild<QComboBox *>(QLatin1String(name));
        QStringList list;
        for (int i = 0; box && i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    };
    const auto current = [this](const char *name) {
        return p->findChild<QComboBox *>(QLatin1String(name))->currentIndex();
    };
    QCOMPARE(items("cbRenderScale"),
             QStringList({"2160p", "1440p", "1080p", "720p", "480p", "360p", "240p",
                          "1080x1920 (9:16)", "720x1280 (9:16)", "360x640 (9:16)",
                          "1080x1080 (1:1)", "720x720 (1:1)", "360x360 (1:1)"}));
    QCOMPARE(current("cbRenderScale"), 3);
    QCOMPARE(items("cbBitrate"),
             QStringList({"5000", "4500", "4000", "3500", "3000", "2500", "2000", "1500", "1000",
                          "900", "850", "750", "700", "650", "600", "550", "500"}));
    QCOMPARE(p->cbBitrate->currentText(), QStringLiteral("5000"));
    QVERIFY(p->cbBitrate->isEditable());
    QCOMPARE(items("cbExtension"), QStringList({"mp4", "mkv", "avi", "flv", "webm", "mov"}));
    QCOMPARE(items("cbVideoCodec"), QStringList({"Otomatik", "H.264", "H.265", "VP9", "AV1"}));
    QCOMPARE(current("cbVideoCodec"), 0);
    QCOMPARE(items("cbRateMode"), QStringList({"Bitrate", "Kalite", "İki geçiş"}));
    QCOMPARE(current("cbRateMode"), 0);
    QCOMPARE(items("cbPreset"), QStringList({"En Hızlı", "Hızlı", "Normal", "Yavaş", "En Yavaş"}));
    QCOMPARE(current("cbPreset"), 0);
    QCOMPARE(items("cbFlipVideo"), QStringList({"Yok", "Yatay", "Dikey", "Yatay + Dikey"}));
    QCOMPARE(items("edVideoFront"),
             QStringList({"Video çerçevenin arkasında kalsın", "Video çerçevenin önüne geçsin"}));
    QCOMPARE(current("edVideoFront"), 1);
    const QStringList positions = {"Koordinat", "Sol Üst",  "Orta Üst", "Sağ Üst",  "Sol Orta",
                                   "Orta",      "Sağ Orta", "Sol Alt",  "Orta Alt", "Sağ Alt"};
    QCOMPARE(items("cbVideoPosition"), positions);
    QCOMPARE(current("cbVideoPosition"), 5);
    QCOMPARE(items("cbLogoPosition"), positions);
    QCOMPARE(current("cbLogoPosition"), 1);
    QCOMPARE(items("cbLogoScale"),
             QStringList({"250x250", "200x200", "150x150", "100x100", "50x50", "25x25"}));
    QCOMPARE(p->cbLogoScale->currentText(), QStringLiteral("50x50"));
    QCOMPARE(items("cbFrame").mid(0, 5), QStringList({"Yok", "Fulmaro Özel 1", "Fulmaro Özel 2",
                                                      "Fulmaro Özel 3", "Fulmaro Özel 4"}));
    QCOMPARE(items("cbFilter").value(0), QStringLiteral("Yok"));
    QCOMPARE(items("cbLogo").value(0), QStringLiteral("Yok"));
    QCOMPARE(p->cbVideoScale->currentText(), QStringLiteral("30%"));
    QCOMPARE(p->objectName(), QStringLiteral("SettingsPanel"));
    QCOMPARE(p->height(), 208);
    QCOMPARE(p->renderPageControl->objectName(), QStringLiteral("RenderPageControl"));
    QCOMPARE(p->renderPageControl->count(), 3);
    QCOMPARE(p->pageGeneral->objectName(), QStringLiteral("TabSheet1"));
    QCOMPARE(p->pageEffects->objectName(), QStringLiteral("TabSheet2"));
    QCOMPARE(p->soundPage->objectName(), QStringLiteral("TabSheet3"));
    QCOMPARE(p->renderPageControl->currentIndex(), 0);
    // The preview strip's controls belong to the main window.
    QVERIFY(!p->findChild<QWidget *>(QStringLiteral("cbPreviewScale")));
    QVERIFY(!p->findChild<QWidget *>(QStringLiteral("cbPreviewNoAudio")));

    const struct
    {
        const char *name;
        int min, max, value;
    } sliders[] = {{"tbQuality", 0, 100, 50},     {"tbZoom", 10, 100, 10},
                   {"tbVideoSpeed", 5, 200, 100}, {"tbFilterOpacity", 0, 100, 50},
                   {"tbContrast", -20, 20, 10},   {"tbBrightness", -10, 10, 0},
                   {"tbSaturation", 0, 30, 10},   {"tbGamma", 1, 100, 10},
                   {"tbGammaRed", 1, 100, 100},   {"tbGammaGreen", 1, 100, 100},
                   {"tbGammaBlue", 1, 100, 100},  {"tbVolume", 0, 200, 100}};
    for (const auto &s : sliders) {
        auto *slider = p->findChild<QSlider *>(QLatin1String(s.name));
        QVERIFY2(slider, s.name);
        QCOMPARE(slider->minimum(), s.min);
        QCOMPARE(slider->maximum(), s.max);
        QCOMPARE(slider->value(), s.value);
        QCOMPARE(slider->tickPosition(), QSlider::NoTicks);
    }
    for (const char *name :
         {"edTimeStart", "edTimeEnd", "edCropLeft", "edCropTop", "edVideoPositionX",
          "edVideoPositionY", "edLogoPositionX", "edLogoPositionY"}) {
        auto *spin = p->findChild<QSpinBox *>(QLatin1String(name));
        QVERIFY2(spin, name);
        QCOMPARE(spin->value(), 0);
        spin->setValue(-25);
        QCOMPARE(spin->value(), -25);
    }
    for (const char *name : {"cbGreyscale", "cbSepia", "cbNegative", "cbThermography", "cbBadDream",
                             "cbPosterize", "cbLSD", "cbVintage", "cbVignette"}) {
        auto *box = p->findChild<QCheckBox *>(QLatin1String(name));
        QVERIFY2(box && !box->isChecked(), name);
    }
    for (const char *name :
         {"btnFilterPreview", "btnFilterNew", "btnFilterDelete", "btnFramePreview", "btnFrameNew",
          "btnFrameDelete", "btnLogoPreview", "btnLogoNew", "btnLogoDelete"})
        QVERIFY2(p->findChild<QWidget *>(QLatin1String(name)), name);
    QCOMPARE(p->btnFramePreview->toolTip(), QStringLiteral("Çerçeve Önizleme"));
    QCOMPARE(p->btnLogoNew->toolTip(), QStringLiteral("Yeni Logo"));
}

void TestSettingsPanel::videoScaleItems()
{
    QCOMPARE(p->cbVideoScale->count(), 99);
    QCOMPARE(p->cbVideoScale->itemText(0), QStringLiteral("99%"));
    QCOMPARE(p->cbVideoScale->itemText(98), QStringLiteral("1%"));
    QCOMPARE(p->cbVideoScale->currentText(), QStringLiteral("30%"));
    QCOMPARE(p->cbVideoScale->currentIndex(), 69);
    QVERIFY(!p->cbVideoScale->isEditable());
}

void TestSettingsPanel::defaultsAreTheSettingsDefaults()
{
    // The settings the builder starts from, with the library folders holding pictures.
    QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(m_folders.logoDir + "damga.png"));
    delete p;
    p = new SettingsPanel(m_folders);
    QCOMPARE(p->cbLogo->count(), 2);
    QCOMPARE(p->settings(), RenderSettings());
}

void TestSettingsPanel::settingsRoundTrip()
{
    for (const QString &file :
         QStringList{m_folders.filterDir + "mavi.png", m_folders.frameDir + "ahşap.png",
                     m_folders.logoDir + "kanal.png"})
        QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(file));
    QVERIFY(testsupport::addEveryClipEntry(m_folders.introDir, m_folders.outroDir));
    p->fillPickers();

    // Every field away from its default.
    const RenderSettings s = testsupport::everySettingChanged();
    const RenderSettings defaults;
    for (const SettingControl &c : settingControls()) {
        const bool same = c.flag     ? s.*c.flag == defaults.*c.flag
                          : c.number ? s.*c.number == defaults.*c.number
                                     : s.*c.text == defaults.*c.text;
        QVERIFY2(!same, qPrintable(c.name));
    }

    p->setSettings(s);
    // The preview strip's two are the main window's: the panel keeps their defaults.
    RenderSettings expected = s;
    expected.cbPreviewScale = defaults.cbPreviewScale;
    expected.cbPreviewNoAudio = defaults.cbPreviewNoAudio;
    QCOMPARE(p->settings(), expected);
    QCOMPARE(p->cbFrame->currentText(), QStringLiteral("ahşap"));
    QCOMPARE(p->lblVideoSpeedResult->text(), QStringLiteral("(1,50x)"));
    // Sound only greys the picture's settings; with the picture kept the frame's and the logo's
    // sub-controls are usable.
    QVERIFY(!p->edVideoFront->isEnabled());
    p->cbEraseVideo->setChecked(false);
    for (QWidget *w :
         std::initializer_list<QWidget *>{p->edVideoFront, p->cbVideoScale, p->cbVideoPosition,
                                          p->edLogoPositionY, p->cbLogoScale})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));

    p->setSettings(RenderSettings());
    QCOMPARE(p->settings(), RenderSettings());
    QVERIFY(!p->edVideoFront->isEnabled());
    QVERIFY(!p->cbLogoScale->isEnabled());
}

void TestSettingsPanel::hiddenControls()
{
    p->show();
    QVERIFY(p->cbBitrate->isVisible());
    for (const char *name : {"btnFullCPU", "tbFilterOpacity", "lblFiterOpacityResult"}) {
        auto *w = p->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(w && w->isHidden(), name);
    }
    QCOMPARE(p->btnFullCPU->text(), QStringLiteral("%100 CPU"));
    QVERIFY(p->btnFullCPU->isChecked());
    // The third page is shown, its pickers, buttons and sound controls usable.
    QVERIFY(p->renderPageControl->isTabVisible(2));
    QCOMPARE(p->renderPageControl->tabText(2), QStringLiteral("Giriş/Çıkış ve Ses"));
    p->renderPageControl->setCurrentIndex(2);
    for (const char *name :
         {"cbIntro", "btnIntroNew", "btnIntroPreview", "cbOutro", "btnOutroNew", "btnOutroPreview",
          "cbEraseAudio", "cbEraseVideo", "tbVolume", "cbLoudness"}) {
        auto *w = p->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(w && w->isEnabled() && w->isVisible(), name);
    }
    QCOMPARE(p->cbIntro->itemText(0), QStringLiteral("Yok"));
    QCOMPARE(p->btnOutroPreview->toolTip(), QStringLiteral("Outro Önizleme"));
    QCOMPARE(p->cbLoudness->currentText(), QStringLiteral("Değiştirme"));
    QCOMPARE(p->cbLoudness->itemText(1), QStringLiteral("Web (-14 LUFS)"));
    QCOMPARE(p->cbLoudness->itemText(2), QStringLiteral("Yayın (-23 LUFS)"));
}

void TestSettingsPanel::soundEnabling()
{
    const QList<QWidget *> picture = {p->cbRenderScale, p->cbBitrate,  p->cbVideoCodec,
                                      p->cbRateMode,    p->cbPreset,   p->cbFlipVideo,
                                      p->tbZoom,        p->cbFilter,   p->cbFrame,
                                      p->cbLogo,        p->edCropLeft, p->pageEffects};
    const QList<QWidget *> kept = {p->edTimeStart, p->edTimeEnd,    p->tbVideoSpeed,
                                   p->cbExtension, p->volumeSlider, p->cbLoudness};
    p->cbLogo->setCurrentIndex(0);
    // Sound only, however it is set: the picture's settings are greyed, the rest stay.
    RenderSettings s;
    s.cbEraseVideo = true;
    p->setSettings(s);
    for (QWidget *w : picture)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    for (QWidget *w : kept)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!p->cbEraseAudio->isEnabled());
    // A frame chosen meanwhile leaves its sub-controls greyed too.
    p->cbFrame->setCurrentIndex(1);
    QVERIFY(!p->edVideoFront->isEnabled());
    p->cbEraseVideo->setChecked(false);
    for (QWidget *w : picture)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(p->edVideoFront->isEnabled());
    QVERIFY(p->cbEraseAudio->isEnabled());

    // No sound: nothing of the sound is to be set, and sound only cannot be chosen.
    p->cbEraseAudio->setChecked(true);
    QVERIFY(!p->cbEraseVideo->isEnabled());
    QVERIFY(!p->volumeSlider->isEnabled());
    QVERIFY(!p->cbLoudness->isEnabled());
    p->cbEraseAudio->setChecked(false);
    // The loudness sets the level: the volume gives way to it.
    QVERIFY(p->volumeSlider->isEnabled());
    p->cbLoudness->setCurrentIndex(1);
    QVERIFY(!p->volumeSlider->isEnabled());
    QVERIFY(!p->lblVolume->isEnabled());
}

void TestSettingsPanel::initialLabels()
{
    QCOMPARE(p->lblZoomResult->text(), QStringLiteral("(1,0x)"));
    QCOMPARE(p->lblVideoSpeedResult->text(), QStringLiteral("(1,00x)"));
    QCOMPARE(p->lblQualityResult->text(), QStringLiteral("(50)"));
    QCOMPARE(p->lblContrastResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblBrightnessResult->text(), QStringLiteral("0.0"));
    QCOMPARE(p->lblSaturationResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblGammaResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblGammaRedResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblGammaGreenResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblGammaBlueResult->text(), QStringLiteral("1.0"));
    QCOMPARE(p->lblFiterOpacityResult->text(), QStringLiteral("(50%)"));
}

void TestSettingsPanel::labelsFollowAnySlider_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::newRow("speed 150") << "tbVideoSpeed" << 150 << "lblVideoSpeedResult"
                               << "(1,50x)";
    QTest::newRow("zoom 25") << "tbZoom" << 25 << "lblZoomResult"
                             << "(2,5x)";
    QTest::newRow("quality 73") << "tbQuality" << 73 << "lblQualityResult"
                                << "(73)";
    QTest::newRow("red 57") << "tbGammaRed" << 57 << "lblGammaRedResult"
                            << "0,6";
    QTest::newRow("brightness -3") << "tbBrightness" << -3 << "lblBrightnessResult"
                                   << "-0,3";
    QTest::newRow("opacity 70") << "tbFilterOpacity" << 70 << "lblFiterOpacityResult"
                                << "(70%)";
    QTest::newRow("volume 50") << "tbVolume" << 50 << "lblVolumeResult"
                               << "(50%)";
}

void TestSettingsPanel::labelsFollowAnySlider()
{
    QFETCH(QString, slider);
    QFETCH(int, value);
    QFETCH(QString, label);
    QFETCH(QString, text);
    p->findChild<QSlider *>(slider)->setValue(value);
    QCOMPARE(p->findChild<QLabel *>(label)->text(), text);
    // Every label is rewritten, so the untouched ones now show the locale's separator too.
    if (slider != QLatin1String("tbContrast"))
        QCOMPARE(p->lblContrastResult->text(), QStringLiteral("1,0"));
    if (slider != QLatin1String("tbGammaBlue"))
        QCOMPARE(p->lblGammaBlueResult->text(), QStringLiteral("1,0"));
}

void TestSettingsPanel::resets_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("moved");
    QTest::addColumn<int>("reset");
    QTest::newRow("Hızlandırma") << "lblVideoSpeed"
                                 << "tbVideoSpeed" << 40 << 100;
    QTest::newRow("Kontrast") << "lblContrast"
                              << "tbContrast" << -4 << 10;
    QTest::newRow("Parlaklık") << "lblBrightness"
                               << "tbBrightness" << 7 << 0;
    QTest::newRow("Canlılık") << "lblSaturation"
                              << "tbSaturation" << 25 << 10;
    QTest::newRow("Gama") << "lblGamma"
                          << "tbGamma" << 60 << 10;
    QTest::newRow("Kırmızı") << "lblGammaRed"
                             << "tbGammaRed" << 3 << 100;
    QTest::newRow("Yeşil") << "lblGammaGreen"
                           << "tbGammaGreen" << 3 << 100;
    QTest::newRow("Mavi") << "lblGammaBlue"
                          << "tbGammaBlue" << 3 << 100;
}

void TestSettingsPanel::resets()
{
    QFETCH(QString, label);
    QFETCH(QString, slider);
    QFETCH(int, moved);
    QFETCH(int, reset);
    auto *target = p->findChild<QSlider *>(slider);
    auto *caption = p->findChild<QLabel *>(label);
    QVERIFY(target && caption);
    QCOMPARE(caption->cursor().shape(), Qt::PointingHandCursor);
    target->setValue(moved);
    p->tbGamma->setValue(33); // a neighbour that must stay
    if (slider == QLatin1String("tbGamma"))
        target->setValue(moved);
    p->show();
    p->renderPageControl->setCurrentWidget(caption->parentWidget());
    QVERIFY(QTest::qWaitForWindowExposed(p));
    QTest::mouseDClick(caption, Qt::LeftButton);
    QCOMPARE(target->value(), reset);
    if (slider != QLatin1String("tbGamma"))
        QCOMPARE(p->tbGamma->value(), 33);
}

void TestSettingsPanel::frameEnabling()
{
    const QList<QWidget *> subs = {p->edVideoFront, p->cbVideoScale, p->cbVideoPosition,
                                   p->edVideoPositionX, p->edVideoPositionY};
    for (QWidget *w : subs)
        QVERIFY(!w->isEnabled());
    p->cbVideoPosition->setCurrentIndex(2);
    p->edVideoPositionX->setValue(12);
    p->cbFrame->setCurrentIndex(1);
    for (QWidget *w : subs)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    p->cbFrame->setCurrentIndex(0);
    for (QWidget *w : subs)
        QVERIFY(!w->isEnabled());
    QCOMPARE(p->cbVideoPosition->currentIndex(), 2);
    QCOMPARE(p->edVideoPositionX->value(), 12);
}

void TestSettingsPanel::logoEnabling()
{
    const QList<QWidget *> subs = {p->cbLogoPosition, p->edLogoPositionX, p->edLogoPositionY,
                                   p->cbLogoScale};
    for (QWidget *w : subs)
        QVERIFY(!w->isEnabled());
    p->cbLogo->addItem(QStringLiteral("kanal"));
    p->cbLogo->setCurrentIndex(1);
    for (QWidget *w : subs)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    p->cbLogo->setCurrentIndex(0);
    for (QWidget *w : subs)
        QVERIFY(!w->isEnabled());
}

void TestSettingsPanel::rateModeEnabling_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("quality"); // the slider on, the bitrate off
    QTest::newRow("Bitrate") << 0 << false;
    QTest::newRow("Kalite") << 1 << true;
    QTest::newRow("İki geçiş") << 2 << false;
}

void TestSettingsPanel::rateModeEnabling()
{
    QFETCH(int, mode);
    QFETCH(bool, quality);
    // Arrive at the mode from another one.
    p->cbRateMode->setCurrentIndex((mode + 1) % 3);
    p->cbRateMode->setCurrentIndex(mode);
    for (QWidget *w :
         std::initializer_list<QWidget *>{p->lblQuality, p->tbQuality, p->lblQualityResult})
        QCOMPARE(w->isEnabled(), quality);
    QCOMPARE(p->cbBitrate->isEnabled(), !quality);
}

namespace {

// The items of a drop-down that cannot be picked.
QStringList disabledItems(const QComboBox *box)
{
    QStringList off;
    for (int i = 0; i < box->count(); ++i) {
        if (!(box->model()->flags(box->model()->index(i, 0)) & Qt::ItemIsEnabled))
            off << box->itemText(i);
    }
    return off;
}

} // namespace

void TestSettingsPanel::codecContainerItems_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("containersOff");
    QTest::addColumn<QStringList>("codecsOff");
    QTest::newRow("Otomatik, mp4") << 0 << "mp4" << QStringList() << QStringList();
    QTest::newRow("H.264, mov") << 1 << "mov" << QStringList({"webm"})
                                << QStringList({"VP9", "AV1"});
    QTest::newRow("H.265, mp4") << 2 << "mp4" << QStringList({"avi", "flv", "webm"})
                                << QStringList();
    QTest::newRow("Otomatik, webm")
        << 0 << "webm" << QStringList() << QStringList({"H.264", "H.265"});
    QTest::newRow("VP9, mkv") << 3 << "mkv" << QStringList({"avi", "flv", "mov"}) << QStringList();
    QTest::newRow("AV1, webm") << 4 << "webm" << QStringList({"avi", "flv", "mov"})
                               << QStringList({"H.264", "H.265"});
    QTest::newRow("H.264, flv") << 1 << "flv" << QStringList({"webm"})
                                << QStringList({"H.265", "VP9", "AV1"});
    // A pair that cannot be written is shown as it is; only the other items are held back.
    QTest::newRow("H.265, avi") << 2 << "avi" << QStringList({"flv", "webm"})
                                << QStringList({"VP9", "AV1"});
    QTest::newRow("H.264, webm") << 1 << "webm" << QStringList() << QStringList({"H.265"});
}

void TestSettingsPanel::codecContainerItems()
{
    QFETCH(int, codec);
    QFETCH(QString, container);
    QFETCH(QStringList, containersOff);
    QFETCH(QStringList, codecsOff);
    RenderSettings s;
    s.cbVideoCodec = codec;
    s.cbExtension = container;
    p->setSettings(s);
    QCOMPARE(p->settings(), s);
    QCOMPARE(disabledItems(p->cbExtension), containersOff);
    QCOMPARE(disabledItems(p->cbVideoCodec), codecsOff);

    // Either picker's change frees the other: "Otomatik" goes into every container, and mkv
    // holds every codec.
    p->cbVideoCodec->setCurrentIndex(0);
    QCOMPARE(disabledItems(p->cbExtension), QStringList());
    p->cbExtension->setCurrentText(QStringLiteral("mkv"));
    QCOMPARE(disabledItems(p->cbVideoCodec), QStringList());
}

void TestSettingsPanel::refusedItemsAreSkipped()
{
    // Stepping through the containers of H.265 passes over the three it cannot go into.
    p->cbVideoCodec->setCurrentIndex(2);
    QTest::keyClick(p->cbExtension, Qt::Key_Down);
    QCOMPARE(p->cbExtension->currentText(), QStringLiteral("mkv"));
    QTest::keyClick(p->cbExtension, Qt::Key_Down);
    QCOMPARE(p->cbExtension->currentText(), QStringLiteral("mov"));
    QCOMPARE(disabledItems(p->cbVideoCodec), QStringList({"VP9", "AV1"}));
}

void TestSettingsPanel::enablingFollowsAnyChange()
{
    // A selection made by the program counts like the user's pick.
    p->cbFrame->setCurrentIndex(2);
    QVERIFY(p->edVideoFront->isEnabled());
    QVERIFY(p->edVideoPositionY->isEnabled());
    QCOMPARE(p->settings().cbFrame, 2);

    // Settings that choose a logo enable its sub-controls; a name no longer listed chooses none.
    QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(m_folders.logoDir + "işaret.png"));
    p->fillPickers();
    RenderSettings s;
    s.cbLogo = 1;
    s.cbLogoText = QStringLiteral("işaret");
    p->setSettings(s);
    QCOMPARE(p->cbLogo->currentText(), QStringLiteral("işaret"));
    QVERIFY(p->cbLogoPosition->isEnabled());
    QVERIFY(p->cbLogoScale->isEnabled());
    QVERIFY(!p->edVideoFront->isEnabled());
    s.cbLogoText = QStringLiteral("silinmiş");
    p->setSettings(s);
    QCOMPARE(p->cbLogo->currentIndex(), -1);
    QVERIFY(!p->cbLogoPosition->isEnabled());
    QCOMPARE(p->settings().cbLogo, 0);

    // A refill that loses the shown entry leaves nothing chosen.
    p->cbLogo->setCurrentIndex(1);
    QVERIFY(p->edLogoPositionX->isEnabled());
    QVERIFY(QFile::remove(m_folders.logoDir + "işaret.png"));
    p->fillPickers();
    QCOMPARE(p->cbLogo->currentIndex(), -1);
    QVERIFY(!p->edLogoPositionX->isEnabled());
}

void TestSettingsPanel::typedTextsAreDigits()
{
    p->show();
    QLineEdit *bitrate = p->cbBitrate->lineEdit();
    bitrate->clear();
    QTest::keyClicks(bitrate, QStringLiteral("12a;3$"));
    QCOMPARE(p->cbBitrate->currentText(), QStringLiteral("123"));

    p->cbLogo->setEnabled(true);
    p->cbLogoScale->setEnabled(true);
    QLineEdit *logo = p->cbLogoScale->lineEdit();
    logo->clear();
    QTest::keyClicks(logo, QStringLiteral("80 x;60x7"));
    QCOMPARE(p->cbLogoScale->currentText(), QStringLiteral("80x607"));
}

void TestSettingsPanel::pickersListLibraries()
{
    for (const char *name : {"b kuş", "A deniz", "c", "notpng"}) {
        QFile f(m_folders.frameDir + QString::fromUtf8(name) +
                (qstrcmp(name, "notpng") ? ".png" : ".jpg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    p->fillPickers();
    QStringList frames;
    for (int i = 0; i < p->cbFrame->count(); ++i)
        frames << p->cbFrame->itemText(i);
    QCOMPARE(frames, QStringList({"Yok", "Fulmaro Özel 1", "Fulmaro Özel 2", "Fulmaro Özel 3",
                                  "Fulmaro Özel 4", "A deniz", "b kuş", "c"}));
    QCOMPARE(p->cbFrame->currentIndex(), 0);
    p->cbFrame->setCurrentIndex(6);
    QCOMPARE(p->settings().cbFrameText, QStringLiteral("b kuş"));
}

QTEST_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
