#include "core/queue/renderjobs.h"

#include "core/queue/jobreason.h"
#include "core/queue/outputfiles.h"
#include "core/queue/renderprogress.h"
#include "core/runner/shellquote.h"
#include "core/videolist/videoitem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace fulmaro {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QDir::separator();
}

// Two spellings of one file compare equal.
QString pathKey(const QString &path, bool ignoreCase)
{
    const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
#ifdef Q_OS_WIN
    ignoreCase = true;
#endif
    return ignoreCase ? key.toCaseFolded() : key;
}

} // namespace

QString outputBaseName(const QString &inputPath)
{
    qsizetype slash = -1;
    for (qsizetype i = inputPath.size() - 1; i >= 0; --i) {
        if (isSeparator(inputPath.at(i))) {
            slash = i;
            break;
        }
    }
    const QString name = inputPath.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? name : name.left(dot);
}

QString outputPathFor(const QString &outputFolder, const QString &inputPath,
                      const QString &extension)
{
    QString path = outputFolder;
    if (path.isEmpty() || !isSeparator(path.back()))
        path += QDir::separator();
    return path + outputBaseName(inputPath) + QLatin1Char('.') + extension;
}

QStringList uniquePaths(const QStringList &paths, const QStringList &reserved,
                        const std::function<bool(const QString &)> &taken, bool ignoreCase)
{
    QSet<QString> used;
    for (const QString &path : reserved)
        used.insert(pathKey(path, ignoreCase));
    const auto free = [&](const QString &path) {
        return !used.contains(pathKey(path, ignoreCase)) && !(taken && taken(path));
    };
    QStringList result;
    result.reserve(paths.size());
    for (const QString &path : paths) {
        QString unique = path;
        if (!free(unique)) {
            // The number goes before the extension of the file name, not into a folder name.
            qsizetype nameAt = path.size();
            while (nameAt > 0 && !isSeparator(path.at(nameAt - 1)))
                --nameAt;
            const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
            const qsizetype cut = dot > nameAt ? dot : path.size();
            for (int n = 2;; ++n) {
                unique = path.left(cut) + QStringLiteral(" (%1)").arg(n) + path.mid(cut);
                if (free(unique))
                    break;
            }
        }
        used.insert(pathKey(unique, ignoreCase));
        result.append(unique);
    }
    return result;
}

QStringList renderOutputPaths(const QStringList &inputs, const QString &extension,
                              const QString &outputFolder)
{
    QStringList outputs;
    outputs.reserve(inputs.size());
    for (const QString &input : inputs)
        outputs.append(outputPathFor(outputFolder, input, extension));
    // A listed source is never overwritten by another row's output: not by its text, and not by
    // another spelling that reaches the same file.
    GuardedFiles sources;
    for (const QString &input : inputs)
        sources.add(input);
    const bool ignoreCase = QFileInfo(outputFolder).isDir() && folderIgnoresCase(outputFolder);
    return uniquePaths(
        outputs, inputs, [&sources](const QString &path) { return sources.reaches(path); },
        ignoreCase);
}

RenderJob buildRenderJob(const VideoItem &item, int position, const RenderSettings &settings,
                         const BuildFolders &folders, const QString &outputPath)
{
    const QString passLog = passLogName(outputPath);
    const quint32 tick = scratchTick();
    const BuiltCommand built =
        buildCommandLine(&item, RenderMode, settings, folders, tick, passLog);
    RenderJob job;
    job.name = item.caption;
    job.refusal = problemText(item.problem);
    if (job.refusal.isEmpty())
        job.refusal = stagingRefusal(item, settings, folders.endClips);
    job.command = built.text;
    job.firstPass = built.firstPass;
    if (!job.firstPass.isEmpty())
        job.passLog = passLog;
    job.copies = built.copies;
    job.position = position;
    job.outputPath = outputPath;
    for (const std::optional<EndClip> *clip : {&folders.endClips.intro, &folders.endClips.outro}) {
        if (*clip)
            job.clips.append(**clip);
    }
    job.clipSeconds = folders.endClips.seconds();
    const qint64 planned = plannedOutputSeconds(item, settings);
    job.plannedSeconds = planned > 0 ? double(planned) + job.clipSeconds : 0;
    job.loudness = settings.cbLoudness;
    if (job.refusal.isEmpty()) {
        const SegmentedCommand segmented = buildSegmentedCommand(item, settings, folders, tick);
        // The segments read the same scratch pictures as the whole command.
        if (segmented.copies == job.copies) {
            job.segments = segmented.segments;
            job.segmentJoin = segmented.join;
            job.segmentSeconds = segmented.segmentSeconds;
        }
    }
    return job;
}

QString stagingRefusal(const VideoItem &item, const RenderSettings &settings, const EndClips &clips)
{
    if (settings.cbEraseAudio && settings.cbEraseVideo)
        return erasedEverythingText();
    const auto clipRefusal = [](int choice, const QString &name, const std::optional<EndClip> &clip,
                                EndClipRole role) -> QString {
        if (choice <= 0)
            return QString();
        if (!clip || clip->name != name)
            return endClipCaption(role) + QStringLiteral(" klibi \"") + name +
                   QStringLiteral("\" incelenmedi.");
        return clip->problem;
    };
    if (QString r =
            clipRefusal(settings.cbIntro, settings.cbIntroText, clips.intro, EndClipRole::Intro);
        !r.isEmpty())
        return r;
    if (QString r =
            clipRefusal(settings.cbOutro, settings.cbOutroText, clips.outro, EndClipRole::Outro);
        !r.isEmpty())
        return r;
    const bool clipSound = (settings.cbIntro > 0 && clips.intro && clips.intro->hasAudio) ||
                           (settings.cbOutro > 0 && clips.outro && clips.outro->hasAudio);
    if (settings.cbEraseVideo && !item.hasAudio && !clipSound)
        return QStringLiteral("ses yok: \"Görüntüyü Sil\" ile çıktıda hiçbir şey kalmaz");
    return QString();
}

QString jobInputProblem(const RenderJob &job)
{
    if (const QString source = sourceProblem(job.name); !source.isEmpty())
        return source;
    for (const EndClip &clip : job.clips) {
        if (const QString problem = endClipFileProblem(clip); !problem.isEmpty())
            return problem;
    }
    return QString();
}

QString secondPassCommandLine(const QString &encoderPath, const RenderJob &job,
                              const QString &writePath, const QStringList &firstPassLines,
                              QString *problem)
{
    if (!job.command.contains(QLatin1String(kLoudnessMark)))
        return renderCommandLine(encoderPath, job, writePath);
    const std::optional<LoudnessMeasure> measure = readLoudnessMeasure(firstPassLines);
    if (!measure) {
        if (problem)
            *problem = QStringLiteral("Ses düzeyi ölçülemedi: ilk geçiş ölçüm sonucu vermedi.");
        return QString();
    }
    RenderSettings target;
    target.cbLoudness = job.loudness;
    RenderJob second = job;
    second.command = completeLoudness(job.command, target, *measure);
    return renderCommandLine(encoderPath, second, writePath);
}

qint64 plannedOutputSeconds(const VideoItem &item, const RenderSettings &settings)
{
    const qint64 listed = durationToSeconds(item.duration);
    if (listed <= 0)
        return 0;
    // The command ignores negative cuts.
    return expectedOutputSeconds(listed, qMax(0, settings.edTimeStart), qMax(0, settings.edTimeEnd),
                                 settings.tbVideoSpeed);
}

QList<RenderJob> buildRenderJobs(const QList<VideoItem> &items, const RenderSettings &settings,
                                 const BuildFolders &folders, const QString &outputFolder)
{
    QStringList inputs;
    for (const VideoItem &item : items)
        inputs.append(item.caption);
    const QStringList outputs = renderOutputPaths(inputs, outputExtension(settings), outputFolder);
    QList<RenderJob> jobs;
    for (int position = 0; position < items.size(); ++position)
        jobs.append(
            buildRenderJob(items.at(position), position, settings, folders, outputs.at(position)));
    return jobs;
}

namespace {

// The encoder's start and the job's thread limits, which go before the inputs (the graph's) and
// before the output (the encoder's).
QString commandHead(const QString &encoderPath, const RenderJob &job)
{
    QString head = quoteArg(encoderPath) + QStringLiteral(" -y");
    if (job.threads > 0)
        head += QStringLiteral(" -filter_complex_threads ") + QString::number(job.threads);
    return head;
}

QString encoderThreads(const RenderJob &job)
{
    return job.threads > 0 ? QStringLiteral(" -threads ") + QString::number(job.threads)
                           : QString();
}

} // namespace

QString renderCommandLine(const QString &encoderPath, const RenderJob &job,
                          const QString &writePath)
{
    return commandHead(encoderPath, job) + QLatin1Char(' ') + job.command + encoderThreads(job) +
           QLatin1Char(' ') + quoteArg(writePath.isEmpty() ? job.outputPath : writePath);
}

QString safeRenderCommandLine(const QString &encoderPath, const RenderJob &job)
{
    const QString part = partPathFor(job.outputPath);
#ifdef Q_OS_WIN
    const QString rename = QStringLiteral(" && move /y ");
#else
    const QString rename = QStringLiteral(" && mv -f -- ");
#endif
    return renderCommandLine(encoderPath, job, part) + rename + quoteArg(part) + QLatin1Char(' ') +
           quoteArg(job.outputPath);
}

QString loudnessShellLine(const QString &encoderPath, const RenderJob &job)
{
#ifdef Q_OS_WIN
    Q_UNUSED(encoderPath);
    Q_UNUSED(job);
    return QString();
#else
    RenderSettings targetSettings;
    targetSettings.cbLoudness = job.loudness;
    const QString line = safeRenderCommandLine(encoderPath, job);
    // The mark stands in the filter graph only; a path with the same text is left alone.
    const QString mark = QLatin1String(kLoudnessMark);
    const qsizetype graphAt = line.indexOf(QStringLiteral(" -filter_complex \""));
    const qsizetype at = graphAt < 0 ? -1 : line.indexOf(mark, graphAt);
    const QString first = firstPassCommandLine(encoderPath, job);
    const QString target = loudnessTargetText(targetSettings);
    if (at < 0 || first.isEmpty() || target.isEmpty())
        return QString();
    // The measure as the queue reads it: the last report's five values, bounded as
    // completeLoudness bounds them; silence (or next to it) is left as it is. No complete report
    // fails the line before the second pass.
    const QString awk =
        QStringLiteral(
            "awk -v target='%1' 'function val(s) { sub(/^[^:]*: *\"/, \"\", s); sub(/\".*$/, \"\", "
            "s); return s } function num(s, lo, hi) { if (s ~ /inf/) return s ~ /^-/ ? lo : hi; s "
            "+= "
            "0; return s < lo ? lo : (s > hi ? hi : s) } /\"input_i\"/ { i = val($0); n++ } "
            "/\"input_tp\"/ { tp = val($0); n++ } /\"input_lra\"/ { lra = val($0); n++ } "
            "/\"input_thresh\"/ { th = val($0); n++ } /\"target_offset\"/ { off = val($0); n++ } "
            "END { if (n < 5) exit 1; if (i ~ /inf/ || i + 0 <= -70) { print \"anull\"; exit 0 } "
            "printf \"%s:measured_I=%s:measured_TP=%s:measured_LRA=%s:measured_thresh=%s:offset=%s:"
            "linear=true\\n\", target, num(i, -99, 0), num(tp, -99, 99), num(lra, 0, 99), num(th, "
            "-99, 0), num(off, -99, 99) }'")
            .arg(target);
    QString second = line;
    second.replace(at, mark.size(), QStringLiteral("${fulmaro_loudnorm}"));
    return QStringLiteral("fulmaro_loudnorm=\"$(") + first + QStringLiteral(" 2>&1 | ") + awk +
           QStringLiteral(")\" && ") + second;
#endif
}

QString segmentCommandLine(const QString &encoderPath, const RenderJob &job, int k,
                           const QString &writePath)
{
    return commandHead(encoderPath, job) + QLatin1Char(' ') + job.segments.value(k) +
           encoderThreads(job) + QLatin1Char(' ') + quoteArg(writePath);
}

QString segmentJoinCommandLine(const QString &encoderPath, const RenderJob &job,
                               const QString &listPath, const QString &writePath)
{
    // The picture is copied; only the sound is encoded, which needs no limit on its threads.
    return quoteArg(encoderPath) + QStringLiteral(" -y -f concat -i ") + quoteArg(listPath) +
           job.segmentJoin + QLatin1Char(' ') + quoteArg(writePath);
}

QString firstPassCommandLine(const QString &encoderPath, const RenderJob &job)
{
    if (job.firstPass.isEmpty())
        return QString();
    // The first pass writes to the null output, which its arguments end with.
    static const QString nullOutput = QStringLiteral(" -f null -");
    QString args = job.firstPass;
    if (args.endsWith(nullOutput))
        args.insert(args.size() - nullOutput.size(), encoderThreads(job));
    return commandHead(encoderPath, job) + args;
}

QString passLogName(const QString &outputPath)
{
    QString name;
    for (const QChar c : outputBaseName(outputPath)) {
        if (name.size() >= 40)
            break;
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('-') || c == QLatin1Char('_');
        name += plain ? c : QLatin1Char('_');
    }
    const QByteArray digest =
        QCryptographicHash::hash(outputPath.toUtf8(), QCryptographicHash::Md5).toHex().left(10);
    return name + QLatin1Char('-') + QString::fromLatin1(digest) + QStringLiteral("-pass");
}

QString previewCommandLine(const QString &encoderPath, const BuiltCommand &built)
{
    return quoteArg(encoderPath) + QLatin1Char(' ') + built.text;
}

} // namespace fulmaro
