#include "core/desktop/sleepinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace fulmaro {

SleepInhibitor::SleepInhibitor(QObject *parent)
    : SleepInhibitor(QDBusConnection::systemBus(), parent)
{}

SleepInhibitor::SleepInhibitor(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{}

SleepInhibitor::~SleepInhibitor() = default;

void SleepInhibitor::hold()
{
    if (m_wanted)
        return;
    m_wanted = true;
    const quint64 request = ++m_request;
    if (!m_bus.isConnected()) {
        Q_EMIT answered(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Fulmaro")
         << QStringLiteral("Fulmaro video işliyor") << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        QDBusUnixFileDescriptor lock;
        {
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
            if (reply.isValid())
                lock = reply.value();
        }
        if (request != m_request || !m_wanted)
            return; // released meanwhile: the lock closes here
        if (lock.isValid())
            m_lock = lock;
        Q_EMIT answered(isHeld());
    });
}

void SleepInhibitor::release()
{
    m_wanted = false;
    ++m_request;
    // Closing our copy of the descriptor ends the lock.
    m_lock = QDBusUnixFileDescriptor();
}

} // namespace fulmaro
