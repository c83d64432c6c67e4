#include "search/literal_scan.h"

#include "filter/text_rules.h"
#include "logfile/line_text.h"
#include "parser/split_line.h"

#include <algorithm>
#include <climits>

namespace {

// The most bytes read for one line: a two-byte line at the length limit.
constexpr std::size_t kLongestLine = 2 * kMaxLineUnits;

// The parser with every column's data format set to text: it cuts lines into
// the same columns and types none of them.
void make_text_only(log_pattern_list& items)
{
    for (log_pattern& item : items) {
        item.data_format.data_type = DATA_TYPE_TEXT;
        make_text_only(item.sub_items);
    }
}

} // namespace

literal_scan::literal_scan(log_file& file, std::unique_ptr<byte_scanner> finder, int unit, std::size_t chunk_size)
    : m_file(file),
      m_finder(std::move(finder)),
      m_unit(unit > 1 ? static_cast<std::size_t>(unit) : 1),
      m_chunk_size(chunk_size > 0 ? chunk_size : 1)
{}

literal_scan::literal_scan(log_file& file, const search_needle* needle, std::size_t chunk_size)
    : literal_scan(file, needle ? std::make_unique<byte_finder>(needle->bytes, needle->bytes_fold) : nullptr,
                   needle ? needle->unit : 1, chunk_size)
{}

literal_scan::literal_scan(log_file& file, const search_start* start, std::size_t chunk_size)
    : literal_scan(file, start ? std::make_unique<class_finder>(start->bytes) : nullptr, start ? start->unit : 1,
                   chunk_size)
{}

char* literal_scan::buffer()
{
    if (!m_buffer) {
        // Room for a chunk and the needle's tail, or for the longest line.
        const std::size_t room = std::max(m_chunk_size + (m_finder ? m_finder->size() : 0), kLongestLine);
        m_buffer.reset(new char[room]);
    }
    return m_buffer.get();
}

literal_scan::ending literal_scan::scan(const line_positions& lines, uint64_t first, uint64_t last, bool upwards,
                                        const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                                        const std::function<bool()>& between)
{
    indexed_line a;
    indexed_line b;
    if (first > last || !lines.line(first, a) || !lines.line(last, b))
        return ending::done;
    if (!m_finder)
        return scan_lines(lines, first, last, upwards, on_line, between);
    return scan_bytes(lines, a.offset, b.offset + static_cast<int64_t>(b.length), upwards, on_line, between);
}

literal_scan::ending
literal_scan::scan_lines(const line_positions& lines, uint64_t first, uint64_t last, bool upwards,
                         const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                         const std::function<bool()>& between)
{
    indexed_line a;
    indexed_line b;
    lines.line(first, a);
    lines.line(last, b);
    const int64_t range_start = a.offset;
    const int64_t range_end = b.offset + static_cast<int64_t>(b.length);
    const auto chunk_size = static_cast<int64_t>(std::max(m_chunk_size, kLongestLine));
    char* data = buffer();
    file_chunk chunk{data, 0, 0};
    bool any_read = false;
    bool stopped = false;
    lines.for_each(first, last, upwards, [&](const indexed_line& line) {
        const int64_t line_end = line.offset + static_cast<int64_t>(line.length);
        const bool held = line.offset >= chunk.offset && line_end <= chunk.offset + static_cast<int64_t>(chunk.size);
        if (!held) {
            if (any_read && between && !between()) {
                stopped = true;
                return false;
            }
            // The lines that come next, as far as one chunk goes.
            const int64_t start = upwards ? std::max(range_start, line_end - chunk_size) : line.offset;
            const int64_t end = upwards ? line_end : std::min(range_end, line.offset + chunk_size);
            const int64_t got = m_file.read_bytes(start, data, static_cast<std::size_t>(end - start));
            any_read = true;
            chunk = file_chunk{data, start, got > 0 ? static_cast<std::size_t>(got) : 0};
            m_bytes += chunk.size;
            if (line.offset < chunk.offset || line_end > chunk.offset + static_cast<int64_t>(chunk.size))
                return true; // a window would pass the line over
        }
        ++m_candidates;
        if (!on_line(line, chunk)) {
            stopped = true;
            return false;
        }
        return true;
    });
    if (stopped)
        return ending::stopped;
    if (any_read && between && !between())
        return ending::stopped;
    return ending::done;
}

literal_scan::ending
literal_scan::scan_bytes(const line_positions& lines, int64_t from, int64_t to, bool upwards,
                         const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                         const std::function<bool()>& between)
{
    const byte_scanner& finder = *m_finder;
    const auto needle = static_cast<int64_t>(finder.size());
    const auto chunk_size = static_cast<int64_t>(m_chunk_size);
    if (to - from < needle)
        return ending::done;
    char* data = buffer();
    int64_t last_line = -1; // offset of the line handed on last

    // Hands on the line that holds the needle at position; false to stop.
    // skip_to receives the end of that line.
    auto report = [&](int64_t position, const file_chunk& chunk, int64_t& skip_to) {
        skip_to = position + 1;
        indexed_line line;
        if (!lines.line_holding(position, line))
            return true;
        const int64_t line_end = line.offset + static_cast<int64_t>(line.length);
        if (position + needle > line_end || static_cast<std::size_t>(position - line.offset) % m_unit != 0)
            return true;
        skip_to = line_end;
        if (line.offset == last_line)
            return true;
        last_line = line.offset;
        ++m_candidates;
        return on_line(line, chunk);
    };

    if (!upwards) {
        for (int64_t start = from; start + needle <= to; start += chunk_size) {
            // Needle starts in [start, starts_end); its bytes end by read_end.
            const int64_t starts_end = std::min(start + chunk_size, to - needle + 1);
            const int64_t read_end = starts_end + needle - 1;
            const auto size = static_cast<std::size_t>(read_end - start);
            const int64_t got = m_file.read_bytes(start, data, size);
            if (got < static_cast<int64_t>(size))
                return ending::unreadable;
            m_bytes += size;
            const file_chunk chunk{data, start, size};
            std::size_t pos = 0;
            for (;;) {
                const std::size_t hit = finder.find(chunk.data, size, pos);
                if (hit == byte_finder::npos)
                    break;
                int64_t skip_to;
                if (!report(start + static_cast<int64_t>(hit), chunk, skip_to))
                    return ending::stopped;
                if (skip_to >= read_end)
                    break;
                pos = static_cast<std::size_t>(skip_to - start);
            }
            if (between && !between())
                return ending::stopped;
        }
        return ending::done;
    }

    for (int64_t end = to; end - from >= needle;) {
        // Needle starts in [start, end - needle + 1); the chunk is [start, end).
        const int64_t start = std::max(from, end - needle + 1 - chunk_size);
        const auto size = static_cast<std::size_t>(end - start);
        const int64_t got = m_file.read_bytes(start, data, size);
        if (got < static_cast<int64_t>(size))
            return ending::unreadable;
        m_bytes += size;
        const file_chunk chunk{data, start, size};
        m_hits.clear();
        for (std::size_t pos = 0;;) {
            const std::size_t hit = finder.find(chunk.data, size, pos);
            if (hit == byte_finder::npos)
                break;
            m_hits.push_back(hit);
            pos = hit + 1;
        }
        for (auto it = m_hits.rbegin(); it != m_hits.rend(); ++it) {
            int64_t skip_to;
            if (!report(start + static_cast<int64_t>(*it), chunk, skip_to))
                return ending::stopped;
        }
        if (between && !between())
            return ending::stopped;
        if (start == from)
            break;
        end = start + needle - 1;
    }
    return ending::done;
}

candidate_check::candidate_check(log_file& file, const log_pattern_list& parser, const search_needle* needle,
                                 const search_start* start, row_source source, search_matcher& matcher, int32_t column)
    : m_file(file),
      m_parser(parser),
      m_text_parser(parser),
      m_literal(!needle                 ? std::u16string()
                : needle->literal_folds ? AsciiLowerCopy(needle->literal)
                                        : needle->literal),
      m_literal_folds(needle && needle->literal_folds),
      m_start(start ? &start->classes : nullptr),
      m_source(source),
      m_matcher(matcher),
      m_column(column),
      m_encoding(file.encoding())
{
    make_text_only(m_text_parser);
    const log_file::window_reader window = file.read_window();
    m_groups_in_force = window.filter_applied();
    m_quick_in_force = !window.quick_filter().content().empty();
    if (source != row_source::all_lines && m_groups_in_force)
        m_groups = std::make_unique<prepared_groups>(window.filter_groups(), parser);
    if (source == row_source::quick_lines && m_quick_in_force)
        m_quick = std::make_unique<prepared_condition>(window.quick_filter(), tagDATA_FORMAT{});
}

bool candidate_check::in_row_source(const log_line& line)
{
    switch (m_source) {
    case row_source::filtered_lines: return m_groups && m_groups->RowPasses(line);
    case row_source::quick_lines:
        return m_quick && (!m_groups || m_groups->RowPasses(line)) && m_quick->AnyCellMatches(line);
    default: return true;
    }
}

bool candidate_check::is_hit(const indexed_line& line, const file_chunk& chunk)
{
    const char* bytes;
    if (line.offset >= chunk.offset
        && line.offset + static_cast<int64_t>(line.length) <= chunk.offset + static_cast<int64_t>(chunk.size)) {
        bytes = chunk.data + (line.offset - chunk.offset);
    } else {
        m_bytes.resize(line.length);
        if (m_file.read_bytes(line.offset, m_bytes.data(), line.length) < static_cast<int64_t>(line.length))
            return false; // a window would pass the line over
        bytes = m_bytes.data();
    }
    if (!line_bytes_to_text(m_encoding, bytes, line.length, m_text, line.cut))
        return false; // a two-byte line of odd length: not in a window
    if (m_text.empty())
        return false; // a line without columns matches nothing
    if (!m_literal.empty()
        && !(m_literal_folds ? ContainsTextIgnoreCase(m_text, m_literal) : ContainsText(m_text, m_literal)))
        return false;
    if (m_start
        && m_start->FindIn(m_text.data(), static_cast<int>(std::min<std::size_t>(m_text.size(), INT_MAX - 1)), 0) < 0)
        return false;
    // The view's filters see typed columns; the search sees only texts.
    const bool judged = m_source != row_source::all_lines;
    split_line(m_line, m_text.data(), m_text.size(), judged ? m_parser : m_text_parser, true);
    ++m_split;
    // A line that is not a row is never searched, as the walk over the rows
    // would not search it.
    if (judged && !in_row_source(m_line))
        return false;
    return m_matcher.LineMatches(m_line, m_column);
}
