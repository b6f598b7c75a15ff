// Cursor, bookmarks, locate, fields and their conversions, editing states, calculated and
// lookup fields.

#include "CdsTestSupport.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void loadOrders(TPClientDataSet& ds)
{
    QVERIFY(ds.SetKXXMLData(packet("id:integer,nick:string,shop:integer,amount:decimal",
                                   {R"(id="1" nick="Alice" shop="1" amount="10.00")",
                                    R"(id="2" nick="bob" shop="1" amount="20.50")",
                                    R"(id="3" nick="Bobby" shop="2")",
                                    R"(id="4" nick="张三" shop="2" amount="0.01")"})));
}

} // namespace

class TestCursor : public QObject
{
    Q_OBJECT

private slots:
    void navigation();
    void deleteLoopEndsAtTheLastRecord();
    void bookmarks();
    void locate_data();
    void locate();
    void lookupDoesNotMove();
    void missingFieldIsReportedNotFatal();
    void conversions_data();
    void conversions();
    void writesNeedEditOrInsert();
    void insertGoesBeforeTheCurrentRecord();
    void createFromFieldDefsOfAnotherSet();
    void calculatedFields();
    void lookupFields();
};

void TestCursor::navigation()
{
    TPClientDataSet ds;
    QVERIFY(ds.Eof() && ds.Bof() && ds.IsEmpty());
    loadOrders(ds);
    QCOMPARE(ds.RecNo(), 1);
    QVERIFY(ds.Bof());
    QCOMPARE(column(ds, "id"), QStringList({"1", "2", "3", "4"}));
    ds.Last();
    QVERIFY(ds.Eof());
    QCOMPARE(ds.FieldByName("id")->AsInteger(), 4);
    QStringList back;
    for (; !ds.Bof(); ds.Prior())
        back << ds.FieldByName("id")->AsString();
    QCOMPARE(back, QStringList({"4", "3", "2", "1"}));
    ds.SetRecNo(3);
    QCOMPARE(ds.FieldByName("id")->AsInteger(), 3);
    ds.SetRecNo(99);
    QCOMPARE(ds.RecNo(), 4);
}

void TestCursor::deleteLoopEndsAtTheLastRecord()
{
    // Walk from the first record, deleting some: the loop must see each record once and end.
    TPClientDataSet ds;
    loadOrders(ds);
    QStringList seen;
    ds.First();
    while (!ds.Eof()) {
        seen << ds.FieldByName("id")->AsString();
        if (ds.FieldByName("shop")->AsInteger() == 2)
            ds.Delete();
        else
            ds.Next();
    }
    QCOMPARE(seen, QStringList({"1", "2", "3", "4"}));
    QCOMPARE(column(ds, "id"), QStringList({"1", "2"}));
}

void TestCursor::bookmarks()
{
    TPClientDataSet ds;
    loadOrders(ds);
    ds.SetRecNo(2);
    const TBookmark two = ds.GetBookmark();
    ds.SetRecNo(3);
    const TBookmark three = ds.GetBookmark();
    ds.Last();
    QVERIFY(ds.GotoBookmark(two));
    QCOMPARE(ds.FieldByName("id")->AsInteger(), 2);

    // Survives a page appended and an edit; not the deletion of its record.
    QVERIFY(ds.KXAppendData(packet("id:integer", {R"(id="5")"})));
    ds.Edit();
    ds.FieldByName("nick")->SetAsString("robert");
    ds.Post();
    QVERIFY(ds.BookmarkValid(two));
    QVERIFY(ds.GotoBookmark(three));
    ds.Delete();
    QVERIFY(!ds.BookmarkValid(three));
    QVERIFY(!ds.GotoBookmark(three));
    QCOMPARE(ds.FieldByName("id")->AsInteger(), 4);

    // Hidden by the filter, then gone with a reload.
    QVERIFY(ds.SetFilter("id<>2"));
    ds.SetFiltered(true);
    QVERIFY(!ds.BookmarkValid(two));
    ds.SetFiltered(false);
    QVERIFY(ds.BookmarkValid(two));
    loadOrders(ds);
    QVERIFY(!ds.BookmarkValid(two));
}

void TestCursor::locate_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariant>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("expectedId");   // 0: not found, the cursor stays

    QTest::newRow("exact text") << "nick" << QVariant("bob") << 0 << 2;
    QTest::newRow("text is case-sensitive") << "nick" << QVariant("BOB") << 0 << 0;
    QTest::newRow("case-insensitive") << "nick" << QVariant("BOB") << int(loCaseInsensitive) << 2;
    QTest::newRow("partial key") << "nick" << QVariant("Bob") << int(loPartialKey) << 3;
    QTest::newRow("partial and case-insensitive") << "nick" << QVariant("bo") << int(loPartialKey | loCaseInsensitive) << 2;
    QTest::newRow("Chinese") << "nick" << QVariant("张三") << 0 << 4;
    QTest::newRow("integer from text") << "id" << QVariant("3") << 0 << 3;
    QTest::newRow("decimal exact") << "amount" << QVariant("20.5") << 0 << 2;
    QTest::newRow("null value finds null") << "amount" << QVariant() << 0 << 3;
    QTest::newRow("two keys") << "shop;nick" << QVariant(QVariantList{2, "张三"}) << 0 << 4;
    QTest::newRow("field name in another case") << "NICK" << QVariant("Alice") << 0 << 1;
    QTest::newRow("not there") << "nick" << QVariant("carol") << 0 << 0;
    QTest::newRow("value the field cannot hold") << "id" << QVariant("x") << 0 << 0;
}

void TestCursor::locate()
{
    QFETCH(QString, fields);
    QFETCH(QVariant, values);
    QFETCH(int, options);
    QFETCH(int, expectedId);

    TPClientDataSet ds;
    loadOrders(ds);
    ds.Last();
    QCOMPARE(ds.Locate(fields, values, TLocateOptions(options)), expectedId != 0);
    QCOMPARE(ds.FieldByName("id")->AsInteger(), expectedId ? expectedId : 4);
}

void TestCursor::lookupDoesNotMove()
{
    TPClientDataSet ds;
    loadOrders(ds);
    QCOMPARE(ds.Lookup("nick", "bob", "amount").value<TDecimal>(), TDecimal::FromMantissa(2050, 2));
    QVERIFY(!ds.Lookup("nick", "nobody", "amount").isValid());
    QCOMPARE(ds.RecNo(), 1);
}

void TestCursor::missingFieldIsReportedNotFatal()
{
    ReporterSpy spy;
    TPClientDataSet ds;
    loadOrders(ds);
    QVERIFY(!ds.FindField("nosuch"));
    TField* f = ds.FieldByName("nosuch");
    QVERIFY(f);
    QCOMPARE(spy.messages, QStringList{"Field 'nosuch' not found"});
    QVERIFY(f->IsNull());
    QCOMPARE(f->AsString(), QString());
    ds.Edit();
    QVERIFY(!f->SetAsString("x"));
    QCOMPARE(spy.messages.size(), 2);
    QCOMPARE(ds.FieldByName("Nick"), ds.Fields(1));
    QCOMPARE(ds.FieldCount(), 4);
    QVERIFY(!ds.Fields(4));
}

void TestCursor::conversions_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("input");      // given to SetValue
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("asString");    // afterwards (the old value when refused)

    QTest::newRow("text to integer") << "integer" << QVariant(" 42 ") << true << "42";
    QTest::newRow("word to integer refused") << "integer" << QVariant("abc") << false << "7";
    QTest::newRow("empty text sets null") << "integer" << QVariant("") << true << "";
    QTest::newRow("integer out of range") << "integer" << QVariant(qint64(1) << 40) << false << "7";
    QTest::newRow("float into decimal rounds at the scale") << "decimal" << QVariant(2.675) << true << "2.68";
    QTest::newRow("text into decimal stays exact") << "decimal" << QVariant("0.10") << true << "0.10";
    QTest::newRow("decimal too large") << "decimal" << QVariant("123456789012345678901") << false << "7.00";
    QTest::newRow("Boolean from text") << "boolean" << QVariant("true") << true << "True";
    QTest::newRow("Boolean from yes refused") << "boolean" << QVariant("yes") << false << "True";
    QTest::newRow("date from date-time text") << "date" << QVariant("2026-11-09 10:00:00") << true << "2026-11-09";
    QTest::newRow("datetime from QDateTime") << "datetime" << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6))) << true << "2026-01-02 03:04:05.006";
    QTest::newRow("time from QTime") << "time" << QVariant(QTime(13, 0)) << true << "13:00:00";
    QTest::newRow("number into date refused") << "date" << QVariant(5) << false << "2000-01-01";
    QTest::newRow("text keeps emoji") << "string" << QVariant("😀") << true << "😀";
    QTest::newRow("invalid QVariant is null") << "string" << QVariant() << true << "";
}

void TestCursor::conversions()
{
    QFETCH(QString, type);
    QFETCH(QVariant, input);
    QFETCH(bool, accepted);
    QFETCH(QString, asString);

    static const QHash<QString, QString> initial{{"integer", "7"}, {"decimal", "7"}, {"boolean", "1"},
                                                 {"date", "2000-01-01"}, {"datetime", "2000-01-01"},
                                                 {"time", "10:00:00"}, {"string", "s"}};
    ReporterSpy spy;
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("v:" + type, {QStringLiteral("v=\"%1\"").arg(initial.value(type))})));
    ds.Edit();
    QCOMPARE(ds.FieldByName("v")->SetValue(input), accepted);
    QCOMPARE(spy.messages.size(), accepted ? 0 : 1);
    QVERIFY(ds.Post());
    QCOMPARE(ds.FieldByName("v")->AsString(), asString);
    QCOMPARE(ds.FieldByName("v")->IsNull(), asString.isEmpty());
}

void TestCursor::writesNeedEditOrInsert()
{
    ReporterSpy spy;
    TPClientDataSet ds;
    loadOrders(ds);
    QSignalSpy states(&ds, &TPClientDataSet::stateChanged);
    QVERIFY(!ds.FieldByName("nick")->SetAsString("x"));
    QCOMPARE(ds.FieldByName("nick")->AsString(), QString("Alice"));
    QVERIFY(!ds.Post());
    ds.Edit();
    QCOMPARE(ds.State(), dsEdit);
    QVERIFY(ds.FieldByName("nick")->SetAsString("x"));
    ds.Next();   // moving posts
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(ds.ChangeCount(), 1);
    QCOMPARE(states.size(), 2);
    QCOMPARE(spy.messages.size(), 2);

    ds.FieldByName("id")->SetReadOnly(true);
    ds.Edit();
    QVERIFY(!ds.FieldByName("id")->SetAsInteger(9));
    ds.Cancel();

    TPClientDataSet empty;
    QVERIFY(empty.SetKXXMLData(packet("id:integer", {})));
    empty.Edit();   // nothing to edit: a new record
    QCOMPARE(empty.State(), dsInsert);
}

void TestCursor::insertGoesBeforeTheCurrentRecord()
{
    TPClientDataSet ds;
    loadOrders(ds);
    ds.SetRecNo(2);
    ds.Insert();
    ds.FieldByName("id")->SetAsInteger(9);
    ds.Post();
    QCOMPARE(ds.RecNo(), 2);
    QCOMPARE(column(ds, "id"), QStringList({"1", "9", "2", "3", "4"}));
    QCOMPARE(ds.UpdateStatus(), usInserted);
}

void TestCursor::createFromFieldDefsOfAnotherSet()
{
    TPClientDataSet list;
    loadOrders(list);
    TPClientDataSet chosen;
    chosen.FieldDefs().Assign(list.FieldDefs());
    chosen.FieldDefs().Add("selected", ftBoolean);
    QVERIFY(chosen.CreateDataSet());
    QVERIFY(chosen.Active() && chosen.IsEmpty());
    QCOMPARE(chosen.FieldCount(), 5);
    QCOMPARE(chosen.FieldByName("amount")->Scale(), 2);
    chosen.Append();
    chosen.FieldByName("amount")->SetValue(list.FieldByName("amount")->Value());
    chosen.FieldByName("selected")->SetAsBoolean(true);
    chosen.Post();
    QCOMPARE(chosen.FieldByName("amount")->AsString(), QString("10.00"));

    ReporterSpy spy;
    TPClientDataSet bad;
    bad.FieldDefs().Add("a", ftString);
    bad.FieldDefs().Add("A", ftInteger);
    QVERIFY(!bad.CreateDataSet());
    QVERIFY(!bad.Active());
    TPClientDataSet none;
    QVERIFY(!none.Open());
    QCOMPARE(spy.messages.size(), 2);
}

void TestCursor::calculatedFields()
{
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("qty:integer,price:decimal", {R"(qty="3" price="0.10")", R"(qty="2" price="1.25")"})));
    TField* total = ds.AddCalcField("total", ftDecimal, 0, 18, 2);
    QVERIFY(total);
    int calls = 0;
    ds.SetOnCalcFields([&](TPClientDataSet& s) {
        ++calls;
        s.FieldByName("total")->SetAsDecimal(s.FieldByName("price")->AsDecimal() * TDecimal::FromInteger(s.FieldByName("qty")->AsInteger()));
    });
    QCOMPARE(total->AsString(), QString("0.30"));   // exact: 3 x 0.10
    QCOMPARE(total->AsString(), QString("0.30"));
    QCOMPARE(calls, 1);                               // once per record until it changes
    QCOMPARE(column(ds, "total"), QStringList({"0.30", "2.50"}));

    ds.First();
    ds.Edit();
    ds.FieldByName("qty")->SetAsInteger(10);
    QCOMPARE(total->AsString(), QString("1.00"));
    ds.Post();

    // Filters see calculated values; they survive a reload and are never sent.
    QVERIFY(ds.SetFilter("total>=2"));
    ds.SetFiltered(true);
    QCOMPARE(ds.RecordCount(), 1);
    QVERIFY(!ds.XMLData().contains("total"));
    QVERIFY(ds.SetKXXMLData(packet("qty:integer,price:decimal", {R"(qty="1" price="5.00")"})));
    QCOMPARE(ds.FieldByName("total")->AsString(), QString("5.00"));

    ReporterSpy spy;
    ds.Edit();
    QVERIFY(!total->SetAsDecimal(TDecimal()));   // only OnCalcFields fills it
    QCOMPARE(spy.messages.size(), 1);
}

void TestCursor::lookupFields()
{
    TPClientDataSet statuses;
    QVERIFY(statuses.SetKXXMLData(packet("code:string,caption:string", {R"(code="WAIT" caption="待发货")", R"(code="DONE" caption="已完成")"})));
    TPClientDataSet orders;
    QVERIFY(orders.SetKXXMLData(packet("tid:string,status:string", {R"(tid="T1" status="DONE")", R"(tid="T2" status="WAIT")", R"(tid="T3" status="LOST")"})));
    TField* caption = orders.AddLookupField("status_caption", ftString, 20, "status", &statuses, "code", "caption");
    QVERIFY(caption);
    QCOMPARE(column(orders, "status_caption"), QStringList({"已完成", "待发货", ""}));
    QVERIFY(caption->ReadOnly());

    orders.First();
    orders.Edit();
    orders.FieldByName("status")->SetAsString("WAIT");
    QCOMPARE(caption->AsString(), QString("待发货"));
    ReporterSpy spy;
    QVERIFY(!caption->SetAsString("x"));
    orders.Post();
    QVERIFY(!orders.DeltaUtf8().contains("status_caption"));
    QVERIFY(!orders.SetFilter("status_caption='x'"));   // not filterable
}

QTEST_GUILESS_MAIN(TestCursor)
#include "tst_cds_cursor.moc"
