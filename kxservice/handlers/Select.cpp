#include "Select.h"

#include "store/Paging.h"
#include "store/Packet.h"
#include "uRequest.h"

namespace {
using Col = TPacketColumn;

// How a request parameter narrows a list: exact value, a part of the text, a 0/1 flag or a
// whole number; a product code also finds the product whose barcode it is, so a code entry
// takes what a scanner reads. Parameters a list does not know are not conditions of it.
// A supplier's products are those of the goods it delivers; a supplier with no goods rows
// delivers anything.
enum class Match { Exact, Contains, Flag, Number, CodeOrBarcode, SupplierGoods };

struct TCondition {
    const char* param;
    const char* column; // SQL expression
    Match match;
};

struct TColumn {
    const char* name;
    const char* expr;
    Col::Kind kind;
    int size;
};

struct TSelectList {
    const char* method;
    const char* from;   // FROM ... (joins may use "?" placeholders filled by joinArgs)
    const char* where;  // fixed part, after the seller
    const char* order;
    std::vector<TColumn> columns;
    std::vector<TCondition> conditions;
};

// Stock: of the storage named by "storageid", or over all storages without it.
const char* const kStockJoin =
    " LEFT JOIN (SELECT commoditycode, SUM(stocknum) AS stocknum FROM kx_stock WHERE nickid = ?"
    " AND (? = '' OR storageid = ?) GROUP BY commoditycode) s ON s.commoditycode = c.commoditycode";

const std::vector<TSelectList>& lists()
{
    static const std::vector<TSelectList> all = {
        {"Select.GoodsSearch", " FROM kx_goods g", "", "g.goodscode",
         {{"goodscode", "g.goodscode", Col::Text, 20}, {"goodsname", "g.goodsname", Col::Text, 100},
          {"brand_id", "g.brand_id", Col::Text, 20}, {"propstyle", "g.propstyle", Col::Text, 50},
          {"unit", "g.units", Col::Text, 10}, {"saleprice", "g.saleprice", Col::Decimal, 0},
          {"num_iid", "g.num_iid", Col::Text, 20}, {"approve_status", "g.approve_status", Col::Text, 20},
          {"catid", "g.catid", Col::Integer, 0}, {"costprice", "g.costprice", Col::Decimal, 0},
          {"wholesale", "g.wholesale", Col::Decimal, 0}, {"norms", "g.norms", Col::Text, 100}, {"is_del", "g.is_del", Col::Boolean, 0}},
         {{"goodscode", "g.goodscode", Match::Exact}, {"goodsname", "g.goodsname", Match::Contains},
          {"brand_id", "g.brand_id", Match::Exact}, {"num_iid", "g.num_iid", Match::Exact},
          {"approve_status", "g.approve_status", Match::Exact}, {"catid", "g.catid", Match::Number},
          {"is_del", "g.is_del", Match::Flag}}},
        {"Select.CommoditySearch", " FROM kx_commodity c JOIN kx_goods g ON g.nickid = c.nickid AND g.goodscode = c.goodscode",
         "", "c.commoditycode",
         {{"commoditycode", "c.commoditycode", Col::Text, 20}, {"goodscode", "c.goodscode", Col::Text, 20},
          {"barcode", "c.barcode", Col::Text, 30}, {"commodityname", "c.commodityname", Col::Text, 100},
          {"propstyle", "c.propstyle", Col::Text, 50}, {"propcolor", "c.propcolor", Col::Text, 20}, {"propsize", "c.propsize", Col::Text, 20},
          {"unit", "g.units", Col::Text, 10}, {"costprice", "c.costprice", Col::Decimal, 0},
          {"saleprice", "c.saleprice", Col::Decimal, 0}, {"wholesale", "c.wholesale", Col::Decimal, 0},
          {"stocknum", "COALESCE(s.stocknum, 0)", Col::Integer, 0}, {"is_pack", "c.is_pack", Col::Boolean, 0},
          {"catid", "g.catid", Col::Integer, 0}},
         {{"commoditycode", "c.commoditycode", Match::CodeOrBarcode}, {"goodscode", "c.goodscode", Match::Exact},
          {"barcode", "c.barcode", Match::Exact}, {"commodityname", "c.commodityname", Match::Contains},
          {"is_del", "c.is_del", Match::Flag}, {"is_pack", "c.is_pack", Match::Flag},
          {"catid", "g.catid", Match::Number}, {"suppliercode", "c.goodscode", Match::SupplierGoods}}},
        {"Select.SupplierSearch", " FROM kx_supplier p", "", "p.suppliercode",
         {{"suppliercode", "p.suppliercode", Col::Text, 20}, {"suppliername", "p.suppliername", Col::Text, 100},
          {"linkman", "p.linkman", Col::Text, 50}, {"phone", "p.phone", Col::Text, 30},
          {"address", "p.address", Col::Text, 200}, {"status", "p.status", Col::Integer, 0},
          {"catid", "p.catid", Col::Integer, 0}},
         {{"suppliercode", "p.suppliercode", Match::Exact}, {"suppliername", "p.suppliername", Match::Contains},
          {"status", "p.status", Match::Number}, {"catid", "p.catid", Match::Number}}},
        {"Select.PropColorSearch", " FROM kx_prop p", " AND p.proptype = 'color'", "p.propid",
         {{"propid", "p.propid", Col::Text, 20}, {"propname", "p.propname", Col::Text, 50}, {"isuse", "p.isuse", Col::Boolean, 0}},
         {{"propid", "p.propid", Match::Exact}, {"propname", "p.propname", Match::Contains}, {"isuse", "p.isuse", Match::Flag}}},
        {"Select.PropSizeSearch", " FROM kx_prop p", " AND p.proptype = 'size'", "p.propid",
         {{"propid", "p.propid", Col::Text, 20}, {"propname", "p.propname", Col::Text, 50}, {"isuse", "p.isuse", Col::Boolean, 0}},
         {{"propid", "p.propid", Match::Exact}, {"propname", "p.propname", Match::Contains}, {"isuse", "p.isuse", Match::Flag}}},
        // "mobile" is the card's phone under the name the pickers' search panels use.
        {"Select.VipcardSearch", " FROM kx_vipcard v", "", "v.vipid",
         {{"vipid", "v.vipid", Col::Text, 20}, {"vipname", "v.vipname", Col::Text, 50}, {"mobile", "v.phone", Col::Text, 30},
          {"discount", "v.discount", Col::Decimal, 0}, {"isuse", "v.is_use", Col::Boolean, 0}, {"catid", "v.catid", Col::Integer, 0},
          {"sex", "v.sex", Col::Text, 2}, {"tel", "v.tel", Col::Text, 30}, {"address", "v.address", Col::Text, 200}},
         {{"vipid", "v.vipid", Match::Exact}, {"vipname", "v.vipname", Match::Contains}, {"mobile", "v.phone", Match::Exact},
          {"isuse", "v.is_use", Match::Flag}, {"is_use", "v.is_use", Match::Flag}, {"catid", "v.catid", Match::Number}}},
        {"Select.RefundRenSearch", " FROM kx_sendren r", "", "r.renid",
         {{"renid", "r.renid", Col::Text, 20}, {"sender_name", "r.sender_name", Col::Text, 50},
          {"sender_address", "r.sender_address", Col::Text, 200}, {"sender_zip", "r.sender_zip", Col::Text, 10},
          {"sender_mobile", "r.sender_mobile", Col::Text, 20}, {"sender_phone", "r.sender_phone", Col::Text, 30}},
         {{"renid", "r.renid", Match::Exact}, {"sender_name", "r.sender_name", Match::Contains}}},
    };
    return all;
}

const TSelectList& listOf(const TContext& ctx)
{
    for (const TSelectList& l : lists())
        if (ctx.call.method() == QLatin1String(l.method))
            return l;
    throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法：%1").arg(ctx.call.method()));
}

QString likePattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

void search(TContext& ctx)
{
    const TSelectList& l = listOf(ctx);
    QString from = QString::fromLatin1(l.from);
    QVariantList args;
    const bool commodity = from.contains(QLatin1String("kx_commodity"));
    if (commodity) {
        const QString storage = KxTrimLow(ctx.param(QStringLiteral("storageid")));
        from += QString::fromLatin1(kStockJoin);
        args << ctx.nickid << storage << storage;
    }
    // The seller first: the table of the FROM part is the first alias.
    const QString alias = from.section(QLatin1Char(' '), 3, 3);
    QString where = alias + QStringLiteral(".nickid = ?") + QString::fromLatin1(l.where);
    args << ctx.nickid;
    for (const TCondition& c : l.conditions) {
        const QString v = KxTrimLow(ctx.param(QString::fromLatin1(c.param)));
        if (v.isEmpty())
            continue;
        const QString column = QString::fromLatin1(c.column);
        switch (c.match) {
        case Match::Exact:
            where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
            args << v;
            break;
        case Match::CodeOrBarcode:
            where += QStringLiteral(" AND (") + column + QStringLiteral(" = ? OR c.barcode = ?)");
            args << v << v;
            break;
        case Match::Contains:
            where += QStringLiteral(" AND ") + column + QStringLiteral(" LIKE ? ESCAPE '\\'");
            args << likePattern(v);
            break;
        case Match::Flag:
            if (v != QLatin1String("0") && v != QLatin1String("1") && v.compare(QLatin1String("true"), Qt::CaseInsensitive) != 0
                && v.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0)
                throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为 0 或 1").arg(QString::fromLatin1(c.param)));
            where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
            args << ((v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) ? 1 : 0);
            break;
        case Match::Number:
            where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
            args << ctx.intParam(QString::fromLatin1(c.param), 0);
            break;
        case Match::SupplierGoods:
            where += QStringLiteral(" AND (NOT EXISTS (SELECT 1 FROM kx_supplier_goods sg WHERE sg.nickid = ? AND sg.suppliercode = ?)"
                                    " OR ") + column + QStringLiteral(" IN (SELECT sg.goodscode FROM kx_supplier_goods sg WHERE sg.nickid = ? AND sg.suppliercode = ?))");
            args << ctx.nickid << v << ctx.nickid << v;
            break;
        }
    }
    QStringList select;
    QList<Col> cols;
    for (const TColumn& c : l.columns) {
        select << QString::fromLatin1(c.expr);
        cols.append({QString::fromLatin1(c.name), c.kind, c.size});
    }
    KxAnswerPage(ctx, QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + from, where, args,
                 QString::fromLatin1(l.order), cols);
}

} // namespace

const std::vector<TMethodDef>& KxSelectMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        for (const TSelectList& l : lists())
            m.push_back({l.method, EAccess::Module, ETx::Read, search});
        return m;
    }();
    return methods;
}
