#include "core/render/rendersettings.h"

#include "core/assets/assetfiles.h"

#include <QRegularExpression>

namespace fulmaro {

const QStringList &scaleItems()
{
    static const QStringList items = {
        QStringLiteral("2160p"), QStringLiteral("1440p"), QStringLiteral("1080p"),
        QStringLiteral("720p"), QStringLiteral("480p"), QStringLiteral("360p"),
        QStringLiteral("240p"),
        // Added after the wide sizes so the older indices keep
        // their meaning.
        QStringLiteral("1080x1920 (9:16)"), QStringLiteral("720x1280 (9:16)"),
        QStringLiteral("360x640 (9:16)"), QStringLiteral("1080x1080 (1:1)"),
        QStringLiteral("720x720 (1:1)"), QStringLiteral("360x360 (1:1)")};
    return items;
}

const QStringList &bitrateItems()
{
    static const QStringList items = {
        QStringLiteral("5000"), QStringLiteral("4500"), QStringLiteral("4000"),
        QStringLiteral("3500"), QStringLiteral("3000"), QStringLiteral("2500"),
        QStringLiteral("2000"), QStringLiteral("1500"), QStringLiteral("1000"),
        QStringLiteral("900"),  QStringLiteral("850"),  QStringLiteral("750"),
        QStringLiteral("700"),  QStringLiteral("650"),  QStringLiteral("600"),
        QStringLiteral("550"),  QStringLiteral("500")};
    return items;
}

const QStringList &extensionItems()
{
    static const QStringList items = {QStringLiteral("mp4"),  QStringLiteral("mkv"),
                                      QStringLiteral("avi"),  QStringLiteral("flv"),
                                      QStringLiteral("webm"), QStringLiteral("mov")};
    return items;
}

const QStringList &presetItems()
{
    static const QStringList items = {QStringLiteral("En Hızlı"), QStringLiteral("Hızlı"),
                                      QStringLiteral("Normal"), QStringLiteral("Yavaş"),
                                      QStringLiteral("En Yavaş")};
    return items;
}

const QStringList &jobCountItems()
{
    static const QStringList items = {QStringLiteral("Otomatik"), QStringLiteral("1"),
                                      QStringLiteral("2"), QStringLiteral("3"),
                                      QStringLiteral("4")};
    return items;
}

const QStringList &flipItems()
{
    static const QStringList items = {QStringLiteral("Yok"), QStringLiteral("Yatay"),
                                      QStringLiteral("Dikey"), QStringLiteral("Yatay + Dikey")};
    return items;
}

const QStringList &videoFrontItems()
{
    static const QStringList items = {QStringLiteral("Video çerçevenin arkasında kalsın"),
                                      QStringLiteral("Video çerçevenin önüne geçsin")};
    return items;
}

const QStringList &videoScaleItems()
{
    static const QStringList items = [] {
        QStringList list;
        for (int share = 99; share >= 1; --share)
            list << QString::number(share) + QLatin1Char('%');
        return list;
    }();
    return items;
}

const QStringList &positionItems()
{
    static const QStringList items = {QStringLiteral("Koordinat"), QStringLiteral("Sol Üst"),
                                      QStringLiteral("Orta Üst"),  QStringLiteral("Sağ Üst"),
                                      QStringLiteral("Sol Orta"),  QStringLiteral("Orta"),
                                      QStringLiteral("Sağ Orta"),  QStringLiteral("Sol Alt"),
                                      QStringLiteral("Orta Alt"),  QStringLiteral("Sağ Alt")};
    return items;
}

const QStringList &logoScaleItems()
{
    static const QStringList items = {QStringLiteral("250x250"), QStringLiteral("200x200"),
                                      QStringLiteral("150x150"), QStringLiteral("100x100"),
                                      QStringLiteral("50x50"),   QStringLiteral("25x25")};
    return items;
}

const QStringList &builtInFrames()
{
    static const QStringList items = {
        QStringLiteral("Fulmaro Özel 1"), QStringLiteral("Fulmaro Özel 2"),
        QStringLiteral("Fulmaro Özel 3"), QStringLiteral("Fulmaro Özel 4")};
    return items;
}

const QStringList &loudnessItems()
{
    static const QStringList items = {QStringLiteral("Değiştirme"),
                                      QStringLiteral("Web (-14 LUFS)"),
                                      QStringLiteral("Yayın (-23 LUFS)")};
    return items;
}

QString noneItem()
{
    return QStringLiteral("Yok");
}

bool isValidBitrate(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("\\A[0-9]+\\z"));
    return re.match(text).hasMatch();
}

bool isValidLogoScale(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("\\A[0-9]+(x[0-9]+)?\\z"));
    return re.match(text).hasMatch();
}

QStringList libraryPictureNames(const QString &folder)
{
    return getFilesInDirectory(folder, QStringLiteral("*.png"));
}

QStringList libraryClipNames(const QString &folder)
{
    return getFilesInDirectory(folder, QStringLiteral("*.mp4"));
}

} // namespace fulmaro
