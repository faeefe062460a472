// Starts as the program does (restarting itself with the heap setting), then reports whether it
// runs with that setting and what a tool it starts finds in its environment.
#include "core/runner/largepages.h"
#include "core/runner/toolrun.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    fulmaro::restartWithLargePages(argc, argv);
    QCoreApplication app(argc, argv);
    // The environment this process was started with, whatever it has changed since: the restart
    // carried the user's own setting in it.
    QFile initial(QStringLiteral("/proc/self/environ"));
    initial.open(QIODevice::ReadOnly);
    bool restarted = false;
    for (const QByteArray &entry : initial.readAll().split('\0'))
        restarted = restarted || entry.startsWith("FULMARO_USERS_GLIBC_TUNABLES=");
    std::printf("restarted: %s\n", restarted ? "yes" : "no");
    const fulmaro::RunResult run =
        fulmaro::getDosOutput(QStringLiteral("sh"),
                              QStringLiteral("printf 'tool: %s|%s\\n' \"${GLIBC_TUNABLES-unset}\" "
                                             "\"${FULMARO_USERS_GLIBC_TUNABLES-unset}\""),
                              QStringLiteral("/"));
    for (const QString &line : run.lines)
        std::printf("%s\n", qPrintable(line));
    return 0;
}
