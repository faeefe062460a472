#include "core/desktop/sleepinhibitor.h"

#ifdef FULMARO_DBUS
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fulmaro {

#ifdef FULMARO_DBUS

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

#else
namespace {
// The execution state belongs to the thread; all inhibitors live on the interface thread and
// share it, so it is cleared only when the last of them lets go.
int g_holders = 0;

void setSystemRequired(bool required)
{
#ifdef Q_OS_WIN
    ::SetThreadExecutionState(required ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
#else
    Q_UNUSED(required)
#endif
}
} // namespace

SleepInhibitor::SleepInhibitor(QObject *parent)
    : QObject(parent)
{}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::hold()
{
    if (m_wanted)
        return;
    m_wanted = true;
    ++m_request;
#ifdef Q_OS_WIN
    if (g_holders++ == 0)
        setSystemRequired(true);
    m_held = true;
#endif
    Q_EMIT answered(m_held);
}

void SleepInhibitor::release()
{
    m_wanted = false;
    ++m_request;
    if (m_held && --g_holders == 0)
        setSystemRequired(false);
    m_held = false;
}
#endif

} // namespace fulmaro
