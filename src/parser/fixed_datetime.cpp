#include "parser/fixed_datetime.h"

#include "format/datetime.h"
#include "format/local_time.h"

#include <algorithm>
#include <atomic>
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

// Slots 5 and 6: the seconds and milliseconds, read anew for each text of a
// kept date and minute.
constexpr uint8_t kFirstFineSlot = 5;

// A thread's last reading: the characters before its seconds, and the
// seconds since the epoch of that date and minute.
struct kept_reading {
    uint64_t reader = 0;
    uint64_t zone = 0; // LocalTimeZoneGeneration when it was made
    int64_t minute_seconds = 0;
    char16_t prefix[fixed_datetime::kMostKeptPrefix] = {};
};

thread_local kept_reading t_kept;

std::atomic<uint64_t> g_next_reader{1};

bool SamePrefix(const char16_t* a, const char16_t* b, std::size_t length)
{
#if defined(__SSE2__)
    if (length >= 8) {
        auto same = [&](std::size_t at) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
            return _mm_movemask_epi8(_mm_cmpeq_epi16(x, y)) == 0xFFFF;
        };
        std::size_t at = 0;
        for (; at + 8 <= length; at += 8)
            if (!same(at))
                return false;
        return at == length || same(length - 8);
    }
#endif
    return std::memcmp(a, b, length * sizeof(char16_t)) == 0;
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
    // A reading is kept when the seconds and milliseconds come after every
    // other field.
    std::size_t fine = 0;
    while (fine < m_field_count && m_fields[fine].slot < kFirstFineSlot)
        ++fine;
    bool ordered = true;
    for (std::size_t f = fine; f < m_field_count; ++f)
        ordered = ordered && m_fields[f].slot >= kFirstFineSlot;
    const std::size_t prefix = fine < m_field_count ? m_fields[fine].place : m_shape.size();
    if (ordered && prefix > 0 && prefix <= kMostKeptPrefix) {
        m_number = g_next_reader.fetch_add(1);
        m_kept_prefix = prefix;
        m_first_fine = fine;
    }
}

bool fixed_datetime::fits_shape(const char16_t* text, std::size_t length, std::size_t from) const
{
#if defined(__SSE2__)
    // Eight places at a time: a literal place holds its literal, a digit
    // place a digit.  A text shorter than eight is copied and followed by
    // zeros, where the padded shape has zeros too.
    const __m128i zero_digit = _mm_set1_epi16(static_cast<short>(u'0'));
    const __m128i nine = _mm_set1_epi16(9);
    const __m128i none = _mm_setzero_si128();
    auto fits = [&](const char16_t* from_text, std::size_t place) {
        const __m128i got = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from_text));
        const __m128i literal = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_literal_at + place));
        const __m128i same =
            _mm_cmpeq_epi16(got, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_padded_shape + place)));
        // c - '0' at most 9, unsigned: below '0' it wraps to a large number.
        const __m128i digit = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(got, zero_digit), nine), none);
        const __m128i good = _mm_or_si128(_mm_and_si128(literal, same), _mm_andnot_si128(literal, digit));
        return _mm_movemask_epi8(good) == 0xFFFF;
    };
    std::size_t place = from;
    for (; place + 8 <= length; place += 8)
        if (!fits(text + place, place))
            return false;
    if (place < length && length >= 8) {
        // The last eight places again, overlapping those checked.
        return fits(text + length - 8, length - 8);
    } else if (place < length) {
        char16_t tail[8] = {};
        std::memcpy(tail, text + place, (length - place) * sizeof(char16_t));
        return fits(tail, place);
    }
    return true;
#else
    for (std::size_t i = from; i < length; ++i) {
        const char16_t c = text[i];
        if (m_literal_at[i] ? c != m_padded_shape[i] : !IsDigit(c))
            return false;
    }
    return true;
#endif
}

bool fixed_datetime::read(const char16_t* text, std::size_t length, tagDATA_VALUE& value) const
{
    if (!m_usable || length != m_shape.size())
        return false;
    kept_reading& kept = t_kept;
    const uint64_t zone = m_kept_prefix > 0 ? LocalTimeZoneGeneration() : 0;
    const bool same_minute = m_kept_prefix > 0 && kept.reader == m_number && kept.zone == zone
                             && SamePrefix(text, kept.prefix, m_kept_prefix);
    if (!fits_shape(text, length, same_minute ? m_kept_prefix : 0))
        return false;
    // Every digit place holds a digit: each field's number, checked against
    // its range (out of it the whole value is invalid), in the slots of Y m
    // d H M S s, which start from the values a format without the field
    // implies, as the full parse has them.
    int64_t fields[kSlots] = {1970, 2, 1, 0, 0, 0, 0};
    value = tagDATA_VALUE{};
    for (std::size_t f = same_minute ? m_first_fine : 0; f < m_field_count; ++f) {
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
    if (same_minute) {
        utc = kept.minute_seconds + fields[5];
    } else {
        // Outside 1970 to 3000 the conversion fails and the value keeps
        // second 0.
        bool one_offset_day = false;
        if (LocalTimeToSeconds(fields[0], static_cast<int>(fields[1]), static_cast<int>(fields[2]),
                               static_cast<int>(fields[3]), static_cast<int>(fields[4]), static_cast<int>(fields[5]),
                               utc, one_offset_day)) {
            // Kept when any second of the minute converts as this one did.
            const int64_t minute_seconds = utc - fields[5];
            if (m_kept_prefix > 0 && one_offset_day && minute_seconds >= 0
                && minute_seconds + 59 <= LATEST_CONVERTIBLE_SECONDS) {
                kept.reader = m_number;
                kept.zone = zone;
                kept.minute_seconds = minute_seconds;
                std::memcpy(kept.prefix, text, m_kept_prefix * sizeof(char16_t));
            }
        } else {
            utc = 0;
        }
    }
    value.payload = utc;
    value.milliseconds = static_cast<int16_t>(fields[6]);
    value.valid = true;
    return true;
}
