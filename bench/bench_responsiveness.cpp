// How long the interface thread is ever kept from its event loop while the program works: a
// 10 ms heartbeat timer runs on it while the main window adds 300 files, renders three clips,
// stops a render, opens and closes a preview and opens the thumbnail window. Driven only through
// the main window's public members, its actions and the windows' controls found by name.
// Prints the longest gap between two beats per step and, last, "ratio <longest gap / 50 ms>".
// On a shared machine the thread also waits for a processor that other programs hold (the
// kernel counts that time per thread, in /proc/thread-self/schedstat); that wait is shown beside
// each gap and left out of the gap the ratio is made of, which is the time the thread spent in
// the program's own work or blocked.
#include "core/base/workfolders.h"
#include "ui/mainform.h"
#include "ui/queue/previewslot.h"

#include "support/testsupport.h"
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <map>
#include <memory>

using namespace fulmaro;

namespace {

constexpr int kFiles = 300;
constexpr double kGoalMs = 50;

bool makeClip(const QString &path, int seconds, const QString &size)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
            {"-v", "error", "-y", "-f", "lavfi", "-i",
             QStringLiteral("testsrc=size=%1:rate=30:duration=%2").arg(size).arg(seconds), "-f",
             "lavfi", "-i", QStringLiteral("sine=duration=%1").arg(seconds), "-c:a", "aac",
             "-shortest", "-c:v", "mpeg4", path});
    return p.waitForFinished(300000) && p.exitCode() == 0;
}

// Runs the event loop until the condition holds; false after timeoutMs.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 300000)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    if (!condition())
        loop.exec();
    return condition();
}

int rowsBelow(const QAbstractItemModel *model, const QModelIndex &parent = QModelIndex())
{
    int rows = 0;
    for (int r = 0; r < model->rowCount(parent); ++r) {
        const QModelIndex index = model->index(r, 0, parent);
        const int children = model->rowCount(index);
        rows += children > 0 ? rowsBelow(model, index) : 1;
    }
    return rows;
}

// Nanoseconds this thread has run, and has waited runnable for a processor.
struct SchedTimes
{
    qint64 run = 0;
    qint64 wait = 0;
};

SchedTimes schedTimes()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    return {fields.value(0).toLongLong(), fields.value(1).toLongLong()};
}

// The longest wait between two beats of a 10 ms timer on the interface thread, per step.
class Heartbeat : public QObject
{
public:
    struct Gap
    {
        double ownMs = 0;   // the gap without the time spent waiting for a processor
        double totalMs = 0; // the whole gap of that beat
        double cpuWaitMs = 0;
    };

    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const SchedTimes sched = schedTimes();
            const double total = (now - m_last) / 1e6;
            const double cpuWait = (sched.wait - m_lastSched.wait) / 1e6;
            const double own = std::max(0.0, total - cpuWait);
            if (m_runBefore == 0)
                m_runBefore = m_lastSched.run;
            m_last = now;
            m_lastSched = sched;
            Gap &worst = m_worst[m_step];
            if (own > worst.ownMs)
                worst = {own, total, cpuWait};
            m_longestTotal = std::max(m_longestTotal, total);
            if (total > 40 && qEnvironmentVariableIsSet("BENCH_TRACE"))
                QTextStream(stderr)
                    << m_step << ": " << total << " ms (" << cpuWait
                    << " ms waiting for a processor, " << (sched.run - m_runBefore) / 1e6
                    << " ms running) at " << now / 1000000 << " ms\n";
            m_runBefore = sched.run;
        });
    }
    void start(const QString &step)
    {
        m_step = step;
        m_worst[step] = {};
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_lastSched = schedTimes();
        m_timer.start();
    }
    void step(const QString &name)
    {
        m_step = name;
        m_worst.try_emplace(name);
    }
    const std::map<QString, Gap> &worst() const { return m_worst; }
    double longestTotal() const { return m_longestTotal; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    SchedTimes m_lastSched;
    QString m_step;
    std::map<QString, Gap> m_worst;
    double m_longestTotal = 0;
    qint64 m_runBefore = 0;
};

// Triggers an action that opens a modal window, and runs drive on that window once it shows.
bool withModal(MainForm &form, QAction *action, const char *windowName,
               const std::function<void(QDialog *)> &drive)
{
    bool shown = false;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&form, &shown, &drive, windowName, poll] {
        auto *window = form.findChild<QDialog *>(QLatin1String(windowName));
        if (!window || !window->isVisible()) {
            QTimer::singleShot(5, *poll);
            return;
        }
        shown = true;
        drive(window);
        if (window->isVisible())
            window->done(0);
    };
    QTimer::singleShot(0, *poll);
    action->trigger();
    *poll = [] {};
    return shown;
}

std::unique_ptr<MainForm> makeForm(const QString &output)
{
    auto form = std::make_unique<MainForm>();
    form->show();
    form->checkInfo();
    form->edOutputFolder->setText(output);
    return form;
}

bool list(MainForm &form, const QStringList &files)
{
    form.addVideoFiles(files);
    if (!waitUntil([&] { return rowsBelow(form.videoList->model()) == files.size(); })) {
        QTextStream(stdout) << "listed " << rowsBelow(form.videoList->model()) << " of "
                            << files.size() << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The preview's player gets no real window or sound device here.
    if (qEnvironmentVariableIsEmpty("SDL_VIDEODRIVER"))
        qputenv("SDL_VIDEODRIVER", "dummy");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    QTextStream out(stdout);

    const WorkFolders folders = WorkFolders::standard();
    folders.create();
    if (!testsupport::linkRealTools(folders.binDir)) {
        out << "cannot link the tools\n";
        return 1;
    }
    const QString clips = data.filePath(QStringLiteral("clips"));
    const QString many = data.filePath(QStringLiteral("many"));
    const QString output = data.filePath(QStringLiteral("out"));
    QDir().mkpath(clips);
    QDir().mkpath(many);
    QDir().mkpath(output);
    QStringList three;
    for (int i = 1; i <= 3; ++i) {
        three << clips + QStringLiteral("/klip%1.mp4").arg(i);
        if (!makeClip(three.last(), 2, QStringLiteral("320x240")))
            return 1;
    }
    const QString longClip = clips + QStringLiteral("/uzun.mp4");
    if (!makeClip(longClip, 60, QStringLiteral("640x480")))
        return 1;
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        files << many + QStringLiteral("/video%1.mp4").arg(i, 3, 10, QLatin1Char('0'));
        if (!QFile::link(three.first(), files.last()))
            return 1;
    }

    // The windows are made before the measurement: building a main window is not the subject.
    auto listForm = makeForm(output);
    auto form = makeForm(output);
    auto longForm = makeForm(output);
    waitUntil([] { return false; }, 300);

    Heartbeat beat;
    QString failure;

    beat.start(QStringLiteral("add 300 files"));
    if (!list(*listForm, files))
        failure = QStringLiteral("the 300 files were not all listed");

    beat.step(QStringLiteral("list three clips"));
    if (!list(*form, three))
        return 1;
    beat.step(QStringLiteral("render three clips"));
    withModal(*form, form->findChild<QAction *>(QStringLiteral("actRender")), "VideoRenderForm",
              [&](QDialog *window) {
                  auto *start = window->findChild<QPushButton *>(QStringLiteral("btnStart"));
                  auto *finish = window->findChild<QPushButton *>(QStringLiteral("btnFinish"));
                  start->click();
                  if (!waitUntil([&] { return finish->text() == QLatin1String("Kapat"); }))
                      failure = QStringLiteral("the render did not end");
                  finish->click();
              });
    for (const QString &clip : three) {
        if (!QFile::exists(output + QLatin1Char('/') + QFileInfo(clip).fileName()))
            failure = QStringLiteral("a rendered clip is missing");
    }

    beat.step(QStringLiteral("stop a render"));
    double stopClickMs = 0;
    beat.step(QStringLiteral("list a long clip"));
    if (!list(*longForm, {longClip}))
        return 1;
    beat.step(QStringLiteral("stop a render"));
    withModal(*longForm, longForm->findChild<QAction *>(QStringLiteral("actRender")),
              "VideoRenderForm", [&](QDialog *window) {
                  auto *start = window->findChild<QPushButton *>(QStringLiteral("btnStart"));
                  auto *finish = window->findChild<QPushButton *>(QStringLiteral("btnFinish"));
                  start->click();
                  // Stop once the encoder is well under way.
                  waitUntil([&] { return QFileInfo(output + "/uzun.part.mp4").size() > 100000; });
                  QElapsedTimer click;
                  click.start();
                  finish->click();
                  stopClickMs = click.nsecsElapsed() / 1e6;
                  if (!waitUntil([&] { return finish->text() == QLatin1String("Kapat"); }))
                      failure = QStringLiteral("the stop did not end the render");
                  finish->click();
              });

    beat.step(QStringLiteral("open and close a preview"));
    form->videoList->setCurrentIndex(form->videoList->model()->index(0, 0));
    form->findChild<QAction *>(QStringLiteral("actRenderPreview"))->trigger();
    waitUntil([&] { return form->preview->run() != nullptr; }, 10000);
    // Let it play a moment.
    waitUntil([] { return false; }, 700);
    form->preview->close();

    beat.step(QStringLiteral("open the thumbnail window"));
    withModal(*form, form->findChild<QAction *>(QStringLiteral("actThumbnail")), "ThumbnailForm",
              [&](QDialog *) { waitUntil([] { return false; }, 1500); });
    beat.step(QStringLiteral("(closing the windows)"));
    listForm.reset();
    longForm.reset();
    form.reset();

    double longest = 0;
    for (const auto &[step, worst] : beat.worst()) {
        if (step.startsWith(QLatin1Char('(')))
            continue;
        out << QStringLiteral("%1: longest gap %2 ms (of a %3 ms gap, %4 ms of it waiting for a "
                              "processor)\n")
                   .arg(step, -26)
                   .arg(worst.ownMs, 0, 'f', 1)
                   .arg(worst.totalMs, 0, 'f', 1)
                   .arg(worst.cpuWaitMs, 0, 'f', 1);
        longest = std::max(longest, worst.ownMs);
    }
    out << QStringLiteral("longest gap counting the wait for a processor: %1 ms\n")
               .arg(beat.longestTotal(), 0, 'f', 1);
    out << QStringLiteral("\"Durdur\" returned after %1 ms\n").arg(stopClickMs, 0, 'f', 1);
    if (!failure.isEmpty())
        out << "failure: " << failure << '\n';
    out << QStringLiteral("ratio %1\n").arg(longest / kGoalMs, 0, 'f', 3);
    return failure.isEmpty() ? 0 : 1;
}
