// Previews with the real encoder piped into a stand-in player that records its command line and
// stays open: one preview at a time, closed by the next preview, by a render and by closing the
// main window; and the clip previews of the intro and outro pickers.

#include "core/render/commandbuilder.h"
#include "core/videolist/videolistmodel.h"
#include "support/corpus.h"
#include "support/testsupport.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/queue/previewslot.h"
#include "ui/queue/renderactions.h"
#include "ui/render/settingspanel.h"
#include "ui/thumbnail/thumbnailform.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace fulmaro;

namespace {

struct PlayerStart
{
    qint64 pid = 0;
    QStringList args;
};

// The player starts recorded so far, in order.
QList<PlayerStart> playerStarts(const QString &log)
{
    QFile file(log);
    QList<PlayerStart> starts;
    if (!file.open(QIODevice::ReadOnly))
        return starts;
    PlayerStart current;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("pid=")))
            current = {line.mid(4).toLongLong(), {}};
        else if (line.startsWith(QLatin1String("arg=")))
            current.args << line.mid(4);
        else if (line == QLatin1String("end"))
            starts << current;
    }
    return starts;
}

// A killed player can take a moment to be gone after its interpreter has ended; the checks for
// "gone" wait for it.

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void selection();
    void onePreviewAtATime();
    void clipPreviews();
    void refusedRowsSayWhy_data();
    void refusedRowsSayWhy();

private:
    std::unique_ptr<MainForm> makeForm(const QStringList &files);
    bool waitForStarts(int count);

    QTemporaryDir m_dir;
    QString m_log;
    QString m_clipA;
    QString m_clipB;
    QStringList m_messages;
};

void TestPreview::initTestCase()
{
    testsupport::isolateDataHome();
    const QString bin = WorkFolders::standard().binDir;
    QVERIFY(testsupport::linkRealTools(bin));
    QFile::remove(bin + "ffplay");
    QVERIFY(QFile::link(QStringLiteral(FAKE_PLAYER), bin + "ffplay"));
    m_clipA = m_dir.filePath(QStringLiteral("a.mp4"));
    m_clipB = m_dir.filePath(QStringLiteral("b.mp4"));
    QVERIFY(testsupport::makeClip(m_clipA, 20, false, "160x120"));
    QVERIFY(testsupport::makeClip(m_clipB, 20, false, "160x120"));
    setMsgHook([this](MsgDlgType, const QString &text) {
        m_messages << text;
        return kMsgYes;
    });
}

void TestPreview::init()
{
    m_log =
        m_dir.filePath(QStringLiteral("player-%1.log").arg(QDateTime::currentMSecsSinceEpoch()));
    qputenv("FAKE_PLAYER_LOG", m_log.toUtf8());
    m_messages.clear();
}

std::unique_ptr<MainForm> TestPreview::makeForm(const QStringList &files)
{
    auto form = std::make_unique<MainForm>();
    form->checkInfo();
    auto *list = form->findChild<VideoListController *>();
    QSignalSpy added(list, &VideoListController::addFinished);
    list->addVideoFiles(files);
    if (!added.wait(60000) || list->model()->count() != files.size())
        return nullptr;
    return form;
}

bool TestPreview::waitForStarts(int count)
{
    return QTest::qWaitFor([&] { return playerStarts(m_log).size() >= count; }, 30000);
}

void TestPreview::selection()
{
    // Several rows and none selected: nothing plays.
    auto two = makeForm({m_clipA, m_clipB});
    QVERIFY(two);
    two->actRenderPreview->trigger();
    QVERIFY(!two->preview->run());
    QTest::qWait(200);
    QVERIFY(playerStarts(m_log).isEmpty());

    // The only row is selected and played.
    auto one = makeForm({m_clipB});
    QVERIFY(one);
    auto *list = one->findChild<VideoListController *>();
    QCOMPARE(list->selectedPosition(), -1);
    one->actRenderPreview->trigger();
    QCOMPARE(list->selectedPosition(), 0);
    QVERIFY(waitForStarts(1));
    QVERIFY(one->preview->run()->commandLine().contains(QLatin1String("b.mp4")));
    const qint64 pid = playerStarts(m_log).at(0).pid;
    one->preview->close();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(pid), 5000);
    QVERIFY(!one->preview->run());
}

void TestPreview::onePreviewAtATime()
{
    auto form = makeForm({m_clipA, m_clipB});
    QVERIFY(form);
    form->show();
    form->findChild<VideoListController *>()->selectPosition(1);

    form->actRenderPreview->trigger();
    QVERIFY(waitForStarts(1));
    const PlayerStart first = playerStarts(m_log).at(0);
    QCOMPARE(first.args,
             QStringList({"-", "-window_title", "Fulmaro: Önizleme", "-autoexit", "-framedrop"}));
    QVERIFY(testsupport::processAlive(first.pid));

    // A second preview closes the first and shows the settings of its own moment.
    form->cbPreviewScale->setCurrentIndex(6);
    form->actRenderPreview->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(first.pid), 5000);
    QVERIFY(waitForStarts(2));
    const qint64 second = playerStarts(m_log).at(1).pid;
    QVERIFY(testsupport::processAlive(second));
    QVERIFY(form->preview->run()->commandLine().contains(scaleSizeText(6)));

    // A render closes it before anything else, even one that stops at its first check.
    form->edOutputFolder->clear();
    form->actRender->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(second), 5000);
    QCOMPARE(m_messages, QStringList{QStringLiteral("Çıkış klasörü seçilmemiş")});

    // And so does closing the main window.
    form->actRenderPreview->trigger();
    QVERIFY(waitForStarts(3));
    const qint64 third = playerStarts(m_log).at(2).pid;
    QVERIFY(testsupport::processAlive(third));
    form->close();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(third), 5000);
    QCOMPARE(playerStarts(m_log).size(), 3);
}

void TestPreview::clipPreviews()
{
    auto form = makeForm({m_clipA});
    QVERIFY(form);
    const QString name = QStringLiteral("giriş \"$HOME\" `x`");
    QVERIFY(QFile::copy(m_clipA, form->folders.introDir + name + ".mp4"));
    form->renderSettings->fillPickers();
    QComboBox *intro = form->renderSettings->cbIntro;
    QCOMPARE(intro->findText(name), 1);

    // "Yok" plays nothing.
    intro->setCurrentIndex(0);
    form->renderSettings->btnIntroPreview->setEnabled(true);
    QTest::mouseClick(form->renderSettings->btnIntroPreview, Qt::LeftButton);
    QTest::qWait(200);
    QVERIFY(playerStarts(m_log).isEmpty());

    intro->setCurrentIndex(1);
    QTest::mouseClick(form->renderSettings->btnIntroPreview, Qt::LeftButton);
    QVERIFY(waitForStarts(1));
    const PlayerStart clip = playerStarts(m_log).at(0);
    QCOMPARE(clip.args, QStringList({"-i", form->folders.introDir + name + ".mp4", "-window_title",
                                     "Fulmaro: " + name + ".mp4", "-autoexit", "-framedrop", "-vf",
                                     "scale=-1:480"}));

    // A settings preview leaves the clip playing.
    form->actRenderPreview->trigger();
    QVERIFY(waitForStarts(2));
    form->preview->close();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(playerStarts(m_log).at(1).pid), 5000);
    QVERIFY(testsupport::processAlive(clip.pid));

    // The outro picker plays from its own folder.
    QVERIFY(QFile::copy(m_clipA, form->folders.outroDir + "son.mp4"));
    form->renderSettings->fillPickers();
    form->renderSettings->cbOutro->setCurrentIndex(1);
    form->renderSettings->btnOutroPreview->setEnabled(true);
    QTest::mouseClick(form->renderSettings->btnOutroPreview, Qt::LeftButton);
    QVERIFY(waitForStarts(3));
    QCOMPARE(playerStarts(m_log).at(2).args.mid(0, 2),
             QStringList({"-i", form->folders.outroDir + "son.mp4"}));

    // The players end with the program.
    form.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::processAlive(clip.pid), 5000);
}

void TestPreview::refusedRowsSayWhy_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("message");
    QTest::newRow("sound only") << "sound only flv"
                                << "Bu dosya işlenemez: görüntü yok";
    QTest::newRow("empty file") << "empty file"
                                << "Bu dosya işlenemez: okunamadı";
}

// The preview and the thumbnail window say why a row cannot be shown instead of starting.
void TestPreview::refusedRowsSayWhy()
{
    QFETCH(QString, sample);
    QFETCH(QString, message);
    const QString file = corpus::make(*corpus::sample(sample), m_dir.path() + QLatin1Char('/'));
    QVERIFY(!file.isEmpty());
    auto form = makeForm({file});
    QVERIFY(form);
    auto *list = form->findChild<VideoListController *>();
    const QModelIndex reason = list->model()->index(0, VideoListModel::ColResolution);
    QCOMPARE(reason.data().toString(), message.section(QStringLiteral(": "), 1));
    QVERIFY(reason.data(VideoListModel::RefusedRole).toBool());

    form->actRenderPreview->trigger();
    QCOMPARE(m_messages, QStringList{message});
    QVERIFY(!form->preview->run());

    // Should the thumbnail window open after all, it is closed so the test ends.
    bool windowOpened = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [&windowOpened] {
        if (auto *w = qobject_cast<ThumbnailForm *>(QApplication::activeModalWidget())) {
            windowOpened = true;
            w->reject();
        }
    });
    guard.start(20);
    form->actThumbnail->trigger();
    QCOMPARE(m_messages, QStringList({message, message}));
    QVERIFY(!windowOpened);
    QTest::qWait(100);
    QVERIFY(playerStarts(m_log).isEmpty());
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
