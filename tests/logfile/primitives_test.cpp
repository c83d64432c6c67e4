#include "logfile/primitives.h"
#include "platform/diagnostics.h"
#include "support/bounded_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// ---- events -----------------------------------------------------------------

TEST(logfile_Signal, WaitResults)
{
    struct row {
        bool set;
        int milliseconds;
        int expected;
    };
    const row rows[] = {
        {true, -1, 0}, {true, 0, 0}, {true, 5, 0}, {false, 0, 1}, {false, 1, 1}, {false, 10, 1},
    };
    for (const row& r : rows) {
        native_signal signal;
        if (r.set)
            signal.set();
        int result = -2;
        WithinTestWait([&] { result = signal.wait(r.milliseconds); });
        EXPECT_EQ(result, r.expected) << "set=" << r.set << " ms=" << r.milliseconds;
    }
}

TEST(logfile_Signal, FreshIsNotSet_SetStaysForEveryCallerUntilReset)
{
    native_signal signal;
    EXPECT_FALSE(signal.is_set());
    signal.set();
    EXPECT_TRUE(signal.is_set());
    EXPECT_TRUE(signal.is_set()); // manual reset: a wait does not consume it
    std::atomic<int> seen{0};
    std::vector<bounded_thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] { seen += signal.wait(kTestWaitMs) == 0; });
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(seen.load(), 4);
    signal.reset();
    EXPECT_FALSE(signal.is_set());
    EXPECT_EQ(signal.wait(0), 1);
}

TEST(logfile_Signal, SetFromAnotherThreadWakesAnUnlimitedWait)
{
    native_signal ready, go;
    bounded_thread setter([&] {
        ready.wait(kTestWaitMs);
        go.set();
    });
    ready.set();
    int result = -2;
    WithinTestWait([&] { result = go.wait(-1); });
    EXPECT_EQ(result, 0);
    setter.join();
}

TEST(logfile_Signal, WaitResetReturnsOnceCleared)
{
    native_signal signal;
    EXPECT_EQ(signal.wait_reset(0), 0);
    signal.set();
    EXPECT_EQ(signal.wait_reset(0), 1);
    bounded_thread clearer([&] { signal.reset(); });
    int result = -2;
    WithinTestWait([&] { result = signal.wait_reset(-1); });
    EXPECT_EQ(result, 0);
    clearer.join();
}

// ---- locks ------------------------------------------------------------------

TEST(logfile_Lock, LifeLockReleasesOnEveryWayOut)
{
    native_lock lock;
    auto leave_early = [&](bool throw_out) {
        life_lock hold(lock);
        if (throw_out)
            throw 1;
    };
    EXPECT_THROW(leave_early(true), int);
    leave_early(false);
    // Another thread can take it: nothing was left locked.
    bounded_thread other([&] { life_lock hold(lock); });
    other.join();
}

TEST(logfile_Lock, NativeLockIsReentrantForItsHolder)
{
    native_lock lock;
    life_lock outer(lock);
    life_lock inner(lock);
    life_lock null_lock(static_cast<basic_lock*>(nullptr));
    SUCCEED();
}

TEST(logfile_Lock, NativeLockExcludesOtherThreads)
{
    native_lock lock;
    int64_t counter = 0; // unguarded but for the lock: the thread sanitizer checks it
    std::vector<bounded_thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                life_lock hold(lock);
                ++counter;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 40000);
}

// ---- reader/writer lock -----------------------------------------------------

// A writer must wait while any reader is inside, also after the first of
// several readers has left (the fault of the two-event scheme).
TEST(logfile_ReadWriteLock, WriterWaitsUntilTheLastReaderLeaves)
{
    read_wirte_lock lock;
    lock.read_lock();
    lock.read_lock(); // a second reader
    native_signal writer_in;
    bounded_thread writer([&] {
        lock.write_lock();
        writer_in.set();
        lock.write_unlock();
    });
    lock.read_unlock(); // the first reader leaves
    EXPECT_EQ(writer_in.wait(50), 1) << "a writer got in while a reader was inside";
    lock.read_unlock();
    EXPECT_EQ(writer_in.wait(kTestWaitMs), 0);
    writer.join();
}

TEST(logfile_ReadWriteLock, ReadersShareAndAWriterIsAlone)
{
    read_wirte_lock lock;
    lock.read_lock();
    native_signal second_reader_in;
    bounded_thread reader([&] {
        lock.read_lock();
        second_reader_in.set();
        lock.read_unlock();
    });
    EXPECT_EQ(second_reader_in.wait(kTestWaitMs), 0) << "readers must be inside together";
    reader.join();
    lock.read_unlock();

    lock.write_lock();
    native_signal reader_in;
    bounded_thread blocked([&] {
        lock.read_lock();
        reader_in.set();
        lock.read_unlock();
    });
    EXPECT_EQ(reader_in.wait(50), 1) << "a reader got in beside a writer";
    lock.write_unlock();
    EXPECT_EQ(reader_in.wait(kTestWaitMs), 0);
    blocked.join();
}

TEST(logfile_ReadWriteLock, NestedSharedLockDoesNotDeadlockBehindAWaitingWriter)
{
    read_wirte_lock lock;
    lock.read_lock();
    native_signal writer_in;
    bounded_thread writer([&] {
        lock.write_lock();
        writer_in.set();
        lock.write_unlock();
    });
    // The writer is (or soon will be) waiting; a nested lookup must still get in.
    WithinTestWait([&] { lock.read_lock(); });
    lock.read_unlock();
    lock.read_unlock();
    EXPECT_EQ(writer_in.wait(kTestWaitMs), 0);
    writer.join();
}

TEST(logfile_ReadWriteLock, ExclusiveUnderContention)
{
    read_wirte_lock lock;
    std::atomic<int> readers_inside{0};
    std::atomic<int> writers_inside{0};
    std::atomic<int> violations{0};
    std::atomic<int> max_readers{0};
    int64_t guarded = 0; // written only under the exclusive lock
    auto reader = [&] {
        for (int i = 0; i < 3000; ++i) {
            life_read_write_lock hold(lock, true);
            const int r = ++readers_inside;
            int seen = max_readers.load();
            while (r > seen && !max_readers.compare_exchange_weak(seen, r)) {}
            if (writers_inside.load() != 0)
                ++violations;
            volatile int64_t copy = guarded;
            (void)copy;
            --readers_inside;
        }
    };
    auto writer = [&] {
        for (int i = 0; i < 2000; ++i) {
            life_read_write_lock hold(lock, false);
            if (++writers_inside != 1 || readers_inside.load() != 0)
                ++violations;
            ++guarded;
            --writers_inside;
        }
    };
    std::vector<bounded_thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back(reader);
    for (int i = 0; i < 2; ++i)
        threads.emplace_back(writer);
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(violations.load(), 0);
    EXPECT_EQ(guarded, 4000);
}

// Readers (some nesting a second hold, some holding long enough that others
// spin out and sleep) and writers at once: a writer always finds the pair it
// guards equal and nobody else inside, a reader finds the pair equal, and
// every write is counted.  Plain fields, so that a missing ordering shows
// under the thread sanitizer too.
TEST(logfile_ReadWriteLock, SleepersAndSpinnersKeepTheRules)
{
    read_wirte_lock lock;
    int64_t first = 0; // first == second whenever the lock is not held exclusive
    int64_t second = 0;
    std::atomic<int> inside{0}; // readers + 1000 * writers
    std::atomic<int> violations{0};
    constexpr int kWriters = 2;
    constexpr int kWrites = 400;
    auto reader = [&](int seed) {
        for (int i = 0; i < 600; ++i) {
            life_read_write_lock hold(lock, true);
            if (inside.fetch_add(1) >= 1000)
                ++violations;
            if (first != second)
                ++violations;
            if ((i + seed) % 7 == 0) {
                life_read_write_lock nested(lock, true);
                if (first != second)
                    ++violations;
            }
            if ((i + seed) % 97 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            inside.fetch_sub(1);
        }
    };
    auto writer = [&] {
        for (int i = 0; i < kWrites; ++i) {
            life_read_write_lock hold(lock, false);
            if (inside.fetch_add(1000) != 0)
                ++violations;
            ++first;
            if (i % 50 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            ++second;
            inside.fetch_sub(1000);
        }
    };
    {
        std::vector<bounded_thread> threads;
        for (int r = 0; r < 3; ++r)
            threads.emplace_back([&, r] { reader(r); });
        for (int w = 0; w < kWriters; ++w)
            threads.emplace_back(writer);
        for (auto& t : threads)
            t.join();
    }
    EXPECT_EQ(violations.load(), 0);
    life_read_write_lock hold(lock, false); // free again: taken at once
    EXPECT_EQ(first, kWriters * kWrites);
    EXPECT_EQ(second, first);
}

// A holder built shared releases with read_unlock, one built exclusive with
// write_unlock: record which calls reach the lock.
class recording_lock : public read_wirte_lock {
public:
    std::vector<std::string> calls;
    void read_lock() override
    {
        calls.push_back("read_lock");
        read_wirte_lock::read_lock();
    }
    void read_unlock() override
    {
        calls.push_back("read_unlock");
        read_wirte_lock::read_unlock();
    }
    void write_lock() override
    {
        calls.push_back("write_lock");
        read_wirte_lock::write_lock();
    }
    void write_unlock() override
    {
        calls.push_back("write_unlock");
        read_wirte_lock::write_unlock();
    }
};

TEST(logfile_ReadWriteLock, LifeHolderReleasesTheWayItTook)
{
    struct row {
        bool shared;
        std::vector<std::string> expected;
    };
    const row rows[] = {
        {true, {"read_lock", "read_unlock"}},
        {false, {"write_lock", "write_unlock"}},
    };
    for (const row& r : rows) {
        recording_lock lock;
        {
            life_read_write_lock hold(lock, r.shared);
        }
        EXPECT_EQ(lock.calls, r.expected);
    }
}

// ---- threads ----------------------------------------------------------------

// Runs a body given by the test; the object stops itself in its destructor.
class test_thread : public native_thread {
public:
    explicit test_thread(std::function<unsigned(test_thread&, void*)> body, bool auto_delete = false)
        : native_thread(auto_delete), m_body(std::move(body))
    {}
    ~test_thread() override { stop(); }
    unsigned run(void* argument) override { return m_body(*this, argument); }
    bool pause_point_for_test() { return pause_point(); }
    using basic_thread::stop_requested;

private:
    std::function<unsigned(test_thread&, void*)> m_body;
};

TEST(logfile_Thread, RunsWithItsArgument)
{
    native_signal done;
    int value = 0;
    test_thread thread([&](test_thread&, void* argument) {
        value = *static_cast<int*>(argument);
        done.set();
        return 7u;
    });
    int argument = 42;
    EXPECT_FALSE(thread.is_running());
    ASSERT_TRUE(thread.start(&argument, 0));
    EXPECT_EQ(done.wait(kTestWaitMs), 0);
    EXPECT_EQ(thread.wait_stopped(kTestWaitMs), 0);
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(thread.start(&argument, 0)) << "a thread object is started once";
}

// What ends run() abnormally never crosses the thread and is never lost:
// the exception's text, or a result other than 0, reaches the diagnostics.
TEST(logfile_Thread, ExceptionsAndResultsOfRunAreWrittenToTheDiagnostics)
{
    struct row {
        std::function<unsigned()> body;
        const char* expected;
    };
    const row rows[] = {
        {[]() -> unsigned { throw std::runtime_error("the disk went away"); }, "the disk went away"},
        {[]() -> unsigned { throw "Failed to create event."; }, "Failed to create event."},
        {[]() -> unsigned { throw 42; }, "unknown type"},
        {[]() -> unsigned { return 7u; }, "returned 7"},
    };
    for (const row& r : rows) {
        std::mutex mutex;
        std::vector<std::string> lines;
        SetDiagnosticsSink([&](const std::string& line) {
            std::lock_guard<std::mutex> guard(mutex);
            lines.push_back(line);
        });
        test_thread thread([&](test_thread&, void*) { return r.body(); });
        ASSERT_TRUE(thread.start(nullptr, 0));
        ASSERT_EQ(thread.wait_stopped(kTestWaitMs), 0);
        SetDiagnosticsSink(nullptr);
        std::lock_guard<std::mutex> guard(mutex);
        ASSERT_EQ(lines.size(), 1u) << r.expected;
        EXPECT_NE(lines[0].find(r.expected), std::string::npos) << lines[0];
    }
    // A normal end writes nothing.
    std::atomic<int> written{0};
    SetDiagnosticsSink([&](const std::string&) { ++written; });
    test_thread quiet([](test_thread&, void*) { return 0u; });
    ASSERT_TRUE(quiet.start(nullptr, 0));
    ASSERT_EQ(quiet.wait_stopped(kTestWaitMs), 0);
    SetDiagnosticsSink(nullptr);
    EXPECT_EQ(written.load(), 0);
}

TEST(logfile_Thread, StopOnANeverStartedThreadReturnsAtOnce)
{
    test_thread thread([](test_thread&, void*) { return 0u; });
    thread.stop();
    thread.pause();
    thread.resume();
    EXPECT_FALSE(thread.is_running());
}

// A worker that counts units of work and checks, at each unit, that its
// controller does not believe it paused.
struct counting_worker {
    static constexpr int64_t kMaxUnits = int64_t{1} << 40;
    std::atomic<int64_t> units{0};
    std::atomic<bool> believed_paused{false};
    std::atomic<int> violations{0};
    native_signal progressed;
    native_signal ended;

    std::function<unsigned(test_thread&, void*)> body()
    {
        return [this](test_thread& self, void*) {
            // Ends when stopped; the limit only keeps a broken stop from spinning forever.
            for (int64_t unit = 0; unit < kMaxUnits; ++unit) {
                if (self.pause_point_for_test())
                    break;
                if (believed_paused.load())
                    ++violations;
                ++units;
                progressed.set();
                if (self.stop_requested())
                    break;
                std::this_thread::yield();
            }
            ended.set();
            return 0u;
        };
    }
};

TEST(logfile_Thread, PauseHoldsTheWorkAndResumeLetsItGoOn)
{
    counting_worker worker;
    test_thread thread(worker.body());
    ASSERT_TRUE(thread.start(nullptr, 0));
    for (int round = 0; round < 200; ++round) {
        thread.pause();
        worker.believed_paused = true;
        // Give a wrongly running worker the chance to show itself.
        const int64_t frozen = worker.units.load();
        for (int spin = 0; spin < 200; ++spin)
            std::this_thread::yield();
        EXPECT_EQ(worker.units.load(), frozen) << "round " << round;
        worker.progressed.reset();
        worker.believed_paused = false;
        thread.resume();
        // Immediately pausing again must not take the old acknowledgement.
    }
    worker.progressed.reset();
    EXPECT_EQ(worker.progressed.wait(kTestWaitMs), 0);
    WithinTestWait([&] { thread.stop(); });
    EXPECT_FALSE(thread.is_running());
    EXPECT_EQ(worker.violations.load(), 0);
}

// A worker that sleeps between passing a pause point and counting: when
// pause() returns before the thread has really paused, the worker is still
// asleep past its pause point and counts once more afterwards.
TEST(logfile_Thread, PauseReturnsOnlyOnceTheThreadHasPaused)
{
    constexpr auto kNap = std::chrono::milliseconds(3);
    std::atomic<int64_t> units{0};
    native_signal counted;
    test_thread thread([&](test_thread& self, void*) {
        for (int64_t unit = 0; unit < counting_worker::kMaxUnits; ++unit) {
            if (self.pause_point_for_test())
                break;
            std::this_thread::sleep_for(kNap);
            ++units;
            counted.set();
        }
        return 0u;
    });
    ASSERT_TRUE(thread.start(nullptr, 0));
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(counted.wait(kTestWaitMs), 0);
        WithinTestWait([&] { thread.pause(); });
        const int64_t frozen = units.load();
        counted.reset();
        // Three naps: a worker that had not paused would have counted by now.
        EXPECT_EQ(counted.wait(static_cast<int>(3 * kNap.count())), 1) << "round " << round;
        EXPECT_EQ(units.load(), frozen) << "round " << round;
        thread.resume();
    }
    WithinTestWait([&] { thread.stop(); });
}

TEST(logfile_Thread, StopWhilePausedDoesNotDeadlock)
{
    counting_worker worker;
    test_thread thread(worker.body());
    ASSERT_TRUE(thread.start(nullptr, 0));
    WithinTestWait([&] {
        thread.pause();
        thread.stop();
    });
    EXPECT_EQ(thread.wait_stopped(0), 0);
    EXPECT_FALSE(thread.is_running());
}

TEST(logfile_Thread, StopWhileAnotherThreadWaitsForThePauseDoesNotDeadlock)
{
    for (int round = 0; round < 50; ++round) {
        counting_worker worker;
        test_thread thread(worker.body());
        ASSERT_TRUE(thread.start(nullptr, 0));
        bounded_thread pauser([&] { thread.pause(); });
        WithinTestWait([&] { thread.stop(); });
        pauser.join();
        EXPECT_FALSE(thread.is_running());
    }
}

TEST(logfile_Thread, PauseOfAThreadThatEndsInsteadReturns)
{
    native_signal may_end;
    test_thread thread([&](test_thread&, void*) {
        may_end.wait(kTestWaitMs); // never looks at the pause request
        return 0u;
    });
    ASSERT_TRUE(thread.start(nullptr, 0));
    bounded_thread ender([&] { may_end.set(); });
    WithinTestWait([&] { thread.pause(); });
    ender.join();
    EXPECT_EQ(thread.wait_stopped(kTestWaitMs), 0);
}

TEST(logfile_Thread, DestroyingARunningThreadStopsItFirst)
{
    counting_worker worker;
    auto thread = std::make_unique<test_thread>(worker.body());
    ASSERT_TRUE(thread->start(nullptr, 0));
    EXPECT_EQ(worker.progressed.wait(kTestWaitMs), 0);
    WithinTestWait([&] { thread.reset(); }); // must stop and join, not hang or leave it running
    EXPECT_EQ(worker.ended.wait(0), 0) << "the body had not ended when the object was gone";
}

TEST(logfile_Thread, AutoDeleteThreadDestroysItself)
{
    native_signal destroyed;
    class self_deleting : public native_thread {
    public:
        explicit self_deleting(native_signal& destroyed) : native_thread(true), m_destroyed(destroyed) {}
        ~self_deleting() override { m_destroyed.set(); }
        unsigned run(void*) override { return 0; }

    private:
        native_signal& m_destroyed;
    };
    auto* thread = new self_deleting(destroyed);
    ASSERT_TRUE(thread->start(nullptr, -1));
    // The owner never touches it again; it is gone once run() returned.
    EXPECT_EQ(destroyed.wait(kTestWaitMs), 0);
}

int own_nice()
{
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}

TEST(logfile_Thread, PrioritiesBelowAndAboveNormal)
{
    const int creator = own_nice();
    struct row {
        int priority;
        int sign; // expected direction of the nice value against the creator's
    };
    const row rows[] = {{-5, +1}, {-1, +1}, {0, 0}, {3, -1}};
    for (const row& r : rows) {
        std::atomic<int> seen{0};
        test_thread thread([&](test_thread&, void*) {
            seen = own_nice();
            return 0u;
        });
        ASSERT_TRUE(thread.start(nullptr, r.priority));
        ASSERT_EQ(thread.wait_stopped(kTestWaitMs), 0);
        if (r.sign > 0) {
            // One step: a background thread keeps most of a normal share of
            // a busy machine.
            EXPECT_EQ(seen.load(), std::min(creator + 1, 19)) << r.priority;
        } else if (r.sign == 0) {
            EXPECT_EQ(seen.load(), creator);
        } else if (geteuid() == 0 || creator > -20) {
            // Raising may be refused without privileges; that is no error.
            EXPECT_LE(seen.load(), creator) << r.priority;
            if (geteuid() == 0) {
                EXPECT_LT(seen.load(), creator) << r.priority;
            }
        }
    }
}

} // namespace
