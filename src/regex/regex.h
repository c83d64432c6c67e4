// The regular-expression engine: a pattern text compiles into a tree of
// elements (CPatternT) that a depth-first backtracking matcher runs over
// 16-bit text.  Every text is a pattern (malformed constructs have fixed
// readings).
//
// Compile once, match many.  A compiled CPatternT is read-only while matching,
// so one object may serve any number of searches, also from several threads at
// once, each thread with its own CMatchContextT.  The cheap path for a filter,
// highlight rule or search that tests one pattern against many cells:
//
//     CPatternT pattern;                        // once per run
//     pattern.Compile(text, case_sensitive ? NO_FLAG : IgnoreCase);
//     CMatchContextT ctx;                       // one per thread, reused
//     for (cell : cells)
//         if (pattern.Search(cell, ctx)) ...    // no allocation once warmed up
//
// IsMatch(text) does the same with a context kept per thread.  Ignoring case
// folds ASCII letters only and never changes an escape ("\D" stays a non-digit).
//
// Every search ends, and what it may cost is bounded:
//  - Steps.  One search, all its start positions together, may take
//    kBacktrackBudget steps; past that it stops and counts as not matching
//    (CMatchContextT::IsAborted() tells the two apart).  A step is one Match or
//    Retry of an element, and the work an element does beyond that is charged
//    in proportion: comparing a back-reference or a long literal costs 1 step
//    per 8 characters compared, a run of a single-character repetition 1 step
//    per 4 characters, testing a character at or above U+0100 against a class
//    of many ranges 1 step per 4 probes of its halving search, and checking
//    the active recursions 1 step per 16 of them.  Everything else a search
//    does (the prefilters, skipping start positions, resetting the captures)
//    reads each character of the text a bounded number of times or costs a
//    constant.  At about 5 ns a step, a search stops within a few tens of
//    milliseconds plus time linear in the text's length.
//  - Stack.  The matcher's call depth follows the nesting of the pattern, never
//    the length of the text, except through recursion ("(?R)", "(?1)"): groups
//    nest at most kMaxGroupNesting deep, and recursion at most
//    kMaxRecursionDepth levels (fewer in deeply nested patterns, so that
//    nesting times levels stays below kMaxRecursionFrames); a recursion
//    deeper than that fails where it is.  Beyond these fixed limits every
//    element call checks the stack its thread really has (its bounds are read
//    once per thread): when less than kStackMargin (at most a quarter of the
//    thread's stack) would remain, the search stops and counts as not
//    matching.  So any thread, also one with a 256 KB stack, may run any
//    pattern; only on a small stack a search that needs deep recursion
//    answers "no match" where a thread with the usual 8 MB stack finds one.
//    Compiling is bounded the same way: past kMaxGroupNesting, or when the
//    stack runs low, the pattern text ends there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "regex/buffer.h"
#include "regex/literal_finder.h"
#include "regex/start_classes.h"

enum REGEX_FLAGS {
    NO_FLAG = 0,
    DotMatchesNewline = 1, // "." also matches line feed            (?s)
    MultiLineAnchors = 2,  // "^" and "$" match at line starts/ends  (?m)
    GlobalAnchor = 4,      // "\G" anchors at the search start       (?g)
    IgnoreCase = 8,        // ASCII letters compare without case     (?i)
    RightToLeft = 16,      // look-behind bodies only
};

class ElxInterface;
class CListElxT;
class CBracketElxT;
class CBackrefElxT;
class CConditionElxT;
class CDelegateElxT;
class CRepeatElxT;

// For each group number, the index in the capture stack of the group's latest
// record, or -1 when it has none.  Emptied in constant time, so the number of
// groups a pattern has never makes a start position dearer.  One owner.
class CCaptureIndexT {
public:
    // first_stamp (never 0) only matters to a test of the stamps' wrap-around.
    explicit CCaptureIndexT(unsigned first_stamp = 1) : m_stamp(first_stamp == 0 ? 1 : first_stamp) {}
    // The entry of group n; -1 for a group without record (or a negative n).
    int Get(int n) const
    {
        return n >= 0 && n < m_slots.GetSize() && m_slots[n].stamp == m_stamp ? m_slots[n].value : -1;
    }
    // Sets the entry of group n (n >= 0), growing the index as needed.
    void Set(int n, int value);
    // Every entry becomes -1.
    void Reset();

private:
    struct Slot {
        int value;
        unsigned stamp; // the entry is valid only while it equals m_stamp
    };
    CBufferT<Slot> m_slots;
    unsigned m_stamp;
};

// All state of one search; reusable across searches (its buffers keep their
// capacity).  Not thread-safe: one context per thread.  The data members are
// the elements' working state; callers read a context through the accessors.
class CMatchContextT {
public:
    // True when the last search stopped at its step budget or at the stack
    // margin (its answer "no match" then means "gave up").
    bool IsAborted() const { return m_aborted; }
    // Steps the last search took (see kBacktrackBudget).
    long long StepsUsed() const;

    CBufferT<int> m_stack;         // backtrack stack
    CBufferT<int> m_capture_stack; // records of 4 ints: group, start, end (-1 open), depth
    CCaptureIndexT m_capture_index;
    int m_current_pos = 0;
    int m_begin_pos = 0;
    const char16_t* m_text = nullptr;
    int m_text_length = 0;

    // Bounds that keep every search finite (see the header comment).
    long long m_steps_left = 0;
    bool m_aborted = false;
    std::uintptr_t m_stack_floor = 0; // element calls below this address stop the search
    int m_recursion_limit = 0;
    CBufferT<const ElxInterface*> m_recursion_targets; // active recursions, innermost last
    CBufferT<int> m_recursion_positions;               // where each of them was entered
};

// Result of a search: empty when nothing matched; else [0] = 1, [1] = N (the
// highest group number), then start and end of groups 0..N (-1, -1 for a group
// that took no part).  Group 0 is the whole match.
class CMatchResultT : public CBufferT<int> {
public:
    bool IsMatched() const { return GetSize() > 0 && (*this)[0] != 0; }
    int MaxGroupNumber() const { return IsMatched() ? (*this)[1] : -1; }
    int GetStart() const { return GetGroupStart(0); }
    int GetEnd() const { return GetGroupEnd(0); }
    // Start of group n, or -1 when it took no part or does not exist.
    int GetGroupStart(int n) const { return n >= 0 && n <= MaxGroupNumber() ? (*this)[2 + 2 * n] : -1; }
    // End (exclusive) of group n, or -1 when it took no part or does not exist.
    int GetGroupEnd(int n) const { return n >= 0 && n <= MaxGroupNumber() ? (*this)[3 + 2 * n] : -1; }
};

// A compiled pattern.  Compile and Clear are not thread-safe; every const
// member may run on any number of threads at once.
class CPatternT {
public:
    // Steps one search may take before it stops and counts as not matching.
    static constexpr long long kBacktrackBudget = 4'000'000;
    // Nesting of recursions one search may reach; deeper ones fail.
    static constexpr int kMaxRecursionDepth = 1000;
    static constexpr int kMaxRecursionFrames = 8000;
    // Nesting of groups a pattern may have; the pattern text ends at a "(" deeper than this.
    static constexpr int kMaxGroupNesting = 200;
    // Stack a thread keeps free: an element call that would leave less stops the search.
    static constexpr std::size_t kStackMargin = 64 * 1024;

    CPatternT();
    // Compiles a zero-terminated text; a null text leaves the object cleared.
    explicit CPatternT(const char16_t* text, int flags = NO_FLAG);
    ~CPatternT();
    CPatternT(const CPatternT&) = delete;
    CPatternT& operator=(const CPatternT&) = delete;

    // Clears, then compiles text[0..length) with the starting flags (0 or IgnoreCase).  Never fails.
    void Compile(const char16_t* text, int length, int flags = NO_FLAG);
    void Compile(std::u16string_view text, int flags = NO_FLAG);
    // Deletes every element; afterwards the pattern matches nothing.
    void Clear();
    // True once a compile has produced a root element.
    bool IsCompiled() const { return m_root != nullptr; }
    int GetHighestGroupNumber() const { return m_max_number; }

    // A text that every match contains within its span: the longest literal
    // on the pattern's mandatory path (outside alternatives, optional parts,
    // look-arounds, conditions and recursions).  Empty when there is none or
    // the pattern is not compiled.  A scan for it may reject a text (or a
    // file's bytes) before any search runs.
    std::u16string_view RequiredLiteral() const;
    // True when RequiredLiteral must be compared ignoring ASCII case.
    bool RequiredLiteralIgnoresCase() const { return m_required_literal_ignore_case; }
    // The characters every match begins with, position by position, and the
    // least length of a match (see regex/start_classes.h); nothing known
    // when the pattern is not compiled.
    const CStartClassesT& StartClasses() const { return m_start; }

    // Searches a zero-terminated text (null counts as empty) from its start.
    CMatchResultT Match(const char16_t* text) const;
    // Searches text[0..length) from its start; the result lists every group.
    CMatchResultT Match(const char16_t* text, int length) const;
    CMatchResultT Match(std::u16string_view text) const;
    // True when the pattern matches somewhere in text; uses a context kept
    // per thread, so it allocates nothing once warmed up.
    bool IsMatch(std::u16string_view text) const;
    // The same with a caller-owned context; afterwards ctx's capture records
    // hold the groups of the match.  Returns whether it matched.
    bool Search(const char16_t* text, int length, CMatchContextT& ctx) const;
    bool Search(std::u16string_view text, CMatchContextT& ctx) const;

    // Lower-level steps of a search, as the callers of Match use them.  Prepare
    // ties ctx to the calling thread's stack: Run it on the same thread.
    void Prepare(const char16_t* text, int length, CMatchContextT& ctx) const;
    CMatchResultT Run(CMatchContextT& ctx) const;

private:
    struct PatternToken {
        char16_t value = 0;
        bool meta = false;
        int position = 0;
        int length = 0;
    };
    enum CaseConversion { kNoConversion, kToLower, kToUpper };

    template <class E, class... A> E* Build(A&&... args);
    ElxInterface* GetStockElx(int slot);

    // Tokenizer.
    void MoveNext();
    bool Scan(PatternToken& token);
    bool ScanEscape(PatternToken& token);
    int ScanHex(int from, int max_digits, int& value) const;
    char16_t CharAt(int i) const { return i >= 0 && i < m_pattern.GetSize() ? m_pattern[i] : char16_t(0); }
    bool IsMeta(char16_t value) const { return m_curr.meta && m_curr.value == value; }
    bool AtEnd() const { return m_curr.meta && m_curr.value == 0; }
    void EndPattern();

    // Parser.
    ElxInterface* ParseAlternation(int flags);
    ElxInterface* ParseSequence(int& flags);
    ElxInterface* ParseQuantified(int& flags);
    [[gnu::noinline]] void ReadBraceCount(int& minimum, int& maximum);
    ElxInterface* ParseAtom(int& flags);
    [[gnu::noinline]] ElxInterface* ParseLiteralRun(int flags);
    ElxInterface* ParseClass(int& flags);
    ElxInterface* ParsePosixClass(int& flags);
    void WidenClassCase(CBufferT<char16_t>& ranges, CBufferT<char16_t>& chars) const;
    [[gnu::noinline]] ElxInterface* ParseAnchor(int& flags);
    [[gnu::noinline]] ElxInterface* ParseBackreference(int& flags);
    ElxInterface* ParseGroup(int& flags);
    ElxInterface* ParseModifiers(int& flags);
    ElxInterface* ParseNamedGroup(int& flags, char16_t terminator);
    [[gnu::noinline]] CListElxT* StartNamedGroup(char16_t terminator, int flags);
    ElxInterface* ParseConditional(int& flags);
    [[gnu::noinline]] ElxInterface* ParseRecursion();
    [[gnu::noinline]] CListElxT* MakeGroupList(int number, const CBufferT<char16_t>* name, ElxInterface* body,
                                               int flags);
    void ReadName(char16_t terminator, CBufferT<char16_t>& name);
    void SkipWhiteSpace();

    // Resolution and analysis after parsing.
    void Resolve();
    void Analyse();
    CStartClassesT WorkOutStartClasses() const;

    bool Execute(CMatchContextT& ctx) const;

    // --- compiled result ---
    ElxInterface* m_root = nullptr;
    int m_flags = 0;
    int m_max_number = 0;
    int m_named_group_count = 0;
    int m_group_count = 0;
    CBufferT<ElxInterface*> m_pool;               // every element; the pattern owns them
    CBufferT<ElxInterface*> m_groups;             // group table
    CBufferT<CDelegateElxT*> m_recursions;        // recursion list
    CBufferT<CListElxT*> m_named_groups;          // named groups in order of appearance
    CBufferT<CBackrefElxT*> m_named_backrefs;     // back-references written with a name
    CBufferT<CConditionElxT*> m_named_conditions; // conditions written as a name or expression
    CBufferT<char16_t> m_pattern;                 // the pattern text (an owned copy)

    // --- parser state ---
    PatternToken m_curr, m_next, m_after;
    int m_scan_pos = 0;
    int m_bracket_depth = 0;
    bool m_quoted = false;
    CaseConversion m_quote_conversion = kNoConversion;
    ElxInterface* m_stock[17] = {};
    int m_group_nesting = 0;
    CBufferT<ElxInterface*> m_sequence_items; // items of the sequences being parsed

    // --- search accelerators, derived from the tree; none changes an answer ---
    bool m_anchored = false;      // only start position 0 can match
    bool m_use_first_set = false; // a match must begin with a character of m_first_low/m_first_high
    unsigned char m_first_low[256] = {};
    bool m_first_high = false;
    CStartClassesT m_start;                // a match must begin with these characters and be this long
    CLiteralFinder m_leading;              // a match must begin with this text (case-sensitive)
    CLiteralFinder m_required;             // every match contains this text (a prefilter)
    CBufferT<char16_t> m_required_literal; // what RequiredLiteral reports
    bool m_required_literal_ignore_case = false;
    // The pattern starts with an unbounded greedy or possessive repetition of
    // one character class: after a failed start inside a run of that class,
    // the rest of the run cannot match either.
    const CRepeatElxT* m_leading_run = nullptr;
    int m_recursion_limit = kMaxRecursionDepth;
};
