#include "uPTimeEdit.h"

#include "uTPanelStage.h"

#include <QRegularExpressionValidator>

KX_REGISTER_DESIGN_CONTROL(TPTimeEdit)

TPTimeEdit::TPTimeEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("([01]?\\d|2[0-3]):[0-5]\\d(:[0-5]\\d)?")), this));
    setPlaceholderText(QStringLiteral("hh:mm:ss"));
}
