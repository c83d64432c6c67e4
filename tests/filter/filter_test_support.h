// Test helpers for filters, searches and highlight rules: split lines built
// from cells, parsers built from column formats, a seeded random source, and
// reference evaluations written straight from the rules (each regular
// expression compiled afresh for every text, case folded on copies).
#pragma once

#include "filter/log_filter.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"
#include "regex/regex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A split line whose cells are the given texts (in one shared text).
inline std::unique_ptr<log_line> MakeLine(const std::vector<std::u16string>& cells)
{
    auto line = std::make_unique<log_line>();
    std::u16string text;
    for (const std::u16string& cell : cells)
        text += cell;
    line->assign_text(text);
    std::size_t offset = 0;
    for (const std::u16string& cell : cells) {
        line->add_column(offset, cell.size());
        offset += cell.size();
    }
    return line;
}

inline log_pattern Column(const std::u16string& name, const tagDATA_FORMAT& format = {})
{
    log_pattern item(name);
    item.data_format = format;
    return item;
}

inline tagDATA_FORMAT NumericFormat(uint8_t digits = 0)
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_NUMERIC;
    format.digit_count = digits;
    return format;
}

inline tagDATA_FORMAT Ipv4Format()
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_IPV4;
    return format;
}

inline tagDATA_FORMAT DateTimeFormat(const std::u16string& pattern = u"Y-m-d H:M:S")
{
    tagDATA_FORMAT format;
    format.data_type = DATA_TYPE_DATETIME;
    format.format = pattern;
    return format;
}

inline log_filter Condition(const std::u16string& column, int32_t type, const std::u16string& content,
                            bool case_sensitive = true, bool logic_and = true)
{
    log_filter condition;
    condition.SetColumn(column);
    condition.SetType(type);
    condition.SetContent(content);
    condition.SetCaseSensitive(case_sensitive);
    condition.SetLogicAnd(logic_and);
    return condition;
}

class test_random {
public:
    explicit test_random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    uint64_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
    template <class T> const T& pick(const std::vector<T>& items) { return items[below(items.size())]; }

private:
    uint64_t m_state;
};

// --- references ------------------------------------------------------------

inline std::u16string RefLower(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return text;
}

// Case-insensitive ordering of two texts that end at their first zero.
inline int RefCompareNoCase(const std::u16string& a, const std::u16string& b)
{
    const std::u16string la = RefLower(a.substr(0, a.find(u'\0')));
    const std::u16string lb = RefLower(b.substr(0, b.find(u'\0')));
    return la.compare(lb) < 0 ? -1 : (la == lb ? 0 : 1);
}

// A fresh compile for one search; aborted reports a budget overrun.
inline bool RefRegexSearch(const std::u16string& text, const std::u16string& pattern, bool case_sensitive,
                           bool* aborted = nullptr)
{
    CPatternT compiled;
    compiled.Compile(pattern, case_sensitive ? NO_FLAG : IgnoreCase);
    CMatchContextT context;
    const bool found = compiled.Search(text.data(), static_cast<int>(text.size()), context);
    if (aborted)
        *aborted = *aborted || context.IsAborted();
    return found;
}

// One condition on one cell, with the reference value derived from the content.
inline bool RefMatches(const log_filter& c, const tagDATA_FORMAT& format, const std::u16string& cell,
                       bool* aborted = nullptr)
{
    const int32_t type = c.type();
    const bool text_only = type >= 2 && type <= 5;
    if (format.data_type != DATA_TYPE_TEXT && !text_only) {
        tagDATA_VALUE reference, value;
        ParseDataValue(reference, c.content().data(), c.content().size(), format);
        ParseDataValue(value, cell.data(), cell.size(), format);
        if (reference.valid && value.valid)
            return CompareDataValues(value, reference, format, type);
    }
    const std::u16string& content = c.content();
    const bool cs = c.case_sensitive();
    auto contains = [&] {
        return cs ? cell.find(content) != std::u16string::npos
                  : RefLower(cell).find(RefLower(content)) != std::u16string::npos;
    };
    auto regex = [&](const std::u16string& pattern) {
        return pattern.empty() || RefRegexSearch(cell, pattern, cs, aborted);
    };
    switch (type) {
    case 0: return cs ? cell == content : RefCompareNoCase(cell, content) == 0;
    case 1: return !(cs ? cell == content : RefCompareNoCase(cell, content) == 0);
    case 2: return contains();
    case 3: return !contains();
    case 4: return regex(c.pattern());
    case 5: return regex(content);
    case 6: return RefCompareNoCase(cell, content) > 0;
    case 7: return RefCompareNoCase(cell, content) >= 0;
    case 8: return RefCompareNoCase(cell, content) < 0;
    case 9: return RefCompareNoCase(cell, content) <= 0;
    default: return false;
    }
}

inline std::u16string CellText(const log_line& line, std::size_t i)
{
    return std::u16string(line.text_of(line.columns()[i]));
}

// Every group (conditions bound by column name) must pass; see RowPasses.
inline bool RefRowPasses(const std::vector<std::vector<log_filter>>& groups, const std::vector<log_pattern>& columns,
                         const log_line& row, bool* aborted = nullptr)
{
    bool passes = true;
    for (const auto& group : groups) {
        std::size_t index = 0;
        while (index < columns.size() && columns[index].name != group.front().column())
            ++index;
        if (index >= columns.size() || index >= row.columns().size())
            continue;
        const std::u16string cell = CellText(row, index);
        bool all_and = true, any_or = false, has_or = false;
        for (const log_filter& condition : group) {
            const bool holds = RefMatches(condition, columns[index].data_format, cell, aborted);
            if (condition.logic_and())
                all_and = all_and && holds;
            else {
                has_or = true;
                any_or = any_or || holds;
            }
        }
        passes = passes && all_and && (!has_or || any_or);
    }
    return passes;
}

inline bool RefAnyCellMatches(const log_line& row, const log_filter& condition, bool* aborted = nullptr)
{
    for (std::size_t i = 0; i < row.columns().size(); ++i)
        if (RefMatches(condition, tagDATA_FORMAT{}, CellText(row, i), aborted))
            return true;
    return false;
}

// MatchText as written: false for empty text or pattern; substring on
// lower-cased copies, or a fresh compile.
inline bool RefMatchText(const std::u16string& text, const std::u16string& pattern, bool case_sensitive, bool use_regex,
                         bool* aborted = nullptr)
{
    if (text.empty() || pattern.empty())
        return false;
    if (!use_regex)
        return case_sensitive ? text.find(pattern) != std::u16string::npos
                              : RefLower(text).find(RefLower(pattern)) != std::u16string::npos;
    return RefRegexSearch(text, pattern, case_sensitive, aborted);
}
