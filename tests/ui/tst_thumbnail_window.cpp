// The thumbnail window with the real encoder and probe on clips made at test time.
#include "core/thumbnail/thumbnailcommand.h"
#include "core/videolist/videolistmodel.h"
#include "support/testsupport.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/thumbnail/thumbnailform.h"
#include "ui/videolist/videolistcontroller.h"
#include "ui/widgets/picturebox.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

using namespace fulmaro;

namespace {

// A 160x120 clip at 10 frames a second; the test pattern's counter differs from second to second.
bool makeClip(const QString &path, const QString &seconds)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
            {"-v", "error", "-y", "-f", "lavfi", "-i",
             "testsrc=size=160x120:rate=10:duration=" + seconds, "-c:v", "mpeg4", path});
    return p.waitForFinished(60000) && p.exitCode() == 0 && QFile::exists(path);
}

// What the encoder writes for this second when run directly, without the window.
QByteArray bareGrab(const QString &clip, int seconds, const QString &out)
{
    QFile::remove(out);
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
            {"-v", "error", "-y", "-ss", QString::number(seconds), "-i", clip, "-f", "image2",
             "-vframes", "1", "-preset", "ultrafast", out});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QFile f(out);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestThumbnailWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void frame();
    void range_data();
    void range();
    void dragMakesOnePicture();
    void savesEncoderBytes();
    void pastEndReportsAndRecovers();
    void respondsDuringRun();
    void openFromMainWindow_data();
    void openFromMainWindow();

private:
    std::unique_ptr<ThumbnailForm> open(const QString &clip);
    bool waitForPicture(ThumbnailForm &form, QSignalSpy &spy, bool expectLoaded);
    bool showSecond(ThumbnailForm &form, QSignalSpy &spy, int second);
    QStringList scratchFiles() const;

    WorkFolders m_folders;
    ToolSet m_tools;
    QTemporaryDir m_clips;
    QString m_long;  // 2.6 s: the range rounds up to 3, and second 3 lies past the end
    QString m_short; // 2.4 s
    QString m_tiny;  // 0.4 s
    QString m_noVideo;
    QStringList m_messages;
    QString m_saveTo;
    QString m_offeredName;
};

void TestThumbnailWindow::initTestCase()
{
    testsupport::isolateDataHome();
    m_folders = WorkFolders::standard();
    m_folders.create();
    QVERIFY(testsupport::linkRealTools(m_folders.binDir));
    m_tools = ToolSet::configured(m_folders.binDir);

    QVERIFY(m_clips.isValid());
    // Blanks, a dollar sign and Turkish letters: the name must reach the tools as it is.
    m_long = m_clips.filePath(QStringLiteral("kıyı $HOME şeridi.mp4"));
    m_short = m_clips.filePath(QStringLiteral("short.mp4"));
    m_tiny = m_clips.filePath(QStringLiteral("tiny.mp4"));
    m_noVideo = m_clips.filePath(QStringLiteral("not a video.mp4"));
    QVERIFY(makeClip(m_long, QStringLiteral("2.6")));
    QVERIFY(makeClip(m_short, QStringLiteral("2.4")));
    QVERIFY(makeClip(m_tiny, QStringLiteral("0.4")));
    QFile text(m_noVideo);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("just text\n");
    text.close();

    setMsgHook([this](MsgDlgType type, const QString &text) {
        m_messages << QString::number(int(type)) + QLatin1Char('|') + text;
        return kMsgYes;
    });
}

void TestThumbnailWindow::init()
{
    m_messages.clear();
    m_saveTo.clear();
    m_offeredName.clear();
}

void TestThumbnailWindow::cleanupTestCase()
{
    setMsgHook({});
}

std::unique_ptr<ThumbnailForm> TestThumbnailWindow::open(const QString &clip)
{
    auto form = std::make_unique<ThumbnailForm>(m_folders, m_tools);
    form->choosePictureFile = [this](QWidget *, const QString &proposed) {
        m_offeredName = proposed;
        return m_saveTo;
    };
    form->fileName = clip;
    form->prepareForm();
    form->show();
    // The random start makes the first picture unless it is second 0.
    if (form->positionSlider->value() != 0) {
        QSignalSpy first(form.get(), &ThumbnailForm::pictureDone);
        if (!first.wait(20000))
            return nullptr;
    }
    return form;
}

// Moves the slider to the second (if it is not there) and waits for that picture.
bool TestThumbnailWindow::showSecond(ThumbnailForm &form, QSignalSpy &spy, int second)
{
    if (form.positionSlider->value() == second && !form.pictureData().isEmpty())
        return true;
    form.positionSlider->setValue(second);
    return waitForPicture(form, spy, true);
}

// Waits for the run that the last slider change started.
bool TestThumbnailWindow::waitForPicture(ThumbnailForm &form, QSignalSpy &spy, bool expectLoaded)
{
    spy.clear();
    if (!spy.wait(20000) || spy.size() != 1)
        return false;
    return spy.at(0).at(0).toBool() == expectLoaded && !form.processStart;
}

QStringList TestThumbnailWindow::scratchFiles() const
{
    return QDir(m_folders.tempDir).entryList(QDir::Files | QDir::Hidden);
}

void TestThumbnailWindow::frame()
{
    ThumbnailForm form(m_folders, m_tools);
    QCOMPARE(form.windowTitle(), QStringLiteral("Küçük Resim"));
    QCOMPARE(form.size(), QSize(650, 438));
    QCOMPARE(form.randomButton->text(), QStringLiteral("Rastgele"));
    QCOMPARE(form.saveButton->text(), QStringLiteral("Kaydet"));
    QCOMPARE(form.closeButton->text(), QStringLiteral("Çıkış"));
    QCOMPARE(form.positionSlider->maximum(), 100);
    QCOMPARE(form.positionSlider->pageStep(), 10);
    QCOMPARE(form.delayTimer->interval(), 250);
    QVERIFY(form.delayTimer->isSingleShot() && !form.delayTimer->isActive());
    QVERIFY(form.pictureBox->picture().isNull());
    QVERIFY(!form.processStart);
    for (const char *name : {"Image1", "TrackBar1", "Button1", "Button2", "Button3", "Timer1"})
        QVERIFY2(form.findChild<QObject *>(QLatin1String(name)), name);

    // Neither Escape nor Enter acts on the window as a whole.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Return);
    QVERIFY(form.isVisible());
    form.closeButton->click();
    QVERIFY(!form.isVisible());
}

void TestThumbnailWindow::range_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<int>("maximum");
    QTest::newRow("2.6 s rounds up") << m_long << 3;
    QTest::newRow("2.4 s rounds down") << m_short << 2;
    QTest::newRow("0.4 s rounds to 0") << m_tiny << 0;
    QTest::newRow("no video") << m_noVideo << 0;
}

void TestThumbnailWindow::range()
{
    QFETCH(QString, clip);
    QFETCH(int, maximum);
    auto form = open(clip);
    QVERIFY(form);
    QCOMPARE(form->positionSlider->minimum(), 0);
    QCOMPARE(form->positionSlider->maximum(), maximum);
    // The clip's name, with the second of the picture once one is shown.
    QVERIFY2(form->proposedFileName() == proposedPictureName(clip) ||
                 form->proposedFileName() ==
                     proposedPictureName(clip, form->positionSlider->value()),
             qPrintable(form->proposedFileName()));

    const int start = form->positionSlider->value();
    QVERIFY(start == 0 || start < maximum);
    if (start == 0) {
        // The slider did not move: no picture is on its way, and there is nothing to save.
        QVERIFY(!form->delayTimer->isActive());
        QCOMPARE(form->windowTitle(), QStringLiteral("Küçük Resim"));
        m_saveTo = m_clips.filePath(QStringLiteral("nothing.jpg"));
        form->saveButton->click();
        QVERIFY(!QFile::exists(m_saveTo));
    } else {
        QCOMPARE(form->windowTitle(), thumbnailCaption(start));
        QVERIFY(!form->pictureBox->picture().isNull());
        QVERIFY(!form->pictureData().isEmpty());
    }
    QVERIFY(m_messages.isEmpty());
}

void TestThumbnailWindow::dragMakesOnePicture()
{
    auto form = open(m_long);
    QVERIFY(form);
    QSignalSpy spy(form.get(), &ThumbnailForm::pictureDone);

    // A drag across every position, back and forth, ending on second 1; the whole drag lasts
    // longer than the delay, but no pause within it does. The pauses sleep without handling
    // events: each key restarts the delay before its timeout could be delivered, however long a
    // busy machine keeps the test from running.
    QSlider *slider = form->positionSlider;
    for (int key : {Qt::Key_End, Qt::Key_Home, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                    Qt::Key_Left, Qt::Key_Left}) {
        QTest::keyClick(slider, Qt::Key(key));
        QVERIFY(form->delayTimer->isActive());
        QTest::qSleep(60);
    }
    QCOMPARE(slider->value(), 1);
    QCOMPARE(form->windowTitle(), thumbnailCaption(1));
    QVERIFY(spy.wait(20000));
    // Nothing further is on its way: no delay runs and no picture is being made.
    QVERIFY(!form->delayTimer->isActive());
    QVERIFY(!form->processStart);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    const QByteArray expected = bareGrab(m_long, 1, m_clips.filePath(QStringLiteral("bare1.jpg")));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(form->pictureData(), expected);
    QCOMPARE(scratchFiles(), QStringList());
}

void TestThumbnailWindow::savesEncoderBytes()
{
    auto form = open(m_long);
    QVERIFY(form);
    QSignalSpy spy(form.get(), &ThumbnailForm::pictureDone);
    const int second = 2;
    QVERIFY(showSecond(*form, spy, second));
    QCOMPARE(scratchFiles(), QStringList());

    // Whatever the chosen extension, the file holds the encoder's own bytes.
    m_saveTo = m_clips.filePath(QStringLiteral("saved.picture"));
    form->saveButton->click();
    QCOMPARE(m_offeredName, QStringLiteral("kıyı $HOME şeridi_00-00-02.jpg"));
    const QByteArray expected =
        bareGrab(m_long, second, m_clips.filePath(QStringLiteral("bare_saved.jpg")));
    QVERIFY(expected.startsWith("\xFF\xD8"));
    QCOMPARE(readAll(m_saveTo), expected);

    // Cancelling writes nothing; the dialog offers the name in the folder the last still went to.
    QFile::remove(m_saveTo);
    const QString chosen = m_saveTo;
    m_saveTo.clear();
    form->saveButton->click();
    QVERIFY(!QFile::exists(chosen));
    QCOMPARE(m_offeredName, m_clips.filePath(QStringLiteral("kıyı $HOME şeridi_00-00-02.jpg")));

    // A file that cannot be written is reported, not passed over.
    m_saveTo = m_clips.filePath(QStringLiteral("no such folder/x.jpg"));
    form->saveButton->click();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.constFirst().startsWith(QStringLiteral("1|")) &&
                 m_messages.constFirst().contains(QStringLiteral("no such folder/x.jpg")),
             qPrintable(m_messages.constFirst()));
}

void TestThumbnailWindow::pastEndReportsAndRecovers()
{
    auto form = open(m_long);
    QVERIFY(form);
    QSignalSpy spy(form.get(), &ThumbnailForm::pictureDone);
    QVERIFY(showSecond(*form, spy, 1));
    const QByteArray before = form->pictureData();
    QVERIFY(!before.isEmpty());

    // Second 3 of a 2.6-second clip: the encoder writes no picture. A picture of that name left
    // from an earlier session must not pass for it.
    const QString scratch = thumbnailScratchPath(m_folders.tempDir, m_long, 3);
    QFile stale(scratch);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(before);
    stale.close();
    form->positionSlider->setValue(3);
    QVERIFY(waitForPicture(*form, spy, false));
    QCOMPARE(m_messages.size(), 1);
    const QString message = m_messages.constFirst();
    QVERIFY2(message.startsWith(QStringLiteral("1|") + scratch + QStringLiteral(" ")),
             qPrintable(message));
    // The reason follows the name.
    const QString reason = message.section(QStringLiteral(": "), -1);
    QVERIFY2(!reason.trimmed().isEmpty() && !reason.contains(scratch), qPrintable(message));
    QCOMPARE(form->pictureData(), before);
    QVERIFY(!form->pictureBox->picture().isNull());
    QVERIFY(!form->processStart);
    QCOMPARE(scratchFiles(), QStringList());

    // The next move makes a picture again.
    form->positionSlider->setValue(2);
    QCOMPARE(form->windowTitle(), thumbnailCaption(2));
    QVERIFY(waitForPicture(*form, spy, true));
    const QByteArray expected = bareGrab(m_long, 2, m_clips.filePath(QStringLiteral("bare2.jpg")));
    QCOMPARE(form->pictureData(), expected);
    QVERIFY(form->pictureData() != before);
    QCOMPARE(m_messages.size(), 1);
}

void TestThumbnailWindow::respondsDuringRun()
{
    auto form = open(m_long);
    QVERIFY(form);
    QSignalSpy spy(form.get(), &ThumbnailForm::pictureDone);
    QVERIFY(showSecond(*form, spy, 1));
    const QByteArray previous = form->pictureData();

    // While the next picture is being made, the window handles events: the slider moves (and is
    // ignored), and "Kaydet" saves the picture already shown.
    m_saveTo = m_clips.filePath(QStringLiteral("during.jpg"));
    QFile::remove(m_saveTo);
    int ticksWhileBusy = 0;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!form->processStart)
            return;
        if (++ticksWhileBusy == 1) {
            form->positionSlider->setValue(0);
            form->saveButton->click();
        }
    });
    probe.start();
    form->positionSlider->setValue(2);
    QVERIFY(waitForPicture(*form, spy, true));
    probe.stop();

    QVERIFY(ticksWhileBusy > 0);
    QCOMPARE(form->positionSlider->value(), 0);
    QCOMPARE(form->windowTitle(), thumbnailCaption(2));
    QVERIFY(!form->delayTimer->isActive());
    QCOMPARE(readAll(m_saveTo), previous);
    QCOMPARE(form->pictureData(),
             bareGrab(m_long, 2, m_clips.filePath(QStringLiteral("bare_during.jpg"))));
}

void TestThumbnailWindow::openFromMainWindow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("opensFor");
    QTest::newRow("only row, not selected") << 1 << -1 << 0;
    QTest::newRow("two rows, none selected") << 2 << -1 << -1;
    QTest::newRow("two rows, second selected") << 2 << 1 << 1;
}

void TestThumbnailWindow::openFromMainWindow()
{
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(int, opensFor);
    const QStringList clips = QStringList{m_long, m_short}.mid(0, rows);

    MainForm form;
    form.checkInfo();
    auto *list = form.findChild<VideoListController *>();
    QVERIFY(list);
    QSignalSpy added(list, &VideoListController::addFinished);
    list->addVideoFiles(clips);
    QVERIFY(added.wait(20000));
    QCOMPARE(list->model()->count(), rows);
    form.videoList->selectionModel()->clearSelection();
    if (selected >= 0)
        list->selectPosition(selected);

    QString openedFor;
    int maximum = -1;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *w = qobject_cast<ThumbnailForm *>(QApplication::activeModalWidget())) {
            openedFor = w->fileName;
            maximum = w->positionSlider->maximum();
            w->closeButton->click();
        }
    });
    poll.start();
    QVERIFY(form.actThumbnail->isEnabled());
    form.actThumbnail->trigger();
    poll.stop();

    QCOMPARE(openedFor, opensFor < 0 ? QString() : clips.at(opensFor));
    if (opensFor >= 0)
        QCOMPARE(maximum, opensFor == 0 ? 3 : 2);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestThumbnailWindow)
#include "tst_thumbnail_window.moc"
