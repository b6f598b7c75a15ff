#include "Goods.h"

#include "store/Paging.h"
#include "MasterTable.h"
#include "store/History.h"
#include "LocalClock.h"
#include "store/BulkWrite.h"
#include "store/DocKinds.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/Packet.h"
#include "TDecimal.h"
#include "uRequest.h"

#include <QHash>
#include <QSet>
#include <map>

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

// "C0002 红色 M": a product as refusals name it.
QString productName(TContext& ctx, const QString& code)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT commodityname, propcolor, propsize FROM kx_commodity WHERE nickid = ? AND commoditycode = ?"),
                         {ctx.nickid, code});
    if (!q.next())
        return code;
    QStringList parts{code, q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
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
            throw TServiceError(kxRefused, QStringLiteral("商品编码【%1】已是商品【%2】的条码").arg(code.left(40), productName(ctx, other.toString())));
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
            throw TServiceError(kxRefused, QStringLiteral("条码【%1】已被商品【%2】使用").arg(barcode.left(40), productName(ctx, other.toString())));
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
    return QStringLiteral("商品编码【%1】已被商品【%2】使用").arg(code.left(40), productName(ctx, code));
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
const char* const kStockSum = "(SELECT COALESCE(SUM(k.stocknum), 0) FROM kx_stock k WHERE k.nickid = t.nickid AND k.commoditycode = t.commoditycode)";
const char* const kStockMoney = "((SELECT COALESCE(SUM(k.stocknum), 0) FROM kx_stock k WHERE k.nickid = t.nickid AND k.commoditycode = t.commoditycode) * t.costprice)";
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

const TMdTable& packMasterTable()
{
    static const TMdTable t = commodityLike("PackCommodity", true);
    return t;
}

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
    return QStringLiteral("宝贝SKU【%1】已对应商品【%2】").arg(key.left(61), productName(ctx, code.toString()));
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

const QList<TDeltaChange>& needDelta(TContext& ctx, const QString& name)
{
    const QList<TDeltaChange>* changes = ctx.delta(name);
    if (!changes)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（%1）").arg(name));
    return *changes;
}

void saveTable(TContext& ctx, const TMdTable& t)
{
    const QList<TDeltaChange>& changes = needDelta(ctx, QStringLiteral("delta"));
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
    for (const TDeltaChange& ch : needDelta(ctx, QStringLiteral("delta"))) {
        if (ch.kind == TDeltaChange::Delete || (ch.kind == TDeltaChange::Update && !ch.changed.contains(QStringLiteral("barcode"))))
            continue;
        const QString b = KxTrimLow(ch.values.value(QStringLiteral("barcode")).toString());
        if (!b.isEmpty() && seen[b]++)
            throw TServiceError(kxRefused, QStringLiteral("条码【%1】在提交的商品中出现了多次").arg(b.left(40)));
    }
    saveTable(ctx, commodityTable());
}

void skuLoad(TContext& ctx)
{
    KxMdSearch(ctx, skuTable());
}

// Binds the unbound lines of orders not yet picked that carry these SKUs.
void bindOrderLines(TContext& ctx, const QStringList& keys)
{
    KxForKeys(ctx.db, QStringLiteral("UPDATE kx_trade_order SET commoditycode = (SELECT b.commoditycode FROM kx_sku_bind b"
                                     " WHERE b.nickid = kx_trade_order.nickid AND b.num_iid = kx_trade_order.num_iid"
                                     " AND b.sku_id = CASE WHEN kx_trade_order.sku_id = '' THEN kx_trade_order.num_iid ELSE kx_trade_order.sku_id END)"
                                     " WHERE nickid = ? AND commoditycode = '' AND (num_iid || '/' || CASE WHEN sku_id = '' THEN num_iid ELSE sku_id END) IN (%1)"
                                     " AND tid IN (SELECT t.tid FROM kx_trade t WHERE t.nickid = kx_trade_order.nickid AND t.dbstatus = 'NOT_PICKING')"),
              {ctx.nickid}, keys, [](QSqlQuery&, qsizetype, qsizetype) {});
}

void skuUpdate(TContext& ctx)
{
    const QList<TDeltaChange>& changes = needDelta(ctx, QStringLiteral("delta"));
    QStringList touched;
    {
        TTransaction tx(ctx.store, ctx.db, true);
        touched = KxMdSave(ctx, skuTable(), changes);
        if (!touched.isEmpty())
            bindOrderLines(ctx, touched);
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

// ---- Bundles ----

const QList<Col>& packMasterColumns()
{
    static const QList<Col> cols{{QStringLiteral("goodscode"), Col::Text, 20},     {QStringLiteral("commoditycode"), Col::Text, 20},
                                 {QStringLiteral("commodityname"), Col::Text, 100}, {QStringLiteral("propstyle"), Col::Text, 50},
                                 {QStringLiteral("propcolor"), Col::Text, 20},      {QStringLiteral("propsize"), Col::Text, 20},
                                 {QStringLiteral("saleprice"), Col::Decimal, 0},    {QStringLiteral("wholesale"), Col::Decimal, 0},
                                 {QStringLiteral("is_pack"), Col::Boolean, 0},      {QStringLiteral("md5_key"), Col::Text, 32}};
    return cols;
}

const QList<Col>& packDetailColumns()
{
    static const QList<Col> cols{{QStringLiteral("md5_key"), Col::Text, 32},          {QStringLiteral("commoditycode"), Col::Text, 20},
                                 {QStringLiteral("subcommoditycode"), Col::Text, 20}, {QStringLiteral("subcommodityname"), Col::Text, 100},
                                 {QStringLiteral("num"), Col::Decimal, 0},            {QStringLiteral("subpropstyle"), Col::Text, 50},
                                 {QStringLiteral("subpropcolor"), Col::Text, 20},     {QStringLiteral("subpropsize"), Col::Text, 20},
                                 {QStringLiteral("subsaleprice"), Col::Decimal, 0},   {QStringLiteral("subwholesale"), Col::Decimal, 0},
                                 {QStringLiteral("subcostprice"), Col::Decimal, 0},   {QStringLiteral("salerate"), Col::Decimal, 0, 4},
                                 {QStringLiteral("wholerate"), Col::Decimal, 0, 4}};
    return cols;
}

const char* const kPackDetailSelect =
    "SELECT c.md5_key, p.commoditycode, p.subcommoditycode, s.commodityname, p.num, s.propstyle, s.propcolor, s.propsize,"
    " s.saleprice, s.wholesale, s.costprice, p.salerate, p.wholerate FROM kx_pack p"
    " JOIN kx_commodity c ON c.nickid = p.nickid AND c.commoditycode = p.commoditycode"
    " LEFT JOIN kx_commodity s ON s.nickid = p.nickid AND s.commoditycode = p.subcommoditycode"
    " WHERE p.nickid = ? AND p.commoditycode = ? ORDER BY p.subcommoditycode";

void answerPack(TContext& ctx, const QString& code)
{
    QSqlQuery m = KxExec(ctx.db, QStringLiteral("SELECT goodscode, commoditycode, commodityname, propstyle, propcolor, propsize, saleprice, wholesale,"
                                                " is_pack, md5_key FROM kx_commodity WHERE nickid = ? AND commoditycode = ? AND is_pack = 1"),
                         {ctx.nickid, code});
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(m, packMasterColumns()));
    QSqlQuery d = KxExec(ctx.db, KxDoc::L(kPackDetailSelect), {ctx.nickid, code});
    ctx.answer.addPacket(QStringLiteral("xmldetail"), KxQueryPacket(d, packDetailColumns()));
}

void packLoad(TContext& ctx)
{
    answerPack(ctx, KxTrimLow(ctx.param(QStringLiteral("commoditycode"))));
}

void packSearch(TContext& ctx)
{
    QString where = QStringLiteral("c.nickid = ? AND c.is_pack = 1");
    QVariantList args{ctx.nickid};
    const auto text = [&](const char* name) { return KxTrimLow(ctx.param(KxDoc::L(name))); };
    const std::pair<const char*, const char*> exact[] = {{"commoditycode", "c.commoditycode"}, {"goodscode", "c.goodscode"},
                                                         {"subcommoditycode", "p.subcommoditycode"}};
    for (const auto& [name, column] : exact)
        if (!text(name).isEmpty()) {
            where += QStringLiteral(" AND ") + KxDoc::L(column) + QStringLiteral(" = ?");
            args << text(name);
        }
    if (!text("commodityname").isEmpty()) {
        where += QStringLiteral(" AND c.commodityname LIKE ? ESCAPE '\\'");
        args << KxLikeContains(text("commodityname"));
    }
    if (!text("catid").isEmpty()) {
        where += QStringLiteral(" AND g.catid = ?");
        args << ctx.intParam(QStringLiteral("catid"), 0);
    }
    KxAnswerPageFrom(ctx,
                     QStringLiteral("c.goodscode, c.commoditycode, c.commodityname, c.propstyle, c.propcolor, c.propsize, c.saleprice, c.wholesale,"
                                    " p.subcommoditycode, s.commodityname, p.num, s.propstyle, s.propcolor, s.propsize, s.saleprice, s.wholesale,"
                                    " s.costprice, g.catid, c.md5_key"),
                     QStringLiteral(" FROM kx_pack p JOIN kx_commodity c ON c.nickid = p.nickid AND c.commoditycode = p.commoditycode"
                                    " LEFT JOIN kx_commodity s ON s.nickid = p.nickid AND s.commoditycode = p.subcommoditycode"
                                    " LEFT JOIN kx_goods g ON g.nickid = c.nickid AND g.goodscode = c.goodscode"),
                     where, args, QStringLiteral("c.commoditycode, p.subcommoditycode"),
                     {{QStringLiteral("goodscode"), Col::Text, 20},        {QStringLiteral("commoditycode"), Col::Text, 20},
                      {QStringLiteral("commodityname"), Col::Text, 100},   {QStringLiteral("propstyle"), Col::Text, 50},
                      {QStringLiteral("propcolor"), Col::Text, 20},        {QStringLiteral("propsize"), Col::Text, 20},
                      {QStringLiteral("saleprice"), Col::Decimal, 0},      {QStringLiteral("wholesale"), Col::Decimal, 0},
                      {QStringLiteral("subcommoditycode"), Col::Text, 20}, {QStringLiteral("subcommodityname"), Col::Text, 100},
                      {QStringLiteral("num"), Col::Decimal, 0},            {QStringLiteral("subpropstyle"), Col::Text, 50},
                      {QStringLiteral("subpropcolor"), Col::Text, 20},     {QStringLiteral("subpropsize"), Col::Text, 20},
                      {QStringLiteral("subsaleprice"), Col::Decimal, 0},   {QStringLiteral("subwholesale"), Col::Decimal, 0},
                      {QStringLiteral("subcostprice"), Col::Decimal, 0},   {QStringLiteral("catid"), Col::Integer, 0},
                      {QStringLiteral("md5_key"), Col::Text, 32}});
}

TDecimal dec(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<TDecimal>())
        return v.value<TDecimal>();
    return TDecimal::Parse(v.isValid() && !v.toString().isEmpty() ? v.toString() : QStringLiteral("0")).value_or(TDecimal::FromInteger(0));
}

// The bundles `code` reaches through its components (itself excluded), depth first; the
// first path back to `bundle` is returned as the bundle it passed through, or empty.
QString cycleVia(TContext& ctx, const QString& bundle, const QString& start)
{
    QSet<QString> seen;
    std::vector<std::pair<QString, QString>> todo{{start, start}};   // (code, first component on the way)
    while (!todo.empty()) {
        const auto [code, via] = todo.back();
        todo.pop_back();
        if (code == bundle)
            return via;
        if (seen.contains(code))
            continue;
        seen.insert(code);
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT subcommoditycode FROM kx_pack WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
        while (q.next())
            todo.emplace_back(q.value(0).toString(), via);
    }
    return QString();
}

// The bundle (master) and its components in one transaction. The components take the
// master's code and row key whatever they carry; the shares are computed here from the
// components' prices and quantities.
void packUpdate(TContext& ctx)
{
    const QList<TDeltaChange>* master = ctx.delta(QStringLiteral("deltamaster"));
    const QList<TDeltaChange>* detail = ctx.delta(QStringLiteral("deltadetail"));
    if (!master && !detail)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（deltamaster、deltadetail）"));
    if (master && master->size() > 1)
        throw TServiceError(kxRefused, QStringLiteral("一次只能保存一个组装商品"));
    const TDeltaChange* m = master && !master->isEmpty() ? &master->first() : nullptr;

    QString code;
    {
        TTransaction tx(ctx.store, ctx.db, true);
        bool removed = false;
        if (m) {
            const QStringList touched = KxMdSave(ctx, packMasterTable(), *master);
            removed = m->kind == TDeltaChange::Delete;
            code = removed ? m->original.value(QStringLiteral("commoditycode")).toString() : touched.value(0);
        } else {
            // Without a master in the save the components must all name one stored bundle.
            QSet<QString> named;
            for (const TDeltaChange& ch : *detail)
                named.insert(KxTrimLow((ch.kind == TDeltaChange::Insert ? ch.values : ch.original).value(QStringLiteral("commoditycode")).toString()));
            named.remove(QString());
            if (named.size() != 1)
                throw TServiceError(kxRefused, QStringLiteral("组装商品的主信息不存在，不能保存组装明细"));
            code = *named.begin();
        }
        QSqlQuery b = KxExec(ctx.db, QStringLiteral("SELECT is_pack, md5_key FROM kx_commodity WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
        const bool exists = b.next();
        if (!removed && (!exists || b.value(0).toInt() != 1))
            throw TServiceError(kxRefused, QStringLiteral("组装商品【%1】的主信息不存在，不能保存组装明细").arg(code.left(40)));
        const QString key = exists ? b.value(1).toString() : QString();
        b.finish();

        if (!removed && detail) {
            // The components as stored, with the save's changes on top (by component code).
            std::map<QString, TDecimal> parts;
            QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT subcommoditycode, num FROM kx_pack WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
            while (s.next())
                parts.emplace(s.value(0).toString(), dec(s.value(1)));
            s.finish();
            for (const TDeltaChange& ch : *detail) {
                const QString was = KxTrimLow(ch.original.value(QStringLiteral("subcommoditycode")).toString());
                if (ch.kind != TDeltaChange::Insert)
                    parts.erase(was);
                if (ch.kind == TDeltaChange::Delete)
                    continue;
                const QString sub = KxTrimLow(ch.values.value(QStringLiteral("subcommoditycode")).toString());
                if (sub.isEmpty())
                    throw TServiceError(kxRefused, QStringLiteral("组装商品【%1】的组装明细缺少商品编码").arg(code.left(40)));
                if (parts.count(sub))
                    throw TServiceError(kxRefused, QStringLiteral("商品【%1】在组装商品【%2】中出现了多次").arg(sub.left(40), code.left(40)));
                parts.emplace(sub, dec(ch.values.value(QStringLiteral("num"))));
            }
            QVariantList rows;
            TDecimal saleSum = TDecimal::FromInteger(0), wholeSum = TDecimal::FromInteger(0);
            std::vector<std::pair<TDecimal, TDecimal>> amounts;
            for (const auto& [sub, num] : parts) {
                if (!(TDecimal::FromInteger(0) < num))
                    throw TServiceError(kxRefused, QStringLiteral("组装数量不能小于零！（商品【%1】）").arg(sub.left(40)));
                QSqlQuery p = KxExec(ctx.db, QStringLiteral("SELECT saleprice, wholesale, is_del FROM kx_commodity WHERE nickid = ? AND commoditycode = ?"),
                                     {ctx.nickid, sub});
                if (!p.next() || p.value(2).toInt() != 0)
                    throw TServiceError(kxRefused, QStringLiteral("组装明细的商品【%1】不存在或已删除").arg(sub.left(40)));
                if (sub == code)
                    throw TServiceError(kxRefused, QStringLiteral("组装商品【%1】不能包含它自己").arg(code.left(40)));
                const QString via = cycleVia(ctx, code, sub);
                if (!via.isEmpty())
                    throw TServiceError(kxRefused, QStringLiteral("组装商品【%1】不能包含它自己（经由【%2】）").arg(code.left(40), via.left(40)));
                const TDecimal sale = dec(p.value(0)).Mul(num).value_or(TDecimal::FromInteger(0));
                const TDecimal whole = dec(p.value(1)).Mul(num).value_or(TDecimal::FromInteger(0));
                saleSum = saleSum.Add(sale).value_or(saleSum);
                wholeSum = wholeSum.Add(whole).value_or(wholeSum);
                amounts.emplace_back(sale, whole);
            }
            KxExec(ctx.db, QStringLiteral("DELETE FROM kx_pack WHERE nickid = ? AND commoditycode = ?"), {ctx.nickid, code});
            size_t i = 0;
            const TDecimal zero = TDecimal::FromInteger(0);
            for (const auto& [sub, num] : parts) {
                const auto& [sale, whole] = amounts[i++];
                const TDecimal sr = saleSum == zero ? zero : sale.Div(saleSum, 4).value_or(zero);
                const TDecimal wr = wholeSum == zero ? zero : whole.Div(wholeSum, 4).value_or(zero);
                rows << ctx.nickid << code << sub << num.ToString() << sr.ToString() << wr.ToString() << key;
            }
            if (!rows.isEmpty())
                KxDoc::insertRows(ctx.db, QStringLiteral("INSERT INTO kx_pack (nickid, commoditycode, subcommoditycode, num, salerate, wholerate, md5_key) VALUES "),
                                  7, rows);
        }
        tx.commit();
    }
    answerPack(ctx, code);
}
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
        {"CommoditySku.Search", EAccess::Module, ETx::Read, skuSearch},
        {"CommoditySku.Load", EAccess::Module, ETx::Read, skuLoad},
        {"CommoditySku.Update", EAccess::Module, ETx::Own, skuUpdate},
        {"PackCommodity.Search", EAccess::Module, ETx::Read, packSearch},
        {"PackCommodity.Load", EAccess::Module, ETx::Read, packLoad},
        {"PackCommodity.Update", EAccess::Module, ETx::Own, packUpdate},
    };
    // The rows' history is read by whoever may list them.
    static const bool areas = [] {
        KxHistoryArea(QStringLiteral("Goods"), QString::fromLatin1(goodsTable().table), QStringLiteral("Goods.Search"));
        KxHistoryArea(QStringLiteral("Commodity"), QString::fromLatin1(commodityTable().table), QStringLiteral("Commodity.Search"));
        KxHistoryArea(QStringLiteral("CommoditySku"), QString::fromLatin1(skuTable().table), QStringLiteral("CommoditySku.Search"));
        KxHistoryArea(QStringLiteral("PackCommodity"), QString::fromLatin1(packMasterTable().table), QStringLiteral("PackCommodity.Search"));
        return true;
    }();
    (void)areas;
    return methods;
}
