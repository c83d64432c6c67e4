// Compilation: the tokenizer (two tokens of look-ahead), the recursive-descent
// parser that builds the element tree, and the resolution of group names,
// recursion targets, named back-references and named conditions.
#include <climits>

#include "regex/elements.h"

namespace {

bool IsSpace16(char16_t c)
{
    return c == u' ' || (c >= 9 && c <= 13);
}
bool IsDigit16(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// A name that reads as a decimal number of at most 6 digits, with optional
// white space around it and nothing else.
bool ReadsAsNumber(const CBufferRefT<char16_t>& text, int& number)
{
    int i = 0;
    const int n = text.GetSize();
    while (i < n && IsSpace16(text[i]))
        ++i;
    int digits = 0, value = 0;
    while (i < n && IsDigit16(text[i])) {
        value = value * 10 + (text[i] - u'0');
        ++digits;
        ++i;
        if (digits > 6)
            return false;
    }
    while (i < n && IsSpace16(text[i]))
        ++i;
    if (digits == 0 || i != n)
        return false;
    number = value;
    return true;
}

// Reads white space and at most 6 significant digits (further digits are
// skipped) from text at i.  Returns whether a number was there.
bool ReadCount(const CBufferRefT<char16_t>& text, int& i, int& value)
{
    const int n = text.GetSize();
    while (i < n && IsSpace16(text[i]))
        ++i;
    int digits = 0;
    value = 0;
    while (i < n && IsDigit16(text[i])) {
        if (digits < 6)
            value = value * 10 + (text[i] - u'0');
        ++digits;
        ++i;
    }
    return digits > 0;
}

// The ASCII classifiers of the POSIX classes; codes 128 and above belong to none.
bool PosixAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool PosixAlpha(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool PosixAscii(char16_t c)
{
    return c < 128;
}
bool PosixCntrl(char16_t c)
{
    return c < 32 || c == 127;
}
bool PosixDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
bool PosixGraph(char16_t c)
{
    return c >= 33 && c <= 126;
}
bool PosixLower(char16_t c)
{
    return c >= u'a' && c <= u'z';
}
bool PosixPrint(char16_t c)
{
    return c >= 32 && c <= 126;
}
bool PosixPunct(char16_t c)
{
    return PosixGraph(c) && !PosixAlnum(c);
}
bool PosixSpace(char16_t c)
{
    return (c >= 9 && c <= 13) || c == 32;
}
bool PosixUpper(char16_t c)
{
    return c >= u'A' && c <= u'Z';
}
bool PosixXdigit(char16_t c)
{
    return HexValue(c) >= 0;
}
bool PosixBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

struct PosixName {
    const char16_t* name;
    int length;
    CPosixElxT::Classifier classify;
};
const PosixName kPosixNames[] = {
    {u"alnum:", 6, PosixAlnum}, {u"alpha:", 6, PosixAlpha}, {u"ascii:", 6, PosixAscii}, {u"cntrl:", 6, PosixCntrl},
    {u"digit:", 6, PosixDigit}, {u"graph:", 6, PosixGraph}, {u"lower:", 6, PosixLower}, {u"print:", 6, PosixPrint},
    {u"punct:", 6, PosixPunct}, {u"space:", 6, PosixSpace}, {u"upper:", 6, PosixUpper}, {u"xdigit:", 7, PosixXdigit},
    {u"blank:", 6, PosixBlank},
};

bool IsEndToken(char16_t value, bool meta)
{
    return meta && value == 0;
}

} // namespace

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
    for (int i = 0; i < m_objlist.GetSize(); ++i)
        delete m_objlist[i];
    m_objlist.Clear();
    m_pTopElx = nullptr;
    m_nMaxNumber = 0;
    m_nNamedGroupCount = 0;
    m_nGroupCount = 0;
    for (ElxInterface*& s : m_stock)
        s = nullptr;
    m_grouplist.Clear();
    m_recursivelist.Clear();
    m_namedlist.Clear();
    m_namedbackreflist.Clear();
    m_namedconditionlist.Clear();
    m_bAnchored = false;
    m_bUseFirstSet = false;
    m_bFirstHigh = false;
    m_leading.Clear();
    m_required.Clear();
    m_bRequiredIgnoreCase = false;
    m_pLeadingRun = nullptr;
}

template <class E, class... A> E* CPatternT::Build(A&&... args)
{
    E* elx = new E(static_cast<A&&>(args)...);
    m_objlist.Push(elx);
    return elx;
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
    case 0: elx = Build<CEmptyElxT>(); break;
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
    }
    if (elx->Kind() == ElxKind::kRange)
        static_cast<CRangeElxT*>(elx)->BuildTable();
    m_stock[slot] = elx;
    return elx;
}

// ---- tokenizer ----

void CPatternT::MoveNext()
{
    m_curr = m_next;
    m_next = m_after;
    while (!Scan(m_after)) {}
}

int CPatternT::ScanHex(int from, int maxDigits, int& value) const
{
    unsigned int v = 0;
    int digits = 0;
    while (digits < maxDigits && from + digits < m_pattern.GetSize() && HexValue(m_pattern[from + digits]) >= 0) {
        v = v * 16 + unsigned(HexValue(m_pattern[from + digits]));
        ++digits;
    }
    value = int(v & 0xFFFF);
    return digits;
}

// Scans one token at the scan position.  Returns false when the characters
// there produce no token (skipped escapes, comments); the caller scans again.
bool CPatternT::Scan(PatternToken& token)
{
    const int p = m_nScanPos;
    const int len = m_pattern.GetSize();
    if (p >= len) {
        token = PatternToken{0, true, p, 0};
        return true;
    }
    const char16_t ch = m_pattern[p];
    if (m_bQuoted) {
        if (ch == u'\\' && p + 1 < len && m_pattern[p + 1] == u'E') {
            m_bQuoted = false;
            m_quoteConversion = kNoConversion;
            m_nScanPos += 2;
            return false;
        }
        char16_t v = ch;
        if (m_quoteConversion == kToLower)
            v = AsciiLower16(v);
        if (m_quoteConversion == kToUpper)
            v = AsciiUpper16(v);
        token = PatternToken{v, false, p, 1};
        m_nScanPos += 1;
        return true;
    }
    token = PatternToken{ch, false, p, 1};
    switch (ch) {
    case u'$':
    case u')':
    case u'*':
    case u'+':
    case u'.':
    case u'?':
    case u'{':
    case u'|':
    case u'}': token.meta = m_nBracketLevel <= 0; break;
    case u'(':
        if (CharAt(p + 1) == u'?' && CharAt(p + 2) == u'#' && p + 2 < len) {
            int close = p + 3;
            while (close < len && m_pattern[close] != u')')
                ++close;
            if (close < len) {
                m_nScanPos = close + 1;
                return false;
            }
            // An unclosed comment: the "(" opens a group that the end of the pattern leaves open.
            m_nScanPos = len;
            token.meta = true;
            return true;
        }
        token.meta = m_nBracketLevel <= 0;
        break;
    case u'-': token.meta = m_nBracketLevel > 0; break;
    case u':': token.meta = m_next.meta && m_next.value == u'['; break;
    case u'[':
        if (m_nBracketLevel <= 0 || (p + 1 < len && m_pattern[p + 1] == u':')) {
            ++m_nBracketLevel;
            token.meta = true;
        }
        break;
    case u']':
        if (m_nBracketLevel > 0) {
            --m_nBracketLevel;
            token.meta = true;
        }
        break;
    case u'^':
        token.meta = m_nBracketLevel <= 0 || (m_next.meta && m_next.value == u'[')
                     || (m_curr.meta && m_curr.value == u'[' && m_next.meta && m_next.value == u':');
        break;
    case u'\\':
        if (p + 1 >= len)
            break; // a trailing lone backslash is literal
        if (IsDigit16(m_pattern[p + 1])) {
            token.meta = true;
            break;
        }
        return ScanEscape(token);
    default: break;
    }
    m_nScanPos += token.length;
    return true;
}

bool CPatternT::ScanEscape(PatternToken& token)
{
    const int p = m_nScanPos;
    const int len = m_pattern.GetSize();
    const char16_t e = m_pattern[p + 1];
    token = PatternToken{e, false, p, 2};
    switch (e) {
    case u'A':
    case u'B':
    case u'D':
    case u'S':
    case u'W':
    case u'Z':
    case u'd':
    case u'g':
    case u'k':
    case u's':
    case u'w':
    case u'z': token.meta = true; break;
    case u'G':
        if (m_nBracketLevel > 0) {
            m_nScanPos += 2;
            return false;
        }
        token.meta = true;
        break;
    case u'b':
        if (m_nBracketLevel > 0)
            token.value = 8;
        else
            token.meta = true;
        break;
    case u'a': token.value = 7; break;
    case u'e': token.value = 27; break;
    case u'f': token.value = 12; break;
    case u'n': token.value = 10; break;
    case u'r': token.value = 13; break;
    case u't': token.value = 9; break;
    case u'v': token.value = 11; break;
    case u'x':
    case u'u':
        if (p + 2 < len && m_pattern[p + 2] == u'{') {
            int value = 0;
            const int digits = ScanHex(p + 3, 8, value);
            int j = p + 3 + digits;
            while (j < len && m_pattern[j] != u'}')
                ++j;
            if (j < len)
                ++j;
            token.value = char16_t(value);
            token.length = j - p;
        } else {
            int value = 0;
            const int digits = ScanHex(p + 2, e == u'x' ? 2 : 4, value);
            if (digits > 0) {
                token.value = char16_t(value);
                token.length = 2 + digits;
            }
        }
        break;
    case u'Q':
        m_bQuoted = true;
        m_nScanPos += 2;
        return false;
    case u'L':
    case u'U':
        if (m_quoteConversion == kNoConversion)
            m_quoteConversion = e == u'L' ? kToLower : kToUpper;
        m_bQuoted = true;
        m_nScanPos += 2;
        return false;
    case u'E':
        m_quoteConversion = kNoConversion;
        m_nScanPos += 2;
        return false;
    default: break;
    }
    m_nScanPos += token.length;
    return true;
}

// ---- parser ----

void CPatternT::Compile(std::u16string_view text, int flags)
{
    Compile(text.data(), text.size() > size_t(INT_MAX - 1) ? INT_MAX - 1 : int(text.size()), flags);
}

void CPatternT::Compile(const char16_t* text, int length, int flags)
{
    Clear();
    m_pattern.Clear();
    if (text && length > 0)
        m_pattern.Append(text, length);
    m_nFlags = flags;
    m_nScanPos = 0;
    m_nBracketLevel = 0;
    m_bQuoted = false;
    m_quoteConversion = kNoConversion;
    m_nGroupNesting = 0;
    m_curr = m_next = m_after = PatternToken{};
    MoveNext();
    MoveNext();
    MoveNext();
    // Parsing stops at the end or at a ")" that closes no group; the rest is ignored.
    m_pTopElx = ParseAlternation(m_nFlags & ~RightToLeft);
    Resolve();
    Analyse();
}

void CPatternT::SkipWhiteSpace()
{
    while (!IsEndToken(m_curr.value, m_curr.meta) && !m_curr.meta && IsSpace16(m_curr.value))
        MoveNext();
}

ElxInterface* CPatternT::ParseAlternation(int flags)
{
    if (IsEndToken(m_curr.value, m_curr.meta))
        return GetStockElx(0);
    int local = flags;
    ElxInterface* first = ParseSequence(local);
    if (!IsMeta(u'|'))
        return first;
    CAlternativeElxT* alt = Build<CAlternativeElxT>();
    alt->m_elxlist.Push(first);
    while (IsMeta(u'|')) {
        MoveNext();
        alt->m_elxlist.Push(ParseSequence(local));
    }
    return alt;
}

ElxInterface* CPatternT::ParseSequence(int& flags)
{
    CBufferT<ElxInterface*> items;
    while (!IsEndToken(m_curr.value, m_curr.meta) && !IsMeta(u'|') && !IsMeta(u')'))
        items.Push(ParseQuantified(flags));
    if (items.IsEmpty())
        return GetStockElx(0);
    if (items.GetSize() == 1)
        return items[0];
    CListElxT* list = Build<CListElxT>((flags & RightToLeft) != 0);
    list->m_elxlist = items;
    return list;
}

ElxInterface* CPatternT::ParseQuantified(int& flags)
{
    ElxInterface* atom = ParseAtom(flags);
    if (!m_curr.meta)
        return atom;
    int minimum = 0, maximum = 0;
    switch (m_curr.value) {
    case u'*':
        minimum = 0;
        maximum = INT_MAX;
        MoveNext();
        break;
    case u'+':
        minimum = 1;
        maximum = INT_MAX;
        MoveNext();
        break;
    case u'?':
        minimum = 0;
        maximum = 1;
        MoveNext();
        break;
    case u'{': {
        MoveNext();
        CBufferT<char16_t> text;
        while (!IsEndToken(m_curr.value, m_curr.meta) && !IsMeta(u'}')) {
            text.Push(m_curr.value <= 255 ? m_curr.value : 0);
            MoveNext();
        }
        if (IsMeta(u'}'))
            MoveNext();
        int i = 0, first = 0;
        if (ReadCount(text, i, first)) {
            minimum = maximum = first;
            while (i < text.GetSize() && IsSpace16(text[i]))
                ++i;
            if (i < text.GetSize() && text[i] == u',') {
                ++i;
                int second = 0;
                if (ReadCount(text, i, second))
                    maximum = second < first ? first : second;
                else
                    maximum = INT_MAX;
            }
        }
        break;
    }
    default: return atom;
    }
    if (maximum == 0)
        return GetStockElx(0);
    if (minimum == maximum) {
        if (IsMeta(u'?') || IsMeta(u'+'))
            MoveNext();
        return Build<CRepeatElxT>(atom, minimum);
    }
    if (IsMeta(u'?')) {
        MoveNext();
        return Build<CReluctantElxT>(atom, minimum, maximum - minimum);
    }
    if (IsMeta(u'+')) {
        MoveNext();
        return Build<CPossessiveElxT>(atom, minimum, maximum - minimum);
    }
    return Build<CGreedyElxT>(atom, minimum, maximum - minimum);
}

ElxInterface* CPatternT::ParseAtom(int& flags)
{
    CBufferT<char16_t> run;
    for (;;) {
        if (IsEndToken(m_curr.value, m_curr.meta))
            break;
        if (m_curr.meta) {
            if (!run.IsEmpty())
                break;
            switch (m_curr.value) {
            case u')':
            case u'|': return GetStockElx(0);
            case u'$':
            case u'A':
            case u'B':
            case u'G':
            case u'Z':
            case u'^':
            case u'b':
            case u'z': return ParseAnchor(flags);
            case u'(': return ParseGroup(flags);
            case u'.':
            case u'D':
            case u'S':
            case u'W':
            case u'[':
            case u'd':
            case u's':
            case u'w': return ParseClass(flags);
            case u'\\':
            case u'g':
            case u'k': return ParseBackreference(flags);
            default: break; // a quantifier or brace where an atom was expected is a literal
            }
        }
        const bool quantified =
            m_next.meta
            && (m_next.value == u'{' || m_next.value == u'?' || m_next.value == u'*' || m_next.value == u'+');
        if (quantified) {
            if (run.IsEmpty()) {
                run.Push(m_curr.value);
                MoveNext();
            }
            break;
        }
        run.Push(m_curr.value);
        MoveNext();
    }
    if (run.IsEmpty())
        return GetStockElx(0);
    return Build<CStringElxT>(run, (flags & RightToLeft) != 0, (flags & IgnoreCase) != 0);
}

ElxInterface* CPatternT::ParseClass(int& flags)
{
    const char16_t v = m_curr.value;
    const int rtl = (flags & RightToLeft) ? 8 : 0;
    switch (v) {
    case u'.': MoveNext(); return GetStockElx(((flags & DotMatchesNewline) ? 1 : 2) + rtl);
    case u'w': MoveNext(); return GetStockElx(3 + rtl);
    case u'W': MoveNext(); return GetStockElx(4 + rtl);
    case u's': MoveNext(); return GetStockElx(5 + rtl);
    case u'S': MoveNext(); return GetStockElx(6 + rtl);
    case u'd': MoveNext(); return GetStockElx(7 + rtl);
    case u'D': MoveNext(); return GetStockElx(8 + rtl);
    default: break;
    }
    if (m_next.meta && m_next.value == u':') {
        // POSIX class "[:name:]", also written without outer brackets.
        MoveNext();
        CBufferT<char16_t> text;
        while (!IsEndToken(m_curr.value, m_curr.meta) && !IsMeta(u']')) {
            text.Push(m_curr.value <= 255 ? m_curr.value : 0);
            MoveNext();
        }
        if (IsMeta(u']'))
            MoveNext();
        int i = 1; // after the leading ":"
        bool include = true;
        if (i < text.GetSize() && text[i] == u'^') {
            include = false;
            ++i;
        }
        CPosixElxT::Classifier classify = nullptr;
        for (const PosixName& name : kPosixNames) {
            if (text.GetSize() - i < name.length)
                continue;
            bool same = true;
            for (int j = 0; j < name.length && same; ++j)
                same = text[i + j] == name.name[j];
            if (same) {
                classify = name.classify;
                break;
            }
        }
        return Build<CPosixElxT>(classify, (flags & RightToLeft) != 0, include);
    }
    MoveNext(); // "["
    bool include = true;
    if (IsMeta(u'^')) {
        include = false;
        MoveNext();
    }
    CBufferT<char16_t> ranges, chars;
    CBufferT<ElxInterface*> embeds;
    while (!IsEndToken(m_curr.value, m_curr.meta) && !IsMeta(u']')) {
        if (m_curr.meta && m_curr.value == u'[' && m_next.meta && m_next.value == u':') {
            embeds.Push(ParseClass(flags));
            continue;
        }
        if (m_curr.meta) {
            switch (m_curr.value) {
            case u'.':
            case u'D':
            case u'S':
            case u'W':
            case u'd':
            case u's':
            case u'w': embeds.Push(ParseClass(flags)); continue;
            default: break;
            }
        }
        if (m_next.meta && m_next.value == u'-' && !m_after.meta) {
            ranges.Push(m_curr.value);
            ranges.Push(m_after.value);
            MoveNext();
            MoveNext();
            MoveNext();
            continue;
        }
        chars.Push(m_curr.value);
        MoveNext();
    }
    if (IsMeta(u']'))
        MoveNext();
    if (flags & IgnoreCase) {
        // Widen once, looking only at what the class held before widening.
        const int rangeCount = ranges.GetSize();
        for (int i = 0; i + 1 < rangeCount; i += 2) {
            const char16_t lo = ranges[i], hi = ranges[i + 1];
            if (lo <= u'Z' && hi >= u'A') {
                const char16_t a = AsciiLower16(lo > u'A' ? lo : u'A'), b = AsciiLower16(hi < u'Z' ? hi : u'Z');
                if (!(lo <= a && b <= hi)) {
                    ranges.Push(a);
                    ranges.Push(b);
                }
            }
            if (lo <= u'z' && hi >= u'a') {
                const char16_t a = AsciiUpper16(lo > u'a' ? lo : u'a'), b = AsciiUpper16(hi < u'z' ? hi : u'z');
                if (!(lo <= a && b <= hi)) {
                    ranges.Push(a);
                    ranges.Push(b);
                }
            }
        }
        const int charCount = chars.GetSize();
        for (int i = 0; i < charCount; ++i) {
            const char16_t c = chars[i];
            if (c >= u'A' && c <= u'Z')
                chars.Push(AsciiLower16(c));
            if (c >= u'a' && c <= u'z')
                chars.Push(AsciiUpper16(c));
        }
    }
    CRangeElxT* range = Build<CRangeElxT>((flags & RightToLeft) != 0, include);
    range->m_ranges = ranges;
    range->m_chars = chars;
    range->m_embeds = embeds;
    return range;
}

ElxInterface* CPatternT::ParseAnchor(int& flags)
{
    const char16_t v = m_curr.value;
    MoveNext();
    switch (v) {
    case u'^': return Build<CBoundaryElxT>((flags & MultiLineAnchors) ? kLineStart : kTextStart, true);
    case u'$': return Build<CBoundaryElxT>((flags & MultiLineAnchors) ? kLineEnd : kTextEnd, true);
    case u'A': return Build<CBoundaryElxT>(kTextStart, true);
    case u'z': return Build<CBoundaryElxT>(kTextEnd, true);
    case u'Z': return Build<CBoundaryElxT>(kTextEndOrFinalBreak, true);
    case u'b': return Build<CBoundaryElxT>(kWordBoundary, true);
    case u'B': return Build<CBoundaryElxT>(kWordBoundary, false);
    case u'G':
        if (flags & GlobalAnchor)
            return Build<CGlobalElxT>();
        return GetStockElx(0);
    default: return GetStockElx(0);
    }
}

void CPatternT::ReadName(char16_t terminator, CBufferT<char16_t>& name)
{
    while (!IsEndToken(m_curr.value, m_curr.meta) && m_curr.value != terminator) {
        name.Push(m_curr.value);
        MoveNext();
    }
    if (!IsEndToken(m_curr.value, m_curr.meta))
        MoveNext();
}

ElxInterface* CPatternT::ParseBackreference(int& flags)
{
    MoveNext(); // "\" before digits, "\g" or "\k"
    int number = 0;
    CBufferT<char16_t> name;
    bool named = false;
    if (!m_curr.meta && (m_curr.value == u'<' || m_curr.value == u'\'')) {
        const char16_t terminator = m_curr.value == u'<' ? u'>' : u'\'';
        MoveNext();
        ReadName(terminator, name);
        if (!ReadsAsNumber(name, number)) {
            number = -1;
            named = true;
        }
    } else {
        for (int digits = 0; digits < 3 && !m_curr.meta && IsDigit16(m_curr.value); ++digits) {
            number = number * 10 + (m_curr.value - u'0');
            MoveNext();
        }
    }
    CBackrefElxT* ref = Build<CBackrefElxT>(number, (flags & RightToLeft) != 0, (flags & IgnoreCase) != 0);
    if (named) {
        ref->m_szNamed = name;
        m_namedbackreflist.Push(ref);
    }
    return ref;
}

CListElxT* CPatternT::MakeGroupList(int number, const CBufferT<char16_t>* name, ElxInterface* body, int flags)
{
    const bool rtl = (flags & RightToLeft) != 0;
    CBracketElxT* first = Build<CBracketElxT>(number, rtl);
    CBracketElxT* last = Build<CBracketElxT>(number, !rtl);
    if (name) {
        first->m_szNamed = *name;
        first->m_bHasName = true;
        last->m_szNamed = *name;
        last->m_bHasName = true;
    }
    CListElxT* list = Build<CListElxT>(rtl);
    list->m_elxlist.Push(first);
    list->m_elxlist.Push(body);
    list->m_elxlist.Push(last);
    return list;
}

ElxInterface* CPatternT::ParseGroup(int& flags)
{
    if (m_nGroupNesting >= kMaxGroupNesting) {
        // Too deeply nested to be a pattern anyone means: the pattern ends here.
        m_nScanPos = m_pattern.GetSize();
        m_curr = m_next = m_after = PatternToken{0, true, m_nScanPos, 0};
        return GetStockElx(0);
    }
    ++m_nGroupNesting;
    MoveNext(); // "("
    ElxInterface* elx = nullptr;
    if (!IsMeta(u'?')) {
        const int number = ++m_nMaxNumber;
        ElxInterface* body = ParseAlternation(flags);
        CListElxT* group = MakeGroupList(number, nullptr, body, flags);
        m_grouplist.Prepare(number, nullptr);
        m_grouplist[number] = group;
        elx = group;
    } else {
        MoveNext(); // "?"
        const char16_t v = m_curr.value;
        if (m_curr.meta && v == u'(') {
            elx = ParseConditional(flags);
        } else if (!m_curr.meta && (v == u'=' || v == u'!')) {
            MoveNext();
            elx = Build<CAssertElxT>(ParseAlternation(flags & ~RightToLeft), v == u'=');
        } else if (!m_curr.meta && v == u'<' && !m_next.meta && (m_next.value == u'=' || m_next.value == u'!')) {
            const bool positive = m_next.value == u'=';
            MoveNext();
            MoveNext();
            elx = Build<CAssertElxT>(ParseAlternation(flags | RightToLeft), positive);
        } else if (!m_curr.meta && (v == u'<' || v == u'\'')) {
            MoveNext();
            elx = ParseNamedGroup(flags, v == u'<' ? u'>' : u'\'');
        } else if (!m_curr.meta && v == u'P') {
            MoveNext();
            const char16_t opener = m_curr.value;
            MoveNext();
            elx = ParseNamedGroup(flags, opener == u'\'' ? u'\'' : u'>');
        } else if (!m_curr.meta && v == u'>') {
            MoveNext();
            elx = Build<CIndependentElxT>(ParseAlternation(flags));
        } else if (!m_curr.meta && v == u'R') {
            MoveNext();
            elx = ParseRecursion(flags);
        } else {
            SkipWhiteSpace();
            if (!m_curr.meta && IsDigit16(m_curr.value)) {
                elx = ParseRecursion(flags);
            } else {
                // Modifiers: "(?imsg-imsg)", "(?imsg-imsg:...)", "(?:...)", "(?imsg(...)...)".
                int modified = flags;
                bool clearing = false;
                while (!IsEndToken(m_curr.value, m_curr.meta) && m_curr.value != u':' && m_curr.value != u')'
                       && !IsMeta(u'(')) {
                    int bit = 0;
                    switch (m_curr.value) {
                    case u'i':
                    case u'I': bit = IgnoreCase; break;
                    case u'm':
                    case u'M': bit = MultiLineAnchors; break;
                    case u's':
                    case u'S': bit = DotMatchesNewline; break;
                    case u'g':
                    case u'G': bit = GlobalAnchor; break;
                    case u'-': clearing = true; break;
                    default: break;
                    }
                    modified = clearing ? (modified & ~bit) : (modified | bit);
                    MoveNext();
                }
                if (!IsEndToken(m_curr.value, m_curr.meta) && m_curr.value == u':') {
                    MoveNext();
                    elx = ParseAlternation(modified);
                } else if (IsMeta(u'(')) {
                    elx = ParseAlternation(modified);
                } else {
                    flags = modified;
                    elx = GetStockElx(0);
                }
            }
        }
    }
    MoveNext(); // the closing ")"
    --m_nGroupNesting;
    return elx;
}

ElxInterface* CPatternT::ParseNamedGroup(int& flags, char16_t terminator)
{
    CBufferT<char16_t> name;
    ReadName(terminator, name);
    ++m_nNamedGroupCount;
    int number = -1;
    const bool numeric = ReadsAsNumber(name, number);
    if (!numeric)
        number = -1;
    ElxInterface* body = ParseAlternation(flags);
    CListElxT* group = MakeGroupList(number, numeric ? nullptr : &name, body, flags);
    m_namedlist.Push(group);
    return group;
}

ElxInterface* CPatternT::ParseConditional(int& flags)
{
    CConditionElxT* cond = Build<CConditionElxT>();
    if (m_next.meta && m_next.value == u'?') {
        cond->m_pelxask = ParseGroup(flags); // normally a look-around
    } else {
        MoveNext(); // the inner "("
        const int start = m_curr.position;
        ElxInterface* body = ParseAlternation(flags);
        const int stop = m_curr.position;
        CAssertElxT* ask = Build<CAssertElxT>(body, true);
        if (stop > start)
            cond->m_szNamed.Append(m_pattern.GetBuffer() + start, stop - start);
        int number = 0;
        if (ReadsAsNumber(cond->m_szNamed, number)) {
            cond->m_nnumber = number;
        } else {
            cond->m_pelxask = ask;
            m_namedconditionlist.Push(cond);
        }
        MoveNext(); // the inner ")"
    }
    int yesFlags = flags;
    cond->m_pelxyes = ParseSequence(yesFlags);
    if (IsMeta(u'|')) {
        MoveNext();
        cond->m_pelxno = ParseAlternation(flags);
    }
    return cond;
}

ElxInterface* CPatternT::ParseRecursion(int& /*flags*/)
{
    SkipWhiteSpace();
    CDelegateElxT* delegate = nullptr;
    if (!m_curr.meta && (m_curr.value == u'<' || m_curr.value == u'\'')) {
        const char16_t terminator = m_curr.value == u'<' ? u'>' : u'\'';
        MoveNext();
        CBufferT<char16_t> name;
        ReadName(terminator, name);
        int number = 0;
        if (ReadsAsNumber(name, number)) {
            delegate = Build<CDelegateElxT>(number);
        } else {
            delegate = Build<CDelegateElxT>(-3);
            delegate->m_szNamed = name;
        }
    } else {
        CBufferT<char16_t> text;
        while (!IsEndToken(m_curr.value, m_curr.meta) && m_curr.value != u')') {
            text.Push(m_curr.value);
            MoveNext();
        }
        int i = 0, number = 0;
        ReadCount(text, i, number);
        delegate = Build<CDelegateElxT>(number);
    }
    m_recursivelist.Push(delegate);
    return delegate;
}

// ---- resolution ----

int CPatternT::FindGroupByName(const CBufferRefT<char16_t>& name) const
{
    for (int i = 0; i < m_namedlist.GetSize(); ++i) {
        const CBracketElxT* open = static_cast<const CBracketElxT*>(m_namedlist[i]->m_elxlist[0]);
        if (!open->m_bHasName || open->m_szNamed.GetSize() != name.GetSize())
            continue;
        bool same = true;
        for (int j = 0; j < name.GetSize() && same; ++j)
            same = AsciiUpper16(open->m_szNamed[j]) == AsciiUpper16(name[j]);
        if (same)
            return open->m_nnumber;
    }
    return -3;
}

void CPatternT::Resolve()
{
    if (m_grouplist.IsEmpty())
        m_grouplist.Push(nullptr);
    m_grouplist[0] = m_pTopElx;
    m_nGroupCount = m_grouplist.GetSize();
    m_grouplist.Prepare(m_nMaxNumber + m_nNamedGroupCount, nullptr);

    // Named groups are numbered after every plain group, in order of appearance;
    // names equal ignoring ASCII case share one number.
    for (int i = 0; i < m_namedlist.GetSize(); ++i) {
        CListElxT* group = m_namedlist[i];
        m_grouplist.Push(group);
        m_nGroupCount = m_grouplist.GetSize();
        CBracketElxT* first = static_cast<CBracketElxT*>(group->m_elxlist[0]);
        CBracketElxT* last = static_cast<CBracketElxT*>(group->m_elxlist[2]);
        if (first->m_nnumber <= 0) {
            int number = first->m_bHasName ? FindGroupByName(first->m_szNamed) : -3;
            if (number < 0)
                number = ++m_nMaxNumber;
            first->m_nnumber = number;
        }
        last->m_nnumber = first->m_nnumber;
    }

    m_nMaxNumber = 0;
    for (int i = 1; i < m_grouplist.GetSize(); ++i) {
        if (!m_grouplist[i])
            continue;
        const CListElxT* group = static_cast<const CListElxT*>(m_grouplist[i]);
        const int number = static_cast<const CBracketElxT*>(group->m_elxlist[0])->m_nnumber;
        if (number > m_nMaxNumber)
            m_nMaxNumber = number;
    }

    for (int i = 0; i < m_recursivelist.GetSize(); ++i) {
        CDelegateElxT* delegate = m_recursivelist[i];
        if (delegate->m_ndata == -3)
            delegate->m_ndata = FindGroupByName(delegate->m_szNamed);
        const int n = delegate->m_ndata;
        delegate->m_pelx = nullptr;
        if (n == 0) {
            delegate->m_pelx = m_pTopElx;
        } else if (n > 0 && n <= m_nMaxNumber) {
            for (int g = 1; g < m_grouplist.GetSize(); ++g) {
                const CListElxT* group = static_cast<const CListElxT*>(m_grouplist[g]);
                if (group && static_cast<const CBracketElxT*>(group->m_elxlist[0])->m_nnumber == n) {
                    delegate->m_pelx = m_grouplist[g];
                    break;
                }
            }
        }
    }

    for (int i = 0; i < m_namedbackreflist.GetSize(); ++i)
        m_namedbackreflist[i]->m_nnumber = FindGroupByName(m_namedbackreflist[i]->m_szNamed);

    for (int i = 0; i < m_namedconditionlist.GetSize(); ++i) {
        CConditionElxT* cond = m_namedconditionlist[i];
        const int n = FindGroupByName(cond->m_szNamed);
        if (n >= 0) {
            cond->m_nnumber = n;
            cond->m_pelxask = nullptr;
        }
    }
}
