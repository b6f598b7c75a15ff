#pragma once
// A real kxservice for one test program: started in-process on a free loopback port with its
// own database (a temporary SQLite file, or a fresh schema of the PostgreSQL database named
// by KX_PG_URL), the demo seller and a second seller; called through the client's THttpWeb.
#include "EngineSupport.h"
#include "KxService.h"
#include "ScriptedUi.h"
#include "store/Database.h"
#include "store/Seeder.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

// The outcome of one call through THttpWeb.
struct TCallResult {
    bool ok = false;
    QString error;                // what the operator was shown
    QMap<QString, QString> values;
    QString value(const QString& n) const { return values.value(n); }
};

// Who calls. A caller naming an operator sends `key` as its session key, or, when it is
// empty, the key of that operator's last login through the fixture.
struct TCaller {
    QString nick, oper, shop;
    QString key = {};
};

class TServiceFixture {
public:
    // kind: "sqlite" or "postgresql" (needs KX_PG_URL).
    // tune changes the options the service starts with.
    explicit TServiceFixture(const QString& kind, qint64 maxBodyBytes = qint64(4) << 20,
                             const std::function<void(TServiceOptions&)>& tune = {})
        : database(kind, QStringLiteral("kxt_"))
    {
        TServiceOptions o;
        o.port = 0;
        o.db = database.url();
        o.seed = QStringLiteral("demo");
        o.logFile = dir.filePath(QStringLiteral("service.log"));
        o.maxBodyBytes = maxBodyBytes;
        o.workers = 40;
        if (tune)
            tune(o);
        service = std::make_unique<TKxService>(o);
        service->prepare();
        // A second seller with its own accounts, for isolation.
        QJsonObject other = KxSeedFile(QStringLiteral("demo.json"));
        QJsonObject seller = other.value(QLatin1String("seller")).toObject();
        seller[QLatin1String("nickid")] = QStringLiteral("2002");
        seller[QLatin1String("masternick")] = QStringLiteral("other_seller");
        other[QLatin1String("seller")] = seller;
        QJsonArray ops;
        ops.append(QJsonObject{{"operid", "bossb"}, {"opername", "乙老板"}, {"password", "bossb888"}, {"rights", "all"}});
        other[QLatin1String("operators")] = ops;
        other.remove(QLatin1String("market"));
        KxSeedSeller(service->store(), other);
        {
            // The demo's buyers stand still in tests; a test that wants them to order starts them.
            QSqlDatabase d = service->store().connection();
            KxExec(d, QStringLiteral("DELETE FROM kx_mk_live"));
        }
        service->store().releaseThreadConnection();
        service->start();
    }
    ~TServiceFixture()
    {
        gSessionKey.clear();
        KxResetTransport();
        service.reset();   // before its database goes
    }
    QString url() const { return service->url(); }

    // One call as the client makes it: session parameters first, then the others in order.
    TCallResult call(const TCaller& who, const QString& method, const QList<QPair<QString, QString>>& params = {},
                     const QList<QPair<QString, QString>>& files = {})
    {
        THttpWeb web;
        web.setNickid(who.nick);
        web.setOperid(who.oper);
        web.setShopid(who.shop);
        // Always the caller's own key (empty before a login), never the process-wide one.
        web.Request()->AddParams(QStringLiteral("sessionkey"), who.key.isEmpty() ? sessionKey(who.nick, who.oper) : who.key);
        web.setModule(method);
        for (const auto& p : params)
            web.Request()->AddParams(p.first, p.second);
        for (const auto& f : files)
            web.Request()->AddFiles(f.first, f.second);
        const qsizetype before = ui.texts.size();
        TCallResult r;
        r.ok = web.SendData();
        if (!r.ok) {
            std::lock_guard lock(ui.m);
            r.error = ui.texts.size() > before ? ui.texts.last() : QStringLiteral("<no message>");
        }
        for (int i = 0; i < web.Response()->ParamCount(); ++i) {
            const QString n = web.Response()->ParamName(i);
            if (!r.values.contains(n))
                r.values.insert(n, web.Response()->GetParam(n));
        }
        if (r.ok && r.values.contains(QStringLiteral("sessionkey")))
            rememberLogin(who.nick, web.Request()->ParamValue(QStringLiteral("usercode")), r.value(QStringLiteral("sessionkey")));
        return r;
    }

    // The key of the operator's last login through call(); empty before one.
    QString sessionKey(const QString& nick, const QString& oper)
    {
        std::lock_guard lock(keysMutex);
        return keys.value(nick + u'/' + oper);
    }

    // A direct connection to the service's database for checks and for arranging state.
    QSqlDatabase db() { return service->store().connection(); }
    QVariant scalar(const QString& sql, const QVariantList& args = {})
    {
        QSqlDatabase d = db();
        return KxScalar(d, sql, args);
    }
    void exec(const QString& sql, const QVariantList& args = {})
    {
        QSqlDatabase d = db();
        KxExec(d, sql, args);
    }

    // Module windows driven by the tests call as the client does, with gOperId and
    // gSessionKey: a login made on the main thread sets the key when it is the client's
    // operator's (or the client has none yet).
    void rememberLogin(const QString& nick, const QString& oper, const QString& key)
    {
        {
            std::lock_guard lock(keysMutex);
            keys.insert(nick + u'/' + oper, key);
        }
        if (QThread::currentThread() == QCoreApplication::instance()->thread() && (gOperId.isEmpty() || gOperId == oper))
            gSessionKey = key;
    }

    QTemporaryDir dir;
    TScratchDatabase database;
    std::mutex keysMutex;
    QMap<QString, QString> keys;
    std::unique_ptr<TKxService> service;
    TScriptedUi ui;
};

// One service per engine, started on first use with the given operators logged in: for test
// programs whose cases run on SQLite and PostgreSQL alike (KxEngineRows, KX_FETCH_ENGINE).
class TLoggedInServices {
public:
    struct TLogin {
        TCaller who;
        QString password;
    };
    explicit TLoggedInServices(QList<TLogin> logins = {}) : m_logins(std::move(logins)) {}
    TLoggedInServices(TCaller admin, QString password) : m_logins{{std::move(admin), std::move(password)}} {}

    TServiceFixture& of(const QString& kind)
    {
        auto& f = m_services[kind];
        if (!f) {
            f = std::make_unique<TServiceFixture>(kind);
            KxSetServiceUrl(f->url());
            for (const TLogin& l : m_logins) {
                const TCallResult r = f->call({l.who.nick, QString(), QString()}, "PowerMger.Login",
                                              {{"shopcode", l.who.shop}, {"usercode", l.who.oper}, {"password", l.password}});
                if (!r.ok)
                    qFatal("login failed: %s", qPrintable(r.error));
            }
        }
        return *f;
    }
    void clear() { m_services.clear(); }

private:
    QList<TLogin> m_logins;
    std::map<QString, std::unique_ptr<TServiceFixture>> m_services;
};

// Reads an answer's data set.
inline std::unique_ptr<TPClientDataSet> KxDataSet(const QString& xml)
{
    auto ds = std::make_unique<TPClientDataSet>();
    if (!ds->SetKXXMLData(xml))
        return nullptr;
    return ds;
}

inline QStringList KxColumn(const QString& xml, const QString& field)
{
    QStringList out;
    auto ds = KxDataSet(xml);
    if (!ds)
        return {QStringLiteral("<not a data packet>")};
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}
