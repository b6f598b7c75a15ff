#include "ufrmTradeDown.h"

#include "uCallModule.h"

namespace {
TKxDownDef tradeDownDef()
{
    TKxDownDef d;
    d.title = QStringLiteral("下载订单");
    d.states = {
        {"待付款", "WAIT_BUYER_PAY", "】  下载待付款订单....", "】  待付款订单下载完成！", "】  待付款订单下载失败！"},
        {"待发货", "WAIT_SELLER_SEND_GOODS", "】  下载待发货订单....", "】  待发货订单下载完成！", "】  待发货订单下载失败！"},
        {"已发货", "WAIT_BUYER_CONFIRM_GOODS", "】  已发货订单....", "】  已发货订单下载完成！", "】  已发货订单下载失败！"},
        {"待评价", "RATE_UNSELLER", "】  待评价订单....", "】  待评价订单下载完成！", "】  待评价订单下载失败！"},
        {"交易成功", "TRADE_FINISHED", "】  交易成功订单....", "】  交易成功订单下载完成！", "】  交易成功订单下载失败！"},
        {"交易关闭", "TRADE_CLOSED", "】  交易关闭订单....", "】  交易关闭订单下载完成！", "】  交易关闭订单下载失败！"},
    };
    d.all = {"全部状态", "TRADE_ALL", "】  下载全部状态订单....", "】  全部状态订单下载完成！", "】  全部状态订单下载失败！"};
    d.timeCaption = QStringLiteral("订单成交时间");
    d.numberCaption = QStringLiteral("订单号：");
    d.numberParam = QStringLiteral("tid");
    d.pagesMethod = QStringLiteral("NetShop.DownTrades");
    d.oneMethod = QStringLiteral("NetShop.DownTrade");
    d.oneDone = QStringLiteral("订单下载成功！");
    d.accountOpen = QStringLiteral("【");
    return d;
}
}

TfrmTradeDown::TfrmTradeDown(QWidget* owner) : TKxMarketDown(tradeDownDef(), owner) {}

KX_REGISTER_CLASS(TfrmTradeDown)
