// Waits in the tests are bounded: a deadlock fails a test in seconds instead
// of hanging it until the test runner's limit.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <utility>

// The safety net of every wait in the tests: far beyond what a working run
// needs, well below the per-test time limit.
inline constexpr int kTestWaitMs = 10000;

// A std::thread whose join is bounded.  join() (and the destructor) wait at
// most kTestWaitMs for the body to end; a body that does not end is taken for
// a deadlock and ends the test program at once with a message, since the
// thread may still use the test's variables.
class bounded_thread {
public:
    template <typename Body> explicit bounded_thread(Body body)
    {
        auto finished = std::make_shared<std::promise<void>>();
        m_finished = finished->get_future();
        m_thread = std::thread([finished, body = std::move(body)]() mutable {
            body();
            finished->set_value();
        });
    }
    bounded_thread(bounded_thread&&) = default;
    bounded_thread& operator=(bounded_thread&&) = delete;
    bounded_thread(const bounded_thread&) = delete;
    bounded_thread& operator=(const bounded_thread&) = delete;
    ~bounded_thread() { join(); }

    void join()
    {
        if (!m_thread.joinable())
            return;
        if (m_finished.wait_for(std::chrono::milliseconds(kTestWaitMs)) != std::future_status::ready) {
            std::fprintf(stderr, "a test thread did not end within %d ms: deadlock\n", kTestWaitMs);
            std::abort();
        }
        m_thread.join();
    }

private:
    std::thread m_thread;
    std::future<void> m_finished;
};

// Runs call on a thread of its own and waits at most kTestWaitMs for it; a
// call that does not return in time ends the test program as above.  For
// calls that may block without a limit on purpose (a wait without a time
// limit, a pause, a stop).
template <typename Call> void WithinTestWait(Call call)
{
    bounded_thread runner(std::move(call));
    runner.join();
}
