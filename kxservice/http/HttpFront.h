#pragma once
// The HTTP side: one POST endpoint, /Service.aspx. One network thread waits on every socket
// (epoll, through Boost.Asio) and reads requests under time limits; a fixed pool of workers
// runs the calls. An idle or slow connection holds a socket, never a worker. Whatever goes
// wrong before a call exists (size, malformed multipart, wrong path, too many connections
// from one address, the memory budget) is still answered as an error_response.
#include "ServiceOptions.h"

#include <functional>
#include <memory>
#include <string>

class TDispatcher;

class THttpFront {
public:
    // onWorkerExit runs on each worker thread as it ends (the store closes its connection).
    THttpFront(const TServiceOptions& options, TDispatcher& dispatcher, std::function<void()> onWorkerExit);
    ~THttpFront();

    // Binds host:port (port 0: any free port). Returns the bound port, or -1.
    int bind();
    // Serves until stop(); returns false when serving could not start.
    bool listen();
    bool isRunning() const;
    // Closes every connection; calls being run finish first. Idempotent.
    void stop();

    // GET /health, unauthenticated, for load balancers and monitoring: the probe runs on a
    // worker (it may ask the database) and gives the JSON body; not ok answers HTTP 503.
    struct THealth {
        bool ok = false;
        std::string json;
    };
    void setHealthProbe(std::function<THealth()> probe);

    struct TImpl;

private:
    std::unique_ptr<TImpl> d;
};
