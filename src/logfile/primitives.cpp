#include "logfile/primitives.h"

#include "platform/diagnostics.h"

#include <cerrno>
#include <chrono>
#include <exception>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

bool basic_signal::is_set()
{
    return wait(0) == 0;
}

// std::condition_variable reports a failure to create by throwing; the
// engine's callers expect the narrow text.
native_signal::native_signal()
try : m_mutex(), m_changed() {
} catch (...) {
    throw "Failed to create event.";
}

native_signal::~native_signal() = default;

void native_signal::set()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_signalled = true;
    m_changed.notify_all();
}

void native_signal::reset()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_signalled = false;
    m_changed.notify_all();
}

int native_signal::wait(int milliseconds)
{
    try {
        std::unique_lock<std::mutex> hold(m_mutex);
        if (milliseconds < 0) {
            m_changed.wait(hold, [this] { return m_signalled; });
            return 0;
        }
        // A look without waiting never enters the condition's timed wait,
        // which costs a system call and may give the processor away.
        if (milliseconds == 0 || m_signalled)
            return m_signalled ? 0 : 1;
        return m_changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return m_signalled; }) ? 0
                                                                                                                 : 1;
    } catch (...) {
        return -1;
    }
}

int native_signal::wait_reset(int milliseconds)
{
    try {
        std::unique_lock<std::mutex> hold(m_mutex);
        if (milliseconds < 0) {
            m_changed.wait(hold, [this] { return !m_signalled; });
            return 0;
        }
        return m_changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return !m_signalled; }) ? 0
                                                                                                                  : 1;
    } catch (...) {
        return -1;
    }
}

void native_lock::lock()
{
    m_mutex.lock();
}

void native_lock::unlock()
{
    m_mutex.unlock();
}

life_lock::life_lock(basic_lock* lock) : m_lock(lock)
{
    if (m_lock)
        m_lock->lock();
}

life_lock::~life_lock()
{
    if (m_lock)
        m_lock->unlock();
}

// The written scheme (wait for an event, then reset it) lets a writer in as
// soon as the first of several readers leaves; counting the readers keeps
// every guarantee.
//
// A sleeper sets kSleeper with a compare-exchange on the very state it found
// closed, holding m_mutex until the condition has taken it; whoever then
// opens the way (the last reader out, a writer out) sees the flag and wakes
// it under the same mutex, so no wake-up is lost.
namespace {

// Attempts before a closed lock puts the thread to sleep: about a
// microsecond, the time a writer holds the index for one batch of lines.
constexpr int kSpins = 64;

inline void spin_pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

bool read_wirte_lock::try_read(uint64_t& state)
{
    while (!(state & kWriterInside)) {
        if (m_state.compare_exchange_weak(state, state + 1, std::memory_order_acquire, std::memory_order_relaxed))
            return true;
    }
    return false;
}

bool read_wirte_lock::try_write(uint64_t& state)
{
    while (!(state & (kWriterInside | kReaders))) {
        if (m_state.compare_exchange_weak(state, state | kWriterInside, std::memory_order_acquire,
                                          std::memory_order_relaxed))
            return true;
    }
    return false;
}

void read_wirte_lock::wait_until(bool (read_wirte_lock::*attempt)(uint64_t&))
{
    for (int spin = 0; spin < kSpins; ++spin) {
        spin_pause();
        uint64_t state = m_state.load(std::memory_order_relaxed);
        if ((this->*attempt)(state))
            return;
    }
    std::unique_lock<std::mutex> hold(m_mutex);
    for (;;) {
        uint64_t state = m_state.load(std::memory_order_relaxed);
        if ((this->*attempt)(state))
            return;
        // Still closed as seen in state: say so, unless it changed meanwhile.
        if ((state & kSleeper)
            || m_state.compare_exchange_strong(state, state | kSleeper, std::memory_order_relaxed))
            m_changed.wait(hold);
    }
}

void read_wirte_lock::wake_sleepers()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_state.fetch_and(~kSleeper, std::memory_order_relaxed);
    m_changed.notify_all();
}

void read_wirte_lock::read_lock()
{
    uint64_t state = m_state.load(std::memory_order_relaxed);
    if (!try_read(state))
        wait_until(&read_wirte_lock::try_read);
}

void read_wirte_lock::read_unlock()
{
    uint64_t state = m_state.load(std::memory_order_relaxed);
    do {
        if ((state & kReaders) == 0)
            return; // not held shared: nothing to leave
    } while (!m_state.compare_exchange_weak(state, state - 1, std::memory_order_release, std::memory_order_relaxed));
    // Only a writer waits for readers, and only the last one out lets it in.
    if ((state & kReaders) == 1 && (state & kSleeper))
        wake_sleepers();
}

void read_wirte_lock::write_lock()
{
    uint64_t state = m_state.load(std::memory_order_relaxed);
    if (!try_write(state))
        wait_until(&read_wirte_lock::try_write);
}

void read_wirte_lock::write_unlock()
{
    const uint64_t state = m_state.fetch_and(~kWriterInside, std::memory_order_release);
    if (state & kSleeper)
        wake_sleepers();
}

life_read_write_lock::life_read_write_lock(read_wirte_lock* lock, bool shared) : m_lock(lock), m_shared(shared)
{
    if (!m_lock)
        return;
    if (m_shared)
        m_lock->read_lock();
    else
        m_lock->write_lock();
}

life_read_write_lock::~life_read_write_lock()
{
    if (!m_lock)
        return;
    if (m_shared)
        m_lock->read_unlock();
    else
        m_lock->write_unlock();
}

unsigned basic_thread::run(void*)
{
    return 0;
}

void basic_thread::pause()
{
    std::unique_lock<std::mutex> hold(m_control);
    m_pause_wanted = true;
    if (m_ended)
        return;
    hold.unlock();
    if (!is_running())
        return; // not started yet: its first pause point answers
    hold.lock();
    m_control_changed.wait(hold, [this] { return m_in_pause || m_ended; });
}

void basic_thread::resume()
{
    std::unique_lock<std::mutex> hold(m_control);
    if (!m_pause_wanted)
        return;
    m_pause_wanted = false;
    m_control_changed.notify_all();
    // A pause that follows at once must not take the old acknowledgement.
    m_control_changed.wait(hold, [this] { return !m_in_pause || m_ended; });
}

void basic_thread::stop()
{
    if (!is_running())
        return;
    {
        std::lock_guard<std::mutex> hold(m_control);
        m_stop_wanted = true;
        m_control_changed.notify_all(); // wakes a thread waiting in pause_point
    }
    m_stopped.wait(-1);
}

bool basic_thread::is_paused()
{
    std::lock_guard<std::mutex> hold(m_control);
    return m_in_pause;
}

bool basic_thread::pause_point()
{
    std::unique_lock<std::mutex> hold(m_control);
    if (m_stop_wanted)
        return true;
    if (!m_pause_wanted)
        return false;
    m_in_pause = true;
    m_control_changed.notify_all();
    m_control_changed.wait(hold, [this] { return !m_pause_wanted || m_stop_wanted; });
    m_in_pause = false;
    m_control_changed.notify_all();
    return m_stop_wanted;
}

bool basic_thread::stop_requested()
{
    std::lock_guard<std::mutex> hold(m_control);
    return m_stop_wanted;
}

void basic_thread::mark_ended()
{
    std::lock_guard<std::mutex> hold(m_control);
    m_ended = true;
    m_in_pause = false;
    m_control_changed.notify_all();
}

native_thread::native_thread(bool auto_delete) : m_auto_delete(auto_delete)
{}

native_thread::~native_thread()
{
    if (m_started && m_exited.wait(0) != 0) {
        if (std::this_thread::get_id() != m_handle.get_id())
            basic_thread::stop();
    }
    if (m_handle.joinable()) {
        if (std::this_thread::get_id() == m_handle.get_id())
            m_handle.detach();
        else
            m_handle.join();
    }
}

bool native_thread::start(void* argument, int priority)
{
    if (m_started)
        return false;
    m_started = true;
    const bool auto_delete = m_auto_delete;
    try {
        std::thread handle(&native_thread::thread_procedure, this, argument, priority);
        if (auto_delete) {
            // The thread may already have destroyed this object.
            handle.detach();
            return true;
        }
        m_handle = std::move(handle);
        return true;
    } catch (...) {
        m_started = false;
        return false;
    }
}

bool native_thread::is_running()
{
    if (!m_started)
        return false;
    // Once run() has returned the thread no longer runs, even in the moment
    // before its procedure marks itself exited.
    if (m_stopped.wait(0) == 0)
        return false;
    return m_exited.wait(0) != 0;
}

namespace {

// Below normal and above normal as nice steps relative to the creating
// thread.  Raising may be refused without privileges; the thread then runs
// at normal priority.  A nice value is a share of the processor against
// every thread of the machine, not a rank within this program: below normal
// is one step, so that a background thread (the index thread) yields to the
// interface and to normal work on a tie yet keeps most of a normal share on
// a busy machine (at five steps it had a third, and indexing a large file
// while a build ran took minutes).  The interface stays responsive without
// more: it sleeps between events and a waking thread preempts a busy one.
constexpr int kBelowNormalSteps = 1;
constexpr int kAboveNormalSteps = 5;

void apply_priority(int priority)
{
    if (priority == 0)
        return;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    int current = ::getpriority(PRIO_PROCESS, tid);
    if (current == -1 && errno != 0)
        return;
    int wanted = priority < 0 ? current + kBelowNormalSteps : current - kAboveNormalSteps;
    if (wanted > 19)
        wanted = 19;
    if (wanted < -20)
        wanted = -20;
    ::setpriority(PRIO_PROCESS, tid, wanted);
}

} // namespace

void native_thread::thread_procedure(void* argument, int priority)
{
    apply_priority(priority);
    const bool auto_delete = m_auto_delete;
    // No exception crosses a thread; what ends run() abnormally is written
    // to the diagnostics channel instead of vanishing.
    unsigned result = 0;
    try {
        result = run(argument);
    } catch (const std::exception& error) {
        DebugOutput("[thread] run() ended by an exception: %s\n", error.what());
    } catch (const char* text) {
        DebugOutput("[thread] run() ended by an exception: %s\n", text ? text : "(null)");
    } catch (...) {
        DebugOutput("[thread] run() ended by an exception of unknown type\n");
    }
    if (result != 0)
        DebugOutput("[thread] run() returned %u\n", result);
    mark_ended();
    if (auto_delete) {
        m_stopped.set();
        m_exited.set();
        delete this;
        return;
    }
    m_stopped.set();
    m_exited.set();
}
