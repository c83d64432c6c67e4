// Any text, of any length and content, gives a valid or an invalid value and
// is never read outside its length: every text here sits in a heap block of
// exactly its length, so the address sanitizer catches a read past it.
#include "format_test_support.h"

#include "format/datetime.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

uint64_t NextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Characters that matter to some parser, plus NUL and lone surrogates.
const char16_t ALPHABET[] = {u'0', u'1', u'2', u'5', u'9', u'.', u',',  u'+',      u'-',      u' ',      u'/',  u':',
                             u'A', u'M', u'P', u'J', u'a', u'n', u'\0', u'\xD800', u'\xDC00', u'\xFFFF', u'\t', u'%'};

std::vector<tagDATA_FORMAT> AllFormats()
{
    std::vector<tagDATA_FORMAT> formats = {NumericFormat(0), NumericFormat(2), NumericFormat(15), Ipv4Format()};
    for (const char16_t* pattern :
         {u"d/b/Y H:M:S", u"h:M p", u"Y-m-d", u"H:M:S.s", u"YymBbdHhMSsp", u"y", u"s", u"\xD800Y", u"Y\0m", u"p"})
        formats.push_back(DateTimeFormat(pattern));
    formats.push_back(DateTimeFormat(std::u16string(u"Y\0m", 3)));
    return formats;
}

void ParseExact(const std::u16string& text, const tagDATA_FORMAT& format)
{
    std::unique_ptr<char16_t[]> exact(new char16_t[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), exact.get());
    tagDATA_VALUE value;
    ParseDataValue(value, exact.get(), text.size(), format);
    if (!value.valid) {
        EXPECT_EQ(value.payload, 0);
        EXPECT_EQ(value.milliseconds, 0);
    }
    std::u16string formatted = u"x";
    if (value.valid && FormatDataValue(value, format, formatted)) {
        EXPECT_FALSE(formatted.empty());
    }
}

TEST(BadInput, RandomTextsOfAnyLengthNeverReadOutside)
{
    const auto formats = AllFormats();
    uint64_t state = 0x2545F4914F6CDD1DULL;
    for (int i = 0; i < 30000; ++i) {
        const std::size_t length = NextRandom(state) % (i % 100 == 0 ? 400 : 24);
        std::u16string text;
        for (std::size_t k = 0; k < length; ++k)
            text += ALPHABET[NextRandom(state) % (sizeof ALPHABET / sizeof ALPHABET[0])];
        for (const auto& format : formats)
            ParseExact(text, format);
    }
}

TEST(BadInput, PrefixesOfValidTextsAreHandled)
{
    const std::pair<tagDATA_FORMAT, std::u16string> inputs[] = {
        {DateTimeFormat(u"d/b/Y H:M:S"), u"05/Aug/2024 13:07:09"},
        {DateTimeFormat(u"h:M:S.s p"), u"01:02:03.456 PM"},
        {NumericFormat(3), u"-1,234,567.891"},
        {Ipv4Format(), u"192.168.100.200"},
    };
    for (const auto& [format, text] : inputs)
        for (std::size_t length = 0; length <= text.size(); ++length)
            ParseExact(text.substr(0, length), format);
}

TEST(BadInput, HugeTextsGiveAResultQuickly)
{
    const std::u16string digits(1 << 20, u'7');
    for (const auto& format : AllFormats())
        ParseExact(digits, format);
    std::u16string commas(1 << 20, u',');
    commas.back() = u'1';
    const tagDATA_VALUE value = Parse(commas, NumericFormat(0));
    EXPECT_TRUE(value.valid);
    EXPECT_EQ(value.payload, 1);
    EXPECT_FALSE(Parse(digits, NumericFormat(0)).valid); // out of range
    EXPECT_FALSE(Parse(digits, NumericFormat(4)).valid);
    const std::u16string zeros = u"0." + std::u16string(1 << 16, u'0') + u"5";
    EXPECT_FALSE(Parse(zeros, NumericFormat(4)).valid); // underflows
}

TEST(BadInput, SurrogatesAndNulAreOrdinaryCharacters)
{
    const std::u16string with_nul(u"2024\0-01", 8);
    EXPECT_TRUE(Parse(with_nul, DateTimeFormat(u"Y-m")).valid); // the year field "2024\0" reads 2024
    EXPECT_FALSE(Parse(with_nul, DateTimeFormat(u"Y:m")).valid);
    EXPECT_TRUE(Parse(with_nul, DateTimeFormat(std::u16string(u"Y\0-m", 4))).valid);
    EXPECT_TRUE(Parse(u"\xD800"
                      u"2024",
                      DateTimeFormat(u"\xD800Y"))
                    .valid);
    EXPECT_FALSE(Parse(u"\xDC00"
                       u"2024",
                       DateTimeFormat(u"\xD800Y"))
                     .valid);
    EXPECT_FALSE(Parse(u"12\xD800", NumericFormat(0)).valid);
    EXPECT_FALSE(Parse(std::u16string(u"1.2.3.4\0", 8), Ipv4Format()).valid);
    tagDATETIME_WORDS words = DefaultDateTimeWords();
    EXPECT_EQ(DateTimeFormatFields(std::u16string(u"\0Y\xD800", 3)), 0x01u);
}

} // namespace
