#include "ufrmRefundDown.h"

#include "uCallModule.h"

namespace {
TKxDownDef refundDownDef()
{
    TKxDownDef d;
    d.title = QStringLiteral("下载退款单");
    d.states = {
        {"申请退款", "WAIT_SELLER_AGREE", "  下载已经申请的退款单....", "  已经申请的退款单下载完成！", "  已经申请的退款单下载失败！"},
        {"同意退款", "WAIT_BUYER_RETURN_GOODS", "  下载已经同意的退款单....", "  已经同意的退款单下载完成！", "  已经同意的退款单下载失败！"},
        {"已经退货", "WAIT_SELLER_CONFIRM_GOODS", "  已经退货的退款单....", "  已经退货的退款单下载完成！", "  已经退货的退款单下载失败！"},
        {"拒绝退款", "SELLER_REFUSE_BUYER", "  拒绝退款的退款单....", "  拒绝退款的退款单下载完成！", "  拒绝退款的退款单下载失败！"},
        {"退款成功", "REFUND_FINISHED", "  退款成功的退款单....", "  退款成功的退款单下载完成！", "  退款成功的退款单下载失败！"},
        {"退款关闭", "REFUND_CLOSED", "  退款关闭的退款单....", "  退款关闭的退款单下载完成！", "  退款关闭的退款单下载失败！"},
    };
    d.all = {"全部状态", "REFUND_ALL", "  下载全部状态退款单....", "  全部状态退款单下载完成！", "  全部状态退款单下载失败！"};
    d.timeCaption = QStringLiteral("申请退款时间");
    d.numberCaption = QStringLiteral("退款单号：");
    d.numberParam = QStringLiteral("refund_id");
    d.pagesMethod = QStringLiteral("NetShop.DownRefunds");
    d.oneMethod = QStringLiteral("NetShop.DownRefund");
    d.oneDone = QStringLiteral("退款单下载成功！");
    return d;
}
}

TfrmRefundDown::TfrmRefundDown(QWidget* owner) : TKxMarketDown(refundDownDef(), owner) {}

KX_REGISTER_CLASS(TfrmRefundDown)
