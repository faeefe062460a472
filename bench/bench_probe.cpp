// Adding 100 clips at once, beside the same 200 probe runs one after another in a shell loop.
// Prints both times and, last, the add time over the loop time.
#include "core/base/toolset.h"
#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/probebatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

using namespace fulmaro;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString binDir = dir.filePath(QStringLiteral("Bin/"));
    QDir().mkpath(binDir);
    QFile::link(QStringLiteral(TOOLS_DIR "/ffprobe"), binDir + QStringLiteral("ffprobe"));
    const ToolSet tools = ToolSet::configured(binDir);

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
        script += formatProbeCommand(tools, p) + QStringLiteral(" >/dev/null\n")
                  + streamProbeCommand(tools, p) + QStringLiteral(" >/dev/null\n");
    QElapsedTimer t;
    t.start();
    QProcess loop;
    loop.setWorkingDirectory(dir.path());
    loop.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    loop.waitForFinished(-1);
    const double loopSeconds = t.nsecsElapsed() / 1e9;

    t.restart();
    ProbeBatch batch(tools, dir.path() + QLatin1Char('/'), paths);
    int rows = 0;
    QObject::connect(&batch, &ProbeBatch::itemReady, [&rows](const VideoItem &) { ++rows; });
    QEventLoop wait;
    QObject::connect(&batch, &ProbeBatch::finished, &wait, &QEventLoop::quit);
    batch.start();
    if (!batch.isFinished())
        wait.exec();
    const double addSeconds = t.nsecsElapsed() / 1e9;

    out << "files " << paths.size() << ", rows " << rows << ", files at once "
        << ProbeBatch::defaultParallelFiles() << '\n';
    out << "add " << addSeconds << " s\n";
    out << "loop " << loopSeconds << " s\n";
    out << "ratio " << addSeconds / loopSeconds << '\n';
    return rows == paths.size() ? 0 : 1;
}
