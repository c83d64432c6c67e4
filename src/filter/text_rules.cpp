#include "filter/text_rules.h"

namespace {

// AsciiLower of platform/strings.h, inlined for the per-character loops.
inline char16_t Fold(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

} // namespace

std::u16string AsciiLowerCopy(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = Fold(c);
    return out;
}

int CompareIgnoreAsciiCase(std::u16string_view a, std::u16string_view b)
{
    for (std::size_t i = 0;; ++i) {
        const char16_t ca = i < a.size() ? Fold(a[i]) : u'\0';
        const char16_t cb = i < b.size() ? Fold(b[i]) : u'\0';
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == u'\0')
            return 0;
    }
}

bool ContainsText(std::u16string_view text, std::u16string_view needle)
{
    return text.find(needle) != std::u16string_view::npos;
}

bool ContainsTextIgnoreCase(std::u16string_view text, std::u16string_view lower_needle)
{
    const std::size_t n = lower_needle.size();
    if (n == 0)
        return true;
    if (n > text.size())
        return false;
    const char16_t first = lower_needle[0];
    const std::size_t last_start = text.size() - n;
    for (std::size_t i = 0; i <= last_start; ++i) {
        if (Fold(text[i]) != first)
            continue;
        std::size_t j = 1;
        while (j < n && Fold(text[i + j]) == lower_needle[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}
