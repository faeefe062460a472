#include "core/batch/sourceprober.h"

#include "core/runner/shellquote.h"
#include "core/videolist/mediaprobe.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace fulmaro {

SourceProber::SourceProber(ToolSet tools, QString workDir, QStringList paths, int ahead)
    : m_tools(std::move(tools))
    , m_workDir(std::move(workDir))
    , m_paths(std::move(paths))
    , m_ahead(qMax(1, ahead))
    , m_entries(m_paths.size())
{}

SourceProber::~SourceProber() = default;

void SourceProber::start()
{
    while (m_launched < m_paths.size() && m_launched < m_ahead)
        launch(m_launched++);
}

void SourceProber::launch(int index)
{
    Entry &entry = m_entries[index];
    entry.probe =
        std::make_unique<ToolRun>(combinedProbeCommand(m_tools, m_paths.at(index)), m_workDir);
    // The first file is probed before anything else runs; the others beside an encoder, which
    // keeps the processor first.
    entry.probe->setBackground(index > 0);
    // A probe that never ends (a file on a hung network share) gives an unreadable row.
    QTimer::singleShot(kProbeTimeLimitMs, entry.probe.get(), &ToolRun::stop);
    connect(
        entry.probe.get(), &ToolRun::done, this, [this, index] { runDone(index); },
        Qt::QueuedConnection);
    entry.probe->start();
}

void SourceProber::runDone(int index)
{
    Entry &entry = m_entries[index];
    if (entry.item || !entry.probe || !entry.probe->isFinished())
        return;
    const QString &path = m_paths.at(index);
    QStringList formatLines;
    QStringList streamLines;
    splitCombinedProbe(entry.probe->result().lines, &formatLines, &streamLines);
    entry.item = makeVideoItem(path, formatLines, streamLines, QFileInfo(path).size(), QLocale(),
                               entry.probe->result().succeeded());
    entry.probe.reset();
    if (m_launched < m_paths.size())
        launch(m_launched++);
    Q_EMIT progressed();
}

void SourceProber::abandon()
{
    m_abandoned = true;
    for (Entry &entry : m_entries)
        entry.probe.reset();
    Q_EMIT progressed();
}

const VideoItem &SourceProber::waitFor(int index)
{
    Entry &entry = m_entries[index];
    if (m_abandoned && !entry.item) {
        m_abandonedItem.caption = m_paths.at(index);
        m_abandonedItem.problem = ItemProblem::Unreadable;
        return m_abandonedItem;
    }
    if (!entry.item) {
        if (m_launched <= index) {
            // Not reached yet (start() not called): probe it now.
            while (m_launched <= index)
                launch(m_launched++);
        }
        QEventLoop loop;
        connect(this, &SourceProber::progressed, &loop, [&] {
            if (entry.item || m_abandoned)
                loop.quit();
        });
        loop.exec();
        if (!entry.item) {
            m_abandonedItem.caption = m_paths.at(index);
            m_abandonedItem.problem = ItemProblem::Unreadable;
            return m_abandonedItem;
        }
    }
    return *entry.item;
}

} // namespace fulmaro
