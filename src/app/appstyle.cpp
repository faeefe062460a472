#include "app/appstyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPalette>
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
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!fusion) {
        if (errorText)
            *errorText = QStringLiteral("\"Fusion\" görünümü bulunamadı.");
        return false;
    }
    app.setStyle(fusion);

    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf3, 0xf3, 0xf3));
    p.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf7, 0xf7, 0xf7));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::Text, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Button, QColor(0xfa, 0xfa, 0xfa));
    p.setColor(QPalette::ButtonText, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Highlight, QColor(0x33, 0x7a, 0xc8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x1f, 0x6f, 0xbf));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x9a, 0x9a, 0x9a));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x9a, 0x9a, 0x9a));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x9a, 0x9a, 0x9a));
    app.setPalette(p);

    QFile sheet(QStringLiteral(":/style/light.qss"));
    if (!sheet.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = QStringLiteral("\"Light\" görünümü yüklenemedi: ") + sheet.errorString();
        return false;
    }
    app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
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
    return QProcess::startDetached(
        updater, {QDir::toNativeSeparators(programFile),
                  QStringLiteral("http://www.fulmaro.com/update/version.xml")});
}

} // namespace fulmaro
