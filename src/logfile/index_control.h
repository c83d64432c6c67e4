// The background indexing of one log file and the counted hold on it.
//
//   holder A: hold() ---+                      +--- token A released
//   holder B:      hold() --+            +-- token B released
//   index thread:  runs | paused ............................ | runs
//
// The thread runs only while no token is alive: the first hold pauses it
// (and waits until it has stopped at its pause point), the last release lets
// it go on.  A hold taken before the thread starts holds it at its first
// pause point.  Nothing here polls: every wait is on the thread's condition.
//
// Thread-safety: every member may be called from any thread but the index
// thread itself.  A token must be taken before any lock of the file that the
// index thread takes (the index, the window numbers, the file), or the first
// hold would wait for a thread that waits for the holder.
#pragma once

#include "logfile/primitives.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class line_indexer;
class index_control;

// Extends a log file's index in passes of at most 10000 lines, backwards in
// tail mode and forwards otherwise, until a pass adds nothing or it is
// stopped.  Its argument is the file's line_indexer.
class index_thread : public native_thread {
public:
    // control, when given, hears of every pass the thread ends.
    explicit index_thread(index_control* control = nullptr) : native_thread(false), m_control(control) {}
    ~index_thread() override { stop(); }
    unsigned run(void* argument) override;

private:
    void pass_ended(bool more);
    index_control* m_control;
};

// One holder's share of the pause.  Move-only; an empty token holds nothing.
class index_hold {
public:
    index_hold() = default;
    ~index_hold() { release(); }
    index_hold(index_hold&& other) noexcept : m_owner(other.m_owner) { other.m_owner = nullptr; }
    index_hold& operator=(index_hold&& other) noexcept;
    index_hold(const index_hold&) = delete;
    index_hold& operator=(const index_hold&) = delete;

    // True when this token holds control's thread.
    bool holds(const index_control& control) const { return m_owner == &control; }
    explicit operator bool() const { return m_owner != nullptr; }
    // Lets go early; the token is empty afterwards.
    void release();

private:
    friend class index_control;
    explicit index_hold(index_control* owner) : m_owner(owner) {}
    index_control* m_owner = nullptr;
};

class index_control {
public:
    explicit index_control(line_indexer& indexer) : m_indexer(indexer) {}
    ~index_control() { stop(); }
    index_control(const index_control&) = delete;
    index_control& operator=(const index_control&) = delete;

    // A new share of the pause; returns once the thread is paused, has ended
    // or has not started.
    index_hold hold();
    // Starts indexing on a fresh thread (held at once while a token lives).
    // False when it runs already or no thread could be started.
    bool start();
    // Ends the thread and waits for it; a later start() runs a new one.
    // Tokens stay valid and hold the next thread too.
    void stop();

    // The thread was started and has not ended, paused or not.  Never blocks.
    bool is_running();
    // Running, and no token alive.  Never blocks.
    bool runs_unpaused() { return m_holds.load() == 0 && is_running(); }
    // The number of live tokens.
    int holds() const { return m_holds.load(); }
    // 0 once the current thread has ended, 1 when the time ran out first (or
    // the thread was never started).
    int wait_stopped(int milliseconds);

    // The passes the index threads of this file have ended so far.
    uint64_t passes();
    // Waits until passes() reaches target, the thread has ended (or was not
    // started), or the time ran out; true unless the time ran out.  For a
    // holder that let the thread go on and wants a good share of lines
    // before it holds it again, instead of one pass per hold.
    bool wait_passes(uint64_t target, int milliseconds);
    // For the index thread: a pass ended (more: false when it was the last).
    void pass_ended(bool more);

private:
    friend class index_hold;
    void release();

    line_indexer& m_indexer;
    std::mutex m_hold_mutex;   // serialises holds, releases, start and stop
    std::mutex m_thread_mutex; // guards the pointer while stop() swaps it
    std::atomic<int> m_holds{0};
    std::unique_ptr<index_thread> m_thread = std::make_unique<index_thread>(this);
    std::mutex m_pass_mutex; // guards the two below
    std::condition_variable m_pass_changed;
    uint64_t m_passes = 0;
    bool m_thread_ended = true; // no thread runs passes (never started, or ended)
};
