#pragma once

#include <QObject>

#ifdef FULMARO_DBUS
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#endif

namespace fulmaro {

// Keeps the machine from sleeping while work runs, through logind's inhibitor lock
// (org.freedesktop.login1 Manager.Inhibit "sleep:idle" on the system bus): the lock lasts as long
// as the file descriptor logind hands back stays open. The call does not wait for logind; where
// the bus or logind is missing nothing happens.
//
// The bus is the system bus unless another is given. Its address can be moved with the standard
// variable DBUS_SYSTEM_BUS_ADDRESS, which the tests use to point it at a bus of their own.
//
// On Windows the lock is the thread's execution state (SetThreadExecutionState, "the system is
// required"), held while any inhibitor of the program holds it; it is in hand at once.
class SleepInhibitor : public QObject
{
    Q_OBJECT
public:
    explicit SleepInhibitor(QObject *parent = nullptr);
#ifdef FULMARO_DBUS
    SleepInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
#endif
    ~SleepInhibitor() override;

    // Asks for the lock once; a second hold() while held or asked changes nothing.
    void hold();
    // Lets the lock go, also one still being asked for (it is dropped when it comes). The last
    // copy of the descriptor, the one in the answer, closes once the event loop has run.
    void release();

    bool isWanted() const
    {
        return m_wanted;
    }
    // Whether logind's lock is in hand.
#ifdef FULMARO_DBUS
    bool isHeld() const
    {
        return m_lock.isValid();
    }
#else
    bool isHeld() const
    {
        return m_held;
    }
#endif

Q_SIGNALS:
    // The lock has come (held) or could not be had.
    void answered(bool held);

private:
#ifdef FULMARO_DBUS
    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_lock;
#else
    bool m_held = false;
#endif
    bool m_wanted = false;
    quint64 m_request = 0; // tells a stale answer from the current one
};

} // namespace fulmaro
