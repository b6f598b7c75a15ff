#include "ufrmResultEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("resultid"),
        QStringList { QStringLiteral("suppliercode"), QStringLiteral("suppliername"), QStringLiteral("storageid"),
            QStringLiteral("resultmoney") },
        QStringLiteral("resultnum"), QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") },
        QStringLiteral("采购退单"));
    s.lineFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.totalField = QStringLiteral("resultmoney");
    s.totalOf = QStringLiteral("sumcostprice");
    s.partyCode = QStringLiteral("suppliercode");
    s.partyName = QStringLiteral("suppliername");
    s.partyModule = QStringLiteral("Select.Supplier");
    s.partyConditions = { QStringLiteral("status=1") };
    s.lists = { { QStringLiteral("storageid"), QStringLiteral("storagename"), TKxHeaderList::Storages, true } };
    s.storageType = QStringLiteral("3");
    s.checks = { { QStringLiteral("suppliercode"), QStringLiteral("供应商信息不能为空！") },
        { QStringLiteral("storageid"), QStringLiteral("退货仓库不能为空！") } };
    s.productParams = { { QStringLiteral("suppliercode"), QStringLiteral("suppliercode") },
        { QStringLiteral("storageid"), QStringLiteral("storageid") },
        { QStringLiteral("is_del"), {}, QStringLiteral("0") }, { QStringLiteral("is_pack"), {}, QStringLiteral("0") } };
    s.auditRule = TKxAuditRule::NotAudited;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmResultEdit::TfrmResultEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmResultEdit)
