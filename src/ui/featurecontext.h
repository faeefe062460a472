#pragma once

#include "core/base/toolset.h"
#include "core/base/workfolders.h"

#include <QString>

class QWidget;

namespace fulmaro {

// What every feature of the main window shares: the work folders, the tool set (filled in once
// the window has started, so features keep a reference rather than a copy) and a parent for
// their dialogs. The main window owns all three and outlives its features.
struct FeatureContext
{
    const WorkFolders &folders;
    const ToolSet &tools;
    QWidget *dialogParent = nullptr;

    // Whether the tool is the expected build; shows the error message when it is not.
    bool checkTool(const QString &fileName) const;
};

} // namespace fulmaro
