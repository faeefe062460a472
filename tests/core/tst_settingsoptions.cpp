#include "core/render/settingsoptions.h"

#include <QTest>

using namespace fulmaro;

class TestSettingsOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
};

namespace {

LibraryEntries library()
{
    LibraryEntries l;
    l.filters = {QStringLiteral("mavi"), QStringLiteral("Yağmur")};
    l.frames = {QStringLiteral("ahşap"), QStringLiteral("kırmızı çerçeve")};
    l.logos = {QStringLiteral("kanal")};
    l.intros = {QStringLiteral("giriş")};
    l.outros = {QStringLiteral("kapanış")};
    return l;
}

// The fields an assignment may touch, as text, to compare whole settings at once.
QString dump(const RenderSettings &s)
{
    QStringList out;
    const auto i = [&out](const char *n, int v) {
        out << QLatin1String(n) + QLatin1Char('=') + QString::number(v);
    };
    const auto t = [&out](const char *n, const QString &v) {
        out << QLatin1String(n) + QLatin1Char('=') + v;
    };
    i("cbRenderScale", s.cbRenderScale);
    t("cbBitrate", s.cbBitrate);
    t("cbExtension", s.cbExtension);
    i("cbPreset", s.cbPreset);
    i("btnFullCPU", s.btnFullCPU);
    i("cbFlipVideo", s.cbFlipVideo);
    i("edTimeStart", s.edTimeStart);
    i("edTimeEnd", s.edTimeEnd);
    i("edCropLeft", s.edCropLeft);
    i("edCropTop", s.edCropTop);
    i("tbZoom", s.tbZoom);
    i("tbVideoSpeed", s.tbVideoSpeed);
    i("cbKeepAspect", s.cbKeepAspect);
    i("cbFilter", s.cbFilter);
    t("cbFilterText", s.cbFilterText);
    i("cbFrame", s.cbFrame);
    t("cbFrameText", s.cbFrameText);
    i("cbIntro", s.cbIntro);
    t("cbIntroText", s.cbIntroText);
    i("cbOutro", s.cbOutro);
    t("cbOutroText", s.cbOutroText);
    i("cbEraseAudio", s.cbEraseAudio);
    i("cbEraseVideo", s.cbEraseVideo);
    i("tbVolume", s.tbVolume);
    i("cbLoudness", s.cbLoudness);
    i("edVideoFront", s.edVideoFront);
    t("cbVideoScale", s.cbVideoScale);
    i("cbVideoPosition", s.cbVideoPosition);
    i("edVideoPositionX", s.edVideoPositionX);
    i("edVideoPositionY", s.edVideoPositionY);
    i("cbLogo", s.cbLogo);
    t("cbLogoText", s.cbLogoText);
    i("cbLogoPosition", s.cbLogoPosition);
    i("edLogoPositionX", s.edLogoPositionX);
    i("edLogoPositionY", s.edLogoPositionY);
    t("cbLogoScale", s.cbLogoScale);
    i("cbGreyscale", s.cbGreyscale);
    i("cbSepia", s.cbSepia);
    i("cbNegative", s.cbNegative);
    i("cbThermography", s.cbThermography);
    i("cbBadDream", s.cbBadDream);
    i("cbPosterize", s.cbPosterize);
    i("cbLSD", s.cbLSD);
    i("cbVintage", s.cbVintage);
    i("cbVignette", s.cbVignette);
    i("tbContrast", s.tbContrast);
    i("tbBrightness", s.tbBrightness);
    i("tbSaturation", s.tbSaturation);
    i("tbGamma", s.tbGamma);
    i("tbGammaRed", s.tbGammaRed);
    i("tbGammaGreen", s.tbGammaGreen);
    i("tbGammaBlue", s.tbGammaBlue);
    i("tbFilterOpacity", s.tbFilterOpacity);
    i("cbPreviewScale", s.cbPreviewScale);
    i("cbPreviewNoAudio", s.cbPreviewNoAudio);
    return out.join(QLatin1Char('\n'));
}

} // namespace

void TestSettingsOptions::accepted_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QStringList>("changed"); // the dump lines that differ from the defaults

    const auto row = [](const char *a, QStringList changed) {
        QTest::newRow(a) << QString::fromUtf8(a) << changed;
    };
    row("cbRenderScale=2", {"cbRenderScale=2"});
    row("cbRenderScale=8", {"cbRenderScale=8"});
    row("cbKeepAspect=1", {"cbKeepAspect=1"});
    row("cbPreviewScale=6", {"cbPreviewScale=6"});
    row("edVideoFront=0", {"edVideoFront=0"});
    row("cbLogoPosition=9", {"cbLogoPosition=9"});
    row("cbBitrate=3000", {"cbBitrate=3000"});
    row("cbExtension=mkv", {"cbExtension=mkv"});
    row("cbVideoScale=30%", {});
    row("cbVideoScale=1%", {"cbVideoScale=1%"});
    row("cbLogoScale=100x100", {"cbLogoScale=100x100"});
    row("cbLogoScale=120", {"cbLogoScale=120"});
    row("cbFrame=Fulmaro Özel 2", {"cbFrame=2", "cbFrameText=Fulmaro Özel 2"});
    row("cbFrame=kırmızı çerçeve", {"cbFrame=6", "cbFrameText=kırmızı çerçeve"});
    row("cbFilter=Yağmur", {"cbFilter=2", "cbFilterText=Yağmur"});
    row("cbLogo=kanal", {"cbLogo=1", "cbLogoText=kanal"});
    row("cbLogo=Yok", {"cbLogoText=Yok"});
    row("cbSepia=1", {"cbSepia=1"});
    row("btnFullCPU=0", {"btnFullCPU=0"});
    row("cbPreviewNoAudio=0", {"cbPreviewNoAudio=0"});
    row("edTimeStart=-5", {"edTimeStart=-5"});
    row("edLogoPositionY=250", {"edLogoPositionY=250"});
    row("tbVideoSpeed=5", {"tbVideoSpeed=5"});
    row("tbContrast=-20", {"tbContrast=-20"});
    row("tbGammaBlue=1", {"tbGammaBlue=1"});
    row("cbIntro=giriş", {"cbIntro=1", "cbIntroText=giriş"});
    row("cbOutro=kapanış", {"cbOutro=1", "cbOutroText=kapanış"});
    row("cbEraseAudio=1", {"cbEraseAudio=1"});
    row("cbEraseVideo=1", {"cbEraseVideo=1"});
    row("tbVolume=0", {"tbVolume=0"});
    row("cbLoudness=1", {"cbLoudness=1"});
}

void TestSettingsOptions::accepted()
{
    QFETCH(QString, assignment);
    QFETCH(QStringList, changed);
    RenderSettings s;
    QCOMPARE(applySettingOption(s, assignment, library()), QString());
    const QStringList before = dump(RenderSettings()).split(QLatin1Char('\n'));
    const QStringList after = dump(s).split(QLatin1Char('\n'));
    QStringList diff;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (after[i] != before[i])
            diff << after[i];
    }
    QCOMPARE(diff, changed);
}

void TestSettingsOptions::refused_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *a, const char *m) {
        QTest::newRow(a) << QString::fromUtf8(a) << QString::fromUtf8(m);
    };
    row("cbRenderScale=13", "cbRenderScale için geçersiz değer: \"13\" (0 ile 12 arasında bir sıra "
                            "numarası bekleniyor)");
    row("cbRenderScale=720p", "cbRenderScale için geçersiz değer: \"720p\" (0 ile 12 arasında bir "
                              "sıra numarası bekleniyor)");
    row("edVideoFront=-1",
        "edVideoFront için geçersiz değer: \"-1\" (0 ile 1 arasında bir sıra numarası bekleniyor)");
    row("cbBitrate=3000;id",
        "cbBitrate için geçersiz değer: \"3000;id\" (yalnızca rakam bekleniyor)");
    row("cbBitrate=", "cbBitrate için geçersiz değer: \"\" (yalnızca rakam bekleniyor)");
    row("cbLogoScale=10x", "cbLogoScale için geçersiz değer: \"10x\" (rakamlar ya da genişlik x "
                           "yükseklik bekleniyor, örneğin 100x100)");
    row("cbLogoScale=10X10", "cbLogoScale için geçersiz değer: \"10X10\" (rakamlar ya da genişlik "
                             "x yükseklik bekleniyor, örneğin 100x100)");
    row("cbExtension=ogv", "cbExtension için geçersiz değer: \"ogv\" (şunlardan biri bekleniyor: "
                           "mp4, mkv, avi, flv, webm, mov)");
    row("cbVideoScale=100%",
        "cbVideoScale için geçersiz değer: \"100%\" (1% ile 99% arasında bir oran bekleniyor)");
    row("cbVideoScale=30",
        "cbVideoScale için geçersiz değer: \"30\" (1% ile 99% arasında bir oran bekleniyor)");
    row("cbFrame=Fulmaro Özel 5", "cbFrame için geçersiz değer: \"Fulmaro Özel 5\" (\"Yok\" ya da "
                                  "listedeki bir ad bekleniyor)");
    row("cbFilter=kanal",
        "cbFilter için geçersiz değer: \"kanal\" (\"Yok\" ya da listedeki bir ad bekleniyor)");
    row("cbSepia=yes", "cbSepia için geçersiz değer: \"yes\" (0 ya da 1 bekleniyor)");
    row("edTimeEnd=1.5", "edTimeEnd için geçersiz değer: \"1.5\" (tam sayı bekleniyor)");
    row("edCropLeft=99999999999",
        "edCropLeft için geçersiz değer: \"99999999999\" (tam sayı bekleniyor)");
    row("tbVideoSpeed=201",
        "tbVideoSpeed için geçersiz değer: \"201\" (5 ile 200 arasında bir tam sayı bekleniyor)");
    row("tbZoom=9",
        "tbZoom için geçersiz değer: \"9\" (10 ile 100 arasında bir tam sayı bekleniyor)");
    row("tbColour=1", "Bilinmeyen ayar: \"tbColour\"");
    row("TrackBar1=50", "Bilinmeyen ayar: \"TrackBar1\"");
    row("tbVolume=201",
        "tbVolume için geçersiz değer: \"201\" (0 ile 200 arasında bir tam sayı bekleniyor)");
    row("cbLoudness=3",
        "cbLoudness için geçersiz değer: \"3\" (0 ile 2 arasında bir sıra numarası bekleniyor)");
    row("cbIntro=kanal",
        "cbIntro için geçersiz değer: \"kanal\" (\"Yok\" ya da listedeki bir ad bekleniyor)");
    row("tbZoom", "Geçersiz ayar: \"tbZoom\" (AD=DEĞER biçiminde olmalı)");
    row("=5", "Geçersiz ayar: \"=5\" (AD=DEĞER biçiminde olmalı)");
}

void TestSettingsOptions::refused()
{
    QFETCH(QString, assignment);
    QFETCH(QString, message);
    RenderSettings s;
    QCOMPARE(applySettingOption(s, assignment, library()), message);
    QCOMPARE(dump(s), dump(RenderSettings()));
}

QTEST_GUILESS_MAIN(TestSettingsOptions)
#include "tst_settingsoptions.moc"
