// One condition on one cell: the text rules, the typed comparisons and their
// text fallback, and the pattern that follows content and type.
#include "filter/filter_run.h"
#include "filter/log_filter.h"
#include "filter/text_rules.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

namespace {

std::string Show(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) {
        if (c == u'\r')
            out += "\\r";
        else if (c == u'\n')
            out += "\\n";
        else if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "?";
    }
    return out;
}

struct match_row {
    tagDATA_FORMAT format;
    int32_t type;
    std::u16string content;
    bool case_sensitive;
    std::u16string cell;
    bool expected;
};

// Checks the per-call form, the prepared form and the reference on one row.
void ExpectRow(const match_row& r)
{
    log_filter condition = Condition(u"c", r.type, r.content, r.case_sensitive);
    condition.PrepareReferenceValue(r.format);
    const std::string what = "type " + std::to_string(r.type) + " content '" + Show(r.content) + "' cs "
                             + std::to_string(r.case_sensitive) + " cell '" + Show(r.cell) + "' data type "
                             + std::to_string(r.format.data_type);
    EXPECT_EQ(condition.Matches(r.format, r.cell.data(), static_cast<std::ptrdiff_t>(r.cell.size())), r.expected)
        << what;
    prepared_condition prepared(condition, r.format);
    EXPECT_EQ(prepared.Matches(r.cell), r.expected) << what << " (prepared)";
    EXPECT_EQ(RefMatches(condition, r.format, r.cell), r.expected) << what << " (reference)";
}

const tagDATA_FORMAT kText;

TEST(LogFilter, NewConditionHasTheDocumentedDefaults)
{
    const log_filter c;
    EXPECT_EQ(c.version(), 1);
    EXPECT_TRUE(c.column().empty());
    EXPECT_EQ(c.type(), FILTER_TYPE_CONTAIN);
    EXPECT_TRUE(c.content().empty());
    EXPECT_TRUE(c.case_sensitive());
    EXPECT_TRUE(c.logic_and());
    EXPECT_TRUE(c.pattern().empty());
    EXPECT_FALSE(c.reference_value().valid);
}

TEST(LogFilter, PatternFollowsContentAndType)
{
    log_filter c;
    c.SetContent(u"a*b?");
    EXPECT_TRUE(c.pattern().empty()); // a contain condition has no pattern
    c.SetType(FILTER_TYPE_WILDCARD);
    EXPECT_EQ(c.pattern(), u"a(.*)b(.{1})");
    c.SetContent(u"x.log");
    EXPECT_EQ(c.pattern(), u"x\\.log");
    c.SetContent(static_cast<const char16_t*>(nullptr));
    EXPECT_TRUE(c.content().empty());
    EXPECT_TRUE(c.pattern().empty());
    c.SetContent(u"*");
    c.SetType(FILTER_TYPE_REGEXP);
    EXPECT_TRUE(c.pattern().empty());
    c.SetType(FILTER_TYPE_WILDCARD);
    EXPECT_EQ(c.pattern(), u"(.*)");
    log_filter copy = c;
    EXPECT_EQ(copy.pattern(), u"(.*)");
    EXPECT_EQ(copy, c);
}

TEST(LogFilter, IsSameConditionComparesColumnContentAndCaseOnly)
{
    const log_filter a = Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR", true, true);
    EXPECT_TRUE(a.IsSameCondition(Condition(u"level", FILTER_TYPE_NOTEQUAL, u"ERROR", true, false)));
    EXPECT_FALSE(a.IsSameCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR", false, true)));
    EXPECT_FALSE(a.IsSameCondition(Condition(u"Level", FILTER_TYPE_EQUAL, u"ERROR", true, true)));
    EXPECT_FALSE(a.IsSameCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"error", true, true)));
    EXPECT_FALSE(a.IsSameCondition(Condition(u"level", FILTER_TYPE_EQUAL, u"ERROR ", true, true)));
}

TEST(LogFilterMatches, TextRules)
{
    const std::vector<match_row> table = {
        // equal / not equal and the case rule
        {kText, FILTER_TYPE_EQUAL, u"ERROR", false, u"Error", true},
        {kText, FILTER_TYPE_EQUAL, u"ERROR", true, u"Error", false},
        {kText, FILTER_TYPE_EQUAL, u"ERROR", true, u"ERROR", true},
        {kText, FILTER_TYPE_EQUAL, u"ERROR", true, u"ERROR ", false},
        {kText, FILTER_TYPE_EQUAL, u"", true, u"", true},
        {kText, FILTER_TYPE_EQUAL, u"", false, u"", true},
        {kText, FILTER_TYPE_EQUAL, u"", false, u"x", false},
        {kText, FILTER_TYPE_NOTEQUAL, u"ERROR", false, u"error", false},
        {kText, FILTER_TYPE_NOTEQUAL, u"ERROR", true, u"error", true},
        // non-ASCII letters are never folded
        {kText, FILTER_TYPE_EQUAL, u"\u00C9T\u00C9", false, u"\u00E9t\u00E9", false},
        {kText, FILTER_TYPE_EQUAL, u"\u00C9T\u00C9", false, u"\u00C9t\u00C9", true},
        // the case-insensitive comparison ends at the first zero
        {kText, FILTER_TYPE_EQUAL, u"ab", false, std::u16string(u"AB\0zz", 5), true},
        {kText, FILTER_TYPE_EQUAL, u"ab", true, std::u16string(u"ab\0zz", 5), false},
        // contain / exclude
        {kText, FILTER_TYPE_CONTAIN, u"disk", false, u"DISK full", true},
        {kText, FILTER_TYPE_CONTAIN, u"disk", true, u"DISK full", false},
        {kText, FILTER_TYPE_CONTAIN, u"", true, u"anything", true},
        {kText, FILTER_TYPE_CONTAIN, u"", false, u"", true},
        {kText, FILTER_TYPE_CONTAIN, u"full\r\nnext", true, u"disk full\r\nnext line", true},
        {kText, FILTER_TYPE_CONTAIN, u"ab", false, u"a", false},
        {kText, FILTER_TYPE_EXCLUDE, u"disk", false, u"DISK full", false},
        {kText, FILTER_TYPE_EXCLUDE, u"disk", true, u"DISK full", true},
        {kText, FILTER_TYPE_EXCLUDE, u"", true, u"anything", false},
        {kText, FILTER_TYPE_EXCLUDE, u"", true, u"", false},
        // wildcards
        {kText, FILTER_TYPE_WILDCARD, u"ERR*", false, u"error 1", true},
        {kText, FILTER_TYPE_WILDCARD, u"ERR*", true, u"error 1", false},
        {kText, FILTER_TYPE_WILDCARD, u"a?c", true, u"xabcx", true},
        {kText, FILTER_TYPE_WILDCARD, u"a?c", true, u"ac", false},
        {kText, FILTER_TYPE_WILDCARD, u"a\\*b", true, u"a*b", true},
        {kText, FILTER_TYPE_WILDCARD, u"a\\*b", true, u"axb", false},
        {kText, FILTER_TYPE_WILDCARD, u"(1+1)", true, u"is (1+1)", true},
        {kText, FILTER_TYPE_WILDCARD, u"", true, u"", true},
        {kText, FILTER_TYPE_WILDCARD, u"", false, u"anything", true},
        // regular expressions; escapes keep their meaning ignoring case
        {kText, FILTER_TYPE_REGEXP, u"\\D", false, u"12a", true},
        {kText, FILTER_TYPE_REGEXP, u"\\D", false, u"123", false},
        {kText, FILTER_TYPE_REGEXP, u"err\\d", false, u"ERR5", true},
        {kText, FILTER_TYPE_REGEXP, u"err\\d", true, u"ERR5", false},
        {kText, FILTER_TYPE_REGEXP, u"", true, u"", true},
        {kText, FILTER_TYPE_REGEXP, u"", true, u"x", true},
        {kText, FILTER_TYPE_REGEXP, u"^$", true, u"", true},
        {kText, FILTER_TYPE_REGEXP, u"^$", true, u"x", false},
        {kText, FILTER_TYPE_REGEXP, u"a.b", true, u"a\nb", false},
        {kText, FILTER_TYPE_REGEXP, u"a\\r\\nb", true, u"a\r\nb", true},
        // ordering comparisons ignore case whatever the flag
        {kText, FILTER_TYPE_GREATER, u"b", true, u"C", true},
        {kText, FILTER_TYPE_GREATER, u"b", false, u"a", false},
        {kText, FILTER_TYPE_GREATER, u"b", true, u"B", false},
        {kText, FILTER_TYPE_GREATER_EQUAL, u"b", true, u"B", true},
        {kText, FILTER_TYPE_LESS, u"abc", true, u"AB", true}, // a proper prefix is smaller
        {kText, FILTER_TYPE_LESS, u"AB", true, u"abc", false},
        {kText, FILTER_TYPE_LESS_EQUAL, u"ab", true, u"AB", true},
        {kText, FILTER_TYPE_GREATER, u"", true, u"", false},
        {kText, FILTER_TYPE_GREATER_EQUAL, u"", true, u"", true},
        {kText, FILTER_TYPE_GREATER, u"9", true, u"10", false}, // text, not numbers
        {kText, FILTER_TYPE_GREATER, u"_", true, u"a", true},   // '_' 0x5F < 'a', > 'A'
        {kText, FILTER_TYPE_GREATER, u"_", true, u"A", true},   // 'A' folds to 'a' first
        {kText, FILTER_TYPE_GREATER, u"a", true, u"\u00E9", true},
        // an unknown type matches nothing
        {kText, 10, u"x", true, u"x", false},
        {kText, -1, u"x", true, u"x", false},
    };
    for (const match_row& r : table)
        ExpectRow(r);
}

TEST(LogFilterMatches, TypedComparisonsAndTheirTextFallback)
{
    const tagDATA_FORMAT integer = NumericFormat(0);
    const tagDATA_FORMAT decimal = NumericFormat(2);
    const tagDATA_FORMAT ip = Ipv4Format();
    const tagDATA_FORMAT when = DateTimeFormat();
    const std::vector<match_row> table = {
        // numbers, not texts
        {integer, FILTER_TYPE_GREATER, u"10", true, u"9", false},
        {integer, FILTER_TYPE_GREATER, u"10", true, u"11", true},
        {integer, FILTER_TYPE_GREATER, u"10", true, u"1,000", true},
        {integer, FILTER_TYPE_EQUAL, u"1,000", true, u"1000", true},
        {integer, FILTER_TYPE_NOTEQUAL, u"1000", true, u"1,000", false},
        // negative numbers
        {integer, FILTER_TYPE_GREATER, u"-10", true, u"-5", true},
        {integer, FILTER_TYPE_LESS, u"-10", true, u"-11", true},
        {integer, FILTER_TYPE_LESS, u"0", true, u"-1", true},
        {integer, FILTER_TYPE_GREATER_EQUAL, u"-5", true, u"-5", true},
        // a content that is not a number compares the cell as text
        {integer, FILTER_TYPE_GREATER, u"abc", true, u"9", false},
        {integer, FILTER_TYPE_LESS, u"abc", true, u"9", true},
        // a cell that is not a number compares as text too ("x" > "10" as text)
        {integer, FILTER_TYPE_GREATER, u"10", true, u"x", true},
        {integer, FILTER_TYPE_GREATER, u"10", true, u"", false},
        {integer, FILTER_TYPE_EQUAL, u"10", false, u"", false},
        // long digits: beyond the 64-bit range the value is invalid: text order
        {integer, FILTER_TYPE_GREATER, u"99999999999999999999", true, u"100", false},
        {integer, FILTER_TYPE_GREATER, u"5", true, u"99999999999999999999", true},
        {integer, FILTER_TYPE_GREATER, u"9223372036854775806", true, u"9223372036854775807", true},
        {integer, FILTER_TYPE_LESS, u"-9223372036854775807", true, u"-9223372036854775808", true},
        // digit_count 0 reads 12.7 as 12
        {integer, FILTER_TYPE_EQUAL, u"12", true, u"12.7", true},
        {decimal, FILTER_TYPE_EQUAL, u"12", true, u"12.7", false},
        {decimal, FILTER_TYPE_GREATER, u"12.5", true, u"12.7", true},
        {decimal, FILTER_TYPE_LESS, u"-0.5", true, u"-1.25", true},
        // IPv4 compares unsigned
        {ip, FILTER_TYPE_GREATER, u"100.0.0.1", true, u"200.0.0.1", true},
        {ip, FILTER_TYPE_GREATER, u"9.255.255.255", true, u"10.0.0.2", true},
        {ip, FILTER_TYPE_EQUAL, u"10.0.0.1", true, u"010.000.000.001", true},
        {ip, FILTER_TYPE_GREATER, u"9.255.255.255", true, u"10.0.0", false}, // text: "1" < "9"
        // date-times
        {when, FILTER_TYPE_GREATER, u"2024-01-02 12:00:00", true, u"2024-01-02 12:00:01", true},
        {when, FILTER_TYPE_LESS, u"2024-01-02 12:00:00", true, u"2023-12-31 23:59:59", true},
        {when, FILTER_TYPE_EQUAL, u"2024-01-02 12:00:00", true, u"2024-01-02 12:00:00", true},
        // the text-only types never compare typed values
        {integer, FILTER_TYPE_CONTAIN, u"1,0", true, u"1,000", true},
        {integer, FILTER_TYPE_CONTAIN, u"1000", true, u"1,000", false},
        {integer, FILTER_TYPE_REGEXP, u"^1,", true, u"1,000", true},
        {integer, FILTER_TYPE_WILDCARD, u"-*5", true, u"-15", true},
        // leading zeros make the same number
        {integer, FILTER_TYPE_EQUAL, u"007", false, u"7", true},
    };
    for (const match_row& r : table)
        ExpectRow(r);
}

TEST(LogFilterMatches, UnpreparedReferenceFallsBackToText)
{
    const log_filter c = Condition(u"n", FILTER_TYPE_GREATER, u"10");
    const tagDATA_FORMAT integer = NumericFormat(0);
    EXPECT_TRUE(c.Matches(integer, u"9", -1)); // "9" > "10" as text
    log_filter prepared = c;
    prepared.PrepareReferenceValue(integer);
    EXPECT_FALSE(prepared.Matches(integer, u"9", -1));
}

TEST(LogFilterMatches, LengthAndNullRules)
{
    log_filter c = Condition(u"c", FILTER_TYPE_EQUAL, u"abc");
    EXPECT_TRUE(c.Matches(kText, u"abc", -1));
    EXPECT_TRUE(c.Matches(kText, u"abcdef", 3));
    EXPECT_FALSE(c.Matches(kText, u"abcdef", -1));
    EXPECT_FALSE(c.Matches(kText, nullptr, -1));
    c.SetContent(u"");
    EXPECT_TRUE(c.Matches(kText, nullptr, 5)); // null is the empty text
    c.SetType(FILTER_TYPE_EXCLUDE);
    EXPECT_FALSE(c.Matches(kText, nullptr, -1));
}

// Every capital folds to its small letter, one by one, in every text rule
// and in each direction; the four marks that differ from a letter's range by
// the case bit alone do not.
TEST(LogFilterMatches, EveryCapitalFoldsAndTheMarksBesideTheLettersDoNot)
{
    for (char16_t upper = u'A'; upper <= u'Z'; ++upper) {
        const auto lower = static_cast<char16_t>(upper + 32);
        const std::u16string big = std::u16string(u"k") + upper + u"9";
        const std::u16string small = std::u16string(u"k") + lower + u"9";
        for (const auto& [content, cell] : {std::pair{big, small}, std::pair{small, big}}) {
            const std::u16string around = u"--" + cell + u"--";
            const std::vector<match_row> rows = {
                {kText, FILTER_TYPE_EQUAL, content, false, cell, true},
                {kText, FILTER_TYPE_EQUAL, content, true, cell, false},
                {kText, FILTER_TYPE_NOTEQUAL, content, false, cell, false},
                {kText, FILTER_TYPE_CONTAIN, content, false, around, true},
                {kText, FILTER_TYPE_CONTAIN, content, true, around, false},
                {kText, FILTER_TYPE_EXCLUDE, content, false, around, false},
                {kText, FILTER_TYPE_WILDCARD, u"*" + content + u"*", false, around, true},
                {kText, FILTER_TYPE_REGEXP, content, false, around, true},
                {kText, FILTER_TYPE_GREATER_EQUAL, content, true, cell, true},
                {kText, FILTER_TYPE_LESS_EQUAL, content, true, cell, true},
                {kText, FILTER_TYPE_GREATER, content, true, cell, false},
                {kText, FILTER_TYPE_LESS, content, true, cell, false},
            };
            for (const match_row& r : rows)
                ExpectRow(r);
            log_filter quick = Condition(u"", FILTER_TYPE_CONTAIN, content, false);
            prepared_condition prepared(quick, kText);
            EXPECT_TRUE(prepared.AnyCellMatches(*MakeLine({u"zz", around}))) << Show(content);
            EXPECT_TRUE(ContainsTextIgnoreCase(around, AsciiLowerCopy(content))) << Show(content);
            EXPECT_EQ(CompareIgnoreAsciiCase(content, cell), 0) << Show(content);
        }
        EXPECT_EQ(AsciiLowerCopy(std::u16string(1, upper)), std::u16string(1, lower));
    }
    // '@' and '`', '[' and '{' differ only by the case bit, and are no letters.
    for (const auto& [a, b] : {std::pair{u'@', u'`'}, std::pair{u'[', u'{'}}) {
        const std::u16string content(1, a);
        const std::u16string cell(1, b);
        ExpectRow({kText, FILTER_TYPE_EQUAL, content, false, cell, false});
        ExpectRow({kText, FILTER_TYPE_CONTAIN, content, false, u"x" + cell, false});
        ExpectRow({kText, FILTER_TYPE_CONTAIN, cell, false, u"x" + content, false});
        EXPECT_NE(CompareIgnoreAsciiCase(content, cell), 0);
    }
    EXPECT_EQ(AsciiLowerCopy(u"@[`{"), u"@[`{");
}

TEST(FilterTypes, DisplayKeysAndTextOnlyTypes)
{
    EXPECT_EQ(FilterTypeDisplayKey(FILTER_TYPE_EQUAL), u"IDS_FILTER_TYPE_EQUAL");
    EXPECT_EQ(FilterTypeDisplayKey(FILTER_TYPE_REGEXP), u"IDS_FILTER_TYPE_REGEXP");
    EXPECT_EQ(FilterTypeDisplayKey(FILTER_TYPE_GREATER_EQUAL), u">=");
    EXPECT_EQ(FilterTypeDisplayKey(FILTER_TYPE_LESS_EQUAL), u"<=");
    EXPECT_TRUE(FilterTypeDisplayKey(10).empty());
    EXPECT_TRUE(FilterTypeDisplayKey(-1).empty());
    for (int32_t t = -1; t <= 10; ++t)
        EXPECT_EQ(IsTextOnlyFilterType(t), t >= 2 && t <= 5) << t;
}

} // namespace
