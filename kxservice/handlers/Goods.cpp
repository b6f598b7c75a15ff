#include "Goods.h"

#include "MasterTable.h"
#include "store/History.h"
#include "store/DocKinds.h"
#include "store/Packet.h"
#include "uRequest.h"

#include <QHash>

namespace {
void goodsSearch(TContext& ctx);
void goodsUpdate(TContext& ctx);
void commoditySearch(TContext& ctx);
void commodityUpdate(TContext& ctx);
const TMdTable& goodsTable();
const TMdTable& commodityTable();
}

const std::vector<TMethodDef>& KxGoodsMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Goods.Search", EAccess::Module, ETx::Read, goodsSearch},
        {"Goods.Load", EAccess::Module, ETx::Read, goodsSearch},
        {"Goods.Update", EAccess::Module, ETx::Own, goodsUpdate},
        {"Commodity.Search", EAccess::Module, ETx::Read, commoditySearch},
        {"Commodity.Load", EAccess::Module, ETx::Read, commoditySearch},
        {"Commodity.Update", EAccess::Module, ETx::Own, commodityUpdate},
    };
    // The rows' history is read by whoever may list them.
    static const bool areas = [] {
        KxHistoryArea(QStringLiteral("Goods"), QString::fromLatin1(goodsTable().table), QStringLiteral("Goods.Search"));
        KxHistoryArea(QStringLiteral("Commodity"), QString::fromLatin1(commodityTable().table), QStringLiteral("Commodity.Search"));
        return true;
    }();
    (void)areas;
    return methods;
}

namespace {
using Col = TPacketColumn;

void checkGoods(TContext& ctx, QVariantMap& row, bool)
{
    const auto brand = row.constFind(QStringLiteral("brand_id"));
    if (brand != row.constEnd() && !brand->toString().isEmpty()
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_brand WHERE nickid = ? AND brand_id = ?"), {ctx.nickid, *brand}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("品牌【%1】不存在").arg(brand->toString().left(40)));
    const auto cat = row.constFind(QStringLiteral("catid"));
    if (cat != row.constEnd() && cat->toLongLong() != 0
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_category WHERE nickid = ? AND cattype = 'goods' AND catid = ?"),
                     {ctx.nickid, cat->toLongLong()}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("商品类别 %1 不存在").arg(cat->toLongLong()));
}

// Codes and barcodes are one name space: a scanner's text finds a product by either, so no
// product's code or barcode may be another product's code or barcode.
void checkCommodity(TContext& ctx, QVariantMap& row, bool insert)
{
    const QString code = row.value(QStringLiteral("commoditycode")).toString();
    if (insert) {
        const QString goods = KxTrimLow(row.value(QStringLiteral("goodscode")).toString());
        QSqlQuery g = KxExec(ctx.db, QStringLiteral("SELECT goodsname, is_del FROM kx_goods WHERE nickid = ? AND goodscode = ?"), {ctx.nickid, goods});
        if (!g.next() || g.value(1).toInt() != 0)
            throw TServiceError(kxRefused, QStringLiteral("商品【%1】的网店商品【%2】不存在或已删除").arg(code.left(40), goods.left(40)));
        if (KxTrimLow(row.value(QStringLiteral("commodityname")).toString()).isEmpty())
            row.insert(QStringLiteral("commodityname"), g.value(0).toString());
        const QVariant other = KxScalar(ctx.db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = ? AND barcode = ? AND commoditycode <> ?"),
                                        {ctx.nickid, code, code});
        if (other.isValid())
            throw TServiceError(kxRefused, QStringLiteral("商品编码【%1】已是商品【%2】的条码").arg(code.left(40), KxProductName(ctx, other.toString())));
    } else if (row.contains(QStringLiteral("goodscode"))) {
        throw TServiceError(kxRefused, QStringLiteral("商品【%1】已有商品编码，不能更换网店商品").arg(code.left(40)));
    } else if (row.contains(QStringLiteral("commodityname")) && KxTrimLow(row.value(QStringLiteral("commodityname")).toString()).isEmpty()) {
        throw TServiceError(kxRefused, QStringLiteral("商品【%1】的商品名称不能为空").arg(code.left(40)));
    }
    const QString barcode = KxTrimLow(row.value(QStringLiteral("barcode")).toString());
    if (row.contains(QStringLiteral("barcode")) && !barcode.isEmpty()) {
        const QVariant other = KxScalar(ctx.db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = ? AND commoditycode <> ?"
                                                               " AND (barcode = ? OR commoditycode = ?) ORDER BY commoditycode LIMIT 1"),
                                        {ctx.nickid, code, barcode, barcode});
        if (other.isValid())
            throw TServiceError(kxRefused, QStringLiteral("条码【%1】已被商品【%2】使用").arg(barcode.left(40), KxProductName(ctx, other.toString())));
    }
    const bool max = row.contains(QStringLiteral("maxstock")), min = row.contains(QStringLiteral("minstock"));
    if (max || min) {
        qint64 hi = row.value(QStringLiteral("maxstock")).toLongLong(), lo = row.value(QStringLiteral("minstock")).toLongLong();
        if (!insert && (!max || !min)) {
            QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT maxstock, minstock FROM kx_commodity WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
            if (q.next()) {
                hi = max ? hi : q.value(0).toLongLong();
                lo = min ? lo : q.value(1).toLongLong();
            }
        }
        if (hi < 0 || lo < 0)
            throw TServiceError(kxRefused, QStringLiteral("商品【%1】的库存上下限不能小于零").arg(code.left(40)));
        if (hi > 0 && lo > 0 && hi < lo)
            throw TServiceError(kxRefused, QStringLiteral("商品【%1】的库存上限 %2 小于库存下限 %3").arg(code.left(40)).arg(hi).arg(lo));
    }
}

void checkPackMaster(TContext& ctx, QVariantMap& row, bool insert)
{
    checkCommodity(ctx, row, insert);
    if (insert || row.contains(QStringLiteral("is_pack")))
        row.insert(QStringLiteral("is_pack"), 1);
}

QString commodityTaken(TContext& ctx, const QString& code)
{
    return QStringLiteral("商品编码【%1】已被商品【%2】使用").arg(code.left(40), KxProductName(ctx, code));
}

void deletePack(TContext& ctx, const QString& code)
{
    KxExec(ctx.db, QStringLiteral("DELETE FROM kx_pack WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
}

// What uses a product or goods: the document kinds' lines, counted by document.
const std::vector<TMdUse>& productUses()
{
    static const std::vector<TMdUse> uses = [] {
        static std::vector<QByteArray> sql;
        const TDocKind* kinds[] = {&kKxReceive, &kKxOutput, &kKxWhole, &kKxResult, &kKxAllocate, &kKxAdjust, &kKxCheck,
                                   &kKxAdjustItemCost, &kKxAdjustItemPrice, &kKxPicking};
        sql.reserve(std::size(kinds));
        std::vector<TMdUse> u;
        for (const TDocKind* k : kinds) {
            sql.push_back(QByteArray("SELECT COUNT(DISTINCT ") + k->idField + " ) FROM " + k->table
                          + "_line WHERE nickid = ? AND commoditycode = ?");
            u.push_back({sql.back().constData(), k->title, "张"});
        }
        u.push_back({"SELECT COUNT(*) FROM kx_stock WHERE nickid = ? AND commoditycode = ? AND stocknum <> 0", "有库存的仓库", "个"});
        u.push_back({"SELECT COUNT(*) FROM kx_trade_order WHERE nickid = ? AND commoditycode = ?", "订单明细", "条"});
        u.push_back({"SELECT COUNT(*) FROM kx_sku_bind WHERE nickid = ? AND commoditycode = ?", "网店宝贝对应", "条"});
        u.push_back({"SELECT COUNT(*) FROM kx_pack WHERE nickid = ? AND subcommoditycode = ?", "组装商品", "个"});
        return u;
    }();
    return uses;
}

const char* const kCommodityFrom = " FROM kx_commodity t LEFT JOIN kx_goods g ON g.nickid = t.nickid AND g.goodscode = t.goodscode";
// A bundle holds no stock of its own (its documents move the components'): it has as many
// whole bundles as each storage's scarcest component makes, nested bundles taken down to
// their products, summed over the storages.
#define KX_STOCK_NUM \
    "(CASE WHEN t.is_pack = 1 THEN (" \
    "WITH RECURSIVE parts (code, qty) AS (SELECT p.subcommoditycode, CAST(p.num AS NUMERIC) FROM kx_pack p" \
    " WHERE p.nickid = t.nickid AND p.commoditycode = t.commoditycode" \
    " UNION ALL SELECT p.subcommoditycode, CAST(parts.qty * p.num AS NUMERIC) FROM parts JOIN kx_pack p ON p.nickid = t.nickid AND p.commoditycode = parts.code)," \
    " leaves (code, qty) AS (SELECT code, SUM(qty) FROM parts WHERE NOT EXISTS" \
    " (SELECT 1 FROM kx_pack p WHERE p.nickid = t.nickid AND p.commoditycode = parts.code) GROUP BY code)" \
    " SELECT COALESCE(SUM(b.n), 0) FROM (SELECT MIN(CASE WHEN k.stocknum > 0 AND l.qty > 0 THEN FLOOR(k.stocknum / l.qty) ELSE 0 END) AS n" \
    " FROM kx_storage s CROSS JOIN leaves l LEFT JOIN kx_stock k ON k.nickid = s.nickid AND k.storageid = s.storageid" \
    " AND k.commoditycode = l.code WHERE s.nickid = t.nickid GROUP BY s.storageid) b)" \
    " ELSE (SELECT COALESCE(SUM(k.stocknum), 0) FROM kx_stock k WHERE k.nickid = t.nickid AND k.commoditycode = t.commoditycode) END)"
const char* const kStockSum = KX_STOCK_NUM;
const char* const kStockMoney = "(" KX_STOCK_NUM " * t.costprice)";
#undef KX_STOCK_NUM
const char* const kPresell =
    "(SELECT COALESCE(SUM(o.num), 0) FROM kx_trade_order o JOIN kx_trade r ON r.nickid = o.nickid AND r.tid = o.tid"
    " WHERE o.nickid = t.nickid AND o.commoditycode = t.commoditycode AND r.dbstatus = 'NOT_PICKING' AND r.status = 'WAIT_SELLER_SEND_GOODS')";

const TMdTable& goodsTable()
{
    static const TMdTable t = [] {
        TMdTable g{"Goods", "kx_goods", "goodscode", "商品编码", "G",
                   {{"goodsname", Col::Text, 100, "商品名称", true},
                    {"brand_id", Col::Text, 20, "品牌", false, false, false, nullptr, true},
                    {"listingstatus", Col::Text, 10, "上架状态", false, false, true,
                     "CASE t.approve_status WHEN 'onsale' THEN '已上架' WHEN 'instock' THEN '已下架' ELSE '' END", true},
                    {"norms", Col::Text, 100, "规格", false},
                    {"units", Col::Text, 10, "单位", false},
                    {"propstyle", Col::Text, 50, "款号", false},
                    {"memo", Col::Text, 500, "备注", false},
                    {"saleprice", Col::Decimal, 0, "售价", false},
                    {"wholesale", Col::Decimal, 0, "批发价", false},
                    {"costprice", Col::Decimal, 0, "进价", false},
                    {"is_del", Col::Boolean, 0, "删除", false},
                    {"catid", Col::Integer, 0, "商品类别", false},
                    {"num_iid", Col::Text, 30, "宝贝编号", false, false, true, nullptr, true}},
                   {}, checkGoods};
        g.from = " FROM kx_goods t";
        g.usedBy = "网店商品";
        g.uses = {{"SELECT COUNT(*) FROM kx_commodity WHERE nickid = ? AND goodscode = ?", "商品", "个"},
                  {"SELECT COUNT(DISTINCT adjustid) FROM kx_adjustcost_line WHERE nickid = ? AND goodscode = ?", kKxAdjustCost.title, "张"},
                  {"SELECT COUNT(DISTINCT adjustid) FROM kx_adjustprice_line WHERE nickid = ? AND goodscode = ?", kKxAdjustPrice.title, "张"},
                  {"SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = ? AND goodscode = ?", "供应商商品", "个"}};
        return g;
    }();
    return t;
}

std::vector<TMdField> commodityFields(bool packWritable)
{
    return {{"goodscode", Col::Text, 20, "网店商品编码", true, false, false, nullptr, true},
            {"barcode", Col::Text, 30, "条码", false, false, false, nullptr, true},
            {"commodityname", Col::Text, 100, "商品名称", false},
            {"brand_id", Col::Text, 20, "品牌", false, false, true, "g.brand_id", true},
            {"propstyle", Col::Text, 50, "款号", false},
            {"propcolor", Col::Text, 20, "颜色", false},
            {"propsize", Col::Text, 20, "尺码", false},
            {"saleprice", Col::Decimal, 0, "售价", false},
            {"wholesale", Col::Decimal, 0, "批发价", false},
            {"costprice", Col::Decimal, 0, "进价", false},
            {"presell", Col::Integer, 0, "预售数量", false, false, true, kPresell},
            {"stocknum", Col::Integer, 0, "库存数量", false, false, true, kStockSum},
            {"stockmoney", Col::Decimal, 0, "库存金额", false, false, true, kStockMoney},
            {"maxstock", Col::Integer, 0, "库存上限", false},
            {"minstock", Col::Integer, 0, "库存下限", false},
            {"is_pack", Col::Boolean, 0, "组装商品", false, false, !packWritable},
            {"is_del", Col::Boolean, 0, "删除", false},
            {"catid", Col::Integer, 0, "商品类别", false, false, true, "g.catid"},
            {"goodsname", Col::Text, 100, "网店商品名称", false, false, true, "g.goodsname"}};
}

TMdTable commodityLike(const char* area, bool pack)
{
    TMdTable c{area, "kx_commodity", "commoditycode", "商品编码", "C", commodityFields(pack), {},
               pack ? checkPackMaster : checkCommodity, deletePack};
    c.from = kCommodityFrom;
    c.usedBy = "商品";
    c.uses = productUses();
    c.taken = commodityTaken;
    c.keyCondition = "(t.commoditycode = ? OR t.barcode = ?)";
    return c;
}

const TMdTable& commodityTable()
{
    static const TMdTable t = commodityLike("Commodity", false);
    return t;
}


void saveTable(TContext& ctx, const TMdTable& t)
{
    const QList<TDeltaChange>& changes = KxNeedDelta(ctx, QStringLiteral("delta"));
    QStringList touched;
    {
        TTransaction tx(ctx.store, ctx.db, true);
        touched = KxMdSave(ctx, t, changes);
        tx.commit();
    }
    KxMdAnswerRows(ctx, t, touched, QStringLiteral("xmldata"));
}

void goodsSearch(TContext& ctx) { KxMdSearch(ctx, goodsTable()); }
void goodsUpdate(TContext& ctx) { saveTable(ctx, goodsTable()); }
void commoditySearch(TContext& ctx) { KxMdSearch(ctx, commodityTable()); }

// Two new rows of one save may not share a barcode either (the stored ones are checked row by row).
void commodityUpdate(TContext& ctx)
{
    QHash<QString, int> seen;
    for (const TDeltaChange& ch : KxNeedDelta(ctx, QStringLiteral("delta"))) {
        if (ch.kind == TDeltaChange::Delete || (ch.kind == TDeltaChange::Update && !ch.changed.contains(QStringLiteral("barcode"))))
            continue;
        const QString b = KxTrimLow(ch.values.value(QStringLiteral("barcode")).toString());
        if (!b.isEmpty() && seen[b]++)
            throw TServiceError(kxRefused, QStringLiteral("条码【%1】在提交的商品中出现了多次").arg(b.left(40)));
    }
    saveTable(ctx, commodityTable());
}

}

QString KxProductName(TContext& ctx, const QString& code)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT commodityname, propcolor, propsize FROM kx_commodity WHERE nickid = ? AND commoditycode = ?"),
                         {ctx.nickid, code});
    if (!q.next())
        return code;
    QStringList parts{code, q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

const QList<TDeltaChange>& KxNeedDelta(TContext& ctx, const QString& name)
{
    const QList<TDeltaChange>* changes = ctx.delta(name);
    if (!changes)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（%1）").arg(name));
    return *changes;
}

const TMdTable& KxPackMasterTable()
{
    static const TMdTable t = commodityLike("PackCommodity", true);
    return t;
}
