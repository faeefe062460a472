#include "core/render/presets.h"
#include "support/settingsdump.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using namespace fulmaro;

class TestPresets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip();
    void defaultsReadBack();
    void olderPresetTakesNewDefaults();
    void missingLibraryEntry();
    void brokenFile_data();
    void brokenFile();
    void atomicWrite();
    void failedWriteKeepsNothing();
    void names_data();
    void names();
    void listAndDelete();

private:
    QString folder() const { return m_dir->path() + QStringLiteral("/Presets/"); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

LibraryEntries library()
{
    LibraryEntries l;
    l.filters = {QStringLiteral("mavi")};
    l.frames = {QStringLiteral("ahşap")};
    l.logos = {QStringLiteral("kanal")};
    l.intros = {QStringLiteral("giriş")};
    l.outros = {QStringLiteral("kapanış")};
    return l;
}

// What the panel keeps: the preview strip's two are the main window's, never in a preset.
RenderSettings panelPart(RenderSettings s)
{
    const RenderSettings defaults;
    s.cbPreviewScale = defaults.cbPreviewScale;
    s.cbPreviewNoAudio = defaults.cbPreviewNoAudio;
    return s;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestPresets::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestPresets::roundTrip()
{
    const RenderSettings s = testsupport::everySettingChanged();
    QString error;
    QVERIFY2(savePreset(folder(), QStringLiteral("Haftalık"), s, &error), qPrintable(error));

    // One readable line per panel control, pickers by entry name.
    const QString text =
        QString::fromUtf8(readAll(presetPath(folder(), QStringLiteral("Haftalık"))));
    for (const char *line : {"cbFrame=ahşap\n", "cbLogo=kanal\n", "cbFilter=mavi\n",
                             "cbKeepAspect=1\n", "cbVideoScale=7%\n", "tbZoom=25\n"})
        QVERIFY2(text.contains(QString::fromUtf8(line)), line);
    QVERIFY(!text.contains(QStringLiteral("cbPreviewScale")));

    const PresetLoad load = loadPreset(folder(), QStringLiteral("Haftalık"), library());
    QVERIFY2(load.ok, qPrintable(load.error));
    QVERIFY(load.missing.isEmpty());
    QCOMPARE(load.settings, panelPart(s));
}

void TestPresets::defaultsReadBack()
{
    const QString text = presetText(RenderSettings());
    QVERIFY(text.contains(QStringLiteral("\ncbLogo=Yok\n")));
    const PresetLoad load = parsePreset(text, {});
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.settings, RenderSettings());
}

// A preset saved before the codec, rate mode and quality existed loads with their defaults.
void TestPresets::olderPresetTakesNewDefaults()
{
    QString text = presetText(testsupport::everySettingChanged());
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeIf([](const QString &line) {
        return line.startsWith(QLatin1String("cbVideoCodec=")) ||
               line.startsWith(QLatin1String("cbRateMode=")) ||
               line.startsWith(QLatin1String("tbQuality="));
    });
    const PresetLoad load = parsePreset(lines.join(QLatin1Char('\n')), library());
    QVERIFY2(load.ok, qPrintable(load.error));
    RenderSettings expected = panelPart(testsupport::everySettingChanged());
    const RenderSettings defaults;
    expected.cbVideoCodec = defaults.cbVideoCodec;
    expected.cbRateMode = defaults.cbRateMode;
    expected.tbQuality = defaults.tbQuality;
    QCOMPARE(load.settings, expected);
}

void TestPresets::missingLibraryEntry()
{
    const RenderSettings s = testsupport::everySettingChanged();
    QVERIFY(savePreset(folder(), QStringLiteral("eski"), s, nullptr));
    // The logo has been deleted from the library since.
    LibraryEntries now = library();
    now.logos.clear();
    const PresetLoad load = loadPreset(folder(), QStringLiteral("eski"), now);
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.missing, QStringList{QStringLiteral("cbLogo=kanal")});
    RenderSettings expected = panelPart(s);
    expected.cbLogo = 0;
    expected.cbLogoText.clear();
    QCOMPARE(load.settings, expected);
    QVERIFY(!load.assignments.contains(QStringLiteral("cbLogo=kanal")));
    QVERIFY(missingEntriesText(QStringLiteral("eski"), load.missing)
                .contains(QStringLiteral("cbLogo=kanal")));
}

void TestPresets::brokenFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    QTest::newRow("not UTF-8") << QByteArray("tbZoom=20\ncbLogo=k\xfdrm\xfdz\n")
                               << QStringLiteral("UTF-8");
    QTest::newRow("unknown setting") << QByteArray("tbZoom=20\ntbColour=3\n")
                                     << QStringLiteral("2. satır: Bilinmeyen ayar: \"tbColour\"");
    QTest::newRow("value out of range") << QByteArray("# elle\n\ntbZoom=5\n")
                                        << QStringLiteral("3. satır: tbZoom için geçersiz değer");
    QTest::newRow("no equals sign")
        << QByteArray("tbZoom 20\n") << QStringLiteral("1. satır: Geçersiz ayar");
    QTest::newRow("empty picker") << QByteArray("cbLogo=\n") << QStringLiteral("cbLogo");
    QTest::newRow("command in a typed text")
        << QByteArray("cbBitrate=1;id\n") << QStringLiteral("cbBitrate");
    QTest::newRow("far too large") << QByteArray(70000, '#') << QStringLiteral("büyük");
    QTest::newRow("codec the container cannot hold")
        << QByteArray("cbExtension=avi\ncbVideoCodec=4\n")
        << QStringLiteral("AV1 videosu avi dosyasına yazılamaz");
}

void TestPresets::brokenFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QVERIFY(QDir().mkpath(folder()));
    QFile file(presetPath(folder(), QStringLiteral("bozuk")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const PresetLoad load = loadPreset(folder(), QStringLiteral("bozuk"), library());
    QVERIFY(!load.ok);
    QVERIFY2(load.error.startsWith(QStringLiteral("\"bozuk\" ön ayarı yüklenemedi: ")),
             qPrintable(load.error));
    QVERIFY2(load.error.contains(reason), qPrintable(load.error));
    // Nothing of it is to be applied.
    QVERIFY(load.assignments.isEmpty());
    QCOMPARE(load.settings, RenderSettings());
}

void TestPresets::atomicWrite()
{
    RenderSettings first;
    first.tbZoom = 20;
    QVERIFY(savePreset(folder(), QStringLiteral("a"), first, nullptr));
    const QString path = presetPath(folder(), QStringLiteral("a"));
    // A second name for the old file: a write in place would change it too, a complete new file
    // renamed over the name leaves it as it was.
    const QString link = m_dir->filePath(QStringLiteral("old"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    const QByteArray before = readAll(path);

    RenderSettings second;
    second.tbZoom = 30;
    QVERIFY(savePreset(folder(), QStringLiteral("a"), second, nullptr));
    QCOMPARE(readAll(link), before);
    QVERIFY(readAll(path).contains("tbZoom=30\n"));
    // No temporary file left beside it.
    QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("a.preset")});
}

void TestPresets::failedWriteKeepsNothing()
{
    // A folder where the file should go: the write cannot be completed.
    QVERIFY(QDir().mkpath(presetPath(folder(), QStringLiteral("dolu"))));
    QString error;
    QVERIFY(!savePreset(folder(), QStringLiteral("dolu"), RenderSettings(), &error));
    QVERIFY2(error.startsWith(QStringLiteral("Ön ayar yazılamadı")), qPrintable(error));
    QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!loadPreset(folder(), QStringLiteral("dolu"), {}).ok);
}

void TestPresets::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fine");
    QTest::newRow("plain") << QStringLiteral("Haftalık video") << true;
    QTest::newRow("dots inside") << QStringLiteral("v1.2") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks") << QStringLiteral("  ") << false;
    QTest::newRow("leading blank") << QStringLiteral(" a") << false;
    QTest::newRow("slash") << QStringLiteral("../Fulmaro") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("leading dot") << QStringLiteral(".gizli") << false;
    QTest::newRow("control") << QStringLiteral("a\nb") << false;
    QTest::newRow("long") << QString(101, QLatin1Char('a')) << false;
}

void TestPresets::names()
{
    QFETCH(QString, name);
    QFETCH(bool, fine);
    QCOMPARE(presetNameProblem(name).isEmpty(), fine);
    QString error;
    QCOMPARE(savePreset(folder(), name, RenderSettings(), &error), fine);
    QCOMPARE(error.isEmpty(), fine);
    // A refused name never writes outside the folder.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

void TestPresets::listAndDelete()
{
    QCOMPARE(presetNames(folder()), QStringList());
    for (const char *name : {"zebra", "Ahşap", "bir"})
        QVERIFY(savePreset(folder(), QString::fromUtf8(name), RenderSettings(), nullptr));
    QFile other(folder() + QStringLiteral("notlar.txt"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QCOMPARE(presetNames(folder()), (QStringList{QStringLiteral("Ahşap"), QStringLiteral("bir"),
                                                 QStringLiteral("zebra")}));
    QString error;
    QVERIFY(deletePreset(folder(), QStringLiteral("bir"), &error));
    QCOMPARE(presetNames(folder()),
             (QStringList{QStringLiteral("Ahşap"), QStringLiteral("zebra")}));
    QVERIFY(!deletePreset(folder(), QStringLiteral("bir"), &error));
    QVERIFY(error.contains(QStringLiteral("\"bir\" ön ayarı silinemedi")));
}

QTEST_GUILESS_MAIN(TestPresets)
#include "tst_presets.moc"
