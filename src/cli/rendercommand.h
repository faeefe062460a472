#pragma once

#include "cli/batchoptions.h"
#include "core/base/toolset.h"
#include "core/base/workfolders.h"

class QTextStream;

namespace fulmaro {
class EndingSignals;
}

namespace fulmaro::batch {

// Builds the settings from the --set values, probes the files and then prints the command lines
// (--dry-run) or renders the files one after another. Returns the exit code.
int runRender(const BatchOptions &options, const WorkFolders &folders, const ToolSet &tools,
              EndingSignals &ending, QTextStream &out, QTextStream &err);

} // namespace fulmaro::batch
