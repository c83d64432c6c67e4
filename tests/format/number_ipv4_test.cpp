#include "format_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

struct integer_case {
    std::u16string text;
    bool valid;
    int64_t number;
};

TEST(ParseNumber, IntegerTextsFollowTheCleanedNumberRules)
{
    const integer_case cases[] = {
        {u"0", true, 0},
        {u"42", true, 42},
        {u"1,234,567", true, 1234567},
        {u"1,2,3,4", true, 1234}, // commas anywhere
        {u",,,", false, 0},       // no digit
        {u"-5", true, -5},
        {u"+5", true, 5},
        {u"5-", false, 0},  // '-' only first
        {u"1 2", false, 0}, // space
        {u" 12", false, 0},
        {u"12.7", true, 12}, // conversion stops at '.'
        {u"1+2", true, 1},   // '+' kept, conversion stops there
        {u"-+5", true, 0},   // sign then no digit: converts nothing
        {u".5", true, 0},
        {u"1.2.3", false, 0}, // second '.'
        {u"12a", false, 0},
        {u"9223372036854775807", true, std::numeric_limits<int64_t>::max()},
        {u"-9223372036854775808", true, std::numeric_limits<int64_t>::min()},
        {u"9223372036854775808", false, 0},
        {u"-9223372036854775809", false, 0},
        {u"99999999999999999999999", false, 0},
        {u"9,223,372,036,854,775,807", true, std::numeric_limits<int64_t>::max()},
        {u"\uFF11", false, 0}, // full-width digit is not a digit
        {std::u16string(1, u'\0'), false, 0},
    };
    for (const auto& c : cases) {
        const tagDATA_VALUE value = Parse(c.text, NumericFormat(0));
        EXPECT_EQ(value.valid, c.valid) << Narrow(c.text);
        EXPECT_EQ(value.payload, c.number) << Narrow(c.text);
        EXPECT_EQ(value.milliseconds, 0);
    }
}

struct decimal_case {
    std::u16string text;
    bool valid;
    double number;
};

TEST(ParseNumber, DecimalTextsReadAsDoublesExactlyAsTheStandardConversion)
{
    const decimal_case cases[] = {
        {u"12.7", true, 12.7},
        {u"1,234.5", true, 1234.5},
        {u"-0.001", true, -0.001},
        {u".5", true, 0.5},
        {u"5.", true, 5.0},
        {u"0.1", true, 0.1},
        {u"123456789012345", true, 123456789012345.0},
        {u"0.30000000000000004", true, 0.30000000000000004}, // more than 15 digits: full conversion
        {u"1234567.123456789", true, 1234567.123456789},
        {u"3.14159265358979323846264338327950288", true, 3.14159265358979323846264338327950288},
        {u"0.0000000000000000000000001", true, 1e-25}, // scale beyond the exact powers
        {u"1+2.5", true, 1.0},
        {u"-+1.5", true, 0.0},
        {u"1.2.3", false, 0.0},
        {u"abc", false, 0.0},
        {std::u16string(400, u'9'), false, 0.0}, // overflows a double
    };
    for (const auto& c : cases) {
        const tagDATA_VALUE value = Parse(c.text, NumericFormat(2));
        EXPECT_EQ(value.valid, c.valid) << Narrow(c.text);
        if (c.valid)
            EXPECT_EQ(AsDouble(value), c.number) << Narrow(c.text);
        else
            EXPECT_EQ(value.payload, 0) << Narrow(c.text);
    }
}

TEST(ParseNumber, FastPathMatchesStrtodOnManyDecimals)
{
    // Short decimals take a shortcut; it must round exactly as strtod does.
    uint64_t state = 88172645463325252ULL;
    int long_texts = 0;
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        // Up to 20 significant digits: past the shortcut's 15 the full
        // conversion takes over, and the answer must not change at the seam.
        const int digits = 1 + static_cast<int>(state % 20);
        const int point = static_cast<int>((state >> 8) % (digits + 1));
        std::string text;
        uint64_t bits = state >> 16;
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                text += '.';
            text += static_cast<char>('0' + bits % 10);
            bits /= 10;
            if (bits == 0)
                bits = state;
        }
        if (state & 1)
            text = "-" + text;
        const tagDATA_VALUE value = Parse(std::u16string(text.begin(), text.end()), NumericFormat(3));
        ASSERT_TRUE(value.valid) << text;
        ASSERT_EQ(AsDouble(value), std::strtod(text.c_str(), nullptr)) << text;
        long_texts += digits > 15;
    }
    EXPECT_GT(long_texts, 40000); // the random texts do reach past the shortcut
}

TEST(ParseNumber, SixteenToTwentySignificantDigitsReadAsStrtodDoes)
{
    // Around 2^53 and the 15-digit seam, where a shortcut would round wrongly.
    for (const char* text :
         {"9007199254740993", "9007199254740993.0", "0.9007199254740993", "1234567890123456.7", "123456789012345678.9",
          "12345678901234567890", "-1.0000000000000001", "-99999999999999999.99", "0.000000000000000012345678901234567",
          "1.00000000000000011102"}) {
        const std::u16string wide(text, text + std::strlen(text));
        const tagDATA_VALUE value = Parse(wide, NumericFormat(4));
        ASSERT_TRUE(value.valid) << text;
        EXPECT_EQ(AsDouble(value), std::strtod(text, nullptr)) << text;
    }
}

// The rules as written: build the cleaned copy, then convert it with the C
// library (C locale), invalid on a range error.
tagDATA_VALUE ReferenceNumber(const std::u16string& text, bool decimal)
{
    tagDATA_VALUE value;
    std::string cleaned;
    bool digit = false;
    bool point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u',')
            continue;
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else if (c != u'+' && !(c == u'-' && i == 0))
            return value;
        cleaned += static_cast<char>(c);
    }
    if (!digit)
        return value;
    errno = 0;
    if (decimal) {
        const double number = std::strtod(cleaned.c_str(), nullptr);
        if (errno == ERANGE)
            return value;
        value = DoubleValue(number);
    } else {
        value.payload = std::strtoll(cleaned.c_str(), nullptr, 10);
        if (errno == ERANGE)
            return tagDATA_VALUE{};
        value.valid = true;
    }
    return value;
}

TEST(ParseNumber, EqualsTheRulesAsWrittenOnRandomTexts)
{
    const char16_t alphabet[] = u"0123456789000,,..++--";
    uint64_t state = 0x1234567887654321ULL;
    for (int i = 0; i < 300000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const std::size_t length = 1 + state % (i % 10 == 0 ? 40 : 12);
        std::u16string text;
        uint64_t bits = state;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[bits % 21];
            bits = bits / 21 ^ (state >> (k % 40));
        }
        for (bool decimal : {false, true}) {
            const tagDATA_VALUE expected = ReferenceNumber(text, decimal);
            const tagDATA_VALUE value = Parse(text, NumericFormat(decimal ? 4 : 0));
            ASSERT_EQ(value.valid, expected.valid) << Narrow(text) << " decimal " << decimal;
            ASSERT_EQ(value.payload, expected.payload) << Narrow(text) << " decimal " << decimal;
        }
    }
}

struct ipv4_case {
    std::u16string text;
    bool valid;
    uint32_t address;
};

TEST(ParseIpv4, FourGroupsOfAtMost255ReadFromTheEnd)
{
    const ipv4_case cases[] = {
        {u"192.168.0.1", true, 0xC0A80001u},
        {u"255.255.255.255", true, 0xFFFFFFFFu},
        {u"0.0.0.0", true, 0},
        {u"010.001.0.9", true, 0x0A010009u}, // leading zeros
        {u"256.1.1.1", false, 0},
        {u"1.1.1.256", false, 0},
        {u"1..2.3", false, 0},
        {u"1.2.3.", false, 0},
        {u".1.2.3", false, 0},
        {u"1.2.3", false, 0},
        {u"1.2.3.4.5", false, 0},
        {u" 1.2.3.4", false, 0},
        {u"1.2.3.4 ", false, 0},
        {u"1.2.3.0004", false, 0}, // four digits in a group
        {u"0255.1.1.1", false, 0},
        {u"1.2.3.4.", false, 0},
        {u"001.002.003.004", true, 0x01020304u}, // 15 characters
        {u"0001.002.003.04", false, 0},
        {u"1.2.3.-4", false, 0},
        {u"a.b.c.d", false, 0},
        {std::u16string(u"1.2.3.4\0", 8), false, 0},
    };
    for (const auto& c : cases) {
        const tagDATA_VALUE value = Parse(c.text, Ipv4Format());
        EXPECT_EQ(value.valid, c.valid) << Narrow(c.text);
        EXPECT_EQ(static_cast<uint64_t>(value.payload), c.address) << Narrow(c.text);
    }
}

TEST(ParseDataValue, TextColumnsAndEmptyTextsHaveNoTypedValue)
{
    tagDATA_FORMAT text_format;
    for (const tagDATA_FORMAT& format : {text_format, NumericFormat(0), Ipv4Format(), DateTimeFormat(u"Y")}) {
        tagDATA_VALUE value;
        value.valid = true;
        value.payload = 7;
        value.milliseconds = 3;
        ParseDataValue(value, u"", 0, format);
        EXPECT_FALSE(value.valid);
        EXPECT_EQ(value.payload, 0);
        EXPECT_EQ(value.milliseconds, 0);
        ParseDataValue(value, nullptr, 5, format);
        EXPECT_FALSE(value.valid);
    }
    EXPECT_FALSE(Parse(u"123", text_format).valid);
}

struct number_format_case {
    tagDATA_VALUE value;
    uint8_t digit_count;
    bool separator;
    std::u16string expected;
};

tagDATA_VALUE IntegerValue(int64_t number)
{
    tagDATA_VALUE value;
    value.payload = number;
    value.valid = true;
    return value;
}

TEST(FormatNumber, PrintsWithDecimalsAndGroupsThousandsAfterTheSign)
{
    const number_format_case cases[] = {
        {IntegerValue(1234567), 0, false, u"1234567"},
        {IntegerValue(1234567), 0, true, u"1,234,567"},
        {IntegerValue(123456), 0, true, u"123,456"},
        {IntegerValue(123), 0, true, u"123"},
        {IntegerValue(-123), 0, true, u"-123"},
        {IntegerValue(-1234), 0, true, u"-1,234"},
        {IntegerValue(-123456), 0, true, u"-123,456"},
        {IntegerValue(0), 0, true, u"0"},
        {IntegerValue(std::numeric_limits<int64_t>::min()), 0, true, u"-9,223,372,036,854,775,808"},
        {DoubleValue(1234567.123456789), 2, true, u"1,234,567.12"},
        {DoubleValue(1234567.123456789), 3, true, u"1,234,567.123"},
        {DoubleValue(1234567.123456789), 3, false, u"1234567.123"},
        {DoubleValue(-1234.5), 1, true, u"-1,234.5"},
        {DoubleValue(0.125), 2, false, u"0.12"}, // printf rounding of the exact binary value
        {DoubleValue(0.375), 2, false, u"0.38"},
        {DoubleValue(2.675), 2, false, u"2.67"},
        {DoubleValue(-0.0), 2, false, u"-0.00"},
        {DoubleValue(999.999), 2, true, u"1,000.00"},
        {DoubleValue(1.0), 15, false, u"1.000000000000000"},
    };
    for (const auto& c : cases) {
        std::u16string text = u"untouched";
        ASSERT_TRUE(FormatDataValue(c.value, NumericFormat(c.digit_count, c.separator), text)) << Narrow(c.expected);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(FormatNumber, TextLongerThan99CharactersIsRefused)
{
    std::u16string text = u"untouched";
    EXPECT_FALSE(FormatDataValue(DoubleValue(1e300), NumericFormat(2), text));
    EXPECT_EQ(text, u"untouched");
    // Around the limit the text is exactly what printf gives, up to 99 characters.
    int at_limit = 0;
    for (int exponent = 200; exponent <= 340; ++exponent) {
        for (uint8_t decimals : {uint8_t{1}, uint8_t{15}}) {
            const double number = std::ldexp(1.0, exponent);
            char printed[512];
            const int length = std::snprintf(printed, sizeof printed, "%.*f", decimals, number);
            text = u"untouched";
            const bool formatted = FormatDataValue(DoubleValue(number), NumericFormat(decimals), text);
            ASSERT_EQ(formatted, length <= 99) << exponent;
            EXPECT_TRUE(text == (formatted ? std::u16string(printed, printed + length) : u"untouched"));
            at_limit += length == 99 || length == 100;
        }
    }
    EXPECT_GT(at_limit, 0);
}

TEST(FormatDataValue, Ipv4PrintsFourDecimalBytesAndTextColumnsFail)
{
    tagDATA_VALUE value = IntegerValue(0xC0A80001);
    std::u16string text;
    ASSERT_TRUE(FormatDataValue(value, Ipv4Format(), text));
    EXPECT_EQ(text, u"192.168.0.1");
    value.payload = 0xFFFFFFFF;
    ASSERT_TRUE(FormatDataValue(value, Ipv4Format(), text));
    EXPECT_EQ(text, u"255.255.255.255");
    text = u"untouched";
    EXPECT_FALSE(FormatDataValue(value, tagDATA_FORMAT{}, text));
    tagDATA_FORMAT unknown;
    unknown.data_type = 9;
    EXPECT_FALSE(FormatDataValue(value, unknown, text));
    EXPECT_EQ(text, u"untouched");
}

TEST(FormatThenParse, NumbersComeBackUnchanged)
{
    for (int64_t number : {int64_t{0}, int64_t{-1}, int64_t{999}, int64_t{-1000}, int64_t{123456789012345}}) {
        for (bool separator : {false, true}) {
            std::u16string text;
            ASSERT_TRUE(FormatDataValue(IntegerValue(number), NumericFormat(0, separator), text));
            EXPECT_EQ(Parse(text, NumericFormat(0)).payload, number);
        }
    }
    std::u16string text;
    ASSERT_TRUE(FormatDataValue(DoubleValue(-98765.4321), NumericFormat(4, true), text));
    EXPECT_EQ(AsDouble(Parse(text, NumericFormat(4))), -98765.4321);
}

struct compare_case {
    const char* a;
    const char* b;
    int32_t filter_type;
    bool expected;
};

void ExpectComparisons(const tagDATA_FORMAT& format, std::initializer_list<compare_case> cases)
{
    for (const auto& c : cases) {
        const std::string a = c.a;
        const std::string b = c.b;
        const tagDATA_VALUE va = Parse(std::u16string(a.begin(), a.end()), format);
        const tagDATA_VALUE vb = Parse(std::u16string(b.begin(), b.end()), format);
        ASSERT_TRUE(va.valid && vb.valid) << a << " " << b;
        EXPECT_EQ(CompareDataValues(va, vb, format, c.filter_type), c.expected)
            << a << " op " << c.filter_type << " " << b;
    }
}

// Decimals compare as numbers: the payload holds a double's bits, which
// order negative numbers backwards when taken as integers.
TEST(CompareDataValues, DecimalsCompareAsNumbersAlsoBelowZero)
{
    ExpectComparisons(NumericFormat(2), {
                                            {"-2.0", "-1.0", 8, true},
                                            {"-2.0", "-1.0", 9, true},
                                            {"-2.0", "-1.0", 6, false},
                                            {"-1.0", "-2.0", 6, true},
                                            {"-1.0", "-2.0", 7, true},
                                            {"-1.5", "1.5", 8, true},
                                            {"-0.25", "-0.5", 6, true},
                                            {"-0", "0", 0, true}, // minus zero equals zero
                                            {"-0", "0", 8, false},
                                        });
    // Random pairs of every sign against the C library's doubles.
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string texts[2];
        for (std::string& text : texts) {
            const uint64_t r = next();
            text = (r & 1 ? "-" : "") + std::to_string((r >> 1) % 100000) + "." + std::to_string((r >> 20) % 100);
        }
        const tagDATA_VALUE a = Parse(std::u16string(texts[0].begin(), texts[0].end()), NumericFormat(2));
        const tagDATA_VALUE b = Parse(std::u16string(texts[1].begin(), texts[1].end()), NumericFormat(2));
        ASSERT_TRUE(a.valid && b.valid) << texts[0] << " " << texts[1];
        const double x = std::strtod(texts[0].c_str(), nullptr);
        const double y = std::strtod(texts[1].c_str(), nullptr);
        const std::pair<int32_t, bool> relations[] = {{0, x == y}, {1, x != y}, {6, x > y},
                                                      {7, x >= y}, {8, x < y},  {9, x <= y}};
        for (const auto& [type, expected] : relations)
            ASSERT_EQ(CompareDataValues(a, b, NumericFormat(2), type), expected)
                << texts[0] << " vs " << texts[1] << " type " << type;
    }
}

TEST(CompareDataValues, ComparesByTheColumnsRepresentation)
{
    ExpectComparisons(NumericFormat(0), {
                                            {"-5", "3", 8, true},
                                            {"-5", "3", 6, false},
                                            {"10", "9", 6, true},
                                            {"10", "10", 0, true},
                                            {"10", "10", 1, false},
                                            {"10", "10", 7, true},
                                            {"10", "10", 9, true},
                                            {"10", "11", 9, true},
                                            {"10", "10", 2, false},
                                            {"10", "10", 5, false},
                                            {"10", "10", 10, false},
                                            {"10", "10", -1, false},
                                        });
    ExpectComparisons(NumericFormat(2), {
                                            {"1.5", "1.25", 6, true},
                                            {"-0.5", "0.1", 8, true},
                                            {"2.50", "2.5", 0, true},
                                            {"2.5", "2.51", 1, true},
                                        });
    ExpectComparisons(Ipv4Format(), {
                                        {"200.0.0.1", "100.0.0.1", 6, true}, // unsigned
                                        {"10.0.0.2", "9.255.255.255", 6, true},
                                        {"255.255.255.255", "0.0.0.0", 8, false},
                                        {"1.2.3.4", "1.2.3.4", 0, true},
                                    });
    ExpectComparisons(DateTimeFormat(u"H:M:S.s"), {
                                                      {"10:00:00.500", "10:00:00.400", 6, true},
                                                      {"10:00:00.500", "10:00:00.500", 0, true},
                                                      {"10:00:00.500", "10:00:00.501", 0, false},
                                                      {"10:00:00.500", "10:00:00.501", 1, true},
                                                      {"10:00:01.000", "10:00:00.999", 6, true}, // seconds first
                                                      {"09:59:59.999", "10:00:00.000", 8, true},
                                                      {"10:00:00.000", "10:00:00.000", 7, true},
                                                  });
    tagDATA_VALUE one = IntegerValue(1);
    EXPECT_FALSE(CompareDataValues(one, one, tagDATA_FORMAT{}, 0)); // text columns compare as text elsewhere
}

} // namespace
