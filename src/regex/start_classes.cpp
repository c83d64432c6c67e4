// The characters every match begins with, worked out from the element tree.
//
// The walk follows every path a match can take from its start, keeping the
// set of offsets (0 to kMaxPositions - 1, and one mark for "further") that a
// path may have reached; each character an element consumes at offset o is
// added to the set of position o.  Zero-width elements (anchors, brackets,
// look-arounds, conditions' tests) consume nothing; an alternative or a
// repetition takes every way it has.  So each set holds every character any
// path can have there, and the least offset a path can end at is the least
// match length.  A back-reference or a recursion may consume anything: the
// positions from the least offset it can be reached at are unknown.
#include <algorithm>

#include "regex/elements.h"
#include "regex/stack_guard.h"
#include "regex/start_classes.h"

namespace {

using Offsets = uint32_t;
constexpr int K = CStartClassesT::kMaxPositions;
constexpr Offsets kFurther = Offsets(1) << K;
constexpr Offsets kAll = (kFurther << 1) - 1;

int Lowest(Offsets r)
{
    return __builtin_ctz(r);
}

class StartWalker {
public:
    explicit StartWalker(CStartClassesT& out) : m_out(out) {}

    Offsets Walk(const ElxInterface* elx, Offsets in, int depth);
    bool Aborted() const { return m_aborted; }
    int UnknownFrom() const { return m_unknown_from; }

private:
    Offsets Consume(const CCharSetT& set, Offsets in)
    {
        for (Offsets r = in & (kFurther - 1); r; r &= r - 1)
            m_out.sets[Lowest(r)].Merge(set);
        return ((in << 1) | (in & kFurther)) & kAll;
    }
    Offsets Consume(char16_t c, bool ignore_case, Offsets in)
    {
        CCharSetT set;
        set.Add(c);
        if (ignore_case) {
            set.Add(AsciiUpper16(c));
            set.Add(AsciiLower16(c));
        }
        return Consume(set, in);
    }
    // Anything may be consumed from the offsets in.
    Offsets Unknown(Offsets in)
    {
        if (!in)
            return 0;
        const int from = Lowest(in);
        m_unknown_from = std::min(m_unknown_from, from);
        return kAll & ~((Offsets(1) << from) - 1);
    }
    Offsets Repeat(const ElxInterface* item, int times, Offsets in, int depth)
    {
        Offsets at = in;
        for (int i = 0; i < times && at && at != kFurther; ++i) {
            const Offsets next = Walk(item, at, depth + 1);
            if (next == at)
                break;
            at = next;
        }
        return at;
    }

    CStartClassesT& m_out;
    int m_unknown_from = K;
    long m_budget = 100000; // element visits; nested repetitions multiply them
    bool m_aborted = false;
};

Offsets StartWalker::Walk(const ElxInterface* elx, Offsets in, int depth)
{
    if (!in || m_aborted)
        return in;
    if (!elx || --m_budget < 0 || depth > 400 || CurrentStackAddress() < ThreadStackFloor(CPatternT::kStackMargin)) {
        m_aborted = true;
        return in;
    }
    switch (elx->Kind()) {
    case ElxKind::kEmpty:
    case ElxKind::kBoundary:
    case ElxKind::kGlobal:
    case ElxKind::kBracket:
    case ElxKind::kAssert: return in;
    case ElxKind::kString: {
        const CStringElxT* s = static_cast<const CStringElxT*>(elx);
        if (s->m_right_to_left)
            return Unknown(in);
        Offsets at = in;
        for (int i = 0; i < s->m_text.GetSize() && at != kFurther; ++i)
            at = Consume(s->m_text[i], s->m_ignore_case, at);
        return at;
    }
    case ElxKind::kRange: {
        const CRangeElxT* r = static_cast<const CRangeElxT*>(elx);
        if (r->m_right_to_left)
            return Unknown(in);
        CCharSetT set;
        for (int c = 0; c < 256; ++c)
            if (r->m_low_table[c])
                set.Add(char16_t(c));
        for (int i = 0; i < r->m_high_low.GetSize(); ++i)
            set.AddRange(r->m_high_low[i], r->m_high_high[i]);
        return Consume(set, in);
    }
    case ElxKind::kPosix: {
        const CPosixElxT* p = static_cast<const CPosixElxT*>(elx);
        if (p->m_right_to_left)
            return Unknown(in);
        CCharSetT set;
        for (int c = 0; c < 256; ++c)
            if (p->TestChar(char16_t(c)))
                set.Add(char16_t(c));
        if (p->TestChar(char16_t(0x100))) // the classifiers look at ASCII only
            set.AddRange(0x100, 0xFFFF);
        return Consume(set, in);
    }
    case ElxKind::kList: {
        const CListElxT* l = static_cast<const CListElxT*>(elx);
        if (l->m_right_to_left)
            return Unknown(in);
        Offsets at = in;
        for (int i = 0; i < l->m_items.GetSize() && at; ++i)
            at = Walk(l->m_items[i], at, depth + 1);
        return at;
    }
    case ElxKind::kAlternative: {
        const CAlternativeElxT* a = static_cast<const CAlternativeElxT*>(elx);
        if (a->m_alternatives.IsEmpty())
            return in;
        Offsets out = 0;
        for (int i = 0; i < a->m_alternatives.GetSize(); ++i)
            out |= Walk(a->m_alternatives[i], in, depth + 1);
        return out;
    }
    case ElxKind::kRepeat: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        return Repeat(r->m_item, r->m_fixed, in, depth);
    }
    case ElxKind::kGreedy:
    case ElxKind::kPossessive:
    case ElxKind::kReluctant: {
        const CRepeatElxT* r = static_cast<const CRepeatElxT*>(elx);
        const int optional = elx->Kind() == ElxKind::kReluctant ? static_cast<const CReluctantElxT*>(elx)->m_optional
                                                                : static_cast<const CGreedyElxT*>(elx)->m_optional;
        Offsets at = Repeat(r->m_item, r->m_fixed, in, depth);
        Offsets total = at;
        for (int j = 0; j < optional && at; ++j) {
            at = Walk(r->m_item, at, depth + 1);
            if ((total | at) == total)
                break;
            total |= at;
        }
        return total;
    }
    case ElxKind::kIndependent: return Walk(static_cast<const CIndependentElxT*>(elx)->m_body, in, depth + 1);
    case ElxKind::kCondition: {
        // The test consumes nothing; then one of the branches (a missing one matches the empty text).
        const CConditionElxT* c = static_cast<const CConditionElxT*>(elx);
        const Offsets yes = c->m_yes ? Walk(c->m_yes, in, depth + 1) : in;
        const Offsets no = c->m_no ? Walk(c->m_no, in, depth + 1) : in;
        return yes | no;
    }
    case ElxKind::kBackref:
    case ElxKind::kDelegate: return Unknown(in);
    }
    return Unknown(in);
}

} // namespace

void CCharSetT::AddRange(char16_t low, char16_t high)
{
    if (low > high)
        return;
    for (int c = low; c <= high && c < 256; ++c)
        m_low[c >> 6] |= uint64_t(1) << (c & 63);
    if (high < 256)
        return;
    char16_t from = std::max<char16_t>(low, 256);
    char16_t to = high;
    if (m_high.empty() || int(m_high.back().second) + 1 < int(from)) {
        m_high.emplace_back(from, to); // ranges added in order cost nothing more
        return;
    }
    // Merge with every range that overlaps or touches [from, to].
    std::vector<std::pair<char16_t, char16_t>> merged;
    merged.reserve(m_high.size() + 1);
    bool placed = false;
    for (const auto& r : m_high) {
        if (int(r.second) + 1 < int(from)) {
            merged.push_back(r);
        } else if (int(to) + 1 < int(r.first)) {
            if (!placed) {
                merged.emplace_back(from, to);
                placed = true;
            }
            merged.push_back(r);
        } else {
            from = std::min(from, r.first);
            to = std::max(to, r.second);
        }
    }
    if (!placed)
        merged.emplace_back(from, to);
    m_high.swap(merged);
}

void CCharSetT::Merge(const CCharSetT& other)
{
    for (int i = 0; i < 4; ++i)
        m_low[i] |= other.m_low[i];
    if (other.m_high.empty())
        return;
    // Both lists are sorted: one pass joins them.
    std::vector<std::pair<char16_t, char16_t>> joined;
    joined.reserve(m_high.size() + other.m_high.size());
    auto a = m_high.begin();
    auto b = other.m_high.begin();
    while (a != m_high.end() || b != other.m_high.end()) {
        const bool take_a = b == other.m_high.end() || (a != m_high.end() && a->first <= b->first);
        const std::pair<char16_t, char16_t> r = take_a ? *a++ : *b++;
        if (!joined.empty() && int(joined.back().second) + 1 >= int(r.first))
            joined.back().second = std::max(joined.back().second, r.second);
        else
            joined.push_back(r);
    }
    m_high.swap(joined);
}

bool CCharSetT::IsEmpty() const
{
    return !(m_low[0] | m_low[1] | m_low[2] | m_low[3]) && m_high.empty();
}

bool CCharSetT::HasHigh(char16_t c) const
{
    auto it = std::upper_bound(m_high.begin(), m_high.end(), c,
                               [](char16_t value, const std::pair<char16_t, char16_t>& r) { return value < r.first; });
    return it != m_high.begin() && c <= (it - 1)->second;
}

std::vector<std::pair<char16_t, char16_t>> CCharSetT::Ranges() const
{
    std::vector<std::pair<char16_t, char16_t>> out;
    for (int c = 0; c < 256;) {
        if (!Has(char16_t(c))) {
            ++c;
            continue;
        }
        int end = c;
        while (end + 1 < 256 && Has(char16_t(end + 1)))
            ++end;
        out.emplace_back(char16_t(c), char16_t(end));
        c = end + 1;
    }
    for (const auto& r : m_high) {
        if (!out.empty() && out.back().second == 255 && r.first == 256)
            out.back().second = r.second;
        else
            out.push_back(r);
    }
    return out;
}

int CStartClassesT::FindIn(const char16_t* text, int length, int from) const
{
    for (int s = std::max(from, 0); length - s >= min_length; ++s) {
        if (known > 0 && !sets[0].Has(text[s]))
            continue;
        if (FitsAt(text, length, s))
            return s;
    }
    return -1;
}

CStartClassesT CPatternT::WorkOutStartClasses() const
{
    CStartClassesT out;
    if (!m_root)
        return out;
    StartWalker walker(out);
    const Offsets end = walker.Walk(m_root, 1, 0);
    if (walker.Aborted() || !end) {
        // Nothing is known; an unreachable end (no path matches) tells nothing either.
        return CStartClassesT{};
    }
    out.min_length = Lowest(end);
    out.known = std::min(out.min_length, walker.UnknownFrom());
    for (int o = out.known; o < K; ++o)
        out.sets[o] = CCharSetT{};
    return out;
}
