// A brief random-generator fuzz of the compiler and the matcher: patterns
// made of syntax characters, escapes and odd code units, texts with line
// breaks and characters outside ASCII.  Every pattern must compile, every
// search must end, and every reported span must lie inside the text.  Run
// under the address sanitizer to catch any read outside a buffer.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "regex/regex.h"
#include "regex/text_match.h"
#include "regex_test_util.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRounds = 6000;
#else
constexpr int kRounds = 30000;
#endif

std::u16string RandomPattern(std::mt19937& rng)
{
    static const char16_t* pieces[] = {
        u"(",   u")",   u"[",   u"]",   u"{",         u"}",   u"|",      u"*",      u"+",      u"?",   u".",
        u"^",   u"$",   u"\\",  u"-",   u":",         u"=",   u"!",      u"<",      u">",      u"'",   u"#",
        u"P",   u"R",   u"a",   u"b",   u"0",         u"1",   u"2",      u",",      u" ",      u"i",   u"m",
        u"s",   u"g",   u"\\d", u"\\w", u"\\s",       u"\\b", u"\\B",    u"\\A",    u"\\Z",    u"\\z", u"\\G",
        u"\\k", u"\\g", u"\\Q", u"\\E", u"\\U",       u"\\L", u"\\x",    u"\\u",    u"\\x{",   u"(?",  u"(?<",
        u"(?(", u"(?#", u"[:",  u":]",  u"[:alpha:]", u"\\1", u"\u00e9", u"\uFFFF", u"\u0000",
    };
    constexpr int count = sizeof(pieces) / sizeof(pieces[0]);
    std::uniform_int_distribution<int> pick(0, count - 1);
    std::u16string pattern;
    const int length = std::uniform_int_distribution<int>(0, 24)(rng);
    for (int i = 0; i < length; ++i) {
        const int k = pick(rng);
        if (k == count - 1)
            pattern += char16_t(0);
        else
            pattern += pieces[k];
    }
    return pattern;
}

std::u16string RandomText(std::mt19937& rng)
{
    static const char16_t alphabet[] = {u'a', u'b', u'0',  u'1',   u' ',   u'\n', u'\r', u'-',
                                        u'(', u'[', u'\\', 0x00e9, 0xFFFF, 0,     u'A',  u'_'};
    std::u16string text;
    const int length = std::uniform_int_distribution<int>(0, 20)(rng);
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet) / sizeof(alphabet[0])) - 1);
    for (int i = 0; i < length; ++i)
        text += alphabet[pick(rng)];
    return text;
}

TEST(RegexFuzz, RandomPatternsAndTexts_NeverFailOrReadOutside)
{
    std::mt19937 rng(7);
    CMatchContextT ctx;
    for (int round = 0; round < kRounds; ++round) {
        const std::u16string pattern = RandomPattern(rng);
        CPatternT p;
        p.Compile(pattern, round % 3 == 0 ? IgnoreCase : 0);
        ASSERT_TRUE(p.IsCompiled()) << Show(pattern);
        for (int t = 0; t < 3; ++t) {
            // The text lives in its own exact-size buffer so that the sanitizer sees any overrun.
            const std::u16string source = RandomText(rng);
            std::unique_ptr<char16_t[]> text(new char16_t[source.size() ? source.size() : 1]);
            std::copy(source.begin(), source.end(), text.get());
            const int length = int(source.size());
            const CMatchResultT r = p.Match(text.get(), length);
            if (r.IsMatched()) {
                ASSERT_EQ(r.MaxGroupNumber(), p.GetHighestGroupNumber());
                for (int g = 0; g <= r.MaxGroupNumber(); ++g) {
                    const int s = r.GetGroupStart(g), e = r.GetGroupEnd(g);
                    if (s == -1) {
                        EXPECT_EQ(e, -1);
                        continue;
                    }
                    EXPECT_LE(0, s) << Show(pattern) << " on " << Show(source);
                    EXPECT_LE(s, e) << Show(pattern) << " on " << Show(source);
                    EXPECT_LE(e, length) << Show(pattern) << " on " << Show(source);
                }
            }
            EXPECT_EQ(p.Search(text.get(), length, ctx), r.IsMatched()) << Show(pattern) << " on " << Show(source);
        }
        // The wildcard path accepts any text as well.
        const std::u16string regex = WildcardToRegex(pattern);
        CPatternT w;
        w.Compile(regex);
        w.IsMatch(RandomText(rng));
    }
}

} // namespace
