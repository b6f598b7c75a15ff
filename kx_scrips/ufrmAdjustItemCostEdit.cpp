#include "ufrmAdjustItemCostEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxPriceEditDef(QStringLiteral("commoditycode"),
        QStringList { QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
            QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("saleprice"),
            QStringLiteral("costprice") },
        QStringList { QStringLiteral("newprice") }, QStringLiteral("商品进价调单"));
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") },
        { QStringLiteral("is_pack"), {}, QStringLiteral("0") } };
    return s;
}

} // namespace

TfrmAdjustItemCostEdit::TfrmAdjustItemCostEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustItemCostEdit)
