#pragma once

#include <QString>

#ifdef FULMARO_DBUS
#include <QDBusConnection>
#endif

namespace fulmaro {

// One-line notices on the desktop through the notification service of the session bus
// (org.freedesktop.Notifications). Fire and forget: nothing waits for the service, and where the
// bus or the service is missing nothing happens. The bus is the session bus unless another is
// given; the session bus itself follows DBUS_SESSION_BUS_ADDRESS. Without D-Bus (Windows) there
// is no such service and notify() sends nothing.
class DesktopNotifier
{
public:
#ifdef FULMARO_DBUS
    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus());
#else
    DesktopNotifier() = default;
#endif

    // False when there was no bus to send it on.
    bool notify(const QString &summary, const QString &body) const;

private:
#ifdef FULMARO_DBUS
    QDBusConnection m_bus;
#endif
};

// What a finished run says: the summary and the counts of the jobs that succeeded and failed.
struct RunNotice
{
    QString summary;
    QString body;
};
RunNotice runEndNotice(int succeeded, int failed, int notRun, bool stopped);

} // namespace fulmaro
