// The home tab's work queues in the main window against the real service, over books of known
// content: the tiles after a login, an operator without a module's right, a failed refresh that
// keeps the last figures with a quiet note, and the quiet state when nothing waits.
#include "ServiceFixture.h"
#include "uFrmClient.h"
#include "uHomeQueues.h"
#include "uShell.h"

#include <QLabel>
#include <QTabWidget>

namespace {
QString day(int offset)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
}

// Each tile's number by its queue.
QMap<QString, QString> tiles(TKxHomeQueues* q)
{
    QMap<QString, QString> out;
    for (QWidget* tile : q->findChildren<QWidget*>("queueTile"))
        if (tile->isVisibleTo(q))
            out.insert(tile->property("queue").toString(), tile->findChild<QLabel*>("queueNumber")->text());
    return out;
}
}

class TestHomeE2e : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;
    std::unique_ptr<TFrmClient> m_client;
    QTemporaryDir m_dir;

    // Nothing waits but what a case adds.
    void emptyBooks()
    {
        for (const char* table : {"kx_trade", "kx_trade_order", "kx_picking", "kx_picking_line", "kx_refund", "kx_receive", "kx_whole",
                                  "kx_output", "kx_result", "kx_allocate", "kx_adjust", "kx_adjustcost", "kx_adjustprice",
                                  "kx_adjustitemcost", "kx_adjustitemprice", "kx_refunding"})
            m_fx->exec(QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
        m_fx->exec("UPDATE kx_commodity SET minstock = 0 WHERE nickid = '1001'");
    }
    void order(const QString& tid, const QString& status, const QString& created, const QString& payment)
    {
        m_fx->exec("INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, status, created, modified, downloaded, payment)"
                   " VALUES ('1001', ?, 'varnoq_demo', 'buyer', ?, ?, ?, ?, ?)",
                   {tid, status, created, created, created, payment});
    }
    TKxHomeQueues* loginAs(const QString& oper, const QString& password)
    {
        m_client = std::make_unique<TFrmClient>();
        m_client->resize(1100, 760);
        if (!m_client->Login("S01", oper, password))
            return nullptr;
        TKxHomeQueues* q = m_client->HomeQueues;
        if (!QTest::qWaitFor([q] { return !q->Busy(); }, 10000))
            return nullptr;
        return q;
    }

private Q_SLOTS:
    void initTestCase()
    {
        KxSetTerminateHandler([] {});
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(KxDirectoryCall(m_dir.path(), {"korvadex://varnoq_demo/"}));
    }
    void init()
    {
        emptyBooks();
        KxSetServiceUrl(m_fx->url());
        m_fx->ui.texts.clear();
    }
    void cleanup() { m_client.reset(); }
    void cleanupTestCase() { m_fx.reset(); }

    void tilesAfterLogin()
    {
        const QString today = day(0) + " 10:00:00";
        order("T1", "WAIT_SELLER_SEND_GOODS", today, "88.00");
        order("T2", "TRADE_FINISHED", day(-5) + " 10:00:00", "20");
        order("T3", "WAIT_BUYER_PAY", today, "30");
        m_fx->exec("INSERT INTO kx_refund (nickid, refund_id, status, timeout, created) VALUES ('1001', 'R1', 'WAIT_SELLER_AGREE', ?, ?)",
                   {day(0) + " 22:00:00", today});
        TKxHomeQueues* q = loginAs("admin", "admin888");
        QVERIFY(q);
        const QMap<QString, QString> shown = tiles(q);
        QCOMPARE(shown.value("topick"), QString("2"));
        QCOMPARE(shown.value("refund"), QString("1"));
        QCOMPARE(shown.value("refunddue"), QString("1"));
        QCOMPARE(shown.value("pickaudit"), QString("0"));
        QCOMPARE(shown.value("belowmin"), QString("0"));
        QVERIFY(!q->findChild<QLabel*>("queueQuiet")->isVisibleTo(q));
        // Today's orders of the shop account: both, the unpaid one adding no sales.
        const auto orders = q->findChildren<QLabel*>("shopOrders");
        QCOMPARE(orders.size(), 1);
        QVERIFY2(orders[0]->text().contains(">2<"), qPrintable(orders[0]->text()));
        QVERIFY2(q->findChild<QLabel*>("shopSales")->text().contains("88.00"), qPrintable(q->findChild<QLabel*>("shopSales")->text()));
        QVERIFY(m_fx->ui.texts.isEmpty());
        if (!qEnvironmentVariableIsEmpty("KX_HOME_SHOT")) {
            m_client->show();
            QTest::qWait(200);
            m_client->TabSheetHome->grab().save(qEnvironmentVariable("KX_HOME_SHOT"));
        }
    }

    // The clerk may not open the stock views: no tile for products below their minimum.
    void clerkSeesItsQueuesOnly()
    {
        order("T1", "WAIT_SELLER_SEND_GOODS", day(0) + " 10:00:00", "10");
        TKxHomeQueues* q = loginAs("clerk", "clerk888");
        QVERIFY(q);
        const QMap<QString, QString> shown = tiles(q);
        QCOMPARE(shown.value("topick"), QString("1"));
        QVERIFY(!shown.contains("belowmin"));
        QVERIFY(shown.contains("picksend"));
    }

    void failedRefreshKeepsTheFigures()
    {
        order("T1", "WAIT_SELLER_SEND_GOODS", day(-1) + " 10:00:00", "10");
        TKxHomeQueues* q = loginAs("admin", "admin888");
        QVERIFY(q);
        QCOMPARE(tiles(q).value("topick"), QString("1"));
        QVERIFY(q->Note().isEmpty());
        KxSetServiceUrl(QStringLiteral("http://127.0.0.1:9/Service.aspx"));
        QSignalSpy updated(q, &TKxHomeQueues::Updated);
        q->Refresh();
        QVERIFY(updated.wait(15000));
        QCOMPARE(tiles(q).value("topick"), QString("1"));
        QVERIFY2(q->Note().contains("刷新失败"), qPrintable(q->Note()));
        QVERIFY(!q->findChild<QLabel*>("queueNote")->toolTip().isEmpty());
        QVERIFY(m_fx->ui.texts.isEmpty()); // no message box
        // Back in reach: the next refresh takes the new figures and drops the note.
        KxSetServiceUrl(m_fx->url());
        order("T2", "WAIT_SELLER_SEND_GOODS", day(-1) + " 11:00:00", "10");
        q->Refresh();
        QVERIFY(updated.wait(15000));
        QCOMPARE(tiles(q).value("topick"), QString("2"));
        QVERIFY(q->Note().isEmpty());
    }

    void quietWhenNothingWaits()
    {
        TKxHomeQueues* q = loginAs("admin", "admin888");
        QVERIFY(q);
        QLabel* quiet = q->findChild<QLabel*>("queueQuiet");
        QVERIFY(quiet->isVisibleTo(q));
        QVERIFY(quiet->text().contains("今天没有待处理的工作"));
        QVERIFY(tiles(q).isEmpty());
    }
};

QTEST_MAIN(TestHomeE2e)
#include "tst_home_e2e.moc"
