#include "ui/command_router.h"

#include <utility>

void command_router::add(int id, handler h)
{
    if (h)
        m_single[id] = std::move(h);
    else
        m_single.erase(id);
}

void command_router::add_range(int first, int last, handler h)
{
    if (last < first)
        return;
    for (auto it = m_ranges.begin(); it != m_ranges.end(); ++it) {
        if (it->first == first && it->last == last) {
            if (h)
                it->h = std::move(h);
            else
                m_ranges.erase(it);
            return;
        }
    }
    if (h)
        m_ranges.push_back({first, last, std::move(h)});
}

void command_router::remove(int id)
{
    m_single.erase(id);
}

const command_router::handler* command_router::find(int id) const
{
    if (auto it = m_single.find(id); it != m_single.end())
        return &it->second;
    // The most recently added range that contains id wins.
    for (auto it = m_ranges.rbegin(); it != m_ranges.rend(); ++it) {
        if (id >= it->first && id <= it->last)
            return &it->h;
    }
    return nullptr;
}

bool command_router::has(int id) const
{
    return find(id) != nullptr;
}

bool command_router::route(int id) const
{
    const handler* h = find(id);
    if (!h)
        return false;
    // A handler may replace itself (or others) while it runs: call a copy.
    handler call = *h;
    call(id);
    return true;
}
