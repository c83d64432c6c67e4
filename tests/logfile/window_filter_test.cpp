// The filters of a window on the log file itself: the edge rules of
// apply_filter and apply_quick_filter, typed conditions, and the verdicts a
// later window parse gives its new lines, checked against a plain scan.
#include "filter/log_filter.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "parser/log_pattern.h"
#include "support/wildcard_reference.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "<n> key=<n % 7>"
std::string KeyedLines(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += std::to_string(i) + " key=" + std::to_string(i % 7) + "\n";
    return out;
}

log_pattern Item(std::u16string end, std::u16string name, int32_t data_type)
{
    log_pattern item(std::move(name));
    item.end = std::move(end);
    item.data_format.data_type = data_type;
    return item;
}

log_pattern_list KeyedParser()
{
    return log_pattern_list{Item(u" ", u"number", DATA_TYPE_NUMERIC), Item(u"=", u"key", DATA_TYPE_TEXT),
                            Item(u"", u"value", DATA_TYPE_NUMERIC)};
}

log_filter Condition(std::u16string column, int32_t type, std::u16string content, bool logic_and = false)
{
    log_filter condition;
    condition.SetColumn(std::move(column));
    condition.SetType(type);
    condition.SetContent(content);
    condition.SetLogicAnd(logic_and);
    return condition;
}

std::vector<int64_t> Numbers(const std::vector<log_line*>& lines)
{
    std::vector<int64_t> out;
    for (const log_line* line : lines)
        out.push_back(line->columns.empty() ? -1 : line->columns[0].value.payload);
    return out;
}

template <typename Test> std::vector<int64_t> Reference(int first, int last, Test passes)
{
    std::vector<int64_t> out;
    for (int i = first; i <= last; ++i)
        if (passes(i))
            out.push_back(i);
    return out;
}

class WindowFilter : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = m_folder.write("keyed.log", KeyedLines(500));
        ASSERT_TRUE(m_file.open(widen(path), 0, false));
        ASSERT_TRUE(m_file.parse_range(m_parser, 0, 200));
    }
    temp_folder m_folder;
    log_file m_file;
    log_pattern_list m_parser = KeyedParser();
};

TEST_F(WindowFilter, NoGroupsOrNoParserItems_ChangeNothingAndReturnMinusOne)
{
    EXPECT_EQ(m_file.apply_filter(m_parser, log_filter_groups()), -1);
    log_filter_groups groups;
    groups.AddCondition(Condition(u"value", FILTER_TYPE_EQUAL, u"3"));
    EXPECT_EQ(m_file.apply_filter(log_pattern_list(), groups), -1);
    const log_file::window_reader window = m_file.read_window();
    EXPECT_FALSE(window.filter_applied());
    EXPECT_TRUE(window.filtered_lines().empty());
}

TEST_F(WindowFilter, TypedConditions_SelectTheRowsAPlainScanSelects)
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"value", FILTER_TYPE_GREATER_EQUAL, u"5", true));
    groups.AddCondition(Condition(u"number", FILTER_TYPE_LESS, u"150", true));
    const int64_t shown = m_file.apply_filter(m_parser, groups);
    const auto wanted = Reference(0, 199, [](int i) { return i % 7 >= 5 && i < 150; });
    EXPECT_EQ(shown, static_cast<int64_t>(wanted.size()));
    const log_file::window_reader window = m_file.read_window();
    EXPECT_TRUE(window.filter_applied());
    EXPECT_EQ(Numbers(window.filtered_lines()), wanted);
}

TEST_F(WindowFilter, QuickFilter_OverTheFilteredRowsWhenAFilterIsInForce)
{
    // The quick filter tests cells, not the line: "9 key" spans two cells.
    EXPECT_EQ(m_file.apply_quick_filter(false, u"9 key"), 0u);
    auto has9 = [](int i) { return std::to_string(i).find('9') != std::string::npos; };
    const auto nines = Reference(0, 199, has9);
    EXPECT_EQ(m_file.apply_quick_filter(false, u"9"), nines.size());
    EXPECT_EQ(Numbers(m_file.read_window().quick_lines()), nines);
    log_filter_groups groups;
    groups.AddCondition(Condition(u"value", FILTER_TYPE_EQUAL, u"2"));
    const auto both = Reference(0, 199, [&](int i) { return i % 7 == 2 && has9(i); });
    EXPECT_EQ(m_file.apply_filter(m_parser, groups), static_cast<int64_t>(both.size()));
    EXPECT_EQ(Numbers(m_file.read_window().quick_lines()), both);

    // Wildcard "?9" over the filtered rows only, cell by cell.
    auto wildcard = [](int i) { return WildcardFound(std::to_string(i), "?9") || WildcardFound("key", "?9"); };
    const auto wild = Reference(0, 199, [&](int i) { return i % 7 == 2 && wildcard(i); });
    EXPECT_EQ(m_file.apply_quick_filter(true, u"?9"), wild.size());
    EXPECT_EQ(Numbers(m_file.read_window().quick_lines()), wild);

    // The next window carries both filters to its new lines.
    ASSERT_TRUE(m_file.parse_range(m_parser, 150, 200));
    const auto moved = Reference(150, 349, [&](int i) { return i % 7 == 2 && wildcard(i); });
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(Numbers(m_file.read_window().quick_lines()), moved);
    EXPECT_EQ(Numbers(m_file.read_window().filtered_lines()), Reference(150, 349, [](int i) { return i % 7 == 2; }));

    // Out of force: both lists go; an empty quick text clears the condition.
    m_file.reset_filter();
    EXPECT_FALSE(m_file.read_window().filter_applied());
    EXPECT_TRUE(m_file.read_window().filtered_lines().empty());
    EXPECT_EQ(m_file.apply_quick_filter(false, u""), 0u);
    EXPECT_TRUE(m_file.quick_filter().content().empty());
    ASSERT_TRUE(m_file.parse_range(m_parser, 0, 100));
    EXPECT_TRUE(m_file.read_window().quick_lines().empty());
    EXPECT_TRUE(m_file.read_window().filtered_lines().empty());
}

TEST(WindowFilterEmpty, AnEmptyWindow_TakesTheFilterForLaterWindows)
{
    temp_folder folder;
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("empty.log", "")), 0, false));
    log_filter_groups groups;
    groups.AddCondition(Condition(u"value", FILTER_TYPE_EQUAL, u"1"));
    EXPECT_EQ(file.apply_filter(KeyedParser(), groups), 0);
    EXPECT_TRUE(file.read_window().filter_applied());
}

} // namespace
