// The service log as its readers rely on it: a call's line is in the file as soon as the call
// is logged (benchmarks read the file right after a call returns), and lines written by many
// threads at once stay whole.
#include "ServiceLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

class TestServiceLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineIsInTheFileWhenTheCallIsLogged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("service.log"));
        TServiceLog log(path);
        for (int i = 0; i < 3; ++i) {
            log.access(QStringLiteral("Receive.Update"), QStringLiteral("1001"), QStringLiteral("admin"),
                       QStringLiteral("127.0.0.1"), 40 + i, 0);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = f.readAll().split('\n');
            QCOMPARE(lines.size(), i + 2); // the last piece is empty: every line ends
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                                        "call Receive.Update nick=1001 oper=admin from=127.0.0.1 ms=%1 ok$")
                                            .arg(40 + i))
                         .match(QString::fromUtf8(lines[i]))
                         .hasMatch(),
                     lines[i].constData());
        }
    }

    void linesFromManyThreadsStayWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("service.log"));
        constexpr int kThreads = 8, kLines = 300;
        {
            TServiceLog log(path);
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&, t] {
                    // Longer than a pipe keeps whole, as an error line with its SQL can be.
                    const QString body = QString(5000, QChar(char16_t(u'a' + t)));
                    for (int i = 0; i < kLines; ++i)
                        log.error(QStringLiteral("%1 %2 %3 end").arg(t).arg(i).arg(body));
                });
            for (auto& th : threads)
                th.join();
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QRegularExpression whole(QStringLiteral("^\\S+ \\S+ ERROR (\\d) \\d+ ([a-h])\\2{4999} end$"));
        int count = 0;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QRegularExpressionMatch m = whole.match(QString::fromLatin1(line));
            QVERIFY2(m.hasMatch() && m.captured(2) == QChar(char16_t(u'a' + m.captured(1).toInt())), line.left(80).constData());
            ++count;
        }
        QCOMPARE(count, kThreads * kLines);
    }
};

QTEST_GUILESS_MAIN(TestServiceLog)
#include "tst_servicelog.moc"
