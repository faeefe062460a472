#include "cli/rendercommand.h"

#include "app/settingsfile.h"
#include "queue/renderjobs.h"
#include "queue/renderprogress.h"
#include "queue/renderqueue.h"
#include "render/commandbuilder.h"
#include "render/settingsoptions.h"
#include "videolist/probebatch.h"

#include <QDir>
#include <QEventLoop>
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

// Probes the files in order; a missing one has been ruled out before.
QList<VideoItem> probeAll(const ToolSet &tools, const QString &workDir, const QStringList &files)
{
    QList<VideoItem> items;
    ProbeBatch probes(tools, workDir, files);
    QObject::connect(&probes, &ProbeBatch::itemReady,
                     [&items](const VideoItem &item) { items.append(item); });
    QEventLoop loop;
    QObject::connect(&probes, &ProbeBatch::finished, &loop, &QEventLoop::quit);
    probes.start();
    if (!probes.isFinished())
        loop.exec();
    return items;
}

QString stateText(const JobStatus &status)
{
    switch (status.state) {
    case JobState::Succeeded:
        return QStringLiteral("tamam");
    case JobState::Failed:
        return QStringLiteral("hata (çıkış kodu %1)").arg(status.exitCode);
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

int renderJobs(QList<RenderJob> jobs, const RenderSettings &settings, const WorkFolders &folders,
               const ToolSet &tools, QTextStream &err)
{
    QueueOptions queueOptions;
    queueOptions.encoderPath = tools.path(tools.ffMpeg);
    queueOptions.workDir = folders.tempDir;
    queueOptions.timeStart = settings.edTimeStart;
    queueOptions.timeEnd = settings.edTimeEnd;
    queueOptions.speedPercent = settings.tbVideoSpeed;
    RenderQueue queue(std::move(jobs), queueOptions);
    const int total = queue.count();
    const bool terminal = stderrIsTerminal();

    queue.toolCheck = [&](int) {
        QString error;
        switch (tools.check(tools.ffMpeg, &error)) {
        case ToolCheck::Ok:
            return true;
        case ToolCheck::Mismatch:
            err << QStringLiteral("FFMpeg dosya versiyonları uyumsuz!") << '\n';
            break;
        case ToolCheck::CannotOpen:
            err << QStringLiteral("%1 açılamadı: %2").arg(queueOptions.encoderPath, error) << '\n';
            break;
        case ToolCheck::UnknownName:
            err << QStringLiteral("Kodlayıcı tanımlı değil.") << '\n';
            break;
        }
        err.flush();
        return false;
    };
    auto head = [&](int index) {
        return QStringLiteral("[%1/%2] %3").arg(index + 1).arg(total).arg(
            QDir::toNativeSeparators(queue.job(index).outputPath));
    };
    QObject::connect(&queue, &RenderQueue::jobProgress, [&](int index) {
        if (!terminal)
            return;
        const JobStatus &status = queue.status(index);
        err << '\r' << head(index) << ": %" << status.percent.value_or(0) << "\x1b[K";
        err.flush();
    });
    QObject::connect(&queue, &RenderQueue::jobFinished, [&](int index) {
        const JobStatus &status = queue.status(index);
        if (terminal)
            err << "\r\x1b[K";
        err << head(index) << ": " << stateText(status);
        if (status.state == JobState::Succeeded || status.state == JobState::Failed)
            err << QStringLiteral(", süre ") << elapsedText(status.elapsedSeconds);
        err << '\n';
        if (status.state == JobState::Failed) {
            for (const QString &line : status.lastLines)
                err << "    " << line << '\n';
        }
        err.flush();
    });

    // Ctrl-C ends the running job's own process tree, then the run.
    g_interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (g_interrupted && !queue.stopRequested())
            queue.stop();
    });
    watch.start(50);
    queue.runAll();
    watch.stop();
    std::signal(SIGINT, previous);

    int done = 0;
    int failed = 0;
    int notDone = 0;
    for (int i = 0; i < total; ++i) {
        switch (queue.status(i).state) {
        case JobState::Succeeded:
            ++done;
            break;
        case JobState::Failed:
            ++failed;
            break;
        default:
            ++notDone;
            break;
        }
    }
    err << QStringLiteral("Toplam %1 iş: %2 başarılı, %3 başarısız, %4 durduruldu ya da çalıştırılmadı.")
               .arg(total)
               .arg(done)
               .arg(failed)
               .arg(notDone)
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
        outputFolder = options.outputFolder.isEmpty()
                           ? loadOutputFolder(folders.settingsFile())
                           : options.outputFolder;
        if (outputFolder.trimmed().isEmpty())
            return fail(QStringLiteral("Çıkış klasörü seçilmemiş"));
        if (!QFileInfo(outputFolder).isDir())
            return fail(QStringLiteral("Çıkış klasörü bulunamadı. (%1)").arg(outputFolder));
        outputFolder = QDir::toNativeSeparators(QFileInfo(outputFolder).absoluteFilePath());
    }

    const QList<VideoItem> items = probeAll(tools, folders.workDir, options.files);
    const BuildFolders buildFolders = BuildFolders::from(folders, tools);

    if (options.dryRun && options.preview) {
        for (const VideoItem &item : items) {
            const BuiltCommand built =
                buildCommandLine(&item, PreviewMode, settings, buildFolders, scratchTick());
            if (!makeScratchCopies(built.copies))
                err << QStringLiteral("Uyarı: bindirme resimleri geçici klasöre kopyalanamadı.")
                    << '\n';
            out << previewCommandLine(tools.path(tools.ffMpeg), built) << '\n';
        }
        return kExitOk;
    }

    QList<RenderJob> jobs = buildRenderJobs(items, settings, buildFolders, outputFolder);
    if (options.dryRun) {
        for (const RenderJob &job : jobs) {
            if (!makeScratchCopies(job.copies))
                err << QStringLiteral("Uyarı: bindirme resimleri geçici klasöre kopyalanamadı.")
                    << '\n';
            out << renderCommandLine(tools.path(tools.ffMpeg), job) << '\n';
        }
        return kExitOk;
    }
    return renderJobs(std::move(jobs), settings, folders, tools, err);
}

} // namespace fulmaro::batch
