// The tokenizer: turns the pattern text into tokens (a character, and whether
// it is a syntax character), with two tokens of look-ahead.  Escapes are
// decoded here; quoted text, comments and skipped escapes produce no token.
#include "regex/compile_util.h"

// Shifts the look-ahead by one token and scans the one after next.
void CPatternT::MoveNext()
{
    m_curr = m_next;
    m_next = m_after;
    while (!Scan(m_after)) {}
}

// Reads at most max_digits hexadecimal digits of the pattern from index from;
// value takes the low 16 bits of what they spell.  Returns the digits read.
int CPatternT::ScanHex(int from, int max_digits, int& value) const
{
    unsigned int v = 0;
    int digits = 0;
    while (digits < max_digits && from + digits < m_pattern.GetSize() && HexValue(m_pattern[from + digits]) >= 0) {
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
    const int p = m_scan_pos;
    const int len = m_pattern.GetSize();
    if (p >= len) {
        token = PatternToken{0, true, p, 0};
        return true;
    }
    const char16_t ch = m_pattern[p];
    if (m_quoted) {
        if (ch == u'\\' && p + 1 < len && m_pattern[p + 1] == u'E') {
            m_quoted = false;
            m_quote_conversion = kNoConversion;
            m_scan_pos += 2;
            return false;
        }
        char16_t v = ch;
        if (m_quote_conversion == kToLower)
            v = AsciiLower16(v);
        if (m_quote_conversion == kToUpper)
            v = AsciiUpper16(v);
        token = PatternToken{v, false, p, 1};
        m_scan_pos += 1;
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
    case u'}': token.meta = m_bracket_depth <= 0; break;
    case u'(':
        if (CharAt(p + 1) == u'?' && CharAt(p + 2) == u'#' && p + 2 < len) {
            int close = p + 3;
            while (close < len && m_pattern[close] != u')')
                ++close;
            if (close < len) {
                m_scan_pos = close + 1;
                return false;
            }
            // An unclosed comment: the "(" opens a group that the end of the pattern leaves open.
            m_scan_pos = len;
            token.meta = true;
            return true;
        }
        token.meta = m_bracket_depth <= 0;
        break;
    case u'-': token.meta = m_bracket_depth > 0; break;
    case u':': token.meta = m_next.meta && m_next.value == u'['; break;
    case u'[':
        if (m_bracket_depth <= 0 || (p + 1 < len && m_pattern[p + 1] == u':')) {
            ++m_bracket_depth;
            token.meta = true;
        }
        break;
    case u']':
        if (m_bracket_depth > 0) {
            --m_bracket_depth;
            token.meta = true;
        }
        break;
    case u'^':
        token.meta = m_bracket_depth <= 0 || (m_next.meta && m_next.value == u'[')
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
    m_scan_pos += token.length;
    return true;
}

// A backslash and the character after it: a class or anchor escape (meta), a
// decoded literal, or a quote or case switch (no token: returns false).
bool CPatternT::ScanEscape(PatternToken& token)
{
    const int p = m_scan_pos;
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
        if (m_bracket_depth > 0) {
            m_scan_pos += 2;
            return false;
        }
        token.meta = true;
        break;
    case u'b':
        if (m_bracket_depth > 0)
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
        m_quoted = true;
        m_scan_pos += 2;
        return false;
    case u'L':
    case u'U':
        if (m_quote_conversion == kNoConversion)
            m_quote_conversion = e == u'L' ? kToLower : kToUpper;
        m_quoted = true;
        m_scan_pos += 2;
        return false;
    case u'E':
        m_quote_conversion = kNoConversion;
        m_scan_pos += 2;
        return false;
    default: break;
    }
    m_scan_pos += token.length;
    return true;
}
