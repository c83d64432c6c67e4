#include "filter/filter_run.h"

#include "filter/condition_rules.h"

namespace {

text_matcher MatcherFor(const log_filter& condition, int runaway_limit)
{
    switch (condition.type()) {
    case FILTER_TYPE_CONTAIN:
    case FILTER_TYPE_EXCLUDE: return text_matcher::Substring(condition.content(), condition.case_sensitive());
    case FILTER_TYPE_WILDCARD:
        return text_matcher::Regex(condition.pattern(), condition.case_sensitive(), runaway_limit);
    case FILTER_TYPE_REGEXP: return text_matcher::Regex(condition.content(), condition.case_sensitive(), runaway_limit);
    default: return text_matcher();
    }
}

} // namespace

prepared_condition::prepared_condition(const log_filter& condition, const tagDATA_FORMAT& format, int runaway_limit)
    : m_type(condition.type()),
      m_case_sensitive(condition.case_sensitive()),
      m_logic_and(condition.logic_and()),
      m_typed(UsesTypedComparison(format, condition.type(), condition.reference_value())),
      m_content(condition.content()),
      m_format(format),
      m_reference(condition.reference_value()),
      m_matcher(MatcherFor(condition, runaway_limit))
{}

bool prepared_condition::Matches(std::u16string_view cell)
{
    if (m_typed) {
        tagDATA_VALUE value;
        ParseDataValue(value, cell.data(), cell.size(), m_format);
        if (value.valid)
            return CompareDataValues(value, m_reference, m_format, m_type);
    }
    return MatchesText(cell);
}

bool prepared_condition::Matches(const log_line& row, const log_column& cell, bool typed)
{
    if (!typed || !m_typed)
        return Matches(ColumnText(row, cell));
    // A cell whose text does not parse holds an invalid value: it is
    // compared as text, as a parse of its text would have it.
    if (cell.valid())
        return CompareDataValues(cell.value(), m_reference, m_format, m_type);
    return MatchesText(ColumnText(row, cell));
}

bool prepared_condition::MatchesText(std::u16string_view cell)
{
    return TextConditionHolds(m_type, m_case_sensitive, cell, m_content,
                              [this](std::u16string_view c) { return m_matcher.Find(c); });
}

bool prepared_condition::AnyCellMatches(const log_line& row)
{
    for (const log_column& column : row.columns())
        if (Matches(ColumnText(row, column)))
            return true;
    return false;
}

prepared_groups::prepared_groups(const log_filter_groups& groups, const log_pattern_list& parser, int runaway_limit,
                                 row_values values)
    : m_inert(parser.empty() || groups.empty()), m_typed_rows(values == row_values::split_with_parser)
{
    const parser_columns columns = ParserColumns(parser);
    m_column_count = columns.size();
    if (m_inert)
        return;
    log_filter_groups prepared = groups;
    const FilterColumnBinding binding = prepared.BindColumns(columns);
    prepared.PrepareReferenceValues(binding, columns);
    for (std::size_t k = 0; k < prepared.groups().size(); ++k) {
        // A group on a column the parser lacks passes every row.
        if (binding[k] >= columns.size())
            continue;
        bound_group g{binding[k], {}, false};
        const tagDATA_FORMAT& format = columns[binding[k]]->data_format;
        for (const log_filter& condition : prepared.groups()[k]) {
            g.conditions.emplace_back(condition, format, runaway_limit);
            g.has_or = g.has_or || !condition.logic_and();
        }
        m_groups.push_back(std::move(g));
    }
}

bool prepared_groups::RowPasses(const log_line& row)
{
    bool passes = true;
    for (bound_group& g : m_groups) {
        if (g.column >= row.columns().size())
            continue;
        const log_column& cell = row.columns()[g.column];
        bool all_and = true, any_or = false;
        for (prepared_condition& condition : g.conditions) {
            const bool holds = condition.Matches(row, cell, m_typed_rows);
            if (condition.logic_and())
                all_and = all_and && holds;
            else
                any_or = any_or || holds;
        }
        passes = passes && all_and && (!g.has_or || any_or);
    }
    return passes;
}

int prepared_groups::aborted_searches() const
{
    int count = 0;
    for (const bound_group& g : m_groups)
        for (const prepared_condition& condition : g.conditions)
            count += condition.aborted_searches();
    return count;
}

filter_run_result RunFilter(std::span<log_line* const> rows, const log_pattern_list& parser,
                            const log_filter_groups& groups, const log_filter& quick, row_values values)
{
    filter_run_result result;
    prepared_groups prepared(groups, parser, text_matcher::kDefaultRunawayLimit, values);
    if (prepared.inert())
        return result;
    result.ran = true;
    const bool quick_active = !quick.content().empty();
    prepared_condition quick_condition(quick, tagDATA_FORMAT{});
    result.filtered.reserve(rows.size());
    for (log_line* row : rows) {
        if (!row || !prepared.RowPasses(*row))
            continue;
        result.filtered.push_back(row);
        if (!quick_active || quick_condition.AnyCellMatches(*row))
            result.quick.push_back(row);
    }
    result.shown = quick_active ? result.quick.size() : result.filtered.size();
    return result;
}

std::vector<log_line*> RunQuickFilter(std::span<log_line* const> rows, const log_filter& quick)
{
    std::vector<log_line*> passed;
    if (quick.content().empty())
        return passed;
    prepared_condition condition(quick, tagDATA_FORMAT{});
    for (log_line* row : rows)
        if (row && condition.AnyCellMatches(*row))
            passed.push_back(row);
    return passed;
}
