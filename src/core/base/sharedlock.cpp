#include "core/base/sharedlock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QSet>
#include <QSysInfo>
#include <QTimer>

namespace fulmaro {

namespace {

constexpr int kHeartbeatMs = 60 * 1000;

QSet<QString> &heldLocks()
{
    static QSet<QString> held;
    return held;
}

void startHeartbeat()
{
    static QPointer<QTimer> timer;
    if (timer || !QCoreApplication::instance())
        return;
    timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(kHeartbeatMs);
    QObject::connect(timer, &QTimer::timeout, timer, [] { touchHeldLocks(); });
    timer->start();
}

// Whether the lock file names this program: the one that took it.
bool ownLock(const QString &path)
{
    QLockFile probe(path);
    qint64 pid = 0;
    QString host;
    QString app;
    return probe.getLockInfo(&pid, &host, &app) && pid == QCoreApplication::applicationPid() &&
           host == QSysInfo::machineHostName();
}

// Another machine's lock that nobody has touched for a while.
bool foreignAndSilent(const QLockFile &lock, const QString &path)
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app) || host.isEmpty() ||
        host == QSysInfo::machineHostName())
        return false;
    const QDateTime touched = QFileInfo(path).lastModified();
    return touched.isValid() &&
           touched.secsTo(QDateTime::currentDateTime()) > kForeignLockSilentMinutes * 60;
}

} // namespace

bool takeSharedLock(QLockFile &lock, const QString &path)
{
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || !foreignAndSilent(lock, path))
            return false;
        if (!lock.removeStaleLockFile() || !lock.tryLock(0))
            return false;
    }
    heldLocks().insert(path);
    startHeartbeat();
    return true;
}

void touchHeldLocks()
{
    QSet<QString> &held = heldLocks();
    for (auto it = held.begin(); it != held.end();) {
        // A lock released since (its file gone, or another program's by now) is forgotten.
        if (!ownLock(*it)) {
            it = held.erase(it);
            continue;
        }
        QFile file(*it);
        if (file.open(QIODevice::ReadOnly))
            file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
        ++it;
    }
}

} // namespace fulmaro
