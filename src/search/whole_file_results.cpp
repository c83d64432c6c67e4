#include "search/whole_file_results.h"

#include "filter/filter_run.h"
#include "filter/text_rules.h"
#include "logfile/line_text.h"
#include "parser/split_line.h"
#include "search/line_positions.h"
#include "search/literal_scan.h"
#include "search/search_literal.h"
#include "search/search_start.h"

#include <algorithm>
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

// Reads, converts, splits and tests one line handed on by the scan.
class line_tester {
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
            m_groups = std::make_unique<prepared_groups>(query.groups, parser, INT_MAX);
            untype_unfiltered(m_parser, query.groups);
            m_valid = !m_groups->inert();
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
        return m_find ? m_matcher->LineMatches(m_line, m_column) : m_groups->RowPasses(m_line);
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
    std::unique_ptr<prepared_groups> m_groups;
    std::string m_bytes;
    std::u16string m_text;
    log_line m_line;
    uint64_t m_split = 0;
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
    std::unique_ptr<literal_scan> scan;
    // The needle when it is long enough to be rare, else the start of the
    // matches, else a short needle; the line test checks both.
    if (needle && (needle->bytes.size() >= kLongNeedle || !start)) {
        scan = std::make_unique<literal_scan>(file, &*needle, chunk);
        counts.literal_scan = true;
    } else if (start) {
        scan = std::make_unique<literal_scan>(file, &*start, chunk);
        counts.start_scan = true;
    } else {
        scan = std::make_unique<literal_scan>(file, static_cast<const search_needle*>(nullptr), chunk);
    }
    line_tester tester(file, parser, query, needle ? &*needle : nullptr, start ? &*start : nullptr);
    auto finish = [&](results_ending ending) {
        outcome.ending = ending;
        counts.bytes_scanned = scan->bytes_scanned();
        counts.candidate_lines = scan->candidate_lines();
        counts.lines_split = tester.lines_split();
        if (options.counts)
            *options.counts = counts;
        return outcome;
    };
    if (!tester.valid())
        return finish(results_ending::invalid);

    // A tail-first index that still grows renumbers every line it prepends.
    index_control& indexer = file.indexer();
    index_hold whole_walk;
    if (file.tail_mode() && indexer.is_running())
        whole_walk = indexer.hold();
    const uint64_t step = options.step_lines > 0 ? options.step_lines : kStepLines;

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
