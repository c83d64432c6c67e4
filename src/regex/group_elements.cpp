// Element semantics of the structural elements: capturing brackets,
// sequences, alternation, look-arounds, atomic groups, conditions and
// recursion.
#include <climits>

#include "regex/elements.h"

// The capture index entry, moved down to the top record when the stack was
// cut below it, then walked back to the first record of group n.  A walk is
// charged to the step budget (it can be long after look-arounds or atomic
// groups dropped records), and a record found by walking is remembered in the
// capture index, which every reader resolves to the same record.
int FindCaptureRecord(CMatchContextT& ctx, int n)
{
    int from = ctx.m_capture_index.Get(n);
    if (from < 0)
        return -1;
    const int size = ctx.m_capture_stack.GetSize();
    if (from > size - 4)
        from = size - 4;
    from -= from % 4;
    for (int i = from; i >= 0; i -= 4) {
        if (ctx.m_capture_stack[i] == n) {
            if (i != ctx.m_capture_index.Get(n)) {
                ChargeSteps(ctx, (from - i) >> 5);
                ctx.m_capture_index.Set(n, i);
            }
            return i;
        }
    }
    ChargeSteps(ctx, from >> 5);
    return -1;
}

namespace {
// Pushed by an opening bracket that re-entered its still-open group.
constexpr int kReentered = INT_MIN;
} // namespace

// ---- capturing brackets ----

bool CBracketElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_number;
    if (n < 0)
        return false;
    CBufferT<int>& caps = ctx.m_capture_stack;
    if (!m_closing) {
        const int r = FindCaptureRecord(ctx, n);
        if (r >= 0 && caps[r + 2] < 0) { // still open: re-entered by recursion
            caps[r + 3] -= 1;
            ctx.m_stack.Push(kReentered);
            return true;
        }
        // The previous index entry goes on the backtrack stack, so that Retry
        // restores it at once instead of searching the capture stack.
        ctx.m_stack.Push(ctx.m_capture_index.Get(n));
        ctx.m_capture_index.Set(n, caps.GetSize());
        caps.Push(n);
        caps.Push(ctx.m_current_pos);
        caps.Push(-1);
        caps.Push(0);
        return true;
    }
    const int r = FindCaptureRecord(ctx, n);
    if (r < 0)
        return true;
    if (caps[r + 3] < 0) {
        caps[r + 3] += 1;
        return true;
    }
    caps[r + 2] = ctx.m_current_pos;
    caps[r + 3] = 0;
    return true;
}

bool CBracketElxT::Retry(CMatchContextT& ctx) const
{
    const int n = m_number;
    if (n < 0)
        return false;
    CBufferT<int>& caps = ctx.m_capture_stack;
    if (!m_closing) {
        const int previous = ctx.m_stack.Pop();
        if (previous == kReentered) {
            const int r = FindCaptureRecord(ctx, n);
            if (r >= 0 && caps[r + 3] < 0)
                caps[r + 3] += 1;
            return false;
        }
        // The record this bracket pushed is the top one (everything after it has been undone).
        caps.Restore(caps.GetSize() - 4);
        ctx.m_capture_index.Set(n, previous);
        return false;
    }
    const int r = FindCaptureRecord(ctx, n);
    if (r < 0)
        return false;
    if (caps[r + 2] >= 0) {
        caps[r + 2] = -1;
        caps[r + 3] = 0;
    } else {
        caps[r + 3] -= 1;
    }
    return false;
}

// ---- sequence and alternation ----

bool CListElxT::Match(CMatchContextT& ctx) const
{
    if (m_items.IsEmpty())
        return true;
    return Resume(ctx, 0);
}

bool CListElxT::Resume(CMatchContextT& ctx, int i) const
{
    const int n = m_items.GetSize();
    ElxInterface* const* items = m_items.GetBuffer();
    const bool rtl = m_right_to_left;
    while (i < n) {
        if (ElxMatch(items[rtl ? n - 1 - i : i], ctx)) {
            ++i;
            continue;
        }
        for (;;) {
            if (--i < 0)
                return false;
            if (ElxRetry(items[rtl ? n - 1 - i : i], ctx))
                break;
        }
        ++i;
    }
    return true;
}

bool CListElxT::Retry(CMatchContextT& ctx) const
{
    const int n = m_items.GetSize();
    if (n == 0)
        return false;
    ElxInterface* const* items = m_items.GetBuffer();
    int i = n;
    for (;;) {
        if (--i < 0)
            return false;
        if (ElxRetry(items[m_right_to_left ? n - 1 - i : i], ctx))
            break;
    }
    return Resume(ctx, i + 1);
}

bool CAlternativeElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_alternatives.GetSize();
    if (n == 0)
        return true;
    for (int k = 0; k < n; ++k) {
        if (ElxMatch(m_alternatives[k], ctx)) {
            ctx.m_stack.Push(k);
            return true;
        }
    }
    return false;
}

bool CAlternativeElxT::Retry(CMatchContextT& ctx) const
{
    const int n = m_alternatives.GetSize();
    if (n == 0)
        return false;
    const int k = ctx.m_stack.Pop();
    if (k < 0 || k >= n)
        return false;
    if (ElxRetry(m_alternatives[k], ctx)) {
        ctx.m_stack.Push(k);
        return true;
    }
    for (int j = k + 1; j < n; ++j) {
        if (ElxMatch(m_alternatives[j], ctx)) {
            ctx.m_stack.Push(j);
            return true;
        }
    }
    return false;
}

// ---- look-around, atomic, conditional ----

bool CAssertElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int stack_size = ctx.m_stack.GetSize();
    const int cap_size = ctx.m_capture_stack.GetSize();
    bool answer = ElxMatch(m_body, ctx);
    if (!m_positive)
        answer = !answer;
    if (ctx.m_aborted)
        answer = false;
    ctx.m_stack.Restore(stack_size);
    ctx.m_current_pos = pos;
    if (answer) {
        ctx.m_stack.Push(cap_size);
        return true;
    }
    ctx.m_capture_stack.Restore(cap_size);
    return false;
}

bool CAssertElxT::Retry(CMatchContextT& ctx) const
{
    ctx.m_capture_stack.Restore(ctx.m_stack.Pop());
    return false;
}

bool CIndependentElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int stack_size = ctx.m_stack.GetSize();
    const int cap_size = ctx.m_capture_stack.GetSize();
    if (!ElxMatch(m_body, ctx))
        return false;
    ctx.m_stack.Restore(stack_size);
    ctx.m_stack.Push(pos);
    ctx.m_stack.Push(cap_size);
    return true;
}

bool CIndependentElxT::Retry(CMatchContextT& ctx) const
{
    const int cap_size = ctx.m_stack.Pop();
    ctx.m_current_pos = ctx.m_stack.Pop();
    ctx.m_capture_stack.Restore(cap_size);
    return false;
}

bool CConditionElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int stack_size = ctx.m_stack.GetSize();
    const int cap_size = ctx.m_capture_stack.GetSize();
    bool holds;
    if (m_number >= 0) {
        holds = ctx.m_capture_index.Get(m_number) >= 0;
    } else if (!m_condition) {
        holds = true;
    } else {
        holds = ElxMatch(m_condition, ctx);
        ctx.m_stack.Restore(stack_size);
        ctx.m_current_pos = pos;
    }
    const ElxInterface* branch = holds ? m_yes : m_no;
    if (branch && !ElxMatch(branch, ctx)) {
        ctx.m_capture_stack.Restore(cap_size);
        return false;
    }
    ctx.m_stack.Push(cap_size);
    ctx.m_stack.Push(holds ? 1 : 0);
    return true;
}

bool CConditionElxT::Retry(CMatchContextT& ctx) const
{
    const bool holds = ctx.m_stack.Pop() != 0;
    const int cap_size = ctx.m_stack.Pop();
    const ElxInterface* branch = holds ? m_yes : m_no;
    if (!branch || !ElxRetry(branch, ctx)) {
        ctx.m_capture_stack.Restore(cap_size);
        return false;
    }
    ctx.m_stack.Push(cap_size);
    ctx.m_stack.Push(holds ? 1 : 0);
    return true;
}

// ---- recursion ----

namespace {
// Registers one active recursion into target at pos for the duration of a call.
// Returns false when that recursion is already active at the same position
// (it would re-enter forever without consuming) or the nesting is too deep.
// The check reads every active recursion, and is charged for that.
bool EnterRecursion(CMatchContextT& ctx, const ElxInterface* target, int pos)
{
    const int depth = ctx.m_recursion_targets.GetSize();
    if (depth >= ctx.m_recursion_limit)
        return false;
    ChargeSteps(ctx, depth >> 4);
    for (int i = depth - 1; i >= 0; --i)
        if (ctx.m_recursion_targets[i] == target && ctx.m_recursion_positions[i] == pos)
            return false;
    ctx.m_recursion_targets.Push(target);
    ctx.m_recursion_positions.Push(pos);
    return true;
}

void LeaveRecursion(CMatchContextT& ctx)
{
    ctx.m_recursion_targets.Pop();
    ctx.m_recursion_positions.Pop();
}
} // namespace

bool CDelegateElxT::Match(CMatchContextT& ctx) const
{
    if (!m_target)
        return true;
    const int pos = ctx.m_current_pos;
    if (!EnterRecursion(ctx, m_target, pos))
        return false;
    const bool ok = ElxMatch(m_target, ctx);
    LeaveRecursion(ctx);
    if (ok)
        ctx.m_stack.Push(pos);
    return ok;
}

bool CDelegateElxT::Retry(CMatchContextT& ctx) const
{
    if (!m_target)
        return false;
    const int pos = ctx.m_stack.Pop();
    if (!EnterRecursion(ctx, m_target, pos))
        return false;
    const bool ok = ElxRetry(m_target, ctx);
    LeaveRecursion(ctx);
    if (ok)
        ctx.m_stack.Push(pos);
    return ok;
}
