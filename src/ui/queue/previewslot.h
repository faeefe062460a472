#pragma once

#include "core/runner/toolrun.h"

#include <QObject>
#include <QPointer>

namespace fulmaro {

// Keeps the one running settings preview (the encoder piped into the player). Whoever starts a
// new preview, a render or the window's end asks this slot to close the old one first.
class PreviewSlot : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Takes the running preview; the slot forgets it by itself once the run has ended.
    void hold(ToolRun *run);
    ToolRun *run() const { return m_run; }
    // Ends the preview's process tree and returns once it has gone; the interface keeps
    // responding meanwhile.
    void close();

private:
    QPointer<ToolRun> m_run;
};

} // namespace fulmaro
