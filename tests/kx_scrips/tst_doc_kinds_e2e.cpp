// Every stock and price document end to end against the real service: each kind typed with the
// keyboard in its own edit window (storages chosen, then code, Enter, the entry columns, Enter),
// saved and audited; then the stock of each storage and the prices, as the product picker shows
// them, have moved as the kind says.
#include "ServiceFixture.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uFrmSelect.h"
#include "uGridView.h"
#include "ufrmDocEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};

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

class TestDocKindsE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    // A product as the picker shows it in a storage: its stock and prices.
    QString productValue(const QString& code, const QString& storage, const QString& field)
    {
        TPClientDataSet rows;
        if (KxLookup(nullptr, QStringLiteral("Select.Commodity"),
                     {QStringLiteral("commoditycode=") + code, QStringLiteral("storageid=") + storage}, &rows)
            != TKxLookupResult::Found)
            return QStringLiteral("<not found>");
        return rows.FieldByName(field)->AsString();
    }
    // "code@storage" → stock, "code.field" → a price (of the storage CK01).
    QString observe(const QString& what)
    {
        const qsizetype at = what.indexOf(QLatin1Char('@'));
        if (at > 0)
            return productValue(what.left(at), what.mid(at + 1), QStringLiteral("stocknum"));
        const qsizetype dot = what.indexOf(QLatin1Char('.'));
        return productValue(what.left(dot), QStringLiteral("CK01"), what.mid(dot + 1));
    }
    // Chooses the entry of a storage or shop box by its key, as a click in the list would.
    static bool choose(TfrmDocEdit* edit, const QString& field, const QString& key)
    {
        QComboBox* box = edit->HeaderBox(field);
        if (!box)
            return false;
        for (int i = 0; i < box->count(); ++i)
            if (box->itemText(i).contains(key) || box->itemData(i).toString() == key) {
                box->setCurrentIndex(i);
                emit box->activated(i);
                return true;
            }
        // The box lists its data set's names: find the key's row there.
        TPClientDataSet* from = field.contains(QLatin1String("shop")) && edit->Shops() ? edit->Shops() : edit->Storages();
        const QString keyField = field.contains(QLatin1String("shop")) ? QStringLiteral("shopcode") : QStringLiteral("storageid");
        int row = 0;
        for (from->First(); !from->Eof(); from->Next(), ++row)
            if (from->FieldByName(keyField)->AsString() == key && row < box->count()) {
                box->setCurrentIndex(row);
                emit box->activated(row);
                return true;
            }
        return false;
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

    void kindSavedAuditedMovesStockAndPrices_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QStringList>("header");   // box field=key, chosen in order
        QTest::addColumn<QStringList>("entries");  // typed into the lines, each followed by Enter
        QTest::addColumn<QStringList>("expected"); // what=change of a stock, what==value of a price

        // Rows run in order: the sale price set by the product price document is the one the
        // retail outbound after it takes.
        QTest::newRow("product price") << "AdjustItemPrice.Edit" << QStringList{}
                                       << QStringList{"G100205", "88", "70"}
                                       << QStringList{"G100205.saleprice==88.00", "G100205.wholesale==70.00"};
        QTest::newRow("retail outbound") << "Output.Edit" << QStringList{"storageid=CK03"}
                                         << QStringList{"G100205", "3", "1.5"}
                                         << QStringList{"G100205@CK03=-3", "line.saleprice==88.00", "line.sumsaleprice==259.50"};
        QTest::newRow("wholesale outbound") << "Whole.Edit" << QStringList{"storageid=CK03"}
                                            << QStringList{"G100101", "4", "0"}
                                            << QStringList{"G100101@CK03=-4"};
        QTest::newRow("purchase return") << "Result.Edit" << QStringList{"party=GY001", "storageid=CK04"}
                                         << QStringList{"G100101", "2"}
                                         << QStringList{"G100101@CK04=-2"};
        QTest::newRow("transfer") << "Allocate.Edit" << QStringList{"out_storageid=CK01", "in_shopcode=S01", "in_storageid=CK02"}
                                  << QStringList{"G100101", "10"}
                                  << QStringList{"G100101@CK01=-10", "G100101@CK02=10"};
        QTest::newRow("stock adjustment") << "Adjust.Edit" << QStringList{"storageid=CK02"}
                                          << QStringList{"G100101", "-3", "G100205", "5"}
                                          << QStringList{"G100101@CK02=-3", "G100205@CK02=5"};
        QTest::newRow("goods cost") << "AdjustCost.Edit" << QStringList{}
                                    << QStringList{"G1003", "31"}
                                    << QStringList{"G100301.costprice==31.00", "G100309.costprice==31.00"};
        QTest::newRow("goods price") << "AdjustPrice.Edit" << QStringList{}
                                     << QStringList{"G1004", "129", "99"}
                                     << QStringList{"G100401.saleprice==129.00", "G100402.wholesale==99.00"};
        QTest::newRow("product cost") << "AdjustItemCost.Edit" << QStringList{}
                                      << QStringList{"G100102", "19.5"}
                                      << QStringList{"G100102.costprice==19.50"};
    }
    void kindSavedAuditedMovesStockAndPrices()
    {
        QFETCH(QString, module);
        QFETCH(QStringList, header);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);

        QHash<QString, int> before;
        for (const QString& e : expected)
            if (!e.contains(QLatin1String("==")))
                before.insert(e.section(QLatin1Char('='), 0, 0), observe(e.section(QLatin1Char('='), 0, 0)).toInt());

        TfrmBase* base = CallModule(nullptr, module);
        auto* edit = qobject_cast<TfrmDocEdit*>(base);
        if (!edit)
            delete base;
        QVERIFY2(edit, qPrintable(module));
        std::unique_ptr<TfrmDocEdit> owner(edit);
        edit->FixedConditions() << edit->Def().idField + QLatin1Char('=');
        edit->show();
        edit->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(edit));
        m_fx->ui.clear();

        for (const QString& h : header) {
            const QString field = h.section(QLatin1Char('='), 0, 0), key = h.section(QLatin1Char('='), 1);
            if (field == QLatin1String("party")) {
                edit->PartyEdit()->setFocus();
                typeKeys(key);
                pressEnter();
                continue;
            }
            QVERIFY2(choose(edit, field, key), qPrintable(h));
        }
        // The remark, then Tab into the lines, which opens the first line on its code.
        QLineEdit* memo = edit->HeaderEdit(QStringLiteral("memo"));
        QVERIFY(memo);
        memo->setFocus();
        typeKeys(QStringLiteral("e2e"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit->LineGrid()));
        for (const QString& e : entries) {
            typeKeys(e);
            pressEnter();
        }
        QVERIFY2(m_fx->ui.texts.isEmpty(), qPrintable(m_fx->ui.texts.join(QLatin1Char('|'))));
        for (const QString& e : expected)
            if (e.startsWith(QLatin1String("line."))) {
                TPClientDataSet* l = edit->Lines();
                l->First();
                QCOMPARE(l->FieldByName(e.section(QLatin1Char('='), 0, 0).mid(5))->AsString(), e.section(QLatin1String("=="), 1));
            }

        edit->dxBL_SaveClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交修改吗？", "数据提交成功！"}));
        QVERIFY(!edit->Header()->FieldByName(edit->Def().idField)->AsString().isEmpty());
        m_fx->ui.clear();
        edit->dxBL_AuditClick();
        QCOMPARE(m_fx->ui.texts, (QStringList{"真的需要提交审核吗？", "数据提交审核成功！"}));
        QCOMPARE(edit->Header()->FieldByName(QStringLiteral("status"))->AsInteger(), 2);

        for (const QString& e : expected) {
            if (e.startsWith(QLatin1String("line.")))
                continue;
            const QString what = e.section(QLatin1Char('='), 0, 0);
            if (e.contains(QLatin1String("==")))
                QCOMPARE(observe(what), e.section(QLatin1String("=="), 1));
            else
                QCOMPARE(observe(what).toInt() - before.value(what), e.section(QLatin1Char('='), 1).toInt());
        }
    }
};

QTEST_MAIN(TestDocKindsE2E)
#include "tst_doc_kinds_e2e.moc"
