#include "core/render/settingsoptions.h"

#include <QHash>
#include <QRegularExpression>

namespace fulmaro {

namespace {

QString invalid(const QString &name, const QString &value, const QString &expected)
{
    return QStringLiteral("%1 için geçersiz değer: \"%2\" (%3)").arg(name, value, expected);
}

bool strictInt(const QString &text, int &out)
{
    static const QRegularExpression re(QStringLiteral("\\A-?[0-9]+\\z"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    out = text.toInt(&ok);
    return ok;
}

struct IndexList
{
    int RenderSettings::*field;
    int count;
};

} // namespace

QString applySettingOption(RenderSettings &settings, const QString &assignment,
                           const LibraryEntries &library)
{
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QStringLiteral("Geçersiz ayar: \"%1\" (AD=DEĞER biçiminde olmalı)").arg(assignment);
    const QString name = assignment.left(eq);
    const QString value = assignment.mid(eq + 1);
    RenderSettings &s = settings;

    static const QHash<QString, IndexList> indexLists = {
        {QStringLiteral("cbRenderScale"), {&RenderSettings::cbRenderScale, 7}},
        {QStringLiteral("cbPreviewScale"), {&RenderSettings::cbPreviewScale, 7}},
        {QStringLiteral("cbPreset"), {&RenderSettings::cbPreset, 5}},
        {QStringLiteral("cbFlipVideo"), {&RenderSettings::cbFlipVideo, 4}},
        {QStringLiteral("edVideoFront"), {&RenderSettings::edVideoFront, 2}},
        {QStringLiteral("cbVideoPosition"), {&RenderSettings::cbVideoPosition, 10}},
        {QStringLiteral("cbLogoPosition"), {&RenderSettings::cbLogoPosition, 10}},
    };
    static const QHash<QString, bool RenderSettings::*> checks = {
        {QStringLiteral("btnFullCPU"), &RenderSettings::btnFullCPU},
        {QStringLiteral("cbGreyscale"), &RenderSettings::cbGreyscale},
        {QStringLiteral("cbSepia"), &RenderSettings::cbSepia},
        {QStringLiteral("cbNegative"), &RenderSettings::cbNegative},
        {QStringLiteral("cbThermography"), &RenderSettings::cbThermography},
        {QStringLiteral("cbBadDream"), &RenderSettings::cbBadDream},
        {QStringLiteral("cbPosterize"), &RenderSettings::cbPosterize},
        {QStringLiteral("cbLSD"), &RenderSettings::cbLSD},
        {QStringLiteral("cbVintage"), &RenderSettings::cbVintage},
        {QStringLiteral("cbVignette"), &RenderSettings::cbVignette},
        {QStringLiteral("cbPreviewNoAudio"), &RenderSettings::cbPreviewNoAudio},
    };
    static const QHash<QString, int RenderSettings::*> spins = {
        {QStringLiteral("edTimeStart"), &RenderSettings::edTimeStart},
        {QStringLiteral("edTimeEnd"), &RenderSettings::edTimeEnd},
        {QStringLiteral("edCropLeft"), &RenderSettings::edCropLeft},
        {QStringLiteral("edCropTop"), &RenderSettings::edCropTop},
        {QStringLiteral("edVideoPositionX"), &RenderSettings::edVideoPositionX},
        {QStringLiteral("edVideoPositionY"), &RenderSettings::edVideoPositionY},
        {QStringLiteral("edLogoPositionX"), &RenderSettings::edLogoPositionX},
        {QStringLiteral("edLogoPositionY"), &RenderSettings::edLogoPositionY},
    };

    int number = 0;
    if (const auto it = indexLists.constFind(name); it != indexLists.cend()) {
        if (!strictInt(value, number) || number < 0 || number >= it->count)
            return invalid(name, value,
                           QStringLiteral("0 ile %1 arasında bir sıra numarası bekleniyor")
                               .arg(it->count - 1));
        s.*(it->field) = number;
        return QString();
    }
    if (const auto it = checks.constFind(name); it != checks.cend()) {
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return invalid(name, value, QStringLiteral("0 ya da 1 bekleniyor"));
        s.*(*it) = value == QLatin1String("1");
        return QString();
    }
    if (const auto it = spins.constFind(name); it != spins.cend()) {
        if (!strictInt(value, number) || number < -kSpinLimit || number > kSpinLimit)
            return invalid(name, value, QStringLiteral("tam sayı bekleniyor"));
        s.*(*it) = number;
        return QString();
    }
    if (const SliderRange *range = sliderRange(name)) {
        if (!strictInt(value, number) || number < range->minimum || number > range->maximum)
            return invalid(name, value,
                           QStringLiteral("%1 ile %2 arasında bir tam sayı bekleniyor")
                               .arg(range->minimum)
                               .arg(range->maximum));
        s.*(range->field) = number;
        return QString();
    }
    if (name == QLatin1String("cbBitrate")) {
        if (!isValidBitrate(value))
            return invalid(name, value, QStringLiteral("yalnızca rakam bekleniyor"));
        s.cbBitrate = value;
        return QString();
    }
    if (name == QLatin1String("cbLogoScale")) {
        if (!isValidLogoScale(value))
            return invalid(name, value,
                           QStringLiteral("rakamlar ya da genişlik x yükseklik bekleniyor, "
                                          "örneğin 100x100"));
        s.cbLogoScale = value;
        return QString();
    }
    if (name == QLatin1String("cbExtension")) {
        if (!extensionItems().contains(value))
            return invalid(name, value,
                           QStringLiteral("şunlardan biri bekleniyor: ")
                               + extensionItems().join(QStringLiteral(", ")));
        s.cbExtension = value;
        return QString();
    }
    if (name == QLatin1String("cbVideoScale")) {
        static const QRegularExpression re(QStringLiteral("\\A([0-9]{1,2})%\\z"));
        const QRegularExpressionMatch m = re.match(value);
        const int share = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (share < 1 || share > 99)
            return invalid(name, value, QStringLiteral("1% ile 99% arasında bir oran bekleniyor"));
        s.cbVideoScale = QString::number(share) + QLatin1Char('%');
        return QString();
    }

    // Overlay pickers: "Yok", the built-in frames, then the library's names, as the panel lists them.
    struct Picker
    {
        const char *name;
        int RenderSettings::*index;
        QString RenderSettings::*text;
        QStringList fixed;
        const QStringList *entries;
    };
    const Picker pickers[] = {
        {"cbFilter", &RenderSettings::cbFilter, &RenderSettings::cbFilterText, {noneItem()},
         &library.filters},
        {"cbFrame", &RenderSettings::cbFrame, &RenderSettings::cbFrameText,
         QStringList{noneItem()} + builtInFrames(), &library.frames},
        {"cbLogo", &RenderSettings::cbLogo, &RenderSettings::cbLogoText, {noneItem()},
         &library.logos},
    };
    for (const Picker &picker : pickers) {
        if (name != QLatin1String(picker.name))
            continue;
        const QStringList items = picker.fixed + *picker.entries;
        const qsizetype index = items.indexOf(value);
        if (index < 0 || value.isEmpty())
            return invalid(name, value,
                           QStringLiteral("\"Yok\" ya da listedeki bir ad bekleniyor"));
        s.*(picker.index) = int(index);
        s.*(picker.text) = value;
        return QString();
    }
    return QStringLiteral("Bilinmeyen ayar: \"%1\"").arg(name);
}

} // namespace fulmaro
