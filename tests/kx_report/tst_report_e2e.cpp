// Report modules end to end: opened through the module call of the real service, searched,
// paged, drilled down into the orders of one day, printed as a grid and previewed through a
// shipped receipt template into PDF files read back with pdftotext.
#include "ReceiptSeed.h"
#include "RmTestSupport.h"
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uFrmReport.h"
#include "uFrmSearch.h"
#include "uGridView.h"
#include "uGridModel.h"
#include "uKXReport.h"
#include "uRMPreview.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QtTest>

#include <functional>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};

QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}

// Answers modal windows through a hook, message boxes as recorded.
class THookUi : public TScriptedUi {
public:
    std::function<int(QWidget*)> onModal;
    QString saveAs;
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return saveAs; }
    int ShowModal(QWidget* w) override { return onModal ? onModal(w) : int(mrCancel); }
};
}

class TestReportE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;
    std::unique_ptr<THookUi> m_ui;
    QTemporaryDir m_tmp;

    std::unique_ptr<TFrmReport> open(const QString& module)
    {
        auto* form = qobject_cast<TFrmReport*>(CallModule(nullptr, module));
        if (!form)
            qWarning() << module << m_ui->last();
        else
            form->show();
        return std::unique_ptr<TFrmReport>(form);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login",
                           {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        // The refund report reads the refunds downloaded into the books: download them first,
        // as the probe and the pages of the download dialog do.
        const TCaller admin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
        const auto page = [&](int no, int size) {
            return m_fx->call(admin, "NetShop.DownRefunds", {{"detailnick", "varnoq_demo"}, {"status", "REFUND_ALL"}, {"daynum", "90"},
                                                             {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
        };
        const TCallResult probe = page(1, 1);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        const int total = probe.value("total_results").trimmed().toInt();
        QVERIFY(total > 0);
        for (int p = 1; p <= (total + 49) / 50; ++p)
            QVERIFY(page(p, 50).ok);
        gNickId = QStringLiteral("1001");
        gOperId = QStringLiteral("admin");
        gShopId = QStringLiteral("S01");
        m_ui = std::make_unique<THookUi>();
        KxRegisterReportEngine();   // as the program does at start
    }
    void cleanupTestCase()
    {
        m_ui.reset();
        m_fx.reset();
        KxSetServiceUrl(QString());
    }
    void cleanup() { m_ui->onModal = nullptr; }

    // Daily sales: the search dialog comes up by itself; a date range gives one row per day
    // and shop that agrees with the orders; a row opens the orders of its day; the grid
    // prints and the receipt template previews into PDF files.
    void dailySalesSearchDrillPrint()
    {
        QString dialog;
        m_ui->onModal = [&](QWidget* w) {
            if (auto* s = qobject_cast<TFrmSearch*>(w))
                dialog = s->windowTitle();
            return int(mrCancel);
        };
        auto form = open(QStringLiteral("Report.Sales"));
        QVERIFY(form);
        QTRY_COMPARE(dialog, QStringLiteral("销售报表查询"));

        // Three days inside the demo's market, which lies in the weeks before today.
        const QDate first = QDate::fromString(
            m_fx->scalar("SELECT MIN(substr(created, 1, 10)) FROM kx_mk_trade WHERE nickid = '1001'").toString(), Qt::ISODate);
        QVERIFY2(first >= QDate::currentDate().addDays(-22) && first < QDate::currentDate(), qPrintable(first.toString()));
        const QString from = first.addDays(2).toString(Qt::ISODate), to = first.addDays(4).toString(Qt::ISODate);
        const QStringList conditions{"datefrom=" + from, "dateto=" + to};
        QVERIFY(form->Search(&conditions, 1));
        const QStringList days = column(form->DataSet(), QStringLiteral("saledate"));
        QVERIFY(!days.isEmpty());
        for (const QString& d : days)
            QVERIFY2(d >= from && d <= to, qPrintable(d));
        int trades = 0;
        for (const QString& n : column(form->DataSet(), QStringLiteral("tradecount")))
            trades += n.toInt();
        QCOMPARE(trades, m_fx->scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND pay_time <> ''"
                                      " AND substr(created, 1, 10) BETWEEN ? AND ?", {from, to}).toInt());
        QCOMPARE(form->RecordLabel()->text(),
                 QStringLiteral("记录总数：%1 条， 第 1 页/共 1 页").arg(days.size()));

        // Drill-down into the orders of the first row's day and shop.
        form->DataSet()->First();
        const QString day = form->DataSet()->FieldByName("saledate")->AsString();
        const QString nick = form->DataSet()->FieldByName("seller_nick")->AsString();
        QStringList tids;
        m_ui->onModal = [&](QWidget* w) {
            if (auto* r = qobject_cast<TFrmReport*>(w)) {
                r->show();
                tids = column(r->DataSet(), QStringLiteral("tid"));
            }
            return int(mrOk);
        };
        form->cxGrid1DblClick();
        QCOMPARE(tids.size(), m_fx->scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND pay_time <> ''"
                                           " AND substr(created, 1, 10) = ? AND seller_nick = ?", {day, nick}).toInt());
        QVERIFY(!tids.isEmpty());

        // The grid printed through the print dialog into a PDF file.
        const QString gridPdf = m_tmp.filePath(QStringLiteral("grid.pdf"));
        m_ui->onModal = [&](QWidget* w) {
            auto* dlg = qobject_cast<QPrintDialog*>(w);
            if (!dlg)
                return int(mrCancel);
            dlg->printer()->setOutputFormat(QPrinter::PdfFormat);
            dlg->printer()->setOutputFileName(gridPdf);
            return int(mrOk);
        };
        form->dxBL_PrintClick();
        const QString gridText = pdfText(gridPdf);
        QVERIFY2(inOrder(gridText, {"日期", "网店", "实付金额", days.first(), days.last()}), qPrintable(gridText));

        // The receipt template previewed and exported from the preview window.
        const QString binRmf = qEnvironmentVariable("KX_BIN_DIR") + QStringLiteral("/rmf/xiaoshouribao.rmf");
        QVERIFY2(QFile::exists(binRmf), qPrintable(binRmf));
        QDir().mkpath(KxProgramDir() + QStringLiteral("/rmf"));
        const QString rmf = KxProgramDir() + QStringLiteral("/rmf/xiaoshouribao.rmf");
        QFile::remove(rmf);
        QVERIFY(QFile::copy(binRmf, rmf));
        m_ui->saveAs = m_tmp.filePath(QStringLiteral("receipt.pdf"));
        int pages = 0;
        m_ui->onModal = [&](QWidget* w) {
            if (auto* p = qobject_cast<TRMPreviewForm*>(w)) {
                pages = p->PageCount();
                p->ExportPdf();
            }
            return int(mrOk);
        };
        form->dxBL_PrintReportClick();
        QCOMPARE(pages, 1);
        const QString receipt = pdfText(m_ui->saveAs);
        QVERIFY2(inOrder(receipt, {"销售日报", "日期", "实付金额", days.first(), days.last()}), qPrintable(receipt));
        QVERIFY2(QString(receipt).remove(u' ').contains(QStringLiteral("第1页/共1页")), qPrintable(receipt));
    }

    // Stock by storage and product: paged by the service, every page appended; the totals
    // agree with the stock table.
    void stockPagesAndBadInput()
    {
        auto form = open(QStringLiteral("Report.Stock"));
        QVERIFY(form);
        const QString storage = m_fx->scalar("SELECT storageid FROM kx_stock WHERE nickid = '1001' ORDER BY storageid").toString();
        const int count = m_fx->scalar("SELECT COUNT(*) FROM kx_stock WHERE nickid = '1001' AND storageid = ?", {storage}).toInt();
        QVERIFY(count > 0);
        const QStringList conditions{QStringLiteral("storageid=") + storage};
        QVERIFY(form->Search(&conditions, 1));
        form->btnRemainClick();
        QCOMPARE(form->DataSet()->RecordCount(), count);
        for (const QString& s : column(form->DataSet(), QStringLiteral("storageid")))
            QCOMPARE(s, storage);
        QCOMPARE(form->CurPage(), form->PageCount());

        // A day that is not one is refused by the service, and the rows stay.
        auto refunds = open(QStringLiteral("Report.Refund"));
        QVERIFY(refunds);
        const int before = refunds->DataSet()->RecordCount();
        QVERIFY(before > 0);
        m_ui->texts.clear();
        const QStringList bad{"datefrom=5月1日"};
        QVERIFY(!refunds->Search(&bad, 1));
        QVERIFY2(m_ui->last().contains(QStringLiteral("datefrom")), qPrintable(m_ui->last()));
        QCOMPARE(refunds->DataSet()->RecordCount(), before);
    }

    // The seeded reports show their codes by name and their counts as whole numbers.
    void seededReportsShowNamesAndWholeNumbers_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("named"); // false: a whole number
        QTest::newRow("refund status") << "Report.Refund" << "status" << true;
        QTest::newRow("refund goods status") << "Report.Refund" << "good_status" << true;
        QTest::newRow("order status") << "Report.SalesDetail" << "status" << true;
        QTest::newRow("orders a day") << "Report.Sales" << "tradecount" << false;
        QTest::newRow("stock") << "Report.Stock" << "stocknum" << false;
    }
    void seededReportsShowNamesAndWholeNumbers()
    {
        QFETCH(QString, module);
        QFETCH(QString, field);
        QFETCH(bool, named);
        auto form = open(module);
        QVERIFY(form);
        QVERIFY(form->Search(nullptr, 1));
        const TGridColumn* c = form->Grid()->ColumnByField(field);
        QVERIFY(c);
        QVERIFY(form->DataSet()->RecordCount() > 0);
        for (int r = 0; r < form->DataSet()->RecordCount(); ++r) {
            const QString text = form->Grid()->GridModel()->CellText(r, c);
            const bool ok = named ? !text.isEmpty() && text.at(0).unicode() >= 0x4E00
                                  : !text.isEmpty() && !text.contains(u'.');
            QVERIFY2(ok, qPrintable(text));
        }
    }

    void purchaseReportListsReceiptLines()
    {
        QSqlDatabase db = m_fx->db();
        KxSeedReceipts(db, QStringLiteral("1001"), 3, 2);
        auto form = open(QStringLiteral("Report.Receive"));
        QVERIFY(form);
        const QStringList all{};
        QVERIFY(form->Search(&all, 1));
        form->btnRemainClick();
        TPClientDataSet* ds = form->DataSet();
        QCOMPARE(ds->RecordCount(), m_fx->scalar("SELECT COUNT(*) FROM kx_receive_line WHERE nickid = '1001'").toInt());
        for (ds->First(); !ds->Eof(); ds->Next()) {
            QCOMPARE(ds->FieldByName(QStringLiteral("costmoney"))->AsDecimal(),
                     ds->FieldByName(QStringLiteral("receivenum"))->AsDecimal() * ds->FieldByName(QStringLiteral("costprice"))->AsDecimal());
            QCOMPARE(ds->FieldByName(QStringLiteral("statusname"))->AsString(), QStringLiteral("已保存"));
            QVERIFY(!ds->FieldByName(QStringLiteral("storagename"))->AsString().isEmpty());
        }
        // Narrowed to one supplier.
        ds->Last();
        const QString supplier = ds->FieldByName(QStringLiteral("suppliercode"))->AsString();
        const QStringList one{QStringLiteral("suppliercode=") + supplier};
        QVERIFY(form->Search(&one, 1));
        QVERIFY(ds->RecordCount() > 0);
        for (const QString& s : column(ds, QStringLiteral("suppliercode")))
            QCOMPARE(s, supplier);
    }
};

QTEST_MAIN(TestReportE2E)
#include "tst_report_e2e.moc"
