// The pieces of the literal pre-scan against plain references: the byte
// finder on every code path, the needle of a search in every encoding, the
// two-way line lookups of an index, and the scan of a file's bytes with
// chunks of every size.
#include "find_test_support.h"

#include "logfile/line_text.h"
#include "regex/text_match.h"
#include "search/byte_finder.h"
#include "search/line_positions.h"
#include "search/literal_scan.h"
#include "search/search_literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

char fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Every start of needle in data, the obvious way.
std::vector<std::size_t> reference_starts(const std::string& data, const std::string& needle, bool folding)
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i + needle.size() <= data.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < needle.size() && same; ++k)
            same = folding ? fold(data[i + k]) == fold(needle[k]) : data[i + k] == needle[k];
        if (same)
            out.push_back(i);
    }
    return out;
}

std::vector<std::size_t> finder_starts(const byte_finder& finder, const char* kind, const std::string& data)
{
    std::vector<std::size_t> out;
    for (std::size_t pos = 0;;) {
        const std::size_t hit = finder.find_using(kind, data.data(), data.size(), pos);
        if (hit == byte_finder::npos)
            break;
        out.push_back(hit);
        pos = hit + 1;
    }
    return out;
}

TEST(search_ByteFinder, EveryCodePathFindsWhatAPlainComparisonFinds)
{
    std::mt19937_64 rng(7);
    // A small alphabet with both cases, the bytes next to the letters and high bytes.
    const std::string alphabet = "aAbB@`[{zZ\xC3\xA9\x80\xFF\x00 \n";
    const char* kinds[] = {"portable", "sse2", "avx2"};
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = rng() % 300;
        std::string data(length, ' ');
        for (char& c : data)
            c = alphabet[rng() % alphabet.size()];
        const std::size_t needle_length = 1 + rng() % (round % 10 == 0 ? 70 : 5);
        std::string needle(needle_length, ' ');
        if (needle_length <= length && rng() % 2) {
            needle = data.substr(rng() % (length - needle_length + 1), needle_length); // one that occurs
        } else {
            for (char& c : needle)
                c = alphabet[rng() % alphabet.size()];
        }
        const bool folding = rng() % 2;
        const byte_finder finder(needle, folding);
        const std::vector<std::size_t> expected = reference_starts(data, needle, folding);
        for (const char* kind : kinds) {
            if (std::string(kind) == "avx2" && !__builtin_cpu_supports("avx2"))
                continue;
            ASSERT_EQ(finder_starts(finder, kind, data), expected) << kind << " round " << round;
        }
        // A start past the end or a needle longer than the data finds nothing.
        EXPECT_EQ(finder.find(data.data(), data.size(), data.size() + 1), byte_finder::npos);
    }
}

TEST(search_ByteFinder, FoldingTouchesOnlyAsciiLetters)
{
    const byte_finder finder("a@[", true);
    const std::string matching = "xA@[y";
    EXPECT_EQ(finder.find(matching.data(), matching.size()), 1u);
    const std::string neighbours = "A`{"; // 0x60 and 0x7B differ from @ and [ by 0x20 only
    EXPECT_EQ(finder.find(neighbours.data(), neighbours.size()), byte_finder::npos);
    const byte_finder exact("abc", false);
    const std::string upper = "ABC abc";
    EXPECT_EQ(exact.find(upper.data(), upper.size()), 4u);
}

CSearchInfo search_for(const std::u16string& expression, bool regexp, bool case_sensitive)
{
    CSearchInfo s;
    s.expression = expression;
    s.regexp = regexp;
    s.case_sensitive = case_sensitive;
    return s;
}

TEST(search_SearchLiteral, TheRequiredLiteralOfEachKindOfSearch)
{
    struct row {
        std::u16string expression;
        bool regexp;
        bool case_sensitive;
        bool has;
        std::u16string literal;
        bool folds;
    };
    const row rows[] = {
        {u"disk full", false, true, true, u"disk full", false},
        {u"Disk", false, false, true, u"Disk", true},
        {u"took \\d{4} ms", true, true, true, u"took ", false},
        {u"took \\d{4} ms", true, false, true, u"took ", true},
        {WildcardToRegex(u"disk*full"), true, true, true, u"full", false},
        {u"(foo|bar)", true, true, false, u"", false},
        {u"\\d+", true, true, false, u"", false},
        {u"", false, true, false, u"", false},
        {u"", true, true, false, u"", false},
    };
    for (const row& r : rows) {
        std::u16string literal;
        bool folds = false;
        const bool has = RequiredSearchLiteral(search_for(r.expression, r.regexp, r.case_sensitive), literal, folds);
        EXPECT_EQ(has, r.has) << narrow(r.expression);
        if (has && r.has) {
            EXPECT_EQ(literal, r.literal) << narrow(r.expression);
            EXPECT_EQ(folds, r.folds) << narrow(r.expression);
        }
    }
}

TEST(search_SearchLiteral, NeedleBytesInEveryEncoding)
{
    scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
    struct row {
        const char* what;
        std::u16string literal;
        bool fold;
        int32_t encoding;
        bool has;
        std::string bytes;
    };
    const row rows[] = {
        {"UTF-8 as is", u"caf\u00e9 \U0001F600", false, ENCODING_UTF8, true, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"UCS-2 LE", u"a\u00e9", false, ENCODING_UCS2LE, true, std::string("a\0\xE9\0", 4)},
        {"UCS-2 BE", u"a\u00e9", false, ENCODING_UCS2BE, true, std::string("\0a\0\xE9", 4)},
        {"Windows-1252 euro", u"5\u20ac", false, ENCODING_ANSI, true, "5\x80"},
        {"a character the code page lacks splits", u"ab\u0416xyz", false, ENCODING_ANSI, true, "xyz"},
        {"U+FFFD splits", u"abcd\uFFFDxy", false, ENCODING_UTF8, true, "abcd"},
        {"an unpaired surrogate splits", u"ab\xD800xyz", false, ENCODING_UTF8, true, "xyz"},
        {"UCS-2 keeps any unit", u"ab\xD800xyz", false, ENCODING_UCS2LE, true,
         std::string("a\0b\0\0\xD8x\0y\0z\0", 12)},
        {"ignoring case keeps only ASCII", u"\u00e9t\u00e9 hot", true, ENCODING_UTF8, true, " hot"},
        {"a zero splits", std::u16string(u"ab\0xyz", 6), false, ENCODING_UTF8, true, "xyz"},
        {"nothing left", u"\u00e9\u00e9", true, ENCODING_UTF8, false, ""},
        {"unknown encoding", u"abc", false, ENCODING_UNKNOWN, false, ""},
        {"empty", u"", false, ENCODING_UTF8, false, ""},
    };
    for (const row& r : rows) {
        const std::optional<search_needle> needle = NeedleForLiteral(r.literal, r.fold, r.encoding);
        ASSERT_EQ(needle.has_value(), r.has) << r.what;
        if (!needle)
            continue;
        EXPECT_EQ(needle->bytes, r.bytes) << r.what;
        EXPECT_EQ(needle->bytes_fold, r.fold) << r.what;
        EXPECT_EQ(needle->literal, r.literal) << r.what;
        EXPECT_EQ(needle->unit, encoding_unit(r.encoding)) << r.what;
    }
}

TEST(search_SearchLiteral, AnsiCodePages)
{
    {
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "UTF-8");
        const auto needle = NeedleForLiteral(u"\u00e9", false, ENCODING_ANSI);
        ASSERT_TRUE(needle);
        EXPECT_EQ(needle->bytes, "\xC3\xA9");
    }
    {
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "ISO-8859-5");
        const auto needle = NeedleForLiteral(u"\u0416x", false, ENCODING_ANSI);
        ASSERT_TRUE(needle);
        EXPECT_EQ(needle->bytes, "\xB6x");
    }
    {
        // Bytes of a multi-byte code page do not tell where its characters are.
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "SHIFT_JIS");
        EXPECT_FALSE(NeedleForLiteral(u"abc", false, ENCODING_ANSI));
        scoped_env other("VARNOTH_ANSI_CODEPAGE", "no-such-code-page");
        EXPECT_FALSE(NeedleForLiteral(u"abc", false, ENCODING_ANSI));
    }
}

class search_LineScan : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
    temp_dir m_dir;
};

// Line n's (offset, length) the way the index walk gives them.
std::vector<indexed_line> walked_lines(log_file& file)
{
    std::vector<indexed_line> out;
    const line_index::reader index = file.read_index();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return out;
    uint64_t n = 0;
    do {
        indexed_line line;
        line.number = n++;
        index.line_at(cursor, line.offset, line.length);
        out.push_back(line);
    } while (index.advance(cursor));
    return out;
}

TEST_F(search_LineScan, LinePositionsAgreeWithTheIndexWalkForwardsAndBackwards)
{
    std::string text;
    for (int i = 0; i < 25000; ++i)
        text += std::string(static_cast<std::size_t>(1 + i % 17), 'x') + (i % 3 ? "\n" : "\r\n");
    m_dir.write("p.log", text);
    for (bool tail_first : {false, true}) {
        log_file file;
        // Tail first in passes, so that the front block is only partly used.
        ASSERT_TRUE(file.open(m_dir.wide("p.log"), 7777, tail_first));
        while (file.index_more() > 0) {}
        const std::vector<indexed_line> walked = walked_lines(file);
        ASSERT_EQ(walked.size(), 25000u);
        const line_index::reader index = file.read_index();
        const line_positions positions(index);
        ASSERT_EQ(positions.line_count(), 25000u);
        std::size_t k = 0;
        for (const indexed_line& line : walked) {
            indexed_line got;
            ASSERT_TRUE(positions.line(line.number, got));
            EXPECT_EQ(got.offset, line.offset);
            EXPECT_EQ(got.length, line.length);
            EXPECT_EQ(positions.number_at(line.offset), static_cast<int64_t>(line.number));
            // Every byte of the line and the line end after it.
            for (int64_t p = line.offset; p < line.offset + line.length + 2; ++p) {
                const bool inside = p < line.offset + line.length;
                indexed_line holder;
                const bool held = positions.line_holding(p, holder);
                if (inside) {
                    ASSERT_TRUE(held) << p;
                    EXPECT_EQ(holder.number, line.number);
                } else if (held) {
                    EXPECT_GT(holder.number, line.number) << "a line end belongs to no line";
                }
            }
            if (++k > 3000)
                break; // the blocks' edges are early; the rest is more of the same
        }
        indexed_line none;
        EXPECT_FALSE(positions.line(25000, none));
        EXPECT_FALSE(positions.line_holding(-1, none));
        EXPECT_FALSE(positions.line_holding(static_cast<int64_t>(text.size()) + 5, none));
        EXPECT_EQ(positions.number_at(walked[5].offset + 1), -1);
        // The edges of every block, both ways.
        for (uint64_t n : {9999u, 10000u, 10001u, 19999u, 20000u, 24999u}) {
            indexed_line got;
            ASSERT_TRUE(positions.line(n, got));
            EXPECT_EQ(got.offset, walked[n].offset);
            indexed_line holder;
            ASSERT_TRUE(positions.line_holding(got.offset + got.length - 1, holder));
            EXPECT_EQ(holder.number, n);
        }
    }
}

// The lines (offsets) whose bytes hold needle bytes, found the obvious way.
std::vector<int64_t> reference_lines(log_file& file, const search_needle& needle)
{
    std::vector<int64_t> out;
    for (const indexed_line& line : walked_lines(file)) {
        std::string bytes(line.length, '\0');
        file.read_bytes(line.offset, bytes.data(), line.length);
        for (std::size_t s : reference_starts(bytes, needle.bytes, needle.bytes_fold))
            if (s % static_cast<std::size_t>(needle.unit) == 0) {
                out.push_back(line.offset);
                break;
            }
    }
    return out;
}

TEST_F(search_LineScan, TheScanHandsOnEveryLineHoldingTheNeedleWhateverTheChunks)
{
    std::mt19937_64 rng(11);
    const std::vector<file_encoding> encodings = {file_encoding::utf8_bom, file_encoding::ucs2le,
                                                  file_encoding::ucs2be};
    for (int round = 0; round < 60 / kSanitizedShare; ++round) {
        const file_encoding e = encodings[static_cast<std::size_t>(round) % encodings.size()];
        std::vector<std::u16string> lines;
        const int count = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < count; ++i) {
            std::u16string line;
            const int length = static_cast<int>(rng() % 12);
            for (int k = 0; k < length; ++k)
                line.push_back(u"abAB \u0161\u6100"[rng() % 7]); // U+6100 is 00 61 / 61 00 in bytes
            if (rng() % 80 == 0) // past the line limit (UTF-8) or near it (UCS-2): read cut
                line = std::u16string(e == file_encoding::utf8_bom ? 70000 : 40000, u'a');
            lines.push_back(line);
        }
        m_dir.write("s.log", file_bytes(lines, rng() % 2 ? u"\n" : u"\r\n", e));
        log_file file;
        ASSERT_TRUE(file.open(m_dir.wide("s.log"), 0, rng() % 2));
        const std::vector<std::u16string> literals = {u"ab", u"a", u"bA", u"a b", u"\u0161a", u"aaaa"};
        const std::u16string literal = literals[rng() % literals.size()];
        const auto needle = NeedleForLiteral(literal, rng() % 2, file.encoding());
        ASSERT_TRUE(needle);
        const std::vector<int64_t> expected = reference_lines(file, *needle);
        const line_index::reader index = file.read_index();
        const line_positions positions(index);
        // Chunks of every size for small files; fewer reads for the over-long lines.
        const std::vector<std::size_t> chunks = file.file_size() < 20000
                                                    ? std::vector<std::size_t>{1, 2, 3, 7, 64, 4096}
                                                    : std::vector<std::size_t>{509, 4096, 65536};
        for (std::size_t chunk : chunks) {
            for (bool upwards : {false, true}) {
                literal_scan scan(file, &*needle, chunk);
                std::vector<int64_t> got;
                const literal_scan::ending end = scan.scan(
                    positions, 0, positions.line_count() - 1, upwards,
                    [&](const indexed_line& line, const file_chunk& bytes) {
                        EXPECT_TRUE(line.offset + static_cast<int64_t>(line.length) > bytes.offset);
                        got.push_back(line.offset);
                        return true;
                    },
                    [] { return true; });
                EXPECT_EQ(end, literal_scan::ending::done);
                if (upwards)
                    std::reverse(got.begin(), got.end());
                ASSERT_EQ(got, expected) << "round " << round << " chunk " << chunk << (upwards ? " up" : " down");
                EXPECT_EQ(scan.candidate_lines(), expected.size());
            }
        }
    }
}

TEST_F(search_LineScan, ACallbackStopsTheScan)
{
    m_dir.write("c.log", "ab\nab\nab\nab\n");
    log_file file;
    ASSERT_TRUE(file.open(m_dir.wide("c.log"), 0, false));
    const auto needle = NeedleForLiteral(u"ab", false, file.encoding());
    ASSERT_TRUE(needle);
    const line_index::reader index = file.read_index();
    const line_positions positions(index);
    literal_scan scan(file, &*needle, 4);
    int seen = 0;
    EXPECT_EQ(scan.scan(
                  positions, 0, 3, false, [&](const indexed_line&, const file_chunk&) { return ++seen < 2; },
                  [] { return true; }),
              literal_scan::ending::stopped);
    EXPECT_EQ(seen, 2);
    literal_scan between(file, &*needle, 4);
    EXPECT_EQ(
        between.scan(
            positions, 0, 3, true, [](const indexed_line&, const file_chunk&) { return true; }, [] { return false; }),
        literal_scan::ending::stopped);
    EXPECT_EQ(between.bytes_scanned(), 5u); // one chunk of four starts and the needle's last byte
}

TEST_F(search_LineScan, WithoutANeedleEveryLineIsHandedOnInOrderBothWays)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += std::to_string(i) + (i % 7 ? " line\n" : "\r\n\n");
    text += std::string(70000, 'x') + "\nlast\n"; // an over-long line is not indexed
    m_dir.write("e.log", text);
    log_file file;
    ASSERT_TRUE(file.open(m_dir.wide("e.log"), 0, false));
    const std::vector<indexed_line> walked = walked_lines(file);
    const line_index::reader index = file.read_index();
    const line_positions positions(index);
    for (uint64_t first : {0u, 1u, 2999u}) {
        for (bool upwards : {false, true}) {
            literal_scan scan(file, static_cast<const search_needle*>(nullptr), 100);
            std::vector<int64_t> got;
            int chunks = 0;
            const uint64_t last = positions.line_count() - 1;
            EXPECT_EQ(scan.scan(
                          positions, first, last, upwards,
                          [&](const indexed_line& line, const file_chunk& chunk) {
                              // The line's bytes are in the chunk handed with it.
                              EXPECT_GE(line.offset, chunk.offset);
                              EXPECT_LE(line.offset + static_cast<int64_t>(line.length),
                                        chunk.offset + static_cast<int64_t>(chunk.size));
                              got.push_back(line.offset);
                              return true;
                          },
                          [&] {
                              ++chunks;
                              return true;
                          }),
                      literal_scan::ending::done);
            if (upwards)
                std::reverse(got.begin(), got.end());
            std::vector<int64_t> expected;
            for (uint64_t n = first; n <= last; ++n)
                expected.push_back(walked[n].offset);
            EXPECT_EQ(got, expected);
            EXPECT_GT(chunks, 0);
        }
    }
}

} // namespace
