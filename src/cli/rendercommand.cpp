#include "cli/rendercommand.h"

#include "cli/fileprober.h"
#include "core/base/settingsfile.h"
#include "core/desktop/sleepinhibitor.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderprogress.h"
#include "core/queue/renderqueue.h"
#include "core/queue/runestimate.h"
#include "core/render/commandbuilder.h"
#include "core/render/settingsoptions.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <csignal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace fulmaro::batch {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

bool stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(2) == 1;
#else
    return false;
#endif
}

QString stateText(const JobStatus &status)
{
    switch (status.state) {
    case JobState::Succeeded:
        return QStringLiteral("tamam");
    case JobState::Failed:
        if (status.runEnd == RunEnd::Failed)
            return QStringLiteral("hata (çıkış kodu %1)").arg(status.exitCode);
        return QStringLiteral("hata");
    case JobState::Stopped:
        return QStringLiteral("durduruldu");
    case JobState::Skipped:
        return QStringLiteral("çalıştırılmadı");
    case JobState::Waiting:
    case JobState::Running:
        break;
    }
    return QString();
}

// Renders the files one after another while the next files are being probed. Each file's row
// and job are the ones the window's queue would make.
int renderFiles(const QStringList &files, const QList<VideoItem> &probed,
                const RenderSettings &settings, const QString &outputFolder,
                const WorkFolders &folders, const ToolSet &tools, QTextStream &err)
{
    const BuildFolders buildFolders = BuildFolders::from(folders, tools);
    const QStringList outputs = renderOutputPaths(files, settings.cbExtension, outputFolder);
    const int total = int(files.size());
    const bool terminal = stderrIsTerminal();
    QueueOptions queueOptions;
    queueOptions.encoderPath = tools.path(tools.ffMpeg);
    queueOptions.workDir = folders.tempDir;
    queueOptions.timeStart = settings.edTimeStart;
    queueOptions.timeEnd = settings.edTimeEnd;
    queueOptions.speedPercent = settings.tbVideoSpeed;

    auto toolIsRight = [&] {
        QString message;
        if (tools.verify(tools.ffMpeg, &message))
            return true;
        if (!message.isEmpty())
            err << message << '\n';
        err.flush();
        return false;
    };
    auto head = [&](int index) {
        return QStringLiteral("[%1/%2] %3")
            .arg(index + 1)
            .arg(total)
            .arg(QDir::toNativeSeparators(outputs.at(index)));
    };
    QList<JobStatus> statuses(total);
    auto report = [&](int index, const JobStatus &status) {
        statuses[index] = status;
        if (terminal)
            err << "\r\x1b[K";
        err << head(index) << ": " << stateText(status);
        if (status.state == JobState::Succeeded || status.state == JobState::Failed)
            err << QStringLiteral(", süre ") << elapsedText(status.elapsedSeconds);
        err << '\n';
        if (!status.reason.isEmpty())
            err << "    " << status.reason << '\n';
        if (status.state == JobState::Failed) {
            for (const QString &line : status.lastLines)
                err << "    " << line << '\n';
        }
        err.flush();
    };

    // Ctrl-C (or the end of the terminal or session) ends the running job's own process tree,
    // which takes its unfinished output with it, then the run.
    g_interrupted = false;
    const int endingSignals[] = {SIGINT, SIGTERM,
#ifdef SIGHUP
                                 SIGHUP
#endif
    };
    QList<void (*)(int)> previous;
    for (int signal : endingSignals)
        previous << std::signal(signal, onInterrupt);
    RenderQueue *running = nullptr;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (g_interrupted && running && !running->stopRequested())
            running->stop();
    });
    watch.start(50);

    FileProber prober(tools, folders.workDir, files);
    if (probed.isEmpty())
        prober.start();

    // The same figures as the window: the job's percentage, speed and time left, then the
    // whole run's.
    const QLocale locale;
    auto statusLine = [&](int index, const JobStatus &current) -> QString {
        const QDateTime now = QDateTime::currentDateTime();
        QString line = QLatin1Char('%') + locale.toString(current.percent.value_or(0));
        if (current.speed)
            line += QStringLiteral(" · ") + speedText(*current.speed, locale);
        if (const auto left = jobSecondsLeft(current, now))
            line += QStringLiteral(" · kalan ") + elapsedText(*left, locale);
        QList<JobStatus> run = statuses;
        run[index] = current;
        QList<qint64> planned;
        for (int i = 0; i < total; ++i) {
            const VideoItem *item = prober.known(i);
            const qint64 input = item ? durationToSeconds(item->duration) : 0;
            planned << (input > 0 ? expectedOutputSeconds(input, settings.edTimeStart,
                                                          settings.edTimeEnd, settings.tbVideoSpeed)
                                  : 0);
        }
        return line + QStringLiteral(" · toplam ") +
               runCaption(runFigures(run, planned, now), locale);
    };
    // The machine stays awake until the last file is done.
    SleepInhibitor sleepLock;
    sleepLock.hold();
    int done = 0;
    int failed = 0;
    bool halted = false; // a stop or a failed tool check: the rest is not run
    for (int index = 0; index < total; ++index) {
        JobStatus status;
        status.state = JobState::Skipped;
        if (!halted && !g_interrupted && !toolIsRight())
            halted = true;
        if (halted || g_interrupted) {
            report(index, status);
            continue;
        }
        const VideoItem &item = probed.isEmpty() ? prober.waitFor(index) : probed.at(index);
        if (g_interrupted) {
            report(index, status);
            continue;
        }
        const RenderJob job =
            buildRenderJob(item, index, settings, buildFolders, outputs.at(index));
        if (!job.refusal.isEmpty()) {
            // Never handed to the encoder; the run goes on with the next file.
            if (terminal)
                err << "\r\x1b[K";
            err << head(index) << QStringLiteral(": hata: ") << job.refusal << '\n';
            err.flush();
            ++failed;
            continue;
        }
        RenderQueue queue({job}, queueOptions);
        QObject::connect(&queue, &RenderQueue::jobProgress, [&](int) {
            if (!terminal)
                return;
            err << '\r' << head(index) << ": " << statusLine(index, queue.status(0)) << "\x1b[K";
            err.flush();
        });
        running = &queue;
        queue.runAll();
        running = nullptr;
        status = queue.status(0);
        report(index, status);
        if (status.state == JobState::Succeeded)
            ++done;
        else if (status.state == JobState::Failed)
            ++failed;
        else
            halted = true;
        if (queue.halted())
            halted = true;
    }
    watch.stop();
    sleepLock.release();
    for (qsizetype i = 0; i < previous.size(); ++i)
        std::signal(endingSignals[i], previous.at(i));

    err << QStringLiteral("Toplam %1 iş: %2 başarılı, %3 başarısız, %4 durduruldu ya da "
                          "çalıştırılmadı.")
               .arg(total)
               .arg(done)
               .arg(failed)
               .arg(total - done - failed)
        << '\n';
    err.flush();
    if (g_interrupted)
        return kExitInterrupted;
    return done == total ? kExitOk : kExitFailed;
}

} // namespace

int runRender(const BatchOptions &options, const WorkFolders &folders, const ToolSet &tools,
              QTextStream &out, QTextStream &err)
{
    auto fail = [&err](const QString &message) {
        err << "fulmaro-batch: " << message << '\n';
        err.flush();
        return kExitUsage;
    };

    RenderSettings settings;
    const LibraryEntries library{libraryPictureNames(folders.filterDir),
                                 libraryPictureNames(folders.frameDir),
                                 libraryPictureNames(folders.logoDir)};
    for (const QString &assignment : options.assignments) {
        const QString problem = applySettingOption(settings, assignment, library);
        if (!problem.isEmpty())
            return fail(problem);
    }

    QStringList missing;
    for (const QString &file : options.files) {
        if (!QFileInfo::exists(file))
            missing << file;
    }
    if (!missing.isEmpty()) {
        for (const QString &file : missing)
            err << "fulmaro-batch: " << QStringLiteral("Dosya bulunamadı: %1").arg(file) << '\n';
        err.flush();
        return kExitUsage;
    }

    QString outputFolder;
    if (!options.preview) {
        outputFolder = options.outputFolder.isEmpty() ? loadOutputFolder(folders.settingsFile())
                                                      : options.outputFolder;
        if (outputFolder.trimmed().isEmpty())
            return fail(QStringLiteral("Çıkış klasörü seçilmemiş"));
        if (!QFileInfo(outputFolder).isDir())
            return fail(QStringLiteral("Çıkış klasörü bulunamadı. (%1)").arg(outputFolder));
        outputFolder = QDir::toNativeSeparators(QFileInfo(outputFolder).absoluteFilePath());
        const InputProblem folder = checkOutputFolder(outputFolder);
        if (folder.isProblem())
            return fail(folder.message);
    }
    if (const InputProblem bitrate = checkBitrate(settings); bitrate.isProblem())
        return fail(bitrate.message);

    // A trim is checked against every file's length before anything runs; that takes the probes
    // first, which otherwise run beside the renders.
    QList<VideoItem> probed;
    if (settings.edTimeStart > 0 || settings.edTimeEnd > 0) {
        FileProber prober(tools, folders.workDir, options.files, 2);
        prober.start();
        for (int index = 0; index < options.files.size(); ++index) {
            probed << prober.waitFor(index);
            if (const InputProblem trim = checkTrim(probed.last(), settings); trim.isProblem())
                return fail(trim.message);
        }
    }

    if (!options.dryRun)
        return renderFiles(options.files, probed, settings, outputFolder, folders, tools, err);

    BuildFolders buildFolders = BuildFolders::from(folders, tools);
    buildFolders.playerPath = tools.path(tools.ffPlay); // Bin's or the system's
    const QStringList outputs =
        renderOutputPaths(options.files, settings.cbExtension, outputFolder);
    FileProber prober(tools, folders.workDir, options.files);
    prober.start();
    int exitCode = kExitOk;
    for (int index = 0; index < options.files.size(); ++index) {
        const VideoItem &item = prober.waitFor(index);
        if (!item.renderable()) {
            err << QStringLiteral("%1: %2").arg(item.caption, problemText(item.problem)) << '\n';
            err.flush();
            exitCode = kExitFailed;
            continue;
        }
        QString line;
        QList<ScratchCopy> copies;
        if (options.preview) {
            const BuiltCommand built =
                buildCommandLine(&item, PreviewMode, settings, buildFolders, scratchTick());
            copies = built.copies;
            line = previewCommandLine(tools.path(tools.ffMpeg), built);
        } else {
            const RenderJob job =
                buildRenderJob(item, index, settings, buildFolders, outputs.at(index));
            copies = job.copies;
            line = renderCommandLine(tools.path(tools.ffMpeg), job);
        }
        if (!makeScratchCopies(copies)) {
            err << QStringLiteral("Uyarı: bindirme resimleri geçici klasöre kopyalanamadı.")
                << '\n';
        }
        out << line << '\n';
    }
    return exitCode;
}

} // namespace fulmaro::batch
