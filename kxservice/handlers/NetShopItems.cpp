#include "NetShopItems.h"

#include "NetShop.h"
#include "market/Simulator.h"
#include "store/Packet.h"

namespace {
void updateListing(TContext& ctx);
void updateDelisting(TContext& ctx);
void searchItems(TContext& ctx);
void searchSkus(TContext& ctx);
}

const std::vector<TMethodDef>& KxNetShopItemsMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.UpdateListing", EAccess::Module, ETx::Write, updateListing},
        {"NetShop.UpdateDelisting", EAccess::Module, ETx::Write, updateDelisting},
        {"NetShop.SearchItems", EAccess::Module, ETx::Read, searchItems},
        {"NetShop.SearchSkus", EAccess::Module, ETx::Read, searchSkus},
    };
    return methods;
}

namespace {
// Lists or delists goods at the marketplace, each on its own: one the marketplace refuses is
// named and the others go on. Refused as a whole only when nothing could be changed.
void changeListing(TContext& ctx, bool onSale)
{
    if (!ctx.param(QStringLiteral("detailnick")).trimmed().isEmpty())
        KxShopAccount(ctx, QStringLiteral("detailnick"));
    QStringList codes;
    for (const QString& c : ctx.need(QStringLiteral("goodscode")).split(QLatin1Char(',')))
        if (!c.trimmed().isEmpty() && !codes.contains(c.trimmed()))
            codes << c.trimmed();
    TMarketSimulator market(ctx.db, ctx.nickid);
    QStringList done, refused;
    for (const QString& code : codes) {
        const QVariant numIid = KxScalar(ctx.db, QStringLiteral("SELECT num_iid FROM kx_goods WHERE nickid = ? AND goodscode = ?"), {ctx.nickid, code});
        try {
            if (!numIid.isValid())
                throw TServiceError(kxRefused, QStringLiteral("网店商品不存在"));
            if (numIid.toString().isEmpty())
                throw TServiceError(kxRefused, QStringLiteral("网店没有这个宝贝，请先下载"));
            market.setListing(numIid.toString(), onSale);
        } catch (const TServiceError& e) {
            refused << QStringLiteral("%1：%2").arg(code.left(40), e.Msg);
            continue;
        }
        KxExec(ctx.db, QStringLiteral("UPDATE kx_goods SET approve_status = ? WHERE nickid = ? AND goodscode = ?"),
               {onSale ? QStringLiteral("onsale") : QStringLiteral("instock"), ctx.nickid, code});
        done << code;
    }
    if (done.isEmpty())
        throw TServiceError(kxRefused, (onSale ? QStringLiteral("宝贝上架失败：") : QStringLiteral("宝贝下架失败：")) + refused.join(QStringLiteral("；")));
    ctx.answer.add(QStringLiteral("listingstatus"), onSale ? QStringLiteral("已上架") : QStringLiteral("已下架"));
    ctx.answer.add(QStringLiteral("done"), done.join(QLatin1Char(',')));
    ctx.answer.add(QStringLiteral("refused"), refused.join(QLatin1Char('\n')));
}

void updateListing(TContext& ctx) { changeListing(ctx, true); }
void updateDelisting(TContext& ctx) { changeListing(ctx, false); }

void searchItems(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString q = ctx.param(QStringLiteral("q")).trimmed();
    if (q.isEmpty())
        throw TServiceError(kxMissingParam, QStringLiteral("检索关键字不能为空！"));
    QSqlQuery r = TMarketSimulator(ctx.db, ctx.nickid).searchItems(account, q, 200);
    using Col = TPacketColumn;
    ctx.answer.addPacket(QStringLiteral("xmldata"),
                         KxQueryPacket(r, {{QStringLiteral("num_iid"), Col::Text, 30}, {QStringLiteral("title"), Col::Text, 200},
                                           {QStringLiteral("outer_id"), Col::Text, 40}, {QStringLiteral("price"), Col::Decimal, 0},
                                           {QStringLiteral("num"), Col::Integer, 0}, {QStringLiteral("approve_status"), Col::Text, 20},
                                           {QStringLiteral("cid"), Col::Text, 20}, {QStringLiteral("modified"), Col::Text, 19},
                                           {QStringLiteral("pic_url"), Col::Text, 300}, {QStringLiteral("nick"), Col::Text, 50}}));
}

void searchSkus(TContext& ctx)
{
    KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString numIid = ctx.need(QStringLiteral("num_iid")).trimmed();
    TMarketSimulator market(ctx.db, ctx.nickid);
    if (!market.item(numIid).next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有宝贝 %1").arg(numIid.left(40)));
    using Col = TPacketColumn;
    const QList<Col> cols{{QStringLiteral("sku_id"), Col::Text, 30},          {QStringLiteral("propcolor"), Col::Text, 20},
                          {QStringLiteral("propsize"), Col::Text, 20},        {QStringLiteral("price"), Col::Decimal, 0},
                          {QStringLiteral("properties_name"), Col::Text, 200}, {QStringLiteral("quantity"), Col::Integer, 0},
                          {QStringLiteral("outer_id"), Col::Text, 40}};
    // An item without SKUs is its own single SKU.
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT sku_id, color, size, price, properties_name, quantity, outer_id FROM kx_mk_sku WHERE nickid = ? AND num_iid = ?"
        " UNION ALL SELECT num_iid, '', '', price, '', num, outer_id FROM kx_mk_item i WHERE nickid = ? AND num_iid = ?"
        " AND NOT EXISTS (SELECT 1 FROM kx_mk_sku s WHERE s.nickid = i.nickid AND s.num_iid = i.num_iid) ORDER BY 1"),
        {ctx.nickid, numIid, ctx.nickid, numIid});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, cols));
}
}
