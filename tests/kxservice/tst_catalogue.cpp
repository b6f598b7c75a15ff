// The module catalogue of a seller an earlier version created: a start brings its modules and
// navigation to the built-in files, keeping mod_ids and the rights granted on them, and a
// seller already brought up to date is left alone. SQLite and, when KX_PG_URL names a
// database, PostgreSQL.
#include "ServiceFixture.h"

#include <QSqlRecord>
#include <atomic>
#include <latch>
#include <thread>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kOther{QStringLiteral("2002"), QString(), QString()};
const TCaller kBossB{QStringLiteral("2002"), QStringLiteral("bossb"), QStringLiteral("S01")};
const char* const kCatalogueTables[] = {"kx_package", "kx_module", "kx_module_param", "kx_power", "kx_menu",
                                        "kx_nav", "kx_nav_bar", "kx_nav_but", "kx_start_but"};

QStringList rows(TServiceFixture& f, const QString& sql, const QVariantList& args = {})
{
    QSqlDatabase db = f.db();
    QSqlQuery q = KxExec(db, sql, args);
    QStringList out;
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < q.record().count(); ++i)
            r << q.value(i).toString();
        out << r.join(QLatin1Char('|'));
    }
    return out;
}

// Every row of the given tables for one seller (the first three columns hold each key).
QStringList snapshot(TServiceFixture& f, const QString& nick, const QStringList& tables)
{
    QStringList out;
    for (const QString& t : tables)
        for (const QString& r : rows(f, QStringLiteral("SELECT * FROM %1 WHERE nickid = ? ORDER BY 1, 2, 3").arg(t), {nick}))
            out << t + QLatin1Char(':') + r;
    return out;
}

QStringList catalogueTables()
{
    QStringList out;
    for (const char* t : kCatalogueTables)
        out << QString::fromLatin1(t);
    return out;
}

QMap<QString, QString> modIds(TServiceFixture& f, const QString& nick)
{
    QMap<QString, QString> out;
    for (const QString& r : rows(f, QStringLiteral("SELECT mod_name, mod_id FROM kx_module WHERE nickid = ?"), {nick}))
        out.insert(r.section(QLatin1Char('|'), 0, 0), r.section(QLatin1Char('|'), 1));
    return out;
}

// The navigation of a login answer by titles and module names, as the operator sees it.
QStringList navigation(const TCallResult& login)
{
    QStringList out;
    auto mods = KxDataSet(login.value("kx_module"));
    auto name = [&](const TPClientDataSet& ds) {
        const int id = ds.FieldByName("mod_id")->AsInteger();
        return id == 0 ? QString() : mods->Locate("mod_id", id) ? mods->FieldByName("mod_name")->AsString() : QStringLiteral("<%1?>").arg(id);
    };
    auto menu = KxDataSet(login.value("kx_menu"));
    QHash<int, QString> folders;
    for (menu->First(); !menu->Eof(); menu->Next()) {
        const QString title = menu->FieldByName("menu_title")->AsString();
        if (menu->FieldByName("parent_id")->AsInteger() == 0)
            folders.insert(menu->FieldByName("menu_id")->AsInteger(), title);
        out << QStringLiteral("menu %1/%2 %3").arg(folders.value(menu->FieldByName("parent_id")->AsInteger()), title, name(*menu));
    }
    QHash<int, QString> tabs, bars;
    auto nav = KxDataSet(login.value("kx_nav"));
    for (nav->First(); !nav->Eof(); nav->Next())
        tabs.insert(nav->FieldByName("nav_id")->AsInteger(), nav->FieldByName("nav_name")->AsString());
    auto bar = KxDataSet(login.value("kx_nav_bar"));
    for (bar->First(); !bar->Eof(); bar->Next()) {
        const QString path = tabs.value(bar->FieldByName("nav_id")->AsInteger()) + QLatin1Char('/') + bar->FieldByName("bar_name")->AsString();
        bars.insert(bar->FieldByName("bar_id")->AsInteger(), path);
        out << QStringLiteral("bar ") + path;
    }
    auto but = KxDataSet(login.value("kx_nav_but"));
    for (but->First(); !but->Eof(); but->Next())
        out << QStringLiteral("button %1/%2 %3 %4").arg(bars.value(but->FieldByName("bar_id")->AsInteger()),
                                                        but->FieldByName("but_name")->AsString(), name(*but),
                                                        but->FieldByName("but_image")->AsString());
    auto start = KxDataSet(login.value("kx_start_but"));
    for (start->First(); !start->Eof(); start->Next())
        out << QStringLiteral("start %1 %2 %3").arg(start->FieldByName("but_name")->AsString(), name(*start),
                                                    start->FieldByName("but_image")->AsString());
    return out;
}
}

class TestCatalogue : public QObject {
    Q_OBJECT
    QString m_kind;

    // The service stopped and started again on the same database.
    static void restart(TServiceFixture& f)
    {
        const TServiceOptions o = f.service->options();
        KxResetTransport();
        f.service.reset();
        f.service = std::make_unique<TKxService>(o);
        f.service->prepare();
        f.service->start();
        KxSetServiceUrl(f.url());
    }
    static int logged(TServiceFixture& f, const QString& text)
    {
        QFile log(f.dir.filePath(QStringLiteral("service.log")));
        return log.open(QIODevice::ReadOnly) ? int(QString::fromUtf8(log.readAll()).count(text)) : -1;
    }
    static TCallResult login(TServiceFixture& f, const TCaller& seller, const QString& oper, const QString& password)
    {
        return f.call(seller, QStringLiteral("PowerMger.Login"),
                      {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), oper}, {QStringLiteral("password"), password}});
    }

    // Makes seller 1001 look like one an earlier version created: the purchase report had
    // another title and still names its old search method without a panel or captions, the
    // report package, the About window and the purchase report's menu entry are missing, a
    // report that is gone has rows, rights and navigation, and nothing marks the catalogue
    // the rows came from.
    static void makeOlder(TServiceFixture& f)
    {
        const QVariant receive = f.scalar("SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'Report.Receive'");
        const QVariant about = f.scalar("SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'System.About'");
        f.exec("DELETE FROM kx_module_param WHERE nickid = '1001' AND mod_id = ?", {receive});
        f.exec("INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright)"
               " VALUES ('1001', ?, 1, 'search', 'Report.Search', 1, 'issearch')", {receive});
        f.exec("UPDATE kx_module SET moduletitle = '采购统计', modal = 1 WHERE nickid = '1001' AND mod_id = ?", {receive});
        f.exec("DELETE FROM kx_menu WHERE nickid = '1001' AND mod_id = ?", {receive});
        f.exec("DELETE FROM kx_package WHERE nickid = '1001' AND libname = 'kx_report.so'");
        for (const char* t : {"kx_module", "kx_module_param", "kx_menu", "kx_start_but"})
            f.exec(QStringLiteral("DELETE FROM %1 WHERE nickid = '1001' AND mod_id = ?").arg(QLatin1String(t)), {about});
        f.exec("INSERT INTO kx_module (nickid, mod_id, mod_name, moduleclass, moduletitle, modal, ispublic, defpower)"
               " VALUES ('1001', 900, 'Report.Old', 'TFrmReport', '旧报表', 0, 0, '')");
        f.exec("INSERT INTO kx_module_param (nickid, mod_id, seq, name, value, ismethod, needright)"
               " VALUES ('1001', 900, 1, 'search', 'Report.OldSearch', 1, 'issearch')");
        for (const char* oper : {"admin", "clerk"})
            f.exec("INSERT INTO kx_power (nickid, operid, mod_id, isupdate, isaudit, issearch, isprint, isoutput, iscolumn)"
                   " VALUES ('1001', ?, 900, 0, 0, 1, 1, 0, 0)", {QString::fromLatin1(oper)});
        f.exec("INSERT INTO kx_menu (nickid, menu_id, parent_id, menu_title, mod_id, seq)"
               " SELECT nickid, 900, parent_id, '旧报表', 900, seq FROM kx_menu WHERE nickid = '1001' AND menu_title = '销售报表'");
        f.exec("INSERT INTO kx_nav_but (nickid, but_id, bar_id, mod_id, but_name, but_image, seq)"
               " SELECT nickid, 900, bar_id, 900, '旧报表', 'report.png', 900 FROM kx_nav_but WHERE nickid = '1001' AND but_name = '销售报表'");
        f.exec("INSERT INTO kx_start_but (nickid, seq, but_name, mod_id, but_image) VALUES ('1001', 900, '旧报表', 900, 'module.png')");
        f.exec("DELETE FROM kx_module_param WHERE nickid = '1001' AND mod_id = 0");
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
    }
    void cleanup() { KxSetServiceUrl(QString()); }

    void aStartBringsAnOlderCatalogueUpToDate()
    {
        TServiceFixture f(m_kind);
        const QMap<QString, QString> idsBefore = modIds(f, "1001");
        const QStringList rightsBefore = rows(f, "SELECT operid, mod_id, isupdate, isaudit, issearch, isprint, isoutput, iscolumn"
                                                 " FROM kx_power WHERE nickid = '1001' ORDER BY operid, mod_id");
        // Seller 2002's catalogue rows and seller 1001's own data stay as they are.
        const QStringList untouched = snapshot(f, "2002", catalogueTables())
                                      + snapshot(f, "1001", {"kx_operator", "kx_shop", "kx_goods", "kx_stock"});
        makeOlder(f);
        // Seller 2002 came from the earlier version too, and nothing it has changed since.
        f.exec("DELETE FROM kx_module_param WHERE nickid = '2002' AND mod_id = 0");
        const QString entriesSql = QStringLiteral(
            "SELECT 'menu', menu_id, menu_title, mod_id FROM kx_menu WHERE nickid = '1001' AND mod_id <> 900 UNION ALL"
            " SELECT 'button', but_id, but_name, mod_id FROM kx_nav_but WHERE nickid = '1001' AND mod_id <> 900");
        const QStringList entries = rows(f, entriesSql);

        restart(f);
        QCOMPARE(logged(f, "seller 1001: module catalogue brought up to date (modules added 1, changed 1, removed 1;"
                           " packages rewritten, navigation rewritten)"), 1);
        QCOMPARE(logged(f, "seller 2002: module catalogue brought up to date (modules added 0, changed 0, removed 0;"
                           " packages kept, navigation kept)"), 1);

        QVERIFY(login(f, kSeller, "admin", "admin888").ok);
        QVERIFY(login(f, kOther, "bossb", "bossb888").ok);
        QCOMPARE(f.call(kSeller, "PowerMger.LoadLib").value("xmldata"), f.call(kOther, "PowerMger.LoadLib").value("xmldata"));
        const TCallResult report = f.call(kAdmin, "Report.Receive");
        QVERIFY2(report.ok, qPrintable(report.error));
        QCOMPARE(report.value("search"), QStringLiteral("Report.ReceiveSearch"));
        QVERIFY(!report.value("searchfile").isEmpty() && !report.value("fieldlabels").isEmpty());
        // Every module answers as for a seller created by this version, the returned About
        // window included; the module that is gone is unknown.
        for (const QString& name : modIds(f, "2002").keys()) {
            const TCallResult mine = f.call(kAdmin, name), fresh = f.call(kBossB, name);
            QVERIFY2(mine.ok && fresh.ok, qPrintable(name + ": " + mine.error + fresh.error));
            QVERIFY2(mine.values == fresh.values, qPrintable(name));
        }
        const TCallResult old = f.call(kAdmin, "Report.Old");
        QVERIFY(!old.ok);
        QVERIFY2(old.error.contains(QStringLiteral("未知的服务方法或模块")), qPrintable(old.error));
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_module_param WHERE nickid = '1001' AND mod_id = 900").toInt(), 0);

        // Menu, ribbon and start menu as a new seller has them: the purchase report's entry and
        // the About window are back, the old report is gone.
        const QStringList nav = navigation(login(f, kSeller, "admin", "admin888"));
        QCOMPARE(nav, navigation(login(f, kOther, "bossb", "bossb888")));
        QVERIFY(nav.contains(QStringLiteral("menu 报表/采购报表 Report.Receive")));
        QVERIFY(nav.contains(QStringLiteral("menu 系统管理/关于 System.About")));
        const QStringList entriesAfter = rows(f, entriesSql);
        for (const QString& e : entries)
            QVERIFY2(entriesAfter.contains(e), qPrintable(e + " moved")); // entries that stay keep their ids

        // Modules that stayed keep their ids and every right granted on them; the rights on
        // the old report went with it.
        QMap<QString, QString> idsAfter = modIds(f, "1001");
        QVERIFY(idsAfter.contains("System.About"));
        idsAfter.remove("System.About");
        QMap<QString, QString> kept = idsBefore;
        kept.remove("System.About");
        QCOMPARE(idsAfter, kept);
        QCOMPARE(rows(f, "SELECT operid, mod_id, isupdate, isaudit, issearch, isprint, isoutput, iscolumn"
                         " FROM kx_power WHERE nickid = '1001' ORDER BY operid, mod_id"), rightsBefore);
        QCOMPARE(snapshot(f, "2002", catalogueTables()) + snapshot(f, "1001", {"kx_operator", "kx_shop", "kx_goods", "kx_stock"}),
                 untouched);

        // Up to date now: the next start does not touch the seller.
        const QStringList current = snapshot(f, "1001", catalogueTables());
        restart(f);
        QCOMPARE(logged(f, "module catalogue brought up to date"), 2);
        QCOMPARE(snapshot(f, "1001", catalogueTables()), current);
    }

    // Two instances starting together on one outdated seller: one brings it up to date, the
    // other waits and finds nothing left to do.
    void twoStartsAtOnce()
    {
        TServiceFixture f(m_kind);
        makeOlder(f);
        std::latch ready(2);
        std::atomic<int> updated{0};
        QStringList failures;
        std::mutex m;
        auto run = [&] {
            ready.arrive_and_wait();
            try {
                for (const TCatalogueUpdate& u : KxUpdateCatalogues(f.service->store()))
                    updated += u.nickid == QLatin1String("1001") ? 1 : 100;
            } catch (const std::exception& e) {
                std::lock_guard lock(m);
                failures << QString::fromUtf8(e.what());
            }
            f.service->store().releaseThreadConnection();
        };
        std::thread a(run), b(run);
        a.join();
        b.join();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        QCOMPARE(updated.load(), 1);
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_module WHERE nickid = '1001' AND mod_name IN ('System.About', 'Report.Old')").toInt(), 1);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
