#include "search/search_info.h"

#include "filter/log_filter_groups.h"
#include "regex/text_match.h"

std::u16string SearchText(const CSearchInfo& search)
{
    return search.wildcard ? WildcardToRegex(search.expression) : search.expression;
}

bool line_matches(const log_line& line, const CSearchInfo& search)
{
    auto test = [&](const log_column& column) {
        return MatchText(std::u16string(ColumnText(line, column)), search.expression, search.case_sensitive,
                         search.regexp);
    };
    if (search.column < 0) {
        for (const log_column& column : line.columns())
            if (test(column))
                return true;
        return false;
    }
    const auto k = static_cast<std::size_t>(search.column);
    return k < line.columns().size() && test(line.columns()[k]);
}

search_matcher::search_matcher(std::u16string_view pattern, bool case_sensitive, bool use_regex, int runaway_limit)
    : m_matcher(use_regex ? text_matcher::Regex(pattern, case_sensitive, runaway_limit)
                          : text_matcher::Substring(pattern, case_sensitive))
{}

search_matcher search_matcher::ForLine(const CSearchInfo& search)
{
    return search_matcher(search.expression, search.case_sensitive, search.regexp);
}

search_matcher search_matcher::ForCells(const CSearchInfo& search, int runaway_limit)
{
    return search_matcher(SearchText(search), search.case_sensitive, SearchUsesRegex(search), runaway_limit);
}

bool search_matcher::Matches(std::u16string_view text)
{
    if (text.empty() || m_matcher.is_empty())
        return false;
    return m_matcher.Find(text);
}

bool search_matcher::LineMatches(const log_line& line, int32_t column)
{
    if (column < 0) {
        for (const log_column& c : line.columns())
            if (Matches(ColumnText(line, c)))
                return true;
        return false;
    }
    const auto k = static_cast<std::size_t>(column);
    return k < line.columns().size() && Matches(ColumnText(line, line.columns()[k]));
}
