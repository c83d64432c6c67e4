#include "parser/fixed_datetime.h"

#include "format/datetime.h"
#include "format/local_time.h"

namespace {

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The digits a fixed-width letter takes, or 0 for a letter read otherwise.
uint8_t FixedWidth(char16_t letter)
{
    switch (letter) {
    case u'Y': return 4;
    case u'm':
    case u'd':
    case u'H':
    case u'M':
    case u'S': return 2;
    case u's': return 3;
    default: return 0;
    }
}

} // namespace

fixed_datetime::fixed_datetime(const tagDATA_FORMAT& format)
{
    if (format.data_type != DATA_TYPE_DATETIME)
        return;
    const std::u16string& pattern = format.format;
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
        const uint8_t width = FixedWidth(c);
        // A letter is ended by the literal after it, or by the end.
        if (width == 0 || m_field_count == kMaxFields
            || (i + 1 < pattern.size() && IsDateTimeFormatLetter(pattern[i + 1])))
            return;
        if (m_shape.size() + width > 255)
            return;
        m_fields[m_field_count++] = field{static_cast<uint8_t>(m_shape.size()), width, c};
        m_shape.append(width, u'\0');
    }
    m_usable = m_field_count > 0;
}

bool fixed_datetime::read(const char16_t* text, std::size_t length, tagDATA_VALUE& value) const
{
    if (!m_usable || length != m_shape.size())
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t want = m_shape[i];
        if (want == u'\0' ? !IsDigit(text[i]) : text[i] != want)
            return false;
    }
    // The values a format without the field implies, as the full parse has them.
    int64_t year = 1970;
    int64_t month = 2;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    int64_t milliseconds = 0;
    value = tagDATA_VALUE{};
    for (std::size_t f = 0; f < m_field_count; ++f) {
        const field& at = m_fields[f];
        int64_t number = 0;
        for (std::size_t k = 0; k < at.width; ++k)
            number = number * 10 + (text[at.at + k] - u'0');
        switch (at.letter) {
        case u'Y': year = number; break;
        case u'm': month = number; break;
        case u'd': day = number; break;
        case u'H': hour = number; break;
        case u'M': minute = number; break;
        case u'S': second = number; break;
        default: milliseconds = number; break;
        }
        // Out of its range the whole value is invalid.
        const bool in_range = (at.letter != u'm' || (number >= 1 && number <= 12))
                              && (at.letter != u'd' || (number >= 1 && number <= 31))
                              && (at.letter != u'H' || number <= 23)
                              && ((at.letter != u'M' && at.letter != u'S') || number <= 59);
        if (!in_range)
            return true;
    }
    int64_t seconds = 0;
    // Outside 1970 to 3000 the conversion fails and the value keeps second 0.
    if (!LocalTimeToSeconds(year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                            static_cast<int>(minute), static_cast<int>(second), seconds))
        seconds = 0;
    value.payload = seconds;
    value.milliseconds = static_cast<int16_t>(milliseconds);
    value.valid = true;
    return true;
}
