// TDecimal: exact money arithmetic.

#include "TDecimal.h"

#include <QTest>

#include <functional>
#include <limits>
#include <optional>

// One computation; no value when it is refused.
using Computation = std::function<std::optional<TDecimal>()>;
Q_DECLARE_METATYPE(Computation)

namespace {
TDecimal dec(const char* text)
{
    return *TDecimal::Parse(std::string_view(text));
}
const TDecimal kLargest = TDecimal::FromMantissa(std::numeric_limits<qint64>::max(), 0);
const TDecimal kSmallest = TDecimal::FromMantissa(std::numeric_limits<qint64>::min(), 0);
}

class TestDecimal : public QObject
{
    Q_OBJECT

private slots:
    void parseAndFormat_data();
    void parseAndFormat();
    void arithmeticIsExact_data();
    void arithmeticIsExact();
    void comparesAcrossScales();
    void conversions();
    void overflowIsRefused_data();
    void overflowIsRefused();
    void operatorsThrowOnOverflow();
    void fromDouble_data();
    void fromDouble();
};

void TestDecimal::parseAndFormat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale");      // -1: as written
    QTest::addColumn<QString>("result"); // empty: refused

    QTest::newRow("as written") << "12.50" << -1 << "12.50";
    QTest::newRow("padded to scale") << "12.5" << 2 << "12.50";
    QTest::newRow("rounded half away from zero") << "2.675" << 2 << "2.68";
    QTest::newRow("negative rounded away from zero") << "-2.675" << 2 << "-2.68";
    QTest::newRow("below half") << "0.0049" << 2 << "0.00";
    QTest::newRow("leading point") << ".5" << -1 << "0.5";
    QTest::newRow("trailing point") << "7." << -1 << "7";
    QTest::newRow("plus sign") << "+3" << 0 << "3";
    QTest::newRow("largest mantissa") << "9223372036854775807" << 0 << "9223372036854775807";
    QTest::newRow("smallest mantissa") << "-92233720368547758.08" << 2 << "-92233720368547758.08";
    QTest::newRow("beyond 64 bits") << "9223372036854775808" << 0 << "";
    QTest::newRow("beyond 64 bits at scale") << "100000000000000000" << 2 << "";
    QTest::newRow("exponent") << "1e3" << -1 << "";
    QTest::newRow("comma") << "1,5" << -1 << "";
    QTest::newRow("space") << " 1" << -1 << "";
    QTest::newRow("sign only") << "-" << -1 << "";
    QTest::newRow("point only") << "." << -1 << "";
    QTest::newRow("many digits") << "1" + QString(60, u'0') << 0 << "";
}

void TestDecimal::parseAndFormat()
{
    QFETCH(QString, text);
    QFETCH(int, scale);
    QFETCH(QString, result);

    const std::string s = text.toStdString();
    const auto d = scale < 0 ? TDecimal::Parse(s) : TDecimal::Parse(s, scale);
    QCOMPARE(d.has_value(), !result.isEmpty());
    if (d)
        QCOMPARE(d->ToString(), result);
}

void TestDecimal::arithmeticIsExact_data()
{
    QTest::addColumn<Computation>("compute");
    QTest::addColumn<QString>("result");

    QTest::newRow("0.1 + 0.2") << Computation([] { return dec("0.1") + dec("0.2"); }) << "0.3";
    QTest::newRow("19.99 * 3") << Computation([] { return TDecimal::FromMantissa(1999, 2) * TDecimal::FromInteger(3); }) << "59.97";
    QTest::newRow("10.00 - 0.001 keeps the finer scale")
        << Computation([] { return TDecimal::FromMantissa(1000, 2) - TDecimal::FromMantissa(1, 3); }) << "9.999";
    QTest::newRow("10 / 3 at scale 2") << Computation([] { return TDecimal::FromInteger(10).Div(TDecimal::FromInteger(3), 2); }) << "3.33";
    QTest::newRow("-2 / 3 rounds away from zero")
        << Computation([] { return TDecimal::FromInteger(-2).Div(TDecimal::FromInteger(3), 2); }) << "-0.67";
    QTest::newRow("12.345 rescaled to 1") << Computation([] { return TDecimal::FromMantissa(12345, 3).Rescaled(1); }) << "12.3";
}

void TestDecimal::arithmeticIsExact()
{
    QFETCH(Computation, compute);
    QFETCH(QString, result);

    const std::optional<TDecimal> d = compute();
    QVERIFY(d);
    QCOMPARE(d->ToString(), result);
    QCOMPARE(*d, *TDecimal::Parse(result.toStdString()));
}

void TestDecimal::comparesAcrossScales()
{
    QVERIFY(TDecimal::FromMantissa(150, 2) == TDecimal::FromMantissa(15, 1));
    QVERIFY(TDecimal::FromMantissa(-1, 2) < TDecimal());
}

void TestDecimal::conversions()
{
    QCOMPARE(TDecimal::FromMantissa(5, 1).ToDouble(), 0.5);
    QCOMPARE(QVariant::fromValue(TDecimal::FromMantissa(1250, 2)).toString(), QString("12.50"));
}

void TestDecimal::overflowIsRefused_data()
{
    QTest::addColumn<Computation>("compute");

    QTest::newRow("largest + 1") << Computation([] { return kLargest.Add(TDecimal::FromInteger(1)); });
    QTest::newRow("largest * 2") << Computation([] { return kLargest.Mul(TDecimal::FromInteger(2)); });
    QTest::newRow("largest at scale 2") << Computation([] { return kLargest.Rescaled(2); });
    QTest::newRow("divided by zero") << Computation([] { return TDecimal::FromInteger(1).Div(TDecimal(), 2); });
    QTest::newRow("smallest - 1") << Computation([] { return kSmallest.Sub(TDecimal::FromInteger(1)); });
}

void TestDecimal::overflowIsRefused()
{
    QFETCH(Computation, compute);
    QVERIFY(!compute());
}

void TestDecimal::operatorsThrowOnOverflow()
{
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, kLargest + TDecimal::FromInteger(1));
}

void TestDecimal::fromDouble_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("result");

    QTest::newRow("shortest text, not binary noise") << 0.1 << -1 << "0.1";
    QTest::newRow("rounded at scale") << 1.005 << 2 << "1.01";   // shortest text is 1.005
    QTest::newRow("integral") << 42.0 << 2 << "42.00";
    QTest::newRow("not finite") << qInf() << 2 << "";
    QTest::newRow("too large") << 1e30 << 0 << "";
}

void TestDecimal::fromDouble()
{
    QFETCH(double, value);
    QFETCH(int, scale);
    QFETCH(QString, result);

    const auto d = TDecimal::FromDouble(value, scale);
    QCOMPARE(d.has_value(), !result.isEmpty());
    if (d)
        QCOMPARE(d->ToString(), result);
}

QTEST_GUILESS_MAIN(TestDecimal)
#include "tst_cds_decimal.moc"
