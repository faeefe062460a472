#pragma once

#include <QStringList>

namespace fulmaro {

// Whether a line of a tool's output says something about what happened: not blank, not the
// version banner (version, build, configuration, library versions), not the description of the
// inputs, outputs and stream mapping, not a progress report and not the keyboard hint.
bool isMeaningfulToolLine(const QString &line);

// The last count meaningful lines of a tool's output, in their order.
QStringList lastMeaningfulLines(const QStringList &lines, int count);

} // namespace fulmaro
