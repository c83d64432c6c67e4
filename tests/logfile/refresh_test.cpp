#include "index_helpers.h"
#include "logfile/log_file.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

namespace {

class logfile_Refresh : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }
    temp_folder folder;
};

TEST_F(logfile_Refresh, AppendedCompleteLinesAreAdded)
{
    const std::string path = folder.write("a.log", numbered_lines(100));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    EXPECT_EQ(file.refresh(), 0) << "nothing changed";
    folder.append(path, "x\ny\r\nz\n");
    EXPECT_EQ(file.refresh(), 3);
    EXPECT_EQ(file.refresh(), 0);
    EXPECT_EQ(file.line_count(), 103u);
    std::u16string text;
    ASSERT_TRUE(file.line_preview(102, text));
    EXPECT_EQ(text, u"z");
}

TEST_F(logfile_Refresh, HalfALineWaitsForItsLineEnd)
{
    const std::string path = folder.write("h.log", numbered_lines(100));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    folder.append(path, "half of a ");
    EXPECT_EQ(file.refresh(), 0);
    EXPECT_EQ(file.file_size(), static_cast<int64_t>(numbered_lines(100).size() + 10)) << "the new size is stored";
    folder.append(path, "line\n");
    EXPECT_EQ(file.refresh(), 1);
    std::u16string text;
    ASSERT_TRUE(file.line_preview(100, text));
    EXPECT_EQ(text, u"half of a line");
}

TEST_F(logfile_Refresh, MissingFinalLineEndIsCompletedLater)
{
    for (bool tail_first : {false, true}) {
        const std::string path = folder.write(tail_first ? "m_tail.log" : "m_head.log", "one\ntwo");
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 0, tail_first));
        EXPECT_EQ(file.line_count(), 1u);
        folder.append(path, "\n");
        EXPECT_EQ(file.refresh(), 1) << "tail_first=" << tail_first;
        std::u16string text;
        ASSERT_TRUE(file.line_preview(1, text));
        EXPECT_EQ(text, u"two");
    }
}

TEST_F(logfile_Refresh, FileOpenedEmptyDetectsItsEncodingOnRefresh)
{
    struct row {
        const char* name;
        std::string initial;
        std::string appended;
        int32_t encoding;
        int64_t added;
    };
    const row rows[] = {
        {"empty then two lines", "", "a\nb\n", ENCODING_ANSI, 2},
        {"one byte then lines", "a", "b\nc\n", ENCODING_ANSI, 2},
        {"empty then utf8 bom", "", "\xEF\xBB\xBFx\n", ENCODING_UTF8, 1},
        {"empty then half a BOM", "", "\xFF", ENCODING_UNKNOWN, 0},
    };
    for (const row& r : rows) {
        const std::string path = folder.write("e.log", r.initial);
        log_file file;
        ASSERT_TRUE(file.open(widen(path), 0, false));
        EXPECT_EQ(file.encoding(), ENCODING_UNKNOWN) << r.name;
        folder.append(path, r.appended);
        EXPECT_EQ(file.refresh(), r.added) << r.name;
        EXPECT_EQ(file.encoding(), r.encoding) << r.name;
        EXPECT_EQ(file.line_count(), static_cast<uint64_t>(r.added)) << r.name;
    }
}

TEST_F(logfile_Refresh, BomWithoutACompleteLineStaysEmptyUntilOneArrives)
{
    const std::string path = folder.write("b.log", "\xFF\xFE" + ucs2_bytes(u"par", true));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    EXPECT_EQ(file.encoding(), ENCODING_UCS2LE);
    EXPECT_EQ(file.line_count(), 0u);
    folder.append(path, ucs2_bytes(u"tial\r\n", true));
    EXPECT_EQ(file.refresh(), 1);
    EXPECT_EQ(indexed_lines(file), (line_list{{2, 14}}));
}

TEST_F(logfile_Refresh, TailFirstFileGrowsAtTheBackWithoutMovingTheWindow)
{
    const std::string path = folder.write("t.log", numbered_lines(25000));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 10000, true));
    ASSERT_TRUE(file.start_indexer());
    ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0);
    file.set_window(24900, 24999);
    folder.append(path, "tail 1\ntail 2\n");
    EXPECT_EQ(file.refresh(), 2);
    int64_t first, last;
    file.window(first, last);
    EXPECT_EQ(first, 24900);
    EXPECT_EQ(last, 24999);
    const std::vector<block_shape> blocks = index_blocks(file);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_TRUE(blocks.back() == (block_shape{true, 2}));
    std::u16string text;
    ASSERT_TRUE(file.line_preview(25001, text));
    EXPECT_EQ(text, u"tail 2");
    EXPECT_TRUE(file.tail_mode());
}

TEST_F(logfile_Refresh, TruncatedFileKeepsItsIndex)
{
    const std::string text = numbered_lines(1000);
    const std::string path = folder.write("s.log", text);
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    const line_list before = indexed_lines(file);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(text.size() / 2)), 0);
    EXPECT_EQ(file.refresh(), 0);
    EXPECT_EQ(indexed_lines(file), before);
    EXPECT_EQ(file.file_size(), static_cast<int64_t>(text.size() / 2));
}

// What following a rotated log relies on: the file tells it is no longer
// the one it indexed, and the same object opened again indexes it anew.
TEST_F(logfile_Refresh, CheckChangeTellsRotationsFromAppends)
{
    const std::string path = folder.write("r.log", numbered_lines(100));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    folder.append(path, "appended\n");
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none) << "an append is no rotation";
    EXPECT_EQ(file.refresh(), 1);

    // Same size, first line rewritten in place.
    {
        FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fputs("LINE", f);
        std::fclose(f);
    }
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);

    // Truncated (copy and truncate), also when grown again past the old size.
    ASSERT_TRUE(file.open(widen(path), 0, false));
    ASSERT_EQ(truncate(path.c_str(), 10), 0);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::shrank);
    folder.write("r.log", "other text\n" + numbered_lines(200));
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);

    // Refilled past the old size behind the same first lines (a banner the
    // service writes at every start): the end of what was indexed moved.
    ASSERT_TRUE(file.open(widen(path), 0, false));
    ASSERT_EQ(file.line_count(), 201u);
    std::string refill = "other text\n" + numbered_lines(150);
    while (refill.size() < numbered_lines(200).size() + 200)
        refill += "started again\n";
    folder.write("r.log", refill);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);
    // Appends after the mark was taken are still appends.
    ASSERT_TRUE(file.open(widen(path), 0, false));
    for (int i = 0; i < 3; ++i) {
        folder.append(path, "more\n");
        EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none) << i;
        EXPECT_EQ(file.refresh(), 1) << i;
    }

    // Renamed away: the open file is still followed until a new one is there.
    ASSERT_TRUE(file.open(widen(path), 0, false));
    ASSERT_EQ(std::rename(path.c_str(), (path + ".1").c_str()), 0);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    folder.write("r.log", "new\n");
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::replaced);
}

// The first bytes compared grow with a file that was shorter than them at
// its open: a rewrite past the old length but within them is seen.
TEST_F(logfile_Refresh, CheckChangeComparesTheHeadAsItGrew)
{
    const std::string path = folder.write("short.log", "a\nb\nc\n");
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    std::string grown = "a\nb\nc\n";
    while (grown.size() < 200)
        grown += "grown line\n";
    folder.write("short.log", grown);
    ASSERT_LT(grown.size(), log_file::kHeadBytes);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    // Rewritten between the old length (6) and byte 256, same size, nothing
    // indexed since: only the grown head can tell.
    std::string rewritten = grown;
    rewritten.replace(100, 10, "XXXXXXXXXX");
    folder.write("short.log", rewritten);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);
}

// The mark before the last indexed line end moves with indexing within one
// open: appended, indexed, then refilled behind the same first bytes with
// other lines where the appended ones were.
TEST_F(logfile_Refresh, CheckChangeTakesTheMarkAgainAfterIndexing)
{
    const std::string head = numbered_lines(100);
    const std::string path = folder.write("mark.log", head);
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    std::string appended;
    for (int i = 0; i < 50; ++i)
        appended += "appended " + std::to_string(i) + "\n";
    folder.append(path, appended);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    ASSERT_EQ(file.refresh(), 50);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    std::string refill = head;
    while (refill.size() < head.size() + appended.size() + 100)
        refill += "started again\n";
    folder.write("mark.log", refill);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);
}

// A path that will not convert still has its open file compared with
// itself: a truncation is a change, not "no change".
TEST_F(logfile_Refresh, CheckChangeWithAnUnconvertiblePathStillSeesATruncation)
{
    const std::string path = folder.write("bad.log", numbered_lines(100));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    ASSERT_EQ(truncate(path.c_str(), 10), 0);
    const std::u16string unpaired(1, char16_t(0xD800)); // a lone surrogate
    EXPECT_EQ(file.check_change(unpaired), log_file::file_change::shrank);
}

// Nor is an unchanged file "no change" when its path cannot be looked up:
// whether the path still names it is not known.
TEST_F(logfile_Refresh, CheckChangeWithAnUnconvertiblePathReportsUnchecked)
{
    const std::string path = folder.write("same.log", numbered_lines(100));
    log_file file;
    ASSERT_TRUE(file.open(widen(path), 0, false));
    const std::u16string unpaired(1, char16_t(0xD800)); // a lone surrogate
    EXPECT_EQ(file.check_change(unpaired), log_file::file_change::unchecked);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
}

TEST_F(logfile_Refresh, FileOpenedAgainIsIndexedAgainByItsThread)
{
    const std::string path = folder.write("again.log", numbered_lines(25000));
    log_file file;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(file.open(widen(path), 1000, round % 2 == 1));
        EXPECT_EQ(file.line_count(), 1000u) << round;
        ASSERT_TRUE(file.start_indexer()) << round;
        ASSERT_EQ(file.indexer().wait_stopped(kTestWaitMs), 0) << round;
        EXPECT_EQ(file.line_count(), 25000u) << round;
        file.close();
    }
}

TEST_F(logfile_Refresh, ClosedFileReportsMinusOne)
{
    log_file file;
    EXPECT_EQ(file.refresh(), -1);
    ASSERT_TRUE(file.open(widen(folder.write("c.log", "a\n")), 0, false));
    file.close();
    EXPECT_EQ(file.refresh(), -1);
}

} // namespace
