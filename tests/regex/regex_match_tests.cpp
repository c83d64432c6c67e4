// Matching behaviour: anchors, captures, look-arounds, repetitions, the result
// layout, and sharing one compiled pattern between threads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex/text_match.h"
#include "regex_test_util.h"

namespace {

struct GroupCase {
    const char16_t* pattern;
    std::u16string text;
    std::vector<std::pair<int, int>> groups; // groups 0..N; empty: no match
};

void RunSpans(const std::vector<SpanCase>& table)
{
    for (const SpanCase& c : table) {
        EXPECT_EQ(SearchSpan(c.pattern, c.flags, c.text), std::make_pair(c.start, c.end))
            << "pattern '" << Show(c.pattern) << "' text '" << Show(c.text) << "'";
    }
}

void RunGroups(const std::vector<GroupCase>& table)
{
    for (const GroupCase& c : table) {
        CPatternT p;
        p.Compile(std::u16string_view(c.pattern));
        const CMatchResultT r = p.Match(c.text);
        std::vector<std::pair<int, int>> got;
        for (int g = 0; g <= r.MaxGroupNumber(); ++g)
            got.emplace_back(r.GetGroupStart(g), r.GetGroupEnd(g));
        EXPECT_EQ(got, c.groups) << "pattern '" << Show(c.pattern) << "' text '" << Show(c.text) << "'";
    }
}

TEST(RegexMatch, Anchors_MatchWhereDocumented)
{
    RunSpans({
        {u"a*", 0, u"bbb", 0, 0},
        {u"b*$", 0, u"aab", 2, 3},
        {u"^b", 0, u"ab", -1, -1},
        {u"^a", 0, u"ab", 0, 1},
        {u"b$", 0, u"b\n", -1, -1}, // "$" is the very end without (?m)
        {u"(?m)b$", 0, u"b\n", 0, 1},
        {u"(?m)b$", 0, u"b\r\n", 0, 1},
        {u"(?m)^b", 0, u"a\r\nb", 3, 4},
        {u"(?m)^b", 0, u"a\rb", 2, 3},
        {u"(?m)^b", 0, u"a\nb", 2, 3},
        {u"(?m)^$", 0, u"a\r\n\r\nb", 3, 3},
        {u"(?m)\\r$", 0, u"a\r\nb", -1, -1}, // no line end between the CR and the LF of a CR LF
        {u"(?m)\\r$", 0, u"a\rb", -1, -1},
        {u"(?m)\\r$", 0, u"a\r\rb", 1, 2},
        {u"(?m)\\r$", 0, u"a\r", 1, 2},
        {u"(?m)$\\n", 0, u"a\r\nb", -1, -1},
        {u"(?m)$\\n", 0, u"a\nb", 1, 2},
        {u"(?m)^\\n", 0, u"a\r\nb", -1, -1}, // nor a line start there
        {u"(?m)^\\n", 0, u"a\n\nb", 2, 3},
        {u"(?m)a$", 0, u"a\r\n", 0, 1},
        {u"(?m)$", 0, u"\r\n", 0, 0},
        {u"(?m)\\n^", 0, u"\r\n", 1, 2},
        {u"a\\Z", 0, u"a\n", 0, 1},
        {u"a\\Z", 0, u"a\r\n", 0, 1},
        {u"a\\Z", 0, u"a\n\n", -1, -1},
        {u"a\\Z", 0, u"a", 0, 1},
        {u"a\\z", 0, u"a\n", -1, -1},
        {u"\\Aa", 0, u"ba", -1, -1},
        {u"\\bfoo\\b", 0, u"a foo.", 2, 5},
        {u"\\bfoo\\b", 0, u"afoo", -1, -1},
        {u"\\Boo", 0, u"foo", 1, 3},
        {u"\\b", 0, u"", -1, -1},
        {u"\\B", 0, u"", 0, 0},
        {u"x\\b", 0, u"x", 0, 1},
    });
}

TEST(RegexMatch, Groups_ReportTheirSpans)
{
    RunGroups({
        {u"(a)|b", u"b", {{0, 1}, {-1, -1}}},
        {u"(a)\\1", u"aa", {{0, 2}, {0, 1}}},
        {u"(a*)\\1", u"b", {{0, 0}, {0, 0}}},
        {u"(a|b)*c", u"abc", {{0, 3}, {1, 2}}},
        {u"(?=(a))\\1", u"a", {{0, 1}, {0, 1}}}, // a capture made inside a look-ahead stays
        {u"(?=(a))", u"ba", {{1, 1}, {1, 2}}},
        {u"(?!(a))b", u"b", {{0, 1}, {-1, -1}}},
        {u"(\\w)(?R)?", u"abc", {{0, 3}, {2, 3}}},
        {u"(?<=(a))b", u"ab", {{1, 2}, {0, 1}}},
        {u"(?<=(a)(b))c", u"abc", {{2, 3}, {0, 1}, {1, 2}}},
        {u"((a)|b)+", u"ab", {{0, 2}, {1, 2}, {0, 1}}},
        {u"(a)(?:x|(b))", u"ab", {{0, 2}, {0, 1}, {1, 2}}},
        {u"(a)(?:x|(b))", u"ax", {{0, 2}, {0, 1}, {-1, -1}}},
        {u"x", u"y", {}},
        {u"", u"", {{0, 0}}},
    });
}

TEST(RegexMatch, LookArounds_AndAtomicForms)
{
    RunSpans({
        {u"(?<=ab)c", 0, u"abc", 2, 3},
        {u"(?<!a)b", 0, u"ab", -1, -1},
        {u"(?<!a)b", 0, u"cb", 1, 2},
        {u"(?<=^|,)x", 0, u"a,x", 2, 3},
        {u"(?<=a+)b", 0, u"aaab", 3, 4}, // look-behind bodies may vary in length
        {u"(?<=\\d{3})x", 0, u"12x123x", 6, 7},
        {u"a(?=b)", 0, u"acab", 2, 3},
        {u"a(?!b)", 0, u"abac", 2, 3},
        {u"(?>a*)a", 0, u"aaa", -1, -1},
        {u"a*+a", 0, u"aaa", -1, -1},
        {u"a*a", 0, u"aaa", 0, 3},
        {u"(?>a|ab)c", 0, u"abc", -1, -1},
        {u"(?:a|ab)c", 0, u"abc", 0, 3},
        {u"(?>x+)y", 0, u"xxy", 0, 3},
        {u"(?i)(?<=AB)c", 0, u"abC", 2, 3},
    });
}

TEST(RegexMatch, Repetitions_BacktrackCompletely)
{
    RunSpans({
        {u"a*?b", 0, u"aaab", 0, 4},
        {u"(a*)*b", 0, u"b", 0, 1}, // a repetition that consumes nothing is not counted
        {u"(a*)+b", 0, u"aab", 0, 3},
        {u"(a|)*b", 0, u"aab", 0, 3},
        {u"^(a|ab)*c$", 0, u"ababc", 0, 5},
        {u"^(a|ab)+?c$", 0, u"ababc", 0, 5},
        {u"^(?:a|ab){2}c", 0, u"ababc", 0, 5},
        {u"^(ab|a)*?b", 0, u"abab", 0, 4}, // one more repetition before another way for the first
        {u"(a|b)*?c", 0, u"abc", 0, 3},
        {u"^(\\w+)\\s+\\1$", 0, u"ab ab", 0, 5},
        {u"^(a+)+$", 0, u"aaaa", 0, 4},
        {u"x{2,3}?y", 0, u"xxxxy", 1, 5},
        // A lazy counted repetition never takes more than its maximum, of a group or of one character.
        {u"^(?:ab){1,2}?c", 0, u"abababc", -1, -1},
        {u"^(?:ab){1,2}?c", 0, u"ababc", 0, 5},
        {u"^(?:ab){1,2}?c", 0, u"abc", 0, 3},
        {u"^(?:ab){1,2}?c", 0, u"c", -1, -1},
        {u"^(ab){0,2}?c", 0, u"abababc", -1, -1},
        {u"^(?:a|b){2,3}?c", 0, u"ababc", -1, -1},
        {u"^(?:a|b){2,3}?c", 0, u"abac", 0, 4},
        {u"^a{1,2}?c", 0, u"aaac", -1, -1},
        {u"^a{1,2}?c", 0, u"aac", 0, 3},
        {u"^[ab]{1,2}?c", 0, u"abac", -1, -1},
        {u"(?:ab){2,}", 0, u"abababx", 0, 6},
        {u"(?:a|b|c)+d", 0, u"abcabcd", 0, 7},
        {u"[a-c]{2}?d", 0, u"abd", 0, 3},
        {u"\\d{4}-\\d{2}", 0, u"x2024-08-05", 1, 8},
        {u"(?:\\d+\\.){3}\\d+", 0, u"ip 10.0.3.17 ok", 3, 12},
        {u".*x", 0, u"abxcx", 0, 5},
        {u".*?x", 0, u"abxcx", 0, 3},
        {u"(?s).*", 0, u"a\nb", 0, 3},
        {u".*", 0, u"a\nb", 0, 1},
    });
}

TEST(RegexMatch, IgnoreCase_FoldsAsciiLettersOnly)
{
    RunSpans({
        {u"(?i)abc", 0, u"ABC", 0, 3},
        {u"(?i)[a-c]+", 0, u"ABC", 0, 3},
        {u"(?i)\u00e9", 0, u"\u00c9", -1, -1},
        {u"(?i)[^x]", 0, u"X", -1, -1},
        {u"(?i)x+", 0, u"xXxY", 0, 3},
        {u"(?i)error \\d", 0, u"ERROR 7", 0, 7},
    });
}

TEST(RegexMatch, ResultLayout_FollowsTheDocumentedBuffer)
{
    CPatternT p(u"(a)(x)?");
    const CMatchResultT r = p.Match(u"ba");
    ASSERT_EQ(r.GetSize(), 2 * (2 + 2));
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(r[3], 2);
    EXPECT_EQ(r[4], 1);
    EXPECT_EQ(r[5], 2);
    EXPECT_EQ(r[6], -1);
    EXPECT_EQ(r[7], -1);
    EXPECT_EQ(p.Match(u"b").GetSize(), 0);
    EXPECT_EQ(r.GetGroupStart(3), -1);
    EXPECT_EQ(r.GetGroupStart(-1), -1);
}

// The path filters, highlight rules and searches take: one compiled pattern,
// searched from several threads at once, each with its own context (or the
// per-thread one of IsMatch), also ignoring case.
TEST(RegexMatch, CompiledPattern_SharedByThreads_GivesSameAnswers)
{
    const std::vector<const char16_t*> patterns = {u"took (\\d{4}) ms", u"(?i)error|warn",    u"\\[worker-\\d+\\]",
                                                   u"^(a|ab)*c$",       u"(?<=from )[\\d.]+", u"Error|FINE",
                                                   u"(a)(?(1)b|c)\\1",  u"(\\w+) \\1"};
    std::vector<std::u16string> texts;
    for (int i = 0; i < 200; ++i) {
        std::u16string t = u"2024-08-05 [worker-" + std::u16string(1, char16_t(u'0' + i % 10)) + u"] took ";
        t += std::u16string(static_cast<std::size_t>(i % 5 + 1), char16_t(u'1' + i % 9));
        t += (i % 3 == 0) ? u" ms ERROR from 10.0.0.1" : u" ms fine ababc aba";
        texts.push_back(t);
    }
    for (const char16_t* pattern : patterns) {
        for (int flags : {0, int(IgnoreCase)}) {
            CPatternT shared;
            shared.Compile(std::u16string_view(pattern), flags);
            std::vector<std::pair<int, int>> expected;
            for (const auto& t : texts) {
                CPatternT fresh;
                fresh.Compile(std::u16string_view(pattern), flags);
                const CMatchResultT r = fresh.Match(t);
                expected.emplace_back(r.GetStart(), r.GetEnd());
            }
            std::vector<int> mismatches(4, 0);
            RunThreads(4, [&](int n) {
                CMatchContextT ctx;
                for (int round = 0; round < 8; ++round) {
                    for (std::size_t i = 0; i < texts.size(); ++i) {
                        const bool matched = expected[i].first >= 0;
                        if (shared.IsMatch(texts[i]) != matched || shared.Search(texts[i], ctx) != matched)
                            ++mismatches[static_cast<std::size_t>(n)];
                        // The context holds the match's groups afterwards.
                        else if (matched
                                 && (ctx.m_capture_stack[1] != expected[i].first
                                     || ctx.m_capture_stack[2] != expected[i].second))
                            ++mismatches[static_cast<std::size_t>(n)];
                    }
                }
            });
            for (int n = 0; n < 4; ++n)
                EXPECT_EQ(mismatches[static_cast<std::size_t>(n)], 0) << Show(pattern) << " flags " << flags;
        }
    }
}

TEST(RegexMatch, ReusedContext_GivesSameAnswersAsAFreshOne)
{
    CPatternT p(u"(a)(?(1)b|c)\\1");
    CMatchContextT ctx;
    const std::vector<std::u16string> texts = {u"aba", u"c", u"xxabaxx", u"ab", u"", u"abab"};
    for (int round = 0; round < 3; ++round)
        for (const auto& t : texts)
            EXPECT_EQ(p.Search(t.data(), int(t.size()), ctx), p.Match(t).IsMatched()) << Show(t);
}

} // namespace

namespace {

// The search skips start positions that cannot match (anchors, a leading
// text, the set of first characters, runs of a leading class, a required
// text).  A neutral prefix, a condition on a group that does not exist,
// switches those shortcuts off; the answers must not change.
TEST(RegexMatch, SearchShortcuts_NeverChangeAnAnswer)
{
    const std::vector<const char16_t*> patterns = {
        u"ERROR",
        u"ERROR|WARN",
        u"took \\d{4} ms",
        u"\\d+\\.\\d+\\.\\d+\\.\\d+",
        u"\\b(?:\\d{1,3}\\.){3}\\d{1,3}\\b",
        u"(?i)refused",
        u"^2024-08-05 1",
        u"\\w+@\\w+",
        u"[A-Z]{5}",
        u"\\d+ ms$",
        u"\\d+(?<=7)",
        u"a*b",
        u"\\s+\\[",
        u"[^ ]+\\]",
        u"\\w+?k",
        u"(\\d)\\d*+x",
        u".*took",
        u"\\D+\\d",
        u"(?=\\d{3})\\d+",
        u"\\d++ ms",
    };
    std::vector<std::u16string> texts;
    unsigned state = 12345;
    auto next = [&](unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    static const char16_t* words[] = {u"2024-08-05", u"13:07:09.123", u"[INFO ]", u"[ERROR]", u"took", u"1234",
                                      u"ms",         u"10.0.3.17",    u"refused", u"a@b",     u"aab",  u"7",
                                      u"  ",         u"WARNING",      u"x",       u"\\d"};
    for (int i = 0; i < 3000; ++i) {
        std::u16string t;
        const unsigned n = next(9);
        for (unsigned w = 0; w < n; ++w)
            t += std::u16string(words[next(16)]) + (next(3) ? u" " : u"");
        texts.push_back(t);
    }
    for (const char16_t* pattern : patterns) {
        CPatternT fast, plain;
        for (int flags : {0, int(IgnoreCase)}) {
            fast.Compile(std::u16string_view(pattern), flags);
            plain.Compile(std::u16string(u"(?(99)x)") + pattern, flags);
            for (const auto& t : texts) {
                const CMatchResultT a = fast.Match(t), b = plain.Match(t);
                ASSERT_EQ(a.IsMatched(), b.IsMatched()) << Show(pattern) << " on " << Show(t);
                if (a.IsMatched()) {
                    for (int g = 0; g <= a.MaxGroupNumber(); ++g) {
                        EXPECT_EQ(a.GetGroupStart(g), b.GetGroupStart(g)) << Show(pattern) << " on " << Show(t);
                        EXPECT_EQ(a.GetGroupEnd(g), b.GetGroupEnd(g)) << Show(pattern) << " on " << Show(t);
                    }
                }
            }
        }
    }
}

} // namespace
