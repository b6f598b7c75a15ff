#include "ufrmMasterList.h"

#include "uFrmHistory.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxCategoryTree.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QStyleOptionViewItem>

#include <memory>

TfrmMasterList::TfrmMasterList(QWidget* owner, const QList<TKxAction>& extraTools)
    : TKxPagedList(QStringLiteral("记录数：0， 第1页/共2页"), owner)
    , m_tree(new TKxCategoryTree(this))
    , m_body(new QSplitter(Qt::Horizontal, this))
    , m_menu(new QMenu(this))
{
    QList<TKxAction> tools{{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
                           {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
                           {KxTool::New, "新 建", [this] { dxBL_NewClick(); }},
                           {KxTool::Edit, "修 改", [this] { dxBL_EditClick(); }},
                           {KxTool::Delete, "删 除", [this] { dxBL_DeleteClick(); }},
                           {KxTool::Save, "保 存", [this] { dxBL_SaveClick(); }},
                           {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
                           {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
                           {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
                           {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }}};
    tools << extraTools;
    tools << TKxAction{KxTool::Exit, "退 出", {}};
    AddTools(tools);

    // The tree stands left of the rows; it shows only for a list with "filterfield".
    m_body->addWidget(m_tree);
    m_body->addWidget(Grid());
    m_body->setStretchFactor(1, 1);
    m_body->setSizes({200, 800});
    SetBody(m_body);
    m_tree->hide();
    connect(m_tree, &TKxCategoryTree::categoryClicked, this, &TfrmMasterList::tvGroupClick);

    Grid()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateMenu();
        if (!m_menu->isEmpty())
            m_menu->popup(Grid()->viewport()->mapToGlobal(at));
    });
    Grid()->viewport()->installEventFilter(this);
    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this] {
        if (HasEditForm() && Tool(KxTool::Edit)->isEnabled())
            dxBL_EditClick();
    });
}

TGridColumn* TfrmMasterList::AddColumn(const QString& fieldName, TGridEditor editor, bool readOnly)
{
    TGridColumn* c = Grid()->AddColumn(fieldName);
    c->Editor = editor;
    c->ReadOnly = readOnly;
    c->Width = 120;
    Grid()->ColumnsChanged();
    return c;
}

TGridColumn* TfrmMasterList::AddLookupColumn(const QString& fieldName, TPClientDataSet* list, const QString& keyField,
                                             const QString& listField, bool readOnly)
{
    TGridColumn* c = AddColumn(fieldName, TGridEditor::Lookup, readOnly);
    c->LookupDataSet = list;
    c->LookupKeyField = keyField;
    c->LookupListField = listField;
    Grid()->ColumnsChanged();
    return c;
}

void TfrmMasterList::SetHeader(QWidget* header)
{
    // The strip and the rows share the splitter's place beside the tree.
    auto* rows = new QWidget;
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(header);
    m_body->insertWidget(1, rows);
    layout->addWidget(Grid(), 1);
    Grid()->show();
    m_body->setStretchFactor(1, 1);
}

QList<TKxRight> TfrmMasterList::RightsTable() const
{
    return {{"isupdate", {KxTool::New, KxTool::Edit, KxTool::Delete, KxTool::Save}},
            {"issearch", {KxTool::Search}},
            {"isprint", {KxTool::Print, KxTool::Preview}},
            {"isoutput", {KxTool::Export}},
            {"iscolumn", {KxTool::Columns}}};
}

void TfrmMasterList::FormOpen()
{
    ApplyRights(RightsTable());
    // In-place editing follows the same right as the edit buttons; with an edit dialog a
    // double-click opens the dialog instead.
    QAbstractItemView::EditTriggers typing = QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;
    if (!HasEditForm())
        typing |= QAbstractItemView::DoubleClicked;
    Grid()->setEditTriggers(GetPower(QStringLiteral("isupdate")) ? typing : QAbstractItemView::NoEditTriggers);
    ShowTitle();
    // "修改记录" of the current row, after the member's own entries.
    const QString history = GetParam(QStringLiteral("history"));
    if (!history.isEmpty())
        AddMenuItem(QStringLiteral("修改记录"), [this, history] {
            // A master table answers its key first.
            const QString key = ListData()->Active() && !ListData()->IsEmpty() && ListData()->FieldCount() > 0
                                    ? ListData()->Fields(0)->AsString() : QString();
            KxShowHistory(this, history, KxRecordArea(GetParam(QStringLiteral("update"))), key, windowTitle());
        });
    if (UsesColumnSettings()) {
        TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
        DisTableViewDispay(Grid(), GetParam(QStringLiteral("disfieldlabels")));
        GetGridColumnVisible(windowTitle(), Grid());
    }
    if (!GetParam(QStringLiteral("filterfield")).isEmpty()) {
        m_tree->show();
        m_tree->Load(GetParam(QStringLiteral("grouptree")));
    } else {
        m_tree->hide();
    }
    LoadSideLists();
    BeforeFirstSearch();
    Search(nullptr, 1);
}

void TfrmMasterList::AddSideList(TPClientDataSet* list, const QString& methodParam)
{
    m_sideLists.append({list, methodParam});
}

void TfrmMasterList::LoadSideLists()
{
    for (const auto& [list, param] : m_sideLists) {
        const QString method = GetParam(param);
        if (method.isEmpty())
            continue;
        THttpWeb web;
        web.setModule(method);
        web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
        if (web.SendData())
            list->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
    }
    Grid()->viewport()->update();
}

qint64 TfrmMasterList::SelectedCategory() const
{
    return m_tree->isVisibleTo(this) ? m_tree->SelectedId() : 0;
}

void TfrmMasterList::tvGroupClick(QTreeWidgetItem* item)
{
    TKxCategoryTree::FilterList(ListData(), GetParam(QStringLiteral("filterfield")), item);
}

bool TfrmMasterList::HasUnsavedChanges() const
{
    const TPClientDataSet* shown = Grid()->DataSet();
    return shown && shown->Active() && (shown->ChangeCount() > 0 || shown->State() == dsEdit || shown->State() == dsInsert);
}

void TfrmMasterList::dxBL_SearchClick()
{
    QStringList conditions;
    if (!KxAskSearchConditions(this, &conditions))
        return;
    LoadSideLists();
    Search(&conditions, 1);
}

void TfrmMasterList::dxBL_RefreshClick()
{
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("数据有未保存的修改，确定不保存就刷新吗？")))
        return;
    LoadSideLists();
    TKxPagedList::dxBL_RefreshClick();
}

void TfrmMasterList::FormClose(QCloseEvent* event)
{
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("数据有未保存的修改，确定不保存就退出吗？")))
        event->ignore();
}

void TfrmMasterList::StampNewRow(TPClientDataSet* dataSet)
{
    if (TField* key = dataSet->FindField(QStringLiteral("md5_key")))
        key->SetAsString(GetMd5_Key());
    if (dataSet != ListData())
        return;
    const QString category = GetParam(QStringLiteral("filterfield"));
    if (TField* f = category.isEmpty() ? nullptr : dataSet->FindField(category))
        f->SetAsLargeInt(SelectedCategory());
    NewRecord();
}

void TfrmMasterList::dxBL_NewClick()
{
    if (!ListData()->Active())
        return;
    ListData()->Append();
    StampNewRow(ListData());
    if (HasEditForm())
        OpenEditForm();
}

void TfrmMasterList::dxBL_EditClick()
{
    if (!ListData()->Active() || ListData()->IsEmpty())
        return;
    if (HasEditForm())
        OpenEditForm();
    else
        ListData()->Edit();
}

void TfrmMasterList::OpenEditForm()
{
    std::unique_ptr<TfrmBase> form(m_editForm());
    if (form)
        KxUi().ShowModal(form.get());
}

void TfrmMasterList::dxBL_DeleteClick()
{
    if (ListData()->Active() && !ListData()->IsEmpty())
        ListData()->Delete();
}

void TfrmMasterList::dxBL_SaveClick()
{
    SaveDelta(ListData());
}

QAction* TfrmMasterList::AddMenuItem(const QString& text, std::function<void()> run)
{
    QAction* a = m_menu->addAction(text);
    connect(a, &QAction::triggered, this, std::move(run));
    updateMenu();
    return a;
}

void TfrmMasterList::updateMenu()
{
    const bool rows = ListData()->Active() && !ListData()->IsEmpty();
    for (QAction* a : m_menu->actions())
        a->setVisible(rows);
}

bool TfrmMasterList::eventFilter(QObject* watched, QEvent* event)
{
    // Whether the menu's entries apply is decided on every press in the rows.
    if (watched == Grid()->viewport() && event->type() == QEvent::MouseButtonPress)
        updateMenu();
    return TKxPagedList::eventFilter(watched, event);
}

void TfrmMasterList::AddCellPainter(const QString& field, std::function<void(int, QStyleOptionViewItem&)> paint)
{
    Grid()->AddOnCustomDrawCell([this, field, paint = std::move(paint)](const QModelIndex& index, TGridColumn* column,
                                                                        QStyleOptionViewItem& option) {
        if (!column || column->FieldName.compare(field, Qt::CaseInsensitive) != 0)
            return;
        const int rec = Grid()->GridModel()->RecordOf(index.row());
        if (rec >= 0)
            paint(rec, option);
    });
}

void TfrmMasterList::SaveDelta(TPClientDataSet* dataSet)
{
    KxSaveDelta(GetParam(QStringLiteral("update")), dataSet);
}
