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

// The test's environment with these variables set.
inline QProcessEnvironment environmentWith(const QList<QPair<QString, QString>> &variables)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : variables)
        env.insert(name, value);
    return env;
}

} // namespace testsupport
