#include "uPPanel.h"

#include "uTPanelStage.h"

#include <QPainter>

KX_REGISTER_DESIGN_CONTROL(TPPanel)

TPPanel::TPPanel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void TPPanel::SetCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void TPPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!m_caption.isEmpty()) {
        QPainter p(this);
        p.drawText(contentsRect(), Qt::AlignCenter, m_caption);
    }
}
