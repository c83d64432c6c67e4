// The filters of a parsed window: the groups and the quick filter in force,
// the verdicts a parse asks of them, and the two filter runs.
#include "logfile/parsed_window.h"

#include "filter/filter_store.h"
#include "logfile/window_filters.h"

#include <span>

namespace {

// The verdicts of the window's own filters: the groups while a filter is
// applied, the quick filter while it has text, prepared for the parser of
// the parse under way (columns bound, reference values parsed, patterns
// compiled); the line tests are RowPasses and AnyCellMatches of those
// prepared forms.
class filter_verdicts final : public line_verdicts {
public:
    filter_verdicts(window_filters& filters, const bool& applied) : m_filters(filters), m_applied(applied) {}

    bool groups_in_force() const override { return m_applied; }
    bool quick_in_force() const override { return !m_filters.quick.content().empty(); }
    void bind(const log_pattern_list& parser) override
    {
        release();
        if (m_applied)
            m_filters.bound_groups = std::make_unique<prepared_groups>(
                m_filters.groups, parser, text_matcher::kDefaultRunawayLimit, row_values::split_with_parser);
        if (!m_filters.quick.content().empty())
            m_filters.bound_quick = std::make_unique<prepared_condition>(m_filters.quick, tagDATA_FORMAT{});
    }
    bool passes_groups(const log_line& line) override
    {
        return !m_filters.bound_groups || m_filters.bound_groups->RowPasses(line);
    }
    bool passes_quick(const log_line& line) override
    {
        return m_filters.bound_quick && m_filters.bound_quick->AnyCellMatches(line);
    }
    void release() override
    {
        m_filters.bound_groups.reset();
        m_filters.bound_quick.reset();
    }

private:
    window_filters& m_filters;
    const bool& m_applied;
};

} // namespace

parsed_window::parsed_window()
    : m_filters(std::make_unique<window_filters>()),
      m_verdicts(std::make_unique<filter_verdicts>(*m_filters, m_filter_applied))
{}

parsed_window::~parsed_window() = default;

const log_filter_groups& parsed_window::reader::filter_groups() const
{
    return m_window.m_filters->groups;
}

const log_filter& parsed_window::reader::quick_filter() const
{
    return m_window.m_filters->quick;
}

int64_t parsed_window::apply_filter(const log_pattern_list& parser, const log_filter_groups& groups)
{
    if (parser.empty() || groups.empty())
        return -1;
    writer changing(*this);
    m_filtered_lines.clear();
    m_quick_lines.clear();
    const std::vector<log_line*>& lines = m_lines.lines();
    // The lines' typed values serve when they were split with the formats
    // of this parser's columns.
    const row_values values = m_split_formats && *m_split_formats == column_formats(parser)
                                  ? row_values::split_with_parser
                                  : row_values::unknown;
    filter_run_result run =
        RunFilter(std::span<log_line* const>(lines.data(), lines.size()), parser, groups, m_filters->quick, values);
    m_filtered_lines = std::move(run.filtered);
    m_quick_lines = std::move(run.quick);
    m_filters->groups = groups;
    m_filter_applied = true;
    return static_cast<int64_t>(run.shown);
}

std::size_t parsed_window::apply_quick_filter(bool wildcard, std::u16string_view text)
{
    writer changing(*this);
    m_quick_lines.clear();
    if (!SetQuickFilter(m_filters->quick, text, wildcard))
        return 0;
    const std::vector<log_line*>& rows = m_filter_applied ? m_filtered_lines : m_lines.lines();
    m_quick_lines = RunQuickFilter(std::span<log_line* const>(rows.data(), rows.size()), m_filters->quick);
    return m_quick_lines.size();
}

void parsed_window::reset_filter()
{
    writer changing(*this);
    m_filter_applied = false;
    m_filtered_lines.clear();
}
