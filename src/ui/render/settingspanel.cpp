#include "ui/render/settingspanel.h"

#include "core/render/settingstable.h"
#include "core/render/videocodecs.h"

#include "ui/assets/assetlibrary.h"
#include "ui/render/settingcontrols.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace fulmaro {

namespace {

template<typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QToolButton *hintButton(QWidget *parent, const char *name, const QString &hint, const QString &text)
{
    auto *button = named(new QToolButton(parent), name);
    button->setToolTip(hint);
    button->setText(text);
    return button;
}

QFrame *verticalLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    return layout;
}

} // namespace

void ResetLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

SettingsPanel::SettingsPanel(const WorkFolders &folders, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingsPanel"));
    setFixedHeight(208);
    buildPages();
    // Long items ("Video çerçevenin arkasında kalsın") and unbounded spin boxes would otherwise
    // make the pages wider than the window; the lists still open at their full width.
    // Short lists show their items whole ("720x1280", not "720x128"); the pages scroll when
    // that makes them wider than the window.
    for (QComboBox *combo : findChildren<QComboBox *>()) {
        qsizetype longest = 3;
        for (int i = 0; i < combo->count(); ++i)
            longest = std::max(longest, combo->itemText(i).size());
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(int(std::min<qsizetype>(longest, 10)));
    }
    for (QSpinBox *spin : findChildren<QSpinBox *>())
        spin->setMinimumWidth(50), spin->setMaximumWidth(90);

    for (QSlider *s : {tbVideoSpeed, tbZoom, tbQuality, tbFilterOpacity, tbContrast, tbBrightness,
                       tbSaturation, tbGamma, tbGammaRed, tbGammaGreen, tbGammaBlue, volumeSlider})
        connect(s, &QSlider::valueChanged, this, &SettingsPanel::valueChange);
    connect(cbRateMode, &QComboBox::currentIndexChanged, this, &SettingsPanel::cbRateModeChange);
    connect(cbVideoCodec, &QComboBox::currentIndexChanged, this,
            &SettingsPanel::codecContainerChange);
    connect(cbExtension, &QComboBox::currentIndexChanged, this,
            &SettingsPanel::codecContainerChange);
    // The sub-controls follow the picker however its entry changes: a pick, the picture
    // window, a new picture, a refill, setSettings().
    connect(cbFrame, &QComboBox::currentIndexChanged, this, &SettingsPanel::cbFrameChange);
    connect(cbLogo, &QComboBox::currentIndexChanged, this, &SettingsPanel::cbLogoChange);
    connect(cbEraseVideo, &QCheckBox::toggled, this, &SettingsPanel::soundChange);
    connect(cbEraseAudio, &QCheckBox::toggled, this, &SettingsPanel::soundChange);
    connect(cbLoudness, &QComboBox::currentIndexChanged, this, &SettingsPanel::soundChange);

    assets = new AssetLibrary(
        {{Library::Filter,
          {folders.filterDir, cbFilter, btnFilterNew, btnFilterDelete, btnFilterPreview}},
         {Library::Frame,
          {folders.frameDir, cbFrame, btnFrameNew, btnFrameDelete, btnFramePreview}},
         {Library::Logo, {folders.logoDir, cbLogo, btnLogoNew, btnLogoDelete, btnLogoPreview}},
         {Library::Intro, {folders.introDir, cbIntro, btnIntroNew}},
         {Library::Outro, {folders.outroDir, cbOutro, btnOutroNew}}},
        this, this);
    fillPickers();
    cbFrameChange();
    cbLogoChange();
    cbRateModeChange();
    codecContainerChange();
    soundChange();

    // Whoever shows whether the settings still are a preset's hears of every change.
    for (const Bound &bound : std::as_const(m_controls)) {
        if (auto *combo = qobject_cast<QComboBox *>(bound.widget)) {
            connect(combo, &QComboBox::currentIndexChanged, this, &SettingsPanel::settingsChanged);
            connect(combo, &QComboBox::editTextChanged, this, &SettingsPanel::settingsChanged);
        } else if (auto *check = qobject_cast<QCheckBox *>(bound.widget)) {
            connect(check, &QCheckBox::toggled, this, &SettingsPanel::settingsChanged);
        } else if (auto *slider = qobject_cast<QAbstractSlider *>(bound.widget)) {
            connect(slider, &QAbstractSlider::valueChanged, this, &SettingsPanel::settingsChanged);
        } else if (auto *spin = qobject_cast<QSpinBox *>(bound.widget)) {
            connect(spin, &QSpinBox::valueChanged, this, &SettingsPanel::settingsChanged);
        }
    }
}

void SettingsPanel::buildPages()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    renderPageControl = new QTabWidget(this);
    renderPageControl->setObjectName(QStringLiteral("RenderPageControl"));
    pageGeneral = new QWidget;
    pageGeneral->setObjectName(QStringLiteral("TabSheet1"));
    pageEffects = new QWidget;
    pageEffects->setObjectName(QStringLiteral("TabSheet2"));
    soundPage = new QWidget;
    soundPage->setObjectName(QStringLiteral("TabSheet3"));
    buildGeneralPage(pageGeneral);
    buildEffectsPage(pageEffects);
    buildThirdPage(soundPage);
    // Each page scrolls when the window is narrower than its columns, so the window fits a small
    // screen and every control stays reachable.
    const auto scrolled = [](QWidget *page) {
        auto *area = new QScrollArea;
        area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setWidget(page);
        return area;
    };
    renderPageControl->addTab(scrolled(pageGeneral), QStringLiteral("Genel"));
    renderPageControl->addTab(scrolled(pageEffects), QStringLiteral("Efektler"));
    renderPageControl->addTab(scrolled(soundPage), QStringLiteral("Giriş/Çıkış ve Ses"));
    layout->addWidget(renderPageControl);
    renderPageControl->setCurrentIndex(0);
}

template<typename W> W *SettingsPanel::control(QWidget *parent, const char *name)
{
    const SettingControl *entry = settingControl(QLatin1String(name));
    Q_ASSERT_X(entry && entry->place == SettingPlace::Panel, "SettingsPanel::control", name);
    auto *widget = qobject_cast<W *>(createSettingControl(*entry, parent));
    Q_ASSERT_X(widget, "SettingsPanel::control", name);
    m_controls.append({entry, widget});
    return widget;
}

ResetLabel *SettingsPanel::resetLabel(QWidget *parent, const char *name, const QString &text,
                                      QSlider *target)
{
    auto *label = named(new ResetLabel(text, parent), name);
    label->setCursor(Qt::PointingHandCursor);
    const int defaultValue = RenderSettings().*(settingControl(target->objectName())->number);
    connect(label, &ResetLabel::doubleClicked, target,
            [target, defaultValue] { target->setValue(defaultValue); });
    return label;
}

void SettingsPanel::buildGeneralPage(QWidget *page)
{
    // Seven rows fill the first column: the page keeps a narrow margin above and below.
    auto *columns = new QHBoxLayout(page);
    columns->setContentsMargins(3, 2, 3, 2);
    columns->setSpacing(4);
    auto *col1 = new QGridLayout;
    auto *col2 = new QGridLayout;
    auto *col3 = new QGridLayout;
    for (QGridLayout *column : {col1, col2, col3})
        column->setHorizontalSpacing(4);
    columns->addLayout(col1, 4);
    columns->addWidget(verticalLine(page));
    columns->addLayout(col2, 4);
    columns->addWidget(verticalLine(page));
    columns->addLayout(col3, 4);
    const auto caption = [page](const QString &text) { return new QLabel(text, page); };

    cbRenderScale = control<QComboBox>(page, "cbRenderScale");
    cbBitrate = control<QComboBox>(page, "cbBitrate");
    cbExtension = control<QComboBox>(page, "cbExtension");
    cbVideoCodec = control<QComboBox>(page, "cbVideoCodec");
    cbVideoCodec->setToolTip(
        QStringLiteral("Otomatik: dosya türünün kendi kodeği. Dosya türüne yazılamayan kodekler "
                       "seçilemez."));
    cbRateMode = control<QComboBox>(page, "cbRateMode");
    cbRateMode->setToolTip(QStringLiteral(
        "Bitrate: ortalama bit hızı. Kalite: her sahnede aynı kalite, dosya boyu videoya göre "
        "değişir. İki geçiş: bit hızına iki geçişte, daha dengeli uyar."));
    tbQuality = control<QSlider>(page, "tbQuality");
    tbQuality->setToolTip(QStringLiteral("0 en küçük dosya, 100 en iyi görüntü"));
    lblQuality = named(new QLabel(QStringLiteral("Kalite"), page), "lblQuality");
    lblQualityResult = named(new QLabel(QStringLiteral("(50)"), page), "lblQualityResult");
    cbPreset = control<QComboBox>(page, "cbPreset");
    btnFullCPU = control<QCheckBox>(page, "btnFullCPU");
    btnFullCPU->setText(QStringLiteral("%100 CPU"));
    btnFullCPU->setVisible(false);
    cbJobs = control<QComboBox>(page, "cbJobs");
    cbJobs->setToolTip(QStringLiteral(
        "Aynı anda işlenecek video sayısı. Otomatik: küçük çıktılarda işlemci çekirdekleri kadar, "
        "büyüklerde bir iş; çekirdekler işler arasında paylaştırılır."));
    cbFlipVideo = control<QComboBox>(page, "cbFlipVideo");
    cbKeepAspect = control<QCheckBox>(page, "cbKeepAspect");
    cbKeepAspect->setText(QStringLiteral("Oranı koru"));
    cbKeepAspect->setToolTip(
        QStringLiteral("Video, yerine sığacak kadar küçültülür ve ortalanır; uzatılmaz"));
    edTimeStart = control<QSpinBox>(page, "edTimeStart");
    edTimeEnd = control<QSpinBox>(page, "edTimeEnd");
    edCropLeft = control<QSpinBox>(page, "edCropLeft");
    edCropTop = control<QSpinBox>(page, "edCropTop");
    tbZoom = control<QSlider>(page, "tbZoom");
    lblZoomResult = named(new QLabel(QStringLiteral("(1,0x)"), page), "lblZoomResult");
    tbVideoSpeed = control<QSlider>(page, "tbVideoSpeed");
    lblVideoSpeed = resetLabel(page, "lblVideoSpeed", QStringLiteral("Hızlandırma"), tbVideoSpeed);
    lblVideoSpeedResult = named(new QLabel(QStringLiteral("(1,00x)"), page), "lblVideoSpeedResult");

    // The encoding settings, then what is done to the picture; cutting goes to the third column.
    int r = 0;
    col1->addWidget(caption(QStringLiteral("Çözünürlük / Bitrate (kbps)")), r, 0);
    col1->addLayout(row({cbRenderScale, cbBitrate, cbExtension}), r++, 1);
    col1->addWidget(caption(QStringLiteral("Kodek / Oran")), r, 0);
    col1->addLayout(row({cbVideoCodec, cbRateMode}), r++, 1);
    col1->addLayout(row({lblQuality, lblQualityResult}), r, 0);
    col1->addWidget(tbQuality, r++, 1);
    col1->addWidget(caption(QStringLiteral("Render Hızı")), r, 0);
    col1->addLayout(row({cbPreset, caption(QStringLiteral("Aynı Anda")), cbJobs, btnFullCPU}), r++,
                    1);
    col1->addWidget(caption(QStringLiteral("Çevirme")), r, 0);
    col1->addLayout(row({cbFlipVideo, cbKeepAspect}), r++, 1);
    col1->addLayout(row({caption(QStringLiteral("Yakınlaştırma")), lblZoomResult}), r, 0);
    col1->addWidget(tbZoom, r++, 1);
    col1->addLayout(row({lblVideoSpeed, lblVideoSpeedResult}), r, 0);
    col1->addWidget(tbVideoSpeed, r++, 1);
    col1->setRowStretch(r, 1);

    btnFilterPreview = hintButton(page, "btnFilterPreview", QStringLiteral("Filtre Önizleme"),
                                  QStringLiteral("…"));
    cbFilter = control<QComboBox>(page, "cbFilter");
    btnFilterNew =
        hintButton(page, "btnFilterNew", QStringLiteral("Yeni Filtre"), QStringLiteral("+"));
    btnFilterDelete =
        hintButton(page, "btnFilterDelete", QStringLiteral("Sil"), QStringLiteral("−"));
    btnFramePreview = hintButton(page, "btnFramePreview", QStringLiteral("Çerçeve Önizleme"),
                                 QStringLiteral("…"));
    cbFrame = control<QComboBox>(page, "cbFrame");
    btnFrameNew =
        hintButton(page, "btnFrameNew", QStringLiteral("Yeni Çerçeve"), QStringLiteral("+"));
    btnFrameDelete = hintButton(page, "btnFrameDelete", QStringLiteral("Sil"), QStringLiteral("−"));
    edVideoFront = control<QComboBox>(page, "edVideoFront");
    cbVideoScale = control<QComboBox>(page, "cbVideoScale");
    cbVideoPosition = control<QComboBox>(page, "cbVideoPosition");
    edVideoPositionX = control<QSpinBox>(page, "edVideoPositionX");
    edVideoPositionY = control<QSpinBox>(page, "edVideoPositionY");
    cbFilter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cbFrame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    r = 0;
    col2->addWidget(caption(QStringLiteral("Filtre")), r, 0);
    col2->addLayout(row({btnFilterPreview, cbFilter, btnFilterNew, btnFilterDelete}), r++, 1);
    col2->addWidget(caption(QStringLiteral("Çerçeve")), r, 0);
    col2->addLayout(row({btnFramePreview, cbFrame, btnFrameNew, btnFrameDelete}), r++, 1);
    col2->addWidget(caption(QStringLiteral("Çerçeve Gösterim Şekli")), r, 0);
    col2->addWidget(edVideoFront, r++, 1);
    col2->addWidget(caption(QStringLiteral("Çerçeve Genişliği")), r, 0);
    col2->addWidget(cbVideoScale, r++, 1);
    col2->addWidget(caption(QStringLiteral("Çerçeve İçi Video Konumu")), r, 0);
    col2->addWidget(cbVideoPosition, r++, 1);
    col2->addWidget(caption(QStringLiteral("Çerçeve İçi Video Koordinatları (X, Y)")), r, 0);
    col2->addLayout(row({edVideoPositionX, edVideoPositionY}), r++, 1);
    col2->setRowStretch(r, 1);

    btnLogoPreview =
        hintButton(page, "btnLogoPreview", QStringLiteral("Logo Önizleme"), QStringLiteral("…"));
    cbLogo = control<QComboBox>(page, "cbLogo");
    cbLogo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    btnLogoNew = hintButton(page, "btnLogoNew", QStringLiteral("Yeni Logo"), QStringLiteral("+"));
    btnLogoDelete = hintButton(page, "btnLogoDelete", QStringLiteral("Sil"), QStringLiteral("−"));
    cbLogoPosition = control<QComboBox>(page, "cbLogoPosition");
    edLogoPositionX = control<QSpinBox>(page, "edLogoPositionX");
    edLogoPositionY = control<QSpinBox>(page, "edLogoPositionY");
    cbLogoScale = control<QComboBox>(page, "cbLogoScale");
    lblFilterOpacity =
        named(new QLabel(QStringLiteral("Filtre Görünürlük"), page), "lblFilterOpacity");
    tbFilterOpacity = control<QSlider>(page, "tbFilterOpacity");
    lblFiterOpacityResult =
        named(new QLabel(QStringLiteral("(50%)"), page), "lblFiterOpacityResult");
    for (QWidget *w :
         std::initializer_list<QWidget *>{lblFilterOpacity, tbFilterOpacity, lblFiterOpacityResult})
        w->setVisible(false);

    r = 0;
    col3->addWidget(caption(QStringLiteral("Logo")), r, 0);
    col3->addLayout(row({btnLogoPreview, cbLogo, btnLogoNew, btnLogoDelete}), r++, 1);
    col3->addWidget(caption(QStringLiteral("Logo Konumu")), r, 0);
    col3->addWidget(cbLogoPosition, r++, 1);
    col3->addWidget(caption(QStringLiteral("Logo Koordinat (X, Y)")), r, 0);
    col3->addLayout(row({edLogoPositionX, edLogoPositionY}), r++, 1);
    col3->addWidget(caption(QStringLiteral("Logo Boyutu")), r, 0);
    col3->addWidget(cbLogoScale, r++, 1);
    col3->addWidget(caption(QStringLiteral("Süre Kes (Baştan/Sondan)")), r, 0);
    col3->addLayout(row({edTimeStart, edTimeEnd, caption(QStringLiteral("saniye"))}), r++, 1);
    col3->addWidget(caption(QStringLiteral("Kırp (Sağ-Sol/Üst-Alt)")), r, 0);
    col3->addLayout(row({edCropLeft, edCropTop, caption(QStringLiteral("piksel"))}), r++, 1);
    col3->addLayout(row({lblFilterOpacity, lblFiterOpacityResult}), r, 0);
    col3->addWidget(tbFilterOpacity, r++, 1);
    col3->setRowStretch(r, 1);
}

void SettingsPanel::buildEffectsPage(QWidget *page)
{
    auto *columns = new QHBoxLayout(page);
    columns->setContentsMargins(6, 4, 6, 4);
    auto *col1 = new QGridLayout;
    auto *col2 = new QGridLayout;
    auto *col3 = new QGridLayout;
    columns->addLayout(col1, 2);
    columns->addLayout(col2, 2);
    columns->addLayout(col3, 5);

    const struct
    {
        const char *caption;
        const char *name;
        QCheckBox **box;
        QGridLayout *column;
    } effects[] = {{"Gri Tonlama", "cbGreyscale", &cbGreyscale, col1},
                   {"Sepia", "cbSepia", &cbSepia, col1},
                   {"Negatif", "cbNegative", &cbNegative, col1},
                   {"Termografi", "cbThermography", &cbThermography, col1},
                   {"Karınca", "cbBadDream", &cbBadDream, col1},
                   {"Poster", "cbPosterize", &cbPosterize, col1},
                   {"LSD", "cbLSD", &cbLSD, col1},
                   {"Vintage", "cbVintage", &cbVintage, col2},
                   {"Vignette", "cbVignette", &cbVignette, col2}};
    for (const auto &effect : effects) {
        *effect.box = control<QCheckBox>(page, effect.name);
        const int r = effect.column->rowCount();
        effect.column->addWidget(new QLabel(QString::fromUtf8(effect.caption), page), r, 0);
        effect.column->addWidget(*effect.box, r, 1);
    }
    col1->setRowStretch(col1->rowCount(), 1);
    col2->setRowStretch(col2->rowCount(), 1);

    const struct
    {
        const char *caption;
        const char *label;
        const char *slider;
        const char *result;
        ResetLabel **labelOut;
        QSlider **sliderOut;
        QLabel **resultOut;
        const char *initial;
        bool indent;
    } adjustments[] = {
        {"Kontrast", "lblContrast", "tbContrast", "lblContrastResult", &lblContrast, &tbContrast,
         &lblContrastResult, "1.0", false},
        {"Parlaklık", "lblBrightness", "tbBrightness", "lblBrightnessResult", &lblBrightness,
         &tbBrightness, &lblBrightnessResult, "0.0", false},
        {"Canlılık", "lblSaturation", "tbSaturation", "lblSaturationResult", &lblSaturation,
         &tbSaturation, &lblSaturationResult, "1.0", false},
        {"Gama", "lblGamma", "tbGamma", "lblGammaResult", &lblGamma, &tbGamma, &lblGammaResult,
         "1.0", false},
        {"Kırmızı", "lblGammaRed", "tbGammaRed", "lblGammaRedResult", &lblGammaRed, &tbGammaRed,
         &lblGammaRedResult, "1.0", true},
        {"Yeşil", "lblGammaGreen", "tbGammaGreen", "lblGammaGreenResult", &lblGammaGreen,
         &tbGammaGreen, &lblGammaGreenResult, "1.0", true},
        {"Mavi", "lblGammaBlue", "tbGammaBlue", "lblGammaBlueResult", &lblGammaBlue, &tbGammaBlue,
         &lblGammaBlueResult, "1.0", true},
    };
    for (const auto &a : adjustments) {
        *a.sliderOut = control<QSlider>(page, a.slider);
        *a.labelOut = resetLabel(page, a.label, QString::fromUtf8(a.caption), *a.sliderOut);
        if (a.indent)
            (*a.labelOut)->setIndent(16);
        *a.resultOut = named(new QLabel(QLatin1String(a.initial), page), a.result);
        const int r = col3->rowCount();
        col3->addWidget(*a.labelOut, r, 0);
        col3->addWidget(*a.sliderOut, r, 1);
        col3->addWidget(*a.resultOut, r, 2);
    }
    col3->setColumnStretch(1, 1);
}

void SettingsPanel::buildThirdPage(QWidget *page)
{
    auto *columns = new QHBoxLayout(page);
    columns->setContentsMargins(3, 2, 3, 2);
    auto *clips = new QGridLayout;
    auto *sound = new QGridLayout;
    columns->addLayout(clips, 4);
    columns->addWidget(verticalLine(page));
    columns->addLayout(sound, 4);
    const auto caption = [page](const QString &text) { return new QLabel(text, page); };

    // The clips joined before and after every render.
    cbIntro = control<QComboBox>(page, "cbIntro");
    btnIntroNew = hintButton(page, "btnIntroNew", QStringLiteral("Yeni Logo"), QStringLiteral("+"));
    btnIntroPreview =
        hintButton(page, "btnIntroPreview", QStringLiteral("Intro Önizleme"), QStringLiteral("…"));
    cbOutro = control<QComboBox>(page, "cbOutro");
    btnOutroNew = hintButton(page, "btnOutroNew", QStringLiteral("Yeni Logo"), QStringLiteral("+"));
    btnOutroPreview =
        hintButton(page, "btnOutroPreview", QStringLiteral("Outro Önizleme"), QStringLiteral("…"));
    for (QComboBox *picker : {cbIntro, cbOutro}) {
        picker->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        picker->setToolTip(QStringLiteral("Her videonun başına (Intro) ya da sonuna (Outro) "
                                          "eklenir; çıktının boyutuna ortalanarak sığdırılır"));
    }
    int r = 0;
    clips->addWidget(caption(QStringLiteral("Intro")), r, 0);
    clips->addLayout(row({btnIntroPreview, cbIntro, btnIntroNew}), r++, 1);
    clips->addWidget(caption(QStringLiteral("Outro")), r, 0);
    clips->addLayout(row({btnOutroPreview, cbOutro, btnOutroNew}), r++, 1);
    clips->setRowStretch(r, 1);

    // The sound.
    cbEraseAudio = control<QCheckBox>(page, "cbEraseAudio");
    cbEraseVideo = control<QCheckBox>(page, "cbEraseVideo");
    cbEraseVideo->setToolTip(QStringLiteral(
        "Yalnızca ses yazılır: mp4, mov ve mkv yerine m4a, avi ve flv yerine mp3, webm yerine "
        "opus dosyası"));
    volumeSlider = control<QSlider>(page, "tbVolume");
    lblVolume = resetLabel(page, "lblVolume", QStringLiteral("Ses Yüksekliği"), volumeSlider);
    lblVolumeResult = named(new QLabel(QStringLiteral("(100%)"), page), "lblVolumeResult");
    cbLoudness = control<QComboBox>(page, "cbLoudness");
    cbLoudness->setToolTip(
        QStringLiteral("Sesi iki geçişte ölçüp hedef ses düzeyine getirir (EBU R128)"));
    r = 0;
    sound->addWidget(caption(QStringLiteral("Sesi Sil")), r, 0);
    sound->addWidget(cbEraseAudio, r++, 1);
    sound->addWidget(caption(QStringLiteral("Görüntüyü Sil")), r, 0);
    sound->addWidget(cbEraseVideo, r++, 1);
    sound->addLayout(row({lblVolume, lblVolumeResult}), r, 0);
    sound->addWidget(volumeSlider, r++, 1);
    sound->addWidget(caption(QStringLiteral("Ses Düzeyi")), r, 0);
    sound->addWidget(cbLoudness, r++, 1);
    sound->setRowStretch(r, 1);
}

void SettingsPanel::fillPickers()
{
    assets->fillAll();
}

void SettingsPanel::valueChange()
{
    const QLocale locale;
    // The factor and the decimals of each slider's label are the settings table's.
    const auto number = [&locale](const QSlider *slider) {
        const SettingControl *control = settingControl(slider->objectName());
        return locale.toString(slider->value() / double(control->labelScale), 'f',
                               control->labelDecimals);
    };
    lblVideoSpeedResult->setText(QLatin1Char('(') + number(tbVideoSpeed) + QStringLiteral("x)"));
    lblZoomResult->setText(QLatin1Char('(') + number(tbZoom) + QStringLiteral("x)"));
    lblQualityResult->setText(QLatin1Char('(') + number(tbQuality) + QLatin1Char(')'));
    lblContrastResult->setText(number(tbContrast));
    lblBrightnessResult->setText(number(tbBrightness));
    lblSaturationResult->setText(number(tbSaturation));
    lblGammaResult->setText(number(tbGamma));
    lblGammaRedResult->setText(number(tbGammaRed));
    lblGammaGreenResult->setText(number(tbGammaGreen));
    lblGammaBlueResult->setText(number(tbGammaBlue));
    lblFiterOpacityResult->setText(QLatin1Char('(') + number(tbFilterOpacity) +
                                   QStringLiteral("%)"));
    lblVolumeResult->setText(QLatin1Char('(') + number(volumeSlider) + QStringLiteral("%)"));
}

bool SettingsPanel::pictureKept() const
{
    return !cbEraseVideo->isChecked();
}

void SettingsPanel::cbFrameChange()
{
    edVideoFront->setEnabled(pictureKept() && cbFrame->currentIndex() > 0);
    const bool on = edVideoFront->isEnabledTo(edVideoFront->parentWidget());
    for (QWidget *w : std::initializer_list<QWidget *>{cbVideoScale, cbVideoPosition,
                                                       edVideoPositionX, edVideoPositionY})
        w->setEnabled(on);
}

void SettingsPanel::cbLogoChange()
{
    cbLogoPosition->setEnabled(pictureKept() && cbLogo->currentIndex() > 0);
    const bool on = cbLogoPosition->isEnabledTo(cbLogoPosition->parentWidget());
    for (QWidget *w :
         std::initializer_list<QWidget *>{edLogoPositionX, edLogoPositionY, cbLogoScale})
        w->setEnabled(on);
}

void SettingsPanel::cbRateModeChange()
{
    const bool quality = rateModeFromIndex(cbRateMode->currentIndex()) == RateMode::Quality;
    for (QWidget *w : std::initializer_list<QWidget *>{lblQuality, tbQuality, lblQualityResult})
        w->setEnabled(pictureKept() && quality);
    cbBitrate->setEnabled(pictureKept() && !quality);
}

void SettingsPanel::soundChange()
{
    // Sound only: every picture setting is greyed; the trims, the speed and the container
    // (which names the sound file) still count.
    const bool picture = pictureKept();
    for (QWidget *w : std::initializer_list<QWidget *>{
             cbRenderScale, cbVideoCodec,   cbRateMode,      cbPreset,        cbFlipVideo,
             cbKeepAspect,  edCropLeft,     edCropTop,       tbZoom,          btnFilterPreview,
             cbFilter,      btnFilterNew,   btnFilterDelete, btnFramePreview, cbFrame,
             btnFrameNew,   btnFrameDelete, btnLogoPreview,  cbLogo,          btnLogoNew,
             btnLogoDelete, pageEffects})
        w->setEnabled(picture);
    cbFrameChange();
    cbLogoChange();
    cbRateModeChange();
    // Neither can be chosen with the other: nothing would be left to write.
    cbEraseAudio->setEnabled(!cbEraseVideo->isChecked() || cbEraseAudio->isChecked());
    cbEraseVideo->setEnabled(!cbEraseAudio->isChecked() || cbEraseVideo->isChecked());
    // The loudness sets the level itself; the volume counts only without it.
    const bool sound = !cbEraseAudio->isChecked();
    cbLoudness->setEnabled(sound);
    for (QWidget *w : std::initializer_list<QWidget *>{lblVolume, volumeSlider, lblVolumeResult})
        w->setEnabled(sound && cbLoudness->currentIndex() <= 0);
}

void SettingsPanel::codecContainerChange()
{
    const VideoCodec codec = videoCodecFromIndex(cbVideoCodec->currentIndex());
    const QString container = cbExtension->currentText();
    enableItems(cbExtension, [this, codec](int i) {
        return codecFitsContainer(codec, cbExtension->itemText(i));
    });
    enableItems(cbVideoCodec, [&container](int i) {
        return codecFitsContainer(videoCodecFromIndex(i), container);
    });
}

RenderSettings SettingsPanel::settings() const
{
    RenderSettings s;
    for (const Bound &bound : m_controls)
        readSettingControl(*bound.control, bound.widget, s);
    return s;
}

void SettingsPanel::setSettings(const RenderSettings &settings)
{
    for (const Bound &bound : m_controls)
        writeSettingControl(*bound.control, bound.widget, settings);
}

} // namespace fulmaro
