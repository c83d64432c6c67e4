#include "work/file_view.h"

#include "logfile/line_text.h"
#include "parser/log_pattern.h"
#include "parser/split_line.h"
#include "work/jobs.h"
#include "work/view_host.h"

#include <algorithm>
#include <atomic>

namespace {

uint64_t NextViewId()
{
    // Never reused within the process: a closed file's id names nothing.
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1) + 1;
}

} // namespace

std::u16string FileNamePart(const std::u16string& path)
{
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

file_view::file_view(view_host& host, std::u16string path)
    : m_host(host), m_id(NextViewId()), m_path(std::move(path)), m_name(FileNamePart(m_path))
{}

file_view::rows::rows(const file_view& view)
    : m_window(view.m_file.read_window()), m_source(&m_window.lines()), m_first(view.m_file.read_window_numbers().first)
{
    if (!view.m_quick_filter_text.empty())
        m_source = &m_window.quick_lines();
    else if (view.m_filter_enabled)
        m_source = &m_window.filtered_lines();
}

int64_t file_view::rows::line_number(std::size_t row) const
{
    if (row >= m_source->size() || m_first < 0)
        return -1;
    const std::vector<log_line*>& all = m_window.lines();
    if (m_source == &all)
        return m_first + static_cast<int64_t>(row);
    // A filtered row: the window's lines are in file order.
    const int64_t offset = (*m_source)[row]->offset;
    const auto at = std::lower_bound(all.begin(), all.end(), offset,
                                     [](const log_line* line, int64_t wanted) { return line->offset < wanted; });
    return m_first + static_cast<int64_t>(at - all.begin());
}

view_counts file_view::counts()
{
    view_counts c;
    const log_file::window_numbers numbers = m_file.read_window_numbers();
    c.first = numbers.first;
    c.last = numbers.last;
    c.line_count = numbers.line_count;
    c.file_size = m_file.file_size();
    c.encoding = m_file.encoding();
    c.has_bom = m_file.has_bom();
    c.indexing = m_file.indexer().is_running();
    c.tail_mode = m_file.tail_mode();
    c.long_lines = m_file.read_index().long_line_count();
    c.binary = m_file.looks_binary();
    c.packed = m_file.packed_as();
    c.unpack = m_file.unpack_status();
    return c;
}

file_view::file_change file_view::check_rotation()
{
    return m_file.is_open() ? m_file.check_change(m_path) : file_change::replaced;
}

window_place file_view::place()
{
    const log_file::window_numbers numbers = m_file.read_window_numbers();
    return {numbers.first, numbers.last, numbers.line_count, m_host.MaxLoadingLines()};
}

std::vector<std::u16string> file_view::column_names() const
{
    std::vector<const log_pattern*> leaves;
    leaf_count(m_host.FindParser(m_parser_name), &leaves);
    std::vector<std::u16string> names;
    names.reserve(leaves.size());
    for (const log_pattern* leaf : leaves)
        names.push_back(leaf->name);
    return names;
}

namespace {

tagVIEW_JOB Job(uint64_t id, view_action action, std::u16string text = {}, window_plan plan = {}, int32_t encoding = 0)
{
    tagVIEW_JOB job;
    job.file_id = id;
    job.action = action;
    job.text = std::move(text);
    job.plan = plan;
    job.encoding = encoding;
    return job;
}

bool Run(view_host& host, tagVIEW_JOB&& job)
{
    return host.RunViewJob(job) && job.succeeded;
}

} // namespace

bool file_view::set_quick_filter(const std::u16string& text)
{
    return Run(m_host, Job(m_id, view_action::quick_filter, text));
}

bool file_view::set_filter_enabled(bool on)
{
    return Run(m_host, Job(m_id, on ? view_action::filter_on : view_action::filter_off));
}

bool file_view::set_filter_groups(log_filter_groups groups, bool enable)
{
    // The groups are read by the view's jobs only, and no job runs now: an
    // intent is refused while one does, and this one waits for its own.
    if (m_host.JobRunning())
        return false;
    m_filter_groups = std::move(groups);
    if (enable || m_filter_enabled)
        return set_filter_enabled(true);
    return true;
}

bool file_view::change_parser(const std::u16string& name)
{
    tagVIEW_JOB job = Job(m_id, view_action::parser, name);
    return m_host.RunViewJob(job) && job.changed;
}

bool file_view::change_encoding(int32_t encoding)
{
    // Nothing to change (or a marked file): no job.
    if (m_file.has_bom() || m_file.encoding() == encoding)
        return false;
    return Run(m_host, Job(m_id, view_action::encoding, {}, {}, encoding));
}

bool file_view::move_window(const window_plan& plan)
{
    if (!plan.move)
        return false;
    return Run(m_host, Job(m_id, view_action::move, {}, plan));
}

bool file_view::finish_indexing()
{
    if (!m_file.indexer().is_running())
        return true;
    tagVIEW_JOB job = Job(m_id, view_action::finish_index);
    return Run(m_host, std::move(job)) && !m_file.indexer().is_running();
}

bool file_view::reload()
{
    tagVIEW_JOB job = Job(m_id, view_action::reload);
    m_last_reload_changed_parser = false;
    const bool reloaded = m_host.RunViewJob(job) && job.succeeded;
    m_last_reload_changed_parser = job.changed;
    return reloaded;
}

bool file_view::find_all(const CSearchInfo& search)
{
    if (m_host.JobRunning())
        return false;
    m_results_query = results_query{};
    m_results_query.search = search;
    return rerun_results();
}

bool file_view::filter_whole_file()
{
    if (m_host.JobRunning())
        return false;
    m_results_query = results_query{};
    m_results_query.what = results_query::kind::filter;
    m_results_query.groups = m_filter_groups;
    return rerun_results();
}

bool file_view::rerun_results()
{
    if (m_host.JobRunning())
        return false;
    m_results.clear();
    m_results_outcome = results_outcome{};
    m_results_used = true;
    return update_results();
}

bool file_view::update_results()
{
    if (!m_results_used)
        return false;
    return Run(m_host, Job(m_id, view_action::results));
}

window_plan file_view::plan_for_result(uint64_t k)
{
    if (k >= m_results.size())
        return {};
    return PlanHolding(place(), static_cast<int64_t>(m_results.at(k)));
}

bool file_view::line_cells(uint64_t n, std::vector<std::u16string>& cells)
{
    cells.clear();
    log_line line;
    if (!read_line(n, line))
        return false;
    cells.reserve(line.columns().size());
    for (const log_column& column : line.columns())
        cells.emplace_back(line.text_of(column));
    return true;
}

bool file_view::read_line(uint64_t n, log_line& line)
{
    line.assign_text({});
    line.offset = -1;
    line.set_cut_length(0);
    int64_t offset = 0;
    uint64_t length = 0;
    {
        const line_index::reader index = m_file.read_index();
        line_cursor cursor;
        if (!index.locate(n, cursor))
            return false;
        index.line_at(cursor, offset, length);
    }
    const int32_t encoding = m_file.encoding();
    const uint64_t shown = shown_line_bytes(encoding, length);
    std::string bytes(static_cast<std::size_t>(shown), '\0');
    if (shown > 0 && m_file.read_bytes(offset, bytes.data(), bytes.size()) != static_cast<int64_t>(shown))
        return false;
    std::u16string text;
    if (shown > 0 && !line_bytes_to_text(encoding, bytes.data(), bytes.size(), text, shown < length))
        return false;
    if (!text.empty())
        split_line(line, text.data(), text.size(), m_host.FindParser(m_parser_name), true);
    if (line.columns().empty() && !text.empty()) {
        line.assign_text(text);
        line.add_column(0, line.text().size());
    }
    line.offset = offset;
    if (shown < length)
        line.set_cut_length(length);
    return true;
}
