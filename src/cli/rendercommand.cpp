#include "cli/rendercommand.h"

#include "cli/slurmcommand.h"
#include "core/base/endingsignals.h"
#include "core/base/filechecks.h"
#include "core/base/settingsfile.h"
#include "core/batch/batchrun.h"
#include "core/batch/runjournal.h"
#include "core/batch/sourceprober.h"
#include "core/queue/rendercheck.h"
#include "core/queue/renderjobs.h"
#include "core/queue/renderprogress.h"
#include "core/queue/renderqueue.h"
#include "core/queue/runestimate.h"
#include "core/queue/sizeestimate.h"
#include "core/render/commandbuilder.h"
#include "core/render/presets.h"
#include "core/render/settingsoptions.h"
#include "core/runner/toolcheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
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

// The width of the terminal on the standard error; 0 when it does not say.
int terminalColumns()
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (::ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col > 10)
        return size.ws_col;
#endif
    return 0;
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

// Renders the files one after another while the next files are being probed: the batch engine
// does the work; this prints a status line for each job and the totals.
int renderFiles(BatchRun &run, EndingSignals &ending, QTextStream &err)
{
    const int total = run.count();
    const bool terminal = stderrIsTerminal();
    auto head = [&](int index) {
        const QString output = run.queue() ? run.queue()->job(index).outputPath : run.source(index);
        return QStringLiteral("[%1/%2] %3")
            .arg(index + 1)
            .arg(total)
            .arg(printableName(QDir::toNativeSeparators(output)));
    };
    auto report = [&](int index) {
        const JobStatus &status = run.queue()->status(index);
        const RenderJob &job = run.queue()->job(index);
        if (terminal)
            err << "\r\x1b[K";
        if (status.state == JobState::Failed && !job.refusal.isEmpty()) {
            // Never handed to the encoder.
            err << head(index) << QStringLiteral(": hata: ") << printableName(job.refusal) << '\n';
            err.flush();
            return;
        }
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
    // The same figures as the window: each running job's percentage, speed and time left, then
    // the whole run's.
    const QLocale locale;
    auto jobFigures = [&](int index) -> QString {
        const JobStatus &status = run.queue()->status(index);
        QString text = QLatin1Char('%') + locale.toString(status.percent.value_or(0));
        if (status.speed)
            text += QStringLiteral(" · ") + speedText(*status.speed, locale);
        if (const auto left = jobSecondsLeft(status, QDateTime::currentDateTime()))
            text += QStringLiteral(" · kalan ") + elapsedText(*left, locale);
        return text;
    };
    auto statusLine = [&]() -> QString {
        const QList<int> active = run.queue()->activeIndices();
        QStringList jobs;
        for (const int index : active) {
            if (run.queue()->status(index).state != JobState::Running)
                continue;
            // One job shows its output's name; several show only their numbers, to fit a line.
            if (active.size() == 1) {
                jobs << head(index) + QStringLiteral(": ") + jobFigures(index);
            } else {
                const qint64 percent = run.queue()->status(index).percent.value_or(0);
                jobs << QStringLiteral("[%1] %%2").arg(index + 1).arg(locale.toString(percent));
            }
        }
        QList<JobStatus> statuses;
        for (int i = 0; i < total; ++i)
            statuses << run.queue()->status(i);
        return jobs.join(QStringLiteral(", ")) + QStringLiteral(" · toplam ") +
               runCaption(runFigures(statuses, run.plannedSeconds(), QDateTime::currentDateTime(),
                                     run.queue()->parallel()),
                          locale);
    };
    QObject::connect(&run, &BatchRun::jobProgress, [&](int) {
        if (!terminal)
            return;
        // Cut to the terminal's width: a line that wraps is not taken back by the carriage
        // return.
        const int columns = terminalColumns();
        const QString line = statusLine();
        err << '\r' << (columns > 0 ? line.left(columns - 1) : line) << "\x1b[K";
        err.flush();
    });
    // Finished jobs are told in the list's order, whatever order several jobs end in.
    int nextReport = 0;
    QObject::connect(&run, &BatchRun::jobFinished, [&](int) {
        while (nextReport < total) {
            const JobState state = run.queue()->status(nextReport).state;
            if (state == JobState::Waiting || state == JobState::Running)
                break;
            report(nextReport++);
        }
    });
    bool refused = false;
    QObject::connect(&run, &BatchRun::refused, [&](const InputProblem &problem) {
        err << "fulmaro-batch: " << problem.message << '\n';
        err.flush();
        refused = true;
    });
    // Ctrl-C ends the running job's own process tree, which takes its unfinished output with
    // it, then the run; a probe being waited for is given up. The end of the terminal or session
    // (a shutdown, a scheduler's time limit) does the same but keeps what the run would go on
    // from: its journal and the finished segments of a long encode.
    QObject::connect(&ending, &EndingSignals::arrived, &run, [&run](int signalNumber) {
        if (signalNumber == SIGINT)
            run.stop();
        else
            run.interrupt();
    });

    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
    if (!run.start())
        return kExitUsage;
    if (run.phase() != BatchRun::Phase::Done)
        loop.exec();
    if (refused)
        return kExitUsage;

    const BatchTotals totals = run.totals();
    err << QStringLiteral("Toplam %1 iş: %2 başarılı, %3 başarısız, %4 durduruldu ya da "
                          "çalıştırılmadı.")
               .arg(total)
               .arg(totals.succeeded)
               .arg(totals.failed)
               .arg(totals.notRun)
        << '\n';
    err.flush();
    if (ending.received() && ending.number() != SIGINT) {
        err << QStringLiteral("Kesildi: aynı komut yeniden verildiğinde kaldığı yerden sürer.")
            << '\n';
        err.flush();
    }
    if (ending.received())
        return kExitInterrupted;
    return totals.succeeded == total ? kExitOk : kExitFailed;
}

// What makes a command the same one again: its files, output folder and settings (not how many
// jobs go at once, which changes no output).
QString commandKey(RenderSettings settings, const QString &outputFolder, const QStringList &files)
{
    settings.cbJobs = 0;
    const QString text = presetText(settings) + QLatin1Char('\n') + outputFolder +
                         QLatin1Char('\n') + files.join(QLatin1Char('\n'));
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(20));
}

// Takes the command's journal and, unless asked to start anew, the jobs a run of the same
// command that was cut short had done. False (with the reason said) when another program is
// running the same command.
bool takeJournal(BatchRun &run, const BatchOptions &options, const WorkFolders &folders,
                 const RenderSettings &settings, const QString &outputFolder, QTextStream &err)
{
    const QString folder = journalFolder(folders.workDir);
    removeOldJournals(folder);
    const QString key = commandKey(settings, outputFolder, options.files);
    auto journal = std::make_unique<RunJournal>(folder + QStringLiteral("batch-") + key +
                                                QStringLiteral(".json"));
    if (!journal->lock()) {
        err << "fulmaro-batch: "
            << QStringLiteral("Aynı dosyalar aynı ayarlarla şu anda başka bir fulmaro-batch "
                              "tarafından işleniyor.")
            << '\n';
        err.flush();
        return false;
    }
    QList<int> done;
    QFile file(journal->path());
    if (file.exists() && options.fresh) {
        file.remove();
    } else if (file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.readAll();
        file.close();
        QString problem;
        const std::optional<JournalData> data = parseJournal(text, &problem);
        const QStringList outputs =
            renderOutputPaths(options.files, outputExtension(settings), outputFolder);
        if (!data || data->key != key || data->jobs.size() != options.files.size()) {
            const QString aside = journal->setAside(QStringLiteral("bozuk"));
            err << "fulmaro-batch: "
                << QStringLiteral("Yarım kalan işlemin kaydı okunamadı (%1); bir kenara kondu: %2")
                       .arg(data ? QStringLiteral("başka bir komutun") : problem,
                            printableName(QDir::toNativeSeparators(aside)))
                << '\n';
        } else {
            for (int index = 0; index < data->jobs.size(); ++index) {
                const JournalJob &job = data->jobs.at(index);
                if (job.state == QLatin1String("tamam") && job.output == outputs.at(index) &&
                    job.source == options.files.at(index) && doneJobProblem(job).isEmpty())
                    done << index;
            }
            err << QStringLiteral("Yarım kalan işlem sürdürülüyor: %1 iş tamamlanmıştı, %2 iş "
                                  "kaldı.")
                       .arg(done.size())
                       .arg(options.files.size() - done.size())
                << '\n';
        }
        err.flush();
    }
    run.setDoneBefore(done);
    run.setJournal(std::move(journal), key);
    return true;
}

// --skip-existing: a source whose output is there under its final name is done. The final name
// is given only to an output whose encoder succeeded, so such a file is whole.
void skipExistingOutputs(BatchRun &run, const QStringList &files, const RenderSettings &settings,
                         const QString &outputFolder)
{
    const QStringList outputs = renderOutputPaths(files, outputExtension(settings), outputFolder);
    QList<int> existing;
    for (int index = 0; index < outputs.size(); ++index) {
        const QFileInfo output(outputs.at(index));
        if (output.isFile() && output.size() > 0)
            existing << index;
    }
    run.setDoneBefore(existing, QStringLiteral("Çıktı zaten var; yeniden işlenmedi."));
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
    const LibraryEntries library = currentLibraryEntries(
        folders.filterDir, folders.frameDir, folders.logoDir, folders.introDir, folders.outroDir);
    for (const QString &assignment : options.assignments) {
        const QString problem = applySettingOption(settings, assignment, library);
        if (!problem.isEmpty())
            return fail(problem);
    }
    if (options.jobs >= 0)
        settings.cbJobs = options.jobs;
    if (const QString problem = settingsProblem(settings); !problem.isEmpty())
        return fail(problem);

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
    // A Slurm script's list holds one name a line, for the same reason.
    const bool slurm = !options.slurmScript.isEmpty();
    if ((options.dryRun && !options.nullLines) || slurm) {
        QStringList names = options.files;
        names << options.outputFolder << folders.workDir;
        for (const QString &name : std::as_const(names)) {
            if (!hasControlCharacter(name))
                continue;
            err << "fulmaro-batch: "
                << (slurm ? QStringLiteral("Adında satır sonu ya da başka bir denetim karakteri "
                                           "var, Slurm betiğinin listesine yazılamaz: %1")
                          : QStringLiteral("Adında satır sonu ya da başka bir denetim karakteri "
                                           "var, komut satırı yazılamaz (--null ile "
                                           "yazılabilir): %1"))
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
    if (slurm) {
        if (const InputProblem bitrate = checkBitrate(settings); bitrate.isProblem())
            return fail(bitrate.message);
        if (const InputProblem streams = checkStreams(settings); streams.isProblem())
            return fail(streams.message);
        return writeSlurmScript(options, settings, outputFolder, folders, out, err);
    }
    if (!options.dryRun && !options.estimate) {
        BatchRun run({settings, outputFolder, folders, tools, options.fresh}, options.files);
        run.toolCheck = [&tools, &err] {
            QString message;
            if (verifyTool(tools, tools.ffMpeg, &message))
                return true;
            if (!message.isEmpty())
                err << message << '\n';
            err.flush();
            return false;
        };
        if (!takeJournal(run, options, folders, settings, outputFolder, err))
            return kExitUsage;
        if (options.skipExisting)
            skipExistingOutputs(run, options.files, settings, outputFolder);
        return renderFiles(run, ending, err);
    }

    if (const InputProblem bitrate = checkBitrate(settings); bitrate.isProblem())
        return fail(bitrate.message);
    // A trim is checked against every file's length before anything is printed.
    if (settings.edTimeStart > 0 || settings.edTimeEnd > 0) {
        SourceProber prober(tools, folders.workDir, options.files, 2);
        QObject::connect(&ending, &EndingSignals::arrived, &prober, &SourceProber::abandon);
        prober.start();
        for (int index = 0; index < options.files.size(); ++index) {
            const VideoItem &item = prober.waitFor(index);
            if (ending.received())
                return kExitInterrupted;
            if (const InputProblem trim = checkTrim(item, settings); trim.isProblem())
                return fail(trim.message);
        }
    }

    BuildFolders buildFolders = BuildFolders::from(folders, tools);
    buildFolders.endClips =
        probeEndClips(settings, folders.introDir, folders.outroDir, tools, folders.workDir);
    const QStringList outputs =
        renderOutputPaths(options.files, outputExtension(settings), outputFolder);
    SourceProber prober(tools, folders.workDir, options.files);
    QObject::connect(&ending, &EndingSignals::arrived, &prober, &SourceProber::abandon);
    prober.start();
    // Each output's expected size: a comment before its lines, or (--estimate) all there is.
    // A preview writes no file.
    SizeEstimator sizes(int(options.files.size()), settings, folders, tools);
    sizes.setEndClips(buildFolders.endClips);
    QObject::connect(&ending, &EndingSignals::arrived, &sizes, &SizeEstimator::stop);
    const bool withSizes = !options.preview;
    bool sizesMissing = false;
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
        QString sizeLine;
        if (withSizes) {
            sizes.provide(index, item);
            const SizeEstimate &estimate = sizes.waitFor(index);
            if (ending.received())
                return kExitInterrupted;
            sizesMissing = sizesMissing || !estimate.ready();
            sizeLine = estimate.ready() ? sizeText(estimate.bytes()) : QStringLiteral("bilinmiyor");
        }
        if (options.estimate) {
            out << sizeLine << '\t' << printableName(QDir::toNativeSeparators(outputs.at(index)))
                << '\n';
            out.flush();
            if (!sizes.estimate(index).ready())
                exitCode = kExitFailed;
            continue;
        }
        QString line;
        QString firstLine;
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
            line = safeRenderCommandLine(tools.path(tools.ffMpeg), job);
            // Two passes are two commands, run in this order in one folder; with the loudness
            // set, one line carries the first pass's measure into the second.
            firstLine = firstPassCommandLine(tools.path(tools.ffMpeg), job);
            if (const QString measured = loudnessShellLine(tools.path(tools.ffMpeg), job);
                !measured.isEmpty()) {
                line = measured;
                firstLine.clear();
            }
        }
        if (!makeScratchCopies(copies)) {
            err << QStringLiteral("Uyarı: bindirme resimleri geçici klasöre kopyalanamadı.")
                << '\n';
        }
        if (!options.nullLines && (hasControlCharacter(line) || hasControlCharacter(firstLine))) {
            // A library or settings text that reached the line; never print a line that splits.
            err << "fulmaro-batch: "
                << QStringLiteral("Komut satırında denetim karakteri var, yazılmadı: %1")
                       .arg(printableName(item.caption))
                << '\n';
            exitCode = kExitUsage;
            continue;
        }
        if (withSizes)
            out << QStringLiteral("# tahmini boyut: ") << sizeLine << lineEnd;
        if (!firstLine.isEmpty())
            out << firstLine << lineEnd;
        out << line << lineEnd;
    }
    if (withSizes) {
        const QString total =
            sizeText(sizes.total()) +
            (sizesMissing ? QStringLiteral(" (bilinmeyenler dışında)") : QString());
        if (options.estimate)
            out << total << QStringLiteral("\ttoplam\n");
        else
            out << QStringLiteral("# tahmini toplam: ") << total << lineEnd;
    }
    return exitCode;
}

} // namespace fulmaro::batch
