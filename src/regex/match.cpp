// Matching: Match and Retry of every element, and the search loop.
//
// Contract of every element: a Match that returns true leaves on the
// backtrack stack exactly what its Retry pops; a Retry that returns false has
// undone everything the element did; a Match that returns false changed
// nothing.  Once a search runs out of its step budget (ctx.m_bAborted) every
// Match and Retry answers false at once, so the search unwinds quickly; its
// state is then discarded and the search counts as not matching.
#include <algorithm>
#include <climits>

#include "regex/elements.h"

namespace {

// Index in the capture stack of group n's record: the capture index entry,
// moved down to the top record when the stack was cut below it, then walked
// back to the first record of group n.  -1 when there is none.  A walk is
// charged to the step budget (it can be long after look-arounds or atomic
// groups dropped records), and a record found by walking is remembered in
// the capture index, which every reader resolves to the same record.
int FindRecord(CMatchContextT& ctx, int n)
{
    if (n < 0 || n >= ctx.m_captureindex.GetSize())
        return -1;
    int from = ctx.m_captureindex[n];
    if (from < 0)
        return -1;
    const int size = ctx.m_capturestack.GetSize();
    if (from > size - 4)
        from = size - 4;
    from -= from % 4;
    for (int i = from; i >= 0; i -= 4) {
        if (ctx.m_capturestack[i] == n) {
            if (i != ctx.m_captureindex[n]) {
                ctx.m_nStepsLeft -= (from - i) >> 5;
                ctx.m_captureindex[n] = i;
            }
            return i;
        }
    }
    ctx.m_nStepsLeft -= from >> 5;
    return -1;
}

// Pushed by an opening bracket that re-entered its still-open group.
constexpr int kReentered = INT_MIN;

bool CharsEqual(char16_t a, char16_t b, bool ignoreCase)
{
    return a == b || (ignoreCase && AsciiUpper16(a) == AsciiUpper16(b));
}

} // namespace

// ---- dispatch (no virtual calls: every class below is final or called by name) ----

bool ElxMatch(const ElxInterface* elx, CMatchContextT& ctx)
{
    // Every call is one step of the search's budget.
    if (--ctx.m_nStepsLeft < 0) {
        ctx.m_bAborted = true;
        return false;
    }
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
    if (--ctx.m_nStepsLeft < 0) {
        ctx.m_bAborted = true;
        return false;
    }
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

// ---- characters ----

CStringElxT::CStringElxT(const CBufferT<char16_t>& text, bool rightToLeft, bool ignoreCase)
    : ElxInterface(ElxKind::kString), m_szPattern(text), m_bRightLeft(rightToLeft), m_bIgnoreCase(ignoreCase)
{
    for (int i = 0; i < m_szPattern.GetSize(); ++i)
        m_szUpper.Push(AsciiUpper16(m_szPattern[i]));
}

bool CRangeElxT::IsContainChar(char16_t c) const
{
    for (int i = 0; i + 1 < m_ranges.GetSize(); i += 2)
        if (m_ranges[i] <= c && c <= m_ranges[i + 1])
            return true;
    for (int i = 0; i < m_chars.GetSize(); ++i)
        if (m_chars[i] == c)
            return true;
    for (int i = 0; i < m_embeds.GetSize(); ++i) {
        const ElxInterface* e = m_embeds[i];
        if (e->Kind() == ElxKind::kRange && static_cast<const CRangeElxT*>(e)->TestChar(c))
            return true;
        if (e->Kind() == ElxKind::kPosix && static_cast<const CPosixElxT*>(e)->TestChar(c))
            return true;
    }
    return false;
}

void CRangeElxT::BuildTable()
{
    for (int c = 0; c < 256; ++c)
        m_low[c] = IsContainChar(char16_t(c)) == m_bIncludeRange ? 1 : 0;
}

bool CPosixElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_nCurrentPos;
    if (m_bRightLeft) {
        if (pos <= 0 || pos > ctx.m_nMatchLength || !TestChar(ctx.m_pMatchString[pos - 1]))
            return false;
        ctx.m_nCurrentPos = pos - 1;
    } else {
        if (pos < 0 || pos >= ctx.m_nMatchLength || !TestChar(ctx.m_pMatchString[pos]))
            return false;
        ctx.m_nCurrentPos = pos + 1;
    }
    return true;
}

bool CBoundaryElxT::Match(CMatchContextT& ctx) const
{
    const int p = ctx.m_nCurrentPos;
    const int len = ctx.m_nMatchLength;
    const char16_t* text = ctx.m_pMatchString;
    const bool atEnd = p >= len;
    const char16_t prev = p > 0 && p <= len ? text[p - 1] : 0;
    const char16_t cur = p >= 0 && p < len ? text[p] : 0;
    bool answer = false;
    switch (m_nType) {
    case kTextStart: answer = p <= 0; break;
    case kTextEnd: answer = atEnd; break;
    case kTextEndOrFinalBreak:
        answer = atEnd
                 || (len > 0 && text[len - 1] == u'\n'
                     && (p == len - 1 || (len > 1 && text[len - 2] == u'\r' && p == len - 2)));
        break;
    case kLineStart: answer = p <= 0 || prev == u'\n' || (prev == u'\r' && cur != u'\n'); break;
    case kLineEnd: answer = atEnd || cur == u'\r' || (cur == u'\n' && prev != u'\r'); break;
    case kWordBoundary: answer = IsWordChar16(prev) != IsWordChar16(cur); break;
    default: answer = false; break;
    }
    return answer == m_bPositive;
}

// ---- back-references and captures ----

bool CBackrefElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_nnumber;
    if (n < 0 || n >= ctx.m_captureindex.GetSize() || ctx.m_captureindex[n] < 0)
        return false;
    const int r = FindRecord(ctx, n);
    if (r < 0)
        return false;
    const int pos = ctx.m_nCurrentPos;
    const int start = ctx.m_capturestack[r + 1];
    const int end = ctx.m_capturestack[r + 2] < 0 ? pos : ctx.m_capturestack[r + 2];
    const int lo = std::min(start, end), hi = std::max(start, end);
    const int len = ctx.m_nMatchLength;
    if (lo < 0 || hi > len || pos < 0 || pos > len)
        return false;
    const int l = hi - lo;
    int from;
    if (m_bRightLeft) {
        if (pos < l)
            return false;
        from = pos - l;
    } else {
        if (pos + l > len)
            return false;
        from = pos;
    }
    const char16_t* text = ctx.m_pMatchString;
    for (int i = 0; i < l; ++i)
        if (!CharsEqual(text[from + i], text[lo + i], m_bIgnoreCase))
            return false;
    ctx.m_stack.Push(pos);
    ctx.m_nCurrentPos = m_bRightLeft ? pos - l : pos + l;
    return true;
}

bool CBracketElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_nnumber;
    if (n < 0)
        return false;
    CBufferT<int>& caps = ctx.m_capturestack;
    if (!m_bClosing) {
        ctx.m_captureindex.Prepare(n, -1);
        const int r = FindRecord(ctx, n);
        if (r >= 0 && caps[r + 2] < 0) { // still open: re-entered by recursion
            caps[r + 3] -= 1;
            ctx.m_stack.Push(kReentered);
            return true;
        }
        // The previous index entry goes on the backtrack stack, so that Retry
        // restores it at once instead of searching the capture stack.
        ctx.m_stack.Push(ctx.m_captureindex[n]);
        ctx.m_captureindex[n] = caps.GetSize();
        caps.Push(n);
        caps.Push(ctx.m_nCurrentPos);
        caps.Push(-1);
        caps.Push(0);
        return true;
    }
    const int r = FindRecord(ctx, n);
    if (r < 0)
        return true;
    if (caps[r + 3] < 0) {
        caps[r + 3] += 1;
        return true;
    }
    caps[r + 2] = ctx.m_nCurrentPos;
    caps[r + 3] = 0;
    return true;
}

bool CBracketElxT::Retry(CMatchContextT& ctx) const
{
    const int n = m_nnumber;
    if (n < 0)
        return false;
    CBufferT<int>& caps = ctx.m_capturestack;
    if (!m_bClosing) {
        const int previous = ctx.m_stack.Pop();
        if (previous == kReentered) {
            const int r = FindRecord(ctx, n);
            if (r >= 0 && caps[r + 3] < 0)
                caps[r + 3] += 1;
            return false;
        }
        // The record this bracket pushed is the top one (everything after it has been undone).
        caps.Restore(caps.GetSize() - 4);
        if (n < ctx.m_captureindex.GetSize())
            ctx.m_captureindex[n] = previous;
        return false;
    }
    const int r = FindRecord(ctx, n);
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
    if (m_elxlist.IsEmpty())
        return true;
    return Resume(ctx, 0);
}

bool CListElxT::Resume(CMatchContextT& ctx, int i) const
{
    const int n = m_elxlist.GetSize();
    ElxInterface* const* items = m_elxlist.GetBuffer();
    const bool rtl = m_bRightLeft;
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
    const int n = m_elxlist.GetSize();
    if (n == 0)
        return false;
    ElxInterface* const* items = m_elxlist.GetBuffer();
    int i = n;
    for (;;) {
        if (--i < 0)
            return false;
        if (ElxRetry(items[m_bRightLeft ? n - 1 - i : i], ctx))
            break;
    }
    return Resume(ctx, i + 1);
}

bool CAlternativeElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_elxlist.GetSize();
    if (n == 0)
        return true;
    for (int k = 0; k < n; ++k) {
        if (ElxMatch(m_elxlist[k], ctx)) {
            ctx.m_stack.Push(k);
            return true;
        }
    }
    return false;
}

bool CAlternativeElxT::Retry(CMatchContextT& ctx) const
{
    const int n = m_elxlist.GetSize();
    if (n == 0)
        return false;
    const int k = ctx.m_stack.Pop();
    if (k < 0 || k >= n)
        return false;
    if (ElxRetry(m_elxlist[k], ctx)) {
        ctx.m_stack.Push(k);
        return true;
    }
    for (int j = k + 1; j < n; ++j) {
        if (ElxMatch(m_elxlist[j], ctx)) {
            ctx.m_stack.Push(j);
            return true;
        }
    }
    return false;
}

// ---- repetitions ----

void CRepeatElxT::DetectSingle()
{
    m_mode = RepeatMode::kGeneric;
    if (!m_pelx)
        return;
    switch (m_pelx->Kind()) {
    case ElxKind::kRange:
        m_mode = RepeatMode::kSingleRange;
        m_bSingleRightLeft = static_cast<const CRangeElxT*>(m_pelx)->m_bRightLeft;
        break;
    case ElxKind::kPosix:
        m_mode = RepeatMode::kSinglePosix;
        m_bSingleRightLeft = static_cast<const CPosixElxT*>(m_pelx)->m_bRightLeft;
        break;
    case ElxKind::kString:
        if (static_cast<const CStringElxT*>(m_pelx)->m_szPattern.GetSize() == 1) {
            m_mode = RepeatMode::kSingleString;
            m_bSingleRightLeft = static_cast<const CStringElxT*>(m_pelx)->m_bRightLeft;
        }
        break;
    default: break;
    }
}

bool CRepeatElxT::SingleTest(char16_t c) const
{
    switch (m_mode) {
    case RepeatMode::kSingleRange: return static_cast<const CRangeElxT*>(m_pelx)->TestChar(c);
    case RepeatMode::kSinglePosix: return static_cast<const CPosixElxT*>(m_pelx)->TestChar(c);
    case RepeatMode::kSingleString: return static_cast<const CStringElxT*>(m_pelx)->TestChar(c);
    default: return false;
    }
}

namespace {
template <class Test> int CountRun(const CMatchContextT& ctx, bool rtl, int limit, const Test& test)
{
    const int pos = ctx.m_nCurrentPos;
    const int len = ctx.m_nMatchLength;
    const char16_t* text = ctx.m_pMatchString;
    if (pos < 0 || pos > len)
        return 0;
    int count = 0;
    if (rtl) {
        const int avail = pos;
        const int stop = limit < avail ? limit : avail;
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

int CRepeatElxT::SingleCount(const CMatchContextT& ctx, int limit) const
{
    const bool rtl = m_bSingleRightLeft;
    switch (m_mode) {
    case RepeatMode::kSingleRange: {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(m_pelx);
        return CountRun(ctx, rtl, limit, [r](char16_t c) { return r->TestChar(c); });
    }
    case RepeatMode::kSinglePosix: {
        const CPosixElxT* p = static_cast<const CPosixElxT*>(m_pelx);
        return CountRun(ctx, rtl, limit, [p](char16_t c) { return p->TestChar(c); });
    }
    case RepeatMode::kSingleString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(m_pelx);
        if (s->m_bIgnoreCase) {
            const char16_t u = s->m_szUpper[0];
            return CountRun(ctx, rtl, limit, [u](char16_t c) { return AsciiUpper16(c) == u; });
        }
        const char16_t ch = s->m_szPattern[0];
        return CountRun(ctx, rtl, limit, [ch](char16_t c) { return c == ch; });
    }
    default: return 0;
    }
}

// Fixed part: `done` repetitions are matched; run on to m_nfixed, backtracking
// into earlier repetitions.  backtrackFirst starts by retrying the last one.
bool CRepeatElxT::RunFixed(CMatchContextT& ctx, int done, bool backtrackFirst) const
{
    int i = done;
    bool forward = !backtrackFirst;
    for (;;) {
        if (forward) {
            if (i >= m_nfixed)
                return true;
            if (ElxMatch(m_pelx, ctx)) {
                ++i;
                continue;
            }
        }
        for (;;) {
            if (--i < 0)
                return false;
            if (ElxRetry(m_pelx, ctx))
                break;
        }
        ++i;
        forward = true;
    }
}

bool CRepeatElxT::MatchFixed(CMatchContextT& ctx) const
{
    if (m_nfixed <= 0)
        return true;
    if (m_mode != RepeatMode::kGeneric) {
        const int n = SingleCount(ctx, m_nfixed);
        ctx.m_nStepsLeft -= n >> 4;
        if (n < m_nfixed)
            return false;
        ctx.m_nCurrentPos += m_bSingleRightLeft ? -m_nfixed : m_nfixed;
        return true;
    }
    return RunFixed(ctx, 0, false);
}

bool CRepeatElxT::RetryFixed(CMatchContextT& ctx) const
{
    if (m_nfixed <= 0)
        return false;
    if (m_mode != RepeatMode::kGeneric) {
        ctx.m_nCurrentPos += m_bSingleRightLeft ? m_nfixed : -m_nfixed;
        return false;
    }
    return RunFixed(ctx, m_nfixed, true);
}

// Optional part of a greedy repetition, continuing after `done` optional
// repetitions.  Each repetition leaves its own pushes followed by its start
// position; the count goes on top.  A repetition that consumes nothing is
// not counted (it is retried until it consumes, or undone).
void CGreedyElxT::MatchOptional(CMatchContextT& ctx, int done) const
{
    int k = done;
    if (m_mode != RepeatMode::kGeneric) {
        const int n = SingleCount(ctx, m_nvart - k);
        ctx.m_nStepsLeft -= n >> 4;
        ctx.m_nCurrentPos += m_bSingleRightLeft ? -n : n;
        ctx.m_stack.Push(k + n);
        return;
    }
    while (k < m_nvart) {
        const int a = ctx.m_nCurrentPos;
        if (!ElxMatch(m_pelx, ctx))
            break;
        if (ctx.m_nCurrentPos == a) {
            bool ok;
            while ((ok = ElxRetry(m_pelx, ctx)) && ctx.m_nCurrentPos == a) {}
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
            ctx.m_nCurrentPos += m_bSingleRightLeft ? 1 : -1;
            ctx.m_stack.Push(k - 1);
            return true;
        }
        return RetryFixed(ctx);
    }
    if (k > 0) {
        const int a = ctx.m_stack.Pop();
        for (;;) {
            if (!ElxRetry(m_pelx, ctx)) { // the last repetition is given back
                ctx.m_nCurrentPos = a;
                ctx.m_stack.Push(k - 1);
                return true;
            }
            if (ctx.m_nCurrentPos != a)
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
        if (k < m_nvart && SingleCount(ctx, 1) == 1) {
            ctx.m_nCurrentPos += m_bSingleRightLeft ? -1 : 1;
            ctx.m_stack.Push(k + 1);
            return true;
        }
        const int back = k + m_nfixed;
        ctx.m_nCurrentPos += m_bSingleRightLeft ? back : -back;
        return false;
    }
    const int b = ctx.m_nCurrentPos;
    if (k < m_nvart && ElxMatch(m_pelx, ctx)) {
        bool ok = true;
        while (ctx.m_nCurrentPos == b) {
            if (!ElxRetry(m_pelx, ctx)) {
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
        while (ElxRetry(m_pelx, ctx)) {
            if (ctx.m_nCurrentPos != before) {
                ctx.m_stack.Push(before);
                ctx.m_stack.Push(k);
                return true;
            }
        }
        ctx.m_nCurrentPos = before;
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
    const int pos = ctx.m_nCurrentPos;
    const int stackSize = ctx.m_stack.GetSize();
    const int capSize = ctx.m_capturestack.GetSize();
    if (!MatchFixed(ctx))
        return false;
    MatchOptional(ctx, 0);
    ctx.m_stack.Restore(stackSize);
    ctx.m_stack.Push(pos);
    ctx.m_stack.Push(capSize);
    return true;
}

bool CPossessiveElxT::Retry(CMatchContextT& ctx) const
{
    const int capSize = ctx.m_stack.Pop();
    ctx.m_nCurrentPos = ctx.m_stack.Pop();
    ctx.m_capturestack.Restore(capSize);
    return false;
}

// ---- look-around, atomic, conditional, recursion ----

bool CAssertElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_nCurrentPos;
    const int stackSize = ctx.m_stack.GetSize();
    const int capSize = ctx.m_capturestack.GetSize();
    bool answer = ElxMatch(m_pelx, ctx);
    if (!m_bpositive)
        answer = !answer;
    if (ctx.m_bAborted)
        answer = false;
    ctx.m_stack.Restore(stackSize);
    ctx.m_nCurrentPos = pos;
    if (answer) {
        ctx.m_stack.Push(capSize);
        return true;
    }
    ctx.m_capturestack.Restore(capSize);
    return false;
}

bool CAssertElxT::Retry(CMatchContextT& ctx) const
{
    ctx.m_capturestack.Restore(ctx.m_stack.Pop());
    return false;
}

bool CIndependentElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_nCurrentPos;
    const int stackSize = ctx.m_stack.GetSize();
    const int capSize = ctx.m_capturestack.GetSize();
    if (!ElxMatch(m_pelx, ctx))
        return false;
    ctx.m_stack.Restore(stackSize);
    ctx.m_stack.Push(pos);
    ctx.m_stack.Push(capSize);
    return true;
}

bool CIndependentElxT::Retry(CMatchContextT& ctx) const
{
    const int capSize = ctx.m_stack.Pop();
    ctx.m_nCurrentPos = ctx.m_stack.Pop();
    ctx.m_capturestack.Restore(capSize);
    return false;
}

bool CConditionElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_nCurrentPos;
    const int stackSize = ctx.m_stack.GetSize();
    const int capSize = ctx.m_capturestack.GetSize();
    bool holds;
    if (m_nnumber >= 0) {
        holds = m_nnumber < ctx.m_captureindex.GetSize() && ctx.m_captureindex[m_nnumber] >= 0;
    } else if (!m_pelxask) {
        holds = true;
    } else {
        holds = ElxMatch(m_pelxask, ctx);
        ctx.m_stack.Restore(stackSize);
        ctx.m_nCurrentPos = pos;
    }
    const ElxInterface* branch = holds ? m_pelxyes : m_pelxno;
    if (branch && !ElxMatch(branch, ctx)) {
        ctx.m_capturestack.Restore(capSize);
        return false;
    }
    ctx.m_stack.Push(capSize);
    ctx.m_stack.Push(holds ? 1 : 0);
    return true;
}

bool CConditionElxT::Retry(CMatchContextT& ctx) const
{
    const bool holds = ctx.m_stack.Pop() != 0;
    const int capSize = ctx.m_stack.Pop();
    const ElxInterface* branch = holds ? m_pelxyes : m_pelxno;
    if (!branch || !ElxRetry(branch, ctx)) {
        ctx.m_capturestack.Restore(capSize);
        return false;
    }
    ctx.m_stack.Push(capSize);
    ctx.m_stack.Push(holds ? 1 : 0);
    return true;
}

namespace {
// Registers one active recursion into target at pos for the duration of a call.
// Returns false when that recursion is already active at the same position
// (it would re-enter forever without consuming) or the nesting is too deep.
bool EnterRecursion(CMatchContextT& ctx, const ElxInterface* target, int pos)
{
    const int depth = ctx.m_recursionTargets.GetSize();
    if (depth >= ctx.m_nRecursionLimit)
        return false;
    for (int i = depth - 1; i >= 0; --i)
        if (ctx.m_recursionTargets[i] == target && ctx.m_recursionPositions[i] == pos)
            return false;
    ctx.m_recursionTargets.Push(target);
    ctx.m_recursionPositions.Push(pos);
    return true;
}

void LeaveRecursion(CMatchContextT& ctx)
{
    ctx.m_recursionTargets.Pop();
    ctx.m_recursionPositions.Pop();
}
} // namespace

bool CDelegateElxT::Match(CMatchContextT& ctx) const
{
    if (!m_pelx)
        return true;
    const int pos = ctx.m_nCurrentPos;
    if (!EnterRecursion(ctx, m_pelx, pos))
        return false;
    const bool ok = ElxMatch(m_pelx, ctx);
    LeaveRecursion(ctx);
    if (ok)
        ctx.m_stack.Push(pos);
    return ok;
}

bool CDelegateElxT::Retry(CMatchContextT& ctx) const
{
    if (!m_pelx)
        return false;
    const int pos = ctx.m_stack.Pop();
    if (!EnterRecursion(ctx, m_pelx, pos))
        return false;
    const bool ok = ElxRetry(m_pelx, ctx);
    LeaveRecursion(ctx);
    if (ok)
        ctx.m_stack.Push(pos);
    return ok;
}

// ---- the search ----

void CPatternT::Prepare(const char16_t* text, int length, CMatchContextT& ctx) const
{
    ctx.m_stack.Clear();
    ctx.m_capturestack.Clear();
    ctx.m_captureindex.Clear();
    ctx.m_recursionTargets.Clear();
    ctx.m_recursionPositions.Clear();
    ctx.m_pMatchString = text ? text : u"";
    ctx.m_nMatchLength = text && length > 0 ? length : 0;
    ctx.m_nCurrentPos = 0;
    ctx.m_nBeginPos = 0;
    ctx.m_nStepsLeft = kBacktrackBudget;
    ctx.m_bAborted = false;
    ctx.m_nRecursionLimit = m_nRecursionLimit;
}

namespace {
// First index at or after from where needle occurs in text[0..len), or -1.
int FindText(const char16_t* text, int len, int from, const CBufferT<char16_t>& needle, bool ignoreCase)
{
    const int n = needle.GetSize();
    const char16_t* pat = needle.GetBuffer();
    if (n == 0)
        return from;
    if (!ignoreCase) {
        const char16_t first = pat[0];
        for (int i = from; i + n <= len; ++i) {
            if (text[i] != first)
                continue;
            int j = 1;
            while (j < n && text[i + j] == pat[j])
                ++j;
            if (j == n)
                return i;
        }
        return -1;
    }
    for (int i = from; i + n <= len; ++i) {
        int j = 0;
        while (j < n && AsciiUpper16(text[i + j]) == AsciiUpper16(pat[j]))
            ++j;
        if (j == n)
            return i;
    }
    return -1;
}
} // namespace

bool CPatternT::Execute(CMatchContextT& ctx) const
{
    if (!m_pTopElx)
        return false;
    const char16_t* text = ctx.m_pMatchString;
    const int len = ctx.m_nMatchLength;
    ctx.m_nStepsLeft = kBacktrackBudget;
    ctx.m_bAborted = false;
    if (!m_required.IsEmpty() && FindText(text, len, ctx.m_nBeginPos, m_required, m_bRequiredIgnoreCase) < 0)
        return false;
    for (int s = ctx.m_nBeginPos; s <= len; ++s) {
        if (m_bAnchored) {
            // Only the first start position can match: check it without scanning.
            if (!m_leading.IsEmpty()
                && FindText(text, s + m_leading.GetSize() <= len ? s + m_leading.GetSize() : len, s, m_leading, false)
                       != s)
                return false;
            if (m_bUseFirstSet && (s >= len || !(text[s] < 256 ? m_firstLow[text[s]] != 0 : m_bFirstHigh)))
                return false;
        } else if (!m_leading.IsEmpty()) {
            s = FindText(text, len, s, m_leading, false);
            if (s < 0)
                return false;
        } else if (m_bUseFirstSet) {
            while (s < len) {
                const char16_t c = text[s];
                if (c < 256 ? m_firstLow[c] != 0 : m_bFirstHigh)
                    break;
                ++s;
            }
            if (s >= len)
                return false;
        }
        ctx.m_stack.Clear();
        ctx.m_capturestack.Clear();
        ctx.m_captureindex.Clear();
        ctx.m_captureindex.Prepare(m_nMaxNumber, -1);
        ctx.m_captureindex[0] = 0;
        ctx.m_capturestack.Push(0);
        ctx.m_capturestack.Push(s);
        ctx.m_capturestack.Push(-1);
        ctx.m_capturestack.Push(-1);
        ctx.m_recursionTargets.Clear();
        ctx.m_recursionPositions.Clear();
        ctx.m_nCurrentPos = s;
        if (ElxMatch(m_pTopElx, ctx)) {
            ctx.m_capturestack[2] = ctx.m_nCurrentPos;
            return true;
        }
        if (ctx.m_bAborted || m_bAnchored)
            return false;
        if (m_pLeadingRun && s < len && m_pLeadingRun->SingleTest(text[s]))
            while (s + 1 < len && m_pLeadingRun->SingleTest(text[s + 1]))
                ++s;
    }
    return false;
}

CMatchResultT CPatternT::Run(CMatchContextT& ctx) const
{
    CMatchResultT result;
    if (!Execute(ctx))
        return result;
    const int n = m_nMaxNumber;
    result.Push(1);
    result.Push(n);
    for (int g = 0; g <= n; ++g) {
        int start = -1, end = -1;
        const int r = g < ctx.m_captureindex.GetSize() && ctx.m_captureindex[g] >= 0 ? FindRecord(ctx, g) : -1;
        // A record still open at the end took no part in the match.
        if (r >= 0 && ctx.m_capturestack[r + 2] >= 0) {
            start = std::min(ctx.m_capturestack[r + 1], ctx.m_capturestack[r + 2]);
            end = std::max(ctx.m_capturestack[r + 1], ctx.m_capturestack[r + 2]);
        }
        result.Push(start);
        result.Push(end);
    }
    return result;
}

namespace {
int ClampLength(size_t size)
{
    return size > size_t(INT_MAX - 1) ? INT_MAX - 1 : int(size);
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
    if (!m_pTopElx)
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
    if (!m_pTopElx)
        return false;
    Prepare(text, length, ctx);
    return Execute(ctx);
}

bool CPatternT::IsMatch(std::u16string_view text) const
{
    if (!m_pTopElx)
        return false;
    thread_local CMatchContextT ctx;
    return Search(text.data(), ClampLength(text.size()), ctx);
}
