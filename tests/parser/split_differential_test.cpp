// split_line against a plain reference written from the rules, on random
// parsers (with sub-items) and random texts full of their delimiters; and the
// column records of a window line (one block, split in place, with and
// without a plan) against the reference's columns typed by ParseDataValue.
#include "format/datetime.h"
#include "format/local_time.h"
#include "parser/fixed_datetime.h"
#include "parser/parser_test_support.h"
#include "parser/split_line.h"
#include "support/case_budget.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct reference_column {
    std::size_t start; // from the beginning of the whole text
    std::size_t length;
    bool operator==(const reference_column&) const = default;
};

struct reference_result {
    bool ok = false;
    std::vector<reference_column> columns;
    std::u16string failed;
};

// Cuts whole.substr(from, size) with items; false on failure (failed set).
bool reference_cut(const std::u16string& whole, std::size_t from, std::size_t size, const log_pattern_list& items,
                   reference_result& result)
{
    const std::u16string value = whole.substr(from, size);
    std::size_t position = 0;
    for (const log_pattern& item : items) {
        if (position >= value.size()) {
            result.failed = item.name;
            return false;
        }
        std::size_t begin = position;
        if (!item.start.empty()) {
            const std::size_t found = value.find(item.start, position);
            if (found != std::u16string::npos)
                begin = found + item.start.size();
        }
        if (begin == value.size()) {
            result.failed = item.name;
            return false;
        }
        std::size_t finish = value.size();
        if (!item.end.empty()) {
            const std::size_t found = value.find(item.end, begin);
            if (found == std::u16string::npos) {
                result.failed = item.name;
                return false;
            }
            finish = found;
            position = found + item.end.size();
        }
        if (item.sub_items.empty()) {
            result.columns.push_back({from + begin, finish - begin});
        } else if (finish == begin) {
            result.failed = item.sub_items.front().name;
            return false;
        } else if (!reference_cut(whole, from + begin, finish - begin, item.sub_items, result)) {
            return false;
        }
    }
    return true;
}

reference_result reference_split(const std::u16string& text, const log_pattern_list& parser)
{
    reference_result result;
    if (text.empty())
        return result;
    result.ok = reference_cut(text, 0, text.size(), parser, result) && !result.columns.empty();
    return result;
}

class random_parsers {
public:
    explicit random_parsers(uint32_t seed) : m_random(seed) {}

    std::u16string delimiter()
    {
        static const char16_t* const pieces[] = {u"", u"", u"a", u"b", u";", u" ", u"ab", u"; ", u"ba", u"aa", u"x;"};
        return pieces[pick(sizeof pieces / sizeof *pieces)];
    }

    log_pattern_list parser(int depth)
    {
        log_pattern_list items;
        const std::size_t count = 1 + pick(depth == 0 ? 6 : 3);
        for (std::size_t i = 0; i < count; ++i) {
            log_pattern item = Item(delimiter(), delimiter(), u"i" + widen(std::to_string(m_names++)));
            if (depth < 2 && pick(4) == 0)
                item.sub_items = parser(depth + 1);
            items.push_back(std::move(item));
        }
        return items;
    }

    std::u16string text()
    {
        static const char16_t alphabet[] = u"ab; x";
        const std::size_t size = pick(10) == 0 ? pick(400) : pick(30);
        std::u16string out;
        for (std::size_t i = 0; i < size; ++i)
            out.push_back(alphabet[pick(5)]);
        return out;
    }

    // A leaf's data format: text, number (with or without decimals and
    // thousands), address or date-time.
    tagDATA_FORMAT format()
    {
        // Fixed-width layouts (read straight from their digits' places) and
        // others: names, a digit literal, letters in a row.
        static const char16_t* const layouts[] = {u"Y-m-d H:M:S",   u"H:M:S.s",       u"Y-m-d",
                                                  u"d/b/Y H:M:S",   u"Y-m-d H:M:S.s", u"d.m.Y H:M",
                                                  u"Y/m/dTH:M:S,s", u"HMS",           u"Y-m-d 0H"};
        tagDATA_FORMAT f;
        f.data_type = static_cast<int32_t>(pick(4));
        f.separator_1000 = pick(2) == 0;
        f.digit_count = static_cast<uint8_t>(pick(3) == 0 ? pick(MAX_DIGIT_COUNT + 1) : 0);
        f.format = layouts[pick(sizeof layouts / sizeof *layouts)];
        return f;
    }

    // A parser as parser(0), with every leaf typed by format().
    log_pattern_list typed_parser()
    {
        log_pattern_list items = parser(0);
        type_leaves(items);
        // Now and then a leading date-time column in a fixed-width layout.
        if (pick(3) == 0) {
            log_pattern head = Item(u"", u";", u"t");
            head.data_format.data_type = DATA_TYPE_DATETIME;
            head.data_format.format = u"Y-m-d H:M:S.s";
            items.push_front(std::move(head));
        }
        return items;
    }

    // A text of values and the delimiters: digits (up to 18 and beyond),
    // signs, separators and date-time pieces, now and then longer than a
    // line holds.
    // lead: the text is for a parser with a leading date-time column.
    std::u16string value_text(bool lead)
    {
        static const char16_t* const pieces[] = {u"a",
                                                 u"b",
                                                 u";",
                                                 u" ",
                                                 u"x",
                                                 u"7",
                                                 u"-12",
                                                 u"3.5",
                                                 u"1,234",
                                                 u"2024-08-05 13:07:10",
                                                 u"13:07:10.320",
                                                 u"10.0.0.1",
                                                 u"05/Aug/2024 ",
                                                 u"99999999999999999999",
                                                 u"-9223372036854775808",
                                                 u"999999999999999999",
                                                 u"9223372036854775808",
                                                 u"-",
                                                 u".",
                                                 u":",
                                                 u"ab"};
        // For a leading date-time column, mostly a whole date-time in a
        // fixed-width layout first, its fields at their edges and beyond.
        static const char16_t* const datetimes[] = {u"2024-08-05 13:07:10.320",
                                                    u"2024-02-29 23:59:59.999",
                                                    u"2023-02-29 00:00:00.000",
                                                    u"1969-12-31 23:59:59",
                                                    u"3000-12-31 23:59:59.999",
                                                    u"2024-13-01 24:00:00.000",
                                                    u"2024-00-00 00:60:00",
                                                    u"2024-08-05 23:59:60.000",
                                                    u"05.08.2024 13:07",
                                                    u"2024/08/05T13:07:10,320",
                                                    u"+2024-08-05",
                                                    u"130710"};
        std::size_t size = pick(40) == 0 ? kMaxLineText - 8 + pick(16) : pick(60);
        std::u16string out;
        if (lead && pick(4) != 0) {
            out = std::u16string(datetimes[pick(std::size(datetimes))]) + u";";
            size += out.size();
        }
        while (out.size() < size) {
            const std::u16string_view piece = pieces[pick(sizeof pieces / sizeof *pieces)];
            out += size > 1000 && out.size() + 1000 < size ? std::u16string(999, u'a') + u';' : std::u16string(piece);
        }
        if (out.size() > size)
            out.resize(size);
        return out;
    }

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

private:
    void type_leaves(log_pattern_list& items)
    {
        for (log_pattern& item : items) {
            if (item.sub_items.empty())
                item.data_format = format();
            else
                type_leaves(item.sub_items);
        }
    }

    static std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

    std::mt19937 m_random;
    int m_names = 0;
};

TEST(parser_SplitDifferential, AgreesWithTheReferenceOnRandomParsersAndTexts)
{
    random_parsers random(20240805);
    int compared = 0;
    int complete = 0;
    for (int p = 0; p < 3000; ++p) {
        const log_pattern_list parser = random.parser(0);
        for (int t = 0; t < 20; ++t) {
            const std::u16string text = random.text();
            const reference_result want = reference_split(text, parser);
            // The text is handed over in a buffer of exactly its size, so
            // that a read past its end is caught by the address sanitizer.
            std::vector<char16_t> exact(text.begin(), text.end());
            log_line line;
            std::u16string failed;
            const bool ok = split_line(line, exact.data(), exact.size(), parser, true, &failed);
            std::vector<reference_column> got;
            for (const log_column& column : line.columns())
                got.push_back({column.offset, column.length});
            ASSERT_EQ(ok, want.ok) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ASSERT_EQ(got, want.columns) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ASSERT_EQ(failed, want.failed) << "parser " << p << " text '" << ToUtf8(text) << "'";
            ++compared;
            complete += ok ? 1 : 0;
        }
    }
    // Both outcomes must be well represented, or the comparison says little.
    EXPECT_GT(complete, compared / 20);
    EXPECT_LT(complete, compared - compared / 20);
}

TEST(parser_SplitDifferential, WindowLineRecordsAgreeWithTheReferenceAndTheirTypedValues)
{
    random_parsers random(20261210);
    log_line reused; // split with copy again and again, as a walk over a file does
    int compared = 0;
    int complete = 0;
    int valid_values = 0;
    int cut = 0;
    int fixed_reads = 0;
    const case_budget budget(300, 1500);
    for (int p = 0; budget.more(p); ++p) {
        const log_pattern_list parser = random.typed_parser();
        std::vector<const log_pattern*> leaves;
        const auto count = static_cast<std::size_t>(leaf_count(parser, &leaves));
        const split_plan plan(parser);
        for (int t = 0; t < 8; ++t) {
            const std::u16string given = random.value_text(parser.front().name == u"t");
            // A line holds at most kMaxLineText characters: the rest is not seen.
            const std::u16string text = given.substr(0, kMaxLineText);
            cut += given.size() > text.size() ? 1 : 0;
            const reference_result want = reference_split(text, parser);
            const std::unique_ptr<log_line> line(log_line::create(given, count));
            ASSERT_EQ(line->text(), text);
            const bool ok = split_line(*line, line->text().data(), line->text().size(), parser, false);
            const bool reused_ok = split_line(reused, given.data(), given.size(), parser, true);
            // The window's way: one block, split in place with a plan.
            const std::unique_ptr<log_line> planned(log_line::create(given, count));
            const bool planned_ok = split_line(*planned, planned->text().data(), planned->text().size(), plan, false);
            const std::string where = "parser " + std::to_string(p) + " text of " + std::to_string(given.size());
            ASSERT_EQ(ok, want.ok) << where;
            ASSERT_EQ(reused_ok, want.ok) << where;
            ASSERT_EQ(planned_ok, want.ok) << where;
            ASSERT_EQ(line->columns().size(), want.columns.size()) << where;
            ASSERT_EQ(reused.columns().size(), want.columns.size()) << where;
            ASSERT_EQ(planned->columns().size(), want.columns.size()) << where;
            for (std::size_t c = 0; c < want.columns.size(); ++c) {
                const reference_column& column = want.columns[c];
                tagDATA_VALUE value;
                ParseDataValue(value, text.data() + column.start, column.length, leaves[c]->data_format);
                // The fixed-width reading, where it applies, agrees on its own.
                const fixed_datetime fixed(leaves[c]->data_format);
                tagDATA_VALUE fast;
                if (fixed.read(text.data() + column.start, column.length, fast)) {
                    ASSERT_EQ(fast.valid, value.valid) << where << " column " << c;
                    ASSERT_EQ(fast.payload, value.payload) << where << " column " << c;
                    ASSERT_EQ(fast.milliseconds, value.milliseconds) << where << " column " << c;
                    ++fixed_reads;
                }
                for (const log_line* split : {line.get(), &reused, planned.get()}) {
                    const log_column& got = split->columns()[c];
                    ASSERT_EQ(got.offset, column.start) << where << " column " << c;
                    ASSERT_EQ(got.length, column.length) << where << " column " << c;
                    ASSERT_EQ(split->text_of(got), std::u16string_view(text).substr(column.start, column.length));
                    ASSERT_EQ(got.value().valid, value.valid) << where << " column " << c;
                    ASSERT_EQ(got.value().payload, value.payload) << where << " column " << c;
                    ASSERT_EQ(got.value().milliseconds, value.milliseconds) << where << " column " << c;
                }
                valid_values += value.valid && leaves[c]->data_format.data_type != DATA_TYPE_TEXT ? 1 : 0;
            }
            ++compared;
            complete += ok ? 1 : 0;
        }
    }
    EXPECT_GT(complete, compared / 25);
    EXPECT_LT(complete, compared - compared / 20);
    EXPECT_GT(valid_values, compared / 200); // typed values are read, not only rejected
    EXPECT_GT(cut, 0);
    // The fixed-width reading is reached (its values are checked in full below).
    EXPECT_GT(fixed_reads, 0);
}

// The zone for one test, and the one before it again afterwards.
class zone_for_test {
public:
    explicit zone_for_test(const char* zone)
    {
        const char* previous = std::getenv("TZ");
        m_had = previous != nullptr;
        m_previous = previous ? previous : "";
        setenv("TZ", zone, 1);
        LocalTimeZoneChanged();
    }
    ~zone_for_test()
    {
        if (m_had)
            setenv("TZ", m_previous.c_str(), 1);
        else
            unsetenv("TZ");
        LocalTimeZoneChanged();
    }
    zone_for_test(const zone_for_test&) = delete;
    zone_for_test& operator=(const zone_for_test&) = delete;

private:
    std::string m_previous;
    bool m_had = false;
};

// Lines of a log share their date and minute with the line before: runs of
// texts that differ in their seconds and milliseconds only (now and then in
// a character out of place), on days whose offset changes and on days at
// the ends of the range, read as the full parse reads them.  Readers of two
// formats take turns on the same texts, and the zone changes between runs.
TEST(parser_SplitDifferential, RunsOfTheSameMinuteAgreeWithTheFullParse)
{
    static const char16_t* const layouts[] = {u"Y-m-d H:M:S.s", u"Y-d-m H:M:S.s", u"Y-m-dTH:M:S", u"d/m/Y H:M"};
    // Date and minute: spring and autumn changes in Berlin, a skipped day in
    // Apia, a half-hour zone, the first and last convertible days, the
    // minute that Monrovia cut in two.
    struct minute {
        const char16_t* date;
        const char16_t* time;
    };
    static const minute minutes[] = {{u"2024-03-31", u"01:59"}, {u"2024-03-31", u"02:30"}, {u"2024-03-31", u"03:00"},
                                     {u"2024-10-27", u"02:00"}, {u"2024-10-27", u"02:59"}, {u"2024-10-27", u"03:00"},
                                     {u"2011-12-30", u"12:00"}, {u"2011-12-31", u"00:00"}, {u"2024-11-03", u"01:30"},
                                     {u"1970-01-01", u"00:00"}, {u"1969-12-31", u"23:59"}, {u"3000-12-31", u"23:59"},
                                     {u"2024-08-05", u"13:07"}, {u"2024-02-29", u"23:59"}, {u"1972-01-07", u"00:44"}};
    // Monrovia moved its clocks by 44 minutes 30 seconds in 1972: half of
    // one minute never showed.
    static const char* const zones[] = {"Europe/Berlin",    "Pacific/Apia",    "America/New_York",
                                        "America/St_Johns", "Africa/Monrovia", "UTC"};
    static const char16_t* const seconds[] = {u"00", u"01", u"29", u"30", u"58", u"59", u"60", u"99"};
    static const char16_t strays[] = {u'-', u':', u' ', u'x', u'\0', u'\uFF10'};
    std::vector<fixed_datetime> readers;
    std::vector<tagDATA_FORMAT> formats;
    for (const char16_t* layout : layouts) {
        tagDATA_FORMAT format;
        format.data_type = DATA_TYPE_DATETIME;
        format.format = layout;
        formats.push_back(format);
        readers.emplace_back(format);
        ASSERT_TRUE(readers.back().usable());
    }
    std::mt19937 random(20261212);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    int valid = 0;
    int compared = 0;
    auto check = [&](std::size_t r, const std::u16string& text, const char* zone_name) {
        tagDATA_VALUE want;
        ParseDataValue(want, text.data(), text.size(), formats[r]);
        tagDATA_VALUE got;
        if (!readers[r].read(text.data(), text.size(), got))
            return;
        ++compared;
        valid += got.valid ? 1 : 0;
        const std::string where = std::string(zone_name) + " " + ToUtf8(formats[r].format) + " " + ToUtf8(text);
        ASSERT_EQ(got.valid, want.valid) << where;
        ASSERT_EQ(got.payload, want.payload) << where;
        ASSERT_EQ(got.milliseconds, want.milliseconds) << where;
    };
    // The last text of a zone is read again first in the next one.
    std::u16string last_text;
    std::size_t last_reader = 0;
    for (const char* zone_name : zones) {
        zone_for_test zone(zone_name);
        if (!last_text.empty())
            check(last_reader, last_text, zone_name);
        for (const minute& m : minutes) {
            const std::u16string date(m.date);
            const std::u16string year = date.substr(0, 4);
            const std::u16string month = date.substr(5, 2);
            const std::u16string day = date.substr(8, 2);
            const std::u16string hour = std::u16string(m.time).substr(0, 2);
            const std::u16string min = std::u16string(m.time).substr(3, 2);
            for (std::size_t r = 0; r < readers.size(); ++r) {
                // A run of one layout's texts; the readers of the first two
                // layouts (day and month swapped) now and then read each
                // other's texts, which begin with the same characters.
                for (int n = 0; n < 30; ++n) {
                    const std::u16string second = seconds[pick(std::size(seconds))];
                    const std::u16string millis = std::u16string(1, u"0123456789"[pick(10)]) + u"00";
                    const std::u16string texts[] = {
                        year + u"-" + month + u"-" + day + u" " + hour + u":" + min + u":" + second + u"." + millis,
                        year + u"-" + day + u"-" + month + u" " + hour + u":" + min + u":" + second + u"." + millis,
                        year + u"-" + month + u"-" + day + u"T" + hour + u":" + min + u":" + second,
                        day + u"/" + month + u"/" + year + u" " + hour + u":" + min};
                    std::u16string text = texts[r];
                    if (pick(10) == 0)
                        text[pick(text.size())] = strays[pick(std::size(strays))];
                    const std::size_t reader = r < 2 && pick(4) == 0 ? r ^ 1 : r;
                    check(reader, text, zone_name);
                    if (::testing::Test::HasFatalFailure())
                        return;
                    last_text = text;
                    last_reader = reader;
                }
            }
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_GT(valid, 2500);
}

TEST(parser_SplitDifferential, FixedWidthDateTimesAgreeWithTheFullParse)
{
    // Texts in each layout's shape, their digits at the fields' edges and
    // beyond (month 13, day 0, hour 24, second 60, leap days, years outside
    // 1970 to 3000), now and then a literal or a digit out of place.
    static const char16_t* const layouts[] = {u"Y-m-d H:M:S.s", u"Y-m-dTH:M:S", u"d/m/Y H:M", u"H:M:S,s", u"Y"};
    static const char16_t* const two_digits[] = {u"00", u"01", u"02", u"12", u"13", u"23", u"24",
                                                 u"28", u"29", u"30", u"31", u"59", u"60", u"99"};
    static const char16_t* const years[] = {u"1969", u"1970", u"2023", u"2024", u"2100", u"3000", u"3001", u"0000"};
    std::mt19937 random(20261211);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    int reads = 0;
    int valid = 0;
    for (const char16_t* layout : layouts) {
        tagDATA_FORMAT format;
        format.data_type = DATA_TYPE_DATETIME;
        format.format = layout;
        const fixed_datetime fixed(format);
        ASSERT_TRUE(fixed.usable()) << ToUtf8(format.format);
        for (int n = 0; n < 4000; ++n) {
            std::u16string text;
            for (const char16_t c : format.format) {
                if (c == u'Y')
                    text += years[pick(std::size(years))];
                else if (c == u's')
                    text += std::u16string(two_digits[pick(std::size(two_digits))]) + u"0123456789"[pick(10)];
                else if (IsDateTimeFormatLetter(c))
                    text += two_digits[pick(std::size(two_digits))];
                else
                    text += c;
            }
            // Out of place: characters on either side of the digits, a NUL,
            // a full-width digit and one past the signed 16-bit range.
            static const char16_t strays[] = {u'-', u':', u' ', u'7', u'x', u'+', u'/', u'\0', u'\uFF10', u'\u8030'};
            if (pick(8) == 0)
                text[pick(text.size())] = strays[pick(std::size(strays))];
            if (pick(16) == 0)
                text += u"0 "[pick(2)];
            tagDATA_VALUE want;
            ParseDataValue(want, text.data(), text.size(), format);
            tagDATA_VALUE got;
            if (!fixed.read(text.data(), text.size(), got))
                continue;
            ++reads;
            valid += got.valid ? 1 : 0;
            ASSERT_EQ(got.valid, want.valid) << ToUtf8(text);
            ASSERT_EQ(got.payload, want.payload) << ToUtf8(text);
            ASSERT_EQ(got.milliseconds, want.milliseconds) << ToUtf8(text);
        }
    }
    EXPECT_GT(valid, 2000);
    EXPECT_GT(reads - valid, 2000);
    // Formats the fixed reading leaves to the full parse.
    for (const char16_t* other : {u"d/b/Y", u"y-m-d", u"h:M p", u"YmdHMS", u"Y0m", u"S B", u"", u"- :", u"H:M H"}) {
        tagDATA_FORMAT format;
        format.data_type = DATA_TYPE_DATETIME;
        format.format = other;
        EXPECT_FALSE(fixed_datetime(format).usable()) << ToUtf8(format.format);
    }
}

} // namespace
