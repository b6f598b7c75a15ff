// The administration commands of the kxservice program on SQLite and PostgreSQL: a new seller
// created, found by a fresh client through the nick dialog and logged in on the built-in
// catalogue with nothing else; sellers listed, disabled and enabled; a password reset; a
// login lock lifted; clear refusals that change nothing; two commands at once refused.
#include "ScriptedUi.h"
#include "ServiceProgram.h"
#include "admin/Sellers.h"
#include "KxService.h"
#include "store/Database.h"
#include "uConfig.h"
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uFrmNick.h"
#include "uHttpWeb.h"
#include "uShell.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUuid>
#include <QtTest>

namespace {
// One database per engine for the whole program: a SQLite file, or a fresh PostgreSQL schema.
struct TEngine {
    QString url, schema;
};

// The nick dialog is answered with the nick, the login dialog with the password.
class TNewcomerUi : public TScriptedUi {
public:
    QString nick, oper, password;
    QStringList operatorsSeen, shopsSeen;
    int ShowModal(QWidget* window) override
    {
        if (auto* dlg = qobject_cast<TFrmNick*>(window)) {
            dlg->NickEdit->setText(nick);
            dlg->BitBtn1->click();
            return dlg->result() == QDialog::Accepted ? mrOk : mrCancel;
        }
        auto* logon = qobject_cast<TFrmLogon*>(window);
        if (!logon)
            return TScriptedUi::ShowModal(window);
        QPointer<TFrmLogon> guard(logon);
        logon->show();
        for (int i = 0; i < logon->cxComboBox2->count(); ++i)
            operatorsSeen << logon->cxComboBox2->itemData(i).toString();
        for (int i = 0; i < logon->cxComboBox1->count(); ++i)
            shopsSeen << logon->cxComboBox1->itemData(i).toString();
        logon->cxComboBox2->setCurrentIndex(logon->cxComboBox2->findData(oper));
        logon->cxTextEdit1->setText(password);
        logon->cxButton2->click();
        return guard ? guard->ModalResult() : int(mrCancel);
    }
};
}

class TestAdmin : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::map<QString, TEngine> engines;

    TEngine& engine(const QString& kind)
    {
        TEngine& e = engines[kind];
        if (e.url.isEmpty()) {
            if (kind == QLatin1String("sqlite")) {
                e.url = "sqlite:" + dir.filePath("admin.db");
            } else {
                e.schema = "kxa_" + QUuid::createUuid().toString(QUuid::Id128).left(12);
                e.url = qEnvironmentVariable("KX_PG_URL") + "?schema=" + e.schema;
            }
        }
        return e;
    }

    int sellers(const QString& kind)
    {
        TDbUrl u;
        QString err;
        TDbUrl::parse(engine(kind).url, u, err);
        TDatabase store(u);
        QSqlDatabase db = store.connection();
        const int n = KxScalar(db, "SELECT COUNT(*) FROM kx_nick").toInt();
        store.releaseThreadConnection();
        return n;
    }

private Q_SLOTS:
    void initTestCase() { KxSetTerminateHandler([] {}); }
    void cleanupTestCase()
    {
        for (const auto& [kind, e] : engines) {
            if (e.schema.isEmpty())
                continue;
            TDbUrl u;
            QString err;
            TDbUrl::parse(qEnvironmentVariable("KX_PG_URL"), u, err);
            TDatabase plain(u);
            QSqlDatabase db = plain.connection();
            KxExec(db, QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(e.schema));
            plain.releaseThreadConnection();
        }
    }

    void engines_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << "sqlite";
        if (!qEnvironmentVariableIsEmpty("KX_PG_URL"))
            QTest::newRow("postgresql") << "postgresql";
    }

    void newSellerLogsInFromAFreshClient_data() { engines_data(); }
    void newSellerLogsInFromAFreshClient()
    {
        QFETCH(QString, kind);
        const QString db = engine(kind).url;
        const TRun created = kxservice({"admin", "create-seller", "--db", db, "--nick", " lakeside_shop ", "--name", "湖畔小店",
                                        "--subnick", "客服一", "--shop", "H01:湖畔一店", "--storage", "W01:湖畔总仓"});
        QVERIFY2(created.code == 0, qPrintable(created.err));
        const auto pw = QRegularExpression("password: (\\S+)").match(created.out);
        QVERIFY2(pw.hasMatch(), qPrintable(created.out));
        QVERIFY(created.out.contains("seller lakeside_shop created"));

        TServiceOptions o;
        o.port = 0;
        o.db = db;
        o.seed = "none";
        o.logFile = dir.filePath("service-" + kind + ".log");
        TKxService service(o);
        service.prepare();
        service.start();
        KxSetServiceUrl(service.url());
        // The next test starts from a client that has not logged in.
        auto reset = qScopeGuard([] {
            gSessionKey.clear();
            KxResetTransport();
            KxSetServiceUrl(QString());
            QFile::remove(KxProgramDir() + "/nick.dll");
        });

        // A fresh client: no nick.dll, no address; the nick dialog asks.
        QFile::remove(KxProgramDir() + "/nick.dll");
        TNewcomerUi ui;
        ui.nick = "lakeside_shop";
        ui.oper = "admin";
        ui.password = pw.captured(1);
        std::unique_ptr<TFrmClient> client(KxStartClient({}));
        QVERIFY2(client, qPrintable(ui.lastText()));
        QCOMPARE(ui.operatorsSeen, QStringList{"admin"});
        QCOMPARE(ui.shopsSeen, QStringList{"H01"});
        QCOMPARE(gShopId, QString("H01"));
        QCOMPARE(gSubNicks, QStringList{"lakeside_shop:客服一"});
        QTreeWidgetItem* root = client->cxTreeView1->topLevelItem(0);
        QVERIFY(root && root->childCount() > 3);

        // The built-in catalogue and its first storage; no goods, suppliers or documents.
        QSqlDatabase c = service.store().connection();
        const QString nickid = gNickId;
        const auto count = [&](const char* table) {
            return KxScalar(c, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE nickid = ?").arg(table), {nickid}).toInt();
        };
        QVERIFY(count("kx_module") > 20);
        QCOMPARE(KxScalar(c, "SELECT storagename FROM kx_storage WHERE nickid = ?", {nickid}).toString(), QString("湖畔总仓"));
        for (const char* none : {"kx_goods", "kx_commodity", "kx_supplier", "kx_vipcard", "kx_receive", "kx_stock", "kx_mk_trade"})
            QVERIFY2(count(none) == 0, none);
        THttpWeb web;
        web.setModule("Receive.Search");
        web.Request()->AddParams("curpage", "1");
        QVERIFY2(web.SendData(), qPrintable(ui.lastText()));

        // Listed; disabled, the nick is refused and the open session ends; enabled again.
        TRun r = kxservice({"admin", "list-sellers", "--db", db});
        QVERIFY2(r.out.contains(QRegularExpression("\\d+\\tlakeside_shop\\tin-use\\t1\\t1\\t")), qPrintable(r.out));
        r = kxservice({"admin", "disable-seller", "--db", db, "--nick", "lakeside_shop"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        THttpWeb afterDisable;
        afterDisable.setModule("PowerMger.Operator");
        QVERIFY(!afterDisable.SendData());
        THttpWeb nickCall;
        nickCall.setNickid(QString());
        nickCall.setOperid(QString());
        nickCall.setModule("PowerMger.SETNICK");
        nickCall.Request()->AddParams("masternick", "lakeside_shop");
        QVERIFY(!nickCall.SendData());
        QVERIFY2(ui.lastText().contains("已停用"), qPrintable(ui.lastText()));
        QVERIFY(kxservice({"admin", "list-sellers", "--db", db}).out.contains("lakeside_shop\tdisabled"));
        QCOMPARE(kxservice({"admin", "enable-seller", "--db", db, "--nick", "lakeside_shop"}).code, 0);
        QVERIFY(nickCall.SendData());

        // A new password: the old one is refused, the new one logs in. A lock is lifted.
        const auto login = [&](const QString& password) {
            THttpWeb w;
            w.setNickid(nickid);
            w.setOperid(QString());
            w.setModule("PowerMger.Login");
            w.Request()->AddParams("shopcode", "H01");
            w.Request()->AddParams("usercode", "admin");
            w.Request()->AddParams("password", password);
            return w.SendData();
        };
        r = kxservice({"admin", "reset-password", "--db", db, "--nick", "lakeside_shop", "--operator", "admin", "--password", "Harbour-77"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!r.out.contains("password:"));
        QVERIFY(!login(pw.captured(1)));
        QVERIFY(login("Harbour-77"));
        KxExec(c, "INSERT INTO kx_login_guard (nickid, subject, failures, last_failure, locked_until) VALUES (?, 'oper:admin', 10, ?, ?)",
               {nickid, QDateTime::currentMSecsSinceEpoch(), QDateTime::currentMSecsSinceEpoch() + 900000});
        service.store().releaseThreadConnection();
        QVERIFY(!login("Harbour-77"));
        r = kxservice({"admin", "unlock", "--db", db, "--nick", "lakeside_shop", "--operator", "admin"});
        QCOMPARE(r.out.trimmed(), QString("lock lifted"));
        QVERIFY(login("Harbour-77"));
        QCOMPARE(kxservice({"admin", "unlock", "--db", db, "--nick", "lakeside_shop", "--operator", "admin"}).out.trimmed(),
                 QString("nothing was locked"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QList<std::tuple<const char*, QStringList, const char*>> cases = {
            {"existing nick", {"create-seller", "--nick", "Taken_Nick", "--password", "Sturdy-9x"}, "exists already"},
            {"short password", {"create-seller", "--nick", "n1", "--password", "ab1"}, "at least 8 characters"},
            {"digits only", {"create-seller", "--nick", "n2", "--password", "1234567890"}, "mix letters"},
            {"common password", {"create-seller", "--nick", "n3", "--password", "admin123"}, "tried first"},
            {"password is the nick", {"create-seller", "--nick", "shop2024", "--password", "Shop2024"}, "tried first"},
            {"no nick", {"create-seller"}, "--nick is required"},
            {"nick with colon", {"create-seller", "--nick", "a:b"}, "must not contain"},
            {"bad shop code", {"create-seller", "--nick", "n4", "--shop", "S 1:一店"}, "must be 1 to 20"},
            {"unknown seller", {"disable-seller", "--nick", "nobody_here"}, "no seller with master nick 'nobody_here'"},
            {"unknown operator", {"reset-password", "--nick", "taken_nick", "--operator", "ghost"}, "has no operator 'ghost'"},
            {"weak new password", {"reset-password", "--nick", "taken_nick", "--operator", "admin", "--password", "password1"}, "tried first"},
            {"unlock nothing named", {"unlock", "--nick", "taken_nick"}, "name the operator"},
        };
        for (const char* kind : {"sqlite", "postgresql"}) {
            if (QLatin1String(kind) == QLatin1String("postgresql") && qEnvironmentVariableIsEmpty("KX_PG_URL"))
                continue;
            for (const auto& [name, args, message] : cases)
                QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(kind, name))) << kind << args << message;
        }
    }
    void refusals()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString db = engine(kind).url;
        if (sellers(kind) == 0 || !kxservice({"admin", "list-sellers", "--db", db}).out.contains("taken_nick"))
            QCOMPARE(kxservice({"admin", "create-seller", "--db", db, "--nick", "taken_nick", "--password", "Sturdy-9x"}).code, 0);
        const int before = sellers(kind);
        const TRun r = kxservice(QStringList{"admin"} + args + QStringList{"--db", db});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(sellers(kind), before);
    }

    void twoCommandsAtOnceRefused_data() { engines_data(); }
    void twoCommandsAtOnceRefused()
    {
        QFETCH(QString, kind);
        const QString db = engine(kind).url;
        QCOMPARE(kxservice({"admin", "list-sellers", "--db", db}).code, 0); // the schema exists
        const int before = sellers(kind);
        {
            TDbUrl u;
            QString err;
            TDbUrl::parse(db, u, err);
            TDatabase store(u);
            TAdminLock held(store);
            const TRun r = kxservice({"admin", "create-seller", "--db", db, "--nick", "while_locked", "--password", "Sturdy-9x"});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("another administration command"), qPrintable(r.err));
            QCOMPARE(sellers(kind), before);
        }
        // Once the first is done, the next goes through.
        QCOMPARE(kxservice({"admin", "create-seller", "--db", db, "--nick", "while_locked", "--password", "Sturdy-9x"}).code, 0);
    }
};

QTEST_MAIN(TestAdmin)
#include "tst_admin.moc"
