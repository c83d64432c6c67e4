// The pre-scan for the start of a regular expression against plain
// references: the class finder on every code path, the bytes of a start in
// every encoding (every line whose text a pattern matches holds them), and
// find in file at the scan's edges: a start at the last byte a read covers,
// a start that may be any character, a pattern that can match the empty
// text; and an upper-case needle in a scan that ignores case.
#include "find_test_support.h"

#include "logfile/line_text.h"
#include "regex/regex.h"
#include "search/byte_finder.h"
#include "search/class_finder.h"
#include "search/search_literal.h"
#include "search/search_start.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const char* const kPaths[] = {"portable", "sse2", "avx2"};

bool path_runs(const char* kind)
{
    return std::string(kind) != "avx2" || __builtin_cpu_supports("avx2");
}

// Every start where each position holds a byte of its set, the obvious way.
std::vector<std::size_t> reference_starts(const std::string& data, const std::vector<byte_set>& sets)
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i + sets.size() <= data.size(); ++i) {
        bool fits = true;
        for (std::size_t o = 0; o < sets.size() && fits; ++o)
            fits = sets[o][static_cast<unsigned char>(data[i + o])];
        if (fits)
            out.push_back(i);
    }
    return out;
}

std::vector<std::size_t> finder_starts(const class_finder& finder, const char* kind, const std::string& data)
{
    std::vector<std::size_t> out;
    for (std::size_t pos = 0;;) {
        const std::size_t hit = finder.find_using(kind, data.data(), data.size(), pos);
        if (hit == byte_scanner::npos)
            break;
        out.push_back(hit);
        pos = hit + 1;
    }
    return out;
}

TEST(search_ClassFinder, EveryCodePathFindsWhatAPlainCheckFinds)
{
    std::mt19937_64 rng(5);
    const std::string alphabet = std::string("aAbBzZ09-x \t\x7F\x80\xC3\xA9\xFF\n", 18) + std::string(1, '\0');
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        // Sets of one byte, of a few, of scattered bytes (more ranges than
        // the vector loops test), of every byte, or of none.
        const std::size_t positions = 1 + rng() % (round % 7 == 0 ? 20 : 4);
        std::vector<byte_set> sets(positions);
        for (byte_set& set : sets) {
            set.fill(false);
            const int kind = static_cast<int>(rng() % 10);
            if (kind == 0) {
                set.fill(true);
            } else if (kind == 1) {
                for (int b = 0; b < 256; ++b)
                    set[static_cast<std::size_t>(b)] = rng() % 3 == 0;
            } else if (kind != 2) {
                for (int k = 1 + static_cast<int>(rng() % 6); k > 0; --k)
                    set[static_cast<unsigned char>(alphabet[rng() % alphabet.size()])] = true;
            }
        }
        const std::size_t length = rng() % (round % 5 == 0 ? 300 : 80);
        std::string data(length, ' ');
        for (char& c : data)
            c = alphabet[rng() % alphabet.size()];
        // Now and then a start whose last byte is the buffer's last byte.
        if (length >= positions && rng() % 3 == 0) {
            for (std::size_t o = 0; o < positions; ++o)
                for (int b = 0; b < 256; ++b)
                    if (sets[o][static_cast<std::size_t>(b)]) {
                        data[length - positions + o] = static_cast<char>(b);
                        break;
                    }
        }
        const class_finder finder(sets);
        const std::vector<std::size_t> expected = reference_starts(data, sets);
        found += expected.empty() ? 0 : 1;
        for (const char* kind : kPaths) {
            if (!path_runs(kind))
                continue;
            ASSERT_EQ(finder_starts(finder, kind, data), expected) << kind << " round " << round;
        }
        EXPECT_EQ(finder.find(data.data(), data.size(), data.size() + 1), byte_scanner::npos);
    }
    EXPECT_GT(found, 1000);
}

TEST(search_ClassFinder, AStartEndingOnTheLastByteOfEveryLengthIsFound)
{
    // [xyz] then a digit: the last start of each buffer ends on its last byte.
    byte_set first{};
    byte_set digit{};
    first['x'] = first['y'] = first['z'] = true;
    for (char c = '0'; c <= '9'; ++c)
        digit[static_cast<unsigned char>(c)] = true;
    const class_finder pair({first, digit});
    const class_finder single({first});
    for (std::size_t length = 2; length < 140; ++length) {
        std::string data(length, '1');
        data[length - 2] = 'y';
        std::string alone(length, '-');
        alone[length - 1] = 'z';
        for (const char* kind : kPaths) {
            if (!path_runs(kind))
                continue;
            EXPECT_EQ(pair.find_using(kind, data.data(), length, 0), length - 2) << kind << " " << length;
            EXPECT_EQ(pair.find_using(kind, data.data(), length - 1, 0), byte_scanner::npos) << kind;
            EXPECT_EQ(single.find_using(kind, alone.data(), length, 0), length - 1) << kind << " " << length;
        }
    }
}

TEST(search_ClassFinder, ProbesTheRarestPositions)
{
    // \d{3}-\d{4}: the dash sifts far better than any digit does.
    byte_set digit{};
    for (char c = '0'; c <= '9'; ++c)
        digit[static_cast<unsigned char>(c)] = true;
    byte_set dash{};
    dash['-'] = true;
    byte_set every{};
    every.fill(true);
    const class_finder finder({digit, digit, digit, dash, digit, digit, digit, digit});
    const std::vector<std::size_t> probes = finder.probe_positions();
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0], 3u);
    EXPECT_LT(class_finder::commonness(dash), class_finder::commonness(digit));
    // A position that holds every byte is never probed.
    EXPECT_TRUE(class_finder({every, every}).probe_positions().empty());
    EXPECT_EQ(class_finder({every, dash}).probe_positions(), std::vector<std::size_t>{1});
}

CSearchInfo regex_search(const std::u16string& expression, bool case_sensitive = true)
{
    CSearchInfo s;
    s.expression = expression;
    s.regexp = true;
    s.case_sensitive = case_sensitive;
    return s;
}

// The bytes of set as a text of bytes, for comparing with expectations.
std::string members(const byte_set& set)
{
    std::string out;
    for (int b = 0; b < 256; ++b)
        if (set[static_cast<std::size_t>(b)])
            out.push_back(static_cast<char>(b));
    return out;
}

TEST(search_SearchStart, TheBytesOfAStartInEveryEncoding)
{
    const auto utf8 = SearchStart(regex_search(u"[xyz]\\d{6}"), ENCODING_UTF8);
    ASSERT_TRUE(utf8);
    ASSERT_EQ(utf8->bytes.size(), 7u);
    EXPECT_EQ(members(utf8->bytes[0]), "xyz");
    EXPECT_EQ(members(utf8->bytes[6]), "0123456789");
    EXPECT_EQ(utf8->unit, 1);

    const auto le = SearchStart(regex_search(u"[xyz]\\d"), ENCODING_UCS2LE);
    ASSERT_TRUE(le);
    ASSERT_EQ(le->bytes.size(), 4u);
    EXPECT_EQ(members(le->bytes[0]), "xyz");
    EXPECT_EQ(members(le->bytes[1]), std::string(1, '\0'));
    EXPECT_EQ(le->unit, 2);
    const auto be = SearchStart(regex_search(u"[xyz]\\d"), ENCODING_UCS2BE);
    ASSERT_TRUE(be);
    EXPECT_EQ(members(be->bytes[0]), std::string(1, '\0'));
    EXPECT_EQ(members(be->bytes[1]), "xyz");

    // Ignoring case widens the classes, so both cases of each letter.
    const auto folded = SearchStart(regex_search(u"timeout|refused", false), ENCODING_UTF8);
    ASSERT_TRUE(folded);
    EXPECT_EQ(members(folded->bytes[0]), "RTrt");

    // Beyond ASCII in UTF-8: the first byte of its sequence, and no position after it.
    const auto wide = SearchStart(regex_search(u"\u00e9\\d"), ENCODING_UTF8);
    ASSERT_TRUE(wide);
    ASSERT_EQ(wide->bytes.size(), 1u);
    EXPECT_EQ(members(wide->bytes[0]), "\xC3");
    const auto han = SearchStart(regex_search(u"[\u4e2d\u00e9]"), ENCODING_UTF8);
    ASSERT_TRUE(han);
    EXPECT_EQ(members(han->bytes[0]), "\xC3\xE4");
    {
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
        const auto ansi = SearchStart(regex_search(u"\u00e9\\d"), ENCODING_ANSI);
        ASSERT_TRUE(ansi);
        ASSERT_EQ(ansi->bytes.size(), 2u);
        EXPECT_EQ(members(ansi->bytes[0]), "\xE9");
        const auto euro = SearchStart(regex_search(u"\u20ac"), ENCODING_ANSI);
        ASSERT_TRUE(euro);
        EXPECT_EQ(members(euro->bytes[0]), "\x80");
    }
    {
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "SHIFT_JIS");
        std::string probe;
        if (WideToAnsi(u"\u65e5", probe)) {
            EXPECT_FALSE(SearchStart(regex_search(u"[xyz]\\d"), ENCODING_ANSI));
        }
    }
    // Text that did not decode may be any byte outside ASCII.
    const auto replacement = SearchStart(regex_search(u"\\x{FFFD}"), ENCODING_UTF8);
    ASSERT_TRUE(replacement);
    EXPECT_EQ(members(replacement->bytes[0]).size(), 128u);

    // Nothing to scan for: a start that may be any character, a pattern that
    // may match the empty text, plain text, an empty expression.
    EXPECT_FALSE(SearchStart(regex_search(u".*[xy]"), ENCODING_UTF8));
    EXPECT_FALSE(SearchStart(regex_search(u"[^q]|q"), ENCODING_UCS2LE));
    EXPECT_FALSE(SearchStart(regex_search(u"x*"), ENCODING_UTF8));
    CSearchInfo plain = regex_search(u"[xyz]");
    plain.regexp = false;
    EXPECT_FALSE(SearchStart(plain, ENCODING_UTF8));
    EXPECT_FALSE(SearchStart(regex_search(u""), ENCODING_UTF8));
}

TEST(search_SearchStart, EveryLineWhoseTextMatchesHoldsTheBytesOfAStart)
{
    struct code_page {
        const char* name; // nullptr: not an ANSI file
        int32_t encoding;
        std::u16string extra; // characters beyond ASCII the encoding writes
    };
    const code_page pages[] = {
        {nullptr, ENCODING_UTF8, u"\u00e9\u00c9\u4e2d\U0001F600\uFFFD"},
        {nullptr, ENCODING_UCS2LE, u"\u00e9\u4e2d\u0178\u7800"},
        {nullptr, ENCODING_UCS2BE, u"\u00e9\u4e2d\u0178\u7800"},
        {"WINDOWS-1252", ENCODING_ANSI, u"\u00e9\u00c9\u20ac\u0178"},
        {"ISO-8859-5", ENCODING_ANSI, u"\u0416\u0436"},
        {"UTF-8", ENCODING_ANSI, u"\u00e9\u4e2d"},
    };
    const std::vector<std::u16string> patterns = {
        u"[xyz]\\d{2}",
        u"\\d-\\d",
        u"(?i)[a-c]x",
        u"(?i)zeph|phyr",
        u"[^a-z ]\\d",
        u"\\w\\W\\w",
        u"[\u00e9\u00c9]x",
        u"(\u4e2d|\u0416)\\d",
        u"\\s\\S-",
        u"(a|b)?c\\d",
        u"[[:upper:]][[:digit:]]",
        u"\\D9",
        u"\\x{FFFD}\\d",
        u"(?i)\u00e9|Z\\d",
        u"[\u0178\u20ac]",
    };
    std::mt19937_64 rng(23);
    int matched = 0;
    for (const code_page& page : pages) {
        std::optional<scoped_env> codepage;
        if (page.name)
            codepage.emplace("VARNOTH_ANSI_CODEPAGE", page.name);
        const std::u16string alphabet = u"abcxyzZAC019- " + page.extra;
        for (const std::u16string& expression : patterns) {
            for (bool case_sensitive : {true, false}) {
                const auto start = SearchStart(regex_search(expression, case_sensitive), page.encoding);
                if (!start)
                    continue;
                const class_finder finder(start->bytes);
                CPatternT pattern;
                pattern.Compile(expression, case_sensitive ? NO_FLAG : IgnoreCase);
                for (int k = 0; k < 150; ++k) {
                    std::u16string line;
                    for (int n = static_cast<int>(rng() % 14); n > 0; --n)
                        line += alphabet[rng() % alphabet.size()];
                    std::string bytes;
                    if (page.encoding == ENCODING_ANSI) {
                        if (!WideToAnsi(line, bytes))
                            continue;
                    } else {
                        const file_encoding e = page.encoding == ENCODING_UTF8     ? file_encoding::utf8_plain
                                                : page.encoding == ENCODING_UCS2LE ? file_encoding::ucs2le
                                                                                   : file_encoding::ucs2be;
                        bytes = file_bytes({line}, u"", e).substr(e == file_encoding::utf8_plain ? 0 : 2);
                    }
                    std::u16string text;
                    ASSERT_TRUE(line_bytes_to_text(page.encoding, bytes.data(), bytes.size(), text));
                    if (!pattern.IsMatch(text))
                        continue;
                    ++matched;
                    bool held = false;
                    for (std::size_t pos = 0; !held;) {
                        const std::size_t at = finder.find(bytes.data(), bytes.size(), pos);
                        if (at == byte_scanner::npos)
                            break;
                        held = at % static_cast<std::size_t>(start->unit) == 0;
                        pos = at + 1;
                    }
                    ASSERT_TRUE(held) << (page.name ? page.name : "") << " encoding " << page.encoding << " '"
                                      << narrow(expression) << "' in '" << narrow(line) << "'";
                    EXPECT_GE(start->classes.FindIn(text.data(), static_cast<int>(text.size()), 0), 0);
                }
            }
        }
    }
    EXPECT_GT(matched, 3000);
}

TEST(search_ByteFinder, AnUpperCaseNeedleIgnoringCaseFindsEveryLetterInEitherCase)
{
    for (char upper = 'A'; upper <= 'Z'; ++upper) {
        const char lower = static_cast<char>(upper + 32);
        const byte_finder finder(std::string("Q") + upper, true);
        for (std::size_t length = 2; length < 70; length += 1) {
            for (const std::string& tail :
                 {std::string("q") + lower, std::string("Q") + upper, std::string("q") + upper}) {
                std::string data(length - 2, '-');
                data += tail;
                for (const char* kind : kPaths) {
                    if (path_runs(kind)) {
                        ASSERT_EQ(finder.find_using(kind, data.data(), data.size(), 0), length - 2)
                            << kind << " " << upper << " " << tail;
                    }
                }
            }
            // The byte beside the letter by the case bit is no letter and does not fold.
            std::string near(length - 2, '-');
            near += std::string("q") + static_cast<char>(upper == 'A' ? '@' : upper == 'Z' ? '[' : '-');
            EXPECT_EQ(finder.find(near.data(), near.size()), byte_scanner::npos);
        }
    }
}

class search_StartScan : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
    temp_dir m_dir;
};

TEST_F(search_StartScan, AStartOnTheLastByteOfAReadIsFoundWhateverTheReadSize)
{
    // One match on line 30, its first byte everywhere in turn relative to the reads.
    std::vector<std::u16string> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back(FromUtf8(std::to_string(i)) + u" INFO [db] " + (i == 30 ? u"code x42 seen" : u"code w42 seen"));
    for (file_encoding e : {file_encoding::utf8_bom, file_encoding::ucs2le}) {
        m_dir.write("b.log", file_bytes(lines, u"\n", e));
        for (bool up : {false, true}) {
            search_setup setup;
            setup.encoding = e;
            setup.max_lines = 7;
            setup.window_first = up ? 33 : 0;
            setup.search = regex_search(u"[xyz]\\d\\d");
            setup.search.up = up;
            const std::vector<search_end> plain = run_searches(m_dir.wide("b.log"), setup, false);
            ASSERT_EQ(plain.size(), 1u);
            ASSERT_EQ(plain[0].outcome, find_outcome::found);
            for (std::size_t chunk = 1; chunk < 700; chunk += chunk < 40 ? 1 : 37) {
                setup.scan_chunk_size = chunk;
                find_counts counts;
                const std::vector<search_end> fast = run_searches(m_dir.wide("b.log"), setup, true, &counts);
                ASSERT_EQ(fast, plain) << encoding_name(e) << (up ? " up" : " down") << " chunk " << chunk;
                EXPECT_TRUE(counts.start_scan);
                EXPECT_EQ(counts.candidate_lines, 1u);
                EXPECT_EQ(counts.windows_parsed, 1u);
            }
        }
    }
}

TEST_F(search_StartScan, AStartOfAnyCharacterAndAnEmptyMatchTestEveryLineAsThePlainLoopDoes)
{
    std::vector<std::u16string> lines;
    for (int i = 0; i < 60; ++i)
        lines.push_back(FromUtf8(std::to_string(i)) + u" WARN [net] " + (i == 47 ? u"disk quota" : u"all fine"));
    m_dir.write("a.log", file_bytes(lines, u"\r\n", file_encoding::utf8_plain));
    struct row {
        std::u16string expression;
        bool found;
        bool literal; // a short literal is scanned for when the start tells nothing
    };
    const row rows[] = {
        {u".*[qz][u]", true, false}, // the start may be any character, and no literal
        {u".*[#%]", false, false},   // every line is tested and none matches
        {u"x*", true, false},        // matches the empty text: the first row the walk reaches
        {u"(q|)", true, false},      {u".*q[u]", true, true},
    };
    for (const row& r : rows) {
        for (bool up : {false, true}) {
            search_setup setup;
            setup.encoding = file_encoding::utf8_plain;
            setup.max_lines = 9;
            setup.window_first = up ? 51 : 0;
            setup.search = regex_search(r.expression);
            setup.search.up = up;
            setup.scan_chunk_size = 13;
            find_counts counts;
            const std::vector<search_end> plain = run_searches(m_dir.wide("a.log"), setup, false);
            const std::vector<search_end> fast = run_searches(m_dir.wide("a.log"), setup, true, &counts);
            ASSERT_EQ(fast, plain) << narrow(r.expression);
            EXPECT_EQ(plain[0].outcome == find_outcome::found, r.found) << narrow(r.expression);
            EXPECT_TRUE(counts.fast_path);
            EXPECT_FALSE(counts.start_scan) << narrow(r.expression);
            EXPECT_EQ(counts.literal_scan, r.literal) << narrow(r.expression);
        }
    }
}

TEST_F(search_StartScan, AnUpperCaseSearchIgnoringCaseFindsItsLowerCaseLineThroughTheByteScan)
{
    std::vector<std::u16string> lines;
    for (int i = 0; i < 50; ++i)
        lines.push_back(FromUtf8(std::to_string(i)) + u" INFO [db] " + (i == 41 ? u"a zephyr wind" : u"calm"));
    for (file_encoding e : {file_encoding::utf8_bom, file_encoding::ucs2be}) {
        m_dir.write("u.log", file_bytes(lines, u"\n", e));
        for (bool regexp : {false, true}) {
            search_setup setup;
            setup.encoding = e;
            setup.max_lines = 10;
            setup.search.expression = regexp ? u"ZEPH[Y]R" : u"ZEPHYR";
            setup.search.regexp = regexp;
            setup.search.case_sensitive = false;
            find_counts counts;
            const std::vector<search_end> fast = run_searches(m_dir.wide("u.log"), setup, true, &counts);
            ASSERT_EQ(fast.size(), 1u);
            EXPECT_EQ(fast[0].outcome, find_outcome::found) << encoding_name(e);
            EXPECT_EQ(fast[0].window_first, 40);
            EXPECT_TRUE(counts.literal_scan);
            EXPECT_EQ(counts.candidate_lines, 1u);
        }
    }
}

} // namespace
