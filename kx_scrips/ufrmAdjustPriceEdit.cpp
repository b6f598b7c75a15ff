#include "ufrmAdjustPriceEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxPriceEditDef(QStringLiteral("goodscode"),
        QStringList { QStringLiteral("goodsname"), QStringLiteral("propstyle"), QStringLiteral("costprice"),
            QStringLiteral("saleprice"), QStringLiteral("wholesale") },
        QStringList { QStringLiteral("newprice"), QStringLiteral("newwhole") }, QStringLiteral("母商品售价调单"));
    s.productModule = QStringLiteral("Select.Goods");
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") } };
    return s;
}

} // namespace

TfrmAdjustPriceEdit::TfrmAdjustPriceEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustPriceEdit)
