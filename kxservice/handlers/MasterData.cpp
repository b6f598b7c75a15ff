#include "MasterData.h"
#include "MasterTable.h"

#include "Express.h"
#include "Power.h"

#include "dispatch/LoginGuard.h"
#include "store/BulkWrite.h"
#include "store/Packet.h"
#include "store/Passwords.h"
#include "TDecimal.h"
#include "uRequest.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <optional>

namespace {
using Col = TPacketColumn;

using TField = TMdField;
using TRef = TMdRef;
using TTable = TMdTable;

void checkStorage(TContext& ctx, QVariantMap& row, bool)
{
    const auto type = row.constFind(QStringLiteral("storagetype"));
    if (type != row.constEnd()
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_storagetype WHERE nickid = ? AND storagetype = ?"),
                     {ctx.nickid, *type}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("仓库类型 %1 不存在").arg(type->toString()));
}

// Property values are colours or sizes; a row made in the grid, which does not show the
// kind, is a colour.
void checkProp(TContext&, QVariantMap& row, bool insert)
{
    const auto type = row.find(QStringLiteral("proptype"));
    if (type == row.end())
        return;
    if (insert && type->toString().isEmpty())
        *type = QStringLiteral("color");
    if (*type != QLatin1String("color") && *type != QLatin1String("size"))
        throw TServiceError(kxRefused, QStringLiteral("属性类型只能是 color（颜色）或 size（尺码）"));
}

// The typed password becomes a hash; an empty one on an existing operator keeps the old.
void checkOperator(TContext& ctx, QVariantMap& row, bool insert)
{
    const auto use = row.constFind(QStringLiteral("isuse"));
    if (!insert && use != row.constEnd() && !use->isNull() && !use->toBool())
        KxKeepRightsHolder(ctx, row.value(QStringLiteral("operid")).toString());
    const auto psw = row.find(QStringLiteral("operpsw"));
    if (psw == row.end()) {
        if (insert)
            throw TServiceError(kxRefused, QStringLiteral("新操作员的密码不能为空"));
        return;
    }
    const QString password = psw->toString();
    row.erase(psw);
    if (password.isEmpty()) {
        if (insert)
            throw TServiceError(kxRefused, QStringLiteral("新操作员的密码不能为空"));
        return;
    }
    if (password.size() > 128)
        throw TServiceError(kxRefused, QStringLiteral("密码不能超过 128 个字符"));
    row.insert(QStringLiteral("pwhash"), KxHashPassword(password));
    // A new password from an administrator lifts a lock from failed logins.
    if (!insert)
        KxLiftLoginLock(ctx.db, ctx.nickid, row.value(QStringLiteral("operid")).toString());
}

void deleteOperator(TContext& ctx, const QString& operid)
{
    if (operid == ctx.operid)
        throw TServiceError(kxRefused, QStringLiteral("不能删除当前登录的操作员【%1】").arg(operid));
    KxKeepRightsHolder(ctx, operid);
    KxExec(ctx.db, QStringLiteral("DELETE FROM kx_power WHERE nickid = ? AND operid = ?"), {ctx.nickid, operid});
    KxExec(ctx.db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ?"), {ctx.nickid, operid});
}

// A carrier of the shop is one of the companies offered; its name is the company's.
void checkLogistics(TContext& ctx, QVariantMap& row, bool insert)
{
    const QString code = row.value(QStringLiteral("logistics_code")).toString();
    if (!insert)
        row.remove(QStringLiteral("logistics_name"));
    if (code.isEmpty())
        return;
    const QVariant name = KxScalar(ctx.db, QStringLiteral("SELECT logistics_name FROM kx_logistics_company WHERE nickid = ? AND logistics_code = ?"),
                                   {ctx.nickid, code});
    if (!name.isValid())
        throw TServiceError(kxRefused, QStringLiteral("物流公司【%1】不存在").arg(code.left(40)));
    row.insert(QStringLiteral("logistics_name"), name.toString());
}

// A waybill template's file stem names its files at the service and on every workstation:
// a plain file name, and one template's only.
void checkExpress(TContext& ctx, QVariantMap& row, bool)
{
    const auto file = row.constFind(QStringLiteral("express_file"));
    if (file == row.constEnd())
        return;
    KxCheckExpressFile(file->toString());
    KxCheckExpressUnique(ctx, file->toString(), row.value(QStringLiteral("express_id")).toString());
}

// A category of a supplier or a card is one of that tree's, or 0 for none.
void checkCategory(TContext& ctx, const QVariantMap& row, const char* type)
{
    const auto cat = row.constFind(QStringLiteral("catid"));
    if (cat == row.constEnd() || cat->toLongLong() == 0)
        return;
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_category WHERE nickid = ? AND cattype = ? AND catid = ?"),
                  {ctx.nickid, QString::fromLatin1(type), cat->toLongLong()}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("分类 %1 不存在").arg(cat->toLongLong()));
}

void checkSupplier(TContext& ctx, QVariantMap& row, bool)
{
    checkCategory(ctx, row, "supplier");
}

// A card holder is "男" or "女" (or not said); the birthday is a date, kept as yyyy-MM-dd
// whatever the client's date field sent.
void checkVipcard(TContext& ctx, QVariantMap& row, bool)
{
    checkCategory(ctx, row, "vipcard");
    if (const auto sex = row.find(QStringLiteral("sex")); sex != row.end()) {
        const QString s = sex->toString().trimmed();
        if (!s.isEmpty() && s != QStringLiteral("男") && s != QStringLiteral("女"))
            throw TServiceError(kxRefused, QStringLiteral("会员卡【%1】的性别只能是“男”或“女”").arg(row.value(QStringLiteral("vipid")).toString().left(40)));
        *sex = s;
    }
    if (const auto day = row.find(QStringLiteral("birthday")); day != row.end()) {
        const QString text = day->toString().trimmed();
        QDate d = QDate::fromString(text.left(10), Qt::ISODate);
        if (!text.isEmpty() && (!d.isValid() || (text.size() > 10 && text[10] != u'T' && text[10] != u' ') || d.year() < 1900))
            throw TServiceError(kxRefused, QStringLiteral("会员卡【%1】的生日不是日期：%2").arg(row.value(QStringLiteral("vipid")).toString().left(40), text.left(40)));
        *day = text.isEmpty() ? QString() : d.toString(Qt::ISODate);
    }
}

// A goods row of a supplier names a supplier and goods that exist.
void checkSupplierGoods(TContext& ctx, QVariantMap& row, bool insert)
{
    if (!insert)
        return;
    const QString supplier = row.value(QStringLiteral("suppliercode")).toString();
    const QString goods = row.value(QStringLiteral("goodscode")).toString();
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_supplier WHERE nickid = ? AND suppliercode = ?"), {ctx.nickid, supplier}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("供应商【%1】不存在").arg(supplier.left(40)));
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_goods WHERE nickid = ? AND goodscode = ?"), {ctx.nickid, goods}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("商品【%1】不存在").arg(goods.left(40)));
}

QString supplierGoodsTaken(TContext&, const QString& key)
{
    return QStringLiteral("商品【%1】已是供应商【%2】的商品，不能重复添加").arg(key.section(u'/', 1).left(40), key.section(u'/', 0, 0).left(40));
}

// Without a supplier there are no goods of it to show.
void supplierGoodsConditions(TContext& ctx, QString& where, QVariantList&)
{
    if (KxTrimLow(ctx.param(QStringLiteral("suppliercode"))).isEmpty())
        where += QStringLiteral(" AND 1 = 0");
}

TTable supplierTable()
{
    TTable t{"Supplier", "kx_supplier", "suppliercode", "供应商编码", "GY",
             {{"suppliername", Col::Text, 100, "供应商名称", true}, {"status", Col::Boolean, 0, "在用", false},
              {"catid", Col::Integer, 0, "供应商类别", false}, {"linkman", Col::Text, 50, "联系人", false},
              {"phone", Col::Text, 30, "电话", false}, {"address", Col::Text, 200, "地址", false}},
             {}, checkSupplier};
    t.usedBy = "供应商";
    t.uses = {{"SELECT COUNT(*) FROM kx_receive WHERE nickid = ? AND suppliercode = ?", "采购入库单", "张"},
              {"SELECT COUNT(*) FROM kx_result WHERE nickid = ? AND suppliercode = ?", "采购退货单", "张"},
              {"SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = ? AND suppliercode = ?", "供应商商品", "个"}};
    t.retire = "不再使用请取消在用";
    return t;
}

TTable supplierGoodsTable()
{
    TTable t{"SupplierGoods", "kx_supplier_goods", "suppliergoods", "供应商商品", nullptr,
             {{"suppliercode", Col::Text, 20, "供应商编码", true, false, false, nullptr, true},
              {"goodscode", Col::Text, 20, "商品编码", true, false, false, nullptr, true},
              {"goodsname", Col::Text, 100, "商品名称", false, false, true, "g.goodsname"},
              {"norms", Col::Text, 100, "规格", false, false, true, "g.norms"},
              {"units", Col::Text, 10, "单位", false, false, true, "g.units"},
              {"propstyle", Col::Text, 50, "款号", false, false, true, "g.propstyle"}},
             {}, checkSupplierGoods};
    t.from = " FROM kx_supplier_goods t LEFT JOIN kx_goods g ON g.nickid = t.nickid AND g.goodscode = t.goodscode";
    t.keyParts = {"suppliercode", "goodscode"};
    t.taken = supplierGoodsTaken;
    t.conditions = supplierGoodsConditions;
    return t;
}

TTable vipcardTable()
{
    TTable t{"Vipcard", "kx_vipcard", "vipid", "会员卡号", "V",
             {{"vipname", Col::Text, 50, "会员名称", true}, {"sex", Col::Text, 2, "性别", false},
              {"birthday", Col::Text, 30, "生日", false}, {"inentno", Col::Text, 30, "证件号码", false},
              {"tel", Col::Text, 30, "电话", false}, {"phone", Col::Text, 30, "手机", false},
              {"address", Col::Text, 200, "地址", false}, {"is_use", Col::Boolean, 0, "在用", false},
              {"email", Col::Text, 100, "电子邮件", false}, {"memo", Col::Text, 500, "备注", false},
              {"catid", Col::Integer, 0, "会员类别", false}},
             {}, checkVipcard};
    t.usedBy = "会员卡";
    t.codeWidth = 5;
    t.uses = {{"SELECT COUNT(*) FROM kx_output WHERE nickid = ? AND vipid = ?", "零售出库单", "张"},
              {"SELECT COUNT(*) FROM kx_whole WHERE nickid = ? AND vipid = ?", "批发出库单", "张"}};
    t.retire = "不再使用请取消在用";
    return t;
}

const std::vector<TTable>& tables()
{
    static const std::vector<TTable> all = {
        {"Shop", "kx_shop", "shopcode", "门店编码", "S",
         {{"shopname", Col::Text, 100, "门店名称", true}, {"isuse", Col::Boolean, 0, "是否使用", false}}},
        {"Brand", "kx_brand", "brand_id", "品牌编码", "B",
         {{"brand_name", Col::Text, 100, "品牌名称", true}},
         {{"SELECT 1 FROM kx_goods WHERE nickid = ? AND brand_id = ?", "品牌【%1】已有商品使用，不能删除"}}},
        {"Prop", "kx_prop", "propid", "属性编码", "P",
         {{"propname", Col::Text, 50, "属性名称", true}, {"isuse", Col::Boolean, 0, "是否使用", false},
          {"proptype", Col::Text, 10, "属性类型", false}},
         {}, checkProp},
        {"SendRen", "kx_sendren", "renid", "发货人编码", "R",
         {{"sender_name", Col::Text, 50, "发货人", true}, {"sender_address", Col::Text, 200, "地址", false},
          {"sender_zip", Col::Text, 10, "邮编", false}, {"sender_mobile", Col::Text, 20, "手机", false},
          {"sender_phone", Col::Text, 30, "电话", false}, {"memo1", Col::Text, 200, "备注1", false},
          {"memo2", Col::Text, 200, "备注2", false}, {"memo3", Col::Text, 200, "备注3", false}}},
        {"Storage", "kx_storage", "storageid", "仓库编码", "CK",
         {{"storagename", Col::Text, 100, "仓库名称", true}, {"storagetype", Col::Integer, 0, "仓库类型", true}},
         {{"SELECT 1 FROM kx_stock WHERE nickid = ? AND storageid = ? AND stocknum <> 0", "仓库【%1】还有库存，不能删除"},
          {"SELECT 1 FROM kx_receive WHERE nickid = ? AND storageid = ?", "仓库【%1】已有采购入库单使用，不能删除"}},
         checkStorage},
        {"Operator", "kx_operator", "operid", "操作员编码", "OP",
         {{"opername", Col::Text, 50, "操作员名称", true}, {"operpsw", Col::Text, 128, "密码", false, true},
          {"isuse", Col::Boolean, 0, "是否使用", false}},
         {}, checkOperator, deleteOperator},
        {"Logistics", "kx_logistics", "logistics_code", "物流编码", nullptr,
         {{"logistics_name", Col::Text, 100, "快递物流名称", false}, {"logistics_fee", Col::Decimal, 0, "默认费用", false}},
         {}, checkLogistics},
        {"Express", "kx_express", "express_id", "模板编号", "E",
         {{"express_name", Col::Text, 50, "模板名", true}, {"express_file", Col::Text, 120, "模板文件", true},
          {"logistics_code", Col::Text, 20, "物流公司", true}, {"is_use", Col::Boolean, 0, "常用模板", false}},
         {}, checkExpress, KxDeleteExpressFiles},
        supplierTable(),
        supplierGoodsTable(),
        vipcardTable(),
    };
    return all;
}

const TTable& tableOf(const TContext& ctx)
{
    const QString area = ctx.call.method().section(QLatin1Char('.'), 0, 0);
    for (const TTable& t : tables())
        if (area == QLatin1String(t.area))
            return t;
    throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法：%1").arg(ctx.call.method()));
}

// Names and SQL of the table descriptions (UTF-8: computed columns may hold texts).
QString L1(const char* s)
{
    return QString::fromUtf8(s);
}

// The key as SQL over the table alone (`alias` empty) or over its FROM ("t."): one column, or
// the parts joined by "/".
QString keySql(const TTable& t, const QString& alias = QString())
{
    if (t.keyParts.empty())
        return alias + L1(t.key);
    QStringList parts;
    for (const char* p : t.keyParts)
        parts << alias + L1(p);
    return QLatin1Char('(') + parts.join(QStringLiteral(" || '/' || ")) + QLatin1Char(')');
}

// The key text of one side of a change.
QString keyOf(const TTable& t, const TDeltaSide& side)
{
    if (t.keyParts.empty())
        return side.value(L1(t.key)).toString();
    QStringList parts;
    for (const char* p : t.keyParts) {
        const QString v = KxTrimLow(side.value(L1(p)).toString());
        parts << (v.isEmpty() && !parts.isEmpty() ? parts.first() : v);
    }
    return parts.join(QLatin1Char('/'));
}

QString alias(const TTable& t)
{
    return t.from ? QStringLiteral("t.") : QString();
}

QString fromOf(const TTable& t)
{
    return t.from ? L1(t.from) : QStringLiteral(" FROM ") + L1(t.table);
}

QString fieldSql(const TTable& t, const TField& f)
{
    return f.expr ? L1(f.expr) : alias(t) + L1(f.name);
}

QString selectList(const TTable& t)
{
    QString s = keySql(t, alias(t));
    for (const TField& f : t.fields)
        s += f.secret ? QStringLiteral(", NULL AS ") + L1(f.name) : QStringLiteral(", ") + fieldSql(t, f);
    return s + QStringLiteral(", ") + alias(t) + QStringLiteral("md5_key");
}

void search(TContext& ctx)
{
    KxMdSearch(ctx, tableOf(ctx));
}
}

QList<Col> KxMdColumns(const TTable& t)
{
    QList<Col> cols{{L1(t.key), Col::Text, t.keyParts.empty() ? 20 : 61}};
    for (const TField& f : t.fields)
        cols.append({L1(f.name), f.kind, f.size});
    cols.append({QStringLiteral("md5_key"), Col::Text, 32});
    return cols;
}

void KxMdSearch(TContext& ctx, const TTable& t)
{
    // Conditions: a parameter named after a column selects rows with that value; text
    // columns other than the key match when they contain it.
    const QString a = alias(t);
    QString where = a + QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    bool overJoins = t.conditions != nullptr;   // a condition on a joined or computed column
    for (const TField& f : t.fields) {
        const QString name = L1(f.name);
        const QString v = KxTrimLow(ctx.param(name));
        if (v.isEmpty() || f.secret)
            continue;
        const QString column = fieldSql(t, f);
        overJoins = overJoins || f.expr;
        if (f.kind == Col::Text && !f.exact) {
            where += QStringLiteral(" AND ") + column + QStringLiteral(" LIKE ? ESCAPE '\\'");
            args << KxLikeContains(v);
            continue;
        }
        where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
        if (f.kind == Col::Boolean) {
            args << (v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0);
        } else if (f.kind == Col::Integer) {
            args << ctx.intParam(name, 0);
        } else {
            args << v;
        }
    }
    // "operid" of every call names the caller, so it is never a condition on the operators.
    const QString key = L1(t.key);
    if (key != QLatin1String("operid") && !KxTrimLow(ctx.param(key)).isEmpty()) {
        const QString v = KxTrimLow(ctx.param(key));
        if (t.keyCondition) {
            where += QStringLiteral(" AND ") + L1(t.keyCondition);
            for (qsizetype n = L1(t.keyCondition).count(QLatin1Char('?')); n > 0; --n)
                args << v;
        } else {
            where += QStringLiteral(" AND ") + keySql(t, a) + QStringLiteral(" = ?");
            args << v;
        }
    }
    if (t.conditions)
        t.conditions(ctx, where, args);
    if (!t.from) {
        KxAnswerPageFrom(ctx, selectList(t), fromOf(t), where, args, keySql(t, a), KxMdColumns(t));
        return;
    }
    // Over joins and computed columns a page is found by its keys alone; only its own rows
    // are then read whole (skipped rows would otherwise have their columns computed too).
    const TPage page = KxPageOf(ctx);
    const QString keyExpr = keySql(t, a);
    // Without conditions on them the joins change neither the rows nor their count.
    const QString keyFrom = overJoins ? fromOf(t) : QStringLiteral(" FROM ") + L1(t.table) + QStringLiteral(" t");
    QString sql = QStringLiteral("SELECT ") + keyExpr + keyFrom + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY ") + keyExpr;
    QVariantList pageArgs = args;
    const qint64 offset = page.page > 0 ? (page.page - 1) * page.size : 0;
    if (page.page > 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        pageArgs << page.size << offset;
    }
    QStringList keys;
    {
        QSqlQuery q = KxExec(ctx.db, sql, pageArgs);
        while (q.next())
            keys << q.value(0).toString();
    }
    TQueryPacket packet(KxMdColumns(t));
    KxForKeys(ctx.db, QStringLiteral("SELECT %1%2 WHERE %3nickid = ? AND %4 IN (%5) ORDER BY %4").arg(selectList(t), fromOf(t), a, keyExpr, QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype) { packet.add(q); });
    ctx.answer.addPacket(QStringLiteral("xmldata"), packet.finish());
    const qint64 rows = keys.size();
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*)") + keyFrom + QStringLiteral(" WHERE ") + where, args).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

namespace {
QVariant checked(const TField& f, const QVariant& v)
{
    const QString caption = QString::fromUtf8(f.caption);
    switch (f.kind) {
    case Col::Text: {
        const QString s = v.isValid() ? v.toString() : QString();
        if (f.required && KxTrimLow(s).isEmpty())
            throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(caption));
        if (s.size() > f.size)
            throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(caption).arg(f.size));
        return s;
    }
    case Col::Integer:
    case Col::Boolean: {
        if (!v.isValid()) {
            if (f.required)
                throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(caption));
            return 0;
        }
        bool ok = false;
        const qint64 n = v.metaType().id() == QMetaType::Bool ? qint64(v.toBool()) : v.toLongLong(&ok);
        if (v.metaType().id() != QMetaType::Bool && !ok)
            throw TServiceError(kxRefused, QStringLiteral("%1应为整数").arg(caption));
        // INTEGER columns are 32 bits on PostgreSQL.
        if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
            throw TServiceError(kxRefused, QStringLiteral("%1超出范围：%2").arg(caption).arg(n));
        return f.kind == Col::Boolean ? (n ? 1 : 0) : n;
    }
    case Col::Decimal: {
        if (!v.isValid())
            return QStringLiteral("0");
        const std::optional<TDecimal> d = v.metaType() == QMetaType::fromType<TDecimal>()
            ? std::optional<TDecimal>(v.value<TDecimal>()) : TDecimal::Parse(v.toString());
        if (!d)
            throw TServiceError(kxRefused, QStringLiteral("%1应为金额").arg(caption));
        if (d->ToString().startsWith(QLatin1Char('-')))
            throw TServiceError(kxRefused, QStringLiteral("%1不能小于零").arg(caption));
        return d->ToString();
    }
    default:
        break;
    }
    return v;
}

// Whether a value the client loaded still equals the stored one, compared as the field's
// kind (a missing attribute is a null cell: empty text, 0).
bool sameValue(Col::Kind kind, const QVariant& loaded, const QVariant& stored)
{
    switch (kind) {
    case Col::Integer:
    case Col::Boolean: {
        const qint64 a = loaded.metaType().id() == QMetaType::Bool ? qint64(loaded.toBool()) : loaded.toLongLong();
        const qint64 b = stored.toLongLong();
        return kind == Col::Boolean ? (a != 0) == (b != 0) : a == b;
    }
    case Col::Decimal: {
        const std::optional<TDecimal> a = loaded.metaType() == QMetaType::fromType<TDecimal>()
            ? std::optional<TDecimal>(loaded.value<TDecimal>()) : TDecimal::Parse(loaded.isValid() ? loaded.toString() : QStringLiteral("0"));
        const std::optional<TDecimal> b = TDecimal::Parse(stored.isNull() ? QStringLiteral("0") : stored.toString());
        return a && b && *a == *b;
    }
    default:
        return (loaded.isValid() ? loaded.toString() : QString()) == (stored.isNull() ? QString() : stored.toString());
    }
}

// Changed and deleted rows must still be the rows the client loaded: their stored values are
// compared with the delta's old ones, so a save made from a stale grid cannot overwrite or
// delete what someone else saved meanwhile. Rows are read by key, many to a statement; the
// first row (in delta order) that is gone or differs refuses the save.
void checkUnchanged(TContext& ctx, const TTable& t, const QList<const TDeltaChange*>& rows, const QStringList& keys)
{
    QStringList names{QStringLiteral("md5_key")};
    QList<Col::Kind> kinds{Col::Text};
    for (const TField& f : t.fields)
        if (!f.secret && !f.readOnly) {
            names << L1(f.name);
            kinds << f.kind;
        }
    QHash<QString, qsizetype> at;
    for (qsizetype i = 0; i < keys.size(); ++i)
        at.insert(keys[i], i);
    KxForKeys(ctx.db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE nickid = ? AND %1 IN (%4)")
                          .arg(keySql(t), names.join(QStringLiteral(", ")), L1(t.table), QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype first, qsizetype count) {
                  enum { Gone, Same, Changed };
                  std::vector<char> state(size_t(count), Gone);
                  while (q.next()) {
                      const auto it = at.constFind(q.value(0).toString());
                      if (it == at.constEnd() || *it < first || *it >= first + count)
                          continue;
                      const TDeltaChange& ch = *rows[*it];
                      bool same = true;
                      for (int i = 0; i < names.size() && same; ++i)
                          same = !ch.original.contains(names[i]) || sameValue(kinds[i], ch.original.value(names[i]), q.value(i + 1));
                      state[size_t(*it - first)] = same ? Same : Changed;
                  }
                  // Refused at the first chunk that holds a stale row: a big stale save holds
                  // the write lock no longer than a small one.
                  for (qsizetype i = 0; i < count; ++i) {
                      const QString& k = keys[first + i];
                      if (state[size_t(i)] == Gone)
                          throw TServiceError(kxRefused, (rows[first + i]->kind == TDeltaChange::Delete
                                                              ? QStringLiteral("要删除的记录【%1】已不存在，请刷新后再试")
                                                              : QStringLiteral("要修改的记录【%1】已不存在，请刷新后再试")).arg(k.left(40)));
                      if (state[size_t(i)] == Changed)
                          throw TServiceError(kxRefused, QStringLiteral("记录【%1】的数据已被他人修改，请刷新后再保存！").arg(k.left(40)));
                  }
              });
}

// What stops a row from going: rows that point at it, uses that count. Only reads, so a
// save's deletes are all checked before its first write takes SQLite's lock.
void checkRemovable(TContext& ctx, const TTable& t, const QString& k)
{
    for (const TRef& r : t.refs)
        if (KxScalar(ctx.db, L1(r.exists), {ctx.nickid, k}).isValid())
            throw TServiceError(kxRefused, QString::fromUtf8(r.refusal).arg(k.left(40)));
    const QString used = KxMdUsesOf(ctx, t, k);
    if (!used.isEmpty())
        throw TServiceError(kxRefused, used);
}

// Deletes checked rows many to a statement; a row another writer took away meanwhile refuses
// the save.
void removeRows(TContext& ctx, const TTable& t, const QStringList& keys)
{
    if (t.beforeDelete)
        for (const QString& k : keys)
            t.beforeDelete(ctx, k);
    KxForKeys(ctx.db, QStringLiteral("DELETE FROM %1 WHERE nickid = ? AND %2 IN (%3)").arg(L1(t.table), keySql(t), QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype count) {
                  if (q.numRowsAffected() != count)
                      throw TServiceError(kxRefused, QStringLiteral("要删除的记录已被他人删除，请刷新后再试"));
              });
}

// The columns an insert or update writes (a single key aside), their values checked. The parts
// of a key of several columns are written on insert (a blank part as the first).
QVariantMap rowOf(const TTable& t, const TDeltaChange& ch)
{
    const bool insert = ch.kind == TDeltaChange::Insert;
    QVariantMap row;
    for (const TField& f : t.fields) {
        if (f.readOnly)
            continue;
        const QString name = L1(f.name);
        if ((insert && (!f.secret || ch.values.contains(name))) || ch.changed.contains(name))
            row.insert(name, checked(f, ch.values.value(name)));
    }
    if (insert && !t.keyParts.empty()) {
        const QStringList parts = keyOf(t, ch.values).split(QLatin1Char('/'));
        for (size_t i = 0; i < t.keyParts.size() && i < size_t(parts.size()); ++i)
            row.insert(L1(t.keyParts[i]), parts[qsizetype(i)]);
    }
    if (insert || ch.changed.contains(QStringLiteral("md5_key")))
        row.insert(QStringLiteral("md5_key"), ch.values.value(QStringLiteral("md5_key")).toString().left(32));
    return row;
}

// A save sorted by what it does, checked as far as it can be without the database: keys of the
// rows deleted and updated (each named once), inserts with the codes typed for them.
struct TSavePlan {
    QList<const TDeltaChange*> deletes, updates, inserts;
    QStringList deleteKeys, updateKeys, insertKeys;   // insertKeys: empty where the service gives the code
    QSet<QString> typed;
};

bool keyChanged(const TTable& t, const TDeltaChange& ch)
{
    if (t.keyParts.empty())
        return ch.changed.contains(L1(t.key));
    for (const char* p : t.keyParts)
        if (ch.changed.contains(L1(p)))
            return true;
    return false;
}

TSavePlan planSave(const TTable& t, const QList<TDeltaChange>& changes)
{
    const QString keyCaption = QString::fromUtf8(t.keyCaption);
    const int keySize = t.keyParts.empty() ? 20 : 61;
    TSavePlan p;
    QSet<QString> named;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind == TDeltaChange::Insert) {
            rowOf(t, ch);
            const QString k = KxTrimLow(keyOf(t, ch.values));
            if ((k.isEmpty() || k.startsWith(QLatin1Char('/'))) && !t.prefix)
                throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(keyCaption));
            if (k.size() > keySize)
                throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(keyCaption).arg(keySize));
            if (!k.isEmpty() && p.typed.contains(k))
                throw TServiceError(kxRefused, QStringLiteral("%1【%2】已存在").arg(keyCaption, k));
            if (!k.isEmpty())
                p.typed.insert(k);
            p.inserts << &ch;
            p.insertKeys << k;
            continue;
        }
        // Updates and deletes find the row by the key it had; the key itself cannot change.
        const QString k = keyOf(t, ch.original);
        if (ch.kind == TDeltaChange::Update) {
            if (keyChanged(t, ch))
                throw TServiceError(kxRefused, QStringLiteral("%1不能修改").arg(keyCaption));
            rowOf(t, ch);
        }
        if (named.contains(k))
            throw TServiceError(kxRefused, QStringLiteral("记录【%1】在提交的修改中出现了多次，请刷新后再保存").arg(k.left(40)));
        named.insert(k);
        (ch.kind == TDeltaChange::Delete ? p.deletes : p.updates) << &ch;
        (ch.kind == TDeltaChange::Delete ? p.deleteKeys : p.updateKeys) << k;
    }
    return p;
}

// Writes a checked save: deletes, then updates, then inserts (a code deleted and typed again
// in one save is a new row). Returns the keys of the rows written. Updates run one statement
// per row (their checks may look at rows the save's deletes removed); deletes and inserts many
// rows to a statement.
QStringList writeSave(TContext& ctx, const TTable& t, const TSavePlan& p)
{
    const QString table = L1(t.table), key = keySql(t);
    const QString keyCaption = QString::fromUtf8(t.keyCaption);
    QStringList touched;

    checkUnchanged(ctx, t, p.deletes, p.deleteKeys);
    for (const QString& k : p.deleteKeys)
        checkRemovable(ctx, t, k);
    removeRows(ctx, t, p.deleteKeys);

    checkUnchanged(ctx, t, p.updates, p.updateKeys);
    for (qsizetype i = 0; i < p.updates.size(); ++i) {
        const QString& k = p.updateKeys[i];
        QVariantMap row = rowOf(t, *p.updates[i]);
        if (t.check) {
            if (t.keyParts.empty())
                row.insert(L1(t.key), k);
            t.check(ctx, row, false);
            row.remove(L1(t.key));
        }
        if (!row.isEmpty()) {
            QStringList sets;
            QVariantList args;
            for (auto it = row.begin(); it != row.end(); ++it) {
                sets << it.key() + QStringLiteral(" = ?");
                args << it.value();
            }
            args << ctx.nickid << k;
            KxExec(ctx.db, QStringLiteral("UPDATE %1 SET %2 WHERE nickid = ? AND %3 = ?").arg(table, sets.join(QStringLiteral(", ")), key), args);
        }
        touched << k;
    }

    QStringList typed;
    for (const QString& k : p.insertKeys)
        if (!k.isEmpty())
            typed << k;
    const QSet<QString> existing = KxExistingKeys(ctx.db, table, key, ctx.nickid, typed);
    for (const QString& k : typed)
        if (existing.contains(k))
            throw TServiceError(kxRefused, t.taken ? t.taken(ctx, k) : QStringLiteral("%1【%2】已存在").arg(keyCaption, k));
    const QStringList codes = t.prefix ? KxNextCodes(ctx.db, ctx.nickid, table, L1(t.prefix), table, key,
                                                     int(p.insertKeys.size() - typed.size()), p.typed, t.codeWidth)
                                       : QStringList();
    TBulkInsert insert(ctx.db, table);
    qsizetype nextCode = 0;
    for (qsizetype i = 0; i < p.inserts.size(); ++i) {
        const QString k = p.insertKeys[i].isEmpty() ? codes[nextCode++] : p.insertKeys[i];
        QVariantMap row = rowOf(t, *p.inserts[i]);
        if (t.keyParts.empty())
            row.insert(L1(t.key), k);
        if (t.check)
            t.check(ctx, row, true);
        if (t.keyParts.empty())
            row.insert(L1(t.key), k);
        row.insert(QStringLiteral("nickid"), ctx.nickid);
        insert.add(row);
        touched << k;
    }
    insert.flush();
    return touched;
}

// Every row of a save is checked before the write transaction, which then only looks rows up
// by key, many at a time, and writes: a save of 100,000 rows holds SQLite's write lock for
// the writing alone. The answer is read after the commit, so the lock is not held for it.
void update(TContext& ctx)
{
    const TTable& t = tableOf(ctx);
    const QList<TDeltaChange>* changes = ctx.delta(QStringLiteral("delta"));
    if (!changes)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（delta）"));
    QStringList touched;
    {
        TTransaction tx(ctx.store, ctx.db, true);
        touched = KxMdSave(ctx, t, *changes);
        tx.commit();
    }
    KxMdAnswerRows(ctx, t, touched, QStringLiteral("xmldata"));
}
}

QStringList KxMdSave(TContext& ctx, const TTable& t, const QList<TDeltaChange>& changes)
{
    return writeSave(ctx, t, planSave(t, changes));
}

void KxMdAnswerRows(TContext& ctx, const TTable& t, QStringList keys, const QString& name)
{
    std::sort(keys.begin(), keys.end());
    const QString key = keySql(t, alias(t));
    TQueryPacket packet(KxMdColumns(t));
    const QString select = QStringLiteral("SELECT %1%2 WHERE %3nickid = ? AND %4 IN (%5) ORDER BY %4")
                               .arg(selectList(t), fromOf(t), alias(t), key, QStringLiteral("%1"));
    KxForKeys(ctx.db, select, {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype) { packet.add(q); });
    ctx.answer.addPacket(name, packet.finish());
}

QString KxMdUsesOf(TContext& ctx, const TTable& t, const QString& key)
{
    QStringList found;
    for (const TMdUse& u : t.uses) {
        const qint64 n = KxScalar(ctx.db, L1(u.count), {ctx.nickid, key}).toLongLong();
        if (n > 0)
            found << QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(u.what)).arg(n).arg(QString::fromUtf8(u.unit));
    }
    if (found.isEmpty())
        return QString();
    return QStringLiteral("%1【%2】正在使用，不能删除：%3。%4")
        .arg(QString::fromUtf8(t.usedBy ? t.usedBy : t.keyCaption), key.left(40), found.join(QStringLiteral("、")),
             t.retire ? QString::fromUtf8(t.retire) : QStringLiteral("不再使用请勾选删除标记"));
}

namespace {
void storageTypes(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT storagetype, typename FROM kx_storagetype WHERE nickid = ? ORDER BY storagetype"), {ctx.nickid});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("storagetype"), Col::Integer}, {QStringLiteral("typename"), Col::Text, 50}}));
}

// Storages offered by document forms, optionally of one type ("storagetype").
void storageLookup(TContext& ctx)
{
    QString where = QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    if (!KxTrimLow(ctx.param(QStringLiteral("storagetype"))).isEmpty()) {
        where += QStringLiteral(" AND storagetype = ?");
        args << ctx.intParam(QStringLiteral("storagetype"), 0);
    }
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT storageid, storagename, storagetype FROM kx_storage WHERE ") + where
                                     + QStringLiteral(" ORDER BY storageid"), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("storageid"), Col::Text, 20},
                                                                      {QStringLiteral("storagename"), Col::Text, 100},
                                                                      {QStringLiteral("storagetype"), Col::Integer}}));
}
}

const std::vector<TMethodDef>& KxMasterDataMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        // Method names live as long as the program: keep their texts in static storage.
        static std::vector<QByteArray> names;
        for (const TTable& t : tables()) {
            names.push_back(QByteArray(t.area) + ".Search");
            names.push_back(QByteArray(t.area) + ".Update");
        }
        size_t i = 0;
        for (size_t k = 0; k < tables().size(); ++k) {
            m.push_back({names[i++].constData(), EAccess::Module, ETx::Read, search});
            m.push_back({names[i++].constData(), EAccess::Module, ETx::Own, update});
        }
        m.push_back({"Storage.TypeList", EAccess::Module, ETx::Read, storageTypes});
        m.push_back({"Lookup.Storage", EAccess::Module, ETx::Read, storageLookup});
        return m;
    }();
    return methods;
}
