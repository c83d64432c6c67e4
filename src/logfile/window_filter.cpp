// The filters of a log file's window: the groups and the quick filter in
// force, the verdicts parse_range asks of them, the two filter runs, and the
// walk over every line with filter groups.
#include "logfile/log_file.h"

#include "filter/filter_store.h"
#include "logfile/window_filters.h"

const log_filter_groups& log_file::window_reader::filter_groups() const
{
    return m_file.m_filters->groups;
}

const log_filter& log_file::window_reader::quick_filter() const
{
    return m_file.m_filters->quick;
}

bool log_file::filter_groups_in_force() const
{
    return m_filter_applied || static_cast<bool>(m_verdict_hook.groups);
}

bool log_file::quick_filter_in_force() const
{
    return !m_filters->quick.content().empty() || static_cast<bool>(m_verdict_hook.quick);
}

void log_file::bind_window_filters(const log_pattern_list& parser)
{
    release_window_filters();
    if (m_filter_applied)
        m_filters->bound_groups = std::make_unique<prepared_groups>(m_filters->groups, parser);
    if (!m_filters->quick.content().empty())
        m_filters->bound_quick = std::make_unique<prepared_condition>(m_filters->quick, tagDATA_FORMAT{});
}

void log_file::release_window_filters()
{
    m_filters->bound_groups.reset();
    m_filters->bound_quick.reset();
}

bool log_file::line_passes_filter_groups(const log_line& line)
{
    if (m_verdict_hook.groups)
        return m_verdict_hook.groups(line);
    return !m_filters->bound_groups || m_filters->bound_groups->RowPasses(line);
}

bool log_file::line_passes_quick_filter(const log_line& line)
{
    if (m_verdict_hook.quick)
        return m_verdict_hook.quick(line);
    return m_filters->bound_quick && m_filters->bound_quick->AnyCellMatches(line);
}

int64_t log_file::apply_filter(const log_pattern_list& parser, const log_filter_groups& groups)
{
    if (parser.empty() || groups.empty())
        return -1;
    window_write changing(*this);
    m_filtered_lines.clear();
    m_quick_lines.clear();
    filter_run_result run = RunFilter(std::span<log_line* const>(data(), size()), parser, groups, m_filters->quick);
    m_filtered_lines = std::move(run.filtered);
    m_quick_lines = std::move(run.quick);
    m_filters->groups = groups;
    m_filter_applied = true;
    return static_cast<int64_t>(run.shown);
}

std::size_t log_file::apply_quick_filter(bool wildcard, std::u16string_view text)
{
    window_write changing(*this);
    m_quick_lines.clear();
    if (!SetQuickFilter(m_filters->quick, text, wildcard))
        return 0;
    const std::vector<log_line*>& rows =
        m_filter_applied ? m_filtered_lines : static_cast<const std::vector<log_line*>&>(*this);
    m_quick_lines = RunQuickFilter(std::span<log_line* const>(rows.data(), rows.size()), m_filters->quick);
    return m_quick_lines.size();
}

void log_file::reset_filter()
{
    window_write changing(*this);
    m_filter_applied = false;
    m_filtered_lines.clear();
}

bool log_file::for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                             const log_filter_groups* groups)
{
    if (!groups || groups->ConditionCount() == 0)
        return for_each_line(parser, callback, context, line_test{});
    if (!callback || m_indexer.is_running())
        return false;
    auto prepared = std::make_shared<prepared_groups>(*groups, parser);
    return for_each_line(parser, callback, context,
                         [prepared](const log_line& line) { return prepared->RowPasses(line); });
}
