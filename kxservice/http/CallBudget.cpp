#include "CallBudget.h"

#include <vector>

TCallBudget::TTicket TCallBudget::take(qint64 amount, std::function<void()> granted)
{
    if (m_used + amount <= m_total) {
        m_used += amount;
        return 0;
    }
    const TTicket t = m_next++;
    m_waiting.push_back({t, amount, std::move(granted)});
    return t;
}

void TCallBudget::cancel(TTicket ticket)
{
    m_waiting.remove_if([ticket](const TWaiter& w) { return w.ticket == ticket; });
}

void TCallBudget::give(qint64 amount)
{
    m_used -= amount;
    std::vector<std::function<void()>> granted;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (m_used + it->amount > m_total) {
            ++it;
            continue;
        }
        m_used += it->amount;
        granted.push_back(std::move(it->granted));
        it = m_waiting.erase(it);
    }
    // Run after the walk: a granted call may take or give again.
    for (auto& g : granted)
        g();
}
