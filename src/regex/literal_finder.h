// Finding a fixed text inside a 16-bit text, in time linear in both lengths,
// for the search's prefilters (a text every match begins with or contains).
#pragma once

#include "regex/buffer.h"

// Immutable once assigned, so any number of threads may search with it.
class CLiteralFinder {
public:
    // Takes needle as the text to find; ignore_case folds ASCII letters.
    void Assign(const CBufferRefT<char16_t>& needle, bool ignore_case);
    void Clear();
    bool IsEmpty() const { return m_text.IsEmpty(); }
    int GetSize() const { return m_text.GetSize(); }

    // First index at or after from where the text occurs in text[0..length),
    // or -1; from itself (clamped to 0) for an empty literal.  Scans for the
    // first character and compares at each candidate; once the comparisons
    // have read more than the scan, it continues with the prefix-function
    // search, which reads every character at most twice.
    int Find(const char16_t* text, int length, int from) const;
    // True when the text occurs at position at of text[0..length).
    bool StartsAt(const char16_t* text, int length, int at) const;

private:
    bool Same(char16_t text_char, char16_t literal_char) const;
    int FindByPrefixTable(const char16_t* text, int length, int from) const;

    CBufferT<char16_t> m_text; // upper-cased when ignoring case
    CBufferT<int> m_prefix;    // m_prefix[i]: longest proper border of m_text[0..i]
    bool m_ignore_case = false;
};
