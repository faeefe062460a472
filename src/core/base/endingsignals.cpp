#include "core/base/endingsignals.h"

#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace fulmaro {

namespace {

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler only writes the signal's number into a socket the event loop watches.
std::atomic<int> g_writeEnd{-1};

extern "C" void onEndingSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    const int fd = g_writeEnd.load();
    if (fd >= 0)
        static_cast<void>(::write(fd, &byte, 1));
    errno = saved;
}
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
std::atomic<int> g_pending{0};

extern "C" void onEndingSignal(int number)
{
    g_pending = number;
    std::signal(number, onEndingSignal);
}
#endif

} // namespace

struct EndingSignals::Platform
{
#ifdef Q_OS_UNIX
    int ends[2] = {-1, -1};
    struct sigaction previous[std::size(kSignals)];
    std::unique_ptr<QSocketNotifier> notifier;
#else
    void (*previous[std::size(kSignals)])(int) = {};
    QTimer poll;
#endif
};

EndingSignals::EndingSignals(QObject *parent)
    : QObject(parent)
    , m_platform(std::make_unique<Platform>())
{
    Platform &p = *m_platform;
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, p.ends) != 0)
        return;
    g_writeEnd = p.ends[1];
    p.notifier = std::make_unique<QSocketNotifier>(p.ends[0], QSocketNotifier::Read);
    connect(p.notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        const ssize_t count = ::read(m_platform->ends[0], bytes, sizeof bytes);
        for (ssize_t i = 0; i < count; ++i)
            take(bytes[i]);
    });
    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    // Restarted, so a system call of the program's is not cut short by a signal it handles.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &p.previous[i]);
#else
    g_pending = 0;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        p.previous[i] = std::signal(kSignals[i], onEndingSignal);
    connect(&p.poll, &QTimer::timeout, this, [this] {
        if (const int number = g_pending.exchange(0))
            take(number);
    });
    p.poll.start(50);
#endif
}

EndingSignals::~EndingSignals()
{
    Platform &p = *m_platform;
#ifdef Q_OS_UNIX
    if (p.ends[0] < 0)
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &p.previous[i], nullptr);
    g_writeEnd = -1;
    p.notifier.reset();
    ::close(p.ends[0]);
    ::close(p.ends[1]);
#else
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        std::signal(kSignals[i], p.previous[i]);
#endif
}

void EndingSignals::take(int signalNumber)
{
    if (m_number == 0)
        m_number = signalNumber;
    Q_EMIT arrived(signalNumber);
}

} // namespace fulmaro
