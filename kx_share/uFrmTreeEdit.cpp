#include "uFrmTreeEdit.h"

#include "uUiHooks.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFrmTreeEdit::TFrmTreeEdit(QWidget* parent) : QDialog(parent)
{
    auto* grid = new QGridLayout(this);
    m_header = new QLabel(this);
    QFont f = m_header->font();
    f.setBold(true);
    m_header->setFont(f);
    grid->addWidget(m_header, 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("分类名称："), this), 1, 0);
    m_name = new QLineEdit(this);
    grid->addWidget(m_name, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("父级分类："), this), 2, 0);
    m_parentName = new QLineEdit(this);
    m_parentName->setReadOnly(true);
    m_parentName->setEnabled(false);
    grid->addWidget(m_parentName, 2, 1);
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    ok->setDefault(true);
    grid->addWidget(ok, 3, 0);
    grid->addWidget(cancel, 3, 1);
    connect(ok, &QPushButton::clicked, this, &TFrmTreeEdit::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &TFrmTreeEdit::btnCancelClick);
}

void TFrmTreeEdit::SetHeader(const QString& text)
{
    setWindowTitle(text);
    m_header->setText(text);
}

void TFrmTreeEdit::SetParentCategory(qint64 id, const QString& name)
{
    m_parentId = id;
    m_parentName->setText(name);
}

void TFrmTreeEdit::SetCategoryName(const QString& name)
{
    m_name->setText(name);
}

QString TFrmTreeEdit::CategoryName() const
{
    return m_name->text().trimmed();
}

void TFrmTreeEdit::btnOkClick()
{
    const QString name = CategoryName();
    if (name.isEmpty()) {
        KxShowError(QStringLiteral("分类名称不能为空"));
        return;
    }
    if (m_maxLength > 0 && name.size() > m_maxLength) {
        KxShowError(QStringLiteral("分类名称不能超过 %1 个字符").arg(m_maxLength));
        return;
    }
    done(mrOk);
}

void TFrmTreeEdit::btnCancelClick()
{
    done(mrCancel);
}
