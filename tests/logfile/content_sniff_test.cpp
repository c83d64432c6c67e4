#include "logfile/content_sniff.h"
#include "logfile/line_text.h"
#include "logfile/log_file.h"
#include "support/bounded_wait.h"
#include "support/case_budget.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

void PrintTo(const content_sniff& s, std::ostream* out)
{
    *out << "{encoding " << s.encoding << ", bom " << s.has_bom << ", binary " << s.binary << "}";
}

void PrintTo(const text_census& c, std::ostream* out)
{
    *out << "{units " << c.units << ", zeros " << c.zeros << ", controls " << c.controls << ", invalid " << c.invalid
         << ", multi " << c.multi_unit << "}";
}

namespace {

// ---- an independent reading: code points by arithmetic ----------------------

bool ReferenceIsControl(unsigned u)
{
    static const unsigned kTextControls[] = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x1B};
    if (u == 0x7F)
        return true;
    if (u == 0 || u >= 0x20)
        return false;
    return std::find(std::begin(kTextControls), std::end(kTextControls), u) == std::end(kTextControls);
}

void ReferenceAscii(unsigned u, text_census& c)
{
    if (u == 0)
        ++c.zeros;
    else if (ReferenceIsControl(u))
        ++c.controls;
}

// Decodes by the bit patterns of the lead byte, gathers the continuation
// bits, then judges the code point (overlong, surrogate, above U+10FFFF).  A
// sequence cut by the end is text when some completion of it is valid: the
// completions span one interval of code points.
text_census ReferenceUtf8(const std::string& s)
{
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    text_census c;
    c.units = s.size();
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned b = static_cast<unsigned char>(s[i]);
        int length;
        uint32_t cp;
        if (b < 0x80) {
            ReferenceAscii(b, c);
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0) {
            length = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            cp = b & 0x07;
        } else {
            ++c.invalid;
            ++i;
            continue;
        }
        int have = 1;
        bool shaped = true;
        while (have < length && i + static_cast<std::size_t>(have) < s.size()) {
            const unsigned next = static_cast<unsigned char>(s[i + static_cast<std::size_t>(have)]);
            if ((next & 0xC0) != 0x80) {
                shaped = false;
                break;
            }
            cp = cp << 6 | (next & 0x3F);
            ++have;
        }
        bool valid;
        bool cut = false;
        if (!shaped) {
            valid = false;
        } else if (have < length) {
            const int missing_bits = 6 * (length - have);
            const uint32_t low = std::max(cp << missing_bits, kLeast[length]);
            const uint32_t high = std::min(cp << missing_bits | ((1u << missing_bits) - 1), 0x10FFFFu);
            valid = low <= high && !(low >= 0xD800 && high <= 0xDFFF);
            cut = valid;
        } else {
            valid = cp >= kLeast[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        }
        if (cut)
            break;
        if (!valid) {
            ++c.invalid;
            ++i;
            continue;
        }
        ++c.multi_unit;
        i += static_cast<std::size_t>(length);
    }
    return c;
}

text_census ReferenceUtf16(const std::string& s, bool little_endian)
{
    text_census c;
    std::vector<unsigned> units;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        const unsigned a = static_cast<unsigned char>(s[i]);
        const unsigned b = static_cast<unsigned char>(s[i + 1]);
        units.push_back(little_endian ? a + 256 * b : 256 * a + b);
    }
    c.units = units.size();
    for (std::size_t k = 0; k < units.size(); ++k) {
        const unsigned u = units[k];
        const bool high = u >> 10 == 0xD800 >> 10;
        const bool low = u >> 10 == 0xDC00 >> 10;
        if (high && k + 1 == units.size())
            break;
        if (high && units[k + 1] >> 10 == 0xDC00 >> 10) {
            ++c.multi_unit;
            ++k;
        } else if (high || low) {
            ++c.invalid;
        } else {
            ReferenceAscii(u, c);
        }
    }
    return c;
}

// ---- random byte strings that reach every rule ------------------------------

std::string Utf8Of(uint32_t cp, int length)
{
    // Any length from 1 to 4, also longer than needed (an overlong form).
    std::string out;
    if (length == 1) {
        out.push_back(static_cast<char>(cp & 0x7F));
        return out;
    }
    static const unsigned kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLeadBits[length] | cp >> (6 * (length - 1))));
    for (int k = length - 2; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F)));
    return out;
}

std::string RandomPiece(std::mt19937& rng)
{
    auto pick = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng); };
    switch (pick(0, 11)) {
    case 0:
    case 1: {
        // Printable ASCII of any length, so that runs reach the eight-byte steps.
        std::string run(pick(1, 24), ' ');
        for (char& ch : run)
            ch = static_cast<char>(pick(0x20, 0x7E));
        return run;
    }
    case 2: return std::string(1, static_cast<char>(pick(0, 0x1F))); // controls, zero, line ends
    case 3: return std::string(1, static_cast<char>(pick(0x7E, 0x7F)));
    case 4: return Utf8Of(pick(0x80, 0x7FF), 2);
    case 5: return Utf8Of(pick(0, 1) ? pick(0x800, 0xD7FF) : pick(0xE000, 0xFFFF), 3);
    case 6: return Utf8Of(pick(0x10000, 0x10FFFF), 4);
    case 7: {
        // Overlong forms, surrogates and code points above U+10FFFF.
        switch (pick(0, 3)) {
        case 0: return Utf8Of(pick(0, 0x7F), static_cast<int>(pick(2, 4)));
        case 1: return Utf8Of(pick(0x80, 0x7FF), static_cast<int>(pick(3, 4)));
        case 2: return Utf8Of(pick(0xD800, 0xDFFF), 3);
        default: return Utf8Of(pick(0x110000, 0x1FFFFF), 4);
        }
    }
    case 8: {
        // A valid sequence cut short, here in the middle of the bytes.
        std::string whole = Utf8Of(pick(0x80, 0x10FFFF), static_cast<int>(pick(2, 4)));
        return whole.substr(0, pick(1, static_cast<uint32_t>(whole.size() - 1)));
    }
    case 9: return std::string(1, static_cast<char>(pick(0x80, 0xBF))); // a stray continuation
    case 10: return std::string(1, static_cast<char>(pick(0xF5, 0xFF)));
    default: return std::string(1, static_cast<char>(pick(0, 255)));
    }
}

std::string RandomBytes(std::mt19937& rng)
{
    std::string out;
    const int pieces = std::uniform_int_distribution<int>(0, 40)(rng);
    for (int p = 0; p < pieces; ++p)
        out += RandomPiece(rng);
    // Often end in the middle of a sequence.
    if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
        const std::string whole = Utf8Of(std::uniform_int_distribution<uint32_t>(0x80, 0x10FFFF)(rng),
                                         std::uniform_int_distribution<int>(2, 4)(rng));
        out += whole.substr(0, std::uniform_int_distribution<std::size_t>(1, whole.size() - 1)(rng));
    }
    return out;
}

// ---- tables -----------------------------------------------------------------

TEST(logfile_ContentSniff, GuessesTheEncodingAndBinaryFromTheFirstBytes)
{
    struct row {
        const char* name;
        std::string head;
        content_sniff expected;
    };
    const std::string ascii(100, 'a');
    const row rows[] = {
        {"empty", "", {ENCODING_UNKNOWN, false, false}},
        {"one byte", "\xC3", {ENCODING_UNKNOWN, false, false}},
        {"plain ascii", "ab\r\n\tc\x1B[0m\n", {ENCODING_ANSI, false, false}},
        {"one two-byte sequence", ascii + "caf\xC3\xA9\n", {ENCODING_UTF8, false, false}},
        {"three- and four-byte sequences", "\xE2\x82\xAC \xF0\x9F\x98\x80", {ENCODING_UTF8, false, false}},
        {"the highest code point", "x\xF4\x8F\xBF\xBF", {ENCODING_UTF8, false, false}},
        {"Windows-1252 e acute", "caf\xE9 ol\xE9\n", {ENCODING_ANSI, false, false}},
        {"valid then one invalid byte", "caf\xC3\xA9 \xE9 ", {ENCODING_ANSI, false, false}},
        {"overlong slash", "a\xC0\xAF\xC3\xA9", {ENCODING_ANSI, false, false}},
        {"overlong three bytes", "\xE0\x80\xAF\xC3\xA9", {ENCODING_ANSI, false, false}},
        {"encoded surrogate", "\xED\xA0\x80\xC3\xA9", {ENCODING_ANSI, false, false}},
        {"above U+10FFFF", "\xF4\x90\x80\x80\xC3\xA9", {ENCODING_ANSI, false, false}},
        {"a lead byte cut in the middle", "\xE2\x82 \xC3\xA9", {ENCODING_ANSI, false, false}},
        {"a sequence cut by the end", "caf\xC3\xA9 \xF0\x9F\x98", {ENCODING_UTF8, false, false}},
        {"only a cut sequence", "ab\xE2\x82", {ENCODING_ANSI, false, false}},
        {"an impossible cut at the end", "\xC3\xA9\xF4\x90", {ENCODING_ANSI, false, false}},
        {"EF BB without BF", "\xEF\xBB\x41x\n", {ENCODING_ANSI, false, false}},
        {"EF BB alone", "\xEF\xBB", {ENCODING_ANSI, false, false}},
        {"EF BB 80 is a character", "\xEF\xBB\x80x", {ENCODING_UTF8, false, false}},
        {"utf8 mark", "\xEF\xBB\xBFx\n", {ENCODING_UTF8, true, false}},
        {"utf8 mark over invalid bytes", "\xEF\xBB\xBF\xE9t\xE9\n", {ENCODING_UTF8, true, false}},
        {"ucs2 le", "\xFF\xFE" + ucs2_bytes(u"ab\r\n", true), {ENCODING_UCS2LE, true, false}},
        {"ucs2 be", "\xFE\xFF" + ucs2_bytes(u"ab\r\n", false), {ENCODING_UCS2BE, true, false}},
        {"ucs2 with a zero unit", "\xFF\xFE" + ucs2_bytes(std::u16string(u"a\0b", 3), true),
         {ENCODING_UCS2LE, true, true}},
        {"ucs2 lone surrogates", "\xFE\xFF" + ucs2_bytes(u"\xDC00\xDC00\xDC00" u"a", false),
         {ENCODING_UCS2BE, true, false}},
        {"ucs2 controls and lone surrogates", "\xFF\xFE" + ucs2_bytes(u"\x01\xDC00\x02\xDC00", true),
         {ENCODING_UCS2LE, true, true}},
        {"ucs2 without mark", ucs2_bytes(u"ab\r\n", true), {ENCODING_ANSI, false, true}},
        {"a zero byte", std::string("ELF\0\x01", 5), {ENCODING_ANSI, false, true}},
        {"a zero byte in utf8", std::string("\xC3\xA9\0", 3), {ENCODING_UTF8, false, true}},
        {"a zero byte after a utf8 mark", std::string("\xEF\xBB\xBF" "a\0", 5), {ENCODING_UTF8, true, true}},
        {"controls throughout", std::string(40, '\x01'), {ENCODING_ANSI, false, true}},
        {"8-bit text without controls", std::string(40, '\xE9'), {ENCODING_ANSI, false, false}},
        {"invalid bytes and one control in 16",
         std::string(7, '\xFF') + "\x02" + std::string(8, '\xFF'), {ENCODING_ANSI, false, true}},
        {"invalid bytes and one control in 17",
         std::string(8, '\xFF') + "\x02" + std::string(8, '\xFF'), {ENCODING_ANSI, false, false}},
        {"half not text", "\x01\x01" "ab", {ENCODING_ANSI, false, false}},
        {"more than half not text", "\x01\x01\xFF" "ab", {ENCODING_ANSI, false, true}},
    };
    for (const row& r : rows)
        EXPECT_EQ(SniffContent(r.head), r.expected) << r.name;
}

TEST(logfile_ContentSniff, OnlyTheFirstFourMegabytesCount)
{
    // A multi-byte sequence first, then ASCII up to the limit.
    std::string head = "\xC3\xA9";
    head.resize(kSniffBytes - 1, 'a');
    EXPECT_EQ(SniffContent(head + "\xC3\xA9").encoding, ENCODING_UTF8) << "a sequence cut at the limit";
    EXPECT_EQ(SniffContent(head + "a\xE9\x01\x01\x01").encoding, ENCODING_UTF8) << "invalid bytes past the limit";
    EXPECT_FALSE(SniffContent(head + "a" + std::string(64, '\0')).binary) << "zero bytes past the limit";
    head.back() = '\xE9';
    EXPECT_EQ(SniffContent(head + "\xC3\xA9").encoding, ENCODING_ANSI) << "an invalid byte just before the limit";
    head.back() = '\0';
    EXPECT_TRUE(SniffContent(head).binary) << "a zero byte just before the limit";
}

// ---- differential against the reference -------------------------------------

TEST(logfile_ContentSniff, CensusAgreesWithAPlainDecoderOnRandomBytes)
{
    std::mt19937 rng(19);
    const case_budget budget(20000, 200000);
    int utf8_guesses = 0, ansi_guesses = 0, binaries = 0;
    for (int n = 0; budget.more(n); ++n) {
        const std::string bytes = RandomBytes(rng);
        const text_census expected = ReferenceUtf8(bytes);
        ASSERT_EQ(CensusUtf8(bytes), expected) << "case " << n;
        for (bool little_endian : {true, false})
            ASSERT_EQ(CensusUtf16(bytes, little_endian), ReferenceUtf16(bytes, little_endian)) << "case " << n;
        // Without a mark, the guess follows the census.
        if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") != 0 && bytes.compare(0, 2, "\xFE\xFF") != 0
            && bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
            const content_sniff sniff = SniffContent(bytes);
            const bool utf8 = expected.invalid == 0 && expected.multi_unit > 0;
            ASSERT_EQ(sniff.encoding, utf8 ? ENCODING_UTF8 : ENCODING_ANSI) << "case " << n;
            utf8_guesses += utf8;
            ansi_guesses += !utf8;
            binaries += sniff.binary;
        }
    }
    // The generator reaches both guesses and the binary rule.
    EXPECT_GT(utf8_guesses, 100);
    EXPECT_GT(ansi_guesses, 100);
    EXPECT_GT(binaries, 100);
}

// ---- where a file is opened --------------------------------------------------

class logfile_ContentSniffOpen : public ::testing::Test {
protected:
    void SetUp() override { setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1); }
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0); }

    temp_folder folder;
};

TEST_F(logfile_ContentSniffOpen, AnOpenGuessesUtf8AndTheUsersChoiceWins)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("u.log", "caf\xC3\xA9\nna\xC3\xAFve\n")), 0, false));
    EXPECT_EQ(file.encoding(), ENCODING_UTF8);
    EXPECT_FALSE(file.has_bom());
    EXPECT_EQ(file.bom_length(), 0);
    EXPECT_FALSE(file.looks_binary());
    EXPECT_EQ(file.line_count(), 2u);
    EXPECT_TRUE(file.set_encoding(ENCODING_ANSI));
    EXPECT_EQ(file.encoding(), ENCODING_ANSI);

    ASSERT_TRUE(file.open(widen(folder.write("a.log", "caf\xE9\n")), 0, true));
    EXPECT_EQ(file.encoding(), ENCODING_ANSI);
    EXPECT_FALSE(file.looks_binary());
}

TEST_F(logfile_ContentSniffOpen, AZeroByteInTheHeadMarksTheFileBinary)
{
    log_file file;
    ASSERT_TRUE(file.open(widen(folder.write("b.bin", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\nabc\n", 15))), 0,
                          false));
    EXPECT_TRUE(file.looks_binary());
    EXPECT_EQ(file.encoding(), ENCODING_ANSI);
    EXPECT_GT(file.line_count(), 0u);
    file.close();
    EXPECT_FALSE(file.looks_binary());

    // Grown from one byte, the file is judged when its encoding is first known.
    const std::string path = folder.write("g.log", "a");
    ASSERT_TRUE(file.open(widen(path), 0, false));
    EXPECT_EQ(file.encoding(), ENCODING_UNKNOWN);
    folder.append(path, std::string("\0b\n", 3));
    EXPECT_EQ(file.refresh(), 1);
    EXPECT_TRUE(file.looks_binary());
}

} // namespace
