#include "core/base/toolset.h"

#include "core/runner/shellquote.h"
#include "core/runner/toolrun.h"

#include "tooldigests.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>

namespace fulmaro {

const QStringList &builderFilters()
{
    // Every filter name the command builder writes (effects, overlays, speed, crop, zoom,
    // adjustments, the canvas source) and the clip preview's scale. A test renders every
    // setting and compares the graphs' filters with this list.
    static const QStringList filters = {
        QStringLiteral("atempo"),   QStringLiteral("boxblur"),
        QStringLiteral("color"),    QStringLiteral("colorchannelmixer"),
        QStringLiteral("crop"),     QStringLiteral("curves"),
        QStringLiteral("elbg"),     QStringLiteral("eq"),
        QStringLiteral("format"),   QStringLiteral("hflip"),
        QStringLiteral("hue"),      QStringLiteral("noise"),
        QStringLiteral("overlay"),  QStringLiteral("scale"),
        QStringLiteral("setpts"),   QStringLiteral("vflip"),
        QStringLiteral("vignette"),
    };
    return filters;
}

ToolSet ToolSet::configured(const QString &binDir)
{
    ToolSet t;
    t.binDir = binDir;
#ifdef Q_OS_WIN
    t.ffMpeg = QStringLiteral("ffmpeg.exe");
    t.ffPlay = QStringLiteral("ffplay.exe");
    t.ffProbe = QStringLiteral("ffprobe.exe");
#else
    t.ffMpeg = QStringLiteral("ffmpeg");
    t.ffPlay = QStringLiteral("ffplay");
    t.ffProbe = QStringLiteral("ffprobe");
    // An installed program finds the tools of the system where the work folder holds none.
    t.searchPath = true;
#endif
    t.ffMpegDigest = QString::fromLatin1(digests::ffMpeg);
    t.ffPlayDigest = QString::fromLatin1(digests::ffPlay);
    t.ffProbeDigest = QString::fromLatin1(digests::ffProbe);
    t.series = QString::fromLatin1(digests::series);
    if (digests::checkDigests)
        t.method = ToolCheckMethod::Digest;
    else
        t.method =
            digests::seriesOrLater ? ToolCheckMethod::ReleaseOrLater : ToolCheckMethod::Series;
    return t;
}

QString ToolSet::path(const QString &name) const
{
    const QString inBin = binDir + name;
    if (!searchPath || name.isEmpty() || QFileInfo::exists(inBin))
        return inBin;
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? inBin : QDir::toNativeSeparators(onPath);
}

QString fileDigest(const QString &path, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file)) {
        if (errorText)
            *errorText = file.errorString();
        return {};
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

QString toolSeries(const QString &versionLine)
{
    // Release tags read "5.1.9-0+deb12u1" or "n5.1.4"; snapshots read "N-112345-g…".
    static const QRegularExpression re(QStringLiteral(R"(^\S+ version n?(\d+)\.(\d+)(?![\d]))"));
    const QRegularExpressionMatch m = re.match(versionLine);
    return m.hasMatch() ? m.captured(1) + QLatin1Char('.') + m.captured(2) : QString();
}

namespace {
// major * 1000 + minor of a "4.1"; -1 when the text is not such a number.
int releaseNumber(const QString &release)
{
    const qsizetype dot = release.indexOf(QLatin1Char('.'));
    bool okMajor = false;
    bool okMinor = false;
    const int major = release.left(dot).toInt(&okMajor);
    const int minor = release.mid(dot + 1).toInt(&okMinor);
    return dot > 0 && okMajor && okMinor ? major * 1000 + minor : -1;
}
} // namespace

QString toolRelease(const QStringList &lines)
{
    QString first;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty()) {
            first = line.trimmed();
            break;
        }
    }
    if (const QString named = toolSeries(first); !named.isEmpty())
        return named;
    // libavutil's version at each release; it only grows between releases.
    static const struct
    {
        int avutil; // major * 1000 + minor
        const char *release;
    } releases[] = {
        {56014, "4.0"}, {56022, "4.1"}, {56031, "4.2"}, {56051, "4.3"},
        {56070, "4.4"}, {57017, "5.0"}, {57028, "5.1"}, {58002, "6.0"},
        {58029, "6.1"}, {59008, "7.0"}, {59039, "7.1"},
    };
    static const QRegularExpression avutil(QStringLiteral(R"(^\s*libavutil\s+(\d+)\.\s*(\d+)\.)"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = avutil.match(line);
        if (!m.hasMatch())
            continue;
        const int found = m.captured(1).toInt() * 1000 + m.captured(2).toInt();
        QString release;
        for (const auto &r : releases) {
            if (found >= r.avutil)
                release = QString::fromLatin1(r.release);
        }
        return release;
    }
    return {};
}

bool releaseAtLeast(const QString &a, const QString &b)
{
    const int na = releaseNumber(a);
    const int nb = releaseNumber(b);
    return na >= 0 && nb >= 0 && na >= nb;
}

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

ToolCheck ToolSet::check(const QString &fileName, QString *errorText) const
{
    if (fileName.trimmed().isEmpty())
        return ToolCheck::UnknownName;
    const QString *expected = nullptr;
    if (fileName == ffMpeg)
        expected = &ffMpegDigest;
    else if (fileName == ffPlay)
        expected = &ffPlayDigest;
    else if (fileName == ffProbe)
        expected = &ffProbeDigest;
    else
        return ToolCheck::UnknownName;

    const QString toolPath = path(fileName);
    if (method == ToolCheckMethod::Digest) {
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
    const bool isEncoder = expected == &ffMpegDigest;
    const ToolAnswer answer = askTool(toolPath, isEncoder);
    QStringList missing;
    if (isEncoder) {
        for (const QString &filter : builderFilters()) {
            if (!answer.filters.contains(filter))
                missing.append(filter);
        }
    }
    const bool orLater = method == ToolCheckMethod::ReleaseOrLater;
    const bool rightSeries = orLater
                                 ? releaseAtLeast(answer.release, series)
                                 : !series.isEmpty() && toolSeries(answer.versionLine) == series;
    if (answer.answered && rightSeries && missing.isEmpty())
        return ToolCheck::Ok;
    if (errorText) {
        const QString found = answer.versionLine.isEmpty() ? QStringLiteral("(sürüm bilgisi yok)")
                                                           : answer.versionLine;
        QStringList lines{QStringLiteral("Bulunan: %1 (%2)").arg(found, toolPath)};
        if (!rightSeries && orLater)
            lines << QStringLiteral("Beklenen sürüm: %1 ya da sonrası").arg(series);
        else if (!rightSeries)
            lines << QStringLiteral("Beklenen sürüm serisi: %1").arg(series);
        else if (!missing.isEmpty())
            lines << QStringLiteral("Eksik filtreler: %1").arg(missing.join(QStringLiteral(", ")));
        *errorText = lines.join(QLatin1Char('\n'));
    }
    return ToolCheck::Mismatch;
}

bool ToolSet::verify(const QString &fileName, QString *message) const
{
    QString error;
    message->clear();
    switch (check(fileName, &error)) {
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
        *message = QStringLiteral("%1 dosyası açılamadı: %2").arg(path(fileName), error);
        break;
    }
    return false;
}

} // namespace fulmaro
