#include "platform/strings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {

TEST(Utf8Conversion, RoundTripsEveryPlane)
{
    const std::u16string samples[] = {u"plain", u"Grüße", u"日本語", u"\U0001F600 emoji",
                                      std::u16string(u"nul\0inside", 10)};
    for (const auto& s : samples) {
        std::string utf8;
        ASSERT_TRUE(WideToUtf8(s, utf8));
        std::u16string back;
        ASSERT_TRUE(Utf8ToWide(utf8, back));
        EXPECT_EQ(back, s);
    }
}

TEST(Utf8Conversion, EmptyInputGivesEmptyOutputAndSuccess)
{
    std::string narrow = "stale";
    std::u16string wide = u"stale";
    EXPECT_TRUE(WideToUtf8(u"", narrow));
    EXPECT_TRUE(Utf8ToWide("", wide));
    EXPECT_TRUE(narrow.empty());
    EXPECT_TRUE(wide.empty());
}

TEST(Utf8Conversion, RefusedInputLeavesOutputUnchanged)
{
    const std::string bad_utf8[] = {"\xC0\xAF",         "\xE0\x80\xAF", "\xED\xA0\x80",
                                    "\xF4\x90\x80\x80", "abc\xE2\x82",  "\xFF"};
    for (const auto& bad : bad_utf8) {
        std::u16string out = u"keep";
        EXPECT_FALSE(Utf8ToWide(bad, out)) << bad;
        EXPECT_EQ(out, u"keep");
    }
    const std::u16string bad_wide[] = {std::u16string(1, char16_t(0xD800)), std::u16string(1, char16_t(0xDC00)),
                                       std::u16string(u"a") + char16_t(0xD83D) + u"b"};
    for (const auto& bad : bad_wide) {
        std::string out = "keep";
        EXPECT_FALSE(WideToUtf8(bad, out));
        EXPECT_EQ(out, "keep");
    }
}

TEST(Utf8Conversion, LenientFormsReplaceInsteadOfFailing)
{
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              u"a\uFFFDb");
    EXPECT_EQ(ToUtf8(std::u16string(u"a") + char16_t(0xDC00) + u"b"), "a?b");
}

class AnsiConversion : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1); }
    void TearDown() override { unsetenv("VARNOTH_ANSI_CODEPAGE"); }
};

TEST_F(AnsiConversion, Windows1252MapsItsHighBytes)
{
    std::u16string wide;
    ASSERT_TRUE(AnsiToWide("\x80\x81\x9F\xE9", wide));
    EXPECT_EQ(wide, u"\u20AC\u0081\u0178\u00E9");
    std::string narrow;
    ASSERT_TRUE(WideToAnsi(wide, narrow));
    EXPECT_EQ(narrow, "\x80\x81\x9F\xE9");
}

TEST_F(AnsiConversion, CharacterOutsideCodePageIsRefused)
{
    std::string out = "keep";
    EXPECT_FALSE(WideToAnsi(u"\u65E5", out));
    EXPECT_EQ(out, "keep");
}

TEST_F(AnsiConversion, OtherCodePagesGoThroughTheSystemConverter)
{
    setenv("VARNOTH_ANSI_CODEPAGE", "ISO-8859-7", 1);
    std::u16string wide;
    ASSERT_TRUE(AnsiToWide("\xE1", wide));
    EXPECT_EQ(wide, u"\u03B1");
    std::string narrow;
    ASSERT_TRUE(WideToAnsi(u"\u03B1", narrow));
    EXPECT_EQ(narrow, "\xE1");
    EXPECT_FALSE(WideToAnsi(u"\u65E5", narrow));
}

// Every unit value in both byte orders, against a plain arithmetic decoding;
// an odd final byte is no unit.
TEST(Utf16Bytes, DecodeEveryUnitInBothOrdersAndIgnoreAnOddFinalByte)
{
    std::string little;
    std::string big;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        little += static_cast<char>(u % 256);
        little += static_cast<char>(u / 256);
        big += static_cast<char>(u / 256);
        big += static_cast<char>(u % 256);
    }
    const std::u16string text = Utf16LeToWide(little);
    ASSERT_EQ(text.size(), 0x10000u);
    const auto* l = reinterpret_cast<const unsigned char*>(little.data());
    const auto* b = reinterpret_cast<const unsigned char*>(big.data());
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        ASSERT_EQ(static_cast<unsigned>(text[u]), u);
        ASSERT_EQ(static_cast<unsigned>(Utf16Unit(l + 2 * u, true)), u);
        ASSERT_EQ(static_cast<unsigned>(Utf16Unit(b + 2 * u, false)), u);
    }
    EXPECT_EQ(Utf16LeToWide(""), u"");
    EXPECT_EQ(Utf16LeToWide(std::string("A", 1)), u"");
    EXPECT_EQ(Utf16LeToWide(std::string("A\0B", 3)), u"A");
}

TEST(ReplaceAll, Table)
{
    struct Row {
        std::u16string text, find, replacement, expected;
        std::size_t count;
    } rows[] = {
        {u"aaa", u"a", u"aa", u"aaaaaa", 3}, // resumes after the inserted text
        {u"abcabc", u"bc", u"", u"aa", 2},
        {u"abc", u"x", u"y", u"abc", 0},
        {u"", u"a", u"b", u"", 0},
        {u"abc", u"", u"b", u"abc", 0},
        {u"%s and %s", u"%s", u"%%s", u"%%s and %%s", 2},
    };
    for (auto& row : rows) {
        std::u16string text = row.text;
        EXPECT_EQ(ReplaceAll(text, row.find, row.replacement), row.count);
        EXPECT_EQ(text, row.expected);
    }
}

TEST(NameRules, ValidFileNamesAndXmlSpecials)
{
    EXPECT_TRUE(IsValidFileName(u"Apache access"));
    EXPECT_FALSE(IsValidFileName(u""));
    for (char16_t c : std::u16string(u"\"*/:<>?\\|"))
        EXPECT_FALSE(IsValidFileName(std::u16string(u"a") + c)) << char(c);
    EXPECT_FALSE(HasXmlSpecialChars(u"Time stamp"));
    for (char16_t c : std::u16string(u"\"'&<>"))
        EXPECT_TRUE(HasXmlSpecialChars(std::u16string(u"x") + c));
    EXPECT_TRUE(EqualsIgnoreAsciiCase(u"/Logs/A.LOG", u"/logs/a.log"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase(u"\u00C9", u"\u00E9")); // only ASCII letters fold
}

} // namespace

namespace {

struct decimal_case {
    const char* text;
    int64_t value;
    std::size_t length;
};

TEST(Decimal, ReadsAsTheTableSays)
{
    const decimal_case cases[] = {
        {"", 0, 0},
        {"   ", 0, 0},
        {"+", 0, 0},
        {"-", 0, 0},
        {" - 5", 0, 0}, // no blank between sign and digits
        {"x12", 0, 0},
        {"0", 0, 1},
        {"-0", 0, 2},
        {"007", 7, 3},
        {"-007", -7, 4},
        {" \t\n\v\f\r42", 42, 8},
        {"42abc", 42, 2},
        {"12 34", 12, 2},
        {"+9223372036854775807", INT64_MAX, 20},
        {"9223372036854775806", INT64_MAX - 1, 19},
        {"9223372036854775808", INT64_MAX, 19},  // one past: saturates
        {"-9223372036854775808", INT64_MIN, 20}, // exact
        {"-9223372036854775807", INT64_MIN + 1, 20},
        {"-9223372036854775809", INT64_MIN, 20}, // one past: saturates
        {"99999999999999999999999999", INT64_MAX, 26},
        {"-000000000000000000000009223372036854775808", INT64_MIN, 43},
        {"922337203685477580", 922337203685477580, 18},
        {"9223372036854775800x", 9223372036854775800, 19},
    };
    for (const decimal_case& c : cases) {
        std::size_t length = 99;
        EXPECT_EQ(ParseDecimal(std::string_view(c.text), &length), c.value) << c.text;
        EXPECT_EQ(length, c.length) << c.text;
        std::size_t wide_length = 99;
        EXPECT_EQ(ParseDecimal(FromUtf8(c.text), &wide_length), c.value) << c.text;
        EXPECT_EQ(wide_length, c.length) << c.text;
    }
    // Digits outside ASCII are no digits.
    EXPECT_EQ(ParseDecimal(std::u16string(u"\uFF11")), 0);
}

// Random strings of blanks, signs, leading zeros and up to 25 digits (past
// the 19 of the 64-bit range), read both here and by strtoll.
TEST(Decimal, AgreesWithStrtollOnRandomDigitStrings)
{
    std::mt19937_64 random(20261210);
    const char* const heads[] = {"", " ", "\t", "\n ", "+", "-", " -", "0", "-0", "000", "x", "- "};
    const char* const tails[] = {"", " ", "7", "a", "-1", "\r\n"};
    for (int round = 0; round < 20000; ++round) {
        std::string text = heads[random() % std::size(heads)];
        const std::size_t digits = random() % 26;
        // Half of the strings near the ends of the range, the rest anything.
        if (digits == 19 && random() % 2 == 0) {
            text += random() % 2 ? "922337203685477580" : "922337203685477581";
            text += static_cast<char>('0' + random() % 10);
        } else {
            for (std::size_t i = 0; i < digits; ++i)
                text += static_cast<char>('0' + random() % 10);
        }
        text += tails[random() % std::size(tails)];
        errno = 0;
        char* end = nullptr;
        const long long expected = std::strtoll(text.c_str(), &end, 10);
        const auto expected_length = static_cast<std::size_t>(end - text.c_str());
        std::size_t length = 99;
        ASSERT_EQ(ParseDecimal(std::string_view(text), &length), expected) << text;
        ASSERT_EQ(length, expected_length) << text;
        ASSERT_EQ(ParseDecimal(FromUtf8(text)), expected) << text;
    }
}

} // namespace
