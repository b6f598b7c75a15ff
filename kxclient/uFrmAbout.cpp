#include "uFrmAbout.h"
#include "uArt.h"
#include "uCallModule.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

TFrmAbout::TFrmAbout(QWidget* owner) : TfrmBase(owner)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(500, 300);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    LabelBpl = new QLabel(QStringLiteral("Loading BPL File  . . .  . . . "), this);
    LabelBpl->setStyleSheet(QStringLiteral("color: #9aa3ad; background: transparent;"));
    LabelBpl->setGeometry(24, 268, 440, 18);
}

void TFrmAbout::SetLoading(const QString& libname)
{
    LabelBpl->setText(QStringLiteral("Loading BPL File ") + libname);
    repaint();
}

void TFrmAbout::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    KxPaintSplash(p, rect());
}

void TFrmAbout::mousePressEvent(QMouseEvent*)
{
    close();
}

KX_REGISTER_CLASS(TFrmAbout)
