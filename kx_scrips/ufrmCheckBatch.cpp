#include "ufrmCheckBatch.h"

#include "uCallModule.h"
#include "uClock.h"
#include "uConfig.h"
#include "uDocCommon.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmCheckFroze.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>
#include <memory>

namespace {
const QString kStatus = QStringLiteral("status");
const QString kCode = QStringLiteral("checkcode");

QString now()
{
    return KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString operatorStamp()
{
    return QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
}
}

TfrmCheckBatch::TfrmCheckBatch(QWidget* owner)
    : TKxPagedList(QStringLiteral("记录数：0， 第1页/共1页"), owner)
    , m_status(new TPClientDataSet(this))
{
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {KxTool::Save, "保 存", [this] { dxBL_SaveClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* steps = new QHBoxLayout;
    KxAddButtons(this, steps, {{"btnCreate", "1、创建盘点批次", [this] { btnCreateClick(); }},
                               {"btnFroze", "2、冻结商品库存", [this] { btnFrozeClick(); }},
                               {"btnPrintEmpty", "3.1、打印空盘点表", [this] { btnPrintClick(); }},
                               {"btnInput", "3.2、录入盘点数据", [this] { btnInputClick(); }},
                               {"btnSum", "4、盘点数据汇总", [this] { btnSumClick(); }},
                               {"btnAdj", "5、盘点调整库存", [this] { btnAdjClick(); }},
                               {"btnFinish", "6、结束盘点", [this] { btnFinishClick(); }}},
                 m_buttons);
    steps->addStretch(1);
    layout->addLayout(steps);
    layout->addWidget(Grid(), 1);
    SetBody(body);
    for (const char* f : {"checkcode", "shopcode", "checktime", "memo", "status", "createren", "createtime", "finishren", "finishtime"}) {
        TGridColumn* c = Grid()->AddColumn(QString::fromLatin1(f));
        c->Width = 120;
        c->ReadOnly = qstrcmp(f, "memo") != 0;
    }
    TGridColumn* status = Grid()->ColumnByField(kStatus);
    status->Editor = TGridEditor::Lookup;
    status->LookupDataSet = m_status;
    status->LookupKeyField = kStatus;
    status->LookupListField = QStringLiteral("statusname");
    Grid()->ColumnsChanged();
}

void TfrmCheckBatch::FormOpen()
{
    ApplyRights({{"isupdate", {KxTool::Save, "btnCreate", "btnFroze", "btnFinish"}},
                 {"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    ShowTitle();
    TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
    DisTableViewDispay(Grid(), GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), Grid());
    KxLoadLookupList(this, QStringLiteral("status"), {}, m_status);
    Search(nullptr, 1);
}

QString TfrmCheckBatch::focusedBatch(std::initializer_list<int> statuses, const QString& refusal)
{
    TPClientDataSet* list = ListData();
    const bool ok = list->Active() && !list->IsEmpty() && !list->FieldByName(kCode)->AsString().trimmed().isEmpty()
                    && std::find(statuses.begin(), statuses.end(), list->FieldByName(kStatus)->AsInteger()) != statuses.end();
    if (!ok) {
        KxShowInfo(refusal);
        return {};
    }
    return list->FieldByName(kCode)->AsString().trimmed();
}

void TfrmCheckBatch::btnCreateClick()
{
    TPClientDataSet* list = ListData();
    if (!list->Active())
        return;
    // Loaded rows are not all batches: the service is asked too.
    bool effective = false;
    for (int i = 0; i < list->RecordCount() && !effective; ++i)
        effective = list->ValueAt(i, list->FieldByName(kStatus)).toInt() == 1;
    if (!effective) {
        THttpWeb web;
        web.setModule(GetParam(QStringLiteral("search")));
        web.Request()->AddParams(kStatus, QStringLiteral("1"));
        web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("1"));
        TPClientDataSet found;
        if (!web.SendData())
            return;
        effective = found.SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))) && !found.IsEmpty();
    }
    if (effective) {
        KxShowInfo(QStringLiteral("还有未完成的盘点批次！"));
        return;
    }
    list->Append();
    list->FieldByName(QStringLiteral("md5_key"))->SetAsString(GetMd5_Key());
    list->FieldByName(kStatus)->SetAsInteger(0);
    list->FieldByName(QStringLiteral("shopcode"))->SetAsString(gShopId);
    list->FieldByName(QStringLiteral("checktime"))->SetAsString(now());
    list->FieldByName(QStringLiteral("createren"))->SetAsString(operatorStamp());
    list->FieldByName(QStringLiteral("createtime"))->SetAsString(now());
    list->Post();
}

void TfrmCheckBatch::btnFrozeClick()
{
    const QString code = focusedBatch({0, 1}, QStringLiteral("只有生效或新建的盘点批次才可以冻结！"));
    if (code.isEmpty())
        return;
    TPClientDataSet* list = ListData();
    const TBookmark row = list->GetBookmark();
    TfrmCheckFroze dialog(GetParam(QStringLiteral("storage")), GetParam(QStringLiteral("frozestorage")), code, [list, row] {
        if (!list->BookmarkValid(row))
            return;
        list->GotoBookmark(row);
        list->Edit();
        list->FieldByName(kStatus)->SetAsInteger(1);
        list->Post();
    }, this);
    KxUi().ShowModal(&dialog);
}

void TfrmCheckBatch::openStep(const QString& param, const QString& refusal)
{
    const QString code = focusedBatch({1}, refusal);
    if (code.isEmpty())
        return;
    std::unique_ptr<TfrmBase> form(CallModule(this, GetParam(param), {QStringLiteral("checkcode=") + code}));
    if (form)
        KxUi().ShowModal(form.get());
}

void TfrmCheckBatch::btnPrintClick()
{
    openStep(QStringLiteral("printemptycheck"), QStringLiteral("只有生效的盘点批次才可以打印！"));
}

void TfrmCheckBatch::btnInputClick()
{
    openStep(QStringLiteral("checkinput"), QStringLiteral("只有生效的盘点批次才可以录入！"));
}

void TfrmCheckBatch::btnSumClick()
{
    openStep(QStringLiteral("checksum"), QStringLiteral("只有生效的盘点批次才可以汇总！"));
}

void TfrmCheckBatch::btnAdjClick()
{
    openStep(QStringLiteral("checkadj"), QStringLiteral("只有生效的盘点批次才可以汇总！"));
}

void TfrmCheckBatch::btnFinishClick()
{
    if (focusedBatch({0, 1}, QStringLiteral("只有生效或新建的盘点批次才可以结束盘点！")).isEmpty())
        return;
    if (!KxAskOkCancel(QStringLiteral("真的需要结束盘点吗？结束后不能再输入盘点数据与盘点调整。")))
        return;
    TPClientDataSet* list = ListData();
    list->Edit();
    list->FieldByName(kStatus)->SetAsInteger(2);
    list->FieldByName(QStringLiteral("finishren"))->SetAsString(operatorStamp());
    list->FieldByName(QStringLiteral("finishtime"))->SetAsString(now());
    list->Post();
    // Not saved, the batch would look finished here and stay effective at the service.
    if (!save())
        list->CancelUpdates();
}

void TfrmCheckBatch::dxBL_SaveClick()
{
    save();
}

bool TfrmCheckBatch::save()
{
    TPClientDataSet* list = ListData();
    if (!list->Active())
        return false;
    if ((list->State() == dsEdit || list->State() == dsInsert) && !list->Post())
        return false;
    if (list->ChangeCount() == 0)
        return false;
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return false;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("update")));
    web.Request()->AddFiles(QStringLiteral("delta"), list->GetKXXMLDelta());
    try {
        if (!web.SendData())
            return false;
        UnionCDS(list, web.Response()->GetParam(QStringLiteral("xmldata")));
        KxShowInfo(QStringLiteral("数据提交成功！"));
        return true;
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
        return false;
    }
}

KX_REGISTER_CLASS(TfrmCheckBatch)
