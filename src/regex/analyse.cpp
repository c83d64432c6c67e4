// Work done once per compile so that searches run fast: the class tables,
// the inline mode of single-character repetitions, and three search
// accelerators.  None of them changes an answer; each only skips start
// positions where the pattern provably cannot match:
//  - anchored: the pattern starts with "^" (not multi-line) or "\A", so only
//    the first start position can match;
//  - leading text: every match begins with a fixed case-sensitive text;
//  - first set: every match begins with one of a known set of characters;
//  - required text: every match contains a fixed text, so a text without it
//    is rejected before any start position is tried.
#include <climits>

#include "regex/elements.h"

namespace {

struct FirstSet {
    unsigned char low[256] = {};
    bool high = false;
    bool unknown = false;
};

bool IsZeroWidth(ElxKind kind)
{
    return kind == ElxKind::kBracket || kind == ElxKind::kBoundary || kind == ElxKind::kGlobal
           || kind == ElxKind::kAssert || kind == ElxKind::kEmpty;
}

void AddChar(FirstSet& fs, char16_t c)
{
    if (c < 256)
        fs.low[c] = 1;
    else
        fs.high = true;
}

// Adds the characters a match of elx can begin with; returns true when elx
// can match without consuming (the following elements then add theirs too).
bool CollectFirst(const ElxInterface* elx, FirstSet& fs, int depth)
{
    if (!elx || depth > 400) {
        fs.unknown = true;
        return true;
    }
    switch (elx->Kind()) {
    case ElxKind::kEmpty:
    case ElxKind::kBoundary:
    case ElxKind::kGlobal:
    case ElxKind::kBracket:
    case ElxKind::kAssert: return true;
    case ElxKind::kString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(elx);
        if (s->m_bRightLeft || s->m_szPattern.IsEmpty()) {
            fs.unknown = true;
            return true;
        }
        const char16_t c = s->m_szPattern[0];
        AddChar(fs, c);
        if (s->m_bIgnoreCase) {
            AddChar(fs, AsciiUpper16(c));
            AddChar(fs, AsciiLower16(c));
        }
        return false;
    }
    case ElxKind::kRange: {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(elx);
        if (r->m_bRightLeft) {
            fs.unknown = true;
            return true;
        }
        for (int c = 0; c < 256; ++c)
            if (r->m_low[c])
                fs.low[c] = 1;
        bool high = !r->m_bIncludeRange || !r->m_embeds.IsEmpty();
        for (int i = 0; i + 1 < r->m_ranges.GetSize() && !high; i += 2)
            high = r->m_ranges[i + 1] >= 256 && r->m_ranges[i] <= r->m_ranges[i + 1];
        for (int i = 0; i < r->m_chars.GetSize() && !high; ++i)
            high = r->m_chars[i] >= 256;
        if (high)
            fs.high = true;
        return false;
    }
    case ElxKind::kPosix: {
        const CPosixElxT* p = static_cast<const CPosixElxT*>(elx);
        if (p->m_bRightLeft) {
            fs.unknown = true;
            return true;
        }
        for (int c = 0; c < 256; ++c)
            if (p->TestChar(char16_t(c)))
                fs.low[c] = 1;
        if (p->m_classify && !p->m_bIncludeRange)
            fs.high = true;
        return false;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        if (l->m_bRightLeft) {
            fs.unknown = true;
            return true;
        }
        for (int i = 0; i < l->m_elxlist.GetSize(); ++i)
            if (!CollectFirst(l->m_elxlist[i], fs, depth + 1))
                return false;
        return true;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        bool nullable = a->m_elxlist.IsEmpty();
        for (int i = 0; i < a->m_elxlist.GetSize(); ++i)
            if (CollectFirst(a->m_elxlist[i], fs, depth + 1))
                nullable = true;
        return nullable;
    }
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        const bool itemNullable = CollectFirst(r->m_pelx, fs, depth + 1);
        return itemNullable || r->m_nfixed <= 0;
    }
    case ElxKind::kIndependent: return CollectFirst(static_cast<const CIndependentElxT*>(elx)->m_pelx, fs, depth + 1);
    default: // back-references, conditions, recursion: anything may follow
        fs.unknown = true;
        return true;
    }
}

// The element that every match consumes first, looking through groups and
// zero-width items, or null.
const ElxInterface* FirstConsuming(const ElxInterface* elx, int depth)
{
    while (elx && depth++ < 400) {
        switch (elx->Kind()) {
        case ElxKind::kList: {
            const CListElxT* l = static_cast<const CListElxT*>(elx);
            if (l->m_bRightLeft)
                return nullptr;
            const ElxInterface* next = nullptr;
            for (int i = 0; i < l->m_elxlist.GetSize(); ++i) {
                if (!IsZeroWidth(l->m_elxlist[i]->Kind())) {
                    next = l->m_elxlist[i];
                    break;
                }
            }
            elx = next;
            break;
        }
        case ElxKind::kRepeat:
        case ElxKind::kGreedy:
        case ElxKind::kReluctant:
        case ElxKind::kPossessive: {
            const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
            if (r->m_nfixed < 1)
                return nullptr;
            elx = r->m_pelx;
            break;
        }
        case ElxKind::kIndependent: elx = static_cast<const CIndependentElxT*>(elx)->m_pelx; break;
        default: return elx;
        }
    }
    return nullptr;
}

bool StartsAnchored(const ElxInterface* elx, int depth)
{
    if (!elx || depth > 400)
        return false;
    switch (elx->Kind()) {
    case ElxKind::kBoundary: {
        const CBoundaryElxT* b = static_cast<const CBoundaryElxT*>(elx);
        return b->m_nType == kTextStart && b->m_bPositive;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        if (l->m_bRightLeft)
            return false;
        for (int i = 0; i < l->m_elxlist.GetSize(); ++i) {
            const ElxInterface* item = l->m_elxlist[i];
            if (item->Kind() == ElxKind::kBracket)
                continue;
            return StartsAnchored(item, depth + 1);
        }
        return false;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        if (a->m_elxlist.IsEmpty())
            return false;
        for (int i = 0; i < a->m_elxlist.GetSize(); ++i)
            if (!StartsAnchored(a->m_elxlist[i], depth + 1))
                return false;
        return true;
    }
    case ElxKind::kIndependent: return StartsAnchored(static_cast<const CIndependentElxT*>(elx)->m_pelx, depth + 1);
    default: return false;
    }
}

// The longest text every match must contain (outside look-arounds).
void CollectRequired(const ElxInterface* elx, const CStringElxT*& best, int depth)
{
    if (!elx || depth > 400)
        return;
    switch (elx->Kind()) {
    case ElxKind::kString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(elx);
        // On equal length the later text wins: it is usually the rarer one.
        if (!s->m_bRightLeft && (!best || s->m_szPattern.GetSize() >= best->m_szPattern.GetSize()))
            best = s;
        return;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        for (int i = 0; i < l->m_elxlist.GetSize(); ++i)
            CollectRequired(l->m_elxlist[i], best, depth + 1);
        return;
    }
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        if (r->m_nfixed >= 1)
            CollectRequired(r->m_pelx, best, depth + 1);
        return;
    }
    case ElxKind::kIndependent:
        CollectRequired(static_cast<const CIndependentElxT*>(elx)->m_pelx, best, depth + 1);
        return;
    default: return;
    }
}

// Nesting depth of the element tree below elx (recursion targets not followed).
int TreeDepth(const ElxInterface* elx, int depth)
{
    if (!elx || depth > 2000)
        return depth;
    int deepest = depth;
    auto visit = [&](const ElxInterface* child) {
        const int d = TreeDepth(child, depth + 1);
        if (d > deepest)
            deepest = d;
    };
    switch (elx->Kind()) {
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        for (int i = 0; i < l->m_elxlist.GetSize(); ++i)
            visit(l->m_elxlist[i]);
        break;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        for (int i = 0; i < a->m_elxlist.GetSize(); ++i)
            visit(a->m_elxlist[i]);
        break;
    }
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: visit(static_cast<const CRepeatElxT*>(elx)->m_pelx); break;
    case ElxKind::kAssert: visit(static_cast<const CAssertElxT*>(elx)->m_pelx); break;
    case ElxKind::kIndependent: visit(static_cast<const CIndependentElxT*>(elx)->m_pelx); break;
    case ElxKind::kCondition: {
        const CConditionElxT* c = static_cast<const CConditionElxT*>(elx);
        visit(c->m_pelxask);
        visit(c->m_pelxyes);
        visit(c->m_pelxno);
        break;
    }
    default: break;
    }
    return deepest;
}

} // namespace

void CPatternT::Analyse()
{
    const int depth = TreeDepth(m_pTopElx, 1);
    m_nRecursionLimit = kMaxRecursionFrames / depth;
    if (m_nRecursionLimit > kMaxRecursionDepth)
        m_nRecursionLimit = kMaxRecursionDepth;
    if (m_nRecursionLimit < 1)
        m_nRecursionLimit = 1;

    // Class tables: classes without embedded classes first, since the others read them.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m_objlist.GetSize(); ++i) {
            if (m_objlist[i]->Kind() != ElxKind::kRange)
                continue;
            CRangeElxT* r = static_cast<CRangeElxT*>(m_objlist[i]);
            if (r->m_embeds.IsEmpty() == (pass == 0))
                r->BuildTable();
        }
    }
    for (int i = 0; i < m_objlist.GetSize(); ++i) {
        const ElxKind kind = m_objlist[i]->Kind();
        if (kind == ElxKind::kRepeat || kind == ElxKind::kGreedy || kind == ElxKind::kReluctant
            || kind == ElxKind::kPossessive)
            static_cast<CRepeatElxT*>(m_objlist[i])->DetectSingle();
    }

    m_bAnchored = StartsAnchored(m_pTopElx, 0);

    FirstSet fs;
    const bool nullable = CollectFirst(m_pTopElx, fs, 0);
    m_bUseFirstSet = !nullable && !fs.unknown;
    if (m_bUseFirstSet) {
        for (int c = 0; c < 256; ++c)
            m_firstLow[c] = fs.low[c];
        m_bFirstHigh = fs.high;
    }

    const ElxInterface* first = FirstConsuming(m_pTopElx, 0);
    const CStringElxT* leading = nullptr;
    if (first && first->Kind() == ElxKind::kString) {
        const CStringElxT* s = static_cast<const CStringElxT*>(first);
        if (!s->m_bRightLeft && !s->m_bIgnoreCase) {
            leading = s;
            m_leading = s->m_szPattern;
        }
    }

    // A failed start inside a run of a leading "C+" (C one character class,
    // unbounded) means every later start in that run fails: the repetition at
    // the earlier start can reach every end the later one reaches, and nothing
    // after it depends on where the match started -- provided the pattern has
    // no back-reference, condition, "\G" or recursion.
    m_pLeadingRun = nullptr;
    const ElxInterface* head = m_pTopElx;
    if (head && head->Kind() == ElxKind::kList && !static_cast<const CListElxT*>(head)->m_bRightLeft
        && !static_cast<const CListElxT*>(head)->m_elxlist.IsEmpty())
        head = static_cast<const CListElxT*>(head)->m_elxlist[0];
    if (head && (head->Kind() == ElxKind::kGreedy || head->Kind() == ElxKind::kPossessive)) {
        const CGreedyElxT* run = static_cast<const CGreedyElxT*>(head);
        bool independent = run->m_mode != RepeatMode::kGeneric && !run->m_bSingleRightLeft && run->m_nfixed >= 1
                           && run->m_nvart == INT_MAX - run->m_nfixed;
        for (int i = 0; i < m_objlist.GetSize() && independent; ++i) {
            const ElxKind kind = m_objlist[i]->Kind();
            independent = kind != ElxKind::kBackref && kind != ElxKind::kCondition && kind != ElxKind::kGlobal
                          && kind != ElxKind::kDelegate;
        }
        if (independent)
            m_pLeadingRun = run;
    }

    const CStringElxT* required = nullptr;
    CollectRequired(m_pTopElx, required, 0);
    if (required && required != leading && required->m_szPattern.GetSize() > 0) {
        m_required = required->m_szPattern;
        m_bRequiredIgnoreCase = required->m_bIgnoreCase;
    }
}
