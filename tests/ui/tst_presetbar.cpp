// The main window's preset picker: saving, choosing, replacing and deleting presets.
#include "core/render/presets.h"
#include "support/settingsdump.h"
#include "support/testsupport.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/render/presetbar.h"
#include "ui/render/settingspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace fulmaro;

class TestPresetBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void placedBesideTheTabs();
    void roundTripInTheWindow();
    void replaceAsks();
    void deleteAsks();
    void showsTheTruth();
    void missingLibraryEntry();
    void brokenPresetLoadsNothing();
    void pictureAddedSinceStart();

private:
    void newForm();
    void choose(const QString &name);
    void saveAs(const QString &name);
    RenderSettings panelPart(RenderSettings s) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainForm> m_form;
    PresetBar *m_bar = nullptr;
    QList<std::pair<MsgDlgType, QString>> m_messages;
    int m_answer = kMsgYes;
};

void TestPresetBar::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const WorkFolders folders = WorkFolders::under(m_dir->path());
    folders.create();
    for (const QString &file :
         QStringList{folders.filterDir + "mavi.png", folders.frameDir + "ahşap.png",
                     folders.logoDir + "kanal.png"})
        QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(file));
    QVERIFY(testsupport::addEveryClipEntry(folders.introDir, folders.outroDir));
    m_messages.clear();
    m_answer = kMsgYes;
    setMsgHook([this](MsgDlgType type, const QString &text) {
        m_messages.append({type, text});
        return m_answer;
    });
    newForm();
}

void TestPresetBar::cleanup()
{
    setMsgHook(nullptr);
    m_form.reset();
}

void TestPresetBar::newForm()
{
    m_form.reset();
    m_form = std::make_unique<MainForm>(WorkFolders::under(m_dir->path()));
    m_bar = m_form->presetBar;
    QVERIFY(m_bar);
}

void TestPresetBar::choose(const QString &name)
{
    // By name: the chosen entry may show itself as changed.
    const int index = name == QStringLiteral("(Varsayılan)") ? 0 : m_bar->cbPresets->findData(name);
    QVERIFY(index >= 0);
    m_bar->cbPresets->setCurrentIndex(index);
    Q_EMIT m_bar->cbPresets->activated(index); // as a pick in the drop-down
}

void TestPresetBar::saveAs(const QString &name)
{
    m_bar->askName = [name](QWidget *, const QString &) { return name; };
    m_bar->btnPresetSave->click();
}

RenderSettings TestPresetBar::panelPart(RenderSettings s) const
{
    s.cbPreviewScale = m_form->cbPreviewScale->currentIndex();
    s.cbPreviewNoAudio = m_form->cbPreviewNoAudio->isChecked();
    return s;
}

void TestPresetBar::placedBesideTheTabs()
{
    QCOMPARE(m_form->renderSettings->renderPageControl->cornerWidget(Qt::TopRightCorner),
             static_cast<QWidget *>(m_bar));
    QCOMPARE(m_bar->cbPresets->objectName(), QStringLiteral("cbPresets"));
    QCOMPARE(m_bar->cbPresets->currentIndex(), 0);
    QCOMPARE(m_bar->cbPresets->currentText(), QStringLiteral("(Varsayılan)"));
    QVERIFY(!m_bar->btnPresetDelete->isEnabled());
}

void TestPresetBar::roundTripInTheWindow()
{
    const RenderSettings s = testsupport::everySettingChanged();
    m_form->renderSettings->setSettings(s);
    QString offered = QStringLiteral("-");
    m_bar->askName = [&offered](QWidget *, const QString &o) {
        offered = o;
        return QStringLiteral("Haftalık");
    };
    m_bar->btnPresetSave->click();
    QCOMPARE(offered, QString());
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_bar->cbPresets->currentText(), QStringLiteral("Haftalık"));
    QVERIFY(m_bar->btnPresetDelete->isEnabled());

    // A new start shows the defaults, the preset waiting in the list.
    newForm();
    QCOMPARE(m_form->currentSettings(), RenderSettings());
    QCOMPARE(m_bar->cbPresets->currentIndex(), 0);
    choose(QStringLiteral("Haftalık"));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_form->currentSettings(), panelPart(s));
    // The preset set a logo and a frame: their sub-controls are usable once the picture is kept
    // (the preset asks for sound only, which greys them).
    SettingsPanel *p = m_form->renderSettings;
    QVERIFY(!p->cbLogoPosition->isEnabled());
    p->cbEraseVideo->setChecked(false);
    for (QWidget *w :
         std::initializer_list<QWidget *>{p->cbLogoPosition, p->edLogoPositionX, p->cbLogoScale,
                                          p->edVideoFront, p->cbVideoScale})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(p->cbKeepAspect->isChecked());
}

void TestPresetBar::replaceAsks()
{
    RenderSettings first;
    first.tbZoom = 20;
    m_form->renderSettings->setSettings(first);
    saveAs(QStringLiteral("a"));
    RenderSettings second;
    second.tbZoom = 30;
    m_form->renderSettings->setSettings(second);

    m_answer = kMsgNo;
    saveAs(QStringLiteral("a"));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].first, MsgDlgType::mtConfirmation);
    QCOMPARE(m_messages[0].second,
             QStringLiteral("\"a\" adlı bir ön ayar zaten var. Yerine yazılsın mı?"));
    const WorkFolders &f = m_form->folders;
    QCOMPARE(loadPreset(f.presetsDir(), QStringLiteral("a"), {}).settings.tbZoom, 20);

    m_answer = kMsgYes;
    saveAs(QStringLiteral("a"));
    QCOMPARE(m_messages.size(), 2);
    QCOMPARE(loadPreset(f.presetsDir(), QStringLiteral("a"), {}).settings.tbZoom, 30);
    QCOMPARE(m_bar->cbPresets->count(), 2); // "(Varsayılan)" and "a"

    // A name no file can have is refused with its reason.
    saveAs(QStringLiteral("a/b"));
    QCOMPARE(m_messages.size(), 3);
    QCOMPARE(m_messages[2].first, MsgDlgType::mtError);
    QCOMPARE(m_bar->cbPresets->count(), 2);
}

void TestPresetBar::deleteAsks()
{
    saveAs(QStringLiteral("gidecek"));
    const QString file = presetPath(m_form->folders.presetsDir(), QStringLiteral("gidecek"));
    QVERIFY(QFile::exists(file));
    m_answer = kMsgClosed; // the close box keeps it
    m_bar->btnPresetDelete->click();
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].second, QStringLiteral("\"gidecek\" ön ayarı silinsin mi?"));
    QVERIFY(QFile::exists(file));
    m_answer = kMsgYes;
    m_bar->btnPresetDelete->click();
    QVERIFY(!QFile::exists(file));
    QCOMPARE(m_bar->cbPresets->count(), 1);
    QVERIFY(!m_bar->btnPresetDelete->isEnabled());
}

// The picker tells whether the pages still show the chosen entry; "(Varsayılan)" puts the
// defaults back; after a delete the pages keep what they show and the picker says how it stands.
void TestPresetBar::showsTheTruth()
{
    QComboBox *picker = m_bar->cbPresets;
    SettingsPanel *p = m_form->renderSettings;
    RenderSettings upright;
    upright.cbRenderScale = 8;
    p->setSettings(upright);
    QCOMPARE(picker->currentText(), QStringLiteral("(Varsayılan) *"));
    saveAs(QStringLiteral("Dikey"));
    QCOMPARE(picker->currentText(), QStringLiteral("Dikey"));
    p->tbZoom->setValue(25);
    QCOMPARE(picker->currentText(), QStringLiteral("Dikey *"));
    p->tbZoom->setValue(upright.tbZoom);
    QCOMPARE(picker->currentText(), QStringLiteral("Dikey"));
    p->tbZoom->setValue(25);

    choose(QStringLiteral("(Varsayılan)"));
    QCOMPARE(m_form->currentSettings(), RenderSettings());
    QCOMPARE(picker->currentText(), QStringLiteral("(Varsayılan)"));
    QVERIFY(!m_bar->btnPresetDelete->isEnabled());
    // The other entries read as their names.
    QCOMPARE(picker->itemText(1), QStringLiteral("Dikey"));

    choose(QStringLiteral("Dikey"));
    QCOMPARE(m_form->currentSettings(), panelPart(upright));
    QCOMPARE(picker->currentText(), QStringLiteral("Dikey"));
    m_bar->btnPresetDelete->click();
    QCOMPARE(picker->count(), 1);
    QCOMPARE(m_form->currentSettings(), panelPart(upright));
    QCOMPARE(picker->currentText(), QStringLiteral("(Varsayılan) *"));
}

void TestPresetBar::missingLibraryEntry()
{
    RenderSettings s;
    s.cbLogo = 1;
    s.cbLogoText = QStringLiteral("kanal");
    s.cbRenderScale = 8;
    m_form->renderSettings->setSettings(s);
    saveAs(QStringLiteral("logolu"));
    m_form->renderSettings->setSettings(RenderSettings());
    QVERIFY(QFile::remove(m_form->folders.logoDir + "kanal.png"));
    choose(QStringLiteral("logolu"));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].first, MsgDlgType::mtWarning);
    QVERIFY2(m_messages[0].second.contains(QStringLiteral("cbLogo=kanal")),
             qPrintable(m_messages[0].second));
    const RenderSettings now = m_form->currentSettings();
    QCOMPARE(now.cbRenderScale, 8);
    QCOMPARE(now.cbLogo, 0);
    QVERIFY(!m_form->renderSettings->cbLogoPosition->isEnabled());
}

void TestPresetBar::brokenPresetLoadsNothing()
{
    saveAs(QStringLiteral("bozuk"));
    QFile file(presetPath(m_form->folders.presetsDir(), QStringLiteral("bozuk")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("cbRenderScale=8\ncbKeepAspect=belki\n");
    file.close();
    RenderSettings before;
    before.tbZoom = 42;
    m_form->renderSettings->setSettings(before);
    choose(QStringLiteral("bozuk"));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].first, MsgDlgType::mtError);
    QVERIFY2(m_messages[0].second.contains(QStringLiteral("2. satır: cbKeepAspect")),
             qPrintable(m_messages[0].second));
    QCOMPARE(m_form->currentSettings(), panelPart(before));
    QCOMPARE(m_bar->cbPresets->currentIndex(), 0);
    QCOMPARE(m_bar->cbPresets->currentText(), QStringLiteral("(Varsayılan) *"));
}

void TestPresetBar::pictureAddedSinceStart()
{
    // A picture copied into the library while the window runs, and a preset naming it.
    const WorkFolders &f = m_form->folders;
    QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(f.logoDir + "yeni.png"));
    RenderSettings s;
    s.cbLogo = 2;
    s.cbLogoText = QStringLiteral("yeni");
    QVERIFY(savePreset(f.presetsDir(), QStringLiteral("yeni logo"), s, nullptr));
    m_bar->refresh();
    choose(QStringLiteral("yeni logo"));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_form->renderSettings->cbLogo->currentText(), QStringLiteral("yeni"));
    QCOMPARE(m_form->currentSettings(), panelPart(s));
    QVERIFY(m_form->renderSettings->cbLogoScale->isEnabled());
}

QTEST_MAIN(TestPresetBar)
#include "tst_presetbar.moc"
