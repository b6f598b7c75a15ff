#include "uFrmAbout.h"
#include "uArt.h"
#include "uCallModule.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
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
    LabelBpl = new QLabel(VersionText(), this);
    LabelBpl->setStyleSheet(QStringLiteral("color: #9aa3ad; background: transparent;"));
    LabelBpl->setGeometry(24, 268, 440, 18);
}

QString TFrmAbout::VersionText()
{
    // The compiler's stamp, e.g. "Dec 10 2026" and "10:45:02".
    const QDateTime built = QLocale::c().toDateTime(QStringLiteral(__DATE__ " " __TIME__).simplified(),
                                                    QStringLiteral("MMM d yyyy HH:mm:ss"));
    return QStringLiteral("版本 %1（构建 %2）")
        .arg(QStringLiteral(KX_VERSION), built.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
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
