#include "DocPosting.h"

#include "DocSql.h"
#include "DocValues.h"

#include <QHash>
#include <algorithm>
#include <deque>
#include <functional>
#include <tuple>
#include <QSet>
#include <limits>
#include <map>

namespace KxDoc {

qint64 takeNumbers(TContext& ctx, const QString& series, qint64 count)
{
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, ?, 0) ON CONFLICT DO NOTHING"), {ctx.nickid, series});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_counter SET value = value + ? WHERE nickid = ? AND name = ?"), {count, ctx.nickid, series});
    return KxScalar(ctx.db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = ?"), {ctx.nickid, series}).toLongLong() - count + 1;
}

// Moves the stock: each (storage, product) once, many to a statement, and one ledger row per
// move with the stock after it, in line order. Stock may go negative: the shop sold what the
// books did not show, and the ledger says so; refusing the sale would only hide it.
//
// The stock is not read first: the statement that changes it returns what it holds then, and
// the ledger works back from there. So the stock rows are read and written once, and on
// PostgreSQL the figures are those of the rows this audit has locked, whatever another audit
// committed a moment before.
namespace {
// A line that carries a bundle moves its components instead: the line's quantity times each
// component's, through nested bundles, on the same line. Components of one line are moved once
// each. `parts` keeps the component lines the moves point at.
std::vector<TMove> withComponents(TContext& ctx, const std::vector<TMove>& moves, std::deque<TPost>& parts)
{
    QHash<QString, std::vector<std::pair<QString, TDecimal>>> bundles;
    QSet<QString> asked;
    QVariantList codes;
    for (const TMove& m : moves)
        if (!asked.contains(m.line->code)) {
            asked.insert(m.line->code);
            codes << m.line->code;
        }
    // Read level by level: the components of the codes found so far that are bundles.
    for (int depth = 0; !codes.isEmpty() && depth < 16; ++depth) {
        QVariantList next;
        inChunks(ctx.db, QStringLiteral("SELECT p.commoditycode, p.subcommoditycode, p.num FROM kx_pack p JOIN kx_commodity c"
                                        " ON c.nickid = p.nickid AND c.commoditycode = p.commoditycode"
                                        " WHERE p.nickid = ? AND c.is_pack = 1 AND p.commoditycode IN (%1) ORDER BY p.commoditycode, p.subcommoditycode"),
                 {ctx.nickid}, codes, [&](QSqlQuery& r) {
                     while (r.next()) {
                         const QString bundle = r.value(0).toString(), sub = r.value(1).toString();
                         auto& list = bundles[bundle];
                         if (std::any_of(list.begin(), list.end(), [&](const auto& e) { return e.first == sub; }))
                             continue;   // the padded IN list reads a bundle more than once
                         list.emplace_back(sub, TDecimal::Parse(r.value(2).toString()).value_or(TDecimal::FromInteger(0)));
                         if (!asked.contains(sub)) {
                             asked.insert(sub);
                             next << sub;
                         }
                     }
                 });
        codes = next;
    }
    if (bundles.isEmpty())
        return moves;

    std::vector<TMove> out;
    std::map<std::tuple<QString, int, QString>, size_t> at;   // (storage, line, product) -> index in out
    std::function<void(const TMove&, const QString&, qint64, int)> add = [&](const TMove& m, const QString& code, qint64 quantity, int depth) {
        const auto b = bundles.constFind(code);
        if (b == bundles.constEnd() || b->empty() || depth > 16) {
            const auto key = std::make_tuple(m.storage, m.line->seq, code);
            const auto found = at.find(key);
            if (found != at.end()) {
                out[found->second].quantity += quantity;
                return;
            }
            const TPost* line = m.line;
            if (code != m.line->code) {
                parts.push_back({m.line->seq, code, quantity, QString(), {}});
                line = &parts.back();
            }
            at.emplace(key, out.size());
            out.push_back({m.storage, line, quantity});
            return;
        }
        for (const auto& [sub, num] : *b) {
            const std::optional<TDecimal> n = num.Mul(TDecimal::FromInteger(quantity));
            const std::optional<TDecimal> whole = n ? n->Rescaled(0) : std::nullopt;
            if (!n || !whole || !(*whole == *n))
                throw TServiceError(kxRefused, QStringLiteral("第 %1 行的组装商品【%2】的组件【%3】数量不是整数，不能记账").arg(m.line->seq).arg(code, sub));
            add(m, sub, whole->ToString().toLongLong(), depth + 1);
        }
    };
    for (const TMove& m : moves)
        add(m, m.line->code, m.quantity, 0);
    return out;
}
}

void postStock(TContext& ctx, const TDocKind& k, const QString& id, const std::vector<TMove>& givenMoves, const QString& when)
{
    std::deque<TPost> parts;
    const std::vector<TMove> moves = withComponents(ctx, givenMoves, parts);
    // What each (storage, product) changes by; the products whose lines carry no cost price.
    std::map<QString, QHash<QString, qint64>> change;
    QVariantList uncosted;
    QSet<QString> seen;
    for (const TMove& m : moves) {
        qint64& c = change[m.storage][m.line->code];
        if ((m.quantity > 0 && c > std::numeric_limits<qint64>::max() - m.quantity)
            || (m.quantity < 0 && c < std::numeric_limits<qint64>::min() - m.quantity))
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行的库存超出范围").arg(m.line->seq));
        c += m.quantity;
        if (m.line->costprice.isEmpty() && !seen.contains(m.line->code)) {
            seen.insert(m.line->code);
            uncosted << m.line->code;
        }
    }
    QHash<QString, QString> costs;
    inChunks(ctx.db, QStringLiteral("SELECT commoditycode, costprice FROM kx_commodity WHERE nickid = ? AND commoditycode IN (%1)"),
             {ctx.nickid}, uncosted, [&](QSqlQuery& r) {
                 while (r.next())
                     costs.insert(r.value(0).toString(), r.value(1).toString());
             });

    // A missing stock row starts at the change, an existing one adds it; either way the row
    // comes back with the stock after the whole document.
    QVariantList changes;
    for (const auto& [storage, codes] : change)
        for (auto it = codes.begin(); it != codes.end(); ++it)
            changes << storage << it.key() << it.value();
    std::map<QString, QHash<QString, qint64>> stock;
    insertShared(ctx.db, QStringLiteral("kx_stock"), {QStringLiteral("nickid")}, {ctx.nickid},
                 {QStringLiteral("storageid"), QStringLiteral("commoditycode"), QStringLiteral("stocknum")},
                 {QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("BIGINT")}, changes,
                 QStringLiteral(" ON CONFLICT (nickid, storageid, commoditycode) DO UPDATE SET stocknum = kx_stock.stocknum + excluded.stocknum"
                                " RETURNING storageid, commoditycode, stocknum"),
                 [&](QSqlQuery& r) {
                     while (r.next())
                         stock[r.value(0).toString()][r.value(1).toString()] = r.value(2).toLongLong();
                 });
    // Back to the stock before the document, then forward line by line.
    for (auto& [storage, codes] : stock)
        for (auto it = codes.begin(); it != codes.end(); ++it)
            it.value() -= change[storage].value(it.key());

    qint64 ledger = takeNumbers(ctx, QStringLiteral("stockledger"), qint64(moves.size()));
    QVariantList rows;
    rows.reserve(qsizetype(moves.size()) * 7);
    for (const TMove& m : moves) {
        qint64& after = stock[m.storage][m.line->code];
        after += m.quantity;
        rows << ledger++ << m.storage << m.line->code << m.line->seq << m.quantity
             << (m.line->costprice.isEmpty() ? costs.value(m.line->code, QStringLiteral("0")) : m.line->costprice) << after;
    }
    // The ledger's key (kind, document, line, storage) refuses a second posting of a line;
    // the call's transaction then undoes everything this audit did.
    try {
        insertShared(ctx.db, QStringLiteral("kx_stock_ledger"),
                     {QStringLiteral("nickid"), QStringLiteral("created"), QStringLiteral("operid"), QStringLiteral("doctype"), QStringLiteral("docid")},
                     {ctx.nickid, when, ctx.operid, L(k.doctype), id},
                     {QStringLiteral("seq"), QStringLiteral("storageid"), QStringLiteral("commoditycode"), QStringLiteral("docseq"), QStringLiteral("quantity"),
                      QStringLiteral("costprice"), QStringLiteral("stockafter")},
                     {QStringLiteral("BIGINT"), QStringLiteral("TEXT"), QStringLiteral("TEXT"), QStringLiteral("INTEGER"), QStringLiteral("BIGINT"),
                      QStringLiteral("NUMERIC(18,4)"), QStringLiteral("BIGINT")}, rows);
    } catch (const TDbError& e) {
        const QString what = QString::fromStdString(e.what());
        if (!what.contains(QLatin1String("UNIQUE"), Qt::CaseInsensitive) && !what.contains(QLatin1String("duplicate"), Qt::CaseInsensitive))
            throw;
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】的明细已记入库存，不能重复记账").arg(L(k.title), id));
    }
}

void writePriceChanges(TContext& ctx, const TDocKind& k, const QString& id, const std::vector<TPriceChange>& changes, const QString& when)
{
    if (changes.empty())
        return;
    qint64 n = takeNumbers(ctx, QStringLiteral("pricehistory"), qint64(changes.size()));
    QVariantList rows;
    for (const TPriceChange& c : changes) {
        KxExec(ctx.db, QStringLiteral("UPDATE %1 SET %2 = ? WHERE nickid = ? AND %3 = ?").arg(c.table, c.field, c.keyField), {c.newValue, ctx.nickid, c.code});
        rows << ctx.nickid << n++ << when << ctx.operid << L(k.doctype) << id << c.seq << c.table.mid(3) << c.code << c.field << c.oldValue << c.newValue;
    }
    insertRows(ctx.db, QStringLiteral("INSERT INTO kx_price_history (nickid, seq, created, operid, doctype, docid, docseq, target, code, field,"
                                      " oldvalue, newvalue) VALUES "), 12, rows);
}

// A receipt's products cost, from now on, the average of the stock before (at the old cost)
// and the received pieces (at the receipt's cost). Stock at or below zero has no cost to
// average with: the receipt's cost is taken.
std::vector<TPriceChange> movingCosts(TContext& ctx, const std::vector<TPost>& posts)
{
    QVariantList codes;
    QSet<QString> seen;
    for (const TPost& p : posts)
        if (!seen.contains(p.code)) {
            seen.insert(p.code);
            codes << p.code;
        }
    QHash<QString, qint64> stock;
    QHash<QString, QString> cost;
    inChunks(ctx.db, QStringLiteral("SELECT commoditycode, SUM(stocknum) FROM kx_stock WHERE nickid = ? AND commoditycode IN (%1) GROUP BY commoditycode"),
             {ctx.nickid}, codes, [&](QSqlQuery& r) {
                 while (r.next())
                     stock.insert(r.value(0).toString(), r.value(1).toLongLong());
             });
    inChunks(ctx.db, QStringLiteral("SELECT commoditycode, costprice FROM kx_commodity WHERE nickid = ? AND commoditycode IN (%1)"),
             {ctx.nickid}, codes, [&](QSqlQuery& r) {
                 while (r.next())
                     cost.insert(r.value(0).toString(), r.value(1).toString());
             });
    std::vector<TPriceChange> out;
    for (const TPost& p : posts) {
        const TDecimal old = TDecimal::Parse(cost.value(p.code)).value_or(TDecimal::FromInteger(0));
        const TDecimal line = TDecimal::Parse(p.costprice).value_or(TDecimal::FromInteger(0));
        const qint64 have = stock.value(p.code);
        std::optional<TDecimal> next = line.Rescaled(4);
        if (have > 0) {
            const std::optional<TDecimal> a = old.Mul(TDecimal::FromInteger(have)), b = line.Mul(TDecimal::FromInteger(p.quantity));
            const std::optional<TDecimal> sum = a && b ? a->Add(*b) : std::nullopt;
            next = sum ? sum->Div(TDecimal::FromInteger(have + p.quantity), 4) : std::nullopt;
        }
        stock[p.code] = have + p.quantity;
        if (!next || *next == old)
            continue;
        out.push_back({QStringLiteral("kx_commodity"), QStringLiteral("commoditycode"), p.code, QStringLiteral("costprice"), old.ToString(), next->ToString(), p.seq});
        cost[p.code] = next->ToString();
    }
    return out;
}

// A price document's new prices onto the goods and every SKU of them, or onto single SKUs.
std::vector<TPriceChange> setPrices(TContext& ctx, const TDocKind& k, const std::vector<TPost>& posts)
{
    std::vector<TPriceChange> out;
    QHash<QString, QString> current;   // table \n code \n field -> value, as changed so far
    const auto change = [&](const QString& table, const QString& keyField, const QString& code, const QString& field, const QString& value, int seq) {
        const QString at = table + QLatin1Char('\n') + code + QLatin1Char('\n') + field;
        if (!current.contains(at))
            current.insert(at, KxScalar(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %3 = ?").arg(field, table, keyField),
                                        {ctx.nickid, code}).toString());
        if (sameDecimal(current.value(at), value))
            return;
        out.push_back({table, keyField, code, field, current.value(at), value, seq});
        current.insert(at, value);
    };
    for (const TPost& p : posts)
        for (const TDocPriceSet& s : k.priceSets) {
            const auto at = std::find_if(k.editable.begin(), k.editable.end(), [&](const char* e) { return qstrcmp(e, s.lineField) == 0; });
            const QString value = p.editable.value(int(at - k.editable.begin())).toString();
            if (k.level == EDocLevel::Goods) {
                change(QStringLiteral("kx_goods"), QStringLiteral("goodscode"), p.code, L(s.productField), value, p.seq);
                QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT commoditycode FROM kx_commodity WHERE nickid = ? AND goodscode = ? ORDER BY commoditycode"),
                                     {ctx.nickid, p.code});
                QStringList skus;
                while (q.next())
                    skus << q.value(0).toString();
                for (const QString& sku : skus)
                    change(QStringLiteral("kx_commodity"), QStringLiteral("commoditycode"), sku, L(s.productField), value, p.seq);
            } else {
                change(QStringLiteral("kx_commodity"), QStringLiteral("commoditycode"), p.code, L(s.productField), value, p.seq);
            }
        }
    return out;
}

} // namespace KxDoc
