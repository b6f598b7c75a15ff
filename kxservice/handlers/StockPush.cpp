#include "StockPush.h"

#include "store/Paging.h"
#include "market/Simulator.h"
#include "store/BulkWrite.h"
#include "store/Packet.h"
#include "uRequest.h"

namespace {
using Col = TPacketColumn;

// On hand in the dispatch storages. A picking list leaves its storage at its audit, so the
// pieces of audited lists not shipped yet are already out of this figure.
const char* const kSellingStock =
    "(SELECT COALESCE(SUM(k.stocknum), 0) FROM kx_stock k JOIN kx_storage s ON s.nickid = k.nickid AND s.storageid = k.storageid"
    " WHERE k.nickid = t.nickid AND k.commoditycode = t.commoditycode AND s.storagetype = %1)";
// Pieces of paid orders not on a picking list yet: sold at the marketplace, still in the storage.
const char* const kPresell =
    "(SELECT COALESCE(SUM(o.num), 0) FROM kx_trade_order o JOIN kx_trade r ON r.nickid = o.nickid AND r.tid = o.tid"
    " WHERE o.nickid = t.nickid AND o.commoditycode = t.commoditycode AND r.dbstatus = 'NOT_PICKING' AND r.status = 'WAIT_SELLER_SEND_GOODS')";

QString sellingStock()
{
    return QString::fromLatin1(kSellingStock).arg(kKxSellingStorageType);
}

const char* const kFrom = " FROM kx_commodity t LEFT JOIN kx_goods g ON g.nickid = t.nickid AND g.goodscode = t.goodscode";

// The conditions both views take.
QString conditions(TContext& ctx, QVariantList& args)
{
    QString where = QStringLiteral("t.nickid = ?");
    args = {ctx.nickid};
    const QString code = ctx.param(QStringLiteral("commoditycode")).trimmed();
    if (!code.isEmpty()) {
        where += QStringLiteral(" AND (t.commoditycode = ? OR t.barcode = ?)");
        args << code << code;
    }
    const QString name = ctx.param(QStringLiteral("commodityname")).trimmed();
    if (!name.isEmpty()) {
        where += QStringLiteral(" AND t.commodityname LIKE ? ESCAPE '\\'");
        args << KxLikeContains(name);
    }
    for (const char* exact : {"goodscode", "propcolor", "propsize"}) {
        const QString v = ctx.param(QString::fromLatin1(exact)).trimmed();
        if (!v.isEmpty()) {
            where += QStringLiteral(" AND t.%1 = ?").arg(QLatin1String(exact));
            args << v;
        }
    }
    const QString cat = ctx.param(QStringLiteral("catid")).trimmed();
    if (!cat.isEmpty()) {
        where += QStringLiteral(" AND g.catid = ?");
        args << ctx.intParam(QStringLiteral("catid"), 0);
    }
    for (const char* f : {"is_del", "is_pack"}) {
        const QString v = ctx.param(QString::fromLatin1(f)).trimmed().toLower();
        if (v.isEmpty())
            continue;
        if (v != QLatin1String("0") && v != QLatin1String("1") && v != QLatin1String("true") && v != QLatin1String("false"))
            throw TServiceError(kxBadParam, QStringLiteral("参数 %1 只能是 0 或 1").arg(QLatin1String(f)));
        where += QStringLiteral(" AND t.%1 = ?").arg(QLatin1String(f));
        args << ((v == QLatin1String("1") || v == QLatin1String("true")) ? 1 : 0);
    }
    // Products whose stock over every storage is below their minimum (the home tab's figure).
    if (ctx.param(QStringLiteral("belowmin")).trimmed() == QLatin1String("1"))
        where += QStringLiteral(" AND ") + QLatin1String(kKxBelowMinimumStock);
    return where;
}

const char* const kProperties = "TRIM(t.propcolor || ' ' || t.propsize)";

void list(TContext& ctx, bool stock)
{
    QVariantList args;
    const QString where = conditions(ctx, args);
    QString select = QStringLiteral("t.commoditycode, t.commodityname, ") + QLatin1String(kProperties);
    QList<Col> cols{{QStringLiteral("commoditycode"), Col::Text, 20}, {QStringLiteral("commodityname"), Col::Text, 100},
                    {QStringLiteral("properties_name"), Col::Text, 50}};
    if (stock) {
        select += QStringLiteral(", ") + QLatin1String(kPresell) + QStringLiteral(", ") + sellingStock();
        cols << Col{QStringLiteral("presell"), Col::Integer} << Col{QStringLiteral("stocknum"), Col::Integer};
    } else {
        select += QStringLiteral(", t.saleprice");
        cols << Col{QStringLiteral("saleprice"), Col::Decimal, 0, 2};
    }
    select += QStringLiteral(", '', t.md5_key, t.is_pack, t.is_del, g.catid");
    cols << Col{QStringLiteral("errormsg"), Col::Text, 200} << Col{QStringLiteral("md5_key"), Col::Text, 32}
         << Col{QStringLiteral("is_pack"), Col::Boolean} << Col{QStringLiteral("is_del"), Col::Boolean}
         << Col{QStringLiteral("catid"), Col::Integer};
    KxAnswerPageFrom(ctx, select, QString::fromLatin1(kFrom), where, args, QStringLiteral("t.commoditycode"), cols);
}

void stockList(TContext& ctx) { list(ctx, true); }
void priceList(TContext& ctx) { list(ctx, false); }

struct TProduct {
    QString code;
    bool pack = false;
    qint64 sellable = 0;   // what the marketplace may sell: the dispatch stock less the pre-sold
    QString price;
    QList<TMarketSimulator::TSkuPush> skus;   // every SKU mapped to it, with the figure to send
    QStringList refused;                      // "SKU：reason" of those the marketplace refuses
    QString refusal;                          // why nothing of the product is sent
};

// The products of `codes`, in that order, with their figures and mapped SKUs: a few
// statements for all of them.
std::vector<TProduct> products(TContext& ctx, const QStringList& codes)
{
    QHash<QString, TProduct> found;
    KxForKeys(ctx.db, QStringLiteral("SELECT t.commoditycode, t.is_pack, %1 - %2, t.saleprice FROM kx_commodity t"
                                     " WHERE t.nickid = ? AND t.commoditycode IN (%3)").arg(sellingStock(), QLatin1String(kPresell), QStringLiteral("%1")),
              {ctx.nickid}, codes, [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      found.insert(q.value(0).toString(), {q.value(0).toString(), q.value(1).toInt() != 0,
                                                           std::max<qint64>(0, q.value(2).toLongLong()), q.value(3).toString(), {}, {}, {}});
              });
    QHash<QString, QList<QPair<QString, QString>>> binds;
    KxForKeys(ctx.db, QStringLiteral("SELECT commoditycode, num_iid, sku_id FROM kx_sku_bind WHERE nickid = ? AND commoditycode IN (%1)"
                                     " ORDER BY commoditycode, num_iid, sku_id"),
              {ctx.nickid}, codes, [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next()) {
                      auto& list = binds[q.value(0).toString()];
                      const QPair<QString, QString> sku{q.value(1).toString(), q.value(2).toString()};
                      if (!list.contains(sku))
                          list.append(sku);
                  }
              });
    std::vector<TProduct> out;
    for (const QString& code : codes) {
        auto it = found.find(code);
        if (it == found.end()) {
            TProduct missing;
            missing.code = code;
            missing.refusal = QStringLiteral("商品【%1】不存在").arg(code.left(40));
            out.push_back(missing);
            continue;
        }
        TProduct p = *it;
        if (p.pack) {
            // A bundle holds no stock of its own: as many whole bundles as its scarcest component allows.
            QSqlQuery c = KxExec(ctx.db, QStringLiteral("SELECT k.num, %1 - %2 FROM kx_pack k JOIN kx_commodity t"
                                                        " ON t.nickid = k.nickid AND t.commoditycode = k.subcommoditycode"
                                                        " WHERE k.nickid = ? AND k.commoditycode = ?").arg(sellingStock(), QLatin1String(kPresell)),
                                 {ctx.nickid, p.code});
            qint64 bundles = -1;
            while (c.next()) {
                const double per = c.value(0).toDouble();
                const qint64 have = std::max<qint64>(0, c.value(1).toLongLong());
                const qint64 n = per > 0 ? qint64(double(have) / per) : 0;
                bundles = bundles < 0 ? n : std::min(bundles, n);
            }
            p.sellable = std::max<qint64>(0, bundles);
        }
        for (const auto& [numIid, skuId] : binds.value(code))
            p.skus.append({numIid, skuId, QString()});
        if (p.skus.isEmpty())
            p.refusal = QStringLiteral("商品【%1】没有对应的网店宝贝SKU，请先在商品对应里对应").arg(p.code);
        out.push_back(p);
    }
    return out;
}

QString skuName(const TMarketSimulator::TSkuPush& s)
{
    return s.numIid == s.skuId ? s.numIid : s.numIid + QLatin1Char('/') + s.skuId;
}

// Every marketplace SKU mapped to a product gets its figure. A product without a mapping, or
// a SKU the marketplace refuses (gone from the item), refuses that product's push whole:
// nothing of it is sent, and the message names every refused SKU with the marketplace's
// reason. The SKUs of all products taken are written together.
void pushProducts(TContext& ctx, bool stock, std::vector<TProduct>& list)
{
    TMarketSimulator market(ctx.db, ctx.nickid);
    QList<TMarketSimulator::TSkuPush> all;
    for (TProduct& p : list) {
        if (!p.refusal.isEmpty())
            continue;
        const QString price = QString::number(p.price.toDouble(), 'f', 2);
        if (!stock && price.toDouble() <= 0) {
            for (const auto& s : p.skus)
                p.refused << QStringLiteral("%1：%2").arg(skuName(s), QStringLiteral("售价必须大于零：%1").arg(price));
        }
        for (auto& s : p.skus) {
            s.figure = stock ? QString::number(std::min<qint64>(p.sellable, std::numeric_limits<int>::max())) : price;
            all.append(s);
        }
    }
    const QStringList reasons = market.refusals(all);
    qsizetype at = 0;
    QList<TMarketSimulator::TSkuPush> taken;
    for (TProduct& p : list) {
        if (!p.refusal.isEmpty())
            continue;
        for (const auto& s : p.skus) {
            const QString reason = reasons.value(at++);
            if (!reason.isEmpty())
                p.refused << QStringLiteral("%1：%2").arg(skuName(s), reason);
        }
        if (!p.refused.isEmpty())
            p.refusal = QStringLiteral("商品【%1】同步失败：%2").arg(p.code, p.refused.join(QStringLiteral("；")));
        else
            taken += p.skus;
    }
    market.pushMany(stock, taken);
}

// "commoditycode": one product (refused as a whole with the marketplace's reason), or many
// joined by "," as the views' run over every row sends them: each product's result in the
// answer, the refused named with the reason while the others go on.
void push(TContext& ctx, bool stock)
{
    QStringList codes;
    for (const QString& part : ctx.need(QStringLiteral("commoditycode")).split(QLatin1Char(',')))
        if (!part.trimmed().isEmpty() && !codes.contains(part.trimmed()))
            codes << part.trimmed();
    if (codes.isEmpty())
        throw TServiceError(kxMissingParam, QStringLiteral("缺少参数 commoditycode"));
    if (codes.size() > kKxPushBatch)
        throw TServiceError(kxBadParam, QStringLiteral("一次最多同步 %1 个商品").arg(kKxPushBatch));
    const bool many = ctx.need(QStringLiteral("commoditycode")).contains(QLatin1Char(','));
    std::vector<TProduct> list = products(ctx, codes);
    pushProducts(ctx, stock, list);
    if (!many) {
        const TProduct& p = list.front();
        if (!p.refusal.isEmpty())
            throw TServiceError(kxRefused, p.refusal);
        QStringList done;
        for (const auto& s : p.skus)
            done << skuName(s);
        if (stock)
            ctx.answer.add(QStringLiteral("stocknum"), p.sellable);
        else
            ctx.answer.add(QStringLiteral("saleprice"), QString::number(p.price.toDouble(), 'f', 2));
        ctx.answer.add(QStringLiteral("done"), done.join(QLatin1Char(',')));
        return;
    }
    QStringList pushed, refused;
    for (const TProduct& p : list) {
        if (p.refusal.isEmpty())
            pushed << p.code;
        else
            refused << p.code + QStringLiteral("：") + p.refusal;
    }
    ctx.answer.add(QStringLiteral("pushed"), pushed.join(QLatin1Char(',')));
    ctx.answer.add(QStringLiteral("refused"), refused.join(QLatin1Char('\n')));
}

void pushStock(TContext& ctx) { push(ctx, true); }
void pushPrice(TContext& ctx) { push(ctx, false); }
}

const std::vector<TMethodDef>& KxStockPushMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"CommodityStock.Search", EAccess::Module, ETx::Read, stockList},
        {"CommodityPrice.Search", EAccess::Module, ETx::Read, priceList},
        {"NetShop.UpdateStock", EAccess::Module, ETx::Write, pushStock},
        {"NetShop.UpdatePrice", EAccess::Module, ETx::Write, pushPrice},
    };
    return methods;
}
