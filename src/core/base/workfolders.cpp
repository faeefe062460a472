#include "core/base/workfolders.h"

#include <QDir>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <shlobj.h>
#endif

namespace fulmaro {

WorkFolders WorkFolders::under(const QString &dataLocation)
{
    const QString sep = QDir::separator();
    WorkFolders f;
    QString base = QDir::toNativeSeparators(dataLocation);
    while (base.endsWith(sep))
        base.chop(1);
    f.workDir = base + sep + QStringLiteral("Fulmaro") + sep;
    f.binDir = f.workDir + QStringLiteral("Bin") + sep;
    f.tempDir = f.workDir + QStringLiteral("Temp") + sep;
    f.logoDir = f.workDir + QStringLiteral("Logo") + sep;
    f.frameDir = f.workDir + QStringLiteral("Frame") + sep;
    f.filterDir = f.workDir + QStringLiteral("Filter") + sep;
    f.introDir = f.workDir + QStringLiteral("Intro") + sep;
    f.outroDir = f.workDir + QStringLiteral("Outro") + sep;
    return f;
}

WorkFolders WorkFolders::standard()
{
#ifdef Q_OS_WIN
    // The machine-wide folder shared by all users (ProgramData); the variable names it, and the
    // shell knows it where the variable is missing.
    QString location = qEnvironmentVariable("ProgramData");
    if (location.isEmpty()) {
        wchar_t path[MAX_PATH];
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path)))
            location = QString::fromWCharArray(path);
    }
#else
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    return under(location);
}

void WorkFolders::create() const
{
    for (const QString *dir :
         {&workDir, &tempDir, &logoDir, &frameDir, &filterDir, &introDir, &outroDir})
        QDir().mkpath(*dir);
}

} // namespace fulmaro
