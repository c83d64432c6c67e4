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
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back({id, wparam, lparam});
        ++m_post_count;
    }
    m_posted.notify_all();
    // The handler is called, not a copy of it: whoever set it may be tearing
    // down what it uses, and waits in set_wake_handler until this returns.
    std::lock_guard<std::recursive_mutex> wake_guard(m_wake_mutex);
    if (m_wake)
        m_wake();
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

uint64_t message_queue::set_wake_handler(std::function<void()> handler)
{
    std::function<void()> previous;
    std::lock_guard<std::recursive_mutex> wake_guard(m_wake_mutex);
    previous = std::move(m_wake);
    m_wake = std::move(handler);
    m_wake_id = m_wake ? ++m_last_wake_id : 0;
    return m_wake_id;
}

void message_queue::clear_wake_handler(uint64_t id)
{
    std::function<void()> previous;
    std::lock_guard<std::recursive_mutex> wake_guard(m_wake_mutex);
    if (id == 0 || id != m_wake_id)
        return;
    previous = std::move(m_wake);
    m_wake = nullptr;
    m_wake_id = 0;
}

message_queue& InterfaceThreadQueue()
{
    static message_queue queue;
    return queue;
}
