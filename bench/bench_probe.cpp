// Adding 100 clips to the list at once, beside the same 200 probe runs one after another in a
// shell loop. The list adds them twice: with the stills turned away, then with its stills as the
// program grabs them. Prints the times, how late a 10 ms timer of the window's event loop ran at
// worst while the rows and the stills came, and, last, the time for the rows to appear with the
// stills on over the loop time.
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/thumbnail/stillgrabber.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videolistmodel.h"
#include "support/testsupport.h"
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
    testsupport::linkRealTools(folders.binDir);
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

    // The list as the window has it, on a bare view; once with the stills turned away (every
    // request dropped), to see what the stills cost, then as the program runs.
    QWidget window;
    window.resize(800, 600);
    window.show();

    // The event loop's worst lateness: a 10 ms timer that should fire every 10 ms.
    QElapsedTimer beat;
    qint64 worstLateMs = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { worstLateMs = qMax(worstLateMs, beat.restart() - 10); });

    struct Add
    {
        double rowsSeconds = 0;
        double stillSeconds = 0;
        qint64 worstWhileAdding = 0;
        qint64 worstWhileStills = 0;
        int rows = 0;
        int stills = 0;
    };
    auto add = [&](bool withStills) {
        Add result;
        QTreeView view(&window);
        VideoListController list(&view, VideoListActions{}, {folders, tools, &window});
        if (!withStills)
            list.stills()->wanted = [](quint64) { return false; };
        QEventLoop wait;
        QObject::connect(&list, &VideoListController::addFinished, &wait, &QEventLoop::quit);
        QObject::connect(list.stills(), &StillGrabber::idle, &wait, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        worstLateMs = 0;
        beat.start();
        heartbeat.start();
        list.addVideoFiles(paths);
        while (list.isAdding())
            wait.exec();
        result.rowsSeconds = clock.nsecsElapsed() / 1e9;
        result.worstWhileAdding = worstLateMs;
        worstLateMs = 0;
        while (!list.stills()->isIdle())
            wait.exec();
        result.stillSeconds = clock.nsecsElapsed() / 1e9;
        result.worstWhileStills = worstLateMs;
        heartbeat.stop();
        result.rows = list.model()->count();
        for (const VideoItem &item : list.model()->items())
            result.stills += item.stillState == StillState::Ready ? 1 : 0;
        return result;
    };
    const Add bare = add(false);
    const Add full = add(true);

    out << "files " << paths.size() << ", rows " << full.rows << ", stills " << full.stills << '\n';
    out << "without stills: add " << bare.rowsSeconds << " s, worst event delay "
        << bare.worstWhileAdding << " ms\n";
    out << "with stills: add " << full.rowsSeconds << " s (rows appear), last still at "
        << full.stillSeconds << " s\n";
    out << "with stills: worst event delay " << full.worstWhileAdding << " ms while adding, "
        << full.worstWhileStills << " ms while the last stills came\n";
    out << "loop " << loopSeconds << " s\n";
    out << "ratio " << full.rowsSeconds / loopSeconds << '\n';
    return bare.rows == paths.size() && full.rows == paths.size() && full.stills == full.rows ? 0
                                                                                              : 1;
}
