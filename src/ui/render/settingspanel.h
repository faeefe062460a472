#pragma once

#include "core/render/rendersettings.h"

#include <QLabel>
#include <QObject>

class QCheckBox;
class QComboBox;
class QSlider;
class QSpinBox;
class QToolButton;
class QWidget;

namespace fulmaro {

class AssetLibrary;
class MainForm;

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

// The render settings: the controls of the "Genel" and "Efektler" pages and of the hidden third
// page. The controls hold the settings; settings() reads them when a command is built.
class SettingsPanel : public QObject
{
    Q_OBJECT
public:
    explicit SettingsPanel(MainForm *form);

    RenderSettings settings() const;

    // Fills the overlay and clip pickers from the library folders, in start-up order; each
    // picker keeps the entry it showed, "Yok" at first.
    void fillPickers();

    // The libraries behind the pickers and their buttons.
    AssetLibrary *assets = nullptr;

    // "Genel"
    QComboBox *cbRenderScale;
    QComboBox *cbBitrate;
    QComboBox *cbExtension;
    QComboBox *cbPreset;
    QCheckBox *btnFullCPU;
    QComboBox *cbFlipVideo;
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

    // The third page: read by no command.
    QComboBox *cbIntro;
    QToolButton *btnIntroNew;
    QToolButton *btnIntroPreview;
    QComboBox *cbOutro;
    QToolButton *btnOutroNew;
    QToolButton *btnOutroPreview;
    QCheckBox *cbEraseAudio;
    QCheckBox *cbEraseVideo;
    QSlider *trackBar1;

public Q_SLOTS:
    // Rewrites all ten value labels from the sliders' positions.
    void valueChange();
    // The user picked a frame or a logo: its sub-controls follow whether one is chosen.
    void cbFrameChange();
    void cbLogoChange();

private:
    void buildGeneralPage(QWidget *page);
    void buildEffectsPage(QWidget *page);
    void buildThirdPage(QWidget *page);
    QSlider *slider(QWidget *parent, const char *name);
    ResetLabel *resetLabel(QWidget *parent, const char *name, const QString &text,
                           QSlider *target);

    MainForm *m_form;
};

} // namespace fulmaro
