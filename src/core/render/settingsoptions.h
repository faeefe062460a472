#pragma once

#include "core/render/rendersettings.h"
#include "core/render/settingstable.h"

#include <QString>

namespace fulmaro {

// Applies one "NAME=VALUE" to the settings, NAME being a control of the settings table. VALUE is
// the item index of an index list, the text of a text list, the entry text of an overlay picker,
// 0 or 1 for a check box, an integer for a spin box or slider. The value must be one the control
// itself would take. Returns an empty text when it was applied; otherwise the settings are
// unchanged and the text says why, in Turkish.
QString applySettingOption(RenderSettings &settings, const QString &assignment,
                           const LibraryEntries &library = {});

// Why the settings as a whole cannot be rendered (a codec the container cannot hold), in
// Turkish; empty when they can. Each value alone may be fine.
QString settingsProblem(const RenderSettings &settings);

// Every control of the settings table with the values it takes and its default, a line or a few
// each, for the command line's help.
QString settingsHelpText();

// The VALUE of "NAME=VALUE" that gives the control its value in these settings, the inverse of
// applySettingOption: an overlay picker showing nothing is "Yok".
QString settingValueText(const SettingControl &control, const RenderSettings &settings);

} // namespace fulmaro
