// Online goods, products, SKU mappings and bundles at the service: goods downloaded from the
// simulated marketplace (incremental, idempotent, following what changed there), a mapped
// SKU binding new orders, a bundle moving its components' stock, listing and delisting at the
// marketplace, and what saves refuse. SQLite, and PostgreSQL when KX_PG_URL is set.
#include "Deltas.h"
#include "ServiceFixture.h"
#include "market/Simulator.h"

#include <QUuid>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const QString kMain = QStringLiteral("varnoq_demo");

// A list or edit form's data set as the service answered it, changed as a window changes it.
struct TGrid {
    TPClientDataSet ds;
    explicit TGrid(const QString& xml) { ds.SetKXXMLData(xml); }
    void append(const QStringList& pairs)
    {
        ds.Append();
        ds.FieldByName("md5_key")->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
        KxSetFields(ds, pairs);
        ds.Post();
    }
    bool find(const QString& field, const QString& value) { return ds.Locate(field, value); }
    void edit(const QString& field, const QString& value, const QStringList& pairs)
    {
        QVERIFY2(find(field, value), qPrintable(value));
        ds.Edit();
        KxSetFields(ds, pairs);
        ds.Post();
    }
    void remove(const QString& field, const QString& value)
    {
        QVERIFY2(find(field, value), qPrintable(value));
        ds.Delete();
    }
    QString delta() const { return ds.GetKXXMLDelta(); }
};
}

class TestGoods : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{kAdmin, QStringLiteral("admin888")};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    QString one(const QString& sql, const QVariantList& args = {}) { return fx().scalar(sql, args).toString(); }
    TCallResult call(const QString& method, const QList<QPair<QString, QString>>& params = {}, const QList<QPair<QString, QString>>& files = {})
    {
        return fx().call(kAdmin, method, params, files);
    }
    template <typename F>
    void market(F&& f)
    {
        QSqlDatabase db = fx().db();
        TMarketSimulator m(db, QStringLiteral("1001"));
        f(m);
    }
    // One listing state as the download dialog fetches it: the one-item probe, then pages of
    // 50 up to the total. Returns the total, or -1 when a call failed.
    int downGoods(const QString& status)
    {
        const auto page = [&](int no, int n) {
            return call("NetShop.DownGoods", {{"detailnick", kMain}, {"status", status}, {"page_no", QString::number(no)}, {"page_size", QString::number(n)}});
        };
        const TCallResult probe = page(1, 1);
        if (!probe.ok)
            return -1;
        const int total = probe.value("total_results").trimmed().toInt();
        for (int p = 1; p <= (total + 49) / 50; ++p)
            if (!page(p, 50).ok)
                return -1;
        return total;
    }
    int downTrades()
    {
        const auto page = [&](int no, int n) {
            return call("NetShop.DownTrades", {{"detailnick", kMain}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                               {"page_no", QString::number(no)}, {"page_size", QString::number(n)}});
        };
        const TCallResult probe = page(1, 1);
        if (!probe.ok)
            return -1;
        const int total = probe.value("total_results").toInt();
        for (int p = 1; p <= (total + 49) / 50; ++p)
            if (!page(p, 50).ok)
                return -1;
        return total;
    }
    // The goods in the books against the marketplace's items, field by field.
    void goodsAsMarketplace()
    {
        QCOMPARE(one("SELECT COUNT(*) FROM kx_mk_item i LEFT JOIN kx_goods g ON g.nickid = i.nickid AND g.num_iid = i.num_iid"
                     " WHERE i.nickid = '1001' AND (g.goodscode IS NULL OR g.goodsname <> i.title OR g.approve_status <> i.approve_status"
                     " OR g.saleprice <> i.price)"), QStringLiteral("0"));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_goods_sku WHERE nickid = '1001'"), one("SELECT COUNT(*) FROM kx_mk_sku WHERE nickid = '1001'"));
        QCOMPARE(one("SELECT COUNT(*) FROM (SELECT num_iid FROM kx_goods WHERE nickid = '1001' AND num_iid <> '' GROUP BY num_iid HAVING COUNT(*) > 1) x"),
                 QStringLiteral("0"));
    }
    qint64 stock(const QString& storage, const QString& code)
    {
        return fx().scalar("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = ? AND commoditycode = ?", {storage, code}).toLongLong();
    }
    // A bundle saved from its edit form: the master (new or loaded) and its components.
    TCallResult saveBundle(const QString& code, const QStringList& master, const QList<QStringList>& add, const QStringList& drop = {})
    {
        const TCallResult loaded = call("PackCommodity.Load", {{"commoditycode", code}});
        if (!loaded.ok)
            return loaded;
        TGrid m(loaded.value("xmlmaster")), d(loaded.value("xmldetail"));
        if (code.isEmpty())
            m.append(master + QStringList{"is_pack=1"});
        else if (!master.isEmpty())
            m.edit("commoditycode", code, master);
        const QString key = m.ds.FieldByName("md5_key")->AsString();
        for (const QStringList& c : add) {
            d.ds.Append();
            KxSetFields(d.ds, c);
            d.ds.FieldByName("md5_key")->SetAsString(key);
            if (!code.isEmpty())
                d.ds.FieldByName("commoditycode")->SetAsString(code);
            d.ds.Post();
        }
        for (const QString& sub : drop)
            d.remove("subcommoditycode", sub);
        QList<QPair<QString, QString>> files;
        if (m.ds.ChangeCount() > 0)
            files.append({"deltamaster", m.delta()});
        if (d.ds.ChangeCount() > 0)
            files.append({"deltadetail", d.delta()});
        return call("PackCommodity.Update", {}, files);
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    // Categories and both listing states: the demo's own goods are found again (by item id or
    // seller code), the shop's other items become goods, a second download fetches nothing, and
    // what the seller changed at the marketplace comes with the next one.
    void downloadFollowsTheMarketplace()
    {
        market([](TMarketSimulator& m) { m.listItems(7, 120, 4); });
        const QString demoGoods = one("SELECT COUNT(*) FROM kx_goods WHERE nickid = '1001'");
        const TCallResult cats = call("NetShop.DownCategory", {{"detailnick", kMain}});
        QVERIFY2(cats.ok, qPrintable(cats.error));
        QCOMPARE(cats.value("added").toInt(), 24);   // the demo's own categories are known already
        const TCallResult again = call("NetShop.DownCategory", {{"detailnick", kMain}});
        QCOMPARE(again.value("added") + "/" + again.value("changed"), QStringLiteral("0/0"));
        // A child category hangs under its downloaded parent.
        QCOMPARE(one("SELECT p.catname FROM kx_category c JOIN kx_category p ON p.nickid = c.nickid AND p.catid = c.parentid"
                     " WHERE c.nickid = '1001' AND c.cid = '60000101'"), QStringLiteral("男装"));

        const int onsale = one("SELECT COUNT(*) FROM kx_mk_item WHERE nickid = '1001' AND approve_status = 'onsale'").toInt();
        const int instock = one("SELECT COUNT(*) FROM kx_mk_item WHERE nickid = '1001' AND approve_status = 'instock'").toInt();
        QVERIFY(onsale > 50 && instock > 0);
        QCOMPARE(downGoods("onsale"), onsale);
        QCOMPARE(downGoods("instock"), instock);
        goodsAsMarketplace();
        QCOMPARE(one("SELECT COUNT(*) FROM kx_goods WHERE nickid = '1001'").toInt(), demoGoods.toInt() + 120);
        // New goods sit in the downloaded categories, and seller codes named no product: no mapping made.
        QCOMPARE(one("SELECT COUNT(*) FROM kx_goods g JOIN kx_category c ON c.nickid = g.nickid AND c.catid = g.catid"
                     " WHERE g.nickid = '1001' AND g.num_iid LIKE '53%' AND c.cid <> ''"), QStringLiteral("120"));
        QCOMPARE(downGoods("onsale"), 0);
        QCOMPARE(downGoods("instock"), 0);

        // The seller's own fields stay; the marketplace's follow.
        const QString code = one("SELECT goodscode FROM kx_goods WHERE nickid = '1001' AND num_iid = '530007000001'");
        fx().exec("UPDATE kx_goods SET memo = '手写备注', costprice = 12 WHERE nickid = '1001' AND goodscode = ?", {code});
        market([](TMarketSimulator& m) {
            m.advance(60);
            m.reviseItems(3, 9);
        });
        const int changedOnsale = one("SELECT COUNT(*) FROM kx_mk_item i JOIN kx_goods g ON g.nickid = i.nickid AND g.num_iid = i.num_iid"
                                      " WHERE i.nickid = '1001' AND i.approve_status = 'onsale' AND i.modified > (SELECT MAX(done_until) FROM kx_goods_sync"
                                      " WHERE nickid = '1001' AND status = 'onsale')").toInt();
        QVERIFY(changedOnsale > 0);
        QCOMPARE(downGoods("onsale"), changedOnsale);
        QVERIFY(downGoods("instock") >= 0);
        goodsAsMarketplace();
        QCOMPARE(one("SELECT memo || ' ' || costprice FROM kx_goods WHERE nickid = '1001' AND goodscode = ?", {code}).left(7), QStringLiteral("手写备注 12"));

        // One item by its id.
        const TCallResult single = call("NetShop.DownGood", {{"detailnick", kMain}, {"num_iid", "530007000002"}});
        QVERIFY2(single.ok, qPrintable(single.error));
        QCOMPARE(single.value("goodscode"), one("SELECT goodscode FROM kx_goods WHERE nickid = '1001' AND num_iid = '530007000002'"));
        QVERIFY(!call("NetShop.DownGood", {{"detailnick", kMain}, {"num_iid", "1"}}).ok);
    }

    // The pickers search the marketplace; an item without SKUs is its own SKU.
    void pickersSearchTheMarketplace()
    {
        const TCallResult items = call("NetShop.SearchItems", {{"detailnick", kMain}, {"q", "T恤"}});
        QVERIFY2(items.ok, qPrintable(items.error));
        const QStringList titles = KxColumn(items.value("xmldata"), "title");
        QVERIFY(!titles.isEmpty());
        for (const QString& t : titles)
            QVERIFY(t.contains("T恤"));
        QCOMPARE(KxColumn(items.value("xmldata"), "nick").first(), kMain);
        const QString withSkus = one("SELECT MIN(num_iid) FROM kx_mk_sku WHERE nickid = '1001'");
        const TCallResult skus = call("NetShop.SearchSkus", {{"detailnick", kMain}, {"num_iid", withSkus}});
        QCOMPARE(KxColumn(skus.value("xmldata"), "sku_id").size(),
                 one("SELECT COUNT(*) FROM kx_mk_sku WHERE nickid = '1001' AND num_iid = ?", {withSkus}).toInt());
        QVERIFY(!KxColumn(skus.value("xmldata"), "propcolor").first().isEmpty());
        const QString bare = one("SELECT MIN(num_iid) FROM kx_mk_item i WHERE nickid = '1001'"
                                 " AND NOT EXISTS (SELECT 1 FROM kx_mk_sku s WHERE s.nickid = i.nickid AND s.num_iid = i.num_iid)");
        if (!bare.isEmpty()) {
            const TCallResult own = call("NetShop.SearchSkus", {{"detailnick", kMain}, {"num_iid", bare}});
            QCOMPARE(KxColumn(own.value("xmldata"), "sku_id"), QStringList{bare});
        }
        QVERIFY(!call("NetShop.SearchItems", {{"detailnick", kMain}, {"q", " "}}).ok);
        // A LIKE wildcard is a plain character.
        QCOMPARE(KxColumn(call("NetShop.SearchItems", {{"detailnick", kMain}, {"q", "%"}}).value("xmldata"), "num_iid"), QStringList{});
    }

    // A SKU the marketplace sells that no product stands for: mapped in the mapping window,
    // the orders already in the books and those downloaded later come bound to the product.
    void mappedSkuBindsOrders()
    {
        // A SKU of the orders whose seller code names no product and that nobody mapped.
        const QString sku = one("SELECT MIN(sku_id) FROM kx_mk_order WHERE nickid = '1001'");
        QVERIFY(!sku.isEmpty());
        const QString item = one("SELECT num_iid FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {sku});
        fx().exec("DELETE FROM kx_sku_bind WHERE nickid = '1001' AND sku_id = ?", {sku});
        fx().exec("UPDATE kx_mk_sku SET outer_id = '' WHERE nickid = '1001' AND sku_id = ?", {sku});
        QVERIFY(downTrades() >= 0);
        QVERIFY(one("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ? AND commoditycode = ''", {sku}).toInt() > 0);

        // The list shows the product without a mapping; its edit form loads none.
        const TCallResult list = call("CommoditySku.Search", {{"commoditycode", "G100201"}, {"curpage", "1"}});
        QVERIFY2(list.ok, qPrintable(list.error));
        const TCallResult loaded = call("CommoditySku.Load", {{"commoditycode", "G100201"}, {"curpage", "0"}});
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        TGrid g(loaded.value("xmldata"));
        const int before = g.ds.RecordCount();
        g.append({"commoditycode=G100201", "nick=" + kMain, "num_iid=" + item, "sku_id=" + sku, "num_iidsku=" + item + "/" + sku, "title=T", "sku_properties_name=颜色分类:白色"});
        const TCallResult saved = call("CommoditySku.Update", {}, {{"delta", g.delta()}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(KxColumn(saved.value("xmldata"), "commodityname"), QStringList{one("SELECT commodityname FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100201'")});
        QCOMPARE(KxColumn(call("CommoditySku.Load", {{"commoditycode", "G100201"}, {"curpage", "0"}}).value("xmldata"), "num_iidsku").size(), before + 1);
        QCOMPARE(one("SELECT COUNT(*) FROM kx_trade_order o JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = '1001'"
                     " AND o.sku_id = ? AND o.commoditycode <> 'G100201' AND t.dbstatus = 'NOT_PICKING'", {sku}), QStringLiteral("0"));

        // New orders come bound: the books start again and download every order anew.
        fx().exec("DELETE FROM kx_trade_order WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        QVERIFY(downTrades() > 0);
        QVERIFY(one("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ?", {sku}).toInt() > 0);
        QCOMPARE(one("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ? AND commoditycode <> 'G100201'", {sku}), QStringLiteral("0"));

        // The same SKU once more, for another product: refused naming the product it stands for.
        TGrid other(call("CommoditySku.Load", {{"commoditycode", "G100202"}, {"curpage", "0"}}).value("xmldata"));
        other.append({"commoditycode=G100202", "num_iid=" + item, "sku_id=" + sku});
        const TCallResult twice = call("CommoditySku.Update", {}, {{"delta", other.delta()}});
        QVERIFY(!twice.ok);
        QVERIFY2(twice.error.contains("已对应商品【G100201"), qPrintable(twice.error));
    }

    // Orders downloaded while a SKU had no mapping wait unbound; the goods download that maps it
    // by its seller code binds them, but not those of orders already picked.
    void goodsDownloadBindsWaitingOrders()
    {
        const QString sku = one("SELECT MIN(o.sku_id) FROM kx_mk_order o JOIN kx_mk_sku s ON s.nickid = o.nickid AND s.sku_id = o.sku_id"
                                " JOIN kx_commodity c ON c.nickid = s.nickid AND c.commoditycode = s.outer_id WHERE o.nickid = '1001' AND c.is_del = 0");
        QVERIFY(!sku.isEmpty());
        const QString item = one("SELECT num_iid FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {sku});
        const QString code = one("SELECT outer_id FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {sku});
        fx().exec("DELETE FROM kx_sku_bind WHERE nickid = '1001' AND sku_id = ?", {sku});
        // The books start again, so every order of that SKU comes anew.
        fx().exec("DELETE FROM kx_trade_order WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        QVERIFY(downTrades() > 0);
        const int waiting = one("SELECT COUNT(*) FROM kx_trade_order o JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid"
                                " WHERE o.nickid = '1001' AND o.sku_id = ? AND o.commoditycode = '' AND t.dbstatus = 'NOT_PICKING'", {sku}).toInt();
        QVERIFY(waiting > 0);
        // One of them was picked meanwhile: it keeps what it was picked with.
        const QString picked = one("SELECT MIN(o.tid) FROM kx_trade_order o WHERE o.nickid = '1001' AND o.sku_id = ? AND o.commoditycode = ''", {sku});
        fx().exec("UPDATE kx_trade SET dbstatus = 'PICKINGED' WHERE nickid = '1001' AND tid = ?", {picked});

        const TCallResult r = call("NetShop.DownGood", {{"detailnick", kMain}, {"num_iid", item}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(one("SELECT commoditycode FROM kx_sku_bind WHERE nickid = '1001' AND sku_id = ?", {sku}), code);
        QCOMPARE(one("SELECT COUNT(*) FROM kx_trade_order o JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid"
                     " WHERE o.nickid = '1001' AND o.sku_id = ? AND t.dbstatus = 'NOT_PICKING' AND o.commoditycode <> ?", {sku, code}), QStringLiteral("0"));
        QCOMPARE(one("SELECT MAX(commoditycode) FROM kx_trade_order WHERE nickid = '1001' AND tid = ? AND sku_id = ?", {picked, sku}), QString());
    }

    // A bundle of three products: its shares follow the prices, and an audited outbound document
    // of two bundles moves each component's stock by twice its quantity, not the bundle's own.
    void bundleMovesItsComponents()
    {
        fx().exec("UPDATE kx_commodity SET saleprice = 30, wholesale = 20 WHERE nickid = '1001' AND commoditycode IN ('G100101', 'G100102')");
        fx().exec("UPDATE kx_commodity SET saleprice = 0, wholesale = 10 WHERE nickid = '1001' AND commoditycode = 'G100103'");
        const TCallResult saved = saveBundle({}, {"goodscode=G1001", "commodityname=三件套"},
                                             {{"subcommoditycode=G100101", "num=1"}, {"subcommoditycode=G100102", "num=2"}, {"subcommoditycode=G100103", "num=3"}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const QString bundle = KxColumn(saved.value("xmlmaster"), "commoditycode").value(0);
        QVERIFY(!bundle.isEmpty());
        QCOMPARE(KxColumn(saved.value("xmldetail"), "commoditycode"), QStringList(3, bundle));
        QCOMPARE(KxColumn(saved.value("xmldetail"), "md5_key"), QStringList(3, KxColumn(saved.value("xmlmaster"), "md5_key").value(0)));
        // Sale price × quantity 30, 60, 0 of 90; wholesale 20, 40, 30 of 90.
        QStringList shares;
        for (const QString& r : KxColumn(saved.value("xmldetail"), "salerate"))
            shares << QString::number(r.toDouble(), 'f', 4);
        QCOMPARE(shares, (QStringList{"0.3333", "0.6667", "0.0000"}));
        QCOMPARE(one("SELECT is_pack FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {bundle}), QStringLiteral("1"));

        const qint64 a = stock("CK03", "G100101"), b = stock("CK03", "G100102"), c = stock("CK03", "G100103");
        const TCallResult empty = call("Output.Load", {{"outputid", ""}});
        QVERIFY2(empty.ok, qPrintable(empty.error));
        TPClientDataSet master, detail;
        master.SetKXXMLData(empty.value("xmlmaster"));
        detail.SetKXXMLData(empty.value("xmldetail"));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        KxSetFields(master, {"md5_key=" + key, "status=0", "storageid=CK03"});
        master.Post();
        detail.Append();
        KxSetFields(detail, {"md5_key=" + key, "seq=1", "commoditycode=" + bundle, "outputnum=2"});
        detail.Post();
        const TCallResult doc = call("Output.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}});
        QVERIFY2(doc.ok, qPrintable(doc.error));
        master.SetKXXMLData(doc.value("xmlmaster"));
        master.Edit();
        master.FieldByName("status")->SetAsInteger(2);
        master.Post();
        const TCallResult audited = call("Output.Audit", {}, {{"deltamaster", master.GetKXXMLDelta()}});
        QVERIFY2(audited.ok, qPrintable(audited.error));
        QCOMPARE(stock("CK03", "G100101"), a - 2);
        QCOMPARE(stock("CK03", "G100102"), b - 4);
        QCOMPARE(stock("CK03", "G100103"), c - 6);
        QCOMPARE(stock("CK03", bundle), 0);
        QCOMPARE(one("SELECT COUNT(*) FROM kx_stock_ledger WHERE nickid = '1001' AND doctype = 'output' AND docid = ?", {KxColumn(doc.value("xmlmaster"), "outputid").value(0)}),
                 QStringLiteral("3"));

        // A bundle that documents use cannot go; one inside another cannot contain the outer one.
        const TCallResult outer = saveBundle({}, {"goodscode=G1001", "commodityname=大礼包"}, {{"subcommoditycode=" + bundle, "num=1"}, {"subcommoditycode=G100104", "num=1"}});
        QVERIFY2(outer.ok, qPrintable(outer.error));
        const QString big = KxColumn(outer.value("xmlmaster"), "commoditycode").value(0);
        const TCallResult loop = saveBundle(bundle, {}, {{"subcommoditycode=" + big, "num=1"}});
        QVERIFY(!loop.ok);
        QVERIFY2(loop.error.contains("不能包含它自己（经由【" + big), qPrintable(loop.error));
        const TCallResult self = saveBundle(big, {}, {{"subcommoditycode=" + big, "num=1"}});
        QVERIFY2(!self.ok && self.error.contains("不能包含它自己"), qPrintable(self.error));

        // All components removed: the bundle goes (nothing uses the outer one).
        const TCallResult loaded = call("PackCommodity.Load", {{"commoditycode", big}});
        TGrid m(loaded.value("xmlmaster")), d(loaded.value("xmldetail"));
        m.remove("commoditycode", big);
        d.remove("subcommoditycode", bundle);
        d.remove("subcommoditycode", "G100104");
        const TCallResult gone = call("PackCommodity.Update", {}, {{"deltamaster", m.delta()}, {"deltadetail", d.delta()}});
        QVERIFY2(gone.ok, qPrintable(gone.error));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {big}), QStringLiteral("0"));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_pack WHERE nickid = '1001' AND commoditycode = ?", {big}), QStringLiteral("0"));
    }

    // A bundle's stock in the catalogue is the whole bundles its components make, storage by
    // storage (one storage's pieces cannot finish another's bundle), nested bundles counted
    // down to their products; its stock value follows at its own cost price.
    void bundleStockInTheCatalogue()
    {
        const TCallResult inner = saveBundle({}, {"goodscode=G1002", "commodityname=两件套"},
                                             {{"subcommoditycode=G100201", "num=2"}, {"subcommoditycode=G100202", "num=1"}});
        QVERIFY2(inner.ok, qPrintable(inner.error));
        const QString pack = KxColumn(inner.value("xmlmaster"), "commoditycode").value(0);
        const TCallResult outer = saveBundle({}, {"goodscode=G1002", "commodityname=礼盒"},
                                             {{"subcommoditycode=" + pack, "num=1"}, {"subcommoditycode=G100201", "num=1"}});
        QVERIFY2(outer.ok, qPrintable(outer.error));
        const QString gift = KxColumn(outer.value("xmlmaster"), "commoditycode").value(0);
        fx().exec("UPDATE kx_commodity SET costprice = 10 WHERE nickid = '1001' AND commoditycode = ?", {pack});
        struct TRow {
            const char* what;
            QList<std::tuple<const char*, const char*, int>> stock;   // storage, product, pieces
            int pack, gift;
        };
        const TRow rows[] = {
            {"no stock", {}, 0, 0},
            {"the scarcer component decides", {{"CK01", "G100201", 7}, {"CK01", "G100202", 5}}, 3, 2},
            {"storages are not pooled", {{"CK01", "G100201", 4}, {"CK02", "G100202", 4}}, 0, 0},
            {"storages add up", {{"CK01", "G100201", 6}, {"CK01", "G100202", 1}, {"CK02", "G100201", 2}, {"CK02", "G100202", 9}}, 2, 1},
            {"negative stock makes none", {{"CK01", "G100201", -3}, {"CK01", "G100202", 4}}, 0, 0},
        };
        for (const TRow& r : rows) {
            fx().exec("DELETE FROM kx_stock WHERE nickid = '1001' AND commoditycode IN ('G100201', 'G100202')");
            for (const auto& [storage, code, pieces] : r.stock)
                fx().exec("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES ('1001', ?, ?, ?)", {storage, code, pieces});
            for (const auto& [code, want] : {std::pair{pack, r.pack}, std::pair{gift, r.gift}}) {
                const TCallResult found = call("Commodity.Search", {{"commoditycode", code}});
                QVERIFY2(found.ok, qPrintable(found.error));
                const QString got = KxColumn(found.value("xmldata"), "stocknum").value(0);
                QVERIFY2(got.toInt() == want, qPrintable(QStringLiteral("%1: %2 shows %3, not %4").arg(r.what, code, got).arg(want)));
                if (code == pack)
                    QCOMPARE(KxColumn(found.value("xmldata"), "stockmoney").value(0).toDouble(), want * 10.0);
            }
        }
    }

    // Delisting and listing again at the marketplace; one the marketplace refuses is named while
    // the others go on.
    void listingAtTheMarketplace()
    {
        const QString a = one("SELECT MIN(goodscode) FROM kx_goods WHERE nickid = '1001' AND approve_status = 'onsale' AND num_iid <> ''");
        const QString b = one("SELECT MAX(goodscode) FROM kx_goods WHERE nickid = '1001' AND approve_status = 'onsale' AND num_iid <> ''");
        QVERIFY(a != b);
        fx().exec("UPDATE kx_mk_item SET num = 5 WHERE nickid = '1001' AND num_iid = (SELECT num_iid FROM kx_goods WHERE nickid = '1001' AND goodscode = ?)", {a});
        const QString itemOf = "SELECT approve_status FROM kx_mk_item WHERE nickid = '1001' AND num_iid = (SELECT num_iid FROM kx_goods WHERE nickid = '1001' AND goodscode = ?)";
        const TCallResult off = call("NetShop.UpdateDelisting", {{"goodscode", a + "," + b}});
        QVERIFY2(off.ok, qPrintable(off.error));
        QCOMPARE(off.value("done"), a + "," + b);
        QCOMPARE(one(itemOf, {a}) + one(itemOf, {b}), QStringLiteral("instockinstock"));
        QCOMPARE(KxColumn(call("Goods.Search", {{"goodscode", a}}).value("xmldata"), "listingstatus"), QStringList{"已下架"});

        // b has nothing in stock at the marketplace: listing it is refused, a is listed.
        fx().exec("UPDATE kx_mk_item SET num = 0 WHERE nickid = '1001' AND num_iid = (SELECT num_iid FROM kx_goods WHERE nickid = '1001' AND goodscode = ?)", {b});
        const TCallResult on = call("NetShop.UpdateListing", {{"goodscode", a + "," + b}});
        QVERIFY2(on.ok, qPrintable(on.error));
        QCOMPARE(on.value("done"), a);
        QVERIFY2(on.value("refused").startsWith(b + "：") && on.value("refused").contains("库存为零"), qPrintable(on.value("refused")));
        QCOMPARE(one(itemOf, {a}) + one(itemOf, {b}), QStringLiteral("onsaleinstock"));
        QCOMPARE(KxColumn(call("Goods.Search", {{"goodscode", a}}).value("xmldata"), "listingstatus"), QStringList{"已上架"});
        const TCallResult alone = call("NetShop.UpdateListing", {{"goodscode", b}});
        QVERIFY(!alone.ok);
        QVERIFY2(alone.error.contains(b) && alone.error.contains("库存为零"), qPrintable(alone.error));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_mk_event WHERE nickid = '1001' AND kind = 'listing'"), QStringLiteral("1"));
    }

    // Lists: a code finds a product by code or barcode; the service's own columns.
    void listsAndTheirColumns()
    {
        const QString barcode = one("SELECT barcode FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100301'");
        const TCallResult byBarcode = call("Commodity.Search", {{"commoditycode", barcode}});
        QCOMPARE(KxColumn(byBarcode.value("xmldata"), "commoditycode"), QStringList{"G100301"});
        QCOMPARE(KxColumn(byBarcode.value("xmldata"), "stocknum"),
                 QStringList{one("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001' AND commoditycode = 'G100301'")});
        QCOMPARE(KxColumn(byBarcode.value("xmldata"), "brand_id"), QStringList{one("SELECT brand_id FROM kx_goods WHERE nickid = '1001' AND goodscode = 'G1003'")});
        const TCallResult named = call("Commodity.Search", {{"commodityname", one("SELECT goodsname FROM kx_goods WHERE nickid = '1001' AND goodscode = 'G1003'").left(3)}, {"curpage", "0"}});
        QVERIFY(KxColumn(named.value("xmldata"), "commoditycode").contains("G100301"));
        const TCallResult first = call("Commodity.Search", {{"curpage", "-1"}, {"pagesize", "20"}});
        QCOMPARE(first.value("recordcount").toInt(), one("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001'").toInt());
        QCOMPARE(KxColumn(first.value("xmldata"), "commoditycode").size(), 20);
        // Read-only columns a client sends back change nothing.
        TGrid g(call("Commodity.Load", {{"commoditycode", "G100301"}}).value("xmldata"));
        g.edit("commoditycode", "G100301", {"stocknum=999", "is_pack=1", "maxstock=100", "minstock=10"});
        const TCallResult saved = call("Commodity.Update", {}, {{"delta", g.delta()}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(one("SELECT is_pack || '/' || maxstock || '/' || minstock FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100301'"),
                 QStringLiteral("0/100/10"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("load");      // the Load call's key parameter=value
        QTest::addColumn<QString>("change");    // "+pairs" appends, "~key=value pairs" edits, "-key=value" deletes
        QTest::addColumn<QString>("message");
        QTest::newRow("barcode of another product") << "Commodity" << "commoditycode=G100201" << "~commoditycode=G100201 barcode=@G100202"
                                                    << "已被商品【G100202";
        QTest::newRow("new product's code is another's barcode") << "Commodity" << "commoditycode=G100201" << "+goodscode=G1002 commoditycode=@G100203"
                                                                 << "已是商品【G100203";
        QTest::newRow("product code in use") << "Commodity" << "commoditycode=G100201" << "+goodscode=G1002 commoditycode=G100202" << "已被商品【G100202";
        QTest::newRow("goods of an existing product") << "Commodity" << "commoditycode=G100201" << "~commoditycode=G100201 goodscode=G1003" << "不能更换网店商品";
        QTest::newRow("unknown goods") << "Commodity" << "commoditycode=G100201" << "+goodscode=NOPE commodityname=x" << "NOPE】不存在";
        QTest::newRow("upper limit below the lower") << "Commodity" << "commoditycode=G100201" << "~commoditycode=G100201 maxstock=5 minstock=10" << "小于库存下限";
        QTest::newRow("product used by stock and orders") << "Commodity" << "commoditycode=G100101" << "-commoditycode=G100101"
                                                          << "商品【G100101】正在使用，不能删除：";
        QTest::newRow("goods used by products") << "Goods" << "goodscode=G1004" << "-goodscode=G1004" << "网店商品【G1004】正在使用，不能删除：商品 3 个";
        QTest::newRow("goods of an unknown brand") << "Goods" << "goodscode=G1004" << "~goodscode=G1004 brand_id=B99" << "品牌【B99】不存在";
        QTest::newRow("SKU the marketplace does not have") << "CommoditySku" << "commoditycode=G100201" << "+commoditycode=G100201 num_iid=1 sku_id=2"
                                                           << "网店没有宝贝SKU【1/2】";
    }
    void refusals()
    {
        QFETCH(QString, method);
        QFETCH(QString, load);
        QFETCH(QString, change);
        QFETCH(QString, message);
        // "@CODE" stands for that product's barcode.
        QString c = change;
        for (qsizetype at = c.indexOf('@'); at >= 0; at = c.indexOf('@')) {
            const QString code = c.mid(at + 1).section(' ', 0, 0);
            c.replace("@" + code, one("SELECT barcode FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {code}));
        }
        const QString before = one("SELECT COUNT(*) || '/' || SUM(LENGTH(barcode)) FROM kx_commodity WHERE nickid = '1001'");
        const TCallResult loaded = call(method + ".Load", {{load.section('=', 0, 0), load.section('=', 1)}, {"curpage", "0"}});
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        TGrid g(loaded.value("xmldata"));
        const QStringList parts = c.mid(1).split(' ');
        if (c.startsWith('+'))
            g.append(parts);
        else if (c.startsWith('~'))
            g.edit(parts[0].section('=', 0, 0), parts[0].section('=', 1), parts.mid(1));
        else
            g.remove(parts[0].section('=', 0, 0), parts[0].section('=', 1));
        const TCallResult r = call(method + ".Update", {}, {{"delta", g.delta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(one("SELECT COUNT(*) || '/' || SUM(LENGTH(barcode)) FROM kx_commodity WHERE nickid = '1001'"), before);
    }

    void bundleRefusals_data()
    {
        QTest::addColumn<QList<QStringList>>("components");
        QTest::addColumn<QString>("message");
        QTest::newRow("quantity 0") << QList<QStringList>{{"subcommoditycode=G100101", "num=0"}} << "组装数量不能小于零！";
        QTest::newRow("unknown component") << QList<QStringList>{{"subcommoditycode=NOPE", "num=1"}} << "NOPE】不存在";
        QTest::newRow("a component twice") << QList<QStringList>{{"subcommoditycode=G100101", "num=1"}, {"subcommoditycode=G100101", "num=2"}} << "出现了多次";
    }
    void bundleRefusals()
    {
        QFETCH(QList<QStringList>, components);
        QFETCH(QString, message);
        const QString before = one("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001'");
        const TCallResult r = saveBundle({}, {"goodscode=G1001", "commodityname=套装"}, components);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001'"), before);
    }

    // Components sent without any master are refused, whatever bundle key they carry.
    void componentsWithoutMaster()
    {
        const TCallResult empty = call("PackCommodity.Load", {{"commoditycode", ""}});
        TGrid d(empty.value("xmldetail"));
        d.ds.Append();
        KxSetFields(d.ds, {"md5_key=0123456789abcdef0123456789abcdef", "commoditycode=G100101", "subcommoditycode=G100102", "num=1"});
        d.ds.Post();
        const TCallResult r = call("PackCommodity.Update", {}, {{"deltadetail", d.delta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("主信息不存在"), qPrintable(r.error));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_pack WHERE nickid = '1001' AND commoditycode = 'G100101'"), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestGoods)
#include "tst_goods.moc"
