#include "ufrmWhole.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("wholeid"),
        QStringList { QStringLiteral("vipid"), QStringLiteral("vipname"), QStringLiteral("storageid"),
            QStringLiteral("wholemoney") },
        QStringLiteral("wholenum"), QStringList { QStringLiteral("disprice"), QStringLiteral("wholesale") },
        QStringLiteral("批发出库单"));
    s.storageFields = { QStringLiteral("storageid") };
    s.shopParams = { QStringLiteral("shopcode") };
    s.amounts = { { QStringLiteral("sumwholesale"), QStringLiteral("wholesale"), QStringLiteral("disprice") } };
    return s;
}

} // namespace

TfrmWhole::TfrmWhole(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmWhole)
