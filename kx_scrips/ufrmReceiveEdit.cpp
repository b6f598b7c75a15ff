#include "ufrmReceiveEdit.h"

#include "uCallModule.h"

namespace {

TKxDocEditDef receiveEditDef()
{
    TKxDocEditDef s;
    s.idField = QStringLiteral("receiveid");
    s.qtyField = QStringLiteral("receivenum");
    s.totalField = QStringLiteral("receivemoney");
    s.totalOf = QStringLiteral("sumcostprice");
    s.partyCode = QStringLiteral("suppliercode");
    s.partyName = QStringLiteral("suppliername");
    s.partyModule = QStringLiteral("Select.Supplier");
    s.partyConditions = {QStringLiteral("status=1")};
    s.partyMissing = QStringLiteral("供应商信息不能为空！");
    s.storageType = QStringLiteral("1");
    s.headerFields = {QStringLiteral("receiveid"), QStringLiteral("suppliercode"), QStringLiteral("suppliername"),
                      QStringLiteral("storageid"), QStringLiteral("receivemoney"), QStringLiteral("memo"),
                      QStringLiteral("inputren"), QStringLiteral("inputtime"), QStringLiteral("auditren"),
                      QStringLiteral("audittime")};
    s.headerEdits = {QStringLiteral("memo")};
    s.lineFields = {QStringLiteral("seq"), QStringLiteral("commoditycode"), QStringLiteral("barcode"),
                    QStringLiteral("commodityname"), QStringLiteral("propstyle"), QStringLiteral("propcolor"),
                    QStringLiteral("propsize"), QStringLiteral("receivenum"), QStringLiteral("costprice"),
                    QStringLiteral("saleprice"), QStringLiteral("sumcostprice"), QStringLiteral("sumsaleprice")};
    s.productFields = {QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
                       QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("costprice"),
                       QStringLiteral("saleprice")};
    s.amounts = {{QStringLiteral("sumcostprice"), QStringLiteral("costprice")},
                 {QStringLiteral("sumsaleprice"), QStringLiteral("saleprice")}};
    s.amountFields = {QStringLiteral("receivenum"), QStringLiteral("costprice"), QStringLiteral("saleprice"),
                      QStringLiteral("sumcostprice"), QStringLiteral("sumsaleprice")};
    s.reportMaster = QStringLiteral("采购单");
    s.reportDetail = QStringLiteral("采购单明细");
    return s;
}

} // namespace

TfrmReceiveEdit::TfrmReceiveEdit(QWidget* owner) : TfrmDocEdit(receiveEditDef(), owner) {}

KX_REGISTER_CLASS(TfrmReceiveEdit)
