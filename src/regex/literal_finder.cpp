#include "regex/literal_finder.h"

#include "regex/elements.h"

void CLiteralFinder::Assign(const CBufferRefT<char16_t>& needle, bool ignore_case)
{
    Clear();
    m_ignore_case = ignore_case;
    for (int i = 0; i < needle.GetSize(); ++i)
        m_text.Push(ignore_case ? AsciiUpper16(needle[i]) : needle[i]);
    const int n = m_text.GetSize();
    m_prefix.Prepare(n - 1, 0);
    for (int i = 1, border = 0; i < n; ++i) {
        while (border > 0 && m_text[i] != m_text[border])
            border = m_prefix[border - 1];
        if (m_text[i] == m_text[border])
            ++border;
        m_prefix[i] = border;
    }
}

void CLiteralFinder::Clear()
{
    m_text.Clear();
    m_prefix.Clear();
    m_ignore_case = false;
}

bool CLiteralFinder::Same(char16_t text_char, char16_t literal_char) const
{
    return (m_ignore_case ? AsciiUpper16(text_char) : text_char) == literal_char;
}

bool CLiteralFinder::StartsAt(const char16_t* text, int length, int at) const
{
    const int n = m_text.GetSize();
    if (at < 0 || at > length - n)
        return false;
    for (int j = 0; j < n; ++j)
        if (!Same(text[at + j], m_text[j]))
            return false;
    return true;
}

int CLiteralFinder::Find(const char16_t* text, int length, int from) const
{
    const int n = m_text.GetSize();
    if (from < 0)
        from = 0;
    if (n == 0)
        return from <= length ? from : -1;
    const char16_t* pat = m_text.GetBuffer();
    const char16_t first = pat[0];
    // Characters compared after a first-character hit, beyond the scan itself.
    long long extra = 0;
    const int last = length - n;
    if (!m_ignore_case) {
        for (int i = from; i <= last; ++i) {
            if (text[i] != first)
                continue;
            int j = 1;
            while (j < n && text[i + j] == pat[j])
                ++j;
            if (j == n)
                return i;
            extra += j;
            if (extra > static_cast<long long>(i - from) + 64)
                return FindByPrefixTable(text, length, i + 1);
        }
        return -1;
    }
    for (int i = from; i <= last; ++i) {
        if (AsciiUpper16(text[i]) != first)
            continue;
        int j = 1;
        while (j < n && AsciiUpper16(text[i + j]) == pat[j])
            ++j;
        if (j == n)
            return i;
        extra += j;
        if (extra > static_cast<long long>(i - from) + 64)
            return FindByPrefixTable(text, length, i + 1);
    }
    return -1;
}

int CLiteralFinder::FindByPrefixTable(const char16_t* text, int length, int from) const
{
    const int n = m_text.GetSize();
    int matched = 0;
    for (int i = from; i < length; ++i) {
        const char16_t c = m_ignore_case ? AsciiUpper16(text[i]) : text[i];
        while (matched > 0 && c != m_text[matched])
            matched = m_prefix[matched - 1];
        if (c == m_text[matched])
            ++matched;
        if (matched == n)
            return i - n + 1;
    }
    return -1;
}
