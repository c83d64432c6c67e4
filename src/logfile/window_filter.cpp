// The filter and the quick filter of a file's window: applied by the filter
// jobs, and asked by every later window parse for its new lines.
#include "filter/filter_run.h"
#include "filter/filter_store.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"

#include <span>

bool log_file::filter_groups_in_force() const
{
    return m_filter_applied || static_cast<bool>(m_verdict_hook.groups);
}

bool log_file::quick_filter_in_force() const
{
    return !m_quick_filter.content().empty() || static_cast<bool>(m_verdict_hook.quick);
}

void log_file::bind_window_filters(const log_pattern_list& parser)
{
    m_bound_groups.reset();
    m_bound_quick.reset();
    if (m_filter_applied && m_filter_groups)
        m_bound_groups = std::make_unique<prepared_groups>(*m_filter_groups, parser);
    if (!m_quick_filter.content().empty())
        m_bound_quick = std::make_unique<prepared_condition>(m_quick_filter, tagDATA_FORMAT());
}

bool log_file::line_passes_filter_groups(const log_line& line)
{
    if (m_verdict_hook.groups)
        return m_verdict_hook.groups(line);
    return !m_bound_groups || m_bound_groups->inert() || m_bound_groups->RowPasses(line);
}

bool log_file::line_passes_quick_filter(const log_line& line)
{
    if (m_verdict_hook.quick)
        return m_verdict_hook.quick(line);
    return !m_bound_quick || m_bound_quick->AnyCellMatches(line);
}

int64_t log_file::apply_filter(const log_pattern_list& parser, const log_filter_groups& groups)
{
    window_write write(*this);
    const std::vector<log_line*>& lines = *this;
    filter_run_result run =
        RunFilter(std::span<log_line* const>(lines.data(), lines.size()), parser, groups, m_quick_filter);
    if (!run.ran)
        return -1;
    m_filter_groups = std::make_unique<log_filter_groups>(groups);
    m_filter_applied = true;
    m_filtered_lines.swap(run.filtered);
    m_quick_lines.swap(run.quick);
    return static_cast<int64_t>(run.shown);
}

std::size_t log_file::apply_quick_filter(bool wildcard, std::u16string_view text)
{
    window_write write(*this);
    m_quick_lines.clear();
    if (!SetQuickFilter(m_quick_filter, text, wildcard))
        return 0;
    const std::vector<log_line*>& rows = m_filter_applied ? m_filtered_lines : *this;
    m_quick_lines = RunQuickFilter(std::span<log_line* const>(rows.data(), rows.size()), m_quick_filter);
    return m_quick_lines.size();
}

void log_file::reset_filter()
{
    window_write write(*this);
    m_filter_applied = false;
    m_filtered_lines.clear();
    m_quick_lines.clear();
}
