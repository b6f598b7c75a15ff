// From orders to parcels end to end, the client's windows against the real service and its
// simulated marketplace: orders become picking lists, are audited in one batch (the stock
// falls by the picked pieces), get a carrier and consecutive numbers in the shipping dialog and
// are reported shipped; the marketplace shows them waiting for the buyer, and the next download
// brings that into the books. A picking without a number is not shipped; a number already
// given is refused.
#include "ServiceFixture.h"
#include "market/Simulator.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "ufrmPicking.h"
#include "ufrmPickingSend.h"
#include "ufrmTrade.h"
#include "ufrmTrade2Pick.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

// With KX_SCREENSHOTS naming a folder, what the operator sees is kept there as a picture.
void shot(QWidget* w, const char* name)
{
    const QString dir = qEnvironmentVariable("KX_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    w->resize(w->size().expandedTo(QSize(1100, 640)));
    QCoreApplication::processEvents();
    w->grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}
} // namespace

class TestPickingE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    QString books(const QString& sql, const QVariantList& args = {}) { return m_fx->scalar(sql, args).toString(); }
    void download()
    {
        const auto page = [&](int no, int size) {
            return m_fx->call(kAdmin, "NetShop.DownTrades", {{"detailnick", "varnoq_demo"}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                                             {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
        };
        const TCallResult probe = page(1, 1);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        const int total = probe.value("total_results").trimmed().toInt();
        for (int p = 1; p <= (total + 49) / 50; ++p)
            QVERIFY(page(p, 50).ok);
    }
    // Pickable orders of the main account whose lines are all bound, `n` of them.
    QStringList boundOrders(int n)
    {
        QStringList tids;
        QSqlDatabase db = m_fx->db();
        QSqlQuery q = KxExec(db, "SELECT t.tid FROM kx_trade t WHERE t.nickid = '1001' AND t.seller_nick = 'varnoq_demo' AND t.dbstatus = 'NOT_PICKING'"
                                 " AND t.refund = 0 AND t.status = 'WAIT_SELLER_SEND_GOODS'"
                                 " AND EXISTS (SELECT 1 FROM kx_trade_order o WHERE o.nickid = t.nickid AND o.tid = t.tid)"
                                 " AND NOT EXISTS (SELECT 1 FROM kx_trade_order u WHERE u.nickid = t.nickid AND u.tid = t.tid"
                                 " AND (u.commoditycode = '' OR u.refund_status <> 'NO_REFUND'))"
                                 " ORDER BY t.tid LIMIT " + QString::number(n));
        while (q.next())
            tids << q.value(0).toString();
        return tids;
    }
    int stock(const QStringList& codes)
    {
        int sum = 0;
        for (const QString& c : codes)
            sum += m_fx->scalar("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK01' AND commoditycode = ?", {c}).toInt();
        return sum;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        gNickId = QStringLiteral("1001");
        gNickName = QStringLiteral("varnoq_demo");
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gShopId = QStringLiteral("S01");
        download();
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }

    void ordersToParcels()
    {
        // Five orders become five picking lists in the orders window.
        const QStringList tids = boundOrders(5);
        QCOMPARE(tids.size(), 5);
        std::unique_ptr<TfrmTrade> orders(qobject_cast<TfrmTrade*>(CallModule(nullptr, QStringLiteral("Trade.Module"))));
        QVERIFY(orders);
        orders->show();
        while (orders->CurPage() < orders->PageCount())
            orders->btnNextClick();
        for (const QString& tid : tids) {
            QVERIFY(orders->Orders()->Locate("tid", tid));
            orders->Orders()->Edit();
            orders->Orders()->FieldByName("ischeck")->SetAsBoolean(true);
            orders->Orders()->Post();
        }
        QStringList listConditions;
        m_fx->ui.onModal = [&](QWidget* w) {
            if (auto* d = qobject_cast<TfrmTrade2Pick*>(w)) {
                d->StorageBox()->setCurrentIndex(d->StorageBox()->findData("CK01"));
                d->Choice(0)->setChecked(true);
                d->btnCreateClick();
                return d->ModalResult();
            }
            if (auto* list = qobject_cast<TfrmBase*>(w))
                listConditions = list->FixedConditions();
            return int(mrOk);
        };
        TTradeToPicking::Of(orders.get()).dxBL_PickClick();
        QCOMPARE(listConditions.size(), 2);

        // The picking list window on the new numbers: all ticked, audited in one batch.
        std::unique_ptr<TfrmPicking> list(qobject_cast<TfrmPicking*>(CallModule(nullptr, QStringLiteral("Picking.Module"))));
        QVERIFY(list);
        list->FixedConditions() << listConditions;
        list->show();
        QCOMPARE(list->Documents()->RecordCount(), 5);
        QStringList ids, codes;
        for (int r = list->Documents()->RecordCount() - 1; r >= 0; --r)
            ids << list->Documents()->DisplayTextAt(r, list->Documents()->FieldByName("pickingid"));
        QSqlDatabase db = m_fx->db();
        QSqlQuery c = KxExec(db, "SELECT DISTINCT commoditycode FROM kx_trade_order WHERE nickid = '1001' AND tid IN (?, ?, ?, ?, ?)",
                             {tids[0], tids[1], tids[2], tids[3], tids[4]});
        while (c.next())
            codes << c.value(0).toString();
        c.finish();
        const int pieces = m_fx->scalar("SELECT SUM(num) FROM kx_trade_order WHERE nickid = '1001' AND tid IN (?, ?, ?, ?, ?)",
                                        {tids[0], tids[1], tids[2], tids[3], tids[4]}).toInt();
        const int before = stock(codes);
        list->SelectAll(false);
        m_fx->ui.clear();
        list->dxBL_AuditClick();
        QVERIFY2(m_fx->ui.texts.contains(QStringLiteral("数据提交审核成功！")), qPrintable(m_fx->ui.texts.join('|')));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001' AND status = 2"), QStringLiteral("5"));
        QCOMPARE(stock(codes), before - pieces);
        shot(list.get(), "picking_list");

        // The first three get SF and consecutive numbers and are shipped; the other two are
        // unticked first, so they stay without numbers.
        for (int r = 0; r < list->Documents()->RecordCount(); ++r) {
            list->Documents()->SetRecNo(r + 1);
            const QString id = list->Documents()->FieldByName("pickingid")->AsString();
            list->Documents()->Edit();
            list->Documents()->FieldByName("ischeck")->SetAsBoolean(ids.indexOf(id) < 3);
            list->Documents()->Post();
        }
        const QString start = QStringLiteral("SF%1").arg(QDateTime::currentSecsSinceEpoch() % 1000000, 6, 10, QLatin1Char('0'));
        QStringList numbers, status;
        m_fx->ui.onModal = [&](QWidget* w) {
            auto* d = qobject_cast<TfrmPickingSend*>(w);
            if (!d)
                return int(mrOk);
            d->CarrierBox()->setCurrentIndex(d->CarrierBox()->findData("SF"));
            d->StartEdit()->setText(start);
            d->StepBox()->setCurrentIndex(0);
            numbers = d->Numbers();
            d->btnPreviewClick();
            shot(d, "picking_send");
            d->btnSaveClick();
            d->btnSendClick();
            status << d->StatusLabel()->text() << QString::number(d->Progress()->value());
            return int(mrOk);
        };
        m_fx->ui.clear();
        list->dxBL_SendClick();
        QCOMPARE(numbers.size(), 3);
        QVERIFY2(m_fx->ui.texts.contains(QStringLiteral("数据提交成功！")), qPrintable(m_fx->ui.texts.join('|')));
        QCOMPARE(status.value(1), QStringLiteral("3"));
        QVERIFY2(status.value(0).startsWith(QStringLiteral("发货成功！")), qPrintable(status.join('|')));
        // Rows come in list order (newest first): the numbers go to them in that order.
        for (const QString& id : ids.mid(0, 3)) {
            const QString tid = books("SELECT MIN(tid) FROM kx_picking_line WHERE nickid = '1001' AND pickingid = ?", {id});
            const QString sid = books("SELECT out_sid FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {id});
            QVERIFY(numbers.contains(sid));
            QCOMPARE(books("SELECT status || ' ' || company_code || ' ' || out_sid FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}),
                     "WAIT_BUYER_CONFIRM_GOODS SF " + sid);
            QCOMPARE(books("SELECT issend FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {id}), QStringLiteral("1"));
        }

        // The other two: one is given a number already used and is refused; neither ships
        // without a number, and both stay waiting at the marketplace.
        for (int r = 0; r < list->Documents()->RecordCount(); ++r) {
            list->Documents()->SetRecNo(r + 1);
            list->Documents()->Edit();
            list->Documents()->FieldByName("ischeck")->SetAsBoolean(ids.indexOf(list->Documents()->FieldByName("pickingid")->AsString()) >= 3);
            list->Documents()->Post();
        }
        m_fx->ui.onModal = [&](QWidget* w) {
            auto* d = qobject_cast<TfrmPickingSend*>(w);
            if (!d)
                return int(mrOk);
            d->CarrierBox()->setCurrentIndex(d->CarrierBox()->findData("SF"));
            d->StartEdit()->setText(numbers.last());
            d->StepBox()->setCurrentIndex(0);
            d->btnSaveClick();
            d->btnSendClick();
            return int(mrOk);
        };
        m_fx->ui.clear();
        list->dxBL_SendClick();
        const QString shown = m_fx->ui.texts.join('|');
        QVERIFY2(shown.contains(QStringLiteral("不能重复")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("没有物流公司或运单号")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("以下拣货单没有发货：")), qPrintable(shown));
        for (const QString& id : ids.mid(3)) {
            const QString tid = books("SELECT MIN(tid) FROM kx_picking_line WHERE nickid = '1001' AND pickingid = ?", {id});
            QCOMPARE(books("SELECT status FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("WAIT_SELLER_SEND_GOODS"));
            QCOMPARE(books("SELECT issend || out_sid FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {id}), QStringLiteral("0"));
        }

        // The next download shows the shipped orders as shipped in the books. The marketplace
        // stamps a change made in the second it last listed with the second after, so the
        // download comes a little later, as an operator's would.
        {
            QSqlDatabase db = m_fx->db();
            TMarketSimulator(db, QStringLiteral("1001")).advance(2);
        }
        download();
        for (const QString& id : ids.mid(0, 3)) {
            const QString tid = books("SELECT MIN(tid) FROM kx_picking_line WHERE nickid = '1001' AND pickingid = ?", {id});
            QCOMPARE(books("SELECT status FROM kx_trade WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("WAIT_BUYER_CONFIRM_GOODS"));
        }
        if (!qEnvironmentVariableIsEmpty("KX_SCREENSHOTS")) {
            std::unique_ptr<TfrmBase> edit(CallModule(nullptr, QStringLiteral("Picking.Edit")));
            QVERIFY(edit);
            edit->FixedConditions() << "pickingid=" + ids[0];
            edit->show();
            shot(edit.get(), "picking_edit");
        }
        m_fx->ui.onModal = {};
    }
};

QTEST_MAIN(TestPickingE2E)
#include "tst_picking_e2e.moc"
