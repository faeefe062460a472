#include "core/base/pathtext.h"
#include "core/base/settingsfile.h"
#include "core/thumbnail/stillgrabber.h"
#include "core/videolist/videolistmodel.h"
#include "support/testsupport.h"
#include "support/videolistclips.h"
#include "ui/dialogs/addfromwebform.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/videolist/stilldelegate.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "ui/widgets/pathdelegate.h"

using namespace fulmaro;

class TestVideoList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void columns();
    void namesBeforeFolders();
    void remove_data();
    void remove();
    void removeWithoutMarksTakesTheHighlightedRow();
    void move_data();
    void move();
    void marks();
    void grouping();
    void multiFileAddKeepsPathOrder();
    void cancelledDialogAddsNothing();
    void dialogFilters();
    void webAddressWindow();
    void controllerOnBareView();
    void stillsFollowTheRows();

private:
    struct Form
    {
        MainForm form;
        VideoListController *list = nullptr;
        VideoListModel *model = nullptr;
    };
    std::unique_ptr<Form> makeForm(int rows = 0, const QList<int> &checked = {});
    static QStringList names(const VideoListModel *m);

    QTemporaryDir m_dir;
    QStringList m_clips;
};

void TestVideoList::initTestCase()
{
    testsupport::isolateDataHome();
    QVERIFY(testsupport::linkRealTools(WorkFolders::standard().binDir));
    for (const char *name : {"bir.mp4", "iki klip.MKV", "üç.avi"}) {
        m_clips << m_dir.filePath(QString::fromUtf8(name));
        QVERIFY(
            clips::make(m_clips.constLast(), 0.5, QStringLiteral("160x120"), m_clips.size() != 2));
    }
}

void TestVideoList::cleanup()
{
    setMsgHook({});
}

std::unique_ptr<TestVideoList::Form> TestVideoList::makeForm(int rows, const QList<int> &checked)
{
    auto f = std::make_unique<Form>();
    f->list = f->form.findChild<VideoListController *>();
    f->model = qobject_cast<VideoListModel *>(f->form.videoList->model());
    if (!f->list || !f->model)
        return nullptr;
    for (int i = 0; i < rows; ++i) {
        VideoItem item;
        item.caption = QString::number(i);
        item.checked = checked.contains(i);
        f->model->append(item);
    }
    return f;
}

QStringList TestVideoList::names(const VideoListModel *m)
{
    QStringList out;
    for (const VideoItem &i : m->items())
        out << i.caption + (i.checked ? QStringLiteral("*") : QString());
    return out;
}

void TestVideoList::columns()
{
    auto f = makeForm(2);
    QVERIFY(f);
    f->form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f->form));
    QHeaderView *header = f->form.videoList->header();
    QCOMPARE(header->count(), 5);
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Stretch);
    for (int c = 1; c < 5; ++c)
        QCOMPARE(header->sectionSize(c), 90);
    QCOMPARE(header->sectionSize(0), f->form.videoList->viewport()->width() - 4 * 90);
    QCOMPARE(f->form.videoList->selectionMode(), QAbstractItemView::SingleSelection);

    // A click on the check box marks the row.
    QTreeView *view = f->form.videoList;
    const QRect rect = view->visualRect(f->model->indexOfPosition(1));
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    opt.rect = rect;
    opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    QCOMPARE(names(f->model), QStringList({"0", "1*"}));
}

void TestVideoList::remove_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("Evet") << kMsgYes << QStringList{"0", "2", "4"};
    QTest::newRow("Hayır") << kMsgNo << QStringList{"0", "1*", "2", "3*", "4", "5*"};
    QTest::newRow("closed through the frame") << kMsgClosed << QStringList{"0", "2", "4"};
}

void TestVideoList::remove()
{
    QFETCH(int, answer);
    auto f = makeForm(6, {1, 3, 5});
    QVERIFY(f);
    f->list->selectPosition(4);
    QStringList asked;
    setMsgHook([&](MsgDlgType type, const QString &text) {
        asked << QString::number(int(type)) + QLatin1Char(' ') + text;
        return answer;
    });
    f->form.actVideoDelete->trigger();
    QCOMPARE(asked, QStringList{QStringLiteral("3 İşaretli 3 video listeden çıkartılsın mı?")});
    QTEST(names(f->model), "left");
    // The selected, unmarked row stays selected.
    QCOMPARE(f->model->item(f->list->selectedPosition()).caption, QStringLiteral("4"));
}

// Without marks "Sil" takes the highlighted row, naming it; with neither it asks nothing. One
// marked row is named too.
void TestVideoList::removeWithoutMarksTakesTheHighlightedRow()
{
    auto f = makeForm(3);
    QVERIFY(f);
    QStringList asked;
    int answer = kMsgYes;
    setMsgHook([&](MsgDlgType, const QString &text) { return asked << text, answer; });
    f->form.actVideoDelete->trigger();
    QCOMPARE(asked, QStringList());
    f->list->selectPosition(1);
    answer = kMsgNo;
    f->form.actVideoDelete->trigger();
    QCOMPARE(names(f->model), QStringList({"0", "1", "2"}));
    answer = kMsgYes;
    f->form.actVideoDelete->trigger();
    QCOMPARE(asked, QStringList({QStringLiteral("\"1\" listeden çıkartılsın mı?"),
                                 QStringLiteral("\"1\" listeden çıkartılsın mı?")}));
    QCOMPARE(names(f->model), QStringList({"0", "2"}));
    // The highlight moves to the row that took its place.
    QCOMPARE(f->list->selectedPosition(), 1);
    f->model->setData(f->model->indexOfPosition(0), Qt::Checked, Qt::CheckStateRole);
    f->form.actVideoDelete->trigger();
    QCOMPARE(asked.last(), QStringLiteral("\"0\" listeden çıkartılsın mı?"));
    QCOMPARE(names(f->model), QStringList({"2"}));
}

void TestVideoList::move_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("selectedAfter");
    QTest::newRow("up from the top")
        << 0 << QStringList{"up"} << QStringList{"0", "1*", "2", "3"} << 0;
    QTest::newRow("down from the bottom")
        << 3 << QStringList{"down"} << QStringList{"0", "1*", "2", "3"} << 3;
    QTest::newRow("nothing selected")
        << -1 << QStringList{"up", "down"} << QStringList{"0", "1*", "2", "3"} << -1;
    QTest::newRow("marked row up")
        << 1 << QStringList{"up"} << QStringList{"1*", "0", "2", "3"} << 0;
    QTest::newRow("down twice") << 0 << QStringList{"down", "down"}
                                << QStringList{"1*", "2", "0", "3"} << 2;
    QTest::newRow("down, up") << 2 << QStringList{"down", "up"} << QStringList{"0", "1*", "2", "3"}
                              << 2;
}

void TestVideoList::move()
{
    QFETCH(int, selected);
    QFETCH(QStringList, actions);
    auto f = makeForm(4, {1});
    QVERIFY(f);
    f->list->selectPosition(selected);
    for (const QString &a : actions)
        (a == QLatin1String("up") ? f->form.actVideoUp : f->form.actVideoDown)->trigger();
    QTEST(names(f->model), "order");
    QTEST(f->list->selectedPosition(), "selectedAfter");
}

void TestVideoList::marks()
{
    auto f = makeForm(4, {0, 2});
    QVERIFY(f);
    f->list->selectPosition(3);
    f->form.actSelectInvert->trigger();
    QCOMPARE(names(f->model), QStringList({"0", "1*", "2", "3*"}));
    f->form.actSelectInvert->trigger();
    QCOMPARE(names(f->model), QStringList({"0*", "1", "2*", "3"}));
    f->form.actSelectAll->trigger();
    QCOMPARE(names(f->model), QStringList({"0*", "1*", "2*", "3*"}));
    f->form.actSelectNone->trigger();
    QCOMPARE(names(f->model), QStringList({"0", "1", "2", "3"}));
    QCOMPARE(f->list->selectedPosition(), 3);
}

void TestVideoList::grouping()
{
    auto f = makeForm(4, {1, 3});
    QVERIFY(f);
    f->model->append([] {
        VideoItem i;
        i.caption = QStringLiteral("/v/yaz tatili.mp4");
        return i;
    }());
    f->list->selectPosition(3);
    f->form.actGroupCreate->trigger();
    QCOMPARE(f->model->groups().size(), 2);
    QCOMPARE(f->model->groups().at(1).header, QStringLiteral("Yeni Video Grubu"));
    QCOMPARE(f->model->checkedCount(), 0);
    QCOMPARE(f->list->selectedPosition(), 3);
    // The view shows two headers, their rows beneath them.
    QTreeView *view = f->form.videoList;
    QCOMPARE(f->model->rowCount(), 2);
    QVERIFY(view->isExpanded(f->model->index(1, 0)));
    QVERIFY(view->isFirstColumnSpanned(1, QModelIndex()));

    // Moving across groups changes positions only; each row keeps its group.
    f->form.actVideoUp->trigger();
    QCOMPARE(names(f->model), QStringList({"0", "1", "3", "2", "/v/yaz tatili.mp4"}));
    QCOMPARE(f->model->item(2).group, 1);
    QCOMPARE(f->list->selectedPosition(), 2);

    f->model->setData(f->model->indexOfPosition(4), Qt::Checked, Qt::CheckStateRole);
    f->model->setData(f->model->indexOfPosition(0), Qt::Checked, Qt::CheckStateRole);
    f->form.actVideoMerge->trigger();
    QCOMPARE(f->model->groups().size(), 3);
    QCOMPARE(f->model->groups().at(2).id, 2);
    QCOMPARE(f->model->groups().at(2).header, QStringLiteral("0"));
    QCOMPARE(f->model->item(4).group, 2);
    // Nothing marked: no group.
    f->form.actVideoMerge->trigger();
    f->form.actGroupCreate->trigger();
    QCOMPARE(f->model->groups().size(), 3);
}

void TestVideoList::multiFileAddKeepsPathOrder()
{
    auto f = makeForm();
    QVERIFY(f);
    QSignalSpy started(&f->form, &MainForm::startupDone);
    QVERIFY(f->form.startupHandled() || started.wait());
    const QString missing = m_dir.filePath(QStringLiteral("yok.mp4"));
    const QStringList chosen = {m_clips.at(2), missing, m_clips.at(0), m_clips.at(1),
                                m_clips.at(0)};
    f->list->chooseVideoFiles = [&](QWidget *) { return chosen; };
    QSignalSpy finished(f->list, &VideoListController::addFinished);
    f->form.actVideoLocal->trigger();
    QVERIFY(finished.wait(30000));
    // The add dialog opens where these came from next time.
    QCOMPARE(loadDialogFolder(f->form.folders.settingsFile(), QStringLiteral("videofolder")),
             QFileInfo(m_clips.at(2)).absolutePath());

    // A second add, as a drop would do it, lands after the first.
    f->form.addVideoFiles({m_clips.at(1)});
    QVERIFY(finished.wait(30000));

    QCOMPARE(names(f->model), QStringList({m_clips.at(2), m_clips.at(0), m_clips.at(1),
                                           m_clips.at(0), m_clips.at(1)}));
    const VideoItem &mkv = f->model->item(2);
    QCOMPARE(mkv.type, QStringLiteral("MKV"));
    QCOMPARE(mkv.resolution, QStringLiteral("160x120"));
    QCOMPARE(mkv.duration, QStringLiteral("00:00:00"));
    QVERIFY(!mkv.hasAudio);
    QVERIFY(f->model->item(0).hasAudio);
    QCOMPARE(f->model->item(0).frameRate, QStringLiteral("30/1"));
    QCOMPARE(f->model->data(f->model->index(1, 4)).toString(), QStringLiteral("160x120"));
}

void TestVideoList::cancelledDialogAddsNothing()
{
    auto f = makeForm(1);
    QVERIFY(f);
    bool asked = false;
    f->list->chooseVideoFiles = [&](QWidget *) {
        asked = true;
        return QStringList();
    };
    f->form.actVideoLocal->trigger();
    QVERIFY(asked);
    QVERIFY(!f->list->isAdding());
    QCOMPARE(f->model->count(), 1);
}

void TestVideoList::dialogFilters()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    QDir().mkpath(m_dir.filePath(QStringLiteral("süzgeç")));
    for (const char *n : {"a.mp4", "b.mkv", "c.avi", "d.flv", "e.txt", "f.mov"})
        QFile(m_dir.filePath(QStringLiteral("süzgeç/") + QLatin1String(n)))
            .open(QIODevice::WriteOnly);
    dialog.setDirectory(m_dir.filePath(QStringLiteral("süzgeç")));
    dialog.setNameFilters(videoDialogNameFilters());
    dialog.selectNameFilter(videoDialogNameFilters().constFirst());

    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown << types->itemText(i);
    QStringList expected = {QStringLiteral("Video Dosyaları")};
    QStringList patterns;
    for (const QString &ext : videoExtensions())
        expected << ext, patterns << QStringLiteral("*.") + ext;
    expected << QStringLiteral("Tüm dosyalar");
    QCOMPARE(shown, expected);
    for (const char *ext :
         {"mov", "webm", "m4v", "3gp", "mts", "m2ts", "ts", "mpg", "mpeg", "wmv", "ogv"})
        QVERIFY2(patterns.contains(QStringLiteral("*.") + QLatin1String(ext)), ext);
    auto *files = dialog.findChild<QFileSystemModel *>();
    QVERIFY(files);
    QCOMPARE(files->nameFilters(), patterns);
    dialog.selectNameFilter(videoDialogNameFilters().at(2));
    QCOMPARE(files->nameFilters(), QStringList({"*.mkv"}));
    QCOMPARE(videoDialogNameFilters().at(1), QStringLiteral("mp4 (*.mp4)"));
    dialog.selectNameFilter(videoDialogNameFilters().constLast());
    QCOMPARE(files->nameFilters(), QStringList({"*"}));
}

void TestVideoList::webAddressWindow()
{
    auto f = makeForm(2, {0});
    QVERIFY(f);
    // Looked at while the window runs modally, then closed whatever was found.
    QString title, band, buttonText;
    QSize size;
    int bandHeight = 0, memoTop = 0, buttonTop = 0;
    bool modal = false, noWrap = false, scrollBar = false, stillOpen = false;
    QTimer probe;
    probe.setInterval(20);
    connect(&probe, &QTimer::timeout, this, [&] {
        auto *w = qobject_cast<AddFromWebForm *>(QApplication::activeModalWidget());
        if (!w)
            return;
        probe.stop();
        title = w->windowTitle();
        size = w->size();
        modal = w->isModal();
        if (auto *label = w->findChild<QLabel *>()) {
            band = label->text();
            bandHeight = label->height();
        }
        if (auto *memo = w->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"))) {
            noWrap = memo->lineWrapMode() == QPlainTextEdit::NoWrap;
            scrollBar = memo->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
            memoTop = memo->mapTo(w, QPoint(0, 0)).y();
            memo->setPlainText(QStringLiteral("https://example.org/a.mp4"));
        }
        if (auto *button = w->findChild<QPushButton *>(QStringLiteral("Button1"))) {
            buttonText = button->text();
            buttonTop = button->mapTo(w, QPoint(0, 0)).y();
            QTest::mouseClick(button, Qt::LeftButton);
        }
        stillOpen = w->isVisible();
        w->close();
    });
    probe.start();
    f->form.actVideoInternet->trigger();
    QCOMPARE(title, QStringLiteral("Internetten Video Ekle"));
    QCOMPARE(size, QSize(683, 369));
    QVERIFY(modal);
    QCOMPARE(band, QStringLiteral(" Her satıra 1 link gelecek şekilde giriş yapabilirsiniz."));
    QCOMPARE(bandHeight, 41);
    QVERIFY(noWrap);
    QVERIFY(scrollBar);
    QCOMPARE(memoTop, 41 + 5);
    QCOMPARE(buttonText, QStringLiteral("Button1"));
    QVERIFY(buttonTop >= 369 - 41);
    QVERIFY(stillOpen);
    QCOMPARE(names(f->model), QStringList({"0*", "1"}));
}

void TestVideoList::controllerOnBareView()
{
    // The list needs only its view, its actions and the shared folders and tools.
    const WorkFolders folders = WorkFolders::standard();
    ToolSet tools = ToolSet::configured(folders.binDir);
    QWidget parent;
    QTreeView view(&parent);
    QAction add, remove, down;
    VideoListActions actions;
    actions.videoLocal = &add;
    actions.videoDelete = &remove;
    actions.videoDown = &down;
    VideoListController list(&view, actions, {folders, tools, &parent});
    list.chooseVideoFiles = [this](QWidget *dialogParent) {
        return dialogParent ? QStringList{m_clips.at(0), m_clips.at(2)} : QStringList();
    };

    QSignalSpy added(&list, &VideoListController::addFinished);
    add.trigger();
    QVERIFY(added.wait(30000));
    QCOMPARE(view.model(), list.model());
    QCOMPARE(list.model()->count(), 2);
    QCOMPARE(list.model()->item(1).caption, m_clips.at(2));
    QVERIFY(!list.model()->item(0).duration.isEmpty());

    list.selectPosition(0);
    down.trigger();
    QCOMPARE(list.model()->item(0).caption, m_clips.at(2));
    QCOMPARE(list.selectedPosition(), 1);

    setMsgHook([](MsgDlgType, const QString &) { return kMsgYes; });
    list.model()->setAllChecked(true);
    remove.trigger();
    QCOMPARE(list.model()->count(), 0);
}

// Each row gets a still of its own video, grabbed by the encoder after the probe and kept to the
// video's proportions; a file without a picture gets the sign.
void TestVideoList::stillsFollowTheRows()
{
    const WorkFolders folders = WorkFolders::standard();
    QVERIFY(testsupport::linkRealTools(folders.binDir));
    const QString wide = m_dir.filePath(QStringLiteral("geniş.mp4"));
    const QString tall = m_dir.filePath(QStringLiteral("dik.mkv"));
    const QString sound = m_dir.filePath(QStringLiteral("yalnız ses.mp4"));
    QVERIFY(clips::make(wide, 2, QStringLiteral("320x180"), true));
    QVERIFY(clips::make(tall, 2, QStringLiteral("120x160"), false));
    QProcess makeSound;
    makeSound.start(QStringLiteral(TOOLS_DIR "/ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i",
                                                          "sine=duration=1", "-c:a", "aac", sound});
    QVERIFY(makeSound.waitForFinished(60000) && makeSound.exitCode() == 0);

    ToolSet tools = ToolSet::configured(folders.binDir);
    QWidget parent;
    QTreeView view(&parent);
    VideoListController list(&view, VideoListActions{}, {folders, tools, &parent});
    QSignalSpy added(&list, &VideoListController::addFinished);
    list.addVideoFiles({wide, sound, tall});
    QVERIFY(added.wait(30000));
    VideoListModel *model = list.model();
    QCOMPARE(model->count(), 3);
    QCOMPARE(model->item(1).stillState, StillState::None); // known from the probe alone

    QTRY_VERIFY_WITH_TIMEOUT(model->item(0).stillState != StillState::Pending &&
                                 model->item(2).stillState != StillState::Pending,
                             60000);
    QTRY_VERIFY(list.stills()->isIdle());
    const QPixmap widePicture = StillDelegate::stillPixmap(model->indexOfPosition(0));
    const QPixmap tallPicture = StillDelegate::stillPixmap(model->indexOfPosition(2));
    QCOMPARE(model->item(0).stillState, StillState::Ready);
    QCOMPARE(model->item(2).stillState, StillState::Ready);
    QCOMPARE(widePicture.size(), QSize(128, 72));
    QCOMPARE(tallPicture.size(), QSize(54, 72));
    // The picture is the clip's test pattern, not a blank frame.
    const QImage image = widePicture.toImage();
    QSet<QRgb> colours;
    for (int x = 0; x < image.width(); x += 4)
        colours.insert(image.pixel(x, image.height() / 2));
    QVERIFY2(colours.size() > 4, qPrintable(QString::number(colours.size())));
    QCOMPARE(StillDelegate::stillPixmap(model->indexOfPosition(1)).toImage(),
             StillDelegate::noPictureSign().toImage());
    // No scratch picture is left behind.
    QCOMPARE(QDir(folders.tempDir).entryList({QStringLiteral("still_*")}, QDir::Files),
             QStringList());

    // The still travels with its row, and every line has room for it.
    list.selectPosition(0);
    model->exchangeItems(0, 2);
    QCOMPARE(StillDelegate::stillPixmap(model->indexOfPosition(2)).size(), QSize(128, 72));
    QVERIFY(view.sizeHintForRow(0) >= StillDelegate::stillSize().height());
}

// Twenty files of one folder read apart: the name stays whole, the folder gives way in its
// middle, and the whole path is the row's tip.
void TestVideoList::namesBeforeFolders()
{
    const QFontMetrics metrics(QApplication::font());
    const QString folder = QStringLiteral("/home/kullanıcı/Videolar/2024 yaz tatili/kamera kartı");
    const PathDelegate::Parts narrow =
        PathDelegate::parts(folder + QStringLiteral("/klip 17.mp4"), QString(),
                            metrics.horizontalAdvance(folder) / 2, metrics);
    QCOMPARE(narrow.name, QStringLiteral("klip 17.mp4"));
    QVERIFY2(narrow.folder.contains(QChar(0x2026)) && narrow.folder.startsWith("/home") &&
                 narrow.folder.endsWith(QStringLiteral("kartı")),
             qPrintable(narrow.folder));
    const PathDelegate::Parts wide =
        PathDelegate::parts(folder + QStringLiteral("/klip 17.mov"),
                            QStringLiteral("/çıktı/klip 17.mp4"), 10000, metrics);
    QCOMPARE(wide.name, QStringLiteral("klip 17.mov → klip 17.mp4"));
    QCOMPARE(wide.folder, folder);

    VideoListModel model;
    VideoItem item;
    item.caption = folder + QStringLiteral("/klip 17.mp4");
    model.append(item);
    QCOMPARE(model.indexOfPosition(0).data(Qt::ToolTipRole).toString(), item.caption);
}

QTEST_MAIN(TestVideoList)
#include "tst_videolist.moc"
