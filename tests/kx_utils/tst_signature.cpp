// Request parameters and their signature. Expected digests were computed independently
// (Python hashlib over the documented signing text).
#include "uRequest.h"

#include <QtTest>

using Pairs = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Pairs)

class TestSignature : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sign_data()
    {
        QTest::addColumn<Pairs>("params");
        QTest::addColumn<QString>("expected");
        QTest::newRow("session and module") << Pairs{{"nickid", "N"}, {"operid", "O"}, {"shopid", "S"}, {"module", "M"}, {"curpage", "0"}}
                                            << "D235A9E432B5087833CDCF6BAD2FC174";
        QTest::newRow("Chinese values signed as UTF-8")
            << Pairs{{"nickid", "测试店"}, {"module", "PowerMger.Module"}, {"memo", "中文备注，全角！"}}
            << "72982AE5005B256A03B834FB7441C0B2";
        QTest::newRow("blank values and names left out")
            << Pairs{{"nickid", ""}, {"operid", "   "}, {"shopid", "\t"}, {"module", "X"}, {"  ", "v"}}
            << "1915157A3D11C0822E9683D8D5DA88B3";
        QTest::newRow("names differing in case sort by byte") << Pairs{{"abc", "2"}, {"Abc", "1"}, {"ABC", "0"}}
                                                             << "352837BB681BD006C988D88A332BED2F";
        QTest::newRow("name containing =") << Pairs{{"a=b", "c"}, {"b", "z"}} << "8D8DD723038FCC715131D805990370D2";
        QTest::newRow("values keep their spaces") << Pairs{{"name", " x "}, {"b", "1"}} << "F3B8423FC55FF9215D38F78CD8AEF97F";
        QTest::newRow("prefix sorts first") << Pairs{{"ab", "2"}, {"a", "1"}} << "6E497106B5414905A3C900B77E799B5D";
        QTest::newRow("characters beyond the BMP") << Pairs{{"msg", "好评😀"}} << "983237269C19F9A88DD553BD12AF602B";
    }
    void sign()
    {
        QFETCH(Pairs, params);
        QFETCH(QString, expected);
        TRequest r;
        for (const auto& [n, v] : params)
            r.AddParams(n, v);
        QCOMPARE(r.GetSign(), expected);
        QCOMPARE(KxSignature(params, QStringLiteral("quorvelinmast")), expected);
    }

    void sortCompare_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("ordinal") << "curpage=1" << "module=x" << -1;
        QTest::newRow("upper before lower") << "Z=1" << "a=1" << -1;
        QTest::newRow("prefix first") << "nick=1" << "nickid=1" << -1;
        QTest::newRow("key only, value ignored") << "a=9" << "a=1" << 0;
        QTest::newRow("unsigned bytes: non-ASCII after ASCII") << "中=1" << "z=1" << 1;
    }
    void sortCompare()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int c = SortCompare(a, b);
        QCOMPARE((c > 0) - (c < 0), sign);
    }

    void parametersKeepInsertionOrderAndReplaceInPlace()
    {
        TRequest r;
        r.AddParams("nickid", "n");
        r.AddParams("module", "first");
        r.AddParams("curpage", "1");
        r.AddParams("module", "second");
        QCOMPARE(int(r.Params().size()), 3);
        QCOMPARE(r.Params()[1]->Name, QString("module"));
        QCOMPARE(r.Params()[1]->Value, QString("second"));
        QVERIFY(r.GetParam("Module") == nullptr); // exact, case-sensitive names
        QCOMPARE(r.ParamValue("absent"), QString());
    }

    void attachmentsAppendUnderOneName()
    {
        TRequest r;
        r.AddFiles("delta", "<a/>");
        r.AddFiles("other", "x");
        r.AddFiles("delta", "中");
        QCOMPARE(int(r.Files().size()), 2);
        QCOMPARE(r.GetFile("delta")->Content, QByteArray("<a/>") + QByteArray("中"));
        const QString before = r.GetSign();
        r.AddFiles("delta", "more");
        QCOMPARE(r.GetSign(), before); // attachments never take part in the signature
    }

    void clearRemovesEverything()
    {
        TRequest r;
        r.AddParams("nickid", "n");
        r.AddFiles("delta", "d");
        r.Clear();
        QVERIFY(r.Params().empty());
        QVERIFY(r.Files().empty());
        QVERIFY(r.GetParam("nickid") == nullptr);
    }
};

QTEST_GUILESS_MAIN(TestSignature)
#include "tst_signature.moc"
