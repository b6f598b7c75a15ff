#include "uFrmTree.h"

#include "uCallModule.h"
#include "uFrmTreeEdit.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

KX_REGISTER_CLASS(TFrmTree)

namespace {

const QString kParent = QStringLiteral("parent_id");
const QString kChild = QStringLiteral("child_id");
const QString kName = QStringLiteral("child_name");
const QString kRootText = QStringLiteral("所有类别");

bool hasId(const QTreeWidgetItem* item)
{
    return item && item->data(0, KxTreeIdRole).isValid();
}

qint64 idOf(const QTreeWidgetItem* item)
{
    return item->data(0, KxTreeIdRole).toLongLong();
}

QTreeWidgetItem* findById(QTreeWidgetItem* item, qint64 id)
{
    if (hasId(item) && idOf(item) == id)
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = findById(item->child(i), id))
            return found;
    return nullptr;
}

int descendantCount(const QTreeWidgetItem* item)
{
    int n = item->childCount();
    for (int i = 0; i < item->childCount(); ++i)
        n += descendantCount(item->child(i));
    return n;
}

} // namespace

TFrmTree::TFrmTree(QWidget* owner) : TfrmBase(owner), m_data(new TPClientDataSet(this))
{
    resize(420, 560);
    auto* top = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    m_lblTitle = new QLabel(this);
    QFont f = m_lblTitle->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    m_lblTitle->setFont(f);
    tools->addWidget(m_lblTitle);
    tools->addStretch();
    auto* refresh = new QPushButton(QStringLiteral("刷 新"), this);
    auto* exit = new QPushButton(QStringLiteral("退 出"), this);
    tools->addWidget(refresh);
    tools->addWidget(exit);
    top->addLayout(tools);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::NoContextMenu);
    top->addWidget(m_tree, 1);

    m_actAdd = new QAction(QStringLiteral("新增分类"), this);
    m_actEdit = new QAction(QStringLiteral("修改分类"), this);
    m_actDelete = new QAction(QStringLiteral("删除分类"), this);
    connect(m_actAdd, &QAction::triggered, this, &TFrmTree::actAddClick);
    connect(m_actEdit, &QAction::triggered, this, &TFrmTree::actEditClick);
    connect(m_actDelete, &QAction::triggered, this, &TFrmTree::actDeleteClick);
    connect(refresh, &QPushButton::clicked, this, &TFrmTree::LoadTree);
    connect(exit, &QPushButton::clicked, this, &TFrmTree::btnExitClick);
}

QList<QAction*> TFrmTree::MenuActions() const
{
    return m_tree->actions();
}

void TFrmTree::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        formShow();
    }
}

void TFrmTree::formShow()
{
    // Without the right to change, the tree has no pop-up menu at all.
    if (GetPower(QStringLiteral("isupdate"))) {
        m_tree->addActions({m_actAdd, m_actEdit, m_actDelete});
        m_tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    m_lblTitle->setText(GetParam(QStringLiteral("moduletitle")));
    LoadTree();
}

void TFrmTree::LoadTree()
{
    m_tree->clear();
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("search")));
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return;
    if (m_data->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))))
        SetTreeView(m_tree, m_data);
}

bool TFrmTree::SaveData()
{
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("update")));
    web.Request()->AddFiles(QStringLiteral("delta"), m_data->GetKXXMLDelta());
    if (!web.SendData()) {
        m_data->CancelUpdates();
        return false;
    }
    UnionCDS(m_data, web.Response()->GetParam(QStringLiteral("xmldata")));
    KxShowInfo(QStringLiteral("数据提交成功！"));
    return true;
}

QTreeWidgetItem* TFrmTree::selectedCategory() const
{
    QTreeWidgetItem* item = m_tree->currentItem();
    return hasId(item) ? item : nullptr;
}

bool TFrmTree::askName(TFrmTreeEdit& edit)
{
    if (TField* name = m_data->FindField(kName))
        edit.SetMaxNameLength(name->Size());
    return KxUi().ShowModal(&edit) == mrOk;
}

bool TFrmTree::locate(qint64 childId)
{
    return m_data->Locate(kChild, QString::number(childId), loCaseInsensitive);
}

void TFrmTree::actAddClick()
{
    if (!m_data->Active() || !m_tree->topLevelItem(0))
        return;
    TFrmTreeEdit edit(this);
    edit.SetHeader(windowTitle() + QStringLiteral("_添加"));
    QTreeWidgetItem* parent = selectedCategory();
    if (parent)
        edit.SetParentCategory(idOf(parent), parent->text(0));
    else
        edit.SetParentCategory(0, kRootText);
    if (!askName(edit))
        return;

    m_data->Append();
    m_data->FieldByName(kParent)->SetAsLargeInt(edit.ParentId());
    m_data->FieldByName(kName)->SetAsString(edit.CategoryName());
    if (TField* key = m_data->FindField(QStringLiteral("md5_key")))
        key->SetAsString(GetMd5_Key());
    m_data->Post();
    const TBookmark added = m_data->GetBookmark();
    if (!SaveData())
        return;
    m_data->GotoBookmark(added);
    const qint64 childId = m_data->FieldByName(kChild)->AsLargeInt();

    QTreeWidgetItem* root = m_tree->topLevelItem(0); // made by the load that opened m_data
    QTreeWidgetItem* under = edit.ParentId() == 0 ? nullptr : findById(root, edit.ParentId());
    auto* item = new QTreeWidgetItem(under ? under : root, {edit.CategoryName()});
    item->setData(0, KxTreeIdRole, childId);
    item->setData(0, KxTreeImageRole, 1);
    item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
    m_tree->setCurrentItem(item);
}

void TFrmTree::actEditClick()
{
    QTreeWidgetItem* node = selectedCategory();
    if (!node)
        return;
    TFrmTreeEdit edit(this);
    edit.SetHeader(windowTitle() + QStringLiteral("_编辑"));
    QTreeWidgetItem* parent = node->parent();
    if (hasId(parent))
        edit.SetParentCategory(idOf(parent), parent->text(0));
    else
        edit.SetParentCategory(0, kRootText);
    edit.SetCategoryName(node->text(0));
    if (!askName(edit))
        return;
    if (!locate(idOf(node)))
        return;
    m_data->Edit();
    m_data->FieldByName(kName)->SetAsString(edit.CategoryName());
    m_data->Post();
    if (SaveData())
        node->setText(0, edit.CategoryName());
}

void TFrmTree::actDeleteClick()
{
    QTreeWidgetItem* node = selectedCategory();
    if (!node)
        return;
    // Its sub-categories go with it, so the question says how many.
    const int below = descendantCount(node);
    const QString question = below == 0 ? QStringLiteral("真的删除记录吗？")
                                         : QStringLiteral("分类【%1】下的 %2 个子分类将一并删除，真的删除记录吗？").arg(node->text(0)).arg(below);
    if (!KxAskOkCancel(question))
        return;
    const qint64 id = idOf(node);
    if (!locate(id))
        return;
    m_data->Delete();
    // Its direct children go with it; the service removes the rest of the subtree.
    while (m_data->Locate(kParent, QString::number(id), loCaseInsensitive))
        m_data->Delete();
    if (SaveData())
        delete node;
}

void TFrmTree::btnExitClick()
{
    close();
}
