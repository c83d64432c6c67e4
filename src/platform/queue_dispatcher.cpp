#include "platform/queue_dispatcher.h"

queue_dispatcher::queue_dispatcher(message_queue& queue, scheduler schedule)
    : m_queue(queue), m_schedule(std::move(schedule))
{
    m_wake_id = m_queue.set_wake_handler([this] {
        if (m_schedule)
            m_schedule();
    });
}

queue_dispatcher::~queue_dispatcher()
{
    // Waits for a wake that another thread is running right now.
    m_queue.clear_wake_handler(m_wake_id);
}

void queue_dispatcher::set_handler(unsigned id, handler h)
{
    m_handlers[id] = std::move(h);
}

bool queue_dispatcher::dispatch_one()
{
    thread_message message;
    if (!m_queue.peek(message, true))
        return false;
    if (auto it = m_handlers.find(message.id); it != m_handlers.end() && it->second)
        it->second(message);
    return true;
}
