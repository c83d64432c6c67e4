// Table-driven edge cases of the pattern syntax, the compile readings of
// malformed text, and matching: each row is (pattern, flags, text, span).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex_test_util.h"

namespace {

void RunTable(const std::vector<SpanCase>& table)
{
    for (const SpanCase& c : table) {
        const auto span = SearchSpan(c.pattern, c.flags, c.text);
        EXPECT_EQ(span, std::make_pair(c.start, c.end))
            << "pattern '" << Show(c.pattern) << "' flags " << c.flags << " text '" << Show(c.text) << "'";
    }
}

const int I = IgnoreCase;

TEST(RegexSyntax, QuantifierForms_ReadAsDocumented)
{
    RunTable({
        {u"a**", 0, u"aa*", 0, 3},                                       // "a*" then a literal star
        {u"a**", 0, u"aaa", -1, -1},       {u"a*?", 0, u"aaa", 0, 0},    // reluctant
        {u"a*?b", 0, u"aaab", 0, 4},       {u"a*+", 0, u"aaa", 0, 3},    // possessive
        {u"a*+a", 0, u"aaa", -1, -1},      {u"a{3}?", 0, u"aaaa", 0, 3}, // exactly three, "?" skipped
        {u"a{3}?", 0, u"aa", -1, -1},      {u"a{3}+", 0, u"aaaa", 0, 3},
        {u"ab+", 0, u"abbb", 0, 4}, // "+" applies to "b" only
        {u"ab+", 0, u"abab", 0, 2},        {u"abc", 0, u"xxabcx", 2, 5},
        {u"a{2,}", 0, u"aaaaa", 0, 5},     {u"a{2,}", 0, u"a", -1, -1},
        {u"a{5,2}", 0, u"aaaaaa", 0, 5}, // second number below the first counts as the first
        {u"a{5,2}", 0, u"aaaa", -1, -1},   {u"a{0}", 0, u"b", 0, 0},
        {u"a{0,0}", 0, u"a", 0, 0},        {u"ba{0}c", 0, u"bc", 0, 2},
        {u"a{}", 0, u"xa", 0, 0}, // no count: the atom is dropped
        {u"a{,3}", 0, u"aaa", 0, 0},       {u"a{x}", 0, u"a", 0, 0},
        {u"a{ 2 , 3 }", 0, u"aaaa", 0, 3}, {u"a{2,3}?", 0, u"aaaa", 0, 2},
        {u"a{2,3}+a", 0, u"aaa", -1, -1},  {u"*a", 0, u"x*a", 1, 3}, // a quantifier with nothing to repeat is literal
        {u"+", 0, u"1+1", 1, 2},           {u"{3}", 0, u"a{3}", 1, 4},
        {u"x}", 0, u"x}", 0, 2},           {u"a??", 0, u"a", 0, 0},
    });
}

TEST(RegexSyntax, LongCount_KeepsSixDigits)
{
    CPatternT p;
    p.Compile(std::u16string_view(u"^a{1234567}$"));
    EXPECT_TRUE(p.IsMatch(std::u16string(123456, u'a')));
    EXPECT_FALSE(p.IsMatch(std::u16string(123457, u'a')));
    EXPECT_FALSE(p.IsMatch(std::u16string(123455, u'a')));
}

TEST(RegexSyntax, BracketClasses_ReadAsDocumented)
{
    RunTable({
        {u"[]", 0, u"abc[]", -1, -1},       {u"[^]", 0, u"x", 0, 1},
        {u"[^]", 0, u"\n", 0, 1},           {u"[^]", 0, u"", -1, -1},
        {u"[a-]", 0, u"-", 0, 1},           {u"[a-]", 0, u"a", 0, 1},
        {u"[a-]", 0, u"b", -1, -1},         {u"[a-\\d]", 0, u"x5", 1, 2},
        {u"[a-\\d]", 0, u"x-", 1, 2},       {u"[a-\\d]", 0, u"xa", 1, 2},
        {u"[a-\\d]", 0, u"b", -1, -1},      {u"[a-c]+", 0, u"xabcd", 1, 4},
        {u"[^a-c]+", 0, u"abxyc", 2, 4},    {u"[.]", 0, u"a.", 1, 2}, // "." is literal inside a class
        {u"[\\b]", 0, u"a\bb", 1, 2},                                 // backspace inside a class
        {u"[\\w.]+", 0, u"  a.b_1 ", 2, 7}, {u"[a^]", 0, u"^", 0, 1},
        {u"[z-a]", 0, u"m", -1, -1},        {u"[\\x41-\\x43]+", 0, u"ABCD", 0, 3},
        {u"[\\]]", 0, u"a]", 1, 2},         {u"[a", 0, u"xa", 1, 2}, // unclosed "[" runs to the end
        {u"[\\s]", 0, u"a\tb", 1, 2},
    });
}

TEST(RegexSyntax, PosixClasses_ReadAsDocumented)
{
    RunTable({
        {u"[[:alpha:]]", 0, u"1a", 1, 2},
        {u"[:alpha:]", 0, u"1a", 1, 2},
        {u"[[:^digit:]]", 0, u"1a", 1, 2},
        {u"[:^digit:]", 0, u"12", -1, -1},
        {u"[:foo:]", 0, u"foo:", -1, -1},
        {u"[:^foo:]", 0, u"foo:", -1, -1},
        {u"[[:digit:]x]+", 0, u"a1x2b", 1, 4},
        {u"[[:alnum:]]+", 0, u"--a1B--", 2, 5},
        {u"[[:space:]]", 0, u"a\vb", 1, 2},
        {u"[[:blank:]]", 0, u"a\vb\t", 3, 4},
        {u"[[:punct:]]", 0, u"ab!", 2, 3},
        {u"[[:xdigit:]]+", 0, u"xyzBEEFg", 3, 7},
        {u"[[:cntrl:]]", 0, u"a\x7f", 1, 2},
        {u"[[:print:]]", 0, u"\x01 ", 1, 2},
        {u"[[:graph:]]", 0, u"\x01 x", 2, 3},
        {u"[[:ascii:]]", 0, u"\u00e9a", 1, 2},
        {u"[[:lower:]]", 0, u"ABc", 2, 3},
        {u"(?i)[[:upper:]]", 0, u"a", -1, -1}, // case widening never touches POSIX classes
        {u"(?i)[[:upper:]]", 0, u"aA", 1, 2},
        {u"[[:alpha:]]", 0, u"\u00e9", -1, -1}, // codes 128 and above belong to no class
    });
}

TEST(RegexSyntax, Escapes_ReadAsDocumented)
{
    RunTable({
        {u"\\x41", 0, u"A", 0, 1},
        {u"\\x4", 0, u"\x04", 0, 1},
        {u"\\xG", 0, u"xG", 0, 2},
        {u"\\x4g", 0, u"\x04g", 0, 2},
        {u"\\u{1F600}", 0, u"\uF600", 0, 1},
        {u"\\x{41}", 0, u"A", 0, 1},
        {u"\\x{41zz}B", 0, u"AB", 0, 2}, // characters up to the "}" are skipped
        {u"\\u00e9", 0, u"\u00e9", 0, 1},
        {u"\\u", 0, u"u", 0, 1},
        {u"\\QA.B\\E", 0, u"AxB", -1, -1},
        {u"\\QA.B\\E", 0, u"A.B", 0, 3},
        {u"\\Q(a\\E+", 0, u"(aaa", 0, 4},
        {u"\\Uab\\E", 0, u"AB", 0, 2},
        {u"\\Uab\\E", 0, u"ab", -1, -1},
        {u"\\LAB\\E", 0, u"ab", 0, 2},
        {u"\\Qa*", 0, u"a*", 0, 2}, // quote mode to the end
        {u"a\\Eb", 0, u"ab", 0, 2},
        {u"\\t\\n\\r\\f\\v\\a\\e", 0, u"\t\n\r\f\v\a\x1b", 0, 7},
        {u"\\.", 0, u"a.", 1, 2},
        {u"\\/", 0, u"/", 0, 1},
        {u"a\\", 0, u"a\\", 0, 2}, // trailing lone backslash is literal
        {u"\\", 0, u"x\\", 1, 2},
        {u"\\Gab", 0, u"xab", 1, 3}, // without the global flag "\G" matches everywhere
        {u"(?g)\\Gab", 0, u"xab", -1, -1},
        {u"(?g)\\Gab", 0, u"abx", 0, 2},
        {u"[\\G]a", 0, u"a", -1, -1}, // "\G" in a class is skipped: an empty class
        {u"\\d+", 0, u"ab123c", 2, 5},
        {u"\\D+", 0, u"12ab3", 2, 4},
        {u"\\w+", 0, u"  ab_9 ", 2, 6},
        {u"\\W+", 0, u"ab +c", 2, 4},
        {u"\\s+", 0, u"a \t\r\nb", 1, 5},
        {u"\\s", 0, u"a\fb", -1, -1},     // form feed is not white space left-to-right
        {u"(?<=\\s)b", 0, u"a\fb", 2, 3}, // but is inside a look-behind
        {u"\\S+", 0, u"  ab ", 2, 4},
        {u".", 0, u"\n", -1, -1},
        {u"(?s).", 0, u"\n", 0, 1},
        {u".", 0, u"\r", 0, 1},
    });
}

TEST(RegexSyntax, Modifiers_ApplyToTheRestOfTheirGroup)
{
    RunTable({
        {u"(?i)ab|cd", 0, u"CD", 0, 2},    {u"(?i)ab|cd", 0, u"AB", 0, 2},    {u"(a(?i)b)c", 0, u"aBc", 0, 3},
        {u"(a(?i)b)c", 0, u"aBC", -1, -1}, {u"(a(?i)b)c", 0, u"ABc", -1, -1}, {u"(?i:a)b", 0, u"Ab", 0, 2},
        {u"(?i:a)b", 0, u"AB", -1, -1},    {u"(?-i)a", I, u"A", -1, -1},      {u"(?i-i)a", 0, u"A", -1, -1},
        {u"(?i(a))b", 0, u"Ab", 0, 2},     {u"(? i)a", 0, u"A", 0, 1},        {u"(?m)^b", 0, u"a\r\nb", 3, 4},
        {u"(?m)^b", 0, u"a\rb", 2, 3},     {u"(?m)a$", 0, u"a\r\nb", 0, 1},   {u"(?s)a.b", 0, u"a\nb", 0, 3},
        {u"a.b", 0, u"a\nb", -1, -1},      {u"(?:ab)+", 0, u"ababa", 0, 4},   {u"(?i)[a-c]+", 0, u"ABC", 0, 3},
        {u"(?i)[A-C]+", 0, u"abc", 0, 3},  {u"(?i)[^a]", 0, u"Ab", 1, 2},     {u"(?i)[x]", 0, u"X", 0, 1},
        {u"(?i)\\D", 0, u"123", -1, -1}, // ignoring case never changes an escape
        {u"abc", I, u"xABC", 1, 4},
    });
}

TEST(RegexSyntax, Groups_AreNumberedPlainFirstThenNamed)
{
    CPatternT p;
    p.Compile(std::u16string_view(u"(?<n>x)(y)"));
    EXPECT_EQ(p.GetHighestGroupNumber(), 2);
    CMatchResultT r = p.Match(std::u16string_view(u"xy"));
    ASSERT_TRUE(r.IsMatched());
    EXPECT_EQ(r.GetGroupStart(1), 1); // (y)
    EXPECT_EQ(r.GetGroupEnd(1), 2);
    EXPECT_EQ(r.GetGroupStart(2), 0); // n
    EXPECT_EQ(r.GetGroupEnd(2), 1);

    p.Compile(std::u16string_view(u"(?<a>x)|(?<A>y)"));
    EXPECT_EQ(p.GetHighestGroupNumber(), 1); // names equal ignoring case share a number
    r = p.Match(std::u16string_view(u"y"));
    ASSERT_TRUE(r.IsMatched());
    EXPECT_EQ(r.GetGroupStart(1), 0);
    EXPECT_EQ(r.GetGroupEnd(1), 1);

    p.Compile(std::u16string_view(u"(?P<w>a)(?'v'b)\\k<v>\\k'w'"));
    EXPECT_EQ(p.GetHighestGroupNumber(), 2);
    EXPECT_TRUE(p.IsMatch(u"abba"));
    EXPECT_FALSE(p.IsMatch(u"abab"));

    // A named group nested in another is numbered first: it joins the named
    // groups when its body ends.
    p.Compile(std::u16string_view(u"(?<outer>a(?<inner>b))(c)"));
    EXPECT_EQ(p.GetHighestGroupNumber(), 3);
    r = p.Match(std::u16string_view(u"abc"));
    ASSERT_TRUE(r.IsMatched());
    EXPECT_EQ(std::make_pair(r.GetGroupStart(1), r.GetGroupEnd(1)), std::make_pair(2, 3)); // (c)
    EXPECT_EQ(std::make_pair(r.GetGroupStart(2), r.GetGroupEnd(2)), std::make_pair(1, 2)); // inner
    EXPECT_EQ(std::make_pair(r.GetGroupStart(3), r.GetGroupEnd(3)), std::make_pair(0, 2)); // outer
    p.Compile(std::u16string_view(u"(?<outer>\\2x(?<inner>y))"));
    EXPECT_TRUE(p.IsMatch(u"xy")); // "\2" is the outer group, still open: it reads what it captured so far
    p.Compile(std::u16string_view(u"(?<outer>\\1x(?<inner>y))"));
    EXPECT_FALSE(p.IsMatch(u"xy")); // "\1" is the inner group, not yet captured

    p.Compile(std::u16string_view(u"(?<7>a)\\7")); // a numeric name is the group number
    EXPECT_EQ(p.GetHighestGroupNumber(), 7);
    EXPECT_TRUE(p.IsMatch(u"aa"));
    EXPECT_FALSE(p.IsMatch(u"ab"));
}

TEST(RegexSyntax, BackReferences_ReadAsDocumented)
{
    RunTable({
        {u"(a)\\1", 0, u"aa", 0, 2},
        {u"\\1(a)", 0, u"aa", -1, -1},
        {u"(a*)\\1", 0, u"b", 0, 0},
        {u"(a)\\k<1>", 0, u"aa", 0, 2},
        {u"(?<x>[ab])\\k<X>", 0, u"abb", 1, 3},
        {u"(?<x>[ab])\\g<x>", 0, u"abb", 1, 3},
        {u"(a)\\k'1'", 0, u"aa", 0, 2},
        {u"ab\\0", 0, u"abab", 0, 4}, // group 0: the match so far
        {u"ab\\k", 0, u"abab", 0, 4},
        {u"(a)\\k<zz>", 0, u"aa", -1, -1}, // unknown name never matches
        {u"(?i)(a)\\1", 0, u"aA", 0, 2},
        {u"(a)\\1", 0, u"aA", -1, -1},
        {u"(a)\\10", 0, u"aa0", -1, -1}, // group 10 does not exist
        {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", 0, u"abcdefghijj", 0, 11},
        {u"(a)\\1234", 0, u"aa4", -1, -1},  // three digits: group 123, then "4"
        {u"(?<=\\1(a))b", 0, u"aab", 2, 3}, // right-to-left: the group is matched first
    });
}

TEST(RegexSyntax, ConditionsAndRecursion_ReadAsDocumented)
{
    RunTable({
        {u"(?(1)a|b)", 0, u"b", 0, 1},
        {u"(?(1)b|c)", 0, u"c", 0, 1},
        {u"(a)?(?(1)b|c)", 0, u"ab", 0, 2},
        {u"(a)?(?(1)b|c)", 0, u"c", 0, 1},
        {u"(abc)?(?(abc)x|y)", 0, u"y", 0, 1},
        {u"(?(abc)\\w+|y)", 0, u"zabcd", 1, 5}, // no group "abc": a look-ahead
        {u"(?(abc)\\w+|y)", 0, u"zy", 1, 2},
        {u"(?<q>\")?\\w+(?(q)\")", 0, u"\"ab\"", 0, 4},
        {u"(?<q>\")?\\w+(?(q)\")", 0, u"ab", 0, 2},
        {u"(?(?=a)ab|cd)", 0, u"xcd", 1, 3},
        {u"(?(?=a)ab|cd)", 0, u"ab", 0, 2},
        {u"(?(?!a)cd|ab)", 0, u"ab", 0, 2},
        {u"(?(1)a)", 0, u"b", 0, 0}, // missing no-branch matches empty
        {u"a(?R)?b", 0, u"aabb", 0, 4},
        {u"a(?0)?b", 0, u"aabb", 0, 4},
        {u"a(?R)?b", 0, u"aaabbb", 0, 6},
        {u"(?5)", 0, u"x", 0, 0}, // no group 5: matches the empty string
        {u"(\\((?:[^()]|(?1))*\\))", 0, u"x(a(b)c)y", 1, 8},
        {u"(?<p>\\[(?:[^\\[\\]]|(?R<p>))*\\])", 0, u"[[x]]", 0, 5},
        {u"(?<p>\\[(?:[^\\[\\]]|(?R'p'))*\\])", 0, u"a[[x]", 2, 5},
        {u"((?R))", 0, u"aaa", -1, -1}, // re-enters without consuming: fails
        {u"(?R)?a", 0, u"ba", 1, 2},
        {u"x|(?R)y", 0, u"y", -1, -1},
        {u"x|(?R)y", 0, u"xyy", 0, 1},
    });
}

TEST(RegexSyntax, MalformedText_HasFixedReadings)
{
    RunTable({
        {u"", 0, u"abc", 0, 0},          {u"", 0, u"", 0, 0},
        {u"a)b", 0, u"xa", 1, 2}, // ")" with no open group ends the pattern
        {u"a)b", 0, u"b", -1, -1},       {u")", 0, u"", 0, 0},
        {u"(a", 0, u"xa", 1, 2}, // unclosed "(" runs to the end
        {u"(a|", 0, u"x", 0, 0},         {u"ab(?#note", 0, u"xab", 1, 3},
        {u"a(?#note)b", 0, u"ab", 0, 2}, {u"(?", 0, u"x", 0, 0},
        {u"(?<", 0, u"x", 0, 0},         {u"(?P", 0, u"x", 0, 0},
        {u"[", 0, u"x", -1, -1},         {u"[^", 0, u"x", 0, 1},
        {u"(?(", 0, u"x", 0, 0},         {u"\\k<", 0, u"x", -1, -1}, // an empty name names no group
        {u"a{2", 0, u"aa", 0, 2},        {u"|", 0, u"x", 0, 0},
        {u"a||b", 0, u"x", 0, 0},
    });

    CPatternT p;
    p.Compile(std::u16string_view(u"ab(?#note"));
    EXPECT_EQ(p.GetHighestGroupNumber(), 1);
    const CMatchResultT r = p.Match(std::u16string_view(u"xab"));
    ASSERT_TRUE(r.IsMatched());
    EXPECT_EQ(r.GetGroupStart(1), 3);
    EXPECT_EQ(r.GetGroupEnd(1), 3);
}

TEST(RegexSyntax, NullAndEmptyTexts_AreHandled)
{
    CPatternT cleared(nullptr);
    EXPECT_FALSE(cleared.IsCompiled());
    EXPECT_FALSE(cleared.Match(u"abc").IsMatched());
    EXPECT_FALSE(cleared.IsMatch(u"abc"));

    CPatternT p(u"x*");
    EXPECT_TRUE(p.IsCompiled());
    EXPECT_TRUE(p.Match(static_cast<const char16_t*>(nullptr)).IsMatched());
    p.Clear();
    EXPECT_FALSE(p.IsCompiled());
    EXPECT_FALSE(p.Match(u"x").IsMatched());
    p.Compile(u"y", 1); // one object can be compiled again
    EXPECT_TRUE(p.IsMatch(u"xy"));
}

TEST(RegexSyntax, EmbeddedZeroCharacter_IsALiteral)
{
    CPatternT p;
    const char16_t pattern[] = {u'a', 0, u'b'};
    p.Compile(pattern, 3);
    EXPECT_TRUE(p.IsMatch(std::u16string_view(pattern, 3)));
    EXPECT_FALSE(p.IsMatch(u"ab"));
}

} // namespace
