#include "WorkerPool.h"

#include <algorithm>

TWorkerPool::TWorkerPool(int threads, std::function<void()> onExit) : m_onExit(std::move(onExit))
{
    for (int i = 0; i < threads; ++i)
        m_slots.push_back(std::make_unique<TSlot>());
    for (const auto& slot : m_slots)
        m_threads.emplace_back([this, s = slot.get()] { work(*s); });
}

TWorkerPool::~TWorkerPool()
{
    shutdown();
}

void TWorkerPool::enqueue(std::function<void()> job)
{
    TSlot* slot = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return; // dropped here, on the caller's thread
        if (m_idle.empty()) {
            m_jobs.push_back(std::move(job));
            return; // the first thread to finish its call takes it
        }
        slot = m_idle.back();
        m_idle.pop_back();
        slot->job = std::move(job);
    }
    slot->cond.notify_one();
}

void TWorkerPool::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutdown = true;
    }
    for (const auto& slot : m_slots)
        slot->cond.notify_one();
    for (auto& t : m_threads)
        t.join();
    m_threads.clear();
}

void TWorkerPool::work(TSlot& slot)
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            if (!m_jobs.empty()) {
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            } else {
                if (m_shutdown)
                    break;
                m_idle.push_back(&slot);
                slot.cond.wait(lock, [&] { return slot.job || m_shutdown; });
                if (!slot.job) {
                    // Shut down while idle: nobody may hand this thread a job any more.
                    m_idle.erase(std::remove(m_idle.begin(), m_idle.end(), &slot), m_idle.end());
                    break;
                }
                job = std::move(slot.job);
                slot.job = nullptr;
            }
        }
        job();
    }
    if (m_onExit)
        m_onExit();
}
