// The search record, the line test and its prepared form.
#include "filter/filter_test_support.h"
#include "regex/text_match.h"
#include "search/search_info.h"

#include <gtest/gtest.h>

namespace {

CSearchInfo Search(const std::u16string& expression, int32_t column = -1, bool case_sensitive = false,
                   bool regexp = false)
{
    CSearchInfo search;
    search.expression = expression;
    search.column = column;
    search.case_sensitive = case_sensitive;
    search.regexp = regexp;
    return search;
}

TEST(SearchInfo, NewSearchHasTheDocumentedDefaults)
{
    const CSearchInfo search;
    EXPECT_TRUE(search.expression.empty());
    EXPECT_EQ(search.column, -1);
    EXPECT_FALSE(search.up || search.case_sensitive || search.highlight || search.wildcard || search.regexp
                 || search.find_in_file);
    EXPECT_TRUE(search.pattern.empty());
}

TEST(SearchInfo, SearchTextIsTheConvertedWildcardOrTheExpression)
{
    CSearchInfo search = Search(u"disk*full");
    EXPECT_EQ(SearchText(search), u"disk*full");
    EXPECT_FALSE(SearchUsesRegex(search));
    search.wildcard = true;
    search.pattern = u"stale";
    EXPECT_EQ(SearchText(search), u"disk(.*)full");
    EXPECT_TRUE(SearchUsesRegex(search));
    search.wildcard = false;
    search.regexp = true;
    EXPECT_EQ(SearchText(search), u"disk*full");
    EXPECT_TRUE(SearchUsesRegex(search));
}

TEST(LineMatches, ColumnsCaseAndPatterns)
{
    const auto line = MakeLine({u"2024-01-02", u"WARN", u"disk is full"});
    const auto two = MakeLine({u"a", u"b"});
    const auto none = MakeLine({});
    const auto empty_cell = MakeLine({u""});
    std::vector<std::unique_ptr<log_line>> kept;
    auto keep = [&](std::vector<std::u16string> cells) -> const log_line& {
        kept.push_back(MakeLine(cells));
        return *kept.back();
    };
    struct row {
        const char* name;
        const log_line& target;
        CSearchInfo search;
        bool matches;
    };
    const std::vector<row> table = {
        {"any column", *line, Search(u"full"), true},
        {"column 0 only", *line, Search(u"full", 0), false},
        {"column 2", *line, Search(u"full", 2), true},
        {"column past the cells", *two, Search(u"a", 2), false},
        {"negative column other than -1 is any", *two, Search(u"b", -5), true},
        {"no cells", *none, Search(u"a"), false},
        {"an empty cell never matches", *empty_cell, Search(u"^$", -1, true, true), false},
        {"an empty expression never matches", *line, Search(u""), false},
        {"case-insensitive ERROR finds error", keep({u"an error"}), Search(u"ERROR"), true},
        {"case-insensitive ERROR finds Error", keep({u"Error"}), Search(u"ERROR"), true},
        {"case-sensitive", keep({u"Error"}), Search(u"ERROR", -1, true), false},
        {"regex ignoring case keeps \\D", keep({u"123"}), Search(u"\\D", -1, false, true), false},
        {"regex ignoring case", keep({u"ERROR 7"}), Search(u"error \\d", -1, false, true), true},
        {"wildcard prepared by the caller", *line, Search(WildcardToRegex(u"disk*full"), 2, false, true), true},
        {"plain text is not a pattern", *line, Search(u"disk.*full"), false},
        {"CR LF inside a cell", keep({u"a\r\nb"}), Search(u"a\r\nb"), true},
    };
    for (const row& r : table) {
        EXPECT_EQ(line_matches(r.target, r.search), r.matches) << r.name;
        search_matcher matcher = search_matcher::ForLine(r.search);
        EXPECT_EQ(matcher.LineMatches(r.target, r.search.column), r.matches) << r.name << " (prepared)";
    }
}

TEST(LineMatches, PreparedFormEqualsTheReferenceOverRandomLines)
{
    test_random random(99);
    const std::vector<std::u16string> pieces = {u"a",  u"A", u"e",   u"r",      u"R",  u"1",  u".",   u"*",
                                                u"\\", u"(", u")",   u"|",      u"\r", u"\n", u"err", u"\\d",
                                                u"+",  u"?", u"[a]", u"\u00E9", u" ",  u"^",  u"$"};
    auto text = [&](std::size_t n) {
        std::u16string t;
        for (std::size_t i = random.below(n + 1); i > 0; --i)
            t += random.pick(pieces);
        return t;
    };
    for (int trial = 0; trial < 2000; ++trial) {
        CSearchInfo search =
            Search(text(3), static_cast<int32_t>(random.below(5)) - 1, random.chance(50), random.chance(50));
        search_matcher matcher = search_matcher::ForLine(search);
        for (int k = 0; k < 10; ++k) {
            std::vector<std::u16string> cells;
            for (std::size_t c = random.below(4); c > 0; --c)
                cells.push_back(text(6));
            const auto line = MakeLine(cells);
            bool expected = false, aborted = false;
            if (search.column < 0) {
                for (const std::u16string& cell : cells)
                    expected = expected
                               || RefMatchText(cell, search.expression, search.case_sensitive, search.regexp, &aborted);
            } else if (static_cast<std::size_t>(search.column) < cells.size()) {
                expected = RefMatchText(cells[static_cast<std::size_t>(search.column)], search.expression,
                                        search.case_sensitive, search.regexp, &aborted);
            }
            ASSERT_FALSE(aborted);
            ASSERT_EQ(line_matches(*line, search), expected) << trial;
            ASSERT_EQ(matcher.LineMatches(*line, search.column), expected) << trial;
        }
    }
}

} // namespace
