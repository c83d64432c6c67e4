// The work thread on its own, with a host that the tests control: job
// order and serials, the idle and cancel events, failures that no job
// foresaw, and the records of jobs that never ran.
#include "glossant/dictionary_text.h"
#include "parser/log_pattern.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "work/jobs.h"
#include "work/open_files.h"
#include "work/progress_state.h"
#include "work/work_host.h"
#include "work/work_messages.h"
#include "work/work_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

class test_host : public work_host {
public:
    uint64_t MaxLoadingLines() override
    {
        if (throw_from_settings)
            throw std::runtime_error("settings are gone");
        return 100;
    }
    bool LoadTailFirst() override { return false; }
    bool RunViewJob(tagVIEW_JOB&) override { return false; }
    bool JobRunning() const override { return false; }
    const log_pattern_list& FindParser(std::u16string_view) const override { return parser; }
    const log_pattern_list* DetectParser(file_view&) override { return &parser; }
    open_file_list& OpenFileList() override { return files; }
    progress_record& Progress() override { return progress; }
    message_queue& InterfaceQueue() override { return queue; }

    std::atomic<bool> throw_from_settings{false};
    log_pattern_list parser{log_pattern(u"Content")};
    open_file_list files;
    progress_record progress;
    message_queue queue;
};

// Collects the interface messages up to the done of job serial; false when
// that did not arrive in time.
bool CollectUntilDone(message_queue& queue, uint64_t serial, std::vector<thread_message>& out)
{
    for (int i = 0; i < 1000; ++i) {
        thread_message message;
        if (!queue.get(message, 10000))
            return false;
        out.push_back(message);
        if (message.id == WM_WORK_DONE && message.wparam == serial)
            return true;
    }
    return false;
}

TEST(WorkThread, JobsEndInPostingOrderEachWithItsSerialAndIdleFollowsTheLast)
{
    test_host host;
    CWorkThread thread(host);
    EXPECT_EQ(thread.IdleEvent().wait(0), 0); // created signalled
    EXPECT_EQ(thread.CancelEvent().wait(0), 1);
    // Jobs without work behind them still end.
    EXPECT_EQ(thread.PostJob(WM_JOB_EXPORT, 0, 0), 1u);
    EXPECT_EQ(thread.IdleEvent().wait(0), 1);
    EXPECT_EQ(thread.PostJob(WM_JOB_SEARCH, 0, 0), 2u);
    EXPECT_EQ(thread.PostJob(WM_JOB_VIEW, 0, 0), 3u); // no record: nothing to do
    EXPECT_EQ(thread.PostJob(WM_USER + 7, 0, 0), 0u); // not a job
    EXPECT_EQ(thread.LastJobSerial(), 3u);
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start());

    std::vector<thread_message> seen;
    ASSERT_TRUE(CollectUntilDone(host.queue, 3, seen));
    std::vector<uintptr_t> serials;
    for (const thread_message& m : seen)
        if (m.id == WM_WORK_DONE)
            serials.push_back(m.wparam);
    EXPECT_EQ(serials, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(thread.IdleEvent().wait(10000), 0);
    thread.Quit();
    EXPECT_EQ(thread.Wait(10000), 0);
    EXPECT_FALSE(thread.IsRunning());
}

TEST(WorkThread, UnforeseenFailure_IsReportedInABoxAndTheJobStillEnds)
{
    test_host host;
    CWorkThread thread(host);
    std::vector<std::u16string> boxes;
    std::atomic<int> box_count{0};
    const MessagePresenter previous = SetMessagePresenter([&](const std::u16string& text, unsigned flags) {
        EXPECT_EQ(flags & MB_ICONMASK, unsigned(MB_ICONERROR));
        boxes.push_back(text);
        ++box_count;
        return IDOK;
    });
    ASSERT_TRUE(thread.Start());
    host.throw_from_settings = true;
    auto* paths = new std::vector<std::u16string>{u"/proc/self/status"};
    const uint64_t failing = thread.PostJob(WM_JOB_OPEN_FILES, 0, reinterpret_cast<intptr_t>(paths));
    std::vector<thread_message> seen;
    ASSERT_TRUE(CollectUntilDone(host.queue, failing, seen));
    EXPECT_EQ(box_count.load(), 1);

    // The thread goes on serving jobs.
    host.throw_from_settings = false;
    const uint64_t next = thread.PostJob(WM_JOB_EXPORT, 0, 0);
    seen.clear();
    ASSERT_TRUE(CollectUntilDone(host.queue, next, seen));
    thread.Quit();
    EXPECT_EQ(thread.Wait(10000), 0);
    SetMessagePresenter(previous);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], DictionaryText(u"IDS_MSG_UNKNOWN_ERROR"));
    EXPECT_EQ(host.files.size(), 0u); // the half-made file was freed
}

TEST(WorkThread, JobsQueuedBehindQuit_AreNeverRunAndTheirRecordsAreFreed)
{
    test_host host;
    {
        CWorkThread thread(host);
        ASSERT_TRUE(thread.Start());
        thread.Quit();
        thread.PostJob(WM_JOB_OPEN_FILES, 0, reinterpret_cast<intptr_t>(new std::vector<std::u16string>{u"/x"}));
        tagVIEW_JOB view; // on the poster's stack: never freed by the thread
        thread.PostJob(WM_JOB_VIEW, 0, reinterpret_cast<intptr_t>(&view));
        EXPECT_EQ(thread.Wait(10000), 0);
    }
    // The address sanitizer's leak check would report the heap record.
    EXPECT_EQ(host.queue.size(), 0u);
}

TEST(WorkThread, DestroyingARunningThread_EndsIt)
{
    test_host host;
    auto thread = std::make_unique<CWorkThread>(host);
    ASSERT_TRUE(thread->Start());
    thread.reset();
    SUCCEED();
}

TEST(JobContext, CancelIsTakenOnceAndDoneIsPostedOnce)
{
    test_host host;
    native_signal cancel;
    job_context job(host, cancel, 42);
    EXPECT_FALSE(job.TakeCancel());
    cancel.set();
    EXPECT_TRUE(job.TakeCancel());
    EXPECT_EQ(cancel.wait(0), 1); // reset by the take
    EXPECT_FALSE(job.TakeCancel());
    job.Done();
    job.Done();
    EXPECT_TRUE(job.done());
    thread_message m;
    ASSERT_TRUE(host.queue.get(m, 0));
    EXPECT_EQ(m.id, WM_WORK_DONE);
    EXPECT_EQ(m.wparam, 42u);
    EXPECT_FALSE(host.queue.get(m, 0));
}

TEST(JobContext, StepsWriteTheRecordUnderItsLockAndPostProgress)
{
    test_host host;
    native_signal cancel;
    job_context job(host, cancel, 1);
    {
        auto state = host.progress.lock();
        state->current = 5;
        state->total = 9;
    }
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_FILTERING", u"app.log");
    tagPROGRESS_STATE state = host.progress.snapshot();
    EXPECT_EQ(state.file_number, 1);
    EXPECT_EQ(state.current, -1);
    EXPECT_EQ(state.total, -1);
    EXPECT_EQ(state.object, u"app.log");
    EXPECT_EQ(state.action, DictionaryText(u"IDS_PROGRESSDLG_STATUS_FILTERING"));
    job.Step(3, u"IDS_PROGRESSDLG_STATUS_INDEXING", u"b.log");
    state = host.progress.snapshot();
    EXPECT_EQ(state.file_number, 3);
    EXPECT_EQ(state.object, u"b.log");
    EXPECT_EQ(host.queue.size(), 2u);
    host.progress.reset();
    state = host.progress.snapshot();
    EXPECT_EQ(state.file_number, 0);
    EXPECT_TRUE(state.object.empty());
}

} // namespace
