#include "cli/rendercommand.h"

#include "cli/fileprober.h"
#include "core/base/endingsignals.h"
#include "core/base/filechecks.h"
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

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace fulmaro::batch {

namespace {

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
                const WorkFolders &folders, const ToolSet &tools, EndingSignals &ending,
                QTextStream &err)
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
    // Every job of the run keeps off every source, and off the outputs written before it.
    queueOptions.guarded = std::make_shared<GuardedFiles>();
    for (const QString &file : files)
        queueOptions.guarded->add(file);

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
            .arg(printableName(QDir::toNativeSeparators(outputs.at(index))));
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
            err << "    " << printableName(status.reason) << '\n';
        if (!status.notice.isEmpty())
            err << "    " << printableName(status.notice) << '\n';
        if (status.state == JobState::Failed) {
            for (const QString &line : status.lastLines)
                err << "    " << line << '\n';
        }
        err.flush();
    };

    // Ctrl-C (or the end of the terminal or session) ends the running job's own process tree,
    // which takes its unfinished output with it, then the run; a probe being waited for is
    // given up.
    RenderQueue *running = nullptr;
    FileProber prober(tools, folders.workDir, files);
    const QMetaObject::Connection onEnding =
        QObject::connect(&ending, &EndingSignals::arrived, [&] {
            prober.abandon();
            if (running && !running->stopRequested())
                running->stop();
        });
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
        if (!halted && !ending.received() && !toolIsRight())
            halted = true;
        if (halted || ending.received()) {
            report(index, status);
            continue;
        }
        const VideoItem &item = probed.isEmpty() ? prober.waitFor(index) : probed.at(index);
        if (ending.received()) {
            report(index, status);
            continue;
        }
        const RenderJob job =
            buildRenderJob(item, index, settings, buildFolders, outputs.at(index));
        if (!job.refusal.isEmpty()) {
            // Never handed to the encoder; the run goes on with the next file.
            if (terminal)
                err << "\r\x1b[K";
            err << head(index) << QStringLiteral(": hata: ") << printableName(job.refusal) << '\n';
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
    QObject::disconnect(onEnding);
    sleepLock.release();

    err << QStringLiteral("Toplam %1 iş: %2 başarılı, %3 başarısız, %4 durduruldu ya da "
                          "çalıştırılmadı.")
               .arg(total)
               .arg(done)
               .arg(failed)
               .arg(total - done - failed)
        << '\n';
    err.flush();
    if (ending.received())
        return kExitInterrupted;
    return done == total ? kExitOk : kExitFailed;
}

} // namespace

int runRender(const BatchOptions &options, const WorkFolders &folders, const ToolSet &tools,
              EndingSignals &ending, QTextStream &out, QTextStream &err)
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

    // Only regular files are videos: a pipe or a device would hold the probe forever.
    bool refused = false;
    for (const QString &file : options.files) {
        const QString reason = notRegularFileReason(file);
        if (reason.isEmpty())
            continue;
        err << "fulmaro-batch: " << refusedFileText(file, reason) << '\n';
        refused = true;
    }
    // A line of --dry-run is one command for a shell or a line-based runner: a line end or
    // another control character in a name would split it, and the second half would run as a
    // command of its own. NUL-ended lines (--null) carry any name.
    if (options.dryRun && !options.nullLines) {
        QStringList names = options.files;
        names << options.outputFolder << folders.workDir;
        for (const QString &name : std::as_const(names)) {
            if (!hasControlCharacter(name))
                continue;
            err << "fulmaro-batch: "
                << QStringLiteral("Adında satır sonu ya da başka bir denetim karakteri var, "
                                  "komut satırı yazılamaz (--null ile yazılabilir): %1")
                       .arg(printableName(QDir::toNativeSeparators(name)))
                << '\n';
            refused = true;
        }
    }
    if (refused) {
        err.flush();
        return kExitUsage;
    }

    QString outputFolder;
    if (!options.preview) {
        if (options.outputFolder.isEmpty()) {
            const OutputFolderSetting saved = readOutputFolderSetting(folders.settingsFile());
            if (!saved.problem.isEmpty())
                return fail(saved.problem);
            outputFolder = saved.folder;
        } else {
            outputFolder = options.outputFolder;
        }
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
        QObject::connect(&ending, &EndingSignals::arrived, &prober, &FileProber::abandon);
        prober.start();
        for (int index = 0; index < options.files.size(); ++index) {
            probed << prober.waitFor(index);
            if (ending.received())
                return kExitInterrupted;
            if (const InputProblem trim = checkTrim(probed.last(), settings); trim.isProblem())
                return fail(trim.message);
        }
    }

    if (!options.dryRun)
        return renderFiles(options.files, probed, settings, outputFolder, folders, tools, ending,
                           err);

    BuildFolders buildFolders = BuildFolders::from(folders, tools);
    buildFolders.playerPath = tools.path(tools.ffPlay); // Bin's or the system's
    const QStringList outputs =
        renderOutputPaths(options.files, settings.cbExtension, outputFolder);
    FileProber prober(tools, folders.workDir, options.files);
    QObject::connect(&ending, &EndingSignals::arrived, &prober, &FileProber::abandon);
    prober.start();
    int exitCode = kExitOk;
    const char lineEnd = options.nullLines ? '\0' : '\n';
    for (int index = 0; index < options.files.size(); ++index) {
        const VideoItem &item = prober.waitFor(index);
        if (ending.received())
            return kExitInterrupted;
        if (!item.renderable()) {
            err << QStringLiteral("%1: %2").arg(printableName(item.caption),
                                                problemText(item.problem))
                << '\n';
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
        if (!options.nullLines && hasControlCharacter(line)) {
            // A library or settings text that reached the line; never print a line that splits.
            err << "fulmaro-batch: "
                << QStringLiteral("Komut satırında denetim karakteri var, yazılmadı: %1")
                       .arg(printableName(item.caption))
                << '\n';
            exitCode = kExitUsage;
            continue;
        }
        out << line << lineEnd;
    }
    return exitCode;
}

} // namespace fulmaro::batch
