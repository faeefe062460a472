#include "core/thumbnail/stillgrabber.h"

#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace fulmaro {

bool hasPictureSize(const QString &resolution)
{
    const QStringList sides = resolution.split(QLatin1Char('x'));
    return sides.size() == 2 && sides.at(0).toInt() > 0 && sides.at(1).toInt() > 0;
}

double stillMoment(qint64 durationSeconds)
{
    return durationSeconds > 0 ? durationSeconds / 10.0 : 0.0;
}

QString stillGrabCommand(const ToolSet &tools, const QString &fileName, double seconds,
                         const QString &picturePath)
{
    const QString fit = QStringLiteral("scale=iw*sar:ih,scale=%1:%2:force_original_aspect_ratio="
                                       "decrease,setsar=1")
                            .arg(kStillGrabWidth)
                            .arg(kStillGrabHeight);
    return quoteArg(tools.path(tools.ffMpeg)) + QStringLiteral(" -v error -y -ss ") +
           QString::number(seconds, 'f', 2) + QStringLiteral(" -i ") + quoteArg(fileName) +
           QStringLiteral(" -an -sn -frames:v 1 -vf ") + quoteArg(fit) +
           QStringLiteral(" -f image2 -c:v png ") + quoteArg(picturePath);
}

StillGrabber::StillGrabber(ToolSet tools, QString tempDir, QObject *parent)
    : QObject(parent)
    , m_tools(std::move(tools))
    , m_tempDir(std::move(tempDir))
{}

// Grabs still going are ended with their process trees, and what they had written goes.
StillGrabber::~StillGrabber()
{
    for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it) {
        delete it.key();
        QFile::remove(it.value());
    }
}

void StillGrabber::request(quint64 key, const QString &fileName, qint64 durationSeconds)
{
    m_waiting.push_back({key, fileName, durationSeconds});
    launchMore();
}

void StillGrabber::setHeld(bool held)
{
    m_held = held;
    if (!held)
        launchMore();
}

void StillGrabber::launchMore()
{
    while (!m_held && m_running < m_parallel && !m_waiting.empty()) {
        const Request request = m_waiting.front();
        m_waiting.pop_front();
        if (wanted && !wanted(request.key))
            continue;
        startGrab(request);
    }
    if (isIdle())
        Q_EMIT idle();
}

void StillGrabber::startGrab(const Request &request)
{
    // The work folder is shared by every instance of the program: the process id keeps the
    // scratch names apart.
    const QString picture =
        m_tempDir +
        QStringLiteral("still_%1_%2.png").arg(QCoreApplication::applicationPid()).arg(request.key);
    // The scratch folder may have been cleaned away.
    QDir().mkpath(m_tempDir);
    auto *run = new ToolRun(
        stillGrabCommand(m_tools, request.fileName, stillMoment(request.durationSeconds), picture),
        m_tempDir, {}, this);
    m_pictures.insert(run, picture);
    run->setBackground(true);
    ++m_running;
    const quint64 key = request.key;
    connect(run, &ToolRun::done, this, [this, run, key, picture] {
        const bool ran = run->result().succeeded();
        m_pictures.remove(run);
        run->deleteLater();
        QByteArray bytes;
        QFile file(picture);
        if (ran && file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        file.close();
        QFile::remove(picture);
        --m_running;
        // An empty file is no picture: a seek past the end gives one without a frame.
        if (bytes.isEmpty())
            Q_EMIT stillFailed(key);
        else
            Q_EMIT stillReady(key, bytes);
        launchMore();
    });
    run->start();
}

} // namespace fulmaro
