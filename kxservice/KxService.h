#pragma once
// One service instance: log, store, dispatcher and HTTP front wired together. The program
// runs one in its main thread; tests run one on a background thread.
#include "ServiceOptions.h"
#include "http/HttpFront.h"

#include <memory>
#include <thread>

class TServiceLog;
class TDatabase;
class TDispatcher;

// What GET /health answers: the database reached and at this program's schema version.
THttpFront::THealth KxHealth(TDatabase& store);

class TKxService {
public:
    explicit TKxService(TServiceOptions options);
    ~TKxService();

    // Opens and migrates the database, brings sellers' module catalogues up to date, seeds it,
    // binds the port. Throws std::runtime_error with a message for the operator.
    void prepare();
    int port() const { return m_port; }
    QString url() const;               // http[s]://host:port/Service.aspx
    void serve();                      // blocks until stop()
    void start();                      // serves on a background thread; returns when listening
    void stop();

    TDatabase& store() { return *m_store; }
    const TServiceOptions& options() const { return m_options; }

    static QString defaultDatabasePath();

private:
    TServiceOptions m_options;
    std::unique_ptr<TServiceLog> m_log;
    std::unique_ptr<TDatabase> m_store;
    std::unique_ptr<TDispatcher> m_dispatcher;
    std::unique_ptr<THttpFront> m_http;
    std::thread m_thread;
    int m_port = -1;
};
