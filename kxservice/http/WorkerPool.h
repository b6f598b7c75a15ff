#pragma once
// A fixed pool of threads that run calls. Database connections belong to their thread, so
// each thread runs a hook on its way out (the store closes its connection there).
//
// The thread that went idle last takes the next call: its connection and its prepared
// statements are warm. Handing calls round the pool would open a connection per thread and
// prepare every statement once per thread before any of them is reused.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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
    // One per thread: an idle thread waits on its own condition for a job handed to it.
    struct TSlot {
        std::condition_variable cond;
        std::function<void()> job;
    };
    void work(TSlot& slot);

    std::function<void()> m_onExit;
    std::vector<std::unique_ptr<TSlot>> m_slots;
    std::vector<std::thread> m_threads;
    std::vector<TSlot*> m_idle;                 // most recently idle last
    std::deque<std::function<void()>> m_jobs;   // waiting while every thread is busy
    std::mutex m_mutex;
    bool m_shutdown = false;
};
