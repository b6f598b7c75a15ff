#include "uSkin.h"

#include <QApplication>
#include <QFile>
#include <QStyleFactory>

void KxRegisterSkin(QApplication& app)
{
    // Fusion draws the same on every desktop; the style sheet gives it the blue look.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    QFile qss(QStringLiteral(":/kx/skin/blue.qss"));
    if (qss.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(qss.readAll()));
}
