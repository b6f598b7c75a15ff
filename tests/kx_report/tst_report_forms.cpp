// The report window against a scripted service: what it sends when opening, searching and
// paging, pausing and a failing page, rights, drill-down into another report, the keyword and
// the receipt print's template name.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "uFrmReport.h"
#include "uFrmSearch.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uIKXDesign.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QHeaderView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
const QString kAllRights = QStringLiteral("isprint=True;isoutput=True;iscolumn=True;");

QByteArray rows(int from, int count)
{
    QByteArray out = "<datapacket><fields><field name=\"saledate\" type=\"string\" size=\"10\"/>"
                     "<field name=\"seller_nick\" type=\"string\" size=\"50\"/><field name=\"payment\" type=\"string\" size=\"20\"/>"
                     "</fields><rows>";
    for (int i = from; i < from + count; ++i)
        out += "<row saledate=\"2024-05-" + QByteArray::number(i).rightJustified(2, '0') + "\" seller_nick=\"shopA\" payment=\""
               + QByteArray::number(i * 10) + "\"/>";
    return out + "</rows></datapacket>";
}

QByteArray page(const QByteArray& packet, int records, int pages)
{
    return "<response><xmldata><![CDATA[" + packet + "]]></xmldata><recordcount>" + QByteArray::number(records)
           + "</recordcount><pagecount>" + QByteArray::number(pages) + "</pagecount></response>";
}

QString searchPanel()
{
    TKxComponentRecord edit{QStringLiteral("TPEdit"), QStringLiteral("PEdit1"), {}, {}};
    edit.SetProperty(QStringLiteral("KXName"), QStringLiteral("seller_nick"));
    TKxPanelText text;
    text.Width = 200;
    text.Height = 40;
    text.Module = KxWriteComponents({edit});
    return QString::fromLatin1(KxWritePanelText(text));
}

QString moduleXml(const QString& power, const QMap<QString, QString>& extra = {})
{
    QString xml = QStringLiteral("<response><moduleclass>TFrmReport</moduleclass><moduletitle>销售报表</moduletitle>"
                                 "<search>Report.Sales</search><modulepower>")
                  + power + QStringLiteral("</modulepower>");
    for (auto it = extra.begin(); it != extra.end(); ++it)
        xml += QStringLiteral("<%1>%2</%1>").arg(it.key(), it.value().toHtmlEscaped());
    return xml + QStringLiteral("</response>");
}

// Request fields other than the session's.
QStringList params(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid" && f.first != u"coreshop")
            out << f.first + QLatin1Char('=') + f.second;
    return out;
}

// Answers modal windows through a hook (the search dialog, a drilled-down report).
class THookUi : public TScriptedUi {
public:
    std::function<int(QWidget*)> onModal;
    QStringList saveFilters; // the filter of each save dialog
    int ShowModal(QWidget* window) override
    {
        modalWindows.append(window);
        return onModal ? onModal(window) : mrCancel;
    }
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        saveFilters << filter;
        return TScriptedUi::GetSaveFileName(parent, caption, dir, filter);
    }
};

// A refund report page: a status code, a quantity kept as a decimal, a long reason.
QByteArray refundRows()
{
    return "<datapacket><fields><field name=\"status\" type=\"string\" size=\"40\"/>"
           "<field name=\"num\" type=\"decimal\" precision=\"18\" scale=\"2\"/>"
           "<field name=\"reason\" type=\"string\" size=\"400\"/></fields><rows>"
           "<row status=\"SUCCESS\" num=\"11\" reason=\"短\"/>"
           "<row status=\"NEW_CODE\" num=\"2.5\" reason=\"" + QByteArray(60, 'x').replace("xxxxx", "xxxx ") + "\"/>"
           "</rows></datapacket>";
}
}

class TestReportForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<THookUi> m_ui;

    std::unique_ptr<TFrmReport> open(const QString& xml, const QStringList& fixed = {})
    {
        auto form = std::make_unique<TFrmReport>();
        form->InitModule(xml);
        form->FixedConditions() << fixed;
        form->show();
        return form;
    }

private Q_SLOTS:
    void init()
    {
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<THookUi>();
        KxSetUi(m_ui.get());
        m_svc->answer(QStringLiteral("Report.Sales"), page(rows(1, 2), 6, 3));
    }
    void cleanup()
    {
        KxSetUi(nullptr);
        m_ui.reset();
        m_svc.reset();
    }

    // The window before and after opening: the label, the columns and their captions, the
    // hidden column, the opening call with curpage -1.
    void opening()
    {
        auto form = std::make_unique<TFrmReport>();
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录数：0， 第1页/共1页"));
        QCOMPARE(form->size(), QSize(845, 626));
        form->InitModule(moduleXml(kAllRights, {{"fieldlabels", "saledate=日期;payment=实付;"}, {"disfieldlabels", "seller_nick;"}}));
        form->show();
        QCOMPARE(form->TitleLabel()->text(), QStringLiteral("销售报表"));
        QCOMPARE(m_svc->calls().size(), 1);
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=Report.Sales", "curpage=-1"}));
        QCOMPARE(form->CurPage(), 0);
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录总数：6 条， 第 0 页/共 3 页"));
        QStringList captions;
        for (TGridColumn* c : form->Grid()->VisibleColumns())
            captions << c->Caption;
        QCOMPARE(captions, (QStringList{"日期", "实付"}));
        QVERIFY(!form->Grid()->ColumnByField(QStringLiteral("seller_nick"))); // removed, not hidden
        QVERIFY(form->Grid()->editTriggers() == QAbstractItemView::NoEditTriggers);
    }

    // Page 1 starts anew; "下一页" appends pages 2 and 3; a third press asks for nothing.
    void nextPageAppends()
    {
        auto form = open(moduleXml(kAllRights));
        form->dxBL_RefreshClick();
        QCOMPARE(form->DataSet()->RecordCount(), 2);
        m_svc->answer(QStringLiteral("Report.Sales"), page(rows(3, 2), 6, 3));
        form->btnNextClick();
        m_svc->answer(QStringLiteral("Report.Sales"), page(rows(5, 2), 6, 3));
        form->btnNextClick();
        m_svc->clearCalls();
        form->btnNextClick();
        QCOMPARE(m_svc->calls().size(), 0);
        QCOMPARE(form->DataSet()->RecordCount(), 6);
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录总数：6 条， 第 3 页/共 3 页"));
        form->DataSet()->Last();
        QCOMPARE(form->DataSet()->FieldByName("saledate")->AsString(), QStringLiteral("2024-05-06"));
    }

    void remainingPages_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("rows");
        QTest::newRow("every remaining page") << "run" << 3 << 8;
        QTest::newRow("pause while a page loads") << "pause" << 1 << 4;
        QTest::newRow("a failing page ends the loop") << "fail" << 1 << 2;
    }
    // From page 1 of 4: the rest, or the page being loaded when "暂 停" comes, or nothing more
    // after a page that failed (instead of asking for it again and again).
    void remainingPages()
    {
        QFETCH(QString, how);
        QFETCH(int, calls);
        QFETCH(int, rows);
        m_svc->answer(QStringLiteral("Report.Sales"), page(::rows(1, 2), 8, 4));
        auto form = open(moduleXml(kAllRights));
        form->dxBL_RefreshClick();
        m_svc->clearCalls();
        if (how == "fail")
            m_svc->fail(QStringLiteral("Report.Sales"), 99, QStringLiteral("服务忙"));
        if (how == "pause")
            connect(form->Pager(), &TKxPager::pageChanged, form.get(), [&] { form->btnPauseClick(); });
        form->btnRemainClick();
        QCOMPARE(m_svc->calls().size(), calls);
        QCOMPARE(form->DataSet()->RecordCount(), rows);
        if (how == "fail")
            QVERIFY(m_ui->lastText().contains(QStringLiteral("服务忙")));
        if (how == "run")
            QCOMPARE(params(m_svc->calls().last()).last(), QStringLiteral("curpage=4"));
    }

    // The search dialog opens once by itself, 100 ms after showing; its conditions go with
    // page 1 and stay for "刷 新" and paging.
    void searchDialogOpensAndConditionsStay()
    {
        QString title;
        m_ui->onModal = [&](QWidget* w) {
            auto* search = qobject_cast<TFrmSearch*>(w);
            if (!search)
                return int(mrCancel);
            title = search->windowTitle();
            search->DesignControls().first()->KXSetValue(QStringLiteral("shopA"));
            return int(mrOk);
        };
        auto form = open(moduleXml(kAllRights, {{"searchfile", searchPanel()}}));
        QTRY_COMPARE(m_svc->calls().size(), 2);
        QCOMPARE(title, QStringLiteral("销售报表查询"));
        QCOMPARE(params(m_svc->calls()[1]), (QStringList{"module=Report.Sales", "seller_nick=shopA", "curpage=1"}));
        form->btnNextClick();
        QCOMPARE(params(m_svc->calls().last()), (QStringList{"module=Report.Sales", "seller_nick=shopA", "curpage=2"}));
        QCOMPARE(form->LastConditions(), QStringList{"seller_nick=shopA"});
    }

    // A report opened for a row: its first call is curpage 0 with the row's keys, and no
    // search dialog comes up.
    void fixedConditionsOpenWithoutDialog()
    {
        auto form = open(moduleXml(kAllRights, {{"searchfile", searchPanel()}}), {"saledate=2024-05-01", "seller_nick=a=b"});
        QTRY_VERIFY(!form->AutoSearchPending());
        QCOMPARE(m_ui->modalWindows.size(), 0);
        QCOMPARE(m_svc->calls().size(), 1);
        QCOMPARE(params(m_svc->calls()[0]),
                 (QStringList{"module=Report.Sales", "saledate=2024-05-01", "seller_nick=a=b", "curpage=0"}));
        form->dxBL_RefreshClick();
        QCOMPARE(params(m_svc->calls().last()).last(), QStringLiteral("curpage=1"));
    }

    void drillDown_data()
    {
        QTest::addColumn<QString>("keyfields");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("every key") << "saledate;seller_nick" << false << QStringList{"saledate=2024-05-01", "seller_nick=shopA"};
        QTest::newRow("a missing key is left out") << "saledate;nosuchfield;seller_nick" << false
                                                   << QStringList{"saledate=2024-05-01", "seller_nick=shopA"};
        QTest::newRow("no key fields") << "" << false << QStringList();
        QTest::newRow("no rows") << "saledate" << true << QStringList();
    }
    // Double click: the target module is asked for with the row's key lines, gets them as
    // fixed conditions, is shown modally (opening with curpage 0) and freed.
    void drillDown()
    {
        QFETCH(QString, keyfields);
        QFETCH(bool, empty);
        QFETCH(QStringList, lines);
        if (empty)
            m_svc->answer(QStringLiteral("Report.Sales"), page(rows(1, 0), 0, 1));
        m_svc->answer(QStringLiteral("Report.SalesDetail"),
                      moduleXml(kAllRights, {{"searchfile", searchPanel()}}).replace("Report.Sales<", "Detail.Search<").toUtf8());
        m_svc->answer(QStringLiteral("Detail.Search"), page(rows(1, 1), 1, 1));
        auto form = open(moduleXml(kAllRights, {{"module", "Report.SalesDetail"}, {"keyfields", keyfields}}));
        QStringList fixed;
        QPointer<QWidget> shown;
        m_ui->onModal = [&](QWidget* w) {
            auto* report = qobject_cast<TFrmReport*>(w);
            if (!report)
                return int(mrCancel);
            fixed = report->FixedConditions();
            shown = report;
            report->show(); // as the modal loop would
            return int(mrOk);
        };
        m_svc->clearCalls();
        form->cxGrid1DblClick();
        if (lines.isEmpty()) {
            QCOMPARE(m_svc->calls().size(), 0);
            return;
        }
        QCOMPARE(m_svc->calls().size(), 2);
        QCOMPARE(params(m_svc->calls()[0]), QStringList{"module=Report.SalesDetail"} + lines);
        QCOMPARE(fixed, lines);
        QCOMPARE(params(m_svc->calls()[1]), QStringList{"module=Detail.Search"} + lines + QStringList{"curpage=0"});
        QVERIFY(shown.isNull());
    }

    void rights_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<QString>("searchfile");
        QTest::addColumn<QStringList>("enabled");
        const QStringList all{"查 询", "刷 新", "导出Excel", "打 印", "预 览", "票据打印", "显示列设置", "退 出"};
        QTest::newRow("all") << kAllRights << "panel" << all;
        QTest::newRow("no print") << "isoutput=True;iscolumn=True;" << "panel"
                                  << QStringList{"查 询", "刷 新", "导出Excel", "显示列设置", "退 出"};
        QTest::newRow("none, no search panel") << "" << "" << QStringList{"刷 新", "退 出"};
        // A right switched off is not granted by its name alone.
        QTest::newRow("rights set to False") << "isprint=False;isoutput=False;iscolumn=False;" << "panel"
                                             << QStringList{"查 询", "刷 新", "退 出"};
    }
    void rights()
    {
        QFETCH(QString, power);
        QFETCH(QString, searchfile);
        QFETCH(QStringList, enabled);
        QMap<QString, QString> extra;
        if (!searchfile.isEmpty())
            extra.insert("searchfile", searchPanel());
        auto form = open(moduleXml(power, extra));
        QStringList actual;
        for (const char* text : {"查 询", "刷 新", "导出Excel", "打 印", "预 览", "票据打印", "显示列设置", "退 出"})
            if (form->Button(QString::fromUtf8(text))->isEnabled())
                actual << QString::fromUtf8(text);
        QCOMPARE(actual, enabled);
    }

    // The keyword is a trimmed, case-sensitive part of the cell text; empty marks nothing.
    void keyword_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("marked");
        QTest::newRow("part") << " hopA " << true;
        QTest::newRow("other case") << "SHOPA" << false;
        QTest::newRow("blank") << "  " << false;
    }
    void keyword()
    {
        QFETCH(QString, keyword);
        QFETCH(bool, marked);
        auto form = open(moduleXml(kAllRights));
        form->FindText()->setText(keyword);
        TGridView* grid = form->Grid();
        TGridColumn* col = grid->ColumnByField(QStringLiteral("seller_nick"));
        QStyleOptionViewItem opt;
        opt.text = grid->GridModel()->CellText(0, col);
        grid->OnCustomDrawCell()(grid->model()->index(0, grid->IndexOfColumn(col)), col, opt);
        QCOMPARE(opt.font.bold(), marked);
        QCOMPARE(opt.palette.color(QPalette::Text) == QColor(Qt::red), marked);
    }

    // Codes show the names the parameters give them (an unnamed code shows itself), counts
    // show whole numbers, and a row grows with a long cell.
    void columnFormatsFromParameters()
    {
        m_svc->answer(QStringLiteral("Report.Sales"), page(refundRows(), 2, 1));
        auto form = open(moduleXml(kAllRights, {{"intfields", "num;"}, {"sumfields", "num;"},
                                                {"lookupfields", "status=SUCCESS:退款成功,CLOSED:退款关闭;"}}));
        TGridView* grid = form->Grid();
        TGridModel* m = grid->GridModel();
        const TGridColumn* status = grid->ColumnByField(QStringLiteral("status"));
        const TGridColumn* num = grid->ColumnByField(QStringLiteral("num"));
        QCOMPARE((QStringList{m->CellText(0, status), m->CellText(1, status)}), (QStringList{"退款成功", "NEW_CODE"}));
        QCOMPARE((QStringList{m->CellText(0, num), m->CellText(1, num)}), (QStringList{"11", "3"}));
        // Narrowed, and not the last column, which fills the rest of the grid.
        grid->ColumnByField(QStringLiteral("reason"))->Width = 60;
        grid->ColumnsChanged();
        QHeaderView* head = grid->horizontalHeader();
        head->moveSection(head->visualIndex(grid->IndexOfColumn(grid->ColumnByField(QStringLiteral("reason")))), 0);
        form->dxBL_RefreshClick();
        QVERIFY(grid->rowHeight(1) > grid->rowHeight(0));
        // The totals row sums whole numbers as the cells show them.
        QVERIFY(grid->FooterVisible());
        QCOMPARE(grid->FooterText(num), QStringLiteral("14"));
    }

    // "导出Excel" with pages still to come offers to load them first; the save dialog gets
    // its filter in its own form.
    void exportOffersTheRemainingPages_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rows");
        QTest::newRow("all pages") << int(mrYes) << 6;
        QTest::newRow("loaded page only") << int(mrNo) << 2;
    }
    void exportOffersTheRemainingPages()
    {
        QFETCH(int, answer);
        QFETCH(int, rows);
        auto form = open(moduleXml(kAllRights));
        form->dxBL_RefreshClick();
        m_svc->answer(QStringLiteral("Report.Sales"), page(::rows(3, 2), 6, 3));
        m_ui->answers << answer;
        form->dxBL_ExportClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("共 6 条，已载入 2 条，是否全部导出？"));
        QCOMPARE(form->DataSet()->RecordCount(), rows);
        QCOMPARE(m_ui->saveFilters, QStringList{"Excel 文件(*.xls)"});

        // With every page loaded there is nothing to offer.
        m_ui->clear();
        form->btnRemainClick();
        form->dxBL_ExportClick();
        QVERIFY(m_ui->messages.isEmpty());
        QCOMPARE(m_ui->saveFilters.size(), 2);
    }

    void receiptTemplate_data()
    {
        QTest::addColumn<QString>("rmf");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("plain name") << "xiaoshouribao.rmf" << "/rmf/xiaoshouribao.rmf" << "";
        QTest::newRow("none") << "" << "" << "";
        QTest::newRow("a path is refused") << "../../etc/passwd" << "" << "报表文件名不正确：../../etc/passwd";
    }
    // "票据打印" hands the rows to the report as "数据表" with the captions; a template name
    // from the service with a path in it is refused with a message.
    void receiptTemplate()
    {
        QFETCH(QString, rmf);
        QFETCH(QString, file);
        QFETCH(QString, message);
        auto form = open(moduleXml(kAllRights, {{"rmf", rmf}, {"fieldlabels", "payment=实付;"}}));
        form->dxBL_PrintReportClick();
        auto* holder = dynamic_cast<TKxReportHolder*>(form->GetReportEx());
        QVERIFY(holder);
        QCOMPARE(m_ui->lastText(), message);
        if (file.isEmpty()) {
            QVERIFY(holder->links.isEmpty());
            return;
        }
        QCOMPARE(holder->FileName(), KxProgramDir() + file);
        QCOMPARE(holder->links.size(), 1);
        QCOMPARE(holder->links[0].alias, QStringLiteral("数据表"));
        QCOMPARE(holder->links[0].dataSet, form->DataSet());
        QVERIFY(holder->links[0].labels.contains(QStringLiteral("payment=实付")));
    }
};

QTEST_MAIN(TestReportForms)
#include "tst_report_forms.moc"
