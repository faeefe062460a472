// fulmaro-batch: the program's list, command builder and render queue on the command line,
// without a window.
#include "cli/batchoptions.h"
#include "cli/listcommand.h"
#include "cli/rendercommand.h"
#include "core/base/toolset.h"
#include "core/base/workfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

using namespace fulmaro;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

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
    case batch::Command::Render: {
        const WorkFolders folders = WorkFolders::standard();
        folders.create();
        const ToolSet tools = ToolSet::configured(folders.binDir);
        return batch::runRender(options, folders, tools, out, err);
    }
    case batch::Command::None:
        break;
    }
    return batch::kExitUsage;
}
