// Tool output of 10 MB and 100 MB through getDosOutput with a callback, beside the same bytes
// through a plain pipe (cat FILE | cat > /dev/null). Each runner measurement runs in a fresh
// process, as a real tool run in the program would, so neither size inherits the other's heap.
// Prints the times and, last, "ratio <100 MB runner time / plain pipe time>".
#include "core/runner/largepages.h"
#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace fulmaro;

namespace {

void writeFile(const QString &path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block;
    // Lines like an encoder's status output, each rewritten with a CR.
    for (int i = 0; block.size() < (1 << 20); ++i)
        block += "frame= " + QByteArray::number(i) +
                 " fps=250 q=28.0 size=   1024kB time=00:00:" + QByteArray::number(i % 60) +
                 ".00 bitrate=1000.0kbits/s speed=10x\r";
    while (bytes > 0) {
        const qint64 n = qMin<qint64>(bytes, block.size());
        f.write(block.constData(), n);
        bytes -= n;
    }
}

// One measured run, in this process: prints seconds and the characters seen.
int measureOnce(const QString &file)
{
    qsizetype chars = 0;
    QElapsedTimer t;
    t.start();
    const RunResult r = getDosOutput(
        QStringLiteral("cat"), QStringLiteral("cat ") + quoteArg(file), QDir::tempPath(),
        [&chars](const QString &piece, bool &) { chars += piece.size(); });
    const double seconds = t.nsecsElapsed() / 1e9;
    QTextStream(stdout) << seconds << ' ' << chars << ' ' << r.lines.size() << '\n';
    return r.succeeded() ? 0 : 1;
}

// The best of three runs, each in a fresh process.
double runnerSeconds(const QString &file, QString *detail)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once"), file});
        child.waitForFinished(-1);
        const QStringList parts = QString::fromLatin1(child.readAllStandardOutput()).split(' ');
        if (parts.size() < 3)
            qFatal("measurement failed");
        best = std::min(best, parts[0].toDouble());
        *detail = parts[1] + QStringLiteral(" characters, ") + parts[2].trimmed() +
                  QStringLiteral(" lines");
    }
    return best;
}

double pipeSeconds(const QString &file)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (std::system(
                qPrintable(QStringLiteral("cat %1 | cat > /dev/null").arg(quoteArg(file)))) != 0)
            qFatal("pipe failed");
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    restartWithLargePages(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--once") == 0)
        return measureOnce(QString::fromLocal8Bit(argv[2]));

    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("10MB.txt"));
    const QString large = dir.filePath(QStringLiteral("100MB.txt"));
    writeFile(small, 10 * 1000 * 1000);
    writeFile(large, 100 * 1000 * 1000);

    QString detail;
    const double t10 = runnerSeconds(small, &detail);
    out << "runner 10 MB:      " << t10 << " s (" << detail << ")\n";
    const double t100 = runnerSeconds(large, &detail);
    out << "runner 100 MB:     " << t100 << " s (" << detail << ")\n";
    const double p100 = pipeSeconds(large);
    out << "plain pipe 100 MB: " << p100 << " s\n";
    out << "growth 100 MB / 10 MB: " << t100 / t10 << " (goal: at most 12)\n";
    out << "100 MB runner / plain pipe: " << t100 / p100 << " (goal: at most 10)\n";
    out << "ratio " << t100 / p100 << "\n";
    return 0;
}
