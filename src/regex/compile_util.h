// What the tokenizer, the parser and the resolution share: character tests of
// the pattern syntax, the two ways a pattern spells a number, and the one way
// an element is created.
#pragma once

#include "regex/elements.h"

inline bool IsSpace16(char16_t c)
{
    return c == u' ' || (c >= 9 && c <= 13);
}

inline bool IsDigit16(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Value of a hexadecimal digit (either case), or -1.
inline int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// True when text reads as a decimal number of at most 6 digits, with optional
// white space around it and nothing else; number then holds it.
bool ReadsAsNumber(const CBufferRefT<char16_t>& text, int& number);

// Reads white space and at most 6 significant digits (further digits are
// skipped) from text at i, moving i past them.  Returns whether a digit was there.
bool ReadCount(const CBufferRefT<char16_t>& text, int& i, int& value);

// Every element is created here: the pool owns it from birth.
template <class E, class... A> E* CPatternT::Build(A&&... args)
{
    E* elx = new E(static_cast<A&&>(args)...);
    m_pool.Push(elx);
    return elx;
}
