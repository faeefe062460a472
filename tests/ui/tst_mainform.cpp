#include "core/base/pathtext.h"
#include "core/render/commandbuilder.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"
#include "core/videolist/videoitem.h"
#include "support/testsupport.h"
#include "ui/appstyle.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/queue/previewslot.h"
#include "ui/render/settingspanel.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using namespace fulmaro;

class TestMainForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void frame();
    void toolbarAndActions();
    void startupEnablesActions();
    void blankEncoderKeepsActionsDisabled();
    void settingsFeedTheBuilder();
    void dropTest_data();
    void dropTest();
    void dropOntoList();
    void dropFolderAndOtherFormats();
    void shortcuts();
    void settingsRoundTrip();
    void selectFolder();
    void closeEndsPreviewAfterSaving();
    void updater();

private:
    QString m_data;
};

void TestMainForm::initTestCase()
{
    m_data = testsupport::isolateDataHome();
    // The windows are checked in the program's own look.
    QString error;
    QVERIFY2(applyLightStyle(*qApp, &error), qPrintable(error));
    QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
    QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(0xf3, 0xf3, 0xf3));
    QCOMPARE(QApplication::palette().color(QPalette::Disabled, QPalette::Text),
             QColor(0x9a, 0x9a, 0x9a));
}

void TestMainForm::frame()
{
    MainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Fulmaro 1.1.1"));
    QCOMPARE(form.folders.workDir, m_data + QStringLiteral("/Fulmaro/"));
    for (const char *sub : {"Temp", "Logo", "Frame", "Filter", "Intro", "Outro"})
        QVERIFY(QDir(form.folders.workDir + QLatin1String(sub)).exists());
    QVERIFY(!QDir(form.folders.binDir).exists());
    // The designed size holds once shown: nothing in the window asks for more room.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(1102, 571));

    const QTabWidget *pages = form.renderSettings->renderPageControl;
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(0), QStringLiteral("Genel"));
    QCOMPARE(pages->tabText(1), QStringLiteral("Efektler"));
    QCOMPARE(pages->tabText(2), QStringLiteral("Giriş/Çıkış ve Ses"));
    QVERIFY(pages->isTabVisible(2));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(form.findChild<QWidget *>(QStringLiteral("SettingsPanel")), form.renderSettings);
    QCOMPARE(form.renderSettings->height(), 208);

    QCOMPARE(form.cbPreviewScale->count(), 13); // the wide sizes, then the upright and square ones
    QCOMPARE(form.cbPreviewScale->itemText(0), QStringLiteral("2160p"));
    QCOMPARE(form.cbPreviewScale->currentText(), QStringLiteral("360p"));
    QVERIFY(form.cbPreviewNoAudio->isChecked());
    QCOMPARE(form.cbPreviewNoAudio->text(), QStringLiteral("Sessiz"));
    QVERIFY(form.edOutputFolder->isReadOnly());
    QVERIFY(form.findChild<QTreeView *>(QStringLiteral("VideoList")));

    QStringList popup;
    for (QAction *a : form.videoListPopupMenu->actions())
        popup << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(popup, QStringList({"Tümünü seç", "Hiçbirini seçme", "Diğerlerini seç", "-",
                                 "Video Ekle", "Sil", "-", "Grup Oluştur"}));
    QVERIFY(!form.actGroupCreate->isVisible());
}

void TestMainForm::toolbarAndActions()
{
    MainForm form;
    form.show();
    struct Expected
    {
        const char *name;
        const char *caption;
        bool visible;
        bool enabled;
    };
    const Expected expected[] = {
        {"actVideoLocal", "Video Ekle", true, true},
        {"actVideoInternet", "URL Ekle", false, true},
        {"actVideoDelete", "Sil", true, true},
        {"actVideoUp", "Yukarı Taşı", true, true},
        {"actVideoDown", "Aşağı Taşı", true, true},
        {"actOpenOutputFolder", "Çıktı Klasörü", true, true},
        {"actRenderPreview", "Önizleme", true, false},
        {"actThumbnail", "Küçük Resim", true, false},
        {"actRender", "Başlat", true, false},
    };
    QList<QAction *> actions;
    int separators = 0;
    for (QAction *a : form.toolBar->actions()) {
        if (a->isSeparator())
            ++separators;
        else
            actions << a;
    }
    QCOMPARE(separators, 4);
    QCOMPARE(actions.size(), int(std::size(expected)));
    for (int i = 0; i < actions.size(); ++i) {
        QAction *a = actions[i];
        QCOMPARE(a->objectName(), QLatin1String(expected[i].name));
        QCOMPARE(a->iconText(), QString::fromUtf8(expected[i].caption));
        QCOMPARE(a->isVisible(), expected[i].visible);
        if (expected[i].visible) // Qt reports a hidden action as disabled
            QCOMPARE(a->isEnabled(), expected[i].enabled);
        QCOMPARE(a->property("category").toString(), QStringLiteral("Toolbar"));
        QVERIFY(!a->icon().pixmap(32, 32, QIcon::Normal).isNull());
        QVERIFY(a->icon().pixmap(32, 32, QIcon::Disabled).toImage() !=
                a->icon().pixmap(32, 32, QIcon::Normal).toImage());
        if (expected[i].visible) {
            auto *button = qobject_cast<QToolButton *>(form.toolBar->widgetForAction(a));
            QVERIFY(button);
            QCOMPARE(button->height(), 52);
            QVERIFY(button->width() >= 66);
            // The whole caption fits on the button.
            QVERIFY(button->fontMetrics().horizontalAdvance(a->iconText()) <= button->width());
        }
    }
    QCOMPARE(form.actVideoInternet->text(), QStringLiteral("Internetten Ekle"));
}

void TestMainForm::startupEnablesActions()
{
    MainForm form;
    QSignalSpy done(&form, &MainForm::startupDone);
    QVERIFY(!form.actRender->isEnabled());
    form.show();
    QVERIFY(done.wait(2000));
    QCOMPARE(form.tools.ffMpeg, QStringLiteral("ffmpeg"));
    QCOMPARE(form.tools.ffProbe, QStringLiteral("ffprobe"));
    QVERIFY(form.actRender->isEnabled());
    QVERIFY(form.actRenderPreview->isEnabled());
    QVERIFY(form.actThumbnail->isEnabled());
    // The start-up message runs once only.
    QTest::qWait(50);
    QCOMPARE(done.count(), 1);
}

void TestMainForm::blankEncoderKeepsActionsDisabled()
{
    MainForm form;
    form.configuredTools.ffMpeg = QStringLiteral("  ");
    QSignalSpy done(&form, &MainForm::startupDone);
    QVERIFY(done.wait(2000));
    QVERIFY(!form.actRender->isEnabled());
    QVERIFY(!form.actRenderPreview->isEnabled());
    QVERIFY(!form.actThumbnail->isEnabled());
}

void TestMainForm::settingsFeedTheBuilder()
{
    // The builder gets the panel's settings and the preview strip's.
    MainForm form;
    SettingsPanel *p = form.renderSettings;
    p->cbRenderScale->setCurrentIndex(6);
    p->tbVideoSpeed->setValue(150);
    p->cbSepia->setChecked(true);
    p->tbGammaRed->setValue(55);
    p->edTimeStart->setValue(3);
    QCOMPARE(form.currentSettings().cbPreviewScale, 5);
    QCOMPARE(form.currentSettings().cbPreviewNoAudio, true);
    form.cbPreviewScale->setCurrentIndex(6);
    form.cbPreviewNoAudio->setChecked(false);
    const RenderSettings s = form.currentSettings();
    QCOMPARE(s.cbPreviewScale, 6);
    QCOMPARE(s.cbPreviewNoAudio, false);
    QCOMPARE(s.cbRenderScale, 6);
    VideoItem item;
    item.caption = QStringLiteral("/v/a.mp4");
    item.hasAudio = true;
    const QString text =
        buildCommandLine(&item, PreviewMode, s, BuildFolders::from(form.folders, form.tools), 1)
            .text;
    QVERIFY(text.contains(QStringLiteral("color=size=426x240 [base1]; [0:a]atempo=1.5 [audio]; "
                                         "[0:v] setpts=(1/1.5)*PTS, scale=426x240, "
                                         "colorchannelmixer=")));
    QVERIFY(text.contains(QStringLiteral("gamma_r=0.55:")));
    QVERIFY(text.contains(QStringLiteral(" -ss 2 ")));
    QVERIFY(!text.contains(QStringLiteral(" -an ")));
}

void TestMainForm::dropTest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("mp4") << "/v/a.mp4" << true;
    QTest::newRow("MP4 in capitals") << "/v/a.MP4" << true;
    QTest::newRow("txt") << "/v/a.txt" << false;
    QTest::newRow("part of an extension") << "/v/a.mp" << false;
    QTest::newRow("fl") << "/v/a.fl" << false;
    for (const char *ext : {"mov", "webm", "m4v", "3gp", "mts", "m2ts", "ts", "mpg", "mpeg", "wmv",
                            "ogv", "mkv", "avi"})
        QTest::newRow(ext) << QStringLiteral("/v/a.") + QLatin1String(ext) << true;
    QTest::newRow("no extension") << "/v/film" << false;
    QTest::newRow("dot only in a folder name") << "/v.mp4/film" << false;
    QTest::newRow("last dot counts") << "/v/a.mkv.part" << false;
    QTest::newRow("flv") << "/v/Çıktı klip.flv" << true;
}

void TestMainForm::dropTest()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QCOMPARE(passesVideoDropTest(name), accepted);
}

void TestMainForm::dropOntoList()
{
    MainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy dropped(&form, &MainForm::videoFilesDropped);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/v/one.mp4")),
                  QUrl::fromLocalFile(QStringLiteral("/v/two.MP4")),
                  QUrl::fromLocalFile(QStringLiteral("/v/three.txt")),
                  QUrl::fromLocalFile(QStringLiteral("/v/four.avi"))});
    QWidget *viewport = form.videoList->viewport();
    const QPoint pos = viewport->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).toStringList(),
             QStringList({"/v/one.mp4", "/v/two.MP4", "/v/four.avi"}));
}

// A folder brings its videos, inner folders too, in name order; a file that is no video is
// named in one message for the whole drop.
void TestMainForm::dropFolderAndOtherFormats()
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/");
    QVERIFY(QDir().mkpath(root + "klasör/iç"));
    for (const char *name : {"klasör/b10.mp4", "klasör/b2.mkv", "klasör/iç/c.webm",
                             "klasör/notlar.txt", "a.webm", "a.mov", "oku.txt"}) {
        QFile file(root + QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    MainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy dropped(&form, &MainForm::videoFilesDropped);
    QStringList messages;
    setMsgHook([&messages](MsgDlgType type, const QString &text) {
        messages << QString::number(int(type)) + QLatin1Char(' ') + text;
        return kMsgYes;
    });
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(root + "klasör"), QUrl::fromLocalFile(root + "a.webm"),
                  QUrl::fromLocalFile(root + "a.mov"), QUrl::fromLocalFile(root + "oku.txt")});
    QWidget *viewport = form.videoList->viewport();
    QDragEnterEvent enter(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(viewport->rect().center()), Qt::CopyAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).toStringList(),
             QStringList({root + "klasör/b2.mkv", root + "klasör/b10.mp4",
                          root + "klasör/iç/c.webm", root + "a.webm", root + "a.mov"}));
    // Said once the drop has ended, once.
    QTRY_COMPARE(messages.size(), 1);
    QCOMPARE(messages.at(0), QStringLiteral("0 Video dosyası olmadığı için eklenmedi:\noku.txt"));
    QTest::qWait(20);
    QCOMPARE(messages.size(), 1);
    setMsgHook({});
}

void TestMainForm::settingsRoundTrip()
{
    const QString settings = m_data + QStringLiteral("/Fulmaro/Fulmaro.set");
    {
        QDir().mkpath(m_data + QStringLiteral("/Fulmaro"));
        QFile f(settings);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("OutputFolder=/home/kullanıcı/Çıktı\r\n");
    }
    {
        MainForm form;
        QCOMPARE(form.edOutputFolder->text(), QStringLiteral("/home/kullanıcı/Çıktı"));
        form.show();
        form.edOutputFolder->setText(QStringLiteral("/srv/Out"));
        form.close();
    }
    QFile f(settings);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("outputfolder=/srv/Out\r\n"));
    f.close();
    {
        MainForm form;
        form.show();
        form.edOutputFolder->clear();
        form.close();
    }
    QCOMPARE(QFileInfo(settings).size(), 0);
}

void TestMainForm::selectFolder()
{
    MainForm form;
    QString offered;
    form.edOutputFolder->setText(QStringLiteral("/old"));
    form.chooseFolder = [&](QWidget *, const QString &current) {
        offered = current;
        return QString();
    };
    form.btnSelectFolderClick();
    QCOMPARE(offered, QStringLiteral("/old"));
    QCOMPARE(form.edOutputFolder->text(), QStringLiteral("/old")); // cancelled: unchanged
    form.chooseFolder = [](QWidget *, const QString &) { return QStringLiteral("/new/place/"); };
    form.btnSelectFolderClick();
    QCOMPARE(form.edOutputFolder->text(), QStringLiteral("/new/place"));
}

void TestMainForm::closeEndsPreviewAfterSaving()
{
    MainForm form;
    form.show();
    const QString settings = form.folders.settingsFile();
    QFile::remove(settings);
    form.edOutputFolder->setText(QStringLiteral("/out"));

    // A player that stays open until it is closed, with a child of its own.
    bool settingsWrittenFirst = false;
    ToolRun preview(quoteArg(QStringLiteral(FAKE_TOOL)) + QStringLiteral(" spawn hang"),
                    form.folders.tempDir, [&](const QString &, bool &) {});
    connect(&preview, &ToolRun::done, [&] { settingsWrittenFirst = QFile::exists(settings); });
    preview.start();
    QTRY_VERIFY(preview.isRunning());
    form.preview->hold(&preview);
    QTest::qWait(100);
    const qint64 pid = preview.processId();

    form.close();
    QVERIFY(preview.isFinished());
    QCOMPARE(preview.result().end, RunEnd::Stopped);
    QVERIFY(settingsWrittenFirst);
    QTRY_VERIFY(!testsupport::processAlive(pid));
}

void TestMainForm::updater()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("fulmaro"));
    QVERIFY(!launchUpdater(dir.path(), program)); // none there: nothing happens

    const QString args = dir.filePath(QStringLiteral("args.txt"));
    QFile script(dir.filePath(QStringLiteral("Updater")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s|' \"$@\" > " + quoteArg(args).toUtf8() + "\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    QVERIFY(launchUpdater(dir.path(), program));
    QTRY_VERIFY(QFileInfo(args).size() > 0);
    QFile f(args);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()),
             program + QStringLiteral("|http://www.fulmaro.com/update/version.xml|"));
}

// The keys of the actions, named in their tips; Delete works where the list has the focus.
void TestMainForm::shortcuts()
{
    MainForm form;
    const struct
    {
        QAction *action;
        QString keys;
        QString tip;
    } expected[] = {
        {form.actVideoLocal, "Ctrl+O", "Video Ekle (Ctrl+O)"},
        {form.actVideoDelete, "Del", "Sil (Del)"},
        {form.actVideoUp, "Ctrl+Up", "Yukarı Taşı (Ctrl+Up)"},
        {form.actVideoDown, "Ctrl+Down", "Aşağı Taşı (Ctrl+Down)"},
        {form.actRenderPreview, "F5", "Önizleme (F5)"},
        {form.actThumbnail, "Ctrl+T", "Küçük Resim (Ctrl+T)"},
        {form.actRender, "Ctrl+Return", "Başlat (Ctrl+Return)"},
    };
    for (const auto &e : expected) {
        QCOMPARE(e.action->shortcut().toString(), e.keys);
        QCOMPARE(e.action->toolTip(), e.tip);
    }
    QCOMPARE(form.actRender->shortcuts().size(), 2);
    QCOMPARE(form.actVideoDelete->shortcutContext(), Qt::WidgetWithChildrenShortcut);
    QVERIFY(form.videoList->actions().contains(form.actVideoDelete));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy added(form.actVideoLocal, &QAction::triggered);
    form.videoListController->chooseVideoFiles = [](QWidget *) { return QStringList(); };
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(added.size(), 1);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
