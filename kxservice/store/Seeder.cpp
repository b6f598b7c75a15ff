#include "Seeder.h"

#include "Database.h"
#include "Passwords.h"
#include "market/LiveMarket.h"
#include "Statistics.h"
#include "market/Simulator.h"
#include "codec/uPanelJson.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSqlRecord>
#include <algorithm>
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
    const QString s = o.value(QLatin1String(key)).toVariant().toString();
    return s.isNull() ? QStringLiteral("") : s; // a missing text is empty, never NULL
}

void exec(QSqlDatabase& db, const char* sql, const QVariantList& args)
{
    KxExec(db, QString::fromLatin1(sql), args);
}

// The catalogue the service owns, as the rows it becomes, with module names where the tables
// hold mod_ids: packages, module descriptions and parameters, menu, ribbon and start menu.
struct TModuleDef {
    QString name;
    QStringList header;               // moduleclass, moduletitle, modal, ispublic, defpower
    QList<QStringList> params;        // name, value, ismethod, needright, in answer order
};
struct TMenuDef {
    QString title, module;            // a folder has no module
    QList<TMenuDef> items;
};
struct TButtonDef {
    QString name, module, image;      // a start menu separator is "-" without a module
};
struct TBarDef {
    QString name;
    QList<TButtonDef> buttons;
};
struct TTabDef {
    QString name;
    QList<TBarDef> bars;
};
struct TCatalogue {
    QStringList packages;
    QList<TModuleDef> modules;
    QList<TMenuDef> menu;
    QList<TTabDef> ribbon;
    QList<TButtonDef> start;
    QString version;                  // a digest of all of the above
};

// A setting is text, or a search panel written readably ({"width", "height", "controls"})
// that becomes the "searchfile" text with the client's own codec.
QString settingText(const QString& module, const QString& key, const QJsonValue& value)
{
    if (!value.isObject())
        return value.toString();
    QByteArray text;
    QString error;
    if (!KxPanelFromJson(value.toObject(), &text, &error))
        throw std::runtime_error(QStringLiteral("seed: panel %1.%2: %3").arg(module, key, error).toStdString());
    return QString::fromLatin1(text);
}

TCatalogue loadCatalogue()
{
    TCatalogue c;
    const QJsonObject file = KxSeedFile(QStringLiteral("modules.json"));
    for (const QJsonValue& v : file.value(QLatin1String("packages")).toArray())
        c.packages << v.toString();
    QSet<QString> names;
    for (const QJsonValue& v : file.value(QLatin1String("modules")).toArray()) {
        const QJsonObject m = v.toObject();
        TModuleDef d;
        d.name = str(m, "name");
        names.insert(d.name);
        const QJsonValue pub = m.value(QLatin1String("public"));
        d.header = QStringList{str(m, "class"), str(m, "title"), m.value(QLatin1String("modal")).toBool() ? QStringLiteral("1") : QStringLiteral("0"),
                               pub.isUndefined() ? QStringLiteral("0") : QStringLiteral("1"), pub.isString() ? pub.toString() : QStringLiteral("")};
        const QJsonObject methods = m.value(QLatin1String("methods")).toObject();
        for (auto it = methods.begin(); it != methods.end(); ++it) {
            // A method is "Area.Action" or {"method": ..., "right": ...} to name its right.
            QString method = it.value().toString(), right = KxRightForMethodParam(it.key());
            if (it.value().isObject()) {
                method = str(it.value().toObject(), "method");
                right = str(it.value().toObject(), "right");
            }
            d.params << QStringList{it.key(), method, QStringLiteral("1"), right};
        }
        // Every module that saves records shows their history, read through one method.
        if (methods.contains(QLatin1String("update")) && !methods.contains(QLatin1String("history")))
            d.params << QStringList{QStringLiteral("history"), QStringLiteral("History.Search"), QStringLiteral("1"), QString()};
        const QJsonObject settings = m.value(QLatin1String("settings")).toObject();
        for (auto it = settings.begin(); it != settings.end(); ++it)
            d.params << QStringList{it.key(), settingText(d.name, it.key(), it.value()), QStringLiteral("0"), QStringLiteral("")};
        c.modules << d;
    }

    auto module = [&names](const QJsonObject& o) {
        const QString name = str(o, "module");
        if (!names.contains(name))
            throw std::runtime_error("seed: unknown module " + name.toStdString());
        return name;
    };
    const QJsonObject nav = KxSeedFile(QStringLiteral("navigation.json"));
    for (const QJsonValue& f : nav.value(QLatin1String("menu")).toArray()) {
        TMenuDef folder{str(f.toObject(), "title"), QString(), {}};
        for (const QJsonValue& i : f.toObject().value(QLatin1String("items")).toArray())
            folder.items << TMenuDef{str(i.toObject(), "title"), module(i.toObject()), {}};
        c.menu << folder;
    }
    for (const QJsonValue& t : nav.value(QLatin1String("ribbon")).toArray()) {
        TTabDef tab{str(t.toObject(), "tab"), {}};
        for (const QJsonValue& b : t.toObject().value(QLatin1String("bars")).toArray()) {
            TBarDef bar{str(b.toObject(), "bar"), {}};
            for (const QJsonValue& u : b.toObject().value(QLatin1String("buttons")).toArray())
                bar.buttons << TButtonDef{str(u.toObject(), "name"), module(u.toObject()), str(u.toObject(), "image")};
            tab.bars << bar;
        }
        c.ribbon << tab;
    }
    for (const QJsonValue& s : nav.value(QLatin1String("start")).toArray())
        c.start << (s.isString() ? TButtonDef{QStringLiteral("-"), QString(), QStringLiteral("")}
                                 : TButtonDef{str(s.toObject(), "name"), module(s.toObject()), str(s.toObject(), "image")});

    // The digest covers the rows as written (after the panel codec and the right rules), not
    // the files' text: a change in either changes the rows sellers must get.
    QCryptographicHash h(QCryptographicHash::Sha256);
    auto feed = [&h](const QString& kind, const QStringList& fields) {
        h.addData(kind.toUtf8());
        for (const QString& f : fields) {
            h.addData(QByteArrayView("\x1f", 1));
            h.addData(f.toUtf8());
        }
        h.addData(QByteArrayView("\x1e", 1));
    };
    feed(QStringLiteral("packages"), c.packages);
    for (const TModuleDef& m : c.modules) {
        feed(QStringLiteral("module"), QStringList{m.name} + m.header);
        for (const QStringList& p : m.params)
            feed(QStringLiteral("param"), p);
    }
    for (const TMenuDef& f : c.menu) {
        feed(QStringLiteral("folder"), {f.title});
        for (const TMenuDef& i : f.items)
            feed(QStringLiteral("item"), {i.title, i.module});
    }
    for (const TTabDef& t : c.ribbon) {
        feed(QStringLiteral("tab"), {t.name});
        for (const TBarDef& b : t.bars) {
            feed(QStringLiteral("bar"), {b.name});
            for (const TButtonDef& u : b.buttons)
                feed(QStringLiteral("button"), {u.name, u.module, u.image});
        }
    }
    for (const TButtonDef& s : c.start)
        feed(QStringLiteral("start"), {s.name, s.module, s.image});
    c.version = QString::fromLatin1(h.result().toHex());
    return c;
}

const TCatalogue& catalogue()
{
    static const TCatalogue c = loadCatalogue();
    return c;
}

// The rows of one of the seller's tables as text, in the order the SQL gives.
QList<QStringList> readRows(QSqlDatabase& db, const QString& sql, const QString& nick)
{
    QList<QStringList> rows;
    QSqlQuery q = KxExec(db, sql, {nick});
    const int n = q.record().count();
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < n; ++i)
            row << q.value(i).toString();
        rows << row;
    }
    return rows;
}

// Navigation entries the seller has already keep their ids; new ones take ids above every id
// in use, so nothing still pointing at an old id can be confused with a new entry.
class TIdKeeper {
public:
    void known(const QString& key, int id)
    {
        if (!m_old.contains(key))
            m_old.insert(key, id);
        m_next = std::max(m_next, id + 1);
    }
    int take(const QString& key)
    {
        const auto it = m_old.constFind(key);
        if (it != m_old.constEnd() && !m_used.contains(*it)) {
            m_used.insert(*it);
            return *it;
        }
        return m_next++;
    }

private:
    QHash<QString, int> m_old;
    QSet<int> m_used;
    int m_next = 1;
};

QString key(const QString& a, const QString& b)
{
    return a + QLatin1Char('\x1f') + b;
}

// Brings one seller's catalogue rows to the catalogue, writing only what differs: modules
// matched by name keep their mod_id (rights, menus and open clients refer to it), modules
// the catalogue no longer has go with their parameters and rights. The caller holds the
// write transaction. modIds receives every module's mod_id by name.
TCatalogueUpdate writeCatalogue(QSqlDatabase& db, const QString& nick, const TCatalogue& c, QHash<QString, int>& modIds)
{
    TCatalogueUpdate u;
    u.nickid = nick;

    struct TOld {
        int id;
        QStringList header;
    };
    QHash<QString, TOld> old;
    QHash<int, QString> oldNames;
    int maxId = 0;
    for (const QStringList& r : readRows(db, QStringLiteral("SELECT mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower"
                                                            " FROM kx_module WHERE nickid = ?"), nick)) {
        const int id = r[0].toInt();
        old.insert(r[1], TOld{id, r.mid(2)});
        oldNames.insert(id, r[1]);
        maxId = std::max(maxId, id);
    }
    QHash<int, QList<QStringList>> oldParams;
    for (const QStringList& r : readRows(db, QStringLiteral("SELECT mod_id, name, value, ismethod, needright FROM kx_module_param"
                                                            " WHERE nickid = ? AND mod_id <> 0 ORDER BY mod_id, seq"), nick))
        oldParams[r[0].toInt()] << r.mid(1);

    auto insertParams = [&](int id, const QList<QStringList>& params) {
        int seq = 0;
        for (const QStringList& p : params)
            exec(db, "INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright) VALUES (?, ?, ?, ?, ?, ?, ?)",
                 {nick, id, ++seq, p[0], p[1], p[2].toInt(), p[3]});
    };
    for (const TModuleDef& m : c.modules) {
        const QStringList& h = m.header;
        const auto it = old.constFind(m.name);
        if (it == old.constEnd()) {
            const int id = ++maxId;
            exec(db, "INSERT INTO kx_module (nickid, mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?)", {nick, id, m.name, h[0], h[1], h[2].toInt(), h[3].toInt(), h[4]});
            insertParams(id, m.params);
            modIds.insert(m.name, id);
            ++u.added;
            continue;
        }
        const int id = it->id;
        modIds.insert(m.name, id);
        bool changed = false;
        if (it->header != h) {
            exec(db, "UPDATE kx_module SET moduleclass = ?, moduletitle = ?, modal = ?, ispublic = ?, defpower = ?"
                     " WHERE nickid = ? AND mod_id = ?", {h[0], h[1], h[2].toInt(), h[3].toInt(), h[4], nick, id});
            changed = true;
        }
        if (oldParams.value(id) != m.params) {
            exec(db, "DELETE FROM kx_module_param WHERE nickid = ? AND mod_id = ?", {nick, id});
            insertParams(id, m.params);
            changed = true;
        }
        u.changed += changed ? 1 : 0;
        old.erase(it);
    }
    for (const TOld& gone : std::as_const(old)) {
        for (const char* sql : {"DELETE FROM kx_module_param WHERE nickid = ? AND mod_id = ?",
                                "DELETE FROM kx_power WHERE nickid = ? AND mod_id = ?",
                                "DELETE FROM kx_module WHERE nickid = ? AND mod_id = ?"})
            exec(db, sql, {nick, gone.id});
        ++u.removed;
    }

    QList<QStringList> packages;
    int seq = 0;
    for (const QString& p : c.packages)
        packages << QStringList{p, QString::number(++seq)};
    if (readRows(db, QStringLiteral("SELECT libname, seq FROM kx_package WHERE nickid = ? ORDER BY seq"), nick) != packages) {
        exec(db, "DELETE FROM kx_package WHERE nickid = ?", {nick});
        for (const QStringList& p : packages)
            exec(db, "INSERT INTO kx_package (nickid, libname, seq) VALUES (?, ?, ?)", {nick, p[0], p[1].toInt()});
        u.packages = true;
    }

    auto modId = [&modIds](const QString& name) { return modIds.value(name); };

    // Menu: a folder is known by its title, an item by its folder and module.
    const QList<QStringList> oldMenu = readRows(db, QStringLiteral(
        "SELECT menu_id, parent_id, menu_title, mod_id, seq FROM kx_menu WHERE nickid = ? ORDER BY menu_id"), nick);
    QHash<QString, QString> folderTitles;
    for (const QStringList& r : oldMenu)
        if (r[3] == QLatin1String("0"))
            folderTitles.insert(r[0], r[2]);
    TIdKeeper menuIds;
    for (const QStringList& r : oldMenu)
        menuIds.known(r[3] == QLatin1String("0") ? r[2] : key(folderTitles.value(r[1]), oldNames.value(r[3].toInt())), r[0].toInt());
    QList<QVariantList> menu;
    for (const TMenuDef& f : c.menu) {
        const int folderId = menuIds.take(f.title);
        menu << QVariantList{folderId, 0, f.title, 0, menu.size() + 1};
        for (const TMenuDef& i : f.items)
            menu << QVariantList{menuIds.take(key(f.title, i.module)), folderId, i.title, modId(i.module), menu.size() + 1};
    }

    // Ribbon: a tab by its name, a bar by its tab and name, a button by its bar and module.
    const QList<QStringList> oldTabs = readRows(db, QStringLiteral(
        "SELECT nav_id, nav_name, seq FROM kx_nav WHERE nickid = ? ORDER BY nav_id"), nick);
    const QList<QStringList> oldBars = readRows(db, QStringLiteral(
        "SELECT bar_id, nav_id, bar_name, seq FROM kx_nav_bar WHERE nickid = ? ORDER BY bar_id"), nick);
    const QList<QStringList> oldButs = readRows(db, QStringLiteral(
        "SELECT but_id, bar_id, mod_id, but_name, but_image, seq FROM kx_nav_but WHERE nickid = ? ORDER BY but_id"), nick);
    TIdKeeper tabIds, barIds, butIds;
    QHash<QString, QString> tabNames, barKeys;
    for (const QStringList& r : oldTabs) {
        tabIds.known(r[1], r[0].toInt());
        tabNames.insert(r[0], r[1]);
    }
    for (const QStringList& r : oldBars) {
        barKeys.insert(r[0], key(tabNames.value(r[1]), r[2]));
        barIds.known(barKeys.value(r[0]), r[0].toInt());
    }
    for (const QStringList& r : oldButs)
        butIds.known(key(barKeys.value(r[1]), oldNames.value(r[2].toInt())), r[0].toInt());
    QList<QVariantList> tabs, bars, buts;
    for (const TTabDef& t : c.ribbon) {
        const int tabId = tabIds.take(t.name);
        tabs << QVariantList{tabId, t.name, tabs.size() + 1};
        for (const TBarDef& b : t.bars) {
            const QString barKey = key(t.name, b.name);
            const int barId = barIds.take(barKey);
            bars << QVariantList{barId, tabId, b.name, bars.size() + 1};
            for (const TButtonDef& x : b.buttons)
                buts << QVariantList{butIds.take(key(barKey, x.module)), barId, modId(x.module), x.name, x.image, buts.size() + 1};
        }
    }

    QList<QVariantList> start;
    for (const TButtonDef& x : c.start)
        start << QVariantList{start.size() + 1, x.name, x.module.isEmpty() ? 0 : modId(x.module), x.image};

    // A table is written anew when it differs. The rows read above are in id order (the start
    // menu's id is its seq), so what the seed gives is sorted the same way to compare.
    auto byId = [](QList<QVariantList> rows) {
        std::sort(rows.begin(), rows.end(), [](const QVariantList& a, const QVariantList& b) { return a[0].toInt() < b[0].toInt(); });
        return rows;
    };
    struct TNavTable {
        const char* table;
        const char* insert;
        QList<QVariantList> rows;
        QList<QStringList> old;
    };
    const TNavTable tables[] = {
        {"kx_menu", "INSERT INTO kx_menu (nickid, menu_id, parent_id, menu_title, mod_id, seq) VALUES (?, ?, ?, ?, ?, ?)",
         byId(menu), oldMenu},
        {"kx_nav", "INSERT INTO kx_nav (nickid, nav_id, nav_name, seq) VALUES (?, ?, ?, ?)", byId(tabs), oldTabs},
        {"kx_nav_bar", "INSERT INTO kx_nav_bar (nickid, bar_id, nav_id, bar_name, seq) VALUES (?, ?, ?, ?, ?)", byId(bars), oldBars},
        {"kx_nav_but", "INSERT INTO kx_nav_but (nickid, but_id, bar_id, mod_id, but_name, but_image, seq) VALUES (?, ?, ?, ?, ?, ?, ?)",
         byId(buts), oldButs},
        {"kx_start_but", "INSERT INTO kx_start_but (nickid, seq, but_name, mod_id, but_image) VALUES (?, ?, ?, ?, ?)", start,
         readRows(db, QStringLiteral("SELECT seq, but_name, mod_id, but_image FROM kx_start_but WHERE nickid = ? ORDER BY seq"), nick)},
    };
    for (const TNavTable& t : tables) {
        QList<QStringList> text;
        for (const QVariantList& r : t.rows) {
            QStringList row;
            for (const QVariant& v : r)
                row << v.toString();
            text << row;
        }
        if (text == t.old)
            continue;
        KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = ?").arg(QLatin1String(t.table)), {nick});
        for (const QVariantList& r : t.rows)
            exec(db, t.insert, QVariantList{nick} + r);
        u.navigation = true;
    }

    exec(db, "DELETE FROM kx_module_param WHERE nickid = ? AND mod_id = 0", {nick});
    exec(db, "INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright) VALUES (?, 0, 0, 'catalogue', ?, 0, '')",
         {nick, c.version});
    return u;
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

std::vector<TCatalogueUpdate> KxUpdateCatalogues(TDatabase& store)
{
    const TCatalogue& c = catalogue();
    QSqlDatabase db = store.connection();
    QStringList outdated;
    {
        QSqlQuery q = KxExec(db, QStringLiteral(
            "SELECT n.nickid FROM kx_nick n WHERE NOT EXISTS (SELECT 1 FROM kx_module_param p"
            " WHERE p.nickid = n.nickid AND p.mod_id = 0 AND p.seq = 0 AND p.value = ?) ORDER BY n.nickid"), {c.version});
        while (q.next())
            outdated << q.value(0).toString();
    }
    std::vector<TCatalogueUpdate> done;
    for (const QString& nick : outdated) {
        TTransaction t(store, db, true);
        // Another instance starting at the same time may be at this seller: wait for it, then
        // look again (SQLite's writers queue at BEGIN already).
        if (!store.isSqlite())
            exec(db, "SELECT nickid FROM kx_nick WHERE nickid = ? FOR UPDATE", {nick});
        if (KxScalar(db, QStringLiteral("SELECT 1 FROM kx_module_param WHERE nickid = ? AND mod_id = 0 AND seq = 0 AND value = ?"),
                     {nick, c.version}).isValid())
            continue;
        QHash<QString, int> modIds;
        done.push_back(writeCatalogue(db, nick, c, modIds));
        t.commit();
    }
    return done;
}

// The first day of the simulated market: "from_date" when the file names one, otherwise
// "days_before" days before today, so a fresh demo shows the last weeks' orders.
static QDate marketStart(const QJsonObject& market)
{
    const QDate fixed = QDate::fromString(str(market, "from_date"), Qt::ISODate);
    if (fixed.isValid())
        return fixed;
    return QDate::currentDate().addDays(-market.value(QLatin1String("days_before")).toInt(21));
}

bool KxSeedSeller(TDatabase& store, const QJsonObject& file)
{
    const QJsonObject seller = file.value(QLatin1String("seller")).toObject();
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    if (KxScalar(db, QStringLiteral("SELECT 1 FROM kx_nick WHERE nickid = ? OR masternick = ?"),
                 {str(seller, "nickid"), str(seller, "masternick")}).isValid())
        return false;
    const int schema = store.schemaVersion();
    TSeeder s{db, str(seller, "nickid"), {}, {}, 1, schema < 15, schema >= 17, schema >= 19};
    exec(db, "INSERT INTO kx_nick (nickid, masternick, nickname, title, helpurl, qqurl, created_at) VALUES (?, ?, ?, ?, ?, ?, ?)",
         {s.nick, str(seller, "masternick"), str(seller, "nickname"), str(seller, "title"), str(seller, "help"),
          str(seller, "qq"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    writeCatalogue(db, s.nick, catalogue(), s.modIds);
    s.operators(file.value(QLatin1String("operators")).toArray());
    s.masterData(file);
    const QJsonObject market = file.value(QLatin1String("market")).toObject();
    if (!market.isEmpty()) {
        TMarketSimulator sim(db, s.nick);
        sim.populate(quint64(market.value(QLatin1String("seed")).toDouble()), market.value(QLatin1String("trades")).toInt(),
                     marketStart(market), str(seller, "masternick"));
        // Buyers go on ordering from the start of the day the seller was created.
        if (const int perDay = market.value(QLatin1String("live_per_day")).toInt(); perDay > 0)
            TLiveMarket(db, s.nick, sim).start(quint64(market.value(QLatin1String("seed")).toDouble()), perDay,
                                               QDate::currentDate().startOfDay());
    }
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
