// The multipart body: exact bytes, announced length, chunked reading, and an independent
// parser's reading of the same bytes.
#include "uClock.h"
#include "uIdMultipartFormData.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <QtTest>

namespace {
const QDateTime kStamp(QDate(2026, 3, 7), QTime(14, 5, 9, 42));

QByteArray readInChunks(TIdMultiPartFormDataStream& s, int chunk)
{
    s.Seek(0, TIdMultiPartFormDataStream::soBeginning);
    QByteArray out, buf(chunk, Qt::Uninitialized);
    for (qint64 got; (got = s.Read(buf.data(), chunk)) > 0;)
        out.append(buf.constData(), got);
    return out;
}

QJsonArray parseWithPython(const QByteArray& body, const QString& contentType)
{
    QTemporaryFile f;
    if (!f.open())
        return {};
    f.write(body);
    f.flush();
    QProcess p;
    p.start("python3", {QString(qgetenv("KX_SOURCE_DIR")) + "/tests/kx_utils/parse_multipart.py", f.fileName(), contentType});
    p.waitForFinished(30000);
    if (p.exitCode() != 0)
        qWarning() << p.readAllStandardError();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}
}

class TestMultipart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { KxSetClock([] { return kStamp; }); }
    void cleanup() { KxSetClock({}); }

    void boundaryFromClock()
    {
        TIdMultiPartFormDataStream a, b;
        QCOMPARE(a.Boundary(), QString("--------030726140509042"));
        QCOMPARE(a.Boundary().size(), 23);
        QCOMPARE(a.RequestContentType(), QString("multipart/form-data; boundary=--------030726140509042"));
        QCOMPARE(b.Boundary(), a.Boundary()); // same millisecond, same boundary
        KxSetClock([] { return kStamp.addMSecs(1); });
        TIdMultiPartFormDataStream c;
        QVERIFY(c.Boundary() != a.Boundary());
    }

    void exactBytes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("valueBytes");
        QTest::newRow("plain") << "a" << "1" << QByteArray("1");
        QTest::newRow("empty value") << "end" << "" << QByteArray();
        QTest::newRow("Chinese in UTF-8") << "memo" << "中文" << QByteArray("\xE4\xB8\xAD\xE6\x96\x87");
        QTest::newRow("emoji in UTF-8") << "m" << "😀" << QByteArray("\xF0\x9F\x98\x80");
    }
    void exactBytes()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QByteArray, valueBytes);
        TIdMultiPartFormDataStream s;
        const qint64 announced = s.AddFormField(name, value);
        const QByteArray B = s.Boundary().toLatin1();
        const QByteArray expected = "--" + B + "\r\nContent-Disposition: form-data; name=\"" + name.toUtf8()
            + "\"\r\n\r\n" + valueBytes + "\r\n\r\n--" + B + "--\r\n";
        QCOMPARE(s.ReadAll(), expected);
        QCOMPARE(announced, qint64(expected.size()));
        QCOMPARE(s.Seek(0, TIdMultiPartFormDataStream::soEnd), qint64(expected.size()));
    }

    void filePartsAndIndependentParser()
    {
        TIdMultiPartFormDataStream s;
        s.AddFormField("nickid", "测试");
        s.AddFormField("end", "");
        QBuffer delta;
        delta.setData(QByteArray("<delta>中</delta>") + QByteArray(70000, 'x'));
        delta.open(QIODevice::ReadOnly);
        s.AddObject("delta", "text/plain", "delta", &delta);
        TIdStrings lines;
        lines.Lines = QStringList{"one", "二"};
        s.AddObject("lines", "text/plain", "lines.txt", &lines);
        QBuffer plainObj; // an object with an empty file name is sent as a plain field
        plainObj.setData("OBJ");
        plainObj.open(QIODevice::ReadOnly);
        s.AddObject("extra", "text/plain", "", &plainObj);

        const QByteArray whole = s.ReadAll();
        QCOMPARE(qint64(whole.size()), s.Size());
        for (int chunk : {1, 7, 4096, 100000})
            QCOMPARE(readInChunks(s, chunk), whole); // rewinding repeats every byte, objects included

        const QJsonArray parts = parseWithPython(whole, s.RequestContentType());
        QCOMPARE(parts.size(), 5);
        auto data = [&](int i) { return QByteArray::fromBase64(parts[i].toObject()["data"].toString().toLatin1()); };
        QCOMPARE(parts[0].toObject()["name"].toString(), QString("nickid"));
        QCOMPARE(data(0), QByteArray("测试"));
        QCOMPARE(data(1), QByteArray());
        QCOMPARE(parts[2].toObject()["filename"].toString(), QString("delta"));
        QCOMPARE(parts[2].toObject()["content_type"].toString(), QString("text/plain"));
        QCOMPARE(data(2), delta.data());
        QCOMPARE(data(3), QByteArray("one\r\n二\r\n"));
        QVERIFY(parts[4].toObject()["filename"].isNull());
        // The value line, then the object's bytes; the body's closing empty line makes a
        // strict parser see one more CRLF in the last part.
        QCOMPARE(data(4), QByteArray("\r\nOBJ\r\n"));
    }

    void seekRules()
    {
        TIdMultiPartFormDataStream s;
        s.AddFormField("a", "1");
        char buf[10];
        QCOMPARE(s.Read(buf, 10), qint64(10));
        QCOMPARE(s.Seek(0, TIdMultiPartFormDataStream::soCurrent), qint64(10));
        QCOMPARE(s.Seek(5, TIdMultiPartFormDataStream::soBeginning), qint64(10)); // ignored
        QCOMPARE(s.Seek(0, TIdMultiPartFormDataStream::soBeginning), qint64(0));
        QCOMPARE(s.Read(buf, 2), qint64(2));
        QCOMPARE(QByteArray(buf, 2), QByteArray("--"));
    }

    void refusedInput()
    {
        TIdMultiPartFormDataStream s;
        QVERIFY_THROWS_EXCEPTION(EIdUnsupportedOperation, s.Write("x", 1));
        try {
            s.Write("x", 1);
        } catch (const EIdException& e) {
            QCOMPARE(e.Message, QString("Unsupported operation."));
        }
        QVERIFY_THROWS_EXCEPTION(EIdInvalidFieldName, s.AddFormField("a\"b", "1"));
        QVERIFY_THROWS_EXCEPTION(EIdInvalidFieldName, s.AddFormField("a\r\nX-Evil: 1", "1"));
        QBuffer b;
        QVERIFY_THROWS_EXCEPTION(EIdInvalidFieldName, s.AddObject("d", "text/plain", "f\"x", &b));
        QCOMPARE(s.FieldCount(), 0);
        TIdFormDataField f;
        QObject notAStream;
        QVERIFY_THROWS_EXCEPTION(EIdInvalidObjectType, f.SetFieldObject(&notAStream));
    }
};

QTEST_GUILESS_MAIN(TestMultipart)
#include "tst_multipart.moc"
