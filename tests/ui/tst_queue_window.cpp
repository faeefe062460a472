// The render queue window driven like a user would, with the real encoder on clips made at test
// time: a full run, a stop, the output-folder checks, a failing tool check, a broken source and
// a close request during a run.

#include "core/base/toolset.h"
#include "core/batch/runjournal.h"
#include "core/desktop/desktopnotifier.h"
#include "core/desktop/sleepinhibitor.h"
#include "core/queue/outputfiles.h"
#include "core/queue/renderprogress.h"
#include "core/queue/segmentfolder.h"
#include "core/queue/sizeestimate.h"
#include "core/render/presets.h"
#include "core/render/videocodecs.h"
#include "core/runner/shellquote.h"
#include "core/thumbnail/stillgrabber.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videolistmodel.h"
#include "support/corpus.h"
#include "support/fakedesktopbus.h"
#include "support/testsupport.h"
#include "ui/dialogs/msgform.h"
#include "ui/mainform.h"
#include "ui/queue/renderactions.h"
#include "ui/queue/videorenderform.h"
#include "ui/render/settingspanel.h"
#include "ui/videolist/videolistcontroller.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <functional>
#include <memory>

#include <unistd.h>

using namespace fulmaro;

namespace {

const QString kFfmpeg = QStringLiteral(TOOLS_DIR "/ffmpeg");
const QString kFfprobe = QStringLiteral(TOOLS_DIR "/ffprobe");

struct Row
{
    QString name, start, end, duration, progress, tip, reason;
};

QList<Row> rows(const VideoRenderForm *window)
{
    QList<Row> result;
    for (int i = 0; i < window->logListView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = window->logListView->topLevelItem(i);
        result.append({item->text(0), item->text(1), item->text(2), item->text(3), item->text(4),
                       item->toolTip(4), item->childCount() ? item->child(0)->text(0) : QString()});
    }
    return result;
}

bool readsAsTime(const QString &text)
{
    return QLocale().toTime(text, longTimeFormat()).isValid();
}

bool waitFor(const std::function<bool()> &condition, int ms = 180000)
{
    return QTest::qWaitFor(condition, ms);
}

} // namespace

class TestQueueWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void fullRun();
    void stopDuringSecondJob();
    void twoJobsAtOnce();
    void skipAndRetry();
    void unfinishedRunContinues_data();
    void unfinishedRunContinues();
    void cutEncodeGoesOnAfterRestart();
    void startAfterPartRunOffersTheRest_data();
    void startAfterPartRunOffersTheRest();
    void outputFolderChecks();
    void toolCheckFails();
    void brokenSourceFailsAndRunGoesOn();
    void closeDuringRunAsks_data();
    void closeDuringRunAsks();
    void mixedBatchTotalsAgreeWithTheCommandLine();
    void inputRefusedBeforeAnythingRuns_data();
    void inputRefusedBeforeAnythingRuns();
    void speedAndTimeLeft();
    void noticeAndSleepLock_data();
    void noticeAndSleepLock();
    void expectedSizesBeforeTheStartWrittenAfter();

private:
    std::unique_ptr<MainForm> makeForm(const QStringList &files, const QString &output);
    // Runs the render action; drive gets the window once it shows and should close it.
    bool render(MainForm &form, const std::function<void(VideoRenderForm *)> &drive);

    QTemporaryDir m_dir;
    QString m_src;
    QString m_out;
    QString m_bin;
    QStringList m_messages;
    // The desktop's notices and logind, on a bus of the test's own.
    testsupport::FakeDesktopBus m_desktop;
};

void TestQueueWindow::initTestCase()
{
    QVERIFY(m_desktop.start());
    testsupport::isolateDataHome();
    m_bin = WorkFolders::standard().binDir;
    QVERIFY(testsupport::linkRealTools(m_bin));
    m_src = m_dir.filePath(QStringLiteral("src")) + QLatin1Char('/');
    QDir().mkpath(m_src + QStringLiteral("other"));
    QVERIFY(testsupport::makeClip(m_src + "a.mp4", 1, true, "160x120"));
    QVERIFY(testsupport::makeClip(m_src + "clip.final.mov", 2, false, "160x120"));
    QVERIFY(testsupport::makeClip(m_src + "other/clip.final.mkv", 3, true, "160x120"));
    QVERIFY(testsupport::makeClip(m_src + "long.mp4", 120, false, "64x64"));
    QVERIFY(testsupport::makeClip(m_src + "paced.mp4", 40, true, "320x240"));
    QFile bad(m_src + "bad.mp4");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i)
        bad.write("not a video ");
    bad.close();
    setMsgHook([this](MsgDlgType, const QString &text) {
        m_messages << text;
        return kMsgYes;
    });
}

void TestQueueWindow::init()
{
    m_messages.clear();
    m_desktop.clear();
    m_out = m_dir.filePath(QStringLiteral("out%1").arg(QDateTime::currentMSecsSinceEpoch()));
    QVERIFY(QDir().mkpath(m_out));
}

void TestQueueWindow::cleanup()
{
    QVERIFY(testsupport::linkRealTools(m_bin));
}

std::unique_ptr<MainForm> TestQueueWindow::makeForm(const QStringList &files, const QString &output)
{
    auto form = std::make_unique<MainForm>();
    form->checkInfo();
    form->edOutputFolder->setText(output);
    // Small and quick outputs.
    form->renderSettings->cbRenderScale->setCurrentIndex(6);
    form->renderSettings->cbExtension->setCurrentText(QStringLiteral("mkv"));
    // One job at a time, unless a test asks for more.
    form->renderSettings->cbJobs->setCurrentIndex(1);
    auto *list = form->findChild<VideoListController *>();
    QSignalSpy added(list, &VideoListController::addFinished);
    list->addVideoFiles(files);
    if (!added.wait(60000) || list->model()->count() != files.size())
        return nullptr;
    // The rows' stills are grabbed by the encoder too: let them come before a test swaps it.
    if (!waitFor([list] { return list->stills()->isIdle(); }, 60000))
        return nullptr;
    return form;
}

bool TestQueueWindow::render(MainForm &form, const std::function<void(VideoRenderForm *)> &drive)
{
    bool shown = false;
    std::function<void()> poll;
    poll = [&] {
        auto *window = form.findChild<VideoRenderForm *>();
        if (!window || !window->isVisible()) {
            QTimer::singleShot(10, poll);
            return;
        }
        shown = true;
        drive(window);
        // Whatever the drive left open ends here, so the test never hangs on the window.
        if (window->isVisible())
            window->done(0);
    };
    QTimer::singleShot(0, poll);
    form.actRender->trigger();
    if (!shown) {
        // The action returned without a window; the poll must not outlive this call.
        poll = [] {};
        QTest::qWait(30);
    }
    return shown;
}

// Three clips, two of them with the same base name, rendered into one folder.
void TestQueueWindow::fullRun()
{
    const QStringList files = {m_src + "a.mp4", m_src + "clip.final.mov",
                               m_src + "other/clip.final.mkv"};
    auto form = makeForm(files, m_out);
    QVERIFY(form);
    QList<Row> before, after;
    bool startEnabledAfter = true;
    QString finishAfter;
    const bool shown = render(*form, [&](VideoRenderForm *w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Video Render"));
        QCOMPARE(w->size(), QSize(720, 277));
        QCOMPARE(w->btnOpenFolder->text(), QStringLiteral("Klasörü Aç"));
        QCOMPARE(w->logListView->geometry(), QRect(8, 8, 694, 233));
        QCOMPARE(w->btnStart->geometry(), QRect(546, 247, 75, 25));
        QCOMPARE(w->btnFinish->geometry(), QRect(627, 247, 75, 25));
        const QTreeWidgetItem *header = w->logListView->headerItem();
        QStringList captions;
        for (int c = 0; c < header->columnCount(); ++c)
            captions << header->text(c);
        QCOMPARE(captions, QStringList({"Dosya Adı", "Başlangıç", "Bitiş", "Süre", "İşlem", "Hız",
                                        "Kalan", "Tahmini", "Boyut"}));
        QCOMPARE(w->logListView->header()->sectionSize(1), 60);
        QVERIFY(w->btnStart->isEnabled());
        QVERIFY(!w->btnFinish->isEnabled());
        QCOMPARE(w->btnFinish->text(), QStringLiteral("Durdur"));
        before = rows(w);
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        QVERIFY(!w->btnStart->isEnabled());
        QVERIFY(w->btnFinish->isEnabled());
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        after = rows(w);
        startEnabledAfter = w->btnStart->isEnabled();
        finishAfter = w->btnFinish->text();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QVERIFY(shown);
    QVERIFY(!form->findChild<VideoRenderForm *>());
    QCOMPARE(m_messages, QStringList());

    QCOMPARE(before.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(before[i].name, files[i]);
        QVERIFY(before[i].start.isEmpty() && before[i].progress.isEmpty());
    }
    QCOMPARE(finishAfter, QStringLiteral("Kapat"));
    QVERIFY(!startEnabledAfter);
    QCOMPARE(after.size(), 3);
    for (const Row &row : after) {
        QVERIFY2(readsAsTime(row.start), qPrintable(row.start));
        QVERIFY2(readsAsTime(row.end), qPrintable(row.end));
        QVERIFY2(readsAsTime(row.duration), qPrintable(row.duration));
        QCOMPARE(row.progress, QStringLiteral("100%"));
    }

    // Every output plays and lasts as long as its source; the same base name did not overwrite.
    const QStringList outputs = {m_out + "/a.mkv", m_out + "/clip.final.mkv",
                                 m_out + "/clip.final (2).mkv"};
    const QList<double> lengths = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        const double seconds = testsupport::probedSeconds(outputs[i]);
        QVERIFY2(qAbs(seconds - lengths[i]) < 0.2,
                 qPrintable(outputs[i] + QStringLiteral(": ") + QString::number(seconds)));
    }
}

// "Durdur" during the second of three jobs ends that encoder and skips the third.
void TestQueueWindow::stopDuringSecondJob()
{
    auto form = makeForm({m_src + "a.mp4", m_src + "long.mp4", m_src + "clip.final.mov"}, m_out);
    QVERIFY(form);
    QList<Row> after;
    qint64 group = 0;
    bool groupGone = false;
    int focusedAfter = -1;
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        const bool progressing = waitFor([w] {
            RenderQueue *q = w->queue();
            return q && q->currentIndex() == 1 && q->currentRun() &&
                   !w->logListView->topLevelItem(1)->text(4).isEmpty();
        });
        if (!progressing)
            return;
        group = w->queue()->currentRun()->processId();
        QVERIFY(testsupport::groupAlive(group));
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        // A killed encoder can take a moment to be gone after its interpreter has ended.
        groupGone = waitFor([group] { return !testsupport::groupAlive(group); }, 5000);
        after = rows(w);
        focusedAfter = w->logListView->currentIndex().row();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QVERIFY(group > 0);
    QVERIFY(groupGone);
    QCOMPARE(after.size(), 3);
    QCOMPARE(after[0].progress, QStringLiteral("100%"));
    QVERIFY(readsAsTime(after[1].start) && readsAsTime(after[1].end) &&
            readsAsTime(after[1].duration));
    // A stopped row says so; how far it came stays in its tip.
    QCOMPARE(after[1].progress, QStringLiteral("Durduruldu"));
    QVERIFY2(after[1].tip.startsWith(QStringLiteral("Durduruldu: ")) &&
                 after[1].tip.endsWith(QLatin1Char('%')) && !after[1].tip.endsWith("100%"),
             qPrintable(after[1].tip));
    QVERIFY(after[2].start.isEmpty() && after[2].end.isEmpty() && after[2].duration.isEmpty() &&
            after[2].progress.isEmpty());
    // The focus mark still reached the skipped row.
    QCOMPARE(focusedAfter, 2);
    // Only the finished job's output is there: the stopped one left nothing, not even in part.
    QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList{QStringLiteral("a.mkv")});
}

// With two jobs at once both rows follow their own encoder, the caption counts them, and
// "Durdur" ends both trees and skips the rest.
void TestQueueWindow::twoJobsAtOnce()
{
    auto form = makeForm({m_src + "long.mp4", m_src + "paced.mp4", m_src + "a.mp4"}, m_out);
    QVERIFY(form);
    form->renderSettings->cbJobs->setCurrentIndex(2);
    QList<Row> after;
    QString caption;
    QList<qint64> groups;
    bool groupsGone = false;
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        const bool both = waitFor([w] {
            RenderQueue *q = w->queue();
            return q && q->run(0) && q->run(1) &&
                   !w->logListView->topLevelItem(0)->text(4).isEmpty() &&
                   !w->logListView->topLevelItem(1)->text(4).isEmpty() &&
                   w->windowTitle().contains(QStringLiteral("2 iş sürüyor"));
        });
        if (!both)
            return;
        caption = w->windowTitle();
        groups = {w->queue()->run(0)->processId(), w->queue()->run(1)->processId()};
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        groupsGone = waitFor(
            [&groups] {
                return !testsupport::groupAlive(groups[0]) && !testsupport::groupAlive(groups[1]);
            },
            5000);
        after = rows(w);
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QVERIFY2(caption.contains(QStringLiteral("/3 · 2 iş sürüyor")), qPrintable(caption));
    QCOMPARE(groups.size(), 2);
    QVERIFY(groups[0] != groups[1]);
    QVERIFY(groupsGone);
    QCOMPARE(after.size(), 3);
    for (int i = 0; i < 2; ++i)
        QVERIFY2(readsAsTime(after[i].end) && after[i].progress != "100%",
                 qPrintable(after[i].progress));
    QVERIFY(after[2].start.isEmpty() && after[2].progress.isEmpty());
    QVERIFY(QDir(m_out).entryList(QDir::Files).isEmpty());
}

// "Atla" ends the running job only and the next one runs; "Yeniden Dene" then runs the skipped
// job again and leaves the finished one alone.
void TestQueueWindow::skipAndRetry()
{
    auto form = makeForm({m_src + "long.mp4", m_src + "a.mp4"}, m_out);
    QVERIFY(form);
    QList<Row> skipped;
    QList<Row> retried;
    bool retryOffered = false;
    bool retryAfter = true;
    QDateTime doneWritten;
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        if (!waitFor([w] {
                return w->queue() && w->queue()->run(0) &&
                       !w->logListView->topLevelItem(0)->text(4).isEmpty();
            }))
            return;
        QTest::mouseClick(w->btnSkip, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        skipped = rows(w);
        retryOffered = w->btnRetry->isEnabled();
        doneWritten = QFileInfo(m_out + "/a.mkv").lastModified();
        QTest::qWait(1100); // a file written again would show a later time
        QTest::mouseClick(w->btnRetry, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); }, 60000);
        retried = rows(w);
        retryAfter = w->btnRetry->isEnabled();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QCOMPARE(skipped.size(), 2);
    QCOMPARE(skipped[0].progress, QStringLiteral("Durduruldu"));
    QCOMPARE(skipped[0].reason, QStringLiteral("Atlandı."));
    QCOMPARE(skipped[1].progress, QStringLiteral("100%"));
    QVERIFY(retryOffered);
    QCOMPARE(retried.size(), 2);
    QCOMPARE(retried[0].progress, QStringLiteral("100%"));
    QCOMPARE(retried[1].progress, QStringLiteral("100%"));
    QVERIFY(!retryAfter);
    QCOMPARE(QFileInfo(m_out + "/a.mkv").lastModified(), doneWritten);
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/long.mkv") - 120) < 0.5);
}

// A long encode cut by a crash, its journal and the segments it left: after "Evet" it goes on
// from the segment it was in, and the output has the frames and sound of an uncut encode.
void TestQueueWindow::cutEncodeGoesOnAfterRestart()
{
    const QString source = m_src + "uzun sesli.mp4";
    QVERIFY(testsupport::makeClip(source, 70, true, "160x120"));
    const QString folder = journalFolder(WorkFolders::standard().workDir);
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    RenderSettings settings;
    settings.cbRenderScale = 6;
    settings.cbJobs = 1;
    const QString output = m_out + "/uzun sesli.mp4";

    // What the cut run left: the job's first two segments, and the third half written.
    const ToolSet tools = ToolSet::configured(QStringLiteral(TOOLS_DIR "/"));
    const std::optional<VideoItem> item = probeVideoFile(tools, m_dir.path(), source);
    QVERIFY(item);
    const RenderJob job = buildRenderJob(
        *item, 0, settings, BuildFolders::from(WorkFolders::standard(), tools), output);
    QVERIFY(job.segments.size() >= 4);
    const QString segments = segmentFolderFor(partPathFor(output));
    QCOMPARE(openSegmentFolder(segments, job), std::optional<int>(0));
    const QString encoder = QStringLiteral(TOOLS_DIR "/ffmpeg");
    for (int k = 0; k < 2; ++k) {
        const testsupport::ShellRun run = testsupport::runShell(
            segmentCommandLine(encoder, job, k, segmentPath(segments, k, "mp4")), m_out);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    }
    QFile cut(segmentWritePath(segments, 2, "mp4"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write("cut off");
    cut.close();
    JournalData data;
    data.outputFolder = m_out;
    data.settings = presetText(settings);
    data.created = QDateTime::currentDateTimeUtc();
    data.jobs = {journalJob(source, output)};
    data.jobs[0].state = QStringLiteral("çalışıyor");
    QFile journal(folder + "pencere-20261211-090000000-4243.json");
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write(journalText(data));
    journal.close();

    setMsgHook([this](MsgDlgType, const QString &text) {
        m_messages << text;
        return kMsgYes;
    });
    auto form = std::make_unique<MainForm>();
    form->checkInfo();
    QList<Row> after;
    std::function<void()> poll = [&] {
        auto *w = form->findChild<VideoRenderForm *>();
        if (!w || !w->isVisible()) {
            QTimer::singleShot(10, poll);
            return;
        }
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); }, 120000);
        after = rows(w);
        w->done(0);
    };
    QTimer::singleShot(0, poll);
    QVERIFY(form->renderActions->offerUnfinishedRun());
    QVERIFY(waitFor([&after] { return !after.isEmpty(); }, 150000));
    poll = [] {};
    QCOMPARE(after.size(), 1);
    QCOMPARE(after[0].progress, QStringLiteral("100%"));
    QVERIFY2(after[0].reason.contains(QStringLiteral("parçanın 2 tanesi hazırdı")),
             qPrintable(after[0].reason));
    QVERIFY(!QFileInfo::exists(segments));

    // The same job in one encode.
    const QString whole = m_out + "/tek.mp4";
    const testsupport::ShellRun run =
        testsupport::runShell(renderCommandLine(encoder, job, whole), m_out);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    const auto facts = [](const QString &file, const char *stream, const char *entry) {
        QProcess p;
        p.start(QStringLiteral(TOOLS_DIR "/ffprobe"),
                {"-v", "error", "-count_packets", "-select_streams", stream, "-show_entries",
                 QStringLiteral("stream=") + entry, "-of", "default=nw=1:nk=1", file});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble();
    };
    QCOMPARE(facts(output, "v:0", "nb_read_packets"), facts(whole, "v:0", "nb_read_packets"));
    QVERIFY(qAbs(facts(output, "v:0", "duration") - facts(output, "a:0", "duration")) <= 0.05);
}

void TestQueueWindow::startAfterPartRunOffersTheRest_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("only the rest") << true;
    QTest::newRow("everything again") << false;
}

// A run stopped in its third job has done two: the render action on the same list asks whether
// to run only the third, and with "Evet" leaves the two outputs as they are.
void TestQueueWindow::startAfterPartRunOffersTheRest()
{
    QFETCH(bool, yes);
    auto form = makeForm({m_src + "a.mp4", m_src + "clip.final.mov", m_src + "long.mp4"}, m_out);
    QVERIFY(form);
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->queue() && w->queue()->currentIndex() == 2; });
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
    });
    const QDateTime first = QFileInfo(m_out + "/a.mkv").lastModified();
    QVERIFY(first.isValid());
    QVERIFY(!QFileInfo::exists(m_out + "/long.mkv"));
    QTest::qWait(1100); // so a new output's time tells from the old one's

    m_messages.clear();
    setMsgHook([this, yes](MsgDlgType, const QString &text) {
        m_messages << text;
        return yes ? kMsgYes : kMsgNo;
    });
    QList<Row> after;
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); }, 150000);
        after = rows(w);
    });
    setMsgHook([this](MsgDlgType, const QString &text) {
        m_messages << text;
        return kMsgYes;
    });
    QCOMPARE(m_messages.value(0),
             QStringLiteral("Önceki işlemde 2 iş tamamlanmıştı. Yalnızca kalan 1 iş yapılsın mı?"));
    QCOMPARE(after.size(), 3);
    for (const Row &row : after)
        QCOMPARE(row.progress, QStringLiteral("100%"));
    QCOMPARE(QFileInfo(m_out + "/a.mkv").lastModified() == first, yes);
    QCOMPARE(after[0].reason == QStringLiteral("Önceki işlemde tamamlanmıştı."), yes);
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/long.mkv") - 120) < 0.5);
    // With every job done, the next render asks nothing.
    m_messages.clear();
    render(*form, [](VideoRenderForm *) {});
    QVERIFY(m_messages.isEmpty());
}

void TestQueueWindow::unfinishedRunContinues_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("outputGone");
    QTest::newRow("Evet") << true << false;
    QTest::newRow("Hayır") << false << false;
    QTest::newRow("Evet, a done job's output deleted since") << true << true;
}

// A journal left by a program that died in the middle of a run (no live lock): "Evet" lists the
// sources again with the run's settings and output folder and opens the queue, where the job
// done before is not run again; "Hayır" keeps the journal aside and starts empty.
void TestQueueWindow::unfinishedRunContinues()
{
    QFETCH(bool, yes);
    QFETCH(bool, outputGone);
    const QString folder = journalFolder(WorkFolders::standard().workDir);
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    RenderSettings settings;
    settings.cbRenderScale = 6;
    settings.cbExtension = QStringLiteral("mkv");
    settings.cbJobs = 1;
    JournalData data;
    data.outputFolder = m_out;
    data.settings = presetText(settings);
    data.created = QDateTime::currentDateTimeUtc();
    data.jobs = {journalJob(m_src + "a.mp4", m_out + "/a.mkv"),
                 journalJob(m_src + "clip.final.mov", m_out + "/clip.final.mkv")};
    data.jobs[0].state = QStringLiteral("tamam");
    data.jobs[1].state = QStringLiteral("çalışıyor");
    QFile done(m_out + "/a.mkv");
    if (!outputGone) {
        QVERIFY(done.open(QIODevice::WriteOnly));
        done.write("written before the crash");
        done.close();
    }
    const QString path = folder + "pencere-20261211-080000000-4242.json";
    QFile journal(path);
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write(journalText(data));
    journal.close();

    setMsgHook([this, yes](MsgDlgType, const QString &text) {
        m_messages << text;
        return yes ? kMsgYes : kMsgNo;
    });
    auto form = std::make_unique<MainForm>();
    form->checkInfo();
    QList<Row> after;
    bool shown = false;
    std::function<void()> poll;
    poll = [&] {
        auto *w = form->findChild<VideoRenderForm *>();
        if (!w || !w->isVisible()) {
            QTimer::singleShot(10, poll);
            return;
        }
        shown = true;
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        after = rows(w);
        w->done(0);
    };
    if (yes)
        QTimer::singleShot(0, poll);
    QVERIFY(form->renderActions->offerUnfinishedRun());
    QCOMPARE(m_messages.value(0),
             QStringLiteral("Yarım kalan bir işlem bulundu: 1 iş bekliyor. Devam edilsin mi?"));
    if (!yes) {
        QVERIFY(!QFileInfo::exists(path));
        const QStringList aside = QDir(folder).entryList({"pencere-*.eski-*.json"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(form->findChild<VideoListController *>()->model()->count(), 0);
        QVERIFY(!form->renderActions->offerUnfinishedRun());
        return;
    }
    QVERIFY(waitFor([&shown, &after] { return shown && !after.isEmpty(); }, 60000));
    poll = [] {};
    QCOMPARE(form->renderSettings->cbRenderScale->currentIndex(), 6);
    QCOMPARE(form->edOutputFolder->text(), m_out);
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[0].progress, QStringLiteral("100%"));
    if (outputGone) {
        // Run again, and the row says why.
        QCOMPARE(after[0].reason, QStringLiteral("Çıktı dosyası artık yok. Yeniden işleniyor."));
        QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/a.mkv") - 1) < 0.2);
    } else {
        QCOMPARE(after[0].reason, QStringLiteral("Yarım kalan işlemde tamamlanmıştı."));
        QVERIFY(done.open(QIODevice::ReadOnly));
        QCOMPARE(done.readAll(), QByteArray("written before the crash"));
    }
    QCOMPARE(after[1].progress, QStringLiteral("100%"));
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/clip.final.mkv") - 2) < 0.2);
    // The run has ended as runs do: nothing is left to offer.
    QVERIFY(QDir(folder).entryList({"*.json"}).isEmpty());
}

void TestQueueWindow::outputFolderChecks()
{
    // Blank: a message and no window.
    auto form = makeForm({m_src + "a.mp4"}, QStringLiteral("   "));
    QVERIFY(form);
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(!render(*form, [](VideoRenderForm *) {}));
    QCOMPARE(m_messages, QStringList{QStringLiteral("Çıkış klasörü seçilmemiş")});
    QVERIFY(form->edOutputFolder->hasFocus());

    // Missing: the window opens, "Başlat" says so and stays ready; minimizing it puts the whole
    // program away.
    m_messages.clear();
    form->edOutputFolder->setText(m_out + QStringLiteral("/gone"));
    bool ready = false;
    bool mainMinimized = false;
    QList<Row> after;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        ready = w->btnStart->isEnabled() && !w->btnFinish->isEnabled() &&
                w->btnFinish->text() == QLatin1String("Durdur") && !w->queue();
        after = rows(w);
        w->showMinimized();
        mainMinimized = form->isMinimized();
        w->close();
    }));
    QCOMPARE(m_messages, QStringList{QStringLiteral("Çıkış klasörü bulunamadı.")});
    QVERIFY(ready);
    QVERIFY(after[0].start.isEmpty() && after[0].progress.isEmpty());
    QVERIFY(mainMinimized);
}

// An encoder file that is not the expected build: its message once, nothing runs.
void TestQueueWindow::toolCheckFails()
{
    auto form = makeForm({m_src + "a.mp4", m_src + "clip.final.mov"}, m_out);
    QVERIFY(form);
    const QString ran = m_dir.filePath(QStringLiteral("fake-ffmpeg-ran"));
    QFile::remove(m_bin + "ffmpeg");
    QFile fake(m_bin + "ffmpeg");
    QVERIFY(fake.open(QIODevice::WriteOnly));
    // It tells its version when asked (another series than the program's); any other run is an
    // encoder job that must not happen.
    fake.write(QStringLiteral("#!/bin/sh\ncase \"$*\" in *-filters*|*-version*) echo 'ffmpeg "
                              "version 0.1-fake' >&2; exit 0 ;; esac\ntouch %1\n")
                   .arg(quoteArg(ran))
                   .toUtf8());
    fake.close();
    fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner);

    QList<Row> after;
    QString finish;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        after = rows(w);
        finish = w->btnFinish->text();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    }));
    QCOMPARE(finish, QStringLiteral("Kapat"));
    QCOMPARE(m_messages.size(), 1);
    for (const QString &message : std::as_const(m_messages))
        QVERIFY2(message.startsWith(QStringLiteral("FFMpeg dosya versiyonları uyumsuz!\n")) &&
                     message.contains(QStringLiteral("ffmpeg version 0.1-fake")),
                 qPrintable(message));
    for (const Row &row : after)
        QVERIFY(row.start.isEmpty() && row.end.isEmpty() && row.progress.isEmpty());
    QCOMPARE(after[0].reason, QStringLiteral("Kodlayıcı denetimden geçmedi; iş çalıştırılmadı."));
    QVERIFY(!QFile::exists(ran));
}

// A source that cannot be rendered (one the probe cannot read, one with sound only) shows
// "Hata" with its reason at once and never reaches the encoder; the next job runs.
void TestQueueWindow::brokenSourceFailsAndRunGoesOn()
{
    const QString sound = corpus::make(*corpus::sample(QStringLiteral("sound only mp4")), m_src);
    QVERIFY(!sound.isEmpty());
    auto form = makeForm({m_src + "bad.mp4", sound, m_src + "a.mp4"}, m_out);
    QVERIFY(form);
    QList<Row> after;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        after = rows(w);
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    }));
    QCOMPARE(after.size(), 3);
    QCOMPARE(after[0].progress, QStringLiteral("Hata"));
    QCOMPARE(after[0].tip, QStringLiteral("okunamadı"));
    QCOMPARE(after[0].reason, QStringLiteral("okunamadı"));
    QVERIFY(readsAsTime(after[0].end));
    QCOMPARE(after[1].progress, QStringLiteral("Hata"));
    QCOMPARE(after[1].tip, QStringLiteral("görüntü yok"));
    QVERIFY(!QFile::exists(m_out + "/bad.mkv"));
    QVERIFY(!QFile::exists(m_out + "/yalnız ses.mkv"));
    QCOMPARE(after[2].progress, QStringLiteral("100%"));
    QVERIFY(qAbs(testsupport::probedSeconds(m_out + "/a.mkv") - 1) < 0.2);
}

// One batch of every kind of job, through the window and through fulmaro-batch: a source that
// cannot be read, one without a picture, a write-protected output and two that render. Both
// front ends run the same engine, so they count alike.
void TestQueueWindow::mixedBatchTotalsAgreeWithTheCommandLine()
{
    const QString sound = corpus::make(*corpus::sample(QStringLiteral("sound only mp4")), m_src);
    QVERIFY(!sound.isEmpty());
    const QStringList files{m_src + "bad.mp4", sound, m_src + "a.mp4", m_src + "clip.final.mov",
                            m_src + "other/clip.final.mkv"};
    const QString byLine = m_out + QStringLiteral(" komut");
    QVERIFY(QDir().mkpath(byLine));
    for (const QString &folder : {m_out, byLine}) {
        QFile older(folder + "/clip.final.mkv");
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.close();
        QVERIFY(QFile::setPermissions(older.fileName(), QFile::ReadOwner | QFile::ReadOther));
    }
    auto form = makeForm(files, m_out);
    QVERIFY(form);
    QList<QVariant> totals;
    QString summary, caption, outputTip;
    QUrl opened;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        QSignalSpy ended(w, &VideoRenderForm::runFinished);
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        if (ended.wait(180000))
            totals = ended.first();
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        summary = w->lblRunSummary->isVisible() ? w->lblRunSummary->text() : QString();
        caption = w->windowTitle();
        outputTip = w->logListView->topLevelItem(2)->toolTip(0);
        // "Klasörü Aç" opens the output folder.
        w->openUrl = [&opened](const QUrl &url) { return opened = url, true; };
        QTest::mouseClick(w->btnOpenFolder, Qt::LeftButton);
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    }));
    QCOMPARE(totals, QList<QVariant>({2, 3, 0, false}));
    // The ending said as it was, not as "%100".
    QCOMPARE(summary, QStringLiteral("2 tamam · 3 hata"));
    QCOMPARE(caption, QStringLiteral("2 tamam · 3 hata — Video Render"));
    QCOMPARE(outputTip, QStringLiteral("Kaynak: ") + files[2] + QStringLiteral("\nÇıktı: ") +
                            m_out + QStringLiteral("/a.mkv"));
    QCOMPARE(opened, QUrl::fromLocalFile(m_out));

    QProcess batch;
    batch.start(
        QStringLiteral(FULMARO_BATCH),
        QStringList{"--output", byLine, "--set", "cbRenderScale=6", "--set", "cbExtension=mkv"} +
            files);
    QVERIFY(batch.waitForFinished(180000));
    QCOMPARE(batch.exitCode(), 1);
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Toplam 5 iş: 2 başarılı, 3 başarısız, 0 durduruldu ya "
                                         "da çalıştırılmadı.")),
             qPrintable(err));
    QStringList written = QDir(m_out).entryList(QDir::Files);
    QCOMPARE(QDir(byLine).entryList(QDir::Files), written);
}

// The close box during a run asks whether to stop: "Evet" stops the running job, skips the rest
// and closes the window; "Hayır" lets the run go on to its end, the window open.
void TestQueueWindow::closeDuringRunAsks_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("Evet") << kMsgYes;
    QTest::newRow("Hayır") << kMsgNo;
    QTest::newRow("question closed") << kMsgClosed;
}

void TestQueueWindow::closeDuringRunAsks()
{
    QFETCH(int, answer);
    setMsgHook([this, answer](MsgDlgType, const QString &text) {
        m_messages << text;
        return answer;
    });
    auto form = makeForm({m_src + "long.mp4", m_src + "a.mp4"}, m_out);
    QVERIFY(form);
    bool openAfterClose = false;
    bool closedItself = false;
    QList<Row> atEnd;
    QString summary;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->queue() && w->queue()->status(0).percent.has_value(); });
        connect(w->queue(), &RenderQueue::finished, w, [&atEnd, &summary, w] {
            atEnd = rows(w);
            summary = w->lblRunSummary->text();
        });
        w->close();
        openAfterClose = w->isVisible();
        closedItself = waitFor([w] { return !w->isVisible(); }, answer == kMsgYes ? 180000 : 2000);
        // A run left going is stopped here, so the window never goes with a job running.
        if (!closedItself) {
            QTest::mouseClick(w->btnFinish, Qt::LeftButton);
            waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        }
    }));
    setMsgHook([this](MsgDlgType, const QString &text) {
        m_messages << text;
        return kMsgYes;
    });
    QCOMPARE(m_messages,
             QStringList{QStringLiteral("İşlem sürüyor. Durdurulup pencere kapatılsın mı?")});
    QVERIFY(openAfterClose);
    QCOMPARE(closedItself, answer == kMsgYes);
    if (answer != kMsgYes)
        return;
    QCOMPARE(atEnd.size(), 2);
    QCOMPARE(atEnd[0].progress, QStringLiteral("Durduruldu"));
    QVERIFY2(atEnd[0].tip.startsWith(QStringLiteral("Durduruldu: ")), qPrintable(atEnd[0].tip));
    QVERIFY(atEnd[1].progress.isEmpty());
    QCOMPARE(summary, QStringLiteral("0 tamam · 0 hata · 2 durduruldu"));
}

// A trim that leaves nothing, an empty or zero bitrate, an output folder that takes no file: the
// message, the focus on the control to correct, and no window.
void TestQueueWindow::inputRefusedBeforeAnythingRuns_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("trim as long as the video")
        << "edTimeEnd"
        << "1"
        << "Kırpma sonrası videodan geriye bir şey kalmıyor: a.mp4";
    QTest::newRow("start past the end") << "edTimeStart"
                                        << "5"
                                        << "Kırpma sonrası";
    QTest::newRow("empty bitrate") << "cbBitrate"
                                   << ""
                                   << "Bit hızı girilmemiş.";
    QTest::newRow("zero bitrate") << "cbBitrate"
                                  << "0"
                                  << "Bit hızı sıfır olamaz.";
    QTest::newRow("read-only output folder") << "edOutputFolder"
                                             << ""
                                             << "Çıkış klasörüne yazılamıyor";
}

void TestQueueWindow::inputRefusedBeforeAnythingRuns()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QString, message);
    auto form = makeForm({m_src + "a.mp4"}, m_out);
    QVERIFY(form);
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QWidget *widget = form->findChild<QWidget *>(control);
    QVERIFY(widget);
    bool mounted = false;
    if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
        spin->setValue(value.toInt());
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        combo->setCurrentText(value);
    } else if (::geteuid() == 0) {
        // Permissions do not stop this user: a read-only view of the folder does.
        QProcess bind;
        bind.start("sh", {"-c", QStringLiteral("mount --bind '%1' '%1' && mount -o "
                                               "remount,bind,ro '%1'")
                                    .arg(m_out)});
        mounted = bind.waitForFinished(20000) && bind.exitCode() == 0;
        if (!mounted)
            QSKIP("no read-only folder can be made here");
    } else {
        QVERIFY(QFile::setPermissions(m_out, QFile::ReadOwner | QFile::ExeOwner));
    }
    form->edOutputFolder->setFocus();
    if (control == QLatin1String("edOutputFolder"))
        form->renderSettings->cbRenderScale->setFocus();
    const bool shown = render(*form, [](VideoRenderForm *) {});
    if (mounted)
        QProcess::execute("umount", {m_out});
    QFile::setPermissions(m_out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!shown);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(message), qPrintable(m_messages.first()));
    QCOMPARE(QApplication::focusWidget(), widget);
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList());
}

namespace {

// Seconds of a span written by elapsedText (hours, minutes, seconds).
qint64 spanSeconds(const QString &text)
{
    const QStringList parts =
        text.split(QRegularExpression(QStringLiteral("\\D+")), Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return -1;
    return parts[0].toLongLong() * 3600 + parts[1].toLongLong() * 60 + parts[2].toLongLong();
}

} // namespace

// The encoder's speed and the time left, per job and for the run, as the encoder reports its
// progress; nothing is left once everything is done.
void TestQueueWindow::speedAndTimeLeft()
{
    auto form = makeForm({m_src + "a.mp4", m_src + "paced.mp4"}, m_out);
    QVERIFY(form);
    struct Sample
    {
        QString speed, left, caption;
    };
    QList<Sample> samples;
    QList<Row> after;
    QStringList leftAfter;
    QString captionAfter;
    render(*form, [&](VideoRenderForm *w) {
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        QVERIFY(w->queue());
        connect(w->queue(), &RenderQueue::jobProgress, w, [&samples, w](int index) {
            const QTreeWidgetItem *item = w->logListView->topLevelItem(index);
            if (index == 1)
                samples.append({item->text(VideoRenderForm::ColSpeed),
                                item->text(VideoRenderForm::ColLeft), w->windowTitle()});
        });
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        after = rows(w);
        for (int i = 0; i < 2; ++i)
            leftAfter << w->logListView->topLevelItem(i)->text(VideoRenderForm::ColLeft);
        captionAfter = w->windowTitle();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[1].progress, QStringLiteral("100%"));

    const QRegularExpression speedForm(QStringLiteral("^(\\d+[.,]\\d)x$"));
    const QRegularExpression captionForm(
        QStringLiteral("^%(\\d+) · 2/2 · kalan (\\S+) — Video Render$"));
    QList<qint64> left;
    for (const Sample &sample : std::as_const(samples)) {
        const QRegularExpressionMatch speed = speedForm.match(sample.speed);
        QVERIFY2(speed.hasMatch(), qPrintable(sample.speed));
        QVERIFY2(QLocale().toDouble(speed.captured(1)) > 0, qPrintable(sample.speed));
        const QRegularExpressionMatch caption = captionForm.match(sample.caption);
        QVERIFY2(caption.hasMatch(), qPrintable(sample.caption));
        QVERIFY(caption.captured(1).toInt() >= 0 && caption.captured(1).toInt() <= 100);
        QVERIFY2(!sample.left.isEmpty(), qPrintable(sample.caption));
        left << spanSeconds(sample.left);
        // The run has no less to go than its running job.
        QVERIFY2(spanSeconds(caption.captured(2)) >= left.constLast(),
                 qPrintable(sample.caption + QStringLiteral(" / ") + sample.left));
    }
    // A busy machine hands several reports over in one piece, so fewer pieces than reports come;
    // two are enough to see the time left go down.
    QVERIFY2(samples.size() >= 2, qPrintable(QString::number(samples.size())));
    QVERIFY(!left.contains(-1));
    // The time left counts down; it may rise only where the encoder slowed down (a busy machine).
    const auto speedOf = [&speedForm](const Sample &sample) {
        return QLocale().toDouble(speedForm.match(sample.speed).captured(1));
    };
    QVERIFY2(left.constLast() < left.constFirst() ||
                 speedOf(samples.constLast()) < speedOf(samples.constFirst()),
             qPrintable(QString::number(left.constFirst()) + QStringLiteral(" -> ") +
                        QString::number(left.constLast())));

    QCOMPARE(leftAfter, QStringList({elapsedText(0), elapsedText(0)}));
    // At the end the caption says how the run ended.
    QCOMPARE(captionAfter, QStringLiteral("2 tamam · 0 hata — Video Render"));
}

void TestQueueWindow::noticeAndSleepLock_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("lookedAt");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QString>("summary"); // empty: no notice
    QTest::addColumn<QString>("body");
    const QStringList shortRun = {"a.mp4", "clip.final.mov"};
    QTest::newRow("looked at") << shortRun << true << false << QString() << QString();
    QTest::newRow("elsewhere") << shortRun << false << false << "Video Render bitti"
                               << "2 iş başarılı, 0 iş başarısız.";
    QTest::newRow("stopped elsewhere") << QStringList{"a.mp4", "long.mp4", "clip.final.mov"}
                                       << false << true << "Video Render durduruldu"
                                       << "1 iş başarılı, 0 iş başarısız, 2 iş çalıştırılmadı.";
}

// At a run's end one notice, only when the window is not the one in use; the sleep lock is held
// while the jobs run and let go at the end, also after a stop.
void TestQueueWindow::noticeAndSleepLock()
{
    QFETCH(QStringList, files);
    QFETCH(bool, lookedAt);
    QFETCH(bool, stop);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    for (QString &file : files)
        file.prepend(m_src);
    auto form = makeForm(files, m_out);
    QVERIFY(form);
    int heldWhileRunning = -1;
    int locksAtEnd = -1;
    int noticesAtEnd = -1;
    render(*form, [&](VideoRenderForm *w) {
        if (lookedAt) {
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
        } else {
            // Another window of the program has the focus.
            auto *other = new QWidget(w, Qt::Window);
            other->show();
            other->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(other));
            QVERIFY(!w->isActiveWindow());
        }
        QSignalSpy ended(w, &VideoRenderForm::runFinished);
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        if (stop) {
            const bool progressing = waitFor([w] {
                RenderQueue *q = w->queue();
                return q && q->currentIndex() == 1 &&
                       !w->logListView->topLevelItem(1)->text(4).isEmpty();
            });
            QVERIFY(progressing);
            QTRY_VERIFY(w->sleepLock()->isHeld());
            heldWhileRunning = m_desktop.locksHeld();
            QTest::mouseClick(w->btnFinish, Qt::LeftButton);
        }
        QVERIFY(ended.wait(180000));
        QVERIFY(!w->sleepLock()->isWanted());
        QTRY_COMPARE(m_desktop.locksHeld(), 0);
        locksAtEnd = m_desktop.locksHeld();
        // A marker sent now on the program's own connection arrives after any notice the run
        // sent: the bus keeps one sender's messages in order.
        const QString marker = QStringLiteral("işaret");
        QVERIFY(DesktopNotifier().notify(marker, QString()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_desktop.notifications.isEmpty() &&
                                     m_desktop.notifications.constLast().at(3) == marker,
                                 30000);
        m_desktop.notifications.removeLast();
        noticesAtEnd = int(m_desktop.notifications.size());
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    });
    QCOMPARE(m_desktop.inhibits.size(), 1);
    QCOMPARE(m_desktop.inhibits.constFirst().at(0).toString(), QStringLiteral("sleep:idle"));
    QCOMPARE(m_desktop.inhibits.constFirst().at(2).toString(),
             QStringLiteral("Fulmaro video işliyor"));
    if (stop)
        QCOMPARE(heldWhileRunning, 1);
    QCOMPARE(locksAtEnd, 0);
    QCOMPARE(noticesAtEnd, summary.isEmpty() ? 0 : 1);
    if (!summary.isEmpty()) {
        const QVariantList notice = m_desktop.notifications.constFirst();
        QCOMPARE(notice.at(3).toString(), summary);
        QCOMPARE(notice.at(4).toString(), body);
    }
}

namespace {

// Bytes of a size the window shows ("12,4 MB"), to within its rounding; -1 when it is none.
double shownBytes(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+,\\d) (KB|MB|GB)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return -1;
    const double unit = m.captured(2) == QLatin1String("KB")   ? 1024.0
                        : m.captured(2) == QLatin1String("MB") ? 1048576.0
                                                               : 1073741824.0;
    return QLocale(QLocale::Turkish).toDouble(m.captured(1)) * unit;
}

} // namespace

// In the quality mode the window opens at once and each row's expected size fills in as its
// samples are measured in the background, with their total under the list, all before "Başlat";
// after the run each row shows the size written beside it.
void TestQueueWindow::expectedSizesBeforeTheStartWrittenAfter()
{
    const QStringList files = {m_src + "a.mp4", m_src + "clip.final.mov"};
    auto form = makeForm(files, m_out);
    QVERIFY(form);
    form->renderSettings->cbRateMode->setCurrentIndex(int(RateMode::Quality));
    QStringList expected, writtenBefore, expectedAfter, written;
    QString totalBefore, totalAfter;
    bool measured = false;
    bool startWaited = false;
    QVERIFY(render(*form, [&](VideoRenderForm *w) {
        const auto column = [w](int c) {
            QStringList texts;
            for (int i = 0; i < w->logListView->topLevelItemCount(); ++i)
                texts << w->logListView->topLevelItem(i)->text(c);
            return texts;
        };
        const bool estimated = waitFor(
            [&] {
                return !w->lblSizeTotal->text().contains(QStringLiteral("hesaplanıyor")) &&
                       !column(VideoRenderForm::ColExpected).contains(QStringLiteral("…"));
            },
            60000);
        QVERIFY(estimated);
        expected = column(VideoRenderForm::ColExpected);
        writtenBefore = column(VideoRenderForm::ColSize);
        totalBefore = w->lblSizeTotal->text();
        startWaited = w->btnStart->isEnabled() && !w->queue();
        const SizeEstimator *sizes = w->run()->sizes();
        measured = sizes && sizes->estimate(0).measured && sizes->estimate(1).measured;
        QTest::mouseClick(w->btnStart, Qt::LeftButton);
        waitFor([w] { return w->btnFinish->text() == QLatin1String("Kapat"); });
        expectedAfter = column(VideoRenderForm::ColExpected);
        written = column(VideoRenderForm::ColSize);
        totalAfter = w->lblSizeTotal->text();
        QTest::mouseClick(w->btnFinish, Qt::LeftButton);
    }));
    QVERIFY(startWaited);
    QVERIFY(measured);
    QCOMPARE(writtenBefore, QStringList({QString(), QString()}));
    QVERIFY2(totalBefore.startsWith(QStringLiteral("Tahmini toplam: ")) &&
                 !totalBefore.contains(QStringLiteral("yazılan")),
             qPrintable(totalBefore));
    QCOMPARE(expectedAfter, expected);

    const QStringList outputs = {m_out + "/a.mkv", m_out + "/clip.final.mkv"};
    qint64 sum = 0;
    for (int i = 0; i < 2; ++i) {
        const qint64 bytes = QFileInfo(outputs[i]).size();
        QVERIFY(bytes > 0);
        sum += bytes;
        QCOMPARE(written[i], sizeText(bytes));
        // Measured on the clip itself: near what the render wrote.
        const double guess = shownBytes(expected[i]);
        QVERIFY2(guess > bytes * 0.5 && guess < bytes * 2.0,
                 qPrintable(expected[i] + QStringLiteral(" / ") + written[i]));
    }
    QCOMPARE(totalAfter, totalBefore + QStringLiteral(" · yazılan: ") + sizeText(sum));
}

QTEST_MAIN(TestQueueWindow)
#include "tst_queue_window.moc"
