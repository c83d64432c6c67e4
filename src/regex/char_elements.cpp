// Element semantics of the elements that read characters: literal runs,
// classes (and their membership tables), POSIX classes, anchors and
// back-references.
#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

#include "regex/elements.h"

CStringElxT::CStringElxT(const CBufferT<char16_t>& text, bool right_to_left, bool ignore_case)
    : ElxInterface(ElxKind::kString), m_text(text), m_right_to_left(right_to_left), m_ignore_case(ignore_case)
{
    for (int i = 0; i < m_text.GetSize(); ++i)
        m_upper.Push(AsciiUpper16(m_text[i]));
}

namespace {

using Span = std::pair<int, int>; // inclusive

constexpr int kHighFirst = 256;
constexpr int kHighLast = 0xFFFF;

// The accepted characters at or above 256 of an element embedded in a class.
void AddEmbeddedHighSpans(const ElxInterface* e, std::vector<Span>& spans)
{
    if (e->Kind() == ElxKind::kRange) {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(e);
        for (int i = 0; i < r->m_high_low.GetSize(); ++i)
            spans.emplace_back(r->m_high_low[i], r->m_high_high[i]);
    } else if (e->Kind() == ElxKind::kPosix) {
        // The POSIX classifiers accept nothing at or above 128: a negated one accepts everything there.
        const CPosixElxT* p = static_cast<const CPosixElxT*>(e);
        if (p->m_classifier && !p->m_include)
            spans.emplace_back(kHighFirst, kHighLast);
    }
}

// Sorts spans and merges those that overlap or touch.
std::vector<Span> Merge(std::vector<Span> spans)
{
    std::sort(spans.begin(), spans.end());
    std::vector<Span> merged;
    for (const Span& s : spans) {
        if (!merged.empty() && s.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, s.second);
        else
            merged.push_back(s);
    }
    return merged;
}

// The complement of sorted, disjoint spans within [kHighFirst, kHighLast].
std::vector<Span> Complement(const std::vector<Span>& spans)
{
    std::vector<Span> out;
    int next = kHighFirst;
    for (const Span& s : spans) {
        if (s.first > next)
            out.emplace_back(next, s.first - 1);
        next = s.second + 1;
    }
    if (next <= kHighLast)
        out.emplace_back(next, kHighLast);
    return out;
}

} // namespace

void CRangeElxT::BuildTable()
{
    unsigned char member[256] = {};
    std::vector<Span> high;
    for (int i = 0; i + 1 < m_ranges.GetSize(); i += 2) {
        const int low = m_ranges[i], top = m_ranges[i + 1];
        for (int c = low; c <= top && c < 256; ++c)
            member[c] = 1;
        if (top >= kHighFirst && low <= top)
            high.emplace_back(std::max(low, kHighFirst), top);
    }
    for (int i = 0; i < m_chars.GetSize(); ++i) {
        const char16_t c = m_chars[i];
        if (c < 256)
            member[c] = 1;
        else
            high.emplace_back(c, c);
    }
    for (int i = 0; i < m_embeds.GetSize(); ++i) {
        const ElxInterface* e = m_embeds[i];
        for (int c = 0; c < 256; ++c) {
            const char16_t ch = static_cast<char16_t>(c);
            if ((e->Kind() == ElxKind::kRange && static_cast<const CRangeElxT*>(e)->TestChar(ch))
                || (e->Kind() == ElxKind::kPosix && static_cast<const CPosixElxT*>(e)->TestChar(ch)))
                member[c] = 1;
        }
        AddEmbeddedHighSpans(e, high);
    }
    for (int c = 0; c < 256; ++c)
        m_low_table[c] = (member[c] != 0) == m_include ? 1 : 0;

    high = Merge(std::move(high));
    if (!m_include)
        high = Complement(high);
    m_high_low.Clear();
    m_high_high.Clear();
    for (const Span& s : high) {
        m_high_low.Push(static_cast<char16_t>(s.first));
        m_high_high.Push(static_cast<char16_t>(s.second));
    }
    // A halving search of n ranges takes about log2(n) probes: 1 step per 4.
    m_high_cost = static_cast<int>(std::bit_width(static_cast<unsigned>(high.size()))) / 4;
}

bool CPosixElxT::Match(CMatchContextT& ctx) const
{
    const int pos = ctx.m_current_pos;
    const int at = m_right_to_left ? pos - 1 : pos;
    if (at < 0 || at >= ctx.m_text_length || !TestChar(ctx.m_text[at]))
        return false;
    ctx.m_current_pos = m_right_to_left ? pos - 1 : pos + 1;
    return true;
}

bool CBoundaryElxT::Match(CMatchContextT& ctx) const
{
    const int p = ctx.m_current_pos;
    const int len = ctx.m_text_length;
    const char16_t* text = ctx.m_text;
    const bool at_end = p >= len;
    const char16_t prev = p > 0 && p <= len ? text[p - 1] : char16_t(0);
    const char16_t cur = p >= 0 && p < len ? text[p] : char16_t(0);
    bool answer = false;
    switch (m_kind) {
    case kTextStart: answer = p <= 0; break;
    case kTextEnd: answer = at_end; break;
    case kTextEndOrFinalBreak:
        answer = at_end
                 || (len > 0 && text[len - 1] == u'\n'
                     && (p == len - 1 || (len > 1 && text[len - 2] == u'\r' && p == len - 2)));
        break;
    case kLineStart: answer = p <= 0 || prev == u'\n' || (prev == u'\r' && cur != u'\n'); break;
    case kLineEnd: answer = at_end || cur == u'\r' || (cur == u'\n' && prev != u'\r'); break;
    case kWordBoundary: answer = IsWordChar16(prev) != IsWordChar16(cur); break;
    default: answer = false; break;
    }
    return answer == m_positive;
}

bool CBackrefElxT::Match(CMatchContextT& ctx) const
{
    const int n = m_number;
    const int r = FindCaptureRecord(ctx, n);
    if (r < 0)
        return false;
    const int pos = ctx.m_current_pos;
    const int start = ctx.m_capture_stack[r + 1];
    const int end = ctx.m_capture_stack[r + 2] < 0 ? pos : ctx.m_capture_stack[r + 2];
    const int lo = std::min(start, end), hi = std::max(start, end);
    const int len = ctx.m_text_length;
    if (lo < 0 || hi > len || pos < 0 || pos > len)
        return false;
    const int l = hi - lo;
    int from;
    if (m_right_to_left) {
        if (pos < l)
            return false;
        from = pos - l;
    } else {
        if (pos + l > len)
            return false;
        from = pos;
    }
    const char16_t* a = ctx.m_text + from;
    const char16_t* b = ctx.m_text + lo;
    int i = 0;
    if (m_ignore_case) {
        while (i < l && AsciiUpper16(a[i]) == AsciiUpper16(b[i]))
            ++i;
    } else {
        while (i < l && a[i] == b[i])
            ++i;
    }
    // A comparison costs in proportion to the characters it reads.
    ChargeSteps(ctx, i >> 3);
    if (i < l)
        return false;
    ctx.m_stack.Push(pos);
    ctx.m_current_pos = m_right_to_left ? pos - l : pos + l;
    return true;
}
