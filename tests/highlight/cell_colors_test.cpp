// The colour of one cell: normal and selected colours, search hits before
// rules, the last matching rule, column limits; and the page-prepared form
// against the per-cell decision and a reference compiling every pattern anew.
#include "filter/filter_test_support.h"
#include "highlight/cell_colors.h"
#include "regex/text_match.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

void PrintTo(const tagCELL_COLORS& c, std::ostream* out)
{
    *out << "{" << c.text_color << ", " << c.back_color << ", " << (c.marked ? "marked" : "plain") << "}";
}

namespace {

const tagSYSTEM_COLORS kColors = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x00FFFF};

tagHIGHLIGHT_ITEM Rule(const std::u16string& expression, int32_t text, int32_t back, const std::u16string& column = u"",
                       bool wildcard = false, bool regexp = false, bool case_sensitive = false)
{
    tagHIGHLIGHT_ITEM rule;
    rule.expression = expression;
    rule.text_color = text;
    rule.back_color = back;
    rule.column = column;
    rule.wildcard = wildcard;
    rule.regexp = regexp;
    rule.case_sensitive = case_sensitive;
    DeriveHighlightPattern(rule);
    return rule;
}

struct cell {
    std::u16string text;
    std::u16string column = u"msg";
    int32_t index = 1;
    bool selected = false;
    bool focused = false;
};

// Both forms must give the same answer; returns it.
tagCELL_COLORS Colors(const cell& c, const tagHIGHLIGHT_STATE& state)
{
    const tagCELL_COLORS plain = CellColors(c.text, c.column, c.index, c.selected, c.focused, state, kColors);
    cell_painter painter(state, kColors);
    EXPECT_EQ(painter.CellColors(c.text, c.column, c.index, c.selected, c.focused), plain);
    return plain;
}

TEST(CellColors, NormalAndSelectedColours)
{
    const tagHIGHLIGHT_STATE none;
    EXPECT_EQ(Colors({u"x"}, none), (tagCELL_COLORS{1, 2, false}));
    EXPECT_EQ(Colors({u"x", u"msg", 1, true, true}, none), (tagCELL_COLORS{3, 4, false}));
    EXPECT_EQ(Colors({u"x", u"msg", 1, true, false}, none), (tagCELL_COLORS{3, 5, false}));
}

TEST(CellColors, RulesLaterWinsColumnLimitsAndKinds)
{
    CHighlight rules = {Rule(u"disk", 10, 11),
                        Rule(u"full", 20, 21),
                        Rule(u"ERROR", 30, 31, u"level"),
                        Rule(u"ERR*", 40, 41, u"kind", true),
                        Rule(u"\\d{3}", 50, 51, u"code", false, true),
                        Rule(u"a.c", 60, 61, u"both", true, true),
                        Rule(u"", 70, 71)};
    const tagHIGHLIGHT_STATE state{nullptr, &rules, true};
    const tagHIGHLIGHT_STATE off{nullptr, &rules, false};
    struct row {
        const char* name;
        cell c;
        tagCELL_COLORS expected;
    };
    const std::vector<row> table = {
        {"one rule", {u"disk slow"}, {10, 11, true}},
        {"the later rule wins", {u"disk full"}, {20, 21, true}},
        {"case ignored by default", {u"DISK"}, {10, 11, true}},
        {"no rule", {u"fine"}, {1, 2, false}},
        {"column named exactly", {u"ERROR", u"level"}, {30, 31, true}},
        {"another column name", {u"ERROR", u"Level"}, {1, 2, false}},
        {"a wildcard ignoring case", {u"error: x", u"kind"}, {40, 41, true}},
        {"a regular expression", {u"code 404", u"code"}, {50, 51, true}},
        {"wildcard and regexp: a wildcard", {u"a.c", u"both"}, {60, 61, true}},
        {"wildcard and regexp: not a regex", {u"abc", u"both"}, {1, 2, false}},
        {"an empty cell is never coloured", {u""}, {1, 2, false}},
        {"selected keeps the selection colours unless a rule matches", {u"x", u"msg", 1, true, true}, {3, 4, false}},
        {"selected and matched", {u"disk", u"msg", 1, true, true}, {10, 11, true}},
    };
    for (const row& r : table)
        EXPECT_EQ(Colors(r.c, state), r.expected) << r.name;
    EXPECT_EQ(Colors({u"disk"}, off), (tagCELL_COLORS{1, 2, false}));
}

TEST(CellColors, SearchHitsComeBeforeRules)
{
    CHighlight rules = {Rule(u"disk", 10, 11)};
    CSearchInfo search;
    search.expression = u"disk";
    search.highlight = true;
    search.column = -1;
    const tagHIGHLIGHT_STATE state{&search, &rules, true};
    EXPECT_EQ(Colors({u"disk full"}, state), (tagCELL_COLORS{6, 0x00FFFF, true}));
    EXPECT_EQ(Colors({u"DISK", u"msg", 1, true, true}, state), (tagCELL_COLORS{6, 0x00FFFF, true}));
    // Only the search's column.
    search.column = 2;
    EXPECT_EQ(Colors({u"disk full", u"msg", 1}, state), (tagCELL_COLORS{10, 11, true}));
    EXPECT_EQ(Colors({u"disk full", u"other", 2}, state), (tagCELL_COLORS{6, 0x00FFFF, true}));
    // Highlighting of matches switched off.
    search.column = -1;
    search.highlight = false;
    EXPECT_EQ(Colors({u"disk"}, state), (tagCELL_COLORS{10, 11, true}));
    // A wildcard search is matched through its converted pattern.
    search.highlight = true;
    search.expression = u"d?sk*l";
    search.wildcard = true;
    EXPECT_EQ(Colors({u"DESK full", u"msg", 1}, state), (tagCELL_COLORS{6, 0x00FFFF, true}));
    search.case_sensitive = true;
    EXPECT_EQ(Colors({u"DISK full", u"msg", 1}, state), (tagCELL_COLORS{10, 11, true})); // the rule again
    // An empty search text colours nothing.
    search.expression.clear();
    EXPECT_EQ(Colors({u"disk"}, state), (tagCELL_COLORS{10, 11, true}));
}

TEST(CellColors, RuleReadBackFromAFavouriteColoursTheSameCells)
{
    CHighlight rules = {Rule(u"ERR*", 40, 41, u"", true)};
    CHighlight loaded;
    ASSERT_TRUE(loaded.FromXml(rules.ToXml().get()));
    const tagHIGHLIGHT_STATE a{nullptr, &rules, true}, b{nullptr, &loaded, true};
    for (const std::u16string text : {u"error: x", u"ERR", u"er", u"xERRx", u""})
        EXPECT_EQ(Colors({text}, a), Colors({text}, b));
}

TEST(CellColors, PreparedPageEqualsTheReferenceOverRandomRulesAndCells)
{
    test_random random(4242);
    const std::vector<std::u16string> pieces = {u"a",   u"A",   u"e",  u"E",     u"r",      u"R", u"1",  u".",
                                                u"*",   u"?",   u"\\", u"(",     u")",      u"|", u"\r", u"\n",
                                                u"err", u"\\d", u"+",  u"[a-z]", u"\u00E9", u" "};
    const std::vector<std::u16string> columns = {u"time", u"level", u"msg", u"Level"};
    auto text = [&](std::size_t n) {
        std::u16string t;
        for (std::size_t i = random.below(n + 1); i > 0; --i)
            t += random.pick(pieces);
        return t;
    };
    for (int trial = 0; trial < 400; ++trial) {
        CHighlight rules;
        for (std::size_t i = random.below(8); i > 0; --i)
            rules.push_back(Rule(text(3), static_cast<int32_t>(i), static_cast<int32_t>(100 + i),
                                 random.chance(30) ? random.pick(columns) : u"", random.chance(30), random.chance(40),
                                 random.chance(50)));
        CSearchInfo search;
        search.expression = random.chance(60) ? text(2) : u"";
        search.highlight = random.chance(70);
        search.column = static_cast<int32_t>(random.below(5)) - 1;
        search.wildcard = random.chance(30);
        search.regexp = !search.wildcard && random.chance(40);
        search.case_sensitive = random.chance(50);
        const tagHIGHLIGHT_STATE state{&search, &rules, random.chance(80)};
        cell_painter painter(state, kColors);
        for (int k = 0; k < 30; ++k) {
            const cell c{text(6), random.pick(columns), static_cast<int32_t>(random.below(4)), random.chance(30),
                         random.chance(50)};
            // The reference: the decision as written, every pattern compiled afresh.
            bool aborted = false;
            tagCELL_COLORS expected =
                !c.selected ? tagCELL_COLORS{1, 2, false} : tagCELL_COLORS{3, c.focused ? 4 : 5, false};
            const std::u16string search_text = search.wildcard ? WildcardToRegex(search.expression) : search.expression;
            if (!search_text.empty() && search.highlight && (search.column == -1 || search.column == c.index)
                && RefMatchText(c.text, search_text, search.case_sensitive, search.wildcard || search.regexp,
                                &aborted)) {
                expected = {6, 0x00FFFF, true};
            } else if (state.highlight_enabled) {
                for (const tagHIGHLIGHT_ITEM& rule : rules)
                    if (!rule.expression.empty() && (rule.column.empty() || rule.column == c.column)
                        && RefMatchText(c.text, rule.wildcard ? rule.pattern : rule.expression, rule.case_sensitive,
                                        rule.wildcard || rule.regexp, &aborted))
                        expected = {rule.text_color, rule.back_color, true};
            }
            ASSERT_FALSE(aborted);
            ASSERT_EQ(painter.CellColors(c.text, c.column, c.index, c.selected, c.focused), expected) << trial;
            ASSERT_EQ(CellColors(c.text, c.column, c.index, c.selected, c.focused, state, kColors), expected) << trial;
        }
    }
}

} // namespace
