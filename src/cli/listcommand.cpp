#include "cli/listcommand.h"

#include "cli/batchoptions.h"
#include "core/base/filechecks.h"
#include "core/videolist/probebatch.h"

#include <QEventLoop>
#include <QTextStream>

namespace fulmaro::batch {

int runList(const ToolSet &tools, const QString &workDir, const QStringList &files,
            QTextStream &out, QTextStream &err)
{
    int exitCode = kExitOk;
    ProbeBatch probes(tools, workDir, files);
    // A tab or a line end in a name would split its row or start another.
    QObject::connect(&probes, &ProbeBatch::itemReady, [&out](const VideoItem &item) {
        out << printableName(item.caption) << '\t' << item.duration << '\t' << item.type << '\t'
            << item.size << '\t' << item.resolution << '\n';
        out.flush();
    });
    QObject::connect(&probes, &ProbeBatch::fileMissing,
                     [&err, &exitCode](const QString &path, const QString &reason) {
                         err << refusedFileText(path, reason) << '\n';
                         err.flush();
                         exitCode = kExitUsage;
                     });
    QEventLoop loop;
    QObject::connect(&probes, &ProbeBatch::finished, &loop, &QEventLoop::quit);
    probes.start();
    if (!probes.isFinished())
        loop.exec();
    return exitCode;
}

} // namespace fulmaro::batch
