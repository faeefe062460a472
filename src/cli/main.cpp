// fulmaro-batch: the program's list, command builder and render queue on the command line,
// without a window.
#include "cli/batchoptions.h"
#include "cli/listcommand.h"
#include "cli/rendercommand.h"
#include "core/base/endingsignals.h"
#include "core/base/filechecks.h"
#include "core/base/toolset.h"
#include "core/base/workfolders.h"
#include "core/render/presets.h"
#include "core/render/settingsoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <optional>

using namespace fulmaro;

namespace {

// Puts a --preset's lines before the --set options, and stores the result for --save-preset.
// Returns an exit code when the run ends here.
std::optional<int> resolvePresets(batch::BatchOptions &options, const WorkFolders &folders,
                                  QTextStream &err)
{
    if (options.preset.isEmpty() && options.savePreset.isEmpty())
        return std::nullopt;
    const auto fail = [&err](const QString &message, int code) {
        err << "fulmaro-batch: " << message << '\n';
        return code;
    };
    const LibraryEntries library = currentLibraryEntries(
        folders.filterDir, folders.frameDir, folders.logoDir, folders.introDir, folders.outroDir);
    if (!options.preset.isEmpty()) {
        const PresetLoad load = loadPreset(folders.presetsDir(), options.preset, library);
        if (!load.ok)
            return fail(load.error, batch::kExitUsage);
        if (!load.missing.isEmpty())
            err << "fulmaro-batch: " << missingEntriesText(options.preset, load.missing) << '\n';
        options.assignments = load.assignments + options.assignments;
    }
    if (!options.savePreset.isEmpty()) {
        RenderSettings settings;
        for (const QString &assignment : options.assignments) {
            const QString problem = applySettingOption(settings, assignment, library);
            if (!problem.isEmpty())
                return fail(problem, batch::kExitUsage);
        }
        if (const QString problem = settingsProblem(settings); !problem.isEmpty())
            return fail(problem, batch::kExitUsage);
        QString error;
        if (!savePreset(folders.presetsDir(), options.savePreset, settings, &error))
            return fail(error, batch::kExitFailed);
        if (options.files.isEmpty())
            return batch::kExitOk;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // From here on Ctrl-C, SIGTERM and SIGHUP stop the run instead of ending the program
    // abruptly: a probe being waited for is given up, a running encoder is ended with its files.
    EndingSignals ending;

    // A name with bytes the system's encoding cannot spell is decoded with replacement
    // characters, and the decoded name would reach another file, or none.
    for (int i = 1; i < argc; ++i) {
        if (nameRoundTrips(QByteArray(argv[i])))
            continue;
        err << "fulmaro-batch: "
            << QStringLiteral("Ad, sistemin karakter kodlamasına uymuyor; dosyayı yeniden "
                              "adlandırın: %1")
                   .arg(printableName(QFile::decodeName(argv[i])))
            << '\n';
        return batch::kExitUsage;
    }

    batch::BatchOptions options = batch::parseArguments(app.arguments().mid(1));
    batch::resolveRelativePaths(options, QDir::currentPath());
    if (!options.error.isEmpty()) {
        err << "fulmaro-batch: " << options.error << '\n'
            << QStringLiteral("Yardım için: fulmaro-batch --help") << '\n';
        return batch::kExitUsage;
    }

    switch (options.command) {
    case batch::Command::Help:
        out << batch::helpText();
        return batch::kExitOk;
    case batch::Command::List: {
        const WorkFolders folders = WorkFolders::standard();
        // The probes run in the work folder, as in the program.
        folders.create();
        const ToolSet tools = ToolSet::configured(folders.binDir);
        return batch::runList(tools, folders.workDir, options.files, out, err);
    }
    case batch::Command::Presets: {
        for (const QString &name : presetNames(WorkFolders::standard().presetsDir()))
            out << name << '\n';
        return batch::kExitOk;
    }
    case batch::Command::Render: {
        const WorkFolders folders = WorkFolders::standard();
        folders.create();
        if (const std::optional<int> code = resolvePresets(options, folders, err))
            return *code;
        const ToolSet tools = ToolSet::configured(folders.binDir);
        return batch::runRender(options, folders, tools, ending, out, err);
    }
    case batch::Command::None:
        break;
    }
    return batch::kExitUsage;
}
