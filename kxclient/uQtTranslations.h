#pragma once
// Qt's own texts (file, print, page set-up and colour dialogs, the standard buttons) in the
// user's language, from the translations the system installs with Qt.
#include <QLocale>

class QCoreApplication;

// Installs Qt's translation for `locale` when one is found; false when none is.
bool KxLoadQtTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());
