// The stocktake's windows end to end against the real service: a batch created and frozen
// from the batch form, a count sheet entered by scanning (each scan one piece), summarized and
// adjusted from their forms, the batch finished; then the book stock is what was scanned. The
// steps' refusals on a batch that is not effective, and a sheet with no effective batch.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "ufrmCheckAdj.h"
#include "ufrmCheckBatch.h"
#include "ufrmCheckEdit.h"
#include "ufrmCheckEmpty.h"
#include "ufrmCheckFroze.h"
#include "ufrmCheckSum.h"
#include "ufrmDocList.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};

template <typename T>
std::unique_ptr<T> openModule(const QString& name, const QStringList& params = {}, const QStringList& fixed = {})
{
    TfrmBase* base = CallModule(nullptr, name, params);
    auto* form = qobject_cast<T*>(base);
    if (!form) {
        delete base;
        return nullptr;
    }
    form->FixedConditions() << fixed;
    form->show();
    return std::unique_ptr<T>(form);
}
} // namespace

class TestCheckE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    qint64 stock(const QString& storage, const QString& code)
    {
        return m_fx->scalar("SELECT stocknum FROM kx_stock WHERE nickid = '1001' AND storageid = ? AND commoditycode = ?", {storage, code}).toLongLong();
    }
    QString barcode(const QString& code)
    {
        return m_fx->scalar("SELECT barcode FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {code}).toString();
    }
    // Types a code into the open line's code cell, as a scanner does, and presses Enter.
    void scan(TfrmCheckEdit* edit, const QString& code)
    {
        TPClientDataSet* lines = edit->Lines();
        if (lines->IsEmpty() || !lines->FieldByName("commoditycode")->AsString().isEmpty() || lines->RecNo() != lines->RecordCount())
            edit->AppendLine();
        lines->Last();
        lines->Edit();
        lines->FieldByName("commoditycode")->SetAsString(code);
        lines->Post();
        edit->CodeEntered(lines->RecordCount() - 1);
    }

    static Qt::ItemFlags tickFlags(TGridView* grid, int row, const char* field)
    {
        return grid->model()->flags(grid->model()->index(row, grid->IndexOfColumn(grid->ColumnByField(field))));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        gNickId = QStringLiteral("1001");
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gShopId = QStringLiteral("S01");
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }
    void init()
    {
        m_fx->ui.clear();
        m_fx->ui.answers.clear();
        m_fx->ui.onModal = {};
    }

    // Steps 3.1 to 5 and the count sheet need an effective batch; a new one is not.
    void stepsNeedAnEffectiveBatch()
    {
        auto form = openModule<TfrmCheckBatch>("Check.Module");
        QVERIFY(form);
        form->btnCreateClick();
        form->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));
        m_fx->ui.clear();
        form->btnPrintClick();
        form->btnInputClick();
        form->btnSumClick();
        form->btnAdjClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"只有生效的盘点批次才可以打印！", "只有生效的盘点批次才可以录入！", "只有生效的盘点批次才可以汇总！",
                                              "只有生效的盘点批次才可以汇总！"}));
        m_fx->ui.clear();
        auto edit = openModule<TfrmCheckEdit>("Check.Edit");
        QVERIFY(edit);
        edit->dxBL_NewClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"无生效的盘点批次，请创建盘点批次！"});
        QVERIFY(edit->Header()->IsEmpty());
        // Finishing a batch never frozen is allowed.
        m_fx->ui.clear();
        form->ListData()->Last();
        form->btnFinishClick();
        QCOMPARE(m_fx->ui.texts.last(), QStringLiteral("数据提交成功！"));
        QCOMPARE(form->ListData()->FieldByName("status")->AsInteger(), 2);
    }

    void scannedStocktake()
    {
        auto form = openModule<TfrmCheckBatch>("Check.Module");
        QVERIFY(form);
        const int listed = form->Pager()->RecordCount();
        form->btnCreateClick();
        form->dxBL_SaveClick();
        // The saved batch counts in the list at once.
        QCOMPARE(form->Pager()->RecordCount(), listed + 1);
        TPClientDataSet* batches = form->ListData();
        const QString batch = batches->FieldByName("checkcode")->AsString();
        QVERIFY(batch.startsWith("PC"));

        // Freeze CK03 from the dialog: nothing chosen is refused, then the storage is chosen.
        m_fx->ui.clear();
        m_fx->ui.onModal = [](QWidget* w) {
            auto* dialog = qobject_cast<TfrmCheckFroze*>(w);
            if (!dialog)
                return int(mrCancel);
            dialog->cxButton1Click();
            dialog->StorageBox()->setCurrentIndex(dialog->StorageBox()->findData(QStringLiteral("CK03")));
            dialog->cxButton1Click();
            return int(mrCancel);
        };
        form->btnFrozeClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"请选择需要盘点的仓库！", "【门市仓】, 库存冻结成功！"}));
        QCOMPARE(batches->FieldByName("status")->AsInteger(), 1);
        m_fx->ui.clear();
        form->btnCreateClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"还有未完成的盘点批次！"});

        // The empty sheet of the frozen storage lists its frozen products, not their stock.
        auto empty = openModule<TfrmCheckEmpty>("Check.Empty", {"checkcode=" + batch});
        QVERIFY(empty);
        m_fx->ui.clear();
        QVERIFY(!empty->LoadSheet());
        QCOMPARE(m_fx->ui.texts, QStringList{"请选择盘点仓库！"});
        empty->StorageBox()->setCurrentIndex(empty->StorageBox()->findData(QStringLiteral("CK03")));
        QVERIFY(empty->LoadSheet());
        QCOMPARE(empty->Sheet()->FieldByName("storagename")->AsString(), QStringLiteral("门市仓"));
        QCOMPARE(qint64(empty->Products()->RecordCount()),
                 m_fx->scalar("SELECT COUNT(*) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK03'").toLongLong());
        QVERIFY(!empty->Products()->FindField("stocknum"));

        // A sheet scanned: G100101 three times, G100102 once.
        const qint64 book1 = stock("CK03", "G100101"), book2 = stock("CK03", "G100102");
        auto edit = openModule<TfrmCheckEdit>("Check.Edit");
        QVERIFY(edit);
        edit->dxBL_NewClick();
        QCOMPARE(edit->Header()->FieldByName("checkcode")->AsString(), batch);
        // A sheet names its shelf and has no remark.
        QVERIFY(edit->HeaderEdit("rackcode") && !edit->HeaderEdit("memo"));
        m_fx->ui.clear();
        edit->dxBL_InsertClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"请选择盘点仓库！"});
        edit->StorageBox()->setCurrentIndex(edit->StorageBox()->findText(QStringLiteral("门市仓")));
        emit edit->StorageBox()->activated(edit->StorageBox()->currentIndex());
        QCOMPARE(edit->Header()->FieldByName("storageid")->AsString(), QStringLiteral("CK03"));
        m_fx->ui.clear();
        for (const QString& code : {barcode("G100101"), barcode("G100101"), barcode("G100102"), QStringLiteral("G100101")})
            scan(edit.get(), code);
        QVERIFY2(m_fx->ui.texts.isEmpty(), qPrintable(m_fx->ui.texts.join('|')));
        QStringList codes, nums;
        TPClientDataSet* l = edit->Lines();
        for (l->First(); !l->Eof(); l->Next()) {
            codes << l->FieldByName("commoditycode")->AsString();
            nums << l->FieldByName("checknum")->AsString();
        }
        QCOMPARE(codes, (QStringList{"G100101", "G100102", ""}));
        QCOMPARE(nums.mid(0, 2), (QStringList{"3.00", "1.00"}));
        // Pieces are shown and summed whole, and edited as they are shown.
        TGridView* lines = edit->LineGrid();
        TGridColumn* counted = lines->ColumnByField("checknum");
        QCOMPARE(lines->GridModel()->CellText(0, counted), QStringLiteral("3"));
        QCOMPARE(lines->FooterText(counted), QStringLiteral("4"));
        const QModelIndex cell = lines->model()->index(0, lines->IndexOfColumn(counted));
        std::unique_ptr<QWidget> editor(lines->itemDelegateForIndex(cell)->createEditor(lines->viewport(), {}, cell));
        lines->itemDelegateForIndex(cell)->setEditorData(editor.get(), cell);
        auto* typed = qobject_cast<QLineEdit*>(editor.get());
        QVERIFY(typed);
        QCOMPARE(typed->text(), QStringLiteral("3"));
        int at = 0;
        QString half = QStringLiteral("2.5");
        QCOMPARE(typed->validator()->validate(half, at), QValidator::Invalid);
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));
        const QString sheet = edit->Header()->FieldByName("checkid")->AsString();
        QVERIFY(!sheet.isEmpty());

        // Summarized from the summary form.
        auto sum = openModule<TfrmCheckSum>("Check.Sum", {"checkcode=" + batch});
        QVERIFY(sum);
        QCOMPARE(sum->ListData()->RecordCount(), 1);
        QCOMPARE(sum->Grid()->Column(0)->Caption, QStringLiteral("盘点单号"));
        QCOMPARE(sum->Grid()->Column(sum->Grid()->ColumnCount() - 2)->Caption, QStringLiteral("状态"));
        m_fx->ui.clear();
        sum->btnSumClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"无数据变动，不用提交数据汇总！"});
        m_fx->ui.clear();
        sum->btnSelectAllClick();
        sum->btnSumClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交汇总吗？", "数据提交汇总成功！"}));
        QVERIFY(sum->ListData()->FieldByName("auditren")->AsString().startsWith("[admin]"));
        // The summarized sheet's tick takes neither the focus nor a tick any more.
        QCOMPARE(tickFlags(sum->Grid(), 0, "issum"), Qt::NoItemFlags);
        // The summarized sheet is read-only.
        edit->Header()->Edit();
        edit->Header()->FieldByName("issum")->SetAsBoolean(true);
        edit->Header()->Post();
        m_fx->ui.clear();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"已汇总的盘点单，不能再改动！"});

        // Adjusted from the adjustment form: two storages' worth of rows would make two
        // documents; here CK03 makes one, opened for the operator afterwards. Pages of two
        // rows: "全 选" ticks the whole list, not the page loaded.
        auto adj = openModule<TfrmCheckAdj>("Check.Adj", {"checkcode=" + batch}, {"pagesize=2"});
        QVERIFY(adj);
        QCOMPARE(adj->ListData()->RecordCount(), 2);
        QStringList opened;
        // Open rows take a tick; moving to another row leaves the tick column.
        TGridView* grid = adj->Grid();
        QVERIFY(tickFlags(grid, 0, "isadj") & Qt::ItemIsUserCheckable);
        grid->setCurrentIndex(grid->model()->index(0, grid->IndexOfColumn(grid->ColumnByField("isadj"))));
        grid->setCurrentIndex(grid->model()->index(1, grid->IndexOfColumn(grid->ColumnByField("isadj"))));
        QCOMPARE(grid->currentIndex().row(), 1);
        QVERIFY(grid->Column(grid->currentIndex().column()) != grid->ColumnByField("isadj"));
        adj->btnSelectAllClick();
        QCOMPARE(qint64(adj->ListData()->RecordCount()),
                 m_fx->scalar("SELECT COUNT(*) FROM kx_checkdiff WHERE nickid = '1001' AND checkcode = ?", {batch}).toLongLong());
        // Pieces are whole; the totals under the list are pieces and money over or short.
        QCOMPARE(grid->GridModel()->CellText(0, grid->ColumnByField("checknum")), QStringLiteral("3"));
        double shortMoney = 0;
        for (int i = 0; i < adj->ListData()->RecordCount(); ++i)
            shortMoney += adj->ListData()->ValueAt(i, adj->ListData()->FieldByName("checkstockmoney")).toDouble();
        QCOMPARE(grid->FooterText(grid->ColumnByField("checkstockmoney")), QString::number(shortMoney, 'f', 2));
        // Printed, the list is the batch's difference report, of every page.
        auto report = openModule<TfrmCheckAdj>("Check.Adj", {"checkcode=" + batch}, {"pagesize=2"});
        m_fx->ui.onModal = [](QWidget*) { return int(mrCancel); };
        report->Tool(KxTool::Preview)->click();
        QCOMPARE(report->ListData()->RecordCount(), adj->ListData()->RecordCount());
        QCOMPARE(adj->PrintOptions().Title, QStringLiteral("盘点差异表"));
        QCOMPARE(adj->PrintOptions().Conditions.value(0), "盘点批次：" + batch);
        // The adjustment opened afterwards shows that money as its lines' amounts.
        m_fx->ui.onModal = [&](QWidget* w) {
            opened << w->metaObject()->className();
            if (auto* list = qobject_cast<TfrmDocList*>(w)) {
                list->show();
                opened << list->DetailGrid()->FooterText(list->DetailGrid()->ColumnByField("sumcostprice"));
            }
            return int(mrCancel);
        };
        m_fx->ui.clear();
        adj->btnAdjustClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"真的需要提交调整库存吗？"});
        for (int i = 0; i < adj->ListData()->RecordCount(); ++i)
            QCOMPARE(tickFlags(grid, i, "isadj"), Qt::NoItemFlags);
        QCOMPARE(adj->AdjustHeaders()->RecordCount(), 1);
        QVERIFY(adj->AdjustHeaders()->FieldByName("adjustid")->AsString().startsWith("TZ"));
        QCOMPARE(opened, (QStringList{"TfrmAdjust", QString::number(shortMoney, 'f', 2)}));
        QCOMPARE(stock("CK03", "G100101"), 3);
        QCOMPARE(stock("CK03", "G100102"), 1);
        QCOMPARE(stock("CK03", "G100103"), 0);
        QVERIFY(book1 != 3 || book2 != 1);
        m_fx->ui.clear();
        adj->btnAdjustClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"无数据变动，不用提交数据汇总！"});

        // Finished.
        m_fx->ui.clear();
        form->btnFinishClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要结束盘点吗？结束后不能再输入盘点数据与盘点调整。", "真的需要提交修改吗？", "数据提交成功！"}));
        QCOMPARE(m_fx->scalar("SELECT status FROM kx_checkbatch WHERE nickid = '1001' AND checkcode = ?", {batch}).toInt(), 2);
    }
};

QTEST_MAIN(TestCheckE2E)
#include "tst_check_e2e.moc"
