#pragma once

#include "core/base/toolset.h"
#include "core/videolist/videoitem.h"

#include <QLocale>
#include <QObject>
#include <QStringList>

#include <optional>
#include <vector>

namespace fulmaro {

class ToolRun;

// Probes the files of one add. Different files are probed side by side (a few at a time), each
// with one combined probe run. Rows come out in the
// order of the paths, each as soon as it and every row before it are ready.
class ProbeBatch : public QObject
{
    Q_OBJECT
public:
    ProbeBatch(ToolSet tools, QString workDir, QStringList paths, QObject *parent = nullptr);
    ~ProbeBatch() override;

    // How many files are probed at once; at least two.
    static int defaultParallelFiles();
    void setParallelFiles(int count) { m_parallel = qMax(1, count); }
    void setLocale(const QLocale &locale) { m_locale = locale; }

    void start();
    bool isFinished() const { return m_finished; }
    const QStringList &paths() const { return m_paths; }

Q_SIGNALS:
    // One row, in path order.
    void itemReady(const fulmaro::VideoItem &item);
    // A path with no regular file behind it: no row; the reason says why, in Turkish.
    void fileMissing(const QString &path, const QString &reason);
    // Every path has been dealt with.
    void finished();

private:
    enum class State { Waiting, Running, Ready, Missing, Emitted };
    struct Entry
    {
        State state = State::Waiting;
        std::optional<VideoItem> item;
    };

    void launchMore();
    void startFile(qsizetype index);
    void emitReady();

    ToolSet m_tools;
    QString m_workDir;
    QStringList m_paths;
    QLocale m_locale;
    std::vector<Entry> m_entries;
    qsizetype m_nextToStart = 0;
    qsizetype m_nextToEmit = 0;
    int m_running = 0;
    int m_parallel;
    bool m_started = false;
    bool m_finished = false;
    bool m_emitting = false;
};

} // namespace fulmaro
