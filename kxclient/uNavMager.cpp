#include "uNavMager.h"

TBut* TBar::AddBut(int id, const QString& name, int modId, const QString& image)
{
    m_buts.push_back(std::make_unique<TBut>(id, name, modId, image));
    return m_buts.back().get();
}

TBar* TNav::AddBar(int id, const QString& name)
{
    m_bars.push_back(std::make_unique<TBar>(id, name));
    return m_bars.back().get();
}

TBar* TNav::FindBar(int id) const
{
    for (const auto& b : m_bars)
        if (b->Id == id)
            return b.get();
    return nullptr;
}

bool TNav::HasButton() const
{
    for (const auto& b : m_bars)
        if (b->HasButton())
            return true;
    return false;
}

TNav* TNavMager::Add(int id, const QString& name)
{
    m_navs.push_back(std::make_unique<TNav>(id, name));
    return m_navs.back().get();
}

TNav* TNavMager::FindNav(int id) const
{
    for (const auto& n : m_navs)
        if (n->Id == id)
            return n.get();
    return nullptr;
}

TBar* TNavMager::FindBar(int id) const
{
    for (const auto& n : m_navs)
        if (TBar* b = n->FindBar(id))
            return b;
    return nullptr;
}

void ArrangeMenu(QList<TMenuEntry>& entries)
{
    for (qsizetype i = 0; i + 1 < entries.size(); ++i) {
        qsizetype j = i + 1;
        for (qsizetype k = i + 1; k < entries.size(); ++k) {
            if (entries[k].ParentId == entries[i].MenuId) {
                entries.move(k, j); // entries j..k-1 move one place back
                ++j;
            }
        }
    }
}
