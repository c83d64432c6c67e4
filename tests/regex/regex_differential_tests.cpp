// Differential test against a reference engine (PCRE2's interpreter, used by
// the tests only): generated patterns restricted to constructs whose meaning
// is the same in both engines, searched in generated texts without line
// breaks.  Both must agree on matched-or-not and on the span of group 0.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex_test_util.h"

namespace {

// Generates patterns over a small alphabet.  Two constructs whose meaning
// differs on purpose are left out: a quantifier on something that can match
// the empty string (this engine retries such a repetition until it consumes,
// the reference stops after one empty repetition), and a back-reference to
// a group that is still open (this engine reads the text captured so far).
class PatternGenerator {
public:
    explicit PatternGenerator(unsigned seed) : m_rng(seed) {}

    std::u16string Pattern()
    {
        m_groups = 0;
        m_closed.clear();
        bool nullable = false;
        return Alternation(0, nullable);
    }

    std::u16string Text()
    {
        static const char16_t alphabet[] = u"aabbc1 -";
        std::u16string text;
        const int length = Pick(12);
        for (int i = 0; i < length; ++i)
            text += alphabet[Pick(8)];
        return text;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    std::u16string Alternation(int depth, bool& nullable)
    {
        std::u16string out = Sequence(depth, nullable);
        while (depth < 3 && Pick(5) == 0) {
            bool more = false;
            out += u"|" + Sequence(depth, more);
            nullable = nullable || more;
        }
        return out;
    }

    std::u16string Sequence(int depth, bool& nullable)
    {
        std::u16string out;
        nullable = true;
        const int items = 1 + Pick(3);
        for (int i = 0; i < items; ++i) {
            bool itemNullable = false;
            out += Item(depth, itemNullable);
            nullable = nullable && itemNullable;
        }
        return out;
    }

    std::u16string Item(int depth, bool& nullable)
    {
        std::u16string atom = Atom(depth, nullable);
        if (nullable || Pick(3) != 0)
            return atom;
        static const char16_t* quantifiers[] = {u"*", u"+", u"?", u"{2}", u"{1,2}", u"{0,}", u"{2,3}"};
        const int k = Pick(7);
        std::u16string q = quantifiers[k];
        nullable = k == 0 || k == 2 || k == 5;
        const int mode = Pick(4);
        if (mode == 1)
            q += u"?";
        if (mode == 2)
            q += u"+";
        return atom + q;
    }

    std::u16string Class()
    {
        static const char16_t* classes[] = {u"[ab]", u"[^a]", u"[a-b1]", u".",   u"\\w",    u"\\d",
                                            u"\\s",  u"\\W",  u"\\D",    u"\\S", u"[^ab ]", u"[\\d-]"};
        return classes[Pick(12)];
    }

    std::u16string Fixed()
    { // fixed-length bodies for look-behind
        switch (Pick(3)) {
        case 0: return std::u16string(1, u"abc1"[Pick(4)]);
        case 1: return Class();
        default: return std::u16string(1, u"ab"[Pick(2)]) + Class();
        }
    }

    std::u16string Group(const char16_t* open, int depth, bool& nullable, bool capturing)
    {
        const int number = capturing ? ++m_groups : 0;
        std::u16string body = Alternation(depth + 1, nullable);
        if (capturing && Pick(3) == 0) {
            bool more = false;
            body += u"|" + Alternation(depth + 1, more);
            nullable = nullable || more;
        }
        if (capturing)
            m_closed.push_back(number);
        return open + body + u")";
    }

    std::u16string Atom(int depth, bool& nullable)
    {
        nullable = false;
        bool inner = false;
        const int kind = depth >= 3 ? Pick(3) : Pick(13);
        switch (kind) {
        case 0: return std::u16string(1, u"abc1 "[Pick(5)]);
        case 1: return Class();
        case 2: return std::u16string(1, u"ab"[Pick(2)]) + std::u16string(1, u"bc"[Pick(2)]);
        case 3: return Group(u"(", depth, nullable, true);
        case 4: return Group(u"(?:", depth, nullable, false);
        case 5: return Group(u"(?>", depth, nullable, false);
        case 6: nullable = true; return std::u16string(Pick(2) ? u"^" : u"$");
        case 7: nullable = true; return std::u16string(Pick(2) ? u"\\b" : u"\\B");
        case 8: nullable = true; return Group(Pick(2) ? u"(?=" : u"(?!", depth, inner, false);
        case 9: nullable = true; return (Pick(2) ? u"(?<=" : u"(?<!") + Fixed() + u")";
        case 10:
            if (!m_closed.empty()) {
                nullable = true; // the captured text may be empty
                const int number = m_closed[Pick(int(m_closed.size()))];
                // Wrapped, so that a following digit is never read as part of the number.
                if (number <= 9)
                    return u"(?:\\" + std::u16string(1, char16_t(u'0' + number)) + u")";
            }
            return u"a";
        default: return std::u16string(1, u"abc"[Pick(3)]);
        }
    }

    std::mt19937 m_rng;
    int m_groups = 0;
    std::vector<int> m_closed;
};

struct Reference {
    explicit Reference(const std::u16string& pattern, bool caseless)
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                             caseless ? PCRE2_CASELESS : 0, &error, &offset, nullptr);
        if (code)
            data = pcre2_match_data_create_from_pattern(code, nullptr);
    }
    ~Reference()
    {
        if (data)
            pcre2_match_data_free(data);
        if (code)
            pcre2_code_free(code);
    }
    // 1 matched, 0 not, -1 the reference gave up (match limit).
    int Search(const std::u16string& text, std::pair<int, int>& span) const
    {
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH)
            return 0;
        if (rc < 0)
            return -1;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
        span = {int(ovector[0]), int(ovector[1])};
        return 1;
    }
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
};

TEST(RegexDifferential, GeneratedPatterns_AgreeWithReferenceEngine)
{
    PatternGenerator gen(20240805);
    int compared = 0, disagreements = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::u16string pattern = gen.Pattern();
        const bool caseless = i % 5 == 0;
        Reference ref(pattern, caseless);
        if (!ref.code)
            continue; // the reference refuses some generated forms
        CPatternT ours;
        ours.Compile(pattern, caseless ? IgnoreCase : 0);
        CMatchContextT ctx;
        for (int t = 0; t < 8; ++t) {
            const std::u16string text = gen.Text();
            std::pair<int, int> expected{-1, -1};
            const int rc = ref.Search(text, expected);
            if (rc < 0)
                continue;
            const CMatchResultT got = ours.Match(text);
            std::pair<int, int> span{-1, -1};
            if (got.IsMatched())
                span = {got.GetStart(), got.GetEnd()};
            ++compared;
            if (span != expected && ++disagreements <= 20)
                ADD_FAILURE() << "pattern '" << Show(pattern) << "'" << (caseless ? " (caseless)" : "") << " text '"
                              << Show(text) << "': ours " << span.first << "," << span.second << " reference "
                              << expected.first << "," << expected.second;
        }
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(compared, 20000);
}

} // namespace
