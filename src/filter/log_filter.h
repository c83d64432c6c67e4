// One filter condition: a test of one parser column's cell against a value,
// as text, wildcard, regular expression or typed comparison.
//
// Thread-safety: a plain value; const operations may run on several threads
// at once as long as nobody changes the object.
#pragma once

#include "format/data_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TiXmlElement;

// Condition types; their codes are stored in filter files.
enum : int32_t {
    FILTER_TYPE_EQUAL = 0,
    FILTER_TYPE_NOTEQUAL = 1,
    FILTER_TYPE_CONTAIN = 2,
    FILTER_TYPE_EXCLUDE = 3,
    FILTER_TYPE_WILDCARD = 4,
    FILTER_TYPE_REGEXP = 5,
    FILTER_TYPE_GREATER = 6,
    FILTER_TYPE_GREATER_EQUAL = 7,
    FILTER_TYPE_LESS = 8,
    FILTER_TYPE_LESS_EQUAL = 9,
};
inline constexpr int32_t FILTER_TYPE_COUNT = 10;

// True for the types that always compare text (contain, exclude, wildcard,
// regular expression).
bool IsTextOnlyFilterType(int32_t type);

// The dictionary key (or the operator text) naming a type; empty for a code
// outside 0..9.
std::u16string_view FilterTypeDisplayKey(int32_t type);

class log_filter {
public:
    log_filter() = default;
    virtual ~log_filter() = default;
    log_filter(const log_filter&) = default;
    log_filter& operator=(const log_filter&) = default;
    log_filter(log_filter&&) = default;
    log_filter& operator=(log_filter&&) = default;

    int32_t version() const { return m_version; }
    // The parser column tested; empty only for the quick filter.
    const std::u16string& column() const { return m_column; }
    int32_t type() const { return m_type; }
    const std::u16string& content() const { return m_content; }
    bool case_sensitive() const { return m_case_sensitive; }
    // True: an AND member of its group; false: an OR member.
    bool logic_and() const { return m_logic_and; }
    // WildcardToRegex(content) for a wildcard condition, empty otherwise.
    const std::u16string& pattern() const { return m_pattern; }
    // The content parsed with the column's format before a filter run.
    const tagDATA_VALUE& reference_value() const { return m_reference_value; }

    void SetColumn(std::u16string column) { m_column = std::move(column); }
    // Any code is kept; codes outside 0..9 match no cell.  Re-derives the pattern.
    void SetType(int32_t type);
    // A null text counts as empty.  Re-derives the pattern.
    void SetContent(const char16_t* text);
    void SetContent(std::u16string_view text);
    void SetCaseSensitive(bool case_sensitive) { m_case_sensitive = case_sensitive; }
    void SetLogicAnd(bool logic_and) { m_logic_and = logic_and; }
    // Parses the content with format into the reference value (invalid for text columns).
    void PrepareReferenceValue(const tagDATA_FORMAT& format);

    // Same column and content (character for character) and the same case
    // flag; type and logic are not compared.
    bool IsSameCondition(const log_filter& other) const;

    // Whether the cell passes this condition; format is the cell's column
    // format.  length < 0: the text runs to its terminating zero; a null text
    // is the empty text.  Typed columns compare typed values when both the
    // reference value and the cell parse, else the cell is compared as text.
    // For many cells use prepared_condition (filter/filter_run.h), which
    // compiles the pattern once.
    bool Matches(const tagDATA_FORMAT& format, const char16_t* text, std::ptrdiff_t length) const;

    // A new "filter" element.
    std::unique_ptr<TiXmlElement> ToXml() const;
    // Resets to a new condition, then reads a "filter" element; false (the
    // condition is not to be used) when the element breaks a reading rule.
    bool FromXml(const TiXmlElement* element);

    bool operator==(const log_filter& other) const;

private:
    void DerivePattern();

    int32_t m_version = 1;
    std::u16string m_column;
    int32_t m_type = FILTER_TYPE_CONTAIN;
    std::u16string m_content;
    bool m_case_sensitive = true;
    bool m_logic_and = true;
    std::u16string m_pattern;
    tagDATA_VALUE m_reference_value;
};
