#include "ui/appstyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QPalette>
#include <QProcess>
#include <QStyle>
#include <QStyleFactory>

static void initFulmaroQrc()
{
    // Resources in a static library are registered explicitly.
    Q_INIT_RESOURCE(fulmaro);
}

namespace fulmaro {

void initResources()
{
    static bool done = false;
    if (!done) {
        initFulmaroQrc();
        done = true;
    }
}

bool applyLightStyle(QApplication &app, QString *errorText)
{
    initResources();
    QFile file(QStringLiteral(":/style/light.palette"));
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = QStringLiteral("\"Light\" görünümü yüklenemedi: ") + file.errorString();
        return false;
    }
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!fusion) {
        if (errorText)
            *errorText = QStringLiteral("\"Fusion\" görünümü bulunamadı.");
        return false;
    }
    // A palette rather than a style sheet: a sheet would change every widget's metrics.
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QPalette palette = fusion->standardPalette();
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        QString name = line.left(eq);
        QPalette::ColorGroup group = QPalette::All;
        if (name.startsWith(QLatin1String("Disabled:"))) {
            group = QPalette::Disabled;
            name = name.mid(9);
        }
        bool known = false;
        const int role = roles.keyToValue(name.toLatin1().constData(), &known);
        const QColor color(line.mid(eq + 1));
        if (eq <= 0 || !known || !color.isValid()) {
            if (errorText)
                *errorText = QStringLiteral("\"Light\" görünümünde hatalı satır: %1").arg(line);
            delete fusion;
            return false;
        }
        palette.setColor(group, QPalette::ColorRole(role), color);
    }
    app.setStyle(fusion);
    app.setPalette(palette);
    return true;
}

bool launchUpdater(const QString &programDir, const QString &programFile)
{
#ifdef Q_OS_WIN
    const QString updater = programDir + QStringLiteral("/Updater.exe");
#else
    const QString updater = programDir + QStringLiteral("/Updater");
#endif
    if (!QFileInfo::exists(updater))
        return false;
    return QProcess::startDetached(updater,
                                   {QDir::toNativeSeparators(programFile),
                                    QStringLiteral("http://www.fulmaro.com/update/version.xml")});
}

} // namespace fulmaro
