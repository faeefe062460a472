#pragma once

#include "core/base/toolset.h"

#include <QString>

namespace fulmaro {

// Checks the tool that tools.path(fileName) names, for the first of ffMpeg, ffPlay, ffProbe that
// equals fileName exactly: by its digest, or by asking it for its version (and the encoder for
// its filters). What a tool says is remembered per file, size and time, so each tool file is
// asked once. errorText receives the reason when the file cannot be read, and what was found
// when it is refused (empty for a digest that differs).
ToolCheck checkTool(const ToolSet &tools, const QString &fileName, QString *errorText = nullptr);

// checkTool(), and the message to show when the tool must not run: empty when it may run, and
// also for a name that is none of the tools (that case shows nothing).
bool verifyTool(const ToolSet &tools, const QString &fileName, QString *message);

} // namespace fulmaro
