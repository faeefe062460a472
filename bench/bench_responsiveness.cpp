// How long the interface thread is ever kept from its event loop while the program works: a
// 10 ms heartbeat timer runs on it while the main window adds 300 files, renders three clips,
// stops a render, opens and closes a preview and opens the thumbnail window. Driven only through
// the main window's public members, its actions and the windows' controls found by name.
// Prints the longest gap between two beats per step and, last, "ratio <longest gap / 50 ms>".
#include "core/base/workfolders.h"
#include "ui/mainform.h"

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

bool linkTools(const QString &binDir)
{
    QDir().mkpath(binDir);
    for (const char *tool : {"ffmpeg", "ffprobe", "ffplay"}) {
        const QString link = binDir + QLatin1String(tool);
        QFile::remove(link);
        if (!QFile::link(QStringLiteral(TOOLS_DIR "/") + QLatin1String(tool), link))
            return false;
    }
    return true;
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

// The longest wait between two beats of a 10 ms timer on the interface thread, per step.
class Heartbeat : public QObject
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double gap = (now - m_last) / 1e6;
            m_last = now;
            double &worst = m_worst[m_step];
            worst = std::max(worst, gap);
        });
    }
    void start(const QString &step)
    {
        m_step = step;
        m_worst[step] = 0;
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
    }
    void step(const QString &name)
    {
        m_step = name;
        m_worst.try_emplace(name, 0.0);
    }
    const std::map<QString, double> &worst() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    QString m_step;
    std::map<QString, double> m_worst;
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

std::unique_ptr<MainForm> makeForm(const QStringList &files, const QString &output)
{
    auto form = std::make_unique<MainForm>();
    form->show();
    form->checkInfo();
    form->edOutputFolder->setText(output);
    form->addVideoFiles(files);
    if (!waitUntil([&] { return rowsBelow(form->videoList->model()) == files.size(); })) {
        QTextStream(stdout) << "listed " << rowsBelow(form->videoList->model()) << " of "
                            << files.size() << '\n';
        return nullptr;
    }
    return form;
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
    if (!linkTools(folders.binDir)) {
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

    Heartbeat beat;
    QString failure;

    beat.start(QStringLiteral("add 300 files"));
    auto listForm = makeForm(files, output);
    if (!listForm)
        failure = QStringLiteral("the 300 files were not all listed");
    listForm.reset();

    beat.step(QStringLiteral("list three clips"));
    auto form = makeForm(three, output);
    if (!form)
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
    auto longForm = makeForm({longClip}, output);
    if (!longForm)
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
    longForm.reset();

    beat.step(QStringLiteral("open and close a preview"));
    form->videoList->setCurrentIndex(form->videoList->model()->index(0, 0));
    form->findChild<QAction *>(QStringLiteral("actRenderPreview"))->trigger();
    waitUntil([&] { return form->previewRun() != nullptr; }, 10000);
    // Let it play a moment.
    waitUntil([] { return false; }, 700);
    form->closePreviewWindow();

    beat.step(QStringLiteral("open the thumbnail window"));
    withModal(*form, form->findChild<QAction *>(QStringLiteral("actThumbnail")), "ThumbnailForm",
              [&](QDialog *) { waitUntil([] { return false; }, 1500); });
    form.reset();

    double longest = 0;
    for (const auto &[step, worst] : beat.worst()) {
        out << QStringLiteral("%1: longest gap %2 ms\n").arg(step, -28).arg(worst, 0, 'f', 1);
        longest = std::max(longest, worst);
    }
    out << QStringLiteral("\"Durdur\" returned after %1 ms\n").arg(stopClickMs, 0, 'f', 1);
    if (!failure.isEmpty())
        out << "failure: " << failure << '\n';
    out << QStringLiteral("ratio %1\n").arg(longest / kGoalMs, 0, 'f', 3);
    return failure.isEmpty() ? 0 : 1;
}
