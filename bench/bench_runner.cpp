// Tool output of 10 MB and 100 MB through getDosOutput with a callback, beside the same bytes
// through a plain pipe. Prints the times and, last, the 100 MB time over the pipe's.
#include "runner/shellquote.h"
#include "runner/toolrun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using namespace fulmaro;

namespace {

void writeFile(const QString &path, qint64 bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray block;
    // Lines like an encoder's status output.
    for (int i = 0; block.size() < (1 << 20); ++i)
        block += "frame= " + QByteArray::number(i) + " fps=250 q=28.0 size=   1024kB time=00:00:"
                 + QByteArray::number(i % 60) + ".00 bitrate=1000.0kbits/s speed=10x\r";
    while (bytes > 0) {
        const qint64 n = qMin<qint64>(bytes, block.size());
        f.write(block.constData(), n);
        bytes -= n;
    }
}

double runnerSeconds(const QString &file, qsizetype *chars)
{
    QElapsedTimer t;
    t.start();
    *chars = 0;
    const RunResult r = getDosOutput(QStringLiteral("cat"), QStringLiteral("cat ") + quoteArg(file),
                                     QDir::tempPath(),
                                     [chars](const QString &piece, bool &) { *chars += piece.size(); });
    Q_UNUSED(r)
    return t.nsecsElapsed() / 1e9;
}

double pipeSeconds(const QString &file)
{
    QElapsedTimer t;
    t.start();
    std::system(qPrintable(QStringLiteral("cat %1 | cat > /dev/null").arg(quoteArg(file))));
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("10MB.txt"));
    const QString large = dir.filePath(QStringLiteral("100MB.txt"));
    writeFile(small, 10 * 1000 * 1000);
    writeFile(large, 100 * 1000 * 1000);

    qsizetype chars = 0;
    runnerSeconds(small, &chars); // warm-up
    const double t10 = runnerSeconds(small, &chars);
    out << "runner 10 MB:  " << t10 << " s (" << chars << " characters)\n";
    const double t100 = runnerSeconds(large, &chars);
    out << "runner 100 MB: " << t100 << " s (" << chars << " characters)\n";
    pipeSeconds(large);
    const double p100 = pipeSeconds(large);
    out << "plain pipe 100 MB: " << p100 << " s\n";
    out << "growth 100 MB / 10 MB: " << t100 / t10 << " (at most 12)\n";
    out << "ratio " << t100 / p100 << "\n";
    return 0;
}
