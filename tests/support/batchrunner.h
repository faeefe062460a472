#pragma once

// Runs the built fulmaro-batch for the command-line tests.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

struct BatchResult
{
    int exitCode = -1; // -1: it crashed or did not end in time (then it is killed)
    QByteArray outBytes;
    QString out; // standard output as text
    QString err;
};

// env empty: the test's own environment; folder empty: the test's working folder.
inline BatchResult runBatch(const QStringList &args,
                            const QProcessEnvironment &env = QProcessEnvironment(),
                            const QString &folder = QString(), int timeoutMs = 180000)
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(QStringLiteral(FULMARO_BATCH), args);
    BatchResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The records of a --dry-run output without its comments (the expected sizes, "# ..."): the
// command lines alone, each with its end (a line end, or NUL with --null).
inline QByteArray withoutComments(const QByteArray &out, char end = '\n')
{
    QByteArray kept;
    qsizetype from = 0;
    while (from < out.size()) {
        qsizetype to = out.indexOf(end, from);
        if (to < 0)
            to = out.size() - 1;
        const QByteArray record = out.mid(from, to - from + 1);
        if (!record.startsWith("# "))
            kept += record;
        from = to + 1;
    }
    return kept;
}

inline QString withoutComments(const QString &out)
{
    return QString::fromUtf8(withoutComments(out.toUtf8()));
}

// The test's environment with these variables set.
inline QProcessEnvironment environmentWith(const QList<QPair<QString, QString>> &variables)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : variables)
        env.insert(name, value);
    return env;
}

} // namespace testsupport
