// The change log: what goes into a delta, how it is undone and accepted, and how the
// service reads it back.

#include "CdsTestSupport.h"
#include "DataPacket.h"

#include <QTest>

#include <functional>

using Steps = std::function<void(TPClientDataSet&)>;
Q_DECLARE_METATYPE(Steps)
// One value read from a side of a change, as the service's getter gives it.
using Read = std::function<QVariant(const TDeltaRow&)>;
Q_DECLARE_METATYPE(Read)

namespace {

// Three loaded rows: 1 a 1.00, 2 b 2.00, 3 c 3.00.
void loadFixture(TPClientDataSet& ds)
{
    QVERIFY(ds.SetKXXMLData(packet("id:integer,name:string,amount:decimal",
                                   {R"(id="1" name="a" amount="1.00")", R"(id="2" name="b" amount="2.00")",
                                    R"(id="3" name="c" amount="3.00")"})));
}

void setName(TPClientDataSet& ds, int id, const QString& name)
{
    ds.Locate("id", id);
    ds.Edit();
    ds.FieldByName("name")->SetAsString(name);
    ds.Post();
}

void appendRow(TPClientDataSet& ds, int id, const QString& name)
{
    ds.Append();
    ds.FieldByName("id")->SetAsInteger(id);
    ds.FieldByName("name")->SetAsString(name);
    ds.Post();
}

QString side(const TDeltaRow& r)
{
    return QStringLiteral("(%1,%2)").arg(r.AsString("id"), r.AsString("name"));
}

// The delta as the service reads it: one line per change.
QStringList readDelta(const QString& xml)
{
    TDeltaReader reader;
    if (!reader.Load(xml))
        return {QStringLiteral("unreadable: ") + reader.LastError()};
    QStringList out;
    for (int i = 0; i < reader.Count(); ++i) {
        switch (reader.Kind(i)) {
        case ukInsert: out << "insert new" + side(reader.NewRow(i)); break;
        case ukModify: out << "update old" + side(reader.OldRow(i)) + " new" + side(reader.NewRow(i)); break;
        case ukDelete: out << "delete old" + side(reader.OldRow(i)); break;
        }
    }
    return out;
}

// One update of a row of several types: amount 1.10 -> 19.99, paid false -> true, at cleared.
QByteArray typedUpdate(TFieldDefs* defs = nullptr)
{
    TPClientDataSet ds;
    ds.SetKXXMLData(packet("id:integer,name:string,amount:decimal,paid:boolean,at:datetime",
                           {R"(id="1" name="a" amount="1.10" paid="0" at="2026-01-02T03:04:05")"}));
    ds.Edit();
    ds.FieldByName("amount")->SetAsDecimal(TDecimal::FromMantissa(1999, 2));
    ds.FieldByName("paid")->SetAsBoolean(true);
    ds.FieldByName("at")->Clear();
    ds.Post();
    if (defs)
        defs->Assign(ds.FieldDefs());
    return ds.DeltaUtf8();
}

} // namespace

class TestChangeLog : public QObject
{
    Q_OBJECT

private slots:
    void delta_data();
    void delta();
    void readerGivesFieldsAndChangedFields();
    void readerGivesTypedValues_data();
    void readerGivesTypedValues();
    void emptyLogIsAnEmptyDelta();
    void readerParsesAHandedOverBufferInPlace();
    void cancelUpdatesRestoresTheBase();
    void mergeMakesCurrentRowsTheBase();
    void emptyDataSetKeepsStructure();
    void badDeltaIsRefused_data();
    void badDeltaIsRefused();
};

void TestChangeLog::delta_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("loaded rows are no change") << Steps([](TPClientDataSet&) {}) << QStringList();
    QTest::newRow("insert") << Steps([](TPClientDataSet& ds) { appendRow(ds, 4, "d"); })
                            << QStringList{"insert new(4,d)"};
    QTest::newRow("edited insert stays an insert")
        << Steps([](TPClientDataSet& ds) { appendRow(ds, 4, "d"); setName(ds, 4, "dd"); })
        << QStringList{"insert new(4,dd)"};
    QTest::newRow("deleted insert vanishes")
        << Steps([](TPClientDataSet& ds) { appendRow(ds, 4, "d"); ds.Delete(); }) << QStringList();
    QTest::newRow("update keeps its first originals")
        << Steps([](TPClientDataSet& ds) { setName(ds, 2, "bb"); setName(ds, 2, "bbb"); })
        << QStringList{"update old(2,b) new(2,bbb)"};
    QTest::newRow("edited back to the original drops out")
        << Steps([](TPClientDataSet& ds) { setName(ds, 2, "x"); setName(ds, 2, "b"); }) << QStringList();
    QTest::newRow("delete of a loaded row")
        << Steps([](TPClientDataSet& ds) { ds.Locate("id", 3); ds.Delete(); }) << QStringList{"delete old(3,c)"};
    QTest::newRow("update then delete sends the originals")
        << Steps([](TPClientDataSet& ds) { setName(ds, 2, "bb"); ds.Delete(); }) << QStringList{"delete old(2,b)"};
    QTest::newRow("changes in the order made")
        << Steps([](TPClientDataSet& ds) {
               ds.Locate("id", 1);
               ds.Delete();
               appendRow(ds, 4, "d");
               setName(ds, 3, "cc");
           })
        << QStringList{"delete old(1,a)", "insert new(4,d)", "update old(3,c) new(3,cc)"};
    QTest::newRow("cancelled edit")
        << Steps([](TPClientDataSet& ds) {
               ds.Edit();
               ds.FieldByName("name")->SetAsString("zz");
               ds.Cancel();
           })
        << QStringList();
    QTest::newRow("cancelled insert")
        << Steps([](TPClientDataSet& ds) {
               ds.Insert();
               ds.FieldByName("id")->SetAsInteger(9);
               ds.Cancel();
           })
        << QStringList();
    QTest::newRow("unposted edit is not sent")
        << Steps([](TPClientDataSet& ds) {
               ds.Locate("id", 1);
               ds.Edit();
               ds.FieldByName("name")->SetAsString("zz");
           })
        << QStringList();
    QTest::newRow("field names the service might pick")
        << Steps([](TPClientDataSet& ds) { setName(ds, 1, "insert"); })
        << QStringList{"update old(1,a) new(1,insert)"};
}

void TestChangeLog::delta()
{
    QFETCH(Steps, steps);
    QFETCH(QStringList, expected);

    TPClientDataSet ds;
    loadFixture(ds);
    steps(ds);
    QCOMPARE(readDelta(ds.GetKXXMLDelta()), expected);
    QCOMPARE(ds.ChangeCount(), expected.size());
    QCOMPARE(ds.GetEmptyDelta(), expected.isEmpty());
}

void TestChangeLog::readerGivesFieldsAndChangedFields()
{
    TFieldDefs defs;
    TDeltaReader reader;
    QVERIFY(reader.Load(typedUpdate(&defs)));
    QCOMPARE(reader.FieldDefs(), defs);
    QCOMPARE(reader.Count(), 1);
    QCOMPARE(reader.ChangedFields(0), QStringList({"amount", "paid", "at"}));
}

void TestChangeLog::readerGivesTypedValues_data()
{
    QTest::addColumn<bool>("newSide");
    QTest::addColumn<Read>("read");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("old decimal") << false << Read([](const TDeltaRow& r) { return QVariant::fromValue(r.AsDecimal("amount")); })
                                 << QVariant::fromValue(TDecimal::FromMantissa(110, 2));
    QTest::newRow("new decimal, name in any case")
        << true << Read([](const TDeltaRow& r) { return QVariant::fromValue(r.AsDecimal("AMOUNT")); })
        << QVariant::fromValue(TDecimal::FromMantissa(1999, 2));
    QTest::newRow("decimal value as text") << true << Read([](const TDeltaRow& r) { return QVariant(r.Value("amount").toString()); })
                                           << QVariant(QString("19.99"));
    QTest::newRow("new boolean") << true << Read([](const TDeltaRow& r) { return QVariant(r.AsBoolean("paid")); }) << QVariant(true);
    QTest::newRow("old date-time") << false << Read([](const TDeltaRow& r) { return QVariant(r.AsDateTime("at")); })
                                   << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    QTest::newRow("cleared is null") << true << Read([](const TDeltaRow& r) { return QVariant(r.IsNull("at")); }) << QVariant(true);
    QTest::newRow("unchanged integer") << true << Read([](const TDeltaRow& r) { return QVariant(r.AsInteger("id")); })
                                       << QVariant(qint64(1));
}

void TestChangeLog::readerGivesTypedValues()
{
    QFETCH(bool, newSide);
    QFETCH(Read, read);
    QFETCH(QVariant, expected);

    TDeltaReader reader;
    QVERIFY(reader.Load(typedUpdate()));
    QCOMPARE(read(newSide ? reader.NewRow(0) : reader.OldRow(0)), expected);
}

void TestChangeLog::emptyLogIsAnEmptyDelta()
{
    TPClientDataSet ds;
    loadFixture(ds);
    setName(ds, 1, "aa");
    ds.MergeChangeLog();
    TDeltaReader reader;
    QVERIFY(reader.Load(ds.GetKXXMLDelta()));
    QCOMPARE(reader.Count(), 0);
    TPClientDataSet closed;
    QVERIFY(reader.Load(closed.GetKXXMLDelta()));
}

// A buffer handed over is parsed where it lies; one that someone else still holds is copied
// first, so the parse never changes the holder's bytes.
void TestChangeLog::readerParsesAHandedOverBufferInPlace()
{
    TPClientDataSet ds;
    QVERIFY(ds.SetKXXMLData(packet("id:integer,name:string", {R"(id="1" name="a&amp;b")"})));
    ds.Edit();
    ds.FieldByName("name")->SetAsString("c&d");
    ds.Post();
    const QByteArray delta = ds.DeltaUtf8();
    QByteArray held = delta;
    TDeltaReader reader;
    QVERIFY(reader.Load(QByteArray(held)));
    QCOMPARE(held, delta);
    QVERIFY(reader.Load(std::move(held)));
    QCOMPARE(reader.NewRow(0).AsString("name"), QString("c&d"));
    QCOMPARE(reader.OldRow(0).AsString("name"), QString("a&b"));
    QVERIFY(reader.FieldChanged(0, reader.FieldIndex("NAME")));
    QVERIFY(!reader.FieldChanged(0, reader.FieldIndex("id")));
    QVERIFY(!reader.FieldChanged(0, -1));
}

void TestChangeLog::cancelUpdatesRestoresTheBase()
{
    TPClientDataSet ds;
    loadFixture(ds);
    const QByteArray base = ds.XMLDataUtf8();
    setName(ds, 1, "aa");
    ds.Locate("id", 2);
    ds.Delete();
    appendRow(ds, 4, "d");
    setName(ds, 3, "cc");
    ds.Locate("id", 3);
    ds.Delete();
    ds.First();
    ds.Insert();
    ds.FieldByName("id")->SetAsInteger(0);
    ds.Post();
    QCOMPARE(column(ds, "id"), QStringList({"0", "1", "4"}));

    ds.CancelUpdates();
    QCOMPARE(ds.XMLDataUtf8(), base);   // values and order, deleted rows in their places
    QVERIFY(ds.GetEmptyDelta());
    QCOMPARE(column(ds, "name"), QStringList({"a", "b", "c"}));

    // After a cancel the log starts afresh from the same base.
    setName(ds, 2, "x");
    QCOMPARE(readDelta(ds.GetKXXMLDelta()), QStringList{"update old(2,b) new(2,x)"});
}

void TestChangeLog::mergeMakesCurrentRowsTheBase()
{
    TPClientDataSet ds;
    loadFixture(ds);
    setName(ds, 1, "aa");
    ds.Locate("id", 3);
    ds.Delete();
    appendRow(ds, 4, "d");
    ds.MergeChangeLog();
    QVERIFY(ds.GetEmptyDelta());
    QCOMPARE(column(ds, "name"), QStringList({"aa", "b", "d"}));

    ds.CancelUpdates();   // nothing to undo any more
    QCOMPARE(column(ds, "name"), QStringList({"aa", "b", "d"}));

    // The merged values are the originals of the next update.
    setName(ds, 1, "aaa");
    QCOMPARE(readDelta(ds.GetKXXMLDelta()), QStringList{"update old(1,aa) new(1,aaa)"});
}

void TestChangeLog::emptyDataSetKeepsStructure()
{
    TPClientDataSet ds;
    loadFixture(ds);
    setName(ds, 1, "aa");
    ds.EmptyDataSet();
    QVERIFY(ds.Active());
    QVERIFY(ds.IsEmpty());
    QVERIFY(ds.GetEmptyDelta());
    QCOMPARE(ds.FieldCount(), 3);
    appendRow(ds, 5, "e");
    QCOMPARE(readDelta(ds.GetKXXMLDelta()), QStringList{"insert new(5,e)"});
}

void TestChangeLog::badDeltaIsRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");   // a part of the message; empty: any

    const QByteArray head = "<delta><fields><field name=\"id\" type=\"integer\"/></fields><changes>";
    QTest::newRow("update without old values") << head + "<update><new id=\"1\"/></update></changes></delta>" << "<old> and <new>";
    QTest::newRow("unknown change") << head + "<upsert><new id=\"1\"/></upsert></changes></delta>" << "";
    QTest::newRow("value the field cannot hold") << head + "<delete><old id=\"x\"/></delete></changes></delta>" << "";
    QTest::newRow("data packet, not a delta") << QByteArray("<datapacket><fields/></datapacket>") << "";
}

void TestChangeLog::badDeltaIsRefused()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);

    TDeltaReader reader;
    QVERIFY(reader.Load(QByteArray("<delta><fields><field name=\"id\" type=\"integer\"/></fields><changes>"
                                   "<insert><new id=\"1\"/></insert></changes></delta>")));
    ReporterSpy spy;
    QVERIFY(!reader.Load(document));
    QVERIFY2(reader.LastError().contains(error), qPrintable(reader.LastError()));
    QCOMPARE(spy.messages.size(), 1);
    QCOMPARE(reader.Count(), 1);   // the last good delta stays
}

QTEST_GUILESS_MAIN(TestChangeLog)
#include "tst_cds_changelog.moc"
