#include "uPDateEdit.h"

#include "uTPanelStage.h"

#include <QAction>
#include <QCalendarWidget>
#include <QStyle>

KX_REGISTER_DESIGN_CONTROL(TPDateEdit)

TPDateEdit::TPDateEdit(QWidget* parent) : QLineEdit(parent)
{
    QAction* a = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    connect(a, &QAction::triggered, this, &TPDateEdit::showCalendar);
}

void TPDateEdit::showCalendar()
{
    auto* cal = new QCalendarWidget(this);
    cal->setWindowFlags(Qt::Popup);
    cal->setAttribute(Qt::WA_DeleteOnClose);
    const QDate shown = QDate::fromString(text().trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (shown.isValid())
        cal->setSelectedDate(shown);
    connect(cal, &QCalendarWidget::clicked, this, [this, cal](QDate d) {
        setText(d.toString(QStringLiteral("yyyy-MM-dd")));
        cal->close();
    });
    cal->move(mapToGlobal(QPoint(0, height())));
    cal->show();
}
