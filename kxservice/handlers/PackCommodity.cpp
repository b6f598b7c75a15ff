#include "PackCommodity.h"

#include "Goods.h"
#include "MasterTable.h"
#include "store/History.h"
#include "TDecimal.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/Packet.h"
#include "store/Paging.h"
#include "uRequest.h"

#include <QSet>
#include <map>

namespace {
using Col = TPacketColumn;

void packSearch(TContext& ctx);
void packLoad(TContext& ctx);
void packUpdate(TContext& ctx);
}

const std::vector<TMethodDef>& KxPackCommodityMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"PackCommodity.Search", EAccess::Module, ETx::Read, packSearch},
        {"PackCommodity.Load", EAccess::Module, ETx::Read, packLoad},
        {"PackCommodity.Update", EAccess::Module, ETx::Own, packUpdate},
    };
    // The rows' history is read by whoever may list them.
    static const bool areas = [] {
        KxHistoryArea(QStringLiteral("PackCommodity"), QString::fromLatin1(KxPackMasterTable().table), QStringLiteral("PackCommodity.Search"));
        return true;
    }();
    (void)areas;
    return methods;
}

namespace {
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
            const QStringList touched = KxMdSave(ctx, KxPackMasterTable(), *master);
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
