// A thread's message queue of {id, wparam, lparam} records, in posting order.
// The work thread blocks on its queue; the interface thread's queue wakes the
// GUI event loop through a wake handler, one wake per post.
//
//   poster ──post()──▶ [ queue ] ──get()/peek()──▶ owner thread
//                          └──▶ wake handler (runs on the poster's thread)
//
// Thread-safe: any thread may post, peek or get.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_USER = 0x0400;

struct thread_message {
    unsigned id = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

class message_queue {
public:
    // Appends a message and wakes every waiter, then calls the wake handler.
    void post(unsigned id, uintptr_t wparam = 0, intptr_t lparam = 0);

    // Looks at the oldest message (the oldest with id when id is not 0);
    // removes it when remove is set.  False when there is none.
    bool peek(thread_message& out, bool remove, unsigned id = 0);

    // Takes the oldest message (with id when id is not 0), waiting at most
    // timeout_ms (negative: no limit).  False when the time ran out.
    bool get(thread_message& out, int timeout_ms = -1, unsigned id = 0);

    // Waits until a message (with id when not 0) is queued or the time runs
    // out, without removing anything.  True when one is queued.
    bool wait(int timeout_ms, unsigned id = 0);

    // Waits until anything new is posted or the time runs out.  True when a
    // post happened during the wait.
    bool wait_for_post(int timeout_ms);

    std::size_t size() const;

    // The wake handler is called after every post, on the posting thread.
    // Setting or clearing it waits until a call of the previous handler that
    // another thread has begun has returned, so that once this returns the
    // previous handler is never called again and whatever it uses may be
    // freed.  Returns the registration's id for clear_wake_handler.  A
    // handler may post to this queue itself.
    uint64_t set_wake_handler(std::function<void()> handler);
    // Clears the handler only when it is still the registration id (a later
    // registration stays); waits as set_wake_handler does.
    void clear_wake_handler(uint64_t id);

private:
    bool find_locked(unsigned id, std::deque<thread_message>::iterator& it);

    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<thread_message> m_messages;
    uint64_t m_post_count = 0;

    // Held across every call of the wake handler and every change of it;
    // recursive so that a handler may post.  Never taken under m_mutex.
    std::recursive_mutex m_wake_mutex;
    std::function<void()> m_wake;
    uint64_t m_wake_id = 0;
    uint64_t m_last_wake_id = 0;
};

// The interface thread's queue: the work thread posts its progress, results
// and synchronous requests here; the GUI drains it one message per wake.
message_queue& InterfaceThreadQueue();
