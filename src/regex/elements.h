// The element classes of a compiled pattern.  Each one can Match at the
// context's current position and Retry (find its next different way to match,
// or undo everything it did and answer false).  Elements are immutable after
// compilation, so any number of threads may run them at once; all matching
// state lives in CMatchContextT.
//
// Contract of every element: a Match that returns true leaves on the
// backtrack stack exactly what its Retry pops; a Retry that returns false has
// undone everything the element did; a Match that returns false changed
// nothing.  Once a search is aborted (out of steps or stack) every Match and
// Retry answers false at once, so the search unwinds quickly; its state is
// then discarded and the search counts as not matching.
//
// Hot paths do not go through the virtual Match/Retry: ElxMatch/ElxRetry
// dispatch on the element's kind to the concrete class's code.
#pragma once

#include "regex/regex.h"

enum class ElxKind : unsigned char {
    kEmpty,
    kString,
    kRange,
    kPosix,
    kBoundary,
    kGlobal,
    kBackref,
    kBracket,
    kList,
    kAlternative,
    kRepeat,
    kGreedy,
    kReluctant,
    kPossessive,
    kAssert,
    kIndependent,
    kCondition,
    kDelegate,
};

class ElxInterface {
public:
    explicit ElxInterface(ElxKind kind) : m_kind(kind) {}
    virtual bool Match(CMatchContextT& ctx) const = 0;
    virtual bool Retry(CMatchContextT& ctx) const = 0;
    virtual ~ElxInterface() = default;
    ElxKind Kind() const { return m_kind; }

private:
    ElxKind m_kind;
};

// Match or Retry elx, charging one step and checking the stack first.
bool ElxMatch(const ElxInterface* elx, CMatchContextT& ctx);
bool ElxRetry(const ElxInterface* elx, CMatchContextT& ctx);

// Charges work beyond an element call to the search's step budget; the next
// element call notices an exhausted budget.
inline void ChargeSteps(CMatchContextT& ctx, long long steps)
{
    ctx.m_steps_left -= steps;
}

// Index in the capture stack of group n's record (see the search loop), or -1.
int FindCaptureRecord(CMatchContextT& ctx, int n);

inline char16_t AsciiUpper16(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}
inline char16_t AsciiLower16(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}
inline bool IsWordChar16(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

class CEmptyElxT final : public ElxInterface {
public:
    CEmptyElxT() : ElxInterface(ElxKind::kEmpty) {}
    bool Match(CMatchContextT&) const override { return true; }
    bool Retry(CMatchContextT&) const override { return false; }
};

class CStringElxT final : public ElxInterface {
public:
    CStringElxT(const CBufferT<char16_t>& text, bool right_to_left, bool ignore_case);
    bool Match(CMatchContextT& ctx) const override { return DoMatch(ctx); }
    bool Retry(CMatchContextT& ctx) const override { return DoRetry(ctx); }
    inline bool DoMatch(CMatchContextT& ctx) const;
    bool DoRetry(CMatchContextT& ctx) const
    {
        ctx.m_current_pos += m_right_to_left ? m_text.GetSize() : -m_text.GetSize();
        return false;
    }
    bool TestChar(char16_t c) const { return m_ignore_case ? AsciiUpper16(c) == m_upper[0] : c == m_text[0]; }

    CBufferT<char16_t> m_text;
    CBufferT<char16_t> m_upper; // upper-cased copy, for ignore-case comparison
    bool m_right_to_left;
    bool m_ignore_case;
};

// A character class.  Membership of characters below 256 is a table; above,
// a sorted table of disjoint ranges searched by halving.  Both tables have the
// class's embedded classes and its include flag folded in, so a test never
// walks the parts the class was written with.
class CRangeElxT final : public ElxInterface {
public:
    CRangeElxT(bool right_to_left, bool include)
        : ElxInterface(ElxKind::kRange), m_right_to_left(right_to_left), m_include(include)
    {}
    bool Match(CMatchContextT& ctx) const override { return DoMatch(ctx); }
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_current_pos += m_right_to_left ? 1 : -1;
        return false;
    }
    inline bool DoMatch(CMatchContextT& ctx) const;
    // Membership of one character, with include applied.
    bool TestChar(char16_t c) const { return c < 256 ? m_low_table[c] != 0 : InHighTable(c); }
    // Membership of a character at or above 256 (include applied).
    bool InHighTable(char16_t c) const
    {
        const int n = m_high_low.GetSize();
        if (n == 0)
            return false;
        const char16_t* low = m_high_low.GetBuffer();
        int base = 0;
        for (int size = n; size > 1;) {
            const int half = size / 2;
            base = low[base + half] <= c ? base + half : base;
            size -= half;
        }
        return low[base] <= c && c <= m_high_high[base];
    }
    // Builds both tables; the embedded classes must have theirs already.
    void BuildTable();

    CBufferT<char16_t> m_ranges; // pairs low, high (inclusive), as written
    CBufferT<char16_t> m_chars;
    CBufferT<ElxInterface*> m_embeds;
    bool m_right_to_left;
    bool m_include;
    unsigned char m_low_table[256] = {};
    CBufferT<char16_t> m_high_low, m_high_high; // accepted ranges at or above 256, sorted, disjoint
    int m_high_cost = 0;                        // extra steps a test above 256 costs
};

class CPosixElxT final : public ElxInterface {
public:
    using Classifier = bool (*)(char16_t);
    CPosixElxT(Classifier classifier, bool right_to_left, bool include)
        : ElxInterface(ElxKind::kPosix), m_classifier(classifier), m_right_to_left(right_to_left), m_include(include)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_current_pos += m_right_to_left ? 1 : -1;
        return false;
    }
    bool TestChar(char16_t c) const { return m_classifier && (m_classifier(c) == m_include); }

    Classifier m_classifier;
    bool m_right_to_left;
    bool m_include;
};

enum BoundaryKind {
    kTextStart = 0,
    kTextEnd = 1,
    kTextEndOrFinalBreak = 2,
    kLineStart = 3,
    kLineEnd = 4,
    kWordBoundary = 7
};

class CBoundaryElxT final : public ElxInterface {
public:
    CBoundaryElxT(int kind, bool positive) : ElxInterface(ElxKind::kBoundary), m_kind(kind), m_positive(positive) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT&) const override { return false; }
    int m_kind;
    bool m_positive;
};

class CGlobalElxT final : public ElxInterface {
public:
    CGlobalElxT() : ElxInterface(ElxKind::kGlobal) {}
    bool Match(CMatchContextT& ctx) const override { return ctx.m_current_pos == ctx.m_begin_pos; }
    bool Retry(CMatchContextT&) const override { return false; }
};

class CBackrefElxT final : public ElxInterface {
public:
    CBackrefElxT(int number, bool right_to_left, bool ignore_case)
        : ElxInterface(ElxKind::kBackref), m_number(number), m_right_to_left(right_to_left), m_ignore_case(ignore_case)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_current_pos = ctx.m_stack.Pop();
        return false;
    }
    int m_number;
    bool m_right_to_left;
    bool m_ignore_case;
    CBufferT<char16_t> m_name;
};

class CBracketElxT final : public ElxInterface {
public:
    CBracketElxT(int number, bool closing) : ElxInterface(ElxKind::kBracket), m_number(number), m_closing(closing) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_number;
    bool m_closing;
    bool m_has_name = false;
    CBufferT<char16_t> m_name;
};

class CListElxT final : public ElxInterface {
public:
    explicit CListElxT(bool right_to_left) : ElxInterface(ElxKind::kList), m_right_to_left(right_to_left) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    // Matches forward from item index `next` (in walking order), backtracking into earlier items.
    bool Resume(CMatchContextT& ctx, int next) const;
    // The brackets of a capturing group (a list of opening bracket, body, closing bracket).
    const CBracketElxT* OpeningBracket() const { return static_cast<const CBracketElxT*>(m_items[0]); }
    CBufferT<ElxInterface*> m_items;
    bool m_right_to_left;
};

class CAlternativeElxT final : public ElxInterface {
public:
    CAlternativeElxT() : ElxInterface(ElxKind::kAlternative) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    CBufferT<ElxInterface*> m_alternatives;
};

// How a repetition's item is run: through its element, or (an item that
// always consumes exactly one character and has no second way) inline.
enum class RepeatMode : unsigned char { kGeneric, kSingleRange, kSinglePosix, kSingleString };

class CRepeatElxT : public ElxInterface {
public:
    CRepeatElxT(ElxInterface* item, int count) : CRepeatElxT(ElxKind::kRepeat, item, count) {}
    bool Match(CMatchContextT& ctx) const override { return MatchFixed(ctx); }
    bool Retry(CMatchContextT& ctx) const override { return RetryFixed(ctx); }
    bool MatchFixed(CMatchContextT& ctx) const;
    bool RetryFixed(CMatchContextT& ctx) const;
    void DetectSingle(); // chooses m_mode once the tree is complete
    // For a single-character item: whether it accepts c.
    bool SingleTest(char16_t c) const;

    ElxInterface* m_item;
    int m_fixed; // repetitions that must match (the count, or the minimum)
    RepeatMode m_mode = RepeatMode::kGeneric;
    bool m_single_right_to_left = false;

protected:
    CRepeatElxT(ElxKind kind, ElxInterface* item, int count) : ElxInterface(kind), m_item(item), m_fixed(count) {}
    bool RunFixed(CMatchContextT& ctx, int done, bool backtrack_first) const;
    // Characters at the current position (in the single item's direction)
    // that the item accepts, at most limit; charges the characters tested.
    int SingleCount(CMatchContextT& ctx, int limit) const;
};

class CGreedyElxT : public CRepeatElxT {
public:
    CGreedyElxT(ElxInterface* item, int minimum, int optional) : CGreedyElxT(ElxKind::kGreedy, item, minimum, optional)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_optional; // optional repetitions (maximum minus minimum)

protected:
    CGreedyElxT(ElxKind kind, ElxInterface* item, int minimum, int optional)
        : CRepeatElxT(kind, item, minimum), m_optional(optional)
    {}
    void MatchOptional(CMatchContextT& ctx, int done) const;
};

class CReluctantElxT final : public CRepeatElxT {
public:
    CReluctantElxT(ElxInterface* item, int minimum, int optional)
        : CRepeatElxT(ElxKind::kReluctant, item, minimum), m_optional(optional)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_optional;
};

class CPossessiveElxT final : public CGreedyElxT {
public:
    CPossessiveElxT(ElxInterface* item, int minimum, int optional)
        : CGreedyElxT(ElxKind::kPossessive, item, minimum, optional)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
};

class CAssertElxT final : public ElxInterface {
public:
    CAssertElxT(ElxInterface* body, bool positive) : ElxInterface(ElxKind::kAssert), m_body(body), m_positive(positive)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_body;
    bool m_positive;
};

class CIndependentElxT final : public ElxInterface {
public:
    explicit CIndependentElxT(ElxInterface* body) : ElxInterface(ElxKind::kIndependent), m_body(body) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_body;
};

class CConditionElxT final : public ElxInterface {
public:
    CConditionElxT() : ElxInterface(ElxKind::kCondition) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_number = -1;
    CBufferT<char16_t> m_name; // the condition text
    ElxInterface* m_condition = nullptr;
    ElxInterface* m_yes = nullptr;
    ElxInterface* m_no = nullptr;
};

class CDelegateElxT final : public ElxInterface {
public:
    explicit CDelegateElxT(int number) : ElxInterface(ElxKind::kDelegate), m_number(number) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_target = nullptr;
    int m_number; // group number; -3: by name, not yet resolved
    CBufferT<char16_t> m_name;
};

// ---- inline hot paths ----

inline bool CStringElxT::DoMatch(CMatchContextT& ctx) const
{
    const int len = m_text.GetSize();
    int pos = ctx.m_current_pos;
    if (m_right_to_left) {
        if (pos < len)
            return false;
        pos -= len;
    } else if (pos + len > ctx.m_text_length) {
        return false;
    }
    const char16_t* text = ctx.m_text + pos;
    int i = 0;
    if (m_ignore_case) {
        const char16_t* upper = m_upper.GetBuffer();
        while (i < len && AsciiUpper16(text[i]) == upper[i])
            ++i;
    } else {
        const char16_t* pat = m_text.GetBuffer();
        if (len > 0 && text[0] != pat[0])
            return false;
        while (i < len && text[i] == pat[i])
            ++i;
    }
    // Long literals cost in proportion to the characters compared.
    if (i >= 16)
        ChargeSteps(ctx, i >> 3);
    if (i < len)
        return false;
    ctx.m_current_pos += m_right_to_left ? -len : len;
    return true;
}

inline bool CRangeElxT::DoMatch(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int at = m_right_to_left ? pos - 1 : pos;
    if (at < 0 || at >= ctx.m_text_length)
        return false;
    const char16_t c = ctx.m_text[at];
    if (c < 256) {
        if (!m_low_table[c])
            return false;
    } else {
        ChargeSteps(ctx, m_high_cost);
        if (!InHighTable(c))
            return false;
    }
    ctx.m_current_pos = m_right_to_left ? pos - 1 : pos + 1;
    return true;
}
