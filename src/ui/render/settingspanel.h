#pragma once

#include "core/base/workfolders.h"
#include "core/render/rendersettings.h"

#include <QLabel>
#include <QList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace fulmaro {

class AssetLibrary;
struct SettingControl;

// A caption label that resets its slider on a double click.
class ResetLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// The render settings: the page control with the "Genel" and "Efektler" pages and the hidden
// third page, their controls, and the libraries behind the overlay pickers. The controls hold the
// settings; settings() reads them when a command is built. The preview strip's two settings
// (cbPreviewScale, cbPreviewNoAudio) live on the main window: settings() leaves them at their
// defaults and setSettings() passes them over.
class SettingsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPanel(const WorkFolders &folders, QWidget *parent = nullptr);

    // A picker showing no overlay ("Yok" or nothing) reads as the default: index 0, no text.
    RenderSettings settings() const;
    // Shows the settings; the pickers take their entries by name, and the enabling rules follow.
    void setSettings(const RenderSettings &settings);

Q_SIGNALS:
    // Any control's value changed, by the user or by setSettings().
    void settingsChanged();

public:
    // Fills the overlay and clip pickers from the library folders, in start-up order; each
    // picker keeps the entry it showed, "Yok" at first.
    void fillPickers();

    // The libraries behind the pickers and their buttons.
    AssetLibrary *assets = nullptr;

    QTabWidget *renderPageControl;
    QWidget *pageGeneral; // "Genel"
    QWidget *pageEffects; // "Efektler"
    QWidget *soundPage;   // "Giriş/Çıkış ve Ses"

    // "Genel"
    QComboBox *cbRenderScale;
    QComboBox *cbBitrate;
    QComboBox *cbExtension;
    QComboBox *cbVideoCodec;
    QComboBox *cbRateMode;
    QLabel *lblQuality; // "Kalite"
    QSlider *tbQuality;
    QLabel *lblQualityResult;
    QComboBox *cbPreset;
    QCheckBox *btnFullCPU;
    QComboBox *cbJobs;
    QComboBox *cbFlipVideo;
    QCheckBox *cbKeepAspect; // "Oranı koru"
    QSpinBox *edTimeStart;
    QSpinBox *edTimeEnd;
    QSpinBox *edCropLeft;
    QSpinBox *edCropTop;
    QSlider *tbZoom;
    QLabel *lblZoomResult;
    ResetLabel *lblVideoSpeed;
    QSlider *tbVideoSpeed;
    QLabel *lblVideoSpeedResult;
    QToolButton *btnFilterPreview;
    QComboBox *cbFilter;
    QToolButton *btnFilterNew;
    QToolButton *btnFilterDelete;
    QToolButton *btnFramePreview;
    QComboBox *cbFrame;
    QToolButton *btnFrameNew;
    QToolButton *btnFrameDelete;
    QComboBox *edVideoFront;
    QComboBox *cbVideoScale;
    QComboBox *cbVideoPosition;
    QSpinBox *edVideoPositionX;
    QSpinBox *edVideoPositionY;
    QToolButton *btnLogoPreview;
    QComboBox *cbLogo;
    QToolButton *btnLogoNew;
    QToolButton *btnLogoDelete;
    QComboBox *cbLogoPosition;
    QSpinBox *edLogoPositionX;
    QSpinBox *edLogoPositionY;
    QComboBox *cbLogoScale;
    QLabel *lblFilterOpacity;
    QSlider *tbFilterOpacity;
    QLabel *lblFiterOpacityResult;

    // "Efektler"
    QCheckBox *cbGreyscale;
    QCheckBox *cbSepia;
    QCheckBox *cbNegative;
    QCheckBox *cbThermography;
    QCheckBox *cbBadDream;
    QCheckBox *cbPosterize;
    QCheckBox *cbLSD;
    QCheckBox *cbVintage;
    QCheckBox *cbVignette;
    ResetLabel *lblContrast;
    QSlider *tbContrast;
    QLabel *lblContrastResult;
    ResetLabel *lblBrightness;
    QSlider *tbBrightness;
    QLabel *lblBrightnessResult;
    ResetLabel *lblSaturation;
    QSlider *tbSaturation;
    QLabel *lblSaturationResult;
    ResetLabel *lblGamma;
    QSlider *tbGamma;
    QLabel *lblGammaResult;
    ResetLabel *lblGammaRed;
    QSlider *tbGammaRed;
    QLabel *lblGammaRedResult;
    ResetLabel *lblGammaGreen;
    QSlider *tbGammaGreen;
    QLabel *lblGammaGreenResult;
    ResetLabel *lblGammaBlue;
    QSlider *tbGammaBlue;
    QLabel *lblGammaBlueResult;

    // "Giriş/Çıkış ve Ses"
    QComboBox *cbIntro;
    QToolButton *btnIntroNew;
    QToolButton *btnIntroPreview;
    QComboBox *cbOutro;
    QToolButton *btnOutroNew;
    QToolButton *btnOutroPreview;
    QCheckBox *cbEraseAudio;
    QCheckBox *cbEraseVideo;
    ResetLabel *lblVolume; // "Ses Yüksekliği"
    QSlider *volumeSlider; // tbVolume
    QLabel *lblVolumeResult;
    QComboBox *cbLoudness; // "Ses Düzeyi"

public Q_SLOTS:
    // Rewrites all the value labels from the sliders' positions.
    void valueChange();
    // The rate mode was changed: the quality slider serves "Kalite" alone, the bitrate the
    // other two.
    void cbRateModeChange();
    // The codec or the container was changed: each picker leaves selectable only the items that
    // go with the other's choice.
    void codecContainerChange();
    // A frame or a logo was chosen or put away, by whatever means: its sub-controls follow
    // whether one is chosen.
    void cbFrameChange();
    void cbLogoChange();
    // The sound settings were changed: sound only greys the picture settings, the two erasures
    // exclude each other, the volume gives way to the loudness.
    void soundChange();

private:
    void buildPages();
    void buildGeneralPage(QWidget *page);
    void buildEffectsPage(QWidget *page);
    void buildThirdPage(QWidget *page);
    bool pictureKept() const;
    // The control of that name in the settings table, made on parent and remembered for
    // settings() and setSettings().
    template<typename W> W *control(QWidget *parent, const char *name);
    ResetLabel *resetLabel(QWidget *parent, const char *name, const QString &text, QSlider *target);

    struct Bound
    {
        const SettingControl *control;
        QWidget *widget;
    };
    QList<Bound> m_controls;
};

} // namespace fulmaro
