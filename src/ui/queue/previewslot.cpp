#include "ui/queue/previewslot.h"

#include "core/runner/toolrun.h"

#include <QEventLoop>

namespace fulmaro {

void PreviewSlot::hold(ToolRun *run)
{
    m_run = run;
    if (run) {
        connect(run, &ToolRun::done, this, [this, run] {
            if (m_run == run)
                m_run = nullptr;
        });
    }
}

void PreviewSlot::close()
{
    ToolRun *run = m_run;
    if (!run || !run->isRunning())
        return;
    QEventLoop loop;
    connect(run, &ToolRun::done, &loop, &QEventLoop::quit);
    connect(run, &QObject::destroyed, &loop, &QEventLoop::quit);
    run->stop();
    if (m_run && m_run->isRunning())
        loop.exec();
}

} // namespace fulmaro
