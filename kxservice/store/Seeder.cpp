#include "Seeder.h"

#include "Database.h"
#include "Passwords.h"
#include "Statistics.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QSqlQuery>
#include <stdexcept>

namespace {
const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};

// The row key of a seeded row, the same on every run.
QString seedKey(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString str(const QJsonObject& o, const char* key)
{
    return KxSeedText(o, key);
}

void exec(QSqlDatabase& db, const char* sql, const QVariantList& args)
{
    KxExec(db, QString::fromLatin1(sql), args);
}

struct TSeeder {
    QSqlDatabase& db;
    QString nick;
    QHash<QString, int> modIds;     // module name -> mod_id
    QHash<QString, int> categoryIds; // "type/name" -> catid
    int nextCat = 1;
    // A database at an older schema (upgrade tests) names the unit and stock limits as it did.
    bool oldGoodsNames = false;
    // ... and has no waybill templates yet.
    bool hasExpress = true;
    // ... and neither supplier goods nor the card holder's details.
    bool hasSupplierGoods = true;

    int modId(const QString& name)
    {
        const auto it = modIds.constFind(name);
        if (it == modIds.constEnd())
            throw std::runtime_error("seed: unknown module " + name.toStdString());
        return *it;
    }

    void operators(const QJsonArray& list)
    {
        for (const QJsonValue& v : list) {
            const QJsonObject o = v.toObject();
            const QString operid = str(o, "operid");
            exec(db, "INSERT INTO kx_operator (nickid, operid, opername, pwhash, isuse) VALUES (?, ?, ?, ?, ?)",
                 {nick, operid, str(o, "opername"), KxHashPassword(str(o, "password")),
                  o.value(QLatin1String("isuse")).toBool(true) ? 1 : 0});
            const QJsonValue rights = o.value(QLatin1String("rights"));
            QHash<int, QStringList> grant;
            if (rights.toString() == QLatin1String("all")) {
                QSqlQuery q = KxExec(db, QStringLiteral("SELECT mod_id FROM kx_module WHERE nickid = ? AND ispublic = 0"), {nick});
                while (q.next())
                    for (const char* r : kRights)
                        grant[q.value(0).toInt()] << QString::fromLatin1(r);
            } else {
                const QJsonObject map = rights.toObject();
                for (auto it = map.begin(); it != map.end(); ++it)
                    grant[modId(it.key())] = it.value().toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
            }
            for (auto it = grant.begin(); it != grant.end(); ++it) {
                QVariantList args = {nick, operid, it.key()};
                for (const char* r : kRights)
                    args << (it.value().contains(QLatin1String(r)) ? 1 : 0);
                exec(db, "INSERT INTO kx_power (nickid, operid, mod_id, isupdate, isaudit, issearch, isprint, isoutput, iscolumn)"
                         " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", args);
            }
        }
    }

    void categories(const QJsonArray& list, int parent, const QString& type)
    {
        for (const QJsonValue& v : list) {
            const QJsonObject c = v.toObject();
            const QString t = c.contains(QLatin1String("type")) ? str(c, "type") : type;
            const int id = nextCat++;
            categoryIds.insert(t + QLatin1Char('/') + str(c, "name"), id);
            exec(db, "INSERT INTO kx_category (nickid, catid, parentid, catname, cattype, seq) VALUES (?, ?, ?, ?, ?, ?)",
                 {nick, id, parent, str(c, "name"), t, id});
            categories(c.value(QLatin1String("children")).toArray(), id, t);
        }
    }

    int category(const QString& type, const QString& name)
    {
        return categoryIds.value(type + QLatin1Char('/') + name, 0);
    }

    void masterData(const QJsonObject& s)
    {
        for (const QJsonValue& v : s.value(QLatin1String("shops")).toArray())
            exec(db, "INSERT INTO kx_shop (nickid, shopcode, shopname, isuse) VALUES (?, ?, ?, 1)",
                 {nick, str(v.toObject(), "shopcode"), str(v.toObject(), "shopname")});
        int seq = 0;
        for (const QJsonValue& v : s.value(QLatin1String("subnicks")).toArray())
            exec(db, "INSERT INTO kx_subnick (nickid, nick, seq) VALUES (?, ?, ?)", {nick, v.toString(), ++seq});
        for (const QJsonValue& v : s.value(QLatin1String("storagetypes")).toArray())
            exec(db, "INSERT INTO kx_storagetype (nickid, storagetype, typename) VALUES (?, ?, ?)",
                 {nick, v.toObject().value(QLatin1String("storagetype")).toInt(), str(v.toObject(), "typename")});
        for (const QJsonValue& v : s.value(QLatin1String("storages")).toArray())
            exec(db, "INSERT INTO kx_storage (nickid, storageid, storagename, storagetype) VALUES (?, ?, ?, ?)",
                 {nick, str(v.toObject(), "storageid"), str(v.toObject(), "storagename"),
                  v.toObject().value(QLatin1String("storagetype")).toInt()});
        QHash<QString, QString> companies;
        for (const QJsonValue& v : s.value(QLatin1String("logistics_companies")).toArray()) {
            companies.insert(str(v.toObject(), "code"), str(v.toObject(), "name"));
            exec(db, "INSERT INTO kx_logistics_company (nickid, logistics_code, logistics_name) VALUES (?, ?, ?)",
                 {nick, str(v.toObject(), "code"), str(v.toObject(), "name")});
        }
        for (const QJsonValue& v : s.value(QLatin1String("logistics")).toArray())
            exec(db, "INSERT INTO kx_logistics (nickid, logistics_code, logistics_name, logistics_fee) VALUES (?, ?, ?, ?)",
                 {nick, str(v.toObject(), "code"), companies.value(str(v.toObject(), "code")), str(v.toObject(), "fee")});
        // Waybill templates: the stem is the carrier's name and the template's, as the designer
        // makes it; their files come with the program until a designer saves them here.
        for (const QJsonValue& v : hasExpress ? s.value(QLatin1String("express_templates")).toArray() : QJsonArray()) {
            const QJsonObject o = v.toObject();
            exec(db, "INSERT INTO kx_express (nickid, express_id, express_name, express_file, logistics_code, is_use, md5_key)"
                     " VALUES (?, ?, ?, ?, ?, 1, ?)",
                 {nick, str(o, "express_id"), str(o, "express_name"),
                  companies.value(str(o, "logistics_code")) + QLatin1Char('_') + str(o, "express_name"), str(o, "logistics_code"),
                  QString::fromLatin1(QCryptographicHash::hash((nick + str(o, "express_id")).toUtf8(), QCryptographicHash::Md5).toHex())});
        }
        for (const QJsonValue& v : s.value(QLatin1String("senders")).toArray()) {
            const QJsonObject o = v.toObject();
            exec(db, "INSERT INTO kx_sendren (nickid, renid, sender_name, sender_address, sender_zip, sender_mobile, sender_phone)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?)",
                 {nick, str(o, "renid"), str(o, "sender_name"), str(o, "sender_address"), str(o, "sender_zip"),
                  str(o, "sender_mobile"), str(o, "sender_phone")});
        }
        for (const QJsonValue& v : s.value(QLatin1String("brands")).toArray())
            exec(db, "INSERT INTO kx_brand (nickid, brand_id, brand_name) VALUES (?, ?, ?)",
                 {nick, str(v.toObject(), "brand_id"), str(v.toObject(), "brand_name")});
        for (const char* kind : {"colors", "sizes"})
            for (const QJsonValue& v : s.value(QLatin1String(kind)).toArray())
                exec(db, "INSERT INTO kx_prop (nickid, propid, proptype, propname, isuse) VALUES (?, ?, ?, ?, 1)",
                     {nick, str(v.toObject(), "propid"), QString::fromLatin1(kind).chopped(1), str(v.toObject(), "propname")});
        categories(s.value(QLatin1String("categories")).toArray(), 0, QStringLiteral("goods"));
        goods(s.value(QLatin1String("goods")).toArray());
        for (const QJsonValue& v : s.value(QLatin1String("suppliers")).toArray()) {
            const QJsonObject o = v.toObject();
            exec(db, "INSERT INTO kx_supplier (nickid, suppliercode, suppliername, catid, linkman, phone, status)"
                     " VALUES (?, ?, ?, ?, ?, ?, 1)",
                 {nick, str(o, "suppliercode"), str(o, "suppliername"), category(QStringLiteral("supplier"), str(o, "category")),
                  str(o, "linkman"), str(o, "phone")});
            for (const QJsonValue& g : o.value(QLatin1String("goods")).toArray())
                if (hasSupplierGoods)
                    exec(db, "INSERT INTO kx_supplier_goods (nickid, suppliercode, goodscode, md5_key) VALUES (?, ?, ?, ?)",
                         {nick, str(o, "suppliercode"), g.toString(), seedKey(nick + str(o, "suppliercode") + g.toString())});
        }
        for (const QJsonValue& v : s.value(QLatin1String("vipcards")).toArray()) {
            const QJsonObject o = v.toObject();
            if (!hasSupplierGoods) {
                exec(db, "INSERT INTO kx_vipcard (nickid, vipid, vipname, catid, mobile, discount, is_use) VALUES (?, ?, ?, ?, ?, ?, 1)",
                     {nick, str(o, "vipid"), str(o, "vipname"), category(QStringLiteral("vipcard"), str(o, "category")),
                      str(o, "mobile"), str(o, "discount")});
                continue;
            }
            exec(db, "INSERT INTO kx_vipcard (nickid, vipid, vipname, catid, phone, discount, is_use, sex, birthday, inentno, tel,"
                     " address, email, memo, md5_key) VALUES (?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {nick, str(o, "vipid"), str(o, "vipname"), category(QStringLiteral("vipcard"), str(o, "category")),
                  str(o, "mobile"), str(o, "discount"), str(o, "sex"), str(o, "birthday"), str(o, "inentno"), str(o, "tel"),
                  str(o, "address"), str(o, "email"), str(o, "memo"), seedKey(nick + str(o, "vipid"))});
        }
    }

    // Goods with one product per colour and size, and stock in every storage that sells.
    void goods(const QJsonArray& list)
    {
        QStringList stockStorages;
        QSqlQuery st = KxExec(db, QStringLiteral("SELECT storageid FROM kx_storage WHERE nickid = ? AND storagetype IN (1, 2) ORDER BY storageid"), {nick});
        while (st.next())
            stockStorages << st.value(0).toString();
        int barcode = 0;
        for (const QJsonValue& v : list) {
            const QJsonObject g = v.toObject();
            const QString code = str(g, "goodscode");
            KxExec(db, QStringLiteral("INSERT INTO kx_goods (nickid, goodscode, goodsname, catid, brand_id, propstyle, %1, costprice, saleprice, wholesale)"
                                      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(oldGoodsNames ? QStringLiteral("unit") : QStringLiteral("units")),
                 {nick, code, str(g, "goodsname"), category(QStringLiteral("goods"), str(g, "category")), str(g, "brand_id"),
                  str(g, "propstyle"), QStringLiteral("件"), str(g, "costprice"), str(g, "saleprice"), str(g, "wholesale")});
            int n = 0;
            for (const QJsonValue& c : g.value(QLatin1String("colors")).toArray())
                for (const QJsonValue& z : g.value(QLatin1String("sizes")).toArray()) {
                    const QString cc = code + QStringLiteral("%1").arg(++n, 2, 10, QLatin1Char('0'));
                    KxExec(db, QStringLiteral("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, propstyle,"
                                              " propcolor, propsize, costprice, saleprice, wholesale, %1)"
                                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 5, 200)")
                                   .arg(oldGoodsNames ? QStringLiteral("minnum, maxnum") : QStringLiteral("minstock, maxstock")),
                         {nick, cc, code, QStringLiteral("69%1").arg(10000000 + ++barcode), str(g, "goodsname"),
                          str(g, "propstyle"), c.toString(), z.toString(), str(g, "costprice"), str(g, "saleprice"),
                          str(g, "wholesale")});
                    for (int i = 0; i < stockStorages.size(); ++i)
                        exec(db, "INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES (?, ?, ?, ?)",
                             {nick, stockStorages[i], cc, (barcode * 37 + i * 11) % 120});
                }
        }
    }
};}

// The first day of the simulated market: "from_date" when the file names one, otherwise
// "days_before" days before today, so a fresh demo shows the last weeks' orders.
static QDate marketStart(const QJsonObject& market)
{
    const QDate fixed = QDate::fromString(str(market, "from_date"), Qt::ISODate);
    if (fixed.isValid())
        return fixed;
    return QDate::currentDate().addDays(-market.value(QLatin1String("days_before")).toInt(21));
}

bool KxSeedSeller(TDatabase& store, const QJsonObject& file, TKxMarketOpener openMarket)
{
    const QJsonObject seller = file.value(QLatin1String("seller")).toObject();
    const QJsonObject market = file.value(QLatin1String("market")).toObject();
    if (!market.isEmpty() && !openMarket)
        throw std::runtime_error("seed: the seller file plans a marketplace but no simulator opens it");
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    if (KxScalar(db, QStringLiteral("SELECT 1 FROM kx_nick WHERE nickid = ? OR masternick = ?"),
                 {str(seller, "nickid"), str(seller, "masternick")}).isValid())
        return false;
    const int schema = store.schemaVersion();
    TSeeder s{.db = db, .nick = str(seller, "nickid"), .oldGoodsNames = schema < 15, .hasExpress = schema >= 17,
              .hasSupplierGoods = schema >= 19};
    exec(db, "INSERT INTO kx_nick (nickid, masternick, nickname, title, helpurl, qqurl, created_at) VALUES (?, ?, ?, ?, ?, ?, ?)",
         {s.nick, str(seller, "masternick"), str(seller, "nickname"), str(seller, "title"), str(seller, "help"),
          str(seller, "qq"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    KxWriteCatalogue(db, s.nick, s.modIds);
    s.operators(file.value(QLatin1String("operators")).toArray());
    s.masterData(file);
    if (!market.isEmpty())
        openMarket(db, s.nick, TMarketPlan{quint64(market.value(QLatin1String("seed")).toDouble()),
                                           market.value(QLatin1String("trades")).toInt(), marketStart(market),
                                           str(seller, "masternick"), market.value(QLatin1String("live_per_day")).toInt()});
    t.commit();
    // A new database's tables were empty a moment ago; its first calls plan on these figures.
    KxVacuumAnalyse(db, {QStringLiteral("kx_nick"), QStringLiteral("kx_subnick"), QStringLiteral("kx_package"), QStringLiteral("kx_shop"),
                   QStringLiteral("kx_operator"), QStringLiteral("kx_module"), QStringLiteral("kx_module_param"), QStringLiteral("kx_power"),
                   QStringLiteral("kx_menu"), QStringLiteral("kx_nav"), QStringLiteral("kx_nav_bar"), QStringLiteral("kx_nav_but"),
                   QStringLiteral("kx_start_but"), QStringLiteral("kx_storagetype"), QStringLiteral("kx_storage"), QStringLiteral("kx_logistics_company"),
                   QStringLiteral("kx_logistics"), QStringLiteral("kx_sendren"), QStringLiteral("kx_brand"), QStringLiteral("kx_prop"),
                   QStringLiteral("kx_category"), QStringLiteral("kx_goods"), QStringLiteral("kx_commodity"), QStringLiteral("kx_stock"),
                   QStringLiteral("kx_supplier"), QStringLiteral("kx_vipcard"), QStringLiteral("kx_mk_item"), QStringLiteral("kx_mk_sku"),
                   QStringLiteral("kx_mk_trade"), QStringLiteral("kx_mk_order"), QStringLiteral("kx_mk_refund"), QStringLiteral("kx_mk_event"),
                   QStringLiteral("kx_mk_clock")});
    return true;
}
