#include "ufrmAdjustEdit.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("adjustid"),
        QStringList { QStringLiteral("storageid"), QStringLiteral("adjusttype") }, QStringLiteral("adjustnum"),
        QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") }, QStringLiteral("库存调整单"));
    s.lineFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.moneyLines = KxCheckAdjustments();
    s.lists = { { QStringLiteral("storageid"), QStringLiteral("storagename"), TKxHeaderList::Storages, true } };
    s.checks = { { QStringLiteral("storageid"), QStringLiteral("仓库信息不能为空！") } };
    s.defaults = { { QStringLiteral("adjusttype"), QStringLiteral("库存调整单") } };
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") },
        { QStringLiteral("is_pack"), {}, QStringLiteral("0") },
        { QStringLiteral("storageid"), QStringLiteral("storageid") } };
    s.auditRule = TKxAuditRule::NotAudited;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmAdjustEdit::TfrmAdjustEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustEdit)
