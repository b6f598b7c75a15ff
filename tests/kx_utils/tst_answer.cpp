// Reading service answers: the length + zlib framing, the XML document and its two shapes.
#include "uAnswerCodec.h"
#include "uConfig.h"
#include "uResponse.h"

#include <QStringEncoder>
#include <QtTest>
#include <zlib.h>

namespace {
QByteArray le32(qint32 v)
{
    return QByteArray(reinterpret_cast<const char*>(&v), 4); // the test machine is little-endian
}
QByteArray zlibOf(const QByteArray& data)
{
    return KxEncodeAnswer(data).mid(4);
}
}

class TestAnswer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { gcallurl.clear(); }

    void roundTrip()
    {
        const QByteArray xml = QByteArray("<r><a>中文</a></r>").repeated(1000);
        QByteArray out;
        QString err;
        QVERIFY(KxDecodeAnswer(KxEncodeAnswer(xml), out, err));
        QCOMPARE(out, xml);
        QVERIFY(KxDecodeAnswer(KxEncodeAnswer(QByteArray()), out, err));
        QCOMPARE(out, QByteArray());
    }

    void badFraming_data()
    {
        QTest::addColumn<QByteArray>("wire");
        const QByteArray xml("<r><a>1</a></r>");
        QTest::newRow("one byte") << QByteArray("\x05");
        QTest::newRow("three bytes") << QByteArray("\x05\x00\x00", 3);
        QTest::newRow("length only") << le32(15);
        QTest::newRow("negative length") << le32(-1) + zlibOf(xml);
        QTest::newRow("absurd length, tiny stream") << le32(0x7fffffff) + zlibOf(xml);
        QTest::newRow("length above the ratio deflate allows") << le32(900000000) + zlibOf(xml);
        QTest::newRow("announces more than inflates") << le32(xml.size() + 1) + zlibOf(xml);
        QTest::newRow("announces less than inflates") << le32(xml.size() - 1) + zlibOf(xml);
        QTest::newRow("not zlib: an HTML page") << QByteArray("<html><body>502 Bad Gateway</body></html>");
        QTest::newRow("truncated stream") << KxEncodeAnswer(xml.repeated(50)).left(20);
        QTest::newRow("raw deflate without zlib header") << le32(xml.size()) + zlibOf(xml).mid(2);
    }
    void badFraming()
    {
        QFETCH(QByteArray, wire);
        QByteArray out;
        QString err;
        QVERIFY(!KxDecodeAnswer(wire, out, err));
        QVERIFY(!err.isEmpty());
        QVERIFY(out.isEmpty());
        TResponse r;
        QVERIFY_THROWS_EXCEPTION(EKXServiceError, r.DataReceive(wire));
    }

    void successParameters()
    {
        const QByteArray packet = "<datapacket><rows><row a=\"&lt;中&gt;\"/></rows></datapacket>";
        const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><xmldata><![CDATA[" + packet
            + "]]></xmldata><recordcount>12</recordcount><empty/><empty2></empty2>"
              "<dup>first</dup><dup>second</dup><escaped>a&amp;b</escaped></response>";
        TResponse r;
        QVERIFY(r.DataReceive(KxEncodeAnswer(xml)));
        QCOMPARE(r.GetParam("xmldata"), QString::fromUtf8(packet));
        QCOMPARE(r.GetParamUtf8("xmldata"), packet);
        QCOMPARE(r.GetParam("recordcount"), QString("12"));
        QCOMPARE(r.GetParam("dup"), QString("first"));
        QCOMPARE(r.GetParam("escaped"), QString("a&b"));
        QCOMPARE(r.GetParam("absent"), QString());
        QVERIFY(!r.HasParam("empty"));  // an element without content gives no parameter
        QVERIFY(!r.HasParam("empty2"));
        QCOMPARE(r.ParamCount(), 5);
        QCOMPARE(r.GetReceive(), QString::fromUtf8(xml));
    }

    void errorAnswers_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("callurl");
        QTest::newRow("code and message")
            << QByteArray("<error_response><code>27</code><msg>权限不足</msg></error_response>")
            << QString("错误号：27\n\r\n\r错误信息：权限不足") << QString();
        QTest::newRow("message only") << QByteArray("<error_response><msg>失败</msg></error_response>")
                                       << QString("错误信息：失败") << QString();
        QTest::newRow("neither: empty text") << QByteArray("<error_response/>") << QString() << QString();
        QTest::newRow("with callurl")
            << QByteArray("<error_response><code>1</code><callurl>https://example.com/renew</callurl></error_response>")
            << QString("错误号：1\n\r\n\r") << QString("https://example.com/renew");
    }
    void errorAnswers()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, text);
        QFETCH(QString, callurl);
        gcallurl = "stale";
        TResponse r;
        try {
            r.DataReceive(KxEncodeAnswer(xml));
            QFAIL("an error answer must raise");
        } catch (const EKXServiceError& e) {
            QCOMPARE(e.Message, text);
        }
        QCOMPARE(gcallurl, callurl);
    }

    void badXml_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("not XML") << QByteArray("hello");
        QTest::newRow("unclosed") << QByteArray("<r><a>1</a>");
        QTest::newRow("no root") << QByteArray("<?xml version=\"1.0\"?>");
        QTest::newRow("entity expansion") << QByteArray(
            "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]><r><x>&b;</x></r>");
        QTest::newRow("external entity") << QByteArray(
            "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r><x>&e;</x></r>");
        QTest::newRow("unknown encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"x-klingon\"?><r/>");
    }
    void badXml()
    {
        QFETCH(QByteArray, xml);
        TResponse r;
        try {
            r.DataReceive(KxEncodeAnswer(xml));
            QFAIL("must raise");
        } catch (const EKXServiceError& e) {
            QVERIFY(!e.Message.isEmpty());
        }
        QCOMPARE(r.ParamCount(), 0);
    }

    void declaredGbEncoding()
    {
        QStringEncoder enc("GB18030");
        const QByteArray xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r><name>"
            + QByteArray(enc.encode(QString("总店"))) + "</name></r>";
        TResponse r;
        QVERIFY(r.DataReceive(KxEncodeAnswer(xml)));
        QCOMPARE(r.GetParam("name"), QString("总店"));
    }

    void emptyAnswerFails()
    {
        TResponse r;
        QVERIFY_THROWS_EXCEPTION(EKXServiceError, r.DataReceive(QByteArray()));
    }
};

QTEST_GUILESS_MAIN(TestAnswer)
#include "tst_answer.moc"
