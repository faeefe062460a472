// The quality mode's size estimate against the real render, on six generated clips of different
// content (10 s each, 320x240 at 25 frames a second, with a tone): a moving test picture, a
// fractal zoom, a picture under heavy noise, a nearly still card, a fast cellular automaton and
// bars under noise. Each clip is estimated (the sample encodes) and then rendered with the same
// settings; the figures are the sizes, the error and the time each took. Prints, last,
// "ratio <median of |estimated - actual| / actual>".
//
// The settings are the panel's defaults with "Kalite" and 360p; further NAME=VALUE arguments
// change them (cbVideoCodec=3, cbExtension=webm ...).

#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/queue/renderjobs.h"
#include "core/queue/sizeestimate.h"
#include "core/render/commandbuilder.h"
#include "core/render/settingsoptions.h"
#include "core/render/videocodecs.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

using namespace fulmaro;

namespace {

QTextStream out(stdout);

struct Clip
{
    const char *name;
    const char *source; // lavfi video source and filters
};

const Clip kClips[] = {
    {"testsrc2", "testsrc2=size=320x240:rate=25"},
    {"mandelbrot", "mandelbrot=size=320x240:rate=25"},
    {"noise", "testsrc2=size=320x240:rate=25,noise=alls=40:allf=t+u"},
    {"card", "smptebars=size=320x240:rate=25,noise=alls=3:allf=t"},
    {"life", "life=size=320x240:rate=25:mold=10:ratio=0.3:death_color=#C83232:"
             "life_color=#00ff00"},
    {"hdbars", "smptehdbars=size=320x240:rate=25,noise=alls=20:allf=t"},
};

bool makeClip(const QString &path, const char *source)
{
    return testsupport::runCommand(QStringLiteral(TOOLS_DIR "/ffmpeg"),
                                   {"-v",
                                    "error",
                                    "-y",
                                    "-f",
                                    "lavfi",
                                    "-i",
                                    QLatin1String(source),
                                    "-f",
                                    "lavfi",
                                    "-i",
                                    "sine=frequency=440:duration=10",
                                    "-c:v",
                                    "libx264",
                                    "-preset",
                                    "ultrafast",
                                    "-crf",
                                    "12",
                                    "-pix_fmt",
                                    "yuv420p",
                                    "-c:a",
                                    "aac",
                                    "-shortest",
                                    path},
                                   120000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // A work folder of its own, with the real tools in its Bin.
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    const WorkFolders folders = WorkFolders::standard();
    folders.create();
    if (!testsupport::linkRealTools(folders.binDir)) {
        out << "cannot link the tools\n";
        return 1;
    }
    const ToolSet tools = ToolSet::configured(folders.binDir);

    RenderSettings settings;
    settings.cbRateMode = int(RateMode::Quality);
    settings.cbRenderScale = 5; // 360p
    for (const QString &assignment : app.arguments().mid(1)) {
        const QString problem = applySettingOption(settings, assignment, {});
        if (!problem.isEmpty()) {
            out << problem << '\n';
            return 1;
        }
    }

    const QString src = dir.filePath(QStringLiteral("src/"));
    const QString outDir = dir.filePath(QStringLiteral("out/"));
    QDir().mkpath(src);
    QDir().mkpath(outDir);
    QList<VideoItem> items;
    for (const Clip &clip : kClips) {
        const QString path = src + QLatin1String(clip.name) + QStringLiteral(".mp4");
        if (!makeClip(path, clip.source)) {
            out << "cannot make " << clip.name << '\n';
            return 1;
        }
        const std::optional<VideoItem> item = probeVideoFile(tools, folders.workDir, path);
        if (!item || !item->renderable()) {
            out << "cannot probe " << clip.name << '\n';
            return 1;
        }
        items << *item;
    }

    const BuildFolders buildFolders = BuildFolders::from(folders, tools);
    const QList<RenderJob> jobs = buildRenderJobs(items, settings, buildFolders, outDir);
    QList<double> errors;
    double estimateMs = 0;
    double renderMs = 0;
    for (int index = 0; index < items.size(); ++index) {
        SizeEstimator sizes(1, settings, folders, tools);
        QElapsedTimer timer;
        timer.start();
        sizes.provide(0, items.at(index));
        const SizeEstimate &estimate = sizes.waitFor(0);
        const double thisEstimateMs = timer.nsecsElapsed() / 1e6;
        if (!estimate.ready()) {
            out << kClips[index].name << ": no estimate\n";
            return 1;
        }
        timer.restart();
        makeScratchCopies(jobs.at(index).copies);
        const RunResult render = getDosOutput(
            QStringLiteral("ffmpeg"), renderCommandLine(tools.path(tools.ffMpeg), jobs.at(index)),
            folders.tempDir);
        const double thisRenderMs = timer.nsecsElapsed() / 1e6;
        const qint64 actual = QFileInfo(jobs.at(index).outputPath).size();
        if (!render.succeeded() || actual <= 0) {
            out << kClips[index].name << ": render failed\n";
            return 1;
        }
        const double error = double(estimate.bytes() - actual) / double(actual);
        errors << std::fabs(error);
        estimateMs += thisEstimateMs;
        renderMs += thisRenderMs;
        out << kClips[index].name << ": estimated " << estimate.bytes() << " B (video "
            << estimate.parts.video << ", sound " << estimate.parts.sound << ", container "
            << estimate.parts.container << "), actual " << actual << " B, error "
            << QString::number(error * 100, 'f', 1) << "%, estimate " << qRound(thisEstimateMs)
            << " ms, render " << qRound(thisRenderMs) << " ms\n";
        out.flush();
    }
    const QStringList left = QDir(folders.tempDir).entryList({QStringLiteral("estimate-*")});
    if (!left.isEmpty()) {
        out << "sample files left: " << left.join(QLatin1Char(' ')) << '\n';
        return 1;
    }
    std::sort(errors.begin(), errors.end());
    const qsizetype n = errors.size();
    const double median = n % 2 ? errors.at(n / 2) : (errors.at(n / 2 - 1) + errors.at(n / 2)) / 2;
    out << "estimate_ms " << qRound(estimateMs) << '\n'
        << "render_ms " << qRound(renderMs) << '\n'
        << "ratio " << median << '\n';
    return 0;
}
