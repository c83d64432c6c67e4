#include "search/find_in_file.h"

#include "search/chunk_workers.h"
#include "search/line_positions.h"
#include "search/literal_scan.h"
#include "search/search_literal.h"
#include "search/search_start.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace {

// Needles of this many bytes or more are scanned for rather than the start
// of the matches: they are rare enough in text.
constexpr std::size_t kLongNeedle = 3;

// While the search waits for lines the index thread adds: the most lines it
// waits for, and how long one wait lasts before the cancel is looked at.
constexpr uint64_t kIndexWaitLines = 1000000;
constexpr int kIndexWaitStepMs = 20;

// Holds the file's index thread while the search reads the index and
// parses windows, and lets it go on otherwise.
class indexer_hold {
public:
    explicit indexer_hold(log_file& file) : m_control(file.indexer()) {}
    indexer_hold(const indexer_hold&) = delete;
    indexer_hold& operator=(const indexer_hold&) = delete;

    void pause()
    {
        if (!m_token)
            m_token = m_control.hold();
    }
    void resume() { m_token.release(); }
    bool running() { return m_control.is_running(); }
    const index_hold& token() const { return m_token; }

private:
    index_control& m_control;
    index_hold m_token;
};

// A view of the index with its positions, for one step while the index
// thread is paused.  It must be gone before the thread goes on: the thread's
// backward scan waits for the index while holding the window lock.
struct index_view {
    explicit index_view(const log_file& file) : reader(file.read_index()), lines(reader) {}
    line_index::reader reader;
    line_positions lines;
};

// The window the view would have: parsed in the file, or only reckoned (the
// fast path did not need its lines) and then known by the file offsets of
// its first and last line, which stay right while lines are added.
struct view_window {
    bool parsed = true;
    int64_t first_offset = -1;
    int64_t last_offset = -1;
};

// One step's plan: the window to parse and the rows of it already searched.
struct window_plan {
    int64_t first = -1; // g: the first line of the window to parse
    int64_t last = -1;  // the last line such a parse gives
    bool parsable = false;
    // Rows already searched: up, rows at or after this offset; down, rows at
    // or before it; -1 when none.
    int64_t searched_from = -1;
};

window_plan plan_window(const log_file::window_numbers& now, const line_positions& lines, uint64_t max_lines, bool up)
{
    const auto n = static_cast<int64_t>(lines.line_count());
    const auto m = static_cast<int64_t>(max_lines > 0 ? max_lines : lines.line_count());
    window_plan plan;
    const int64_t f = now.first;
    const int64_t d = now.last;
    indexed_line boundary;
    if (f < 0 || d < 0) {
        // No window in the view: nothing was searched yet.
        plan.first = up ? std::max<int64_t>(n - m, 0) : 0;
    } else if (up) {
        plan.first = m < f ? f - m : 0;
        if (lines.line(static_cast<uint64_t>(f), boundary))
            plan.searched_from = boundary.offset;
    } else {
        plan.first = d + m < n ? d + 1 : n - m;
        if (lines.line(static_cast<uint64_t>(d), boundary))
            plan.searched_from = boundary.offset;
    }
    plan.parsable = plan.first >= 0 && plan.first < n;
    plan.last = plan.parsable ? std::min(plan.first + m, n) - 1 : -1;
    return plan;
}

// Whether a row was already searched in an earlier window.
bool searched_before(const window_plan& plan, bool up, int64_t offset)
{
    if (plan.searched_from < 0)
        return false;
    return up ? offset >= plan.searched_from : offset <= plan.searched_from;
}

const std::vector<log_line*>& rows_of(const log_file::window_reader& window, row_source source)
{
    switch (source) {
    case row_source::quick_lines: return window.quick_lines();
    case row_source::filtered_lines: return window.filtered_lines();
    default: return window.lines();
    }
}

class search_run {
public:
    search_run(log_file& file, const log_pattern_list& parser, const CSearchInfo& search,
               const find_in_file_options& options)
        : m_file(file),
          m_parser(parser),
          m_search(search),
          m_options(options),
          m_hold(file),
          m_workers(options.literal_scan ? chunk_workers::resolve(options.workers) : 1),
          m_matcher(search_matcher::ForLine(search)),
          m_source(options.quick_filter_text ? row_source::quick_lines
                   : options.filter_enabled  ? row_source::filtered_lines
                                             : row_source::all_lines)
    {
        if (options.literal_scan) {
            const int32_t encoding = file.encoding();
            m_needle = SearchNeedle(search, encoding);
            m_start = SearchStart(search, encoding);
            const search_needle* needle = m_needle ? &*m_needle : nullptr;
            m_counts.literal_scan = needle && (needle->bytes.size() >= kLongNeedle || !m_start);
            m_counts.start_scan = m_start && !m_counts.literal_scan;
            m_scan = make_scan();
            m_check = std::make_unique<candidate_check>(file, parser, needle, m_start ? &*m_start : nullptr, m_source,
                                                        m_matcher, search.column);
            // The helpers' scans and tests are made here, before any hold:
            // a test reads the window's filters, under the window lock.
            for (unsigned w = 1; w < m_workers.workers(); ++w) {
                helper_scan helper;
                helper.matcher = std::make_unique<search_matcher>(search_matcher::ForLine(search));
                helper.scan = make_scan();
                helper.check = std::make_unique<candidate_check>(file, parser, needle, m_start ? &*m_start : nullptr,
                                                                 m_source, *helper.matcher, search.column);
                m_helpers.push_back(std::move(helper));
            }
        }
        m_counts.fast_path = options.literal_scan;
    }

    ~search_run()
    {
        if (m_scan) {
            m_counts.bytes_scanned = m_scan->bytes_scanned();
            m_counts.candidate_lines = m_scan->candidate_lines();
            m_counts.lines_split = m_check->lines_split();
            for (const helper_scan& helper : m_helpers) {
                m_counts.bytes_scanned += helper.scan->bytes_scanned();
                m_counts.candidate_lines += helper.scan->candidate_lines();
                m_counts.lines_split += helper.check->lines_split();
            }
        }
        if (m_options.counts)
            *m_options.counts = m_counts;
    }
    search_run(const search_run&) = delete;
    search_run& operator=(const search_run&) = delete;

    find_result run();

private:
    enum class walk_end { none, found, cancelled };

    // Walks the rows of the parsed window that plan did not mark searched;
    // hint, when not -1, is the offset of the row known to match, every row
    // before it being known not to.
    walk_end walk(const window_plan& plan, int64_t hint, int64_t& row);
    // The fast path over the rows of a window not yet searched: the offset of
    // the first line that would match, none, or a cancel noticed.
    walk_end reckon(const window_plan& plan, const index_view& view, int64_t& hit);
    // The same over the chunks of those lines, scanned by the workers.
    walk_end reckon_chunks(const index_view& view, const std::vector<line_chunk>& chunks, int64_t& hit);
    // The scan of the search's needle or start (or of every line).
    std::unique_ptr<literal_scan> make_scan();
    bool cancel_now();
    // Lets the index thread go on until it has added about a window of lines.
    void let_lines_come();
    bool parse(int64_t first);
    // The view's last line and the line count once a window's walk found
    // nothing: read again from the file after a parse (lines may have come
    // meanwhile), else those of the window the view would still have.
    void window_end(bool parsed, const view_window& current, const log_file::window_numbers& before, int64_t& last_line,
                    uint64_t& line_count);
    void reached(const find_window& window);

    log_file& m_file;
    const log_pattern_list& m_parser;
    const CSearchInfo& m_search;
    const find_in_file_options& m_options;
    indexer_hold m_hold;
    chunk_workers m_workers;
    search_matcher m_matcher;
    row_source m_source;
    std::optional<search_needle> m_needle;
    std::optional<search_start> m_start;
    std::unique_ptr<literal_scan> m_scan;
    std::unique_ptr<candidate_check> m_check;
    // The scans and tests of workers 1 and on (worker 0, the caller, has
    // m_scan and m_check).
    struct helper_scan {
        std::unique_ptr<search_matcher> matcher;
        std::unique_ptr<literal_scan> scan;
        std::unique_ptr<candidate_check> check;
    };
    std::vector<helper_scan> m_helpers;
    // A cancel was taken where no row could stop the search: the next row does.
    bool m_cancel_pending = false;
    find_counts m_counts;
    bool m_window_moved = false; // a window was parsed
};

std::unique_ptr<literal_scan> search_run::make_scan()
{
    const std::size_t chunk = m_options.scan_chunk_size > 0 ? m_options.scan_chunk_size : literal_scan::kChunkSize;
    // The bytes are scanned for the needle when it is long enough to be
    // rare, else for the start of the matches when that says something,
    // else for a short needle; the line test checks both.
    if (m_counts.literal_scan)
        return std::make_unique<literal_scan>(m_file, &*m_needle, chunk);
    if (m_counts.start_scan)
        return std::make_unique<literal_scan>(m_file, &*m_start, chunk);
    return std::make_unique<literal_scan>(m_file, m_needle ? &*m_needle : nullptr, chunk);
}

void search_run::let_lines_come()
{
    // One pass per hold would make the search and the index thread take
    // turns every 10000 lines, each turn a pause and a resume of a thread
    // that runs below normal priority; a window's worth of passes (or the
    // thread's end) comes first, looking at the cancel between waits.
    index_control& indexer = m_file.indexer();
    const uint64_t lines = m_options.max_lines > 0 ? m_options.max_lines : kIndexWaitLines;
    const uint64_t passes =
        std::clamp<uint64_t>(lines / log_file::kPassLines, 1, kIndexWaitLines / log_file::kPassLines);
    const uint64_t target = indexer.passes() + passes;
    m_hold.resume();
    ++m_counts.index_waits;
    while (!indexer.wait_passes(target, kIndexWaitStepMs)) {
        if (cancel_now())
            return;
    }
}

bool search_run::cancel_now()
{
    if (m_cancel_pending)
        return true;
    if (m_options.cancelled && m_options.cancelled())
        m_cancel_pending = true;
    return m_cancel_pending;
}

bool search_run::parse(int64_t first)
{
    m_hold.pause(); // a parse needs the hold; the next resume() lets go
    m_window_moved = true;
    const bool parsed = m_file.parse_range(m_hold.token(), m_parser, first, m_options.max_lines);
    if (parsed)
        ++m_counts.windows_parsed;
    return parsed;
}

void search_run::window_end(bool parsed, const view_window& current, const log_file::window_numbers& before,
                            int64_t& last_line, uint64_t& line_count)
{
    if (!parsed && !current.parsed) {
        last_line = before.last;
        line_count = before.line_count;
        return;
    }
    const log_file::window_numbers after = m_file.read_window_numbers();
    last_line = after.last;
    line_count = after.line_count;
}

void search_run::reached(const find_window& window)
{
    ++m_counts.windows_reached;
    if (m_options.window_reached)
        m_options.window_reached(window);
}

search_run::walk_end search_run::walk(const window_plan& plan, int64_t hint, int64_t& row)
{
    const log_file::window_reader window = m_file.read_window();
    const std::vector<log_line*>& rows = rows_of(window, m_source);
    const bool up = m_search.up;
    const auto count = static_cast<int64_t>(rows.size());
    for (int64_t k = 0; k < count; ++k) {
        const int64_t i = up ? count - 1 - k : k;
        const log_line& line = *rows[static_cast<std::size_t>(i)];
        if (searched_before(plan, up, line.offset))
            continue;
        if (hint >= 0) {
            // Rows before the hint are known not to match, and the scan that
            // found it looked at the cancel as it went: they are passed over
            // without a look each.  Past it (never, unless the file changed
            // under the search) every row is tested.
            if (line.offset == hint) {
                row = i;
                return walk_end::found;
            }
            if (up ? line.offset > hint : line.offset < hint)
                continue;
            hint = -1;
        }
        if (cancel_now()) {
            m_cancel_pending = false;
            row = i;
            return walk_end::cancelled;
        }
        if (m_matcher.LineMatches(line, m_search.column)) {
            row = i;
            return walk_end::found;
        }
    }
    return walk_end::none;
}

search_run::walk_end search_run::reckon(const window_plan& plan, const index_view& view, int64_t& hit)
{
    const bool up = m_search.up;
    // The lines of the window not searched before.
    int64_t first = plan.first;
    int64_t last = plan.last;
    if (plan.searched_from >= 0) {
        const int64_t boundary = view.lines.number_at(plan.searched_from);
        if (boundary >= 0) {
            if (up)
                last = std::min(last, boundary - 1);
            else
                first = std::max(first, boundary + 1);
        }
    }
    if (first > last)
        return walk_end::none; // every row was searched: no row to test a cancel before
    // The walk would test the cancel before the first row; the window's first
    // row is as good a place to stop as any row the walk would be at.
    if (cancel_now())
        return walk_end::cancelled;
    if (m_workers.workers() > 1) {
        const uint64_t bytes = m_options.chunk_bytes > 0 ? m_options.chunk_bytes : chunk_workers::kChunkBytes;
        const std::vector<line_chunk> chunks =
            cut_into_chunks(view.lines, static_cast<uint64_t>(first), static_cast<uint64_t>(last), bytes);
        if (chunks.size() > 1)
            return reckon_chunks(view, chunks, hit);
    }
    bool found = false;
    bool cancelled = false;
    const literal_scan::ending end = m_scan->scan(
        view.lines, static_cast<uint64_t>(first), static_cast<uint64_t>(last), up,
        [&](const indexed_line& line, const file_chunk& chunk) {
            if (!m_check->is_hit(line, chunk))
                return true;
            hit = line.offset;
            found = true;
            return false;
        },
        [&] {
            cancelled = cancel_now();
            return !cancelled;
        });
    (void)end;
    if (found)
        return walk_end::found;
    return cancelled ? walk_end::cancelled : walk_end::none;
}

search_run::walk_end search_run::reckon_chunks(const index_view& view, const std::vector<line_chunk>& chunks,
                                               int64_t& hit)
{
    // Chunk k in the search's direction: up, the chunks from the last back.
    const bool up = m_search.up;
    const std::size_t count = chunks.size();
    struct alignas(64) chunk_scan {
        enum : int { waiting, done, found, stopped };
        std::atomic<int> state{waiting};
        int64_t offset = -1;
    };
    std::unique_ptr<chunk_scan[]> scans(new chunk_scan[count]);
    bool cancelled = false;
    auto between = [&] {
        if (!cancelled && cancel_now()) {
            cancelled = true;
            m_workers.limit(0);
        }
    };
    const chunk_workers::task_function task = [&](unsigned worker, std::size_t k) {
        const line_chunk& lines = chunks[up ? count - 1 - k : k];
        literal_scan& scan = worker == 0 ? *m_scan : *m_helpers[worker - 1].scan;
        candidate_check& check = worker == 0 ? *m_check : *m_helpers[worker - 1].check;
        chunk_scan& state = scans[k];
        bool found = false;
        scan.scan(
            view.lines, lines.first, lines.last, up,
            [&](const indexed_line& line, const file_chunk& bytes) {
                if (m_workers.passed(k) || !check.is_hit(line, bytes))
                    return !m_workers.passed(k);
                state.offset = line.offset;
                found = true;
                return false;
            },
            [&] {
                if (worker == 0)
                    between();
                return !m_workers.passed(k);
            });
        // A short read ends the chunk's scan as it ends one thread's: the
        // rest of it is passed over.
        if (found)
            m_workers.limit(k + 1);
        state.state.store(found                 ? chunk_scan::found
                          : m_workers.passed(k) ? chunk_scan::stopped
                                                : chunk_scan::done,
                          std::memory_order_release);
    };
    m_workers.run(count, task, between);
    for (std::size_t k = 0; k < count; ++k) {
        const int state = scans[k].state.load(std::memory_order_acquire);
        if (state == chunk_scan::found) {
            hit = scans[k].offset;
            return walk_end::found;
        }
        if (state != chunk_scan::done)
            return walk_end::cancelled; // only a cancel leaves a chunk before the first hit unscanned
    }
    return cancelled ? walk_end::cancelled : walk_end::none;
}

find_result search_run::run()
{
    const bool up = m_search.up;
    view_window current;
    find_result result;
    // The offset of the view's first line before the search, when it is to
    // be parsed again after finding nothing.
    int64_t start_offset = -1;
    if (m_options.keep_window_when_not_found) {
        const log_file::window_reader window = m_file.read_window();
        if (!window.lines().empty())
            start_offset = window.lines().front()->offset;
    }
    for (;;) {
        m_hold.pause();
        auto view = std::make_unique<index_view>(m_file);
        log_file::window_numbers now;
        if (current.parsed) {
            now = m_file.read_window_numbers();
        } else {
            now.first = view->lines.number_at(current.first_offset);
            now.last = view->lines.number_at(current.last_offset);
            now.line_count = view->lines.line_count();
        }
        const window_plan plan = plan_window(now, view->lines, m_options.max_lines, up);
        bool parsed = false;
        bool reckoned_window = false; // the fast path took the window in
        int64_t last_line = -1;
        uint64_t line_count = view->lines.line_count();
        // The lines there were when this step's window was planned, under the hold.
        const uint64_t planned_count = line_count;

        if (m_scan && !m_cancel_pending && plan.parsable) {
            reached({plan.first, plan.last, line_count});
            reckoned_window = true;
            int64_t hit = -1;
            const walk_end reckoned = reckon(plan, *view, hit);
            if (reckoned == walk_end::none) {
                indexed_line a;
                indexed_line b;
                view->lines.line(static_cast<uint64_t>(plan.first), a);
                view->lines.line(static_cast<uint64_t>(plan.last), b);
                current = {false, a.offset, b.offset};
                last_line = plan.last;
            } else {
                // A hit or a cancel: the window is parsed as the walk would
                // have parsed it, and walked.
                parsed = parse(plan.first);
                view.reset();
                m_hold.resume();
                if (parsed) {
                    current = view_window{};
                    int64_t row = 0;
                    const walk_end end = walk(plan, reckoned == walk_end::found ? hit : -1, row);
                    if (end != walk_end::none) {
                        result.outcome = end == walk_end::found ? find_outcome::found : find_outcome::cancelled;
                        result.row = row;
                        return result;
                    }
                }
                window_end(parsed, current, now, last_line, line_count);
            }
        } else {
            if (plan.parsable)
                parsed = parse(plan.first);
            view.reset();
            m_hold.resume();
            if (parsed) {
                current = view_window{};
                reached({plan.first, plan.last, now.line_count});
                int64_t row = 0;
                const walk_end end = walk(plan, -1, row);
                if (end != walk_end::none) {
                    result.outcome = end == walk_end::found ? find_outcome::found : find_outcome::cancelled;
                    result.row = row;
                    return result;
                }
            }
            window_end(parsed, current, now, last_line, line_count);
        }

        // No match in this window: go on, or give up at the end of the index.
        const bool indexing = m_hold.running();
        // The index thread runs while no view is held: it may have added
        // lines after they were counted here and ended since.  Those lines
        // are searched too (the next step plans with them).
        // Counted against the lines there were when the window was planned:
        // a walk after the hold was let go may have read the count again
        // after such lines came.
        const bool grew_and_ended = !view && !indexing && m_file.line_count() != planned_count;
        bool go_on;
        if (up)
            go_on = plan.first > 0 || (plan.first == 0 && indexing && m_file.tail_mode());
        else
            go_on = !(static_cast<int64_t>(line_count) == last_line + 1 && (!indexing || m_file.tail_mode()));
        if (grew_and_ended && (up ? m_file.tail_mode() : !m_file.tail_mode()))
            go_on = true;
        // A window that cannot be parsed (none is left, or the parser has no
        // items) while the index is quiet would be tried for ever; but when
        // the index thread added lines since the plan and ended, the next
        // plan has them (down at the end of what was indexed, no window
        // after it can be planned until they come).
        if (!parsed && !reckoned_window && !indexing && m_file.line_count() == planned_count)
            go_on = false;
        if (!go_on)
            break;
        if (view) {
            // The next window needs lines the index thread is still adding:
            // let it go on until the next step pauses it again.
            const bool needs_lines = up ? plan.first == 0 : static_cast<int64_t>(line_count) == last_line + 1;
            view.reset();
            if (needs_lines)
                let_lines_come();
        }
    }

    result.outcome = find_outcome::not_found;
    result.row = 0;
    if (start_offset >= 0) {
        // Nothing found: the view goes back to the window it had, found by
        // its first line's offset (a tail-first index may have grown in
        // front of it meanwhile).
        if (m_window_moved) {
            m_hold.pause();
            int64_t first = -1;
            {
                const index_view view(m_file);
                first = view.lines.number_at(start_offset);
            }
            if (first >= 0)
                parse(first);
            m_hold.resume();
        }
        return result;
    }
    // Nothing found: the window the search ended in goes into the view.
    if (!current.parsed) {
        m_hold.pause();
        int64_t first = -1;
        {
            const index_view view(m_file);
            first = view.lines.number_at(current.first_offset);
        }
        if (first >= 0)
            parse(first);
        m_hold.resume();
    }
    return result;
}

} // namespace

find_result find_in_file(log_file& file, const log_pattern_list& parser, const CSearchInfo& search,
                         const find_in_file_options& options)
{
    search_run run(file, parser, search, options);
    return run.run();
}
