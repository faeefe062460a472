// A 3-minute 720p clip rendered by fulmaro-batch (default settings) without a break, and again
// killed with -9 at 60 % of that time and given the same command: the time the second command
// takes to finish against the uncut render's. Also checks what the resumed output must be: the
// uncut one's frame count, picture and sound within 0.05 s of each other, and nothing the decoder
// finds wrong. Prints the figures and, last, "ratio <finish after the kill / uncut render>".

#include "support/batchrunner.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <csignal>

namespace {

QTextStream out(stdout);

QString probe(const QString &file, const char *stream, const char *entry)
{
    QProcess p;
    p.start(QStringLiteral(TOOLS_DIR "/ffprobe"),
            {"-v", "error", "-count_packets", "-select_streams", stream, "-show_entries",
             QStringLiteral("stream=") + entry, "-of", "default=nw=1:nk=1", file});
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    testsupport::linkRealTools(dir.filePath(QStringLiteral("Fulmaro/Bin/")));
    const QString clip = dir.filePath(QStringLiteral("uzun çekim.mp4"));
    QProcess make;
    make.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
               {"-v", "error", "-y", "-f", "lavfi", "-i",
                "testsrc2=size=1280x720:rate=30:duration=180", "-f", "lavfi", "-i",
                "sine=duration=180", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac",
                "-shortest", clip});
    if (!make.waitForFinished(-1) || make.exitCode() != 0) {
        out << "the clip could not be made\n";
        return 1;
    }

    const auto args = [&clip](const QString &outDir) {
        QDir().mkpath(outDir);
        return QStringList{"--output", outDir, "--jobs", "1", clip};
    };
    QElapsedTimer t;
    t.start();
    const QString uncutDir = dir.filePath(QStringLiteral("tek"));
    if (testsupport::runBatch(args(uncutDir), {}, {}, -1).exitCode != 0) {
        out << "the uncut render failed\n";
        return 1;
    }
    const double uncut = t.nsecsElapsed() / 1e9;
    out << "uncut render: " << uncut << " s\n";

    const QString cutDir = dir.filePath(QStringLiteral("kesik"));
    QProcess first;
    first.start(QStringLiteral(FULMARO_BATCH), args(cutDir));
    first.waitForStarted();
    t.restart();
    QThread::msleep(static_cast<unsigned long>(uncut * 600));
    ::kill(pid_t(first.processId()), SIGKILL);
    first.waitForFinished();
    // The encoder goes with the program.
    for (int i = 0; i < 100 && testsupport::processMentions(cutDir.toUtf8()); ++i)
        QThread::msleep(100);
    out << "killed after " << t.nsecsElapsed() / 1e9 << " s\n";

    t.restart();
    const testsupport::BatchResult second = testsupport::runBatch(args(cutDir), {}, {}, -1);
    const double finish = t.nsecsElapsed() / 1e9;
    if (second.exitCode != 0) {
        out << "the resumed render failed: " << second.err << '\n';
        return 1;
    }
    static const QRegularExpression ready(QStringLiteral("(\\d+) parçanın (\\d+) tanesi hazırdı"));
    const QRegularExpressionMatch m = ready.match(second.err);
    out << "segments ready at the restart: "
        << (m.hasMatch() ? m.captured(2) + QStringLiteral(" of ") + m.captured(1)
                         : QStringLiteral("none"))
        << '\n';
    out << "finish after the kill: " << finish << " s\n";

    const QString resumed = cutDir + QStringLiteral("/uzun çekim.mp4");
    const QString whole = uncutDir + QStringLiteral("/uzun çekim.mp4");
    const QString frames = probe(resumed, "v:0", "nb_read_packets");
    const double gap = qAbs(probe(resumed, "v:0", "duration").toDouble() -
                            probe(resumed, "a:0", "duration").toDouble());
    QProcess decode;
    decode.setProcessChannelMode(QProcess::MergedChannels);
    decode.start(QStringLiteral(TOOLS_DIR "/ffmpeg"),
                 {"-v", "error", "-i", resumed, "-f", "null", "-"});
    decode.waitForFinished(-1);
    const QByteArray decodeErrors = decode.readAll().trimmed();
    out << "frames: " << frames << " (uncut " << probe(whole, "v:0", "nb_read_packets") << ")\n";
    out << "picture and sound apart: " << gap << " s\n";
    out << "decoder errors: " << (decodeErrors.isEmpty() ? QByteArray("none") : decodeErrors)
        << '\n';
    out << "ratio " << finish / uncut << '\n';
    return frames == probe(whole, "v:0", "nb_read_packets") && gap <= 0.05 && decodeErrors.isEmpty()
               ? 0
               : 1;
}
