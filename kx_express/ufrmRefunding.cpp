#include "ufrmRefunding.h"

#include "uCallModule.h"
#include "uGridModel.h"
#include "uGridView.h"

#include <QStyleOptionViewItem>

namespace {
TKxDocListDef refundingListDef()
{
    TKxDocListDef s;
    s.idField = QStringLiteral("refundingid");
    s.masterFields = {QStringLiteral("refundingid"), QStringLiteral("storageid"), QStringLiteral("seller_nick"),
                      QStringLiteral("buyer_nick"), QStringLiteral("memo"), QStringLiteral("refundingmoney"),
                      QStringLiteral("inputren"), QStringLiteral("inputtime"), QStringLiteral("auditren"),
                      QStringLiteral("audittime"), QStringLiteral("status")};
    s.detailFields = {QStringLiteral("seq"), QStringLiteral("refund_id"), QStringLiteral("has_good_return"),
                      QStringLiteral("commoditycode"), QStringLiteral("title"), QStringLiteral("sku_properties_name"),
                      QStringLiteral("num"), QStringLiteral("total_fee"), QStringLiteral("refund_fee"), QStringLiteral("num_iid"),
                      QStringLiteral("sku_id"), QStringLiteral("seller_nick")};
    s.amountFields = {QStringLiteral("refundingmoney"), QStringLiteral("total_fee"), QStringLiteral("refund_fee")};
    s.storageFields = {QStringLiteral("storageid")};
    s.storageType = QStringLiteral("3");
    s.qtyField = QStringLiteral("num");
    s.reportMaster = QStringLiteral("退款单");
    s.reportDetail = QStringLiteral("退款单明细");
    return s;
}
}

TfrmRefunding::TfrmRefunding(QWidget* owner) : TfrmDocList(refundingListDef(), owner)
{
    if (TGridColumn* c = DetailGrid()->ColumnByField(QStringLiteral("has_good_return")))
        c->Editor = TGridEditor::Check;
    // The unit amount is not a sum; the money given back is.
    if (TGridColumn* c = DetailGrid()->ColumnByField(QStringLiteral("total_fee")))
        c->Footer = TGridFooter::None;
    if (TGridColumn* c = DetailGrid()->ColumnByField(QStringLiteral("refund_fee")))
        c->Footer = TGridFooter::Sum;
    DetailGrid()->ColumnsChanged();
    DetailGrid()->SetFooterVisible(true);
    // The money given back stands out: bold red, white on the selected line.
    DetailGrid()->AddOnCustomDrawCell([](const QModelIndex&, TGridColumn* column, QStyleOptionViewItem& option) {
        if (!column || column->FieldName != QLatin1String("refund_fee"))
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
        option.palette.setColor(QPalette::HighlightedText, Qt::white);
    });
}

KX_REGISTER_CLASS(TfrmRefunding)
