#include "ufrmWholeEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxStockEditDef(QStringLiteral("wholeid"),
        QStringList { QStringLiteral("vipid"), QStringLiteral("vipname"), QStringLiteral("storageid"),
            QStringLiteral("wholemoney") },
        QStringLiteral("wholenum"), QStringList { QStringLiteral("wholesale") }, QStringLiteral("批发出库单"));
    s.entryFields << QStringLiteral("disprice");
    s.lineFields << QStringLiteral("disprice") << QStringLiteral("sumwholesale");
    s.amountFields << QStringLiteral("disprice") << QStringLiteral("sumwholesale");
    s.amounts = { { QStringLiteral("sumwholesale"), QStringLiteral("wholesale"), QStringLiteral("disprice") } };
    s.totalField = QStringLiteral("wholemoney");
    s.totalOf = QStringLiteral("sumwholesale");
    s.partyCode = QStringLiteral("vipid");
    s.partyName = QStringLiteral("vipname");
    s.partyModule = QStringLiteral("Select.Vipcard");
    s.partyConditions = { QStringLiteral("is_use=1") };
    s.lists = { { QStringLiteral("storageid"), QStringLiteral("storagename") } };
    s.storageType = QStringLiteral("2");
    s.checks = { { QStringLiteral("storageid"), QStringLiteral("出货仓库不能为空！"), KxCheckAtLines } };
    s.productParams = { { QStringLiteral("storageid"), QStringLiteral("storageid") },
        { QStringLiteral("is_del"), {}, QStringLiteral("0") } };
    s.auditRule = TKxAuditRule::NotAudited;
    s.unchangedMessage = QStringLiteral("无数据变动，不用提交数据！");
    return s;
}

} // namespace

TfrmWholeEdit::TfrmWholeEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmWholeEdit)
