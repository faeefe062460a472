#pragma once

#include <QDBusConnection>
#include <QString>

namespace fulmaro {

// One-line notices on the desktop through the notification service of the session bus
// (org.freedesktop.Notifications). Fire and forget: nothing waits for the service, and where the
// bus or the service is missing nothing happens. The bus is the session bus unless another is
// given; the session bus itself follows DBUS_SESSION_BUS_ADDRESS.
class DesktopNotifier
{
public:
    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus());

    // False when there was no bus to send it on.
    bool notify(const QString &summary, const QString &body) const;

private:
    QDBusConnection m_bus;
};

// What a finished run says: the summary and the counts of the jobs that succeeded and failed.
struct RunNotice
{
    QString summary;
    QString body;
};
RunNotice runEndNotice(int succeeded, int failed, int notRun, bool stopped);

} // namespace fulmaro
