#include "ufrmPickingEdit.h"

#include "TDecimal.h"
#include "uCallModule.h"
#include "uConfig.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "uPickingPrint.h"
#include "uUiHooks.h"
#include "ufrmPickingSend.h"

#include <QStyleOptionViewItem>

#include <memory>

namespace {
const QString kTid = QStringLiteral("tid");
const QString kOid = QStringLiteral("oid");

TKxDocEditDef pickingEditDef()
{
    TKxDocEditDef s;
    s.idField = QStringLiteral("pickingid");
    s.qtyField = QStringLiteral("num");
    s.entryFields = {QStringLiteral("num"), QStringLiteral("price")};
    s.entryFlow = TKxEntryFlow::Column;
    s.markedFields = {QStringLiteral("num")};
    s.totalField = QStringLiteral("pickingmoney");
    s.totalOf = QStringLiteral("total_fee");
    s.lists = {{QStringLiteral("company_code"), QString(), TKxHeaderList::Carriers},
               {QStringLiteral("storageid"), QStringLiteral("storagename")}};
    s.storageType = QStringLiteral("1");
    s.checks = {{QStringLiteral("storageid"), QStringLiteral("拣货仓库不能为空！"), KxCheckAtSave | KxCheckAtAudit}};
    s.auditRule = TKxAuditRule::NotAudited;
    s.statusFirst = true;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    s.headerFields = {QStringLiteral("pickingid"), QStringLiteral("buyer_nick"), QStringLiteral("receiver_name"),
                      QStringLiteral("receiver_mobile"), QStringLiteral("receiver_phone"), QStringLiteral("receiver_zip"),
                      QStringLiteral("receiver_address"), QStringLiteral("seller_cod_fee"), QStringLiteral("post_fee"),
                      QStringLiteral("company_code"), QStringLiteral("out_sid"), QStringLiteral("out_fee"),
                      QStringLiteral("storageid"), QStringLiteral("pickingmoney"), QStringLiteral("inputren"),
                      QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime")};
    s.headerEdits = {QStringLiteral("buyer_nick"), QStringLiteral("receiver_name"), QStringLiteral("receiver_mobile"),
                     QStringLiteral("receiver_phone"), QStringLiteral("receiver_zip"), QStringLiteral("receiver_address"),
                     QStringLiteral("seller_cod_fee"), QStringLiteral("post_fee"), QStringLiteral("out_sid"),
                     QStringLiteral("out_fee")};
    s.memoFields = {QStringLiteral("buyer_message"), QStringLiteral("seller_memo")};
    s.lineFromHeader = {QStringLiteral("seller_nick")};
    s.lineFields = {QStringLiteral("seq"), QStringLiteral("tid"), QStringLiteral("oid"), QStringLiteral("commoditycode"),
                    QStringLiteral("title"), QStringLiteral("sku_properties_name"), QStringLiteral("num"), QStringLiteral("price"),
                    QStringLiteral("total_fee"), QStringLiteral("stocknum"), QStringLiteral("num_iid"), QStringLiteral("sku_id")};
    s.productParams = {{QStringLiteral("is_del"), {}, QStringLiteral("0")}};
    s.amountFields = {QStringLiteral("price"), QStringLiteral("total_fee")};
    s.amounts = {};
    s.reportMaster = QStringLiteral("拣货发货单");
    s.reportDetail = QStringLiteral("拣货发货单明细");
    return s;
}

bool fromOrder(const TPClientDataSet* lines, const QString& field)
{
    const TField* f = lines->FindField(field);
    return f && !f->IsNull() && !f->AsString().trimmed().isEmpty();
}
}

TfrmPickingEdit::TfrmPickingEdit(QWidget* owner) : TfrmDocEdit(pickingEditDef(), owner)
{
    InsertTools(KxTool::Audit, {{"dxBL_Send", "网店发货", [this] { dxBL_SendClick(); }},
                                {"dxBL_PrintKD", "打印快递单", [this] { dxBL_PrintKDClick(); }},
                                {"dxBL_PrintFH", "打印发货单", [this] { dxBL_PrintFHClick(); }}});
    if (TGridColumn* c = LineGrid()->ColumnByField(QStringLiteral("total_fee")))
        c->Footer = TGridFooter::Sum;
    LineGrid()->ColumnsChanged();
    // The stock the line picks from stands out in red.
    LineGrid()->AddOnCustomDrawCell([](const QModelIndex&, TGridColumn* column, QStyleOptionViewItem& option) {
        if (!column || column->FieldName != QLatin1String("stocknum"))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
        option.palette.setColor(QPalette::HighlightedText, Qt::white);
    });
}

bool TfrmPickingEdit::NewHeaderValues(QList<QPair<QString, QString>>& values)
{
    values.append({QStringLiteral("seller_nick"), gNickName});
    return true;
}

void TfrmPickingEdit::FillLine(const TPClientDataSet* products)
{
    TPClientDataSet* lines = Lines();
    const auto copy = [&](const char* to, const char* from) {
        const TField* f = products->FindField(QLatin1String(from));
        lines->FieldByName(QLatin1String(to))->SetValue(f && !f->IsNull() ? QVariant(f->AsString()) : QVariant());
    };
    copy("stocknum", "stocknum");
    // A line of an order keeps what the buyer ordered; only its product is bound.
    if (fromOrder(lines, kTid))
        return;
    copy("title", "commodityname");
    const TField* color = products->FindField(QStringLiteral("propcolor"));
    const TField* size = products->FindField(QStringLiteral("propsize"));
    lines->FieldByName(QStringLiteral("sku_properties_name"))
        ->SetAsString((color ? color->AsString() : QString()) + QStringLiteral("  ") + (size ? size->AsString() : QString()));
    lines->FieldByName(QStringLiteral("num"))->SetAsInteger(1);
    copy("price", "saleprice");
    copy("total_fee", "saleprice");
    copy("num_iid", "num_iid");
    copy("sku_id", "sku_id");
    lines->FieldByName(QStringLiteral("seller_nick"))->SetAsString(Header()->FieldByName(QStringLiteral("seller_nick"))->AsString());
    lines->FieldByName(kTid)->Clear();
    lines->FieldByName(kOid)->Clear();
}

void TfrmPickingEdit::ClearLine()
{
    TPClientDataSet* lines = Lines();
    lines->FieldByName(QStringLiteral("commoditycode"))->Clear();
    lines->FieldByName(QStringLiteral("stocknum"))->Clear();
    if (fromOrder(lines, kTid))
        return;
    for (const char* f : {"title", "sku_properties_name", "num", "price", "total_fee", "num_iid", "sku_id", "seller_nick", "tid", "oid"})
        lines->FieldByName(QLatin1String(f))->Clear();
}

void TfrmPickingEdit::LineEdited(int row, const QString& field)
{
    TPClientDataSet* lines = Lines();
    if (!lines->Active() || row < 0 || row >= lines->RecordCount())
        return;
    lines->SetRecNo(row + 1);
    // An order line's amount is what the buyer pays for it, whatever the price typed.
    if (fromOrder(lines, kOid) || (field != QLatin1String("num") && field != QLatin1String("price")))
        return;
    const auto value = [&](const char* f) {
        const TField* x = lines->FieldByName(QLatin1String(f));
        return x->IsNull() ? TDecimal::FromInteger(0) : x->AsDecimal();
    };
    const std::optional<TDecimal> total = value("price").Mul(value("num"));
    if (!total)
        return;
    lines->Edit();
    lines->FieldByName(QStringLiteral("total_fee"))->SetAsDecimal(*total);
    lines->Post();
}

void TfrmPickingEdit::dxBL_SendClick()
{
    if (!Header()->Active() || Header()->IsEmpty())
        return;
    auto send = std::make_unique<TfrmPickingSend>(this);
    if (!send->Prepare())
        return;
    send->AddPicking(Header());
    send->Rows()->MergeChangeLog();
    KxUi().ShowModal(send.get());
}

void TfrmPickingEdit::dxBL_PrintKDClick()
{
    if (Header()->Active() && !Header()->IsEmpty())
        KxPickingPrint(this, QStringLiteral("printkd"), Header(), Lines());
}

void TfrmPickingEdit::dxBL_PrintFHClick()
{
    if (Header()->Active() && !Header()->IsEmpty())
        KxPickingPrint(this, QStringLiteral("printfh"), Header(), Lines());
}

KX_REGISTER_CLASS(TfrmPickingEdit)
