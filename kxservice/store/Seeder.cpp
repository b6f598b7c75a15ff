#include "Seeder.h"

#include "Database.h"
#include "Passwords.h"
#include "market/Simulator.h"
#include "codec/uPanelJson.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <stdexcept>

namespace {
const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};

QString str(const QJsonObject& o, const char* key)
{
    const QString s = o.value(QLatin1String(key)).toVariant().toString();
    return s.isNull() ? QStringLiteral("") : s; // a missing text is empty, never NULL
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

    void modules(const QJsonObject& file)
    {
        int seq = 0;
        for (const QJsonValue& v : file.value(QLatin1String("packages")).toArray())
            exec(db, "INSERT INTO kx_package (nickid, libname, seq) VALUES (?, ?, ?)", {nick, v.toString(), ++seq});
        int id = 0;
        for (const QJsonValue& v : file.value(QLatin1String("modules")).toArray()) {
            const QJsonObject m = v.toObject();
            const QString name = str(m, "name");
            modIds.insert(name, ++id);
            const QJsonValue pub = m.value(QLatin1String("public"));
            exec(db, "INSERT INTO kx_module (nickid, mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                 {nick, id, name, str(m, "class"), str(m, "title"), m.value(QLatin1String("modal")).toBool() ? 1 : 0,
                  pub.isUndefined() ? 0 : 1, pub.isString() ? pub.toString() : QStringLiteral("")});
            int pseq = 0;
            const QJsonObject methods = m.value(QLatin1String("methods")).toObject();
            for (auto it = methods.begin(); it != methods.end(); ++it) {
                // A method is "Area.Action" or {"method": ..., "right": ...} to name its right.
                QString method = it.value().toString(), right = KxRightForMethodParam(it.key());
                if (it.value().isObject()) {
                    method = str(it.value().toObject(), "method");
                    right = str(it.value().toObject(), "right");
                }
                exec(db, "INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright)"
                         " VALUES (?, ?, ?, ?, ?, 1, ?)", {nick, id, ++pseq, it.key(), method, right});
            }
            const QJsonObject settings = m.value(QLatin1String("settings")).toObject();
            for (auto it = settings.begin(); it != settings.end(); ++it)
                exec(db, "INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright)"
                         " VALUES (?, ?, ?, ?, ?, 0, '')", {nick, id, ++pseq, it.key(), settingText(name, it.key(), it.value())});
        }
    }

    // A setting is text, or a search panel written readably ({"width", "height",
    // "controls"}) that becomes the "searchfile" text with the client's own codec.
    static QString settingText(const QString& module, const QString& key, const QJsonValue& value)
    {
        if (!value.isObject())
            return value.toString();
        QByteArray text;
        QString error;
        if (!KxPanelFromJson(value.toObject(), &text, &error))
            throw std::runtime_error(QStringLiteral("seed: panel %1.%2: %3").arg(module, key, error).toStdString());
        return QString::fromLatin1(text);
    }

    int modId(const QString& name)
    {
        const auto it = modIds.constFind(name);
        if (it == modIds.constEnd())
            throw std::runtime_error("seed: unknown module " + name.toStdString());
        return *it;
    }

    void navigation(const QJsonObject& nav)
    {
        int menuId = 0, seq = 0;
        for (const QJsonValue& f : nav.value(QLatin1String("menu")).toArray()) {
            const QJsonObject folder = f.toObject();
            const int folderId = ++menuId;
            exec(db, "INSERT INTO kx_menu (nickid, menu_id, parent_id, menu_title, mod_id, seq) VALUES (?, ?, 0, ?, 0, ?)",
                 {nick, folderId, str(folder, "title"), ++seq});
            for (const QJsonValue& i : folder.value(QLatin1String("items")).toArray())
                exec(db, "INSERT INTO kx_menu (nickid, menu_id, parent_id, menu_title, mod_id, seq) VALUES (?, ?, ?, ?, ?, ?)",
                     {nick, ++menuId, folderId, str(i.toObject(), "title"), modId(str(i.toObject(), "module")), ++seq});
        }
        int navId = 0, barId = 0, butId = 0;
        for (const QJsonValue& t : nav.value(QLatin1String("ribbon")).toArray()) {
            const QJsonObject tab = t.toObject();
            ++navId;
            exec(db, "INSERT INTO kx_nav (nickid, nav_id, nav_name, seq) VALUES (?, ?, ?, ?)", {nick, navId, str(tab, "tab"), navId});
            for (const QJsonValue& b : tab.value(QLatin1String("bars")).toArray()) {
                const QJsonObject bar = b.toObject();
                ++barId;
                exec(db, "INSERT INTO kx_nav_bar (nickid, bar_id, nav_id, bar_name, seq) VALUES (?, ?, ?, ?, ?)",
                     {nick, barId, navId, str(bar, "bar"), barId});
                for (const QJsonValue& u : bar.value(QLatin1String("buttons")).toArray()) {
                    const QJsonObject but = u.toObject();
                    ++butId;
                    exec(db, "INSERT INTO kx_nav_but (nickid, but_id, bar_id, mod_id, but_name, but_image, seq) VALUES (?, ?, ?, ?, ?, ?, ?)",
                         {nick, butId, barId, modId(str(but, "module")), str(but, "name"), str(but, "image"), butId});
                }
            }
        }
        seq = 0;
        for (const QJsonValue& s : nav.value(QLatin1String("start")).toArray()) {
            if (s.isString())
                exec(db, "INSERT INTO kx_start_but (nickid, seq, but_name, mod_id, but_image) VALUES (?, ?, '-', 0, '')", {nick, ++seq});
            else
                exec(db, "INSERT INTO kx_start_but (nickid, seq, but_name, mod_id, but_image) VALUES (?, ?, ?, ?, ?)",
                     {nick, ++seq, str(s.toObject(), "name"), modId(str(s.toObject(), "module")), str(s.toObject(), "image")});
        }
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
        }
        for (const QJsonValue& v : s.value(QLatin1String("vipcards")).toArray()) {
            const QJsonObject o = v.toObject();
            exec(db, "INSERT INTO kx_vipcard (nickid, vipid, vipname, catid, mobile, discount, is_use) VALUES (?, ?, ?, ?, ?, ?, 1)",
                 {nick, str(o, "vipid"), str(o, "vipname"), category(QStringLiteral("vipcard"), str(o, "category")),
                  str(o, "mobile"), str(o, "discount")});
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
            exec(db, "INSERT INTO kx_goods (nickid, goodscode, goodsname, catid, brand_id, propstyle, unit, costprice, saleprice, wholesale)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {nick, code, str(g, "goodsname"), category(QStringLiteral("goods"), str(g, "category")), str(g, "brand_id"),
                  str(g, "propstyle"), QStringLiteral("件"), str(g, "costprice"), str(g, "saleprice"), str(g, "wholesale")});
            int n = 0;
            for (const QJsonValue& c : g.value(QLatin1String("colors")).toArray())
                for (const QJsonValue& z : g.value(QLatin1String("sizes")).toArray()) {
                    const QString cc = code + QStringLiteral("%1").arg(++n, 2, 10, QLatin1Char('0'));
                    exec(db, "INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, propstyle,"
                             " propcolor, propsize, costprice, saleprice, wholesale, minnum, maxnum)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 5, 200)",
                         {nick, cc, code, QStringLiteral("69%1").arg(10000000 + ++barcode), str(g, "goodsname"),
                          str(g, "propstyle"), c.toString(), z.toString(), str(g, "costprice"), str(g, "saleprice"),
                          str(g, "wholesale")});
                    for (int i = 0; i < stockStorages.size(); ++i)
                        exec(db, "INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES (?, ?, ?, ?)",
                             {nick, stockStorages[i], cc, (barcode * 37 + i * 11) % 120});
                }
        }
    }
};
}

QString KxRightForMethodParam(const QString& param)
{
    if (param == QLatin1String("audit"))
        return QStringLiteral("isaudit");
    if (param.startsWith(QLatin1String("update")))
        return QStringLiteral("isupdate");
    if (param.contains(QLatin1String("search")) || param == QLatin1String("listdetail")
        || param == QLatin1String("powershow"))
        return QStringLiteral("issearch");
    return QStringLiteral("");
}

QJsonObject KxSeedFile(const QString& name)
{
    QFile f(QStringLiteral(":/kxseed/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("seed file missing: " + name.toStdString());
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError)
        throw std::runtime_error("seed file " + name.toStdString() + ": " + err.errorString().toStdString());
    return doc.object();
}

bool KxSeedSeller(TDatabase& store, const QJsonObject& file)
{
    const QJsonObject seller = file.value(QLatin1String("seller")).toObject();
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    if (KxScalar(db, QStringLiteral("SELECT 1 FROM kx_nick WHERE nickid = ? OR masternick = ?"),
                 {str(seller, "nickid"), str(seller, "masternick")}).isValid())
        return false;
    TSeeder s{db, str(seller, "nickid"), {}, {}, 1};
    exec(db, "INSERT INTO kx_nick (nickid, masternick, nickname, title, helpurl, qqurl, created_at) VALUES (?, ?, ?, ?, ?, ?, ?)",
         {s.nick, str(seller, "masternick"), str(seller, "nickname"), str(seller, "title"), str(seller, "help"),
          str(seller, "qq"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    s.modules(KxSeedFile(QStringLiteral("modules.json")));
    s.navigation(KxSeedFile(QStringLiteral("navigation.json")));
    s.operators(file.value(QLatin1String("operators")).toArray());
    s.masterData(file);
    const QJsonObject market = file.value(QLatin1String("market")).toObject();
    if (!market.isEmpty())
        TMarketSimulator(db, s.nick).populate(quint64(market.value(QLatin1String("seed")).toDouble()),
                                              market.value(QLatin1String("trades")).toInt(),
                                              QDate::fromString(str(market, "from_date"), Qt::ISODate),
                                              str(seller, "masternick"));
    t.commit();
    return true;
}
