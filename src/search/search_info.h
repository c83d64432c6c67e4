// The parameters of one search, and the test of a line or a cell against it.
//
// Thread-safety: CSearchInfo is a plain value.  line_matches may run on any
// thread.  A search_matcher holds search state and serves one thread at a
// time: build one per search (find in file) or per painted page.
#pragma once

#include "filter/text_matcher.h"
#include "parser/log_line.h"

#include <cstdint>
#include <string>
#include <string_view>

struct CSearchInfo {
    virtual ~CSearchInfo() = default;

    std::u16string expression; // the text the user typed
    int32_t column = -1;       // -1: any column; else the column number from 0
    bool up = false;           // direction: false down (towards the end), true up
    bool case_sensitive = false;
    bool highlight = false; // highlight matching cells in the list
    bool wildcard = false;  // the expression is a wildcard pattern
    bool regexp = false;    // the expression is a regular expression (never both set)
    bool find_in_file = false;
    std::u16string pattern; // with wildcard: WildcardToRegex(expression); empty otherwise

    bool operator==(const CSearchInfo&) const = default;
};

// The search text: the converted wildcard when wildcard is set, else the
// expression.  (Derived from the expression, so a stale pattern field cannot
// make it differ.)
std::u16string SearchText(const CSearchInfo& search);
// Whether the search text is matched as a regular expression (wildcard or regexp).
inline bool SearchUsesRegex(const CSearchInfo& search)
{
    return search.wildcard || search.regexp;
}

// Whether line matches search, whose expression holds the search text: with
// column -1 when any of its columns matches (in column order); with column k
// when the line has a column k and it matches.  The test is
// MatchText(column text, expression, case_sensitive, regexp).
bool line_matches(const log_line& line, const CSearchInfo& search);

// A MatchText(text, pattern, case_sensitive, use_regex) prepared once: false
// for an empty text or pattern; a plain pattern is a substring (ASCII case
// folded when not case-sensitive), a regular expression is compiled once.
class search_matcher {
public:
    search_matcher(std::u16string_view pattern, bool case_sensitive, bool use_regex,
                   int runaway_limit = text_matcher::kDefaultRunawayLimit);

    // The matcher line_matches uses: the search's expression and regexp flag.
    static search_matcher ForLine(const CSearchInfo& search);
    // The matcher the colouring of search hits uses: SearchText and SearchUsesRegex.
    static search_matcher ForCells(const CSearchInfo& search, int runaway_limit = 1);

    bool Matches(std::u16string_view text);
    // line_matches for a search on column (-1: any column).
    bool LineMatches(const log_line& line, int32_t column);

    int aborted_searches() const { return m_matcher.aborted_searches(); }

private:
    text_matcher m_matcher;
};
