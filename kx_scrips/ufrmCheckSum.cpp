#include "ufrmCheckSum.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uClock.h"
#include "uConfig.h"
#include "uDocCommon.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QStyleOptionViewItem>

#include <exception>
#include <memory>

namespace {
const QString kAuditren = QStringLiteral("auditren");
const QString kIssum = QStringLiteral("issum");
constexpr char kSum[] = "btnSum";
constexpr char kSelectAll[] = "btnSelectAll";
}

TfrmCheckSum::TfrmCheckSum(QWidget* owner)
    : TKxPagedList(QStringLiteral("记录数：0， 第1页/共1页"), owner)
    , m_storage(new TPClientDataSet(this))
{
    resize(1000, 560);
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {kSelectAll, "全 选", [this] { btnSelectAllClick(); }},
              {kSum, "汇 总", [this] { btnSumClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});
    for (const char* f : {"checkid", "checkcode", "storageid", "rackcode", "inputren", "inputtime", "auditren", "audittime"}) {
        TGridColumn* c = Grid()->AddColumn(QString::fromLatin1(f));
        c->Width = 110;
        c->ReadOnly = true;
    }
    TGridColumn* storage = Grid()->ColumnByField(QStringLiteral("storageid"));
    storage->Editor = TGridEditor::Lookup;
    storage->LookupDataSet = m_storage;
    storage->LookupKeyField = QStringLiteral("storageid");
    storage->LookupListField = QStringLiteral("storagename");
    TGridColumn* state = m_state = Grid()->AddColumn(kAuditren, QStringLiteral("状态"));
    state->ReadOnly = true;
    TGridColumn* tick = Grid()->AddColumn(kIssum);
    tick->Editor = TGridEditor::Check;
    Grid()->ColumnsChanged();
    // A summarized sheet has nothing to tick.
    KxTickOpenRowsOnly(Grid(), tick, [this](int rec) { return !ListData()->DisplayTextAt(rec, ListData()->FieldByName(kAuditren)).trimmed().isEmpty(); });
    Grid()->AddOnCustomDrawCell([this, state](const QModelIndex& index, TGridColumn* column, QStyleOptionViewItem& option) {
        if (column != state)
            return;
        const bool summed = !ListData()->DisplayTextAt(Grid()->GridModel()->RecordOf(index.row()), ListData()->FieldByName(kAuditren)).trimmed().isEmpty();
        option.text = summed ? QStringLiteral("已汇总") : QStringLiteral("未汇总");
        option.palette.setColor(QPalette::Text, summed ? Qt::black : Qt::red);
        option.font.setBold(summed);
        if (summed)
            option.displayAlignment = Qt::AlignCenter;
    });
    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this, tick](const QModelIndex& index) {
        if (Grid()->Column(index.column()) != tick)
            OpenSheet();
    });
}

void TfrmCheckSum::FormOpen()
{
    ApplyRights({{"isupdate", {kSum}},
                 {"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    ShowTitle();
    TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
    // Two columns show auditren: the second is the sheet's state.
    m_state->Caption = QStringLiteral("状态");
    Grid()->ColumnsChanged();
    GetGridColumnVisible(windowTitle(), Grid());
    KxLoadLookupList(this, QStringLiteral("storage"), {}, m_storage);
    Search(nullptr, 1);
}

void TfrmCheckSum::AddSearchParams(TRequest* request)
{
    request->AddParams(QStringLiteral("checkcode"), KxEffectiveBatch(this));
}

void TfrmCheckSum::btnSelectAllClick()
{
    KxTickAll(ListData(), kIssum);
}

void TfrmCheckSum::btnSumClick()
{
    TPClientDataSet* list = ListData();
    if (!list->Active())
        return;
    if ((list->State() == dsEdit || list->State() == dsInsert) && !list->Post())
        return;
    if (list->ChangeCount() == 0) {
        KxShowInfo(QStringLiteral("无数据变动，不用提交数据汇总！"));
        return;
    }
    const QString who = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    const QString when = KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    list->DisableControls();
    for (list->First(); !list->Eof(); list->Next())
        if (list->FieldByName(kIssum)->AsBoolean() && list->FieldByName(kAuditren)->AsString().trimmed().isEmpty()) {
            list->Edit();
            list->FieldByName(kAuditren)->SetAsString(who);
            list->FieldByName(QStringLiteral("audittime"))->SetAsString(when);
            list->Post();
        }
    list->First();
    list->EnableControls();
    if (list->ChangeCount() == 0)
        return;
    bool done = false;
    if (KxAskOkCancel(QStringLiteral("真的需要提交汇总吗？"))) {
        THttpWeb web;
        web.setModule(GetParam(QStringLiteral("audit")));
        web.Request()->AddFiles(QStringLiteral("deltamaster"), list->GetKXXMLDelta());
        try {
            if (web.SendData()) {
                UnionCDS(list, web.Response()->GetParam(QStringLiteral("xmlmaster")));
                done = true;
                KxShowInfo(QStringLiteral("数据提交汇总成功！"));
                // Sheets still open (saved after the ticks, or not ticked) wait for the next summary.
                const QString open = web.Response()->GetParam(QStringLiteral("leftout"));
                if (!open.isEmpty())
                    KxShowInfo(QStringLiteral("以下盘点单未汇总：") + open);
            }
        } catch (const std::exception& e) {
            KxShowInfo(QString::fromUtf8(e.what()));
        }
    }
    if (!done)
        list->CancelUpdates();
}

void TfrmCheckSum::OpenSheet()
{
    TPClientDataSet* list = ListData();
    if (!list->Active() || list->IsEmpty())
        return;
    std::unique_ptr<TfrmBase> form(CallModule(this, GetParam(QStringLiteral("module")),
                                              {QStringLiteral("checkid=") + list->FieldByName(QStringLiteral("checkid"))->AsString()}));
    if (form)
        KxUi().ShowModal(form.get());
}

KX_REGISTER_CLASS(TfrmCheckSum)
