#include "core/base/toolset.h"

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

} // namespace fulmaro
