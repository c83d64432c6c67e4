// Filter runs over the rows of a window.  The prepared forms are built once
// per run: columns bound by index, reference values parsed, wildcards and
// regular expressions compiled, contents lower-cased; then they test any
// number of rows.  Their answers are those of log_filter::Matches and
// log_filter_groups::RowPasses, except that a runaway regular expression
// (filter/text_matcher.h) stops being searched after a few budget overruns.
//
// Thread-safety: a prepared form holds search state, so it serves one thread
// at a time; the groups and conditions it was built from are only read while
// it is built and never referred to afterwards.
#pragma once

#include "filter/log_filter_groups.h"
#include "filter/text_matcher.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// One condition ready for many cells of one column format.
class prepared_condition {
public:
    // condition's reference value is used as it stands (see PrepareReferenceValues).
    prepared_condition(const log_filter& condition, const tagDATA_FORMAT& format,
                       int runaway_limit = text_matcher::kDefaultRunawayLimit);

    // log_filter::Matches(format, text, length) for the condition and format given.
    bool Matches(std::u16string_view cell);
    // The same for the cell of row, which must be one of its cells.  With
    // typed, the cell's typed value is taken as the split left it, unparsed:
    // the caller vouches that the row was split with this format for the
    // cell's column (split_line types a cell with ParseDataValue, so the
    // answer is the same).
    bool Matches(const log_line& row, const log_column& cell, bool typed);
    // log_filter_groups::AnyCellMatches: the cells of row in order, as text.
    bool AnyCellMatches(const log_line& row);

    bool logic_and() const { return m_logic_and; }
    int aborted_searches() const { return m_matcher.aborted_searches(); }

private:
    bool MatchesText(std::u16string_view cell);

    int32_t m_type;
    bool m_case_sensitive;
    bool m_logic_and;
    bool m_typed;
    std::u16string m_content;
    tagDATA_FORMAT m_format;
    tagDATA_VALUE m_reference;
    text_matcher m_matcher;
};

// Whether the rows a prepared form tests were split with its parser, so that
// their cells' typed values stand for a parse of their text with the
// columns' formats.
enum class row_values { unknown, split_with_parser };

// A log_filter_groups bound to a parser, with reference values prepared.
class prepared_groups {
public:
    // With values split_with_parser, typed comparisons take each cell's typed
    // value from the row instead of parsing its text again.
    prepared_groups(const log_filter_groups& groups, const log_pattern_list& parser,
                    int runaway_limit = text_matcher::kDefaultRunawayLimit, row_values values = row_values::unknown);

    // True when a filter run does nothing: the parser has no items or the set no group.
    bool inert() const { return m_inert; }
    // log_filter_groups::RowPasses with the binding and reference values of this run.
    bool RowPasses(const log_line& row);
    int aborted_searches() const;

private:
    struct bound_group {
        std::size_t column;
        std::vector<prepared_condition> conditions;
        bool has_or;
    };
    bool m_inert;
    bool m_typed_rows;
    std::size_t m_column_count;
    std::vector<bound_group> m_groups;
};

struct filter_run_result {
    // False when the run did nothing (no parser items or no group); the lists are then empty.
    bool ran = false;
    std::vector<log_line*> filtered; // the rows that pass the groups, in order
    std::vector<log_line*> quick;    // of those, the rows the quick filter passes too
    // The number of rows to show: quick rows when the quick filter has content, else filtered rows.
    std::size_t shown = 0;
};

// The filter run over a window's rows in line order: every row passing the
// groups is filtered; when the quick condition's content is empty, or a cell
// passes it too, it is also quick.  Null rows are passed over.  values says
// whether the rows were split with parser (see prepared_groups).
filter_run_result RunFilter(std::span<log_line* const> rows, const log_pattern_list& parser,
                            const log_filter_groups& groups, const log_filter& quick,
                            row_values values = row_values::unknown);

// The rows (in order) for which a cell passes the quick condition; empty when
// its content is empty.  Null rows are passed over.
std::vector<log_line*> RunQuickFilter(std::span<log_line* const> rows, const log_filter& quick);
