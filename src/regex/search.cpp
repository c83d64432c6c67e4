// The search: the dispatch of Match and Retry (where every step is charged
// and the stack is checked), the loop over start positions with its
// prefilters, and the result.
#include <algorithm>
#include <climits>

#include "regex/elements.h"
#include "regex/stack_guard.h"

namespace {

// Charges one step and checks the stack; on exhaustion of either the search
// is aborted and every later call answers false.
inline bool StepAllowed(CMatchContextT& ctx)
{
    if (--ctx.m_steps_left >= 0 && CurrentStackAddress() >= ctx.m_stack_floor)
        return true;
    ctx.m_aborted = true;
    ctx.m_steps_left = -1;
    return false;
}

} // namespace

// ---- dispatch (no virtual calls: every class below is final or called by name) ----

bool ElxMatch(const ElxInterface* elx, CMatchContextT& ctx)
{
    if (!StepAllowed(ctx))
        return false;
    switch (elx->Kind()) {
    case ElxKind::kEmpty: return true;
    case ElxKind::kString: return static_cast<const CStringElxT*>(elx)->DoMatch(ctx);
    case ElxKind::kRange: return static_cast<const CRangeElxT*>(elx)->DoMatch(ctx);
    case ElxKind::kPosix: return static_cast<const CPosixElxT*>(elx)->CPosixElxT::Match(ctx);
    case ElxKind::kBoundary: return static_cast<const CBoundaryElxT*>(elx)->CBoundaryElxT::Match(ctx);
    case ElxKind::kGlobal: return static_cast<const CGlobalElxT*>(elx)->CGlobalElxT::Match(ctx);
    case ElxKind::kBackref: return static_cast<const CBackrefElxT*>(elx)->CBackrefElxT::Match(ctx);
    case ElxKind::kBracket: return static_cast<const CBracketElxT*>(elx)->CBracketElxT::Match(ctx);
    case ElxKind::kList: return static_cast<const CListElxT*>(elx)->CListElxT::Match(ctx);
    case ElxKind::kAlternative: return static_cast<const CAlternativeElxT*>(elx)->CAlternativeElxT::Match(ctx);
    case ElxKind::kRepeat: return static_cast<const CRepeatElxT*>(elx)->MatchFixed(ctx);
    case ElxKind::kGreedy: return static_cast<const CGreedyElxT*>(elx)->CGreedyElxT::Match(ctx);
    case ElxKind::kReluctant: return static_cast<const CReluctantElxT*>(elx)->CReluctantElxT::Match(ctx);
    case ElxKind::kPossessive: return static_cast<const CPossessiveElxT*>(elx)->CPossessiveElxT::Match(ctx);
    case ElxKind::kAssert: return static_cast<const CAssertElxT*>(elx)->CAssertElxT::Match(ctx);
    case ElxKind::kIndependent: return static_cast<const CIndependentElxT*>(elx)->CIndependentElxT::Match(ctx);
    case ElxKind::kCondition: return static_cast<const CConditionElxT*>(elx)->CConditionElxT::Match(ctx);
    case ElxKind::kDelegate: return static_cast<const CDelegateElxT*>(elx)->CDelegateElxT::Match(ctx);
    }
    return false;
}

bool ElxRetry(const ElxInterface* elx, CMatchContextT& ctx)
{
    if (!StepAllowed(ctx))
        return false;
    switch (elx->Kind()) {
    case ElxKind::kEmpty: return false;
    case ElxKind::kString: return static_cast<const CStringElxT*>(elx)->DoRetry(ctx);
    case ElxKind::kRange: return static_cast<const CRangeElxT*>(elx)->CRangeElxT::Retry(ctx);
    case ElxKind::kPosix: return static_cast<const CPosixElxT*>(elx)->CPosixElxT::Retry(ctx);
    case ElxKind::kBoundary: return false;
    case ElxKind::kGlobal: return false;
    case ElxKind::kBackref: return static_cast<const CBackrefElxT*>(elx)->CBackrefElxT::Retry(ctx);
    case ElxKind::kBracket: return static_cast<const CBracketElxT*>(elx)->CBracketElxT::Retry(ctx);
    case ElxKind::kList: return static_cast<const CListElxT*>(elx)->CListElxT::Retry(ctx);
    case ElxKind::kAlternative: return static_cast<const CAlternativeElxT*>(elx)->CAlternativeElxT::Retry(ctx);
    case ElxKind::kRepeat: return static_cast<const CRepeatElxT*>(elx)->RetryFixed(ctx);
    case ElxKind::kGreedy: return static_cast<const CGreedyElxT*>(elx)->CGreedyElxT::Retry(ctx);
    case ElxKind::kReluctant: return static_cast<const CReluctantElxT*>(elx)->CReluctantElxT::Retry(ctx);
    case ElxKind::kPossessive: return static_cast<const CPossessiveElxT*>(elx)->CPossessiveElxT::Retry(ctx);
    case ElxKind::kAssert: return static_cast<const CAssertElxT*>(elx)->CAssertElxT::Retry(ctx);
    case ElxKind::kIndependent: return static_cast<const CIndependentElxT*>(elx)->CIndependentElxT::Retry(ctx);
    case ElxKind::kCondition: return static_cast<const CConditionElxT*>(elx)->CConditionElxT::Retry(ctx);
    case ElxKind::kDelegate: return static_cast<const CDelegateElxT*>(elx)->CDelegateElxT::Retry(ctx);
    }
    return false;
}

// ---- the search ----

void CCaptureIndexT::Set(int n, int value)
{
    if (n >= m_slots.GetSize())
        m_slots.Prepare(n, Slot{-1, 0});
    m_slots[n] = Slot{value, m_stamp};
}

void CCaptureIndexT::Reset()
{
    if (++m_stamp == 0) { // the stamps wrapped: no old entry may look valid
        for (int i = 0; i < m_slots.GetSize(); ++i)
            m_slots[i].stamp = 0;
        m_stamp = 1;
    }
}

long long CMatchContextT::StepsUsed() const
{
    return CPatternT::kBacktrackBudget - m_steps_left;
}

void CPatternT::Prepare(const char16_t* text, int length, CMatchContextT& ctx) const
{
    ctx.m_stack.Clear();
    ctx.m_capture_stack.Clear();
    ctx.m_capture_index.Reset();
    ctx.m_recursion_targets.Clear();
    ctx.m_recursion_positions.Clear();
    ctx.m_text = text ? text : u"";
    ctx.m_text_length = text && length > 0 ? length : 0;
    ctx.m_current_pos = 0;
    ctx.m_begin_pos = 0;
    ctx.m_steps_left = kBacktrackBudget;
    ctx.m_aborted = false;
    ctx.m_stack_floor = ThreadStackFloor(kStackMargin);
    ctx.m_recursion_limit = m_recursion_limit;
}

// One step budget serves the whole search, whatever the number of start
// positions tried.
bool CPatternT::Execute(CMatchContextT& ctx) const
{
    if (!m_root)
        return false;
    const char16_t* text = ctx.m_text;
    const int len = ctx.m_text_length;
    ctx.m_steps_left = kBacktrackBudget;
    ctx.m_aborted = false;
    if (!m_required.IsEmpty() && m_required.Find(text, len, ctx.m_begin_pos) < 0)
        return false;
    // A start must leave room for the shortest match and fit its first characters.
    const bool check_start = m_start.min_length > 0;
    for (int s = ctx.m_begin_pos; s <= len; ++s) {
        if (m_anchored) {
            // Only the first start position can match: check it without scanning.
            if (!m_leading.IsEmpty() && !m_leading.StartsAt(text, len, s))
                return false;
            if (m_use_first_set && (s >= len || !(text[s] < 256 ? m_first_low[text[s]] != 0 : m_first_high)))
                return false;
            if (check_start && !m_start.FitsAt(text, len, s))
                return false;
        } else if (!m_leading.IsEmpty()) {
            s = m_leading.Find(text, len, s);
            if (s < 0)
                return false;
        } else if (m_use_first_set) {
            for (;; ++s) {
                while (s < len) {
                    const char16_t c = text[s];
                    if (c < 256 ? m_first_low[c] != 0 : m_first_high)
                        break;
                    ++s;
                }
                if (s >= len || len - s < m_start.min_length)
                    return false;
                if (!check_start || m_start.FitsAt(text, len, s))
                    break;
            }
        } else if (len - s < m_start.min_length) {
            return false;
        }
        ctx.m_stack.Clear();
        ctx.m_capture_stack.Clear();
        ctx.m_capture_index.Reset();
        ctx.m_capture_index.Set(0, 0);
        ctx.m_capture_stack.Push(0);
        ctx.m_capture_stack.Push(s);
        ctx.m_capture_stack.Push(-1);
        ctx.m_capture_stack.Push(-1);
        ctx.m_recursion_targets.Clear();
        ctx.m_recursion_positions.Clear();
        ctx.m_current_pos = s;
        // An aborted search gave up: whatever its elements answered, it did not match.
        const bool matched = ElxMatch(m_root, ctx);
        if (ctx.m_aborted)
            return false;
        if (matched) {
            ctx.m_capture_stack[2] = ctx.m_current_pos;
            return true;
        }
        if (m_anchored)
            return false;
        if (m_leading_run && s < len && m_leading_run->SingleTest(text[s]))
            while (s + 1 < len && m_leading_run->SingleTest(text[s + 1]))
                ++s;
    }
    return false;
}

CMatchResultT CPatternT::Run(CMatchContextT& ctx) const
{
    CMatchResultT result;
    if (!Execute(ctx))
        return result;
    const int n = m_max_number;
    result.Push(1);
    result.Push(n);
    for (int g = 0; g <= n; ++g) {
        int start = -1, end = -1;
        const int r = FindCaptureRecord(ctx, g);
        // A record still open at the end took no part in the match.
        if (r >= 0 && ctx.m_capture_stack[r + 2] >= 0) {
            start = std::min(ctx.m_capture_stack[r + 1], ctx.m_capture_stack[r + 2]);
            end = std::max(ctx.m_capture_stack[r + 1], ctx.m_capture_stack[r + 2]);
        }
        result.Push(start);
        result.Push(end);
    }
    return result;
}

namespace {
int ClampLength(std::size_t size)
{
    return size > static_cast<std::size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(size);
}
} // namespace

CMatchResultT CPatternT::Match(const char16_t* text) const
{
    int length = 0;
    if (text)
        while (text[length] && length < INT_MAX - 1)
            ++length;
    return Match(text, length);
}

CMatchResultT CPatternT::Match(const char16_t* text, int length) const
{
    if (!m_root)
        return CMatchResultT();
    CMatchContextT ctx;
    Prepare(text, length, ctx);
    return Run(ctx);
}

CMatchResultT CPatternT::Match(std::u16string_view text) const
{
    return Match(text.data(), ClampLength(text.size()));
}

bool CPatternT::Search(const char16_t* text, int length, CMatchContextT& ctx) const
{
    Prepare(text, length, ctx);
    return Execute(ctx);
}

bool CPatternT::Search(std::u16string_view text, CMatchContextT& ctx) const
{
    return Search(text.data(), ClampLength(text.size()), ctx);
}

bool CPatternT::IsMatch(std::u16string_view text) const
{
    if (!m_root)
        return false;
    thread_local CMatchContextT ctx;
    return Search(text.data(), ClampLength(text.size()), ctx);
}
