#pragma once

#include <QString>

namespace fulmaro {

// Outcome of verifying a tool file against the build the program expects.
enum class ToolCheck {
    Ok,          // the digest equals the expected one
    Mismatch,    // another build (or another file) is in place
    UnknownName, // blank name or none of the three tool names
    CannotOpen,  // the file is missing or unreadable
};

// The file names of the three tools inside the tools folder, and their expected digests.
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

    // The configured names and the digests computed when the program was built.
    static ToolSet configured(const QString &binDir);

    // binDir + name: the tool's path as it stands, unquoted, at the start of a command line.
    QString path(const QString &name) const { return binDir + name; }

    // Compares the MD5 digest of binDir + fileName with the digest expected for the first of
    // ffMpeg, ffPlay, ffProbe that equals fileName exactly. errorText receives the reason when
    // the file cannot be read.
    ToolCheck check(const QString &fileName, QString *errorText = nullptr) const;

    // check(), and the message to show when the tool must not run: empty when it may run, and
    // also for a name that is none of the tools (that case shows nothing).
    bool verify(const QString &fileName, QString *message) const;
};

// The MD5 digest of a whole file, read in blocks, as 32 uppercase hexadecimal digits; empty
// text when it cannot be read.
QString fileDigest(const QString &path, QString *errorText = nullptr);

} // namespace fulmaro
