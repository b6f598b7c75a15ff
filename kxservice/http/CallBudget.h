#pragma once
// The memory all calls together may hold. A call reserves its share before its body is read
// and gives it back once its answer is made; a call that does not fit waits in line. Used
// from one thread only (the front's network thread), so it needs no lock.
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <list>

class TCallBudget {
public:
    using TTicket = std::uint64_t;

    explicit TCallBudget(qint64 total) : m_total(total > 0 ? total : 1) {}

    // What a call of `bytes` reserves: never more than the whole budget, so any one call fits
    // alone.
    qint64 share(qint64 bytes) const { return qBound<qint64>(1, bytes, m_total); }

    // Takes `amount` now and returns 0, or queues `granted` to run (after taking it) once it
    // fits and returns the ticket for cancel(). Smaller calls that fit may pass a waiting one.
    TTicket take(qint64 amount, std::function<void()> granted);
    void cancel(TTicket ticket);
    void give(qint64 amount);

    qint64 used() const { return m_used; }

private:
    struct TWaiter {
        TTicket ticket;
        qint64 amount;
        std::function<void()> granted;
    };
    qint64 m_total;
    qint64 m_used = 0;
    TTicket m_next = 1;
    std::list<TWaiter> m_waiting;
};
