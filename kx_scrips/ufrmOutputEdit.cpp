#include "ufrmOutputEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("outputid"),
        QStringList { QStringLiteral("vipid"), QStringLiteral("vipname"), QStringLiteral("storageid"),
            QStringLiteral("outputmoney") },
        QStringLiteral("outputnum"), QStringList { QStringLiteral("saleprice") }, QStringLiteral("零售出库单"));
    s.entryFields << QStringLiteral("disprice");
    s.lineFields << QStringLiteral("disprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("disprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice"), QStringLiteral("disprice") } };
    s.totalField = QStringLiteral("outputmoney");
    s.totalOf = QStringLiteral("sumsaleprice");
    s.partyCode = QStringLiteral("vipid");
    s.partyName = QStringLiteral("vipname");
    s.partyModule = QStringLiteral("Select.Vipcard");
    s.partyConditions = { QStringLiteral("is_use=1") };
    s.lists = { { QStringLiteral("storageid"), QStringLiteral("storagename"), TKxHeaderList::Storages, true } };
    s.storageType = QStringLiteral("2");
    s.checks = { { QStringLiteral("storageid"), QStringLiteral("出货仓库不能为空！") } };
    s.productParams = { { QStringLiteral("storageid"), QStringLiteral("storageid") },
        { QStringLiteral("is_del"), {}, QStringLiteral("0") } };
    s.auditRule = TKxAuditRule::NotAudited;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmOutputEdit::TfrmOutputEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmOutputEdit)
