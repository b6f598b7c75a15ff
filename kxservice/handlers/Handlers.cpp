#include "Handlers.h"

#include "Category.h"
#include "Goods.h"
#include "History.h"
#include "Check.h"
#include "Express.h"
#include "Logistics.h"
#include "MasterData.h"
#include "Modules.h"
#include "NetShop.h"
#include "NetShopGoods.h"
#include "PickingSend.h"
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

void KxRegisterHandlers(TDispatcher& dispatcher)
{
    dispatcher.setModuleDescriber(KxDescribeModule, kLoginModule);
    dispatcher.add(KxPowerMgerMethods());
    dispatcher.add(KxMasterDataMethods());
    dispatcher.add(KxSelectMethods());
    dispatcher.add(KxCategoryMethods());
    dispatcher.add(KxLogisticsMethods());
    dispatcher.add(KxReportMethods());
    dispatcher.add(KxReceiveMethods());
    dispatcher.add(KxStockDocMethods());
    dispatcher.add(KxCheckMethods());
    dispatcher.add(KxTradeMethods());
    dispatcher.add(KxTradePickingMethods());
    dispatcher.add(KxNetShopMethods());
    dispatcher.add(KxNetShopGoodsMethods());
    dispatcher.add(KxGoodsMethods());
    dispatcher.add(KxPickingSendMethods());
    dispatcher.add(KxExpressMethods());
    dispatcher.add(KxRefundMethods());
    dispatcher.add(KxRefundShopMethods());
    dispatcher.add(KxPowerMethods());
    dispatcher.add(KxStockPushMethods());
    dispatcher.add(KxHistoryMethods());
}
