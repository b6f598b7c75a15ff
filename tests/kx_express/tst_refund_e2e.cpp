// Refunds end to end, the client's windows against the real service and its simulated
// marketplace: a buyer asks for goods and money back, the refund is downloaded and agreed to,
// the buyer sends the goods back, the finished refund becomes a return receipt whose audit puts
// the goods into the return storage; a window that listed the refund before is refused when it
// makes a receipt of it again. A refusal with its reason reaches the marketplace.
#include "ServiceFixture.h"
#include "market/Refunds.h"
#include "market/Simulator.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "ufrmRefund.h"
#include "ufrmRefund2Refunding.h"
#include "ufrmRefundAgree.h"
#include "ufrmRefundDown.h"
#include "ufrmRefundRefuse.h"
#include "ufrmRefunding.h"
#include "ufrmRefundingEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
constexpr int kRequested = 3;

std::unique_ptr<TfrmRefund> openRefunds()
{
    auto* form = qobject_cast<TfrmRefund*>(CallModule(nullptr, QStringLiteral("Refund.Module")));
    if (!form)
        return nullptr;
    form->show();
    while (form->CurPage() < form->PageCount())
        form->btnNextClick();
    return std::unique_ptr<TfrmRefund>(form);
}

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

QStringList shown(TPClientDataSet* r)
{
    QStringList out;
    for (r->First(); !r->Eof(); r->Next())
        out << r->FieldByName("refund_id")->AsString();
    return out;
}
} // namespace

class TestRefundE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    QString books(const QString& sql, const QVariantList& args = {}) { return m_fx->scalar(sql, args).toString(); }

    // The buyer of a shipped order line asks for a refund at the marketplace.
    QString buyerOpens(const QString& oid, bool goodsBack, const QString& reason)
    {
        QSqlDatabase db = m_fx->db();
        TMarketSimulator market(db, QStringLiteral("1001"));
        const QString id = TRefundMarket(db, QStringLiteral("1001"), market).open(oid, goodsBack, reason, QStringLiteral("买家的说明"));
        // A change in the second the marketplace last listed is listed a second later.
        market.advance(2);
        return id;
    }
    void marketMoves()
    {
        // A change in the second the marketplace last listed is stamped a second later.
        QSqlDatabase db = m_fx->db();
        TMarketSimulator(db, QStringLiteral("1001")).advance(2);
    }
    // A line of a shipped order of the main account, bound to a product, with no refund on it.
    QStringList shippedLines(int n)
    {
        QStringList oids;
        QSqlDatabase db = m_fx->db();
        QSqlQuery q = KxExec(db, "SELECT o.oid FROM kx_trade_order o JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid"
                                 " WHERE o.nickid = '1001' AND t.seller_nick = 'varnoq_demo' AND o.commoditycode <> ''"
                                 " AND NOT EXISTS (SELECT 1 FROM kx_mk_refund m WHERE m.nickid = o.nickid AND m.oid = o.oid) AND t.status IN ('WAIT_BUYER_CONFIRM_GOODS', 'TRADE_FINISHED')"
                                 " ORDER BY o.oid LIMIT " + QString::number(n));
        while (q.next())
            oids << q.value(0).toString();
        return oids;
    }
    // The refund download dialog, every state of the main account.
    void downloadFrom(TfrmRefund* form)
    {
        QString line;
        m_fx->ui.onModal = [&line](QWidget* w) {
            auto* d = qobject_cast<TfrmRefundDown*>(w);
            if (!d)
                return int(mrCancel);
            d->NickList()->item(0)->setCheckState(Qt::Checked);
            d->StateBox(QStringLiteral("全部状态"))->setChecked(true);
            d->btnDownClick();
            line = d->StatusLine()->text();
            return int(mrCancel);
        };
        form->dxBL_DownloadClick();
        m_fx->ui.onModal = {};
        QCOMPARE(line, QStringLiteral("varnoq_demo  全部状态退款单下载完成！"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        gNickId = QStringLiteral("1001");
        gNickName = QStringLiteral("varnoq_demo");
        gSubNicks = QStringList{QStringLiteral("varnoq_demo:客服小美")};
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gShopId = QStringLiteral("S01");
        // The orders, so that the test finds shipped lines bound to products.
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
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }

    // Goods and money back: downloaded, agreed, returned, finished, made a receipt, audited;
    // the return storage holds the pieces. Made again from a stale list: refused.
    void returnedGoodsReachStock()
    {
        const QStringList oids = shippedLines(1);
        QVERIFY2(!oids.isEmpty(), "no shipped order line bound to a product");
        const QString oid = oids.first();
        const QString code = books("SELECT commoditycode FROM kx_trade_order WHERE nickid = '1001' AND oid = ?", {oid});
        const int pieces = books("SELECT num FROM kx_trade_order WHERE nickid = '1001' AND oid = ?", {oid}).toInt();
        const QString refundId = buyerOpens(oid, true, QStringLiteral("尺码不合适"));

        auto form = openRefunds();
        QVERIFY(form);
        downloadFrom(form.get());
        form->Tabs()->setCurrentIndex(kRequested);
        QVERIFY2(shown(form->Refunds()).contains(refundId), qPrintable(shown(form->Refunds()).join(',')));
        QVERIFY(form->Refunds()->Locate("refund_id", refundId));
        QCOMPARE(form->Refunds()->FieldByName("commoditycode")->AsString(), code);
        form->UpdatePopup();
        QVERIFY(form->AgreeAction()->isVisible());

        m_fx->ui.clear();
        m_fx->ui.onModal = [](QWidget* w) {
            auto* a = qobject_cast<TfrmRefundAgree*>(w);
            if (!a)
                return int(mrCancel);
            a->NameEdit()->setText("王仓管");
            a->AddressEdit()->setText("杭州市西湖区退货路1号");
            a->ZipEdit()->setText("310000");
            a->PhoneEdit()->setText("0571-88888888");
            a->MobileEdit()->setText("13900000000");
            a->btnAgreeClick();
            return a->ModalResult();
        };
        form->AgreeClick();
        m_fx->ui.onModal = {};
        QVERIFY2(m_fx->ui.texts.isEmpty(), qPrintable(m_fx->ui.texts.join('|')));
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {refundId}),
                 QStringLiteral("WAIT_BUYER_RETURN_GOODS"));
        QVERIFY(books("SELECT detail FROM kx_mk_event WHERE nickid = '1001' AND kind = 'refund_agree' AND target = ?", {refundId})
                    .contains(QStringLiteral("王仓管|杭州市西湖区退货路1号|310000")));
        form->Tabs()->setCurrentIndex(4);
        QCOMPARE(shown(form->Refunds()), QStringList{refundId});

        // The buyer sends the goods; the seller confirms them at the marketplace.
        {
            QSqlDatabase db = m_fx->db();
            TMarketSimulator market(db, QStringLiteral("1001"));
            TRefundMarket(db, QStringLiteral("1001"), market).returnGoods(refundId, QStringLiteral("顺丰速运"), QStringLiteral("SF1000001"));
        }
        // The returned goods reach the list with the next download; "确认收货" on tab 5 ends the refund.
        marketMoves();
        downloadFrom(form.get());
        form->Tabs()->setCurrentIndex(5);
        QVERIFY(form->Refunds()->Locate("refund_id", refundId));
        form->UpdatePopup();
        QVERIFY(form->ConfirmAction()->isVisible());
        m_fx->ui.texts.clear();
        form->ConfirmClick();
        QCOMPARE(m_fx->ui.texts.size(), 1);   // the question, nothing refused
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {refundId}), QStringLiteral("SUCCESS"));

        marketMoves();
        downloadFrom(form.get());
        auto stale = openRefunds();
        form->Tabs()->setCurrentIndex(0);
        QVERIFY2(shown(form->Refunds()).contains(refundId), qPrintable(shown(form->Refunds()).join(',')));
        const auto tickOnly = [&](TfrmRefund* f) {
            TPClientDataSet* r = f->Refunds();
            for (r->First(); !r->Eof(); r->Next()) {
                r->Edit();
                r->FieldByName("ischeck")->SetAsBoolean(r->FieldByName("refund_id")->AsString() == refundId);
                r->Post();
            }
        };
        tickOnly(form.get());

        QStringList listConditions;
        int listed = 0, lines = 0;
        m_fx->ui.onModal = [&](QWidget* w) {
            if (auto* d = qobject_cast<TfrmRefund2Refunding*>(w)) {
                d->StorageBox()->setCurrentIndex(d->StorageBox()->findData("CK04"));
                d->btnCreateClick();
                return d->ModalResult();
            }
            // The receipt list on the new numbers, as the operator sees it.
            auto* list = qobject_cast<TfrmRefunding*>(w);
            if (!list)
                return int(mrCancel);
            listConditions = list->FixedConditions();
            list->show();
            listed = list->Documents()->RecordCount();
            lines = list->Lines()->RecordCount();
            shot(list, "refunding_list_e2e");
            return int(mrOk);
        };
        m_fx->ui.clear();
        shot(form.get(), "refund_list_e2e");
        form->dxBL_GenerateClick();
        QVERIFY2(m_fx->ui.texts.contains(QStringLiteral("退款单数据提交成功！")), qPrintable(m_fx->ui.texts.join('|')));
        const QString receipt = books("SELECT refundingid FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {refundId});
        QVERIFY(!receipt.isEmpty());
        QCOMPARE(listConditions, (QStringList{"refundingid1=" + receipt, "refundingid2=" + receipt}));
        QCOMPARE(listed, 1);
        QCOMPARE(lines, 1);
        QCOMPARE(books("SELECT dbstatus FROM kx_refund WHERE nickid = '1001' AND refund_id = ?", {refundId}), QStringLiteral("REFUNDINGED"));
        QVERIFY(!shown(form->Refunds()).contains(refundId));

        // Audited: the pieces come back into the return storage.
        const int before = books("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK04' AND commoditycode = ?",
                                 {code}).toInt();
        std::unique_ptr<TfrmBase> window(CallModule(nullptr, QStringLiteral("Refunding.Edit")));
        auto* edit = qobject_cast<TfrmRefundingEdit*>(window.get());
        QVERIFY(edit);
        edit->FixedConditions() << "refundingid=" + receipt;
        edit->show();
        QCOMPARE(edit->Lines()->RecordCount(), 1);
        shot(edit, "refunding_edit_e2e");
        m_fx->ui.clear();
        edit->dxBL_AuditClick();
        QVERIFY2(m_fx->ui.last().startsWith(QStringLiteral("数据提交审核成功！")), qPrintable(m_fx->ui.texts.join('|')));
        QCOMPARE(books("SELECT status FROM kx_refunding WHERE nickid = '1001' AND refundingid = ?", {receipt}), QStringLiteral("2"));
        QCOMPARE(books("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK04' AND commoditycode = ?",
                       {code}).toInt(),
                 before + pieces);

        // The window that listed the refund before makes a receipt of it again: refused, naming it.
        stale->Tabs()->setCurrentIndex(0);
        tickOnly(stale.get());
        m_fx->ui.clear();
        stale->dxBL_GenerateClick();
        m_fx->ui.onModal = {};
        const QString refusal = m_fx->ui.last();
        QVERIFY2(refusal.contains(refundId) && refusal.contains(receipt), qPrintable(refusal));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_refunding_line WHERE nickid = '1001' AND refund_id = ?", {refundId}), QStringLiteral("1"));
        QVERIFY(stale->Refunds()->Locate("refund_id", refundId));
        QCOMPARE(stale->Refunds()->FieldByName("dbstatus")->AsString(), QStringLiteral("NOT_REFUNDING"));
    }

    // A refusal and its reason reach the marketplace; the refund then shows as refused.
    void refusalReachesTheMarketplace()
    {
        const QStringList oids = shippedLines(1);
        QVERIFY(!oids.isEmpty());
        const QString refundId = buyerOpens(oids.first(), false, QStringLiteral("不想要了"));
        auto form = openRefunds();
        QVERIFY(form);
        downloadFrom(form.get());
        form->Tabs()->setCurrentIndex(kRequested);
        QVERIFY(form->Refunds()->Locate("refund_id", refundId));
        form->UpdatePopup();
        QVERIFY(!form->AgreeAction()->isVisible());
        QVERIFY(form->RefuseAction()->isVisible());
        m_fx->ui.clear();
        m_fx->ui.onModal = [](QWidget* w) {
            auto* r = qobject_cast<TfrmRefundRefuse*>(w);
            if (!r)
                return int(mrCancel);
            r->MessageEdit()->setPlainText("  商品已使用，不支持退款  ");
            r->btnRefuseClick();
            return r->ModalResult();
        };
        form->RefuseClick();
        m_fx->ui.onModal = {};
        QVERIFY2(m_fx->ui.texts.isEmpty(), qPrintable(m_fx->ui.texts.join('|')));
        QCOMPARE(books("SELECT status FROM kx_mk_refund WHERE nickid = '1001' AND refund_id = ?", {refundId}),
                 QStringLiteral("SELLER_REFUSE_BUYER"));
        QCOMPARE(books("SELECT detail FROM kx_mk_event WHERE nickid = '1001' AND kind = 'refund_refuse' AND target = ?", {refundId}),
                 QStringLiteral("商品已使用，不支持退款"));
        // The list shows it refused without another download.
        form->Tabs()->setCurrentIndex(2);
        QVERIFY(form->Refunds()->Locate("refund_id", refundId));
        QCOMPARE(form->Refunds()->FieldByName("status")->AsString(), QStringLiteral("SELLER_REFUSE_BUYER"));
    }
};

QTEST_MAIN(TestRefundE2E)
#include "tst_refund_e2e.moc"
