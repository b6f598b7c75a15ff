#include "ufrmReceive.h"

#include "uCallModule.h"

namespace {

TKxDocListDef receiveListDef()
{
    TKxDocListDef s;
    s.idField = QStringLiteral("receiveid");
    s.masterFields = QStringList{QStringLiteral("receiveid"), QStringLiteral("suppliercode"), QStringLiteral("suppliername"),
                                 QStringLiteral("storageid"), QStringLiteral("receivemoney")}
                     + KxStampFields() + QStringList{QStringLiteral("status"), QStringLiteral("memo")};
    s.detailFields = QStringList{QStringLiteral("seq"), QStringLiteral("commoditycode")} + KxSkuFields()
                     + QStringList{QStringLiteral("receivenum"), QStringLiteral("costprice"), QStringLiteral("saleprice")};
    s.amountFields = {QStringLiteral("receivemoney"), QStringLiteral("receivenum"), QStringLiteral("costprice"),
                      QStringLiteral("saleprice")};
    s.storageFields = {QStringLiteral("storageid")};
    s.qtyField = QStringLiteral("receivenum");
    s.amounts = {{QStringLiteral("sumcostprice"), QStringLiteral("costprice")},
                 {QStringLiteral("sumsaleprice"), QStringLiteral("saleprice")}};
    s.reportMaster = QStringLiteral("采购单");
    s.reportDetail = QStringLiteral("采购单明细");
    return s;
}

} // namespace

TfrmReceive::TfrmReceive(QWidget* owner) : TfrmDocList(receiveListDef(), owner) {}

KX_REGISTER_CLASS(TfrmReceive)
