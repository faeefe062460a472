#pragma once

class QApplication;
class QString;

namespace fulmaro {

// Loads the program's icons from the resources (safe to call more than once).
void initResources();
// Applies the "Light" look: Fusion with a light palette (no style sheet: a sheet would change
// every widget's metrics).
// Returns false, with the reason in errorText, when the style cannot be applied.
bool applyLightStyle(QApplication &app, QString *errorText);

// Starts the updater lying beside the program, if there is one, with the program's file name and
// the update manifest address; not waited for. Returns whether it was started.
bool launchUpdater(const QString &programDir, const QString &programFile);

} // namespace fulmaro
