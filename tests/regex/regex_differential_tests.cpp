// Differential test against a reference engine (PCRE2's interpreter, used by
// the tests only): generated patterns restricted to constructs whose meaning
// is the same in both engines, searched in generated texts.  Both must agree
// on matched-or-not and on the span of group 0.
//
// Line breaks.  The reference is told that a line ends at LF and that "$"
// without (?m) means the very end, as here; then ".", the class escapes,
// "^", "$", "\A" and "\z" mean the same in texts with LF, lone CR and CR LF.
// Under (?m) the two differ in one place: this engine sees no line end or
// start between the CR and the LF of a CR LF, while the reference (told that
// CR, LF and CR LF all end lines) sees both there, and without (?s) its "."
// then stops matching CR.  So (?m) patterns get texts with LF and lone CR
// (never CR LF) and the reference's any-of-CR-LF convention, and (?m)
// patterns with "." but without (?s) get texts with LF only.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <string>

#include "pattern_generator.h"
#include "regex/regex.h"
#include "regex_test_util.h"

namespace {

struct Reference {
    Reference(const std::u16string& pattern, bool caseless, bool any_crlf)
    {
        pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
        pcre2_set_newline(context, any_crlf ? PCRE2_NEWLINE_ANYCRLF : PCRE2_NEWLINE_LF);
        int error = 0;
        PCRE2_SIZE offset = 0;
        const uint32_t options = (caseless ? PCRE2_CASELESS : 0) | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error, &offset,
                             context);
        pcre2_compile_context_free(context);
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
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    // 1 matched, 0 not, -1 the reference gave up (match limit).
    int Search(const std::u16string& text, std::pair<int, int>& span) const
    {
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH)
            return 0;
        if (rc < 0)
            return -1;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
        span = {static_cast<int>(ovector[0]), static_cast<int>(ovector[1])};
        return 1;
    }
    // The same for a match that starts exactly at start; end receives its end.
    int SearchAt(const std::u16string& text, int start, int& end) const
    {
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                   static_cast<PCRE2_SIZE>(start), PCRE2_ANCHORED, data, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH)
            return 0;
        if (rc < 0)
            return -1;
        end = static_cast<int>(pcre2_get_ovector_pointer(data)[1]);
        return 1;
    }
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
};

TEST(RegexDifferential, GeneratedPatterns_AgreeWithReferenceEngine)
{
    PatternGenerator gen(20240805);
    int compared = 0, compared_with_breaks = 0, disagreements = 0;
    for (int i = 0; i < 4000; ++i) {
        static const char16_t* prefixes[] = {u"", u"", u"", u"", u"(?m)", u"(?m)", u"(?s)", u"(?ms)"};
        const std::u16string prefix = prefixes[gen.Pick(8)];
        const std::u16string pattern = prefix + gen.Pattern();
        const bool caseless = i % 5 == 0;
        const bool multiline = prefix.find(u'm') != std::u16string::npos;
        const bool dot_all = prefix.find(u's') != std::u16string::npos;
        const bool bare_dot = !dot_all && pattern.find(u'.') != std::u16string::npos;
        const LineBreaks breaks = !multiline ? LineBreaks::kAll : bare_dot ? LineBreaks::kLfOnly : LineBreaks::kNoCrLf;
        Reference ref(pattern, caseless, breaks == LineBreaks::kNoCrLf);
        if (!ref.code)
            continue; // the reference refuses some generated forms
        CPatternT ours;
        ours.Compile(pattern, caseless ? IgnoreCase : 0);
        for (int t = 0; t < 10; ++t) {
            const bool with_breaks = t >= 5;
            const std::u16string text = gen.Text(with_breaks ? breaks : LineBreaks::kNone);
            std::pair<int, int> expected{-1, -1};
            if (ref.Search(text, expected) < 0)
                continue;
            const CMatchResultT got = ours.Match(text);
            std::pair<int, int> span{-1, -1};
            if (got.IsMatched())
                span = {got.GetStart(), got.GetEnd()};
            ++compared;
            if (with_breaks && text.find_first_of(u"\r\n") != std::u16string::npos)
                ++compared_with_breaks;
            if (span != expected && ++disagreements <= 20)
                ADD_FAILURE() << "pattern '" << Show(pattern) << "'" << (caseless ? " (caseless)" : "") << " text '"
                              << Show(text) << "': ours " << span.first << "," << span.second << " reference "
                              << expected.first << "," << expected.second;
        }
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(compared, 25000);
    EXPECT_GT(compared_with_breaks, 10000);
}

// The start classes against every match the reference finds at each start
// position: a match's characters lie in the classes and it is at least the
// least length long.  Starts that do not fit are counted, so that the test
// sees the classes reject something.
TEST(StartClasses, EveryMatchOfTheReferenceBeginsWithThem)
{
    PatternGenerator gen(8675309);
    int described = 0, matches = 0, rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::u16string pattern = gen.Pattern();
        const bool caseless = i % 4 == 0;
        Reference ref(pattern, caseless, false);
        if (!ref.code)
            continue;
        CPatternT ours;
        ours.Compile(pattern, caseless ? IgnoreCase : 0);
        const CStartClassesT& start = ours.StartClasses();
        ASSERT_LE(start.known, start.min_length) << Show(pattern);
        described += start.known > 0 ? 1 : 0;
        for (int t = 0; t < 6; ++t) {
            std::u16string text = gen.Text(LineBreaks::kAll, 16);
            if (caseless) // capitals, so that folding is needed to match
                for (char16_t& c : text)
                    if (c >= u'a' && c <= u'z' && gen.Pick(2) == 0)
                        c = char16_t(c - 32);
            const int length = static_cast<int>(text.size());
            for (int s = 0; s <= length; ++s) {
                int end = -1;
                const int found = ref.SearchAt(text, s, end);
                if (found < 0)
                    continue;
                const bool fits = start.FitsAt(text.data(), length, s);
                if (found == 0) {
                    rejected += fits ? 0 : 1;
                    continue;
                }
                ++matches;
                ASSERT_TRUE(fits) << "pattern '" << Show(pattern) << "'" << (caseless ? " (caseless)" : "") << " text '"
                                  << Show(text) << "' match at " << s << " to " << end;
                ASSERT_GE(end - s, start.min_length) << Show(pattern);
            }
            EXPECT_EQ(start.FindIn(text.data(), length, 0) >= 0 || !ours.Match(text).IsMatched(), true)
                << Show(pattern) << " in " << Show(text);
        }
    }
    EXPECT_GT(described, 1500);
    EXPECT_GT(matches, 20000);
    EXPECT_GT(rejected, 20000);
}

} // namespace
