// DataSetModel: checked by QAbstractItemModelTester through every kind of change, plus what
// views read and write through it.

#include "CdsTestSupport.h"
#include "DataSetModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

void loadRows(TPClientDataSet& ds)
{
    QVERIFY(ds.SetKXXMLData(packet("id:integer,name:string,amount:decimal,paid:boolean",
                                   {R"(id="1" name="a" amount="1.5" paid="1")", R"(id="2" name="b" amount="2" paid="0")",
                                    R"(id="3" name="c")"})));
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void followsEveryChange();
    void rolesAndHeaders();
    void setDataWritesThroughTheDataSet();
    void disabledControlsGiveOneReset();
    void currentRowRoleFollowsTheCursor();
};

void TestModel::followsEveryChange()
{
    TPClientDataSet ds;
    DataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);

    loadRows(ds);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 4);
    QVERIFY(ds.KXAppendData(packet("id:integer", {R"(id="4")", R"(id="5")"})));
    QCOMPARE(model.rowCount(), 5);

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    ds.SetRecNo(2);
    ds.Delete();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 1);
    QCOMPARE(model.rowCount(), 4);

    ds.Insert();
    QCOMPARE(model.rowCount(), 5);
    ds.Cancel();
    QCOMPARE(model.rowCount(), 4);
    ds.Append();
    ds.FieldByName("id")->SetAsInteger(6);
    ds.Post();
    QCOMPARE(model.index(4, 0).data().toString(), QString("6"));

    QVERIFY(ds.SetFilter("id>3"));
    ds.SetFiltered(true);
    QCOMPARE(model.rowCount(), 3);
    // An edit that leaves the filter removes the row from views.
    ds.First();
    ds.Edit();
    ds.FieldByName("id")->SetAsInteger(0);
    ds.Post();
    QCOMPARE(model.rowCount(), 2);
    ds.SetFiltered(false);
    ds.CancelUpdates();
    QCOMPARE(model.rowCount(), 5);

    ds.FieldByName("amount")->SetVisible(false);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.ColumnOf("amount"), -1);
    ds.Close();
    QCOMPARE(model.rowCount(), 0);
}

void TestModel::rolesAndHeaders()
{
    TPClientDataSet ds;
    loadRows(ds);
    DataSetModel model(&ds);
    const int amount = model.ColumnOf("amount"), paid = model.ColumnOf("paid");
    QCOMPARE(model.index(0, amount).data().toString(), QString("1.50"));
    QCOMPARE(model.index(0, amount).data(Qt::EditRole).value<TDecimal>(), TDecimal::FromMantissa(150, 2));
    QCOMPARE(model.index(2, amount).data(Qt::EditRole), QVariant());
    QCOMPARE(model.index(0, paid).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.index(1, paid).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!model.index(0, paid).data().isValid());
    QVERIFY(model.flags(model.index(0, paid)) & Qt::ItemIsUserCheckable);
    QVERIFY(model.flags(model.index(0, amount)) & Qt::ItemIsEditable);
    QVERIFY(!model.index(9, 0).data().isValid());

    QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
    QVERIFY(model.SetFieldCaption("amount", "金额"));
    QCOMPARE(headers.size(), 1);
    QCOMPARE(model.headerData(amount, Qt::Horizontal).toString(), QString("金额"));
    QCOMPARE(model.headerData(amount, Qt::Horizontal, DataSetModel::FieldNameRole).toString(), QString("amount"));

    // Captions stay with the field through a reload of the same structure.
    loadRows(ds);
    QCOMPARE(model.headerData(amount, Qt::Horizontal).toString(), QString("金额"));
}

void TestModel::setDataWritesThroughTheDataSet()
{
    TPClientDataSet ds;
    loadRows(ds);
    DataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(1, model.ColumnOf("name")), "bb"));
    QVERIFY(model.setData(model.index(2, model.ColumnOf("paid")), int(Qt::Checked), Qt::CheckStateRole));
    QCOMPARE(ds.ChangeCount(), 2);
    QCOMPARE(ds.State(), dsBrowse);
    QCOMPARE(model.index(1, model.ColumnOf("name")).data().toString(), QString("bb"));
    QVERIFY(!changed.isEmpty());

    ReporterSpy spy;
    QVERIFY(!model.setData(model.index(0, model.ColumnOf("amount")), "lots"));
    QCOMPARE(ds.ChangeCount(), 2);
    QCOMPARE(ds.State(), dsBrowse);
}

void TestModel::disabledControlsGiveOneReset()
{
    TPClientDataSet ds;
    loadRows(ds);
    DataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    ds.DisableControls();
    ds.DisableControls();
    for (int i = 0; i < 10; ++i) {
        ds.Append();
        ds.FieldByName("id")->SetAsInteger(10 + i);
        ds.Post();
    }
    ds.First();
    ds.Delete();
    ds.EnableControls();
    QVERIFY(ds.ControlsDisabled());
    QCOMPARE(model.rowCount(), 3);   // views still see what they were last told
    ds.EnableControls();
    QVERIFY(!ds.ControlsDisabled());

    QCOMPARE(resets.size(), 1);
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(changes.size(), 0);
    QCOMPARE(model.rowCount(), 12);
}

void TestModel::currentRowRoleFollowsTheCursor()
{
    TPClientDataSet ds;
    loadRows(ds);
    DataSetModel model(&ds);
    QVERIFY(model.index(0, 0).data(DataSetModel::CurrentRowRole).toBool());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ds.Last();
    QVERIFY(!model.index(0, 0).data(DataSetModel::CurrentRowRole).toBool());
    QVERIFY(model.index(2, 1).data(DataSetModel::CurrentRowRole).toBool());
    QCOMPARE(changed.size(), 2);   // the old and the new current row
    QCOMPARE(changed.at(1).at(2).value<QList<int>>(), QList<int>{DataSetModel::CurrentRowRole});
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_cds_model.moc"
