#include "uPBevel.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPBevel)

TPBevel::TPBevel(QWidget* parent) : QFrame(parent)
{
    SetShape(QStringLiteral("box"));
}

void TPBevel::SetShape(const QString& shape)
{
    m_shape = shape;
    if (shape == u"topline" || shape == u"bottomline")
        setFrameStyle(QFrame::HLine | QFrame::Sunken);
    else if (shape == u"leftline" || shape == u"rightline")
        setFrameStyle(QFrame::VLine | QFrame::Sunken);
    else if (shape == u"frame")
        setFrameStyle(QFrame::Panel | QFrame::Raised);
    else
        setFrameStyle(QFrame::Box | QFrame::Sunken);
}
