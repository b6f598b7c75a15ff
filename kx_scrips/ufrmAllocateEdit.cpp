#include "ufrmAllocateEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("allocateid"),
        QStringList { QStringLiteral("out_storageid"), QStringLiteral("in_shopcode"), QStringLiteral("in_storageid") },
        QStringLiteral("allocatenum"), QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") },
        QStringLiteral("调拨单"));
    s.lineFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.lists = { { QStringLiteral("out_storageid"), QStringLiteral("out_storagename"), TKxHeaderList::Storages, true },
        { QStringLiteral("in_shopcode"), QStringLiteral("in_shopname"), TKxHeaderList::Shops },
        { QStringLiteral("in_storageid"), QStringLiteral("in_storagename") } };
    s.shopListParams = { QStringLiteral("isuse=1") };
    s.shopFields << QStringLiteral("in_shopcode");
    s.checks = { { QStringLiteral("out_storageid"), QStringLiteral("调出仓库不能为空！") },
        { QStringLiteral("in_shopcode"), QStringLiteral("调入门店不能为空！") },
        { QStringLiteral("in_storageid"), QStringLiteral("调入仓库不能为空！") } };
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") },
        { QStringLiteral("is_pack"), {}, QStringLiteral("0") },
        { QStringLiteral("storageid"), QStringLiteral("out_storageid") } };
    s.auditRule = TKxAuditRule::NotAudited;
    s.reloadAfterAudit = true;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmAllocateEdit::TfrmAllocateEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAllocateEdit)
