#include "ufrmOutput.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("outputid"),
        QStringList { QStringLiteral("vipid"), QStringLiteral("vipname"), QStringLiteral("storageid"),
            QStringLiteral("outputmoney") },
        QStringLiteral("outputnum"), QStringList { QStringLiteral("disprice"), QStringLiteral("saleprice") },
        QStringLiteral("零售出库单"));
    s.storageFields = { QStringLiteral("storageid") };
    s.amounts = { { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice"), QStringLiteral("disprice") } };
    return s;
}

} // namespace

TfrmOutput::TfrmOutput(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmOutput)
