#include "logfile/index_control.h"

#include "logfile/line_indexer.h"

#include <chrono>

void index_thread::pass_ended(bool more)
{
    if (m_control)
        m_control->pass_ended(more);
}

unsigned index_thread::run(void* argument)
{
    auto* indexer = static_cast<line_indexer*>(argument);
    if (!indexer)
        return 0;
    for (;;) {
        if (pause_point()) {
            pass_ended(false);
            return 0;
        }
        const int64_t added = indexer->index_more();
        // A closed file (-1) ends the thread as well as a pass that adds nothing.
        const bool more = !stop_requested() && added > 0;
        pass_ended(more);
        if (!more)
            return 0;
    }
}

index_hold& index_hold::operator=(index_hold&& other) noexcept
{
    if (this != &other) {
        release();
        m_owner = other.m_owner;
        other.m_owner = nullptr;
    }
    return *this;
}

void index_hold::release()
{
    if (index_control* owner = m_owner) {
        m_owner = nullptr;
        owner->release();
    }
}

index_hold index_control::hold()
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    if (m_holds.fetch_add(1) == 0)
        m_thread->pause();
    return index_hold(this);
}

void index_control::release()
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    if (m_holds.fetch_sub(1) == 1)
        m_thread->resume();
}

bool index_control::start()
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    if (m_holds.load() > 0)
        m_thread->pause(); // not started: the first pause point waits
    {
        std::lock_guard<std::mutex> passes(m_pass_mutex);
        m_thread_ended = false;
    }
    const bool started = m_thread->start(&m_indexer, -1);
    if (!started)
        pass_ended(false);
    return started;
}

void index_control::stop()
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    m_thread->stop();
    // A thread object runs once: a fresh one for the next start.
    auto fresh = std::make_unique<index_thread>(this);
    std::unique_ptr<index_thread> old;
    {
        std::lock_guard<std::mutex> pointer(m_thread_mutex);
        old = std::move(m_thread);
        m_thread = std::move(fresh);
    }
}

bool index_control::is_running()
{
    std::lock_guard<std::mutex> pointer(m_thread_mutex);
    return m_thread->is_running();
}

int index_control::wait_stopped(int milliseconds)
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    return m_thread->wait_stopped(milliseconds);
}

uint64_t index_control::passes()
{
    std::lock_guard<std::mutex> guard(m_pass_mutex);
    return m_passes;
}

bool index_control::wait_passes(uint64_t target, int milliseconds)
{
    std::unique_lock<std::mutex> guard(m_pass_mutex);
    return m_pass_changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                   [&] { return m_passes >= target || m_thread_ended; });
}

void index_control::pass_ended(bool more)
{
    {
        std::lock_guard<std::mutex> guard(m_pass_mutex);
        ++m_passes;
        if (!more)
            m_thread_ended = true;
    }
    m_pass_changed.notify_all();
}
