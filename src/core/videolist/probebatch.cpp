#include "core/videolist/probebatch.h"

#include "core/base/filechecks.h"
#include "core/runner/toolrun.h"
#include "core/videolist/mediaprobe.h"

#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace fulmaro {

ProbeBatch::ProbeBatch(ToolSet tools, QString workDir, QStringList paths, QObject *parent)
    : QObject(parent)
    , m_tools(std::move(tools))
    , m_workDir(std::move(workDir))
    , m_paths(std::move(paths))
    , m_entries(static_cast<size_t>(m_paths.size()))
    , m_parallel(defaultParallelFiles())
{}

// Runs still going are children of the batch; their destructors end their process trees.
ProbeBatch::~ProbeBatch() = default;

int ProbeBatch::defaultParallelFiles()
{
    return qMax(2, QThread::idealThreadCount());
}

void ProbeBatch::start()
{
    if (m_started)
        return;
    m_started = true;
    launchMore();
    emitReady();
}

void ProbeBatch::launchMore()
{
    while (m_running < m_parallel && m_nextToStart < m_paths.size())
        startFile(m_nextToStart++);
}

void ProbeBatch::startFile(qsizetype index)
{
    Entry &entry = m_entries[static_cast<size_t>(index)];
    const QString &path = m_paths.at(index);
    if (!isProbeableFile(path)) {
        entry.state = State::Missing;
        return;
    }
    entry.state = State::Running;
    ++m_running;
    auto *run = new ToolRun(combinedProbeCommand(m_tools, path), m_workDir, {}, this);
    QTimer::singleShot(kProbeTimeLimitMs, run, &ToolRun::stop);
    connect(run, &ToolRun::done, this, [this, run, index, path] {
        Entry &entry = m_entries[static_cast<size_t>(index)];
        const RunResult probe = run->takeResult();
        run->deleteLater();
        QStringList formatLines;
        QStringList streamLines;
        splitCombinedProbe(probe.lines, &formatLines, &streamLines);
        entry.item = makeVideoItem(path, formatLines, streamLines, QFileInfo(path).size(), m_locale,
                                   probe.succeeded());
        entry.state = State::Ready;
        --m_running;
        launchMore();
        emitReady();
    });
    run->start();
}

void ProbeBatch::emitReady()
{
    // A receiver may run an event loop (a message box, another add); never re-enter here.
    if (m_emitting || m_finished)
        return;
    m_emitting = true;
    QPointer<ProbeBatch> self(this);
    while (m_nextToEmit < m_paths.size()) {
        Entry &entry = m_entries[static_cast<size_t>(m_nextToEmit)];
        if (entry.state == State::Ready) {
            entry.state = State::Emitted;
            const VideoItem item = std::move(*entry.item);
            entry.item.reset();
            ++m_nextToEmit;
            Q_EMIT itemReady(item);
        } else if (entry.state == State::Missing) {
            entry.state = State::Emitted;
            ++m_nextToEmit;
            const QString &path = m_paths.at(m_nextToEmit - 1);
            Q_EMIT fileMissing(path, notRegularFileReason(path));
        } else {
            break;
        }
        if (!self)
            return;
    }
    m_emitting = false;
    if (m_nextToEmit == m_paths.size()) {
        m_finished = true;
        Q_EMIT finished();
    }
}

} // namespace fulmaro
