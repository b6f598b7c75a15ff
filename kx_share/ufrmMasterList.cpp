#include "ufrmMasterList.h"

#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QCloseEvent>

#include <exception>

TfrmMasterList::TfrmMasterList(QWidget* owner) : TKxPagedList(QStringLiteral("记录数：0， 第1页/共2页"), owner)
{
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {KxTool::New, "新 建", [this] { dxBL_NewClick(); }},
              {KxTool::Edit, "修 改", [this] { dxBL_EditClick(); }},
              {KxTool::Delete, "删 除", [this] { dxBL_DeleteClick(); }},
              {KxTool::Save, "保 存", [this] { dxBL_SaveClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});
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

void TfrmMasterList::FormOpen()
{
    ApplyRights({{"isupdate", {KxTool::New, KxTool::Edit, KxTool::Delete, KxTool::Save}},
                 {"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    // In-place editing follows the same right as the edit buttons.
    Grid()->setEditTriggers(GetPower(QStringLiteral("isupdate")) ? QAbstractItemView::DoubleClicked
                                                                     | QAbstractItemView::EditKeyPressed
                                                                     | QAbstractItemView::AnyKeyPressed
                                                               : QAbstractItemView::NoEditTriggers);
    ShowTitle();
    if (UsesColumnSettings()) {
        TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
        DisTableViewDispay(Grid(), GetParam(QStringLiteral("disfieldlabels")));
        GetGridColumnVisible(windowTitle(), Grid());
    }
    BeforeFirstSearch();
    Search(nullptr, 1);
}

bool TfrmMasterList::HasUnsavedChanges() const
{
    const TPClientDataSet* shown = Grid()->DataSet();
    return shown && shown->Active() && (shown->ChangeCount() > 0 || shown->State() == dsEdit || shown->State() == dsInsert);
}

void TfrmMasterList::dxBL_RefreshClick()
{
    if (HasUnsavedChanges() && !KxAskOkCancel(QStringLiteral("数据有未保存的修改，确定不保存就刷新吗？")))
        return;
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
    if (dataSet == ListData())
        NewRecord();
}

void TfrmMasterList::dxBL_NewClick()
{
    if (!ListData()->Active())
        return;
    ListData()->Append();
    StampNewRow(ListData());
}

void TfrmMasterList::dxBL_EditClick()
{
    if (ListData()->Active() && !ListData()->IsEmpty())
        ListData()->Edit();
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

void TfrmMasterList::SaveDelta(TPClientDataSet* dataSet)
{
    // A row still being typed belongs to the change log.
    if (dataSet->State() == dsEdit || dataSet->State() == dsInsert)
        if (!dataSet->Post())
            return;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("update")));
    web.Request()->AddFiles(QStringLiteral("delta"), dataSet->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return;
    try {
        if (!web.SendData())
            return;
        UnionCDS(dataSet, web.Response()->GetParam(QStringLiteral("xmldata")));
        KxShowInfo(QStringLiteral("数据提交成功！"));
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
    }
}
