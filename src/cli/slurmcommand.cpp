#include "cli/slurmcommand.h"

#include "core/base/filechecks.h"
#include "core/queue/jobplan.h"
#include "core/queue/renderjobs.h"
#include "core/render/commandbuilder.h"
#include "core/render/rendersettings.h"
#include "core/runner/shellquote.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace fulmaro::batch {

namespace {

// sbatch reads an #SBATCH line's value only partly as a shell would: a backslash takes the next
// character as it is, quotes group, and an unescaped "#" starts a comment.
QString sbatchValue(const QString &text)
{
    QString quoted(QLatin1Char('"'));
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('\'') ||
            c == QLatin1Char('#'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A path for Slurm's file name patterns, where "%" starts a pattern (%A the array's job, %a the
// task).
QString slurmPattern(const QString &path)
{
    QString pattern = path;
    return pattern.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

#ifndef Q_OS_WIN
bool saveText(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
#endif

} // namespace

int slurmCpusPerTask(const RenderSettings &settings)
{
    return std::max(1, int(std::ceil(outputPixelRate(settings, {}) / kPixelsPerCore)));
}

QString slurmScriptText(const SlurmScript &script)
{
    QString text;
    QTextStream s(&text);
    s << "#!/bin/sh\n"
      << QStringLiteral("# fulmaro-batch --slurm ile yazıldı. Her görev listedeki bir kaynağı "
                        "işler;\n")
      << QStringLiteral("# yeniden gönderildiğinde yalnızca çıktısı olmayan kaynaklar işlenir.\n")
      << "#SBATCH --job-name=fulmaro\n"
      << "#SBATCH --array=1-" << script.count;
    if (script.limit > 0)
        s << '%' << script.limit;
    s << '\n'
      << "#SBATCH --cpus-per-task=" << script.cpusPerTask << '\n'
      << "#SBATCH --output="
      << sbatchValue(slurmPattern(script.logFolder) + QStringLiteral("/%A_%a.log")) << '\n'
      << "set -u\n"
      << "list=" << quoteArg(script.listPath) << '\n'
      << "if [ -z \"${SLURM_ARRAY_TASK_ID:-}\" ]; then\n"
      << "    echo "
      << quoteArg(QStringLiteral("fulmaro: bu betik sbatch ile gönderilir (görev numarası "
                                 "SLURM_ARRAY_TASK_ID yok)."))
      << " >&2\n"
      << "    exit 2\n"
      << "fi\n"
      // The names hold no line end (such names are refused), so a line is one whole name.
      << "source_file=\"$(sed -n \"${SLURM_ARRAY_TASK_ID}p\" \"$list\")\"\n"
      << "if [ -z \"$source_file\" ]; then\n"
      << "    echo " << quoteArg(QStringLiteral("fulmaro: listede bu görevin kaynağı yok:"))
      << " \"$list\" "
      << "\"${SLURM_ARRAY_TASK_ID}\" >&2\n"
      << "    exit 2\n"
      << "fi\n"
      << "XDG_DATA_HOME=" << quoteArg(script.dataHome) << '\n'
      << "export XDG_DATA_HOME\n"
      << "exec " << quoteArg(script.program) << " --output " << quoteArg(script.outputFolder);
    for (const QString &assignment : script.assignments)
        s << " --set " << quoteArg(assignment);
    if (script.fresh)
        s << " --fresh";
    s << " --skip-existing -- \"$source_file\"\n";
    s.flush();
    return text;
}

int writeSlurmScript(const BatchOptions &options, const RenderSettings &settings,
                     const QString &outputFolder, const WorkFolders &folders, QTextStream &out,
                     QTextStream &err)
{
    auto fail = [&err](const QString &message, int code) {
        err << "fulmaro-batch: " << message << '\n';
        err.flush();
        return code;
    };
#ifdef Q_OS_WIN
    Q_UNUSED(options);
    Q_UNUSED(settings);
    Q_UNUSED(outputFolder);
    Q_UNUSED(folders);
    Q_UNUSED(out);
    return fail(QStringLiteral("--slurm yalnızca Linux'ta kullanılabilir."), kExitUsage);
#else
    SlurmScript script;
    script.program = QCoreApplication::applicationFilePath();
    script.outputFolder = outputFolder;
    script.assignments = options.assignments;
    script.listPath = options.slurmScript + QStringLiteral(".files");
    script.logFolder = options.slurmScript + QStringLiteral(".logs");
    script.count = int(options.files.size());
    script.cpusPerTask = slurmCpusPerTask(settings);
    script.limit = std::max(0, options.jobs);
    script.fresh = options.fresh;
    // The work folder is <data>/Fulmaro/; the tasks find it through XDG_DATA_HOME.
    script.dataHome = QFileInfo(QDir(folders.workDir).absolutePath()).absolutePath();

    for (const QString &name : {script.program, script.dataHome, options.slurmScript}) {
        if (hasControlCharacter(name))
            return fail(QStringLiteral("Adında satır sonu ya da başka bir denetim karakteri var, "
                                       "Slurm betiğine yazılamaz: %1")
                            .arg(printableName(name)),
                        kExitUsage);
    }
    // In a Slurm file name a backslash turns every pattern off, and the tasks' logs would all
    // take one name.
    if (script.logFolder.contains(QLatin1Char('\\')))
        return fail(QStringLiteral("Betiğin yolunda ters eğik çizgi var; Slurm görev günlüklerini "
                                   "ayrı adlandıramaz: %1")
                        .arg(printableName(options.slurmScript)),
                    kExitUsage);

    // Each task renders its source alone, so the names a whole run would tell apart with " (2)"
    // (two sources of one name, or an output that would replace another source) would meet.
    const QString extension = outputExtension(settings);
    const QStringList outputs = renderOutputPaths(options.files, extension, outputFolder);
    QStringList clashes;
    for (int index = 0; index < options.files.size(); ++index) {
        const QString alone =
            renderOutputPaths({options.files.at(index)}, extension, outputFolder).constFirst();
        if (alone != outputs.at(index))
            clashes << printableName(options.files.at(index));
    }
    if (!clashes.isEmpty())
        return fail(QStringLiteral("Bu kaynakların çıktısı başka bir kaynağın ya da çıktının "
                                   "adını alıyor; her görev kendi kaynağını ayrı işlediği için "
                                   "birbirlerinin üzerine yazarlar. Onları ayrı bir çıkış "
                                   "klasörüne işleyin ya da yeniden adlandırın: %1")
                        .arg(clashes.join(QStringLiteral(", "))),
                    kExitUsage);

    QString error;
    QByteArray list;
    for (const QString &file : options.files)
        list += QFile::encodeName(file) + '\n';
    if (!saveText(script.listPath, list, &error))
        return fail(QStringLiteral("Kaynak listesi yazılamadı (%1): %2")
                        .arg(error, printableName(script.listPath)),
                    kExitFailed);
    if (!QDir().mkpath(script.logFolder))
        return fail(QStringLiteral("Görev günlüklerinin klasörü oluşturulamadı: %1")
                        .arg(printableName(script.logFolder)),
                    kExitFailed);
    if (!saveText(options.slurmScript, slurmScriptText(script).toUtf8(), &error))
        return fail(QStringLiteral("Slurm betiği yazılamadı (%1): %2")
                        .arg(error, printableName(options.slurmScript)),
                    kExitFailed);
    QFile::setPermissions(options.slurmScript, QFile::permissions(options.slurmScript) |
                                                   QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                   QFileDevice::ExeOther);

    out << QStringLiteral("Slurm betiği yazıldı: %1 (%2 görev, görev başına %3 çekirdek).")
               .arg(printableName(options.slurmScript))
               .arg(script.count)
               .arg(script.cpusPerTask)
        << '\n'
        << QStringLiteral("Göndermek için: sbatch ") << quoteArg(options.slurmScript) << '\n';
    out.flush();
    return kExitOk;
#endif
}

} // namespace fulmaro::batch
