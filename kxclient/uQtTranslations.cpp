#include "uQtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool KxLoadQtTranslations(QCoreApplication& app, const QLocale& locale)
{
    // "qt_<lang>" pulls in qtbase and the other modules' files the system has for it.
    auto* qt = new QTranslator(&app);
    if (!qt->load(locale, QStringLiteral("qt"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}
