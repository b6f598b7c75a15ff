// The rights form and the stock view end to end, opened through the module call of the real
// service: a right given in the form works at the operator's next call, and the stock the
// view pushes is what the marketplace then holds.
#include "ServiceFixture.h"
#include "StockMoves.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "ufrmCommodityStock.h"
#include "ufrmPower.h"

#include <QAction>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};

QList<QPair<QString, QString>> loginParams(const QString& oper, const QString& password)
{
    return {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), oper}, {QStringLiteral("password"), password}};
}
}

class TestPowerE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    template<class T>
    std::unique_ptr<T> open(const QString& module)
    {
        TfrmBase* form = CallModule(nullptr, module);
        auto* typed = qobject_cast<T*>(form);
        if (!typed) {
            delete form;
            return nullptr;
        }
        typed->show();
        QCoreApplication::processEvents();
        return std::unique_ptr<T>(typed);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        gNickId = kAdmin.nick;
        gOperId = kAdmin.oper;
        gShopId = kAdmin.shop;
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams("admin", "admin888")).ok);
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams("clerk", "clerk888")).ok);
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }
    void init() { m_fx->ui.clear(); }

    // The clerk may not audit a receipt; the admin ticks the right in the rights form and
    // saves; the clerk's next call, in the same session, audits it.
    void aRightGivenInTheFormWorksAtTheNextCall()
    {
        const QString code = m_fx->scalar("SELECT MIN(commoditycode) FROM kx_commodity WHERE nickid = '1001' AND is_pack = 0").toString();
        const QString header = KxSaveReceipt(*m_fx, kAdmin, code, "CK01", 2);
        QVERIFY(!header.isEmpty());
        const TCallResult refused = KxAuditReceipt(*m_fx, kClerk, header);
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains("审核权限"), qPrintable(refused.error));

        auto form = open<TfrmPower>("Power.Module");
        QVERIFY(form);
        QVERIFY(form->ListData()->Locate("operid", "clerk"));
        QCoreApplication::processEvents();
        TPClientDataSet* rights = form->RightsData();
        const int editForm = m_fx->scalar("SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'Receive.Edit'").toInt();
        QVERIFY(rights->Locate("mod_id", editForm));
        QVERIFY(!rights->FieldByName("selected")->AsBoolean());
        TGridView* grid = form->RightsGrid();
        const QModelIndex audit = grid->model()->index(rights->RecNo() - 1, grid->IndexOfColumn(grid->ColumnByField("isaudit")));
        QVERIFY(grid->model()->setData(audit, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(rights->FieldByName("selected")->AsBoolean());
        const QStringList kept = [&] {
            QStringList out;
            QSqlDatabase db = m_fx->db();
            QSqlQuery q = KxExec(db, "SELECT mod_id FROM kx_power WHERE nickid = '1001' AND operid = 'clerk' ORDER BY mod_id");
            while (q.next())
                out << q.value(0).toString();
            return out;
        }();
        form->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));

        const TCallResult audited = KxAuditReceipt(*m_fx, kClerk, header);
        QVERIFY2(audited.ok, qPrintable(audited.error));
        QCOMPARE(KxColumn(audited.value("xmlmaster"), "status"), QStringList{"2"});
        // Nothing else of the clerk's changed: every module kept, one added.
        QCOMPARE(m_fx->scalar("SELECT COUNT(*) FROM kx_power WHERE nickid = '1001' AND operid = 'clerk'").toInt(), kept.size() + 1);
    }

    // After a receipt and a picking audit, the row the view pushes reaches the marketplace
    // with the sellable stock: the dispatch storages' stock less what is sold and not picked.
    void thePushedStockIsTheSellableStock()
    {
        QSqlDatabase db = m_fx->db();
        QSqlQuery q = KxExec(db, "SELECT b.commoditycode, b.sku_id FROM kx_sku_bind b JOIN kx_mk_sku s ON s.nickid = b.nickid AND s.sku_id = b.sku_id"
                                 " JOIN kx_commodity c ON c.nickid = b.nickid AND c.commoditycode = b.commoditycode"
                                 " WHERE b.nickid = '1001' AND c.is_pack = 0 AND (SELECT COUNT(*) FROM kx_sku_bind x WHERE x.nickid = b.nickid"
                                 " AND x.commoditycode = b.commoditycode) = 1 ORDER BY b.commoditycode DESC LIMIT 1");
        QVERIFY(q.next());
        const QString code = q.value(0).toString(), sku = q.value(1).toString();
        q.finish();
        KxReceiveAudited(*m_fx, kAdmin, code, "CK02", 9);
        KxPickAudited(*m_fx, kAdmin, code, "CK02", 4);

        auto form = open<TfrmCommodityStock>("CommodityStock.Module");
        QVERIFY(form);
        const QStringList conditions{"commoditycode=" + code};
        QVERIFY(form->Search(&conditions, 1));
        TPClientDataSet* list = form->ListData();
        QCOMPARE(list->RecordCount(), 1);
        const int sellable = std::max(0, list->FieldByName("stocknum")->AsInteger() - list->FieldByName("presell")->AsInteger());
        QCOMPARE(list->FieldByName("stocknum")->AsInteger(),
                 m_fx->scalar("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001' AND commoditycode = ? AND storageid IN ('CK01', 'CK02')", {code}).toInt());
        form->PushAction()->trigger();
        QCOMPARE(list->FieldByName("errormsg")->AsString(), QStringLiteral("同步成功"));
        QCOMPARE(m_fx->scalar("SELECT quantity FROM kx_mk_sku WHERE nickid = '1001' AND sku_id = ?", {sku}).toInt(), sellable);
    }
};

QTEST_MAIN(TestPowerE2E)
#include "tst_power_e2e.moc"
