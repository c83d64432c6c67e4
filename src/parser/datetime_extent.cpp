#include "parser/datetime_extent.h"

#include "format/datetime.h"

#include <array>
#include <string>

namespace {

constexpr std::size_t kMaxField = 103;

bool IsBlank(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Blanks, one sign and at least one digit from pos; the end, or npos.
std::size_t NumberEnd(const char16_t* text, std::size_t length, std::size_t pos)
{
    const std::size_t limit = length - pos > kMaxField ? pos + kMaxField : length;
    std::size_t i = pos;
    while (i < limit && IsBlank(text[i]))
        ++i;
    if (i < limit && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const std::size_t digits = i;
    while (i < limit && IsDigit(text[i]))
        ++i;
    return i > digits ? i : kNoDateTimeExtent;
}

// The end of the longest word of words that text begins with at pos, or npos.
template <std::size_t N>
std::size_t WordEnd(const char16_t* text, std::size_t length, std::size_t pos,
                    const std::array<const std::u16string*, N>& words)
{
    std::size_t best = kNoDateTimeExtent;
    for (const std::u16string* word : words) {
        const std::size_t size = word->size();
        if (size == 0 || size > kMaxField || size > length - pos)
            continue;
        if (std::u16string_view(text + pos, size) == *word && (best == kNoDateTimeExtent || pos + size > best))
            best = pos + size;
    }
    return best;
}

template <std::size_t N> std::array<const std::u16string*, N> Pointers(const std::array<std::u16string, N>& names)
{
    std::array<const std::u16string*, N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = &names[i];
    return out;
}

} // namespace

std::size_t DateTimeExtent(const char16_t* text, std::size_t length, const tagDATA_FORMAT& format)
{
    const tagDATETIME_WORDS& words = ThreadDateTimeWords(format.language);
    bool any_letter = false;
    std::size_t pos = 0;
    for (const char16_t c : format.format) {
        if (!IsDateTimeFormatLetter(c)) {
            if (pos >= length || text[pos] != c)
                return kNoDateTimeExtent;
            ++pos;
            continue;
        }
        any_letter = true;
        if (pos >= length)
            return kNoDateTimeExtent;
        std::size_t end;
        switch (c) {
        case u'B': end = WordEnd(text, length, pos, Pointers(words.full_name)); break;
        case u'b': end = WordEnd(text, length, pos, Pointers(words.nick_name)); break;
        case u'p': end = WordEnd(text, length, pos, std::array<const std::u16string*, 2>{&words.am, &words.pm}); break;
        default: end = NumberEnd(text, length, pos); break;
        }
        if (end == kNoDateTimeExtent)
            return kNoDateTimeExtent;
        pos = end;
    }
    return any_letter ? pos : kNoDateTimeExtent;
}

bool DateTimeCoversWhole(const char16_t* text, std::size_t length, const tagDATA_FORMAT& format)
{
    return length > 0 && DateTimeExtent(text, length, format) == length;
}
