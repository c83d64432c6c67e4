// Find in file: the window sequence upwards and downwards, the rows already
// searched, the row source, cancelling, the ends of the index, and files
// still being indexed.  Every case runs on the plain loop and on the fast path.
#include "find_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

// "<n> <level> [mod<n % 5>] message <n>", with word at the given lines.
std::vector<std::u16string> numbered(int count, const std::vector<int>& with_word, const std::u16string& word,
                                     const char16_t* level = nullptr)
{
    static const char16_t* const levels[] = {u"INFO", u"WARN", u"ERROR", u"debug"};
    std::vector<std::u16string> lines;
    for (int i = 0; i < count; ++i) {
        const std::u16string n = FromUtf8(std::to_string(i));
        std::u16string line =
            n + u" " + (level ? level : levels[i % 4]) + u" [mod" + FromUtf8(std::to_string(i % 5)) + u"] message " + n;
        for (int w : with_word)
            if (w == i)
                line += u" " + word;
        lines.push_back(line);
    }
    return lines;
}

CSearchInfo plain_search(const std::u16string& text, bool up, bool case_sensitive = true, int32_t column = -1)
{
    CSearchInfo search;
    search.expression = text;
    search.up = up;
    search.case_sensitive = case_sensitive;
    search.column = column;
    return search;
}

// Runs fn on its own thread and fails (ending the run) when it takes longer
// than the limit, so that a search that never ends cannot hang the suite.
template <class F> auto bounded(F fn, int seconds = 60)
{
    auto task = std::async(std::launch::async, std::move(fn));
    if (task.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "the search did not end within " << seconds << " s";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return task.get();
}

class search_FindInFile : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }

    std::u16string write(const std::vector<std::u16string>& lines, file_encoding e = file_encoding::utf8_bom)
    {
        m_dir.write("f.log", file_bytes(lines, u"\n", e));
        return m_dir.wide("f.log");
    }

    search_end run(const std::u16string& path, const search_setup& setup, find_counts* counts = nullptr)
    {
        const std::vector<search_end> ends = run_searches(path, setup, GetParam(), counts);
        return ends.empty() ? search_end{} : ends.back();
    }

    temp_dir m_dir;
};

INSTANTIATE_TEST_SUITE_P(Paths, search_FindInFile, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? "Fast" : "Plain";
                         });

TEST_P(search_FindInFile, DownFindsTheRowInTheFirstLaterWindowThatHoldsIt)
{
    const std::u16string path = write(numbered(1000, {537, 912}, u"needle"));
    search_setup setup;
    setup.search = plain_search(u"needle", false);
    find_counts counts;
    const search_end end = run(path, setup, &counts);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 500);
    EXPECT_EQ(end.window_last, 599);
    EXPECT_EQ(end.row, 37);
    EXPECT_EQ(counts.windows_reached, 5u);
    EXPECT_EQ(counts.literal_scan, GetParam());
    // The fast path parses only the window it stops in.
    EXPECT_EQ(counts.windows_parsed, GetParam() ? 1u : 5u);
}

TEST_P(search_FindInFile, UpWalksEachWindowFromItsEndTowardsLineZero)
{
    const std::u16string path = write(numbered(1000, {37, 12}, u"needle"));
    search_setup setup;
    setup.window_first = 900;
    setup.search = plain_search(u"needle", true);
    const search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 0);
    EXPECT_EQ(end.window_last, 99);
    EXPECT_EQ(end.row, 37); // the nearer of the two, walking up
}

TEST_P(search_FindInFile, UpNearTheTopSkipsTheRowsTheViewAlreadyHeld)
{
    // The view holds lines 60-159; the window above is 0-99 and its lines
    // from 60 on were searched already.
    const std::u16string path = write(numbered(1000, {80, 20}, u"needle"));
    search_setup setup;
    setup.window_first = 60;
    setup.search = plain_search(u"needle", true);
    const search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 0);
    EXPECT_EQ(end.row, 20);
}

TEST_P(search_FindInFile, DownNearTheEndSkipsTheRowsTheViewAlreadyHeld)
{
    const std::u16string path = write(numbered(1000, {870, 950}, u"needle"));
    search_setup setup;
    setup.window_first = 800; // lines 800-899; the last window is 900-999 then
    setup.search = plain_search(u"needle", false);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 900);
    EXPECT_EQ(end.row, 50);

    setup.window_first = 860; // lines 860-959; 870 and 950 are in the view
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_first, 900);
    EXPECT_EQ(end.window_last, 999);
}

TEST_P(search_FindInFile, DownFromAWindowAtTheLastLineOfACompleteIndexIsNotFoundAtOnce)
{
    const std::u16string path = write(numbered(1000, {5}, u"needle"));
    search_setup setup;
    setup.window_first = 900;
    setup.search = plain_search(u"needle", false);
    find_counts counts;
    const search_end end = run(path, setup, &counts);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_first, 900);
    EXPECT_EQ(end.window_last, 999);
    EXPECT_EQ(counts.windows_reached, 1u);
}

TEST_P(search_FindInFile, NotFoundLeavesTheLastWindowOfTheDirectionInTheView)
{
    const std::u16string path = write(numbered(1050, {}, u""));
    search_setup setup;
    setup.search = plain_search(u"needle", false);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_first, 950);
    EXPECT_EQ(end.window_last, 1049);

    setup.window_first = 520;
    setup.search.up = true;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_first, 0);
    EXPECT_EQ(end.window_last, 99);
}

TEST_P(search_FindInFile, CancelStopsAtTheFirstRowTheWalkReachesAfterIt)
{
    const std::u16string path = write(numbered(1000, {999}, u"needle"));
    search_setup setup;
    setup.search = plain_search(u"needle", false);
    setup.cancel_at_window = 3;
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::cancelled);
    EXPECT_EQ(end.window_first, 300);
    EXPECT_EQ(end.row, 0);

    setup.window_first = 900;
    setup.search.up = true;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::cancelled);
    EXPECT_EQ(end.window_first, 600);
    EXPECT_EQ(end.row, 99);
}

// A window of the fast path cut into chunks that two threads scan, the
// cancel taken at the caller's second, fourth or seventh look: between two
// reads of its chunk, or at the start of a later window when the helper
// scanned every chunk first.  Either way the search stops at the first row
// of the window it had reached, nothing past it found, and the cancel is
// not asked again once taken.
TEST_P(search_FindInFile, ACancelInTheMiddleOfAChunkStopsEveryChunk)
{
    if (!GetParam())
        GTEST_SKIP() << "the plain loop has no chunks";
    const int total = 3000;
    for (const bool up : {false, true}) {
        const std::u16string path = write(numbered(total, {up ? 5 : total - 5}, u"needle"));
        const log_pattern_list parser = service_parser();
        for (const int cancel_at : {2, 4, 7}) {
            log_file file;
            ASSERT_TRUE(file.open(path, 0, false));
            const uint64_t window = 500;
            ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, up ? total - 500 : 0, window));
            find_in_file_options options;
            options.max_lines = window;
            options.workers = 2;
            options.chunk_bytes = 600;
            options.scan_chunk_size = 64;
            int asked = 0;
            options.cancelled = [&] { return ++asked >= cancel_at; };
            const find_result result =
                bounded([&] { return find_in_file(file, parser, plain_search(u"needle", up), options); });
            ASSERT_EQ(result.outcome, find_outcome::cancelled) << "up=" << up << " at " << cancel_at;
            EXPECT_EQ(asked, cancel_at) << "up=" << up;
            int64_t first = -1;
            int64_t last = -1;
            file.window(first, last);
            EXPECT_EQ(result.row, up ? last - first : 0) << "up=" << up << " at " << cancel_at;
            // The window holds no needle: the search stopped before it.
            EXPECT_TRUE(up ? first > 5 : last < total - 5) << "window [" << first << ", " << last << "]";
        }
    }
}

TEST_P(search_FindInFile, CancelWhereNoRowIsShownStopsAtTheNextRowShown)
{
    // Only ERROR rows are shown, and lines 300-499 have none.
    std::vector<std::u16string> lines = numbered(1000, {}, u"");
    for (int i = 300; i < 500; ++i)
        lines[static_cast<std::size_t>(i)] = numbered(i + 1, {}, u"", u"INFO")[static_cast<std::size_t>(i)];
    const std::u16string path = write(lines);
    search_setup setup;
    setup.search = plain_search(u"needle", false);
    setup.groups.AddCondition([] {
        log_filter c;
        c.SetColumn(u"level");
        c.SetType(FILTER_TYPE_EQUAL);
        c.SetContent(u"ERROR");
        return c;
    }());
    setup.filter_enabled = true;
    setup.cancel_at_window = 3; // the window 300-399
    const search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::cancelled);
    EXPECT_EQ(end.window_first, 500);
    EXPECT_EQ(end.row, 0);
    EXPECT_EQ(end.row_offset >= 0, true);
}

TEST_P(search_FindInFile, AFilterNarrowsTheRowsWalkedAndTheRowsSkipped)
{
    // Even ids only.  Up from the view 60-159: the window 0-99 shows 50 rows,
    // of which those from line 60 on were searched; line 30 was not.
    log_filter odd;
    odd.SetColumn(u"id");
    odd.SetType(FILTER_TYPE_REGEXP);
    odd.SetContent(u"[02468]$");
    const std::u16string path = write(numbered(1000, {30, 970, 990}, u"needle"));
    search_setup setup;
    setup.groups.AddCondition(odd);
    setup.filter_enabled = true;
    setup.window_first = 60;
    setup.search = plain_search(u"needle", true);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 0);
    EXPECT_EQ(end.row, 15);

    // Down from the view 880-979: the last window 900-999 shows 50 rows; those
    // up to line 979 were searched, line 990 was not (970 is in the view).
    setup.window_first = 880;
    setup.search.up = false;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 900);
    EXPECT_EQ(end.row, 45);
}

TEST_P(search_FindInFile, AMatchingLineTheViewDoesNotShowIsNoHit)
{
    std::vector<std::u16string> lines = numbered(600, {250, 420}, u"needle");
    const std::u16string path = write(lines);
    // The quick filter shows lines with "mod0" or ... only those whose id ends in 0.
    search_setup setup;
    setup.quick_text = u"mod0";
    setup.search = plain_search(u"needle", false);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 200);
    EXPECT_EQ(end.row, 10); // line 250 is the 11th row ending in 0 or 5 of 200-299
    setup.quick_text = u"mod1";
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
}

TEST_P(search_FindInFile, AColumnLimitedSearchTestsOnlyThatColumn)
{
    std::vector<std::u16string> lines = numbered(500, {150}, u"WARN");
    const std::u16string path = write(lines);
    search_setup setup;
    setup.window_first = 100;
    setup.search = plain_search(u"WARN", false, true, 1);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::found);
    EXPECT_EQ(end.window_first, 200);
    EXPECT_EQ(end.row, 1); // line 201 is a WARN line; 150's message does not count
    setup.search.column = 3;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    setup.search.column = 9; // no such column
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
}

TEST_P(search_FindInFile, ALiteralAcrossAColumnDelimiterMatchesNoColumn)
{
    const std::u16string path = write(numbered(500, {}, u""));
    search_setup setup;
    setup.search = plain_search(u"WARN [mod", false); // level and module are two columns
    find_counts counts;
    const search_end end = run(path, setup, &counts);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    if (GetParam()) {
        EXPECT_EQ(counts.candidate_lines, 100u); // held in the bytes, matched by no column
        EXPECT_EQ(counts.windows_parsed, 1u);    // the last window goes into the view
    }
}

TEST_P(search_FindInFile, TheWholeIndexAsOneWindowAndAWindowLargerThanTheFile)
{
    const std::u16string path = write(numbered(50, {10}, u"needle"));
    search_setup setup;
    setup.max_lines = 0;
    setup.search = plain_search(u"needle", false);
    search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found); // the view already holds every line
    EXPECT_EQ(end.window_first, 0);
    EXPECT_EQ(end.window_last, 49);
    setup.max_lines = 100;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_last, 49);
    setup.search.up = true;
    end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
}

TEST_P(search_FindInFile, AnEmptyExpressionMatchesNothing)
{
    const std::u16string path = write(numbered(300, {}, u""));
    search_setup setup;
    setup.search = plain_search(u"", false);
    const search_end end = run(path, setup);
    EXPECT_EQ(end.outcome, find_outcome::not_found);
    EXPECT_EQ(end.window_first, 200);
}

TEST_P(search_FindInFile, AnEmptyFileIsNotFound)
{
    m_dir.write("e.log", "");
    search_setup setup;
    setup.search = plain_search(u"x", false);
    EXPECT_EQ(run(m_dir.wide("e.log"), setup).outcome, find_outcome::not_found);
    setup.search.up = true;
    EXPECT_EQ(run(m_dir.wide("e.log"), setup).outcome, find_outcome::not_found);
}

TEST_P(search_FindInFile, AParserWithoutItemsEndsTheSearchInsteadOfRetryingForEver)
{
    const std::u16string path = write(numbered(1000, {500}, u"needle"));
    log_file file;
    ASSERT_TRUE(file.open(path, 0, false));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 0, 100));
    find_in_file_options options;
    options.max_lines = 100;
    options.literal_scan = GetParam();
    for (bool up : {false, true}) {
        const find_result result =
            bounded([&] { return find_in_file(file, log_pattern_list(), plain_search(u"needle", up), options); });
        EXPECT_EQ(result.outcome, find_outcome::not_found);
    }
}

// A file opened tail-first with only its last lines indexed, its index
// thread adding the rest before them while the search runs.
TEST_P(search_FindInFile, UpAtTheTopOfATailFirstFileStillIndexingKeepsSearching)
{
    const int total = 120000;
    const std::u16string path = write(numbered(total, {7}, u"needle"));
    const log_pattern_list parser = service_parser();
    log_file file;
    ASSERT_TRUE(file.open(path, 1000, true));
    ASSERT_EQ(file.line_count(), 1000u);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 0, 1000));
    ASSERT_TRUE(file.start_indexer());
    find_in_file_options options;
    options.max_lines = 1000;
    options.literal_scan = GetParam();
    const find_result result =
        bounded([&] { return find_in_file(file, parser, plain_search(u"needle", true), options); });
    ASSERT_EQ(result.outcome, find_outcome::found);
    index_hold index_held = file.indexer().hold();
    int64_t first, last;
    file.window(first, last);
    const log_file::window_reader window = file.read_window();
    const log_line& row = *window.lines()[static_cast<std::size_t>(result.row)];
    EXPECT_EQ(row.columns()[0].value().payload, 7); // the file's line 7
    EXPECT_EQ(static_cast<int64_t>(file.line_count()) - first, total - 7 + result.row);
    index_held.release();
    ASSERT_EQ(file.indexer().wait_stopped(30000), 0);
}

TEST_P(search_FindInFile, DownAtTheEndOfAHeadFirstFileStillIndexingKeepsSearching)
{
    const int total = 120000;
    const std::u16string path = write(numbered(total, {total - 3}, u"needle"));
    const log_pattern_list parser = service_parser();
    log_file file;
    ASSERT_TRUE(file.open(path, 1000, false));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 0, 1000));
    ASSERT_TRUE(file.start_indexer());
    find_in_file_options options;
    options.max_lines = 1000;
    options.literal_scan = GetParam();
    const find_result result =
        bounded([&] { return find_in_file(file, parser, plain_search(u"needle", false), options); });
    ASSERT_EQ(result.outcome, find_outcome::found);
    const log_file::window_reader window = file.read_window();
    EXPECT_EQ(window.lines()[static_cast<std::size_t>(result.row)]->columns()[0].value().payload, total - 3);
    ASSERT_EQ(file.indexer().wait_stopped(30000), 0);
}

TEST_P(search_FindInFile, UpAtTheTopOfAHeadFirstFileStillIndexingGivesUp)
{
    const std::u16string path = write(numbered(120000, {}, u""));
    const log_pattern_list parser = service_parser();
    log_file file;
    ASSERT_TRUE(file.open(path, 1000, false));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 500, 1000));
    ASSERT_TRUE(file.start_indexer());
    find_in_file_options options;
    options.max_lines = 1000;
    options.literal_scan = GetParam();
    const find_result result =
        bounded([&] { return find_in_file(file, parser, plain_search(u"needle", true), options); });
    EXPECT_EQ(result.outcome, find_outcome::not_found);
    int64_t first, last;
    file.window(first, last);
    EXPECT_EQ(first, 0);
    ASSERT_EQ(file.indexer().wait_stopped(30000), 0);
}

// A far match while the index thread still adds the lines before it (up,
// tail-first) or after it (down, head-first): the search lets the thread add
// about a window of lines before it holds it again, instead of taking turns
// with it every pass of 10000 lines.
TEST_P(search_FindInFile, AFarMatchWhileIndexingTakesTurnsWithTheIndexThreadPerWindowNotPerPass)
{
    const int total = 300000;
    const uint64_t window = 100000;
    for (bool up : {false, true}) {
        const int needle = up ? 3 : total - 3;
        const std::u16string path = write(numbered(total, {needle}, u"needle"));
        const log_pattern_list parser = service_parser();
        log_file file;
        ASSERT_TRUE(file.open(path, 1000, up));
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 0, 1000));
        ASSERT_TRUE(file.start_indexer());
        find_in_file_options options;
        options.max_lines = window;
        options.literal_scan = GetParam();
        find_counts counts;
        options.counts = &counts;
        const find_result result =
            bounded([&] { return find_in_file(file, parser, plain_search(u"needle", up), options); });
        ASSERT_EQ(result.outcome, find_outcome::found) << "up=" << up;
        {
            index_hold held = file.indexer().hold();
            const log_file::window_reader rows = file.read_window();
            EXPECT_EQ(rows.lines()[static_cast<std::size_t>(result.row)]->columns()[0].value().payload, needle);
        }
        // Turns of a window (10 passes) each, and a few more where the
        // search meets the thread's end or a slow machine splits a turn in
        // two; a turn per pass would be 29.  The plain path parses every
        // window it reaches, so how far the thread got between two of its
        // windows is the scheduler's business there: it is checked for the
        // right row only.
        if (GetParam()) {
            EXPECT_LE(counts.windows_reached, 2 * (total / window) + 6) << "up=" << up;
        }
        ASSERT_EQ(file.indexer().wait_stopped(30000), 0);
    }
}

// The fast path finds a far match by its bytes; the walk of the window it
// parses then passes over the rows before the match without asking for a
// cancel at each (the job's cancel look is a lock and a signal each).
TEST_P(search_FindInFile, AFarMatchFoundByItsBytesAsksForTheCancelPerScanNotPerRow)
{
    if (!GetParam())
        GTEST_SKIP() << "the plain loop tests every row";
    const int total = 30000;
    const uint64_t window = 10000;
    for (bool up : {false, true}) {
        const int needle = up ? 3 : total - 3;
        const std::u16string path = write(numbered(total, {needle}, u"needle"));
        const log_pattern_list parser = service_parser();
        log_file file;
        ASSERT_TRUE(file.open(path, 0, false));
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, up ? total - window : 0, window));
        find_in_file_options options;
        options.max_lines = window;
        int asked = 0;
        options.cancelled = [&asked] {
            ++asked;
            return false;
        };
        const find_result result =
            bounded([&] { return find_in_file(file, parser, plain_search(u"needle", up), options); });
        ASSERT_EQ(result.outcome, find_outcome::found) << "up=" << up;
        const log_file::window_reader rows = file.read_window();
        EXPECT_EQ(rows.lines()[static_cast<std::size_t>(result.row)]->columns()[0].value().payload, needle);
        // A few looks per window reached; a look per row walked would be
        // about 10000.
        EXPECT_LE(asked, 50) << "up=" << up;
    }
}

} // namespace
