// The home tab's figures at the service, over books of known content: each queue's count, the
// module it opens and the conditions under which that module's own list shows exactly the
// counted rows; an operator sees only the queues of modules it may open. SQLite, and
// PostgreSQL when KX_PG_URL is set.
#include "ServiceFixture.h"

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};

QString day(int offset)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
}

struct TFigureRow {
    QString caption, sellerNick, num, amount, modName, conditions;
    int modId = 0;
};

// The answer's figures by queue (and shop account, or caption for the documents).
QMap<QString, TFigureRow> figuresOf(const TCallResult& r)
{
    QMap<QString, TFigureRow> out;
    const auto ds = KxDataSet(r.value("xmldata"));
    if (!ds)
        return out;
    for (ds->First(); !ds->Eof(); ds->Next()) {
        auto f = [&](const char* n) { return ds->FieldByName(QLatin1String(n))->AsString(); };
        QString key = f("queue");
        if (key == u"today")
            key += u'/' + f("seller_nick");
        if (key == u"unaudited")
            key += u'/' + f("caption");
        out.insert(key, {f("caption"), f("seller_nick"), f("num"), f("amount"), f("mod_name"), f("conditions"),
                         ds->FieldByName("mod_id")->AsInteger()});
    }
    return out;
}
}

class TestWorkbench : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{{{kAdmin, QStringLiteral("admin888")}, {kClerk, QStringLiteral("clerk888")}}};
    QString m_kind;
    QSet<QString> m_arranged;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }

    // Books of known content: the demo's orders, pickings, refunds and documents replaced.
    void arrange()
    {
        if (m_arranged.contains(m_kind))
            return;
        m_arranged.insert(m_kind);
        QSqlDatabase db = fx().db();
        TTransaction t(fx().service->store(), db, true);
        for (const char* table : {"kx_trade", "kx_trade_order", "kx_picking", "kx_picking_line", "kx_refund", "kx_receive", "kx_whole",
                                  "kx_output", "kx_result", "kx_allocate", "kx_adjust", "kx_adjustcost", "kx_adjustprice",
                                  "kx_adjustitemcost", "kx_adjustitemprice", "kx_refunding"})
            KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
        const QString today = day(0) + QStringLiteral(" 09:00:00"), old = day(-3) + QStringLiteral(" 09:00:00");
        const QList<QVariantList> orders{
            // tid, seller_nick, status, dbstatus, refund, created, payment
            {"T1", "varnoq_demo", "WAIT_SELLER_SEND_GOODS", "NOT_PICKING", 0, today, "100.50"},
            {"T2", "varnoq_demo", "TRADE_FINISHED", "NOT_PICKING", 0, old, "20"},
            {"T3", "varnoq_demo", "WAIT_SELLER_SEND_GOODS", "NOT_PICKING", 1, today, "50"},
            {"T4", "varnoq_demo", "WAIT_BUYER_PAY", "NOT_PICKING", 0, today, "30"},
            {"T5", "varnoq_outlet", "WAIT_SELLER_SEND_GOODS", "PICKINGED", 0, today, "70"},
            {"T6", "varnoq_demo", "TRADE_CLOSED", "NOT_PICKING", 0, old, "10"},
        };
        for (const QVariantList& o : orders)
            KxExec(db, QStringLiteral("INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, status, dbstatus, refund, created, payment,"
                                      " modified, downloaded) VALUES ('1001', ?, ?, 'buyer', ?, ?, ?, ?, ?, ?, ?)"),
                   o + QVariantList{old, old});
        const QList<QVariantList> pickings{{"P1", "S01", 1, 0}, {"P2", "S02", 1, 0}, {"P3", "S01", 2, 0}, {"P4", "S01", 2, 1}, {"P5", "S02", 2, 0}};
        for (const QVariantList& p : pickings)
            KxExec(db, QStringLiteral("INSERT INTO kx_picking (nickid, pickingid, md5_key, shopcode, status, issend, inputtime)"
                                      " VALUES ('1001', ?, ?, ?, ?, ?, ?)"),
                   {p[0], p[0].toString() + QStringLiteral("key"), p[1], p[2], p[3], old});
        const QList<QVariantList> refunds{{"R1", "WAIT_SELLER_AGREE", day(0) + " 20:00:00"}, {"R2", "WAIT_SELLER_AGREE", day(2) + " 08:00:00"},
                                          {"R3", "WAIT_SELLER_AGREE", day(-1) + " 08:00:00"}, {"R4", "SUCCESS", ""}};
        for (const QVariantList& r : refunds)
            KxExec(db, QStringLiteral("INSERT INTO kx_refund (nickid, refund_id, status, timeout, created) VALUES ('1001', ?, ?, ?, ?)"),
                   r + QVariantList{old});
        // Products: minimum 5 with 1 + 2 in stock (below), 5 with 5 (not), 2 with none (below),
        // a deleted one below its minimum, and the demo's own products without a minimum.
        KxExec(db, QStringLiteral("UPDATE kx_commodity SET minstock = 0 WHERE nickid = '1001'"));
        const QList<QVariantList> products{{"WB1", 5, 0}, {"WB2", 5, 0}, {"WB3", 2, 0}, {"WB4", 5, 1}};
        for (const QVariantList& p : products)
            KxExec(db, QStringLiteral("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, minstock, is_del, md5_key)"
                                      " VALUES ('1001', ?, 'WBG', ?, ?, ?, ?, ?)"),
                   {p[0], p[0], p[0], p[1], p[2], p[0].toString() + QStringLiteral("key")});
        for (const QVariantList& s : QList<QVariantList>{{"CK01", "WB1", 1}, {"CK03", "WB1", 2}, {"CK01", "WB2", 5}})
            KxExec(db, QStringLiteral("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES ('1001', ?, ?, ?)"), s);
        // Receipts: saved days ago (waiting), saved today, audited days ago; wholesale
        // documents of this shop and of another.
        const QList<QVariantList> receipts{{"RK1", 1, old}, {"RK2", 1, today}, {"RK3", 2, old}};
        for (const QVariantList& r : receipts)
            KxExec(db, QStringLiteral("INSERT INTO kx_receive (nickid, receiveid, md5_key, shopcode, suppliercode, storageid, status, inputtime) VALUES ('1001', ?, ?, 'S01', '', 'CK01', ?, ?)"),
                   {r[0], r[0].toString() + QStringLiteral("key"), r[1], r[2]});
        for (const QVariantList& w : QList<QVariantList>{{"PF1", "S01"}, {"PF2", "S02"}})
            KxExec(db, QStringLiteral("INSERT INTO kx_whole (nickid, wholeid, md5_key, shopcode, status, inputtime) VALUES ('1001', ?, ?, ?, 1, ?)"),
                   {w[0], w[0].toString() + QStringLiteral("key"), w[1], old});
        t.commit();
    }

    // How many rows the module's own list shows under the figure's conditions: its "search"
    // method with them (and the shop, where the window sends it), every match; on the orders
    // window's "未拣货" tab only the states that tab filters to.
    int moduleRows(const TFigureRow& f)
    {
        const TCallResult module = fx().call(kAdmin, f.modName);
        if (!module.ok)
            return -1;
        QList<QPair<QString, QString>> params;
        if (f.modName == u"Picking.Module" || f.modName == u"Whole.Module")
            params.append({QStringLiteral("shopcode"), kAdmin.shop});
        bool pickTab = false;
        for (const QString& line : f.conditions.split(u'\n')) {
            params.append({line.section(u'=', 0, 0), line.section(u'=', 1)});
            pickTab = pickTab || line == u"tab=未拣货";
        }
        params.append({QStringLiteral("curpage"), QStringLiteral("0")});
        const TCallResult list = fx().call(kAdmin, module.value("search"), params);
        if (!list.ok)
            return -1;
        const auto ds = KxDataSet(list.value(list.values.contains("xmlmaster") ? "xmlmaster" : "xmldata"));
        int rows = 0;
        for (ds->First(); !ds->Eof(); ds->Next())
            rows += !pickTab || QStringList{"WAIT_SELLER_SEND_GOODS", "WAIT_BUYER_CONFIRM_GOODS", "TRADE_FINISHED"}.contains(
                                    ds->FieldByName("status")->AsString());
        return rows;
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
        KxSetServiceUrl(fx().url());
        arrange();
    }

    void figures_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("num");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("conditions");
        const QString d = day(0);
        QTest::newRow("orders waiting for a picking list") << "topick" << "2" << "Trade.Module" << "dbstatus=NOT_PICKING\nrefund=0\ntab=未拣货";
        QTest::newRow("today's orders of the main account") << "today/varnoq_demo" << "3" << "Trade.Module"
                                                            << "seller_nick=varnoq_demo\ndatefrom=" + d + "\ndateto=" + d + "\ntab=所有订单";
        QTest::newRow("today's orders of another account") << "today/varnoq_outlet" << "1" << "Trade.Module"
                                                           << "seller_nick=varnoq_outlet\ndatefrom=" + d + "\ndateto=" + d + "\ntab=所有订单";
        QTest::newRow("pickings of this shop saved, not audited") << "pickaudit" << "1" << "Picking.Module" << "status=1";
        QTest::newRow("pickings audited, not shipped") << "picksend" << "2" << "PickingSend.Module" << "status=2\nissend=0";
        QTest::newRow("refunds waiting for an answer") << "refund" << "3" << "Refund.Module" << "status=WAIT_SELLER_AGREE\ntab=申请的";
        QTest::newRow("refunds due today or overdue") << "refunddue" << "2" << "Refund.Module" << "status=WAIT_SELLER_AGREE\ntimeoutto=" + d + "\ntab=申请的";
        QTest::newRow("products below their minimum") << "belowmin" << "2" << "CommodityStock.Module" << "belowmin=1\nis_del=0\nis_pack=0";
        QTest::newRow("receipts saved before today") << "unaudited/采购入库单" << "1" << "Receive.Module" << "status=1\ndateto=" + day(-1);
        QTest::newRow("wholesale documents of this shop") << "unaudited/批发出库单" << "1" << "Whole.Module" << "status=1\ndateto=" + day(-1);
    }
    void figures()
    {
        QFETCH(QString, key);
        QFETCH(QString, num);
        QFETCH(QString, module);
        QFETCH(QString, conditions);
        const TCallResult r = fx().call(kAdmin, "Workbench.Search");
        QVERIFY2(r.ok, qPrintable(r.error));
        const QMap<QString, TFigureRow> figures = figuresOf(r);
        QVERIFY2(figures.contains(key), qPrintable(figures.keys().join(u' ')));
        const TFigureRow f = figures.value(key);
        QCOMPARE(f.num, num);
        QCOMPARE(f.modName, module);
        QCOMPARE(f.conditions, conditions);
        QCOMPARE(f.modId, fx().scalar("SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = ?", {module}).toInt());
        // The module opened on those conditions lists exactly the counted rows.
        QCOMPARE(moduleRows(f), num.toInt());
    }

    void salesAndQuietKinds()
    {
        const QMap<QString, TFigureRow> figures = figuresOf(fx().call(kAdmin, "Workbench.Search"));
        // Paid orders only: the one waiting for payment adds no sales.
        QCOMPARE(figures.value("today/varnoq_demo").amount.toDouble(), 150.5);
        QCOMPARE(figures.value("today/varnoq_outlet").amount.toDouble(), 70.0);
        // A kind with nothing left over is not listed.
        for (const QString& k : figures.keys())
            if (k.startsWith(u"unaudited/"))
                QVERIFY2(k == u"unaudited/采购入库单" || k == u"unaudited/批发出库单", qPrintable(k));
    }

    // The clerk may open the orders, pickings, shipping and refunds, not the stock views or
    // the stock documents: those queues are not in its answer.
    void rightsCutTheQueues()
    {
        const TCallResult r = fx().call(kClerk, "Workbench.Search");
        QVERIFY2(r.ok, qPrintable(r.error));
        QStringList queues = figuresOf(r).keys();
        queues.sort();
        QCOMPARE(queues, QStringList({"pickaudit", "picksend", "refund", "refunddue", "today/varnoq_demo", "today/varnoq_outlet", "topick"}));
        // Taking a module's right away takes its queue.
        const QString refundMod = fx().scalar("SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'Refund.Module'").toString();
        fx().exec("DELETE FROM kx_power WHERE nickid = '1001' AND operid = 'clerk' AND mod_id = ?", {refundMod});
        const QStringList after = figuresOf(fx().call(kClerk, "Workbench.Search")).keys();
        QVERIFY(!after.contains("refund") && !after.contains("refunddue") && after.contains("topick"));
    }

    void refusedWithoutSession()
    {
        const TCallResult r = fx().call({kAdmin.nick, kAdmin.oper, kAdmin.shop, QStringLiteral("not-a-session")}, "Workbench.Search");
        QVERIFY(!r.ok);
    }
};

QTEST_GUILESS_MAIN(TestWorkbench)
#include "tst_workbench.moc"
