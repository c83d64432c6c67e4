// Wildcard conversion, the text-match function and the compiled-pattern cache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/text_match.h"
#include "regex_test_util.h"

namespace {

TEST(WildcardToRegex, ConvertsAsDocumented)
{
    const std::vector<std::pair<std::u16string, std::u16string>> table = {
        {u"*.log", u"(.*)\\.log"},
        {u"?", u"(.{1})"},
        {u"a\\*b", u"a\\*b"},
        {u"a\\?", u"a\\?"},
        {u"\\d*", u"\\d(.*)"},
        {u"C:\\", u"C:\\\\"},
        {u"(1+1)", u"\\(1\\+1\\)"},
        {u"", u""},
        {u"a/b.c$d^e{f}g[h]i|j#k", u"a\\/b\\.c\\$d\\^e\\{f\\}g\\[h\\]i\\|j\\#k"},
        {u"disk*full", u"disk(.*)full"},
        {u"\\\\", u"\\\\"},
    };
    for (const auto& [wildcard, expected] : table) {
        std::u16string regex = u"previous contents";
        WildcardToRegex(wildcard, regex);
        EXPECT_EQ(regex, expected) << Show(wildcard);
        EXPECT_EQ(WildcardToRegex(wildcard), expected) << Show(wildcard);
    }
}

TEST(WildcardToRegex, ConvertedPatterns_MatchAsContains)
{
    struct Row {
        std::u16string wildcard;
        std::u16string text;
        bool matches;
    };
    const std::vector<Row> table = {
        {u"*.log", u"a.log", true},    {u"*.log", u"x.log.1", true},
        {u"*.log", u".logfile", true}, {u"*.log", u"alog", false},
        {u"a\\*b", u"a*b", true},      {u"a\\*b", u"axb", false},
        {u"a\\?", u"xa?y", true},      {u"a\\?", u"ab", false},
        {u"\\d*", u"x1", true},        {u"\\d*", u"abc", false},
        {u"C:\\", u"C:\\", true},      {u"C:\\", u"C:", false},
        {u"(1+1)", u"(1+1)", true},    {u"(1+1)", u"11", false},
        {u"abc", u"xxabcxx", true},    {u"abc*", u"abc", true},
        {u"*abc*", u"zabcz", true},    {u"a?c", u"abc", true},
        {u"a?c", u"ac", false},        {u"disk*full", u"disk is full", true},
    };
    for (const Row& r : table) {
        EXPECT_EQ(MatchText(r.text, WildcardToRegex(r.wildcard), true, true), r.matches)
            << Show(r.wildcard) << " on " << Show(r.text);
    }
}

TEST(MatchText, AnswersAsDocumented)
{
    struct Row {
        std::u16string text;
        std::u16string pattern;
        bool case_sensitive;
        bool regex;
        bool matches;
    };
    const std::vector<Row> table = {
        {u"Error 42", u"error", false, false, true},
        {u"Error 42", u"error", true, false, false},
        {u"Error 42", u"Error", true, false, true},
        {u"a.b", u".", true, false, true}, // plain text: no syntax
        {u"ab", u".", true, false, false},
        {u"123", u"\\D", false, true, false},
        {u"A1", u"\\D", false, true, true},
        {u"ERROR 7", u"error \\d", false, true, true},
        {u"ERROR 7", u"error \\d", true, true, false},
        {u"\u00c9t\u00e9", u"\u00e9T", false, false, false}, // only ASCII letters fold
        {u"x\u00e9T", u"\u00e9t", false, false, true},
        {u"took 1234 ms", u"took \\d{4} ms", true, true, true},
        {u"took 123 ms", u"took \\d{4} ms", true, true, false},
    };
    for (const Row& r : table) {
        EXPECT_EQ(MatchText(r.text, r.pattern, r.case_sensitive, r.regex), r.matches)
            << Show(r.text) << " / " << Show(r.pattern) << " cs=" << r.case_sensitive << " re=" << r.regex;
    }
}

TEST(MatchText, EmptyTextOrPattern_IsFalseWhateverTheFlags)
{
    for (int flags = 0; flags < 4; ++flags) {
        const bool cs = flags & 1, re = flags & 2;
        EXPECT_FALSE(MatchText(u"", u"a", cs, re));
        EXPECT_FALSE(MatchText(u"abc", u"", cs, re));
        EXPECT_FALSE(MatchText(u"", u"", cs, re));
        EXPECT_FALSE(MatchText(u"", u".*", cs, re));
    }
}

TEST(PatternCache, CachedAnswers_EqualFreshCompiles)
{
    CPatternCache cache(4);
    const std::vector<std::u16string> patterns = {u"a+b", u"(?i)x", u"^\\d{2}", u"(a)\\1", u"q|r", u"[[:alpha:]]{3}"};
    const std::vector<std::u16string> texts = {u"aab", u"X", u"12a", u"aa", u"r", u"ab1", u"", u"abc"};
    for (int round = 0; round < 3; ++round) {
        for (const auto& pattern : patterns) {
            for (int flags : {0, int(IgnoreCase)}) {
                auto cached = cache.Get(pattern, flags);
                ASSERT_NE(cached, nullptr);
                CPatternT fresh;
                fresh.Compile(pattern, flags);
                for (const auto& text : texts) {
                    EXPECT_EQ(cached->IsMatch(text), fresh.Match(text).IsMatched())
                        << Show(pattern) << " " << Show(text);
                    EXPECT_EQ(RegexSearch(text, pattern, flags), fresh.Match(text).IsMatched());
                }
            }
        }
    }
    EXPECT_LE(cache.Size(), 4u);
    auto held = cache.Get(u"held", 0);
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_TRUE(held->IsMatch(u"beheld")); // a handed-out pattern outlives its eviction
}

TEST(PatternCache, SameKey_ReturnsTheSameCompiledPattern)
{
    CPatternCache cache;
    EXPECT_EQ(cache.Get(u"abc", 0), cache.Get(u"abc", 0));
    EXPECT_NE(cache.Get(u"abc", 0), cache.Get(u"abc", IgnoreCase));
}

TEST(PatternCache, EmptyPattern_MatchesEveryText)
{
    EXPECT_TRUE(RegexSearch(u"", u"", 0));
    EXPECT_TRUE(RegexSearch(u"abc", u"", IgnoreCase));
}

TEST(PatternCache, ConcurrentUse_GivesSameAnswers)
{
    CPatternCache cache(3);
    const std::vector<std::u16string> patterns = {u"w\\d", u"(?i)warn", u"x+y", u"^a", u"b$"};
    const std::u16string text = u"a WARN w7 xxy b";
    std::vector<int> wrong(4, 0);
    RunThreads(4, [&](int t) {
        for (int i = 0; i < 400; ++i) {
            const auto& pattern = patterns[static_cast<std::size_t>(i + t) % patterns.size()];
            if (!cache.Get(pattern, 0)->IsMatch(text))
                ++wrong[static_cast<std::size_t>(t)];
        }
    });
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0);
}

} // namespace
