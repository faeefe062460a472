// The job runner rendering eight short clips, against the same eight encoder command lines run
// one after another in a shell loop. Prints both times and, last, "ratio <runner / loop>".

#include "queue/renderjobs.h"
#include "queue/renderqueue.h"
#include "runner/shellquote.h"
#include "videolist/videoitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

using namespace fulmaro;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString ffmpeg = QStringLiteral(TOOLS_DIR "/ffmpeg");
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src"));
    const QString temp = dir.filePath(QStringLiteral("temp")) + QLatin1Char('/');
    QDir().mkpath(src);
    QDir().mkpath(temp);

    QList<VideoItem> items;
    for (int i = 0; i < 8; ++i) {
        VideoItem item;
        item.caption = src + QStringLiteral("/clip%1.mp4").arg(i);
        item.duration = QStringLiteral("00:00:03");
        item.hasAudio = true;
        item.frameRate = QStringLiteral("30/1");
        QProcess make;
        make.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                            "testsrc=size=320x240:rate=30:duration=3", "-f", "lavfi", "-i",
                            "sine=duration=3", "-c:v", "mpeg4", "-c:a", "aac", item.caption});
        if (!make.waitForFinished(60000) || make.exitCode() != 0) {
            out << "could not make " << item.caption << '\n';
            return 1;
        }
        items << item;
    }
    RenderSettings settings;
    settings.cbRenderScale = 6;
    BuildFolders folders;
    folders.tempDir = temp;

    const auto runQueue = [&](const QString &outDir) {
        QDir().mkpath(outDir);
        const QList<RenderJob> jobs = buildRenderJobs(items, settings, folders, outDir);
        QueueOptions options;
        options.encoderPath = ffmpeg;
        options.workDir = temp;
        RenderQueue queue(jobs, options);
        QElapsedTimer timer;
        timer.start();
        const bool ok = queue.runAll();
        return ok ? timer.nsecsElapsed() / 1e6 : -1.0;
    };
    const auto runLoop = [&](const QString &outDir) {
        QDir().mkpath(outDir);
        const QList<RenderJob> jobs = buildRenderJobs(items, settings, folders, outDir);
        QStringList lines;
        for (const RenderJob &job : jobs)
            lines << renderCommandLine(ffmpeg, job) + QStringLiteral(" || exit 1");
        QProcess shell;
        shell.setWorkingDirectory(temp);
        shell.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer timer;
        timer.start();
        shell.start(QStringLiteral("/bin/sh"), {"-c", lines.join(QLatin1Char('\n'))});
        const bool ok = shell.waitForFinished(-1) && shell.exitCode() == 0;
        return ok ? timer.nsecsElapsed() / 1e6 : -1.0;
    };

    // One warm-up of each, then the better of three.
    runQueue(dir.filePath("warm-q"));
    runLoop(dir.filePath("warm-l"));
    double queueMs = 1e18, loopMs = 1e18;
    for (int round = 0; round < 3; ++round) {
        const double q = runQueue(dir.filePath(QStringLiteral("q%1").arg(round)));
        const double l = runLoop(dir.filePath(QStringLiteral("l%1").arg(round)));
        if (q < 0 || l < 0) {
            out << "a render failed\n";
            return 1;
        }
        queueMs = std::min(queueMs, q);
        loopMs = std::min(loopMs, l);
    }
    out << "runner_ms " << queueMs << '\n' << "loop_ms " << loopMs << '\n'
        << "ratio " << queueMs / loopMs << '\n';
    return 0;
}
