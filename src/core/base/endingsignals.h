#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace fulmaro {

// The signals that ask a program to end (Ctrl-C, a terminal closed, a logout or shutdown: SIGINT,
// SIGHUP, SIGTERM), delivered as a Qt signal on the thread that made the object, so they are
// handled like a stop by the user: the running tools are ended and their unfinished files removed.
// While an object lives, those signals no longer end the program by themselves; the previous
// handling comes back when it is destroyed. One object at a time.
class EndingSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndingSignals(QObject *parent = nullptr);
    ~EndingSignals() override;

    // Whether one of the signals has come since the object was made.
    bool received() const { return m_number != 0; }
    int number() const { return m_number; }

Q_SIGNALS:
    void arrived(int signalNumber);

private:
    void take(int signalNumber);

    int m_number = 0;
    struct Platform;
    std::unique_ptr<Platform> m_platform;
};

} // namespace fulmaro
