#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

// The values of the render settings panel, one field per control, named after the control.
// The panel fills one of these whenever a command is about to be built; the builder reads it.
// The initial values are the controls' defaults (core/render/settingstable.h lists the controls).
struct RenderSettings
{
    int cbRenderScale = 3; // index into the size table ("720p")
    QString cbBitrate = QStringLiteral("5000");
    QString cbExtension = QStringLiteral("mp4");
    int cbVideoCodec = 0; // "Otomatik": the container's own encoder, no codec option
    int cbRateMode = 0;   // "Bitrate"
    int tbQuality = 50;   // constant quality, 0 smallest .. 100 best; read in "Kalite" mode
    int cbPreset = 0;     // "En Hızlı"
    bool btnFullCPU = true;
    int cbJobs = 0;      // "Otomatik": how many jobs run at once follows the cores and the output
    int cbFlipVideo = 0; // none, horizontal, vertical, both
    int edTimeStart = 0;
    int edTimeEnd = 0;
    int edCropLeft = 0;
    int edCropTop = 0;
    int tbZoom = 10;           // zoom x 10
    int tbVideoSpeed = 100;    // speed x 100
    bool cbKeepAspect = false; // "Oranı koru": fit the video into its box unstretched

    // Overlay pickers: the selected index and the text of that item (0 / "Yok" = none).
    int cbFilter = 0;
    QString cbFilterText;
    int cbFrame = 0; // 1..4 built-in frames, 5.. frame pictures
    QString cbFrameText;
    int edVideoFront = 1; // 0 video behind the frame, 1 video in front
    QString cbVideoScale = QStringLiteral("30%");
    int cbVideoPosition = 5; // "Orta"
    int edVideoPositionX = 0;
    int edVideoPositionY = 0;
    int cbLogo = 0;
    QString cbLogoText;
    int cbLogoPosition = 1; // "Sol Üst"
    int edLogoPositionX = 0;
    int edLogoPositionY = 0;
    QString cbLogoScale = QStringLiteral("50x50");

    bool cbGreyscale = false;
    bool cbSepia = false;
    bool cbNegative = false;
    bool cbThermography = false;
    bool cbBadDream = false;
    bool cbPosterize = false;
    bool cbLSD = false;
    bool cbVintage = false;
    bool cbVignette = false;

    int tbContrast = 10;
    int tbBrightness = 0;
    int tbSaturation = 10;
    int tbGamma = 10;
    int tbGammaRed = 100;
    int tbGammaGreen = 100;
    int tbGammaBlue = 100;
    int tbFilterOpacity = 50; // kept for the panel; no command reads it

    // The third page: the clips joined before and after every render, and the sound.
    int cbIntro = 0; // 0 / "Yok": none; then the intro library's clips
    QString cbIntroText;
    int cbOutro = 0;
    QString cbOutroText;
    bool cbEraseAudio = false; // "Sesi Sil": no sound stream
    bool cbEraseVideo = false; // "Görüntüyü Sil": sound only
    int tbVolume = 100;        // percent, 0 .. 200
    int cbLoudness = 0;        // "Değiştirme", "Web (-14 LUFS)", "Yayın (-23 LUFS)"

    int cbPreviewScale = 5; // "360p"
    bool cbPreviewNoAudio = true;

    bool operator==(const RenderSettings &) const = default;
};

// Spin boxes have no bounds of their own; this keeps every arithmetic on them far from overflow.
inline constexpr int kSpinLimit = 1000000000;

// The items the panel shows, in order.
const QStringList &scaleItems();      // "2160p" .. "240p", then the upright and square sizes
const QStringList &bitrateItems();    // suggestions "5000" .. "500"
const QStringList &extensionItems();  // "mp4", "mkv", "avi", "flv", "webm", "mov"
const QStringList &presetItems();     // "En Hızlı" .. "En Yavaş"
const QStringList &jobCountItems();   // "Otomatik", "1" .. "4": jobs at once
const QStringList &flipItems();       // "Yok" .. "Yatay + Dikey"
const QStringList &videoFrontItems(); // behind, in front
const QStringList &videoScaleItems(); // "99%" .. "1%"
const QStringList &positionItems();   // "Koordinat" .. "Sağ Alt"
const QStringList &logoScaleItems();  // suggestions "250x250" .. "25x25"
const QStringList &builtInFrames();   // "Fulmaro Özel 1" .. "Fulmaro Özel 4"
const QStringList &loudnessItems();   // "Değiştirme", "Web (-14 LUFS)", "Yayın (-23 LUFS)"
QString noneItem();                   // "Yok"

// Typed texts that end up in a command line accept only what the encoder can take.
bool isValidBitrate(const QString &text);   // digits only
bool isValidLogoScale(const QString &text); // digits, or digits "x" digits

// The names, without ".png", of the PNG pictures in a library folder (any case of the extension),
// sorted without regard to case: the entries the overlay pickers offer after their fixed items.
QStringList libraryPictureNames(const QString &folder);
// The names, without ".mp4", of the clips in an intro or outro library folder, in the same way.
QStringList libraryClipNames(const QString &folder);

} // namespace fulmaro
