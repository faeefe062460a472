#include "core/runner/toolcheck.h"

#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace fulmaro {

namespace {

struct ToolAnswer
{
    QString versionLine;   // first line of "-version"
    QString release;       // the release it belongs to (see toolRelease)
    QStringList filters;   // the encoder's filters, when asked
    bool answered = false; // the tool ran and ended normally
};

// What a tool said about itself, remembered per file, size and modification time: asked once,
// and again only when the file has been replaced (a system update while the program runs).
ToolAnswer askTool(const QString &path, bool withFilters)
{
    const QFileInfo info(path);
    const QString key = info.canonicalFilePath() + QLatin1Char('|') + QString::number(info.size()) +
                        QLatin1Char('|') +
                        QString::number(info.lastModified().toMSecsSinceEpoch()) +
                        (withFilters ? QStringLiteral("|filters") : QString());
    static QHash<QString, ToolAnswer> answers;
    const auto known = answers.constFind(key);
    if (known != answers.constEnd())
        return *known;

    // The encoder's banner opens with the same line as "-version", so one run of "-filters"
    // answers both questions (each start of the encoder costs a noticeable fraction of a second).
    const QString commandLine =
        quoteArg(path) + (withFilters ? QStringLiteral(" -filters") : QStringLiteral(" -version"));
    const RunResult run = getDosOutput(QFileInfo(path).fileName(), commandLine, QDir::tempPath());

    ToolAnswer answer;
    answer.answered = run.succeeded();
    for (const QString &line : run.lines) {
        if (!line.trimmed().isEmpty()) {
            answer.versionLine = line.trimmed();
            break;
        }
    }
    answer.release = toolRelease(run.lines);
    // " TSC name   V->V   description": flags, the name, the pads.
    static const QRegularExpression filterLine(QStringLiteral(R"(^ [A-Z.|]{3} (\S+)\s+\S+->\S+)"));
    for (const QString &line : run.lines) {
        const QRegularExpressionMatch m = filterLine.match(line);
        if (m.hasMatch())
            answer.filters.append(m.captured(1));
    }
    // A run that never got going says nothing about the file: ask again next time.
    if (run.end != RunEnd::FailedToStart && run.end != RunEnd::Stopped)
        answers.insert(key, answer);
    return answer;
}

} // namespace

ToolCheck checkTool(const ToolSet &tools, const QString &fileName, QString *errorText)
{
    if (fileName.trimmed().isEmpty())
        return ToolCheck::UnknownName;
    const QString *expected = nullptr;
    if (fileName == tools.ffMpeg)
        expected = &tools.ffMpegDigest;
    else if (fileName == tools.ffPlay)
        expected = &tools.ffPlayDigest;
    else if (fileName == tools.ffProbe)
        expected = &tools.ffProbeDigest;
    else
        return ToolCheck::UnknownName;

    const QString toolPath = tools.path(fileName);
    if (tools.method == ToolCheckMethod::Digest) {
        QString error;
        const QString digest = fileDigest(toolPath, &error);
        if (digest.isEmpty()) {
            if (errorText)
                *errorText = error;
            return ToolCheck::CannotOpen;
        }
        // Exact text comparison: the same digest in lower case would not be equal.
        return digest == *expected ? ToolCheck::Ok : ToolCheck::Mismatch;
    }

    QFile file(toolPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return ToolCheck::CannotOpen;
    }
    file.close();
    // Only the encoder runs the filter graphs.
    const bool isEncoder = expected == &tools.ffMpegDigest;
    const ToolAnswer answer = askTool(toolPath, isEncoder);
    QStringList missing;
    if (isEncoder) {
        for (const QString &filter : builderFilters()) {
            if (!answer.filters.contains(filter))
                missing.append(filter);
        }
    }
    const bool orLater = tools.method == ToolCheckMethod::ReleaseOrLater;
    const bool rightSeries =
        orLater ? releaseAtLeast(answer.release, tools.series)
                : !tools.series.isEmpty() && toolSeries(answer.versionLine) == tools.series;
    if (answer.answered && rightSeries && missing.isEmpty())
        return ToolCheck::Ok;
    if (errorText) {
        const QString found = answer.versionLine.isEmpty() ? QStringLiteral("(sürüm bilgisi yok)")
                                                           : answer.versionLine;
        QStringList lines{QStringLiteral("Bulunan: %1 (%2)").arg(found, toolPath)};
        if (!rightSeries && orLater)
            lines << QStringLiteral("Beklenen sürüm: %1 ya da sonrası").arg(tools.series);
        else if (!rightSeries)
            lines << QStringLiteral("Beklenen sürüm serisi: %1").arg(tools.series);
        else if (!missing.isEmpty())
            lines << QStringLiteral("Eksik filtreler: %1").arg(missing.join(QStringLiteral(", ")));
        *errorText = lines.join(QLatin1Char('\n'));
    }
    return ToolCheck::Mismatch;
}

bool verifyTool(const ToolSet &tools, const QString &fileName, QString *message)
{
    QString error;
    message->clear();
    switch (checkTool(tools, fileName, &error)) {
    case ToolCheck::Ok:
        return true;
    case ToolCheck::UnknownName:
        break;
    case ToolCheck::Mismatch:
        *message = QStringLiteral("FFMpeg dosya versiyonları uyumsuz!");
        if (!error.isEmpty())
            *message += QLatin1Char('\n') + error;
        break;
    case ToolCheck::CannotOpen:
        *message = QStringLiteral("%1 dosyası açılamadı: %2").arg(tools.path(fileName), error);
        break;
    }
    return false;
}

} // namespace fulmaro
