// Package loading with real shared libraries: what is registered while a package is loaded,
// and the reason reported for each kind of failure.
#include "ScriptedUi.h"
#include "uCallModule.h"
#include "uPackages.h"

#include <QFile>
#include <QtTest>

namespace {
bool packageRegistered(const QString& name)
{
    for (const auto& p : KxRegisteredPackages())
        if (p.name == name)
            return true;
    return false;
}
}

class TestPackages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goodPackageRegistersWhileLoaded()
    {
        QVERIFY(!TKxClassRegistry::Instance().Find("TfrmFixtureGood"));
        const TKxPackageResult r = KxLoadPackage(KX_FIXTURE_BPL, "fixture_good.so");
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(TKxClassRegistry::Instance().Find("TfrmFixtureGood"));
        QVERIFY(packageRegistered("fixture_good"));
        QVERIFY(KxLoadPackage(KX_FIXTURE_BPL, "fixture_good.so").ok()); // a second load is harmless

        QVERIFY(KxUnloadPackage(r.path));
        QVERIFY(!TKxClassRegistry::Instance().Find("TfrmFixtureGood"));
        QVERIFY(!packageRegistered("fixture_good"));
    }

    void failuresCarryTheirReason_data()
    {
        QTest::addColumn<QString>("libname");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("messagePart");
        using R = TKxPackageResult::Reason;
        QTest::newRow("missing file") << "fixture_absent.so" << int(R::Missing) << "";
        QTest::newRow("not a library") << "fixture_text.so" << int(R::LoadFailed) << "fixture_text.so";
        QTest::newRow("unresolved symbol") << "fixture_unresolved.so" << int(R::LoadFailed)
                                           << "kx_fixture_symbol_nobody_defines";
        QTest::newRow("parent folder") << "../fixture_good.so" << int(R::NotPlainName) << "../fixture_good.so";
        QTest::newRow("sub folder") << "sub/x.so" << int(R::NotPlainName) << "sub/x.so";
        QTest::newRow("backslash") << "sub\\x.so" << int(R::NotPlainName) << "sub\\x.so";
        QTest::newRow("drive") << "C:x.so" << int(R::NotPlainName) << "C:x.so";
        QTest::newRow("empty") << "" << int(R::NotPlainName) << "";
    }
    void failuresCarryTheirReason()
    {
        QFETCH(QString, libname);
        QFETCH(int, reason);
        QFETCH(QString, messagePart);
        const TKxPackageResult r = KxLoadPackage(KX_FIXTURE_BPL, libname);
        QCOMPARE(int(r.reason), reason);
        QVERIFY(!r.ok());
        if (reason == int(TKxPackageResult::Reason::Missing))
            QVERIFY(r.message.isEmpty());
        else
            QVERIFY2(!r.message.isEmpty() && r.message.contains(messagePart), qPrintable(r.message));
    }

    void theProgramsPackagesLoad()
    {
        const QString bpl = qEnvironmentVariable("KX_BIN_DIR") + "/bpl";
        for (const QString name : {"kx_scrips", "kx_basic", "kx_express", "kx_report"}) {
            const TKxPackageResult r = KxLoadPackage(bpl, name + ".so");
            QVERIFY2(r.ok(), qPrintable(name + ": " + r.message));
            QVERIFY2(packageRegistered(name), qPrintable(name));
        }
    }
};

QTEST_MAIN(TestPackages)
#include "tst_packages.moc"
