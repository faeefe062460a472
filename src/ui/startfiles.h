#pragma once

#include <QStringList>

namespace fulmaro {

class MainForm;

// Adds the files named on the program's command line (the desktop entry's %F) to the list once
// the start-up message has set the tools, as the open dialog would. Names relative to the
// current folder are made whole, since the tools run in the work folder.
void addFilesOnStartup(MainForm *form, const QStringList &arguments);

} // namespace fulmaro
