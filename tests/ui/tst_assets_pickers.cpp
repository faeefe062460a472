// The overlay and clip pickers over their library folders: the fillers' selection rules, adding
// and deleting files, and choosing in the picture window.

#include "support/testsupport.h"
#include "ui/assets/assetlibrary.h"
#include "ui/assets/imagepreviewform.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/render/settingspanel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace fulmaro;

namespace {

bool makePng(const QString &path, QColor colour = Qt::red, QSize size = {8, 8})
{
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    return picture.save(path, "PNG");
}

QStringList entries(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QStringList rows(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

struct Question
{
    MsgDlgType type;
    QString text;
};

} // namespace

class TestAssetPickers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startUp();
    void fillRules_data();
    void fillRules();
    void addPictures();
    void addClips();
    void deleting_data();
    void deleting();
    void deleteNeedsAFileEntry_data();
    void deleteNeedsAFileEntry();
    void pictureWindowChoosesAndCancels();
    void choiceTakesFirstEqualEntry();
    void pictureWindowChoiceEnablesLogoControls();
    void pictureWindowNotOpened();

private:
    QComboBox *picker(const QString &name) const { return m_form->findChild<QComboBox *>(name); }
    QString folder(const QString &pickerName) const;
    // Runs work on the picture window once it is up; records whether it came up.
    void onPictureWindow(std::function<void(ImagePreviewForm *)> work);

    std::unique_ptr<QTemporaryDir> m_dir;
    MainForm *m_form = nullptr;
    SettingsPanel *p = nullptr;
    QList<Question> m_questions;
    int m_answer = kMsgYes;
    bool m_windowSeen = false;
};

void TestAssetPickers::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_form = new MainForm(WorkFolders::under(m_dir->path()));
    p = m_form->renderSettings;
    QVERIFY(p && p->assets);
    m_questions.clear();
    m_answer = kMsgYes;
    m_windowSeen = false;
    setMsgHook([this](MsgDlgType type, const QString &text) {
        m_questions.append({type, text});
        return m_answer;
    });
}

void TestAssetPickers::cleanup()
{
    setMsgHook(nullptr);
    delete m_form;
    m_form = nullptr;
}

QString TestAssetPickers::folder(const QString &pickerName) const
{
    const WorkFolders &f = m_form->folders;
    if (pickerName == QLatin1String("cbFilter"))
        return f.filterDir;
    if (pickerName == QLatin1String("cbFrame"))
        return f.frameDir;
    if (pickerName == QLatin1String("cbLogo"))
        return f.logoDir;
    return pickerName == QLatin1String("cbIntro") ? f.introDir : f.outroDir;
}

void TestAssetPickers::onPictureWindow(std::function<void(ImagePreviewForm *)> work)
{
    QTimer::singleShot(0, this, [this, work] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *form = qobject_cast<ImagePreviewForm *>(w);
            if (form && form->isVisible()) {
                m_windowSeen = true;
                work(form);
                // Whatever the check did, the modal run must end.
                if (form->isVisible())
                    form->reject();
                return;
            }
        }
    });
}

void TestAssetPickers::startUp()
{
    // Folders that already hold files when the program starts: every picker lists its files
    // and shows "Yok".
    delete m_form;
    const WorkFolders folders = WorkFolders::under(m_dir->path());
    folders.create();
    QVERIFY(makePng(folders.filterDir + QStringLiteral("yağmur.png")));
    QVERIFY(makePng(folders.frameDir + QStringLiteral("ahşap.png")));
    QVERIFY(makePng(folders.logoDir + QStringLiteral("Kanal.PNG")));
    QVERIFY(QFile(folders.introDir + QStringLiteral("giriş.mp4")).open(QIODevice::WriteOnly));
    QVERIFY(QFile(folders.outroDir + QStringLiteral("son.MP4")).open(QIODevice::WriteOnly));
    m_form = new MainForm(folders);
    p = m_form->renderSettings;

    QCOMPARE(entries(p->cbFilter), QStringList({"Yok", "yağmur"}));
    QCOMPARE(entries(p->cbFrame), QStringList({"Yok", "Fulmaro Özel 1", "Fulmaro Özel 2",
                                               "Fulmaro Özel 3", "Fulmaro Özel 4", "ahşap"}));
    QCOMPARE(entries(p->cbLogo), QStringList({"Yok", "Kanal"}));
    QCOMPARE(entries(p->cbIntro), QStringList({"Yok", "giriş"}));
    QCOMPARE(entries(p->cbOutro), QStringList({"Yok", "son"}));
    for (QComboBox *box : {p->cbFilter, p->cbFrame, p->cbLogo, p->cbIntro, p->cbOutro})
        QCOMPARE(box->currentIndex(), 0);
}

void TestAssetPickers::fillRules_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QStringList>("before");  // files when the picker is first filled
    QTest::addColumn<QString>("shown");       // entry the user picks then; empty: none
    QTest::addColumn<QStringList>("added");   // files put in afterwards
    QTest::addColumn<QStringList>("removed"); // files taken away afterwards
    QTest::addColumn<QString>("fileName");    // the refill's argument
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("index");

    const QString filter = QStringLiteral("cbFilter");
    const QString frame = QStringLiteral("cbFrame");
    const QStringList builtIn = {"Yok", "Fulmaro Özel 1", "Fulmaro Özel 2", "Fulmaro Özel 3",
                                 "Fulmaro Özel 4"};

    QTest::newRow("empty filter library") << filter << QStringList() << "" << QStringList()
                                          << QStringList() << "" << QStringList{"Yok"} << 0;
    QTest::newRow("empty frame library")
        << frame << QStringList() << "" << QStringList() << QStringList() << "" << builtIn << 0;
    QTest::newRow("shown entry kept at its new place")
        << "cbLogo" << QStringList{"b.png", "c.png"} << "c" << QStringList{"a.png"} << QStringList()
        << "" << QStringList{"Yok", "a", "b", "c"} << 3;
    QTest::newRow("shown entry gone: none selected")
        << filter << QStringList{"b.png", "c.png"} << "c" << QStringList() << QStringList{"c.png"}
        << "" << QStringList{"Yok", "b"} << -1;
    QTest::newRow("built-in frame kept")
        << frame << QStringList{"ahşap.png"} << "Fulmaro Özel 3" << QStringList() << QStringList()
        << "" << builtIn + QStringList{"ahşap"} << 3;
    QTest::newRow("named file selected without regard to case")
        << filter << QStringList{"a.png", "yağmur.png"} << "" << QStringList() << QStringList()
        << "/elsewhere/YAĞMUR.png" << QStringList{"Yok", "a", "yağmur"} << 2;
    QTest::newRow("named file not a png: none selected")
        << filter << QStringList{"a.png"} << "a" << QStringList{"photo.jpg"} << QStringList()
        << "/elsewhere/photo.jpg" << QStringList{"Yok", "a"} << -1;
    QTest::newRow("upper-case extension listed")
        << "cbLogo" << QStringList{"Logo.PNG", "kanal.png"} << "Logo" << QStringList()
        << QStringList() << "" << QStringList{"Yok", "kanal", "Logo"} << 2;
    QTest::newRow("a file named Yok: the first Yok")
        << filter << QStringList{"Yok.png"} << "" << QStringList() << QStringList() << ""
        << QStringList{"Yok", "Yok"} << 0;
}

void TestAssetPickers::fillRules()
{
    QFETCH(QString, picker);
    QFETCH(QStringList, before);
    QFETCH(QString, shown);
    QFETCH(QStringList, added);
    QFETCH(QStringList, removed);
    QFETCH(QString, fileName);
    QFETCH(QStringList, expected);
    QFETCH(int, index);

    QComboBox *box = this->picker(picker);
    const QString dir = folder(picker);
    for (const QString &file : before)
        QVERIFY(makePng(dir + file));
    p->fillPickers();
    if (!shown.isEmpty()) {
        box->setCurrentIndex(box->findText(shown));
        QCOMPARE(box->currentText(), shown);
    }
    for (const QString &file : added)
        QVERIFY(makePng(dir + file));
    for (const QString &file : removed)
        QVERIFY(QFile::remove(dir + file));

    AssetLibrary *a = p->assets;
    a->fill(picker == QLatin1String("cbFilter")  ? Library::Filter
            : picker == QLatin1String("cbFrame") ? Library::Frame
                                                 : Library::Logo,
            fileName);
    QCOMPARE(entries(box), expected);
    QCOMPARE(box->currentIndex(), index);
    // A picker without a selection counts as "Yok" for the builder.
    if (index < 0)
        QCOMPARE(
            picker == QLatin1String("cbFilter") ? p->settings().cbFilter : p->settings().cbLogo, 0);
}

void TestAssetPickers::addPictures()
{
    const QString outside = m_dir->path() + QStringLiteral("/disk/");
    QVERIFY(QDir().mkpath(outside));
    for (const char *name : {"deniz.png", "ağaç.png", "bulut.png"})
        QVERIFY(makePng(outside + QString::fromUtf8(name), Qt::blue));
    // "deniz" is in the library already and is replaced.
    QVERIFY(makePng(m_form->folders.logoDir + QStringLiteral("deniz.png"), Qt::green));
    p->assets->fill(Library::Logo);

    QStringList offered;
    p->assets->openPictureDialog = [&](QWidget *) {
        offered << QStringLiteral("asked");
        return QStringList{outside + QStringLiteral("deniz.png"),
                           outside + QStringLiteral("bulut.png"),
                           outside + QStringLiteral("ağaç.png")};
    };
    QTest::mouseClick(p->btnLogoNew, Qt::LeftButton);
    QCOMPARE(offered.size(), 1);
    QCOMPARE(entries(p->cbLogo), QStringList({"Yok", "ağaç", "bulut", "deniz"}));
    // The last chosen file is the one selected, and the logo's sub-controls follow it.
    QCOMPARE(p->cbLogo->currentText(), QStringLiteral("ağaç"));
    QVERIFY(p->cbLogoPosition->isEnabled());
    QVERIFY(p->cbLogoScale->isEnabled());
    QCOMPARE(QImage(m_form->folders.logoDir + QStringLiteral("deniz.png")).pixelColor(0, 0),
             QColor(Qt::blue));

    // A cancelled dialog changes nothing.
    p->assets->openPictureDialog = [](QWidget *) { return QStringList(); };
    QTest::mouseClick(p->btnLogoNew, Qt::LeftButton);
    QCOMPARE(p->cbLogo->currentText(), QStringLiteral("ağaç"));

    // Each button fills its own library.
    p->assets->openPictureDialog = [&](QWidget *) {
        return QStringList{outside + QStringLiteral("bulut.png")};
    };
    QTest::mouseClick(p->btnFrameNew, Qt::LeftButton);
    QCOMPARE(entries(p->cbFrame).mid(5), QStringList({"bulut"}));
    QCOMPARE(p->cbFrame->currentIndex(), 5);
    QTest::mouseClick(p->btnFilterNew, Qt::LeftButton);
    QCOMPARE(entries(p->cbFilter), QStringList({"Yok", "bulut"}));
    QVERIFY(QFile::exists(m_form->folders.filterDir + QStringLiteral("bulut.png")));
}

void TestAssetPickers::addClips()
{
    const QString outside = m_dir->path() + QStringLiteral("/disk/");
    QVERIFY(QDir().mkpath(outside));
    for (const char *name : {"a.mp4", "b.mkv"})
        QVERIFY(QFile(outside + QLatin1String(name)).open(QIODevice::WriteOnly));
    p->assets->openVideoDialog = [&](QWidget *) {
        return QStringList{outside + QStringLiteral("a.mp4"), outside + QStringLiteral("b.mkv")};
    };
    p->btnIntroNew->setEnabled(true);
    QTest::mouseClick(p->btnIntroNew, Qt::LeftButton);
    // The mkv is copied but not listed; the picker still shows what it showed.
    QVERIFY(QFile::exists(m_form->folders.introDir + QStringLiteral("b.mkv")));
    QCOMPARE(entries(p->cbIntro), QStringList({"Yok", "a"}));
    QCOMPARE(p->cbIntro->currentIndex(), 0);
    QCOMPARE(entries(p->cbOutro), QStringList({"Yok"}));

    p->cbIntro->setCurrentIndex(1);
    p->assets->addFiles(Library::Outro);
    QCOMPARE(entries(p->cbOutro), QStringList({"Yok", "a"}));
    p->assets->fill(Library::Intro);
    QCOMPARE(p->cbIntro->currentText(), QStringLiteral("a"));
}

void TestAssetPickers::deleting_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("deleted");

    QTest::newRow("filter, yes") << "cbFilter"
                                 << "btnFilterDelete" << kMsgYes
                                 << "Seçili filtre [Kuş] listeden çıkartılsın mı?" << true;
    QTest::newRow("filter, no") << "cbFilter"
                                << "btnFilterDelete" << kMsgNo
                                << "Seçili filtre [Kuş] listeden çıkartılsın mı?" << false;
    QTest::newRow("filter, closed") << "cbFilter"
                                    << "btnFilterDelete" << kMsgClosed
                                    << "Seçili filtre [Kuş] listeden çıkartılsın mı?" << false;
    QTest::newRow("frame, yes") << "cbFrame"
                                << "btnFrameDelete" << kMsgYes
                                << "Seçili çerçeve [Kuş] listeden çıkartılsın mı?" << true;
    QTest::newRow("logo, no") << "cbLogo"
                              << "btnLogoDelete" << kMsgNo
                              << "Seçili logo [Kuş] listeden çıkartılsın mı?" << false;
    QTest::newRow("logo, yes") << "cbLogo"
                               << "btnLogoDelete" << kMsgYes
                               << "Seçili logo [Kuş] listeden çıkartılsın mı?" << true;
}

void TestAssetPickers::deleting()
{
    QFETCH(QString, picker);
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(bool, deleted);

    const QString dir = folder(picker);
    // Upper-case extension: the entry's file is found without regard to case.
    QVERIFY(makePng(dir + QStringLiteral("Kuş.PNG")));
    QVERIFY(makePng(dir + QStringLiteral("zeytin.png")));
    p->fillPickers();
    QComboBox *box = this->picker(picker);
    box->setCurrentIndex(box->findText(QStringLiteral("Kuş")));
    const QStringList before = entries(box);

    m_answer = answer;
    QTest::mouseClick(m_form->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(m_questions.size(), 1);
    QCOMPARE(m_questions.constFirst().type, MsgDlgType::mtConfirmation);
    QCOMPARE(m_questions.constFirst().text, question);
    QCOMPARE(QFile::exists(dir + QStringLiteral("Kuş.PNG")), !deleted);
    QVERIFY(QFile::exists(dir + QStringLiteral("zeytin.png")));
    if (deleted) {
        QVERIFY(!entries(box).contains(QStringLiteral("Kuş")));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->currentText(), QStringLiteral("Yok"));
    } else {
        QCOMPARE(entries(box), before);
        QCOMPARE(box->currentText(), QStringLiteral("Kuş"));
    }
}

void TestAssetPickers::deleteNeedsAFileEntry_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("index");

    QTest::newRow("filter Yok") << "cbFilter"
                                << "btnFilterDelete" << 0;
    QTest::newRow("logo Yok") << "cbLogo"
                              << "btnLogoDelete" << 0;
    QTest::newRow("frame Yok") << "cbFrame"
                               << "btnFrameDelete" << 0;
    for (int i = 1; i <= 4; ++i)
        QTest::addRow("built-in frame %d", i) << "cbFrame"
                                              << "btnFrameDelete" << i;
}

void TestAssetPickers::deleteNeedsAFileEntry()
{
    QFETCH(QString, picker);
    QFETCH(QString, button);
    QFETCH(int, index);

    // Files named like the fixed entries must survive a delete of those entries.
    const QString dir = folder(picker);
    QVERIFY(makePng(dir + QStringLiteral("Yok.png")));
    QVERIFY(makePng(dir + QStringLiteral("Fulmaro Özel 1.png")));
    p->fillPickers();
    QComboBox *box = this->picker(picker);
    box->setCurrentIndex(index);
    QTest::mouseClick(m_form->findChild<QToolButton *>(button), Qt::LeftButton);
    QVERIFY(m_questions.isEmpty());
    QVERIFY(QFile::exists(dir + QStringLiteral("Yok.png")));
    QVERIFY(QFile::exists(dir + QStringLiteral("Fulmaro Özel 1.png")));
    QCOMPARE(box->currentIndex(), index);
}

void TestAssetPickers::pictureWindowChoosesAndCancels()
{
    const QString dir = m_form->folders.frameDir;
    QVERIFY(makePng(dir + QStringLiteral("ahşap.png"), Qt::darkYellow, {40, 20}));
    QVERIFY(makePng(dir + QStringLiteral("Kenar.PNG"), Qt::cyan, {10, 30}));
    p->fillPickers();
    p->cbFrame->setCurrentIndex(p->cbFrame->findText(QStringLiteral("Kenar")));

    // The window lists the frame files only, with the current one selected and shown.
    QStringList listed;
    int preselected = -1;
    QColor shown;
    onPictureWindow([&](ImagePreviewForm *form) {
        QCOMPARE(form->windowTitle(), QStringLiteral("Önizleme"));
        listed = rows(form->imageListBox);
        preselected = form->imageListBox->currentRow();
        shown = form->image->picture().pixelColor(0, 0);
        // A pick with the keyboard shows that picture in turn.
        form->imageListBox->setFocus();
        QTest::keyClick(form->imageListBox, Qt::Key_Up);
        QCOMPARE(form->image->picture().pixelColor(0, 0), QColor(Qt::darkYellow));
        QTest::mouseClick(form->chooseButton, Qt::LeftButton);
    });
    QTest::mouseClick(p->btnFramePreview, Qt::LeftButton);
    QVERIFY(m_windowSeen);
    QCOMPARE(listed, QStringList({"ahşap", "Kenar"}));
    QCOMPARE(preselected, 1);
    QCOMPARE(shown, QColor(Qt::cyan));
    QCOMPARE(p->cbFrame->currentText(), QStringLiteral("ahşap"));
    QCOMPARE(p->cbFrame->currentIndex(), 5);
    QVERIFY(m_questions.isEmpty());

    // Closing the window by its close box changes nothing, whatever was selected in it.
    m_windowSeen = false;
    onPictureWindow([](ImagePreviewForm *form) {
        form->imageListBox->setCurrentRow(1);
        QVERIFY(form->close());
        QCOMPARE(form->result(), int(QDialog::Rejected));
    });
    QTest::mouseClick(p->btnFramePreview, Qt::LeftButton);
    QVERIFY(m_windowSeen);
    QCOMPARE(p->cbFrame->currentText(), QStringLiteral("ahşap"));

    // With a built-in frame shown, nothing is preselected and the area stays empty.
    p->cbFrame->setCurrentIndex(2);
    m_windowSeen = false;
    onPictureWindow([&](ImagePreviewForm *form) {
        preselected = form->imageListBox->currentRow();
        QVERIFY(form->image->picture().isNull());
        // "Seç" without a selected entry leaves the window open.
        QTest::mouseClick(form->chooseButton, Qt::LeftButton);
        QVERIFY(form->isVisible());
    });
    QTest::mouseClick(p->btnFramePreview, Qt::LeftButton);
    QVERIFY(m_windowSeen);
    QCOMPARE(preselected, -1);
    QCOMPARE(p->cbFrame->currentIndex(), 2);
}

void TestAssetPickers::choiceTakesFirstEqualEntry()
{
    // A library file named "Yok" is listed after the fixed "Yok"; choosing it in the window
    // selects the first equal entry, which is "Yok", and no filter is used.
    const QString dir = m_form->folders.filterDir;
    QVERIFY(makePng(dir + QStringLiteral("Yok.png")));
    QVERIFY(makePng(dir + QStringLiteral("mavi.png")));
    p->fillPickers();
    p->cbFilter->setCurrentIndex(2); // "mavi"
    onPictureWindow([](ImagePreviewForm *form) {
        form->imageListBox->setCurrentRow(rows(form->imageListBox).indexOf(QStringLiteral("Yok")));
        QTest::mouseClick(form->chooseButton, Qt::LeftButton);
    });
    QTest::mouseClick(p->btnFilterPreview, Qt::LeftButton);
    QVERIFY(m_windowSeen);
    QCOMPARE(p->cbFilter->currentIndex(), 0);
    QCOMPARE(p->settings().cbFilter, 0);
}

void TestAssetPickers::pictureWindowChoiceEnablesLogoControls()
{
    // A logo chosen in the picture window is rendered: its position and size can be set.
    QVERIFY(makePng(m_form->folders.logoDir + QStringLiteral("kanal.png")));
    p->fillPickers();
    const QList<QWidget *> subs = {p->cbLogoPosition, p->edLogoPositionX, p->edLogoPositionY,
                                   p->cbLogoScale};
    for (QWidget *w : subs)
        QVERIFY(!w->isEnabled());
    onPictureWindow([](ImagePreviewForm *form) {
        form->imageListBox->setCurrentRow(0);
        QTest::mouseClick(form->chooseButton, Qt::LeftButton);
    });
    QTest::mouseClick(p->btnLogoPreview, Qt::LeftButton);
    QVERIFY(m_windowSeen);
    QCOMPARE(p->cbLogo->currentText(), QStringLiteral("kanal"));
    QCOMPARE(p->settings().cbLogo, 1);
    for (QWidget *w : subs)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
}

void TestAssetPickers::pictureWindowNotOpened()
{
    // An empty library: the show button does nothing.
    onPictureWindow([](ImagePreviewForm *) {});
    QTest::mouseClick(p->btnLogoPreview, Qt::LeftButton);
    QTest::qWait(0);
    QVERIFY(!m_windowSeen);

    // The current entry's picture cannot be loaded: the error names the file, the window does
    // not open and the picker keeps its entry.
    const QString broken = m_form->folders.logoDir + QStringLiteral("kırık.png");
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    p->fillPickers();
    p->cbLogo->setCurrentIndex(1);
    onPictureWindow([](ImagePreviewForm *) {});
    QTest::mouseClick(p->btnLogoPreview, Qt::LeftButton);
    QTest::qWait(0);
    QVERIFY(!m_windowSeen);
    QCOMPARE(m_questions.size(), 1);
    QCOMPARE(m_questions.constFirst().type, MsgDlgType::mtError);
    QVERIFY2(m_questions.constFirst().text.contains(broken),
             qPrintable(m_questions.constFirst().text));
    QCOMPARE(p->cbLogo->currentIndex(), 1);
}

QTEST_MAIN(TestAssetPickers)
#include "tst_assets_pickers.moc"
