// A file's filter: conditions grouped by column.  Inside a group the AND
// conditions must all hold and, when there are OR conditions, at least one of
// them; a row passes when every group passes.
//
// Thread-safety: a plain value; const operations may run on several threads
// at once as long as nobody changes the object.
#pragma once

#include "filter/log_filter.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// The text of one cell of a split line, which must be one of line's cells.
inline std::u16string_view ColumnText(const log_line& line, const log_column& cell)
{
    return line.text_of(cell);
}

// A parser's columns: its leaves in column order.
using parser_columns = std::vector<const log_pattern*>;
parser_columns ParserColumns(const log_pattern_list& parser);

// For each group, in group order, the index of the parser column it tests;
// the number of columns when the parser has no column of that name.
using FilterColumnBinding = std::vector<std::size_t>;

class log_filter_groups {
public:
    using group = std::vector<log_filter>;

    log_filter_groups() = default;
    virtual ~log_filter_groups() = default;
    log_filter_groups(const log_filter_groups&) = default;
    log_filter_groups& operator=(const log_filter_groups&) = default;
    log_filter_groups(log_filter_groups&&) = default;
    log_filter_groups& operator=(log_filter_groups&&) = default;

    // Adds the condition to the first group of its column (an AND condition
    // at the end, an OR condition at the front) or to a new group at the end.
    // A condition IsSameCondition as one of that group is not added.  Returns
    // the position of the added or already present condition in the flattened
    // order, counted from 0.
    std::size_t AddCondition(const log_filter& condition);
    std::size_t ConditionCount() const;
    // Replaces list by every condition, group by group.
    void Flatten(std::vector<log_filter>& list) const;

    FilterColumnBinding BindColumns(const parser_columns& columns) const;
    // Parses each condition's content with its column's format, for the
    // groups bound to a typed column; the others are left as they are.
    void PrepareReferenceValues(const FilterColumnBinding& binding, const parser_columns& columns);
    // Whether row passes every group.  A group bound to a missing column, or
    // to a cell the row does not have, passes.  Every condition of every
    // group is evaluated.  Compiles patterns per call: for many rows use
    // prepared_groups (filter/filter_run.h).
    bool RowPasses(const log_line& row, const FilterColumnBinding& binding, const parser_columns& columns) const;
    // Whether condition holds for at least one cell of row, each cell taken as
    // text; false for a row without cells.
    static bool AnyCellMatches(const log_line& row, const log_filter& condition);

    const std::vector<group>& groups() const { return m_groups; }
    bool empty() const { return m_groups.empty(); }
    void clear() { m_groups.clear(); }

    // A new "filters" element with every condition, group after group.
    std::unique_ptr<TiXmlElement> ToXml() const;
    // Empties the set, then adds every "filter" child that loads; true when
    // the set ends with at least one group.
    bool FromXml(const TiXmlElement* element);

    bool operator==(const log_filter_groups& other) const { return m_groups == other.m_groups; }

private:
    std::vector<group> m_groups;
};
