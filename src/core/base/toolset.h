#pragma once

#include <QString>
#include <QStringList>

namespace fulmaro {

// Outcome of verifying a tool file against the build the program expects.
enum class ToolCheck {
    Ok,          // the expected build, or a tool of the expected series with every filter
    Mismatch,    // another build (or another file) is in place
    UnknownName, // blank name or none of the three tool names
    CannotOpen,  // the file is missing or unreadable
};

// How a tool is recognised as the one the program works with.
enum class ToolCheckMethod {
    // The MD5 digest of the whole file equals the one of the build the program was made with:
    // for tools that come bundled with the program.
    Digest,
    // The first line of "-version" names the release series the program was built against, and
    // the encoder offers every filter the command builder writes: the system's tools, which its
    // security updates replace.
    Series,
    // The tool is of the release in series or a later one (a snapshot build counts as the last
    // release its libavutil has reached), and the encoder offers every filter the command
    // builder writes: tools the user puts into the tools folder (Windows).
    ReleaseOrLater,
};

// The filters of the encoder that the command builder writes into its filter graphs. A tool
// that lacks one of them cannot render every setting of the panel.
const QStringList &builderFilters();

// The file names of the three tools inside the tools folder, and how they are checked (the check
// itself runs the tools: core/runner/toolcheck.h).
struct ToolSet
{
    QString binDir;
    QString ffMpeg;
    QString ffPlay;
    QString ffProbe;
    // Uppercase hexadecimal MD5 digests of the builds this program was made with.
    QString ffMpegDigest;
    QString ffPlayDigest;
    QString ffProbeDigest;
    ToolCheckMethod method = ToolCheckMethod::Digest;
    // The release series ("5.1") the program was built against, for ToolCheckMethod::Series;
    // the oldest release accepted, for ToolCheckMethod::ReleaseOrLater.
    QString series;
    // Where binDir lacks a tool, use the one of that name on the system's PATH.
    bool searchPath = false;

    // The configured names and the way of checking chosen when the program was built.
    static ToolSet configured(const QString &binDir);

    // The tool's path as it stands, unquoted, at the start of a command line: binDir + name, or,
    // with searchPath, the tool on PATH when binDir does not hold it.
    QString path(const QString &name) const;
};

// The MD5 digest of a whole file, read in blocks, as 32 uppercase hexadecimal digits; empty
// text when it cannot be read.
QString fileDigest(const QString &path, QString *errorText = nullptr);

// The release series ("5.1") named by a tool's first "-version" line ("ffmpeg version
// 5.1.9-0+deb12u1 ..."); empty when the line names none (a snapshot build, another program).
QString toolSeries(const QString &versionLine);

// The release ("4.1") a tool belongs to, from its "-version" or banner lines: the one its first
// line names, else, for a snapshot build ("ffmpeg version N-92722-g…"), the last release whose
// libavutil version its own "libavutil 56. 24.101" line has reached. Empty when neither says.
QString toolRelease(const QStringList &lines);

// Whether release a ("4.10") is b ("4.1") or later; false when either is empty.
bool releaseAtLeast(const QString &a, const QString &b);

} // namespace fulmaro
