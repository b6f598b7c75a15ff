#include "ufrmAdjustCostEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxPriceEditDef(QStringLiteral("goodscode"),
        QStringList { QStringLiteral("goodsname"), QStringLiteral("propstyle"), QStringLiteral("costprice"),
            QStringLiteral("saleprice") },
        QStringList { QStringLiteral("newprice") }, QStringLiteral("母商品进价调单"));
    s.productModule = QStringLiteral("Select.Goods");
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") } };
    return s;
}

} // namespace

TfrmAdjustCostEdit::TfrmAdjustCostEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustCostEdit)
