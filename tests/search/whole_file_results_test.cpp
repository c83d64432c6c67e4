// Whole-file results against a plain walk over every line that splits and
// tests each one (log_file::for_each_line): generated files in every
// encoding, line ends of every kind mixed in one file, lines at and past the
// length limit, random expressions and random filter groups, the scan's
// reads of every size, steps cut into chunks that several threads walk;
// cancels keep what was found in order; results of appended lines equal a
// fresh run on the grown file.
#include "find_test_support.h"

#include "regex/text_match.h"
#include "search/whole_file_results.h"
#include "support/case_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <random>
#include <sstream>
#include <thread>

namespace {

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

const std::vector<std::u16string> kWords = {u"alpha", u"beta", u"error", u"Error", u"disk", u"full", u"zz", u"phyr"};
const std::vector<std::u16string> kLevels = {u"INFO", u"WARN", u"ERROR", u"debug", u"Info"};
const std::vector<std::u16string> kModules = {u"db", u"net", u"Cache", u"zeph"};

// The file's bytes: each line with a line end of its own kind.
std::string mixed_bytes(const std::vector<std::u16string>& lines, const std::vector<std::u16string>& ends,
                        file_encoding e)
{
    std::string out = file_bytes({}, u"", e);
    const std::size_t bom = out.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += file_bytes({lines[i]}, ends[i], e).substr(bom);
    return out;
}

struct generated_file {
    std::vector<std::u16string> lines;
    std::vector<std::u16string> ends;
};

generated_file make_file(generator& g, file_encoding e, const std::u16string& alphabet, int count)
{
    generated_file f;
    const std::vector<std::u16string> ends = {u"\n", u"\r", u"\r\n"};
    const bool two_byte = e == file_encoding::ucs2le || e == file_encoding::ucs2be;
    for (int i = 0; i < count; ++i) {
        std::u16string line = FromUtf8(std::to_string(g.chance(5) ? 1000000 + i : i)) + u" " + g.one_of(kLevels) + u" ["
                              + g.one_of(kModules) + u"] ";
        const int words = g.pick(6);
        for (int w = 0; w < words; ++w)
            line += g.one_of(kWords) + (g.chance(10) ? alphabet.substr(0, 1) : u"") + u" ";
        if (g.chance(8))
            line += g.chance(50) ? u"zephyr" : u"ZEPHYR end";
        if (g.chance(2))
            line = u"zephyr"; // one column only
        if (g.chance(2))
            line += std::u16string(1, u'\0') + u" zephyr after a zero";
        if (g.chance(1)) {
            // At the length limit, or past it (the line is cut).
            const std::size_t limit = kMaxLineUnits;
            const std::size_t length = g.chance(50) ? limit - 7 : limit + 40;
            line = u"7 ERROR [db] " + std::u16string(length - 13, u'q') + u"zephyr";
            if (two_byte && !g.chance(50))
                line.resize(limit);
        }
        f.lines.push_back(line);
        f.ends.push_back(g.one_of(ends));
        if (g.chance(3)) {
            f.lines.push_back(u""); // an empty line
            f.ends.push_back(g.one_of(ends));
        }
    }
    return f;
}

results_query make_query(generator& g, int line_count)
{
    results_query q;
    if (g.chance(40)) {
        q.what = results_query::kind::filter;
        const int conditions = 1 + g.pick(3);
        for (int k = 0; k < conditions; ++k) {
            log_filter c;
            switch (g.pick(5)) {
            case 0:
                c.SetColumn(u"level");
                c.SetType(g.chance(50) ? FILTER_TYPE_EQUAL : FILTER_TYPE_NOTEQUAL);
                c.SetContent(g.one_of(kLevels));
                break;
            case 1:
                c.SetColumn(u"id");
                c.SetType(g.chance(50) ? FILTER_TYPE_GREATER : FILTER_TYPE_LESS_EQUAL);
                c.SetContent(FromUtf8(std::to_string(g.pick(line_count + 1))));
                break;
            case 2:
                c.SetColumn(u"message");
                c.SetType(g.chance(50) ? FILTER_TYPE_CONTAIN : FILTER_TYPE_EXCLUDE);
                c.SetContent(g.chance(50) ? u"zephyr" : u"error");
                break;
            case 3:
                c.SetColumn(u"message");
                c.SetType(g.chance(50) ? FILTER_TYPE_REGEXP : FILTER_TYPE_WILDCARD);
                c.SetContent(c.type() == FILTER_TYPE_REGEXP ? u"(disk|full) \\w+" : u"*zeph?r*");
                break;
            default:
                c.SetColumn(u"module");
                c.SetType(FILTER_TYPE_CONTAIN);
                c.SetContent(u"e");
                break;
            }
            c.SetCaseSensitive(g.chance(50));
            c.SetLogicAnd(g.chance(70));
            q.groups.AddCondition(c);
        }
        return q;
    }
    CSearchInfo& s = q.search;
    s.case_sensitive = g.chance(50);
    s.column = g.chance(70) ? -1 : g.pick(5);
    switch (g.pick(9)) {
    case 0: s.expression = u"zephyr"; break;
    case 1: s.expression = u"ERROR"; break;
    case 2: s.expression = u"] al"; break; // across a column's end
    case 3: s.expression = u"Z"; break;    // one byte: every line is tested
    case 4:
        s.expression = WildcardToRegex(u"zeph*r");
        s.regexp = true;
        break;
    case 5:
        s.expression = u"(disk|full) zephyr";
        s.regexp = true;
        break;
    case 6: // no required literal: the start is scanned for
        s.expression = u"[zZ]\\w{5}\\b";
        s.regexp = true;
        break;
    case 7: // nothing to scan for
        s.expression = u".*[zZ][e]";
        s.regexp = true;
        break;
    default: s.expression = u"absent-word"; break;
    }
    return q;
}

std::string describe(const results_query& q)
{
    if (q.what == results_query::kind::filter) {
        std::vector<log_filter> list;
        q.groups.Flatten(list);
        std::ostringstream out;
        out << "filter";
        for (const log_filter& c : list)
            out << " [" << narrow(c.column()) << " " << c.type() << " '" << narrow(c.content()) << "'"
                << (c.logic_and() ? " and" : " or") << "]";
        return out.str();
    }
    return "find '" + narrow(q.search.expression) + "'" + (q.search.regexp ? " regexp" : "")
           + (q.search.case_sensitive ? " case" : " nocase") + " column " + std::to_string(q.search.column);
}

void text_only(log_pattern_list& items)
{
    for (log_pattern& item : items) {
        item.data_format.data_type = DATA_TYPE_TEXT;
        text_only(item.sub_items);
    }
}

struct reference_walk {
    const CSearchInfo* search = nullptr; // null: every line handed on is a result
    std::vector<uint64_t> numbers;
};

// The plain loop: every line read, split and tested.
std::vector<uint64_t> reference(log_file& file, const results_query& q)
{
    reference_walk walk;
    auto note = [](const log_line& line, uint64_t number, uint64_t, void* context) {
        auto& w = *static_cast<reference_walk*>(context);
        if (!w.search || line_matches(line, *w.search))
            w.numbers.push_back(number);
        return true;
    };
    log_pattern_list parser = service_parser();
    if (q.what == results_query::kind::filter) {
        EXPECT_TRUE(file.for_each_line(parser, note, &walk, &q.groups));
    } else {
        text_only(parser);
        walk.search = &q.search;
        EXPECT_TRUE(file.for_each_line(parser, note, &walk, log_file::line_test{}));
    }
    return walk.numbers;
}

// Runs a walk on its own thread and fails (ending the run) when it takes
// longer than the limit, so that a walk that never ends cannot hang the suite.
template <class F> auto bounded_walk(F fn, int seconds = 60)
{
    auto task = std::async(std::launch::async, std::move(fn));
    if (task.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "the walk did not end within " << seconds << " s";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return task.get();
}

std::vector<uint64_t> run(log_file& file, const results_query& q, results_options options,
                          results_outcome* outcome = nullptr)
{
    result_lines out;
    const results_outcome o = whole_file_results(file, service_parser(), q, out, options);
    if (outcome)
        *outcome = o;
    return out.copy();
}

struct tally {
    int cases = 0;
    int scanned = 0;
    int filters = 0;
    int with_results = 0;
};

void run_cases(const std::vector<file_encoding>& encodings, const std::u16string& alphabet, uint64_t seed,
               case_budget budget, tally& t)
{
    temp_dir dir;
    generator g(seed);
    generator chunks(seed + 1000);
    const std::vector<std::size_t> reads = {1, 2, 3, 7, 31, 64, 4096, 0};
    for (int k = 0; budget.more(k); ++k) {
        const file_encoding e = encodings[static_cast<std::size_t>(k) % encodings.size()];
        const int count = g.chance(10) ? g.pick(4) : 20 + g.pick(600);
        const generated_file f = make_file(g, e, alphabet, count);
        dir.write("r.log", mixed_bytes(f.lines, f.ends, e));
        log_file file;
        ASSERT_TRUE(file.open(dir.wide("r.log"), 0, g.chance(30)));
        if (e == file_encoding::utf8_plain)
            file.set_encoding(ENCODING_UTF8);
        else if (e == file_encoding::ansi)
            file.set_encoding(ENCODING_ANSI);
        const results_query q = make_query(g, count);
        results_options options;
        options.scan_chunk_size = g.one_of(reads);
        options.step_lines = g.chance(50) ? 1 + static_cast<uint64_t>(g.pick(50)) : 0;
        // Steps cut into chunks of a few lines walked by two or three
        // threads, or walked by the caller alone.
        // (Drawn apart, so that the cases themselves stay those of the seed.)
        const std::vector<uint64_t> chunk_sizes = {1, 40, 97, 500, 4096};
        options.workers = chunks.chance(75) ? 2 + static_cast<unsigned>(chunks.pick(2)) : 1;
        options.chunk_bytes = chunks.one_of(chunk_sizes);
        results_counts counts;
        options.counts = &counts;
        results_outcome outcome;
        const std::vector<uint64_t> fast = run(file, q, options, &outcome);
        const std::vector<uint64_t> plain = reference(file, q);
        const std::string about = std::string(encoding_name(e)) + ", " + std::to_string(f.lines.size()) + " lines, "
                                  + describe(q) + ", reads of " + std::to_string(options.scan_chunk_size)
                                  + ", steps of " + std::to_string(options.step_lines) + ", "
                                  + std::to_string(options.workers) + " workers on chunks of "
                                  + std::to_string(options.chunk_bytes) + " (case " + std::to_string(k) + ", seed "
                                  + std::to_string(seed) + ")";
        ASSERT_EQ(outcome.ending, results_ending::done) << about;
        ASSERT_EQ(outcome.next_line, file.line_count()) << about;
        if (fast != plain) {
            std::size_t i = 0;
            while (i < fast.size() && i < plain.size() && fast[i] == plain[i])
                ++i;
            FAIL() << about << ": first difference at result " << i << ": walk "
                   << (i < fast.size() ? std::to_string(fast[i]) : "end") << ", plain loop "
                   << (i < plain.size() ? std::to_string(plain[i]) : "end") << " (" << fast.size() << " vs "
                   << plain.size() << ")";
        }
        ++t.cases;
        t.scanned += counts.literal_scan || counts.start_scan ? 1 : 0;
        t.filters += q.what == results_query::kind::filter ? 1 : 0;
        t.with_results += plain.empty() ? 0 : 1;
    }
}

class search_WholeFileResults : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(log_file::wait_for_discards(20000), 0); }
};

TEST_F(search_WholeFileResults, UnicodeFilesGiveThePlainLoopsLines)
{
    tally t;
    run_cases({file_encoding::utf8_bom, file_encoding::utf8_plain, file_encoding::ucs2le, file_encoding::ucs2be},
              u"\u00e9\u0416\u4e2d", 11, case_budget(40 / kSanitizedShare, 200), t);
    EXPECT_GT(t.scanned, t.cases / 4) << "the byte scan must run in many cases";
    // Two in ten at the sanitizers' floor of ten cases.
    EXPECT_GE(t.filters, t.cases / 5);
    EXPECT_GT(t.with_results, t.cases / 3);
}

TEST_F(search_WholeFileResults, AnsiFilesGiveThePlainLoopsLines)
{
    scoped_env codepage("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
    tally t;
    run_cases({file_encoding::ansi}, u"\u00e9\u20ac", 12, case_budget(15 / kSanitizedShare, 60), t);
    EXPECT_GT(t.scanned, t.cases / 4);
}

TEST_F(search_WholeFileResults, ACancelKeepsTheLinesFoundSoFarAndTheWalkGoesOnFromThere)
{
    temp_dir dir;
    generator g(21);
    const generated_file f = make_file(g, file_encoding::utf8_bom, u"\u00e9", 3000);
    dir.write("c.log", mixed_bytes(f.lines, f.ends, file_encoding::utf8_bom));
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("c.log"), 0, false));
    results_query q;
    q.search.expression = u"zephyr";
    const std::vector<uint64_t> whole = reference(file, q);
    ASSERT_GT(whole.size(), 50u);
    for (int cancel_after : {1, 5, 40, 300}) {
        result_lines out;
        int asked = 0;
        results_options options;
        options.scan_chunk_size = 256;
        options.cancelled = [&] { return ++asked == cancel_after; };
        const results_outcome first = whole_file_results(file, service_parser(), q, out, options);
        ASSERT_EQ(first.ending, results_ending::cancelled) << cancel_after;
        const std::vector<uint64_t> part = out.copy();
        ASSERT_LT(part.size(), whole.size()) << cancel_after;
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << "a prefix, in order: " << cancel_after;
        // Going on from where it stopped completes the list without repeats.
        options.cancelled = {};
        options.first_line = first.next_line;
        EXPECT_EQ(whole_file_results(file, service_parser(), q, out, options).ending, results_ending::done);
        EXPECT_EQ(out.copy(), whole) << cancel_after;
    }
}

TEST_F(search_WholeFileResults, ACancelInTheMiddleOfAChunkStopsEveryChunkAndKeepsAPrefix)
{
    temp_dir dir;
    generator g(25);
    const generated_file f = make_file(g, file_encoding::utf8_bom, u"\u00e9", 3000);
    dir.write("c.log", mixed_bytes(f.lines, f.ends, file_encoding::utf8_bom));
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("c.log"), 0, false));
    for (const bool filter : {false, true}) {
        results_query q;
        if (filter) {
            q.what = results_query::kind::filter;
            log_filter level;
            level.SetColumn(u"level");
            level.SetType(FILTER_TYPE_EQUAL);
            level.SetContent(u"ERROR");
            q.groups.AddCondition(level);
        } else {
            q.search.expression = u"zephyr";
        }
        const std::vector<uint64_t> whole = reference(file, q);
        ASSERT_GT(whole.size(), 50u);
        // The caller asks after each read of 256 bytes of its own chunks (of
        // about 1000 bytes), so every cancel comes in the middle of one.
        for (int cancel_after : {1, 2, 7, 60}) {
            result_lines out;
            int asked = 0;
            results_options options;
            options.scan_chunk_size = 256;
            options.workers = 2;
            options.chunk_bytes = 1000;
            options.cancelled = [&] { return ++asked >= cancel_after; };
            const results_outcome first =
                bounded_walk([&] { return whole_file_results(file, service_parser(), q, out, options); });
            const std::string about =
                std::string(filter ? "filter" : "find") + ", cancel at ask " + std::to_string(cancel_after);
            if (first.ending == results_ending::done) {
                // The helper walked every chunk before the caller looked
                // that often, or before the look that took the cancel:
                // nothing was left to cancel.  The look before the first
                // chunk always comes first.
                EXPECT_NE(cancel_after, 1) << about;
                EXPECT_EQ(out.copy(), whole) << about;
                continue;
            }
            ASSERT_EQ(first.ending, results_ending::cancelled) << about;
            const std::vector<uint64_t> part = out.copy();
            if (cancel_after == 1) {
                EXPECT_TRUE(part.empty()) << about;
            }
            ASSERT_LT(part.size(), whole.size()) << about;
            EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << "a prefix, in order: " << about;
            // Every line before next_line was walked and no line after it.
            EXPECT_EQ(part.size(), static_cast<std::size_t>(
                                       std::lower_bound(whole.begin(), whole.end(), first.next_line) - whole.begin()))
                << about;
            options.cancelled = {};
            options.first_line = first.next_line;
            EXPECT_EQ(whole_file_results(file, service_parser(), q, out, options).ending, results_ending::done);
            EXPECT_EQ(out.copy(), whole) << about;
        }
    }
}

// Lines of one length, three to a chunk, with the needle at the edges of the
// chunks: the first and last characters of a chunk's first and last lines
// (and of a window's), across the line end between two chunks (no match),
// at the end of a line longer than a chunk; found all, and found in file
// both ways in windows of 24 lines (cut into chunks from their first line,
// a multiple of three), by its bytes and by the start of a regular
// expression, with reads of every size.
TEST_F(search_WholeFileResults, MatchesAtAChunksEdgesAreFoundAsByOneThread)
{
    struct placement {
        const char* what;
        int line;       // the line with the needle (of 90)
        bool at_start;  // at the start of the line, else at its end
        bool split;     // "zq" ends the line, "x7" starts the next
        bool long_line; // the line is longer than a chunk
    };
    const placement placements[] = {
        {"end of a chunk's last line", 35, false, false, false},
        {"start of a chunk's first line", 36, true, false, false},
        {"end of a window's last line", 47, false, false, false},
        {"start of a window's first line", 42, true, false, false},
        {"across the line end between two chunks", 38, false, true, false},
        {"end of a line longer than a chunk", 40, false, false, true},
    };
    const int kLines = 90;
    const uint64_t kWindow = 24;
    temp_dir dir;
    for (const file_encoding e : {file_encoding::utf8_bom, file_encoding::ucs2le, file_encoding::ucs2be}) {
        const uint64_t unit = e == file_encoding::utf8_bom ? 1 : 2;
        for (const placement& p : placements) {
            std::vector<std::u16string> lines;
            for (int i = 0; i < kLines; ++i) {
                // 32 characters and the line end.
                std::u16string text = FromUtf8(std::to_string(1000 + i)) + u" INFO [db] message";
                text.resize(32, u'.');
                if (p.long_line && i == p.line)
                    text += std::u16string(200, u'w');
                if (i == p.line && p.split)
                    text.replace(text.size() - 2, 2, u"zq");
                else if (i == p.line + 1 && p.split)
                    text.replace(0, 2, u"x7");
                else if (i == p.line)
                    text.replace(p.at_start ? 0 : text.size() - 4, 4, u"zqx7");
                lines.push_back(text);
            }
            dir.write("e.log", file_bytes(lines, u"\n", e));
            const uint64_t chunk_bytes = 3 * 33 * unit;
            for (const char16_t* expression : {u"zqx7", u"z[q]x\\d"}) {
                results_query q;
                q.search.expression = expression;
                q.search.regexp = expression[1] != u'q';
                q.search.case_sensitive = true;
                log_file file;
                ASSERT_TRUE(file.open(dir.wide("e.log"), 0, false));
                const std::vector<uint64_t> expected = reference(file, q);
                ASSERT_EQ(expected.size(), p.split ? 0u : 1u) << p.what;
                for (const std::size_t reads : {std::size_t{1}, std::size_t{5}, std::size_t{33}, std::size_t{0}}) {
                    const std::string about = std::string(encoding_name(e)) + ", " + p.what + ", '" + narrow(expression)
                                              + "', reads of " + std::to_string(reads);
                    results_options options;
                    options.workers = 2;
                    options.chunk_bytes = chunk_bytes;
                    options.scan_chunk_size = reads;
                    results_counts counts;
                    options.counts = &counts;
                    EXPECT_EQ(run(file, q, options), expected) << about;
                    EXPECT_TRUE(counts.literal_scan || counts.start_scan) << about;
                    for (const bool up : {false, true}) {
                        search_setup setup;
                        setup.encoding = e;
                        setup.max_lines = kWindow;
                        setup.window_first = up ? kLines - static_cast<int64_t>(kWindow) : 0;
                        setup.search = q.search;
                        setup.search.up = up;
                        setup.scan_chunk_size = reads;
                        setup.workers = 2;
                        setup.chunk_bytes = chunk_bytes;
                        const std::vector<search_end> plain = run_searches(dir.wide("e.log"), setup, false);
                        const std::vector<search_end> fast = run_searches(dir.wide("e.log"), setup, true);
                        ASSERT_EQ(plain.size(), 1u) << about;
                        EXPECT_EQ(plain[0].outcome, p.split ? find_outcome::not_found : find_outcome::found) << about;
                        EXPECT_EQ(fast, plain) << about << (up ? " up" : " down") << ": plain " << describe(plain[0])
                                               << ", chunks " << (fast.empty() ? "none" : describe(fast[0]));
                    }
                }
            }
        }
    }
}

TEST_F(search_WholeFileResults, ResultsOfAppendedLinesEqualAFreshRunOnTheGrownFile)
{
    temp_dir dir;
    generator g(22);
    for (file_encoding e : {file_encoding::utf8_bom, file_encoding::ucs2le}) {
        const generated_file before = make_file(g, e, u"\u0416", 400);
        const generated_file added = make_file(g, e, u"\u0416", 300);
        const std::string head = mixed_bytes(before.lines, before.ends, e);
        dir.write("g.log", head);
        log_file file;
        ASSERT_TRUE(file.open(dir.wide("g.log"), 0, false));
        results_query find;
        find.search.expression = u"zephyr";
        results_query filter;
        filter.what = results_query::kind::filter;
        log_filter level;
        level.SetColumn(u"level");
        level.SetType(FILTER_TYPE_EQUAL);
        level.SetContent(u"ERROR");
        filter.groups.AddCondition(level);
        result_lines found;
        result_lines filtered;
        const results_outcome a = whole_file_results(file, service_parser(), find, found, {});
        const results_outcome b = whole_file_results(file, service_parser(), filter, filtered, {});
        // The last line had its line end: appending adds whole lines.
        const std::string bom = file_bytes({}, u"", e);
        dir.write("g.log", head + mixed_bytes(added.lines, added.ends, e).substr(bom.size()));
        ASSERT_GT(file.refresh(), 0);
        results_options more;
        more.first_line = a.next_line;
        whole_file_results(file, service_parser(), find, found, more);
        more.first_line = b.next_line;
        whole_file_results(file, service_parser(), filter, filtered, more);

        log_file fresh;
        ASSERT_TRUE(fresh.open(dir.wide("g.log"), 0, false));
        EXPECT_EQ(found.copy(), reference(fresh, find)) << encoding_name(e);
        EXPECT_EQ(filtered.copy(), reference(fresh, filter)) << encoding_name(e);
        EXPECT_FALSE(found.empty());
    }
}

TEST_F(search_WholeFileResults, AWalkBesideTheIndexThreadGivesTheWholeFilesLines)
{
    temp_dir dir;
    generator g(23);
    const generated_file f = make_file(g, file_encoding::utf8_bom, u"\u00e9", 20000);
    dir.write("t.log", mixed_bytes(f.lines, f.ends, file_encoding::utf8_bom));
    results_query q;
    q.search.expression = u"ERROR";
    q.search.case_sensitive = true;
    log_file whole;
    ASSERT_TRUE(whole.open(dir.wide("t.log"), 0, false));
    const std::vector<uint64_t> expected = reference(whole, q);
    for (bool tail_first : {false, true}) {
        log_file file;
        ASSERT_TRUE(file.open(dir.wide("t.log"), 100, tail_first));
        ASSERT_TRUE(file.start_indexer());
        results_options options;
        options.step_lines = 500;
        results_outcome outcome;
        const std::vector<uint64_t> got = run(file, q, options, &outcome);
        if (tail_first) {
            // The walk held a tail-first index: it saw the lines indexed
            // then, numbered from the file's start only once it is done.
            EXPECT_EQ(file.indexer().wait_stopped(20000), 0);
            continue;
        }
        EXPECT_EQ(outcome.ending, results_ending::done);
        EXPECT_EQ(got, expected) << "head first";
    }
}

TEST_F(search_WholeFileResults, AReaderBesideTheWalkSeesAGrowingPrefixInOrder)
{
    temp_dir dir;
    generator g(24);
    const generated_file f = make_file(g, file_encoding::utf8_bom, u"\u00e9", 6000 / kSanitizedShare);
    dir.write("p.log", mixed_bytes(f.lines, f.ends, file_encoding::utf8_bom));
    log_file file;
    ASSERT_TRUE(file.open(dir.wide("p.log"), 0, false));
    results_query q;
    q.search.expression = u"e";
    const std::vector<uint64_t> whole = reference(file, q);
    result_lines out;
    results_options options;
    options.scan_chunk_size = 512;
    std::thread walk([&] { whole_file_results(file, service_parser(), q, out, options); });
    // Read while the walk appends: every read is a prefix of the whole list.
    std::vector<uint64_t> part;
    uint64_t seen = 0;
    bool prefix = true;
    for (int k = 0; k < 2000 && seen < whole.size(); ++k) {
        const uint64_t n = out.size();
        EXPECT_GE(n, seen);
        seen = n;
        const uint64_t from = n > 40 ? n - 40 : 0;
        out.read(from, 40, part);
        for (std::size_t i = 0; i < part.size(); ++i)
            prefix = prefix && part[i] == whole[static_cast<std::size_t>(from + i)];
    }
    walk.join();
    EXPECT_TRUE(prefix);
    EXPECT_EQ(out.copy(), whole);
}

TEST(search_ResultLines, ReadersSeeAPrefixInOrderAcrossChunks)
{
    result_lines lines;
    const uint64_t n = 3 * result_lines::kChunkSize + 5;
    for (uint64_t k = 0; k < n; ++k)
        lines.append(k * 3);
    ASSERT_EQ(lines.size(), n);
    std::vector<uint64_t> part;
    ASSERT_EQ(lines.read(result_lines::kChunkSize - 2, 4, part), 4u);
    EXPECT_EQ(part, (std::vector<uint64_t>{(result_lines::kChunkSize - 2) * 3, (result_lines::kChunkSize - 1) * 3,
                                           result_lines::kChunkSize * 3, (result_lines::kChunkSize + 1) * 3}));
    EXPECT_EQ(lines.read(n - 1, 10, part), 1u);
    EXPECT_EQ(lines.lower_bound(0), 0u);
    EXPECT_EQ(lines.lower_bound(7), 3u);
    EXPECT_EQ(lines.lower_bound(9), 3u);
    EXPECT_EQ(lines.lower_bound(n * 3), n);
    // A million numbers cost 8 MB and a little.
    result_lines million;
    for (uint64_t k = 0; k < 1000000; ++k)
        million.append(k);
    EXPECT_LE(million.memory_bytes(), 8u * 1024 * 1024 + 64 * 1024);
    million.clear();
    EXPECT_EQ(million.size(), 0u);
    EXPECT_EQ(million.at(5), 0u);
}

} // namespace
