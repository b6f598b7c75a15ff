#pragma once
// The HTTP side: one POST endpoint, /Service.aspx. One network thread waits on every socket
// (epoll, through Boost.Asio) and reads requests under time limits; a fixed pool of workers
// runs the calls. An idle or slow connection holds a socket, never a worker. Whatever goes
// wrong before a call exists (size, malformed multipart, wrong path, too many connections
// from one address, the memory budget) is still answered as an error_response.
#include "ServiceOptions.h"

#include <functional>
#include <memory>

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

    struct TImpl;

private:
    std::unique_ptr<TImpl> d;
};
