// fulmaro-batch rendering a recording whose timestamps jitter (as phones and screen recorders
// write them: the probe guesses its rate as 90000/1) against a constant-rate clip of the same
// size, length and sound, both at the default settings. The jittered one must render at a
// plausible constant rate, so it costs about as much as the constant one. Prints both times and,
// last, "ratio <jittered time / constant time>".

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

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        out << program << " failed: " << p.readAllStandardError() << '\n';
        return false;
    }
    return true;
}

QStringList source(const QString &seconds)
{
    return {"-v",
            "error",
            "-y",
            "-f",
            "lavfi",
            "-i",
            QStringLiteral("testsrc=size=640x360:rate=30:duration=%1").arg(seconds),
            "-f",
            "lavfi",
            "-i",
            QStringLiteral("sine=duration=%1").arg(seconds)};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    testsupport::linkRealTools(dir.filePath(QStringLiteral("Fulmaro/Bin/")));

    const QString seconds = QStringLiteral("6");
    const QString constant = dir.filePath(QStringLiteral("sabit.mp4"));
    const QString jittered = dir.filePath(QStringLiteral("titrek.mp4"));
    const QStringList common{"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest"};
    if (!run(QStringLiteral(TOOLS_DIR "/ffmpeg"),
             source(seconds) + common + QStringList{constant}) ||
        !run(QStringLiteral(TOOLS_DIR "/ffmpeg"),
             source(seconds) +
                 QStringList{"-vf", "settb=1/90000,setpts='(N/30+0.02*(random(0)-0.5))/TB'",
                             "-fps_mode", "passthrough", "-enc_time_base", "1/90000",
                             "-video_track_timescale", "90000"} +
                 common + QStringList{jittered}))
        return 1;

    auto render = [&](const QString &clip, const QString &outDir) {
        QDir().mkpath(outDir);
        QElapsedTimer t;
        t.start();
        if (!run(QStringLiteral(FULMARO_BATCH), {"--output", outDir, clip}))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };

    render(constant, dir.filePath(QStringLiteral("warm")));
    double constantMs = 1e18;
    double jitteredMs = 1e18;
    for (int round = 0; round < 3; ++round) {
        const double c = render(constant, dir.filePath(QStringLiteral("c%1").arg(round)));
        const double j = render(jittered, dir.filePath(QStringLiteral("j%1").arg(round)));
        if (c < 0 || j < 0)
            return 1;
        constantMs = std::min(constantMs, c);
        jitteredMs = std::min(jitteredMs, j);
        out << "round " << round << ": constant " << c << " ms, jittered " << j << " ms\n";
        out.flush();
    }
    out << "constant_ms " << constantMs << '\n'
        << "jittered_ms " << jitteredMs << '\n'
        << "ratio " << jitteredMs / constantMs << '\n';
    return 0;
}
