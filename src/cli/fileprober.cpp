#include "cli/fileprober.h"

#include "videolist/mediaprobe.h"

#include <QEventLoop>
#include <QFileInfo>

namespace fulmaro::batch {

FileProber::FileProber(ToolSet tools, QString workDir, QStringList paths, int ahead)
    : m_tools(std::move(tools))
    , m_workDir(std::move(workDir))
    , m_paths(std::move(paths))
    , m_ahead(qMax(1, ahead))
    , m_entries(m_paths.size())
{
}

FileProber::~FileProber() = default;

void FileProber::start()
{
    while (m_launched < m_paths.size() && m_launched < m_ahead)
        launch(m_launched++);
}

void FileProber::launch(int index)
{
    Entry &entry = m_entries[index];
    const QString &path = m_paths.at(index);
    entry.format = std::make_unique<ToolRun>(formatProbeCommand(m_tools, path), m_workDir);
    entry.streams = std::make_unique<ToolRun>(streamProbeCommand(m_tools, path), m_workDir);
    for (ToolRun *run : {entry.format.get(), entry.streams.get()}) {
        connect(run, &ToolRun::done, this, [this, index] { runDone(index); },
                Qt::QueuedConnection);
        run->start();
    }
}

void FileProber::runDone(int index)
{
    Entry &entry = m_entries[index];
    if (entry.item || !entry.format->isFinished() || !entry.streams->isFinished())
        return;
    const QString &path = m_paths.at(index);
    entry.item = makeVideoItem(path, entry.format->result().lines, entry.streams->result().lines,
                               QFileInfo(path).size());
    entry.format.reset();
    entry.streams.reset();
    if (m_launched < m_paths.size())
        launch(m_launched++);
    Q_EMIT progressed();
}

const VideoItem &FileProber::waitFor(int index)
{
    Entry &entry = m_entries[index];
    if (!entry.item) {
        if (m_launched <= index) {
            // Not reached yet (start() not called): probe it now.
            while (m_launched <= index)
                launch(m_launched++);
        }
        QEventLoop loop;
        connect(this, &FileProber::progressed, &loop, [&] {
            if (entry.item)
                loop.quit();
        });
        loop.exec();
    }
    return *entry.item;
}

} // namespace fulmaro::batch
