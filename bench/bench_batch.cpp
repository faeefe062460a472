// fulmaro-batch rendering eight short clips (8 s each, default settings, one job at a time),
// against the same eight encoder command lines (as its --dry-run prints them) run one after
// another in a shell loop.
// The front end's time includes starting up and probing the clips: one probe run a file, about
// a tenth of a second of processor time with Debian's FFmpeg, overlapping the renders. Prints
// both times and, last, "ratio <front end time / loop time>".

#include "core/runner/shellquote.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

QTextStream out(stdout);

bool run(const QString &program, const QStringList &args, QByteArray *output = nullptr,
         const QString &workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
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
    QTemporaryDir dir;
    // A work folder of its own, with the real tools in its Bin.
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    testsupport::linkRealTools(dir.filePath(QStringLiteral("Fulmaro/Bin/")));

    const QString src = dir.filePath(QStringLiteral("src"));
    QDir().mkpath(src);
    QStringList clips;
    for (int i = 0; i < 8; ++i) {
        const QString clip = src + QStringLiteral("/klip %1.mp4").arg(i);
        if (!run(QStringLiteral(TOOLS_DIR "/ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i",
                  "testsrc=size=640x360:rate=30:duration=8", "-f", "lavfi", "-i", "sine=duration=8",
                  "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest", clip}))
            return 1;
        clips << clip;
    }
    // The panel's defaults (720p, "En Hızlı"), one job at a time as the loop runs them.
    const QStringList settings{"--jobs", "1"};

    auto frontEnd = [&](const QString &outDir) {
        QDir().mkpath(outDir);
        QElapsedTimer t;
        t.start();
        if (!run(QStringLiteral(FULMARO_BATCH), QStringList{"--output", outDir} + settings + clips))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };
    auto loop = [&](const QString &outDir) {
        QDir().mkpath(outDir);
        QByteArray lines;
        if (!run(QStringLiteral(FULMARO_BATCH),
                 QStringList{"--output", outDir, "--dry-run"} + settings + clips, &lines))
            return -1.0;
        QString script;
        for (const QString &line : QString::fromUtf8(lines).split('\n', Qt::SkipEmptyParts))
            script += line + QStringLiteral(" 2>/dev/null || exit 1\n");
        QElapsedTimer t;
        t.start();
        if (!run(QStringLiteral("/bin/sh"), {"-c", script}, nullptr,
                 dir.filePath(QStringLiteral("Fulmaro/Temp"))))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };

    frontEnd(dir.filePath(QStringLiteral("warm-f")));
    loop(dir.filePath(QStringLiteral("warm-l")));
    double frontMs = 1e18;
    double loopMs = 1e18;
    for (int round = 0; round < 5; ++round) {
        const double f = frontEnd(dir.filePath(QStringLiteral("f%1").arg(round)));
        const double l = loop(dir.filePath(QStringLiteral("l%1").arg(round)));
        if (f < 0 || l < 0)
            return 1;
        frontMs = std::min(frontMs, f);
        loopMs = std::min(loopMs, l);
        out << "round " << round << ": front end " << f << " ms, shell loop " << l << " ms\n";
        out.flush();
    }
    out << "front_end_ms " << frontMs << '\n'
        << "loop_ms " << loopMs << '\n'
        << "ratio " << frontMs / loopMs << '\n';
    return 0;
}
