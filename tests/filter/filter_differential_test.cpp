// The prepared filter forms (patterns compiled once per run, contents
// lower-cased once) against the per-call form and against a reference that
// compiles every pattern afresh for every cell, over random conditions,
// groups and cells.
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::vector<std::u16string> kPieces = {
    u"a",  u"A",      u"b",      u"B",   u"e",   u"E",   u"r",   u"R",  u"0",  u"1",   u"9",   u"-",   u".",    u",",
    u" ",  u"*",      u"?",      u"\\",  u"(",   u")",   u"[",   u"]",  u"|",  u"+",   u"^",   u"$",   u"\r",   u"\n",
    u"\t", u"\u00E9", u"\u00C9", u"err", u"ERR", u"\\d", u"\\D", u".*", u"a+", u"{2}", u"\\*", u"\\?", u"\r\n", u"Err"};

const std::vector<std::u16string> kValues = {
    u"",
    u"10",
    u"-5",
    u"9",
    u"11",
    u"-10",
    u"0",
    u"1,000",
    u"12.7",
    u"-0.25",
    u"99999999999999999999",
    u"-99999999999999999999",
    u"9223372036854775807",
    u"-9223372036854775808",
    u"10.0.0.2",
    u"9.255.255.255",
    u"255.255.255.255",
    u"256.1.1.1",
    u"2024-01-02 10:00:00",
    u"2023-12-31 23:59:59",
    u"ERROR",
    u"error",
    u"Error 42",
    u"disk full\r\nnext",
    u"line\rend",
    u"a\nb",
    u"WARN",
};

std::u16string RandomText(test_random& random, std::size_t max_pieces)
{
    if (random.chance(35))
        return random.pick(kValues);
    std::u16string text;
    const std::size_t n = random.below(max_pieces + 1);
    for (std::size_t i = 0; i < n; ++i)
        text += random.pick(kPieces);
    return text;
}

tagDATA_FORMAT RandomFormat(test_random& random)
{
    switch (random.below(6)) {
    case 0:
    case 1: return tagDATA_FORMAT{};
    case 2: return NumericFormat(0);
    case 3: return NumericFormat(static_cast<uint8_t>(1 + random.below(3)));
    case 4: return Ipv4Format();
    default: return DateTimeFormat();
    }
}

log_filter RandomCondition(test_random& random, const std::u16string& column)
{
    const int32_t type = random.chance(3) ? 10 : static_cast<int32_t>(random.below(FILTER_TYPE_COUNT));
    return Condition(column, type, RandomText(random, 4), random.chance(50), random.chance(50));
}

TEST(FilterDifferential, PreparedConditionEqualsCompilingAnew)
{
    test_random random(20240805);
    int aborted_cases = 0, compared = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const tagDATA_FORMAT format = RandomFormat(random);
        log_filter condition = RandomCondition(random, u"c");
        condition.PrepareReferenceValue(format);
        prepared_condition prepared(condition, format);
        for (int k = 0; k < 30; ++k) {
            const std::u16string cell = RandomText(random, 8);
            bool aborted = false;
            const bool expected = RefMatches(condition, format, cell, &aborted);
            if (aborted) {
                ++aborted_cases;
                continue;
            }
            ++compared;
            ASSERT_EQ(prepared.Matches(cell), expected)
                << "trial " << trial << " type " << condition.type() << " cs " << condition.case_sensitive();
            ASSERT_EQ(condition.Matches(format, cell.data(), static_cast<std::ptrdiff_t>(cell.size())), expected)
                << "trial " << trial << " type " << condition.type();
        }
        EXPECT_EQ(prepared.aborted_searches(), 0);
    }
    EXPECT_EQ(aborted_cases, 0);
    EXPECT_GT(compared, 80000);
}

TEST(FilterDifferential, FilterRunEqualsTheReferenceOverRandomWindows)
{
    test_random random(7);
    const std::vector<std::u16string> names = {u"time", u"level", u"n", u"msg"};
    for (int trial = 0; trial < 300; ++trial) {
        log_pattern_list parser;
        std::vector<log_pattern> columns;
        for (const std::u16string& name : names) {
            columns.push_back(Column(name, RandomFormat(random)));
            parser.push_back(columns.back());
        }
        log_filter_groups groups;
        const std::size_t n_conditions = 1 + random.below(5);
        for (std::size_t i = 0; i < n_conditions; ++i) {
            // Now and then a column the parser lacks, or one that differs only by case.
            std::u16string column = random.pick(names);
            if (random.chance(10))
                column = random.chance(50) ? u"host" : u"Level";
            groups.AddCondition(RandomCondition(random, column));
        }
        log_filter quick;
        if (random.chance(60)) {
            const std::u16string text = RandomText(random, 2);
            SetQuickFilter(quick, text, IsQuickFilterWildcard(text));
        }

        std::vector<std::unique_ptr<log_line>> storage;
        std::vector<log_line*> rows;
        for (int r = 0; r < 60; ++r) {
            std::vector<std::u16string> cells;
            const std::size_t count = random.chance(15) ? random.below(names.size()) : names.size();
            for (std::size_t c = 0; c < count; ++c)
                cells.push_back(RandomText(random, 6));
            storage.push_back(MakeLine(cells));
            rows.push_back(storage.back().get());
        }

        bool aborted = false;
        std::vector<log_line*> expected_filtered, expected_quick;
        for (log_line* row : rows) {
            if (!RefRowPasses(groups.groups(), columns, *row, &aborted))
                continue;
            expected_filtered.push_back(row);
            if (quick.content().empty() || RefAnyCellMatches(*row, quick, &aborted))
                expected_quick.push_back(row);
        }
        ASSERT_FALSE(aborted) << trial;
        const filter_run_result result = RunFilter(rows, parser, groups, quick);
        ASSERT_TRUE(result.ran);
        ASSERT_EQ(result.filtered, expected_filtered) << "trial " << trial;
        ASSERT_EQ(result.quick, expected_quick) << "trial " << trial;
        EXPECT_EQ(result.shown, quick.content().empty() ? expected_filtered.size() : expected_quick.size());

        // Rows whose cells carry the typed values a split with the parser
        // gives them: the run that takes those values answers the same.
        for (log_line* row : rows) {
            const std::vector<log_column> cells(row->columns().begin(), row->columns().end());
            row->clear_columns();
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const std::u16string_view text = row->text_of(cells[c]);
                tagDATA_VALUE value;
                ParseDataValue(value, text.data(), text.size(), columns[c].data_format);
                row->add_column(cells[c].offset, cells[c].length, value);
            }
        }
        const filter_run_result typed = RunFilter(rows, parser, groups, quick, row_values::split_with_parser);
        ASSERT_EQ(typed.filtered, expected_filtered) << "trial " << trial;
        ASSERT_EQ(typed.quick, expected_quick) << "trial " << trial;

        // The per-call RowPasses agrees as well.
        const parser_columns bound_columns = ParserColumns(parser);
        log_filter_groups copy = groups;
        const FilterColumnBinding binding = copy.BindColumns(bound_columns);
        copy.PrepareReferenceValues(binding, bound_columns);
        for (std::size_t r = 0; r < rows.size(); ++r)
            ASSERT_EQ(copy.RowPasses(*rows[r], binding, bound_columns),
                      std::find(expected_filtered.begin(), expected_filtered.end(), rows[r]) != expected_filtered.end())
                << "trial " << trial << " row " << r;

        // The quick filter alone over all rows.
        std::vector<log_line*> expected_alone;
        if (!quick.content().empty())
            for (log_line* row : rows)
                if (RefAnyCellMatches(*row, quick))
                    expected_alone.push_back(row);
        ASSERT_EQ(RunQuickFilter(rows, quick), expected_alone) << "trial " << trial;
    }
}

} // namespace
