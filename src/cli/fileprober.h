#pragma once

#include "app/toolset.h"
#include "runner/toolrun.h"
#include "videolist/videoitem.h"

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace fulmaro::batch {

// Probes the files of a batch ahead of their renders: both probe runs of a file at once, a few
// files ahead, so that a render rarely waits for its probe. The rows are the ones an add to the
// list makes from the same two probes.
class FileProber : public QObject
{
    Q_OBJECT
public:
    FileProber(ToolSet tools, QString workDir, QStringList paths, int ahead = 2);
    ~FileProber() override;

    void start();
    // The row of the index-th file; the event loop runs until it is known.
    const VideoItem &waitFor(int index);

Q_SIGNALS:
    void progressed();

private:
    struct Entry
    {
        std::unique_ptr<ToolRun> format;
        std::unique_ptr<ToolRun> streams;
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
};

} // namespace fulmaro::batch
