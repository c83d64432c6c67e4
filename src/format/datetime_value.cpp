#include "format/datetime_value.h"

#include "format/datetime.h"
#include "format/local_time.h"

#include <ctime>

namespace {

// The longest text one format letter reads.
constexpr std::size_t MAX_FIELD_LENGTH = 103;
// The longest strftime pattern, and formatted text before the names go in.
constexpr std::size_t MAX_PATTERN_LENGTH = 199;

// IsDateTimeFormatLetter, inlined for the parse loop.
bool IsLetter(char16_t c)
{
    // Bits for 'B' 'H' 'M' 'S' 'Y' (from 'A') and 'b' 'd' 'h' 'm' 'p' 's' 'y' (from 'a').
    constexpr uint32_t upper =
        1u << ('B' - 'A') | 1u << ('H' - 'A') | 1u << ('M' - 'A') | 1u << ('S' - 'A') | 1u << ('Y' - 'A');
    constexpr uint32_t lower = 1u << ('b' - 'a') | 1u << ('d' - 'a') | 1u << ('h' - 'a') | 1u << ('m' - 'a')
                               | 1u << ('p' - 'a') | 1u << ('s' - 'a') | 1u << ('y' - 'a');
    if (c >= u'A' && c <= u'Z')
        return upper >> (c - u'A') & 1u;
    if (c >= u'a' && c <= u'z')
        return lower >> (c - u'a') & 1u;
    return false;
}

// The leading decimal number of a field: leading white space, one sign, then
// digits up to the first non-digit; no digits reads as 0.  Saturates far
// beyond every field's range.
int64_t ReadFieldNumber(const char16_t* p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && (p[i] == u' ' || (p[i] >= u'\t' && p[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == u'+' || p[i] == u'-')) {
        negative = p[i] == u'-';
        ++i;
    }
    int64_t number = 0;
    for (; i < n && p[i] >= u'0' && p[i] <= u'9'; ++i) {
        if (number < 1000000000000LL)
            number = number * 10 + (p[i] - u'0');
    }
    return negative ? -number : number;
}

// Index (0-11) of the month whose name equals the field exactly, or -1.
int MatchMonth(const std::array<std::u16string, 12>& names, const char16_t* p, std::size_t n)
{
    for (int month = 0; month < 12; ++month) {
        const std::u16string& name = names[month];
        if (name.size() != n || name[0] != p[0])
            continue;
        std::size_t i = 1;
        while (i < n && name[i] == p[i])
            ++i;
        if (i == n)
            return month;
    }
    return -1;
}

void AppendTwoDigits(std::u16string& text, int number)
{
    text += static_cast<char16_t>(u'0' + number / 10 % 10);
    text += static_cast<char16_t>(u'0' + number % 10);
}

} // namespace

void ParseDateTimeValue(tagDATA_VALUE& value, const char16_t* text, std::size_t length, const tagDATA_FORMAT& format)
{
    const tagDATETIME_WORDS& words = ThreadDateTimeWords(format.language);
    const char16_t* const pattern = format.format.data();
    const std::size_t pattern_length = format.format.size();

    int64_t year = 1970;
    int64_t month = 2;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    int64_t milliseconds = 0;
    bool hour_from_12 = false;
    bool afternoon = false;
    bool any_letter = false;
    std::size_t pos = 0;

    for (std::size_t i = 0; i < pattern_length; ++i) {
        const char16_t letter = pattern[i];
        if (!IsLetter(letter)) {
            if (pos >= length || text[pos] != letter)
                return;
            ++pos;
            continue;
        }
        any_letter = true;
        // The field runs to the terminator (the next format character) or, for
        // the last letter, to the end.  A terminator further away than the
        // longest field makes the text invalid either way, so the search
        // stops there.
        std::size_t end;
        if (i + 1 < pattern_length) {
            const char16_t terminator = pattern[i + 1];
            const std::size_t limit = length - pos > MAX_FIELD_LENGTH ? pos + MAX_FIELD_LENGTH + 1 : length;
            end = pos;
            while (end < limit && text[end] != terminator)
                ++end;
            if (end == limit)
                return;
        } else {
            end = length;
        }
        const std::size_t field_length = end - pos;
        if (field_length == 0 || field_length > MAX_FIELD_LENGTH)
            return;
        const char16_t* const field = text + pos;
        pos = end;

        switch (letter) {
        case u'Y': year = ReadFieldNumber(field, field_length); break;
        case u'y': year = CurrentLocalYear() / 100 * 100 + ReadFieldNumber(field, field_length) % 100; break;
        case u'm':
            month = ReadFieldNumber(field, field_length);
            if (month < 1 || month > 12)
                return;
            break;
        case u'B':
        case u'b': {
            const int found = MatchMonth(letter == u'B' ? words.full_name : words.nick_name, field, field_length);
            if (found < 0)
                return;
            month = found + 1;
            break;
        }
        case u'd':
            day = ReadFieldNumber(field, field_length);
            if (day < 1 || day > 31)
                return;
            break;
        case u'H':
            hour = ReadFieldNumber(field, field_length);
            if (hour < 0 || hour > 23)
                return;
            hour_from_12 = false;
            break;
        case u'h':
            hour = ReadFieldNumber(field, field_length);
            if (hour < 1 || hour > 12)
                return;
            hour_from_12 = true;
            break;
        case u'M':
            minute = ReadFieldNumber(field, field_length);
            if (minute < 0 || minute > 59)
                return;
            break;
        case u'S':
            second = ReadFieldNumber(field, field_length);
            if (second < 0 || second > 59)
                return;
            break;
        case u's':
            milliseconds = ReadFieldNumber(field, field_length);
            if (milliseconds < 0 || milliseconds > 999)
                return;
            break;
        case u'p':
            afternoon = field_length == words.pm.size()
                        && std::char_traits<char16_t>::compare(field, words.pm.data(), field_length) == 0;
            break;
        default: break;
        }
    }
    if (!any_letter)
        return;

    if (hour_from_12) {
        if (hour == 12)
            hour = 0;
        if (afternoon)
            hour += 12;
    }
    int64_t seconds = 0;
    // Outside 1970 to 3000 the conversion fails and the value keeps second 0.
    if (!LocalTimeToSeconds(year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                            static_cast<int>(minute), static_cast<int>(second), seconds))
        seconds = 0;
    value.payload = seconds;
    value.milliseconds = static_cast<int16_t>(milliseconds);
    value.valid = true;
}

bool FormatDateTimeValue(const tagDATA_VALUE& value, const tagDATA_FORMAT& format, std::u16string& text)
{
    const tagDATETIME_WORDS& words = ThreadDateTimeWords(format.language);
    if (value.payload < 0 || value.payload > LATEST_CONVERTIBLE_SECONDS)
        return false;
    const time_t seconds = static_cast<time_t>(value.payload);
    tm local{};
    if (!localtime_r(&seconds, &local))
        return false;
    if (value.milliseconds < 0 || value.milliseconds > 999)
        return false;

    // The limits of the strftime translation: the pattern, and the text it
    // formats with every name still a single placeholder letter.
    std::size_t pattern_length = 0;
    std::size_t formatted_length = 0;
    for (char16_t c : format.format) {
        switch (c) {
        case u'Y':
            pattern_length += 2;
            formatted_length += 4;
            break;
        case u'y':
        case u'm':
        case u'd':
        case u'H':
        case u'h':
        case u'M':
        case u'S':
            pattern_length += 2;
            formatted_length += 2;
            break;
        case u'%':
            pattern_length += 2;
            formatted_length += 1;
            break;
        default:
            pattern_length += 1;
            formatted_length += 1;
            break;
        }
    }
    if (pattern_length > MAX_PATTERN_LENGTH || formatted_length > MAX_PATTERN_LENGTH)
        return false;

    // Each field is written in one pass, so a name that happens to contain a
    // format letter or a placeholder is never replaced again.
    const int year = local.tm_year + 1900;
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    std::u16string result;
    result.reserve(formatted_length + 16);
    for (char16_t c : format.format) {
        switch (c) {
        case u'Y':
            AppendTwoDigits(result, year / 100);
            AppendTwoDigits(result, year % 100);
            break;
        case u'y': AppendTwoDigits(result, year % 100); break;
        case u'm': AppendTwoDigits(result, local.tm_mon + 1); break;
        case u'd': AppendTwoDigits(result, local.tm_mday); break;
        case u'H': AppendTwoDigits(result, local.tm_hour); break;
        case u'h': AppendTwoDigits(result, hour12); break;
        case u'M': AppendTwoDigits(result, local.tm_min); break;
        case u'S': AppendTwoDigits(result, local.tm_sec); break;
        case u's':
            result += static_cast<char16_t>(u'0' + value.milliseconds / 100);
            AppendTwoDigits(result, value.milliseconds % 100);
            break;
        case u'B': result += words.full_name[local.tm_mon]; break;
        case u'b': result += words.nick_name[local.tm_mon]; break;
        case u'p': result += local.tm_hour < 12 ? words.am : words.pm; break;
        default: result += c; break;
        }
    }
    text = std::move(result);
    return true;
}
