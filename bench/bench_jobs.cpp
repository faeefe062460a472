// fulmaro-batch --jobs auto rendering twelve 640x360 clips (8 s each, default settings), against
// the same twelve encoder command lines (as its --dry-run prints them) run by GNU parallel -j2,
// the best a shell does on two cores. Also times --jobs 1 for the speed-up of running jobs side
// by side. Several rounds, minima compared. Prints the times, "speedup <jobs 1 / jobs auto>" and,
// last, "ratio <jobs auto / parallel -j2>".

#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

QTextStream out(stdout);

bool run(const QString &program, const QStringList &args, QByteArray *output = nullptr,
         const QString &workDir = QString(), const QByteArray &input = QByteArray())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    if (!input.isNull()) {
        p.write(input);
        p.closeWriteChannel();
    }
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        out << program << " failed: " << p.readAllStandardError() << '\n';
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (parallel.isEmpty()) {
        out << "GNU parallel is not installed\n";
        return 1;
    }
    QTemporaryDir dir;
    // A work folder of its own, with the real tools in its Bin.
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    testsupport::linkRealTools(dir.filePath(QStringLiteral("Fulmaro/Bin/")));

    const QString src = dir.filePath(QStringLiteral("src"));
    QDir().mkpath(src);
    QStringList clips;
    for (int i = 0; i < 12; ++i) {
        const QString clip = src + QStringLiteral("/klip %1.mp4").arg(i);
        if (!run(QStringLiteral(TOOLS_DIR "/ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i",
                  "testsrc=size=640x360:rate=30:duration=8", "-f", "lavfi", "-i", "sine=duration=8",
                  "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest", clip}))
            return 1;
        clips << clip;
    }

    auto frontEnd = [&](const QString &jobs, const QString &outDir) {
        QDir().mkpath(outDir);
        QElapsedTimer t;
        t.start();
        if (!run(QStringLiteral(FULMARO_BATCH),
                 QStringList{"--output", outDir, "--jobs", jobs} + clips))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };
    auto shell = [&](const QString &outDir) {
        QDir().mkpath(outDir);
        QByteArray lines;
        if (!run(QStringLiteral(FULMARO_BATCH),
                 QStringList{"--output", outDir, "--dry-run", "--null"} + clips, &lines))
            return -1.0;
        QByteArray commands;
        for (const QByteArray &line : lines.split('\0')) {
            if (!line.isEmpty() && !line.startsWith("# "))
                commands += line + " 2>/dev/null" + '\0';
        }
        QElapsedTimer t;
        t.start();
        if (!run(parallel, {"-0", "-j2", "--halt", "now,fail=1"}, nullptr,
                 dir.filePath(QStringLiteral("Fulmaro/Temp")), commands))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };

    frontEnd(QStringLiteral("auto"), dir.filePath(QStringLiteral("warm-f")));
    shell(dir.filePath(QStringLiteral("warm-p")));
    double autoMs = 1e18, oneMs = 1e18, parallelMs = 1e18;
    for (int round = 0; round < 3; ++round) {
        const double a =
            frontEnd(QStringLiteral("auto"), dir.filePath(QStringLiteral("a%1").arg(round)));
        const double p = shell(dir.filePath(QStringLiteral("p%1").arg(round)));
        const double o =
            frontEnd(QStringLiteral("1"), dir.filePath(QStringLiteral("o%1").arg(round)));
        if (a < 0 || p < 0 || o < 0)
            return 1;
        autoMs = std::min(autoMs, a);
        parallelMs = std::min(parallelMs, p);
        oneMs = std::min(oneMs, o);
        out << "round " << round << ": --jobs auto " << a << " ms, parallel -j2 " << p
            << " ms, --jobs 1 " << o << " ms\n";
        out.flush();
    }
    out << "jobs_auto_ms " << autoMs << '\n'
        << "parallel_ms " << parallelMs << '\n'
        << "jobs_1_ms " << oneMs << '\n'
        << "speedup " << oneMs / autoMs << '\n'
        << "ratio " << autoMs / parallelMs << '\n';
    return 0;
}
