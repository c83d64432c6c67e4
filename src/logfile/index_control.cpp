#include "logfile/index_control.h"

#include "logfile/line_indexer.h"

unsigned index_thread::run(void* argument)
{
    auto* indexer = static_cast<line_indexer*>(argument);
    if (!indexer)
        return 0;
    for (;;) {
        if (pause_point())
            return 0;
        const int64_t added = indexer->index_more();
        // A closed file (-1) ends the thread as well as a pass that adds nothing.
        if (stop_requested() || added <= 0)
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
    return m_thread->start(&m_indexer, -1);
}

void index_control::stop()
{
    std::lock_guard<std::mutex> guard(m_hold_mutex);
    m_thread->stop();
    // A thread object runs once: a fresh one for the next start.
    auto fresh = std::make_unique<index_thread>();
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
