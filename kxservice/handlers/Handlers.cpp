#include "Handlers.h"

#include "Category.h"
#include "Goods.h"
#include "CommoditySku.h"
#include "PackCommodity.h"
#include "History.h"
#include "Check.h"
#include "Express.h"
#include "Logistics.h"
#include "MasterData.h"
#include "Modules.h"
#include "NetShop.h"
#include "NetShopGoods.h"
#include "NetShopItems.h"
#include "PickingSend.h"
#include "NetShopShip.h"
#include "PowerMger.h"
#include "Power.h"
#include "StockPush.h"
#include "Receive.h"
#include "Refund.h"
#include "RefundShop.h"
#include "Reports.h"
#include "Select.h"
#include "StockDocs.h"
#include "Trade.h"
#include "TradePicking.h"
#include "Workbench.h"

namespace {
const std::vector<const std::vector<TMethodDef>*>& methodLists()
{
    static const std::vector<const std::vector<TMethodDef>*> lists = {
        &KxPowerMgerMethods(),  &KxMasterDataMethods(),  &KxSelectMethods(),     &KxCategoryMethods(),    &KxLogisticsMethods(),
        &KxReportMethods(),     &KxReceiveMethods(),     &KxStockDocMethods(),   &KxCheckMethods(),       &KxTradeMethods(),
        &KxTradePickingMethods(), &KxNetShopMethods(),   &KxNetShopGoodsMethods(), &KxGoodsMethods(),     &KxPickingSendMethods(),
        &KxExpressMethods(),    &KxRefundMethods(),      &KxRefundShopMethods(), &KxPowerMethods(),       &KxStockPushMethods(),
        &KxNetShopItemsMethods(), &KxCommoditySkuMethods(), &KxPackCommodityMethods(), &KxNetShopShipMethods(),
        &KxWorkbenchMethods(),     &KxHistoryMethods(),
    };
    return lists;
}
}

void KxRegisterHandlers(TDispatcher& dispatcher)
{
    dispatcher.setModuleDescriber(KxDescribeModule, kLoginModule);
    for (const std::vector<TMethodDef>* methods : methodLists())
        dispatcher.add(*methods);
}

QStringList KxHandledMethods()
{
    QStringList names;
    for (const std::vector<TMethodDef>* methods : methodLists())
        for (const TMethodDef& m : *methods)
            names << QString::fromLatin1(m.name);
    return names;
}
