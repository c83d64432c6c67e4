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
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace {

// The most characters a line's text converts to.
constexpr std::size_t kConvertBufferSize = kMaxLineUnits + 1;
static_assert(kMaxLineUnits <= kMaxLineText, "a window line holds all the text read for it");

// Splits the new lines of a parse as the parse hands them over, on the
// parsing thread and, for large windows, one helper thread that starts once
// enough lines wait.  Lines are claimed in runs from one counter, so every
// line is split exactly once; the results do not depend on who split what.
// The helper touches only the lines handed over, never the window.
class line_splitter {
public:
    line_splitter(const log_pattern_list& parser, log_line* const* lines) : m_plan(parser), m_lines(lines) {}
    ~line_splitter()
    {
        end_hand_over(); // a helper waiting for lines ends
        join();
    }
    line_splitter(const line_splitter&) = delete;
    line_splitter& operator=(const line_splitter&) = delete;

    // Lines [0, count) may be split now.  The helper sees them a run at a
    // time, so that the count it reads does not change under it with every
    // line.
    void handed_over(std::size_t count)
    {
        m_handed = count;
        if (count % kRun == 0) {
            m_ready.store(count);
            if (m_sleeping.load() && count >= m_wake_at.load(std::memory_order_relaxed))
                wake();
        }
        if (!m_helper_tried && count >= kHelperFrom) {
            m_helper_tried = true;
            if (std::thread::hardware_concurrency() > 1) {
                try {
                    m_helper = std::thread([this] { work(); });
                } catch (...) {
                    // No helper: the parsing thread splits every line.
                }
            }
        }
    }

    // No more lines come: splits what is left, with the helper, and waits for
    // it.  False when a split ran out of memory.
    bool finish()
    {
        end_hand_over();
        work();
        join();
        return !m_failed.load();
    }

private:
    static constexpr std::size_t kRun = 64;
    static constexpr std::size_t kHelperFrom = 2048;
    // A sleeping helper is woken once so many runs wait for it.
    static constexpr std::size_t kWakeRuns = 8;

    void work()
    {
        try {
            for (;;) {
                const std::size_t first = m_next.fetch_add(kRun, std::memory_order_relaxed);
                const std::size_t last = first + kRun;
                std::size_t ready = m_ready.load(std::memory_order_acquire);
                if ((ready & ~kDone) < last && !(ready & kDone))
                    ready = sleep_until(first + kWakeRuns * kRun);
                const std::size_t end = std::min(last, ready & ~kDone);
                for (std::size_t i = first; i < end; ++i) {
                    log_line& line = *m_lines[i];
                    split_line(line, line.text().data(), line.text().size(), m_plan, false);
                }
                if (end < last)
                    return;
            }
        } catch (...) {
            m_failed.store(true);
        }
    }

    // The count of lines handed over carries this bit once no more come.
    static constexpr std::size_t kDone = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);

    void end_hand_over()
    {
        m_ready.store(m_handed | kDone);
        wake();
    }

    // The helper has caught up with the hand-over: it sleeps, without
    // spinning (a spinning helper slows the parsing thread on a core it
    // shares), until wanted lines are handed over or no more come.  Returns
    // the count it saw.  The parsing thread publishes the count and then
    // looks for a sleeper, the helper marks itself asleep and then looks at
    // the count: one of them sees the other, and the wake comes under the
    // mutex, so none is lost.
    std::size_t sleep_until(std::size_t wanted)
    {
        std::unique_lock<std::mutex> hold(m_sleep_mutex);
        m_wake_at.store(wanted, std::memory_order_relaxed);
        m_sleeping.store(true);
        std::size_t ready = m_ready.load();
        while ((ready & ~kDone) < wanted && !(ready & kDone)) {
            m_wakeup.wait(hold);
            ready = m_ready.load();
        }
        m_sleeping.store(false);
        return ready;
    }

    void wake()
    {
        { std::lock_guard<std::mutex> hold(m_sleep_mutex); }
        m_wakeup.notify_all();
    }

    void join()
    {
        if (m_helper.joinable())
            m_helper.join();
    }

    const split_plan m_plan;
    log_line* const* m_lines; // room for every line of the parse, filled in order
    // The parsing thread's own, on a cache line apart from what the helper
    // reads for every line; the shared counts lie on lines of their own too,
    // so that claiming a run does not disturb the hand-over.
    alignas(64) std::size_t m_handed = 0;
    bool m_helper_tried = false;
    std::thread m_helper;
    alignas(64) std::atomic<std::size_t> m_ready{0}; // lines published to the helper, and kDone
    alignas(64) std::atomic<std::size_t> m_next{0};  // the first line of the next run to claim
    alignas(64) std::atomic<bool> m_failed{false};
    // The helper's sleep: whether it sleeps, and the count that wakes it.
    alignas(64) std::atomic<bool> m_sleeping{false};
    std::atomic<std::size_t> m_wake_at{0};
    std::mutex m_sleep_mutex;
    std::condition_variable m_wakeup;
};

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

    line_cursor cursor;
    index.locate(static_cast<uint64_t>(first_line), cursor);

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

    const int32_t text_encoding = source.encoding();
    const auto columns = static_cast<std::size_t>(std::max(leaf_count(parser), 0));
    parse_counts counts;
    std::vector<log_line*> lines;
    // For each line of the new window: -1 for a new line, else its place in
    // the old window (whose verdicts it carries).
    std::vector<int64_t> origins;
    // The new lines in file order; they are split while the visit goes on.
    std::vector<log_line*> fresh;
    std::vector<log_line*> filtered;
    std::vector<log_line*> quick_lines;
    bool complete = true;
    try {
        if (groups || quick)
            m_verdicts->bind(parser);
        lines.reserve(static_cast<std::size_t>(to_visit));
        origins.reserve(static_cast<std::size_t>(to_visit));
        fresh.reserve(static_cast<std::size_t>(to_visit)); // never moves while the splitter reads it
        line_splitter splitter(parser, fresh.data());
        line_bytes_reader byte_reader(source);
        std::u16string text;
        text.reserve(kConvertBufferSize);
        std::size_t old_next = 0; // where the search for the next reused line starts
        bool more = true;
        while (more && counts.visited < to_visit) {
            int64_t offset;
            uint64_t whole;
            index.line_at(cursor, offset, whole);
            // A long line is read as far as its text goes.
            const auto length = static_cast<std::size_t>(shown_line_bytes(text_encoding, whole));
            ++counts.visited;
            if (is_new(offset)) {
                // A read takes the new lines that follow as well, up to 4 MB,
                // and no byte that none of them needs.
                int64_t wanted_end = offset + static_cast<int64_t>(length);
                if (!byte_reader.holds(offset, length)) {
                    line_cursor ahead = cursor;
                    for (uint64_t n = counts.visited; n < to_visit && index.advance(ahead); ++n) {
                        int64_t next_offset;
                        uint64_t next_length;
                        index.line_at(ahead, next_offset, next_length);
                        const auto next_end =
                            next_offset + static_cast<int64_t>(shown_line_bytes(text_encoding, next_length));
                        if (!is_new(next_offset) || next_end - offset > static_cast<int64_t>(line_indexer::kReadBufferSize))
                            break;
                        wanted_end = next_end;
                    }
                }
                const char* bytes = byte_reader.bytes(offset, length, wanted_end);
                if (bytes && line_bytes_to_text(text_encoding, bytes, length, text, length < whole)) {
                    ++counts.converted;
                    // One block: the line, its column records and its text.
                    std::unique_ptr<log_line> line(log_line::create(text, columns, &m_arena));
                    line->offset = offset;
                    if (length < whole)
                        line->cut_length = whole;
                    lines.push_back(line.get());
                    origins.push_back(-1);
                    fresh.push_back(line.release());
                    splitter.handed_over(fresh.size());
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
            more = counts.visited < to_visit && index.advance(cursor);
        }
        counts.reads = byte_reader.reads();
        counts.bytes_read = byte_reader.bytes_read();
        complete = splitter.finish();
        counts.split = fresh.size();

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

