#include "MasterData.h"
#include "MasterTable.h"

#include "Express.h"
#include "Power.h"

#include "dispatch/LoginGuard.h"
#include "store/History.h"
#include "store/Packet.h"
#include "store/Passwords.h"
#include "uRequest.h"

#include <QDate>

namespace {
using Col = TPacketColumn;

using TField = TMdField;
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

void search(TContext& ctx)
{
    KxMdSearch(ctx, tableOf(ctx));
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
            // A row's history is read by whoever may list the table.
            KxHistoryArea(QString::fromLatin1(t.area), QString::fromLatin1(t.table), QString::fromLatin1(names.back()).replace(QStringLiteral(".Update"), QStringLiteral(".Search")));
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
