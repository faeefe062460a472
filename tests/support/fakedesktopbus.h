#pragma once

// A private D-Bus of the test's own (dbus-daemon --session) with stand-ins for the desktop's
// notification service and logind's Manager, recording what the program asks of them. The lock
// logind hands out is the write end of a pipe: it is held as long as any copy of it is open.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStringList>
#include <QVariantList>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

class FakeDesktopBus : public QDBusVirtualObject
{
public:
    ~FakeDesktopBus() override
    {
        for (int fd : m_locks)
            ::close(fd);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    // Starts the bus, takes both names on a connection of its own, and points the session and
    // system bus variables at it; call before the program first asks for either bus.
    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(10000))
            return false;
        while (!m_daemon.canReadLine()) {
            if (!m_daemon.waitForReadyRead(10000))
                return false;
        }
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_bus = QDBusConnection::connectToBus(address, QStringLiteral("fake-desktop"));
        if (!m_bus.isConnected())
            return false;
        if (!m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this) ||
            !m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), this) ||
            !m_bus.registerService(QStringLiteral("org.freedesktop.Notifications")) ||
            !m_bus.registerService(QStringLiteral("org.freedesktop.login1")))
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
        return true;
    }

    QString address;
    QList<QVariantList> notifications; // the arguments of each Notify call
    QList<QVariantList> inhibits;      // the arguments of each Inhibit call

    // How many of the locks handed out are still held by someone.
    int locksHeld() const
    {
        int held = 0;
        for (int fd : m_locks) {
            pollfd p{fd, POLLIN, 0};
            // The read end reports a hang-up once every write end is closed.
            if (::poll(&p, 1, 0) == 0 || !(p.revents & POLLHUP))
                ++held;
        }
        return held;
    }

    // Takes the two names off the bus (as on a machine without them) or puts them back.
    bool setServicesPresent(bool present)
    {
        bool ok = true;
        for (const char *name : {"org.freedesktop.Notifications", "org.freedesktop.login1"}) {
            ok = (present ? m_bus.registerService(QLatin1String(name))
                          : m_bus.unregisterService(QLatin1String(name))) &&
                 ok;
        }
        return ok;
    }

    void clear()
    {
        notifications.clear();
        inhibits.clear();
        for (int fd : m_locks)
            ::close(fd);
        m_locks.clear();
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == QLatin1String("org.freedesktop.Notifications") &&
            message.member() == QLatin1String("Notify")) {
            notifications.append(message.arguments());
            connection.send(message.createReply(QVariantList{uint(notifications.size())}));
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.login1.Manager") &&
            message.member() == QLatin1String("Inhibit")) {
            inhibits.append(message.arguments());
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return false;
            m_locks.append(ends[0]);
            {
                // The reply carries its own copy; ours goes at once.
                const QDBusUnixFileDescriptor lock(ends[1]);
                ::close(ends[1]);
                connection.send(message.createReply(QVariantList{QVariant::fromValue(lock)}));
            }
            return true;
        }
        return false;
    }

private:
    QProcess m_daemon;
    QDBusConnection m_bus{QString()};
    QList<int> m_locks;
};

} // namespace testsupport
