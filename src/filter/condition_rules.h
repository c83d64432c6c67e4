// The evaluation of one condition on one cell, shared by log_filter::Matches
// (which matches patterns through the shared cache) and prepared_condition
// (which compiles them once per run).  Internal to the filter library.
#pragma once

#include "filter/log_filter.h"
#include "filter/text_rules.h"

#include <string_view>

// Whether a typed comparison applies to the condition on a column of format.
inline bool UsesTypedComparison(const tagDATA_FORMAT& format, int32_t type, const tagDATA_VALUE& reference)
{
    return format.data_type != DATA_TYPE_TEXT && !IsTextOnlyFilterType(type) && reference.valid;
}

// The text rules: find(cell) answers contain, exclude, wildcard and regular
// expression (with the condition's case rule); the other types compare here.
template <class Find>
bool TextConditionHolds(int32_t type, bool case_sensitive, std::u16string_view cell, std::u16string_view content,
                        Find&& find)
{
    switch (type) {
    case FILTER_TYPE_EQUAL: return case_sensitive ? cell == content : CompareIgnoreAsciiCase(cell, content) == 0;
    case FILTER_TYPE_NOTEQUAL: return case_sensitive ? cell != content : CompareIgnoreAsciiCase(cell, content) != 0;
    case FILTER_TYPE_CONTAIN:
    case FILTER_TYPE_WILDCARD:
    case FILTER_TYPE_REGEXP: return find(cell);
    case FILTER_TYPE_EXCLUDE: return !find(cell);
    case FILTER_TYPE_GREATER: return CompareIgnoreAsciiCase(cell, content) > 0;
    case FILTER_TYPE_GREATER_EQUAL: return CompareIgnoreAsciiCase(cell, content) >= 0;
    case FILTER_TYPE_LESS: return CompareIgnoreAsciiCase(cell, content) < 0;
    case FILTER_TYPE_LESS_EQUAL: return CompareIgnoreAsciiCase(cell, content) <= 0;
    default: return false;
    }
}

// A length below 0 means the text runs to its terminating zero; null is empty.
inline std::u16string_view CellView(const char16_t* text, std::ptrdiff_t length)
{
    if (!text)
        return {};
    if (length < 0)
        return std::u16string_view(text);
    return std::u16string_view(text, static_cast<std::size_t>(length));
}
