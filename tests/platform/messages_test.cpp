#include "platform/message_box.h"
#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
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
    std::thread poster([&] { q.post(WM_QUIT); });
    ASSERT_TRUE(q.get(m, -1));
    EXPECT_EQ(m.id, WM_QUIT);
    poster.join();
}

TEST(MessageQueue, WakeHandlerRunsOncePerPost)
{
    message_queue q;
    std::atomic<int> wakes{0};
    q.set_wake_handler([&] { ++wakes; });
    std::vector<std::thread> posters;
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
        std::atomic<int> answer{-1};
        to_interface.post(WM_USER + 200, flags, reinterpret_cast<intptr_t>(&text));
        while (answer < 0) {
            thread_message reply;
            if (to_interface.get(reply, 5000, WM_USER + 999))
                answer = static_cast<int>(reply.wparam);
        }
        return answer.load();
    });
    int worker_answer = 0;
    std::thread worker([&] { worker_answer = ShowMessage(u"From the work thread", MB_ICONERROR); });
    thread_message request;
    ASSERT_TRUE(to_interface.get(request, 5000, WM_USER + 200));
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
