#include "parser/fixed_datetime.h"

#include "format/datetime.h"
#include "format/local_time.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// How a fixed-width letter is read: its digits, its range, its slot among
// Y m d H M S s.  Width 0 for a letter read otherwise.
struct letter_rule {
    uint8_t width;
    uint8_t slot;
    int16_t least;
    int16_t most;
};

letter_rule RuleOf(char16_t letter)
{
    switch (letter) {
    case u'Y': return {4, 0, 0, 9999};
    case u'm': return {2, 1, 1, 12};
    case u'd': return {2, 2, 1, 31};
    case u'H': return {2, 3, 0, 23};
    case u'M': return {2, 4, 0, 59};
    case u'S': return {2, 5, 0, 59};
    case u's': return {3, 6, 0, 999};
    default: return {0, 0, 0, 0};
    }
}

} // namespace

fixed_datetime::fixed_datetime(const tagDATA_FORMAT& format)
{
    if (format.data_type != DATA_TYPE_DATETIME)
        return;
    const std::u16string& pattern = format.format;
    unsigned used = 0; // the slots of the letters so far
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        if (!IsDateTimeFormatLetter(c)) {
            // A digit literal could end a field inside its digits; a zero
            // marks a digit place in the shape.
            if (IsDigit(c) || c == u'\0')
                return;
            m_shape += c;
            continue;
        }
        const letter_rule rule = RuleOf(c);
        // A letter is ended by the literal after it, or by the end.
        if (rule.width == 0 || m_field_count == kMaxFields
            || (i + 1 < pattern.size() && IsDateTimeFormatLetter(pattern[i + 1])))
            return;
        // A letter given twice is left to the full parse (its last field wins).
        if (m_shape.size() + rule.width > kMaxShape || (used & (1u << rule.slot)))
            return;
        used |= 1u << rule.slot;
        m_fields[m_field_count++] =
            field{rule.slot, static_cast<uint8_t>(m_shape.size()), rule.width, rule.least, rule.most};
        m_shape.append(rule.width, u'\0');
    }
    m_usable = m_field_count > 0;
    std::fill(std::begin(m_literal_at), std::end(m_literal_at), uint16_t{0xFFFF});
    for (std::size_t i = 0; i < m_shape.size(); ++i) {
        m_padded_shape[i] = m_shape[i];
        m_literal_at[i] = m_shape[i] != u'\0' ? 0xFFFF : 0;
    }
}

bool fixed_datetime::read(const char16_t* text, std::size_t length, tagDATA_VALUE& value) const
{
    if (!m_usable || length != m_shape.size())
        return false;
#if defined(__SSE2__)
    // Eight places at a time: a literal place holds its literal, a digit
    // place a digit.  A text shorter than eight is copied and followed by
    // zeros, where the padded shape has zeros too.
    const __m128i zero_digit = _mm_set1_epi16(static_cast<short>(u'0'));
    const __m128i nine = _mm_set1_epi16(9);
    const __m128i none = _mm_setzero_si128();
    auto fits = [&](const char16_t* from, std::size_t place) {
        const __m128i got = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i literal = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_literal_at + place));
        const __m128i same =
            _mm_cmpeq_epi16(got, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_padded_shape + place)));
        // c - '0' at most 9, unsigned: below '0' it wraps to a large number.
        const __m128i digit = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(got, zero_digit), nine), none);
        const __m128i good = _mm_or_si128(_mm_and_si128(literal, same), _mm_andnot_si128(literal, digit));
        return _mm_movemask_epi8(good) == 0xFFFF;
    };
    std::size_t place = 0;
    for (; place + 8 <= length; place += 8)
        if (!fits(text + place, place))
            return false;
    if (place < length && length >= 8) {
        // The last eight places again, overlapping those checked.
        if (!fits(text + length - 8, length - 8))
            return false;
    } else if (place < length) {
        char16_t tail[8] = {};
        std::memcpy(tail, text + place, (length - place) * sizeof(char16_t));
        if (!fits(tail, place))
            return false;
    }
#else
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (m_literal_at[i] ? c != m_padded_shape[i] : !IsDigit(c))
            return false;
    }
#endif
    // Every digit place holds a digit: each field's number, checked against
    // its range (out of it the whole value is invalid), in the slots of Y m
    // d H M S s, which start from the values a format without the field
    // implies, as the full parse has them.
    int64_t fields[kSlots] = {1970, 2, 1, 0, 0, 0, 0};
    value = tagDATA_VALUE{};
    for (std::size_t f = 0; f < m_field_count; ++f) {
        const field& at = m_fields[f];
        const char16_t* d = text + at.place; // two to four digits
        int number = (d[0] - u'0') * 10 + (d[1] - u'0');
        if (at.width > 2)
            number = number * 10 + (d[2] - u'0');
        if (at.width > 3)
            number = number * 10 + (d[3] - u'0');
        if (number < at.least || number > at.most)
            return true;
        fields[at.slot] = number;
    }
    int64_t utc = 0;
    // Outside 1970 to 3000 the conversion fails and the value keeps second 0.
    if (!LocalTimeToSeconds(fields[0], static_cast<int>(fields[1]), static_cast<int>(fields[2]),
                            static_cast<int>(fields[3]), static_cast<int>(fields[4]), static_cast<int>(fields[5]), utc))
        utc = 0;
    value.payload = utc;
    value.milliseconds = static_cast<int16_t>(fields[6]);
    value.valid = true;
    return true;
}
