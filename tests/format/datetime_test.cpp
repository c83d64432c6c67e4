#include "format_test_support.h"

#include "format/datetime.h"
#include "format/local_time.h"

#include <gtest/gtest.h>

namespace {

struct parse_case {
    std::u16string format;
    std::u16string text;
    bool valid;
    int year, month, day, hour, minute, second, milliseconds;
};

// Local time fields of the machine, as the plain C library conversion
// gives them (none of these cases falls on a daylight saving change).
class DateTimeParse : public ::testing::Test {
protected:
    scoped_time_zone m_zone{"Europe/Berlin"};
};

TEST_F(DateTimeParse, TextsAgainstTheirFormats)
{
    const parse_case cases[] = {
        {u"d/b/Y H:M:S", u"05/Aug/2024 13:07:09", true, 2024, 8, 5, 13, 7, 9, 0},
        {u"d/b/Y H:M:S", u"05/aug/2024 13:07:09", false}, // names are case-sensitive
        {u"d/b/Y H:M:S", u"5/Aug/2024 13:07:09", true, 2024, 8, 5, 13, 7, 9, 0},
        {u"d/b/Y H:M:S", u"05/August/2024 13:07:09", false}, // 'b' wants the short name
        {u"d/B/Y H:M:S", u"05/August/2024 13:07:09", true, 2024, 8, 5, 13, 7, 9, 0},
        {u"d/b/Y H:M:S", u"05/Aug/2024 13:07:09 trailing", true, 2024, 8, 5, 13, 7, 9, 0},
        {u"d/b/Y H:M:S", u"05/Aug/2024 13:07", false}, // terminator ':' missing
        {u"d/b/Y H:M:S", u"05-Aug/2024 13:07:09", false},
        {u"d/b/Y H:M:S", u"/Aug/2024 13:07:09", false}, // empty field
        {u"Y-m-d", u"2024-12-31", true, 2024, 12, 31, 0, 0, 0, 0},
        {u"Y-m-d", u"2024-13-01", false},
        {u"Y-m-d", u"2024-00-10", false},
        {u"Y-m-d", u"2024-01-05 and more", true, 2024, 1, 5, 0, 0, 0, 0},
        {u"Y-m-d", u"2024-01-32", false},
        {u"Y-m-d", u"2024-01-00", false},
        {u"Y-m-d", u"2023-02-31", true, 2023, 3, 3, 0, 0, 0, 0}, // carried over into March
        {u"Y-m-d", u"2024-02-30", true, 2024, 3, 1, 0, 0, 0, 0},
        {u"Y-m-d", u" 2024- +1-  7", true, 2024, 1, 7, 0, 0, 0, 0}, // spaces and a sign before numbers
        {u"Y-m-d", u"2024-x-1", false},                             // no digits reads 0: out of range
        {u"H:M:S.s", u"23:59:59.999", true, 1970, 2, 1, 23, 59, 59, 999},
        {u"H:M:S.s", u"24:00:00.000", false},
        {u"H:M:S.s", u"10:00:00.1000", false},
        {u"H:M:S.s", u"10:60:00.0", false},
        {u"H:M:S.s", u"10:00:60.0", false},
        {u"H:M:S.s", u"10:-1:00.0", false},
        {u"H:M:S.s", u"7:5:3.2", true, 1970, 2, 1, 7, 5, 3, 2},
        {u"h:M p", u"12:30 AM", true, 1970, 2, 1, 0, 30, 0, 0},
        {u"h:M p", u"12:30 PM", true, 1970, 2, 1, 12, 30, 0, 0},
        {u"h:M p", u"01:15 PM", true, 1970, 2, 1, 13, 15, 0, 0},
        {u"h:M p", u"01:15 XX", true, 1970, 2, 1, 1, 15, 0, 0},
        {u"h:M p", u"01:15 pm", true, 1970, 2, 1, 1, 15, 0, 0},
        {u"h:M p", u"13:15 PM", false},
        {u"h:M p", u"0:15 PM", false},
        {u"H:M p", u"01:15 PM", true, 1970, 2, 1, 1, 15, 0, 0}, // 'H' is never adjusted
        {u"p h:M", u"PM 11:05", true, 1970, 2, 1, 23, 5, 0, 0},
        {u"m", u"7", true, 1970, 7, 1, 0, 0, 0, 0},
        {u"YmdHMS", u"2024", false}, // terminator is the letter 'm'
        {u"Ym", u"2024m", false},    // 'm' then reads "m": no number
        {u"[Y]", u"[2024]", true, 2024, 2, 1, 0, 0, 0, 0},
        {u"[Y]", u"[2024", false},
        {u"%Y", u"%2024", true, 2024, 2, 1, 0, 0, 0, 0},           // '%' is a literal
        {u"\u5E74Y", u"\u5E742024", true, 2024, 2, 1, 0, 0, 0, 0}, // non-ASCII literal
        {u"Y\u5E74", u"2024\u5E74", true, 2024, 2, 1, 0, 0, 0, 0},
        {u"---", u"---", false}, // no format letter
        {u"", u"2024", false},
        {u"Y-", u"2024", false}, // literal after the text ended
    };
    for (const auto& c : cases) {
        const tagDATA_VALUE value = Parse(c.text, DateTimeFormat(c.format));
        const std::string label = Narrow(c.format) + " <- " + Narrow(c.text);
        ASSERT_EQ(value.valid, c.valid) << label;
        if (!c.valid) {
            EXPECT_EQ(value.payload, 0) << label;
            continue;
        }
        EXPECT_EQ(value.payload, MktimeSeconds(c.year, c.month, c.day, c.hour, c.minute, c.second)) << label;
        EXPECT_EQ(value.milliseconds, c.milliseconds) << label;
    }
}

TEST_F(DateTimeParse, DatesOutsideTheConvertibleRangeAreValidWithSecondZero)
{
    const std::pair<std::u16string, int64_t> cases[] = {
        {u"1969-12-31 23:59:59", 0}, // Berlin is ahead of UTC: before the epoch
        {u"1970-01-01 00:59:59", 0},
        {u"1970-01-01 01:00:00", 0}, // exactly the epoch
        {u"1970-01-01 01:00:01", 1},
        {u"3000-12-31 23:59:59", LATEST_CONVERTIBLE_SECONDS - 3600},
        {u"3001-01-01 00:59:59", LATEST_CONVERTIBLE_SECONDS},
        {u"3001-01-01 01:00:00", 0},
        {u"0-01-01 00:00:00", 0},
        {u"99999999999999999999-01-01 00:00:00", 0},
    };
    for (const auto& [text, seconds] : cases) {
        const tagDATA_VALUE value = Parse(text, DateTimeFormat(u"Y-m-d H:M:S"));
        EXPECT_TRUE(value.valid) << Narrow(text);
        EXPECT_EQ(value.payload, seconds) << Narrow(text);
    }
}

TEST_F(DateTimeParse, FieldsLongerThan103CharactersAreInvalid)
{
    const std::u16string pad103(99, u' ');
    EXPECT_TRUE(Parse(pad103 + u"2024-1", DateTimeFormat(u"Y-m")).valid);   // 103 characters
    EXPECT_FALSE(Parse(pad103 + u" 2024-1", DateTimeFormat(u"Y-m")).valid); // 104
    EXPECT_TRUE(Parse(u"2024-" + std::u16string(102, u'0') + u"1", DateTimeFormat(u"Y-m")).valid);
    EXPECT_FALSE(Parse(u"2024-" + std::u16string(103, u'0') + u"1", DateTimeFormat(u"Y-m")).valid);
    // A terminator far away: the field would be too long.
    EXPECT_FALSE(Parse(u"2024" + std::u16string(200, u'x') + u"-1", DateTimeFormat(u"Y-m")).valid);
}

TEST_F(DateTimeParse, TwoDigitYearsFallInTheCurrentCentury)
{
    const int64_t century = CurrentLocalYear() / 100 * 100;
    const std::pair<std::u16string, int64_t> cases[] = {
        {u"99", century + 99}, {u"00", century}, {u"5", century + 5}, {u"2024", century + 24}, {u"199", century + 99},
    };
    for (const auto& [text, year] : cases) {
        const tagDATA_VALUE value = Parse(text + u"-06-15", DateTimeFormat(u"y-m-d"));
        ASSERT_TRUE(value.valid);
        EXPECT_EQ(value.payload, MktimeSeconds(static_cast<int>(year), 6, 15, 0, 0, 0)) << Narrow(text);
    }
}

tagDATA_VALUE LocalValue(int year, int month, int day, int hour, int minute, int second, int milliseconds = 0)
{
    tagDATA_VALUE value;
    value.payload = MktimeSeconds(year, month, day, hour, minute, second);
    value.milliseconds = static_cast<int16_t>(milliseconds);
    value.valid = true;
    return value;
}

TEST_F(DateTimeParse, FormattingTranslatesEveryLetter)
{
    const std::tuple<std::u16string, tagDATA_VALUE, std::u16string> cases[] = {
        {u"d/b/Y H:M:S", LocalValue(2024, 8, 5, 13, 7, 9), u"05/Aug/2024 13:07:09"},
        {u"B d, Y", LocalValue(2024, 9, 1, 0, 0, 0), u"September 01, 2024"},
        {u"h:M p", LocalValue(2024, 1, 1, 0, 30, 0), u"12:30 AM"},
        {u"h:M p", LocalValue(2024, 1, 1, 12, 30, 0), u"12:30 PM"},
        {u"h:M p", LocalValue(2024, 1, 1, 23, 5, 0), u"11:05 PM"},
        {u"H:M:S.s", LocalValue(2024, 1, 1, 1, 2, 3, 7), u"01:02:03.007"},
        {u"H:M:S.s", LocalValue(2024, 1, 1, 1, 2, 3, 999), u"01:02:03.999"},
        {u"y-m-d", LocalValue(2005, 3, 4, 0, 0, 0), u"05-03-04"},
        {u"100% Y", LocalValue(2024, 1, 1, 0, 0, 0), u"100% 2024"},
        {u"Y\u5E74m\u6708", LocalValue(2024, 7, 1, 0, 0, 0), u"2024\u5E7407\u6708"},
        {u"b <b> B", LocalValue(2024, 5, 1, 0, 0, 0), u"May <May> May"},
        {u"T", LocalValue(2024, 5, 1, 0, 0, 0), u"T"},
    };
    for (const auto& [format, value, expected] : cases) {
        std::u16string text;
        ASSERT_TRUE(FormatDataValue(value, DateTimeFormat(format), text)) << Narrow(format);
        EXPECT_TRUE(text == expected) << Narrow(format) << " gave " << Narrow(text);
    }
}

TEST_F(DateTimeParse, FormattingRefusesWhatCannotBeShown)
{
    std::u16string text = u"untouched";
    tagDATA_VALUE value = LocalValue(2024, 1, 1, 0, 0, 0);
    value.milliseconds = 1000;
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(u"Y"), text));
    value.milliseconds = -1;
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(u"Y"), text));
    value.milliseconds = 0;
    value.payload = -1;
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(u"Y"), text));
    value.payload = LATEST_CONVERTIBLE_SECONDS + 1;
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(u"Y"), text));
    value.payload = LATEST_CONVERTIBLE_SECONDS;
    EXPECT_TRUE(FormatDataValue(value, DateTimeFormat(u"Y-m-d H:M:S"), text));
    EXPECT_TRUE(text == u"3001-01-01 00:59:59");
    value.payload = 0;
    EXPECT_TRUE(FormatDataValue(value, DateTimeFormat(u"Y-m-d H:M:S"), text));
    EXPECT_TRUE(text == u"1970-01-01 01:00:00");

    // The strftime translation holds at most 199 characters.
    text = u"untouched";
    EXPECT_TRUE(FormatDataValue(value, DateTimeFormat(std::u16string(199, u'x')), text));
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(std::u16string(200, u'x')), text));
    // ... and so does the text it formats before the names go in.
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(u"Y" + std::u16string(196, u'x')), text));
    EXPECT_TRUE(FormatDataValue(value, DateTimeFormat(u"Y" + std::u16string(195, u'x')), text));
    EXPECT_FALSE(FormatDataValue(value, DateTimeFormat(std::u16string(100, u'%')), text));
    EXPECT_EQ(text.size(), 199u);
}

TEST(DateTimeRoundTrip, FormatThenParseGivesTheSameSecondsInWinterAndSummer)
{
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "UTC"}) {
        scoped_time_zone scoped(zone);
        const std::tuple<int, int, int, int, int, int> moments[] = {
            {2024, 1, 15, 8, 30, 0}, {2024, 7, 15, 8, 30, 0}, {1999, 12, 31, 23, 59, 59},
            {2000, 2, 29, 12, 0, 0}, {2037, 6, 1, 6, 6, 6},   {2150, 8, 20, 17, 45, 1},
        };
        for (const auto& [y, mo, d, h, mi, s] : moments) {
            for (const char16_t* format : {u"d/m/Y H:M:S.s", u"d/b/Y h:M:S p", u"B d Y H M S s"}) {
                tagDATA_VALUE value = LocalValue(y, mo, d, h, mi, s, 321);
                std::u16string text;
                ASSERT_TRUE(FormatDataValue(value, DateTimeFormat(format), text));
                const tagDATA_VALUE back = Parse(text, DateTimeFormat(format));
                ASSERT_TRUE(back.valid) << zone << " " << Narrow(text);
                EXPECT_EQ(back.payload, value.payload) << zone << " " << Narrow(text);
                EXPECT_EQ(back.milliseconds, DateTimeFormatFields(format) & 0x40 ? 321 : 0);
            }
        }
    }
}

TEST_F(DateTimeParse, EveryCharacterButTheTwelveLettersIsALiteral)
{
    int letters = 0;
    for (uint32_t code = 0; code <= 0xFFFF; ++code) {
        const auto c = static_cast<char16_t>(code);
        const bool letter = DATETIME_FORMAT_LETTERS.find(c) != std::u16string_view::npos;
        ASSERT_EQ(IsDateTimeFormatLetter(c), letter) << code;
        letters += letter;
        if (letter)
            continue;
        const std::u16string format = std::u16string(1, c) + u"Y";
        ASSERT_TRUE(Parse(std::u16string(1, c) + u"2024", DateTimeFormat(format)).valid) << code;
        ASSERT_FALSE(Parse(u"#2024", DateTimeFormat(format)).valid && c != u'#') << code;
    }
    EXPECT_EQ(letters, 12);
}

TEST(DateTimeRoundTrip, DatesPickedInADialogComeBackWithTheSameSeconds)
{
    scoped_time_zone zone("Europe/Berlin");
    for (const auto& [y, mo, d] : {std::tuple{2024, 1, 15}, std::tuple{2024, 7, 15}, std::tuple{2024, 3, 31},
                                   std::tuple{2024, 10, 27}, std::tuple{1970, 1, 2}, std::tuple{3000, 12, 31}}) {
        const tagDATA_VALUE value = LocalValue(y, mo, d, 0, 0, 0);
        std::u16string text;
        ASSERT_TRUE(FormatDataValue(value, DateTimeFormat(u"d/m/Y"), text));
        const tagDATA_VALUE back = Parse(text, DateTimeFormat(u"d/m/Y"));
        ASSERT_TRUE(back.valid);
        EXPECT_EQ(back.payload, value.payload) << Narrow(text);
    }
}

TEST(DateTimeFormatFields, ReportsTheBitsOfTheLettersFound)
{
    const std::pair<std::u16string, uint32_t> cases[] = {
        {u"", 0},         {u"d/b/Y H:M:S", 0x3F}, {u"y", 0x01}, {u"m", 0x02},       {u"B", 0x02},
        {u"h:M p", 0x98}, {u"S.s", 0x60},         {u"x-z%", 0}, {u"\u00FFY", 0x01}, {u"YymBbdHhMSsp", 0xFF},
    };
    for (const auto& [format, bits] : cases)
        EXPECT_EQ(DateTimeFormatFields(format), bits) << Narrow(format);
}

} // namespace
