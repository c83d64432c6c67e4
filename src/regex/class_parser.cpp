// The parser's part for character classes: ".", the class escapes, bracket
// classes with their ranges and embedded classes, POSIX classes, and the
// widening of a class under IgnoreCase.
#include "regex/compile_util.h"

namespace {

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
    CPosixElxT::Classifier classifier;
};
const PosixName kPosixNames[] = {
    {u"alnum:", 6, PosixAlnum}, {u"alpha:", 6, PosixAlpha}, {u"ascii:", 6, PosixAscii}, {u"cntrl:", 6, PosixCntrl},
    {u"digit:", 6, PosixDigit}, {u"graph:", 6, PosixGraph}, {u"lower:", 6, PosixLower}, {u"print:", 6, PosixPrint},
    {u"punct:", 6, PosixPunct}, {u"space:", 6, PosixSpace}, {u"upper:", 6, PosixUpper}, {u"xdigit:", 7, PosixXdigit},
    {u"blank:", 6, PosixBlank},
};

} // namespace

// A class: ".", "\\w" and the other escapes are stock elements; "[...]" is
// a bracket class of ranges, single characters and embedded classes.
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
    if (m_next.meta && m_next.value == u':')
        return ParsePosixClass(flags);
    MoveNext(); // "["
    bool include = true;
    if (IsMeta(u'^')) {
        include = false;
        MoveNext();
    }
    CBufferT<char16_t> ranges, chars;
    CBufferT<ElxInterface*> embeds;
    while (!AtEnd() && !IsMeta(u']')) {
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
    if (flags & IgnoreCase)
        WidenClassCase(ranges, chars);
    CRangeElxT* range = Build<CRangeElxT>((flags & RightToLeft) != 0, include);
    range->m_ranges = ranges;
    range->m_chars = chars;
    range->m_embeds = embeds;
    return range;
}

// A POSIX class "[:name:]" (also written without outer brackets): the
// token values from the ":" up to a "]" name the class; an unknown name gives
// a class that never matches.
ElxInterface* CPatternT::ParsePosixClass(int& flags)
{
    MoveNext(); // "["
    CBufferT<char16_t> text;
    while (!AtEnd() && !IsMeta(u']')) {
        text.Push(m_curr.value <= 255 ? m_curr.value : char16_t(0));
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
    CPosixElxT::Classifier classifier = nullptr;
    for (const PosixName& name : kPosixNames) {
        if (text.GetSize() - i < name.length)
            continue;
        bool same = true;
        for (int j = 0; j < name.length && same; ++j)
            same = text[i + j] == name.name[j];
        if (same) {
            classifier = name.classifier;
            break;
        }
    }
    return Build<CPosixElxT>(classifier, (flags & RightToLeft) != 0, include);
}

// Under IgnoreCase a class is widened once, looking only at what it held
// before widening: the other case of every ASCII letter range and letter.
void CPatternT::WidenClassCase(CBufferT<char16_t>& ranges, CBufferT<char16_t>& chars) const
{
    const int range_count = ranges.GetSize();
    for (int i = 0; i + 1 < range_count; i += 2) {
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
    const int char_count = chars.GetSize();
    for (int i = 0; i < char_count; ++i) {
        const char16_t c = chars[i];
        if (c >= u'A' && c <= u'Z')
            chars.Push(AsciiLower16(c));
        if (c >= u'a' && c <= u'z')
            chars.Push(AsciiUpper16(c));
    }
}
