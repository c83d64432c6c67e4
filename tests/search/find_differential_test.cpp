// The fast path of find in file against the plain loop that parses and tests
// every window: generated files in every encoding and code page, with every
// line end, searched both ways with filters and quick filters, plain text,
// wildcards and regular expressions (with a literal, with only a start to
// scan for, with neither), rare and frequent matches placed at the first and
// last lines and around window boundaries, lines the index leaves out,
// cancels at every window, the byte scan's reads of every size, windows cut
// into chunks that several threads scan.  Both must end identically: outcome, row,
// window numbers and the row's line.
#include "find_test_support.h"

#include "regex/text_match.h"
#include "support/case_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace {

struct code_page_case {
    const char* name;        // VARNOTH_ANSI_CODEPAGE
    std::u16string alphabet; // characters beyond ASCII it can write
    bool byte_scan_expected; // whether its bytes can tell the literal
};

class generator {
public:
    explicit generator(uint64_t seed) : m_rng(seed) {}

    int pick(int n) { return static_cast<int>(m_rng() % static_cast<uint64_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    template <class T> const T& one_of(const std::vector<T>& items)
    {
        return items[static_cast<std::size_t>(pick(static_cast<int>(items.size())))];
    }

private:
    std::mt19937_64 m_rng;
};

struct generated_case {
    std::vector<std::u16string> lines;
    std::u16string line_end;
    search_setup setup;
    std::string description;
};

const std::vector<std::u16string> kWords = {u"alpha", u"beta", u"gamma",   u"delta", u"took", u"ms", u"error", u"Error",
                                            u"disk",  u"full", u"message", u"a",     u"zz",   u"ze", u"phyr"};
const std::vector<std::u16string> kLevels = {u"INFO", u"WARN", u"ERROR", u"debug", u"Info", u"warn"};
const std::vector<std::u16string> kModules = {u"db", u"net", u"mod1", u"Cache", u"zeph", u"x"};

generated_case make_case(generator& g, file_encoding encoding, const std::u16string& alphabet)
{
    generated_case c;
    std::ostringstream about;
    const int count = g.chance(10) ? 1 + g.pick(5) : 20 + g.pick(1200);
    const std::vector<uint64_t> sizes = {7, 13, 100, 257, 1000, 0};
    const uint64_t m = g.one_of(sizes);
    c.setup.max_lines = m;
    c.setup.encoding = encoding;
    const std::vector<std::u16string> ends = {u"\n", u"\r", u"\r\n"};
    c.line_end = g.one_of(ends);

    // The target in many spellings; some with the alphabet's characters.
    std::vector<std::u16string> targets = {u"zephyr", u"Zephyr", u"ZEPHYR", u"zEphyr"};
    if (!alphabet.empty()) {
        targets.push_back(u"z" + alphabet.substr(0, 1) + u"phyr");
        targets.push_back(alphabet + u"zephyr");
    }
    auto extra = [&] {
        return alphabet.empty()
                   ? std::u16string(u"-")
                   : alphabet.substr(static_cast<std::size_t>(g.pick(static_cast<int>(alphabet.size()))), 1);
    };
    const int frequency = g.chance(30) ? 25 : 1; // percent of lines with a target
    const int effective_m = m ? static_cast<int>(m) : count;
    for (int i = 0; i < count; ++i) {
        std::u16string line = FromUtf8(std::to_string(g.chance(5) ? 1000000 + i : i)) + u" " + g.one_of(kLevels) + u" ["
                              + g.one_of(kModules) + u"] ";
        const int words = g.pick(8);
        for (int w = 0; w < words; ++w) {
            line += g.one_of(kWords);
            if (g.chance(10))
                line += extra();
            line += u" ";
        }
        if (g.chance(15))
            line += u"took " + FromUtf8(std::to_string(g.pick(3000))) + u" ms";
        const bool boundary =
            i == 0 || i == count - 1 || (i % effective_m) <= 1 || (i % effective_m) == effective_m - 1;
        if (g.chance(frequency) || (boundary && g.chance(20)))
            line += u" " + g.one_of(targets) + (g.chance(50) ? u"" : u" end");
        if (g.chance(2))
            line = g.one_of(targets); // a line of the target alone: splits into one column
        if (g.chance(2))
            line += std::u16string(1, u'\0') + u" zephyr after a zero"; // text ends at the zero
        if (g.chance(1))
            line = u"7 INFO [db] "
                   + std::u16string(
                       encoding == file_encoding::ucs2le || encoding == file_encoding::ucs2be ? 33000 : 66000, u'q')
                   + u" zephyr";
        c.lines.push_back(line);
        if (g.chance(3))
            c.lines.push_back(u""); // an empty segment: no line
    }

    CSearchInfo& s = c.setup.search;
    s.up = g.chance(50);
    s.case_sensitive = g.chance(50);
    s.column = g.chance(70) ? -1 : g.pick(5);
    switch (g.pick(17)) {
    case 0: s.expression = g.one_of(targets); break;
    case 1: s.expression = u"zephyr"; break;
    case 2: s.expression = u"message"; break; // frequent
    case 3: s.expression = u"] al"; break;    // across a delimiter
    case 4: s.expression = u"Z"; break;       // one character
    case 5:
        s.expression = WildcardToRegex(g.chance(50) ? u"zeph*r" : u"z?phyr");
        s.regexp = true;
        break;
    case 6:
        s.expression = u"zeph[a-z]+";
        s.regexp = true;
        break;
    case 7:
        s.expression = g.chance(50) ? u"^zephyr" : u"zephyr$";
        s.regexp = true;
        break;
    case 8:
        s.expression = u"took \\d{4} ms";
        s.regexp = true;
        break;
    case 9:
        s.expression = u"(alpha|beta) zephyr";
        s.regexp = true;
        break;
    case 10:
        s.expression = u"\\bZEPHYR\\b";
        s.regexp = true;
        break;
    case 11: // no required literal: the bytes are scanned for the start of the matches
        s.expression = g.chance(50) ? u"(zephyr|ZEPHYR)" : u"[zZ]\\w{5}\\b";
        s.regexp = true;
        break;
    case 12:
        s.expression = g.chance(50) ? u"(?i)z[e]p|ph[y]r" : u"[zZ][eE]\\w\\w";
        s.regexp = true;
        break;
    case 13: // a literal of one byte: the start is scanned for instead
        s.expression = g.chance(50) ? u"\\d{2,} [m]s" : u"[0-9] \\w";
        s.regexp = true;
        break;
    case 14: // the start tells nothing: matches the empty text, or starts with any character
        s.expression = g.chance(50) ? u"x*" : u".*[zZ][e]";
        s.regexp = true;
        break;
    default: s.expression = u"absent-word"; break;
    }

    const int filter = g.pick(4);
    if (filter == 1 || filter == 3) {
        log_filter level;
        level.SetColumn(u"level");
        level.SetType(FILTER_TYPE_NOTEQUAL);
        level.SetContent(u"debug");
        level.SetCaseSensitive(false);
        c.setup.groups.AddCondition(level);
        log_filter id;
        id.SetColumn(u"id");
        id.SetType(FILTER_TYPE_GREATER);
        id.SetContent(FromUtf8(std::to_string(g.pick(count + 1))));
        c.setup.groups.AddCondition(id);
        c.setup.filter_enabled = g.chance(80);
    }
    if (filter >= 2) {
        const std::vector<std::u16string> quick = {u"e", u"zeph", u"m?d*", u"alpha"};
        c.setup.quick_text = g.one_of(quick);
    }
    c.setup.tail_first = g.chance(30);
    const int64_t n = static_cast<int64_t>(count); // about the number of lines; the index decides
    c.setup.window_first =
        m == 0 ? 0 : (g.chance(30) ? std::max<int64_t>(n - static_cast<int64_t>(m), 0) : g.pick(count));
    c.setup.searches = 1 + g.pick(3);
    c.setup.cancel_at_window = g.chance(25) ? static_cast<uint64_t>(1 + g.pick(5)) : 0;
    // Reads of every size put starts and needles across their edges; reads
    // of a few bytes only for small files.
    const std::vector<std::size_t> small_reads = {1, 2, 3, 7, 16, 31, 32, 33, 0};
    const std::vector<std::size_t> reads = {0, 0, 64, 100, 4096};
    c.setup.scan_chunk_size = count < 100 ? g.one_of(small_reads) : g.one_of(reads);

    about << encoding_name(encoding) << ", " << count << " lines, end "
          << (c.line_end == u"\n"   ? "LF"
              : c.line_end == u"\r" ? "CR"
                                    : "CRLF")
          << ", window " << m << " from " << c.setup.window_first << (c.setup.tail_first ? " (tail first)" : "")
          << ", search '" << narrow(s.expression) << "'" << (s.regexp ? " regexp" : "")
          << (s.case_sensitive ? " case" : " nocase") << " column " << s.column << (s.up ? " up" : " down")
          << ", filter " << filter << (c.setup.filter_enabled ? " enabled" : "") << " quick '"
          << narrow(c.setup.quick_text) << "', " << c.setup.searches << " searches, cancel at "
          << c.setup.cancel_at_window << ", reads of " << c.setup.scan_chunk_size;
    c.description = about.str();
    return c;
}

struct tally {
    int cases = 0;
    int scanned = 0;
    int start_scanned = 0;
    int found = 0;
    int cancelled = 0;
};

// Runs the cases of one seed: at least floor of them, up to full while the
// time budget lasts (sanitizer builds are many times slower).
void run_cases(const std::vector<file_encoding>& encodings, const std::u16string& alphabet, uint64_t seed,
               case_budget budget, tally& t, bool byte_scan_expected = true)
{
    temp_dir dir;
    generator g(seed);
    generator chunks(seed + 1000);
    for (int k = 0; budget.more(k); ++k) {
        const file_encoding encoding = encodings[static_cast<std::size_t>(k) % encodings.size()];
        generated_case c = make_case(g, encoding, alphabet);
        // Most cases cut the windows into chunks of a few lines that two or
        // three threads scan; the rest scan them on the caller alone.  Drawn
        // apart, so that the cases themselves stay those of the seed.
        const std::vector<uint64_t> chunk_sizes = {1, 40, 97, 500, 4096};
        c.setup.workers = chunks.chance(75) ? 2 + static_cast<unsigned>(chunks.pick(2)) : 1;
        c.setup.chunk_bytes = chunks.one_of(chunk_sizes);
        c.description +=
            ", " + std::to_string(c.setup.workers) + " workers on chunks of " + std::to_string(c.setup.chunk_bytes);
        dir.write("d.log", file_bytes(c.lines, c.line_end, encoding));
        find_counts counts;
        const std::vector<search_end> plain = run_searches(dir.wide("d.log"), c.setup, false);
        const std::vector<search_end> fast = run_searches(dir.wide("d.log"), c.setup, true, &counts);
        ASSERT_EQ(plain.size(), fast.size()) << c.description;
        for (std::size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(fast[i], plain[i]) << "search " << i << " of case " << k << " (seed " << seed
                                         << "): " << c.description << "\n  plain: " << describe(plain[i])
                                         << "\n  fast:  " << describe(fast[i]);
        ++t.cases;
        t.scanned += counts.literal_scan || counts.start_scan ? 1 : 0;
        t.start_scanned += counts.start_scan ? 1 : 0;
        for (const search_end& e : plain) {
            t.found += e.outcome == find_outcome::found ? 1 : 0;
            t.cancelled += e.outcome == find_outcome::cancelled ? 1 : 0;
        }
        if (!byte_scan_expected) {
            EXPECT_FALSE(counts.literal_scan || counts.start_scan) << c.description;
        } else if (counts.fast_path && c.setup.cancel_at_window == 0) {
            // The fast path parses only the window it ends in: no line the
            // pre-scan picked was taken for a hit that is none.
            EXPECT_LE(counts.windows_parsed, 1u) << c.description;
        }
    }
}

class search_FindDifferential : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
};

TEST_F(search_FindDifferential, UnicodeFilesEndAsThePlainLoopDoes)
{
    tally t;
    run_cases({file_encoding::utf8_bom, file_encoding::utf8_plain, file_encoding::ucs2le, file_encoding::ucs2be},
              u"\u00e9\u0416\u4e2d\U0001F600", 1, case_budget(60, 240), t);
    EXPECT_GT(t.scanned, t.cases / 2) << "the fast path must run in most cases";
    EXPECT_GT(t.start_scanned, t.cases / 10) << "the start scan must run in many cases";
    EXPECT_GT(t.found, t.cases / 8);
    EXPECT_GT(t.cancelled, t.cases / 24);
}

TEST_F(search_FindDifferential, AnsiFilesInSingleByteCodePagesEndAsThePlainLoopDoes)
{
    const code_page_case pages[] = {
        {"WINDOWS-1252", u"\u00e9\u00fc\u20ac", true},
        {"ISO-8859-5", u"\u0416\u0434", true},
        {"UTF-8", u"\u00e9\u4e2d", true},
    };
    for (const code_page_case& page : pages) {
        scoped_env codepage("VARNOTH_ANSI_CODEPAGE", page.name);
        std::string probe;
        if (!WideToAnsi(page.alphabet, probe)) {
            ADD_FAILURE() << page.name << " is not available";
            continue;
        }
        tally t;
        run_cases({file_encoding::ansi}, page.alphabet, 2, case_budget(25, 90, std::chrono::seconds(2)), t);
        EXPECT_GT(t.scanned, t.cases / 2) << page.name;
        EXPECT_GT(t.start_scanned, t.cases / 10) << page.name;
    }
}

TEST_F(search_FindDifferential, UnicodeFilesReadAsAnsiEndAsThePlainLoopDoes)
{
    // UTF-8 bytes without BOM read in a single-byte code page: every byte is a
    // character of its own; the literal is written in that code page.
    scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
    tally t;
    run_cases({file_encoding::utf8_plain}, u"\u00e9", 3, case_budget(20, 60, std::chrono::seconds(3)), t);
}

TEST_F(search_FindDifferential, AMultiByteCodePageTestsEveryLineWithoutTheByteScan)
{
    scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "SHIFT_JIS");
    std::string probe;
    if (!WideToAnsi(u"\u65e5\u672c", probe))
        GTEST_SKIP() << "SHIFT_JIS is not available";
    tally t;
    run_cases({file_encoding::ansi}, u"\u65e5\u672c", 4, case_budget(10, 30, std::chrono::seconds(2)), t, false);
}

} // namespace
