// Operators' rights and the stock and price pushes through the service's methods, on SQLite
// and (when KX_PG_URL is set) PostgreSQL: the rights rows of an operator, a save replacing
// the whole set and taking effect at the next call, the last holder of the rights form, a
// save racing the operator's calls; the views' figures, what a push sends to the
// marketplace and what it refuses.
#include "ServiceFixture.h"
#include "handlers/Handlers.h"
#include "StockMoves.h"

#include <QElapsedTimer>
#include <QSet>
#include <atomic>
#include <thread>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};
const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};
}

class TestPower : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{{{kAdmin, QStringLiteral("admin888")}, {kClerk, QStringLiteral("clerk888")}}};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    QMap<QString, int> m_modIds; // of the running engine, read once: saves run on other threads too
    int modId(const QString& module)
    {
        if (m_modIds.isEmpty()) {
            QSqlDatabase db = fx().db();
            QSqlQuery q = KxExec(db, "SELECT mod_name, mod_id FROM kx_module WHERE nickid = '1001'");
            while (q.next())
                m_modIds.insert(q.value(0).toString(), q.value(1).toInt());
        }
        return m_modIds.value(module);
    }
    QString modName(int id) { return m_modIds.key(id); }

    // What the rights form saves: the stored rows looked up, every one deleted, one row per
    // module given (module name -> rights joined by ",") appended.
    TCallResult replaceRights(const QString& operid, const QMap<QString, QString>& rights, const TCaller& who = kAdmin)
    {
        const TCallResult stored = fx().call(who, "Power.Search", {{"curoperid", operid}, {"curpage", "0"}});
        if (!stored.ok)
            return stored;
        TPClientDataSet ds;
        if (!ds.SetKXXMLData(stored.value("xmldata")))
            return {false, "<no packet>", {}};
        while (!ds.IsEmpty()) {
            ds.First();
            ds.Delete();
        }
        for (auto it = rights.begin(); it != rights.end(); ++it) {
            ds.Append();
            ds.FieldByName("operid")->SetAsString(operid);
            ds.FieldByName("mod_id")->SetAsInteger(modId(it.key()));
            const QStringList granted = it.value().split(',', Qt::SkipEmptyParts);
            for (const char* r : kRights)
                ds.FieldByName(r)->SetAsBoolean(granted.contains(QLatin1String(r)));
            ds.Post();
        }
        return fx().call(who, "Power.Update", {}, {{"delta", ds.GetKXXMLDelta()}});
    }
    // The operator's stored rights as "module:rights" lines, by module name.
    QStringList storedRights(const QString& operid)
    {
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT m.mod_name, w.isupdate, w.isaudit, w.issearch, w.isprint, w.isoutput, w.iscolumn FROM kx_power w"
                                 " JOIN kx_module m ON m.nickid = w.nickid AND m.mod_id = w.mod_id WHERE w.nickid = '1001' AND w.operid = ?"
                                 " ORDER BY m.mod_name", {operid});
        QStringList out;
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < 6; ++i)
                if (q.value(1 + i).toInt())
                    r << kRights[i];
            out << q.value(0).toString() + ":" + r.join(',');
        }
        return out;
    }
    // A product with exactly one mapped SKU; its item and SKU.
    QStringList mappedProduct()
    {
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT b.commoditycode, b.num_iid, b.sku_id FROM kx_sku_bind b JOIN kx_mk_sku s ON s.nickid = b.nickid AND s.sku_id = b.sku_id"
                                 " JOIN kx_commodity c ON c.nickid = b.nickid AND c.commoditycode = b.commoditycode"
                                 " WHERE b.nickid = '1001' AND c.is_pack = 0 AND (SELECT COUNT(*) FROM kx_sku_bind x WHERE x.nickid = b.nickid AND x.commoditycode = b.commoditycode) = 1"
                                 " ORDER BY b.commoditycode LIMIT 1");
        if (!q.next())
            return {};
        return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    }
    int marketQuantity(const QString& sku)
    {
        return fx().scalar("SELECT quantity FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {sku}).toInt();
    }
    int dispatchStock(const QString& code)
    {
        return fx().scalar("SELECT COALESCE(SUM(k.stocknum), 0) FROM kx_stock k JOIN kx_storage s ON s.nickid = k.nickid AND s.storageid = k.storageid"
                           " WHERE k.nickid = '1001' AND k.commoditycode = ? AND s.storagetype = 1", {code}).toInt();
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        const QString before = m_kind;
        KX_FETCH_ENGINE(m_kind);
        if (m_kind != before)
            m_modIds.clear();
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
        modId(QString());
    }

    // Every method a module row names is one the service implements: a row naming a method
    // nothing answers would hand its rights to nothing and fail the window that calls it.
    void everyModuleMethodIsImplemented()
    {
        if (m_kind != QLatin1String("sqlite"))
            QSKIP("the module rows are the same seed on every engine");
        const QStringList handled = KxHandledMethods();
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT DISTINCT m.mod_name, p.value FROM kx_module_param p JOIN kx_module m ON m.nickid = p.nickid"
                                 " AND m.mod_id = p.mod_id WHERE p.nickid = '1001' AND p.ismethod = 1 ORDER BY 1, 2");
        QStringList missing;
        int methods = 0;
        while (q.next()) {
            ++methods;
            if (!handled.contains(q.value(1).toString()))
                missing << q.value(0).toString() + ": " + q.value(1).toString();
        }
        QVERIFY(methods > 100);
        QCOMPARE(missing, QStringList());
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    // One row per module rights apply to, navigation first; ticked where the operator has it.
    void showListsEveryModuleWithTheOperatorsRights()
    {
        const TCallResult r = fx().call(kAdmin, "Power.Show", {{"curoperid", "clerk"}, {"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        auto rows = KxDataSet(r.value("xmldata"));
        QVERIFY(rows);
        const int all = fx().scalar("SELECT COUNT(*) FROM kx_module WHERE nickid = '1001' AND ispublic = 0").toInt();
        QCOMPARE(rows->RecordCount(), all);
        QVERIFY(rows->Locate("pmod_id", modId("Trade.Module")));
        QCOMPARE(rows->FieldByName("mod_id")->AsInteger(), modId("Trade.Module"));
        QCOMPARE(rows->FieldByName("display")->AsString(), fx().scalar("SELECT moduletitle FROM kx_module WHERE nickid = '1001' AND mod_name = 'Trade.Module'").toString());
        QVERIFY(rows->FieldByName("issearch")->AsBoolean());
        QVERIFY(!rows->FieldByName("isupdate")->AsBoolean());
        // A dialog outside the navigation is there too, so a save never drops its rights.
        QVERIFY(rows->Locate("pmod_id", modId("Receive.Edit")));
        QVERIFY(rows->FieldByName("mod_id")->AsInteger() != modId("Receive.Edit"));
        QVERIFY(!rows->FieldByName("isaudit")->AsBoolean());
        // The navigation's modules come first, in menu order.
        rows->First();
        QCOMPARE(rows->FieldByName("pmod_id")->AsInteger(),
                 fx().scalar("SELECT mod_id FROM kx_menu WHERE nickid = '1001' AND mod_id <> 0 ORDER BY seq LIMIT 1").toInt());

        const TCallResult unknown = fx().call(kAdmin, "Power.Show", {{"curoperid", "nobody"}, {"curpage", "0"}});
        QVERIFY(!unknown.ok);
        QVERIFY(unknown.error.contains("nobody"));
        // Another seller's operator is unknown here.
        QVERIFY(!fx().call(kAdmin, "Power.Show", {{"curoperid", "bossb"}, {"curpage", "0"}}).ok);
    }

    // A clerk without the receipt audit right is refused; once the rights form saves it, the
    // clerk's very next call may audit, with the same session.
    void aSaveTakesEffectAtTheNextCall()
    {
        const QStringList before = storedRights("clerk");
        // The clerk's navigation, asked again without a new login, follows the save too.
        const auto navigation = [&] { return KxColumn(fx().call(kClerk, "PowerMger.Navigation").value("kx_module"), "mod_name"); };
        QVERIFY(!navigation().contains("Receive.Module"));
        QVERIFY(navigation().contains("Brand.Module"));
        const TCallResult refused = fx().call(kClerk, "Receive.Audit", {}, {{"deltamaster", "<x/>"}});
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains("权限"), qPrintable(refused.error));

        QMap<QString, QString> rights;
        for (const QString& line : before)
            rights.insert(line.section(':', 0, 0), line.section(':', 1));
        rights.insert("Receive.Module", "issearch");
        rights.insert("Receive.Edit", "isupdate,isaudit,issearch");
        rights.remove("Brand.Module");
        const TCallResult saved = replaceRights("clerk", rights);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(KxColumn(saved.value("xmldata"), "operid").size(), rights.size());
        QVERIFY(storedRights("clerk").contains("Receive.Edit:isupdate,isaudit,issearch"));
        QVERIFY(!storedRights("clerk").join('|').contains("Brand.Module"));

        // Past the right check: what refuses now is the empty delta, not the rights.
        const TCallResult next = fx().call(kClerk, "Receive.Audit", {}, {{"deltamaster", "<x/>"}});
        QVERIFY(!next.ok);
        QVERIFY2(!next.error.contains("权限"), qPrintable(next.error));
        const TCallResult module = fx().call(kClerk, "Receive.Edit");
        QVERIFY2(module.ok, qPrintable(module.error));
        QCOMPARE(module.value("modulepower"), QStringLiteral("isupdate=True;isaudit=True;issearch=True;"));
        // The brand list went with its row.
        QVERIFY(!fx().call(kClerk, "Brand.Module").ok);
        QVERIFY(navigation().contains("Receive.Module"));
        QVERIFY(!navigation().contains("Brand.Module"));

        QMap<QString, QString> back;
        for (const QString& line : before)
            back.insert(line.section(':', 0, 0), line.section(':', 1));
        QVERIFY(replaceRights("clerk", back).ok);
        QCOMPARE(storedRights("clerk"), before);
    }

    // What a save refuses leaves every stored right as it was.
    void refusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("the last holder drops the rights form") << "drop" << "至少要保留一个";
        QTest::newRow("the last holder keeps it without isupdate") << "demote" << "至少要保留一个";
        QTest::newRow("a module that does not exist") << "module" << "模块 999999 不存在";
        QTest::newRow("an operator that does not exist") << "operator" << "操作员【ghost】不存在";
        QTest::newRow("rows changed meanwhile") << "stale" << "已被他人修改";
    }
    void refusals()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        const QStringList admin = storedRights("admin"), clerk = storedRights("clerk");
        TCallResult r;
        if (what == "drop" || what == "demote") {
            QMap<QString, QString> rights;
            for (const QString& line : admin)
                rights.insert(line.section(':', 0, 0), line.section(':', 1));
            if (what == "drop")
                rights.remove("Power.Module");
            else
                rights.insert("Power.Module", "issearch");
            r = replaceRights("admin", rights);
        } else {
            TPClientDataSet ds;
            QVERIFY(ds.SetKXXMLData(fx().call(kAdmin, "Power.Search", {{"curoperid", "clerk"}, {"curpage", "0"}}).value("xmldata")));
            ds.MergeChangeLog();
            if (what == "stale") {
                ds.First();
                ds.Edit();
                ds.FieldByName("isupdate")->SetAsBoolean(!ds.FieldByName("isupdate")->AsBoolean());
                ds.Post();
                ds.MergeChangeLog(); // the grid believes in a state the service never had
                ds.Delete();
            } else {
                ds.Append();
                ds.FieldByName("operid")->SetAsString(what == "operator" ? "ghost" : "clerk");
                ds.FieldByName("mod_id")->SetAsInteger(what == "module" ? 999999 : modId("Receive.Module"));
                ds.FieldByName("issearch")->SetAsBoolean(true);
                ds.Post();
            }
            r = fx().call(kAdmin, "Power.Update", {}, {{"delta", ds.GetKXXMLDelta()}});
        }
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(storedRights("admin"), admin);
        QCOMPARE(storedRights("clerk"), clerk);
    }

    // With a second holder the first may lose the rights form; nobody can then take it from
    // the last one, neither by a rights save nor by retiring the operator.
    void theLastHolderOfTheRightsForm()
    {
        const QStringList admin = storedRights("admin"), clerk = storedRights("clerk");
        QMap<QString, QString> clerkRights;
        for (const QString& line : clerk)
            clerkRights.insert(line.section(':', 0, 0), line.section(':', 1));
        clerkRights.insert("Power.Module", "isupdate,issearch");
        QVERIFY(replaceRights("clerk", clerkRights).ok);
        // Retiring the clerk would leave the admin alone: allowed, and back.
        QMap<QString, QString> adminRights;
        for (const QString& line : admin)
            adminRights.insert(line.section(':', 0, 0), line.section(':', 1));
        adminRights.remove("Power.Module");
        QVERIFY(replaceRights("admin", adminRights).ok);
        // Now the clerk is the only holder: the admin may not retire it.
        TPClientDataSet ops;
        QVERIFY(ops.SetKXXMLData(fx().call(kAdmin, "Operator.Search", {{"curpage", "0"}}).value("xmldata")));
        ops.MergeChangeLog();
        QVERIFY(ops.Locate("operid", "clerk"));
        ops.Edit();
        ops.FieldByName("isuse")->SetAsBoolean(false);
        ops.Post();
        const TCallResult retire = fx().call(kAdmin, "Operator.Update", {}, {{"delta", ops.GetKXXMLDelta()}});
        QVERIFY(!retire.ok);
        QVERIFY2(retire.error.contains("至少要保留一个"), qPrintable(retire.error));
        // The clerk gives the admin's back, and its own extra right goes.
        adminRights.insert("Power.Module", admin.filter("Power.Module:").value(0).section(':', 1));
        QVERIFY(replaceRights("admin", adminRights, kClerk).ok);
        clerkRights.remove("Power.Module");
        QVERIFY(replaceRights("clerk", clerkRights).ok);
        QCOMPARE(storedRights("admin"), admin);
        QCOMPARE(storedRights("clerk"), clerk);
    }

    // A call while saves switch the operator's set back and forth sees one set or the other.
    void aCallSeesTheOldOrTheNewSetNeverAMix()
    {
        const QStringList clerk = storedRights("clerk");
        QMap<QString, QString> a, b;
        for (const QString& line : clerk)
            a.insert(line.section(':', 0, 0), line.section(':', 1));
        b = a;
        for (const char* m : {"Receive.Module", "Receive.Edit", "Output.Module", "Supplier.Module"}) {
            if (modId(m) == 0)
                continue;
            a.insert(m, "isupdate,isaudit,issearch,isprint,isoutput,iscolumn");
            b.remove(m);
        }
        const QSet<QString> ticksA(a.keyBegin(), a.keyEnd()), ticksB(b.keyBegin(), b.keyEnd());
        std::atomic<bool> stop{false};
        std::atomic<int> saves{0};
        QString saveError;
        std::thread writer([&] {
            for (int i = 0; i < 16 && saveError.isEmpty(); ++i) {
                const TCallResult r = replaceRights("clerk", i % 2 ? b : a);
                if (!r.ok)
                    saveError = r.error;
                ++saves;
            }
            stop = true;
        });
        QStringList mixed, failed;
        int reads = 0;
        QElapsedTimer clock;
        clock.start();
        while ((!stop || reads < 4) && clock.elapsed() < 120000) {
            const TCallResult r = fx().call(kAdmin, "Power.Show", {{"curoperid", "clerk"}, {"curpage", "0"}});
            if (!r.ok) {
                failed << r.error;
                continue;
            }
            ++reads;
            auto rows = KxDataSet(r.value("xmldata"));
            QSet<QString> ticked;
            for (rows->First(); !rows->Eof(); rows->Next())
                if (rows->FieldByName("pmod_id")->AsInteger() == rows->FieldByName("mod_id")->AsInteger())
                    ticked.insert(modName(rows->FieldByName("pmod_id")->AsInteger()));
            if (ticked != ticksA && ticked != ticksB)
                mixed << QString::number(ticked.size());
        }
        writer.join();
        QVERIFY2(saveError.isEmpty(), qPrintable(saveError));
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('|')));
        QCOMPARE(saves.load(), 16);
        QVERIFY2(mixed.isEmpty(), qPrintable(mixed.join(',')));
        QVERIFY(replaceRights("clerk", b).ok);
        QCOMPARE(storedRights("clerk"), clerk);
    }

    // The stock view counts the dispatch storages only; the shop and returns storages do not sell.
    void viewsShowTheSellableStockAndThePrice()
    {
        const QString code = mappedProduct().value(0);
        QVERIFY(!code.isEmpty());
        fx().exec("UPDATE kx_stock SET stocknum = 0 WHERE nickid = '1001' AND commoditycode = ?", {code});
        for (const auto& [storage, n] : {std::pair{"CK01", 6}, std::pair{"CK02", 4}, std::pair{"CK03", 50}, std::pair{"CK04", 70}}) {
            fx().exec("DELETE FROM kx_stock WHERE nickid = '1001' AND storageid = ? AND commoditycode = ?", {storage, code});
            fx().exec("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES ('1001', ?, ?, ?)", {storage, code, n});
        }
        TCallResult r = fx().call(kAdmin, "CommodityStock.Search", {{"commoditycode", code}, {"curpage", "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        auto rows = KxDataSet(r.value("xmldata"));
        QCOMPARE(rows->RecordCount(), 1);
        QStringList names;
        for (int i = 0; i < rows->FieldCount(); ++i)
            names << rows->Fields(i)->FieldName();
        QCOMPARE(names, (QStringList{"commoditycode", "commodityname", "properties_name", "presell", "stocknum", "errormsg", "md5_key", "is_pack", "is_del", "catid"}));
        QCOMPARE(rows->FieldByName("stocknum")->AsInteger(), 10);
        QVERIFY(rows->FieldByName("errormsg")->AsString().isEmpty());

        r = fx().call(kAdmin, "CommodityPrice.Search", {{"commoditycode", code}, {"curpage", "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "saleprice"),
                 QStringList{QString::number(fx().scalar("SELECT saleprice FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {code}).toDouble(), 'f', 2)});
        QVERIFY(!KxDataSet(r.value("xmldata"))->FindField("stocknum"));
    }

    // What the marketplace gets is the sellable stock: after a receipt into a dispatch storage
    // it rises by the receipt, after a picking list's audit it falls by the list (the pieces
    // left the storage at the audit and are not counted twice), and stock in the shop storage
    // changes nothing.
    void pushedStockFollowsReceiptsAndPickings()
    {
        const QStringList p = mappedProduct();
        QVERIFY(!p.isEmpty());
        const QString code = p[0], sku = p[2];
        auto pushed = [&] {
            const TCallResult r = fx().call(kAdmin, "NetShop.UpdateStock", {{"commoditycode", code}});
            if (!r.ok)
                qWarning("%s", qPrintable(r.error));
            return r.ok ? r.value("stocknum").toInt() : -1;
        };
        const int start = pushed();
        QVERIFY(start >= 0);
        QCOMPARE(marketQuantity(sku), start);
        QCOMPARE(fx().call(kAdmin, "NetShop.UpdateStock", {{"commoditycode", code}}).value("done"), p[1] + "/" + sku);

        KxReceiveAudited(fx(), kAdmin, code, "CK01", 7);
        QCOMPARE(pushed(), start + 7);
        QCOMPARE(marketQuantity(sku), start + 7);
        // Stock in the shop storage (moved there by a transfer, say) does not sell online.
        fx().exec("DELETE FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK03' AND commoditycode = ?", {code});
        fx().exec("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES ('1001', 'CK03', ?, 20)", {code});
        QCOMPARE(pushed(), start + 7);
        KxPickAudited(fx(), kAdmin, code, "CK01", 3);
        QCOMPARE(pushed(), start + 4);
        QCOMPARE(marketQuantity(sku), start + 4);
        QCOMPARE(marketQuantity(sku), std::max(0, dispatchStock(code)
                     - fx().scalar("SELECT COALESCE(SUM(o.num), 0) FROM kx_trade_order o JOIN kx_trade r ON r.nickid = o.nickid AND r.tid = o.tid"
                                   " WHERE o.nickid = '1001' AND o.commoditycode = ? AND r.dbstatus = 'NOT_PICKING' AND r.status = 'WAIT_SELLER_SEND_GOODS'", {code}).toInt()));
    }

    void pushRefusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("no mapping") << "unmapped" << "没有对应的网店宝贝SKU";
        QTest::newRow("SKU gone from the marketplace") << "gone" << "已删除或已下架";
        QTest::newRow("unknown product") << "unknown" << "商品【NOPE】不存在";
        QTest::newRow("price not above zero") << "price" << "售价必须大于零";
    }
    void pushRefusals()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        const QStringList p = mappedProduct();
        QString code = p.value(0);
        QString method = "NetShop.UpdateStock";
        const int before = marketQuantity(p.value(2));
        if (what == "unmapped") {
            code = fx().scalar("SELECT MIN(c.commoditycode) FROM kx_commodity c WHERE c.nickid = '1001'"
                               " AND NOT EXISTS (SELECT 1 FROM kx_sku_bind b WHERE b.nickid = c.nickid AND b.commoditycode = c.commoditycode)").toString();
            QVERIFY(!code.isEmpty());
        } else if (what == "gone") {
            // A second mapping whose SKU the marketplace no longer has: nothing of the product goes.
            fx().exec("INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at) VALUES ('1001', ?, '999', ?, 'admin', '')", {p[1], code});
            fx().exec("UPDATE kx_stock SET stocknum = stocknum + 5 WHERE nickid = '1001' AND commoditycode = ? AND storageid = 'CK01'", {code});
        } else if (what == "unknown") {
            code = "NOPE";
        } else {
            method = "NetShop.UpdatePrice";
            fx().exec("UPDATE kx_commodity SET saleprice = 0 WHERE nickid = '1001' AND commoditycode = ?", {code});
        }
        const TCallResult r = fx().call(kAdmin, method, {{"commoditycode", code}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(marketQuantity(p.value(2)), before);
        if (what == "gone") {
            QVERIFY(r.error.contains(p[1] + "/999"));
            fx().exec("DELETE FROM kx_sku_bind WHERE nickid = '1001' AND sku_id = '999'");
            fx().exec("UPDATE kx_stock SET stocknum = stocknum - 5 WHERE nickid = '1001' AND commoditycode = ? AND storageid = 'CK01'", {code});
        } else if (what == "price") {
            fx().exec("UPDATE kx_commodity SET saleprice = 59 WHERE nickid = '1001' AND commoditycode = ?", {code});
        }
    }

    // Many products in one push, as the views' run sends them: those taken reach the
    // marketplace, each refused one is named with its reason and sends nothing.
    void pushManyNamesTheRefused()
    {
        const QStringList p = mappedProduct();
        const QString code = p.value(0);
        const QString unmapped = fx().scalar("SELECT MIN(c.commoditycode) FROM kx_commodity c WHERE c.nickid = '1001'"
                                             " AND NOT EXISTS (SELECT 1 FROM kx_sku_bind b WHERE b.nickid = c.nickid AND b.commoditycode = c.commoditycode)").toString();
        fx().exec("UPDATE kx_stock SET stocknum = stocknum + 3 WHERE nickid = '1001' AND commoditycode = ? AND storageid = 'CK01'", {code});
        const int single = fx().call(kAdmin, "NetShop.UpdateStock", {{"commoditycode", code}}).value("stocknum").toInt();
        fx().exec("UPDATE kx_stock SET stocknum = stocknum - 3 WHERE nickid = '1001' AND commoditycode = ? AND storageid = 'CK01'", {code});
        const TCallResult r = fx().call(kAdmin, "NetShop.UpdateStock", {{"commoditycode", "NOPE," + code + "," + unmapped}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("pushed"), code);
        const QStringList refused = r.value("refused").split('\n');
        QCOMPARE(refused.size(), 2);
        QVERIFY2(refused[0].startsWith("NOPE：") && refused[0].contains("不存在"), qPrintable(refused[0]));
        QVERIFY2(refused[1].startsWith(unmapped + "：") && refused[1].contains("没有对应的网店宝贝SKU"), qPrintable(refused[1]));
        QCOMPARE(marketQuantity(p.value(2)), single - 3);
    }

    // The price goes to every SKU of the product; a SKU-less item takes it itself, and the
    // item counts as changed for the next goods download.
    void pricePushReachesEveryMappedSku()
    {
        const QStringList p = mappedProduct();
        const QString code = p.value(0);
        fx().exec("UPDATE kx_commodity SET saleprice = 88.5 WHERE nickid = '1001' AND commoditycode = ?", {code});
        const QString stamp = fx().scalar("SELECT modified FROM kx_mk_item WHERE nickid = '1001' AND num_iid = ?", {p[1]}).toString();
        TCallResult r = fx().call(kAdmin, "NetShop.UpdatePrice", {{"commoditycode", code}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("saleprice"), QStringLiteral("88.50"));
        QCOMPARE(fx().scalar("SELECT price FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {p[2]}).toDouble(), 88.5);
        QVERIFY(fx().scalar("SELECT modified FROM kx_mk_item WHERE nickid = '1001' AND num_iid = ?", {p[1]}).toString() >= stamp);

        // An item without SKUs of its own, mapped by its id.
        fx().exec("INSERT INTO kx_mk_item (nickid, num_iid, title, outer_id, price, num, approve_status, cid, modified, pic_url)"
                  " VALUES ('1001', '77001', '单品', '', 10, 0, 'instock', '0', '2020-01-01 00:00:00', '')");
        fx().exec("INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at) VALUES ('1001', '77001', '77001', ?, 'admin', '')", {code});
        r = fx().call(kAdmin, "NetShop.UpdateStock", {{"commoditycode", code}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(fx().scalar("SELECT num FROM kx_mk_item WHERE nickid = '1001' AND num_iid = '77001'").toInt(), r.value("stocknum").toInt());
        fx().exec("DELETE FROM kx_sku_bind WHERE nickid = '1001' AND num_iid = '77001'");
        fx().exec("DELETE FROM kx_mk_item WHERE nickid = '1001' AND num_iid = '77001'");
    }

    // Pushing needs the audit right of the view; the clerk has neither view.
    void pushNeedsTheViewsAuditRight()
    {
        const QString code = mappedProduct().value(0);
        const TCallResult r = fx().call(kClerk, "NetShop.UpdateStock", {{"commoditycode", code}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("权限"), qPrintable(r.error));
    }
};

QTEST_GUILESS_MAIN(TestPower)
#include "tst_power.moc"
