#include "format/datetime.h"
#include "parser/datetime_extent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

tagDATA_FORMAT DateTime(std::u16string format, std::u16string language = u"")
{
    tagDATA_FORMAT data_format;
    data_format.data_type = DATA_TYPE_DATETIME;
    data_format.format = std::move(format);
    data_format.language = std::move(language);
    return data_format;
}

TEST(parser_DateTimeExtent, TheFormatCoversUpToTheEndOfItsLastField)
{
    const std::size_t none = kNoDateTimeExtent;
    const struct {
        const char16_t* format;
        const char16_t* text;
        std::size_t extent;
    } cases[] = {
        {u"Y-m-d H:M:S", u"2024-08-05 13:07:10 status", 19},
        {u"Y-m-d H:M:S", u"2024-08-05 13:07:10", 19},
        {u"Y-m-d H:M:S", u"2024-08-05 13:07:10.320 x", 19},
        {u"Y-m-d H:M:S.s", u"2024-08-05 13:07:10.320 x", 23},
        {u"Y-m-dTH:M:S.s", u"2024-08-05T13:07:10.320512Z", 26},
        {u"b d H:M:S", u"Aug 15 13:07:10 host", 15},
        {u"b  d H:M:S", u"Aug  5 13:07:10 host", 15},
        {u"b d H:M:S", u"Aug  5 13:07:10 host", 15}, // leading blanks belong to a number
        {u"B d", u"August 5th", 8},
        {u"b", u"Mayday", 3},
        {u"h:M p", u"01:15 PM later", 8},
        {u"h:M p", u"01:15 AM", 8},
        {u"H:M:S", u"-1:+2:3", 7},                           // one sign is part of a number, as the parse reads it
        {u"Y-m-d H:M:S", u"2024-08-05T13:07:10", none},      // a literal is missing
        {u"Y-m-d", u"update-alternatives 2024-08-05", none}, // a number has no digit
        {u"b d", u"aug 15", none},                           // month names are case-sensitive
        {u"h:M p", u"01:15 XX", none},                       // 'p' needs one of the words
        {u"Y-m-d H:M:S", u"2024-08-05 13:07", none},         // the text ends inside the format
        {u"-:-", u"-:-", none},                              // no letter at all
        {u"Y-m-d", u"", none},
    };
    for (const auto& c : cases) {
        const std::u16string text = c.text;
        EXPECT_EQ(DateTimeExtent(text.data(), text.size(), DateTime(c.format)), c.extent)
            << std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format));
    }
}

TEST(parser_DateTimeExtent, AFieldReadsAtMost103Characters)
{
    std::u16string digits(103, u'1');
    EXPECT_EQ(DateTimeExtent(digits.data(), digits.size(), DateTime(u"Y")), 103u);
    digits += u'1';
    EXPECT_EQ(DateTimeExtent(digits.data(), digits.size(), DateTime(u"Y")), 103u);
    std::u16string blanks(103, u' ');
    blanks += u'7';
    EXPECT_EQ(DateTimeExtent(blanks.data(), blanks.size(), DateTime(u"Y")), kNoDateTimeExtent);
}

TEST(parser_DateTimeExtent, MonthNamesComeFromTheColumnsLanguage)
{
    tagDATETIME_WORDS words = DefaultDateTimeWords();
    words.nick_name[7] = u"Aou";
    words.full_name[6] = u"Juillet";
    SetDateTimeLanguages({{u"Fr", words}});
    const std::u16string text = u"Aou 15";
    EXPECT_EQ(DateTimeExtent(text.data(), text.size(), DateTime(u"b d", u"Fr")), 6u);
    EXPECT_EQ(DateTimeExtent(text.data(), text.size(), DateTime(u"b d")), kNoDateTimeExtent);
    const std::u16string july = u"Juillet 4";
    EXPECT_EQ(DateTimeExtent(july.data(), july.size(), DateTime(u"B d", u"Fr")), 9u);
    SetDateTimeLanguages({});
}

TEST(parser_DateTimeExtent, WholeCoverageHasNothingLeftOver)
{
    const std::u16string whole = u"13:07:10";
    const std::u16string more = u"13:07:10.320";
    EXPECT_TRUE(DateTimeCoversWhole(whole.data(), whole.size(), DateTime(u"H:M:S")));
    EXPECT_FALSE(DateTimeCoversWhole(more.data(), more.size(), DateTime(u"H:M:S")));
    EXPECT_TRUE(DateTimeCoversWhole(more.data(), more.size(), DateTime(u"H:M:S.s")));
    EXPECT_FALSE(DateTimeCoversWhole(u"", 0, DateTime(u"H:M:S")));
}

} // namespace
