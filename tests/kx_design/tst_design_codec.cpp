// The panel stream and its text form, without widgets.
#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "uIKXDesign.h"

#include <QtEndian>
#include <QtTest>

class TestDesignCodec : public QObject {
    Q_OBJECT

    static QList<TKxComponentRecord> samplePanel()
    {
        TKxComponentRecord edit{QStringLiteral("TPEdit"), QStringLiteral("PEdit1"),
                                {{"Left", 8}, {"Top", 4}, {"KXName", QStringLiteral("receiveid")}}, {}};
        TKxComponentRecord combo{QStringLiteral("TPComboBox"), QStringLiteral("状态"),
                                 {{"KXName", QStringLiteral("status")},
                                  {"KXKeyValues", QStringList{QStringLiteral("0=未审核"), QStringLiteral("1=已审核")}},
                                  {"Big", qint64(1) << 40},
                                  {"Ratio", 0.25},
                                  {"Flag", true},
                                  {"Picture", QByteArray("\x00\x01\xff", 3)}},
                                 {}};
        TKxComponentRecord panel{QStringLiteral("TPPanel"), QStringLiteral("PPanel1"), {{"Caption", QString()}}, {combo, edit}};
        return {edit, panel, TKxComponentRecord{QStringLiteral("TPLabel"), QString(), {}, {}}};
    }

private slots:
    void streamRoundTrip()
    {
        const auto records = samplePanel();
        QList<TKxComponentRecord> back;
        QString error;
        QVERIFY2(KxReadComponents(KxWriteComponents(records), &back, &error), qPrintable(error));
        QCOMPARE(back, records);
        QCOMPARE(back[1].Children[0].Property("KXKeyValues").toStringList().value(1), QStringLiteral("1=已审核"));
    }

    void emptyPanelIsOnlyTheEndMarker()
    {
        QList<TKxComponentRecord> back{TKxComponentRecord{}};
        QVERIFY(KxReadComponents(KxWriteComponents({}), &back, nullptr));
        QVERIFY(back.isEmpty());
    }

    void unknownValueTypeIsSkipped()
    {
        // A record written by hand: one property of a type this reader does not know (tag 99)
        // between two it knows.
        QByteArray b("KXC1");
        auto u32 = [&b](quint32 v) {
            char c[4];
            qToLittleEndian(v, c);
            b.append(c, 4);
        };
        auto str = [&](const QByteArray& s) {
            u32(quint32(s.size()));
            b.append(s);
        };
        str("TPEdit");
        str("PEdit1");
        b.append(char(4)), str("KXName"), str("code");
        b.append(char(99)), str("Future"), str("\x01\x02\x03");
        b.append(char(2)), str("Flag"), str(QByteArray(1, '\x01'));
        b.append(char(0)).append(char(0)).append(char(0));
        QList<TKxComponentRecord> back;
        QString error;
        QVERIFY2(KxReadComponents(b, &back, &error), qPrintable(error));
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].Properties.size(), 2);
        QCOMPARE(back[0].Property("KXName").toString(), QStringLiteral("code"));
        QCOMPARE(back[0].Property("Flag").toBool(), true);
    }

    void damagedStreamsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = KxWriteComponents(samplePanel());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a record") << QByteArray("XXXX\0", 5);
        QTest::newRow("trailing bytes") << good + "junk";
        QByteArray huge = good;
        qToLittleEndian<quint32>(0x7fffffff, huge.data() + 4); // class name length
        QTest::newRow("length beyond the data") << huge;
        QByteArray deep;
        for (int i = 0; i < 40; ++i)
            deep += QByteArray("KXC1\x06\0\0\0TPEdit\0\0\0\0\0", 19);
        QTest::newRow("nested too deep") << deep + QByteArray(80, '\0');
    }
    void damagedStreamsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QList<TKxComponentRecord> back;
        QString error;
        QVERIFY(!KxReadComponents(bytes, &back, &error));
        QVERIFY(back.isEmpty());
        QVERIFY(error.startsWith(QStringLiteral("面板数据已损坏")));
    }

    // Every cut of a good stream is refused with a message, never read past its end.
    void everyTruncationIsRefused()
    {
        const QByteArray good = KxWriteComponents(samplePanel());
        for (qsizetype n = 0; n < good.size(); ++n) {
            QList<TKxComponentRecord> back;
            QString error;
            QVERIFY2(!KxReadComponents(good.left(n), &back, &error), qPrintable(QString::number(n)));
            QVERIFY(!error.isEmpty());
        }
    }

    void panelTextRoundTripAndLines()
    {
        TKxPanelText panel;
        panel.Width = 640;
        panel.Height = 96;
        panel.Module = KxWriteComponents(samplePanel());
        const QByteArray text = KxWritePanelText(panel);

        const QList<QByteArray> lines = text.split('\n');
        QVERIFY(lines.size() > 2);
        for (int i = 0; i < lines.size(); ++i) {
            const bool last = i == lines.size() - 1;
            QCOMPARE(lines[i].size(), last ? lines[i].size() : 77); // 76 characters and the CR
            QVERIFY(last ? !lines[i].endsWith('\r') : lines[i].endsWith('\r'));
            QVERIFY(lines[i].size() <= 77);
        }

        // One line, or broken anywhere else, reads the same.
        QByteArray flat = text;
        flat.replace("\r\n", "");
        QByteArray odd;
        for (qsizetype i = 0; i < flat.size(); i += 13)
            odd += flat.mid(i, 13) + "\n ";
        for (const QByteArray& form : {text, flat, odd}) {
            TKxPanelText back;
            QString error;
            QVERIFY2(KxReadPanelText(form, &back, &error), qPrintable(error));
            QCOMPARE(back.Width, 640);
            QCOMPARE(back.Height, 96);
            QCOMPARE(back.Module, panel.Module);
        }
        // The inner document carries the module stream in 76-character lines too.
        QByteArray xml;
        QVERIFY(KxBase64Decode(text, &xml));
        QVERIFY(xml.contains("<width>640</width>"));
        QVERIFY(xml.contains("\r\n"));
    }

    void badPanelTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        auto wrap = [](const QByteArray& xml) { return KxBase64Lines(xml); };
        QTest::newRow("not base64") << QByteArray("!!!! this is no panel ****");
        QTest::newRow("not xml") << wrap("just words");
        QTest::newRow("width not a number") << wrap("<Root><width>wide</width><height>1</height><module></module></Root>");
        QTest::newRow("module missing") << wrap("<Root><width>1</width><height>1</height></Root>");
        QTest::newRow("other root") << wrap("<Panel><width>1</width><height>1</height><module></module></Panel>");
        QTest::newRow("element names are exact") << wrap("<Root><Width>1</Width><height>1</height><module></module></Root>");
    }
    void badPanelTexts()
    {
        QFETCH(QByteArray, text);
        TKxPanelText back;
        QString error;
        QVERIFY(!KxReadPanelText(text, &back, &error));
        QVERIFY(error.startsWith(QStringLiteral("查询面板数据无法读取")));
    }

    void stringToArrayStr_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("empty text") << "" << "," << QStringList{};
        QTest::newRow("inner empty kept, last dropped") << "a,,b," << "," << QStringList{"a", "", "b"};
        QTest::newRow("no separator in text") << "abc" << "," << QStringList{"abc"};
        QTest::newRow("leading empty kept") << ",a" << "," << QStringList{"", "a"};
        QTest::newRow("longer separator") << "key=>1=>2" << "=>" << QStringList{"key", "1", "2"};
        QTest::newRow("only separators") << ",," << "," << QStringList{"", ""};
    }
    void stringToArrayStr()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        QFETCH(QStringList, pieces);
        QCOMPARE(StringToArrayStr(text, separator), pieces);
    }
};

QTEST_GUILESS_MAIN(TestDesignCodec)
#include "tst_design_codec.moc"
