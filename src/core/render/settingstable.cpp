#include "core/render/settingstable.h"

#include "core/render/videocodecs.h"

#include <QRegularExpression>

namespace fulmaro {

namespace {

using S = RenderSettings;

SettingControl indexList(const char *name, int S::*member, const QStringList &items,
                         SettingPlace place = SettingPlace::Panel)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::IndexList;
    c.place = place;
    c.number = member;
    c.items = items;
    return c;
}

SettingControl textList(const char *name, QString S::*member, const QStringList &items,
                        const QString &expected, QString (*itemFor)(const QString &) = nullptr)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::TextList;
    c.text = member;
    c.items = items;
    c.itemFor = itemFor;
    c.expected = expected;
    return c;
}

SettingControl typedText(const char *name, QString S::*member, const QStringList &suggestions,
                         const char *typingPattern, bool (*accepts)(const QString &),
                         const QString &expected)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::TypedText;
    c.text = member;
    c.items = suggestions;
    c.typingPattern = QLatin1String(typingPattern);
    c.accepts = accepts;
    c.expected = expected;
    return c;
}

SettingControl picker(const char *name, int S::*index, QString S::*text, const QStringList &fixed,
                      QStringList LibraryEntries::*library)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::Picker;
    c.number = index;
    c.text = text;
    c.items = fixed;
    c.library = library;
    return c;
}

SettingControl check(const char *name, bool S::*member, SettingPlace place = SettingPlace::Panel)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::Check;
    c.place = place;
    c.flag = member;
    return c;
}

SettingControl spin(const char *name, int S::*member)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::Spin;
    c.number = member;
    c.minimum = -kSpinLimit;
    c.maximum = kSpinLimit;
    return c;
}

SettingControl slider(const char *name, int S::*member, int minimum, int maximum)
{
    SettingControl c;
    c.name = QLatin1String(name);
    c.kind = SettingKind::Slider;
    c.number = member;
    c.minimum = minimum;
    c.maximum = maximum;
    return c;
}

SettingControl withValues(SettingControl c, const QStringList &values)
{
    c.values = values;
    return c;
}

SettingControl labelled(SettingControl c, int scale, int decimals)
{
    c.labelScale = scale;
    c.labelDecimals = decimals;
    return c;
}

// The sizes of the size pickers, in the order of scaleItems().
QStringList renderSizes()
{
    return {QStringLiteral("3840x2160"), QStringLiteral("2560x1440"), QStringLiteral("1920x1080"),
            QStringLiteral("1280x720"),  QStringLiteral("854x480"),   QStringLiteral("640x360"),
            QStringLiteral("426x240"),   QStringLiteral("1080x1920"), QStringLiteral("720x1280"),
            QStringLiteral("360x640"),   QStringLiteral("1080x1080"), QStringLiteral("720x720"),
            QStringLiteral("360x360")};
}

// The encoder's presets for the speed picker, in the order of presetItems().
QStringList encoderPresets()
{
    return {QStringLiteral("ultrafast"), QStringLiteral("veryfast"), QStringLiteral("medium"),
            QStringLiteral("slower"), QStringLiteral("veryslow")};
}

// A share is written without leading zeros, as the list shows it.
QString shareItem(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("\\A([0-9]{1,2})%\\z"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? QString::number(m.captured(1).toInt()) + QLatin1Char('%') : text;
}

QList<SettingControl> buildTable()
{
    const auto preview = SettingPlace::PreviewStrip;
    return {
        withValues(indexList("cbRenderScale", &S::cbRenderScale, scaleItems()), renderSizes()),
        typedText("cbBitrate", &S::cbBitrate, bitrateItems(), "[0-9]*", isValidBitrate,
                  QStringLiteral("yalnızca rakam bekleniyor")),
        textList("cbExtension", &S::cbExtension, extensionItems(),
                 QStringLiteral("şunlardan biri bekleniyor: ") +
                     extensionItems().join(QStringLiteral(", "))),
        indexList("cbVideoCodec", &S::cbVideoCodec, videoCodecItems()),
        indexList("cbRateMode", &S::cbRateMode, rateModeItems()),
        slider("tbQuality", &S::tbQuality, kQualityMinimum, kQualityMaximum),
        withValues(indexList("cbPreset", &S::cbPreset, presetItems()), encoderPresets()),
        check("btnFullCPU", &S::btnFullCPU),
        indexList("cbJobs", &S::cbJobs, jobCountItems()),
        indexList("cbFlipVideo", &S::cbFlipVideo, flipItems()),
        spin("edTimeStart", &S::edTimeStart),
        spin("edTimeEnd", &S::edTimeEnd),
        spin("edCropLeft", &S::edCropLeft),
        spin("edCropTop", &S::edCropTop),
        labelled(slider("tbZoom", &S::tbZoom, 10, 100), 10, 1),
        labelled(slider("tbVideoSpeed", &S::tbVideoSpeed, 5, 200), 100, 2),
        check("cbKeepAspect", &S::cbKeepAspect),
        picker("cbFilter", &S::cbFilter, &S::cbFilterText, {noneItem()}, &LibraryEntries::filters),
        picker("cbFrame", &S::cbFrame, &S::cbFrameText, QStringList{noneItem()} + builtInFrames(),
               &LibraryEntries::frames),
        indexList("edVideoFront", &S::edVideoFront, videoFrontItems()),
        textList("cbVideoScale", &S::cbVideoScale, videoScaleItems(),
                 QStringLiteral("1% ile 99% arasında bir oran bekleniyor"), shareItem),
        indexList("cbVideoPosition", &S::cbVideoPosition, positionItems()),
        spin("edVideoPositionX", &S::edVideoPositionX),
        spin("edVideoPositionY", &S::edVideoPositionY),
        picker("cbLogo", &S::cbLogo, &S::cbLogoText, {noneItem()}, &LibraryEntries::logos),
        indexList("cbLogoPosition", &S::cbLogoPosition, positionItems()),
        spin("edLogoPositionX", &S::edLogoPositionX),
        spin("edLogoPositionY", &S::edLogoPositionY),
        typedText("cbLogoScale", &S::cbLogoScale, logoScaleItems(), "[0-9]+(x[0-9]+)?",
                  isValidLogoScale,
                  QStringLiteral("rakamlar ya da genişlik x yükseklik bekleniyor, "
                                 "örneğin 100x100")),
        check("cbGreyscale", &S::cbGreyscale),
        check("cbSepia", &S::cbSepia),
        check("cbNegative", &S::cbNegative),
        check("cbThermography", &S::cbThermography),
        check("cbBadDream", &S::cbBadDream),
        check("cbPosterize", &S::cbPosterize),
        check("cbLSD", &S::cbLSD),
        check("cbVintage", &S::cbVintage),
        check("cbVignette", &S::cbVignette),
        labelled(slider("tbContrast", &S::tbContrast, -20, 20), 10, 1),
        labelled(slider("tbBrightness", &S::tbBrightness, -10, 10), 10, 1),
        labelled(slider("tbSaturation", &S::tbSaturation, 0, 30), 10, 1),
        labelled(slider("tbGamma", &S::tbGamma, 1, 100), 10, 1),
        labelled(slider("tbGammaRed", &S::tbGammaRed, 1, 100), 100, 1),
        labelled(slider("tbGammaGreen", &S::tbGammaGreen, 1, 100), 100, 1),
        labelled(slider("tbGammaBlue", &S::tbGammaBlue, 1, 100), 100, 1),
        slider("tbFilterOpacity", &S::tbFilterOpacity, 0, 100),
        picker("cbIntro", &S::cbIntro, &S::cbIntroText, {noneItem()}, &LibraryEntries::intros),
        picker("cbOutro", &S::cbOutro, &S::cbOutroText, {noneItem()}, &LibraryEntries::outros),
        check("cbEraseAudio", &S::cbEraseAudio),
        check("cbEraseVideo", &S::cbEraseVideo),
        slider("tbVolume", &S::tbVolume, 0, 200),
        indexList("cbLoudness", &S::cbLoudness, loudnessItems()),
        withValues(indexList("cbPreviewScale", &S::cbPreviewScale, scaleItems(), preview),
                   renderSizes()),
        check("cbPreviewNoAudio", &S::cbPreviewNoAudio, preview),
    };
}

} // namespace

const QList<SettingControl> &settingControls()
{
    static const QList<SettingControl> table = buildTable();
    return table;
}

const SettingControl *settingControl(const QString &name)
{
    for (const SettingControl &control : settingControls()) {
        if (control.name == name)
            return &control;
    }
    return nullptr;
}

} // namespace fulmaro
