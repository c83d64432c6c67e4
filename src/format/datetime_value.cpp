#include "format/datetime_value.h"

#include "format/datetime.h"
#include "format/local_time.h"

#include <ctime>

namespace {

// The longest text one format letter reads.
constexpr std::size_t MAX_FIELD_LENGTH = 103;
// The longest strftime pattern, and formatted text before the names go in.
constexpr std::size_t MAX_PATTERN_LENGTH = 199;

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

// What the fields of one text have said so far, starting from the values a
// format without the field implies.
struct date_fields {
    int64_t year = 1970;
    int64_t month = 2;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
    int64_t milliseconds = 0;
    bool hour_from_12 = false;
    bool afternoon = false;
};

// One field's text, never empty and at most MAX_FIELD_LENGTH long.
struct field_text {
    const char16_t* text;
    std::size_t length;
};

// Reads a field into fields; false makes the whole text invalid.
using field_reader = bool (*)(date_fields& fields, field_text field, const tagDATETIME_WORDS& words);

// A number within [Min, Max] into one member of the fields.
template <int64_t date_fields::*Member, int64_t Min, int64_t Max>
bool ReadRanged(date_fields& fields, field_text field, const tagDATETIME_WORDS&)
{
    const int64_t number = ReadFieldNumber(field.text, field.length);
    if (number < Min || number > Max)
        return false;
    fields.*Member = number;
    return true;
}

bool ReadYear(date_fields& fields, field_text field, const tagDATETIME_WORDS&)
{
    fields.year = ReadFieldNumber(field.text, field.length);
    return true;
}

// Two digits: the year of the current century.
bool ReadShortYear(date_fields& fields, field_text field, const tagDATETIME_WORDS&)
{
    fields.year = CurrentLocalYear() / 100 * 100 + ReadFieldNumber(field.text, field.length) % 100;
    return true;
}

template <bool Full> bool ReadMonthName(date_fields& fields, field_text field, const tagDATETIME_WORDS& words)
{
    const int found = MatchMonth(Full ? words.full_name : words.nick_name, field.text, field.length);
    if (found < 0)
        return false;
    fields.month = found + 1;
    return true;
}

template <bool From12> bool ReadHour(date_fields& fields, field_text field, const tagDATETIME_WORDS& words)
{
    if (!ReadRanged < &date_fields::hour, From12 ? 1 : 0, From12 ? 12 : 23 > (fields, field, words))
        return false;
    fields.hour_from_12 = From12;
    return true;
}

// Afternoon exactly when the field is the PM word; anything else is morning.
bool ReadAmPm(date_fields& fields, field_text field, const tagDATETIME_WORDS& words)
{
    fields.afternoon = field.length == words.pm.size()
                       && std::char_traits<char16_t>::compare(field.text, words.pm.data(), field.length) == 0;
    return true;
}

struct field_rule {
    char16_t letter;
    field_reader read;
    uint32_t field; // the DATETIME_FIELD_ bit the letter gives
};

// The twelve format letters: how each reads its field and which field it is.
constexpr field_rule kFieldRules[] = {
    {u'Y', ReadYear, DATETIME_FIELD_YEAR},
    {u'y', ReadShortYear, DATETIME_FIELD_YEAR},
    {u'm', ReadRanged<&date_fields::month, 1, 12>, DATETIME_FIELD_MONTH},
    {u'B', ReadMonthName<true>, DATETIME_FIELD_MONTH},
    {u'b', ReadMonthName<false>, DATETIME_FIELD_MONTH},
    {u'd', ReadRanged<&date_fields::day, 1, 31>, DATETIME_FIELD_DAY},
    {u'H', ReadHour<false>, DATETIME_FIELD_HOUR},
    {u'h', ReadHour<true>, DATETIME_FIELD_HOUR},
    {u'M', ReadRanged<&date_fields::minute, 0, 59>, DATETIME_FIELD_MINUTE},
    {u'S', ReadRanged<&date_fields::second, 0, 59>, DATETIME_FIELD_SECOND},
    {u's', ReadRanged<&date_fields::milliseconds, 0, 999>, DATETIME_FIELD_MILLISECOND},
    {u'p', ReadAmPm, DATETIME_FIELD_AMPM},
};

// The rules by ASCII letter, for the parse loop; null for any other character.
struct field_rule_index {
    const field_rule* by_letter[128] = {};
    constexpr field_rule_index()
    {
        for (const field_rule& rule : kFieldRules)
            by_letter[rule.letter] = &rule;
    }
    const field_rule* operator[](char16_t c) const { return c < 128 ? by_letter[c] : nullptr; }
};
constexpr field_rule_index kFieldRuleOf;

} // namespace

bool IsDateTimeFormatLetter(char16_t c)
{
    return kFieldRuleOf[c] != nullptr;
}

uint32_t DateTimeFormatFields(std::u16string_view format)
{
    uint32_t fields = 0;
    for (char16_t c : format) {
        if (const field_rule* rule = kFieldRuleOf[c])
            fields |= rule->field;
    }
    return fields;
}

void ParseDateTimeValue(tagDATA_VALUE& value, const char16_t* text, std::size_t length, const tagDATA_FORMAT& format)
{
    const tagDATETIME_WORDS& words = ThreadDateTimeWords(format.language);
    const char16_t* const pattern = format.format.data();
    const std::size_t pattern_length = format.format.size();

    date_fields fields;
    bool any_letter = false;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < pattern_length; ++i) {
        const field_rule* rule = kFieldRuleOf[pattern[i]];
        if (!rule) {
            // Any other format character must appear in the text as it is.
            if (pos >= length || text[pos] != pattern[i])
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
        if (!rule->read(fields, field_text{text + pos, field_length}, words))
            return;
        pos = end;
    }
    if (!any_letter)
        return;

    if (fields.hour_from_12) {
        if (fields.hour == 12)
            fields.hour = 0;
        if (fields.afternoon)
            fields.hour += 12;
    }
    int64_t seconds = 0;
    // Outside 1970 to 3000 the conversion fails and the value keeps second 0.
    if (!LocalTimeToSeconds(fields.year, static_cast<int>(fields.month), static_cast<int>(fields.day),
                            static_cast<int>(fields.hour), static_cast<int>(fields.minute),
                            static_cast<int>(fields.second), seconds))
        seconds = 0;
    value.payload = seconds;
    value.milliseconds = static_cast<int16_t>(fields.milliseconds);
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
