#include "CommoditySku.h"

#include "Goods.h"
#include "LocalClock.h"
#include "MasterTable.h"
#include "store/History.h"
#include "store/BulkWrite.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/Packet.h"
#include "store/Paging.h"
#include "uRequest.h"

namespace {
using Col = TPacketColumn;

void skuSearch(TContext& ctx);
void skuLoad(TContext& ctx);
void skuUpdate(TContext& ctx);
const TMdTable& skuTable();
}

const std::vector<TMethodDef>& KxCommoditySkuMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"CommoditySku.Search", EAccess::Module, ETx::Read, skuSearch},
        {"CommoditySku.Load", EAccess::Module, ETx::Read, skuLoad},
        {"CommoditySku.Update", EAccess::Module, ETx::Own, skuUpdate},
    };
    // The rows' history is read by whoever may list them.
    static const bool areas = [] {
        KxHistoryArea(QStringLiteral("CommoditySku"), QString::fromLatin1(skuTable().table), QStringLiteral("CommoditySku.Search"));
        return true;
    }();
    (void)areas;
    return methods;
}

namespace {
// A mapping names an existing product, and a SKU the marketplace has (an item without SKUs
// under its own id).
void checkSku(TContext& ctx, QVariantMap& row, bool insert)
{
    const auto code = row.constFind(QStringLiteral("commoditycode"));
    if (code != row.constEnd()
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_commodity WHERE nickid = ? AND commoditycode = ? AND is_del = 0"),
                     {ctx.nickid, KxTrimLow(code->toString())}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("商品【%1】不存在或已删除").arg(code->toString().left(40)));
    if (code != row.constEnd())
        row.insert(QStringLiteral("commoditycode"), KxTrimLow(code->toString()));
    if (insert) {
        const QString numIid = row.value(QStringLiteral("num_iid")).toString(), skuId = row.value(QStringLiteral("sku_id")).toString();
        const bool known = skuId == numIid
            ? KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_mk_item WHERE nickid = ? AND num_iid = ?"), {ctx.nickid, numIid}).isValid()
            : KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_mk_sku WHERE nickid = ? AND num_iid = ? AND sku_id = ?"), {ctx.nickid, numIid, skuId}).isValid();
        if (!known)
            throw TServiceError(kxRefused, QStringLiteral("网店没有宝贝SKU【%1/%2】").arg(numIid.left(30), skuId.left(30)));
    }
    row.insert(QStringLiteral("operid"), ctx.operid);
    row.insert(QStringLiteral("bound_at"), KxLocalNowText());
}

QString skuTaken(TContext& ctx, const QString& key)
{
    const QVariant code = KxScalar(ctx.db, QStringLiteral("SELECT commoditycode FROM kx_sku_bind WHERE nickid = ? AND (num_iid || '/' || sku_id) = ?"),
                                   {ctx.nickid, key});
    return QStringLiteral("宝贝SKU【%1】已对应商品【%2】").arg(key.left(61), KxProductName(ctx, code.toString()));
}

const TMdTable& skuTable()
{
    static const TMdTable t = [] {
        TMdTable s{"CommoditySku", "kx_sku_bind", "num_iidsku", "宝贝SKU", nullptr,
                   {{"commoditycode", Col::Text, 20, "商品编码", true, false, false, nullptr, true},
                    {"commodityname", Col::Text, 100, "商品名称", false, false, true, "c.commodityname"},
                    {"nick", Col::Text, 50, "店铺帐号", false, false, false, nullptr, true},
                    {"num_iid", Col::Text, 30, "宝贝编号", true, false, false, nullptr, true},
                    {"sku_id", Col::Text, 30, "SKU编号", false, false, false, nullptr, true},
                    {"title", Col::Text, 200, "宝贝名称", false},
                    {"sku_properties_name", Col::Text, 200, "销售属性", false},
                    {"pic_path", Col::Text, 300, "图片地址", false}},
                   {}, checkSku};
        s.from = " FROM kx_sku_bind t LEFT JOIN kx_commodity c ON c.nickid = t.nickid AND c.commoditycode = t.commoditycode";
        s.keyParts = {"num_iid", "sku_id"};
        s.taken = skuTaken;
        return s;
    }();
    return t;
}

void skuLoad(TContext& ctx)
{
    KxMdSearch(ctx, skuTable());
}

}

void KxBindWaitingOrderLines(TContext& ctx)
{
    const QString mapped = QStringLiteral("(SELECT b.commoditycode FROM kx_sku_bind b JOIN kx_commodity c ON c.nickid = b.nickid"
                                          " AND c.commoditycode = b.commoditycode AND c.is_del = 0"
                                          " WHERE b.nickid = kx_trade_order.nickid AND b.num_iid = kx_trade_order.num_iid"
                                          " AND b.sku_id = CASE WHEN kx_trade_order.sku_id = '' THEN kx_trade_order.num_iid ELSE kx_trade_order.sku_id END)");
    KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_order SET commoditycode = ") + mapped
                       + QStringLiteral(" WHERE nickid = ? AND commoditycode = '' AND ") + mapped + QStringLiteral(" IS NOT NULL"
                       " AND tid IN (SELECT t.tid FROM kx_trade t WHERE t.nickid = kx_trade_order.nickid AND t.dbstatus = 'NOT_PICKING')"),
           {ctx.nickid});
}

namespace {
void skuUpdate(TContext& ctx)
{
    const QList<TDeltaChange>& changes = KxNeedDelta(ctx, QStringLiteral("delta"));
    QStringList touched;
    {
        TTransaction tx(ctx.store, ctx.db, true);
        touched = KxMdSave(ctx, skuTable(), changes);
        if (!touched.isEmpty())
            KxBindWaitingOrderLines(ctx);
        tx.commit();
    }
    KxMdAnswerRows(ctx, skuTable(), touched, QStringLiteral("xmldata"));
}

// The mapping window's list: every mapping with its product, and every product without one.
void skuSearch(TContext& ctx)
{
    QString where = QStringLiteral("c.nickid = ?");
    QVariantList args{ctx.nickid};
    const auto text = [&](const char* name) { return KxTrimLow(ctx.param(KxDoc::L(name))); };
    if (!text("commoditycode").isEmpty()) {
        where += QStringLiteral(" AND (c.commoditycode = ? OR c.barcode = ?)");
        args << text("commoditycode") << text("commoditycode");
    }
    const std::pair<const char*, const char*> contains[] = {{"commodityname", "c.commodityname"}, {"title", "b.title"}};
    for (const auto& [name, column] : contains)
        if (!text(name).isEmpty()) {
            where += QStringLiteral(" AND ") + KxDoc::L(column) + QStringLiteral(" LIKE ? ESCAPE '\\'");
            args << KxLikeContains(text(name));
        }
    const std::pair<const char*, const char*> exact[] = {{"nick", "b.nick"}, {"num_iid", "b.num_iid"}};
    for (const auto& [name, column] : exact)
        if (!text(name).isEmpty()) {
            where += QStringLiteral(" AND ") + KxDoc::L(column) + QStringLiteral(" = ?");
            args << text(name);
        }
    if (!text("catid").isEmpty()) {
        where += QStringLiteral(" AND g.catid = ?");
        args << ctx.intParam(QStringLiteral("catid"), 0);
    }
    if (!text("is_del").isEmpty()) {
        where += QStringLiteral(" AND c.is_del = ?");
        args << (text("is_del") == QLatin1String("1") ? 1 : 0);
    }
    if (!text("mapped").isEmpty())
        where += text("mapped") == QLatin1String("1") ? QStringLiteral(" AND b.num_iid IS NOT NULL") : QStringLiteral(" AND b.num_iid IS NULL");
    KxAnswerPageFrom(ctx,
                     QStringLiteral("c.commoditycode, c.commodityname, COALESCE(b.nick, ''), COALESCE(b.num_iid, ''), COALESCE(b.sku_id, ''),"
                                    " CASE WHEN b.num_iid IS NULL THEN '' ELSE b.num_iid || '/' || b.sku_id END, COALESCE(b.title, ''),"
                                    " COALESCE(b.sku_properties_name, ''), COALESCE(b.pic_path, ''),"
                                    " COALESCE(NULLIF(b.md5_key, ''), c.md5_key, c.commoditycode), c.barcode, c.propcolor, c.propsize, g.catid"),
                     QStringLiteral(" FROM kx_commodity c LEFT JOIN kx_goods g ON g.nickid = c.nickid AND g.goodscode = c.goodscode"
                                    " LEFT JOIN kx_sku_bind b ON b.nickid = c.nickid AND b.commoditycode = c.commoditycode"),
                     where, args, QStringLiteral("c.commoditycode, b.num_iid, b.sku_id"),
                     {{QStringLiteral("commoditycode"), Col::Text, 20}, {QStringLiteral("commodityname"), Col::Text, 100},
                      {QStringLiteral("nick"), Col::Text, 50}, {QStringLiteral("num_iid"), Col::Text, 30}, {QStringLiteral("sku_id"), Col::Text, 30},
                      {QStringLiteral("num_iidsku"), Col::Text, 61}, {QStringLiteral("title"), Col::Text, 200},
                      {QStringLiteral("sku_properties_name"), Col::Text, 200}, {QStringLiteral("pic_path"), Col::Text, 300},
                      {QStringLiteral("md5_key"), Col::Text, 32}, {QStringLiteral("barcode"), Col::Text, 30},
                      {QStringLiteral("propcolor"), Col::Text, 20}, {QStringLiteral("propsize"), Col::Text, 20},
                      {QStringLiteral("catid"), Col::Integer, 0}});
}
}
