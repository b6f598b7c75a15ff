// The order download dialog against a scripted service: which states go out for which
// accounts and in what order, the probe and the pages, the progress bar held inside its range,
// the status line's texts, failures that do not stop the rest, and the single download.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uConfig.h"
#include "ufrmTradeDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QtTest>

namespace {
QByteArray total(int n)
{
    return "<response><total_results> " + QByteArray::number(n) + " </total_results></response>";
}
// Each call as "account status daynum page_no/page_size".
QStringList downCalls(TFakeService& svc)
{
    QStringList out;
    for (const TFakeCall& c : svc.calls())
        out << c.value("detailnick") + ' ' + c.value("status") + ' ' + c.value("daynum") + ' ' + c.value("page_no") + '/' + c.value("page_size");
    return out;
}
}

class TestTradeForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

    std::unique_ptr<TfrmTradeDown> dialog(const QStringList& nicks, const QStringList& states)
    {
        auto d = std::make_unique<TfrmTradeDown>();
        for (int i = 0; i < d->NickList()->count(); ++i)
            d->NickList()->item(i)->setCheckState(nicks.contains(d->NickList()->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
        for (const QString& s : states)
            d->StateBox(s)->setChecked(true);
        return d;
    }

private Q_SLOTS:
    void init()
    {
        gNickName = QStringLiteral("shop");
        gSubNicks = QStringList{QStringLiteral("shop:amy"), QStringLiteral("shop:bob")};
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    void opensWithAccountsUnticked()
    {
        auto d = dialog({}, {});
        QCOMPARE(d->NickList()->count(), 3);
        QCOMPARE(d->NickList()->item(0)->text(), QStringLiteral("shop"));
        QCOMPARE(d->NickList()->item(2)->text(), QStringLiteral("shop:bob"));
        QCOMPARE(d->SingleNick()->currentText(), QStringLiteral("shop"));
        QCOMPARE(d->DayBox()->currentText(), QStringLiteral("最后一天"));
        d->StateBox("全部状态")->setChecked(true);
        QVERIFY(d->StateBox("交易关闭")->isChecked() && d->StateBox("待付款")->isChecked());
        d->StateBox("全部状态")->setChecked(false);
        QVERIFY(!d->StateBox("交易关闭")->isChecked());
    }

    // The ticked states of every ticked account, in table order; all six together are one
    // "TRADE_ALL" call. With nothing at the marketplace the probe is the only call.
    void statesGoOutInOrder_data()
    {
        QTest::addColumn<QStringList>("nicks");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<int>("day");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("all six, two accounts") << QStringList{"shop", "shop:bob"} << QStringList{"全部状态"} << 0
                                               << QStringList{"shop TRADE_ALL 1 1/1", "shop:bob TRADE_ALL 1 1/1"};
        QTest::newRow("three states, table order") << QStringList{"shop:amy"} << QStringList{"交易关闭", "待付款", "待评价"} << 3
                                                   << QStringList{"shop:amy WAIT_BUYER_PAY 30 1/1", "shop:amy RATE_UNSELLER 30 1/1",
                                                                  "shop:amy TRADE_CLOSED 30 1/1"};
        QTest::newRow("no account ticked") << QStringList{} << QStringList{"待发货"} << 4 << QStringList{};
    }
    void statesGoOutInOrder()
    {
        QFETCH(QStringList, nicks);
        QFETCH(QStringList, states);
        QFETCH(int, day);
        QFETCH(QStringList, calls);
        m_svc->answer("NetShop.DownTrades", total(0));
        auto d = dialog(nicks, states);
        d->DayBox()->setCurrentIndex(day);
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc), calls);
        if (!calls.isEmpty())
            QCOMPARE(d->Progress()->value(), 100);
    }

    // 120 orders: the probe, then pages 1 to 3 of 50; the bar shows 41 and 83 and then stays
    // at its maximum although the last page computes 125.
    void pagesFollowTheTotal()
    {
        m_svc->answer("NetShop.DownTrades", total(120));
        auto d = dialog({"shop"}, {"待发货"});
        QList<int> shown;
        connect(d->Progress(), &QProgressBar::valueChanged, this, [&](int v) { shown << v; });
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc), (QStringList{"shop WAIT_SELLER_SEND_GOODS 1 1/1", "shop WAIT_SELLER_SEND_GOODS 1 1/50",
                                                 "shop WAIT_SELLER_SEND_GOODS 1 2/50", "shop WAIT_SELLER_SEND_GOODS 1 3/50"}));
        QCOMPARE(shown, (QList<int>{41, 83, 100}));
        QCOMPARE(d->StatusLine()->text(), QStringLiteral("【shop】  待发货订单下载完成！"));
    }

    // A refused download is reported and the next state and account go on.
    void failuresDoNotStopTheRest()
    {
        m_svc->fail("NetShop.DownTrades", 50, "网店忙");
        auto d = dialog({"shop", "shop:amy"}, {"已发货", "交易成功"});
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc).size(), 4);
        QCOMPARE(downCalls(*m_svc).last(), QStringLiteral("shop:amy TRADE_FINISHED 1 1/1"));
        QCOMPARE(d->StatusLine()->text(), QStringLiteral("【shop:amy】  交易成功订单下载失败！"));
        QCOMPARE(m_ui->messages.size(), 4);
    }

    void singleOrderByNumber()
    {
        m_svc->answer("NetShop.DownTrade", "<response/>");
        auto d = dialog({}, {});
        d->SingleNick()->setCurrentIndex(1);
        d->TidEdit()->setText(QStringLiteral("  3100000001  "));
        d->btnDownOneClick();
        QCOMPARE(m_svc->calls().size(), 1);
        QCOMPARE(m_svc->calls().first().value("detailnick"), QStringLiteral("shop:amy"));
        QCOMPARE(m_svc->calls().first().value("tid"), QStringLiteral("3100000001"));
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("订单下载成功！"));
        QCOMPARE(m_ui->messages.last().caption, QStringLiteral("系统提示"));
    }
};

QTEST_MAIN(TestTradeForms)
#include "tst_trade_forms.moc"
