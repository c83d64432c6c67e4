// The filters of a window: apply_filter, apply_quick_filter, the lists that
// parse_range rebuilds with them, and the walk with filter groups.
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter/filter_test_support.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

log_pattern Item(std::u16string start, std::u16string end, std::u16string name, int32_t type = DATA_TYPE_TEXT)
{
    log_pattern item(std::move(name));
    item.start = std::move(start);
    item.end = std::move(end);
    item.data_format.data_type = type;
    return item;
}

log_pattern_list Parser(std::initializer_list<log_pattern> items)
{
    return log_pattern_list(items);
}

// "<n> <level> took <n % 97> ms", the level cycling through four words.
std::string service_lines(int count)
{
    static const char* const levels[] = {"INFO", "WARN", "ERROR", "debug"};
    std::string out;
    for (int i = 0; i < count; ++i)
        out += std::to_string(i) + " " + levels[i % 4] + " took " + std::to_string(i % 97) + " ms\n";
    return out;
}

log_pattern_list service_parser()
{
    return Parser({Item(u"", u" ", u"number", DATA_TYPE_NUMERIC), Item(u"", u" ", u"level"),
                   Item(u"took ", u" ms", u"took"), Item(u"", u"", u"rest")});
}

log_pattern_list typed_took_parser()
{
    return Parser({Item(u"", u" ", u"number", DATA_TYPE_NUMERIC), Item(u"", u" ", u"level"),
                   Item(u"took ", u" ms", u"took", DATA_TYPE_NUMERIC)});
}

// Three groups: level is WARN or ERROR (OR), took > 40 (typed), number has no 7.
log_filter_groups service_groups()
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"WARN", true, false));
    groups.AddCondition(Condition(u"level", FILTER_TYPE_REGEXP, u"^ERR", true, false));
    groups.AddCondition(Condition(u"took", FILTER_TYPE_GREATER, u"40"));
    groups.AddCondition(Condition(u"number", FILTER_TYPE_EXCLUDE, u"7"));
    return groups;
}

int64_t number_of(const log_line* line)
{
    return line->columns().empty() ? -1 : line->columns()[0].value().payload;
}

std::vector<int64_t> numbers(const std::vector<log_line*>& lines)
{
    std::vector<int64_t> out;
    for (const log_line* line : lines)
        out.push_back(number_of(line));
    return out;
}

log_filter quick_condition(const std::u16string& text)
{
    log_filter quick;
    SetQuickFilter(quick, text, IsQuickFilterWildcard(text));
    return quick;
}

// The reference: every line of the window through the unprepared groups and
// the unprepared quick condition, each pattern compiled afresh per cell.
struct reference_lists {
    std::vector<int64_t> filtered;
    std::vector<int64_t> quick;
};

reference_lists reference(const std::vector<log_line*>& lines, const log_pattern_list& parser,
                          const log_filter_groups* groups, const std::u16string& quick_text)
{
    reference_lists out;
    const parser_columns columns = ParserColumns(parser);
    log_filter_groups bound = groups ? *groups : log_filter_groups();
    const FilterColumnBinding binding = bound.BindColumns(columns);
    bound.PrepareReferenceValues(binding, columns);
    const log_filter quick = quick_condition(quick_text);
    for (const log_line* line : lines) {
        const bool passes = groups && bound.RowPasses(*line, binding, columns);
        if (passes)
            out.filtered.push_back(number_of(line));
        if (!quick_text.empty() && (!groups || passes) && log_filter_groups::AnyCellMatches(*line, quick))
            out.quick.push_back(number_of(line));
    }
    return out;
}

// Every pointer of a list is a line of the window, in the window's order.
void expect_points_into_window(const std::vector<log_line*>& list, const std::vector<log_line*>& lines)
{
    std::size_t at = 0;
    for (const log_line* line : list) {
        while (at < lines.size() && lines[at] != line)
            ++at;
        ASSERT_LT(at, lines.size()) << "a list points outside the window or out of order";
        ++at;
    }
}

class logfile_WindowFilter : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }

    void open(log_file& file, const std::string& text)
    {
        ASSERT_TRUE(file.open(widen(folder.write("w.log", text)), 0, false));
    }

    temp_folder folder;
};

TEST_F(logfile_WindowFilter, ApplyFilterRefusesWithoutParserItemsOrGroupsAndChangesNothing)
{
    log_file file;
    open(file, service_lines(50));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 0, 50));
    EXPECT_EQ(file.apply_filter(log_pattern_list(), service_groups()), -1);
    EXPECT_EQ(file.apply_filter(service_parser(), log_filter_groups()), -1);
    const log_file::window_reader window = file.read_window();
    EXPECT_FALSE(window.filter_applied());
    EXPECT_TRUE(window.filter_groups().empty());
    EXPECT_TRUE(window.filtered_lines().empty());
}

TEST_F(logfile_WindowFilter, ApplyFilterOnAnEmptyWindowKeepsTheGroupsForTheNextParse)
{
    log_file file;
    open(file, service_lines(300));
    EXPECT_EQ(file.apply_filter(service_parser(), service_groups()), 0);
    {
        const log_file::window_reader window = file.read_window();
        EXPECT_TRUE(window.filter_applied());
        EXPECT_EQ(window.filter_groups(), service_groups());
        EXPECT_TRUE(window.filtered_lines().empty());
    }
    // The groups now in force filter the first window parsed.
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 0, 300));
    const log_file::window_reader window = file.read_window();
    const reference_lists expected = reference(window.lines(), service_parser(), &window.filter_groups(), u"");
    EXPECT_FALSE(expected.filtered.empty());
    EXPECT_EQ(numbers(window.filtered_lines()), expected.filtered);
}

TEST_F(logfile_WindowFilter, ApplyFilterCountsTheQuickRowsWhileTheQuickFilterHasText)
{
    log_file file;
    open(file, service_lines(400));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), typed_took_parser(), 0, 400));
    const int64_t filtered = file.apply_filter(typed_took_parser(), service_groups());
    {
        const log_file::window_reader window = file.read_window();
        const reference_lists expected = reference(window.lines(), typed_took_parser(), &window.filter_groups(), u"");
        EXPECT_EQ(numbers(window.filtered_lines()), expected.filtered);
        EXPECT_EQ(filtered, static_cast<int64_t>(expected.filtered.size()));
        EXPECT_EQ(window.quick_lines(), window.filtered_lines()) << "without quick text every filtered row is quick";
    }
    ASSERT_GT(file.apply_quick_filter(false, u"err"), 0u); // the ERROR rows that pass
    const int64_t shown = file.apply_filter(typed_took_parser(), service_groups());
    const log_file::window_reader window = file.read_window();
    const reference_lists expected = reference(window.lines(), typed_took_parser(), &window.filter_groups(), u"err");
    EXPECT_EQ(numbers(window.quick_lines()), expected.quick);
    EXPECT_EQ(shown, static_cast<int64_t>(expected.quick.size()));
}

TEST_F(logfile_WindowFilter, QuickFilterReadsStarAndQuestionMarkAsWildcardsAndAnythingElseAsText)
{
    log_file file;
    open(file, service_lines(200) + "500 INFO took a.c ms\n500 INFO took abc ms\n500 INFO took a*c ms\n");
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 0, 0));
    struct row {
        std::u16string text;
        std::size_t expected;
    };
    const row rows[] = {
        {u"a.c", 1},   // a dot is plain text
        {u"a*c", 3},   // any run: a.c, abc, a*c
        {u"a?c", 3},   // one character
        {u"A\\*C", 1}, // an escaped star is a star; case is ignored
        {u"9", 0},     {u"nowhere", 0},
    };
    for (const row& r : rows) {
        const std::size_t count = file.apply_quick_filter(IsQuickFilterWildcard(r.text), r.text);
        const log_file::window_reader window = file.read_window();
        const reference_lists expected = reference(window.lines(), service_parser(), nullptr, r.text);
        EXPECT_EQ(numbers(window.quick_lines()), expected.quick) << std::string(r.text.begin(), r.text.end());
        EXPECT_EQ(count, expected.quick.size());
        if (r.text != u"9") {
            EXPECT_EQ(count, r.expected) << std::string(r.text.begin(), r.text.end());
        } else {
            EXPECT_GT(count, 0u);
        }
    }
    // An empty text clears the quick filter and its list.
    EXPECT_EQ(file.apply_quick_filter(false, u""), 0u);
    const log_file::window_reader window = file.read_window();
    EXPECT_TRUE(window.quick_lines().empty());
    EXPECT_TRUE(window.quick_filter().content().empty());
}

TEST_F(logfile_WindowFilter, QuickListIsTheSubsetOfTheFilteredListWhileAFilterIsApplied)
{
    log_file file;
    open(file, service_lines(1000));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), typed_took_parser(), 0, 1000));
    ASSERT_GT(file.apply_filter(typed_took_parser(), service_groups()), 0);
    const std::size_t count = file.apply_quick_filter(true, u"?3");
    const log_file::window_reader window = file.read_window();
    const std::set<const log_line*> filtered(window.filtered_lines().begin(), window.filtered_lines().end());
    ASSERT_GT(count, 0u);
    for (const log_line* line : window.quick_lines())
        EXPECT_TRUE(filtered.count(line));
    const reference_lists expected = reference(window.lines(), typed_took_parser(), &window.filter_groups(), u"?3");
    EXPECT_EQ(numbers(window.quick_lines()), expected.quick);
}

TEST_F(logfile_WindowFilter, WindowMovesKeepVerdictsOfReusedLinesAndJudgeNewLinesAfresh)
{
    log_file file;
    open(file, service_lines(3000));
    const log_pattern_list parser = typed_took_parser();
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 1000, 500));
    ASSERT_GT(file.apply_filter(parser, service_groups()), 0);
    ASSERT_GT(file.apply_quick_filter(true, u"1?"), 0u);
    struct move {
        int64_t first;
        uint64_t count;
    };
    // Overlapping upwards, downwards, inside, around, and far away.
    const move moves[] = {{900, 500}, {1200, 500}, {1250, 100}, {800, 1000}, {2600, 400}, {0, 7}, {3, 7}};
    for (const move& m : moves) {
        ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, m.first, m.count));
        const log_file::window_reader window = file.read_window();
        ASSERT_EQ(window.lines().size(), m.count);
        EXPECT_EQ(number_of(window.lines().front()), m.first);
        // A full filter run over the new window gives the same lists.
        const filter_run_result full =
            RunFilter(std::span<log_line* const>(window.lines().data(), window.lines().size()), parser,
                      window.filter_groups(), window.quick_filter());
        EXPECT_EQ(window.filtered_lines(), full.filtered) << "window at " << m.first;
        EXPECT_EQ(window.quick_lines(), full.quick) << "window at " << m.first;
        expect_points_into_window(window.filtered_lines(), window.lines());
        expect_points_into_window(window.quick_lines(), window.lines());
    }
}

TEST_F(logfile_WindowFilter, NewLinesOfAMoveAreSplitOnceAndReusedLinesKeepTheirVerdict)
{
    log_file file;
    open(file, service_lines(600));
    const log_pattern_list parser = typed_took_parser();
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 100, 200));
    ASSERT_GT(file.apply_filter(parser, service_groups()), 0);
    std::vector<log_line*> kept;
    {
        const log_file::window_reader window = file.read_window();
        for (log_line* line : window.filtered_lines())
            if (number_of(line) >= 150)
                kept.push_back(line);
    }
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 150, 200));
    EXPECT_EQ(file.last_parse_counts().split, 50u);
    EXPECT_EQ(file.last_parse_counts().reused, 150u);
    const log_file::window_reader window = file.read_window();
    // The reused filtered lines are the same objects, still filtered, in order.
    const std::vector<log_line*> head(window.filtered_lines().begin(),
                                      window.filtered_lines().begin() + static_cast<std::ptrdiff_t>(kept.size()));
    EXPECT_EQ(head, kept);
}

TEST_F(logfile_WindowFilter, QuickFilterAloneRebuildsTheQuickListAndEmptiesTheFilteredList)
{
    log_file file;
    open(file, service_lines(500));
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 0, 100));
    ASSERT_GT(file.apply_quick_filter(false, u"WARN"), 0u);
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), service_parser(), 50, 100));
    const log_file::window_reader window = file.read_window();
    EXPECT_TRUE(window.filtered_lines().empty());
    const reference_lists expected = reference(window.lines(), service_parser(), nullptr, u"WARN");
    EXPECT_EQ(numbers(window.quick_lines()), expected.quick);
    EXPECT_EQ(expected.quick.size(), 25u);
}

struct walk_numbers {
    std::vector<int64_t> seen;
};

bool note_number(const log_line& line, uint64_t, uint64_t, void* context)
{
    static_cast<walk_numbers*>(context)->seen.push_back(line.columns().empty() ? -1
                                                                               : line.columns()[0].value().payload);
    return true;
}

TEST_F(logfile_WindowFilter, WalkWithFilterGroupsHandsOnlyPassingLinesWithTypedComparisons)
{
    log_file file;
    open(file, service_lines(2000));
    const log_pattern_list parser = typed_took_parser();
    ASSERT_TRUE(file.parse_range(file.indexer().hold(), parser, 0, 0));
    const log_filter_groups groups = service_groups(); // reference values never prepared by the caller
    walk_numbers walked;
    ASSERT_TRUE(file.for_each_line(parser, note_number, &walked, &groups));
    const reference_lists expected = reference(file.read_window().lines(), parser, &groups, u"");
    EXPECT_EQ(walked.seen, expected.filtered);
    // "took > 40" compares numbers: 5 is not above 40 although "5" > "40" as text.
    EXPECT_TRUE(std::find(walked.seen.begin(), walked.seen.end(), 5) == walked.seen.end());

    walk_numbers all;
    const log_filter_groups none;
    ASSERT_TRUE(file.for_each_line(parser, note_number, &all, &none));
    EXPECT_EQ(all.seen.size(), 2000u);
    walk_numbers unfiltered;
    ASSERT_TRUE(file.for_each_line(parser, note_number, &unfiltered, static_cast<const log_filter_groups*>(nullptr)));
    EXPECT_EQ(unfiltered.seen.size(), 2000u);
}

} // namespace
