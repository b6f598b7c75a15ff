#include "NetShopGoods.h"
#include "NetShop.h"
#include "CommoditySku.h"

#include "LocalClock.h"
#include "market/ItemPicture.h"
#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "store/BulkWrite.h"
#include "store/DocPosting.h"
#include "store/DocSql.h"
#include "store/Packet.h"
#include "store/Statistics.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>

namespace {
void downCategory(TContext& ctx);
void downGoods(TContext& ctx);
void downGood(TContext& ctx);
}

const std::vector<TMethodDef>& KxNetShopGoodsMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.DownCategory", EAccess::Module, ETx::Write, downCategory},
        {"NetShop.DownGoods", EAccess::Module, ETx::Write, downGoods},
        {"NetShop.DownGood", EAccess::Module, ETx::Write, downGood},
    };
    return methods;
}

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString md5Of(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

// Goods category ids by the marketplace's category id.
QHash<QString, qint64> categoryIds(TContext& ctx)
{
    QHash<QString, qint64> ids;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT cid, catid FROM kx_category WHERE nickid = ? AND cattype = 'goods' AND cid <> ''"), {ctx.nickid});
    while (q.next())
        ids.insert(q.value(0).toString(), q.value(1).toLongLong());
    return ids;
}

// The shop's categories into the goods tree, matched by the marketplace's id: a category is
// added once, and later downloads follow its name, order and parent.
void downCategory(TContext& ctx)
{
    KxShopAccount(ctx, QStringLiteral("detailnick"));
    TMarketSimulator market(ctx.db, ctx.nickid);
    struct TCat { QString cid, parent, name; int sort; };
    std::vector<TCat> cats;
    QSqlQuery c = market.categories();
    while (c.next())
        cats.push_back({c.value(0).toString(), c.value(1).toString(), c.value(2).toString().left(50), c.value(3).toInt()});
    c.finish();
    QHash<QString, qint64> ids = categoryIds(ctx);
    int added = 0, changed = 0;
    QSet<QString> freshCids;
    qsizetype fresh = 0;
    for (const TCat& k : cats)
        fresh += ids.contains(k.cid) ? 0 : 1;
    if (fresh > 0) {
        // The tree window's series: it starts above every id in use.
        KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) SELECT ?, 'kx_category', COALESCE(MAX(catid), 0)"
                                      " FROM kx_category WHERE nickid = ? ON CONFLICT DO NOTHING"), {ctx.nickid, ctx.nickid});
        qint64 next = KxDoc::takeNumbers(ctx, QStringLiteral("kx_category"), fresh);
        for (const TCat& k : cats)
            if (!ids.contains(k.cid)) {
                while (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_category WHERE nickid = ? AND catid = ?"), {ctx.nickid, next}).isValid())
                    next = KxDoc::takeNumbers(ctx, QStringLiteral("kx_category"), 1);
                KxExec(ctx.db, QStringLiteral("INSERT INTO kx_category (nickid, catid, parentid, catname, cattype, seq, cid) VALUES (?, ?, 0, ?, 'goods', ?, ?)"),
                       {ctx.nickid, next, k.name, k.sort, k.cid});
                ids.insert(k.cid, next++);
                freshCids.insert(k.cid);
                ++added;
            }
    }
    for (const TCat& k : cats) {
        const qint64 parent = ids.value(k.parent, 0);
        QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_category SET catname = ?, parentid = ?, seq = ? WHERE nickid = ? AND catid = ?"
                                                    " AND (catname <> ? OR parentid <> ? OR seq <> ?)"),
                             {k.name, parent, k.sort, ctx.nickid, ids.value(k.cid), k.name, parent, k.sort});
        changed += u.numRowsAffected() > 0 && !freshCids.contains(k.cid) ? 1 : 0;
    }
    ctx.answer.add(QStringLiteral("total_results"), qint64(cats.size()));
    ctx.answer.add(QStringLiteral("added"), added);
    ctx.answer.add(QStringLiteral("changed"), changed);
}

struct TItem {
    QString numIid, title, outerId, price, status, cid, modified, picUrl;
    qint64 num = 0;
};

TItem itemOf(const QSqlQuery& q)
{
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(), q.value(5).toString(),
            q.value(6).toString(), q.value(7).toString(), q.value(8).toString(), q.value(4).toLongLong()};
}

// Stores items whole, many at once: the goods (found by item id, else by seller code, else new
// under the seller code or the item id), their SKUs as listed now, and a mapping for each SKU
// whose seller code is a product's code and that has none yet. The seller's own fields
// (brand, costs, norms, remark, deleted mark) stay as they are.
void storeItems(TContext& ctx, TMarketSimulator& market, const QString& account, const std::vector<TItem>& items,
                const QHash<QString, qint64>& categories)
{
    if (items.empty())
        return;
    QStringList iids, codes;
    for (const TItem& i : items) {
        iids << i.numIid;
        codes << i.numIid;
        if (!i.outerId.isEmpty())
            codes << i.outerId;
    }
    QHash<QString, QString> codeOfItem;     // num_iid -> goodscode already linked
    QHash<QString, QString> itemOfCode;     // goodscode -> its num_iid
    KxForKeys(ctx.db, QStringLiteral("SELECT num_iid, goodscode FROM kx_goods WHERE nickid = ? AND num_iid IN (%1)"), {ctx.nickid}, iids,
              [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      codeOfItem.insert(q.value(0).toString(), q.value(1).toString());
              });
    KxForKeys(ctx.db, QStringLiteral("SELECT goodscode, num_iid FROM kx_goods WHERE nickid = ? AND goodscode IN (%1)"), {ctx.nickid}, codes,
              [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      itemOfCode.insert(q.value(0).toString(), q.value(1).toString());
              });
    QVariantList rows;
    QHash<QString, QString> goodsOf, titleOf;
    for (const TItem& i : items) {
        QString code = codeOfItem.value(i.numIid);
        if (code.isEmpty()) {
            const auto usable = [&](const QString& c) {
                return !c.isEmpty() && c.size() <= 20 && (!itemOfCode.contains(c) || itemOfCode.value(c).isEmpty() || itemOfCode.value(c) == i.numIid);
            };
            code = usable(i.outerId) ? i.outerId : usable(i.numIid) ? i.numIid : QStringLiteral("I") + i.numIid.right(19);
            itemOfCode.insert(code, i.numIid);
        }
        goodsOf.insert(i.numIid, code);
        titleOf.insert(i.numIid, i.title.left(100));
        rows << code << i.title.left(100) << categories.value(i.cid, 0) << i.price << i.numIid << i.status << md5Of(ctx.nickid + i.numIid);
    }
    KxDoc::insertShared(ctx.db, QStringLiteral("kx_goods"), {QStringLiteral("nickid"), QStringLiteral("brand_id")}, {ctx.nickid, QString()},
                        {QStringLiteral("goodscode"), QStringLiteral("goodsname"), QStringLiteral("catid"), QStringLiteral("saleprice"),
                         QStringLiteral("num_iid"), QStringLiteral("approve_status"), QStringLiteral("md5_key")},
                        {QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("INTEGER"), QStringLiteral("NUMERIC(18,4)"),
                         QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT")},
                        rows,
                        QStringLiteral(" ON CONFLICT (nickid, goodscode) DO UPDATE SET goodsname = excluded.goodsname, saleprice = excluded.saleprice,"
                                       " num_iid = excluded.num_iid, approve_status = excluded.approve_status,"
                                       " catid = CASE WHEN excluded.catid <> 0 THEN excluded.catid ELSE kx_goods.catid END"));

    // The SKUs as the marketplace lists them now.
    KxForKeys(ctx.db, QStringLiteral("DELETE FROM kx_goods_sku WHERE nickid = ? AND num_iid IN (%1)"), {ctx.nickid}, iids,
              [](QSqlQuery&, qsizetype, qsizetype) {});
    QVariantList skus;
    QStringList outers;
    struct TSku { QString numIid, skuId, outerId, props; };
    std::vector<TSku> listed;
    QSqlQuery s = market.skusOf(iids);
    while (s.next()) {
        const QString numIid = s.value(0).toString();
        skus << numIid << s.value(1) << goodsOf.value(numIid) << s.value(2) << s.value(3) << s.value(6) << s.value(7) << s.value(4) << s.value(5);
        if (!s.value(2).toString().isEmpty()) {
            outers << s.value(2).toString();
            listed.push_back({numIid, s.value(1).toString(), s.value(2).toString(), s.value(3).toString()});
        }
    }
    s.finish();
    KxDoc::insertShared(ctx.db, QStringLiteral("kx_goods_sku"), {QStringLiteral("nickid")}, {ctx.nickid},
                        {QStringLiteral("num_iid"), QStringLiteral("sku_id"), QStringLiteral("goodscode"), QStringLiteral("outer_id"),
                         QStringLiteral("properties_name"), QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("price"),
                         QStringLiteral("quantity")},
                        {QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"),
                         QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("NUMERIC(18,4)"), QStringLiteral("INTEGER")},
                        skus);

    // A SKU whose seller code is a product's code is that product, unless an operator said otherwise.
    if (listed.empty())
        return;
    QSet<QString> products;
    KxForKeys(ctx.db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = ? AND is_del = 0 AND commoditycode IN (%1)"), {ctx.nickid},
              outers, [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      products.insert(q.value(0).toString());
              });
    QVariantList binds;
    const QString now = KxLocalNowText();
    for (const TSku& k : listed)
        if (products.contains(k.outerId))
            binds << k.numIid << k.skuId << k.outerId << account << titleOf.value(k.numIid) << k.props.left(200)
                  << KxItemPicturePath(k.numIid) << md5Of(ctx.nickid + k.numIid + QLatin1Char('/') + k.skuId);
    KxDoc::insertShared(ctx.db, QStringLiteral("kx_sku_bind"), {QStringLiteral("nickid"), QStringLiteral("operid"), QStringLiteral("bound_at")},
                        {ctx.nickid, QString(), now},
                        {QStringLiteral("num_iid"), QStringLiteral("sku_id"), QStringLiteral("commoditycode"), QStringLiteral("nick"),
                         QStringLiteral("title"), QStringLiteral("sku_properties_name"), QStringLiteral("pic_path"), QStringLiteral("md5_key")},
                        {QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"),
                         QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("TEXT")},
                        binds, QStringLiteral(" ON CONFLICT (nickid, num_iid, sku_id) DO NOTHING"));
    // Orders downloaded before their SKU was known wait for it: they are bound now.
    if (!binds.isEmpty())
        KxBindWaitingOrderLines(ctx);
}

// Items of one listing state, run by run as the order download: page 1 (the one-item probe,
// or a page that follows no probe) fixes the run's end at the marketplace's time now and
// counts the items changed since the last completed run; the pages go on by (modified,
// num_iid) from where the previous one stopped; the last page completes the run.
void downGoods(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString status = ctx.need(QStringLiteral("status")).trimmed();
    const qint64 pageNo = ctx.intParam(QStringLiteral("page_no"), 1);
    const qint64 pageSize = ctx.intParam(QStringLiteral("page_size"), 50);
    if (status != QLatin1String("onsale") && status != QLatin1String("instock"))
        throw TServiceError(kxBadParam, QStringLiteral("宝贝状态应为 onsale 或 instock：%1").arg(status.left(20)));
    if (pageNo < 1)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_no 应大于零"));
    if (pageSize < 1 || pageSize > 100)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_size 应在 1 到 100 之间"));

    TMarketSimulator market(ctx.db, ctx.nickid);
    const QVariantList key{ctx.nickid, account, status};
    if (pageNo == 1)
        KxExec(ctx.db, QStringLiteral("INSERT INTO kx_goods_sync (nickid, seller_nick, status) VALUES (?, ?, ?)"
                                      " ON CONFLICT (nickid, seller_nick, status) DO NOTHING"), key);
    QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT done_until, run_until, run_modified, run_iid, run_total, run_page, run_size"
                                                " FROM kx_goods_sync WHERE nickid = ? AND seller_nick = ? AND status = ?"), key);
    const bool known = s.next();
    const QString doneUntil = s.value(0).toString();
    QString until = known ? s.value(1).toString() : QString(), lastModified = s.value(2).toString(), lastIid = s.value(3).toString();
    qint64 total = s.value(4).toLongLong();
    const qint64 runPage = s.value(5).toLongLong(), runSize = s.value(6).toLongLong();
    s.finish();

    const bool continuesProbe = pageNo == 1 && runPage == 1 && runSize == 1 && pageSize > 1 && !until.isEmpty();
    if (pageNo == 1 && !continuesProbe) {
        until = TLiveMarket(ctx.db, ctx.nickid, market).catchUp().toString(kStamp);
        lastModified.clear();
        lastIid.clear();
        total = market.countItems(status, doneUntil, until);
    } else if (until.isEmpty()) {
        // The run has ended (or never began): nothing more to fetch.
        ctx.answer.add(QStringLiteral("total_results"), 0);
        ctx.answer.add(QStringLiteral("fetched"), 0);
        return;
    }

    std::vector<TItem> items;
    QSqlQuery page = market.items(status, doneUntil, until, lastModified, lastIid, int(pageSize) + 1);
    while (page.next())
        items.push_back(itemOf(page));
    page.finish();
    const bool more = qint64(items.size()) > pageSize;
    if (more)
        items.pop_back();
    storeItems(ctx, market, account, items, categoryIds(ctx));
    if (!items.empty()) {
        lastModified = items.back().modified;
        lastIid = items.back().numIid;
    }
    if (more) {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_goods_sync SET run_until = ?, run_modified = ?, run_iid = ?, run_total = ?, run_page = ?, run_size = ?"
                                      " WHERE nickid = ? AND seller_nick = ? AND status = ?"),
               QVariantList{until, lastModified, lastIid, total, pageNo, pageSize} + key);
    } else {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_goods_sync SET done_until = ?, run_until = '', run_modified = '', run_iid = '', run_total = 0,"
                                      " run_page = 0, run_size = 0 WHERE nickid = ? AND seller_nick = ? AND status = ?"),
               QVariantList{until} + key);
        if (total >= 500)
            KxAnalyse(ctx.db, {QStringLiteral("kx_goods"), QStringLiteral("kx_goods_sku"), QStringLiteral("kx_sku_bind")});
    }
    ctx.answer.add(QStringLiteral("total_results"), total);
    ctx.answer.add(QStringLiteral("fetched"), qint64(items.size()));
}

void downGood(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString numIid = ctx.need(QStringLiteral("num_iid")).trimmed();
    TMarketSimulator market(ctx.db, ctx.nickid);
    QSqlQuery q = market.item(numIid);
    if (!q.next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有宝贝 %1").arg(numIid.left(40)));
    const std::vector<TItem> items{itemOf(q)};
    q.finish();
    storeItems(ctx, market, account, items, categoryIds(ctx));
    ctx.answer.add(QStringLiteral("goodscode"),
                   KxScalar(ctx.db, QStringLiteral("SELECT goodscode FROM kx_goods WHERE nickid = ? AND num_iid = ?"), {ctx.nickid, numIid}).toString());
}

}
