// The parsed window: the parse that builds it from the index, reusing what
// the old window already holds, and the rule of who may touch it.
#include "logfile/parsed_window.h"

#include "logfile/line_bytes_reader.h"
#include "logfile/line_indexer.h"
#include "logfile/line_text.h"
#include "logfile/window_bounds.h"
#include "parser/split_line.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <new>
#include <thread>
#include <utility>

namespace {

// The most characters a line's text converts to.
constexpr std::size_t kConvertBufferSize = kMaxLineUnits + 1;
static_assert(kMaxLineUnits <= kMaxLineText, "a window line holds all the text read for it");

// The fewest lines a thread takes of a shared stretch at once, and the
// shortest stretch of new lines that is shared with a second thread: four
// chunks at least, each worth more than the thread's start.
constexpr uint64_t kLeastChunk = 2048;
constexpr uint64_t kSharedFrom = 4 * kLeastChunk;

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
    // the stretch, and no byte that none of them needs.  ahead_end, when not
    // -1, is where the bytes of the last of those lines end, all of them new:
    // a read that reaches it needs no walk over them.  Throws bad_alloc.
    template <class IsNew>
    std::unique_ptr<log_line> make(const line_index::reader& index, const line_cursor& cursor, int64_t offset,
                                   uint64_t whole, uint64_t ahead, IsNew is_new, int64_t ahead_end = -1)
    {
        // A long line is read as far as its text goes.
        const auto length = static_cast<std::size_t>(shown_line_bytes(m_encoding, whole));
        int64_t wanted_end = offset + static_cast<int64_t>(length);
        if (!m_reader.holds(offset, length)) {
            if (ahead_end >= wanted_end && ahead_end - offset <= static_cast<int64_t>(line_indexer::kReadBufferSize)) {
                wanted_end = ahead_end;
            } else {
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
        }
        const char* bytes = m_reader.bytes(offset, length, wanted_end);
        if (!bytes || !line_bytes_to_text(m_encoding, bytes, length, m_text, length < whole))
            return nullptr;
        ++m_converted;
        // One block: the line, its column records and its text.
        std::unique_ptr<log_line> line(log_line::create(m_text, m_columns, &m_arena, m_plan.typed_columns()));
        line->offset = offset;
        if (length < whole)
            line->set_cut_length(whole);
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

// Lines [first, last) of the window, every one of them new, made by the
// parsing thread and a second thread together.  They take the stretch a
// chunk at a time, in file order, each chunk a quarter of what is left (at
// least kLeastChunk lines): few large chunks first, small ones at the end,
// so that a thread on a slower or busier core takes fewer and neither waits
// long for the other.  A chunk's lines are read only by the thread that
// takes it, in reads of at most 4 MB.  Each made line goes to its place, so
// that the lines come out in file order whoever made them.  The second
// thread keeps what it changes line by line on its own stack, with a plan
// and an arena of its own.
class shared_stretch {
public:
    shared_stretch(const line_index::reader& index, line_source& source, const log_pattern_list& parser,
                   line_arena& arena, std::size_t columns, uint64_t first, uint64_t last)
        : m_index(index),
          m_source(source),
          m_parser(parser),
          m_arena(arena),
          m_columns(columns),
          m_first(first),
          m_count(static_cast<std::size_t>(last - first)),
          // Zeroed pages from the system, touched first by the thread that
          // makes their lines.
          m_places(static_cast<log_line**>(std::calloc(m_count, sizeof(log_line*))))
    {
        if (!m_places)
            throw std::bad_alloc();
    }
    ~shared_stretch()
    {
        join();
        // Those not taken: a parse that failed on its own thread.
        if (m_places)
            for (std::size_t i = 0; i < m_count; ++i)
                delete m_places[i];
    }
    shared_stretch(const shared_stretch&) = delete;
    shared_stretch& operator=(const shared_stretch&) = delete;

    // Starts the second thread; without one the parsing thread makes every
    // line.
    void start()
    {
        try {
            m_thread = std::thread([this] { help(); });
        } catch (...) {}
    }

    // The parsing thread's part, with its own maker; then waits for the
    // second thread.  Throws what a line's making throws.
    made_counts work_and_join(line_maker& maker)
    {
        made_counts counts;
        try {
            make_lines(maker, counts);
        } catch (...) {
            m_stop.store(true);
            join();
            throw;
        }
        join();
        return counts;
    }

    // After work_and_join: whether the second thread made every line it
    // took (no allocation failed), and what it counted.
    bool complete() const { return !m_failed; }
    const made_counts& counts() const { return m_counts; }
    // After work_and_join: appends the lines made, in file order, which are
    // the caller's from then on.
    void take_lines(std::vector<log_line*>& lines, std::vector<int64_t>* origins)
    {
        std::copy_if(m_places.get(), m_places.get() + m_count, std::back_inserter(lines),
                     [](const log_line* line) { return line != nullptr; });
        if (origins)
            origins->resize(lines.size(), -1);
        m_places.reset();
    }

private:
    // The next chunk: places [from, to); false when none is left.
    bool claim(uint64_t& from, uint64_t& to)
    {
        const uint64_t count = m_count;
        uint64_t next = m_next.load(std::memory_order_relaxed);
        for (;;) {
            if (next >= count || m_stop.load(std::memory_order_relaxed))
                return false;
            const uint64_t left = count - next;
            const uint64_t size = std::max(left / 4, std::min(kLeastChunk, left));
            if (m_next.compare_exchange_weak(next, next + size, std::memory_order_relaxed)) {
                from = next;
                to = next + size;
                return true;
            }
        }
    }

    void help()
    {
        made_counts counts;
        try {
            const split_plan plan(m_parser);
            line_maker maker(m_source, plan, m_arena, m_columns);
            make_lines(maker, counts);
            counts.converted = maker.converted();
            counts.reads = maker.reads();
            counts.bytes_read = maker.bytes_read();
        } catch (...) {
            m_failed = true;
            m_stop.store(true);
        }
        m_counts = counts;
    }

    // Makes the lines of the chunks it can claim.
    void make_lines(line_maker& maker, made_counts& counts)
    {
        // Read once: what the loop uses is its own.
        const line_index::reader& index = m_index;
        const uint64_t first = m_first;
        const int32_t encoding = m_source.encoding();
        log_line** const places = m_places.get();
        const auto all_new = [](int64_t) { return true; };
        line_cursor cursor;
        uint64_t at = UINT64_MAX; // the place the cursor is on
        uint64_t from;
        uint64_t to;
        while (claim(from, to)) {
            if (at != from && !index.locate(first + from, cursor))
                return;
            // Where the chunk's bytes end.
            int64_t end_offset;
            uint64_t end_length;
            const int64_t chunk_end = index.line(first + to - 1, end_offset, end_length)
                                          ? end_offset + static_cast<int64_t>(shown_line_bytes(encoding, end_length))
                                          : -1;
            for (uint64_t place = from; place < to; ++place) {
                int64_t offset;
                uint64_t whole;
                index.line_at(cursor, offset, whole);
                ++counts.visited;
                places[place] = maker.make(index, cursor, offset, whole, to - place - 1, all_new, chunk_end).release();
                at = place + 1;
                if (!index.advance(cursor)) {
                    at = UINT64_MAX;
                    if (place + 1 < to)
                        return;
                }
            }
        }
    }

    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    const line_index::reader& m_index;
    line_source& m_source;
    const log_pattern_list& m_parser;
    line_arena& m_arena;
    const std::size_t m_columns;
    const uint64_t m_first;
    struct free_places {
        void operator()(log_line** places) const { std::free(places); }
    };
    const std::size_t m_count;
    std::unique_ptr<log_line*[], free_places> m_places; // a line for each place, null while not made or unreadable
    alignas(64) std::atomic<uint64_t> m_next{0};        // the first place of the next chunk
    std::atomic<bool> m_stop{false};                    // a thread failed: no more chunks are taken
    alignas(64) made_counts m_counts;
    bool m_failed = false;
    std::thread m_thread;
};

struct shared_range {
    uint64_t first = 0;
    uint64_t last = 0;
};

// The part of lines [first, end) that two threads make together: the longer
// stretch of lines that lie before or after every line of the old window
// (from old_first to old_last; -1 when there is none), when it is long
// enough to share; empty otherwise.
shared_range shared_part(const line_index::reader& index, uint64_t first, uint64_t end, int64_t old_first,
                         int64_t old_last)
{
    uint64_t head_end = end;   // lines [first, head_end) lie before the old window
    uint64_t tail_first = end; // lines [tail_first, end) lie after it
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
    return {run_first, run_first + run};
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
    // For each line of the new window, while filters are in force: -1 for a
    // new line, else its place in the old window (whose verdicts it
    // carries).
    const bool verdicts = groups || quick;
    std::vector<int64_t> origins;
    std::vector<log_line*> filtered;
    std::vector<log_line*> quick_lines;
    bool complete = true;
    try {
        if (groups || quick)
            m_verdicts->bind(parser);
        lines.reserve(static_cast<std::size_t>(to_visit));
        if (verdicts)
            origins.reserve(static_cast<std::size_t>(to_visit));
        const split_plan plan(parser);
        line_maker maker(source, plan, m_arena, columns);
        const uint64_t first = static_cast<uint64_t>(first_line);
        const uint64_t end = first + std::min(to_visit, total - first);

        // A long stretch of new lines is shared with a second thread (on
        // the heap, apart from this thread's stack, which it writes all the
        // time).
        const shared_range shared = shared_part(index, first, end, old_first, old_last);
        std::unique_ptr<shared_stretch> helper;
        if (shared.first < shared.last && std::thread::hardware_concurrency() > 1) {
            helper = std::make_unique<shared_stretch>(index, source, parser, *m_helper_arena, columns, shared.first,
                                                      shared.last);
            helper->start();
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
                        if (verdicts)
                            origins.push_back(-1);
                    }
                } else {
                    while (old_next < old_lines.size() && old_lines[old_next]->offset < offset)
                        ++old_next;
                    if (old_next < old_lines.size() && old_lines[old_next]->offset == offset) {
                        lines.push_back(old_lines[old_next]);
                        if (verdicts)
                            origins.push_back(static_cast<int64_t>(old_next));
                        ++counts.reused;
                        old_lines[old_next] = nullptr;
                        ++old_next;
                    }
                }
                more = n + 1 < to && index.advance(cursor);
            }
        };
        if (helper) {
            // The lines before the stretch, the stretch, the lines after it.
            visit(first, shared.first);
            const made_counts own = helper->work_and_join(maker);
            helper->take_lines(lines, verdicts ? &origins : nullptr);
            counts.visited += own.visited + helper->counts().visited;
            counts.converted += helper->counts().converted;
            counts.reads += helper->counts().reads;
            counts.bytes_read += helper->counts().bytes_read;
            complete = helper->complete();
            visit(shared.last, end);
        } else {
            visit(first, end);
        }
        counts.converted += maker.converted();
        counts.reads += maker.reads();
        counts.bytes_read += maker.bytes_read();
        counts.split = counts.converted;

        // Verdicts in file order: new lines are asked, reused lines carry theirs.
        for (std::size_t i = 0; verdicts && complete && i < lines.size(); ++i) {
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
