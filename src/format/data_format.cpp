#include "format/data_format.h"

#include "format/datetime_value.h"
#include "platform/strings.h"
#include "xml/xml_file.h"

#include <tinyxml.h>

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace {

// The filter condition types that compare values.
enum : int32_t {
    COMPARE_EQUAL = 0,
    COMPARE_NOT_EQUAL = 1,
    COMPARE_GREATER = 6,
    COMPARE_GREATER_EQUAL = 7,
    COMPARE_LESS = 8,
    COMPARE_LESS_EQUAL = 9,
};

constexpr std::size_t MAX_NUMBER_TEXT = 99;
constexpr std::size_t SCRATCH_SIZE = 128;

// The decimal conversions read '.' whatever locale the application set.
locale_t CLocale()
{
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return c_locale;
}

// strtoll on the cleaned text: optional sign, then digits up to the first
// character that cannot continue the number (none reads as 0).  False when
// the number is beyond the signed 64-bit range.
bool ConvertInteger(const char* p, const char* end, int64_t& number)
{
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    number = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// strtod on the cleaned text (which holds only digits, '.', '+' and '-'),
// in the C locale.  False when the conversion reports a number out of range.
bool ConvertDouble(const char* text, double& number)
{
    errno = 0;
    number = strtod_l(text, nullptr, CLocale());
    return errno != ERANGE;
}

// The cleaned-number walk: ',' is dropped, digits, one '.', any '+' and a '-'
// as the very first character are kept; anything else makes the text
// invalid, and so does a text without digits.  Writes the cleaned text to
// cleaned (room for length + 1) when it is not null.
bool CleanNumber(const char16_t* text, std::size_t length, char* cleaned, std::size_t& size)
{
    size = 0;
    bool digit = false;
    bool point = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            digit = true;
        } else if (c == u',') {
            continue;
        } else if (c == u'.') {
            if (point)
                return false;
            point = true;
        } else if (c != u'+' && !(c == u'-' && i == 0)) {
            return false;
        }
        if (cleaned)
            cleaned[size] = static_cast<char>(c);
        ++size;
    }
    if (cleaned)
        cleaned[size] = '\0';
    return digit;
}

// The walk and the conversion in one pass, without the copy, for the common
// case.  Returns false when the caller must take the full path (the text may
// still be valid); otherwise sets valid and, when valid, the payload.
bool ParseNumberQuickly(tagDATA_VALUE& value, const char16_t* text, std::size_t length, bool decimal)
{
    enum { START, WHOLE, FRACTION, STOPPED } phase = START;
    bool negative = false;
    bool digit = false;
    bool converted = false; // a digit before the conversion stopped
    bool point = false;
    uint64_t mantissa = 0;
    int significant = 0;
    int scale = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            digit = true;
            const unsigned d = static_cast<unsigned>(c - u'0');
            if (phase == STOPPED)
                continue;
            converted = true;
            if (phase == FRACTION)
                ++scale;
            else
                phase = WHOLE;
            if (mantissa == 0 && d == 0)
                continue;
            if (++significant > (decimal ? 15 : 18))
                return false; // long numbers take the full path
            mantissa = mantissa * 10 + d;
        } else if (c == u',') {
            continue;
        } else if (c == u'.') {
            if (point) {
                value.valid = false;
                return true;
            }
            point = true;
            phase = (decimal && phase != STOPPED) ? FRACTION : STOPPED;
        } else if (c == u'+' || (c == u'-' && i == 0)) {
            if (phase == START) {
                negative = c == u'-';
                phase = WHOLE;
            } else {
                phase = STOPPED;
            }
        } else {
            value.valid = false;
            return true;
        }
    }
    if (!digit) {
        value.valid = false;
        return true;
    }
    if (!decimal) {
        const auto magnitude = static_cast<int64_t>(mantissa); // at most 18 digits
        value.payload = negative ? -magnitude : magnitude;
    } else {
        if (scale > 22)
            return false;
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        // Up to 15 significant digits scaled by an exact power of ten round
        // exactly as the full conversion does.
        const double magnitude = static_cast<double>(mantissa) / powers[scale];
        // Nothing converted reads as +0, whatever sign came first.
        const double number = negative && converted ? -magnitude : magnitude;
        std::memcpy(&value.payload, &number, sizeof number);
    }
    value.valid = true;
    return true;
}

void ParseNumber(tagDATA_VALUE& value, const char16_t* text, std::size_t length, uint8_t digit_count)
{
    if (ParseNumberQuickly(value, text, length, digit_count > 0)) {
        if (!value.valid)
            value.payload = 0;
        return;
    }
    char scratch[SCRATCH_SIZE];
    std::string large;
    char* cleaned = scratch;
    if (length >= SCRATCH_SIZE) {
        large.resize(length + 1);
        cleaned = large.data();
    }
    std::size_t size = 0;
    if (!CleanNumber(text, length, cleaned, size))
        return;
    if (digit_count == 0) {
        int64_t number = 0;
        if (!ConvertInteger(cleaned, cleaned + size, number))
            return;
        value.payload = number;
    } else {
        double number = 0.0;
        if (!ConvertDouble(cleaned, number))
            return;
        std::memcpy(&value.payload, &number, sizeof number);
    }
    value.valid = true;
}

// Four groups of 1-3 digits (each at most 255) separated by '.', read from
// the end; the last group is the least significant byte.
void ParseIpv4(tagDATA_VALUE& value, const char16_t* text, std::size_t length)
{
    if (length > 15)
        return;
    uint32_t address = 0;
    int groups = 0;
    int digits = 0;
    unsigned group = 0;
    unsigned weight = 1;
    for (std::size_t i = length; i-- > 0;) {
        const char16_t c = text[i];
        if (c == u'.') {
            if (digits == 0 || groups == 3)
                return;
            address |= group << (8 * groups);
            ++groups;
            digits = 0;
            group = 0;
            weight = 1;
        } else if (c >= u'0' && c <= u'9') {
            if (digits == 3)
                return;
            group += static_cast<unsigned>(c - u'0') * weight;
            weight *= 10;
            ++digits;
            if (group > 255)
                return;
        } else {
            return;
        }
    }
    if (digits == 0 || groups != 3)
        return;
    address |= group << 24;
    value.payload = address;
    value.valid = true;
}

bool FormatNumber(const tagDATA_VALUE& value, const tagDATA_FORMAT& format, std::u16string& text)
{
    char printed[SCRATCH_SIZE];
    std::to_chars_result result;
    if (format.digit_count == 0) {
        result = std::to_chars(printed, printed + sizeof printed, value.payload);
    } else {
        double number = 0.0;
        std::memcpy(&number, &value.payload, sizeof number);
        result = std::to_chars(printed, printed + sizeof printed, number, std::chars_format::fixed,
                               static_cast<int>(format.digit_count));
    }
    if (result.ec != std::errc())
        return false;
    const std::size_t length = static_cast<std::size_t>(result.ptr - printed);
    if (length > MAX_NUMBER_TEXT)
        return false;

    std::u16string formatted;
    formatted.reserve(length + length / 3 + 1);
    if (!format.separator_1000) {
        for (std::size_t i = 0; i < length; ++i)
            formatted += static_cast<char16_t>(printed[i]);
        text = std::move(formatted);
        return true;
    }
    const char* point = static_cast<const char*>(std::memchr(printed, '.', length));
    const char* integer_end = point ? point : printed + length;
    const char* digits = printed;
    if (digits < integer_end && *digits == '-') {
        formatted += u'-';
        ++digits;
    }
    const std::size_t integer_digits = static_cast<std::size_t>(integer_end - digits);
    for (std::size_t i = 0; i < integer_digits; ++i) {
        if (i > 0 && (integer_digits - i) % 3 == 0)
            formatted += u',';
        formatted += static_cast<char16_t>(digits[i]);
    }
    for (const char* p = integer_end; p < printed + length; ++p)
        formatted += static_cast<char16_t>(*p);
    text = std::move(formatted);
    return true;
}

template <typename T> bool Relate(T a, T b, int32_t filter_type)
{
    switch (filter_type) {
    case COMPARE_EQUAL: return a == b;
    case COMPARE_NOT_EQUAL: return a != b;
    case COMPARE_GREATER: return a > b;
    case COMPARE_GREATER_EQUAL: return a >= b;
    case COMPARE_LESS: return a < b;
    case COMPARE_LESS_EQUAL: return a <= b;
    default: return false;
    }
}

double PayloadAsDouble(const tagDATA_VALUE& value)
{
    double number = 0.0;
    std::memcpy(&number, &value.payload, sizeof number);
    return number;
}

// atoi on element text: leading white space, a sign, digits; saturating.
long ReadXmlInteger(const std::u16string& text)
{
    const std::string narrow = ToUtf8(text);
    errno = 0;
    return std::strtol(narrow.c_str(), nullptr, 10);
}

const char16_t* const TYPE_KEYWORDS[] = {u"text", u"numeric", u"ipv4", u"datetime"};

} // namespace

void ParseDataValue(tagDATA_VALUE& value, const char16_t* text, std::size_t length, const tagDATA_FORMAT& format)
{
    value = tagDATA_VALUE{};
    if (!text || length == 0)
        return;
    switch (format.data_type) {
    case DATA_TYPE_NUMERIC: ParseNumber(value, text, length, format.digit_count); break;
    case DATA_TYPE_IPV4: ParseIpv4(value, text, length); break;
    case DATA_TYPE_DATETIME: ParseDateTimeValue(value, text, length, format); break;
    default: break;
    }
}

bool FormatDataValue(const tagDATA_VALUE& value, const tagDATA_FORMAT& format, std::u16string& text)
{
    switch (format.data_type) {
    case DATA_TYPE_NUMERIC: return FormatNumber(value, format, text);
    case DATA_TYPE_IPV4: {
        const auto address = static_cast<uint32_t>(value.payload);
        std::string dotted;
        for (int shift = 24; shift >= 0; shift -= 8) {
            dotted += std::to_string((address >> shift) & 0xFF);
            if (shift > 0)
                dotted += '.';
        }
        text.assign(dotted.begin(), dotted.end());
        return true;
    }
    case DATA_TYPE_DATETIME: return FormatDateTimeValue(value, format, text);
    default: return false;
    }
}

bool CompareDataValues(const tagDATA_VALUE& column, const tagDATA_VALUE& reference, const tagDATA_FORMAT& format,
                       int32_t filter_type)
{
    switch (format.data_type) {
    case DATA_TYPE_NUMERIC:
        if (format.digit_count == 0)
            return Relate(column.payload, reference.payload, filter_type);
        return Relate(PayloadAsDouble(column), PayloadAsDouble(reference), filter_type);
    case DATA_TYPE_IPV4:
        return Relate(static_cast<uint32_t>(column.payload), static_cast<uint32_t>(reference.payload), filter_type);
    case DATA_TYPE_DATETIME: {
        const int64_t ms_column = column.milliseconds;
        const int64_t ms_reference = reference.milliseconds;
        if (column.payload != reference.payload)
            return Relate(column.payload, reference.payload, filter_type);
        return Relate(ms_column, ms_reference, filter_type);
    }
    default: return false;
    }
}

TiXmlElement* DataFormatToXml(const tagDATA_FORMAT& format)
{
    if (format.data_type < DATA_TYPE_TEXT || format.data_type > DATA_TYPE_DATETIME)
        return nullptr;
    auto* element = new TiXmlElement("data_format");
    AddXmlTextChild(element, "data_type", TYPE_KEYWORDS[format.data_type]);
    if (format.data_type == DATA_TYPE_NUMERIC) {
        AddXmlTextChild(element, "separator_1000", format.separator_1000 ? u"1" : u"0");
        const std::string count = std::to_string(format.digit_count);
        AddXmlTextChild(element, "digit_count", std::u16string(count.begin(), count.end()));
    } else if (format.data_type == DATA_TYPE_DATETIME) {
        AddXmlTextChild(element, "format", format.format);
        AddXmlTextChild(element, "language", format.language);
    }
    return element;
}

bool DataFormatFromXml(tagDATA_FORMAT& format, const TiXmlElement* element)
{
    if (!element || element->ValueStr() != "data_format")
        return false;
    std::u16string keyword;
    if (!ReadXmlChildText(element, "data_type", keyword) || keyword.empty())
        return false;
    if (keyword == TYPE_KEYWORDS[DATA_TYPE_TEXT]) {
        format.data_type = DATA_TYPE_TEXT;
        return true;
    }
    if (keyword == TYPE_KEYWORDS[DATA_TYPE_NUMERIC]) {
        format.data_type = DATA_TYPE_NUMERIC;
        if (!element->FirstChildElement("separator_1000") || !element->FirstChildElement("digit_count"))
            return false;
        std::u16string text;
        if (ReadXmlChildText(element, "separator_1000", text) && !text.empty())
            format.separator_1000 = ReadXmlInteger(text) != 0;
        text.clear();
        if (ReadXmlChildText(element, "digit_count", text) && !text.empty()) {
            const long count = ReadXmlInteger(text);
            format.digit_count = static_cast<uint8_t>(count < 0                  ? 0
                                                      : count >= MAX_DIGIT_COUNT ? MAX_DIGIT_COUNT
                                                                                 : count);
        }
        return true;
    }
    if (keyword == TYPE_KEYWORDS[DATA_TYPE_IPV4]) {
        format.data_type = DATA_TYPE_IPV4;
        return true;
    }
    if (keyword == TYPE_KEYWORDS[DATA_TYPE_DATETIME]) {
        format.data_type = DATA_TYPE_DATETIME;
        if (!element->FirstChildElement("format") || !element->FirstChildElement("language"))
            return false;
        std::u16string text;
        if (ReadXmlChildText(element, "format", text) && !text.empty())
            format.format = text;
        text.clear();
        if (ReadXmlChildText(element, "language", text) && !text.empty())
            format.language = text;
        return true;
    }
    return false;
}
