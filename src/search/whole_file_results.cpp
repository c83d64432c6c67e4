#include "search/whole_file_results.h"

#include "filter/filter_run.h"
#include "filter/text_rules.h"
#include "logfile/line_text.h"
#include "parser/split_line.h"
#include "search/chunk_workers.h"
#include "search/line_positions.h"
#include "search/literal_scan.h"
#include "search/search_literal.h"
#include "search/search_start.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <optional>

namespace {

// Needles of this many bytes or more are scanned for rather than the start
// of the matches (as find in file does).
constexpr std::size_t kLongNeedle = 3;

// How long one wait for the index thread lasts before the cancel is asked.
constexpr int kIndexWaitMs = 20;

void make_text_only(log_pattern_list& items)
{
    for (log_pattern& item : items) {
        item.data_format.data_type = DATA_TYPE_TEXT;
        make_text_only(item.sub_items);
    }
}

// Leaves of items whose name no group tests are split as text: their
// values are never compared, so typing them would only cost time.
void untype_unfiltered(log_pattern_list& items, const log_filter_groups& groups)
{
    for (log_pattern& item : items) {
        if (!item.sub_items.empty()) {
            untype_unfiltered(item.sub_items, groups);
            continue;
        }
        const bool tested =
            std::any_of(groups.groups().begin(), groups.groups().end(), [&](const log_filter_groups::group& g) {
                return !g.empty() && g.front().column() == item.name;
            });
        if (!tested)
            item.data_format.data_type = DATA_TYPE_TEXT;
    }
}

// The data type of the leaf item named column, or text when there is none.
int32_t column_type(const log_pattern_list& items, const std::u16string& column)
{
    for (const log_pattern& item : items) {
        if (!item.sub_items.empty()) {
            const int32_t type = column_type(item.sub_items, column);
            if (type != DATA_TYPE_TEXT)
                return type;
            continue;
        }
        if (item.name == column)
            return item.data_format.data_type;
    }
    return DATA_TYPE_TEXT;
}

// The groups prepared one apiece, those whose conditions compare texts
// first and date-times last.  A row passes the groups when it passes every
// group (a group on a column the row lacks passes it); each group's test
// reads only its cell and changes nothing a later test sees (every
// regular expression is searched to its end), so trying the cheap ones
// first and stopping at the first that fails gives the same rows: the
// date-times of the rows another group turns away are never read.
std::vector<std::unique_ptr<prepared_groups>> groups_cheap_first(const log_filter_groups& groups,
                                                                 const log_pattern_list& parser)
{
    std::vector<std::unique_ptr<prepared_groups>> prepared;
    if (parser.empty())
        return prepared;
    auto cost = [&](const log_filter_groups::group& g) {
        switch (column_type(parser, g.front().column())) {
        case DATA_TYPE_TEXT: return 0;
        case DATA_TYPE_DATETIME: return 2;
        default: return 1;
        }
    };
    std::vector<const log_filter_groups::group*> order;
    for (const log_filter_groups::group& g : groups.groups())
        if (!g.empty())
            order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [&](const auto* a, const auto* b) { return cost(*a) < cost(*b); });
    for (const log_filter_groups::group* g : order) {
        log_filter_groups one;
        for (const log_filter& condition : *g)
            one.AddCondition(condition);
        prepared.push_back(std::make_unique<prepared_groups>(one, parser, INT_MAX));
    }
    return prepared;
}

// Reads, converts, splits and tests one line handed on by the scan.  Its
// counts and scratch texts change with every line: a cache line of its own
// keeps the workers' testers apart.
class alignas(64) line_tester {
public:
    line_tester(log_file& file, const log_pattern_list& parser, const results_query& query, const search_needle* needle,
                const search_start* start)
        : m_file(file),
          m_find(query.what == results_query::kind::find),
          m_parser(parser),
          m_literal(!needle                 ? std::u16string()
                    : needle->literal_folds ? AsciiLowerCopy(needle->literal)
                                            : needle->literal),
          m_literal_folds(needle && needle->literal_folds),
          m_start(start ? &start->classes : nullptr),
          m_column(query.search.column),
          m_encoding(file.encoding())
    {
        if (parser.empty())
            return;
        if (m_find) {
            if (query.search.expression.empty())
                return;
            make_text_only(m_parser);
            // Every line is searched however often the pattern overruns
            // the engine's budget on some: a walk that gave up after a few
            // would hand back a partial list as if it were whole.  The walk
            // is cancellable instead.
            const CSearchInfo& search = query.search;
            m_matcher.emplace(search.expression, search.case_sensitive, search.regexp, INT_MAX);
            m_valid = true;
        } else {
            m_groups = groups_cheap_first(query.groups, parser);
            untype_unfiltered(m_parser, query.groups);
            m_valid = !m_groups.empty();
        }
    }

    bool valid() const { return m_valid; }
    uint64_t lines_split() const { return m_split; }

    bool is_hit(const indexed_line& line, const file_chunk& chunk)
    {
        const char* bytes = nullptr;
        if (line.offset >= chunk.offset
            && line.offset + static_cast<int64_t>(line.length) <= chunk.offset + static_cast<int64_t>(chunk.size)) {
            bytes = chunk.data + (line.offset - chunk.offset);
        } else {
            m_bytes.resize(line.length);
            if (m_file.read_bytes(line.offset, m_bytes.data(), line.length) == static_cast<int64_t>(line.length))
                bytes = m_bytes.data();
        }
        // A line that cannot be read or converted has no text and no
        // columns, as in a walk over every line.
        if (!bytes || !line_bytes_to_text(m_encoding, bytes, line.length, m_text, line.cut))
            m_text.clear();
        if (m_find) {
            if (m_text.empty())
                return false;
            if (!m_literal.empty()
                && !(m_literal_folds ? ContainsTextIgnoreCase(m_text, m_literal) : ContainsText(m_text, m_literal)))
                return false;
            if (m_start
                && m_start->FindIn(m_text.data(), static_cast<int>(std::min<std::size_t>(m_text.size(), INT_MAX - 1)),
                                   0)
                       < 0)
                return false;
        }
        m_line.offset = line.offset;
        if (m_text.empty()) {
            m_line.assign_text({});
        } else {
            split_line(m_line, m_text.data(), m_text.size(), m_parser, true);
        }
        ++m_split;
        return m_find ? m_matcher->LineMatches(m_line, m_column) : row_passes(m_line);
    }

private:
    log_file& m_file;
    bool m_find;
    bool m_valid = false;
    log_pattern_list m_parser; // for a find: every column as text
    std::u16string m_literal;  // lower-cased when it folds; empty: none
    bool m_literal_folds;
    const CStartClassesT* m_start;
    int32_t m_column;
    int32_t m_encoding;
    std::optional<search_matcher> m_matcher;
    // A row passes the groups when it passes each one: a group apiece,
    // tried in turn until one fails.
    bool row_passes(const log_line& row)
    {
        for (const std::unique_ptr<prepared_groups>& g : m_groups)
            if (!g->RowPasses(row))
                return false;
        return true;
    }

    std::vector<std::unique_ptr<prepared_groups>> m_groups;
    std::string m_bytes;
    std::u16string m_text;
    log_line m_line;
    uint64_t m_split = 0;
};

// What one worker walks with: its scan and its line test.
struct walker {
    std::unique_ptr<literal_scan> scan;
    std::unique_ptr<line_tester> tester;
};

// A chunk of a step walked by a worker: the numbers of its results, and how
// its scan ended once it did.  A cache line apiece: two workers append to
// the results of neighbouring chunks at once.
struct alignas(64) chunk_walk {
    enum : int { running, done, stopped, unreadable };
    std::vector<uint64_t> hits;
    std::atomic<int> state{running};
};

} // namespace

results_outcome whole_file_results(log_file& file, const log_pattern_list& parser, const results_query& query,
                                   result_lines& out, const results_options& options)
{
    results_outcome outcome;
    outcome.next_line = options.first_line;
    results_counts counts;
    const int32_t encoding = file.encoding();
    std::optional<search_needle> needle;
    std::optional<search_start> start;
    if (options.literal_scan && query.what == results_query::kind::find) {
        needle = SearchNeedle(query.search, encoding);
        start = SearchStart(query.search, encoding);
    }
    const std::size_t chunk = options.scan_chunk_size > 0 ? options.scan_chunk_size : literal_scan::kChunkSize;
    // The needle when it is long enough to be rare, else the start of the
    // matches, else a short needle; the line test checks both.
    const bool by_needle = needle && (needle->bytes.size() >= kLongNeedle || !start);
    const bool by_start = !by_needle && start;
    counts.literal_scan = by_needle;
    counts.start_scan = by_start;
    auto make_walker = [&] {
        walker w;
        if (by_needle)
            w.scan = std::make_unique<literal_scan>(file, &*needle, chunk);
        else if (by_start)
            w.scan = std::make_unique<literal_scan>(file, &*start, chunk);
        else
            w.scan = std::make_unique<literal_scan>(file, static_cast<const search_needle*>(nullptr), chunk);
        w.tester =
            std::make_unique<line_tester>(file, parser, query, needle ? &*needle : nullptr, start ? &*start : nullptr);
        return w;
    };
    std::vector<walker> walkers;
    walkers.push_back(make_walker());
    literal_scan* const scan = walkers.front().scan.get();
    line_tester& tester = *walkers.front().tester;
    auto finish = [&](results_ending ending) {
        outcome.ending = ending;
        for (const walker& w : walkers) {
            counts.bytes_scanned += w.scan->bytes_scanned();
            counts.candidate_lines += w.scan->candidate_lines();
            counts.lines_split += w.tester->lines_split();
        }
        if (options.counts)
            *options.counts = counts;
        return outcome;
    };
    if (!tester.valid())
        return finish(results_ending::invalid);

    // The helpers and their walkers come with the first step of more than
    // one chunk.
    chunk_workers workers(chunk_workers::resolve(options.workers));
    const uint64_t chunk_bytes = options.chunk_bytes > 0 ? options.chunk_bytes : chunk_workers::kChunkBytes;

    // A tail-first index that still grows renumbers every line it prepends.
    index_control& indexer = file.indexer();
    index_hold whole_walk;
    if (file.tail_mode() && indexer.is_running())
        whole_walk = indexer.hold();
    const uint64_t step = options.step_lines > 0 ? options.step_lines : kStepLines;

    // One step by the workers, its lines cut into chunks: the results of the
    // chunks done in file order are appended, and true returned, when every
    // chunk was walked; else next_line and the ending tell where it stopped.
    auto walk_chunks = [&](const line_positions& lines, const std::vector<line_chunk>& chunks, results_ending& ending) {
        while (walkers.size() < workers.workers())
            walkers.push_back(make_walker());
        std::unique_ptr<chunk_walk[]> walks(new chunk_walk[chunks.size()]);
        std::size_t published = 0;
        bool cancelled = false;
        // On the caller: the results of the chunks done, in order.
        auto publish = [&] {
            while (published < chunks.size()
                   && walks[published].state.load(std::memory_order_acquire) == chunk_walk::done) {
                for (uint64_t number : walks[published].hits)
                    out.append(number);
                ++published;
            }
        };
        auto between = [&] {
            publish();
            if (options.progress) {
                indexed_line reached;
                const uint64_t n = published < chunks.size() ? chunks[published].first : chunks.back().last;
                lines.line(n, reached);
                const int64_t offset =
                    published < chunks.size() ? reached.offset : reached.offset + static_cast<int64_t>(reached.length);
                options.progress(offset, file.file_size());
            }
            if (!cancelled && options.cancelled && options.cancelled()) {
                cancelled = true;
                workers.limit(0);
            }
        };
        const chunk_workers::task_function task = [&](unsigned worker, std::size_t k) {
            walker& w = walkers[worker];
            chunk_walk& walk = walks[k];
            const literal_scan::ending end = w.scan->scan(
                lines, chunks[k].first, chunks[k].last, false,
                [&](const indexed_line& line, const file_chunk& bytes) {
                    if (w.tester->is_hit(line, bytes))
                        walk.hits.push_back(line.number);
                    return true;
                },
                [&] {
                    if (worker == 0)
                        between();
                    return !workers.passed(k);
                });
            if (end == literal_scan::ending::unreadable)
                workers.limit(k + 1);
            walk.state.store(end == literal_scan::ending::done      ? chunk_walk::done
                             : end == literal_scan::ending::stopped ? chunk_walk::stopped
                                                                    : chunk_walk::unreadable,
                             std::memory_order_release);
        };
        // Asked once before the helpers start: they may walk every chunk
        // before the caller's first look between two of its reads.
        between();
        if (!cancelled)
            workers.run(chunks.size(), task, between);
        publish();
        if (published == chunks.size())
            return true;
        outcome.next_line = chunks[published].first;
        ending = cancelled ? results_ending::cancelled : results_ending::unreadable;
        return false;
    };

    uint64_t next = options.first_line;
    for (;;) {
        uint64_t count = 0;
        bool cancelled = false;
        literal_scan::ending ending = literal_scan::ending::done;
        uint64_t last = 0;
        int64_t last_hit = -1;
        {
            const line_index::reader reader = file.read_index();
            const line_positions lines(reader);
            count = lines.line_count();
            if (next < count) {
                last = std::min(count - 1, next + step - 1);
                if (workers.workers() > 1) {
                    const std::vector<line_chunk> chunks = cut_into_chunks(lines, next, last, chunk_bytes);
                    if (chunks.size() > 1) {
                        results_ending stopped = results_ending::done;
                        if (!walk_chunks(lines, chunks, stopped))
                            return finish(stopped);
                        next = last + 1;
                        outcome.next_line = next;
                        continue;
                    }
                }
                indexed_line first_line;
                lines.line(next, first_line);
                const uint64_t bytes_before = scan->bytes_scanned();
                ending = scan->scan(
                    lines, next, last, false,
                    [&](const indexed_line& line, const file_chunk& bytes) {
                        if (tester.is_hit(line, bytes)) {
                            out.append(line.number);
                            last_hit = static_cast<int64_t>(line.number);
                        }
                        return true;
                    },
                    [&] {
                        if (options.progress) {
                            const auto done = static_cast<int64_t>(scan->bytes_scanned() - bytes_before);
                            options.progress(first_line.offset + done, file.file_size());
                        }
                        cancelled = options.cancelled && options.cancelled();
                        return !cancelled;
                    });
            }
        }
        if (next < count) {
            if (ending == literal_scan::ending::stopped) {
                // The lines after the last result may not all have been
                // seen: a walk that goes on starts after that result.
                if (last_hit >= 0)
                    outcome.next_line = static_cast<uint64_t>(last_hit) + 1;
                return finish(results_ending::cancelled);
            }
            if (ending == literal_scan::ending::unreadable) {
                if (last_hit >= 0)
                    outcome.next_line = static_cast<uint64_t>(last_hit) + 1;
                return finish(results_ending::unreadable);
            }
            next = last + 1;
            outcome.next_line = next;
            continue;
        }
        // Every line indexed so far was walked.
        if (options.wait_for_index && !whole_walk.holds(indexer) && indexer.is_running()) {
            indexer.wait_stopped(kIndexWaitMs);
            if (options.cancelled && options.cancelled())
                return finish(results_ending::cancelled);
            continue;
        }
        // Lines added after they were counted, by an index thread that ended since.
        if (options.wait_for_index && !whole_walk.holds(indexer) && file.line_count() > next)
            continue;
        return finish(results_ending::done);
    }
}
