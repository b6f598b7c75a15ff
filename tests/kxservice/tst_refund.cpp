// Refunds at the service: downloads into the books that fetch each change once and store it
// idempotently, a refund running on an order line shown on the order; the seller's answers
// with the marketplace's rules (closed, answered, past the deadline), one refused in a batch
// named while the others go on; finished refunds turned into return receipts in one call
// (nothing selected, twice, merged per buyer and shop account); the receipt's audit putting
// returned goods back into the return storage with ledger rows while money-only lines move
// nothing; the buyers' side of the marketplace's state machine. SQLite, and PostgreSQL when
// KX_PG_URL is set.
#include "ServiceFixture.h"
#include "market/Refunds.h"
#include "market/Simulator.h"
#include "protocol/ServiceError.h"

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
using TFiles = QList<QPair<QString, QString>>;

void set(TPClientDataSet& ds, const QString& field, const QString& value)
{
    QVERIFY2(ds.FindField(field), qPrintable(field));
    ds.FieldByName(field)->SetAsString(value);
}
}

class TestRefund : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{kAdmin, QStringLiteral("admin888")};
    QString m_kind;
    int m_made = 0;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    QString books(const QString& sql, const QVariantList& args = {}) { return fx().scalar(sql, args).toString(); }

    // A probe for the total, then pages of 50, as the download dialog does; the total.
    int download(const QString& status = QStringLiteral("REFUND_ALL"), const QString& account = QStringLiteral("varnoq_demo"))
    {
        const auto page = [&](int no, int size) {
            return fx().call(kAdmin, "NetShop.DownRefunds", {{"detailnick", account}, {"status", status}, {"daynum", "90"},
                                                             {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
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

    // A buyer opens a refund now on a line of an order in `orderStatus` that has none running.
    QString open(const QString& orderStatus, bool goods)
    {
        const QString oid = books("SELECT MIN(o.oid) FROM kx_mk_order o JOIN kx_mk_trade t ON t.nickid = o.nickid AND t.tid = o.tid"
                                  " WHERE o.nickid = '1001' AND t.status = ? AND t.seller_nick = 'varnoq_demo' AND o.status = t.status"
                                  " AND NOT EXISTS (SELECT 1 FROM kx_mk_refund r WHERE r.nickid = o.nickid AND r.tid = o.tid)",
                                  {orderStatus});
        QSqlDatabase db = fx().db();
        TMarketSimulator market(db, QStringLiteral("1001"));
        const QString id = TRefundMarket(db, QStringLiteral("1001"), market).open(oid, goods, QStringLiteral("质量问题"), QStringLiteral("开线了 <b>'x'</b>"));
        // A moment later, as an operator's download would come: a change stamped in the second
        // the marketplace last listed is stamped with the next one.
        market.advance(2);
        return id;
    }

    // A finished refund written straight into the books, as a download leaves one.
    QString booked(const QString& seller, const QString& buyer, const QString& code, bool goods, const QString& fee, int num = 1,
                   const QString& status = QStringLiteral("SUCCESS"))
    {
        const QString id = QStringLiteral("RF%1%2").arg(m_kind.left(1)).arg(++m_made, 6, 10, QLatin1Char('0'));
        fx().exec("INSERT INTO kx_refund (nickid, refund_id, tid, oid, title, commoditycode, num, total_fee, payment, refund_fee, has_good_return,"
                  " status, seller_nick, buyer_nick, created) VALUES ('1001', ?, ?, ?, '退货宝贝', ?, ?, ?, ?, ?, ?, ?, ?, ?, '2026-01-01 10:00:00')",
                  {id, "T" + id, "O" + id, code, num, fee, fee, fee, goods ? 1 : 0, status, seller, buyer});
        return id;
    }

    // The call the refund window makes for `ids` as they are listed now: each refund a work
    // record, merged per (buyer, shop account) when `merge`, into return storage CK04.
    // Refunds in `ticked` are ticked in the list and left out of the generation.
    TFiles generateCall(const QStringList& ids, bool merge = true, const QStringList& ticked = {})
    {
        const TCallResult list = fx().call(kAdmin, "Refund.Search", {{"curpage", "0"}});
        const TCallResult shape = fx().call(kAdmin, "Refund.SearchRefunding", {{"refunding", ""}});
        if (!list.ok || !shape.ok)
            return {};
        TPClientDataSet refunds, master, detail;
        refunds.SetKXXMLData(list.value("xmldata"));
        master.SetKXXMLData(shape.value("xmlmaster"));
        detail.SetKXXMLData(shape.value("xmldetail"));
        QHash<QString, QString> keyOf;
        QHash<QString, int> seqOf;
        for (const QString& id : ticked) {
            if (!refunds.Locate("refund_id", id))
                return {};
            refunds.Edit();
            refunds.FieldByName("ischeck")->SetAsString("True");
            refunds.Post();
        }
        for (const QString& id : ids) {
            if (!refunds.Locate("refund_id", id))
                return {};
            const QString pair = refunds.FieldByName("buyer_nick")->AsString() + '\n' + refunds.FieldByName("seller_nick")->AsString();
            QString key = merge ? keyOf.value(pair) : QString();
            if (key.isEmpty()) {
                key = QUuid::createUuid().toString(QUuid::Id128);
                keyOf.insert(pair, key);
                master.Append();
                set(master, "md5_key", key);
                set(master, "storageid", "CK04");
                set(master, "buyer_nick", refunds.FieldByName("buyer_nick")->AsString());
                set(master, "seller_nick", refunds.FieldByName("seller_nick")->AsString());
                master.Post();
            }
            detail.Append();
            set(detail, "md5_key", key);
            detail.FieldByName("seq")->SetAsInteger(++seqOf[key]);
            for (const char* f : {"refund_id", "has_good_return", "commoditycode", "title", "num", "total_fee", "refund_fee", "num_iid", "sku_id",
                                  "sku_properties_name", "seller_nick"})
                set(detail, QLatin1String(f), refunds.FieldByName(QLatin1String(f))->AsString());
            detail.Post();
            refunds.Edit();
            refunds.FieldByName("dbstatus")->SetAsString("REFUNDINGED");
            refunds.Post();
        }
        return {{"delta", refunds.GetKXXMLDelta()}, {"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}};
    }

    TCallResult audit(const QString& id)
    {
        const TCallResult loaded = fx().call(kAdmin, "Refunding.Load", {{"refundingid", id}});
        if (!loaded.ok)
            return loaded;
        TPClientDataSet h;
        h.SetKXXMLData(loaded.value("xmlmaster"));
        h.Edit();
        h.FieldByName("status")->SetAsInteger(2);
        h.Post();
        return fx().call(kAdmin, "Refunding.Audit", {}, {{"deltamaster", h.GetKXXMLDelta()}});
    }
    int stock(const QString& code)
    {
        return fx().scalar("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK04' AND commoditycode = ?", {code}).toInt();
    }
    QString product(int n = 0)
    {
        return books("SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' AND is_del = 0 ORDER BY commoditycode LIMIT 1 OFFSET " + QString::number(n));
    }

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("db");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }
    void init()
    {
        QFETCH_GLOBAL(QString, db);
        m_kind = db;
        if (m_kind == QLatin1String("postgresql") && qEnvironmentVariableIsEmpty("KX_PG_URL"))
            QSKIP("KX_PG_URL is not set: no PostgreSQL database to run against");
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    // Every refund of the account comes once; a second run finds nothing new and changes
    // nothing; a refund opened meanwhile comes with the next run and shows on its order line.
    void downloadIsIncrementalAndIdempotent()
    {
        const int first = download();
        QVERIFY(first > 0);
        const QString all = "SELECT COUNT(*) FROM kx_mk_refund r JOIN kx_mk_trade t ON t.nickid = r.nickid AND t.tid = r.tid"
                            " WHERE r.nickid = '1001' AND t.seller_nick = 'varnoq_demo'";
        QCOMPARE(books("SELECT COUNT(*) FROM kx_refund WHERE nickid = '1001'"), books(all));
        // The demo offers every kind of work: refunds to answer, and finished ones with goods back
        // and a product named, ready for a receipt.
        QVERIFY(books("SELECT COUNT(*) FROM kx_refund WHERE nickid = '1001' AND status = 'WAIT_SELLER_AGREE'").toInt() > 0);
        QVERIFY(books("SELECT COUNT(*) FROM kx_refund WHERE nickid = '1001' AND status = 'SUCCESS' AND has_good_return = 1 AND commoditycode <> ''").toInt() > 0);
        const QString snapshot = "SELECT refund_id || status || refund_fee || has_good_return || dbstatus || reason || desc1 FROM kx_refund"
                                 " WHERE nickid = '1001' ORDER BY refund_id";
        const QStringList before = [&] {
            QStringList l;
            QSqlDatabase d = fx().db();
            QSqlQuery q = KxExec(d, snapshot);
            while (q.next())
                l << q.value(0).toString();
            return l;
        }();
        QCOMPARE(download(), 0);
        QSqlDatabase d = fx().db();
        QSqlQuery q = KxExec(d, snapshot);
        QStringList after;
        while (q.next())
            after << q.value(0).toString();
        QCOMPARE(after, before);

        // Download the orders, then a refund opened on an unshipped one blocks its picking.
        const TCallResult trades = fx().call(kAdmin, "NetShop.DownTrades", {{"detailnick", "varnoq_demo"}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                                                            {"page_no", "1"}, {"page_size", "100"}});
        QVERIFY2(trades.ok, qPrintable(trades.error));
        for (int p = 2; p <= (trades.value("total_results").toInt() + 99) / 100; ++p)
            QVERIFY(fx().call(kAdmin, "NetShop.DownTrades", {{"detailnick", "varnoq_demo"}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                                             {"page_no", QString::number(p)}, {"page_size", "100"}}).ok);
        const QString id = open("WAIT_SELLER_SEND_GOODS", true);
        QCOMPARE(download(), 1);
        QCOMPARE(books("SELECT status || ' ' || has_good_return || ' ' || dbstatus || ' ' || desc1 FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id}),
                 QStringLiteral("WAIT_SELLER_AGREE 0 NOT_REFUNDING 开线了 <b>'x'</b>"));
        const QString tid = books("SELECT tid FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id});
        QCOMPARE(books("SELECT t.refund || ' ' || o.refund_status || ' ' || o.refund_id FROM kx_trade t JOIN kx_trade_order o"
                       " ON o.nickid = t.nickid AND o.tid = t.tid WHERE t.nickid = '1001' AND o.refund_id = ?", {id}),
                 "1 WAIT_SELLER_AGREE " + id);

        // One by number; another account's or an unknown number is refused; so is a bad state.
        fx().exec("UPDATE kx_refund SET desc1 = '' WHERE nickid = '1001' AND refund_id = ?", {id});
        TCallResult r = fx().call(kAdmin, "NetShop.DownRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", id}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(books("SELECT desc1 FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id}), QStringLiteral("开线了 <b>'x'</b>"));
        r = fx().call(kAdmin, "NetShop.DownRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", "123"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("没有退款单 123"), qPrintable(r.error));
        r = fx().call(kAdmin, "NetShop.DownRefunds", {{"detailnick", "varnoq_demo"}, {"status", "NOPE"}, {"daynum", "9"}, {"page_no", "1"}, {"page_size", "1"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("没有这个退款状态"), qPrintable(r.error));
        QVERIFY(!tid.isEmpty());
    }

    // The seller's answer at the marketplace, by the refund's state: refused with the
    // marketplace's reason, or taken, the books following.
    void answersFollowTheRules_data()
    {
        QTest::addColumn<QString>("orderStatus");
        QTest::addColumn<bool>("goods");
        QTest::addColumn<QString>("arrange");   // SQL on the new refund (?)
        QTest::addColumn<bool>("agree");
        QTest::addColumn<QString>("outcome");   // the new status, or a part of the refusal
        QTest::newRow("agree, goods to come back") << "WAIT_BUYER_CONFIRM_GOODS" << true << "" << true << "WAIT_BUYER_RETURN_GOODS";
        QTest::newRow("agree, money only") << "WAIT_SELLER_SEND_GOODS" << false << "" << true << "SUCCESS";
        QTest::newRow("refuse") << "WAIT_BUYER_CONFIRM_GOODS" << true << "" << false << "SELLER_REFUSE_BUYER";
        QTest::newRow("closed") << "WAIT_BUYER_CONFIRM_GOODS" << true << "UPDATE kx_mk_refund SET status = 'CLOSED' WHERE nickid = '1001' AND refund_id = ?"
                                << true << "已关闭";
        QTest::newRow("answered already") << "WAIT_BUYER_CONFIRM_GOODS" << true
                                          << "UPDATE kx_mk_refund SET status = 'SELLER_REFUSE_BUYER' WHERE nickid = '1001' AND refund_id = ?" << true
                                          << "卖家已处理";
        QTest::newRow("past the deadline") << "WAIT_BUYER_CONFIRM_GOODS" << true
                                           << "UPDATE kx_mk_refund SET timeout = '2020-01-01 00:00:00' WHERE nickid = '1001' AND refund_id = ?" << false
                                           << "已超过卖家处理期限";
    }
    void answersFollowTheRules()
    {
        QFETCH(QString, orderStatus);
        QFETCH(bool, goods);
        QFETCH(QString, arrange);
        QFETCH(bool, agree);
        QFETCH(QString, outcome);
        const QString id = open(orderStatus, goods);
        QVERIFY(download() >= 1);
        if (!arrange.isEmpty())
            fx().exec(arrange, {id});
        const QString before = books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {id});
        const TCallResult r = agree ? fx().call(kAdmin, "NetShop.AgreeRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", id}, {"name", " 王五 "},
                                                                                {"address", "杭州市西湖区退货路1号"}, {"post", "310000"}, {"tel", "0571-1"},
                                                                                {"mobile", "139"}, {"remark", "请用顺丰"}})
                                    : fx().call(kAdmin, "NetShop.RefuseRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", id},
                                                                                 {"refuse_message", "商品已影响二次销售"}});
        const QString market = books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {id});
        if (outcome.startsWith(QLatin1String("WAIT")) || outcome == QLatin1String("SUCCESS") || outcome == QLatin1String("SELLER_REFUSE_BUYER")) {
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.value("status"), outcome);
            QCOMPARE(market, outcome);
            QCOMPARE(books("SELECT status FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id}), outcome);
            const QString event = books("SELECT detail FROM kx_mk_event WHERE nickid = '1001' AND target = ? ORDER BY seq DESC LIMIT 1", {id});
            QVERIFY2(agree ? event.startsWith(outcome) : event == QStringLiteral("商品已影响二次销售"), qPrintable(event));
            if (agree && goods)
                QVERIFY2(event.contains("王五|杭州市西湖区退货路1号"), qPrintable(event));
        } else {
            QVERIFY(!r.ok);
            QVERIFY2(r.error.contains(outcome) && r.error.contains(id), qPrintable(r.error));
            QCOMPARE(market, before);
        }
    }

    // Many refunds at once: the refused one is named with its reason, the others are taken;
    // refusing without a message or agreeing to a goods return without an address sends nothing.
    void batchNamesTheRefused()
    {
        const QStringList ids{open("WAIT_SELLER_SEND_GOODS", false), open("WAIT_SELLER_SEND_GOODS", false), open("WAIT_SELLER_SEND_GOODS", false)};
        fx().exec("UPDATE kx_mk_refund SET status = 'CLOSED' WHERE nickid = '1001' AND refund_id = ?", {ids[1]});
        TCallResult r = fx().call(kAdmin, "NetShop.AgreeRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", ids.join(',')}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("done"), ids[0] + "," + ids[2]);
        QVERIFY2(r.value("refused").startsWith(ids[1] + "：") && r.value("refused").contains("已关闭"), qPrintable(r.value("refused")));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_mk_refund WHERE nickid = '1001' AND status = 'SUCCESS' AND refund_id IN (?, ?)", {ids[0], ids[2]}),
                 QStringLiteral("2"));

        const QString goods = open("WAIT_BUYER_CONFIRM_GOODS", true);
        r = fx().call(kAdmin, "NetShop.AgreeRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", goods}, {"name", "王五"}, {"address", "  "}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("退货地址不能为空！"), qPrintable(r.error));
        r = fx().call(kAdmin, "NetShop.RefuseRefund", {{"detailnick", "varnoq_demo"}, {"refund_id", goods}, {"refuse_message", " "}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("拒绝退款说明不能为空！"), qPrintable(r.error));
        r = fx().call(kAdmin, "NetShop.AgreeRefund", {{"detailnick", "not_ours"}, {"refund_id", goods}});
        QVERIFY(!r.ok);
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {goods}), QStringLiteral("WAIT_SELLER_AGREE"));
    }

    // Finished refunds into receipts: merged per (buyer, shop account) exactly, so one buyer at
    // two accounts gets two; the refunds are marked with their receipt; a second generation of
    // one is refused naming the receipt; nothing selected, or a refund not finished, is refused
    // and nothing is saved.
    void generateReceipts()
    {
        const QString code = product();
        const QStringList ids{booked("varnoq_demo", "buyer_gen", code, true, "30.00"), booked("varnoq_demo", "buyer_gen", code, false, "5.50"),
                              booked("客服小美", "buyer_gen", code, true, "12.00")};
        const int receipts = books("SELECT COUNT(*) FROM kx_refunding WHERE nickid = '1001'").toInt();
        TCallResult r = fx().call(kAdmin, "Refund.UpdateRefunding");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("没有选择需要生成退款单的退款"), qPrintable(r.error));
        const QString running = booked("varnoq_demo", "buyer_gen", code, true, "9.00", 1, "WAIT_SELLER_AGREE");
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall({ids[0], running}));
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("尚未退款成功") && r.error.contains(running), qPrintable(r.error));
        // The amount changed at the marketplace since the window listed it.
        const QString moved = booked("varnoq_demo", "buyer_moved", code, true, "7.00");
        const TFiles stale = generateCall({moved});
        fx().exec("UPDATE kx_refund SET refund_fee = 6 WHERE nickid = '1001' AND refund_id = ?", {moved});
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, stale);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("在网店已有变动") && r.error.contains(moved), qPrintable(r.error));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_refunding WHERE nickid = '1001'").toInt(), receipts);

        const TFiles files = generateCall(ids, true, {running});
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, files);
        QVERIFY2(r.ok, qPrintable(r.error));
        const QStringList numbers = KxColumn(r.value("xmlmaster"), "refundingid");
        QCOMPARE(numbers.size(), 2);
        QCOMPARE(KxColumn(r.value("xmlmaster"), "refundingmoney"), (QStringList{"35.50", "12.00"}));
        QCOMPARE(KxColumn(r.value("xmldetail"), "refund_id"), ids);
        QCOMPARE(KxColumn(r.value("xmldetail"), "has_good_return"), (QStringList{"True", "False", "True"}));
        QCOMPARE(books("SELECT dbstatus || refundingid FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {ids[2]}), "REFUNDINGED" + numbers[1]);
        QCOMPARE(books("SELECT dbstatus FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {running}), QStringLiteral("NOT_REFUNDING"));

        // Again, from a window that listed before: refused naming the receipt.
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, files);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("已生成退款单") && r.error.contains(ids[0]) && r.error.contains(numbers[0]), qPrintable(r.error));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_refunding WHERE nickid = '1001'").toInt(), receipts + 2);

        // The list after generation: the numbers from first to last.
        r = fx().call(kAdmin, "Refunding.Search", {{"curpage", "0"}, {"refundingid1", numbers[0]}, {"refundingid2", numbers[1]}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "refundingid").size(), 2);
    }

    // The audit puts the returned goods into the return storage with a ledger row each; lines
    // of money only move nothing and the answer says so; a line sending goods back without a
    // product stops the audit.
    void auditPutsGoodsBack()
    {
        const QString code = product(1);
        const QStringList ids{booked("varnoq_demo", "buyer_aud", code, true, "40.00", 2), booked("varnoq_demo", "buyer_aud", code, false, "3.00")};
        TCallResult r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall(ids));
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString receipt = KxColumn(r.value("xmlmaster"), "refundingid").value(0);
        const int before = stock(code);
        r = audit(receipt);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(stock(code), before + 2);
        QCOMPARE(r.value("goodslines"), QStringLiteral("1"));
        QCOMPARE(r.value("moneylines"), QStringLiteral("1"));
        QVERIFY2(r.value("info").contains("1 行只退款不退货，不影响库存"), qPrintable(r.value("info")));
        QCOMPARE(books("SELECT COUNT(*) || ' ' || SUM(quantity) FROM kx_stock_ledger WHERE nickid = '1001' AND doctype = 'refunding' AND docid = ?", {receipt}),
                 QStringLiteral("1 2"));
        r = audit(receipt);
        QVERIFY(!r.ok);

        // Money only: audited, no stock effect, said so.
        const QString money = booked("varnoq_demo", "buyer_money", code, false, "8.00");
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall({money}));
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString onlyMoney = KxColumn(r.value("xmlmaster"), "refundingid").value(0);
        r = audit(onlyMoney);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(stock(code), before + 2);
        QVERIFY2(r.value("info").contains("只退款不退货，不影响库存"), qPrintable(r.value("info")));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_stock_ledger WHERE nickid = '1001' AND docid = ?", {onlyMoney}), QStringLiteral("0"));

        // Goods back but no product named: refused, nothing posted.
        const QString unbound = booked("varnoq_demo", "buyer_unbound", QString(), true, "8.00");
        r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall({unbound}));
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString noCode = KxColumn(r.value("xmlmaster"), "refundingid").value(0);
        r = audit(noCode);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("第1行退回了商品但没有商品编码"), qPrintable(r.error));
        QCOMPARE(books("SELECT status FROM kx_refunding WHERE nickid = '1001' AND refundingid = ?", {noCode}), QStringLiteral("1"));
    }

    // As a new user would from the demo: a finished refund downloaded with its goods back
    // becomes a receipt, and its audit brings the pieces back into the return storage.
    void demoRefundBackInStock()
    {
        QVERIFY(download() >= 0);
        const QString id = books("SELECT MIN(refund_id) FROM kx_refund WHERE nickid = '1001' AND status = 'SUCCESS' AND has_good_return = 1"
                                 " AND commoditycode <> '' AND dbstatus = 'NOT_REFUNDING'");
        QVERIFY(!id.isEmpty());
        const QString code = books("SELECT commoditycode FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id});
        const int pieces = books("SELECT num FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {id}).toInt();
        TCallResult r = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall({id}));
        QVERIFY2(r.ok, qPrintable(r.error));
        const int before = stock(code);
        r = audit(KxColumn(r.value("xmlmaster"), "refundingid").value(0));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(stock(code), before + pieces);
    }

    // A receipt typed in: the total is the lines' refunds, a storage not for returns is refused,
    // an audited receipt cannot change.
    void handTypedReceipt()
    {
        const TCallResult empty = fx().call(kAdmin, "Refunding.Load", {{"refundingid", ""}});
        QVERIFY2(empty.ok, qPrintable(empty.error));
        TPClientDataSet master, lines;
        QVERIFY(master.SetKXXMLData(empty.value("xmlmaster")) && lines.SetKXXMLData(empty.value("xmldetail")));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        set(master, "md5_key", key);
        set(master, "storageid", "CK01");
        set(master, "seller_nick", "varnoq_demo");
        set(master, "buyer_nick", "门店顾客");
        master.Post();
        for (const auto& [num, fee] : {std::pair{"2", "20.00"}, std::pair{"1", "9.90"}}) {
            lines.Append();
            set(lines, "md5_key", key);
            set(lines, "commoditycode", product());
            set(lines, "num", num);
            set(lines, "total_fee", "10");
            set(lines, "refund_fee", fee);
            set(lines, "has_good_return", "True");
            lines.Post();
        }
        TFiles files{{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}};
        TCallResult r = fx().call(kAdmin, "Refunding.Update", {}, files);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("不能用于退款单"), qPrintable(r.error));
        master.Edit();
        set(master, "storageid", "CK04");
        master.Post();
        r = fx().call(kAdmin, "Refunding.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString id = KxColumn(r.value("xmlmaster"), "refundingid").value(0);
        QVERIFY(id.startsWith("TK"));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "refundingmoney"), QStringList{"29.90"});
        QCOMPARE(KxColumn(r.value("xmldetail"), "refund_id"), (QStringList{"", ""}));
        QVERIFY(audit(id).ok);
        TPClientDataSet m2;
        m2.SetKXXMLData(fx().call(kAdmin, "Refunding.Load", {{"refundingid", id}}).value("xmlmaster"));
        m2.Edit();
        set(m2, "memo", "改");
        m2.Post();
        r = fx().call(kAdmin, "Refunding.Update", {}, {{"deltamaster", m2.GetKXXMLDelta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("已审核，不能再改动"), qPrintable(r.error));
    }

    // A receipt line typed in with a refund's number takes that refund as generation would:
    // only a finished refund in the books and in no other receipt; deleting the line from the
    // unsaved-to-audit receipt frees the refund again.
    void handTypedLineTakesItsRefund_data()
    {
        QTest::addColumn<QString>("refund");   // free, taken, unknown, running
        QTest::addColumn<QString>("refusal");
        QTest::newRow("a finished refund") << "free" << "";
        QTest::newRow("already in a receipt") << "taken" << "已生成退款单";
        QTest::newRow("not in the books") << "unknown" << "不存在";
        QTest::newRow("not finished") << "running" << "尚未退款成功";
    }
    void handTypedLineTakesItsRefund()
    {
        QFETCH(QString, refund);
        QFETCH(QString, refusal);
        const QString code = product();
        QString id = refund == QLatin1String("unknown") ? QStringLiteral("NO_SUCH_REFUND")
                                                        : booked("varnoq_demo", "buyer_hand", code, true, "15.00", 1,
                                                                 refund == QLatin1String("running") ? "WAIT_SELLER_AGREE" : "SUCCESS");
        QString other;
        if (refund == QLatin1String("taken")) {
            const TCallResult g = fx().call(kAdmin, "Refund.UpdateRefunding", {}, generateCall({id}));
            QVERIFY2(g.ok, qPrintable(g.error));
            other = KxColumn(g.value("xmlmaster"), "refundingid").value(0);
        }
        const int receipts = books("SELECT COUNT(*) FROM kx_refunding WHERE nickid = '1001'").toInt();
        const TCallResult empty = fx().call(kAdmin, "Refunding.Load", {{"refundingid", ""}});
        TPClientDataSet master, lines;
        QVERIFY(master.SetKXXMLData(empty.value("xmlmaster")) && lines.SetKXXMLData(empty.value("xmldetail")));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        set(master, "md5_key", key);
        set(master, "storageid", "CK04");
        set(master, "seller_nick", "varnoq_demo");
        set(master, "buyer_nick", "buyer_hand");
        master.Post();
        lines.Append();
        set(lines, "md5_key", key);
        set(lines, "refund_id", id);
        set(lines, "commoditycode", code);
        set(lines, "num", "1");
        set(lines, "total_fee", "15");
        set(lines, "refund_fee", "15.00");
        set(lines, "has_good_return", "True");
        lines.Post();
        TCallResult r = fx().call(kAdmin, "Refunding.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}});
        const QString mark = QStringLiteral("SELECT dbstatus || ' ' || refundingid FROM kx_refund WHERE nickid = '1001' AND refund_id = ?");
        if (!refusal.isEmpty()) {
            QVERIFY(!r.ok);
            QVERIFY2(r.error.contains(refusal) && r.error.contains(id) && r.error.contains(other), qPrintable(r.error));
            QCOMPARE(books("SELECT COUNT(*) FROM kx_refunding WHERE nickid = '1001'").toInt(), receipts);
            if (refund == QLatin1String("taken"))
                QCOMPARE(books(mark, {id}), "REFUNDINGED " + other);
            return;
        }
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString receipt = KxColumn(r.value("xmlmaster"), "refundingid").value(0);
        QCOMPARE(books(mark, {id}), "REFUNDINGED " + receipt);

        // The line taken out of the receipt again: the refund can be made a receipt anew.
        const TCallResult loaded = fx().call(kAdmin, "Refunding.Load", {{"refundingid", receipt}});
        TPClientDataSet m2, l2;
        QVERIFY(m2.SetKXXMLData(loaded.value("xmlmaster")) && l2.SetKXXMLData(loaded.value("xmldetail")));
        QVERIFY(l2.Locate("refund_id", id));
        l2.Delete();
        m2.Edit();
        set(m2, "memo", "退款另行处理");
        m2.Post();
        r = fx().call(kAdmin, "Refunding.Update", {}, {{"deltamaster", m2.GetKXXMLDelta()}, {"deltadetail", l2.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(books(mark, {id}), QStringLiteral("NOT_REFUNDING "));
    }

    // The buyers' side: a refund on an unshipped order is money only and keeps the order from
    // shipping; goods agreed come back with carrier and number and end refunded; goods never
    // sent back close the refund; a money-only refund agreed before shipping takes the line
    // out of the order.
    void buyersFollowTheStateMachine()
    {
        QSqlDatabase db = fx().db();
        TMarketSimulator market(db, QStringLiteral("1001"));
        TRefundMarket refunds(db, QStringLiteral("1001"), market);
        const QString unshipped = open("WAIT_SELLER_SEND_GOODS", true);
        const QString tid = books("SELECT tid FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {unshipped});
        QCOMPARE(books("SELECT has_good_return || good_status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {unshipped}),
                 QStringLiteral("0BUYER_NOT_RECEIVED"));
        QVERIFY_THROWS_EXCEPTION(TServiceError, market.ship(tid, "YTO", "YT-R1"));
        QVERIFY_THROWS_EXCEPTION(TServiceError, refunds.open(books("SELECT oid FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {unshipped}),
                                                             false, "x", "y"));
        QCOMPARE(refunds.agree(unshipped, {}), QStringLiteral("SUCCESS"));
        QCOMPARE(books("SELECT o.status FROM kx_mk_order o JOIN kx_mk_refund r ON r.nickid = o.nickid AND r.oid = o.oid WHERE r.nickid = '1001' AND r.refund_id = ?",
                       {unshipped}),
                 QStringLiteral("TRADE_CLOSED"));

        const QString shipped = open("WAIT_BUYER_CONFIRM_GOODS", true);
        QVERIFY_THROWS_EXCEPTION(TServiceError, refunds.returnGoods(shipped, "中通快运", "ZT1"));
        QCOMPARE(refunds.agree(shipped, {"王五", "退货路1号", "310000", "", "139", ""}), QStringLiteral("WAIT_BUYER_RETURN_GOODS"));
        refunds.returnGoods(shipped, "中通快运", "ZT0001");
        QCOMPARE(books("SELECT status || ' ' || good_status || ' ' || company_name || ' ' || sid FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {shipped}),
                 QStringLiteral("WAIT_SELLER_CONFIRM_GOODS BUYER_RETURNED_GOODS 中通快运 ZT0001"));
        QCOMPARE(refunds.agree(shipped, {}), QStringLiteral("SUCCESS"));

        const QString late = open("WAIT_BUYER_CONFIRM_GOODS", true);
        refunds.agree(late, {"王五", "退货路1号", "", "", "", ""});
        KxExec(db, "UPDATE kx_mk_refund SET timeout = '2020-01-01 00:00:00' WHERE nickid = '1001' AND refund_id = ?", {late});
        refunds.expire();
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {late}), QStringLiteral("CLOSED"));
        const QString withdrawn = open("WAIT_BUYER_CONFIRM_GOODS", false);
        refunds.close(withdrawn);
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {withdrawn}), QStringLiteral("CLOSED"));
        QVERIFY_THROWS_EXCEPTION(TServiceError, refunds.close(withdrawn));
    }
};

QTEST_MAIN(TestRefund)
#include "tst_refund.moc"
