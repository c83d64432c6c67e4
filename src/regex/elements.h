// The element classes of a compiled pattern.  Each one can Match at the
// context's current position and Retry (find its next different way to match,
// or undo everything it did and answer false).  Elements are immutable after
// compilation; all matching state lives in CMatchContextT.
//
// Hot paths do not go through the virtual Match/Retry: ElxMatch/ElxRetry
// dispatch on the element's kind to the concrete class's inline code.
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

bool ElxMatch(const ElxInterface* elx, CMatchContextT& ctx);
bool ElxRetry(const ElxInterface* elx, CMatchContextT& ctx);

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
    CStringElxT(const CBufferT<char16_t>& text, bool rightToLeft, bool ignoreCase);
    bool Match(CMatchContextT& ctx) const override { return DoMatch(ctx); }
    bool Retry(CMatchContextT& ctx) const override { return DoRetry(ctx); }
    inline bool DoMatch(CMatchContextT& ctx) const;
    bool DoRetry(CMatchContextT& ctx) const
    {
        ctx.m_nCurrentPos += m_bRightLeft ? m_szPattern.GetSize() : -m_szPattern.GetSize();
        return false;
    }
    bool TestChar(char16_t c) const { return m_bIgnoreCase ? AsciiUpper16(c) == m_szUpper[0] : c == m_szPattern[0]; }

    CBufferT<char16_t> m_szPattern;
    CBufferT<char16_t> m_szUpper; // upper-cased copy, for ignore-case comparison
    bool m_bRightLeft;
    bool m_bIgnoreCase;
};

class CRangeElxT final : public ElxInterface {
public:
    CRangeElxT(bool rightToLeft, bool include)
        : ElxInterface(ElxKind::kRange), m_bRightLeft(rightToLeft), m_bIncludeRange(include)
    {}
    bool Match(CMatchContextT& ctx) const override { return DoMatch(ctx); }
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_nCurrentPos += m_bRightLeft ? 1 : -1;
        return false;
    }
    inline bool DoMatch(CMatchContextT& ctx) const;
    // Membership of one character, with include applied.
    bool TestChar(char16_t c) const
    {
        if (c < 256)
            return m_low[c] != 0;
        return IsContainChar(c) == m_bIncludeRange;
    }
    bool IsContainChar(char16_t c) const; // membership before include is applied
    void BuildTable();                    // fills m_low; call once the class is complete

    CBufferT<char16_t> m_ranges; // pairs low, high (inclusive)
    CBufferT<char16_t> m_chars;
    CBufferT<ElxInterface*> m_embeds;
    bool m_bRightLeft;
    bool m_bIncludeRange;
    unsigned char m_low[256] = {}; // TestChar for codes below 256
};

class CPosixElxT final : public ElxInterface {
public:
    using Classifier = bool (*)(char16_t);
    CPosixElxT(Classifier classifier, bool rightToLeft, bool include)
        : ElxInterface(ElxKind::kPosix), m_classify(classifier), m_bRightLeft(rightToLeft), m_bIncludeRange(include)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_nCurrentPos += m_bRightLeft ? 1 : -1;
        return false;
    }
    bool TestChar(char16_t c) const { return m_classify && (m_classify(c) == m_bIncludeRange); }

    Classifier m_classify;
    bool m_bRightLeft;
    bool m_bIncludeRange;
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
    CBoundaryElxT(int kind, bool positive) : ElxInterface(ElxKind::kBoundary), m_nType(kind), m_bPositive(positive) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT&) const override { return false; }
    int m_nType;
    bool m_bPositive;
};

class CGlobalElxT final : public ElxInterface {
public:
    CGlobalElxT() : ElxInterface(ElxKind::kGlobal) {}
    bool Match(CMatchContextT& ctx) const override { return ctx.m_nCurrentPos == ctx.m_nBeginPos; }
    bool Retry(CMatchContextT&) const override { return false; }
};

class CBackrefElxT final : public ElxInterface {
public:
    CBackrefElxT(int number, bool rightToLeft, bool ignoreCase)
        : ElxInterface(ElxKind::kBackref), m_nnumber(number), m_bRightLeft(rightToLeft), m_bIgnoreCase(ignoreCase)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override
    {
        ctx.m_nCurrentPos = ctx.m_stack.Pop();
        return false;
    }
    int m_nnumber;
    bool m_bRightLeft;
    bool m_bIgnoreCase;
    CBufferT<char16_t> m_szNamed;
};

class CBracketElxT final : public ElxInterface {
public:
    CBracketElxT(int number, bool closing) : ElxInterface(ElxKind::kBracket), m_nnumber(number), m_bClosing(closing) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_nnumber;
    bool m_bClosing;
    bool m_bHasName = false;
    CBufferT<char16_t> m_szNamed;
};

class CListElxT final : public ElxInterface {
public:
    explicit CListElxT(bool rightToLeft) : ElxInterface(ElxKind::kList), m_bRightLeft(rightToLeft) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    // Matches forward from item index `next` (in walking order), backtracking into earlier items.
    bool Resume(CMatchContextT& ctx, int next) const;
    CBufferT<ElxInterface*> m_elxlist;
    bool m_bRightLeft;
};

class CAlternativeElxT final : public ElxInterface {
public:
    CAlternativeElxT() : ElxInterface(ElxKind::kAlternative) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    CBufferT<ElxInterface*> m_elxlist;
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

    ElxInterface* m_pelx;
    int m_nfixed;
    RepeatMode m_mode = RepeatMode::kGeneric;
    bool m_bSingleRightLeft = false;

protected:
    CRepeatElxT(ElxKind kind, ElxInterface* item, int count) : ElxInterface(kind), m_pelx(item), m_nfixed(count) {}
    bool RunFixed(CMatchContextT& ctx, int done, bool backtrackFirst) const;
    // Characters at the current position (in the single item's direction) that the item accepts, at most limit.
    int SingleCount(const CMatchContextT& ctx, int limit) const;
};

class CGreedyElxT : public CRepeatElxT {
public:
    CGreedyElxT(ElxInterface* item, int minimum, int optional) : CGreedyElxT(ElxKind::kGreedy, item, minimum, optional)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_nvart; // optional repetitions (maximum minus minimum)

protected:
    CGreedyElxT(ElxKind kind, ElxInterface* item, int minimum, int optional)
        : CRepeatElxT(kind, item, minimum), m_nvart(optional)
    {}
    void MatchOptional(CMatchContextT& ctx, int done) const;
};

class CReluctantElxT final : public CRepeatElxT {
public:
    CReluctantElxT(ElxInterface* item, int minimum, int optional)
        : CRepeatElxT(ElxKind::kReluctant, item, minimum), m_nvart(optional)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_nvart;
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
    CAssertElxT(ElxInterface* body, bool positive) : ElxInterface(ElxKind::kAssert), m_pelx(body), m_bpositive(positive)
    {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_pelx;
    bool m_bpositive;
};

class CIndependentElxT final : public ElxInterface {
public:
    explicit CIndependentElxT(ElxInterface* body) : ElxInterface(ElxKind::kIndependent), m_pelx(body) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_pelx;
};

class CConditionElxT final : public ElxInterface {
public:
    CConditionElxT() : ElxInterface(ElxKind::kCondition) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    int m_nnumber = -1;
    CBufferT<char16_t> m_szNamed; // the condition text
    ElxInterface* m_pelxask = nullptr;
    ElxInterface* m_pelxyes = nullptr;
    ElxInterface* m_pelxno = nullptr;
};

class CDelegateElxT final : public ElxInterface {
public:
    explicit CDelegateElxT(int number) : ElxInterface(ElxKind::kDelegate), m_ndata(number) {}
    bool Match(CMatchContextT& ctx) const override;
    bool Retry(CMatchContextT& ctx) const override;
    ElxInterface* m_pelx = nullptr;
    int m_ndata; // group number; -3: by name, not yet resolved
    CBufferT<char16_t> m_szNamed;
};

// ---- inline hot paths ----

inline bool CStringElxT::DoMatch(CMatchContextT& ctx) const
{
    const int len = m_szPattern.GetSize();
    int pos = ctx.m_nCurrentPos;
    if (m_bRightLeft) {
        if (pos < len)
            return false;
        pos -= len;
    } else if (pos + len > ctx.m_nMatchLength) {
        return false;
    }
    const char16_t* text = ctx.m_pMatchString + pos;
    if (m_bIgnoreCase) {
        const char16_t* upper = m_szUpper.GetBuffer();
        for (int i = 0; i < len; ++i)
            if (AsciiUpper16(text[i]) != upper[i])
                return false;
    } else {
        const char16_t* pat = m_szPattern.GetBuffer();
        if (text[0] != pat[0])
            return false;
        for (int i = 1; i < len; ++i)
            if (text[i] != pat[i])
                return false;
    }
    ctx.m_nCurrentPos += m_bRightLeft ? -len : len;
    return true;
}

inline bool CRangeElxT::DoMatch(CMatchContextT& ctx) const
{
    int pos = ctx.m_nCurrentPos;
    if (m_bRightLeft) {
        if (pos <= 0 || pos > ctx.m_nMatchLength)
            return false;
        if (!TestChar(ctx.m_pMatchString[pos - 1]))
            return false;
        ctx.m_nCurrentPos = pos - 1;
    } else {
        if (pos < 0 || pos >= ctx.m_nMatchLength)
            return false;
        if (!TestChar(ctx.m_pMatchString[pos]))
            return false;
        ctx.m_nCurrentPos = pos + 1;
    }
    return true;
}
