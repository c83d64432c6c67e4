#include "parser/fixed_datetime.h"

#include "format/datetime.h"
#include "format/local_time.h"

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
        m_fields[m_field_count++] = field{rule.slot, rule.least, rule.most};
        for (uint8_t k = 0; k < rule.width; ++k)
            m_slot_at[m_shape.size() + k] = rule.slot;
        m_shape.append(rule.width, u'\0');
    }
    m_usable = m_field_count > 0;
}

bool fixed_datetime::read(const char16_t* text, std::size_t length, tagDATA_VALUE& value) const
{
    if (!m_usable || length != m_shape.size())
        return false;
    // The shape and the fields' numbers in one pass.
    int64_t numbers[kSlots] = {};
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        const char16_t want = m_shape[i];
        if (want != u'\0') {
            if (c != want)
                return false;
        } else {
            if (!IsDigit(c))
                return false;
            int64_t& number = numbers[m_slot_at[i]];
            number = number * 10 + (c - u'0');
        }
    }
    // Y m d H M S s, from the values a format without the field implies, as
    // the full parse has them.
    int64_t fields[kSlots] = {1970, 2, 1, 0, 0, 0, 0};
    value = tagDATA_VALUE{};
    for (std::size_t f = 0; f < m_field_count; ++f) {
        const field& at = m_fields[f];
        const int64_t number = numbers[at.slot];
        // Out of its range the whole value is invalid.
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
