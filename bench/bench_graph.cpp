// The default render line against a plain scaling encode of the same 1080p clip to 720p at the
// fastest speed: the graph around the video must cost nothing. fulmaro-batch prints the line it
// would run (--dry-run); both lines run through the shell, several rounds, and the fastest round
// of each counts. Prints the rounds, the processor and wall times and, last,
// "ratio <line's wall time / plain encode's>".

#include "support/testsupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

QTextStream out(stdout);

struct Timing
{
    double wallMs = -1;
    double cpuMs = -1; // the children's user and system time
};

// Runs a shell line and measures it, with the processor time its processes used.
Timing timed(const QString &line)
{
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        out << "failed: " << line << '\n' << p.readAllStandardError() << '\n';
        return {};
    }
    Timing t;
    t.wallMs = clock.nsecsElapsed() / 1e6;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    const auto ms = [](const timeval &v) { return v.tv_sec * 1e3 + v.tv_usec / 1e3; };
    t.cpuMs = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
    return t;
}

QString quoted(const QString &path)
{
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    testsupport::linkRealTools(dir.filePath(QStringLiteral("Fulmaro/Bin/")));
    const QString ffmpeg = QStringLiteral(TOOLS_DIR "/ffmpeg");

    // Twenty seconds of 1080p with movement and grain, and sound.
    const QString clip = dir.filePath(QStringLiteral("kaynak.mp4"));
    if (timed(quoted(ffmpeg) +
              QStringLiteral(" -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=20 "
                             "-f lavfi -i sine=duration=20 -vf noise=alls=8:allf=t -c:v libx264 "
                             "-preset ultrafast -crf 20 -c:a aac -shortest ") +
              quoted(clip))
            .wallMs < 0)
        return 1;

    const QString outDir = dir.filePath(QStringLiteral("cikti"));
    QDir().mkpath(outDir);
    QProcess dry;
    dry.start(QStringLiteral(FULMARO_BATCH),
              {QStringLiteral("--dry-run"), QStringLiteral("--output"), outDir, clip});
    dry.waitForFinished(-1);
    QString line;
    for (const QString &l : QString::fromUtf8(dry.readAllStandardOutput()).split('\n')) {
        if (!l.startsWith(QLatin1Char('#')) && !l.trimmed().isEmpty())
            line = l;
    }
    if (line.isEmpty()) {
        out << "no line from fulmaro-batch\n";
        return 1;
    }
    out << "line: " << line << '\n';
    const QString plain = quoted(ffmpeg) + QStringLiteral(" -y -i ") + quoted(clip) +
                          QStringLiteral(" -vf scale=1280x720 -preset ultrafast -c:a copy "
                                         "-b:v 5000k ") +
                          quoted(dir.filePath(QStringLiteral("duz.mp4")));
    const QString quiet = QStringLiteral(" 2>/dev/null");

    Timing bestLine{1e18, 1e18};
    Timing bestPlain{1e18, 1e18};
    for (int round = 0; round < 4; ++round) {
        const Timing a = timed(line + quiet);
        const Timing b = timed(plain + quiet);
        if (a.wallMs < 0 || b.wallMs < 0)
            return 1;
        bestLine = {std::min(bestLine.wallMs, a.wallMs), std::min(bestLine.cpuMs, a.cpuMs)};
        bestPlain = {std::min(bestPlain.wallMs, b.wallMs), std::min(bestPlain.cpuMs, b.cpuMs)};
        out << "round " << round << ": line " << a.wallMs << " ms (" << a.cpuMs
            << " ms cpu), plain " << b.wallMs << " ms (" << b.cpuMs << " ms cpu)\n";
        out.flush();
    }
    out << "line_ms " << bestLine.wallMs << '\n'
        << "plain_ms " << bestPlain.wallMs << '\n'
        << "cpu_ratio " << bestLine.cpuMs / bestPlain.cpuMs << '\n'
        << "ratio " << bestLine.wallMs / bestPlain.wallMs << '\n';
    return 0;
}
