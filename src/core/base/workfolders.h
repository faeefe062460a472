#pragma once

#include <QString>

namespace fulmaro {

// The work-folder tree. Every path is absolute and ends with a separator.
struct WorkFolders
{
    QString workDir;   // settings file; working folder of probes and grabs
    QString binDir;    // the three tools; provided by the set-up, never created here
    QString tempDir;   // scratch copies; working folder of renders and previews
    QString logoDir;   // logo pictures
    QString frameDir;  // frame pictures
    QString filterDir; // filter pictures
    QString introDir;  // intro clips
    QString outroDir;  // outro clips

    // The tree under dataLocation + "/Fulmaro/"; an empty dataLocation gives "/Fulmaro/".
    static WorkFolders under(const QString &dataLocation);
    // The tree under the machine's shared application-data folder (XDG_DATA_HOME on Linux).
    static WorkFolders standard();

    // Creates every folder but binDir, with missing parents; failures are passed over.
    void create() const;

    QString settingsFile() const { return workDir + QStringLiteral("Fulmaro.set"); }
    // Named render settings; made when the first preset is saved.
    QString presetsDir() const { return workDir + QStringLiteral("Presets/"); }
};

} // namespace fulmaro
