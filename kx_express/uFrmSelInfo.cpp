#include "uFrmSelInfo.h"

#include "uCallModule.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFrmSelInfo::TFrmSelInfo(QWidget* owner)
    : TfrmBase(owner), m_available(new QListWidget(this)), m_inUse(new QListWidget(this)), m_templates(new TPClientDataSet(this))
{
    setWindowTitle(QStringLiteral("请选择需要经常使用的快递单模板"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("常用快递单模板会在您打印快递单时出现在模板选择框内供您选择"), this), 0, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("可用模板"), this), 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("常用模板"), this), 1, 2);
    layout->addWidget(m_available, 2, 0);
    layout->addWidget(m_inUse, 2, 2);
    auto* middle = new QVBoxLayout;
    auto* add = new QPushButton(QStringLiteral("添加-->"), this);
    auto* remove = new QPushButton(QStringLiteral("<--删除"), this);
    middle->addStretch();
    middle->addWidget(add);
    middle->addWidget(remove);
    middle->addStretch();
    layout->addLayout(middle, 2, 1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, 3, 0, 1, 3);
    connect(add, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(remove, &QPushButton::clicked, this, [this] { btnRemoveClick(); });
    connect(ok, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TFrmSelInfo::InitModule(const QString& xml)
{
    TfrmBase::InitModule(xml);
    m_available->clear();
    m_inUse->clear();
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Search"));
    if (!web.SendData() || !m_templates->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    const TField* id = m_templates->FindField(QStringLiteral("express_id"));
    const TField* name = m_templates->FindField(QStringLiteral("express_name"));
    const TField* file = m_templates->FindField(QStringLiteral("express_file"));
    const TField* use = m_templates->FindField(QStringLiteral("is_use"));
    if (!id || !name || !use)
        return;
    for (m_templates->First(); !m_templates->Eof(); m_templates->Next()) {
        auto* item = new QListWidgetItem(name->AsString());
        item->setToolTip(file ? file->AsString() : QString());
        item->setData(Qt::UserRole, id->AsString());
        (use->AsBoolean() ? m_inUse : m_available)->addItem(item);
    }
}

void TFrmSelInfo::move(QListWidget* from, QListWidget* to)
{
    if (QListWidgetItem* item = from->takeItem(from->currentRow()))
        to->addItem(item);
}

void TFrmSelInfo::btnAddClick()
{
    move(m_available, m_inUse);
}

void TFrmSelInfo::btnRemoveClick()
{
    move(m_inUse, m_available);
}

void TFrmSelInfo::btnOkClick()
{
    QStringList inUse;
    for (int i = 0; i < m_inUse->count(); ++i)
        inUse << m_inUse->item(i)->data(Qt::UserRole).toString();
    TField* id = m_templates->FindField(QStringLiteral("express_id"));
    TField* use = m_templates->FindField(QStringLiteral("is_use"));
    if (id && use)
        for (m_templates->First(); !m_templates->Eof(); m_templates->Next()) {
            const bool wanted = inUse.contains(id->AsString());
            if (use->AsBoolean() == wanted)
                continue;
            m_templates->Edit();
            use->SetAsBoolean(wanted);
            m_templates->Post();
        }
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Update"));
    web.Request()->AddFiles(QStringLiteral("delta"), m_templates->GetKXXMLDelta());
    if (!web.SendData())
        return;
    m_templates->MergeChangeLog();
    SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TFrmSelInfo)
