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
// The walks over the tree stop, answering conservatively, where the tree is
// deeper than any sane pattern or the thread's stack runs low.
#include <algorithm>
#include <climits>

#include "regex/elements.h"
#include "regex/stack_guard.h"

namespace {

constexpr int kMaxWalkDepth = 400;

bool TooDeep(int depth)
{
    return depth > kMaxWalkDepth || CurrentStackAddress() < ThreadStackFloor(CPatternT::kStackMargin);
}

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
    if (!elx || TooDeep(depth)) {
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
        if (s->m_right_to_left || s->m_text.IsEmpty()) {
            fs.unknown = true;
            return true;
        }
        const char16_t c = s->m_text[0];
        AddChar(fs, c);
        if (s->m_ignore_case) {
            AddChar(fs, AsciiUpper16(c));
            AddChar(fs, AsciiLower16(c));
        }
        return false;
    }
    case ElxKind::kRange: {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(elx);
        if (r->m_right_to_left) {
            fs.unknown = true;
            return true;
        }
        for (int c = 0; c < 256; ++c)
            if (r->m_low_table[c])
                fs.low[c] = 1;
        if (!r->m_high_low.IsEmpty())
            fs.high = true;
        return false;
    }
    case ElxKind::kPosix: {
        const CPosixElxT* p = static_cast<const CPosixElxT*>(elx);
        if (p->m_right_to_left) {
            fs.unknown = true;
            return true;
        }
        for (int c = 0; c < 256; ++c)
            if (p->TestChar(char16_t(c)))
                fs.low[c] = 1;
        if (p->m_classifier && !p->m_include)
            fs.high = true;
        return false;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        if (l->m_right_to_left) {
            fs.unknown = true;
            return true;
        }
        for (int i = 0; i < l->m_items.GetSize(); ++i)
            if (!CollectFirst(l->m_items[i], fs, depth + 1))
                return false;
        return true;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        bool nullable = a->m_alternatives.IsEmpty();
        for (int i = 0; i < a->m_alternatives.GetSize(); ++i)
            if (CollectFirst(a->m_alternatives[i], fs, depth + 1))
                nullable = true;
        return nullable;
    }
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        const bool item_nullable = CollectFirst(r->m_item, fs, depth + 1);
        return item_nullable || r->m_fixed <= 0;
    }
    case ElxKind::kIndependent: return CollectFirst(static_cast<const CIndependentElxT*>(elx)->m_body, fs, depth + 1);
    default: // back-references, conditions, recursion: anything may follow
        fs.unknown = true;
        return true;
    }
}

// The element that every match consumes first, looking through groups and
// zero-width items, or null.
const ElxInterface* FirstConsuming(const ElxInterface* elx, int depth)
{
    while (elx && !TooDeep(depth++)) {
        switch (elx->Kind()) {
        case ElxKind::kList: {
            const CListElxT* l = static_cast<const CListElxT*>(elx);
            if (l->m_right_to_left)
                return nullptr;
            const ElxInterface* next = nullptr;
            for (int i = 0; i < l->m_items.GetSize(); ++i) {
                if (!IsZeroWidth(l->m_items[i]->Kind())) {
                    next = l->m_items[i];
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
            if (r->m_fixed < 1)
                return nullptr;
            elx = r->m_item;
            break;
        }
        case ElxKind::kIndependent: elx = static_cast<const CIndependentElxT*>(elx)->m_body; break;
        default: return elx;
        }
    }
    return nullptr;
}

bool StartsAnchored(const ElxInterface* elx, int depth)
{
    if (!elx || TooDeep(depth))
        return false;
    switch (elx->Kind()) {
    case ElxKind::kBoundary: {
        const CBoundaryElxT* b = static_cast<const CBoundaryElxT*>(elx);
        return b->m_kind == kTextStart && b->m_positive;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        if (l->m_right_to_left)
            return false;
        for (int i = 0; i < l->m_items.GetSize(); ++i) {
            const ElxInterface* item = l->m_items[i];
            if (item->Kind() == ElxKind::kBracket)
                continue;
            return StartsAnchored(item, depth + 1);
        }
        return false;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        if (a->m_alternatives.IsEmpty())
            return false;
        for (int i = 0; i < a->m_alternatives.GetSize(); ++i)
            if (!StartsAnchored(a->m_alternatives[i], depth + 1))
                return false;
        return true;
    }
    case ElxKind::kIndependent: return StartsAnchored(static_cast<const CIndependentElxT*>(elx)->m_body, depth + 1);
    default: return false;
    }
}

// The longest text every match must contain (outside look-arounds).
void CollectRequired(const ElxInterface* elx, const CStringElxT*& best, int depth)
{
    if (!elx || TooDeep(depth))
        return;
    switch (elx->Kind()) {
    case ElxKind::kString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(elx);
        // On equal length the later text wins: it is usually the rarer one.
        if (!s->m_right_to_left && (!best || s->m_text.GetSize() >= best->m_text.GetSize()))
            best = s;
        return;
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        for (int i = 0; i < l->m_items.GetSize(); ++i)
            CollectRequired(l->m_items[i], best, depth + 1);
        return;
    }
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        if (r->m_fixed >= 1)
            CollectRequired(r->m_item, best, depth + 1);
        return;
    }
    case ElxKind::kIndependent:
        CollectRequired(static_cast<const CIndependentElxT*>(elx)->m_body, best, depth + 1);
        return;
    default: return;
    }
}

int TreeDepth(const ElxInterface* elx, int depth);

int DeepestOf(const CBufferT<ElxInterface*>& children, int depth)
{
    int deepest = depth;
    for (int i = 0; i < children.GetSize(); ++i)
        deepest = std::max(deepest, TreeDepth(children[i], depth + 1));
    return deepest;
}

// Nesting depth of the element tree below elx (recursion targets not followed);
// a tree too deep to walk counts as deep enough to allow one recursion level.
int TreeDepth(const ElxInterface* elx, int depth)
{
    if (!elx)
        return depth;
    if (depth > 2000 || CurrentStackAddress() < ThreadStackFloor(CPatternT::kStackMargin))
        return CPatternT::kMaxRecursionFrames;
    switch (elx->Kind()) {
    case ElxKind::kList: return DeepestOf(static_cast<const CListElxT*>(elx)->m_items, depth);
    case ElxKind::kAlternative: return DeepestOf(static_cast<const CAlternativeElxT*>(elx)->m_alternatives, depth);
    case ElxKind::kRepeat:
    case ElxKind::kGreedy:
    case ElxKind::kReluctant:
    case ElxKind::kPossessive: return TreeDepth(static_cast<const CRepeatElxT*>(elx)->m_item, depth + 1);
    case ElxKind::kAssert: return TreeDepth(static_cast<const CAssertElxT*>(elx)->m_body, depth + 1);
    case ElxKind::kIndependent: return TreeDepth(static_cast<const CIndependentElxT*>(elx)->m_body, depth + 1);
    case ElxKind::kCondition: {
        const CConditionElxT* c = static_cast<const CConditionElxT*>(elx);
        const int a = TreeDepth(c->m_condition, depth + 1);
        const int b = TreeDepth(c->m_yes, depth + 1);
        return std::max({depth, a, b, TreeDepth(c->m_no, depth + 1)});
    }
    default: return depth;
    }
}

} // namespace

void CPatternT::Analyse()
{
    const int depth = TreeDepth(m_root, 1);
    m_recursion_limit = kMaxRecursionFrames / depth;
    if (m_recursion_limit > kMaxRecursionDepth)
        m_recursion_limit = kMaxRecursionDepth;
    if (m_recursion_limit < 1)
        m_recursion_limit = 1;

    // Class tables: classes without embedded classes first, since the others read them.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m_pool.GetSize(); ++i) {
            if (m_pool[i]->Kind() != ElxKind::kRange)
                continue;
            CRangeElxT* r = static_cast<CRangeElxT*>(m_pool[i]);
            if (r->m_embeds.IsEmpty() == (pass == 0))
                r->BuildTable();
        }
    }
    for (int i = 0; i < m_pool.GetSize(); ++i) {
        const ElxKind kind = m_pool[i]->Kind();
        if (kind == ElxKind::kRepeat || kind == ElxKind::kGreedy || kind == ElxKind::kReluctant
            || kind == ElxKind::kPossessive)
            static_cast<CRepeatElxT*>(m_pool[i])->DetectSingle();
    }

    m_anchored = StartsAnchored(m_root, 0);
    m_start = WorkOutStartClasses();

    FirstSet fs;
    const bool nullable = CollectFirst(m_root, fs, 0);
    m_use_first_set = !nullable && !fs.unknown;
    if (m_use_first_set) {
        for (int c = 0; c < 256; ++c)
            m_first_low[c] = fs.low[c];
        m_first_high = fs.high;
    }

    const ElxInterface* first = FirstConsuming(m_root, 0);
    const CStringElxT* leading = nullptr;
    if (first && first->Kind() == ElxKind::kString) {
        const CStringElxT* s = static_cast<const CStringElxT*>(first);
        if (!s->m_right_to_left && !s->m_ignore_case) {
            leading = s;
            m_leading.Assign(s->m_text, false);
        }
    }

    // A failed start inside a run of a leading "C+" (C one character class,
    // unbounded) means every later start in that run fails: the repetition at
    // the earlier start can reach every end the later one reaches, and nothing
    // after it depends on where the match started -- provided the pattern has
    // no back-reference, condition, "\G" or recursion.
    m_leading_run = nullptr;
    const ElxInterface* head = m_root;
    if (head && head->Kind() == ElxKind::kList && !static_cast<const CListElxT*>(head)->m_right_to_left
        && !static_cast<const CListElxT*>(head)->m_items.IsEmpty())
        head = static_cast<const CListElxT*>(head)->m_items[0];
    if (head && (head->Kind() == ElxKind::kGreedy || head->Kind() == ElxKind::kPossessive)) {
        const CGreedyElxT* run = static_cast<const CGreedyElxT*>(head);
        bool independent = run->m_mode != RepeatMode::kGeneric && !run->m_single_right_to_left && run->m_fixed >= 1
                           && run->m_optional == INT_MAX - run->m_fixed;
        for (int i = 0; i < m_pool.GetSize() && independent; ++i) {
            const ElxKind kind = m_pool[i]->Kind();
            independent = kind != ElxKind::kBackref && kind != ElxKind::kCondition && kind != ElxKind::kGlobal
                          && kind != ElxKind::kDelegate;
        }
        if (independent)
            m_leading_run = run;
    }

    const CStringElxT* required = nullptr;
    CollectRequired(m_root, required, 0);
    if (required && required->m_text.GetSize() > 0) {
        m_required_literal = required->m_text;
        m_required_literal_ignore_case = required->m_ignore_case;
        // The scan for the leading text finds it anyway.
        if (required != leading)
            m_required.Assign(required->m_text, required->m_ignore_case);
    }
}
