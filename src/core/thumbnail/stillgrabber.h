#pragma once

#include "core/base/toolset.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace fulmaro {

class ToolRun;

// The size a list still is grabbed at: twice the 64x36 it is shown at, so it stays sharp on a
// screen that scales by two. The video's proportions are kept inside this box.
constexpr int kStillGrabWidth = 128;
constexpr int kStillGrabHeight = 72;

// Whether the row has a picture to grab: its resolution names a width and a height (a file
// without a video stream gives none, or a bare "x").
bool hasPictureSize(const QString &resolution);

// The moment a list still shows: a tenth into the video, past the black of a fade-in, and well
// before its end even when the length was rounded up.
double stillMoment(qint64 durationSeconds);

// The encoder's command line that writes one small PNG still of the video at the given second.
// Square pixels first, then fitted into the box, so the picture has the proportions the video
// is shown with.
QString stillGrabCommand(const ToolSet &tools, const QString &fileName, double seconds,
                         const QString &picturePath);

// Grabs the list's stills: a few encoder runs at a time, each at the lowest scheduling priority,
// so the stills only take the time that probing, rendering and the window leave. Each request
// ends with stillReady or stillFailed.
class StillGrabber : public QObject
{
    Q_OBJECT
public:
    StillGrabber(ToolSet tools, QString tempDir, QObject *parent = nullptr);
    ~StillGrabber() override;

    void setTools(const ToolSet &tools) { m_tools = tools; }
    void setTempDir(const QString &tempDir) { m_tempDir = tempDir; }
    void setParallel(int count) { m_parallel = qMax(1, count); }
    static constexpr int kDefaultParallel = 2;

    // Asked just before a grab starts; false drops the request without a signal (the row has
    // gone meanwhile).
    std::function<bool(quint64 key)> wanted;

    void request(quint64 key, const QString &fileName, qint64 durationSeconds);
    // While held, requests wait and no new grab starts (the list holds the stills while it is
    // probing, so the rows come first).
    void setHeld(bool held);
    bool isHeld() const { return m_held; }
    bool isIdle() const { return m_running == 0 && m_waiting.empty(); }
    int running() const { return m_running; }

Q_SIGNALS:
    void stillReady(quint64 key, const QByteArray &picture);
    void stillFailed(quint64 key);
    // Nothing more is waiting or running.
    void idle();

private:
    struct Request
    {
        quint64 key;
        QString fileName;
        qint64 durationSeconds;
    };
    void launchMore();
    void startGrab(const Request &request);

    ToolSet m_tools;
    QString m_tempDir;
    std::deque<Request> m_waiting;
    // The pictures of the grabs going, each with its run.
    QHash<ToolRun *, QString> m_pictures;
    int m_running = 0;
    int m_parallel = kDefaultParallel;
    bool m_held = false;
};

} // namespace fulmaro
