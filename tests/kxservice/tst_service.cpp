// The service's methods called through the client's THttpWeb: the shell before and after
// login, module descriptions and rights, bad input, sessions, isolation between sellers,
// concurrent saves and atomic saves. Every test runs against SQLite and, when KX_PG_URL names
// a database, against PostgreSQL.
#include "ServiceFixture.h"

#include "uAnswerCodec.h"
#include "uResponse.h"

#include <httplib.h>

#include <QDateTime>
#include <atomic>
#include <thread>

namespace {
const TCaller kAnon{QStringLiteral(""), QStringLiteral(""), QStringLiteral("")};
const TCaller kSeller{QStringLiteral("1001"), QStringLiteral(""), QStringLiteral("")};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};
const TCaller kBossB{QStringLiteral("2002"), QStringLiteral("bossb"), QStringLiteral("S01")};

QList<QPair<QString, QString>> loginParams(const QString& oper, const QString& password, const QString& shop = QStringLiteral("S01"))
{
    return {{QStringLiteral("shopcode"), shop}, {QStringLiteral("usercode"), oper}, {QStringLiteral("password"), password}};
}

// A delta inserting brands with the given names (and codes, when given).
QString brandInserts(const QStringList& names, const QStringList& codes = {})
{
    TPClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("brand_id"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("brand_name"), ftString, 100);
    ds.FieldDefs().Add(QStringLiteral("md5_key"), ftString, 32);
    ds.CreateDataSet();
    for (int i = 0; i < names.size(); ++i) {
        ds.Append();
        if (i < codes.size())
            ds.FieldByName(QStringLiteral("brand_id"))->SetAsString(codes[i]);
        ds.FieldByName(QStringLiteral("brand_name"))->SetAsString(names[i]);
        ds.FieldByName(QStringLiteral("md5_key"))->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
        ds.Post();
    }
    return ds.GetKXXMLDelta();
}

// Posts a hand-made body, bypassing the client's checks; returns the answer's error text.
QString rawPost(const QString& url, const std::string& body, const std::string& contentType)
{
    const QUrl u(url);
    httplib::Client c(u.host().toStdString(), u.port());
    auto res = c.Post(u.path().toStdString(), body, contentType.c_str());
    if (!res)
        return QStringLiteral("<transport error %1>").arg(int(res.error()));
    if (res->status != 200)
        return QStringLiteral("<HTTP %1>").arg(res->status);
    TResponse r;
    try {
        r.DataReceive(QByteArray::fromStdString(res->body));
        return QStringLiteral("<ok>");
    } catch (const EKXServiceError& e) {
        return e.Message;
    }
}
}

class TestService : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures;
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    void login(const TCaller& who, const QString& password)
    {
        const TCallResult r = fx().call({who.nick, QString(), QString()}, QStringLiteral("PowerMger.Login"), loginParams(who.oper, password, who.shop));
        QVERIFY2(r.ok, qPrintable(r.error));
    }
    int brandCount(const QString& nick)
    {
        return fx().scalar(QStringLiteral("SELECT COUNT(*) FROM kx_brand WHERE nickid = ?"), {nick}).toInt();
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui); // each database's fixture records what its calls show
        fx().ui.clear();
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    void shellCallsBeforeLogin()
    {
        TServiceFixture& f = fx();
        const TCallResult dir = f.call(kAnon, QStringLiteral("PowerMger.Module"), {{QStringLiteral("masternick"), QStringLiteral("varnoq_demo")}});
        QVERIFY2(dir.ok, qPrintable(dir.error));
        QCOMPARE(dir.value("nickid"), QStringLiteral("1001"));
        QCOMPARE(dir.value("moduletitle"), QStringLiteral("VarnoqERP"));
        for (const char* n : {"nickname", "loadlib", "shop", "operator", "subnick", "loginsys", "modifypsw", "help", "qq"})
            QVERIFY2(!dir.value(QString::fromLatin1(n)).isEmpty(), n);

        const TCallResult nick = f.call(kAnon, QStringLiteral("PowerMger.SETNICK"), {{QStringLiteral("masternick"), QStringLiteral(" varnoq_demo ")}});
        QVERIFY2(nick.ok, qPrintable(nick.error));
        QCOMPARE(nick.value("masternick"), QStringLiteral("varnoq_demo"));

        const TCallResult libs = f.call(kSeller, dir.value("loadlib"));
        QVERIFY2(libs.ok, qPrintable(libs.error));
        QCOMPARE(KxColumn(libs.value("xmldata"), "libname"),
                 QStringList({"kx_scrips.so", "kx_basic.so", "kx_express.so", "kx_report.so"}));
        const TCallResult shops = f.call(kSeller, dir.value("shop"));
        QCOMPARE(KxColumn(shops.value("xmldata"), "shopcode"), QStringList({"S01", "S02"}));
        const TCallResult ops = f.call(kSeller, dir.value("operator"));
        QCOMPARE(KxColumn(ops.value("xmldata"), "operid"), QStringList({"admin", "clerk"})); // the disabled one is not offered
        auto opset = KxDataSet(ops.value("xmldata"));
        QVERIFY(opset);
        QCOMPARE(opset->FieldCount(), 2); // names only: never a password or its hash
        QVERIFY(!ops.values.value("xmldata").contains(QStringLiteral("argon2")));
        const TCallResult subs = f.call(kSeller, dir.value("subnick"));
        const int seededSubnicks = int(KxSeedFile(QStringLiteral("demo.json")).value(QLatin1String("subnicks")).toArray().size());
        QCOMPARE(KxColumn(subs.value("xmldata"), "nick").size(), seededSubnicks);
    }

    void loginAnswersNavigationForTheOperator_data()
    {
        QTest::addColumn<QString>("oper");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("seesReceive");
        QTest::newRow("admin: every module") << "admin" << "admin888" << "管理员" << true;
        QTest::newRow("clerk: only granted modules") << "clerk" << "clerk888" << "店员小王" << false;
    }
    void loginAnswersNavigationForTheOperator()
    {
        QFETCH(QString, oper);
        QFETCH(QString, password);
        QFETCH(QString, username);
        QFETCH(bool, seesReceive);
        const TCallResult r = fx().call(kSeller, QStringLiteral("PowerMger.Login"), loginParams(oper, password, "S02"));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("shopname"), QStringLiteral("瓦诺克折扣店"));
        QCOMPARE(r.value("username"), username);
        for (const char* t : {"kx_menu", "kx_module", "kx_nav", "kx_nav_bar", "kx_nav_but", "kx_start_but"})
            QVERIFY2(KxDataSet(r.value(QString::fromLatin1(t))) != nullptr, t);
        const QStringList modules = KxColumn(r.value("kx_module"), "mod_name");
        QCOMPARE(modules.contains("Receive.Module"), seesReceive);
        QVERIFY(modules.contains("Trade.Module"));
        QVERIFY(modules.contains("System.ModifyPsw")); // open to every operator
        // Every menu entry and start button opens a module the operator may open.
        auto menu = KxDataSet(r.value("kx_menu"));
        auto mods = KxDataSet(r.value("kx_module"));
        for (menu->First(); !menu->Eof(); menu->Next()) {
            const int id = menu->FieldByName("mod_id")->AsInteger();
            QVERIFY(id == 0 || mods->Locate("mod_id", id));
        }
        if (oper == QLatin1String("admin")) {
            // The start menu covers every module a person opens from the menu.
            QCOMPARE(KxColumn(r.value("kx_start_but"), "but_name").filter(QRegularExpression("^[^-]")).size(),
                     KxColumn(r.value("kx_menu"), "mod_id").filter(QRegularExpression("^[1-9]")).size());
        }
    }

    void moduleDescriptions_data()
    {
        QTest::addColumn<QString>("oper");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("moduleclass");
        QTest::addColumn<QString>("modal");
        QTest::addColumn<QString>("power");   // or "!" + a fragment of the refusal
        QTest::newRow("admin, document list") << "admin" << "Receive.Module" << "TfrmReceive" << "false"
            << "isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;";
        QTest::newRow("admin, modal edit form") << "admin" << "Receive.Edit" << "TfrmReceiveEdit" << "true"
            << "isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;";
        QTest::newRow("clerk, stored rights") << "clerk" << "Trade.Module" << "TfrmTrade" << "false"
            << "issearch=True;isprint=True;isoutput=True;iscolumn=True;";
        QTest::newRow("clerk, search only") << "clerk" << "Storage.Module" << "TfrmStorage" << "false" << "issearch=True;";
        QTest::newRow("clerk, pick dialog open to all") << "clerk" << "Select.Commodity" << "TFrmSelect" << "true"
            << "issearch=True;iscolumn=True;";
        QTest::newRow("clerk, shell window") << "clerk" << "System.ModifyPsw" << "TFrmModifyPsw" << "true" << "";
        QTest::newRow("clerk, module not granted") << "clerk" << "Receive.Module" << "" << "" << "!没有使用【采购入库单】模块的权限";
        QTest::newRow("unknown module") << "admin" << "Nothing.Module" << "" << "" << "!未知的服务方法或模块";
    }
    void moduleDescriptions()
    {
        QFETCH(QString, oper);
        QFETCH(QString, module);
        QFETCH(QString, moduleclass);
        QFETCH(QString, modal);
        QFETCH(QString, power);
        const TCaller who = oper == QLatin1String("admin") ? kAdmin : kClerk;
        login(who, oper + QStringLiteral("888"));
        const TCallResult r = fx().call(who, module);
        if (power.startsWith(QLatin1Char('!'))) {
            QVERIFY(!r.ok);
            QVERIFY2(r.error.contains(power.mid(1)), qPrintable(r.error));
            return;
        }
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("moduleclass"), moduleclass);
        QCOMPARE(r.value("modal"), modal);
        QCOMPARE(r.value("modulepower"), power);
        QVERIFY(!r.value("moduletitle").isEmpty());
    }

    void everyStartMenuModuleHasADescription()
    {
        login(kAdmin, "admin888");
        const TCallResult l = fx().call(kSeller, QStringLiteral("PowerMger.Login"), loginParams("admin", "admin888"));
        auto start = KxDataSet(l.value("kx_start_but"));
        auto mods = KxDataSet(l.value("kx_module"));
        int described = 0;
        for (start->First(); !start->Eof(); start->Next()) {
            if (start->FieldByName("but_name")->AsString() == QLatin1String("-"))
                continue;
            QVERIFY(mods->Locate("mod_id", start->FieldByName("mod_id")->AsInteger()));
            const QString name = mods->FieldByName("mod_name")->AsString();
            const TCallResult d = fx().call(kAdmin, name);
            QVERIFY2(d.ok && !d.value("moduleclass").isEmpty(), qPrintable(name + ": " + d.error));
            ++described;
        }
        QVERIFY(described > 40);
    }

    void badInputIsRefusedAndNothingIsWritten_data()
    {
        QTest::addColumn<QString>("case_");
        QTest::addColumn<QString>("expected"); // fragment of the message shown
        QTest::newRow("wrong signature") << "sign" << "错误号：2";
        QTest::newRow("unknown nick") << "nick" << "商家帐号【9999】不存在";
        QTest::newRow("unknown master nick") << "masternick" << "没有开通本系统";
        QTest::newRow("unknown operator") << "oper" << "操作员【nobody】不存在";
        QTest::newRow("disabled operator") << "disabled" << "操作员【retired】已停用";
        QTest::newRow("wrong password") << "password" << "密码错误";
        QTest::newRow("missing right") << "right" << "您没有【仓库管理】的录入权限";
        QTest::newRow("missing parameter") << "param" << "缺少参数：usercode";
        QTest::newRow("unknown method") << "method" << "未知的服务方法或模块";
        QTest::newRow("SQL in a key") << "sqlkey" << "门店【S01' OR '1'='1】不存在";
        QTest::newRow("delta not a data packet") << "delta" << "不是有效的修改记录";
        QTest::newRow("no delta") << "nodelta" << "缺少提交的修改记录";
        QTest::newRow("oversized body") << "big" << "请求太大";
        QTest::newRow("malformed multipart") << "malformed" << "请求格式错误";
        QTest::newRow("not multipart") << "form" << "需要 multipart/form-data";
        QTest::newRow("control character") << "control" << "不允许的控制字符";
        QTest::newRow("wrong path") << "path" << "服务地址错误";
    }
    void badInputIsRefusedAndNothingIsWritten()
    {
        QFETCH(QString, case_);
        QFETCH(QString, expected);
        TServiceFixture& f = fx();
        login(kAdmin, "admin888");
        login(kClerk, "clerk888");
        const int brands = brandCount("1001");
        const int sessions = f.scalar("SELECT COUNT(*) FROM kx_session").toInt();
        QString shown;
        auto callErr = [&](const TCaller& who, const QString& m, const QList<QPair<QString, QString>>& p,
                           const QList<QPair<QString, QString>>& files = {}) {
            const TCallResult r = f.call(who, m, p, files);
            return r.ok ? QStringLiteral("<ok>") : r.error;
        };
        if (case_ == "sign") {
            THttpWeb web;
            web.setNickid("1001");
            web.setModule("PowerMger.Shop");
            QString ct;
            QByteArray body = web.BuildBody(&ct);
            body.replace("PowerMger.Shop", "PowerMger.Stop"); // changed after signing
            shown = rawPost(f.url(), body.toStdString(), ct.toStdString());
        } else if (case_ == "nick") {
            shown = callErr({"9999", "", ""}, "PowerMger.Shop", {});
        } else if (case_ == "masternick") {
            shown = callErr(kAnon, "PowerMger.Module", {{"masternick", "nobody_here"}});
        } else if (case_ == "oper") {
            shown = callErr(kSeller, "PowerMger.Login", loginParams("nobody", "x"));
        } else if (case_ == "disabled") {
            shown = callErr(kSeller, "PowerMger.Login", loginParams("retired", "retired888"));
        } else if (case_ == "password") {
            shown = callErr(kSeller, "PowerMger.Login", loginParams("admin", "admin889"));
        } else if (case_ == "right") {
            shown = callErr(kClerk, "Storage.Update", {}, {{"delta", brandInserts({"x"})}});
        } else if (case_ == "param") {
            shown = callErr(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"password", "x"}});
        } else if (case_ == "method") {
            shown = callErr(kAdmin, "Brand.Drop", {});
        } else if (case_ == "sqlkey") {
            shown = callErr(kSeller, "PowerMger.Login", loginParams("admin", "admin888", "S01' OR '1'='1"));
        } else if (case_ == "delta") {
            shown = callErr(kAdmin, "Brand.Update", {}, {{"delta", "<html><body>not a delta</body></html>"}});
        } else if (case_ == "nodelta") {
            shown = callErr(kAdmin, "Brand.Update", {});
        } else if (case_ == "big") {
            shown = callErr(kAdmin, "Brand.Update", {}, {{"delta", QString(5 << 20, QLatin1Char('x'))}});
        } else if (case_ == "malformed") {
            shown = rawPost(f.url(), "--abc\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--abc-", "multipart/form-data; boundary=abc");
        } else if (case_ == "form") {
            shown = rawPost(f.url(), "module=PowerMger.Shop&nickid=1001", "application/x-www-form-urlencoded");
        } else if (case_ == "control") {
            shown = callErr(kAdmin, "Brand.Search", {{"brand_name", QStringLiteral("a\x01b")}});
        } else if (case_ == "path") {
            const QString other = f.url().replace("/Service.aspx", "/Other.aspx");
            shown = rawPost(other, "x", "text/plain");
        }
        QVERIFY2(shown.contains(expected), qPrintable(shown));
        // Nothing written, and the service goes on serving.
        QCOMPARE(brandCount("1001"), brands);
        QVERIFY(f.scalar("SELECT COUNT(*) FROM kx_session").toInt() <= sessions);
        const TCallResult still = f.call(kSeller, "PowerMger.Shop");
        QVERIFY2(still.ok, qPrintable(still.error));
    }

    void valuesWithQuotesAndSqlAreStoredAsText()
    {
        login(kAdmin, "admin888");
        const QString evil = QStringLiteral("O'Brien\"; DROP TABLE kx_brand; -- ]]> <b>&amp;</b>");
        const TCallResult r = fx().call(kAdmin, "Brand.Update", {}, {{"delta", brandInserts({evil})}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "brand_name"), QStringList{evil});
        const TCallResult s = fx().call(kAdmin, "Brand.Search", {{"brand_name", evil}, {"curpage", "0"}});
        QVERIFY2(s.ok, qPrintable(s.error));
        QCOMPARE(KxColumn(s.value("xmldata"), "brand_name"), QStringList{evil});
        QCOMPARE(s.value("recordcount"), QStringLiteral("1"));
    }

    void saveIsAtomic_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("third row breaks a rule") << QStringList{"甲", "乙", ""} << QStringList{} << "品牌名称不能为空";
        QTest::newRow("duplicate code at the end") << QStringList{"丙", "丁"} << QStringList{"B777", "B01"} << "品牌编码【B01】已存在";
    }
    void saveIsAtomic()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, codes);
        QFETCH(QString, expected);
        login(kAdmin, "admin888");
        const int before = brandCount("1001");
        const QVariant counter = fx().scalar("SELECT value FROM kx_counter WHERE nickid = '1001' AND name = 'kx_brand'");
        const TCallResult r = fx().call(kAdmin, "Brand.Update", {}, {{"delta", brandInserts(names, codes)}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(expected), qPrintable(r.error));
        QCOMPARE(brandCount("1001"), before);
        QCOMPARE(fx().scalar("SELECT value FROM kx_counter WHERE nickid = '1001' AND name = 'kx_brand'"), counter);
    }

    void sessionsAreBoundToTheirKey()
    {
        TServiceFixture& f = fx();
        const auto storages = [&](const QString& key = {}) {
            return f.call({"1001", "clerk", "S01", key}, "Storage.Search");
        };
        f.exec("DELETE FROM kx_session");
        TCallResult r = storages("no-such-key");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("错误号：14") && r.error.contains("登录已过期，请重新登录"), qPrintable(r.error));

        login(kClerk, "clerk888");
        const QString key = f.sessionKey("1001", "clerk");
        QCOMPARE(key.size(), 64);
        QVERIFY2(storages().ok, qPrintable(storages().error));
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_session WHERE keyhash = ?", {key}).toInt(), 0); // only its hash is kept

        // The address no longer matters; the key does.
        f.exec("UPDATE kx_session SET client_addr = '10.9.8.7' WHERE operid = 'clerk'");
        QVERIFY(storages().ok);
        login(kAdmin, "admin888");
        r = storages(f.sessionKey("1001", "admin"));
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("操作员【clerk】没有登录或登录已失效"), qPrintable(r.error));
        r = storages(QString(key).replace(0, 1, key.startsWith('0') ? "1" : "0"));
        QVERIFY2(r.error.contains("错误号：14"), qPrintable(r.error));

        // Idle for longer than the limit: expired, and gone.
        f.exec("UPDATE kx_session SET last_seen = ? WHERE operid = 'clerk'", {QDateTime::currentSecsSinceEpoch() - 13 * 3600});
        r = storages();
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("错误号：14") && r.error.contains("登录已超时"), qPrintable(r.error));
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_session WHERE operid = 'clerk'").toInt(), 0);

        // Use slides the expiry forward.
        login(kClerk, "clerk888");
        const qint64 old = QDateTime::currentSecsSinceEpoch() - 3 * 3600;
        f.exec("UPDATE kx_session SET last_seen = ? WHERE operid = 'clerk'", {old});
        QVERIFY(storages().ok);
        QVERIFY(f.scalar("SELECT last_seen FROM kx_session WHERE operid = 'clerk'").toLongLong() > old);

        // A login that names the client's previous key replaces that session.
        const QString previous = f.sessionKey("1001", "clerk");
        QVERIFY(f.call({"1001", "", "", previous}, "PowerMger.Login", loginParams("clerk", "clerk888")).ok);
        QVERIFY2(storages(previous).error.contains("错误号：14"), qPrintable(storages(previous).error));
        QVERIFY(storages().ok);
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_session WHERE operid = 'clerk'").toInt(), 1);

        // Another shop than the one logged in to.
        r = f.call({"1001", "clerk", "S02"}, "Storage.Search");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("与登录的门店不同"), qPrintable(r.error));
    }

    // Who may call a method that needs an operator: the seller, the operator's session and
    // rights are read together, and each part still refuses on its own.
    void callerChecks_data()
    {
        QTest::addColumn<QStringList>("who");      // nick, oper, shop
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("arrange");  // before the call; undone by "restore"
        QTest::addColumn<QStringList>("restore");
        QTest::addColumn<QString>("expected");     // fragment of the refusal; empty: allowed
        QTest::addColumn<QString>("gone");         // counts rows that must be gone afterwards
        const QStringList admin{"1001", "admin", "S01"}, clerk{"1001", "clerk", "S01"};
        QTest::newRow("unknown seller") << QStringList{"9999", "admin", "S01"} << "Brand.Search" << QStringList() << QStringList()
                                        << "商家帐号【9999】不存在" << "";
        QTest::newRow("no operator") << QStringList{"1001", "", ""} << "Brand.Search" << QStringList() << QStringList() << "请先登录" << "";
        QTest::newRow("unknown seller, no operator") << QStringList{"9999", "", ""} << "Brand.Search" << QStringList() << QStringList()
                                                     << "商家帐号【9999】不存在" << "";
        QTest::newRow("operator disabled since login")
            << clerk << "Storage.Search" << QStringList{"UPDATE kx_operator SET isuse = 0 WHERE nickid = '1001' AND operid = 'clerk'"}
            << QStringList{"UPDATE kx_operator SET isuse = 1 WHERE nickid = '1001' AND operid = 'clerk'"} << "操作员【clerk】已停用"
            << "SELECT COUNT(*) FROM kx_session WHERE nickid = '1001' AND operid = 'clerk'";
        QTest::newRow("operator gone since login")
            << clerk << "Storage.Search" << QStringList{"UPDATE kx_operator SET operid = 'clerk_' WHERE nickid = '1001' AND operid = 'clerk'"}
            << QStringList{"UPDATE kx_operator SET operid = 'clerk' WHERE nickid = '1001' AND operid = 'clerk_'"} << "没有登录或登录已失效" << "";
        QTest::newRow("method in no module")
            << admin << "Brand.Search" << QStringList{"UPDATE kx_module_param SET ismethod = 0 WHERE nickid = '1001' AND value = 'Brand.Search'"}
            << QStringList{"UPDATE kx_module_param SET ismethod = 1 WHERE nickid = '1001' AND value = 'Brand.Search'"}
            << "不属于您可以使用的任何模块" << "";
        QTest::newRow("right from a public module's defaults") << clerk << "Select.GoodsSearch" << QStringList() << QStringList() << "" << "";
        QTest::newRow("public module's list without the search right")
            << clerk << "Select.GoodsSearch"
            << QStringList{"UPDATE kx_module SET defpower = 'issearchx,iscolumn' WHERE nickid = '1001' AND mod_name = 'Select.Goods'"}
            << QStringList{"UPDATE kx_module SET defpower = 'issearch,iscolumn' WHERE nickid = '1001' AND mod_name = 'Select.Goods'"}
            << "" << "";
        // Reading needs the module only; saving keeps its right.
        const QString storageModule = "(SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'Storage.Module')";
        QTest::newRow("list without the search right")
            << clerk << "Storage.Search" << QStringList{"UPDATE kx_power SET issearch = 0 WHERE nickid = '1001' AND operid = 'clerk' AND mod_id = " + storageModule}
            << QStringList{"UPDATE kx_power SET issearch = 1 WHERE nickid = '1001' AND operid = 'clerk' AND mod_id = " + storageModule} << "" << "";
        QTest::newRow("save without the entry right") << clerk << "Storage.Update" << QStringList() << QStringList() << "您没有【仓库管理】的录入权限" << "";
        QTest::newRow("right held") << clerk << "Storage.Search" << QStringList() << QStringList() << "" << "";
        QTest::newRow("module held, method needs no right") << clerk << "Lookup.Storage" << QStringList() << QStringList() << "" << "";
        QTest::newRow("no naming module held")
            << clerk << "Lookup.Storage" << QStringList{"UPDATE kx_power SET operid = 'clerk_' WHERE nickid = '1001' AND operid = 'clerk'"}
            << QStringList{"UPDATE kx_power SET operid = 'clerk' WHERE nickid = '1001' AND operid = 'clerk_'"} << "模块的权限" << "";
        QTest::newRow("module not granted") << clerk << "Receive.Search" << QStringList() << QStringList() << "您没有使用【采购入库单】模块的权限" << "";
    }
    void callerChecks()
    {
        QFETCH(QStringList, who);
        QFETCH(QString, method);
        QFETCH(QStringList, arrange);
        QFETCH(QStringList, restore);
        QFETCH(QString, expected);
        QFETCH(QString, gone);
        TServiceFixture& f = fx();
        login(kAdmin, "admin888");
        login(kClerk, "clerk888");
        for (const QString& s : arrange)
            f.exec(s);
        const TCallResult r = f.call({who[0], who[1], who[2]}, method);
        for (const QString& s : restore)
            f.exec(s);
        if (expected.isEmpty()) {
            QVERIFY2(r.ok, qPrintable(r.error));
        } else {
            QVERIFY(!r.ok);
            QVERIFY2(r.error.contains(expected), qPrintable(r.error));
        }
        if (!gone.isEmpty())
            QCOMPARE(f.scalar(gone).toInt(), 0);
    }

    void passwordChange()
    {
        login(kClerk, "clerk888");
        TCallResult r = fx().call(kClerk, "PowerMger.ModifyPsw", {{"oldpassword", "wrong"}, {"newpassword", "new-清风-1"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("旧密码错误"), qPrintable(r.error));
        r = fx().call(kClerk, "PowerMger.ModifyPsw", {{"oldpassword", "clerk888"}, {"newpassword", ""}});
        QVERIFY2(r.error.contains("新密码不能为空"), qPrintable(r.error));
        r = fx().call(kClerk, "PowerMger.ModifyPsw", {{"oldpassword", "clerk888"}, {"newpassword", "new-清风-1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!fx().call(kSeller, "PowerMger.Login", loginParams("clerk", "clerk888")).ok);
        QVERIFY(fx().call(kSeller, "PowerMger.Login", loginParams("clerk", "new-清风-1")).ok);
        QVERIFY(fx().scalar("SELECT pwhash FROM kx_operator WHERE operid = 'clerk' AND nickid = '1001'").toString().startsWith("$argon2id$"));
        QVERIFY(fx().call(kClerk, "PowerMger.ModifyPsw", {{"oldpassword", "new-清风-1"}, {"newpassword", "clerk888"}}).ok);
    }

    void sellersAreIsolated()
    {
        TServiceFixture& f = fx();
        login(kBossB, "bossb888");
        login(kAdmin, "admin888");
        QVERIFY(f.call(kBossB, "Brand.Update", {}, {{"delta", brandInserts({"乙的品牌"})}}).ok);
        const QStringList mine = KxColumn(f.call(kAdmin, "Brand.Search", {{"curpage", "0"}}).value("xmldata"), "brand_name");
        QVERIFY(!mine.contains("乙的品牌"));
        const QStringList theirs = KxColumn(f.call(kBossB, "Brand.Search", {{"curpage", "0"}}).value("xmldata"), "brand_name");
        QVERIFY(theirs.contains("乙的品牌"));
        // B's operator naming seller A: no session there.
        const TCallResult r = f.call({"1001", "bossb", "S01"}, "Brand.Search");
        QVERIFY(!r.ok);
        // Seller A's operator list does not show B's operators.
        QVERIFY(!KxColumn(f.call(kSeller, "PowerMger.Operator").value("xmldata"), "operid").contains("bossb"));
    }

    void pagesOfAList()
    {
        login(kAdmin, "admin888");
        TServiceFixture& f = fx();
        const int total = brandCount("1001");
        const TCallResult p1 = f.call(kAdmin, "Brand.Search", {{"curpage", "1"}, {"pagesize", "2"}});
        QVERIFY2(p1.ok, qPrintable(p1.error));
        QCOMPARE(p1.value("recordcount").toInt(), total);
        QCOMPARE(p1.value("pagecount").toInt(), (total + 1) / 2);
        QCOMPARE(KxColumn(p1.value("xmldata"), "brand_id").size(), 2);
        const TCallResult all = f.call(kAdmin, "Brand.Search", {{"curpage", "0"}});
        QCOMPARE(KxColumn(all.value("xmldata"), "brand_id").size(), total);
        const TCallResult bad = f.call(kAdmin, "Brand.Search", {{"curpage", "x"}});
        QVERIFY2(bad.error.contains("curpage"), qPrintable(bad.error));
    }

    void concurrentSavesLoseNothingAndLeakNothing()
    {
        TServiceFixture& f = fx();
        login(kAdmin, "admin888");
        login(kBossB, "bossb888");
        const int beforeA = brandCount("1001"), beforeB = brandCount("2002");
        constexpr int kThreads = 32, kRounds = 6;
        std::atomic<int> failures{0};
        std::vector<QString> problems(kThreads);
        std::vector<std::thread> threads;
        const QString url = f.url();
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                KxSetServiceUrl(url);
                const bool a = t % 2 == 0;
                const TCaller who = a ? kAdmin : kBossB;
                const QString mark = a ? QStringLiteral("甲") : QStringLiteral("乙");
                for (int i = 0; i < kRounds; ++i) {
                    TCallResult r = f.call(who, "Brand.Update", {}, {{"delta", brandInserts({QStringLiteral("%1-%2-%3").arg(mark).arg(t).arg(i)})}});
                    if (!r.ok) {
                        ++failures;
                        problems[size_t(t)] = r.error;
                        continue;
                    }
                    r = f.call(who, "Brand.Search", {{"curpage", "0"}});
                    for (const QString& n : KxColumn(r.value("xmldata"), "brand_name"))
                        if (n.startsWith(a ? QStringLiteral("乙-") : QStringLiteral("甲-"))) {
                            ++failures;
                            problems[size_t(t)] = QStringLiteral("saw the other seller's ") + n;
                        }
                }
                KxResetTransport();
            });
        for (auto& th : threads)
            th.join();
        for (const QString& p : problems)
            QVERIFY2(p.isEmpty(), qPrintable(p));
        QCOMPARE(failures.load(), 0);
        QCOMPARE(brandCount("1001"), beforeA + kThreads / 2 * kRounds);
        QCOMPARE(brandCount("2002"), beforeB + kThreads / 2 * kRounds);
        QCOMPARE(f.scalar("SELECT COUNT(DISTINCT brand_id) FROM kx_brand WHERE nickid = '1001'").toInt(), beforeA + kThreads / 2 * kRounds);
    }
};

QTEST_MAIN(TestService)
#include "tst_service.moc"
