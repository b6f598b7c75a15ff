// Purchase receipts end to end against the real service: a receipt typed with the keyboard
// alone, saved, audited, and the stock in the product picker risen by the quantities; the
// service's refusals, a cancelled audit, renumbered lines and an unreachable service.
#include "ReceiptSeed.h"
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uFrmSelect.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "ufrmReceive.h"
#include "ufrmReceiveEdit.h"

#include <QAction>
#include <QApplication>
#include <QTableWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};

QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    const TBookmark at = ds->GetBookmark();
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    if (!ds->IsEmpty())
        ds->GotoBookmark(at);
    return out;
}

// Keys go where the focus is, as the operator's do: the grid, then the cell editor it opens.
void typeKeys(const QString& text)
{
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}
void pressEnter()
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // The grid reacts to an entry once its editor has closed.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
} // namespace

class TestReceiveE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    std::unique_ptr<TfrmReceiveEdit> openEdit(const QString& id)
    {
        TfrmBase* base = CallModule(nullptr, QStringLiteral("Receive.Edit"));
        auto* edit = qobject_cast<TfrmReceiveEdit*>(base);
        if (!edit) {
            delete base;
            return nullptr;
        }
        edit->FixedConditions() << QStringLiteral("receiveid=") + id;
        edit->show();
        edit->activateWindow();
        if (!QTest::qWaitForWindowActive(edit))
            qWarning("the edit window did not become active");
        m_fx->ui.clear();
        return std::unique_ptr<TfrmReceiveEdit>(edit);
    }
    // The stock of a product in a storage, as the product picker shows it.
    int stockOf(const QString& code, const QString& storage)
    {
        TPClientDataSet rows;
        if (KxLookup(nullptr, QStringLiteral("Select.Commodity"),
                     {QStringLiteral("commoditycode=") + code, QStringLiteral("storageid=") + storage}, &rows)
            != TKxLookupResult::Found)
            return -1;
        return rows.FieldByName(QStringLiteral("stocknum"))->AsInteger();
    }
    // A saved receipt with the given codes, each of quantity 1, entered through the window.
    QString saveReceipt(const QStringList& codes)
    {
        auto edit = openEdit(QString());
        if (!edit)
            return {};
        edit->PartyEdit()->setText(QStringLiteral("GY001"));
        edit->PartyEnter();
        edit->StorageBox()->setCurrentIndex(0);
        emit edit->StorageBox()->activated(0);
        TPClientDataSet* l = edit->Lines();
        for (const QString& code : codes) {
            edit->AppendLine();
            l->Edit();
            l->FieldByName(QStringLiteral("commoditycode"))->SetAsString(code);
            l->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(1);
            l->Post();
        }
        edit->dxBL_SaveClick();
        if (m_fx->ui.last() != QStringLiteral("数据提交成功！"))
            return QStringLiteral("<%1>").arg(m_fx->ui.last());
        return edit->Header()->FieldByName(QStringLiteral("receiveid"))->AsString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login",
                           {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
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
    }

    void keyboardReceiptSavedAuditedRaisesStock()
    {
        const int before1 = stockOf(QStringLiteral("G100101"), QStringLiteral("CK01"));
        const int before2 = stockOf(QStringLiteral("G100205"), QStringLiteral("CK01"));
        QVERIFY(before1 >= 0 && before2 >= 0);

        auto edit = openEdit(QString());
        QVERIFY(edit);
        QCOMPARE(QApplication::focusWidget(), edit->PartyEdit());
        typeKeys(QStringLiteral("GY001"));
        pressEnter();
        QCOMPARE(edit->HeaderEdit(QStringLiteral("suppliername"))->text(), QStringLiteral("杭州织造有限公司"));
        // Tab to the storage, Down chooses the first one; Tab past the remark into the lines.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), edit->StorageBox());
        QTest::keyClick(edit->StorageBox(), Qt::Key_Down);
        QCOMPARE(edit->Header()->FieldByName(QStringLiteral("storageid"))->AsString(), QStringLiteral("CK01"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), edit->HeaderEdit(QStringLiteral("memo")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), edit->LineGrid());

        // The lines: code, Enter, quantity, Enter, code, ...
        typeKeys(QStringLiteral("G100101"));
        pressEnter();
        typeKeys(QStringLiteral("5"));
        pressEnter();
        typeKeys(QStringLiteral("6910000014")); // scanned: the barcode of G100205
        pressEnter();
        typeKeys(QStringLiteral("12"));
        pressEnter();
        TPClientDataSet* lines = edit->Lines();
        QCOMPARE(column(lines, QStringLiteral("commoditycode")), (QStringList{"G100101", "G100205", ""}));
        QCOMPARE(column(lines, QStringLiteral("receivenum")), (QStringList{"5.00", "12.00", ""}));
        QCOMPARE(column(lines, QStringLiteral("sumcostprice")).mid(0, 2), (QStringList{"110.00", "312.00"}));
        QVERIFY(m_fx->ui.texts.isEmpty());

        QTest::mouseClick(edit->Button(QStringLiteral("保 存")), Qt::LeftButton);
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交修改吗？", "数据提交成功！"}));
        const QString id = edit->Header()->FieldByName(QStringLiteral("receiveid"))->AsString();
        QVERIFY2(id.startsWith(QStringLiteral("RK")), qPrintable(id));
        QCOMPARE(edit->Header()->FieldByName(QStringLiteral("receivemoney"))->AsString(), QStringLiteral("422.00"));
        QCOMPARE(column(lines, QStringLiteral("seq")), (QStringList{"1", "2"}));
        QCOMPARE(edit->StatusLabel()->text(), QStringLiteral("已保存"));
        // Saved, not yet posted to stock.
        QCOMPARE(stockOf(QStringLiteral("G100101"), QStringLiteral("CK01")), before1);

        // A second window on the same document, opened before the audit.
        auto other = openEdit(id);
        QVERIFY(other);
        m_fx->ui.clear();
        QTest::mouseClick(edit->Button(QStringLiteral("审 核")), Qt::LeftButton);
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交审核吗？", "数据提交审核成功！"}));
        QCOMPARE(edit->Header()->FieldByName(QStringLiteral("status"))->AsInteger(), 2);
        QCOMPARE(edit->StatusLabel()->text(), QStringLiteral("已审核"));
        QCOMPARE(stockOf(QStringLiteral("G100101"), QStringLiteral("CK01")), before1 + 5);
        QCOMPARE(stockOf(QStringLiteral("G100205"), QStringLiteral("CK01")), before2 + 12);

        // This window refuses by itself; the other, which still sees status 1, is refused by the
        // service and keeps its change.
        m_fx->ui.clear();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"非新建状态的单据，不能再改动！"});
        TPClientDataSet* l2 = other->Lines();
        l2->First();
        l2->Edit();
        l2->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(50);
        l2->Post();
        m_fx->ui.clear();
        other->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts.size(), 2);
        QVERIFY2(m_fx->ui.texts.last().contains(QStringLiteral("已审核")), qPrintable(m_fx->ui.texts.last()));
        QVERIFY(l2->ChangeCount() > 0);
        QCOMPARE(stockOf(QStringLiteral("G100101"), QStringLiteral("CK01")), before1 + 5);
        other->dxBL_RefreshClick();
        QCOMPARE(column(other->Lines(), QStringLiteral("receivenum")), (QStringList{"5.00", "12.00"}));
    }

    void cancelledAuditLeavesTheDocumentSaved()
    {
        const QString id = saveReceipt({QStringLiteral("G100301")});
        QVERIFY2(id.startsWith(QStringLiteral("RK")), qPrintable(id));
        auto edit = openEdit(id);
        m_fx->ui.answers << mrCancel;
        edit->dxBL_AuditClick();
        QCOMPARE(m_fx->ui.texts, QStringList{"真的需要提交审核吗？"});
        TPClientDataSet* h = edit->Header();
        QCOMPARE(h->FieldByName(QStringLiteral("status"))->AsInteger(), 1);
        QCOMPARE(h->FieldByName(QStringLiteral("auditren"))->AsString(), QString());
        edit->dxBL_RefreshClick();
        QCOMPARE(h->FieldByName(QStringLiteral("status"))->AsInteger(), 1);
    }

    void deletingLineTwoOfFiveRenumbersAtTheService()
    {
        const QStringList codes{"G100101", "G100102", "G100103", "G100104", "G100105"};
        const QString id = saveReceipt(codes);
        QVERIFY2(id.startsWith(QStringLiteral("RK")), qPrintable(id));
        auto edit = openEdit(id);
        edit->Lines()->SetRecNo(2);
        edit->dxBL_DeleteClick();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));
        auto again = openEdit(id);
        QCOMPARE(column(again->Lines(), QStringLiteral("commoditycode")), (QStringList{"G100101", "G100103", "G100104", "G100105"}));
        QCOMPARE(column(again->Lines(), QStringLiteral("seq")), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(again->Header()->FieldByName(QStringLiteral("receivemoney"))->AsString(), QStringLiteral("88.00"));
    }

    // "修改记录" on the edit window's context menu shows who changed line 3 from 1 to 7.
    void historyShowsWhoChangedALine()
    {
        const QString id = saveReceipt({"G100101", "G100102", "G100103"});
        QVERIFY2(id.startsWith(QStringLiteral("RK")), qPrintable(id));
        auto edit = openEdit(id);
        edit->Lines()->SetRecNo(3);
        edit->Lines()->Edit();
        edit->Lines()->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(7);
        edit->Lines()->Post();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));
        auto* entry = edit->findChild<QAction*>(QStringLiteral("actHistory"));
        QVERIFY(entry && entry->isVisible());
        QVERIFY(edit->actions().contains(entry) && edit->LineGrid()->actions().contains(entry));
        QStringList shown;
        m_fx->ui.onModal = [&](QWidget* w) {
            auto* table = w->findChild<QTableWidget*>();
            for (int r = 0; table && r < table->rowCount(); ++r)
                shown << table->item(r, 3)->text() + u' ' + table->item(r, 4)->text();
            return int(mrCancel);
        };
        entry->trigger();
        m_fx->ui.onModal = {};
        QVERIFY2(shown.size() == 2, qPrintable(m_fx->ui.last() + shown.join(u'|')));
        QCOMPARE(shown[0], QStringLiteral("修改 第 3 行 G100103 数量: 1 → 7"));
        QVERIFY2(shown[1].startsWith(QStringLiteral("新建 ")), qPrintable(shown[1]));
    }

    void twoWindowsSaveTheirOwnLinesOfOneDocument()
    {
        const QString id = saveReceipt({QStringLiteral("G100301"), QStringLiteral("G100302")});
        QVERIFY2(id.startsWith(QStringLiteral("RK")), qPrintable(id));
        auto first = openEdit(id);
        auto second = openEdit(id);
        const auto setQuantity = [](TfrmReceiveEdit* w, int recNo, int qty) {
            w->Lines()->SetRecNo(recNo);
            w->Lines()->Edit();
            w->Lines()->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(qty);
            w->Lines()->Post();
        };
        setQuantity(first.get(), 1, 4);
        setQuantity(second.get(), 2, 6);
        m_fx->ui.clear();
        first->dxBL_SaveClick();
        second->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交修改吗？", "数据提交成功！", "真的需要提交修改吗？", "数据提交成功！"}));
        // The later window shows both changes, and the total counts both.
        QCOMPARE(column(second->Lines(), QStringLiteral("receivenum")), (QStringList{"4.00", "6.00"}));
        QCOMPARE(second->Header()->FieldByName(QStringLiteral("receivemoney"))->AsString(), QStringLiteral("300.00"));
    }

    void unknownProductRefusedByTheServiceKeepsTheChanges()
    {
        auto edit = openEdit(QString());
        edit->PartyEdit()->setText(QStringLiteral("GY001"));
        edit->PartyEnter();
        edit->StorageBox()->setCurrentIndex(0);
        emit edit->StorageBox()->activated(0);
        edit->dxBL_InsertClick();
        TPClientDataSet* l = edit->Lines();
        l->Edit();
        l->FieldByName(QStringLiteral("commoditycode"))->SetAsString(QStringLiteral("NO-SUCH"));
        l->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(2);
        l->Post();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts.size(), 2);
        QVERIFY2(m_fx->ui.texts.last().contains(QStringLiteral("NO-SUCH")), qPrintable(m_fx->ui.texts.last()));
        QVERIFY(l->ChangeCount() > 0 && edit->Header()->ChangeCount() > 0);
        QCOMPARE(edit->Header()->FieldByName(QStringLiteral("receiveid"))->AsString(), QString());
    }

    void unreachableServiceKeepsTheChanges()
    {
        const QString id = saveReceipt({QStringLiteral("G100401")});
        auto edit = openEdit(id);
        TPClientDataSet* l = edit->Lines();
        l->Edit();
        l->FieldByName(QStringLiteral("receivenum"))->SetAsInteger(7);
        l->Post();
        // Nothing listens on the port the service had been moved to.
        KxSetServiceUrl(QStringLiteral("http://127.0.0.1:9/Service.aspx"));
        KxResetTransport();
        edit->dxBL_SaveClick();
        KxSetServiceUrl(m_fx->url());
        KxResetTransport();
        QCOMPARE(m_fx->ui.texts.size(), 2);
        QVERIFY(l->ChangeCount() > 0);
        QCOMPARE(column(l, QStringLiteral("receivenum")), QStringList{"7.00"});
        // Once the service is back the same changes go through.
        m_fx->ui.clear();
        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.last(), QStringLiteral("数据提交成功！"));
        QCOMPARE(l->ChangeCount(), 0);
    }

    void listShowsTheReceiptsAndTheirLines()
    {
        const QString id = saveReceipt({QStringLiteral("G100501"), QStringLiteral("G100502")});
        TfrmBase* base = CallModule(nullptr, QStringLiteral("Receive.Module"));
        std::unique_ptr<TfrmReceive> list(qobject_cast<TfrmReceive*>(base));
        QVERIFY(list);
        list->show();
        QVERIFY(list->Documents()->Locate(QStringLiteral("receiveid"), id));
        QCOMPARE(column(list->Lines(), QStringLiteral("commoditycode")), (QStringList{"G100501", "G100502"}));
        const int row = list->Documents()->RecNo() - 1;
        TGridModel* m = list->Grid()->GridModel();
        QCOMPARE(m->CellText(row, list->Grid()->ColumnByField(QStringLiteral("storageid"))), QStringLiteral("杭州发货仓"));
        QCOMPARE(m->CellText(row, list->Grid()->ColumnByField(QStringLiteral("status"))), QStringLiteral("已保存"));
        QCOMPARE(list->Grid()->ColumnByField(QStringLiteral("receiveid"))->Caption, QStringLiteral("单据号"));
    }

    void pagesLoadUntilPausedAndThenToTheEnd()
    {
        QSqlDatabase db = m_fx->db();
        KxSeedReceipts(db, QStringLiteral("1001"), 250, 2);
        std::unique_ptr<TfrmReceive> list(qobject_cast<TfrmReceive*>(CallModule(nullptr, QStringLiteral("Receive.Module"))));
        QVERIFY(list);
        list->show();
        TKxPager* pager = list->Pager();
        const int total = pager->RecordCount();
        QVERIFY(total >= 250);
        QCOMPARE(pager->PageCount(), (total + 99) / 100);
        QVERIFY(list->Search(nullptr, 1));
        QCOMPARE(list->Documents()->RecordCount(), 100);

        // "暂 停" pressed while the second page comes in: the loop stops before the third.
        const QMetaObject::Connection pause = connect(pager, &TKxPager::pageChanged, list.get(), [&] { list->btnPauseClick(); });
        list->btnRemainClick();
        disconnect(pause);
        QCOMPARE(pager->CurPage(), 2);
        QCOMPARE(list->Documents()->RecordCount(), 200);

        list->btnRemainClick();
        QCOMPARE(pager->CurPage(), pager->PageCount());
        QCOMPARE(list->Documents()->RecordCount(), total);
        const QStringList ids = column(list->Documents(), QStringLiteral("receiveid"));
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), total);
        QCOMPARE(list->RecordLabel()->text(),
                 QStringLiteral("记录总数：%1 条， 第 %2 页/共 %2 页").arg(total).arg(pager->PageCount()));
    }

    // The product picker of a receipt offers the products of the goods its supplier delivers.
    void productPickerOffersTheSuppliersGoods()
    {
        auto edit = openEdit(QString());
        QVERIFY(edit);
        edit->PartyEdit()->setText(QStringLiteral("GY002"));
        edit->PartyEnter();
        edit->StorageBox()->setCurrentIndex(0);
        emit edit->StorageBox()->activated(0);
        QStringList fixed, offered;
        m_fx->ui.onModal = [&](QWidget* w) {
            auto* select = qobject_cast<TFrmSelect*>(w);
            fixed = select->FixedConditions();
            select->Search(nullptr, 1);
            offered = column(select->ListDataSet(), QStringLiteral("goodscode"));
            select->btnAllSelectClick();
            select->btnSelectClick();
            return select->ModalResult();
        };
        edit->ProductButtonClick(0);
        m_fx->ui.onModal = nullptr;
        QVERIFY2(fixed.contains(QStringLiteral("suppliercode=GY002")), qPrintable(fixed.join(u',')));
        const QStringList goods{"G1001", "G1002", "G1003", "G1004", "G1005", "G1006"};
        QVERIFY(!offered.isEmpty());
        for (const QString& g : offered)
            QVERIFY2(goods.contains(g), qPrintable(g));
        QCOMPARE(QSet<QString>(offered.begin(), offered.end()).size(), goods.size());
        QCOMPARE(edit->Lines()->RecordCount(), offered.size());
    }
};

QTEST_MAIN(TestReceiveE2E)
#include "tst_receive_e2e.moc"
