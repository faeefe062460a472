// Adding 100 clips to the list at once, with their stills on, beside the same 200 probe runs one
// after another in a shell loop. Prints both times, the time until every still is in, how late a
// 10 ms timer of the window's event loop ran at worst while rows and stills came, and, last, the
// time for the rows to appear over the loop time.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/thumbnail/stillgrabber.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videolistmodel.h"
#include "ui/videolist/videolistcontroller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

using namespace fulmaro;

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const WorkFolders folders = WorkFolders::under(dir.path());
    folders.create();
    QDir().mkpath(folders.binDir);
    for (const char *tool : {"ffprobe", "ffmpeg"})
        QFile::link(QStringLiteral(TOOLS_DIR "/") + QLatin1String(tool),
                    folders.binDir + QLatin1String(tool));
    const ToolSet tools = ToolSet::configured(folders.binDir);

    const QString first = dir.filePath(QStringLiteral("klip 000.mp4"));
    QProcess make;
    make.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
               {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=30:duration=1",
                "-f", "lavfi", "-i", "sine=duration=1", "-c:v", "mpeg4", "-c:a", "aac", first});
    if (!make.waitForFinished(60000) || make.exitCode() != 0) {
        out << "cannot make the clip\n";
        return 1;
    }
    QStringList paths{first};
    for (int i = 1; i < 100; ++i) {
        paths << dir.filePath(QStringLiteral("klip %1.mp4").arg(i, 3, 10, QLatin1Char('0')));
        QFile::copy(first, paths.constLast());
    }

    // The same 200 runs, one after another, through one shell.
    QString script;
    for (const QString &p : paths)
        script += formatProbeCommand(tools, p) + QStringLiteral(" >/dev/null\n") +
                  streamProbeCommand(tools, p) + QStringLiteral(" >/dev/null\n");
    QElapsedTimer t;
    t.start();
    QProcess loop;
    loop.setWorkingDirectory(dir.path());
    loop.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    loop.waitForFinished(-1);
    const double loopSeconds = t.nsecsElapsed() / 1e9;

    // The list as the window has it, on a bare view.
    QWidget window;
    QTreeView view(&window);
    window.resize(800, 600);
    window.show();
    VideoListController list(&view, VideoListActions{}, {folders, tools, &window});

    // The event loop's worst lateness: a 10 ms timer that should fire every 10 ms.
    QElapsedTimer beat;
    qint64 worstLateMs = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { worstLateMs = qMax(worstLateMs, beat.restart() - 10); });

    QEventLoop wait;
    t.restart();
    QObject::connect(&list, &VideoListController::addFinished, &wait, &QEventLoop::quit);
    beat.start();
    heartbeat.start();
    list.addVideoFiles(paths);
    wait.exec();
    const double addSeconds = t.nsecsElapsed() / 1e9;
    const int rows = list.model()->count();
    const qint64 worstWhileAdding = worstLateMs;

    worstLateMs = 0;
    if (!list.stills()->isIdle()) {
        QObject::connect(list.stills(), &StillGrabber::idle, &wait, &QEventLoop::quit);
        wait.exec();
    }
    const double stillSeconds = t.nsecsElapsed() / 1e9;
    heartbeat.stop();
    int stills = 0;
    for (const VideoItem &item : list.model()->items())
        stills += item.stillState == StillState::Ready ? 1 : 0;

    out << "files " << paths.size() << ", rows " << rows << ", stills " << stills << '\n';
    out << "add " << addSeconds << " s (rows appear)\n";
    out << "stills " << stillSeconds << " s (from the add to the last still)\n";
    out << "worst event delay " << worstWhileAdding << " ms while adding, " << worstLateMs
        << " ms while the stills came\n";
    out << "loop " << loopSeconds << " s\n";
    out << "ratio " << addSeconds / loopSeconds << '\n';
    return rows == paths.size() && stills == rows ? 0 : 1;
}
