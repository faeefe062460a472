#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace fulmaro {

bool installQtTranslations(QCoreApplication &app, const QLocale &locale)
{
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    auto *translator = new QTranslator(&app);
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
    };
    for (const QString &folder : folders) {
        if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            installed = translator;
            return true;
        }
    }
    delete translator;
    return false;
}

} // namespace fulmaro
