#pragma once
// A fixed pool of threads that run calls. Database connections belong to their thread, so
// each thread runs a hook on its way out (the store closes its connection there).
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerPool {
public:
    TWorkerPool(int threads, std::function<void()> onExit);
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    // After shutdown() the job is dropped, on the calling thread.
    void enqueue(std::function<void()> job);
    // Runs the jobs already queued, then ends and joins the threads. Idempotent.
    void shutdown();

private:
    void work();

    std::function<void()> m_onExit;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_shutdown = false;
};
