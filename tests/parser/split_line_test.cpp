#include "parser/parser_test_support.h"
#include "parser/split_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The four-column example: date, time, [level], message.
log_pattern_list FourColumns()
{
    return Parser(
        {Item(u"", u" ", u"date"), Item(u"", u" ", u"time"), Item(u"[", u"]", u"level"), Item(u" ", u"", u"message")});
}

log_pattern_list Parenthesised()
{
    return Parser({Item(u"", u" ", u"head"), Group(u"(", u")", {Item(u"", u":", u"a"), Item(u"", u"", u"b")}),
                   Item(u" ", u"", u"tail")});
}

struct split_case {
    const char* name;
    log_pattern_list parser;
    std::u16string text;
    bool ok;
    std::vector<std::u16string> columns;
    std::u16string failed; // the failed item's name
};

TEST(parser_SplitLine, CutsColumnsByStartAndEndTexts)
{
    const split_case cases[] = {
        {"example line",
         FourColumns(),
         u"2024-01-02 10:11:12 [WARN] disk full",
         true,
         {u"2024-01-02", u"10:11:12", u"WARN", u"disk full"},
         u""},
        {"missing end text fails at its item and keeps the columns made",
         FourColumns(),
         u"2024-01-02 10:11:12 [WARN disk full",
         false,
         {u"2024-01-02", u"10:11:12"},
         u"level"},
        {"absent start text is skipped",
         FourColumns(),
         u"2024-01-02 10:11:12 WARN] disk full",
         true,
         {u"2024-01-02", u"10:11:12", u"WARN", u"disk full"},
         u""},
        {"end text right after the start gives an empty column",
         FourColumns(),
         u"2024-01-02 10:11:12 [] x",
         true,
         {u"2024-01-02", u"10:11:12", u"", u"x"},
         u""},
        {"line ending right after an end text fails at the next item",
         FourColumns(),
         u"2024-01-02 10:11:12 [WARN]",
         false,
         {u"2024-01-02", u"10:11:12", u"WARN"},
         u"message"},
        {"start text found later moves the value start",
         Parser({Item(u"=", u";", u"v")}),
         u"key=1;",
         true,
         {u"1"},
         u""},
        {"value starting at the end of the text fails", Parser({Item(u"x", u"", u"v")}), u"abcx", false, {}, u"v"},
        {"end text longer than the rest fails", Parser({Item(u"", u"long", u"v")}), u"ab", false, {}, u"v"},
        {"end text found nowhere fails", Parser({Item(u"", u";", u"v")}), u"a,b", false, {}, u"v"},
        {"empty end text in the middle takes the rest and keeps the position",
         Parser({Item(u"", u"", u"all"), Item(u"=", u"", u"value")}),
         u"k=v",
         true,
         {u"k=v", u"v"},
         u""},
        {"one item without texts takes the whole line",
         Parser({Item(u"", u"", u"line")}),
         u" a b ",
         true,
         {u" a b "},
         u""},
        {"sub-items cut their item's value", Parenthesised(), u"h (x:y) t", true, {u"h", u"x", u"y", u"t"}, u""},
        {"a failing sub-item gives its own name", Parenthesised(), u"h (xy) t", false, {u"h"}, u"a"},
        {"sub-items of an empty value fail at their first item", Parenthesised(), u"h () t", false, {u"h"}, u"a"},
        {"failure at an item without a name gives an empty name",
         Parser({Item(u"", u";", u"")}),
         u"abc",
         false,
         {},
         u""},
        {"a parser without items makes no column", log_pattern_list(), u"abc", false, {}, u""},
        {"repeated delimiters take their first occurrence",
         Parser({Item(u"", u"::", u"a"), Item(u"", u"", u"b")}),
         u"x:::y",
         true,
         {u"x", u":y"},
         u""},
        {"characters outside ASCII compare exactly",
         Parser({Item(u"", u"\u00e9", u"a"), Item(u"", u"", u"b")}),
         u"caf\u00e9 cr\u00e8me",
         true,
         {u"caf", u" cr\u00e8me"},
         u""},
        {"a start text that exactly fills the rest of the line leaves no value",
         Parser({Item(u"", u" ", u"a"), Item(u"[x]", u"", u"b")}),
         u"k [x]",
         false,
         {u"k"},
         u"b"},
        {"an end text that exactly fills the rest of the line ends an empty value",
         Parser({Item(u"", u" ", u"a"), Item(u"", u"]]", u"b")}),
         u"k ]]",
         true,
         {u"k", u""},
         u""},
        {"zero characters are ordinary characters",
         Parser({Item(u"", std::u16string(1, u'\0'), u"a"), Item(u"", u"", u"b")}),
         std::u16string(u"ab\0cd", 5),
         true,
         {u"ab", u"cd"},
         u""},
    };
    for (const split_case& c : cases) {
        log_line line;
        std::u16string failed = u"stale";
        const bool ok = split_line(line, c.text.data(), c.text.size(), c.parser, true, &failed);
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(ColumnTexts(line), c.columns) << c.name;
        EXPECT_EQ(failed, c.failed) << c.name;
        EXPECT_EQ(std::u16string(line.text().begin(), line.text().end()), c.text) << c.name;
        if (ok) {
            EXPECT_EQ(static_cast<int32_t>(line.columns().size()), leaf_count(c.parser)) << c.name;
        }
    }
}

log_pattern DateTimeItem(std::u16string format, bool end_after_datetime, std::u16string end = u" ")
{
    log_pattern item = Typed(Item(u"", std::move(end), u"time"), DATA_TYPE_DATETIME, std::move(format));
    item.end_after_datetime = end_after_datetime;
    return item;
}

TEST(parser_SplitLine, AnEndAfterTheDateTimeIsLookedForPastWhatItsFormatCovers)
{
    const auto on = [](std::u16string format) {
        return Parser({DateTimeItem(std::move(format), true), Item(u"", u" ", u"action"), Item(u"", u"", u"rest")});
    };
    log_pattern numeric_with_switch = Typed(Item(u"", u" ", u"n"), DATA_TYPE_NUMERIC);
    numeric_with_switch.end_after_datetime = true;
    const struct {
        const char* name;
        log_pattern_list parser;
        std::u16string text;
        bool ok;
        std::vector<std::u16string> columns;
        bool time_valid;
    } cases[] = {
        {"date and time stay one column",
         on(u"Y-m-d H:M:S"),
         u"2024-08-05 13:07:10 status installed libc6:amd64",
         true,
         {u"2024-08-05 13:07:10", u"status", u"installed libc6:amd64"},
         true},
        {"without the switch the first space ends the value, as stored parsers split",
         Parser({DateTimeItem(u"Y-m-d H:M:S", false), Item(u"", u" ", u"action"), Item(u"", u"", u"rest")}),
         u"2024-08-05 13:07:10 status installed",
         true,
         {u"2024-08-05", u"13:07:10", u"status installed"},
         false},
        {"text after the last field up to the end text stays in the value",
         on(u"Y-m-d H:M:S"),
         u"2024-08-05 13:07:10.320+02:00 INFO started",
         true,
         {u"2024-08-05 13:07:10.320+02:00", u"INFO", u"started"},
         true},
        {"a space-padded day and a month name",
         on(u"b  d H:M:S"),
         u"Aug  5 13:07:10 web01 sshd: ok",
         true,
         {u"Aug  5 13:07:10", u"web01", u"sshd: ok"},
         true},
        {"a value that does not begin with the format is cut as without the switch",
         on(u"Y-m-d H:M:S"),
         u"update-alternatives 2024-08-05 13:07:15: run",
         true,
         {u"update-alternatives", u"2024-08-05", u"13:07:15: run"},
         false},
        {"a date-time that ends the line leaves no room for the end text",
         on(u"Y-m-d H:M:S"),
         u"2024-08-05 13:07:10",
         false,
         {},
         false},
        {"the switch means nothing for other data types",
         Parser({numeric_with_switch, Item(u"", u"", u"rest")}),
         u"1 2 3",
         true,
         {u"1", u"2 3"},
         true},
    };
    for (const auto& c : cases) {
        log_line line;
        std::u16string failed;
        EXPECT_EQ(split_line(line, c.text.data(), c.text.size(), c.parser, true, &failed), c.ok) << c.name;
        EXPECT_EQ(ColumnTexts(line), c.columns) << c.name;
        if (!line.columns().empty()) {
            EXPECT_EQ(line.columns()[0].value().valid, c.time_valid) << c.name;
        }
    }
}

TEST(parser_SplitLine, EmptyTextMakesNoColumn)
{
    log_line line;
    line.assign_text(u"xxxx");
    for (int i = 0; i < 3; ++i)
        line.add_column(0, 0);
    std::u16string failed = u"stale";
    EXPECT_FALSE(split_line(line, u"", 0, FourColumns(), true, &failed));
    EXPECT_TRUE(line.columns().empty());
    EXPECT_TRUE(line.text().empty());
    EXPECT_TRUE(failed.empty());
}

TEST(parser_SplitLine, ColumnsPointIntoTheLinesOwnCopy)
{
    std::u16string text = u"h (x:y) t";
    log_line line;
    ASSERT_TRUE(split_line(line, text.data(), text.size(), Parenthesised(), true));
    text.assign(text.size(), u'#'); // the caller's text is no longer needed
    ASSERT_EQ(line.columns().size(), 4u);
    EXPECT_EQ(line.text(), u"h (x:y) t");
    // Every column, a sub-item's too, counts from the line text's start.
    EXPECT_EQ(line.columns()[0].offset, 0u);
    EXPECT_EQ(line.columns()[1].offset, 3u);
    EXPECT_EQ(line.columns()[2].offset, 5u);
    EXPECT_EQ(line.columns()[3].offset, 8u);
    EXPECT_EQ(ColumnTexts(line), (std::vector<std::u16string>{u"h", u"x", u"y", u"t"}));
}

TEST(parser_SplitLine, WithoutCopyColumnsAreAppendedOverTheLinesOwnText)
{
    std::unique_ptr<log_line> line(log_line::create(u"a;b", 1));
    line->add_column(0, 0); // kept
    const char16_t* text = line->text().data();
    ASSERT_TRUE(
        split_line(*line, text, line->text().size(), Parser({Item(u"", u";", u"x"), Item(u"", u"", u"y")}), false));
    ASSERT_EQ(line->columns().size(), 3u);
    EXPECT_EQ(line->columns()[1].offset, 0u);
    EXPECT_EQ(line->columns()[2].offset, 2u);
    EXPECT_EQ(ColumnTexts(*line), (std::vector<std::u16string>{u"", u"a", u"b"}));
}

TEST(parser_SplitLine, CopyReplacesTheColumnsOfAnEarlierSplit)
{
    log_line line;
    const std::u16string first = u"2024-01-02 10:11:12 [WARN] disk full";
    ASSERT_TRUE(split_line(line, first.data(), first.size(), FourColumns(), true));
    const std::u16string second = u"only";
    EXPECT_TRUE(split_line(line, second.data(), second.size(), Parser({Item(u"", u"", u"all")}), true));
    EXPECT_EQ(ColumnTexts(line), std::vector<std::u16string>{u"only"});
}

TEST(parser_SplitLine, ColumnsAreTypedWithTheirItemsFormat)
{
    const log_pattern_list parser =
        Parser({Typed(Item(u"", u" ", u"client"), DATA_TYPE_IPV4), Typed(Item(u"", u" ", u"status"), DATA_TYPE_NUMERIC),
                Typed(Item(u"", u" ", u"bad"), DATA_TYPE_NUMERIC), Typed(Item(u"", u" ", u"empty"), DATA_TYPE_NUMERIC),
                Typed(Item(u"", u"", u"time"), DATA_TYPE_DATETIME, u"H:M:S")});
    const std::u16string text = u"10.0.0.2 404 4o4  13:07:10";
    log_line line;
    ASSERT_TRUE(split_line(line, text.data(), text.size(), parser, true));
    ASSERT_EQ(line.columns().size(), 5u);
    EXPECT_TRUE(line.columns()[0].value().valid);
    EXPECT_EQ(line.columns()[0].value().payload, 0x0A000002);
    EXPECT_TRUE(line.columns()[1].value().valid);
    EXPECT_EQ(line.columns()[1].value().payload, 404);
    EXPECT_FALSE(line.columns()[2].value().valid);
    EXPECT_EQ(ColumnText(line, line.columns()[3]), u"");
    EXPECT_FALSE(line.columns()[3].value().valid);
    EXPECT_TRUE(line.columns()[4].value().valid);
}

TEST(parser_SplitLine, LongestAndBinaryLinesStayInsideTheirText)
{
    // 65535 characters with the delimiters at the very end, and a line of
    // every 16-bit value including unpaired surrogates.  The text is given
    // without any terminator and with nothing readable behind it.
    std::u16string longest(65535, u'a');
    longest[65533] = u';';
    const log_pattern_list parser =
        Parser({Item(u"", u";", u"a"), Item(u"", u"", u"b"), Item(u"", u";", u"c")}); // no ';' after b's start
    {
        std::vector<char16_t> exact(longest.begin(), longest.end());
        log_line line;
        std::u16string failed;
        EXPECT_FALSE(split_line(line, exact.data(), exact.size(), parser, true, &failed));
        ASSERT_EQ(line.columns().size(), 2u);
        EXPECT_EQ(line.columns()[0].length, 65533u);
        EXPECT_EQ(ColumnText(line, line.columns()[1]), u"a");
        EXPECT_EQ(failed, u"c");
    }
    {
        std::vector<char16_t> binary;
        for (uint32_t u = 0; u < 65536; ++u)
            binary.push_back(static_cast<char16_t>(u * 40503u));
        const log_pattern_list typed =
            Parser({Typed(Item(u"\u0001", u"\uffff", u"n"), DATA_TYPE_NUMERIC),
                    Typed(Item(u"", std::u16string(1, char16_t{0xD800}), u"t"), DATA_TYPE_DATETIME, u"Y-m-d"),
                    Typed(Item(u"", u"", u"ip"), DATA_TYPE_IPV4)});
        log_line line;
        split_line(line, binary.data(), binary.size(), typed, true);
        for (const log_column& column : line.columns()) {
            EXPECT_LE(std::size_t{column.offset} + column.length, line.text().size());
        }
    }
}

} // namespace
