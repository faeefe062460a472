#pragma once

#include <QLocale>

class QCoreApplication;

namespace fulmaro {

// Loads Qt's own translations ("qtbase") for the locale, so the toolkit's dialogs and buttons
// (file dialogs, "İptal") speak the user's language: from Qt's translations folder, else from the
// folder "translations" beside the program (the Windows package). A translation loaded before
// by this function is replaced. Returns whether one was found.
bool installQtTranslations(QCoreApplication &app, const QLocale &locale = QLocale());

} // namespace fulmaro
