// Column data formats and typed values: how a column's text is read as a
// number, an IPv4 address or a date-time, and how typed values format back
// and compare.
//
// ParseDataValue, FormatDataValue and CompareDataValues keep no state between
// calls and may run on any number of threads at once; the only shared data
// they read is the date-time language table (format/datetime.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TiXmlElement;

enum : int32_t {
    DATA_TYPE_TEXT = 0,
    DATA_TYPE_NUMERIC = 1,
    DATA_TYPE_IPV4 = 2,
    DATA_TYPE_DATETIME = 3,
};

// The most decimal places a numeric column holds.
inline constexpr uint8_t MAX_DIGIT_COUNT = 15;

// How one parser column is typed.  Copies are member-wise.
struct tagDATA_FORMAT {
    int32_t data_type = DATA_TYPE_TEXT;
    bool separator_1000 = false;
    uint8_t digit_count = 0;                // 0 integers, 1..15 decimal places
    std::u16string format = u"d/b/Y H:M:S"; // date-time only
    std::u16string language;                // date-time only; empty is the built-in language

    bool operator==(const tagDATA_FORMAT&) const = default;
};

// The typed value of one text.  Which reading of payload applies is decided
// by the tagDATA_FORMAT that goes with it, never by the value itself.
struct tagDATA_VALUE {
    int64_t payload = 0;      // int64, double bits, IPv4 in the low 32 bits, or epoch seconds
    int16_t milliseconds = 0; // date-time only
    bool valid = false;
};

// Zeroes value, then parses text[0..length) with format; reports only
// through value.valid.  text need not be terminated and is never read beyond
// length; any content (NUL, unpaired surrogates) is allowed.
void ParseDataValue(tagDATA_VALUE& value, const char16_t* text, std::size_t length, const tagDATA_FORMAT& format);

// Writes the text form of value; false (text untouched) for text columns and
// values that cannot be formatted (a number printing longer than 99
// characters; a date-time outside 1970 to 3000, milliseconds outside 0-999 or
// a format that translates to more than 199 characters).
bool FormatDataValue(const tagDATA_VALUE& value, const tagDATA_FORMAT& format, std::u16string& text);

// Whether column stands in the relation given by the filter condition type
// (equal 0, not equal 1, greater 6, greater-equal 7, less 8, less-equal 9) to
// reference; any other type, and a text column, yields false.
bool CompareDataValues(const tagDATA_VALUE& column, const tagDATA_VALUE& reference, const tagDATA_FORMAT& format,
                       int32_t filter_type);

// A new "data_format" element, owned by the caller (hand it to LinkEndChild),
// or null for a data type outside 0..3.
TiXmlElement* DataFormatToXml(const tagDATA_FORMAT& format);

// Fills format from a "data_format" element; false when the element is
// missing, misnamed or lacks what its data type needs (fields already read
// stay set).  digit_count is capped at 15; a negative one reads as 0.
bool DataFormatFromXml(tagDATA_FORMAT& format, const TiXmlElement* element);
