#include "core/desktop/desktopnotifier.h"

#include <QStringList>
#include <QVariantMap>

#ifdef FULMARO_DBUS
#include <QDBusMessage>
#endif

namespace fulmaro {

#ifdef FULMARO_DBUS
DesktopNotifier::DesktopNotifier(const QDBusConnection &bus)
    : m_bus(bus)
{}

bool DesktopNotifier::notify(const QString &summary, const QString &body) const
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Fulmaro") << uint(0) << QStringLiteral("video-x-generic") << summary
         << body << QStringList() << QVariantMap() << int(-1);
    // The reply (the notice's id, or an error where no service runs) is of no use here.
    call.setAutoStartService(true);
    return m_bus.send(call);
}
#else
bool DesktopNotifier::notify(const QString &, const QString &) const
{
    return false;
}
#endif

RunNotice runEndNotice(int succeeded, int failed, int notRun, bool stopped)
{
    RunNotice notice;
    if (stopped)
        notice.summary = QStringLiteral("Video Render durduruldu");
    else if (failed > 0)
        notice.summary = QStringLiteral("Video Render hatalarla bitti");
    else
        notice.summary = QStringLiteral("Video Render bitti");
    notice.body = QStringLiteral("%1 iş başarılı, %2 iş başarısız").arg(succeeded).arg(failed);
    if (notRun > 0)
        notice.body += QStringLiteral(", %1 iş çalıştırılmadı").arg(notRun);
    notice.body += QLatin1Char('.');
    return notice;
}

} // namespace fulmaro
