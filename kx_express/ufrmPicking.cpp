#include "ufrmPicking.h"

#include "uCallModule.h"
#include "uClock.h"
#include "uConfig.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uPickingPrint.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmPickingSend.h"

#include <QSet>
#include <QStyleOptionViewItem>

#include <exception>
#include <memory>

namespace {
const QString kCheck = QStringLiteral("ischeck");

TKxDocListDef pickingListDef()
{
    TKxDocListDef s;
    s.idField = QStringLiteral("pickingid");
    s.checkField = kCheck;
    s.masterFields = {kCheck, QStringLiteral("pickingid"), QStringLiteral("storageid"), QStringLiteral("seller_nick"),
                      QStringLiteral("buyer_nick"), QStringLiteral("receiver_name"), QStringLiteral("receiver_state"),
                      QStringLiteral("receiver_city"), QStringLiteral("receiver_district"), QStringLiteral("receiver_address"),
                      QStringLiteral("receiver_zip"), QStringLiteral("receiver_mobile"), QStringLiteral("receiver_phone"),
                      QStringLiteral("company_code"), QStringLiteral("out_sid"), QStringLiteral("out_fee"),
                      QStringLiteral("post_fee"), QStringLiteral("cod_fee"), QStringLiteral("pickingmoney"),
                      QStringLiteral("buyer_message"), QStringLiteral("seller_memo"), QStringLiteral("inputren"),
                      QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime"), QStringLiteral("status")};
    s.detailFields = {QStringLiteral("seq"), QStringLiteral("tid"), QStringLiteral("oid"), QStringLiteral("commoditycode"),
                      QStringLiteral("title"), QStringLiteral("sku_properties_name"), QStringLiteral("num"), QStringLiteral("price"),
                      QStringLiteral("total_fee"), QStringLiteral("stocknum"), QStringLiteral("num_iid"), QStringLiteral("sku_id"),
                      QStringLiteral("seller_nick")};
    s.amountFields = {QStringLiteral("out_fee"), QStringLiteral("post_fee"), QStringLiteral("cod_fee"), QStringLiteral("pickingmoney"),
                      QStringLiteral("price"), QStringLiteral("total_fee")};
    s.storageFields = {QStringLiteral("storageid")};
    s.carrierFields = {QStringLiteral("company_code")};
    s.shopParams = {QStringLiteral("shopcode")};
    s.qtyField = QStringLiteral("num");
    s.reportMaster = QStringLiteral("拣货发货单");
    s.reportDetail = QStringLiteral("拣货发货单明细");
    return s;
}
}

TfrmPicking::TfrmPicking(QWidget* owner) : TfrmDocList(pickingListDef(), owner)
{
    InsertTools(KxTool::Edit, {{"dxBL_SelectAll", "全 选", [this] { SelectAll(false); }},
                               {"dxBL_Invert", "返 选", [this] { SelectAll(true); }},
                               {KxTool::Audit, "批量审核", [this] { dxBL_AuditClick(); }},
                               {"dxBL_Send", "批量发货", [this] { dxBL_SendClick(); }},
                               {"dxBL_PrintKD", "打印快递单", [this] { dxBL_PrintKDClick(); }},
                               {"dxBL_PrintFH", "打印发货单", [this] { dxBL_PrintFHClick(); }}});
    if (TGridColumn* c = DetailGrid()->ColumnByField(QStringLiteral("total_fee")))
        c->Footer = TGridFooter::Sum;
    DetailGrid()->ColumnsChanged();
    // The pieces to pick stand out: bold green, white on the selected line.
    DetailGrid()->AddOnCustomDrawCell([](const QModelIndex&, TGridColumn* column, QStyleOptionViewItem& option) {
        if (!column || column->FieldName != QLatin1String("num"))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(0, 128, 0));
        option.palette.setColor(QPalette::HighlightedText, Qt::white);
    });
}

void TfrmPicking::postPending()
{
    TPClientDataSet* docs = Documents();
    if (docs->State() == dsEdit || docs->State() == dsInsert)
        docs->Post();
    if (docs->Active())
        docs->MergeChangeLog();
}

void TfrmPicking::SelectAll(bool invert)
{
    if (!Documents()->Active())
        return;
    // The selection is the window's own: it never reaches a delta.
    KxTickAll(Documents(), kCheck, invert);
    Documents()->MergeChangeLog();
}

void TfrmPicking::dxBL_AuditClick()
{
    TPClientDataSet* docs = Documents();
    if (!docs->Active() || docs->IsEmpty())
        return;
    postPending();
    const QString who = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    const QString when = KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const TBookmark here = docs->GetBookmark();
    docs->DisableControls();
    TField* check = docs->FieldByName(kCheck);
    TField* status = docs->FieldByName(QStringLiteral("status"));
    for (docs->First(); !docs->Eof(); docs->Next()) {
        if (!check->AsBoolean() || status->AsInteger() < 0 || status->AsInteger() > 1)
            continue;
        docs->Edit();
        status->SetAsInteger(2);
        docs->FieldByName(QStringLiteral("auditren"))->SetAsString(who);
        docs->FieldByName(QStringLiteral("audittime"))->SetAsString(when);
        docs->Post();
    }
    docs->GotoBookmark(here);
    docs->EnableControls();
    if (docs->ChangeCount() == 0)
        return;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("audit")));
    web.Request()->AddFiles(QStringLiteral("deltamaster"), docs->GetKXXMLDelta());
    try {
        if (!KxAskOkCancel(QStringLiteral("真的需要提交审核吗？")) || !web.SendData()) {
            docs->CancelUpdates();
            return;
        }
        // The answer's rows come unticked; the operator's selection stays for the next step.
        QSet<QString> ticked;
        for (int r = 0; r < docs->RecordCount(); ++r)
            if (docs->ValueAt(r, check).toBool())
                ticked.insert(docs->DisplayTextAt(r, docs->FieldByName(QStringLiteral("md5_key"))));
        UnionCDS(docs, web.Response()->GetParam(QStringLiteral("xmlmaster")));
        docs->DisableControls();
        for (docs->First(); !docs->Eof(); docs->Next())
            if (check->AsBoolean() != ticked.contains(docs->FieldByName(QStringLiteral("md5_key"))->AsString())) {
                docs->Edit();
                check->SetAsBoolean(!check->AsBoolean());
                docs->Post();
            }
        docs->GotoBookmark(here);
        docs->EnableControls();
        docs->MergeChangeLog();
        KxShowInfo(QStringLiteral("数据提交审核成功！"));
    } catch (const std::exception& e) {
        docs->CancelUpdates();
        KxShowInfo(QString::fromUtf8(e.what()));
    }
}

void TfrmPicking::dxBL_SendClick()
{
    TPClientDataSet* docs = Documents();
    if (!docs->Active())
        return;
    postPending();
    auto send = std::make_unique<TfrmPickingSend>(this);
    if (!send->Prepare())
        return;
    const TBookmark here = docs->GetBookmark();
    docs->DisableControls();
    for (docs->First(); !docs->Eof(); docs->Next())
        if (docs->FieldByName(kCheck)->AsBoolean())
            send->AddPicking(docs);
    if (!docs->IsEmpty())
        docs->GotoBookmark(here);
    docs->EnableControls();
    send->Rows()->MergeChangeLog();
    send->Rows()->First();
    KxUi().ShowModal(send.get());
}

void TfrmPicking::print(const QString& param)
{
    TPClientDataSet* docs = Documents();
    if (!docs->Active())
        return;
    postPending();
    docs->SetFilter(QStringLiteral("ischeck=1"));
    docs->SetFiltered(true);
    KxPickingPrint(this, param, docs, Lines());
    docs->SetFiltered(false);
    docs->SetFilter(QString());
}

void TfrmPicking::dxBL_PrintKDClick()
{
    print(QStringLiteral("printkd"));
}

void TfrmPicking::dxBL_PrintFHClick()
{
    print(QStringLiteral("printfh"));
}

KX_REGISTER_CLASS(TfrmPicking)
