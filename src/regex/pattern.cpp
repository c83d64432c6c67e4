// A pattern's life: construction, compilation in its three passes
// (tokenizer and parser together, then resolution, then analysis), the
// shared stock elements, and clearing.
#include <climits>

#include "regex/compile_util.h"

CPatternT::CPatternT() = default;

CPatternT::CPatternT(const char16_t* text, int flags)
{
    if (!text)
        return;
    int length = 0;
    while (text[length] && length < INT_MAX - 1)
        ++length;
    Compile(text, length, flags);
}

CPatternT::~CPatternT()
{
    Clear();
}

void CPatternT::Clear()
{
    for (int i = 0; i < m_pool.GetSize(); ++i)
        delete m_pool[i];
    m_pool.Clear();
    m_root = nullptr;
    m_max_number = 0;
    m_named_group_count = 0;
    m_group_count = 0;
    for (ElxInterface*& s : m_stock)
        s = nullptr;
    m_groups.Clear();
    m_recursions.Clear();
    m_named_groups.Clear();
    m_named_backrefs.Clear();
    m_named_conditions.Clear();
    m_anchored = false;
    m_use_first_set = false;
    m_first_high = false;
    m_start = CStartClassesT{};
    m_leading.Clear();
    m_required.Clear();
    m_required_literal.Clear();
    m_required_literal_ignore_case = false;
    m_leading_run = nullptr;
    m_recursion_limit = kMaxRecursionDepth;
}

void CPatternT::Compile(std::u16string_view text, int flags)
{
    Compile(text.data(),
            text.size() > static_cast<std::size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(text.size()), flags);
}

void CPatternT::Compile(const char16_t* text, int length, int flags)
{
    Clear();
    m_pattern.Clear();
    if (text && length > 0)
        m_pattern.Append(text, length);
    m_flags = flags;
    m_scan_pos = 0;
    m_bracket_depth = 0;
    m_quoted = false;
    m_quote_conversion = kNoConversion;
    m_group_nesting = 0;
    m_curr = m_next = m_after = PatternToken{};
    MoveNext();
    MoveNext();
    MoveNext();
    // Parsing stops at the end or at a ")" that closes no group; the rest is ignored.
    m_root = ParseAlternation(m_flags & ~RightToLeft);
    Resolve();
    Analyse();
}

std::u16string_view CPatternT::RequiredLiteral() const
{
    return std::u16string_view(m_required_literal.GetBuffer(), static_cast<std::size_t>(m_required_literal.GetSize()));
}

ElxInterface* CPatternT::GetStockElx(int slot)
{
    if (slot < 0 || slot > 16)
        slot = 0;
    if (m_stock[slot])
        return m_stock[slot];
    ElxInterface* elx = nullptr;
    const bool rtl = slot >= 9;
    const int base = rtl ? slot - 8 : slot;
    auto word = [&](bool include) {
        CRangeElxT* r = Build<CRangeElxT>(rtl, include);
        const char16_t ranges[] = {u'A', u'Z', u'a', u'z', u'0', u'9'};
        r->m_ranges.Append(ranges, 6);
        r->m_chars.Push(u'_');
        return r;
    };
    auto space = [&](bool include) {
        CRangeElxT* r = Build<CRangeElxT>(rtl, include);
        const char16_t chars[] = {u' ', u'\t', u'\r', u'\n', u'\f', u'\v'};
        r->m_chars.Append(chars, rtl ? 6 : 4);
        return r;
    };
    auto digit = [&](bool include) {
        CRangeElxT* r = Build<CRangeElxT>(rtl, include);
        const char16_t ranges[] = {u'0', u'9'};
        r->m_ranges.Append(ranges, 2);
        return r;
    };
    switch (base) {
    case 1: elx = Build<CRangeElxT>(rtl, false); break;
    case 2: {
        CRangeElxT* r = Build<CRangeElxT>(rtl, false);
        r->m_chars.Push(u'\n');
        elx = r;
        break;
    }
    case 3: elx = word(true); break;
    case 4: elx = word(false); break;
    case 5: elx = space(true); break;
    case 6: elx = space(false); break;
    case 7: elx = digit(true); break;
    case 8: elx = digit(false); break;
    default: elx = Build<CEmptyElxT>(); break;
    }
    if (elx->Kind() == ElxKind::kRange)
        static_cast<CRangeElxT*>(elx)->BuildTable();
    m_stock[slot] = elx;
    return elx;
}
