#include "platform/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
