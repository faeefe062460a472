#pragma once

#include <QString>

namespace fulmaro {

// Quotes a path (or any text) for the command interpreter that runs tool command lines, so that
// no file name can run a command. A path without special characters comes out as "path".
QString quoteArg(const QString &text);

} // namespace fulmaro
