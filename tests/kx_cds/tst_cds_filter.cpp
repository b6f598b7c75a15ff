// Filter expressions: every form the program builds, bad expressions, quoting of typed text,
// and the filter following edits and pages.

#include "CdsTestSupport.h"

#include <QTest>

namespace {

const char* kFields = "tid:string,buyer_nick:string,dbstatus:string,status:string,refund:integer,"
                      "seller_rate:boolean,ischeck:boolean,pay_time:datetime,mod_id:integer,parent_id:integer,"
                      "child_id:largeint,amount:decimal,weight:float,paid_on:date";

void loadTrades(TPClientDataSet& ds)
{
    QVERIFY(ds.SetKXXMLData(packet(kFields, {
        R"(tid="T1" buyer_nick="abcde" dbstatus="NOT_PICKING" status="WAIT_SELLER_SEND_GOODS" refund="0" seller_rate="0" ischeck="1" pay_time="2026-11-08T23:59:59" mod_id="0" parent_id="5" child_id="12" amount="10.00" weight="1.5" paid_on="2026-11-08")",
        R"(tid="T2" buyer_nick="ABC" dbstatus="NOT_PICKING" status="TRADE_FINISHED" refund="0" seller_rate="0" ischeck="0" pay_time="2026-11-09T00:00:00" mod_id="3" parent_id="5" child_id="12" amount="-2.50" weight="0.25" paid_on="2026-11-09")",
        // (no raw string here: moc takes its apostrophe for a character literal)
        "tid=\"abc9\" buyer_nick=\"o\'brien\" dbstatus=\"PICKINGED\" status=\"TRADE_FINISHED\" refund=\"1\" seller_rate=\"1\" ischeck=\"0\" pay_time=\"2026-10-01T08:00:00\" mod_id=\"7\" parent_id=\"6\" child_id=\"13\" amount=\"0.05\" weight=\"3\" paid_on=\"2026-10-01\"",
        R"(tid="T4" buyer_nick="张三" dbstatus="NOT_PICKING" status="WAIT_BUYER_PAY" refund="0" ischeck="1" mod_id="2" parent_id="5" child_id="12" amount="99999.99")",
    })));
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void forms_data();
    void forms();
    void badExpressionKeepsThePreviousFilter_data();
    void badExpressionKeepsThePreviousFilter();
    void quotedTypedTextNeverWidens_data();
    void quotedTypedTextNeverWidens();
    void followsEditsAndPages();
    void bindsWhenLoaded();
    void caseInsensitiveOption();
};

void TestFilter::forms_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("tids");

    QTest::newRow("menu folder children") << "mod_id>0 and parent_id=5" << QStringList{"T2", "T4"};
    QTest::newRow("checked rows") << "ischeck=1" << QStringList{"T1", "T4"};
    QTest::newRow("tab 0 as built, odd spaces")
        << "dbstatus='NOT_PICKING' and refund=0  and (status='WAIT_SELLER_SEND_GOODS'   or status='WAIT_BUYER_CONFIRM_GOODS'   or status='TRADE_FINISHED')"
        << QStringList{"T1", "T2"};
    QTest::newRow("to be rated") << "seller_rate=0 and status='TRADE_FINISHED'" << QStringList{"T2"};
    QTest::newRow("keyword prefix on two fields") << "(buyer_nick ='abc*' or tid='abc*')" << QStringList{"T1", "abc9"};
    QTest::newRow("tab and keyword")
        << "status='TRADE_FINISHED' and (buyer_nick ='abc*' or tid='abc*')" << QStringList{"abc9"};
    QTest::newRow("history before a date-time") << "pay_time <'2026-11-09 00:00:00'" << QStringList{"T1", "abc9"};
    QTest::newRow("date-time against a date") << "pay_time>='2026-11-09'" << QStringList{"T2"};
    QTest::newRow("date field") << "paid_on='2026-11-09'" << QStringList{"T2"};
    QTest::newRow("category") << "child_id=12" << QStringList{"T1", "T2", "T4"};
    QTest::newRow("Boolean as word") << "seller_rate=true" << QStringList{"abc9"};
    QTest::newRow("null matches no comparison") << "seller_rate<>1" << QStringList{"T1", "T2"};
    QTest::newRow("is null") << "pay_time is null" << QStringList{"T4"};
    QTest::newRow("is not null") << "pay_time IS NOT NULL and refund=0" << QStringList{"T1", "T2"};
    QTest::newRow("not") << "not (dbstatus='NOT_PICKING')" << QStringList{"abc9"};
    QTest::newRow("embedded quote") << "buyer_nick='o''brien'" << QStringList{"abc9"};
    QTest::newRow("Chinese text") << "buyer_nick='张三'" << QStringList{"T4"};
    QTest::newRow("star alone is any text") << "buyer_nick='*'" << QStringList{"T1", "T2", "abc9", "T4"};
    QTest::newRow("prefix is case-sensitive") << "buyer_nick='ab*'" << QStringList{"T1"};
    QTest::newRow("negative decimal") << "amount<0" << QStringList{"T2"};
    QTest::newRow("decimal exact at more digits") << "amount>0.049 and amount<0.051" << QStringList{"abc9"};
    QTest::newRow("decimal equality") << "amount=99999.990" << QStringList{"T4"};
    QTest::newRow("integer against a fraction") << "mod_id>2.5" << QStringList{"T2", "abc9"};
    QTest::newRow("quoted number for a number field") << "refund='1'" << QStringList{"abc9"};
    QTest::newRow("float") << "weight<=0.25" << QStringList{"T2"};
    QTest::newRow("constant on the left") << "5<parent_id" << QStringList{"abc9"};
    QTest::newRow("keywords and names in any case") << "MOD_ID>0 AND Parent_Id=5 Or TID='T1'" << QStringList{"T1", "T2", "T4"};
    QTest::newRow("bracketed name, != and negative number") << "[refund] != -1 and refund>-1" << QStringList{"T1", "T2", "abc9", "T4"};
    QTest::newRow("empty text: no filter") << "   " << QStringList{"T1", "T2", "abc9", "T4"};
}

void TestFilter::forms()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, tids);

    TPClientDataSet ds;
    loadTrades(ds);
    QVERIFY2(ds.SetFilter(filter), qPrintable(ds.LastError()));
    ds.SetFiltered(true);
    QCOMPARE(column(ds, "tid"), tids);
    QCOMPARE(ds.RecordCount(), tids.size());
    ds.SetFiltered(false);
    QCOMPARE(ds.RecordCount(), 4);
}

void TestFilter::badExpressionKeepsThePreviousFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown field") << "nosuch=1" << "unknown field 'nosuch'";
    QTest::newRow("missing value") << "refund=" << "ends too early";
    QTest::newRow("missing operator") << "refund 1" << "comparison operator expected";
    QTest::newRow("unterminated text") << "status='TRADE" << "unterminated";
    QTest::newRow("unbalanced parenthesis") << "(refund=1" << "')' expected";
    QTest::newRow("stray parenthesis") << "refund=1)" << "unexpected ')'";
    QTest::newRow("two constants") << "1=1" << "one field and one constant";
    QTest::newRow("two fields") << "refund=mod_id" << "one field and one constant";
    QTest::newRow("dangling and") << "refund=1 and" << "ends too early";
    QTest::newRow("text for a number") << "refund='x'" << "not a number";
    QTest::newRow("bad date") << "pay_time<'2026-13-01'" << "yyyy-MM-dd";
    QTest::newRow("number for a date") << "pay_time<20261101" << "yyyy-MM-dd";
    QTest::newRow("Boolean from text") << "ischeck='maybe'" << "0, 1, true or false";
    QTest::newRow("bad character") << "refund=1 ; drop" << "unexpected ';'";
    QTest::newRow("null with less-than") << "refund<null" << "null can only";
    QTest::newRow("too deep") << QString(200, u'(') + "refund=1" + QString(200, u')') << "nested too deeply";
}

void TestFilter::badExpressionKeepsThePreviousFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, message);

    ReporterSpy spy;
    TPClientDataSet ds;
    loadTrades(ds);
    QVERIFY(ds.SetFilter("refund=0"));
    ds.SetFiltered(true);
    QVERIFY(!ds.SetFilter(filter));
    QVERIFY2(ds.LastError().contains(message), qPrintable(ds.LastError()));
    QCOMPARE(spy.messages.size(), 1);
    QCOMPARE(ds.Filter(), QString("refund=0"));
    QCOMPARE(ds.RecordCount(), 3);
}

void TestFilter::quotedTypedTextNeverWidens_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("tids");

    QTest::newRow("plain") << "abc" << QStringList{"T1", "abc9"};
    QTest::newRow("quote in a name") << "o'b" << QStringList{"abc9"};
    QTest::newRow("injection attempt") << "x' or 'a'='a" << QStringList{};
    QTest::newRow("lone quote") << "'" << QStringList{};
    QTest::newRow("doubled quotes") << "o''b" << QStringList{};
    QTest::newRow("parenthesis and keyword") << ") or (tid='T2'" << QStringList{};
}

void TestFilter::quotedTypedTextNeverWidens()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, tids);

    TPClientDataSet ds;
    loadTrades(ds);
    const QString v = KxQuote(typed + "*");
    QVERIFY2(ds.SetFilter("(buyer_nick =" + v + " or tid=" + v + ")"), qPrintable(ds.LastError()));
    ds.SetFiltered(true);
    QCOMPARE(column(ds, "tid"), tids);
}

void TestFilter::followsEditsAndPages()
{
    TPClientDataSet ds;
    loadTrades(ds);
    QVERIFY(ds.SetFilter("ischeck=1"));
    ds.SetFiltered(true);
    QCOMPARE(column(ds, "tid"), QStringList({"T1", "T4"}));

    // An edit that no longer matches hides the record once posted.
    ds.First();
    ds.Edit();
    ds.FieldByName("ischeck")->SetAsBoolean(false);
    QCOMPARE(ds.RecordCount(), 2);
    ds.Post();
    QCOMPARE(column(ds, "tid"), QStringList({"T4"}));

    // New records and pages show when they match.
    ds.Append();
    ds.FieldByName("tid")->SetAsString("T5");
    ds.FieldByName("ischeck")->SetAsBoolean(true);
    ds.Post();
    ds.Append();
    ds.FieldByName("tid")->SetAsString("T6");
    ds.Post();
    QVERIFY(ds.KXAppendData(packet("tid:string,ischeck:boolean", {R"(tid="T7" ischeck="1")", R"(tid="T8" ischeck="0")"})));
    QCOMPARE(column(ds, "tid"), QStringList({"T4", "T5", "T7"}));

    // The log holds all of it, hidden or not.
    QCOMPARE(ds.ChangeCount(), 3);
    ds.SetFiltered(false);
    QCOMPARE(ds.RecordCount(), 8);
}

void TestFilter::bindsWhenLoaded()
{
    ReporterSpy spy;
    TPClientDataSet ds;
    QVERIFY(!ds.SetFilter("refund=("));   // syntax is checked even before any load
    QVERIFY(ds.SetFilter("refund=1"));
    ds.SetFiltered(true);
    loadTrades(ds);
    QCOMPARE(column(ds, "tid"), QStringList({"abc9"}));

    // A packet without the filter's field shows nothing rather than everything, and says so.
    const int before = spy.messages.size();
    QVERIFY(ds.SetKXXMLData(packet("tid:string", {R"(tid="X")"})));
    QCOMPARE(ds.RecordCount(), 0);
    QCOMPARE(spy.messages.size(), before + 1);
    QVERIFY(ds.SetFilter(""));
    QCOMPARE(ds.RecordCount(), 1);
}

void TestFilter::caseInsensitiveOption()
{
    TPClientDataSet ds;
    loadTrades(ds);
    QVERIFY(ds.SetFilter("buyer_nick='abc*'"));
    ds.SetFiltered(true);
    QCOMPARE(ds.RecordCount(), 1);
    QVERIFY(ds.SetFilterOptions(foCaseInsensitive));
    QCOMPARE(column(ds, "tid"), QStringList({"T1", "T2"}));
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_cds_filter.moc"
