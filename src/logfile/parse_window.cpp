// The parsed window of a log file: parse_range, the walk over every line, and
// the filter seam the window's lists are rebuilt from.
#include "logfile/log_file.h"

#include "parser/split_line.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// The most characters a line the index describes converts to.
constexpr std::size_t kConvertBufferSize = 65536;

// Reads line bytes through one buffer of at most 4 MB that holds the file
// range last read, so that consecutive lines cost one read.
class line_bytes_reader {
public:
    explicit line_bytes_reader(log_file& file) : m_file(file) {}

    bool holds(int64_t offset, uint32_t length) const
    {
        return m_offset >= 0 && offset >= m_offset && offset + length <= m_offset + m_size;
    }

    // The bytes of [offset, offset + length), read when the buffer does not
    // hold them: from offset up to wanted_end (at most 4 MB, at least the
    // line).  Null when they cannot be read.
    const char* bytes(int64_t offset, uint32_t length, int64_t wanted_end)
    {
        if (holds(offset, length))
            return m_buffer.get() + (offset - m_offset);
        const auto limit = static_cast<int64_t>(log_file::kReadBufferSize);
        const int64_t want = std::clamp<int64_t>(wanted_end - offset, length, limit);
        const auto size = static_cast<std::size_t>(want);
        if (size > m_capacity) {
            m_buffer.reset(new char[size]);
            m_capacity = size;
        }
        ++m_reads;
        const int64_t got = m_file.read_bytes(offset, m_buffer.get(), size);
        if (got <= 0) {
            m_offset = -1;
            m_size = 0;
            return nullptr;
        }
        m_offset = offset;
        m_size = got;
        m_bytes += static_cast<uint64_t>(got);
        return got >= static_cast<int64_t>(length) ? m_buffer.get() : nullptr;
    }

    uint64_t reads() const { return m_reads; }
    uint64_t bytes_read() const { return m_bytes; }

private:
    log_file& m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    int64_t m_offset = -1; // file position of the buffer's first byte; -1: holds nothing
    int64_t m_size = 0;
    uint64_t m_reads = 0;
    uint64_t m_bytes = 0;
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

bool log_file::filter_groups_in_force() const
{
    return m_filter_applied || static_cast<bool>(m_verdict_hook.groups);
}

bool log_file::quick_filter_in_force() const
{
    return static_cast<bool>(m_verdict_hook.quick);
}

void log_file::bind_window_filters(const log_pattern_list&)
{}

bool log_file::line_passes_filter_groups(const log_line& line)
{
    return m_verdict_hook.groups ? m_verdict_hook.groups(line) : true;
}

bool log_file::line_passes_quick_filter(const log_line& line)
{
    return m_verdict_hook.quick ? m_verdict_hook.quick(line) : true;
}

log_file::parse_counts log_file::last_parse_counts() const
{
    life_lock hold(m_window_lock);
    return m_parse_counts;
}

bool log_file::parse_range(const log_pattern_list& parser, int64_t first_line, uint64_t count)
{
    if (parser.empty() || first_line < 0 || !is_open())
        return false;
    window_parse parse(*this);
    const line_index::reader& index = parse.index();
    const uint64_t total = index.line_count();
    if (static_cast<uint64_t>(first_line) >= total)
        return false;
    const uint64_t to_visit = count > 0 && count < total ? count : total;
    parse.set_numbers(-1, -1);

    line_cursor cursor;
    index.locate(static_cast<uint64_t>(first_line), cursor);

    // The old window: its lines move out of the base vector; those found
    // again move into the new window and leave a null behind.
    std::vector<log_line*> old_lines;
    old_lines.swap(*this);
    const std::vector<uint8_t> carried = old_verdicts(old_lines, m_filtered_lines, m_quick_lines);
    m_filtered_lines.clear();
    m_quick_lines.clear();
    const int64_t old_first = old_lines.empty() ? -1 : old_lines.front()->offset;
    const int64_t old_last = old_lines.empty() ? -1 : old_lines.back()->offset;
    auto is_new = [&](int64_t offset) { return old_lines.empty() || offset < old_first || offset > old_last; };

    const bool groups = filter_groups_in_force();
    const bool quick = quick_filter_in_force();
    if (groups)
        bind_window_filters(parser);

    const int32_t text_encoding = encoding();
    const auto columns = static_cast<std::size_t>(std::max(leaf_count(parser), 0));
    parse_counts counts;
    std::vector<log_line*> lines;
    std::vector<log_line*> filtered;
    std::vector<log_line*> quick_lines;
    bool complete = true;
    try {
        lines.reserve(static_cast<std::size_t>(to_visit));
        line_bytes_reader reader(*this);
        std::u16string text;
        text.reserve(kConvertBufferSize);
        std::size_t old_next = 0; // where the search for the next reused line starts
        bool more = true;
        while (more && counts.visited < to_visit) {
            int64_t offset;
            uint32_t length;
            index.line_at(cursor, offset, length);
            ++counts.visited;
            if (is_new(offset)) {
                // A read takes the new lines that follow as well, up to 4 MB,
                // and no byte that none of them needs.
                int64_t wanted_end = offset + length;
                if (!reader.holds(offset, length)) {
                    line_cursor ahead = cursor;
                    for (uint64_t n = counts.visited; n < to_visit && index.advance(ahead); ++n) {
                        int64_t next_offset;
                        uint32_t next_length;
                        index.line_at(ahead, next_offset, next_length);
                        if (!is_new(next_offset)
                            || next_offset + next_length - offset > static_cast<int64_t>(kReadBufferSize))
                            break;
                        wanted_end = next_offset + next_length;
                    }
                }
                const char* bytes = reader.bytes(offset, length, wanted_end);
                if (bytes && line_bytes_to_text(text_encoding, bytes, length, text)) {
                    ++counts.converted;
                    auto line = std::make_unique<log_line>();
                    line->offset = offset;
                    line->columns.reserve(columns);
                    split_line(*line, text.data(), text.size(), parser, true);
                    ++counts.split;
                    const bool passes = groups && line_passes_filter_groups(*line);
                    if (passes)
                        filtered.push_back(line.get());
                    if (quick && (!groups || passes) && line_passes_quick_filter(*line))
                        quick_lines.push_back(line.get());
                    lines.push_back(line.release());
                }
            } else {
                while (old_next < old_lines.size() && old_lines[old_next]->offset < offset)
                    ++old_next;
                if (old_next < old_lines.size() && old_lines[old_next]->offset == offset) {
                    log_line* line = old_lines[old_next];
                    if (groups && (carried[old_next] & 1))
                        filtered.push_back(line);
                    if (quick && (carried[old_next] & 2))
                        quick_lines.push_back(line);
                    lines.push_back(line);
                    ++counts.reused;
                    old_lines[old_next] = nullptr;
                    ++old_next;
                }
            }
            more = counts.visited < to_visit && index.advance(cursor);
        }
        counts.reads = reader.reads();
        counts.bytes_read = reader.bytes_read();
    } catch (const std::bad_alloc&) {
        complete = false;
    }

    // The old window's remainder, and on failure everything, goes to a
    // deleting thread.
    std::vector<log_line*> rest;
    for (log_line* line : old_lines)
        if (line)
            rest.push_back(line);
    if (!complete) {
        rest.insert(rest.end(), lines.begin(), lines.end());
        discard_batch(std::move(rest));
        return false;
    }
    discard_batch(std::move(rest));
    static_cast<std::vector<log_line*>&>(*this).swap(lines);
    if (groups)
        m_filtered_lines.swap(filtered);
    if (quick)
        m_quick_lines.swap(quick_lines);
    {
        life_lock hold(m_window_lock);
        m_window_first = first_line;
        m_window_last = first_line + static_cast<int64_t>(counts.visited) - 1;
        m_parse_counts = counts;
    }
    return true;
}

bool log_file::for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                             const line_test& passes)
{
    if (!callback || m_index_thread.is_running())
        return false;
    const line_index::reader index = m_index.read();
    const uint64_t total = index.line_count();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return true;
    const int32_t text_encoding = encoding();
    line_bytes_reader reader(*this);
    std::u16string text;
    text.reserve(kConvertBufferSize);
    log_line line;
    line.columns.reserve(static_cast<std::size_t>(std::max(leaf_count(parser), 0)));
    uint64_t number = 0;
    do {
        int64_t offset;
        uint32_t length;
        index.line_at(cursor, offset, length);
        const char* bytes = reader.bytes(offset, length, offset + static_cast<int64_t>(kReadBufferSize));
        if (!bytes || !line_bytes_to_text(text_encoding, bytes, length, text))
            text.clear();
        line.offset = offset;
        if (text.empty()) {
            line.columns.clear();
            line.text.clear();
        } else {
            split_line(line, text.data(), text.size(), parser, true);
        }
        if ((!passes || passes(line)) && !callback(line, number, total, context))
            break;
        ++number;
    } while (index.advance(cursor));
    return true;
}
