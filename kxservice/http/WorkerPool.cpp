#include "WorkerPool.h"

TWorkerPool::TWorkerPool(int threads, std::function<void()> onExit) : m_onExit(std::move(onExit))
{
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

TWorkerPool::~TWorkerPool()
{
    shutdown();
}

void TWorkerPool::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return; // dropped here, on the caller's thread
        m_jobs.push_back(std::move(job));
    }
    m_cond.notify_one();
}

void TWorkerPool::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutdown = true;
    }
    m_cond.notify_all();
    for (auto& t : m_threads)
        t.join();
    m_threads.clear();
}

void TWorkerPool::work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_cond.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
    if (m_onExit)
        m_onExit();
}
