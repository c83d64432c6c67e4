// Dispatches a message queue's messages on the thread that owns it, one per
// wake, through a table of handlers by message id.
//
//   poster ──post()──▶ message_queue ──wake──▶ schedule() ···▶ owner thread: dispatch_one()
//
// schedule runs on the posting thread and only asks the owner thread to call
// dispatch_one() once, later (a queued call, an event).  The dispatcher
// registers itself as the queue's wake handler for its lifetime; its
// destructor returns only once no wake of it is running on any thread, so a
// post that overlaps the destruction never reaches a freed dispatcher.
// Whatever schedule uses must outlive the dispatcher.
//
// Thread-safety: construct, destroy, set handlers and dispatch on the owner
// thread; any thread may post to the queue.
#pragma once

#include "platform/message_queue.h"

#include <cstdint>
#include <functional>
#include <unordered_map>

class queue_dispatcher {
public:
    using handler = std::function<void(const thread_message&)>;
    using scheduler = std::function<void()>;

    queue_dispatcher(message_queue& queue, scheduler schedule);
    ~queue_dispatcher();
    queue_dispatcher(const queue_dispatcher&) = delete;
    queue_dispatcher& operator=(const queue_dispatcher&) = delete;

    void set_handler(unsigned id, handler h);

    // Takes the oldest message and runs its handler (messages without one are
    // dropped).  False when the queue was empty.
    bool dispatch_one();

private:
    message_queue& m_queue;
    scheduler m_schedule;
    std::unordered_map<unsigned, handler> m_handlers;
    uint64_t m_wake_id = 0;
};
