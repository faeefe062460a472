#pragma once

#include "core/render/rendersettings.h"
#include "core/render/settingstable.h"

#include <QString>
#include <QStringList>

namespace fulmaro {

// A preset is a named set of the settings panel's values, kept as one small text file in the
// presets folder: one "NAME=VALUE" line per panel control, in the settings table's order and in
// the form --set takes, so a preset can be read and edited by hand. Pickers are kept by entry
// name. Blank lines and lines starting with "#" are passed over; a control without a line keeps
// its default.

// What loading a preset gives.
struct PresetLoad
{
    bool ok = false;         // false: nothing is to be applied, error says why
    RenderSettings settings; // the defaults with the preset's lines applied
    QStringList assignments; // the lines applied, in the file's order
    QStringList missing;     // "NAME=VALUE" of pickers whose library entry no longer exists
    QString error;           // Turkish; empty when ok
};

// The file of a preset in the folder.
QString presetPath(const QString &folder, const QString &name);
// Empty when the text can be a preset's name (and a file name everywhere); else why not, in
// Turkish.
QString presetNameProblem(const QString &name);
// The presets in the folder, sorted without regard to case.
QStringList presetNames(const QString &folder);

// The preset text of the settings' panel controls.
QString presetText(const RenderSettings &settings);
// Reads a preset's text; a picker naming an entry that the library no longer has is left at
// "Yok" and listed in missing, any other line that --set would refuse makes the whole text
// refused.
PresetLoad parsePreset(const QString &text, const LibraryEntries &library);

// Writes the preset atomically (a failed write keeps an older file whole); creates the folder.
bool savePreset(const QString &folder, const QString &name, const RenderSettings &settings,
                QString *error);
PresetLoad loadPreset(const QString &folder, const QString &name, const LibraryEntries &library);
bool deletePreset(const QString &folder, const QString &name, QString *error);

// The message for a preset loaded without some of its library entries.
QString missingEntriesText(const QString &name, const QStringList &missing);

// The library entries the pickers offer now: the pictures, and the clips of the intro and
// outro folders where they are given.
LibraryEntries currentLibraryEntries(const QString &filterDir, const QString &frameDir,
                                     const QString &logoDir, const QString &introDir = QString(),
                                     const QString &outroDir = QString());

} // namespace fulmaro
