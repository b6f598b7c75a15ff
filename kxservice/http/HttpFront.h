#pragma once
// The HTTP side: one POST endpoint, /Service.aspx, served by a fixed pool of worker threads.
// Bodies are read part by part under limits; whatever goes wrong before a call exists (size,
// part count, malformed multipart, wrong path) is still answered as an error_response.
#include "ServiceOptions.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace httplib { class Server; }
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
    void stop();

private:
    const TServiceOptions& m_options;
    TDispatcher& m_dispatcher;
    std::function<void()> m_onWorkerExit;
    std::unique_ptr<httplib::Server> m_server;
};
