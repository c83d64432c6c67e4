#include "platform/message_queue.h"

#include <chrono>

bool message_queue::find_locked(unsigned id, std::deque<thread_message>::iterator& it)
{
    for (it = messages_.begin(); it != messages_.end(); ++it)
        if (id == 0 || it->id == id)
            return true;
    return false;
}

void message_queue::post(unsigned id, uintptr_t wparam, intptr_t lparam)
{
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        messages_.push_back({id, wparam, lparam});
        ++post_count_;
        wake = wake_;
    }
    posted_.notify_all();
    if (wake)
        wake();
}

bool message_queue::peek(thread_message& out, bool remove, unsigned id)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::deque<thread_message>::iterator it;
    if (!find_locked(id, it))
        return false;
    out = *it;
    if (remove)
        messages_.erase(it);
    return true;
}

bool message_queue::get(thread_message& out, int timeout_ms, unsigned id)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::deque<thread_message>::iterator it;
    auto ready = [&] { return find_locked(id, it); };
    if (timeout_ms < 0)
        posted_.wait(lock, ready);
    else if (!posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready))
        return false;
    out = *it;
    messages_.erase(it);
    return true;
}

bool message_queue::wait(int timeout_ms, unsigned id)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::deque<thread_message>::iterator it;
    auto ready = [&] { return find_locked(id, it); };
    if (timeout_ms < 0) {
        posted_.wait(lock, ready);
        return true;
    }
    return posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

bool message_queue::wait_for_post(int timeout_ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t seen = post_count_;
    auto ready = [&] { return post_count_ != seen; };
    if (timeout_ms < 0) {
        posted_.wait(lock, ready);
        return true;
    }
    return posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

std::size_t message_queue::size() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_.size();
}

void message_queue::set_wake_handler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> guard(mutex_);
    wake_ = std::move(handler);
}

message_queue& InterfaceThreadQueue()
{
    static message_queue queue;
    return queue;
}
