#include "platform/message_queue.h"

#include <chrono>

bool message_queue::find_locked(unsigned id, std::deque<thread_message>::iterator& it)
{
    for (it = m_messages.begin(); it != m_messages.end(); ++it)
        if (id == 0 || it->id == id)
            return true;
    return false;
}

void message_queue::post(unsigned id, uintptr_t wparam, intptr_t lparam)
{
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back({id, wparam, lparam});
        ++m_post_count;
        wake = m_wake;
    }
    m_posted.notify_all();
    if (wake)
        wake();
}

bool message_queue::peek(thread_message& out, bool remove, unsigned id)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    std::deque<thread_message>::iterator it;
    if (!find_locked(id, it))
        return false;
    out = *it;
    if (remove)
        m_messages.erase(it);
    return true;
}

bool message_queue::get(thread_message& out, int timeout_ms, unsigned id)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    std::deque<thread_message>::iterator it;
    auto ready = [&] { return find_locked(id, it); };
    if (timeout_ms < 0)
        m_posted.wait(lock, ready);
    else if (!m_posted.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready))
        return false;
    out = *it;
    m_messages.erase(it);
    return true;
}

bool message_queue::wait(int timeout_ms, unsigned id)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    std::deque<thread_message>::iterator it;
    auto ready = [&] { return find_locked(id, it); };
    if (timeout_ms < 0) {
        m_posted.wait(lock, ready);
        return true;
    }
    return m_posted.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

bool message_queue::wait_for_post(int timeout_ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t seen = m_post_count;
    auto ready = [&] { return m_post_count != seen; };
    if (timeout_ms < 0) {
        m_posted.wait(lock, ready);
        return true;
    }
    return m_posted.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

std::size_t message_queue::size() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_messages.size();
}

void message_queue::set_wake_handler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_wake = std::move(handler);
}

message_queue& InterfaceThreadQueue()
{
    static message_queue queue;
    return queue;
}
