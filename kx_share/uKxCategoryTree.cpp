#include "uKxCategoryTree.h"

#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUtils.h"

#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

TKxCategoryTree::TKxCategoryTree(QWidget* parent)
    : QWidget(parent)
    , m_tree(new QTreeWidget(this))
    , m_categories(new TPClientDataSet(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("所有类别")});
    root->setData(0, KxTreeImageRole, 0);
    root->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    layout->addWidget(m_tree);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { emit categoryClicked(item); });
}

bool TKxCategoryTree::Load(const QString& method)
{
    THttpWeb web;
    web.setModule(method);
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return false;
    return ShowCategories(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

bool TKxCategoryTree::ShowCategories(const QByteArray& xml)
{
    m_categories->Close();
    if (!m_categories->KXAppendData(xml))
        return false;
    // A reload replaces the categories under the root.
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    m_tree->setUpdatesEnabled(false);
    qDeleteAll(root->takeChildren());
    m_categories->DisableControls();
    m_categories->First();
    SetTreeView(m_tree, m_categories);
    m_categories->First();
    m_categories->EnableControls();
    m_tree->setUpdatesEnabled(true);
    return true;
}

qint64 TKxCategoryTree::SelectedId() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item ? item->data(0, KxTreeIdRole).toLongLong() : 0;
}

void TKxCategoryTree::FilterList(TPClientDataSet* list, const QString& field, QTreeWidgetItem* item)
{
    const QVariant id = item ? item->data(0, KxTreeIdRole) : QVariant();
    if (!id.isValid()) {
        list->SetFiltered(false);
        return;
    }
    TField* f = list->Active() ? list->FindField(field) : nullptr;
    if (!f)
        return;
    const QString value = QString::number(id.toLongLong());
    const bool text = f->DataType() == ftString || f->DataType() == ftMemo;
    list->SetFilter(f->FieldName() + QStringLiteral("=") + (text ? KxQuote(value) : value));
    list->SetFiltered(true);
}
