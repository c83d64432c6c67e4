// What the compile works out once for every search: the literal finder of the
// prefilters, the literal every match must contain, class membership tables,
// and group numbering by name.  Each is compared with a plain model.
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pattern_generator.h"
#include "regex/literal_finder.h"
#include "regex/regex.h"
#include "regex_test_util.h"

namespace {

std::u16string UpperAscii(std::u16string s)
{
    for (char16_t& c : s)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - 32);
    return s;
}

// ---- the literal finder ----

// First occurrence at or after from, by plain comparison, or -1.
int PlainFind(const std::u16string& text, const std::u16string& needle, int from, bool ignore_case)
{
    const std::u16string t = ignore_case ? UpperAscii(text) : text;
    const std::u16string n = ignore_case ? UpperAscii(needle) : needle;
    const std::size_t at = t.find(n, static_cast<std::size_t>(from));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

TEST(LiteralFinder, RandomNeedlesAndTexts_AgreeWithPlainSearch)
{
    std::mt19937 rng(99);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    CLiteralFinder finder;
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        // Small alphabets and repetitive texts make many near misses, which
        // is what sends the finder to its fallback.
        static const char16_t* alphabets[] = {u"ab", u"aA", u"abc", u"a", u"aB\u0100"};
        const std::u16string alphabet = alphabets[pick(5)];
        auto random_text = [&](int length) {
            std::u16string s;
            for (int i = 0; i < length; ++i)
                s += alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))];
            return s;
        };
        std::u16string needle = random_text(1 + pick(round % 7 == 0 ? 300 : 12));
        std::u16string text = random_text(pick(3000));
        if (round % 5 == 0) // a long run that almost matches many times over
            text = std::u16string(static_cast<std::size_t>(pick(3000)), needle[0]) + needle + text;
        const bool ignore_case = round % 3 == 0;
        finder.Assign(CBufferRefT<char16_t>(needle.data(), static_cast<int>(needle.size())), ignore_case);
        const int length = static_cast<int>(text.size());
        for (int from : {0, pick(length + 1), length, length + 3, -2}) {
            const int expected = PlainFind(text, needle, std::max(from, 0), ignore_case);
            ASSERT_EQ(finder.Find(text.data(), length, from), expected)
                << Show(needle.substr(0, 20)) << " in " << Show(text.substr(0, 40)) << " from " << from;
            if (expected >= 0) {
                ++found;
                EXPECT_TRUE(finder.StartsAt(text.data(), length, expected));
            }
        }
        EXPECT_FALSE(finder.StartsAt(text.data(), length, length - static_cast<int>(needle.size()) + 1));
        EXPECT_FALSE(finder.StartsAt(text.data(), length, -1));
    }
    EXPECT_GT(found, 3000);
    finder.Assign(CBufferRefT<char16_t>(), false);
    EXPECT_EQ(finder.Find(u"abc", 3, 2), 2); // an empty literal is found where the search starts
    EXPECT_EQ(finder.Find(u"abc", 3, 4), -1);
}

TEST(LiteralFinder, NearMissesOverALongLine_TakeLinearTime)
{
    // A leading literal of 5000 "a" and a "b" over a line of 65535 "a": a
    // plain scan compares thousands of characters at every position.
    const std::u16string pattern = std::u16string(5000, u'a') + u"b";
    CPatternT p(pattern.c_str());
    timespec t0{}, t1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    EXPECT_FALSE(p.IsMatch(std::u16string(65535, u'a')));
    EXPECT_TRUE(p.IsMatch(std::u16string(65535, u'a') + u"b"));
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    const double ms =
        static_cast<double>(t1.tv_sec - t0.tv_sec) * 1e3 + static_cast<double>(t1.tv_nsec - t0.tv_nsec) / 1e6;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    EXPECT_LT(ms, 100 * 50.0);
#else
    EXPECT_LT(ms, 100);
#endif
}

// ---- the literal every match contains ----

TEST(RequiredLiteral, ReportsTheLongestMandatoryLiteral)
{
    struct Row {
        const char16_t* pattern;
        int flags;
        const char16_t* literal;
        bool ignore_case;
    };
    const std::vector<Row> table = {
        {u"ERROR", 0, u"ERROR", false},
        {u"took \\d{4} ms", 0, u"took ", false},
        {u"(?i)connection refused", 0, u"connection refused", true},
        {u"connection", IgnoreCase, u"connection", true},
        {u"x(?:foo)+bar", 0, u"bar", false}, // equal lengths: the later one
        {u"a?bc", 0, u"bc", false},          // "a?" is optional
        {u"(abc|abd)", 0, u"", false},       // alternatives: nothing certain
        {u"(?=abcdef)x", 0, u"x", false},    // a look-ahead's text lies outside the match
        {u"(?<=abcdef)x", 0, u"x", false},
        {u"(?:abcdef)?x", 0, u"x", false},
        {u"(?:abcdef){0,3}x", 0, u"x", false},
        {u"(?:abcdef){2}x", 0, u"abcdef", false},
        {u"(?>abcdef)x", 0, u"abcdef", false},
        {u"(?(1)abcdef)x", 0, u"x", false},
        {u"\\d+", 0, u"", false},
        {u"", 0, u"", false},
        {u"a(?i)bcd", 0, u"bcd", true},
        {u"\\QA.B\\E", 0, u"A.B", false},
    };
    for (const Row& r : table) {
        CPatternT p;
        p.Compile(std::u16string_view(r.pattern), r.flags);
        EXPECT_EQ(std::u16string(p.RequiredLiteral()), std::u16string(r.literal)) << Show(r.pattern);
        if (*r.literal) {
            EXPECT_EQ(p.RequiredLiteralIgnoresCase(), r.ignore_case) << Show(r.pattern);
        }
    }
    CPatternT cleared;
    EXPECT_TRUE(cleared.RequiredLiteral().empty());
}

TEST(RequiredLiteral, EveryMatchContainsIt_RandomPatterns)
{
    PatternGenerator gen(424242);
    int with_literal = 0, matches_checked = 0;
    CMatchContextT ctx;
    for (int i = 0; i < 6000; ++i) {
        const std::u16string pattern = gen.Pattern();
        const int flags = i % 4 == 0 ? IgnoreCase : 0;
        CPatternT p;
        p.Compile(pattern, flags);
        const std::u16string literal(p.RequiredLiteral());
        if (literal.empty())
            continue;
        ++with_literal;
        const bool fold = p.RequiredLiteralIgnoresCase();
        EXPECT_EQ(fold, flags != 0) << Show(pattern);
        for (int t = 0; t < 12; ++t) {
            const std::u16string text = gen.Text(LineBreaks::kAll, 16);
            const CMatchResultT r = p.Match(text);
            if (!r.IsMatched())
                continue;
            ++matches_checked;
            const std::u16string span = text.substr(static_cast<std::size_t>(r.GetStart()),
                                                    static_cast<std::size_t>(r.GetEnd() - r.GetStart()));
            const bool contains = fold ? UpperAscii(span).find(UpperAscii(literal)) != std::u16string::npos
                                       : span.find(literal) != std::u16string::npos;
            EXPECT_TRUE(contains) << "pattern '" << Show(pattern) << "' literal '" << Show(literal) << "' match '"
                                  << Show(span) << "'";
        }
    }
    EXPECT_GT(with_literal, 2000);
    EXPECT_GT(matches_checked, 2000);
}

// ---- the characters every match begins with ----

// The members of a class among the characters probe, as a text.
std::u16string MembersOf(const CCharSetT& set, const std::u16string& probe)
{
    std::u16string out;
    for (char16_t c : probe)
        if (set.Has(c))
            out += c;
    return out;
}

TEST(StartClasses, KnownPositionsAndLeastLengthOfTypicalPatterns)
{
    const std::u16string probe = u"aAbBcdDeEfFiImMoOrRsStTuUxyzXYZ09-_ .\n\u00e9\u4e2d";
    struct Row {
        const char16_t* pattern;
        int flags;
        int min_length;
        int known;
        std::vector<std::u16string> members; // per known position, among probe
    };
    const std::vector<Row> table = {
        {u"[xyz]\\d{6}", 0, 7, 7, {u"xyz", u"09", u"09", u"09", u"09", u"09", u"09"}},
        {u"\\d{3}-\\d{4}", 0, 8, 8, {u"09", u"09", u"09", u"-", u"09", u"09", u"09", u"09"}},
        {u"(?i)timeout|refused", 0, 7, 7, {u"rRtT", u"eEiI", u"fFmM", u"eEuU", u"oOsS", u"eEuU", u"dDtT"}},
        {u"timeout|refused", IgnoreCase, 7, 7, {u"rRtT", u"eEiI", u"fFmM", u"eEuU", u"oOsS", u"eEuU", u"dDtT"}},
        {u"timeout|refused", 0, 7, 7, {u"rt", u"ei", u"fm", u"eu", u"os", u"eu", u"dt"}},
        {u"(?:ab|c)d", 0, 2, 2, {u"ac", u"bd"}},
        {u"a?b", 0, 1, 1, {u"ab"}},
        {u"\\bfoo", 0, 3, 3, {u"f", u"o", u"o"}},
        {u"^x\\u4e2d", 0, 2, 2, {u"x", u"\u4e2d"}},
        {u"(?<=a)b", 0, 1, 1, {u"b"}},
        {u"(?=abc)x", 0, 1, 1, {u"x"}},
        {u"a{0}b", 0, 1, 1, {u"b"}},
        {u"(a)\\1b", 0, 2, 1, {u"a"}},             // the back-reference may be anything
        {u"x(?R)?y", 0, 2, 1, {u"x"}},             // so may the recursion
        {u"(?(1)ab|c)d", 0, 2, 2, {u"ac", u"bd"}}, // both branches
        {u"[^\\n]", 0, 1, 1, {}},                  // nearly every character, but known
        {u"a*", 0, 0, 0, {}},                      // may match the empty text
        {u"(?:x|)", 0, 0, 0, {}},
        {u"", 0, 0, 0, {}},
        {u"\\d+ms", 0, 3, 3, {u"09", u"m09", u"ms09"}},
        {u"a{0,3}bcd", 0, 3, 3, {u"ab", u"abc", u"abcd"}}, // every count of the optional part
        {u"(?:ab)+x", 0, 3, 3, {u"a", u"b", u"ax"}},
        {u"x{20}", 0, 16, 16, {}},
        {u"[]", 0, 1, 1, {u""}},
    };
    for (const Row& r : table) {
        CPatternT p;
        p.Compile(std::u16string_view(r.pattern), r.flags);
        const CStartClassesT& start = p.StartClasses();
        EXPECT_EQ(start.min_length, r.min_length) << Show(r.pattern);
        EXPECT_EQ(start.known, r.known) << Show(r.pattern);
        for (std::size_t o = 0; o < r.members.size() && o < static_cast<std::size_t>(start.known); ++o)
            EXPECT_EQ(MembersOf(start.sets[o], probe), r.members[o]) << Show(r.pattern) << " position " << o;
    }
    EXPECT_EQ(CPatternT().StartClasses().known, 0);
}

TEST(StartClasses, TheSearchStartsOnlyWhereTheyFit)
{
    // Dates and times hold digits everywhere, yet no three digits, a dash and
    // four digits: no start fits, so the engine never runs an element.
    std::u16string text;
    for (int i = 0; i < 500; ++i)
        text += u"2024-08-05 13:07:10.320 worker-3 wrote 24 bytes ";
    CPatternT p(u"\\d{3}-\\d{4}");
    CMatchContextT ctx;
    EXPECT_FALSE(p.Search(text, ctx));
    EXPECT_EQ(ctx.StepsUsed(), 0);
    // One place that fits: a start runs there, and only there.
    const std::u16string with = text + u"call 555-0199";
    EXPECT_TRUE(p.Search(with, ctx));
    EXPECT_LT(ctx.StepsUsed(), 20);
    EXPECT_EQ(ctx.m_capture_stack[1], static_cast<int>(text.size()) + 5);
    // Too short a tail for the least length is no start either.
    CPatternT ab(u"[ab]\\w{3}");
    EXPECT_FALSE(ab.Search(std::u16string(1000, u'-') + u"abc", ctx));
    EXPECT_EQ(ctx.StepsUsed(), 0);
}

// ---- class membership ----

// One part of a generated bracket class.
struct ClassPart {
    enum Kind { kChar, kRange, kEscape, kPosix } kind;
    int low = 0, high = 0;
    const char16_t* text = u""; // escape or POSIX class as written
};

bool EscapeAccepts(const std::u16string& escape, int c)
{
    const bool digit = c >= '0' && c <= '9';
    const bool word = digit || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (escape == u"\\d")
        return digit;
    if (escape == u"\\D")
        return !digit;
    if (escape == u"\\w")
        return word;
    if (escape == u"\\W")
        return !word;
    if (escape == u"\\s")
        return space;
    if (escape == u"\\S")
        return !space;
    if (escape == u"[:alpha:]")
        return c < 128 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    // The POSIX classifiers accept nothing outside ASCII, so a negated one accepts all of it.
    if (escape == u"[:^digit:]")
        return !digit;
    if (escape == u"[:^alpha:]")
        return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    return false;
}

std::u16string Hex(int c)
{
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out = u"\\x{";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(c >> shift) & 15];
    return out + u"}";
}

TEST(ClassTables, RandomClasses_AgreeWithAPlainModel)
{
    std::mt19937 rng(31337);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    // Codes near every edge of the tables.
    static const int edges[] = {0,   1,   9,   10,  13,  32,  '0', '9', 'A',    'Z',   'a',
                                'z', '_', 127, 128, 254, 255, 256, 257, 0xFFFE, 0xFFFF};
    auto random_code = [&]() {
        switch (pick(4)) {
        case 0: return edges[pick(static_cast<int>(std::size(edges)))];
        case 1: return pick(128);
        case 2: return 200 + pick(120);
        default: return pick(0x10000);
        }
    };
    static const char16_t* escapes[] = {u"\\d", u"\\D",       u"\\w",        u"\\W",       u"\\s",
                                        u"\\S", u"[:alpha:]", u"[:^digit:]", u"[:^alpha:]"};
    CMatchContextT ctx;
    int high_cost_classes = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<ClassPart> parts;
        const int count = 1 + pick(round % 4 == 0 ? 40 : 6);
        for (int i = 0; i < count; ++i) {
            ClassPart part{};
            switch (pick(4)) {
            case 0:
                part.kind = ClassPart::kChar;
                part.low = part.high = random_code();
                break;
            case 1: {
                part.kind = ClassPart::kRange;
                part.low = random_code();
                part.high = pick(3) == 0 ? random_code() : std::min(0xFFFF, part.low + pick(600));
                break;
            }
            default:
                if (pick(3) == 0) {
                    part.kind = pick(2) ? ClassPart::kEscape : ClassPart::kPosix;
                    part.text = escapes[pick(9)];
                } else {
                    part.kind = ClassPart::kChar;
                    part.low = part.high = random_code();
                }
                break;
            }
            parts.push_back(part);
        }
        const bool negated = pick(3) == 0;
        const bool ignore_case = pick(4) == 0;
        std::u16string cls = negated ? u"[^" : u"[";
        for (const ClassPart& part : parts) {
            if (part.kind == ClassPart::kChar)
                cls += Hex(part.low);
            else if (part.kind == ClassPart::kRange)
                cls += Hex(part.low) + u"-" + Hex(part.high);
            else
                cls += part.text;
        }
        cls += u"]";
        auto listed = [&](int c) { // in a range or single character, as written
            for (const ClassPart& part : parts)
                if ((part.kind == ClassPart::kChar || part.kind == ClassPart::kRange) && part.low <= c
                    && c <= part.high)
                    return true;
            return false;
        };
        auto model = [&](int c) {
            bool in = listed(c);
            for (const ClassPart& part : parts)
                if (part.kind == ClassPart::kEscape || part.kind == ClassPart::kPosix)
                    in = in || EscapeAccepts(part.text, c);
            if (ignore_case && !in) {
                const int other = c >= 'a' && c <= 'z' ? c - 32 : c >= 'A' && c <= 'Z' ? c + 32 : -1;
                in = other >= 0 && listed(other);
            }
            return in != negated;
        };
        CPatternT single, run;
        single.Compile(cls, ignore_case ? IgnoreCase : 0);
        run.Compile(cls + u"+", ignore_case ? IgnoreCase : 0);
        if (count > 20)
            ++high_cost_classes;
        std::u16string text;
        for (int k = 0; k < 60; ++k) {
            const int c = k < static_cast<int>(std::size(edges)) ? edges[k] : random_code();
            const char16_t ch = static_cast<char16_t>(c);
            ASSERT_EQ(single.Search(&ch, 1, ctx), model(c))
                << Show(cls) << (ignore_case ? " (i)" : "") << " code " << c;
            text += ch;
        }
        // A run of the class (the inline path, charged per character) ends where the model says.
        std::size_t first = 0;
        while (first < text.size() && !model(text[first]))
            ++first;
        std::size_t last = first;
        while (last < text.size() && model(text[last]))
            ++last;
        const CMatchResultT r = run.Match(text);
        if (first == text.size()) {
            EXPECT_FALSE(r.IsMatched()) << Show(cls);
        } else {
            ASSERT_TRUE(r.IsMatched()) << Show(cls);
            EXPECT_EQ(std::make_pair(r.GetStart(), r.GetEnd()),
                      std::make_pair(static_cast<int>(first), static_cast<int>(last)))
                << Show(cls);
        }
    }
    EXPECT_GT(high_cost_classes, 100);
}

// ---- numbering groups by name ----

TEST(GroupNames, RandomNamedGroups_AreNumberedAsTheRuleSays)
{
    // The rule: plain groups first (1, 2, ...); then named groups in order of
    // appearance, each taking the number of the first earlier group of the
    // same name (ASCII case ignored), else the next free number; a name that
    // reads as a number is that number.
    std::mt19937 rng(5);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    static const char16_t* names[] = {u"a", u"A", u"b", u"ab", u"aB", u"x_1", u"X_1", u"3", u" 2 ", u"007", u"q"};
    for (int round = 0; round < 3000; ++round) {
        struct Group {
            bool named;
            std::u16string name;
        };
        std::vector<Group> groups;
        const int count = 1 + pick(10);
        std::u16string pattern, text;
        for (int i = 0; i < count; ++i) {
            const char16_t ch = char16_t(u'c' + i);
            if (pick(2)) {
                const std::u16string name = names[pick(11)];
                groups.push_back({true, name});
                pattern += u"(?<" + name + u">" + std::u16string(1, ch) + u")";
            } else {
                groups.push_back({false, u""});
                pattern += std::u16string(u"(") + ch + u")";
            }
            text += ch;
        }
        // The model's numbers.
        int plain = 0;
        for (const Group& g : groups)
            plain += g.named ? 0 : 1;
        std::vector<int> number(groups.size(), 0);
        int next = plain, plain_seen = 0;
        std::vector<std::pair<std::u16string, int>> seen; // upper-cased name, number
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (!groups[i].named) {
                number[i] = ++plain_seen;
                continue;
            }
            const std::u16string& n = groups[i].name;
            const std::size_t digits = n.find_first_not_of(u' ');
            const std::u16string trimmed = n.substr(digits, n.find_last_not_of(u' ') - digits + 1);
            if (trimmed.find_first_not_of(u"0123456789") == std::u16string::npos) {
                const int value = std::stoi(std::string(trimmed.begin(), trimmed.end()));
                number[i] = value > 0 ? value : ++next;
                continue;
            }
            const std::u16string key = UpperAscii(n);
            const auto it = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == key; });
            number[i] = it != seen.end() ? it->second : ++next;
            if (it == seen.end())
                seen.emplace_back(key, number[i]);
        }
        const int highest = *std::max_element(number.begin(), number.end());
        CPatternT p;
        p.Compile(pattern);
        ASSERT_EQ(p.GetHighestGroupNumber(), highest) << Show(pattern);
        const CMatchResultT r = p.Match(text);
        ASSERT_TRUE(r.IsMatched()) << Show(pattern);
        // Each number holds the capture of the last group carrying it.
        for (int n = 1; n <= highest; ++n) {
            int expected = -1;
            for (std::size_t i = 0; i < groups.size(); ++i)
                if (number[i] == n)
                    expected = static_cast<int>(i);
            EXPECT_EQ(r.GetGroupStart(n), expected) << Show(pattern) << " group " << n;
        }
    }
}

} // namespace
