#include "uSkin.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStyleFactory>

void KxRegisterSkin(QApplication& app)
{
    // Fusion draws the same on every desktop; the style sheet gives it the blue look.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    // Tool icons come from one packaged theme, the same on every desktop.
    QIcon::setThemeName(QStringLiteral("breeze"));
    QFile qss(QStringLiteral(":/kx/skin/blue.qss"));
    if (qss.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(qss.readAll()));
}
