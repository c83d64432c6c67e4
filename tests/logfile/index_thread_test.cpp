#include "index_helpers.h"
#include "log_file_access.h"
#include "logfile/log_file.h"
#include "parser/parser_test_support.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class logfile_IndexThread : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }
    temp_folder folder;
};

TEST_F(logfile_IndexThread, IndexesTheRestInPassesAndEndsByItself)
{
    for (bool tail_first : {false, true}) {
        const std::string text = numbered_lines(25000);
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("t.log", text)), 10000, tail_first));
        ASSERT_TRUE(file.start_indexer());
        EXPECT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
        EXPECT_FALSE(file.indexer().is_running());
        EXPECT_EQ(file.line_count(), 25000u);
        EXPECT_EQ(indexed_lines(file), reference_lines(text, 1, 0));
        EXPECT_EQ(index_blocks(file).size(), 3u);
        EXPECT_EQ(file.first_slot(), tail_first ? 5000 : 0);
    }
}

TEST_F(logfile_IndexThread, TailFirstWindowFollowsThePrependedLines)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("t.log", numbered_lines(25000))), 10000, true));
    file.set_window(0, 99); // the first hundred loaded lines: "line 15000".."line 15099"
    ASSERT_TRUE(file.start_indexer());
    ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
    int64_t first, last;
    file.window(first, last);
    EXPECT_EQ(first, 15000);
    EXPECT_EQ(last, 15099);
    std::u16string text;
    ASSERT_TRUE(file.line_preview(static_cast<uint64_t>(first), text));
    EXPECT_EQ(text, u"line 15000");
}

TEST_F(logfile_IndexThread, PausedThreadAddsNothingUntilResumed)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("p.log", numbered_lines(400000))), 10000, false));
    ASSERT_TRUE(file.start_indexer());
    for (int round = 0; round < 5 && file.indexer().is_running(); ++round) {
        index_hold index_held = file.indexer().hold();
        // While paused the window may be read and the count holds still.
        const uint64_t held = file.line_count();
        std::u16string text;
        for (uint64_t n = 0; n < held; n += held / 7 + 1)
            ASSERT_TRUE(file.line_preview(n, text));
        EXPECT_EQ(file.line_count(), held);
        index_held.release();
    }
    ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
    EXPECT_EQ(file.line_count(), 400000u);
}

// Two holders share the pause: releasing one keeps the thread waiting
// until the other lets go too, in either order, and a hold taken before the
// thread starts holds it at its first pause point.
TEST_F(logfile_IndexThread, TheThreadRunsOnlyWhenNoHoldIsAlive)
{
    const std::string path = folder.write("h.log", numbered_lines(400000));
    for (bool first_released_first : {true, false}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 1000, false));
        index_control& indexer = file.indexer();
        index_hold early = indexer.hold(); // before the start
        ASSERT_TRUE(file.start_indexer());
        index_hold second = indexer.hold();
        EXPECT_EQ(indexer.holds(), 2);
        const uint64_t held = file.line_count();
        (first_released_first ? early : second).release();
        EXPECT_EQ(indexer.holds(), 1);
        EXPECT_TRUE(indexer.is_running());
        EXPECT_FALSE(indexer.runs_unpaused());
        // Three naps: a thread that had been let go would have added lines.
        for (int nap = 0; nap < 3; ++nap) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ASSERT_EQ(file.line_count(), held) << "one holder's release let the thread go";
        }
        (first_released_first ? second : early).release();
        EXPECT_EQ(indexer.holds(), 0);
        ASSERT_EQ(indexer.wait_stopped(kTestWaitMs), 0);
        EXPECT_EQ(file.line_count(), 400000u);
    }
}

// Tokens move and hold the file's thread across a close and a new open.
TEST_F(logfile_IndexThread, AHoldOutlivesCloseAndHoldsTheNextThread)
{
    const std::string path = folder.write("m.log", numbered_lines(200000));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 1000, false));
    index_hold moved;
    {
        index_hold taken = file.indexer().hold();
        moved = std::move(taken);
        EXPECT_FALSE(taken);
    }
    EXPECT_EQ(file.indexer().holds(), 1);
    file.close();
    ASSERT_TRUE(file.open(widen(path), 1000, false));
    ASSERT_TRUE(file.start_indexer());
    EXPECT_FALSE(file.indexer().runs_unpaused());
    EXPECT_EQ(file.line_count(), 1000u);
    // A parse takes a hold of this file only.
    log_file other;
    ASSERT_TRUE(other.open(widen(path), 10, false));
    EXPECT_FALSE(file.parse_range(other.indexer().hold(), Parser({Item(u"", u"", u"text")}), 0, 10));
    EXPECT_TRUE(file.parse_range(moved, Parser({Item(u"", u"", u"text")}), 0, 10));
    moved.release();
    ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
    EXPECT_EQ(file.line_count(), 200000u);
}

TEST_F(logfile_IndexThread, CloseStopsTheThreadMidPass)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("c.log", numbered_lines(600000))), 1000, true));
    ASSERT_TRUE(file.start_indexer());
    file.close();
    EXPECT_FALSE(file.indexer().is_running());
    EXPECT_EQ(file.line_count(), 0u);
    EXPECT_EQ(file.first_slot(), -1);
}

TEST_F(logfile_IndexThread, DestroyingTheFileStopsTheThread)
{
    auto file = std::make_unique<log_file>();
    ASSERT_TRUE(file->open(widen(folder.write("d.log", numbered_lines(600000))), 1000, false));
    ASSERT_TRUE(file->start_indexer());
    file.reset();
    SUCCEED();
}

// A window parse holds the shared lock for its whole run: the thread's next
// addition waits for it, and lookups inside the parse still get through.  In
// tail mode the parse runs while the thread is paused (prepending takes the
// window lock before the index lock, a parse the other way round).
TEST_F(logfile_IndexThread, WindowReadUnderTheSharedLockDoesNotDeadlock)
{
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(widen(folder.write("w.log", numbered_lines(300000))), 10000, tail_first));
        ASSERT_TRUE(file.start_indexer());
        for (int round = 0; round < 3; ++round) {
            index_hold index_held = file.indexer().hold();
            {
                const line_index::reader parse = file.read_index();
                if (!tail_first)
                    index_held.release();                 // appending never takes the window lock
                const uint64_t count = file.line_count(); // nested shared lookup
                std::u16string text;
                for (uint64_t n = 0; n < 100; ++n)
                    ASSERT_TRUE(file.line_preview(n, text));
                int64_t first, last;
                file.window(first, last);
                file.set_window(0, 99);
                EXPECT_EQ(file.line_count(), count) << "a line was added during the parse";
            }
            if (tail_first)
                index_held.release();
        }
        ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
        EXPECT_EQ(file.line_count(), 300000u);
    }
}

TEST_F(logfile_IndexThread, RefreshWhileTheThreadRunsReturnsZero)
{
    // Tail first, so that the thread itself never picks up appended lines.
    const std::string path = folder.write("r.log", numbered_lines(50000));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 10000, true));
    // Held before it starts, the thread stops at its first pause point: it
    // runs, however fast this machine would have indexed the file.
    index_hold index_held = file.indexer().hold();
    ASSERT_TRUE(file.start_indexer());
    ASSERT_TRUE(file.indexer().is_running());
    folder.append(path, "new 1\nnew 2\n");
    EXPECT_EQ(file.refresh(), 0);
    index_held.release();
    ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
    // Once finished, the file is refreshed.
    EXPECT_EQ(file.refresh(), 2);
    EXPECT_EQ(file.line_count(), 50002u);
}

TEST_F(logfile_IndexThread, DiscardedLinesAreDeletedOnAThreadUnderTheDeletionLock)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("x.log", numbered_lines(10))), 0, false));
    log_file_test_access::fill_window(file, 1000);
    file.set_window(0, 999);
    {
        life_lock exit_guard(log_file::deletion_lock());
        file.discard_lines();
        const log_file::window_reader window = file.read_window();
        EXPECT_TRUE(window.lines().empty());
        EXPECT_TRUE(window.filtered_lines().empty());
        EXPECT_TRUE(window.quick_lines().empty());
        int64_t first, last;
        file.window(first, last);
        EXPECT_EQ(first, -1);
        EXPECT_EQ(last, -1);
        EXPECT_EQ(log_file::pending_discards(), 1) << "the deletion waits for the lock";
        EXPECT_EQ(log_file::wait_for_discards(20), 1);
    }
    EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0);
    EXPECT_EQ(log_file::pending_discards(), 0);
    file.discard_lines(); // an empty window starts no thread
    EXPECT_EQ(log_file::pending_discards(), 0);
}

} // namespace

namespace {

TEST(logfile_WindowRule, NumbersAreReadTogetherWithTheLineCount)
{
    temp_folder folder;
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("n.log", numbered_lines(30))), 0, false));
    file.set_window(3, 12);
    const log_file::window_numbers numbers = file.read_window_numbers();
    EXPECT_EQ(numbers.first, 3);
    EXPECT_EQ(numbers.last, 12);
    EXPECT_EQ(numbers.line_count, 30u);
}

TEST(logfile_WindowRule, ReaderSeesTheWindowInFileOrder)
{
    log_file file;
    log_file_test_access::fill_window(file, 20);
    {
        const log_file::window_reader window = file.read_window();
        ASSERT_EQ(window.lines().size(), 20u);
        for (std::size_t i = 0; i < window.lines().size(); ++i)
            EXPECT_EQ(window.lines()[i]->offset, static_cast<int64_t>(i));
        EXPECT_EQ(window.filtered_lines().size(), 10u);
        EXPECT_EQ(window.quick_lines().size(), 5u);
        EXPECT_FALSE(window.filter_applied());
    }
    file.discard_lines();
    EXPECT_EQ(log_file::wait_for_discards(10000), 0);
}

#ifndef NDEBUG
TEST(logfile_WindowRuleDeathTest, ChangingTheWindowWhileItIsReadAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    log_file file;
    EXPECT_DEATH(
        {
            const log_file::window_reader window = file.read_window();
            file.discard_lines();
        },
        "changed while it is read");
}
#endif

TEST(logfile_WindowRule, WindowParseWhileTheIndexThreadIsPausedOrFinishedIsAllowed)
{
    temp_folder folder;
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("p.log", numbered_lines(300000))), 100, false));
    log_file_test_access::parse_window(file); // not started
    ASSERT_TRUE(file.start_indexer());
    index_hold index_held = file.indexer().hold();
    log_file_test_access::parse_window(file);
    index_held.release();
    ASSERT_EQ(file.indexer().wait_stopped(10000), 0);
    log_file_test_access::parse_window(file); // finished
}

} // namespace
