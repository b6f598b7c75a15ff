// Suppliers, the goods each supplier delivers and member cards at the service: the product
// picker of a receipt narrowed to its supplier's goods, what supplier-goods and card saves
// refuse, and deletes refused naming what uses the row. SQLite, and PostgreSQL when KX_PG_URL
// is set.
#include "Deltas.h"
#include "ServiceFixture.h"

#include <QUuid>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

// A list's data set as the service answered it, with rows appended as a window appends them.
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
    QString delta() const { return ds.GetKXXMLDelta(); }
};
}

class TestSuppliers : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{kAdmin, QStringLiteral("admin888")};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    QString one(const QString& sql, const QVariantList& args = {}) { return fx().scalar(sql, args).toString(); }
    TCallResult call(const QString& method, const QList<QPair<QString, QString>>& params = {}, const QList<QPair<QString, QString>>& files = {})
    {
        return fx().call(kAdmin, method, params, files);
    }
    // The empty list of a table, to append to.
    QString structure(const QString& method, const QList<QPair<QString, QString>>& params)
    {
        const TCallResult r = call(method, params + QList<QPair<QString, QString>>{{"curpage", "0"}});
        return r.value("xmldata");
    }
    TCallResult saveGoodsRows(const QList<QStringList>& rows)
    {
        TGrid g(structure("SupplierGoods.Search", {{"suppliercode", "NONE"}}));
        for (const QStringList& r : rows)
            g.append(r);
        return call("SupplierGoods.Update", {}, {{"delta", g.delta()}});
    }
    TCallResult saveCard(const QStringList& pairs)
    {
        TGrid g(structure("Vipcard.Search", {{"vipid", "NONE"}}));
        g.append(pairs);
        return call("Vipcard.Update", {}, {{"delta", g.delta()}});
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

    // The picker a receipt opens lists the products of its supplier's goods; a supplier with no
    // goods rows, or no supplier, lists every product. A typed code outside them is not found.
    void receiptPickerListsTheSuppliersGoods_data()
    {
        QTest::addColumn<QString>("supplier");
        QTest::addColumn<QString>("where"); // the products expected
        QTest::newRow("supplier with goods") << "GY002"
            << "goodscode IN (SELECT goodscode FROM kx_supplier_goods WHERE nickid = '1001' AND suppliercode = 'GY002')";
        QTest::newRow("supplier without goods rows") << "GY005" << "1 = 1";
        QTest::newRow("no supplier") << "" << "1 = 1";
    }
    void receiptPickerListsTheSuppliersGoods()
    {
        QFETCH(QString, supplier);
        QFETCH(QString, where);
        const TCallResult r = call("Select.CommoditySearch", {{"is_del", "0"}, {"suppliercode", supplier}, {"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QStringList got = KxColumn(r.value("xmldata"), "commoditycode");
        const QString expected = one("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001' AND is_del = 0 AND " + where);
        QVERIFY(expected.toInt() > 0);
        QCOMPARE(QString::number(got.size()), expected);
        if (supplier == u"GY002") {
            QCOMPARE(one("SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = '1001' AND suppliercode = 'GY002'"), QStringLiteral("6"));
            const QString other = one("SELECT MIN(commoditycode) FROM kx_commodity WHERE nickid = '1001' AND goodscode = 'G1020'");
            QVERIFY(!got.contains(other));
            const TCallResult typed = call("Select.CommoditySearch", {{"commoditycode", other}, {"suppliercode", supplier}, {"curpage", "0"}});
            QCOMPARE(KxColumn(typed.value("xmldata"), "commoditycode"), QStringList());
        }
    }

    void supplierGoodsListedAndSaved()
    {
        const TCallResult list = call("SupplierGoods.Search", {{"suppliercode", "GY003"}, {"curpage", "1"}});
        QVERIFY2(list.ok, qPrintable(list.error));
        QCOMPARE(KxColumn(list.value("xmldata"), "goodscode").size(), 6);
        QCOMPARE(KxColumn(list.value("xmldata"), "goodsname").value(0), one("SELECT goodsname FROM kx_goods WHERE nickid = '1001' AND goodscode = 'G1009'"));
        // Without a supplier there is nobody's goods to show.
        QCOMPARE(KxColumn(call("SupplierGoods.Search", {{"curpage", "1"}}).value("xmldata"), "goodscode"), QStringList());

        const TCallResult saved = saveGoodsRows({{"suppliercode=GY004", "goodscode=G1020"}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(KxColumn(saved.value("xmldata"), "goodsname"), QStringList{one("SELECT goodsname FROM kx_goods WHERE nickid = '1001' AND goodscode = 'G1020'")});
        QCOMPARE(one("SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = '1001' AND suppliercode = 'GY004'"), QStringLiteral("5"));

        // Goods a supplier delivers stay while its rows name them.
        TGrid goods(call("Goods.Search", {{"goodscode", "G1020"}, {"curpage", "0"}}).value("xmldata"));
        goods.ds.First();
        goods.ds.Delete();
        const TCallResult stays = call("Goods.Update", {}, {{"delta", goods.delta()}});
        QVERIFY2(!stays.ok && stays.error.contains("供应商商品 1 个"), qPrintable(stays.error));
    }

    void supplierGoodsRefusals_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("message");
        QTest::newRow("no supplier") << QList<QStringList>{{"suppliercode=", "goodscode=G1001"}} << "供应商编码不能为空";
        QTest::newRow("twice in one save") << QList<QStringList>{{"suppliercode=GY001", "goodscode=G1001"}, {"suppliercode=GY001", "goodscode=G1001"}}
                                           << "供应商商品【GY001/G1001】已存在";
        QTest::newRow("already the supplier's") << QList<QStringList>{{"suppliercode=GY002", "goodscode=G1003"}}
                                                << "商品【G1003】已是供应商【GY002】的商品，不能重复添加";
        QTest::newRow("unknown supplier") << QList<QStringList>{{"suppliercode=GY999", "goodscode=G1001"}} << "供应商【GY999】不存在";
        QTest::newRow("unknown goods") << QList<QStringList>{{"suppliercode=GY001", "goodscode=NOPE"}} << "商品【NOPE】不存在";
    }
    void supplierGoodsRefusals()
    {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, message);
        const QString before = one("SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = '1001'");
        const TCallResult r = saveGoodsRows(rows);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(one("SELECT COUNT(*) FROM kx_supplier_goods WHERE nickid = '1001'"), before);
    }

    // A new supplier gets the next code; one that receipts or goods rows use stays, the refusal
    // naming every use; a supplier nothing uses goes.
    void supplierSavedAndDeletesRefusedWhileUsed()
    {
        const QString cat = one("SELECT MIN(catid) FROM kx_category WHERE nickid = '1001' AND cattype = 'supplier'");
        TGrid g(structure("Supplier.Search", {{"suppliercode", "NONE"}}));
        g.append({"suppliername=宁波纽扣厂", "status=1", "catid=" + cat});
        g.append({"suppliername=空闲供应商", "status=1"});
        const TCallResult saved = call("Supplier.Update", {}, {{"delta", g.delta()}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const QStringList codes = KxColumn(saved.value("xmldata"), "suppliercode");
        QCOMPARE(codes.size(), 2);
        QVERIFY2(codes[0].startsWith("GY") && codes[0].size() == 5, qPrintable(codes[0]));

        TGrid bad(structure("Supplier.Search", {{"suppliercode", "NONE"}}));
        bad.append({"suppliername=无类别", "catid=99999"});
        const TCallResult refused = call("Supplier.Update", {}, {{"delta", bad.delta()}});
        QVERIFY2(!refused.ok && refused.error.contains("分类 99999 不存在"), qPrintable(refused.error));

        const QString used = one("SELECT suppliercode FROM kx_supplier WHERE nickid = '1001' AND suppliername = '宁波纽扣厂'");
        QVERIFY(saveGoodsRows({{"suppliercode=" + used, "goodscode=G1001"}}).ok);
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        const TCallResult receipt = call("Receive.Update", {},
            {{"deltamaster", KxTextDelta({"md5_key", "suppliercode", "storageid"}, {{key, used, "CK01"}}, 64)},
             {"deltadetail", KxTextDelta({"md5_key", "seq", "commoditycode", "receivenum"}, {{key, "1", "G100101", "1"}}, 64)}});
        QVERIFY2(receipt.ok, qPrintable(receipt.error));

        const auto remove = [&](const QString& code) {
            TGrid list(call("Supplier.Search", {{"suppliercode", code}, {"curpage", "0"}}).value("xmldata"));
            list.ds.First();
            list.ds.Delete();
            return call("Supplier.Update", {}, {{"delta", list.delta()}});
        };
        const TCallResult stays = remove(used);
        QVERIFY(!stays.ok);
        const QString named = QStringLiteral("供应商【%1】正在使用，不能删除：采购入库单 1 张、供应商商品 1 个。不再使用请取消在用").arg(used);
        QVERIFY2(stays.error.contains(named), qPrintable(stays.error));
        QVERIFY2(remove(codes[1] == used ? codes[0] : codes[1]).ok, "a supplier nothing uses");
    }

    // Cards: the number given by the service, the sex one of two, the birthday a date; the
    // outbound documents' picker takes the cards in use; a card a document names stays.
    void memberCards()
    {
        const QString cat = one("SELECT MIN(catid) FROM kx_category WHERE nickid = '1001' AND cattype = 'vipcard'");
        const TCallResult saved = saveCard({"vipname=李雷", "sex=女", "birthday=1990-05-06T00:00:00", "phone=13911112222", "tel=0571-1",
                                            "inentno=330100199005060000", "address=杭州", "email=li@example.com", "memo=老客户",
                                            "is_use=1", "catid=" + cat});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const QString id = KxColumn(saved.value("xmldata"), "vipid").value(0);
        QCOMPARE(id, QStringLiteral("V00013"));
        QCOMPARE(one("SELECT sex || ' ' || birthday || ' ' || phone || ' ' || inentno || ' ' || email || ' ' || memo FROM kx_vipcard"
                     " WHERE nickid = '1001' AND vipid = ?", {id}),
                 QStringLiteral("女 1990-05-06 13911112222 330100199005060000 li@example.com 老客户"));

        const struct { const char* pair; const char* message; } refusals[] = {
            {"sex=未知", "的性别只能是“男”或“女”"},
            {"birthday=1990-13-01", "的生日不是日期：1990-13-01"},
            {"birthday=明天", "的生日不是日期：明天"},
            {"catid=99999", "分类 99999 不存在"},
        };
        for (const auto& r : refusals) {
            const TCallResult refused = saveCard({"vipname=韩梅梅", QString::fromUtf8(r.pair)});
            QVERIFY2(!refused.ok && refused.error.contains(QString::fromUtf8(r.message)), qPrintable(r.pair + (" " + refused.error)));
        }

        // The retail and wholesale documents ask for the cards in use ("is_use=1").
        fx().exec("UPDATE kx_vipcard SET is_use = 0 WHERE nickid = '1001' AND vipid = ?", {id});
        const TCallResult inUse = call("Select.VipcardSearch", {{"is_use", "1"}, {"curpage", "0"}});
        QVERIFY2(inUse.ok, qPrintable(inUse.error));
        QCOMPARE(QString::number(KxColumn(inUse.value("xmldata"), "vipid").size()),
                 one("SELECT COUNT(*) FROM kx_vipcard WHERE nickid = '1001' AND is_use = 1"));
        QVERIFY(!KxColumn(inUse.value("xmldata"), "vipid").contains(id));

        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        const TCallResult doc = call("Output.Update", {},
            {{"deltamaster", KxTextDelta({"md5_key", "vipid", "storageid"}, {{key, "V00002", "CK03"}}, 64)},
             {"deltadetail", KxTextDelta({"md5_key", "seq", "commoditycode", "outputnum"}, {{key, "1", "G100101", "1"}}, 64)}});
        QVERIFY2(doc.ok, qPrintable(doc.error));
        TGrid list(call("Vipcard.Search", {{"vipid", "V00002"}, {"curpage", "0"}}).value("xmldata"));
        list.ds.First();
        list.ds.Delete();
        const TCallResult stays = call("Vipcard.Update", {}, {{"delta", list.delta()}});
        QVERIFY(!stays.ok);
        QVERIFY2(stays.error.contains("会员卡【V00002】正在使用，不能删除：零售出库单 1 张。不再使用请取消在用"), qPrintable(stays.error));
    }
};

QTEST_MAIN(TestSuppliers)
#include "tst_suppliers.moc"
