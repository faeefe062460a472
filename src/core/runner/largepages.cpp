#include "core/runner/largepages.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX) && defined(__GLIBC__)
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#endif

namespace fulmaro {

void restartWithLargePages(int argc, char **argv)
{
    Q_UNUSED(argc)
#if defined(Q_OS_LINUX) && defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
    const char *current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, "glibc.malloc.hugetlb"))
        return; // already set, by us or by the user
    std::string tunables = "glibc.malloc.hugetlb=1";
    if (current && *current)
        tunables = std::string(current) + ":" + tunables;
    ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    // The restart failed: carry on as we are.
#else
    Q_UNUSED(argv)
#endif
}

} // namespace fulmaro
