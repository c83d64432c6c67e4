// Helpers shared by the data-format tests.
#pragma once

#include "format/data_format.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

inline tagDATA_FORMAT NumericFormat(uint8_t digit_count, bool separator = false)
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_NUMERIC;
    format.digit_count = digit_count;
    format.separator_1000 = separator;
    return format;
}

inline tagDATA_FORMAT Ipv4Format()
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_IPV4;
    return format;
}

inline tagDATA_FORMAT DateTimeFormat(std::u16string pattern, std::u16string language = {})
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_DATETIME;
    format.format = std::move(pattern);
    format.language = std::move(language);
    return format;
}

inline tagDATA_VALUE Parse(std::u16string_view text, const tagDATA_FORMAT& format)
{
    tagDATA_VALUE value;
    value.payload = 12345; // ParseDataValue must zero it
    value.valid = true;
    ParseDataValue(value, text.data(), text.size(), format);
    return value;
}

inline double AsDouble(const tagDATA_VALUE& value)
{
    double number = 0.0;
    std::memcpy(&number, &value.payload, sizeof number);
    return number;
}

inline tagDATA_VALUE DoubleValue(double number)
{
    tagDATA_VALUE value;
    std::memcpy(&value.payload, &number, sizeof number);
    value.valid = true;
    return value;
}

inline std::string Narrow(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

// Sets the process time zone for one test and restores the previous one.
class scoped_time_zone {
public:
    explicit scoped_time_zone(const char* zone);
    ~scoped_time_zone();
    scoped_time_zone(const scoped_time_zone&) = delete;
    scoped_time_zone& operator=(const scoped_time_zone&) = delete;

private:
    std::string m_previous;
    bool m_had_previous = false;
};

// The straightforward conversion of local fields, as mktime gives it.
inline int64_t MktimeSeconds(int year, int month, int day, int hour, int minute, int second, int isdst = -1)
{
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = isdst;
    return static_cast<int64_t>(mktime(&fields));
}
