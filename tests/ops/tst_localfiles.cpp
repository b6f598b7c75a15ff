// Where the client keeps the files it writes for its operator: the user's copy first; the
// program folder as before while it can be written; from a read-only (installed) program
// folder the folder's copy is taken into the user's folder on first use and changed there.
#include "uLocalFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
}

class TestLocalFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupOrder_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("inProgram");
        QTest::addColumn<bool>("inUser");
        QTest::addColumn<bool>("programWritable");
        QTest::addColumn<QString>("chosen");    // "program" or "user"
        QTest::addColumn<QByteArray>("content"); // what the chosen path holds
        QTest::newRow("user copy first") << "ColsDef.xml" << true << true << true << "user" << QByteArray("user");
        QTest::newRow("user copy, installed") << "SearchDef.xml" << true << true << false << "user" << QByteArray("user");
        QTest::newRow("writable folder as before") << "nick.dll" << true << false << true << "program" << QByteArray("program");
        QTest::newRow("nothing yet, writable folder") << "nick.dll" << false << false << true << "program" << QByteArray("<none>");
        QTest::newRow("installed: taken into the user's folder") << "rmf/caigoudan.rmf" << true << false << false << "user"
                                                                 << QByteArray("program");
        QTest::newRow("installed, nothing yet") << "ColsDef.xml" << false << false << false << "user" << QByteArray("<none>");
    }
    void lookupOrder()
    {
        QFETCH(QString, relative);
        QFETCH(bool, inProgram);
        QFETCH(bool, inUser);
        QFETCH(bool, programWritable);
        QFETCH(QString, chosen);
        QFETCH(QByteArray, content);
        QTemporaryDir program, user;
        if (inProgram)
            put(program.filePath(relative), "program");
        if (inUser)
            put(user.filePath(relative), "user");
        const QString path = KxUserFileIn(program.path(), programWritable, user.path(), relative);
        QCOMPARE(path, (chosen == "user" ? user : program).filePath(relative));
        QCOMPARE(read(path), content);
        // The folder to write into exists, and writing there leaves an installed folder alone.
        QVERIFY(QFileInfo(path).absoluteDir().exists());
        if (!programWritable) {
            put(path, "edited");
            QCOMPARE(read(program.filePath(relative)), inProgram ? QByteArray("program") : QByteArray("<none>"));
            QCOMPARE(KxUserFileIn(program.path(), false, user.path(), relative), path);
            QCOMPARE(read(path), QByteArray("edited"));
        }
    }
};

QTEST_MAIN(TestLocalFiles)
#include "tst_localfiles.moc"
