#include "ufrmReceive.h"

#include "uCallModule.h"

namespace {

TKxDocListDef receiveListDef()
{
    TKxDocListDef s;
    s.idField = QStringLiteral("receiveid");
    s.masterFields = {QStringLiteral("receiveid"), QStringLiteral("suppliercode"), QStringLiteral("suppliername"),
                      QStringLiteral("storageid"), QStringLiteral("receivemoney"), QStringLiteral("inputren"),
                      QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime"),
                      QStringLiteral("status"), QStringLiteral("memo")};
    s.detailFields = {QStringLiteral("seq"), QStringLiteral("commoditycode"), QStringLiteral("barcode"),
                      QStringLiteral("commodityname"), QStringLiteral("propstyle"), QStringLiteral("propcolor"),
                      QStringLiteral("propsize"), QStringLiteral("receivenum"), QStringLiteral("costprice"),
                      QStringLiteral("saleprice")};
    s.amountFields = {QStringLiteral("receivemoney"), QStringLiteral("receivenum"), QStringLiteral("costprice"),
                      QStringLiteral("saleprice")};
    s.storageFields = {QStringLiteral("storageid")};
    s.reportMaster = QStringLiteral("采购单");
    s.reportDetail = QStringLiteral("采购单明细");
    return s;
}

} // namespace

TfrmReceive::TfrmReceive(QWidget* owner) : TfrmDocList(receiveListDef(), owner) {}

KX_REGISTER_CLASS(TfrmReceive)
