#include "ufrmCheckEdit.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uDocDefs.h"
#include "uUiHooks.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("checkid"),
        QStringList { QStringLiteral("checkcode"), QStringLiteral("storageid"), QStringLiteral("rackcode") }, QStringLiteral("checknum"),
        QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") }, QStringLiteral("盘点单"));
    // A count sheet names its shelf; it has no remark.
    s.headerFields.removeAll(QStringLiteral("memo"));
    s.headerEdits = { QStringLiteral("rackcode") };
    s.lineFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.lists = { { QStringLiteral("storageid"), QStringLiteral("storagename"), TKxHeaderList::Storages, true } };
    s.checks = { { QStringLiteral("storageid"), QStringLiteral("请选择盘点仓库！"), KxCheckAtInsert },
        { QStringLiteral("storageid"), QStringLiteral("仓库信息不能为空！"), KxCheckAtLines | KxCheckAtSave },
        { QStringLiteral("checkcode"), QStringLiteral("盘点批次号不能为空！"), KxCheckAtLines | KxCheckAtSave } };
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") },
        { QStringLiteral("is_pack"), {}, QStringLiteral("0") },
        { QStringLiteral("storageid"), QStringLiteral("storageid") } };
    // 0 found is a count.
    s.refuseZeroQty = false;
    s.scanAddsOne = true;
    s.hasStatus = false;
    s.lockedFlag = QStringLiteral("issum");
    s.lockedMessage = QStringLiteral("已汇总的盘点单，不能再改动！");
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmCheckEdit::TfrmCheckEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

bool TfrmCheckEdit::NewHeaderValues(QList<QPair<QString, QString>>& values)
{
    const QString batch = KxEffectiveBatch(this);
    if (batch.isEmpty()) {
        KxShowInfo(QStringLiteral("无生效的盘点批次，请创建盘点批次！"));
        return false;
    }
    values.append({ QStringLiteral("checkcode"), batch });
    return true;
}

KX_REGISTER_CLASS(TfrmCheckEdit)
