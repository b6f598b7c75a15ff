#include "KxService.h"

#include "ServiceLog.h"
#include "dispatch/Dispatcher.h"
#include "handlers/Handlers.h"
#include "http/HttpFront.h"
#include "http/TlsContext.h"
#include "store/Database.h"
#include "store/Migrations.h"
#include "market/MarketOpen.h"
#include "store/Seeder.h"

#include <QDir>
#include <QStandardPaths>
#include <chrono>
#include <stdexcept>

TKxService::TKxService(TServiceOptions options) : m_options(std::move(options)) {}

TKxService::~TKxService()
{
    stop();
    m_http.reset();
    m_dispatcher.reset();
    if (m_store)
        m_store->releaseThreadConnection();
}

QString TKxService::defaultDatabasePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share");
    return dir + QStringLiteral("/kxservice/kxservice.db");
}

THttpFront::THealth KxHealth(TDatabase& store)
{
    const char* engine = store.isSqlite() ? "sqlite" : "postgresql";
    THttpFront::THealth h;
    try {
        const int version = store.schemaVersion();
        h.ok = version == KxNewestSchemaVersion();
        h.json = QStringLiteral("{\"status\":\"%1\",\"database\":\"%2\",\"schema\":%3,\"expected\":%4}")
                     .arg(QLatin1String(h.ok ? "ok" : "schema"), QLatin1String(engine)).arg(version).arg(KxNewestSchemaVersion())
                     .toStdString();
    } catch (const TDbError&) {
        h.json = std::string("{\"status\":\"unavailable\",\"database\":\"") + engine + "\",\"schema\":null,\"expected\":"
               + std::to_string(KxNewestSchemaVersion()) + "}";
    }
    return h;
}

QString TKxService::url() const
{
    return QStringLiteral("%1://%2:%3/Service.aspx")
        .arg(QLatin1String(m_options.tlsCert.isEmpty() ? "http" : "https"), m_options.host).arg(m_port);
}

void TKxService::prepare()
{
    KxTlsContext(m_options); // the certificate and key checked before anything else is done
    m_log = std::make_unique<TServiceLog>(m_options.logFile);
    TDbUrl url;
    QString error;
    const QString dbText = m_options.db.isEmpty() ? QStringLiteral("sqlite:") + defaultDatabasePath() : m_options.db;
    if (!TDbUrl::parse(dbText, url, error))
        throw std::runtime_error("--db: " + error.toStdString());
    m_store = std::make_unique<TDatabase>(url);
    try {
        m_store->migrate();
        for (const TCatalogueUpdate& u : KxUpdateCatalogues(*m_store))
            m_log->info(QStringLiteral("seller %1: module catalogue brought up to date (modules added %2, changed %3, removed %4;"
                                       " packages %5, navigation %6)")
                            .arg(u.nickid).arg(u.added).arg(u.changed).arg(u.removed)
                            .arg(QLatin1String(u.packages ? "rewritten" : "kept"), QLatin1String(u.navigation ? "rewritten" : "kept")));
        if (m_options.seed == QLatin1String("demo")) {
            if (KxSeedSeller(*m_store, KxSeedFile(QStringLiteral("demo.json")), KxOpenMarket))
                m_log->info(QStringLiteral("demo seller created"));
        } else if (m_options.seed != QLatin1String("none")) {
            throw std::runtime_error("--seed must be demo or none");
        }
    } catch (const TDbError& e) {
        throw std::runtime_error(std::string("database: ") + e.what());
    }
    // The preparing thread's connection is not a worker's: close it now.
    m_store->releaseThreadConnection();

    m_dispatcher = std::make_unique<TDispatcher>(*m_store, m_options, *m_log);
    KxRegisterHandlers(*m_dispatcher);
    TDatabase* store = m_store.get();
    m_http = std::make_unique<THttpFront>(m_options, *m_dispatcher, [store] { store->releaseThreadConnection(); });
    m_http->setHealthProbe([store] { return KxHealth(*store); });
    m_port = m_http->bind();
    if (m_port <= 0)
        throw std::runtime_error(QStringLiteral("cannot listen on %1:%2").arg(m_options.host).arg(m_options.port).toStdString());
    m_log->info(QStringLiteral("kxservice listening on %1, database %2").arg(this->url(), url.display()));
}

void TKxService::serve()
{
    m_http->listen();
}

void TKxService::start()
{
    m_thread = std::thread([this] { m_http->listen(); });
    while (!m_http->isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TKxService::stop()
{
    if (m_http)
        m_http->stop();
    if (m_thread.joinable())
        m_thread.join();
}
