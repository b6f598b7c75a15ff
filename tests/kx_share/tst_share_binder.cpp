// Edit-form plumbing shared by the master-data dialogs: every editor kind the record binder
// offers, both directions, and the master/detail save that sends two change logs at once.
#include "FakeService.h"
#include "Packets.h"
#include "ScriptedUi.h"

#include "DataPacket.h"
#include "uFormParts.h"
#include "uKxPagedList.h"
#include "uPClientDataSet.h"
#include "uRecordBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

namespace {
const QString kFields = QStringLiteral("code:string,name:string,memo:string,price:decimal,isuse:boolean,made:date,brand:string,"
                                       "num_iid:string,pic_path:string,props:string,md5_key:string");
}

class TestShareBinder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyEditorShowsAndWritesItsField()
    {
        TPClientDataSet ds, brands;
        QVERIFY(ds.SetKXXMLData(packet(kFields, {R"(code="A1" memo="一行" price="12.5" isuse="1" made="2026-01-02" brand="B2" num_iid="77" pic_path="/p/77.jpg" props="红色XL")"})));
        QVERIFY(brands.SetKXXMLData(packet(QStringLiteral("brand_id:string,brand_name:string"),
                                           {R"(brand_id="B1" brand_name="北极")", R"(brand_id="B2" brand_name="南山")"})));
        QLineEdit code, price;
        QPlainTextEdit memo;
        QCheckBox isuse;
        QDateEdit made;
        QComboBox brand;
        TKxPicturePanel picture;
        TKxRecordBinder b(&ds);
        b.BindEdit(&code, "code", false);
        b.BindAmount(&price, "price");
        b.BindMemo(&memo, "memo");
        b.BindCheck(&isuse, "isuse");
        b.BindDate(&made, "made");
        b.BindLookup(&brand, "brand", &brands, "brand_id", "brand_name");
        b.BindPicture(&picture, "https://item.example.com/?id=", "num_iid", "pic_path", "props");

        QCOMPARE(code.text(), QStringLiteral("A1"));
        QCOMPARE(price.text(), QStringLiteral("12.50"));
        QCOMPARE(memo.toPlainText(), QStringLiteral("一行"));
        QVERIFY(isuse.isChecked());
        QCOMPARE(made.date(), QDate(2026, 1, 2));
        QCOMPARE(brand.currentText(), QStringLiteral("南山"));
        QVERIFY(picture.toHtml().contains("红色XL"));

        // A box bound without writing leaves the field to its owner.
        QTest::keyClicks(&code, "X");
        QCOMPARE(ds.FieldByName("code")->AsString(), QStringLiteral("A1"));
        price.clear();
        QTest::keyClicks(&price, "7.");
        QCOMPARE(ds.FieldByName("price")->AsString(), QStringLiteral("7.00"));
        QTest::keyClicks(&price, "x"); // no number: not written
        QCOMPARE(ds.FieldByName("price")->AsString(), QStringLiteral("7.00"));
        price.selectAll();
        QTest::keyClick(&price, Qt::Key_Backspace);
        memo.setPlainText(QStringLiteral("两行\n第二行"));
        isuse.click();
        made.setDate(QDate(2026, 3, 4));
        brand.setCurrentIndex(0);
        emit brand.activated(0);
        QCOMPARE(ds.State(), dsEdit);
        QVERIFY(ds.Post());
        QVERIFY(ds.FieldByName("price")->IsNull());
        QCOMPARE(ds.FieldByName("memo")->AsString(), QStringLiteral("两行\n第二行"));
        QVERIFY(!ds.FieldByName("isuse")->AsBoolean());
        QCOMPARE(ds.FieldByName("made")->AsDateTime().date(), QDate(2026, 3, 4));
        QCOMPARE(ds.FieldByName("brand")->AsString(), QStringLiteral("B1"));

        // Another record is shown in every editor; no item id empties the picture.
        ds.Append();
        ds.Post();
        QCOMPARE(code.text(), QString());
        QVERIFY(!isuse.isChecked());
        QCOMPARE(brand.currentIndex(), -1);
        QVERIFY(!picture.toPlainText().contains("红色XL"));
    }

    void masterAndLinesGoInOneRequestOnlyWhenChanged()
    {
        TFakeService svc;
        TScriptedUi ui;
        TPClientDataSet master, lines;
        QVERIFY(master.SetKXXMLData(packet(QStringLiteral("code:string,name:string,md5_key:string"), {R"(code="Z1" name="套装" md5_key="k")"})));
        QVERIFY(lines.SetKXXMLData(packet(QStringLiteral("md5_key:string,sub:string,num:decimal"), {R"(md5_key="k" sub="P1" num="1")"})));
        QCOMPARE(KxSaveMasterDetail("Pack.Update", &master, &lines), TKxSaveResult::Unchanged);
        QVERIFY(svc.calls().isEmpty());
        QVERIFY(ui.messages.isEmpty());

        lines.Edit();
        lines.FieldByName("num")->SetAsInteger(3);
        // Still being typed: posted first, so it is part of the change log.
        ui.answers << mrCancel;
        QCOMPARE(KxSaveMasterDetail("Pack.Update", &master, &lines), TKxSaveResult::Cancelled);
        QVERIFY(svc.calls().isEmpty());
        QCOMPARE(lines.ChangeCount(), 1);

        svc.fail("Pack.Update", 9, "组装商品不能包含自己");
        QCOMPARE(KxSaveMasterDetail("Pack.Update", &master, &lines), TKxSaveResult::Failed);
        QCOMPARE(lines.ChangeCount(), 1);

        svc.answer("Pack.Update", "<response><xmlmaster></xmlmaster><xmldetail></xmldetail></response>");
        svc.clearCalls();
        QCOMPARE(KxSaveMasterDetail("Pack.Update", &master, &lines), TKxSaveResult::Saved);
        QCOMPARE(svc.calls().value(0).files.keys(), QStringList{"deltadetail"});
        QCOMPARE(ui.lastText(), QStringLiteral("数据提交成功！"));
        QCOMPARE(lines.ChangeCount(), 0);
    }
};

QTEST_MAIN(TestShareBinder)
#include "tst_share_binder.moc"
