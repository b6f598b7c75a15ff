// The history window against a scripted service: the exact request of each page, entries
// newest first with their changes as a person reads them, later pages appended, a record not
// saved yet, and a screenshot of the window.
#include "FakeService.h"
#include "ScriptedUi.h"
#include "ShareTestSupport.h"

#include "uFrmHistory.h"
#include "uKxPager.h"

#include <QLabel>
#include <QTableWidget>
#include <QtTest>

namespace {
const QString kEntries = QStringLiteral("histid:integer,created:string,operid:string,opername:string,client:string,action:string,changes:integer");
const QString kChanges = QStringLiteral("histid:integer,n:integer,line:integer,item:string,kind:string,field:string,caption:string,oldvalue:string,newvalue:string");

QByteArray page(const QStringList& entries, const QStringList& changes, const QString& pageCount, const QString& recordCount)
{
    return ("<response><xmldata><![CDATA[" + packet(kEntries, entries) + "]]></xmldata><xmldetail><![CDATA[" + packet(kChanges, changes)
            + "]]></xmldetail><recordcount>" + recordCount + "</recordcount><pagecount>" + pageCount + "</pagecount></response>")
        .toUtf8();
}

QStringList sent(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid" && f.first != u"sessionkey")
            out << f.first + u'=' + f.second;
    return out;
}
}

class TestShareHistory : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> svc;
    TScriptedUi ui;

private slots:
    void init()
    {
        svc = std::make_unique<TFakeService>();
        ui.clear();
    }
    void cleanup() { svc.reset(); }

    void changeTexts_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("newValue");
        QTest::addColumn<QString>("text");
        QTest::newRow("header field") << 0 << "C" << "" << "备注" << "" << "到货少一箱" << "备注: （空） → 到货少一箱";
        QTest::newRow("header field emptied") << 0 << "C" << "" << "电话" << "0571" << "" << "电话: 0571 → （空）";
        QTest::newRow("line field") << 3 << "C" << "G100101" << "数量" << "5" << "7" << "第 3 行 G100101 数量: 5 → 7";
        QTest::newRow("line added") << 4 << "A" << "G100103" << "" << "" << "数量 2，进价 10" << "第 4 行 G100103 新增：数量 2，进价 10";
        QTest::newRow("line removed") << 2 << "R" << "G100102" << "" << "数量 3" << "" << "第 2 行 G100102 删除：数量 3";
        QTest::newRow("line without product") << 1 << "C" << "" << "退款金额" << "10" << "8" << "第 1 行 退款金额: 10 → 8";
    }
    void changeTexts()
    {
        QFETCH(int, line);
        QFETCH(QString, kind);
        QFETCH(QString, item);
        QFETCH(QString, caption);
        QFETCH(QString, oldValue);
        QFETCH(QString, newValue);
        QFETCH(QString, text);
        QCOMPARE(TFrmHistory::ChangeText(line, kind, item, caption, oldValue, newValue), text);
    }

    // Page 1 on opening, page 2 on "下一页" appended below it; every change of an entry in its
    // one cell, in the order the service gives.
    void requestsAndPages()
    {
        svc->answerWhen("History.Search", "curpage", "1",
                        page({R"(histid="9" created="2026-12-11 10:05:00" operid="boss" opername="老板" client="10.0.0.7" action="审核" changes="1")",
                              R"(histid="7" created="2026-12-11 09:30:12" operid="wang" opername="王会计" client="10.0.0.8" action="修改" changes="2")"},
                             {R"(histid="9" n="1" line="0" item="" kind="C" field="status" caption="状态" oldvalue="已保存" newvalue="已审核")",
                              R"(histid="7" n="1" line="3" item="G100101" kind="C" field="receivenum" caption="数量" oldvalue="5" newvalue="7")",
                              R"(histid="7" n="2" line="4" item="G100103" kind="A" field="" caption="" oldvalue="" newvalue="数量 2")"},
                             "2", "3"));
        svc->answerWhen("History.Search", "curpage", "2",
                        page({R"(histid="2" created="2026-12-10 17:00:00" operid="boss" opername="老板" client="10.0.0.7" action="新建" changes="1")"},
                             {R"(histid="2" n="1" line="0" item="" kind="C" field="suppliercode" caption="供应商编码" oldvalue="" newvalue="GY001")"},
                             "2", "3"));
        TFrmHistory frm("History.Search", "Receive", "RK20261210001", "采购入库单");
        QVERIFY(frm.Open());
        QCOMPARE(svc->calls().size(), 1);
        QCOMPARE(sent(svc->calls()[0]), (QStringList{"module=History.Search", "area=Receive", "recordkey=RK20261210001", "curpage=1"}));
        QCOMPARE(frm.windowTitle(), QStringLiteral("修改记录 - 采购入库单【RK20261210001】"));
        QTableWidget* t = frm.Table();
        QCOMPARE(t->rowCount(), 2);
        const auto row = [t](int r) {
            QStringList cells;
            for (int c = 0; c < t->columnCount(); ++c)
                cells << t->item(r, c)->text();
            return cells;
        };
        QCOMPARE(row(0), (QStringList{"2026-12-11 10:05:00", "[boss]老板", "10.0.0.7", "审核", "状态: 已保存 → 已审核"}));
        QCOMPARE(row(1), (QStringList{"2026-12-11 09:30:12", "[wang]王会计", "10.0.0.8", "修改",
                                      "第 3 行 G100101 数量: 5 → 7\n第 4 行 G100103 新增：数量 2"}));
        QCOMPARE(frm.RecordLabel()->text(), QStringLiteral("记录总数：3 条， 第 1 页/共 2 页"));

        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        frm.grab().save(QStringLiteral("/tmp/kx_history_window.png"));

        QVERIFY(frm.Pager()->NextPage());
        QCOMPARE(sent(svc->calls().last()), (QStringList{"module=History.Search", "area=Receive", "recordkey=RK20261210001", "curpage=2"}));
        QCOMPARE(t->rowCount(), 3);
        QCOMPARE(row(2), (QStringList{"2026-12-10 17:00:00", "[boss]老板", "10.0.0.7", "新建", "供应商编码: （空） → GY001"}));
        QVERIFY(!frm.Pager()->HasNextPage());
    }

    // A failed call shows the service's message (the client's way) and opens no window; a
    // record not saved yet asks nothing of the service.
    void failedAndUnsaved()
    {
        svc->fail("History.Search", 10, "您没有【采购入库单】模块的权限");
        KxShowHistory(nullptr, "History.Search", "Receive", "RK1", "采购入库单");
        QCOMPARE(ui.modalWindows.size(), 0);
        QVERIFY(ui.texts.last().contains(QStringLiteral("权限")));

        svc->clearCalls();
        KxShowHistory(nullptr, "History.Search", "Receive", "  ", "采购入库单");
        QCOMPARE(svc->calls().size(), 0);
        QCOMPARE(ui.modalWindows.size(), 0);
        QCOMPARE(ui.texts.last(), QStringLiteral("这条记录还没有保存，没有修改记录。"));
    }

    void opensModally()
    {
        svc->answer("History.Search", page({}, {}, "1", "0"));
        KxShowHistory(nullptr, "History.Search", "Supplier", "GY002", "供应商");
        QCOMPARE(ui.modalWindows.size(), 1);
        QCOMPARE(sent(svc->calls()[0]), (QStringList{"module=History.Search", "area=Supplier", "recordkey=GY002", "curpage=1"}));
    }
};

QTEST_MAIN(TestShareHistory)
#include "tst_share_history.moc"
