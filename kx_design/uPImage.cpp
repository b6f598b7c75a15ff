#include "uPImage.h"

#include "uTPanelStage.h"

#include <QPixmap>

KX_REGISTER_DESIGN_CONTROL(TPImage)

void TPImage::SetPicture(const QByteArray& bytes)
{
    m_picture = bytes;
    QPixmap pm;
    pm.loadFromData(bytes);
    setPixmap(pm);
}
