#pragma once

#include "core/base/toolset.h"

#include <QStringList>

class QTextStream;

namespace fulmaro::batch {

// Probes the files as the list's add does and writes one tab-separated line per row, in the
// order of the files. A missing file gets a message on err. Returns the exit code.
int runList(const ToolSet &tools, const QString &workDir, const QStringList &files,
            QTextStream &out, QTextStream &err);

} // namespace fulmaro::batch
