// Events, locks, scoped lock holders and controllable threads that the log
// file engine is built on.  Each comes as an abstract basic_ interface with
// one native_ implementation on the C++ standard library.
//
// Thread cooperation (the controller on the left, run() on the right), all
// of it under the thread's control lock, every wait on its condition (no
// polling):
//
//   pause():  ask for a pause -------------> pause_point(): sees the request,
//             wait until paused or ended <-- marks itself paused, waits
//   resume(): withdraw the request --------> leaves the pause point
//             wait until not paused <------- marks itself running; goes on
//   stop():   ask for the end, wake -------> run() returns; stopped is set
//             wait stopped <----------------
//
// A pause asked for before start() holds the thread at its first pause point.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A manual-reset event.  Thread-safe.
class basic_signal {
public:
    virtual ~basic_signal() = default;
    virtual void set() = 0;
    virtual void reset() = 0;
    // 0 when the event is signalled, 1 when the time ran out, -1 when the
    // wait itself failed.  A negative time waits without limit.
    virtual int wait(int milliseconds) = 0;
    // wait(0) == 0: never blocks.
    virtual bool is_set();
};

// Unnamed, manual-reset, initially non-signalled.  Construction throws the
// narrow text "Failed to create event." when the event cannot be made.
class native_signal : public basic_signal {
public:
    native_signal();
    ~native_signal() override;
    native_signal(const native_signal&) = delete;
    native_signal& operator=(const native_signal&) = delete;

    void set() override;
    void reset() override;
    int wait(int milliseconds) override;

    // Waits until the event is cleared; results as wait().
    int wait_reset(int milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = false;
};

class basic_lock {
public:
    virtual ~basic_lock() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// A critical section: re-entrant for the thread that holds it.
class native_lock : public basic_lock {
public:
    native_lock() = default;
    ~native_lock() override = default;
    native_lock(const native_lock&) = delete;
    native_lock& operator=(const native_lock&) = delete;

    void lock() override;
    void unlock() override;

private:
    std::recursive_mutex m_mutex;
};

// Holds a basic_lock from construction to destruction (a null lock is
// allowed and does nothing).
class life_lock {
public:
    explicit life_lock(basic_lock* lock);
    explicit life_lock(basic_lock& lock) : life_lock(&lock) {}
    virtual ~life_lock();
    life_lock(const life_lock&) = delete;
    life_lock& operator=(const life_lock&) = delete;

private:
    basic_lock* m_lock;
};

// Shared/exclusive lock.  Shared holders may be inside together, an exclusive
// holder is alone, and a thread asking for exclusive access waits until every
// shared holder has left.  Readers are never held back by a waiting writer,
// so a thread that already holds shared access may take it again (nested
// lookups during a window parse).  Not re-entrant for writers; no upgrade.
//
// Taking and leaving without a contender is one atomic operation each on one
// word (the reader count and two flags).  A thread that cannot get in spins a
// little, then sleeps on the condition; whoever leaves wakes the sleepers
// only when one has said it sleeps.
class read_wirte_lock {
public:
    read_wirte_lock() = default;
    virtual ~read_wirte_lock() = default;
    read_wirte_lock(const read_wirte_lock&) = delete;
    read_wirte_lock& operator=(const read_wirte_lock&) = delete;

    virtual void read_lock();
    virtual void read_unlock();
    virtual void write_lock();
    virtual void write_unlock();

private:
    // The state word: readers inside in the low bits, a writer inside, and
    // a thread asleep on m_changed (set and cleared under m_mutex only).
    static constexpr uint64_t kWriterInside = uint64_t{1} << 63;
    static constexpr uint64_t kSleeper = uint64_t{1} << 62;
    static constexpr uint64_t kReaders = kSleeper - 1;

    bool try_read(uint64_t& state);
    bool try_write(uint64_t& state);
    // Waits under m_mutex until try (one of the two) succeeds.
    void wait_until(bool (read_wirte_lock::*attempt)(uint64_t&));
    void wake_sleepers();

    std::atomic<uint64_t> m_state{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// Holds a read_wirte_lock shared (shared == true) or exclusive from
// construction to destruction.
class life_read_write_lock {
public:
    life_read_write_lock(read_wirte_lock* lock, bool shared);
    life_read_write_lock(read_wirte_lock& lock, bool shared) : life_read_write_lock(&lock, shared) {}
    virtual ~life_read_write_lock();
    life_read_write_lock(const life_read_write_lock&) = delete;
    life_read_write_lock& operator=(const life_read_write_lock&) = delete;

private:
    read_wirte_lock* m_lock;
    bool m_shared;
};

// A thread object that is started once.  pause, resume and stop are safe to
// call from any thread other than the one running run(); pause and resume
// come in pairs from one controller (several holders share a pause through a
// counted hold of their own, see logfile/index_control.h).
class basic_thread {
public:
    basic_thread() = default;
    virtual ~basic_thread() = default;
    basic_thread(const basic_thread&) = delete;
    basic_thread& operator=(const basic_thread&) = delete;

    // Priority 0 is normal, negative below normal, positive above normal.
    virtual bool start(void* argument, int priority) = 0;
    // Never blocks.
    virtual bool is_running() = 0;
    virtual unsigned run(void* argument);
    // Asks for a pause and returns once the running thread has acknowledged
    // (or has ended).  Before start() the request waits for the first pause
    // point.
    virtual void pause();
    // Withdraws the pause request; returns once the thread has left its
    // pause point (or has ended).
    virtual void resume();
    // Asks a running thread to end and returns when it has.
    virtual void stop();
    // True while the thread waits in a pause point.  Never blocks.
    bool is_paused();

    // 0 once run() has returned, 1 when the time ran out first.
    int wait_stopped(int milliseconds) { return m_stopped.wait(milliseconds); }

protected:
    // For run(): answers a pending pause request by waiting until resumed or
    // stopped.  Returns true when a stop was requested.
    bool pause_point();
    // For run(): a stop was asked for.  Never blocks.
    bool stop_requested();
    // For the thread procedure: run() has returned; wakes every controller.
    void mark_ended();

    native_signal m_stopped;

private:
    std::mutex m_control;
    std::condition_variable m_control_changed;
    bool m_pause_wanted = false;
    bool m_in_pause = false;
    bool m_stop_wanted = false;
    bool m_ended = false;
};

// A thread on std::thread.  With auto delete the object destroys itself when
// run() returns; nobody may touch it after start() returned.
class native_thread : public basic_thread {
public:
    explicit native_thread(bool auto_delete = false);
    // Stops a running thread first and waits for it.  A class that overrides
    // run() must stop the thread in its own destructor.
    ~native_thread() override;

    bool start(void* argument, int priority) override;
    bool is_running() override;

private:
    void thread_procedure(void* argument, int priority);

    bool m_auto_delete;
    std::thread m_handle;
    std::atomic<bool> m_started{false};
    native_signal m_exited; // set after stopped, as the procedure's last touch
};
