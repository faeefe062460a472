// fulmaro-batch storing, listing and applying presets.
#include "core/base/workfolders.h"
#include "core/render/presets.h"
#include "core/runner/shellquote.h"
#include "support/batchrunner.h"
#include "support/settingsdump.h"
#include "support/testsupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace fulmaro;

namespace {

using Output = testsupport::BatchResult;

Output batch(const QStringList &args)
{
    return testsupport::runBatch(args);
}

// "--set" and each setting line of a preset's text.
QStringList setOptions(const QString &presetText)
{
    QStringList args;
    for (const QString &line : presetText.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('#')))
            args << QStringLiteral("--set") << line;
    }
    return args;
}

} // namespace

class TestBatchPresets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyControlStoredAndRead();
    void presetBeforeTheSetOptions();
    void keptProportionsLine();
    void missingLibraryEntry();
    void brokenPreset_data();
    void brokenPreset();

private:
    QTemporaryDir m_dir;
    WorkFolders m_folders;
    QString m_clip;
};

void TestBatchPresets::initTestCase()
{
    m_folders = WorkFolders::under(testsupport::isolateDataHome());
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    for (const QString &file :
         QStringList{m_folders.filterDir + "mavi.png", m_folders.frameDir + "ahşap.png",
                     m_folders.logoDir + "kanal.png"})
        QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(file));
    QVERIFY(testsupport::addEveryClipEntry(m_folders.introDir, m_folders.outroDir));
    m_clip = m_dir.filePath(QStringLiteral("kıyı.mp4"));
    QVERIFY(testsupport::makeClip(m_clip, 1, true));
}

void TestBatchPresets::everyControlStoredAndRead()
{
    const RenderSettings s = testsupport::everySettingChanged();
    const Output saved =
        batch(setOptions(presetText(s)) + QStringList{"--save-preset", "Haftalık"});
    QCOMPARE(saved.err, QString());
    QCOMPARE(saved.exitCode, 0);
    QCOMPARE(saved.out, QString());

    RenderSettings expected = s;
    expected.cbPreviewScale = RenderSettings().cbPreviewScale;
    expected.cbPreviewNoAudio = RenderSettings().cbPreviewNoAudio;
    const LibraryEntries library =
        currentLibraryEntries(m_folders.filterDir, m_folders.frameDir, m_folders.logoDir,
                              m_folders.introDir, m_folders.outroDir);
    const PresetLoad load = loadPreset(m_folders.presetsDir(), QStringLiteral("Haftalık"), library);
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.settings, expected);

    // Read back and stored again under another name: the same file.
    const Output again = batch({"--preset", "Haftalık", "--save-preset", "kopya"});
    QCOMPARE(again.exitCode, 0);
    QFile a(presetPath(m_folders.presetsDir(), QStringLiteral("Haftalık")));
    QFile b(presetPath(m_folders.presetsDir(), QStringLiteral("kopya")));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());

    const Output list = batch({"--presets"});
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(list.out, QStringLiteral("Haftalık\nkopya\n"));
}

void TestBatchPresets::presetBeforeTheSetOptions()
{
    QCOMPARE(batch({"--set", "cbRenderScale=8", "--set", "cbKeepAspect=1", "--set", "tbZoom=20",
                    "--save-preset", "dik"})
                 .exitCode,
             0);
    // A --set after the preset overrides it; the rest of the preset holds.
    const Output withPreset =
        batch({"--preset", "dik", "--set", "tbZoom=15", "--dry-run", "--preview", m_clip});
    const Output spelt = batch({"--set", "cbRenderScale=8", "--set", "cbKeepAspect=1", "--set",
                                "tbZoom=15", "--dry-run", "--preview", m_clip});
    QCOMPARE(withPreset.exitCode, 0);
    QCOMPARE(withPreset.err, QString());
    QCOMPARE(withPreset.out, spelt.out);
    QVERIFY(withPreset.out.contains(QStringLiteral("scale=1.5*iw:-1")));
    QVERIFY(withPreset.out.contains(QStringLiteral("force_original_aspect_ratio=decrease")));
}

void TestBatchPresets::keptProportionsLine()
{
    const QString out = m_dir.path();
    const Output o = batch({"--set", "cbRenderScale=10", "--set", "cbKeepAspect=1", "--output", out,
                            "--dry-run", m_clip});
    QCOMPARE(o.exitCode, 0);
    const QString expected =
        quoteArg(m_folders.binDir + "ffmpeg") +
        QStringLiteral(" -y  -threads 6 -i %1 -preset ultrafast -filter_complex \"color=size="
                       "1080x1080:rate=30/1 [base1]; [0:v] scale=1080x1080:force_original_aspect_"
                       "ratio=decrease:force_divisible_by=2[video]; [base1][video] overlay=trunc(("
                       "main_w-overlay_w)/2):trunc((main_h-overlay_h)/2):shortest=1 [base2]\" -map "
                       "\"[base2]\"  -map 0:a? -c:a copy  -b:v 5000k %2 && mv -f -- %2 %3\n")
            .arg(quoteArg(m_clip), quoteArg(out + "/kıyı (2).part.mp4"),
                 quoteArg(out + "/kıyı (2).mp4"));
    QCOMPARE(testsupport::withoutComments(o.out), expected);
}

void TestBatchPresets::missingLibraryEntry()
{
    QCOMPARE(batch({"--set", "cbLogo=kanal", "--set", "cbRenderScale=9", "--save-preset", "logolu"})
                 .exitCode,
             0);
    QVERIFY(QFile::rename(m_folders.logoDir + "kanal.png", m_folders.logoDir + "yeni.png"));
    const Output o = batch({"--preset", "logolu", "--dry-run", "--preview", m_clip});
    QVERIFY(QFile::rename(m_folders.logoDir + "yeni.png", m_folders.logoDir + "kanal.png"));
    QCOMPARE(o.exitCode, 0);
    QVERIFY2(o.err.contains(QStringLiteral("cbLogo=kanal")), qPrintable(o.err));
    // The rest of the preset applies; the logo does not.
    // (an upright render previewed in the wide "360p" keeps its shape)
    QVERIFY2(o.out.contains(QStringLiteral("scale=202x360")), qPrintable(o.out));
    QVERIFY(!o.out.contains(QStringLiteral("logo_")));
}

void TestBatchPresets::brokenPreset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("hand-broken") << QStringLiteral("bozuk")
                                 << QByteArray("cbRenderScale=8\ntbZoom=abc\n")
                                 << QStringLiteral("2. satır: tbZoom için geçersiz değer");
    QTest::newRow("missing") << QStringLiteral("yok") << QByteArray()
                             << QStringLiteral("böyle bir ön ayar yok");
}

void TestBatchPresets::brokenPreset()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    if (!content.isEmpty()) {
        QFile file(presetPath(m_folders.presetsDir(), name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const Output o = batch({"--preset", name, "--dry-run", "--preview", m_clip});
    QCOMPARE(o.exitCode, 2);
    QCOMPARE(o.out, QString());
    QVERIFY2(o.err.contains(QStringLiteral("\"%1\" ön ayarı yüklenemedi").arg(name)),
             qPrintable(o.err));
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
}

QTEST_GUILESS_MAIN(TestBatchPresets)
#include "tst_batch_presets.moc"
