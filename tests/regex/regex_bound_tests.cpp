// The bounds that keep every search and every compile finite: the step
// budget (one per search, charged in proportion to the work done), the
// recursion and nesting limits, and the stack the calling thread really has.
// Searches are bounded by the steps they count, never by the clock; the
// compile bounds compare the cost of a large pattern with that of a smaller
// one of the same kind in the same run, so a loaded machine slows both alike.
#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex_test_util.h"

namespace {

// The most steps a search may report: its budget, plus one lump charged at
// once (a back-reference or a literal over a whole 65535-character line costs
// one step per 8 characters compared).
constexpr long long kStepCeiling = CPatternT::kBacktrackBudget + 65536 / 8 + 1;

// Processor time of the calling thread.
double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The least processor time of three compiles of pattern, and the compiled
// pattern's highest group number.
double CompileCpuMs(const std::u16string& pattern, int* highest = nullptr)
{
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        const double start = ThreadCpuMs();
        CPatternT p;
        p.Compile(pattern);
        best = std::min(best, ThreadCpuMs() - start);
        if (highest)
            *highest = p.GetHighestGroupNumber();
    }
    return best;
}

// Compiling a pattern four times the size may cost about four times as much
// (up to eight where the larger pattern's tables outgrow a cache, and a little
// more on a machine whose other work evicts them), never the sixteen times a
// cost growing with the square of its size gives.
// make(n) builds the pattern of size n; returns the highest group number of
// the large pattern.
int ExpectCompileCostLinear(const std::function<std::u16string(int)>& make, int n)
{
    int highest = 0;
    const double small = CompileCpuMs(make(n / 4));
    const double large = CompileCpuMs(make(n), &highest);
    EXPECT_LT(large, 11 * std::max(small, 0.05))
        << "compiling " << n << " costs " << large << " ms, " << n / 4 << " costs " << small << " ms";
    return highest;
}

struct Outcome {
    bool matched = false;
    bool aborted = false;
    int start = -1, end = -1;
    long long steps = 0;
};

// Compiles and searches on the calling thread.
Outcome CompileAndSearch(const std::u16string& pattern, const std::u16string& text, int flags = 0)
{
    Outcome out;
    CPatternT p;
    p.Compile(pattern, flags);
    CMatchContextT ctx;
    p.Prepare(text.data(), static_cast<int>(text.size()), ctx);
    const CMatchResultT r = p.Run(ctx);
    out.steps = ctx.StepsUsed();
    out.matched = r.IsMatched();
    out.aborted = ctx.IsAborted();
    out.start = r.GetStart();
    out.end = r.GetEnd();
    return out;
}

// Runs job on a new thread with the given stack size and waits for it, at most
// two minutes (a thread that hangs ends the whole test run, since it still
// holds references into the test).  False when the thread could not start.
bool RunOnThread(std::size_t stack_size, const std::function<void()>& job)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stack_size);
    pthread_t thread;
    auto entry = [](void* arg) -> void* {
        (*static_cast<std::function<void()>*>(arg))();
        return nullptr;
    };
    std::function<void()> body = job;
    const bool started = pthread_create(&thread, &attr, entry, &body) == 0;
    pthread_attr_destroy(&attr);
    if (!started)
        return false;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += 120;
    if (pthread_timedjoin_np(thread, nullptr, &deadline) != 0) {
        std::fprintf(stderr, "a search on a small-stack thread did not end within two minutes\n");
        std::abort();
    }
    return true;
}

const std::u16string kRun(65535, u'a');

// ---- the three measured cases, and their relatives ----

TEST(RegexBounds, BackReferenceOverLongLine_StopsWithinTheStepBudget)
{
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"(.+)\\1\\d", kRun},        {u"(?i)(.+)\\1\\d", kRun},  {u"(a+)\\1\\d", kRun},
        {u"(.*)\\1\\1\\d", kRun},     {u"(?:(.+)\\1)+\\d", kRun}, {u"(?<=(.+)\\1)\\d", kRun + u"x"},
        {u"(?<n>.+)\\k<n>\\d", kRun},
    };
    for (const auto& [pattern, text] : cases) {
        const Outcome o = CompileAndSearch(pattern, text);
        EXPECT_FALSE(o.matched) << Show(pattern);
        EXPECT_LE(o.steps, kStepCeiling) << Show(pattern);
    }
    // The comparison is charged by the characters it reads: a short line stays
    // well within the budget and finds its match.
    const Outcome found = CompileAndSearch(u"(.+)\\1\\d", std::u16string(2000, u'a') + u"1");
    EXPECT_TRUE(found.matched);
    EXPECT_FALSE(found.aborted);
}

TEST(RegexBounds, LargeClassAboveU0100OverLongLine_StopsWithinTheStepBudget)
{
    // 10000 members, none adjacent (so no two merge into one range), and a line
    // of them in an order that defeats any prediction.
    std::u16string members;
    for (int i = 0; i < 10000; ++i)
        members += char16_t(0x100 + 2 * i);
    std::u16string line;
    for (int i = 0; i < 65535; ++i)
        line += char16_t(0x100 + 2 * ((i * 7919) % 10000));
    const std::u16string cls = u"[" + members + u"]";
    const std::vector<std::u16string> failing = {
        cls + u"*\\d",           cls + u"+\\d",
        u"(?:" + cls + u")+\\d", cls + u"+?\\d",
        cls + u"{2,}\\d",        u"(?:" + cls + u"|x)*\\d",
        cls + u"*+\\d",          u"[^" + members + u"]*\\d",
        u"(?i)" + cls + u"*\\d",
    };
    for (const std::u16string& pattern : failing) {
        const Outcome o = CompileAndSearch(pattern, line);
        EXPECT_FALSE(o.matched) << Show(pattern.substr(pattern.size() - 6));
        EXPECT_LE(o.steps, kStepCeiling) << Show(pattern.substr(pattern.size() - 6));
    }
    const Outcome whole = CompileAndSearch(cls + u"+$", line);
    EXPECT_TRUE(whole.matched);
    EXPECT_EQ(whole.start, 0);
    EXPECT_EQ(whole.end, 65535);
    EXPECT_LE(whole.steps, kStepCeiling);
    // A non-member (odd code) ends the run exactly there.
    std::u16string broken = line;
    broken[40000] = char16_t(0x101);
    const Outcome cut = CompileAndSearch(cls + u"+", broken);
    EXPECT_EQ(std::make_pair(cut.start, cut.end), std::make_pair(0, 40000));
}

std::u16string GroupName(int i)
{
    std::u16string n = u"g";
    for (int k = i; k > 0; k /= 26)
        n += char16_t(u'a' + k % 26);
    return n;
}

// n named groups, and with them n references of one kind to those names.
std::u16string NamedGroups(int n, int kind)
{
    std::u16string groups, refs;
    for (int i = 0; i < n; ++i) {
        groups += u"(?<" + GroupName(i) + u">x)";
        if (kind == 1)
            refs += u"\\k<" + GroupName(n - 1 - i) + u">";
        else if (kind == 2)
            refs += u"(?R<" + GroupName(i) + u">)?";
        else if (kind == 3)
            refs += u"(?(" + GroupName(i) + u")y)";
        else if (kind == 4)
            refs += u"(?<" + GroupName(i) + u">x)";
    }
    return kind == 2 ? groups + u"|" + refs : groups + refs;
}

// Sanitizer builds compile many times slower; the ratio holds at any size.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kGroups = 8000;
#else
constexpr int kGroups = 20000;
#endif

TEST(RegexBounds, ManyNamedGroups_CompileInTimeLinearInTheirNumber)
{
    for (int kind = 0; kind <= 4; ++kind) {
        const int highest = ExpectCompileCostLinear([kind](int n) { return NamedGroups(n, kind); }, kGroups);
        EXPECT_EQ(highest, kGroups) << kind; // a repeated name shares its number
    }
    // The names resolve as a linear search would: the last group has the highest number,
    // and a name differing only in ASCII case is the same name.
    const std::u16string groups = NamedGroups(kGroups, 0);
    CPatternT p;
    p.Compile(groups + u"\\k<" + GroupName(kGroups - 1) + u">");
    std::u16string text(static_cast<std::size_t>(kGroups) + 1, u'x');
    EXPECT_TRUE(p.IsMatch(text));
    EXPECT_FALSE(p.IsMatch(std::u16string(static_cast<std::size_t>(kGroups), u'x')));
    std::u16string upper = GroupName(kGroups - 1);
    for (char16_t& c : upper)
        c = char16_t(c - 32);
    p.Compile(groups + u"\\k<" + upper + u">");
    EXPECT_TRUE(p.IsMatch(text));
}

std::u16string NumberedRecursions(int n)
{
    std::u16string pattern;
    for (int i = 0; i < n; ++i)
        pattern += u"(x)";
    for (int i = 0; i < n; ++i)
        pattern += u"(?" + std::u16string(1, char16_t(u'1' + i % 9)) + u")?";
    return pattern;
}

TEST(RegexBounds, ManyNumberedRecursions_CompileInTimeLinearInTheirNumber)
{
    ExpectCompileCostLinear(NumberedRecursions, kGroups);
    CPatternT p;
    p.Compile(NumberedRecursions(kGroups));
    EXPECT_TRUE(p.IsMatch(std::u16string(static_cast<std::size_t>(kGroups), u'x')));
}

TEST(RegexBounds, ManyGroups_DoNotMakeEveryStartPositionDear)
{
    // A group numbered 999999 (a numeric name) and a long line where it never
    // matches: resetting the captures costs the same at every start position.
    const Outcome o = CompileAndSearch(u"(?<999999>a)b", kRun + u"ab");
    EXPECT_TRUE(o.matched);
    EXPECT_FALSE(o.aborted);
    EXPECT_EQ(o.start, 65535);
    EXPECT_LE(o.steps, kStepCeiling); // resetting the captures is not charged; a reset
                                      // growing with the groups would run for hours
}

// ---- the budget ----

// The safety cases: a search gives up after its step budget, and a recursion
// that re-enters without consuming fails, so every call returns promptly.
TEST(RegexBounds, CatastrophicPatterns_ReturnWithinTheStepBudget)
{
    const std::vector<std::pair<const char16_t*, std::u16string>> cases = {
        {u"(a+)+b", kRun.substr(0, 30)},
        {u"(a+)+b", kRun},
        {u"(a+)+b", u"b" + kRun},
        {u"(a+)+b", kRun + u"xb"},
        {u"(a|aa)*c", kRun.substr(0, 40)},
        {u"(a|aa)*c", kRun},
        {u"(a|aa)*c", kRun + u"xc"},
        {u"(a*)*b", kRun + u"xb"},
        {u"(?:a+|b)*c", kRun + u"xc"},
        {u"^(a|a?)+$", kRun.substr(0, 64) + u"x"},
        {u"(.*a){20}", kRun},
        {u"((?R))", kRun},
        {u"(?R)*a", kRun.substr(0, 5000)},
        {u"(a?){40}a{40}", kRun.substr(0, 40)},
        {u"(a+)+(b|c)", kRun},
        {u"(a|aa)*(c|d)", kRun},
        {u"(\\w+\\s?)*$", kRun.substr(0, 5000) + u"!"},
    };
    for (const auto& [pattern, text] : cases) {
        CPatternT p(pattern);
        CMatchContextT ctx;
        p.Search(text, ctx);
        EXPECT_LE(ctx.StepsUsed(), kStepCeiling)
            << Show(pattern) << " on " << Show(text.substr(0, 8)) << "... (" << text.size() << ")";
    }
}

TEST(RegexBounds, StepBudget_ExceededSearchCountsAsNotMatching)
{
    // The first alternative explodes at the first position; the search gives
    // up instead of finding the plain "a" that follows.
    CPatternT p(u"(a+)+x|a");
    CMatchContextT ctx;
    const std::u16string text(40, u'a');
    EXPECT_FALSE(p.Search(text.data(), static_cast<int>(text.size()), ctx));
    EXPECT_TRUE(ctx.IsAborted());
    EXPECT_GE(ctx.StepsUsed(), CPatternT::kBacktrackBudget);
    // A short run stays within the budget and finds the match.
    EXPECT_TRUE(p.Search(u"aaaa", 4, ctx));
    EXPECT_FALSE(ctx.IsAborted());
}

TEST(RegexBounds, StepBudget_SpreadOverManyStartPositions_StillStops)
{
    // Every start position costs a few hundred steps and fails; only the "z"
    // at the very end matches.  60000 start positions together exceed the
    // one budget of the search, so it stops before it reaches the "z".
    CPatternT p(u"(?:a|A){80}b|z");
    CMatchContextT ctx;
    const std::u16string many = std::u16string(60000, u'a') + u"z";
    EXPECT_FALSE(p.Search(many, ctx));
    EXPECT_TRUE(ctx.IsAborted());
    // The same cost per start over 1000 positions stays within the budget.
    const std::u16string few = std::u16string(1000, u'a') + u"z";
    EXPECT_TRUE(p.Search(few, ctx));
    EXPECT_FALSE(ctx.IsAborted());
    EXPECT_GT(ctx.StepsUsed(), 1000 * 100); // so 60000 of them are well past the budget
}

TEST(RegexBounds, AbortedSearch_NeverReportsAMatch)
{
    // The optional group explodes and runs out of budget; giving it up would
    // leave an empty "match" standing.  An aborted search reports no match,
    // whatever its elements answered.
    CPatternT p(u"(?:(a+)+x)?");
    CMatchContextT ctx;
    const std::u16string text(40, u'a');
    EXPECT_FALSE(p.Search(text, ctx));
    EXPECT_TRUE(ctx.IsAborted());
    EXPECT_FALSE(p.Match(text).IsMatched());
    // Within the budget the same pattern matches the empty string.
    EXPECT_TRUE(p.Search(u"aaaa", ctx));
    EXPECT_FALSE(ctx.IsAborted());
}

TEST(RegexBounds, OrdinaryPatternsOnLongLines_StayWithinTheBudget)
{
    std::u16string line;
    while (line.size() < 65000)
        line += u"2024-08-05 13:07:09.123 [INFO ] Request 4711 from 10.0.3.17 took 1234 ms; ";
    const std::u16string tail = line + u"needle";
    const std::vector<const char16_t*> patterns = {
        u"needle",
        u"\\bneedle$",
        u"(?i)NEEDLE",
        u"\\d+ ms; needle",
        u"(INFO|WARN).*needle",
        u"\\w+le$",
        u"[a-z]+dle",
        u"(?:\\d{1,3}\\.){3}\\d{1,3} took \\d+ ms; needle",
        u"^.*needle$",
        u"^(?:[^;]*; )*needle",
        u"\\[(INFO |WARN )\\].*\\1",
    };
    for (const char16_t* pattern : patterns) {
        CPatternT p(pattern);
        CMatchContextT ctx;
        EXPECT_TRUE(p.Search(tail, ctx)) << Show(pattern);
        // Far below the budget, not just under it.
        EXPECT_LT(ctx.StepsUsed(), CPatternT::kBacktrackBudget / 4) << Show(pattern);
    }
}

// ---- nesting, recursion and the stack ----

TEST(RegexBounds, DeepNesting_CompilesAndMatchesWithoutCrashing)
{
    std::u16string deep(100000, u'(');
    deep += u"a";
    deep += std::u16string(100000, u')');
    CPatternT p;
    p.Compile(deep);
    EXPECT_TRUE(p.IsCompiled());
    p.IsMatch(u"aaa");

    std::u16string wide;
    for (int i = 0; i < 2000; ++i)
        wide += u"(a)?";
    p.Compile(wide);
    EXPECT_TRUE(p.IsMatch(std::u16string(3000, u'a')));

    // Recursion nests once per character; a bound keeps the stack safe.
    p.Compile(std::u16string_view(u"(\\w)(?R)?"));
    const CMatchResultT r = p.Match(std::u16string(65535, u'w'));
    EXPECT_TRUE(r.IsMatched());
    EXPECT_EQ(r.GetStart(), 0);
    EXPECT_EQ(r.GetEnd(), CPatternT::kMaxRecursionDepth + 1);

    // The same inside a deeply nested pattern: fewer levels, the same safety.
    std::u16string nested;
    for (int i = 0; i < CPatternT::kMaxGroupNesting - 1; ++i)
        nested += u"(?:x|";
    nested += u"\\w(?R)?";
    for (int i = 0; i < CPatternT::kMaxGroupNesting - 1; ++i)
        nested += u")";
    p.Compile(nested);
    EXPECT_TRUE(p.IsMatch(std::u16string(65535, u'w')));
}

// The worst patterns for the stack: deep recursion, deep nesting of every
// kind of group, long alternation chains, and recursion inside deep nesting.
std::vector<std::pair<std::u16string, std::u16string>> StackHeavyCases()
{
    auto nest = [](const std::u16string& open, const std::u16string& inner, const std::u16string& close) {
        std::u16string out;
        for (int i = 0; i < CPatternT::kMaxGroupNesting + 50; ++i)
            out += open;
        out += inner;
        for (int i = 0; i < CPatternT::kMaxGroupNesting + 50; ++i)
            out += close;
        return out;
    };
    std::u16string chain;
    for (int i = 0; i < 50000; ++i)
        chain += u"b|";
    chain += u"a";
    std::u16string nested_chain;
    for (int i = 0; i < CPatternT::kMaxGroupNesting - 1; ++i)
        nested_chain += u"(?:b|";
    nested_chain += u"\\w(?R)?";
    for (int i = 0; i < CPatternT::kMaxGroupNesting - 1; ++i)
        nested_chain += u")";
    const std::u16string w(65535, u'w');
    const std::u16string a(65535, u'a');
    return {
        {u"(\\w)(?R)?", w},
        {u"(?:\\w(?R)?)", w},
        {u"(\\w(?1)?)", w},
        {u"(?<r>\\w(?R<r>)?)", w},
        {u"((?:\\w|x)(?1)*)", w},
        {u"(a(?1)?b)", std::u16string(5000, u'a') + std::u16string(5000, u'b')},
        {u"(?(?=\\w)\\w(?R)?)", w},
        {u"(?=\\w(?R)?)\\w", w},
        {u"(?>\\w(?R)?)", w},
        {u"\\w(?R)?x", w},
        {nested_chain, w},
        {nest(u"(", u"a", u")"), a},
        {nest(u"(?:", u"a", u")?"), a},
        {nest(u"(?=", u"a", u")"), a},
        {nest(u"(?<=", u"a", u")"), a},
        {nest(u"(?>", u"a", u")*"), a},
        {nest(u"(?:a|", u"b", u")+"), a},
        {nest(u"(?(1)", u"a", u"|a)"), a},
        {nest(u"(a", u"(?R)?", u")?"), a},
        {chain, a},
        {u"(?:" + chain + u")+$", a},
    };
}

Outcome SearchCompiled(const CPatternT& p, const std::u16string& text)
{
    Outcome out;
    CMatchContextT ctx;
    p.Prepare(text.data(), static_cast<int>(text.size()), ctx);
    const CMatchResultT r = p.Run(ctx);
    out.matched = r.IsMatched();
    out.aborted = ctx.IsAborted();
    out.start = r.GetStart();
    out.end = r.GetEnd();
    return out;
}

TEST(RegexBounds, StackHeavyPatterns_SearchedOnA256KbThread_FailSafely)
{
    for (const auto& [pattern, text] : StackHeavyCases()) {
        CPatternT p; // compiled once, searched on both threads
        p.Compile(pattern);
        const Outcome on_main = SearchCompiled(p, text);
        Outcome on_small;
        ASSERT_TRUE(RunOnThread(256 * 1024, [&, &t = text] { on_small = SearchCompiled(p, t); }))
            << Show(pattern.substr(0, 40));
        // A small stack may stop a search early (it then counts as not
        // matching); any answer it does give is the main thread's.
        if (on_small.matched) {
            EXPECT_EQ(std::make_pair(on_small.start, on_small.end), std::make_pair(on_main.start, on_main.end))
                << Show(pattern.substr(0, 40));
        } else {
            EXPECT_TRUE(on_small.aborted || !on_main.matched) << Show(pattern.substr(0, 40));
        }
    }
}

TEST(RegexBounds, StackHeavyPatterns_CompiledOnA256KbThread_WithoutCrashing)
{
    for (const auto& [pattern, text] : StackHeavyCases()) {
        [[maybe_unused]] const Outcome on_main = CompileAndSearch(pattern, text);
        Outcome on_small;
        ASSERT_TRUE(RunOnThread(256 * 1024, [&, &p = pattern, &t = text] { on_small = CompileAndSearch(p, t); }))
            << Show(pattern.substr(0, 40));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // The parser needs well under 100 KB at the deepest nesting it reads, so
        // a 256 KB stack compiles every pattern as the main thread does (a
        // sanitizer's frames are several times larger: there the text may end
        // early, as documented).
        if (on_small.matched) {
            EXPECT_EQ(std::make_pair(on_small.start, on_small.end), std::make_pair(on_main.start, on_main.end))
                << Show(pattern.substr(0, 40));
        } else {
            EXPECT_TRUE(on_small.aborted || !on_main.matched) << Show(pattern.substr(0, 40));
        }
#endif
    }
}

TEST(RegexBounds, DeepRecursion_OnA256KbThread_StopsAtTheStackNotBeyond)
{
    // On the main thread the recursion runs to its fixed limit and matches;
    // on a 256 KB stack (some 300 KB are needed) it stops and counts as not
    // matching.
    const std::u16string pattern = u"\\w(?:a|(?:b|(?:c|(?R))))?";
    const std::u16string text(65535, u'w');
    CPatternT p;
    p.Compile(pattern);
    const Outcome on_main = SearchCompiled(p, text);
    EXPECT_TRUE(on_main.matched);
    EXPECT_EQ(on_main.end, CPatternT::kMaxRecursionDepth + 1);
    Outcome on_small;
    ASSERT_TRUE(RunOnThread(256 * 1024, [&] { on_small = SearchCompiled(p, text); }));
    EXPECT_FALSE(on_small.matched);
    EXPECT_TRUE(on_small.aborted);
    // A shallower recursion fits in the small stack and gives the same answer.
    Outcome shallow;
    ASSERT_TRUE(RunOnThread(256 * 1024, [&] { shallow = SearchCompiled(p, text.substr(0, 40)); }));
    EXPECT_TRUE(shallow.matched);
    EXPECT_FALSE(shallow.aborted);
    EXPECT_EQ(shallow.end, 40);
}

TEST(RegexBounds, CaptureIndex_ForgetsEveryEntryAcrossTheStampsWrap)
{
    CCaptureIndexT index(UINT_MAX);
    index.Set(3, 12);
    index.Set(0, 0);
    EXPECT_EQ(index.Get(3), 12);
    EXPECT_EQ(index.Get(2), -1); // grown past, never set
    EXPECT_EQ(index.Get(9), -1); // beyond the end
    EXPECT_EQ(index.Get(-1), -1);
    index.Reset(); // the stamp wraps here
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(index.Get(n), -1) << n;
    index.Set(3, 4);
    EXPECT_EQ(index.Get(3), 4);
    index.Reset();
    EXPECT_EQ(index.Get(3), -1);
}

} // namespace
