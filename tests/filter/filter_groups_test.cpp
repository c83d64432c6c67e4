// Condition groups: where AddCondition puts a condition, binding to parser
// columns, AND/OR evaluation of rows, and the filter run over a window.
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter/log_filter_groups.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::u16string> Contents(const log_filter_groups& groups)
{
    std::vector<log_filter> flat;
    groups.Flatten(flat);
    std::vector<std::u16string> out;
    for (const log_filter& c : flat)
        out.push_back(c.column() + u":" + c.content());
    return out;
}

TEST(AddCondition, OrGoesFirstAndGoesLastSameConditionIsNotAdded)
{
    log_filter_groups groups;
    EXPECT_EQ(groups.AddCondition(Condition(u"status", FILTER_TYPE_EQUAL, u"404", true, false)), 0u);
    EXPECT_EQ(groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR", true, true)), 1u);
    // An OR condition goes to the front of its group.
    EXPECT_EQ(groups.AddCondition(Condition(u"status", FILTER_TYPE_EQUAL, u"500", true, false)), 0u);
    // An AND condition goes to the end of its group.
    EXPECT_EQ(groups.AddCondition(Condition(u"status", FILTER_TYPE_CONTAIN, u"40", true, true)), 2u);
    EXPECT_EQ(groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"WARN", true, false)), 3u);
    // A new column makes a new group at the end.
    EXPECT_EQ(groups.AddCondition(Condition(u"module", FILTER_TYPE_CONTAIN, u"db", true, true)), 5u);
    const std::vector<std::u16string> expected = {u"status:500", u"status:404",  u"status:40",
                                                  u"level:WARN", u"level:ERROR", u"module:db"};
    EXPECT_EQ(Contents(groups), expected);
    EXPECT_EQ(groups.ConditionCount(), 6u);
    ASSERT_EQ(groups.groups().size(), 3u);

    // Same column, content and case flag, even of another type and logic: nothing is added.
    EXPECT_EQ(groups.AddCondition(Condition(u"status", FILTER_TYPE_REGEXP, u"404", true, true)), 1u);
    EXPECT_EQ(groups.AddCondition(Condition(u"module", FILTER_TYPE_EQUAL, u"db", true, false)), 5u);
    EXPECT_EQ(groups.ConditionCount(), 6u);
    // A different case flag is a different condition.
    EXPECT_EQ(groups.AddCondition(Condition(u"module", FILTER_TYPE_EQUAL, u"db", false, true)), 6u);
    // Column names compare exactly.
    EXPECT_EQ(groups.AddCondition(Condition(u"Module", FILTER_TYPE_EQUAL, u"db", true, true)), 7u);
    EXPECT_EQ(groups.groups().size(), 4u);
}

TEST(AddCondition, FlattenReplacesTheList)
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"a", FILTER_TYPE_EQUAL, u"1"));
    std::vector<log_filter> list(5);
    groups.Flatten(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].content(), u"1");
    log_filter_groups empty;
    empty.Flatten(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(empty.ConditionCount(), 0u);
}

TEST(IncludeExclude, IncludeAndExcludeOfOneValueAddOnlyTheInclude)
{
    log_filter_groups groups;
    const log_filter include = MakeIncludeCondition(u"level", u"x");
    EXPECT_EQ(include.type(), FILTER_TYPE_EQUAL);
    EXPECT_TRUE(include.case_sensitive());
    EXPECT_FALSE(include.logic_and());
    const log_filter exclude = MakeExcludeCondition(u"level", u"x");
    EXPECT_EQ(exclude.type(), FILTER_TYPE_NOTEQUAL);
    EXPECT_TRUE(exclude.case_sensitive());
    EXPECT_TRUE(exclude.logic_and());
    EXPECT_EQ(groups.AddCondition(include), 0u);
    EXPECT_EQ(groups.AddCondition(exclude), 0u);
    EXPECT_EQ(groups.ConditionCount(), 1u);
    EXPECT_EQ(groups.groups()[0][0].type(), FILTER_TYPE_EQUAL);
}

TEST(IncludeExclude, IncludesOfAnyValueAndNoneOfTheExcludes)
{
    const log_pattern_list parser = {Column(u"level"), Column(u"msg")};
    log_filter_groups groups;
    groups.AddCondition(MakeIncludeCondition(u"level", u"WARN"));
    groups.AddCondition(MakeIncludeCondition(u"level", u"ERROR"));
    groups.AddCondition(MakeExcludeCondition(u"msg", u"noise"));
    groups.AddCondition(MakeExcludeCondition(u"msg", u"spam"));
    prepared_groups prepared(groups, parser);
    const struct {
        std::u16string level, msg;
        bool passes;
    } table[] = {
        {u"WARN", u"disk", true},   {u"ERROR", u"disk", true},  {u"INFO", u"disk", false}, {u"warn", u"disk", false},
        {u"WARN", u"noise", false}, {u"ERROR", u"spam", false}, {u"WARN", u"spam!", true},
    };
    for (const auto& r : table) {
        const auto line = MakeLine({r.level, r.msg});
        EXPECT_EQ(prepared.RowPasses(*line), r.passes) << std::string(r.level.begin(), r.level.end());
    }
}

TEST(BindColumns, FirstColumnOfTheExactNameElseTheColumnCount)
{
    const log_pattern_list parser = {Column(u"time"), Column(u"level"), Column(u"level"), Column(u"msg")};
    log_filter_groups groups;
    groups.AddCondition(Condition(u"msg", FILTER_TYPE_CONTAIN, u"x"));
    groups.AddCondition(Condition(u"level", FILTER_TYPE_CONTAIN, u"x"));
    groups.AddCondition(Condition(u"Level", FILTER_TYPE_CONTAIN, u"x"));
    const FilterColumnBinding binding = groups.BindColumns(ParserColumns(parser));
    EXPECT_EQ(binding, (FilterColumnBinding{3, 1, 4}));
}

TEST(BindColumns, ParserColumnsAreTheLeavesInOrder)
{
    log_pattern outer(u"outer");
    outer.sub_items = {Column(u"a"), Column(u"b")};
    const log_pattern_list parser = {Column(u"first"), outer, Column(u"last")};
    const parser_columns columns = ParserColumns(parser);
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[1]->name, u"a");
    EXPECT_EQ(columns[3]->name, u"last");
    log_filter_groups groups;
    groups.AddCondition(Condition(u"outer", FILTER_TYPE_CONTAIN, u"x"));
    groups.AddCondition(Condition(u"b", FILTER_TYPE_CONTAIN, u"x"));
    EXPECT_EQ(groups.BindColumns(columns), (FilterColumnBinding{4, 2}));
}

TEST(RowPasses, GroupsAndOrAndMissingCells)
{
    const log_pattern_list parser = {Column(u"level"), Column(u"module"), Column(u"status", NumericFormat())};
    const parser_columns columns = ParserColumns(parser);
    struct row {
        std::vector<std::u16string> cells;
        bool passes;
    };
    struct scenario {
        const char* name;
        std::vector<log_filter> conditions;
        std::vector<row> rows;
    };
    const std::vector<scenario> scenarios = {
        {"two AND groups on two columns",
         {Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR"), Condition(u"module", FILTER_TYPE_CONTAIN, u"db")},
         {{{u"ERROR", u"db-pool", u"1"}, true},
          {{u"ERROR", u"web", u"1"}, false},
          {{u"WARN", u"db", u"1"}, false},
          {{u"ERROR"}, true}, // no module cell: that group passes
          {{}, true}}},
        {"two OR conditions, then an AND one",
         {Condition(u"status", FILTER_TYPE_EQUAL, u"404", true, false),
          Condition(u"status", FILTER_TYPE_EQUAL, u"500", true, false),
          Condition(u"status", FILTER_TYPE_CONTAIN, u"40", true, true)},
         {{{u"a", u"b", u"404"}, true},
          {{u"a", u"b", u"500"}, false},
          {{u"a", u"b", u"403"}, false},
          {{u"a", u"b"}, true}}},
        {"OR conditions only",
         {Condition(u"status", FILTER_TYPE_EQUAL, u"404", true, false),
          Condition(u"status", FILTER_TYPE_EQUAL, u"500", true, false)},
         {{{u"a", u"b", u"404"}, true}, {{u"a", u"b", u"500"}, true}, {{u"a", u"b", u"200"}, false}}},
        {"a group on a column the parser lacks",
         {Condition(u"host", FILTER_TYPE_EQUAL, u"never"), Condition(u"level", FILTER_TYPE_EQUAL, u"INFO")},
         {{{u"INFO", u"x", u"1"}, true}, {{u"WARN", u"x", u"1"}, false}}},
        {"numeric greater than with a text fallback",
         {Condition(u"status", FILTER_TYPE_GREATER, u"10")},
         {{{u"a", u"b", u"9"}, false}, {{u"a", u"b", u"11"}, true}, {{u"a", u"b", u"abc"}, true}}},
    };
    for (const scenario& s : scenarios) {
        log_filter_groups groups;
        for (const log_filter& c : s.conditions)
            groups.AddCondition(c);
        const FilterColumnBinding binding = groups.BindColumns(columns);
        groups.PrepareReferenceValues(binding, columns);
        prepared_groups prepared(groups, parser);
        for (const row& r : s.rows) {
            const auto line = MakeLine(r.cells);
            EXPECT_EQ(groups.RowPasses(*line, binding, columns), r.passes) << s.name << ", " << r.cells.size();
            EXPECT_EQ(prepared.RowPasses(*line), r.passes) << s.name << " (prepared), " << r.cells.size();
        }
    }
}

TEST(PrepareReferenceValues, OnlyTypedColumnsGetValues)
{
    const log_pattern_list parser = {Column(u"text"), Column(u"number", NumericFormat())};
    const parser_columns columns = ParserColumns(parser);
    log_filter_groups groups;
    groups.AddCondition(Condition(u"text", FILTER_TYPE_EQUAL, u"5"));
    groups.AddCondition(Condition(u"number", FILTER_TYPE_EQUAL, u"5"));
    groups.AddCondition(Condition(u"number", FILTER_TYPE_EQUAL, u"five", true, true));
    groups.AddCondition(Condition(u"missing", FILTER_TYPE_EQUAL, u"5"));
    groups.PrepareReferenceValues(groups.BindColumns(columns), columns);
    EXPECT_FALSE(groups.groups()[0][0].reference_value().valid);
    EXPECT_TRUE(groups.groups()[1][0].reference_value().valid);
    EXPECT_EQ(groups.groups()[1][0].reference_value().payload, 5);
    EXPECT_FALSE(groups.groups()[1][1].reference_value().valid);
    EXPECT_FALSE(groups.groups()[2][0].reference_value().valid);
}

TEST(AnyCellMatches, CellsAsTextInOrder)
{
    log_filter quick;
    SetQuickFilter(quick, u"err", false);
    EXPECT_TRUE(log_filter_groups::AnyCellMatches(*MakeLine({u"a", u"ERROR"}), quick));
    EXPECT_FALSE(log_filter_groups::AnyCellMatches(*MakeLine({u"a", u"b"}), quick));
    EXPECT_FALSE(log_filter_groups::AnyCellMatches(*MakeLine({}), quick));
    // Typed comparison never happens: a greater-than compares text.
    const log_filter greater = Condition(u"", FILTER_TYPE_GREATER, u"10");
    EXPECT_TRUE(log_filter_groups::AnyCellMatches(*MakeLine({u"9"}), greater));
    prepared_condition prepared(greater, tagDATA_FORMAT{});
    EXPECT_TRUE(prepared.AnyCellMatches(*MakeLine({u"9"})));
}

TEST(QuickFilter, SetQuickFilterSetsTypeCaseAndPattern)
{
    log_filter quick;
    EXPECT_TRUE(SetQuickFilter(quick, u"disk*full", true));
    EXPECT_EQ(quick.type(), FILTER_TYPE_WILDCARD);
    EXPECT_EQ(quick.pattern(), u"disk(.*)full");
    EXPECT_FALSE(quick.case_sensitive());
    EXPECT_TRUE(quick.column().empty());
    EXPECT_TRUE(SetQuickFilter(quick, u"disk", false));
    EXPECT_EQ(quick.type(), FILTER_TYPE_CONTAIN);
    EXPECT_TRUE(quick.pattern().empty());
    EXPECT_TRUE(SetQuickFilter(quick, u"a?", true));
    EXPECT_FALSE(SetQuickFilter(quick, u"", true));
    EXPECT_TRUE(quick.content().empty());
    EXPECT_TRUE(quick.pattern().empty());
    EXPECT_TRUE(IsQuickFilterWildcard(u"a*"));
    EXPECT_TRUE(IsQuickFilterWildcard(u"?"));
    EXPECT_FALSE(IsQuickFilterWildcard(u"a.b"));
}

class FilterRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& cells : std::vector<std::vector<std::u16string>>{{u"INFO", u"started", u"1"},
                                                                          {u"ERROR", u"disk full", u"12"},
                                                                          {u"WARN", u"Disk slow", u"30"},
                                                                          {u"ERROR", u"net down", u"5"},
                                                                          {u"ERROR"},
                                                                          {}}) {
            m_storage.push_back(MakeLine(cells));
            m_rows.push_back(m_storage.back().get());
        }
        m_rows.insert(m_rows.begin() + 2, nullptr); // passed over
    }
    std::vector<std::unique_ptr<log_line>> m_storage;
    std::vector<log_line*> m_rows;
    const log_pattern_list m_parser = {Column(u"level"), Column(u"msg"), Column(u"n", NumericFormat())};
};

TEST_F(FilterRun, FilteredAndQuickListsInOrder)
{
    log_filter_groups groups;
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR", true, false));
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"WARN", true, false));
    log_filter quick;
    SetQuickFilter(quick, u"disk", false);
    const filter_run_result result = RunFilter(m_rows, m_parser, groups, quick);
    ASSERT_TRUE(result.ran);
    // The row without cells has no level cell: its group passes.
    EXPECT_EQ(result.filtered, (std::vector<log_line*>{m_storage[1].get(), m_storage[2].get(), m_storage[3].get(),
                                                       m_storage[4].get(), m_storage[5].get()}));
    EXPECT_EQ(result.quick, (std::vector<log_line*>{m_storage[1].get(), m_storage[2].get()}));
    EXPECT_EQ(result.shown, 2u);

    // Without quick text the quick list equals the filtered list and the count is the filtered one.
    const filter_run_result plain = RunFilter(m_rows, m_parser, groups, log_filter());
    EXPECT_EQ(plain.quick, plain.filtered);
    EXPECT_EQ(plain.shown, 5u);
}

TEST_F(FilterRun, DoesNothingWithoutGroupsOrParserItems)
{
    log_filter_groups groups;
    EXPECT_FALSE(RunFilter(m_rows, m_parser, groups, log_filter()).ran);
    groups.AddCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR"));
    const filter_run_result none = RunFilter(m_rows, log_pattern_list(), groups, log_filter());
    EXPECT_FALSE(none.ran);
    EXPECT_TRUE(none.filtered.empty());
    const filter_run_result empty_window = RunFilter({}, m_parser, groups, log_filter());
    EXPECT_TRUE(empty_window.ran);
    EXPECT_EQ(empty_window.shown, 0u);
}

TEST_F(FilterRun, QuickFilterAloneOverTheGivenRows)
{
    log_filter quick;
    SetQuickFilter(quick, u"D?sk", true);
    EXPECT_EQ(RunQuickFilter(m_rows, quick), (std::vector<log_line*>{m_storage[1].get(), m_storage[2].get()}));
    SetQuickFilter(quick, u"", false);
    EXPECT_TRUE(RunQuickFilter(m_rows, quick).empty());
    SetQuickFilter(quick, u"1", false);
    EXPECT_EQ(RunQuickFilter(m_rows, quick), (std::vector<log_line*>{m_storage[0].get(), m_storage[1].get()}));
}

} // namespace
