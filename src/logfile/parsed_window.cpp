// The parsed window: the parse that builds it from the index, reusing what
// the old window already holds, and the rule of who may touch it.
#include "logfile/parsed_window.h"

#include "logfile/line_bytes_reader.h"
#include "logfile/line_indexer.h"
#include "logfile/line_text.h"
#include "logfile/window_bounds.h"
#include "parser/split_line.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <new>
#include <thread>
#include <utility>

namespace {

// The most characters a line's text converts to.
constexpr std::size_t kConvertBufferSize = kMaxLineUnits + 1;
static_assert(kMaxLineUnits <= kMaxLineText, "a window line holds all the text read for it");

// A stretch of new lines this long or longer is shared with a second thread,
// which makes its second half.
constexpr uint64_t kSharedFrom = 2048;

// Makes the new lines of a parse on one thread: reads their bytes, converts
// them, cuts each line from the thread's arena and splits it there and then,
// while its text is still in this core's cache.
class line_maker {
public:
    line_maker(line_source& source, const split_plan& plan, line_arena& arena, std::size_t columns)
        : m_reader(source), m_plan(plan), m_arena(arena), m_columns(columns), m_encoding(source.encoding())
    {
        m_text.reserve(kConvertBufferSize);
    }

    // The new line at cursor, which starts at offset and is whole bytes long;
    // null when its bytes cannot be read or converted.  A read takes the new
    // lines that follow as well, up to 4 MB, among the next ahead lines of
    // the stretch, and no byte that none of them needs.  Throws bad_alloc.
    template <class IsNew>
    std::unique_ptr<log_line> make(const line_index::reader& index, const line_cursor& cursor, int64_t offset,
                                   uint64_t whole, uint64_t ahead, IsNew is_new)
    {
        // A long line is read as far as its text goes.
        const auto length = static_cast<std::size_t>(shown_line_bytes(m_encoding, whole));
        int64_t wanted_end = offset + static_cast<int64_t>(length);
        if (!m_reader.holds(offset, length)) {
            line_cursor next = cursor;
            for (uint64_t n = 0; n < ahead && index.advance(next); ++n) {
                int64_t next_offset;
                uint64_t next_length;
                index.line_at(next, next_offset, next_length);
                const auto next_end = next_offset + static_cast<int64_t>(shown_line_bytes(m_encoding, next_length));
                if (!is_new(next_offset) || next_end - offset > static_cast<int64_t>(line_indexer::kReadBufferSize))
                    break;
                wanted_end = next_end;
            }
        }
        const char* bytes = m_reader.bytes(offset, length, wanted_end);
        if (!bytes || !line_bytes_to_text(m_encoding, bytes, length, m_text, length < whole))
            return nullptr;
        ++m_converted;
        // One block: the line, its column records and its text.
        std::unique_ptr<log_line> line(log_line::create(m_text, m_columns, &m_arena));
        line->offset = offset;
        if (length < whole)
            line->cut_length = whole;
        split_line(*line, line->text().data(), line->text().size(), m_plan, false);
        return line;
    }

    uint64_t converted() const { return m_converted; }
    uint64_t reads() const { return m_reader.reads(); }
    uint64_t bytes_read() const { return m_reader.bytes_read(); }

private:
    line_bytes_reader m_reader;
    const split_plan& m_plan;
    line_arena& m_arena;
    const std::size_t m_columns;
    const int32_t m_encoding;
    std::u16string m_text;
    uint64_t m_converted = 0;
};

// What a thread that makes lines counted.
struct made_counts {
    uint64_t visited = 0;
    uint64_t converted = 0;
    uint64_t reads = 0;
    uint64_t bytes_read = 0;
};

// The second thread of a parse: makes the lines [first, last) of the
// window, every one of them new, into lines of its own, which the parse
// takes once the thread has ended.  It touches neither the window nor the
// parsing thread's lines, and keeps what it changes line by line on its own
// stack, away from the parsing thread's cache lines.
class shared_stretch {
public:
    shared_stretch(const line_index::reader& index, line_source& source, const log_pattern_list& parser,
                   line_arena& arena, std::size_t columns, uint64_t first, uint64_t last)
        : m_index(index), m_source(source), m_parser(parser), m_arena(arena), m_columns(columns), m_first(first),
          m_last(last)
    {
    }
    ~shared_stretch()
    {
        join();
        DeleteLines(m_lines.data(), m_lines.size()); // those not taken
    }
    shared_stretch(const shared_stretch&) = delete;
    shared_stretch& operator=(const shared_stretch&) = delete;

    // Starts the thread; false when none can be had.
    bool start()
    {
        try {
            m_thread = std::thread([this] { work(); });
            return true;
        } catch (...) {
            return false;
        }
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // After join: whether every line was made (no allocation failed), and
    // what the work counted.
    bool complete() const { return !m_failed; }
    const made_counts& counts() const { return m_counts; }
    // After join: the lines made, in file order, now the caller's.
    std::vector<log_line*> take_lines() { return std::exchange(m_lines, {}); }

private:
    void work()
    {
        // Read once: what the loop uses is its own (the plan too).
        const line_index::reader& index = m_index;
        const uint64_t last = m_last;
        std::vector<log_line*> lines;
        made_counts counts;
        try {
            const split_plan plan(m_parser);
            line_maker maker(m_source, plan, m_arena, m_columns);
            lines.reserve(static_cast<std::size_t>(last - m_first));
            line_cursor cursor;
            bool more = index.locate(m_first, cursor);
            for (uint64_t n = m_first; more && n < last; ++n) {
                int64_t offset;
                uint64_t whole;
                index.line_at(cursor, offset, whole);
                ++counts.visited;
                std::unique_ptr<log_line> line =
                    maker.make(index, cursor, offset, whole, last - n - 1, [](int64_t) { return true; });
                if (line)
                    lines.push_back(line.release());
                more = n + 1 < last && index.advance(cursor);
            }
            counts.converted = maker.converted();
            counts.reads = maker.reads();
            counts.bytes_read = maker.bytes_read();
        } catch (...) {
            m_failed = true;
        }
        m_lines = std::move(lines);
        m_counts = counts;
    }

    const line_index::reader& m_index;
    line_source& m_source;
    const log_pattern_list& m_parser;
    line_arena& m_arena;
    const std::size_t m_columns;
    const uint64_t m_first;
    const uint64_t m_last;
    std::vector<log_line*> m_lines;
    made_counts m_counts;
    bool m_failed = false;
    std::thread m_thread;
};

struct shared_range {
    uint64_t first = 0;
    uint64_t last = 0;
};

// The part of lines [first, end) that a second thread makes: the second half
// of the longer stretch of lines that lie before or after every line of the
// old window (from old_first to old_last; -1 when there is none), when it is
// long enough to share; empty otherwise.
shared_range shared_part(const line_index::reader& index, uint64_t first, uint64_t end, int64_t old_first,
                         int64_t old_last)
{
    uint64_t head_end = end;    // lines [first, head_end) lie before the old window
    uint64_t tail_first = end;  // lines [tail_first, end) lie after it
    if (old_first >= 0) {
        uint64_t number;
        int64_t offset;
        uint64_t length;
        // The last line that starts at or before a position: the lines
        // before it start before the position, those after it after it.
        head_end = index.line_from(old_first, number, offset, length) ? std::clamp(number, first, end) : first;
        tail_first = index.line_from(old_last, number, offset, length) ? std::clamp(number + 1, first, end) : first;
    }
    const uint64_t head = head_end - first;
    const uint64_t tail = end - tail_first;
    const uint64_t run_first = head >= tail ? first : tail_first;
    const uint64_t run = std::max(head, tail);
    if (run < kSharedFrom)
        return {};
    return {run_first + run / 2, run_first + run};
}

// Membership of each old line in the old filtered (bit 1) and quick (bit 2)
// lists.  Both lists are in file order, like the lines, so one pass finds it.
std::vector<uint8_t> old_verdicts(const std::vector<log_line*>& lines, const std::vector<log_line*>& filtered,
                                  const std::vector<log_line*>& quick)
{
    std::vector<uint8_t> verdicts(lines.size(), 0);
    std::size_t f = 0;
    std::size_t q = 0;
    for (std::size_t j = 0; j < lines.size(); ++j) {
        if (f < filtered.size() && filtered[f] == lines[j]) {
            verdicts[j] |= 1;
            ++f;
        }
        if (q < quick.size() && quick[q] == lines[j]) {
            verdicts[j] |= 2;
            ++q;
        }
    }
    return verdicts;
}

} // namespace

std::vector<tagDATA_FORMAT> column_formats(const log_pattern_list& parser)
{
    std::vector<const log_pattern*> leaves;
    leaf_count(parser, &leaves);
    std::vector<tagDATA_FORMAT> formats;
    formats.reserve(leaves.size());
    for (const log_pattern* leaf : leaves)
        formats.push_back(leaf->data_format);
    return formats;
}

void window_rule::begin_read() const
{
    m_readers.fetch_add(1);
    assert(m_writers.load() == 0 && "the window is read while a job changes it");
}

void window_rule::end_read() const
{
    m_readers.fetch_sub(1);
}

void window_rule::begin_write() const
{
    [[maybe_unused]] const int writers = m_writers.fetch_add(1);
    assert(writers == 0 && "two threads change the window at once");
    assert(m_readers.load() == 0 && "the window is changed while it is read");
}

void window_rule::end_write() const
{
    m_writers.fetch_sub(1);
}

void parsed_window::discard()
{
    writer changing(*this);
    m_lines.discard();
    m_filtered_lines.clear();
    m_quick_lines.clear();
    m_split_formats.emplace();
}

bool parsed_window::parse(const line_index::reader& index, line_source& source, const log_pattern_list& parser,
                          int64_t first_line, uint64_t count, window_bounds& bounds)
{
    if (parser.empty() || first_line < 0)
        return false;
    const uint64_t total = index.line_count();
    if (static_cast<uint64_t>(first_line) >= total)
        return false;
    const uint64_t to_visit = count > 0 && count < total ? count : total;
    bounds.set(-1, -1);

    // The old window: its lines move out of the window; those found again
    // move into the new window and leave a null behind.
    std::vector<log_line*> old_lines = m_lines.exchange({});
    const std::vector<uint8_t> carried = old_verdicts(old_lines, m_filtered_lines, m_quick_lines);
    m_filtered_lines.clear();
    m_quick_lines.clear();
    const int64_t old_first = old_lines.empty() ? -1 : old_lines.front()->offset;
    const int64_t old_last = old_lines.empty() ? -1 : old_lines.back()->offset;
    auto is_new = [&](int64_t offset) { return old_lines.empty() || offset < old_first || offset > old_last; };

    const bool groups = m_verdicts->groups_in_force();
    const bool quick = m_verdicts->quick_in_force();

    const auto columns = static_cast<std::size_t>(std::max(leaf_count(parser), 0));
    parse_counts counts;
    std::vector<log_line*> lines;
    // For each line of the new window: -1 for a new line, else its place in
    // the old window (whose verdicts it carries).
    std::vector<int64_t> origins;
    std::vector<log_line*> filtered;
    std::vector<log_line*> quick_lines;
    bool complete = true;
    try {
        if (groups || quick)
            m_verdicts->bind(parser);
        lines.reserve(static_cast<std::size_t>(to_visit));
        origins.reserve(static_cast<std::size_t>(to_visit));
        const split_plan plan(parser);
        line_maker maker(source, plan, m_arena, columns);
        const uint64_t first = static_cast<uint64_t>(first_line);
        const uint64_t end = first + std::min(to_visit, total - first);

        // A long stretch of new lines is shared: a second thread makes its
        // second half while this one makes the rest.
        const shared_range shared = shared_part(index, first, end, old_first, old_last);
        // On the heap, apart from this thread's stack, which it writes
        // all the time.
        std::unique_ptr<shared_stretch> helper;
        bool helped = false;
        if (shared.first < shared.last && std::thread::hardware_concurrency() > 1) {
            helper = std::make_unique<shared_stretch>(index, source, parser, *m_helper_arena, columns, shared.first,
                                                      shared.last);
            helped = helper->start();
        }

        // Lines [from, to) with reuse of the old window's lines.
        std::size_t old_next = 0; // where the search for the next reused line starts
        line_cursor cursor;
        auto visit = [&](uint64_t from, uint64_t to) {
            bool more = from < to && index.locate(from, cursor);
            for (uint64_t n = from; more && n < to; ++n) {
                int64_t offset;
                uint64_t whole;
                index.line_at(cursor, offset, whole);
                ++counts.visited;
                if (is_new(offset)) {
                    std::unique_ptr<log_line> line = maker.make(index, cursor, offset, whole, to - n - 1, is_new);
                    if (line) {
                        lines.push_back(line.release());
                        origins.push_back(-1);
                    }
                } else {
                    while (old_next < old_lines.size() && old_lines[old_next]->offset < offset)
                        ++old_next;
                    if (old_next < old_lines.size() && old_lines[old_next]->offset == offset) {
                        lines.push_back(old_lines[old_next]);
                        origins.push_back(static_cast<int64_t>(old_next));
                        ++counts.reused;
                        old_lines[old_next] = nullptr;
                        ++old_next;
                    }
                }
                more = n + 1 < to && index.advance(cursor);
            }
        };
        if (helped) {
            visit(first, shared.first);
            const std::size_t before_shared = lines.size();
            visit(shared.last, end);
            helper->join();
            std::vector<log_line*> made = helper->take_lines();
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(before_shared), made.begin(), made.end());
            origins.insert(origins.begin() + static_cast<std::ptrdiff_t>(before_shared), made.size(), -1);
            counts.visited += helper->counts().visited;
            counts.converted += helper->counts().converted;
            counts.reads += helper->counts().reads;
            counts.bytes_read += helper->counts().bytes_read;
            complete = helper->complete();
        } else {
            visit(first, end);
        }
        counts.converted += maker.converted();
        counts.reads += maker.reads();
        counts.bytes_read += maker.bytes_read();
        counts.split = counts.converted;

        // Verdicts in file order: new lines are asked, reused lines carry theirs.
        for (std::size_t i = 0; complete && i < lines.size(); ++i) {
            log_line* line = lines[i];
            bool passes;
            bool in_quick;
            if (origins[i] < 0) {
                passes = groups && m_verdicts->passes_groups(*line);
                in_quick = quick && (!groups || passes) && m_verdicts->passes_quick(*line);
            } else {
                const uint8_t verdict = carried[static_cast<std::size_t>(origins[i])];
                passes = groups && (verdict & 1);
                in_quick = quick && (verdict & 2);
            }
            if (passes)
                filtered.push_back(line);
            if (in_quick)
                quick_lines.push_back(line);
        }
    } catch (const std::bad_alloc&) {
        complete = false;
    }

    m_verdicts->release();

    // The old window's remainder, and on failure everything, goes to a
    // deleting thread.
    std::vector<log_line*> rest;
    for (log_line* line : old_lines)
        if (line)
            rest.push_back(line);
    if (!complete) {
        // Every line taken so far, reused or new, is in lines.
        rest.insert(rest.end(), lines.begin(), lines.end());
        line_discard::hand_over(std::move(rest));
        m_split_formats.emplace();
        return false;
    }
    line_discard::hand_over(std::move(rest));
    m_lines.exchange(std::move(lines));
    std::vector<tagDATA_FORMAT> formats = column_formats(parser);
    if (counts.reused == 0)
        m_split_formats = std::move(formats);
    else if (m_split_formats && *m_split_formats != formats)
        m_split_formats.reset();
    if (groups)
        m_filtered_lines.swap(filtered);
    if (quick)
        m_quick_lines.swap(quick_lines);
    bounds.set(first_line, first_line + static_cast<int64_t>(counts.visited) - 1, counts);
    return true;
}

