// The regular-expression engine: a pattern text compiles into a tree of
// elements (CPatternT) that a depth-first backtracking matcher runs over
// 16-bit text.  Every text is a pattern (malformed constructs have fixed
// readings), and every search ends: a recursion that re-enters itself without
// consuming fails there, and a search that exceeds kBacktrackBudget steps
// counts as not matching.
//
// Compile once, match many: a compiled CPatternT is read-only while matching,
// so one object may serve any number of searches, also from several threads
// at once, each with its own CMatchContextT (the convenience calls make one
// per call or per thread).
#pragma once

#include <string>
#include <string_view>

#include "regex/buffer.h"

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

// All state of one search; reusable across searches (its buffers keep their
// capacity), never shared between threads running at the same time.
class CMatchContextT {
public:
    CBufferT<int> m_stack;        // backtrack stack
    CBufferT<int> m_capturestack; // records of 4 ints: group, start, end (-1 open), depth
    CBufferT<int> m_captureindex; // per group: index of its latest record, or negative
    int m_nCurrentPos = 0;
    int m_nBeginPos = 0;
    const char16_t* m_pMatchString = nullptr;
    int m_nMatchLength = 0;

    // Bounds that keep every search finite (see kBacktrackBudget).
    long long m_nStepsLeft = 0;
    bool m_bAborted = false;
    int m_nRecursionLimit = 0;
    CBufferT<const ElxInterface*> m_recursionTargets; // active recursions, innermost last
    CBufferT<int> m_recursionPositions;               // where each of them was entered
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

class CPatternT {
public:
    // Steps one search may take before it gives up and counts as not matching.
    // A step is one Match or Retry of an element (characters scanned by a
    // repetition of a single character count 1 per 16).  The budget is a few
    // tens of milliseconds of work; ordinary patterns on lines of up to 65535
    // characters stay far below it (a log-line pattern that is tried, and
    // fails, at every position of such a line takes a few hundred thousand).
    static constexpr long long kBacktrackBudget = 4'000'000;
    // Nesting of recursions ("(?R)", "(?1)") one search may reach; deeper ones
    // fail.  A deeply nested pattern gets proportionally fewer levels, so that
    // recursion never nests more than about kMaxRecursionFrames element calls.
    static constexpr int kMaxRecursionDepth = 1000;
    static constexpr int kMaxRecursionFrames = 8000;
    // Nesting of groups a pattern may have; the pattern text ends at a "(" deeper than this.
    static constexpr int kMaxGroupNesting = 200;

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
    bool IsCompiled() const { return m_pTopElx != nullptr; }
    int GetHighestGroupNumber() const { return m_nMaxNumber; }

    // Searches a zero-terminated text (null counts as empty) from its start.
    CMatchResultT Match(const char16_t* text) const;
    // Searches text[0..length) from its start; the result lists every group.
    CMatchResultT Match(const char16_t* text, int length) const;
    CMatchResultT Match(std::u16string_view text) const;
    // True when the pattern matches somewhere in text; thread-safe, allocation-free after warm-up.
    bool IsMatch(std::u16string_view text) const;
    // The same with a caller-owned context; afterwards ctx's capture records
    // hold the groups of the match.  Returns whether it matched.
    bool Search(const char16_t* text, int length, CMatchContextT& ctx) const;

    // Lower-level steps of a search, as the callers of Match use them.
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
    int ScanHex(int from, int maxDigits, int& value) const;
    char16_t CharAt(int i) const { return i >= 0 && i < m_pattern.GetSize() ? m_pattern[i] : 0; }
    bool IsMeta(char16_t value) const { return m_curr.meta && m_curr.value == value; }

    // Parser.
    ElxInterface* ParseAlternation(int flags);
    ElxInterface* ParseSequence(int& flags);
    ElxInterface* ParseQuantified(int& flags);
    ElxInterface* ParseAtom(int& flags);
    ElxInterface* ParseClass(int& flags);
    ElxInterface* ParseAnchor(int& flags);
    ElxInterface* ParseBackreference(int& flags);
    ElxInterface* ParseGroup(int& flags);
    ElxInterface* ParseNamedGroup(int& flags, char16_t terminator);
    ElxInterface* ParseConditional(int& flags);
    ElxInterface* ParseRecursion(int& flags);
    CListElxT* MakeGroupList(int number, const CBufferT<char16_t>* name, ElxInterface* body, int flags);
    void ReadName(char16_t terminator, CBufferT<char16_t>& name);
    void SkipWhiteSpace();

    // Resolution and analysis after parsing.
    void Resolve();
    int FindGroupByName(const CBufferRefT<char16_t>& name) const;
    void Analyse();

    bool Execute(CMatchContextT& ctx) const;

    // --- compiled result ---
    ElxInterface* m_pTopElx = nullptr;
    int m_nFlags = 0;
    int m_nMaxNumber = 0;
    int m_nNamedGroupCount = 0;
    int m_nGroupCount = 0;
    CBufferT<ElxInterface*> m_objlist;              // element pool, owns every element
    CBufferT<ElxInterface*> m_grouplist;            // group table
    CBufferT<CDelegateElxT*> m_recursivelist;       // recursion list
    CBufferT<CListElxT*> m_namedlist;               // named groups in order of appearance
    CBufferT<CBackrefElxT*> m_namedbackreflist;     // back-references written with a name
    CBufferT<CConditionElxT*> m_namedconditionlist; // conditions written as a name or expression
    CBufferT<char16_t> m_pattern;                   // the pattern text (an owned copy)
    PatternToken m_curr, m_next, m_after;
    int m_nScanPos = 0;
    int m_nBracketLevel = 0;
    bool m_bQuoted = false;
    CaseConversion m_quoteConversion = kNoConversion;
    ElxInterface* m_stock[17] = {};
    int m_nGroupNesting = 0;

    // --- search accelerators, derived from the tree; none changes an answer ---
    bool m_bAnchored = false;    // only start position 0 can match
    bool m_bUseFirstSet = false; // a match must begin with a character of m_firstLow/m_bFirstHigh
    unsigned char m_firstLow[256] = {};
    bool m_bFirstHigh = false;
    CBufferT<char16_t> m_leading;  // a match must begin with this text (case-sensitive)
    CBufferT<char16_t> m_required; // every match contains this text
    bool m_bRequiredIgnoreCase = false;
    // The pattern starts with an unbounded greedy or possessive repetition of
    // one character class: after a failed start inside a run of that class,
    // the rest of the run cannot match either.
    const CRepeatElxT* m_pLeadingRun = nullptr;
    int m_nRecursionLimit = kMaxRecursionDepth;
};
