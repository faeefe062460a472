#include "core/runner/largepages.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX) && defined(__GLIBC__)
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#endif

namespace fulmaro {

#if defined(Q_OS_LINUX) && defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
namespace {
constexpr const char *kTunables = "GLIBC_TUNABLES";
// Carries the user's own value across the restart: "=" and the value, or "-" for none.
constexpr const char *kUsersTunables = "FULMARO_USERS_GLIBC_TUNABLES";

void restoreUsersTunables(const char *saved)
{
    if (saved[0] == '=')
        ::setenv(kTunables, saved + 1, 1);
    else
        ::unsetenv(kTunables);
    ::unsetenv(kUsersTunables);
}
} // namespace
#endif

void restartWithLargePages(int argc, char **argv)
{
    Q_UNUSED(argc)
#if defined(Q_OS_LINUX) && defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
    if (const char *saved = std::getenv(kUsersTunables)) {
        // Restarted: the heap setting has been read at start-up. The environment goes back to
        // the user's, so the tools the program starts inherit it unchanged.
        const std::string copy = saved;
        restoreUsersTunables(copy.c_str());
        return;
    }
    const char *current = std::getenv(kTunables);
    if (current && std::strstr(current, "glibc.malloc.hugetlb"))
        return; // the user's own choice
    const std::string users = current ? std::string("=") + current : std::string("-");
    std::string tunables = "glibc.malloc.hugetlb=1";
    if (current && *current)
        tunables = std::string(current) + ":" + tunables;
    ::setenv(kUsersTunables, users.c_str(), 1);
    ::setenv(kTunables, tunables.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    // The restart failed: carry on as we are, with the user's environment.
    restoreUsersTunables(users.c_str());
#else
    Q_UNUSED(argv)
#endif
}

} // namespace fulmaro
