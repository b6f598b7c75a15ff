#include "ufrmAdjustItemPriceEdit.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocEditDef editDef()
{
    TKxDocEditDef s = KxPriceEditDef(QStringLiteral("commoditycode"),
        QStringList { QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
            QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("costprice"),
            QStringLiteral("saleprice"), QStringLiteral("wholesale") },
        QStringList { QStringLiteral("newprice"), QStringLiteral("newwhole") }, QStringLiteral("商品售价调单"));
    s.productParams = { { QStringLiteral("is_del"), {}, QStringLiteral("0") },
        { QStringLiteral("is_pack"), {}, QStringLiteral("0") } };
    return s;
}

} // namespace

TfrmAdjustItemPriceEdit::TfrmAdjustItemPriceEdit(QWidget* owner)
    : TfrmDocEdit(editDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustItemPriceEdit)
