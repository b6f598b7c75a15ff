// Orders to picking lists end to end: the orders window against the real service and its
// simulated marketplace. Three orders, two of them to one buyer and address, become two
// picking lists and leave the "未拣货" tab; a second window that listed them before is refused
// when it picks them again, told which orders were picked.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "ufrmTrade.h"
#include "ufrmTrade2Pick.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

std::unique_ptr<TfrmTrade> openOrders()
{
    auto* form = qobject_cast<TfrmTrade*>(CallModule(nullptr, QStringLiteral("Trade.Module")));
    if (!form)
        return nullptr;
    form->show();
    while (form->CurPage() < form->PageCount())
        form->btnNextClick();
    return std::unique_ptr<TfrmTrade>(form);
}

QString triple(TPClientDataSet* o)
{
    return o->FieldByName("buyer_nick")->AsString() + '|' + o->FieldByName("receiver_name")->AsString() + '|' + o->FieldByName("address")->AsString();
}

QStringList shown(TPClientDataSet* o)
{
    QStringList out;
    for (o->First(); !o->Eof(); o->Next())
        out << o->FieldByName("tid")->AsString();
    return out;
}

void tick(TfrmTrade* form, const QStringList& tids)
{
    TPClientDataSet* o = form->Orders();
    for (const QString& tid : tids) {
        QVERIFY(o->Locate("tid", tid));
        o->Edit();
        o->FieldByName("ischeck")->SetAsBoolean(true);
        o->Post();
    }
}
} // namespace

class TestTradePickE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    QString books(const QString& sql, const QVariantList& args = {}) { return m_fx->scalar(sql, args).toString(); }

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
        // Both accounts, as the download dialog fetches them: a probe for the total, then the pages.
        for (const QString& account : {QStringLiteral("varnoq_demo"), QStringLiteral("varnoq_demo:客服小美")}) {
            const auto page = [&](int no, int size) {
                return m_fx->call(kAdmin, "NetShop.DownTrades", {{"detailnick", account}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                                                 {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
            };
            const TCallResult probe = page(1, 1);
            QVERIFY2(probe.ok, qPrintable(probe.error));
            const int total = probe.value("total_results").trimmed().toInt();
            for (int p = 1; p <= (total + 49) / 50; ++p)
                QVERIFY(page(p, 50).ok);
        }
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }

    // The home tab's "待拣货" queue opens the orders window on its tab "未拣货" with exactly the
    // orders it counted: those the window's own first tab shows when opened from the menu.
    void waitingQueueOpensOrdersOnItsTab()
    {
        const TCallResult r = m_fx->call(kAdmin, "Workbench.Search");
        QVERIFY2(r.ok, qPrintable(r.error));
        const auto figures = KxDataSet(r.value("xmldata"));
        QVERIFY(figures && figures->Locate("queue", QStringLiteral("topick")));
        const int counted = figures->FieldByName("num")->AsInteger();
        QVERIFY(counted > 0);
        auto* form = qobject_cast<TfrmTrade*>(CallModule(nullptr, figures->FieldByName("mod_name")->AsString()));
        QVERIFY(form);
        std::unique_ptr<TfrmTrade> queue(form);
        queue->FixedConditions() << figures->FieldByName("conditions")->AsString().split(u'\n');
        queue->show();
        QCOMPARE(queue->Tabs()->currentIndex(), 0);
        const QStringList fromQueue = shown(queue->Orders());
        QCOMPARE(fromQueue.size(), counted);
        auto menu = openOrders();
        QVERIFY(menu);
        QStringList fromMenu = shown(menu->Orders()), sorted = fromQueue;
        fromMenu.sort();
        sorted.sort();
        QCOMPARE(sorted, fromMenu);
    }

    void threeOrdersIntoTwoPickingLists()
    {
        auto form = openOrders();
        auto stale = openOrders();
        QVERIFY(form && stale);
        QCOMPARE(form->Tabs()->currentIndex(), 0);

        // Two orders of the "未拣货" tab to one buyer, consignee and address, and one elsewhere.
        QMap<QString, QStringList> byTriple;
        TPClientDataSet* orders = form->Orders();
        for (orders->First(); !orders->Eof(); orders->Next())
            byTriple[triple(orders)] << orders->FieldByName("tid")->AsString();
        QStringList pair, single;
        for (const QStringList& tids : byTriple)
            if (tids.size() >= 2 && pair.isEmpty())
                pair = tids.mid(0, 2);
            else if (tids.size() == 1 && single.isEmpty())
                single = tids;
        QVERIFY2(!pair.isEmpty() && !single.isEmpty(), "the marketplace placed no repeat order to one address");
        const QStringList three = pair + single;
        tick(form.get(), three);

        m_fx->ui.onModal = [](QWidget* w) {
            auto* d = qobject_cast<TfrmTrade2Pick*>(w);
            if (!d)
                return int(mrOk);
            d->StorageBox()->setCurrentIndex(d->StorageBox()->findData("CK01"));
            d->Choice(1)->setChecked(true);
            d->btnCreateClick();
            return d->ModalResult();
        };
        m_fx->ui.clear();
        TTradeToPicking::Of(form.get()).dxBL_PickClick();
        QVERIFY2(m_fx->ui.texts.contains(QStringLiteral("拣货单数据提交成功！")), qPrintable(m_fx->ui.texts.join('|')));

        // Two picking lists at the service; the repeat orders share one, with both messages.
        QCOMPARE(books("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001'"), QStringLiteral("2"));
        const QString merged = books("SELECT pickingid FROM kx_picking_line WHERE nickid = '1001' AND tid = ?", {pair[0]});
        QCOMPARE(books("SELECT pickingid FROM kx_picking_line WHERE nickid = '1001' AND tid = ?", {pair[1]}), merged);
        QVERIFY(books("SELECT pickingid FROM kx_picking_line WHERE nickid = '1001' AND tid = ?", {single[0]}) != merged);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_picking_line WHERE nickid = '1001' AND tid IN (?, ?, ?)", {three[0], three[1], three[2]}),
                 books("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND tid IN (?, ?, ?)", {three[0], three[1], three[2]}));
        const QString messages = books("SELECT TRIM(? || char(10) || char(13) || ?, char(10) || char(13) || ' ')",
                                       {books("SELECT buyer_message FROM kx_trade WHERE nickid = '1001' AND tid = ?", {pair[0]}),
                                        books("SELECT buyer_message FROM kx_trade WHERE nickid = '1001' AND tid = ?", {pair[1]})});
        QCOMPARE(books("SELECT buyer_message FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {merged}), messages);
        for (const QString& tid : three)
            QCOMPARE(books("SELECT dbstatus FROM kx_trade WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("PICKINGED"));
        // The numbers the answer gave are in the window's picking data.
        QCOMPARE(TTradeToPicking::Of(form.get()).Master()->RecordCount(), 2);
        TTradeToPicking::Of(form.get()).Master()->First();
        QVERIFY(TTradeToPicking::Of(form.get()).Master()->FieldByName("pickingid")->AsString().startsWith("JH"));

        // They leave the "未拣货" tab, now and after a refresh.
        for (const QString& tid : three)
            QVERIFY(!shown(form->Orders()).contains(tid));
        form->dxBL_RefreshClick();
        while (form->CurPage() < form->PageCount())
            form->btnNextClick();
        for (const QString& tid : three)
            QVERIFY(!shown(form->Orders()).contains(tid));

        // The window that listed them before picks them again: refused, naming them.
        tick(stale.get(), three);
        m_fx->ui.clear();
        TTradeToPicking::Of(stale.get()).dxBL_PickClick();
        const QString refusal = m_fx->ui.last();
        QVERIFY2(refusal.contains("已生成拣货单") && std::all_of(three.begin(), three.end(), [&](const QString& t) { return refusal.contains(t); }),
                 qPrintable(refusal));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001'"), QStringLiteral("2"));
        QVERIFY(stale->Orders()->Locate("tid", three[0]));
        QCOMPARE(stale->Orders()->FieldByName("dbstatus")->AsString(), QStringLiteral("NOT_PICKING"));
    }
};

QTEST_MAIN(TestTradePickE2E)
#include "tst_trade_pick_e2e.moc"
