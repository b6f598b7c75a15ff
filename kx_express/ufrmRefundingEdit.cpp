#include "ufrmRefundingEdit.h"

#include "TDecimal.h"
#include "uCallModule.h"
#include "uConfig.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uPClientDataSet.h"

#include <QStyleOptionViewItem>

namespace {
const QString kRefundId = QStringLiteral("refund_id");

TKxDocEditDef refundingEditDef()
{
    TKxDocEditDef s;
    s.idField = QStringLiteral("refundingid");
    s.qtyField = QStringLiteral("num");
    s.entryFields = {QStringLiteral("num"), QStringLiteral("total_fee")};
    s.entryFlow = TKxEntryFlow::Column;
    s.totalField = QStringLiteral("refundingmoney");
    s.totalOf = QStringLiteral("refund_fee");
    s.lists = {{QStringLiteral("storageid"), QStringLiteral("storagename")}};
    s.storageType = QStringLiteral("3");
    s.checks = {{QStringLiteral("storageid"), QStringLiteral("退款仓库不能为空！"), KxCheckAtSave | KxCheckAtAudit},
                {QStringLiteral("seller_nick"), QStringLiteral("掌柜名称不能为空！"), KxCheckAtInsert}};
    s.auditRule = TKxAuditRule::NotAudited;
    s.statusFirst = true;
    s.unchangedMessage = QStringLiteral("数据没有变动，不用提交数据！");
    s.headerFields = {QStringLiteral("refundingid"), QStringLiteral("buyer_nick"), QStringLiteral("seller_nick"),
                      QStringLiteral("storageid"), QStringLiteral("memo"), QStringLiteral("refundingmoney"),
                      QStringLiteral("inputren"), QStringLiteral("inputtime"), QStringLiteral("auditren"),
                      QStringLiteral("audittime")};
    s.headerEdits = {QStringLiteral("buyer_nick"), QStringLiteral("seller_nick"), QStringLiteral("memo")};
    s.lineFromHeader = {QStringLiteral("seller_nick")};
    s.lineDefaults = {{QStringLiteral("has_good_return"), QStringLiteral("True")}};
    s.insertAppends = true;
    s.lineFields = {QStringLiteral("seq"), QStringLiteral("refund_id"), QStringLiteral("has_good_return"),
                    QStringLiteral("commoditycode"), QStringLiteral("title"), QStringLiteral("sku_properties_name"),
                    QStringLiteral("num"), QStringLiteral("total_fee"), QStringLiteral("refund_fee"), QStringLiteral("num_iid"),
                    QStringLiteral("sku_id"), QStringLiteral("seller_nick")};
    s.productParams = {{QStringLiteral("is_del"), {}, QStringLiteral("0")}};
    s.amountFields = {QStringLiteral("total_fee"), QStringLiteral("refund_fee")};
    s.reportMaster = QStringLiteral("退款单");
    s.reportDetail = QStringLiteral("退款单明细");
    return s;
}

// A line typed in has no marketplace refund behind it.
bool typedIn(const TPClientDataSet* lines)
{
    const TField* f = lines->FindField(kRefundId);
    return !f || f->IsNull() || f->AsString().trimmed().isEmpty();
}
}

TfrmRefundingEdit::TfrmRefundingEdit(QWidget* owner) : TfrmDocEdit(refundingEditDef(), owner)
{
    if (TGridColumn* c = LineGrid()->ColumnByField(QStringLiteral("has_good_return")))
        c->Editor = TGridEditor::Check;
    if (TGridColumn* c = LineGrid()->ColumnByField(QStringLiteral("refund_fee")))
        c->Footer = TGridFooter::Sum;
    LineGrid()->ColumnsChanged();
    // The money given back stands out: bold red, white on the selected line.
    LineGrid()->AddOnCustomDrawCell([](const QModelIndex&, TGridColumn* column, QStyleOptionViewItem& option) {
        if (!column || column->FieldName != QLatin1String("refund_fee"))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
        option.palette.setColor(QPalette::HighlightedText, Qt::white);
    });
}

bool TfrmRefundingEdit::NewHeaderValues(QList<QPair<QString, QString>>& values)
{
    values.append({QStringLiteral("seller_nick"), gNickName});
    return true;
}

void TfrmRefundingEdit::FillLine(const TPClientDataSet* products)
{
    // A line of a refund keeps what the marketplace refunded; only its product is bound.
    if (!typedIn(Lines()))
        return;
    TPClientDataSet* lines = Lines();
    const auto copy = [&](const char* to, const char* from) {
        const TField* f = products->FindField(QLatin1String(from));
        lines->FieldByName(QLatin1String(to))->SetValue(f && !f->IsNull() ? QVariant(f->AsString()) : QVariant());
    };
    copy("title", "commodityname");
    const TField* color = products->FindField(QStringLiteral("propcolor"));
    const TField* size = products->FindField(QStringLiteral("propsize"));
    lines->FieldByName(QStringLiteral("sku_properties_name"))
        ->SetAsString((color ? color->AsString() : QString()) + QStringLiteral("  ") + (size ? size->AsString() : QString()));
    lines->FieldByName(QStringLiteral("has_good_return"))->SetAsBoolean(true);
    lines->FieldByName(QStringLiteral("num"))->SetAsInteger(1);
    copy("refund_fee", "saleprice");
    copy("total_fee", "saleprice");
    copy("num_iid", "num_iid");
    copy("sku_id", "sku_id");
    lines->FieldByName(QStringLiteral("seller_nick"))->SetAsString(Header()->FieldByName(QStringLiteral("seller_nick"))->AsString());
}

void TfrmRefundingEdit::ClearLine()
{
    TPClientDataSet* lines = Lines();
    lines->FieldByName(QStringLiteral("commoditycode"))->Clear();
    if (!typedIn(lines))
        return;
    for (const char* f : {"title", "sku_properties_name", "num", "refund_fee", "total_fee", "num_iid", "sku_id", "seller_nick",
                          "has_good_return"})
        lines->FieldByName(QLatin1String(f))->Clear();
}

void TfrmRefundingEdit::LineEdited(int row, const QString& field)
{
    TPClientDataSet* lines = Lines();
    if (!lines->Active() || row < 0 || row >= lines->RecordCount())
        return;
    lines->SetRecNo(row + 1);
    // A refund's line refunds what the marketplace agreed, whatever is typed over it.
    if (!typedIn(lines) || (field != QLatin1String("num") && field != QLatin1String("total_fee")))
        return;
    const auto value = [&](const char* f) {
        const TField* x = lines->FieldByName(QLatin1String(f));
        return x->IsNull() ? TDecimal::FromInteger(0) : x->AsDecimal();
    };
    const std::optional<TDecimal> refund = value("total_fee").Mul(value("num"));
    if (!refund)
        return;
    lines->Edit();
    lines->FieldByName(QStringLiteral("refund_fee"))->SetAsDecimal(*refund);
    lines->Post();
}

KX_REGISTER_CLASS(TfrmRefundingEdit)
