// Element semantics of the repetitions: fixed, greedy, reluctant and
// possessive.  A repetition of an item that always consumes exactly one
// character (a class or a one-character literal) runs the item inline over a
// run of characters instead of calling it once per repetition; such a run
// costs 1 step per 4 characters tested (more above U+0100 in a large class).
#include "regex/elements.h"

void CRepeatElxT::DetectSingle()
{
    m_mode = RepeatMode::kGeneric;
    if (!m_item)
        return;
    switch (m_item->Kind()) {
    case ElxKind::kRange:
        m_mode = RepeatMode::kSingleRange;
        m_single_right_to_left = static_cast<const CRangeElxT*>(m_item)->m_right_to_left;
        break;
    case ElxKind::kPosix:
        m_mode = RepeatMode::kSinglePosix;
        m_single_right_to_left = static_cast<const CPosixElxT*>(m_item)->m_right_to_left;
        break;
    case ElxKind::kString:
        if (static_cast<const CStringElxT*>(m_item)->m_text.GetSize() == 1) {
            m_mode = RepeatMode::kSingleString;
            m_single_right_to_left = static_cast<const CStringElxT*>(m_item)->m_right_to_left;
        }
        break;
    default: break;
    }
}

bool CRepeatElxT::SingleTest(char16_t c) const
{
    switch (m_mode) {
    case RepeatMode::kSingleRange: return static_cast<const CRangeElxT*>(m_item)->TestChar(c);
    case RepeatMode::kSinglePosix: return static_cast<const CPosixElxT*>(m_item)->TestChar(c);
    case RepeatMode::kSingleString: return static_cast<const CStringElxT*>(m_item)->TestChar(c);
    default: return false;
    }
}

namespace {
template <class Test> int CountRun(const CMatchContextT& ctx, bool rtl, int limit, const Test& test)
{
    const int pos = ctx.m_current_pos;
    const int len = ctx.m_text_length;
    const char16_t* text = ctx.m_text;
    if (pos < 0 || pos > len)
        return 0;
    int count = 0;
    if (rtl) {
        const int stop = limit < pos ? limit : pos;
        while (count < stop && test(text[pos - 1 - count]))
            ++count;
    } else {
        const int avail = len - pos;
        const int stop = limit < avail ? limit : avail;
        while (count < stop && test(text[pos + count]))
            ++count;
    }
    return count;
}
} // namespace

int CRepeatElxT::SingleCount(CMatchContextT& ctx, int limit) const
{
    const bool rtl = m_single_right_to_left;
    int count = 0;
    switch (m_mode) {
    case RepeatMode::kSingleRange: {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(m_item);
        if (r->m_high_cost == 0) {
            count = CountRun(ctx, rtl, limit, [r](char16_t c) { return r->TestChar(c); });
            break;
        }
        long long high = 0; // characters tested against the large table
        count = CountRun(ctx, rtl, limit, [r, &high](char16_t c) {
            if (c < 256)
                return r->m_low_table[c] != 0;
            ++high;
            return r->InHighTable(c);
        });
        ChargeSteps(ctx, high * r->m_high_cost);
        break;
    }
    case RepeatMode::kSinglePosix: {
        const CPosixElxT* p = static_cast<const CPosixElxT*>(m_item);
        count = CountRun(ctx, rtl, limit, [p](char16_t c) { return p->TestChar(c); });
        break;
    }
    case RepeatMode::kSingleString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(m_item);
        if (s->m_ignore_case) {
            const char16_t u = s->m_upper[0];
            count = CountRun(ctx, rtl, limit, [u](char16_t c) { return AsciiUpper16(c) == u; });
        } else {
            const char16_t ch = s->m_text[0];
            count = CountRun(ctx, rtl, limit, [ch](char16_t c) { return c == ch; });
        }
        break;
    }
    default: return 0;
    }
    ChargeSteps(ctx, count >> 2);
    return count;
}

// Fixed part: `done` repetitions are matched; run on to m_fixed, backtracking
// into earlier repetitions.  backtrack_first starts by retrying the last one.
bool CRepeatElxT::RunFixed(CMatchContextT& ctx, int done, bool backtrack_first) const
{
    int i = done;
    bool forward = !backtrack_first;
    for (;;) {
        if (forward) {
            if (i >= m_fixed)
                return true;
            if (ElxMatch(m_item, ctx)) {
                ++i;
                continue;
            }
        }
        for (;;) {
            if (--i < 0)
                return false;
            if (ElxRetry(m_item, ctx))
                break;
        }
        ++i;
        forward = true;
    }
}

bool CRepeatElxT::MatchFixed(CMatchContextT& ctx) const
{
    if (m_fixed <= 0)
        return true;
    if (m_mode != RepeatMode::kGeneric) {
        const int n = SingleCount(ctx, m_fixed);
        if (n < m_fixed)
            return false;
        ctx.m_current_pos += m_single_right_to_left ? -m_fixed : m_fixed;
        return true;
    }
    return RunFixed(ctx, 0, false);
}

bool CRepeatElxT::RetryFixed(CMatchContextT& ctx) const
{
    if (m_fixed <= 0)
        return false;
    if (m_mode != RepeatMode::kGeneric) {
        ctx.m_current_pos += m_single_right_to_left ? m_fixed : -m_fixed;
        return false;
    }
    return RunFixed(ctx, m_fixed, true);
}

// Optional part of a greedy repetition, continuing after `done` optional
// repetitions.  Each repetition leaves its own pushes followed by its start
// position; the count goes on top.  A repetition that consumes nothing is
// not counted (it is retried until it consumes, or undone).
void CGreedyElxT::MatchOptional(CMatchContextT& ctx, int done) const
{
    int k = done;
    if (m_mode != RepeatMode::kGeneric) {
        const int n = SingleCount(ctx, m_optional - k);
        ctx.m_current_pos += m_single_right_to_left ? -n : n;
        ctx.m_stack.Push(k + n);
        return;
    }
    while (k < m_optional) {
        const int a = ctx.m_current_pos;
        if (!ElxMatch(m_item, ctx))
            break;
        if (ctx.m_current_pos == a) {
            bool ok;
            while ((ok = ElxRetry(m_item, ctx)) && ctx.m_current_pos == a) {}
            if (!ok)
                break;
        }
        ctx.m_stack.Push(a);
        ++k;
    }
    ctx.m_stack.Push(k);
}

bool CGreedyElxT::Match(CMatchContextT& ctx) const
{
    if (!MatchFixed(ctx))
        return false;
    MatchOptional(ctx, 0);
    return true;
}

bool CGreedyElxT::Retry(CMatchContextT& ctx) const
{
    const int k = ctx.m_stack.Pop();
    if (m_mode != RepeatMode::kGeneric) {
        if (k > 0) {
            ctx.m_current_pos += m_single_right_to_left ? 1 : -1;
            ctx.m_stack.Push(k - 1);
            return true;
        }
        return RetryFixed(ctx);
    }
    if (k > 0) {
        const int a = ctx.m_stack.Pop();
        for (;;) {
            if (!ElxRetry(m_item, ctx)) { // the last repetition is given back
                ctx.m_current_pos = a;
                ctx.m_stack.Push(k - 1);
                return true;
            }
            if (ctx.m_current_pos != a)
                break;
        }
        // The last repetition matched another way: try further repetitions after it.
        ctx.m_stack.Push(a);
        MatchOptional(ctx, k);
        return true;
    }
    if (!RetryFixed(ctx))
        return false;
    MatchOptional(ctx, 0);
    return true;
}

// Reluctant: the minimum first, then one more non-empty repetition per retry.
// Stack: the fixed part's pushes, then per optional repetition its pushes and
// the position before it, then the count.
bool CReluctantElxT::Match(CMatchContextT& ctx) const
{
    if (!MatchFixed(ctx))
        return false;
    ctx.m_stack.Push(0);
    return true;
}

bool CReluctantElxT::Retry(CMatchContextT& ctx) const
{
    int k = ctx.m_stack.Pop();
    if (m_mode != RepeatMode::kGeneric) {
        if (k < m_optional && SingleCount(ctx, 1) == 1) {
            ctx.m_current_pos += m_single_right_to_left ? -1 : 1;
            ctx.m_stack.Push(k + 1);
            return true;
        }
        const int back = k + m_fixed;
        ctx.m_current_pos += m_single_right_to_left ? back : -back;
        return false;
    }
    const int b = ctx.m_current_pos;
    if (k < m_optional && ElxMatch(m_item, ctx)) {
        bool ok = true;
        while (ctx.m_current_pos == b) {
            if (!ElxRetry(m_item, ctx)) {
                ok = false;
                break;
            }
        }
        if (ok) {
            ctx.m_stack.Push(b);
            ctx.m_stack.Push(k + 1);
            return true;
        }
    }
    while (k > 0) {
        const int before = ctx.m_stack.Pop();
        while (ElxRetry(m_item, ctx)) {
            if (ctx.m_current_pos != before) {
                ctx.m_stack.Push(before);
                ctx.m_stack.Push(k);
                return true;
            }
        }
        ctx.m_current_pos = before;
        --k;
    }
    if (RetryFixed(ctx)) {
        ctx.m_stack.Push(0);
        return true;
    }
    return false;
}

bool CPossessiveElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int stack_size = ctx.m_stack.GetSize();
    const int cap_size = ctx.m_capture_stack.GetSize();
    if (!MatchFixed(ctx))
        return false;
    MatchOptional(ctx, 0);
    ctx.m_stack.Restore(stack_size);
    ctx.m_stack.Push(pos);
    ctx.m_stack.Push(cap_size);
    return true;
}

bool CPossessiveElxT::Retry(CMatchContextT& ctx) const
{
    const int cap_size = ctx.m_stack.Pop();
    ctx.m_current_pos = ctx.m_stack.Pop();
    ctx.m_capture_stack.Restore(cap_size);
    return false;
}
