#include "Catalogue.h"

#include "Database.h"
#include "SeedFile.h"
#include "codec/uPanelJson.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <stdexcept>

namespace {
QString str(const QJsonObject& o, const char* key)
{
    return KxSeedText(o, key);
}

void exec(QSqlDatabase& db, const char* sql, const QVariantList& args)
{
    KxExec(db, QString::fromLatin1(sql), args);
}

// The catalogue the service owns, as the rows it becomes, with module names where the tables
// hold mod_ids: packages, module descriptions and parameters, menu, ribbon and start menu.
struct TModuleParam {
    QString name, value;
    bool isMethod = false;
    QString needRight;
    bool operator==(const TModuleParam&) const = default;
};
struct TModuleHead {
    QString moduleClass, title;
    bool modal = false, isPublic = false;
    QString defPower;                 // the right a public module grants everyone
    bool operator==(const TModuleHead&) const = default;
    // As the digest reads it: the columns' text.
    QStringList text() const
    {
        return {moduleClass, title, modal ? QStringLiteral("1") : QStringLiteral("0"), isPublic ? QStringLiteral("1") : QStringLiteral("0"), defPower};
    }
};
struct TModuleDef {
    QString name;
    TModuleHead head;
    QList<TModuleParam> params;       // in answer order
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
        d.head = TModuleHead{str(m, "class"), str(m, "title"), m.value(QLatin1String("modal")).toBool(), !pub.isUndefined(),
                             pub.isString() ? pub.toString() : QStringLiteral("")};
        const QJsonObject methods = m.value(QLatin1String("methods")).toObject();
        for (auto it = methods.begin(); it != methods.end(); ++it) {
            // A method is "Area.Action" or {"method": ..., "right": ...} to name its right.
            QString method = it.value().toString(), right = KxRightForMethodParam(it.key());
            if (it.value().isObject()) {
                method = str(it.value().toObject(), "method");
                right = str(it.value().toObject(), "right");
            }
            d.params << TModuleParam{it.key(), method, true, right};
        }
        // Every module that saves records shows their history, read through one method.
        if (methods.contains(QLatin1String("update")) && !methods.contains(QLatin1String("history")))
            d.params << TModuleParam{QStringLiteral("history"), QStringLiteral("History.Search"), true, QString()};
        const QJsonObject settings = m.value(QLatin1String("settings")).toObject();
        for (auto it = settings.begin(); it != settings.end(); ++it)
            d.params << TModuleParam{it.key(), settingText(d.name, it.key(), it.value()), false, QStringLiteral("")};
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
        feed(QStringLiteral("module"), QStringList{m.name} + m.head.text());
        for (const TModuleParam& p : m.params)
            feed(QStringLiteral("param"), {p.name, p.value, p.isMethod ? QStringLiteral("1") : QStringLiteral("0"), p.needRight});
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
        TModuleHead head;
    };
    QHash<QString, TOld> old;
    QHash<int, QString> oldNames;
    int maxId = 0;
    for (const QStringList& r : readRows(db, QStringLiteral("SELECT mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower"
                                                            " FROM kx_module WHERE nickid = ?"), nick)) {
        const int id = r[0].toInt();
        old.insert(r[1], TOld{id, TModuleHead{r[2], r[3], r[4].toInt() != 0, r[5].toInt() != 0, r[6]}});
        oldNames.insert(id, r[1]);
        maxId = std::max(maxId, id);
    }
    QHash<int, QList<TModuleParam>> oldParams;
    for (const QStringList& r : readRows(db, QStringLiteral("SELECT mod_id, name, value, ismethod, needright FROM kx_module_param"
                                                            " WHERE nickid = ? AND mod_id <> 0 ORDER BY mod_id, seq"), nick))
        oldParams[r[0].toInt()] << TModuleParam{r[1], r[2], r[3].toInt() != 0, r[4]};

    auto insertParams = [&](int id, const QList<TModuleParam>& params) {
        int seq = 0;
        for (const TModuleParam& p : params)
            exec(db, "INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright) VALUES (?, ?, ?, ?, ?, ?, ?)",
                 {nick, id, ++seq, p.name, p.value, p.isMethod ? 1 : 0, p.needRight});
    };
    for (const TModuleDef& m : c.modules) {
        const TModuleHead& h = m.head;
        const auto it = old.constFind(m.name);
        if (it == old.constEnd()) {
            const int id = ++maxId;
            exec(db, "INSERT INTO kx_module (nickid, mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?)", {nick, id, m.name, h.moduleClass, h.title, h.modal ? 1 : 0, h.isPublic ? 1 : 0, h.defPower});
            insertParams(id, m.params);
            modIds.insert(m.name, id);
            ++u.added;
            continue;
        }
        const int id = it->id;
        modIds.insert(m.name, id);
        bool changed = false;
        if (it->head != h) {
            exec(db, "UPDATE kx_module SET moduleclass = ?, moduletitle = ?, modal = ?, ispublic = ?, defpower = ?"
                     " WHERE nickid = ? AND mod_id = ?", {h.moduleClass, h.title, h.modal ? 1 : 0, h.isPublic ? 1 : 0, h.defPower, nick, id});
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

    // Packages are written in catalogue order with seq 1, 2, …: the rows compare as that text.
    QList<QStringList> packages;
    for (const QString& p : c.packages)
        packages << QStringList{p, QString::number(packages.size() + 1)};
    if (readRows(db, QStringLiteral("SELECT libname, seq FROM kx_package WHERE nickid = ? ORDER BY seq"), nick) != packages) {
        exec(db, "DELETE FROM kx_package WHERE nickid = ?", {nick});
        for (int i = 0; i < c.packages.size(); ++i)
            exec(db, "INSERT INTO kx_package (nickid, libname, seq) VALUES (?, ?, ?)", {nick, c.packages[i], i + 1});
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

TCatalogueUpdate KxWriteCatalogue(QSqlDatabase& db, const QString& nickid, QHash<QString, int>& modIds)
{
    return writeCatalogue(db, nickid, catalogue(), modIds);
}
