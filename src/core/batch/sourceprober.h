#pragma once

#include "core/base/toolset.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videoitem.h"

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace fulmaro {

// Probes the files of a batch ahead of their renders, the next file while the current one
// renders, so a render rarely waits for its probe. A file takes one probe run
// (combinedProbeCommand).
class SourceProber : public QObject
{
    Q_OBJECT
public:
    SourceProber(ToolSet tools, QString workDir, QStringList paths, int ahead = 1);
    ~SourceProber() override;

    void start();
    // The row of the index-th file; the event loop runs until it is known, or until the prober
    // is abandoned (then an unreadable row).
    const VideoItem &waitFor(int index);
    // Ends the running probes and every wait: the run is being stopped.
    void abandon();
    // The row of the index-th file if its probe has ended, without waiting.
    const VideoItem *known(int index) const
    {
        return index >= 0 && index < int(m_entries.size()) && m_entries[index].item
                   ? &*m_entries[index].item
                   : nullptr;
    }

Q_SIGNALS:
    void progressed();

private:
    struct Entry
    {
        std::unique_ptr<ToolRun> probe;
        std::optional<VideoItem> item;
    };
    void launch(int index);
    void runDone(int index);

    ToolSet m_tools;
    QString m_workDir;
    QStringList m_paths;
    int m_ahead;
    std::vector<Entry> m_entries;
    int m_launched = 0;
    bool m_abandoned = false;
    VideoItem m_abandonedItem;
};

} // namespace fulmaro
