// Data packets: every type through load and save, pages, bad documents, saved data sets,
// and the writer the service uses.

#include "CdsTestSupport.h"
#include "DataPacket.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

class TestPacket : public QObject
{
    Q_OBJECT

private slots:
    void roundTripPerType_data();
    void roundTripPerType();
    void nullAndEmptyTextDiffer();
    void appendPages();
    void badInputLeavesDataSetAsItWas_data();
    void badInputLeavesDataSetAsItWas();
    void savedDataSetKeepsPendingChanges();
    void saveToFileAndBack();
    void writerProducesWhatTheDataSetReads();
    void writerRefusesValuesTheFieldCannotHold();
};

void TestPacket::roundTripPerType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("wire");       // attribute text as the service writes it
    QTest::addColumn<QString>("asString");   // what AsString gives
    QTest::addColumn<QString>("written");    // attribute text we write back

    QTest::newRow("ascii text") << "string" << "RK000001" << "RK000001" << "RK000001";
    QTest::newRow("Chinese text") << "string" << "收货单 上海" << "收货单 上海" << "收货单 上海";
    QTest::newRow("emoji text") << "memo" << "买家留言😀👍" << "买家留言😀👍" << "买家留言😀👍";
    QTest::newRow("markup and quotes") << "string" << "a&amp;b&lt;c&gt;&quot;d'" << "a&b<c>\"d'" << "a&amp;b&lt;c&gt;&quot;d'";
    QTest::newRow("line breaks and tabs") << "memo" << "x&#10;y&#13;&#10;z&#9;" << "x\ny\r\nz\t" << "x&#10;y&#13;&#10;z&#9;";
    QTest::newRow("integer min") << "integer" << "-2147483648" << "-2147483648" << "-2147483648";
    QTest::newRow("largeint max") << "largeint" << "9223372036854775807" << "9223372036854775807" << "9223372036854775807";
    QTest::newRow("decimal padded to scale") << "decimal" << "12.5" << "12.50" << "12.50";
    QTest::newRow("decimal negative cents") << "decimal" << "-0.05" << "-0.05" << "-0.05";
    QTest::newRow("decimal 16 integer digits") << "decimal" << "9999999999999999.99" << "9999999999999999.99" << "9999999999999999.99";
    QTest::newRow("float") << "float" << "0.1" << "0.1" << "0.1";
    QTest::newRow("float exponent") << "float" << "1e+300" << "1e+300" << "1e+300";
    QTest::newRow("boolean 1") << "boolean" << "1" << "True" << "1";
    QTest::newRow("boolean word") << "boolean" << "false" << "False" << "0";
    QTest::newRow("date leap day") << "date" << "2024-02-29" << "2024-02-29" << "2024-02-29";
    QTest::newRow("date before 1970") << "date" << "1899-12-30" << "1899-12-30" << "1899-12-30";
    QTest::newRow("time with ms") << "time" << "23:59:58.125" << "23:59:58.125" << "23:59:58.125";
    QTest::newRow("datetime T") << "datetime" << "2026-11-09T08:30:00" << "2026-11-09 08:30:00" << "2026-11-09T08:30:00";
    QTest::newRow("datetime space and ms") << "datetime" << "2026-11-09 08:30:00.5" << "2026-11-09 08:30:00.500" << "2026-11-09T08:30:00.500";
}

void TestPacket::roundTripPerType()
{
    QFETCH(QString, type);
    QFETCH(QString, wire);
    QFETCH(QString, asString);
    QFETCH(QString, written);

    TPClientDataSet ds;
    QVERIFY2(ds.SetKXXMLData(packet("id:integer,v:" + type, {QStringLiteral("id=\"1\" v=\"%1\"").arg(wire)})), qPrintable(ds.LastError()));
    QCOMPARE(ds.FieldByName("v")->AsString(), asString);
    QVERIFY(ds.XMLData().contains(QStringLiteral("v=\"%1\"").arg(written)));

    TPClientDataSet again;
    QVERIFY(again.SetKXXMLData(ds.XMLData()));
    QCOMPARE(again.FieldByName("v")->AsString(), asString);
    QCOMPARE(again.FieldByName("v")->DataType(), ds.FieldByName("v")->DataType());
    QCOMPARE(again.FieldDefs(), ds.FieldDefs());
}

void TestPacket::nullAndEmptyTextDiffer()
{
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("id:integer,v:string", {R"(id="1" v="")", R"(id="2")"})));
    QVERIFY(!ds.FieldByName("v")->IsNull());
    ds.Next();
    QVERIFY(ds.FieldByName("v")->IsNull());

    TPClientDataSet again;
    QVERIFY(again.SetKXXMLData(ds.XMLDataUtf8()));
    QVERIFY(!again.FieldByName("v")->IsNull());
    QCOMPARE(again.FieldByName("v")->AsString(), QString(""));
    again.Next();
    QVERIFY(again.FieldByName("v")->IsNull());
}

void TestPacket::appendPages()
{
    TPClientDataSet ds;
    // A closed set opens with the first page.
    QVERIFY(ds.KXAppendData(packet("id:integer,name:string,amount:decimal", {R"(id="1" name="a" amount="1.10")", R"(id="2" name="b")"}), false));
    // Later pages may order fields differently, lack some and carry others.
    QVERIFY(ds.KXAppendData(packet("name:string,id:integer,extra:string", {R"(name="c" id="3" extra="x")"}), false));
    QCOMPARE(column(ds, "id"), QStringList({"1", "2", "3"}));
    QCOMPARE(column(ds, "name"), QStringList({"a", "b", "c"}));
    QCOMPARE(column(ds, "amount"), QStringList({"1.10", "", ""}));
    QVERIFY(!ds.FindField("extra"));
    QVERIFY(ds.GetEmptyDelta());

    // A page with a value the set's own field type cannot take is refused as a whole.
    ReporterSpy spy;
    QVERIFY(!ds.KXAppendData(packet("id:string", {R"(id="4")", R"(id="four")"}), false));
    QVERIFY2(ds.LastError().contains("row 2"), qPrintable(ds.LastError()));
    QCOMPARE(ds.RecordCount(), 3);

    // SetKXXMLData replaces everything: page 1 of a new query.
    QVERIFY(ds.SetKXXMLData(packet("id:integer", {R"(id="9")"})));
    QCOMPARE(column(ds, "id"), QStringList({"9"}));
    QCOMPARE(ds.FieldCount(), 1);
}

void TestPacket::badInputLeavesDataSetAsItWas_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");   // part of the error text
    QTest::addColumn<bool>("appendFails");  // also as a page for an open set

    const QByteArray head = "<datapacket><fields><field name=\"id\" type=\"integer\"/><field name=\"d\" type=\"datetime\"/></fields><rows>";
    const QByteArray tail = "</rows></datapacket>";
    QTest::newRow("empty") << QByteArray() << "empty" << true;
    QTest::newRow("not XML") << QByteArray("hello") << "document element" << true;
    QTest::newRow("unclosed") << QByteArray("<datapacket><fields>") << "malformed XML" << true;
    QTest::newRow("entity declaration") << QByteArray("<!DOCTYPE datapacket [<!ENTITY x \"boom\">]><datapacket><fields/></datapacket>") << "DOCTYPE" << true;
    QTest::newRow("external entity") << QByteArray("<!DOCTYPE d SYSTEM \"file:///etc/passwd\"><datapacket><fields/></datapacket>") << "DOCTYPE" << true;
    QTest::newRow("DOCTYPE after the root") << QByteArray("<datapacket><fields/></datapacket><!DOCTYPE x>") << "DOCTYPE" << true;
    QTest::newRow("undeclared entity") << QByteArray(head + "<row id=\"&x;\"/>" + tail) << "not a valid integer" << true;
    QTest::newRow("wrong root") << QByteArray("<delta><fields/></delta>") << "not <datapacket>" << true;
    QTest::newRow("no fields") << QByteArray("<datapacket><rows/></datapacket>") << "no <fields>" << true;
    QTest::newRow("unknown type") << QByteArray("<datapacket><fields><field name=\"m\" type=\"money\"/></fields></datapacket>") << "unknown type 'money'" << true;
    QTest::newRow("bad field name") << QByteArray("<datapacket><fields><field name=\"a b\" type=\"string\"/></fields></datapacket>") << "not a valid field name" << true;
    QTest::newRow("duplicate field") << QByteArray("<datapacket><fields><field name=\"id\" type=\"string\"/><field name=\"ID\" type=\"integer\"/></fields></datapacket>") << "appears twice" << true;
    QTest::newRow("decimal too wide") << QByteArray("<datapacket><fields><field name=\"m\" type=\"decimal\" precision=\"30\" scale=\"2\"/></fields></datapacket>") << "precision 30" << true;
    QTest::newRow("row wider than fields") << QByteArray(head + "<row id=\"1\" op=\"insert\"/>" + tail) << "wider than its fields: 'op'" << true;
    QTest::newRow("attribute twice") << QByteArray(head + "<row id=\"1\" id=\"2\"/>" + tail) << "twice" << true;
    QTest::newRow("bad number in row 2") << QByteArray(head + "<row id=\"1\"/><row id=\"1x\"/>" + tail) << "row 2, field 'id': '1x' is not a valid integer" << true;
    QTest::newRow("integer overflow") << QByteArray(head + "<row id=\"2147483648\"/>" + tail) << "not a valid integer" << true;
    QTest::newRow("impossible date") << QByteArray(head + "<row d=\"2025-02-29T00:00:00\"/>" + tail) << "not a valid datetime" << true;
    QTest::newRow("foreign element in rows") << QByteArray(head + "<record id=\"1\"/>" + tail) << "unexpected element <record>" << true;

    QByteArray many = "<datapacket><fields>";
    for (int i = 0; i <= 4096; ++i)
        many += "<field name=\"f" + QByteArray::number(i) + "\" type=\"integer\"/>";
    QTest::newRow("too many fields") << QByteArray(many + "</fields></datapacket>") << "more than 4096 fields" << true;

    // Few bytes, many cells: every cell of every empty row would need memory. (As a page
    // of an open set it costs only that set's own two columns, so it is taken there.)
    QByteArray wide = "<datapacket><fields>";
    for (int i = 0; i < 4000; ++i)
        wide += "<field name=\"f" + QByteArray::number(i) + "\" type=\"largeint\"/>";
    wide += "</fields><rows>";
    for (int i = 0; i < 2000; ++i)
        wide += "<row/>";
    QTest::newRow("huge cell count") << QByteArray(wide + "</rows></datapacket>") << "more than its size allows" << false;
}

void TestPacket::badInputLeavesDataSetAsItWas()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, message);
    QFETCH(bool, appendFails);

    ReporterSpy spy;
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("id:integer,d:datetime", {R"(id="7" d="2026-01-01T00:00:00")"})));
    const QByteArray before = ds.XMLDataUtf8();

    QVERIFY(!ds.SetKXXMLData(document));
    QVERIFY2(ds.LastError().contains(message), qPrintable(ds.LastError()));
    QCOMPARE(spy.messages.size(), 1);
    QCOMPARE(spy.messages.first(), ds.LastError());
    QVERIFY(!ds.SetXMLData(document));
    if (appendFails)
        QVERIFY(!ds.KXAppendData(document, false));
    QCOMPARE(ds.XMLDataUtf8(), before);
    QCOMPARE(ds.FieldByName("id")->AsInteger(), 7);
}

void TestPacket::savedDataSetKeepsPendingChanges()
{
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("id:integer,name:string", {R"(id="1" name="a")", R"(id="2" name="b")", R"(id="3" name="c")", R"(id="4" name="d")"})));
    const QByteArray base = ds.XMLDataUtf8();
    ds.Locate("id", 2);
    ds.Edit();
    ds.FieldByName("name")->SetAsString("bb");
    ds.Post();
    ds.Locate("id", 3);
    ds.Delete();
    ds.First();
    ds.Insert();
    ds.FieldByName("id")->SetAsInteger(0);
    ds.Post();
    ds.Locate("id", 4);
    ds.Edit();
    ds.FieldByName("name")->SetAsString("dd");
    ds.Post();
    ds.Delete();   // an update, then a delete: the original values go out
    QCOMPARE(ds.ChangeCount(), 4);

    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    QVERIFY(ds.SaveToStream(&buf));
    buf.seek(0);
    TPClientDataSet loaded;
    QVERIFY2(loaded.LoadFromStream(&buf), qPrintable(loaded.LastError()));
    QCOMPARE(loaded.XMLDataUtf8(), ds.XMLDataUtf8());
    QCOMPARE(loaded.DeltaUtf8(), ds.DeltaUtf8());
    QCOMPARE(loaded.ChangeCount(), 4);

    // Both undo to the same base, deleted rows back in their places.
    loaded.CancelUpdates();
    ds.CancelUpdates();
    QCOMPARE(loaded.XMLDataUtf8(), base);
    QCOMPARE(ds.XMLDataUtf8(), base);

    // Loaded through SetKXXMLData, a saved set's rows count as unchanged.
    TPClientDataSet plain;
    QVERIFY(plain.SetKXXMLData(ds.XMLData()));
    QVERIFY(plain.GetEmptyDelta());
}

void TestPacket::saveToFileAndBack()
{
    QTemporaryDir dir;
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("id:integer,name:string", {R"(id="1" name="张三")"})));
    const QString file = dir.filePath("chosen.xml");
    QVERIFY(ds.SaveToFile(file));
    TPClientDataSet back;
    QVERIFY(back.LoadFromFile(file));
    QCOMPARE(back.FieldByName("name")->AsString(), QString("张三"));

    ReporterSpy spy;
    QVERIFY(!back.LoadFromFile(dir.filePath("missing.xml")));
    QCOMPARE(spy.messages.size(), 1);
    QCOMPARE(back.RecordCount(), 1);
}

void TestPacket::writerProducesWhatTheDataSetReads()
{
    ReporterSpy spy;
    TDataPacketWriter w;
    QVERIFY(w.AddField("code", ftString, 20));
    QVERIFY(w.AddField("qty", ftInteger));
    QVERIFY(w.AddField("price", ftDecimal, 0, 18, 2));
    QVERIFY(w.AddField("paid", ftBoolean));
    QVERIFY(w.AddField("at", ftDateTime));
    QVERIFY(!w.AddField("CODE", ftString));   // duplicate, without regard to case
    QCOMPARE(spy.messages.size(), 1);

    w.BeginRow();
    QVERIFY(w.SetText(0, u"A<1>&\"2\""));
    QVERIFY(w.SetInteger(1, 3));
    QVERIFY(w.SetInteger(2, 12));                    // written in the field's type: 12.00
    QVERIFY(w.SetValue(3, QVariant(true)));
    QVERIFY(w.SetValue(4, QDateTime(QDate(2026, 11, 9), QTime(8, 30))));
    w.EndRow();
    w.BeginRow();
    QVERIFY(w.SetUtf8(0, "中文"));
    QVERIFY(w.SetText(2, u"0.125"));                 // text for a typed field is parsed, rounded to the scale
    QVERIFY(w.SetValue(3, QVariant()));              // null: nothing written
    w.EndRow();
    QCOMPARE(w.RowCount(), 2);
    const QByteArray xml = w.Finish();
    QVERIFY(xml.contains("price=\"12.00\""));

    TPClientDataSet ds;
    QVERIFY2(ds.SetKXXMLData(xml), qPrintable(ds.LastError()));
    QCOMPARE(column(ds, "code"), QStringList({"A<1>&\"2\"", "中文"}));
    QCOMPARE(column(ds, "price"), QStringList({"12.00", "0.13"}));
    QCOMPARE(column(ds, "paid"), QStringList({"True", ""}));
    QCOMPARE(column(ds, "at"), QStringList({"2026-11-09 08:30:00", ""}));
    QCOMPARE(ds.FieldByName("price")->Precision(), 18);

    // The writer starts over for the next page with the same fields.
    w.BeginRow();
    w.SetInteger(1, 5);
    QVERIFY(ds.KXAppendData(w.Finish(), false));
    QCOMPARE(column(ds, "qty"), QStringList({"3", "", "5"}));
}

void TestPacket::writerRefusesValuesTheFieldCannotHold()
{
    ReporterSpy spy;
    TDataPacketWriter w;
    w.AddField("qty", ftInteger);
    w.AddField("at", ftDate);
    w.BeginRow();
    QVERIFY(!w.SetText(0, u"many"));
    QVERIFY(!w.SetInteger(0, 1LL << 40));
    QVERIFY(!w.SetInteger(1, 5));
    QVERIFY(!w.SetInteger(7, 5));
    QVERIFY(w.SetInteger(0, 1));
    QVERIFY(!w.SetInteger(0, 2));   // a cell is written once
    QCOMPARE(spy.messages.size(), 5);
    w.EndRow();
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(w.Finish()));
    QCOMPARE(ds.FieldByName("qty")->AsInteger(), 1);
}

QTEST_GUILESS_MAIN(TestPacket)
#include "tst_cds_packet.moc"
