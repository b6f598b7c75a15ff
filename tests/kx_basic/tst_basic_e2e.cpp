// The master-data forms end to end: opened through the module call of the real service, rows
// added, edited and deleted in the grid, saved, reloaded, and the service's refusals shown.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "ufrmLogistics.h"
#include "ufrmMasterList.h"

#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

QList<QPair<QString, QString>> loginParams(const QString& oper, const QString& password)
{
    return {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), oper}, {QStringLiteral("password"), password}};
}

QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    const TBookmark at = ds->GetBookmark();
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    ds->GotoBookmark(at);
    return out;
}

// "field=value" lines set on the current row.
void setFields(TPClientDataSet* ds, const QStringList& values)
{
    for (const QString& v : values)
        QVERIFY2(ds->FieldByName(v.section('=', 0, 0))->SetAsString(v.section('=', 1)), qPrintable(v));
}
}

class TestBasicE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    template<class T = TfrmMasterList>
    std::unique_ptr<T> open(const QString& module)
    {
        TfrmBase* form = CallModule(nullptr, module);
        auto* typed = qobject_cast<T*>(form);
        if (!typed) {
            delete form;
            return nullptr;
        }
        typed->show();
        return std::unique_ptr<T>(typed);
    }
    // Saves with OK to the question; the service's message, or "" on success.
    QString save(TfrmMasterList* form)
    {
        m_fx->ui.clear();
        form->dxBL_SaveClick();
        const QString last = m_fx->ui.last();
        return last == QStringLiteral("数据提交成功！") ? QString() : last;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams("admin", "admin888")).ok);
        gNickId = kAdmin.nick;
        gOperId = kAdmin.oper;
        gShopId = kAdmin.shop;
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }
    void init() { m_fx->ui.clear(); }

    void addEditDeleteAndReload_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("shops") << "Shop.Module" << "shopcode" << "shopname" << QStringList{};
        QTest::newRow("brands") << "Brand.Module" << "brand_id" << "brand_name" << QStringList{};
        QTest::newRow("property values") << "Prop.Module" << "propid" << "propname" << QStringList{"isuse=False"};
        QTest::newRow("senders") << "SendRen.Module" << "renid" << "sender_name"
                                 << QStringList{"sender_address=杭州市西湖区 1 号", "sender_mobile=13800000000", "memo3=周末不发"};
        QTest::newRow("storages") << "Storage.Module" << "storageid" << "storagename" << QStringList{"storagetype=2"};
        QTest::newRow("operators") << "Operator.Module" << "operid" << "opername" << QStringList{"operpsw=pw-1"};
    }
    void addEditDeleteAndReload()
    {
        QFETCH(QString, module);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QStringList, fields);
        auto form = open(module);
        QVERIFY(form);
        TPClientDataSet* ds = form->ListData();
        const int before = ds->RecordCount();

        // Add: the service gives the code, merged back by the row key.
        form->dxBL_NewClick();
        setFields(ds, fields);
        ds->FieldByName(name)->SetAsString(QStringLiteral("新的 '名字' <1>"));
        QCOMPARE(save(form.get()), QString());
        const QString code = ds->FieldByName(key)->AsString();
        QVERIFY2(!code.isEmpty(), qPrintable(module));
        QCOMPARE(ds->ChangeCount(), 0);

        // Edit, then reload.
        QVERIFY(ds->Locate(key, code));
        form->dxBL_EditClick();
        ds->FieldByName(name)->SetAsString(QStringLiteral("改过的名字"));
        QCOMPARE(save(form.get()), QString());
        form->dxBL_RefreshClick();
        QVERIFY2(ds->RecordCount() == before + 1, qPrintable(column(ds, key).join(',') + m_fx->ui.texts.join(',')));

        QVERIFY(ds->Locate(key, code));
        QCOMPARE(ds->FieldByName(name)->AsString(), QStringLiteral("改过的名字"));
        for (const QString& f : fields)
            if (!f.startsWith("operpsw"))
                QCOMPARE(ds->FieldByName(f.section('=', 0, 0))->AsString(), f.section('=', 1));

        // A name may not be blank: refused, nothing saved, the change stays pending.
        form->dxBL_EditClick();
        ds->FieldByName(name)->SetAsString(QStringLiteral("  "));
        QVERIFY(save(form.get()).contains(QStringLiteral("不能为空")));
        QCOMPARE(ds->ChangeCount(), 1);
        form->dxBL_RefreshClick();
        QVERIFY(ds->Locate(key, code));
        QCOMPARE(ds->FieldByName(name)->AsString(), QStringLiteral("改过的名字"));

        // Delete, then reload.
        form->dxBL_DeleteClick();
        QCOMPARE(save(form.get()), QString());
        form->dxBL_RefreshClick();
        QCOMPARE(ds->RecordCount(), before);
        QVERIFY(!column(ds, key).contains(code));
    }

    void refusalsAreShownAndNothingIsSaved_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("storage holding stock") << "Storage.Module" << "storageid" << "CK01" << "还有库存";
        QTest::newRow("brand used by goods") << "Brand.Module" << "brand_id" << "B01" << "已有商品使用";
        QTest::newRow("the operator logged in") << "Operator.Module" << "operid" << "admin" << "当前登录的操作员";
    }
    void refusalsAreShownAndNothingIsSaved()
    {
        QFETCH(QString, module);
        QFETCH(QString, key);
        QFETCH(QString, code);
        QFETCH(QString, message);
        auto form = open(module);
        QVERIFY(form);
        TPClientDataSet* ds = form->ListData();
        QVERIFY2(ds->Locate(key, code), qPrintable(column(ds, key).join(',')));
        form->dxBL_DeleteClick();
        const QString shown = save(form.get());
        QVERIFY2(shown.contains(message), qPrintable(shown));
        form->dxBL_RefreshClick();
        QVERIFY(column(ds, key).contains(code));
    }

    void operatorAddedInTheGridLogsInWithItsPassword()
    {
        auto form = open("Operator.Module");
        QVERIFY(form);
        TPClientDataSet* ds = form->ListData();
        QVERIFY(column(ds, "operpsw").join("").isEmpty());
        form->dxBL_NewClick();
        QVERIFY(ds->FieldByName("isuse")->AsBoolean());
        setFields(ds, {"opername=新来的", "operpsw=开门-2024"});
        QCOMPARE(save(form.get()), QString());
        const QString operid = ds->FieldByName("operid")->AsString();
        // The typed password is gone from the grid once saved; the service keeps only a hash.
        QVERIFY(ds->FieldByName("operpsw")->AsString().isEmpty());
        QVERIFY(m_fx->scalar("SELECT pwhash FROM kx_operator WHERE nickid = '1001' AND operid = ?", {operid}).toString().startsWith("$argon2id$"));
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams(operid, "开门-2024")).ok);

        // Renaming keeps the password; typing a new one replaces it.
        form->dxBL_EditClick();
        setFields(ds, {"opername=新来的二"});
        QCOMPARE(save(form.get()), QString());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams(operid, "开门-2024")).ok);
        form->dxBL_EditClick();
        setFields(ds, {"operpsw=second"});
        QCOMPARE(save(form.get()), QString());
        QVERIFY(!m_fx->call(kSeller, "PowerMger.Login", loginParams(operid, "开门-2024")).ok);
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", loginParams(operid, "second")).ok);

        // A new operator without a password is refused.
        form->dxBL_NewClick();
        setFields(ds, {"opername=没密码"});
        QVERIFY(save(form.get()).contains(QStringLiteral("密码不能为空")));
    }

    void carrierTickedWithAFeeIsKeptAndUntickedGoes()
    {
        auto form = open<TfrmLogistics>("Logistics.Module");
        QVERIFY(form);
        TPClientDataSet* ticks = form->TickData();
        // A company the demo seller does not use yet.
        QString code;
        for (ticks->First(); !ticks->Eof() && code.isEmpty(); ticks->Next())
            if (!ticks->FieldByName("selected")->AsBoolean())
                code = ticks->FieldByName("logistics_code")->AsString();
        QVERIFY(!code.isEmpty());
        QVERIFY(ticks->Locate("logistics_code", code));
        ticks->Edit();
        ticks->FieldByName("selected")->SetAsBoolean(true);
        ticks->FieldByName("logistics_fee")->SetAsString("7.5");
        ticks->Post();
        QCOMPARE(save(form.get()), QString());
        QCOMPARE(m_fx->scalar("SELECT logistics_fee FROM kx_logistics WHERE nickid = '1001' AND logistics_code = ?", {code}).toDouble(), 7.5);

        form->dxBL_RefreshClick();
        QVERIFY(ticks->Locate("logistics_code", code));
        QVERIFY(ticks->FieldByName("selected")->AsBoolean());
        QCOMPARE(ticks->FieldByName("logistics_fee")->AsString(), QStringLiteral("7.50"));
        ticks->Edit();
        ticks->FieldByName("selected")->SetAsBoolean(false);
        ticks->Post();
        QCOMPARE(save(form.get()), QString());
        QVERIFY(!m_fx->scalar("SELECT 1 FROM kx_logistics WHERE nickid = '1001' AND logistics_code = ?", {code}).isValid());
    }

    void searchConditionsNarrowTheList()
    {
        auto form = open("Storage.Module");
        QVERIFY(form);
        const QStringList conditions{"storagetype=1"};
        QVERIFY(form->Search(&conditions, 1));
        const QStringList types = column(form->ListData(), "storagetype");
        QVERIFY(!types.isEmpty());
        QCOMPARE(types.count("1"), types.size());
        QCOMPARE(form->CurrentPage(), 1);
    }
};

QTEST_MAIN(TestBasicE2E)
#include "tst_basic_e2e.moc"
