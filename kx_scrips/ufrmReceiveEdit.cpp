#include "ufrmReceiveEdit.h"

#include "uCallModule.h"

namespace {

TKxDocEditDef receiveEditDef()
{
    TKxDocEditDef s;
    s.idField = QStringLiteral("receiveid");
    s.qtyField = QStringLiteral("receivenum");
    s.entryFields = {s.qtyField};
    s.markedFields = {s.qtyField};
    s.totalField = QStringLiteral("receivemoney");
    s.totalOf = QStringLiteral("sumcostprice");
    s.partyCode = QStringLiteral("suppliercode");
    s.partyName = QStringLiteral("suppliername");
    s.partyModule = QStringLiteral("Select.Supplier");
    s.partyConditions = {QStringLiteral("status=1")};
    s.lists = {{QStringLiteral("storageid"), QStringLiteral("storagename")}};
    s.storageType = QStringLiteral("1");
    s.checks = {{QStringLiteral("suppliercode"), QStringLiteral("供应商信息不能为空！")},
                {QStringLiteral("storageid"), QStringLiteral("仓库信息不能为空！")}};
    s.headerFields = QStringList{QStringLiteral("receiveid"), QStringLiteral("suppliercode"), QStringLiteral("suppliername"),
                                 QStringLiteral("storageid"), QStringLiteral("receivemoney"), QStringLiteral("memo")}
                     + KxStampFields();
    s.headerEdits = {QStringLiteral("memo")};
    s.lineFields = QStringList{QStringLiteral("seq"), QStringLiteral("commoditycode")} + KxSkuFields()
                   + QStringList{QStringLiteral("receivenum"), QStringLiteral("costprice"), QStringLiteral("saleprice"),
                                 QStringLiteral("sumcostprice"), QStringLiteral("sumsaleprice")};
    s.productFields = KxSkuFields() + QStringList{QStringLiteral("costprice"), QStringLiteral("saleprice")};
    s.productParams = {{QStringLiteral("suppliercode"), QStringLiteral("suppliercode")},
                       {QStringLiteral("is_del"), {}, QStringLiteral("0")},
                       {QStringLiteral("is_pack"), {}, QStringLiteral("0")}};
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
