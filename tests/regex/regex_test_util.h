// Helpers shared by the expression-engine tests.
#pragma once

#include <string>
#include <vector>

#include "regex/regex.h"

// One table row: pattern, flags, text, and the expected span of the whole
// match (-1, -1: no match).
struct SpanCase {
    const char16_t* pattern;
    int flags;
    std::u16string text;
    int start;
    int end;
};

// Printable form of a UTF-16 text for failure messages (non-ASCII as \uXXXX).
inline std::string Show(std::u16string_view text)
{
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (char16_t c : text) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(c >> shift) & 15];
        }
    }
    return out;
}

// Span of group 0, or (-1, -1) when nothing matched.
inline std::pair<int, int> SearchSpan(const char16_t* pattern, int flags, std::u16string_view text)
{
    CPatternT compiled;
    compiled.Compile(std::u16string_view(pattern), flags);
    const CMatchResultT result = compiled.Match(text);
    if (!result.IsMatched())
        return {-1, -1};
    return {result.GetStart(), result.GetEnd()};
}
