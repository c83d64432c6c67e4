#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "platform/queue_dispatcher.h"
#include "support/bounded_wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(MessageQueue, KeepsPostingOrderAndPeeksByIdWithAndWithoutRemoval)
{
    message_queue q;
    q.post(WM_USER + 101, 1, 10);
    q.post(WM_USER + 102, 2, 20);
    q.post(WM_USER + 101, 3, 30);
    thread_message m;
    ASSERT_TRUE(q.peek(m, false, WM_USER + 102));
    EXPECT_EQ(m.wparam, 2u);
    EXPECT_EQ(q.size(), 3u);
    ASSERT_TRUE(q.peek(m, true, WM_USER + 102));
    EXPECT_FALSE(q.peek(m, false, WM_USER + 102));
    ASSERT_TRUE(q.get(m, 0));
    EXPECT_EQ(m.lparam, 10);
    ASSERT_TRUE(q.get(m, 0));
    EXPECT_EQ(m.lparam, 30);
    EXPECT_FALSE(q.get(m, 0));
}

TEST(MessageQueue, GetWaitsForAnotherThreadAndTimesOut)
{
    message_queue q;
    thread_message m;
    EXPECT_FALSE(q.get(m, 20));
    bounded_thread poster([&] { q.post(WM_QUIT); });
    ASSERT_TRUE(q.get(m, kTestWaitMs));
    EXPECT_EQ(m.id, WM_QUIT);
    poster.join();
}

TEST(MessageQueue, WakeHandlerRunsOncePerPost)
{
    message_queue q;
    std::atomic<int> wakes{0};
    q.set_wake_handler([&] { ++wakes; });
    std::vector<bounded_thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                q.post(WM_USER + 101);
        });
    for (auto& t : posters)
        t.join();
    EXPECT_EQ(wakes.load(), 1000);
    EXPECT_EQ(q.size(), 1000u);
}

// Clearing the handler while another thread is inside it waits until that
// call has returned: only then may what the handler uses be freed.
TEST(MessageQueue, ClearingTheWakeHandlerWaitsForACallInProgress)
{
    message_queue q;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const uint64_t id = q.set_wake_handler([&] {
        entered.set_value();
        released.wait_for(std::chrono::milliseconds(kTestWaitMs));
    });
    bounded_thread poster([&] { q.post(WM_USER + 101); });
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::milliseconds(kTestWaitMs)), std::future_status::ready);

    std::promise<void> cleared;
    std::future<void> cleared_future = cleared.get_future();
    bounded_thread clearer([&] {
        q.clear_wake_handler(id);
        cleared.set_value();
    });
    EXPECT_EQ(cleared_future.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "the handler was cleared while a call of it was still running";
    release.set_value();
    EXPECT_EQ(cleared_future.wait_for(std::chrono::milliseconds(kTestWaitMs)), std::future_status::ready);
    clearer.join();
    poster.join();
}

TEST(MessageQueue, StaleRegistrationDoesNotClearANewerHandler)
{
    message_queue q;
    int first = 0;
    int second = 0;
    const uint64_t old_id = q.set_wake_handler([&] { ++first; });
    const uint64_t new_id = q.set_wake_handler([&] { ++second; });
    EXPECT_NE(old_id, new_id);
    q.clear_wake_handler(old_id);
    q.post(WM_USER + 101);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    q.clear_wake_handler(new_id);
    q.post(WM_USER + 101);
    EXPECT_EQ(second, 1);
}

TEST(MessageQueue, WakeHandlerMayPostToItsOwnQueue)
{
    message_queue q;
    int depth = 0;
    int wakes = 0;
    q.set_wake_handler([&] {
        ++wakes;
        if (depth++ == 0)
            q.post(WM_USER + 102);
    });
    q.post(WM_USER + 101);
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(q.size(), 2u);
}

TEST(QueueDispatcher, RunsTheHandlerOfEachMessageInPostingOrder)
{
    message_queue q;
    int scheduled = 0;
    queue_dispatcher dispatcher(q, [&] { ++scheduled; });
    std::vector<intptr_t> seen;
    dispatcher.set_handler(WM_USER + 101, [&](const thread_message& m) { seen.push_back(m.lparam); });
    q.post(WM_USER + 101, 0, 1);
    q.post(WM_USER + 103, 0, 2); // no handler: dropped
    q.post(WM_USER + 101, 0, 3);
    EXPECT_EQ(scheduled, 3);
    EXPECT_TRUE(dispatcher.dispatch_one());
    EXPECT_TRUE(dispatcher.dispatch_one());
    EXPECT_TRUE(dispatcher.dispatch_one());
    EXPECT_FALSE(dispatcher.dispatch_one());
    EXPECT_EQ(seen, (std::vector<intptr_t>{1, 3}));
}

// A thread posts without pause while dispatchers are created and destroyed
// here.  The scheduler of each writes into memory that is freed right after
// its dispatcher, so a wake that outlives the destruction is a use after
// free (reported by the sanitizers) and is also counted.
TEST(QueueDispatcher, PostOverlappingTheDestructionNeverReachesAFreedDispatcher)
{
    constexpr int kRounds = 1500;
    message_queue q;
    std::vector<std::atomic<bool>> destroyed(kRounds);
    std::atomic<int> late_wakes{0};
    std::atomic<bool> stop{false};
    std::atomic<int64_t> posts{0};
    bounded_thread poster([&] {
        while (!stop.load()) {
            if (q.size() < 64) {
                q.post(WM_USER + 101);
                ++posts;
            } else {
                std::this_thread::yield();
            }
        }
    });

    struct owner {
        int64_t wakes = 0; // plain memory: written by the posting thread's wakes
        std::unique_ptr<queue_dispatcher> dispatcher;
    };
    int64_t total_wakes = 0;
    // Under load each round can take far longer: the rounds stop after a few
    // seconds (past a floor), so a busy machine runs fewer but never times out.
    constexpr int kMinimumRounds = 200;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    for (int round = 0; round < kRounds; ++round) {
        if (round >= kMinimumRounds && std::chrono::steady_clock::now() > deadline)
            break;
        auto o = std::make_unique<owner>();
        owner* raw = o.get();
        o->dispatcher = std::make_unique<queue_dispatcher>(q, [raw, round, &destroyed, &late_wakes] {
            // A wake takes a while (as posting a Qt event does), which widens
            // the window in which a destruction can overlap it.
            for (int i = 0; i < 50; ++i)
                std::this_thread::yield();
            if (destroyed[static_cast<std::size_t>(round)].load())
                ++late_wakes;
            ++raw->wakes;
        });
        // Let a few posts reach this dispatcher (bounded), then drain.
        const int64_t start = posts.load();
        for (int spin = 0; spin < 100000 && posts.load() < start + 2; ++spin)
            std::this_thread::yield();
        for (int i = 0; i < 64 && o->dispatcher->dispatch_one(); ++i) {}
        o->dispatcher.reset();
        destroyed[static_cast<std::size_t>(round)] = true;
        total_wakes += o->wakes;
        o.reset();
    }
    stop = true;
    poster.join();
    EXPECT_EQ(late_wakes.load(), 0);
    EXPECT_GT(total_wakes, 0);
}

TEST(MessageBox, PresenterAnswersAndRouterCarriesOtherThreadsRequests)
{
    SetInterfaceThread();
    std::vector<std::pair<std::u16string, unsigned>> shown;
    auto previous = SetMessagePresenter([&](const std::u16string& text, unsigned flags) {
        shown.emplace_back(text, flags);
        return IDYES;
    });
    EXPECT_EQ(ShowMessage(u"Delete?", MB_YESNO | MB_ICONQUESTION), IDYES);

    // Another thread's request is carried to this thread by the router.
    message_queue to_interface;
    SetMessageRouter([&](const std::u16string& text, unsigned flags) {
        to_interface.post(WM_USER + 200, flags, reinterpret_cast<intptr_t>(&text));
        thread_message reply;
        if (!to_interface.get(reply, kTestWaitMs, WM_USER + 999))
            return -1;
        return static_cast<int>(reply.wparam);
    });
    int worker_answer = 0;
    bounded_thread worker([&] { worker_answer = ShowMessage(u"From the work thread", MB_ICONERROR); });
    thread_message request;
    ASSERT_TRUE(to_interface.get(request, kTestWaitMs, WM_USER + 200));
    const int result =
        PresentMessage(*reinterpret_cast<const std::u16string*>(request.lparam), static_cast<unsigned>(request.wparam));
    to_interface.post(WM_USER + 999, static_cast<uintptr_t>(result));
    worker.join();
    SetMessageRouter(nullptr);
    SetMessagePresenter(previous);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].first, u"From the work thread");
    EXPECT_EQ(shown[1].second, unsigned(MB_ICONERROR));
    EXPECT_EQ(worker_answer, IDYES);
}

} // namespace
