#include "uFrmSearchEdit.h"

#include "uUiHooks.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFrmSearchEdit::TFrmSearchEdit(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("查询方案设置"));
    auto* grid = new QGridLayout(this);
    auto* header = new QLabel(QStringLiteral("查询方案"), this);
    QFont f = header->font();
    f.setBold(true);
    header->setFont(f);
    grid->addWidget(header, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("查询方案编辑"), this), 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("方案名称："), this), 2, 0);
    m_name = new QLineEdit(this);
    grid->addWidget(m_name, 2, 1);
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    ok->setDefault(true);
    grid->addWidget(ok, 3, 0);
    grid->addWidget(cancel, 3, 1);
    connect(ok, &QPushButton::clicked, this, &TFrmSearchEdit::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &TFrmSearchEdit::btnCancelClick);
}

QString TFrmSearchEdit::SchemeName() const
{
    return m_name->text().trimmed();
}

void TFrmSearchEdit::btnOkClick()
{
    if (SchemeName().isEmpty()) {
        KxShowError(QStringLiteral("查询方案名不能为空!"));
        return;
    }
    done(mrOk);
}

void TFrmSearchEdit::btnCancelClick()
{
    done(mrCancel);
}
