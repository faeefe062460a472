#pragma once

// Lets QCOMPARE show whole render settings: one "name=value" per control of the settings table.

#include "core/render/settingstable.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

namespace fulmaro {

inline char *toString(const RenderSettings &s)
{
    QStringList out;
    for (const SettingControl &c : settingControls()) {
        QString value;
        if (c.flag)
            value = QString::number(s.*c.flag);
        else if (c.number && c.text)
            value = QString::number(s.*c.number) + QLatin1Char('/') + s.*c.text;
        else if (c.number)
            value = QString::number(s.*c.number);
        else
            value = s.*c.text;
        out << c.name + QLatin1Char('=') + value;
    }
    return qstrdup(out.join(QStringLiteral(", ")).toUtf8().constData());
}

} // namespace fulmaro

namespace testsupport {

// Every field away from its default; the pickers name the library entries "mavi", "ahşap" and
// "kanal" (the first of each picture library), "giriş" and "kapanış" (of the clip libraries).
inline fulmaro::RenderSettings everySettingChanged()
{
    fulmaro::RenderSettings s;
    s.cbRenderScale = 6;
    s.cbBitrate = QStringLiteral("1234");
    s.cbExtension = QStringLiteral("mkv");
    s.cbVideoCodec = 2;
    s.cbRateMode = 1;
    s.tbQuality = 70;
    s.cbPreset = 4;
    s.btnFullCPU = false;
    s.cbJobs = 2;
    s.cbFlipVideo = 3;
    s.edTimeStart = 2;
    s.edTimeEnd = 3;
    s.edCropLeft = -40;
    s.edCropTop = 20;
    s.tbZoom = 25;
    s.tbVideoSpeed = 150;
    s.cbKeepAspect = true;
    s.cbFilter = 1;
    s.cbFilterText = QStringLiteral("mavi");
    s.cbFrame = 5;
    s.cbFrameText = QStringLiteral("ahşap");
    s.edVideoFront = 0;
    s.cbVideoScale = QStringLiteral("7%");
    s.cbVideoPosition = 0;
    s.edVideoPositionX = 11;
    s.edVideoPositionY = -12;
    s.cbLogo = 1;
    s.cbLogoText = QStringLiteral("kanal");
    s.cbLogoPosition = 9;
    s.edLogoPositionX = 13;
    s.edLogoPositionY = 14;
    s.cbLogoScale = QStringLiteral("80x60");
    s.cbGreyscale = s.cbSepia = s.cbNegative = s.cbThermography = s.cbBadDream = true;
    s.cbPosterize = s.cbLSD = s.cbVintage = s.cbVignette = true;
    s.tbContrast = -20;
    s.tbBrightness = 7;
    s.tbSaturation = 30;
    s.tbGamma = 1;
    s.tbGammaRed = 55;
    s.tbGammaGreen = 56;
    s.tbGammaBlue = 57;
    s.tbFilterOpacity = 70;
    s.cbIntro = 1;
    s.cbIntroText = QStringLiteral("giriş");
    s.cbOutro = 1;
    s.cbOutroText = QStringLiteral("kapanış");
    s.cbEraseAudio = true;
    s.cbEraseVideo = true;
    s.tbVolume = 150;
    s.cbLoudness = 2;
    s.cbPreviewScale = 0;
    s.cbPreviewNoAudio = false;
    return s;
}

// The clip entries everySettingChanged() names, as files of the intro and outro folders (the
// pickers list them by name; nothing reads them).
inline bool addEveryClipEntry(const QString &introDir, const QString &outroDir)
{
    QFile intro(introDir + QStringLiteral("giriş.mp4"));
    QFile outro(outroDir + QStringLiteral("kapanış.mp4"));
    return intro.open(QIODevice::WriteOnly) && outro.open(QIODevice::WriteOnly);
}

} // namespace testsupport
