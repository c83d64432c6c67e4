#include "logfile/line_indexer.h"

#include "logfile/line_scan.h"
#include "logfile/line_text.h"
#include "logfile/window_bounds.h"

#include <algorithm>
#include <memory>

namespace {

// Lines found by a scan are added to the index in runs of this many, one
// exclusive lock per run.
constexpr std::size_t kSpanBatch = 4096;

// A scan reads the file in chunks of at most this many bytes: small enough
// that a chunk read is still in the processor's cache when its line ends are
// looked up (a 4 MB chunk was read from memory twice).
constexpr std::size_t kScanChunk = 256 * 1024;

// Line ends are looked up in sub-blocks of this many bytes of a chunk, so that
// a scan with a small limit does not classify a whole 4 MB chunk.
constexpr std::size_t kMaskBlock = 64 * 1024;

// The bytes one read of a scan that wants lines more lines covers: what
// those lines take at the index's average line length so far, a quarter more
// and a mask block to spare, never more than a whole chunk.  A pass of the
// index thread (10000 lines) so reads about the bytes it indexes instead of
// a 4 MB chunk every time; a scan without a limit or an empty index reads
// whole chunks.
std::size_t ScanReadSize(uint64_t lines, const line_index::reader& index, std::size_t chunk)
{
    const uint64_t known = index.line_count();
    if (lines == 0 || known == 0)
        return chunk;
    const int64_t span = index.last_line_end() - index.first_line_start();
    if (span <= 0)
        return chunk;
    const uint64_t average = static_cast<uint64_t>(span) / known + 1;
    if (average > chunk / lines)
        return chunk;
    const uint64_t wanted = lines * average + lines * average / 4 + kMaskBlock;
    const uint64_t rounded = (wanted + kMaskBlock - 1) / kMaskBlock * kMaskBlock;
    return static_cast<std::size_t>(std::min<uint64_t>(rounded, chunk));
}

} // namespace

void line_indexer::flush_spans(std::vector<line_span>& spans, bool at_end)
{
    if (spans.empty())
        return;
    if (at_end) {
        m_index.write().add_lines(spans.data(), spans.size(), true);
    } else {
        // Prepending renumbers every indexed line: the window moves with it,
        // under the window lock taken before the index lock.
        m_bounds.prepend(static_cast<int64_t>(spans.size()),
                         [&] { m_index.write().add_lines(spans.data(), spans.size(), false); });
    }
    spans.clear();
}

line_indexer::scan_buffers& line_indexer::buffers(std::size_t read_size)
{
    if (m_buffers.size < read_size) {
        m_buffers.bytes.reset(new char[read_size]);
        m_buffers.size = read_size;
    }
    if (!m_buffers.masks)
        m_buffers.masks.reset(new uint64_t[kMaskBlock / 64]);
    m_buffers.spans.clear();
    m_buffers.spans.reserve(kSpanBatch);
    return m_buffers;
}

int64_t line_indexer::index_forward(int64_t start, uint64_t limit)
{
    const int64_t added = scan_forward(start, limit);
    release_buffers();
    return added;
}

int64_t line_indexer::index_backward(int64_t end, uint64_t limit)
{
    const int64_t added = scan_backward(end, limit);
    release_buffers();
    return added;
}

int64_t line_indexer::scan_forward(int64_t start, uint64_t limit)
{
    if (!m_source.is_open())
        return -1;
    std::size_t read_size = kScanChunk;
    {
        const line_index::reader index = m_index.read();
        if (start == -1)
            start = index.line_count() > 0 ? index.last_line_end() : m_source.bom_length();
        read_size = ScanReadSize(limit, index, kScanChunk);
    }
    if (start < 0)
        return 0;
    const int32_t text_encoding = m_source.encoding();
    const int unit = encoding_unit(text_encoding);
    m_index.write().set_line_limit(line_limit_bytes(text_encoding));
    scan_buffers& scratch = buffers(read_size);
    char* const buffer = scratch.bytes.get();
    uint64_t* const masks = scratch.masks.get();
    std::vector<line_span>& spans = scratch.spans;

    uint64_t added = 0;
    bool done = false;
    // Where the line being read starts: in an earlier chunk when the line is
    // longer than a chunk.
    int64_t segment = start;
    while (!done && (limit == 0 || added < limit)) {
        const int64_t got = m_source.read_bytes(start, buffer, read_size);
        if (got <= 0)
            break;
        const bool last_chunk = static_cast<std::size_t>(got) < read_size;
        const std::size_t usable = static_cast<std::size_t>(got) & ~static_cast<std::size_t>(unit - 1);
        for (std::size_t block = 0; block < usable && !done; block += kMaskBlock) {
            const std::size_t length = std::min(kMaskBlock, usable - block);
            find_line_ends(buffer + block, length, unit, masks);
            const std::size_t words = (length + 63) / 64;
            for (std::size_t k = 0; k < words && !done; ++k) {
                uint64_t m = masks[k];
                while (m) {
                    const auto p =
                        start + static_cast<int64_t>(block + 64 * k + static_cast<std::size_t>(__builtin_ctzll(m)));
                    m &= m - 1;
                    if (p > segment) {
                        spans.push_back({segment, static_cast<uint64_t>(p - segment)});
                        ++added;
                        if (spans.size() == kSpanBatch)
                            flush_spans(spans, true);
                    }
                    segment = p + unit;
                    if (limit != 0 && added >= limit) {
                        done = true;
                        break;
                    }
                }
            }
        }
        flush_spans(spans, true);
        if (done || last_chunk)
            break;
        // The next chunk starts with the unfinished line, or goes on through
        // a line that is longer than this whole chunk.
        start = segment > start ? segment : start + static_cast<int64_t>(usable);
    }
    flush_spans(spans, true);
    return static_cast<int64_t>(added);
}

int64_t line_indexer::scan_backward(int64_t end, uint64_t limit)
{
    if (!m_source.is_open())
        return -1;
    if (end == 0)
        return 0;
    const int64_t bom = m_source.bom_length();
    std::size_t read_size = kScanChunk;
    {
        const line_index::reader index = m_index.read();
        if (end == -1)
            end = index.line_count() > 0 ? index.first_line_start() : bom;
        read_size = ScanReadSize(limit, index, kScanChunk);
    }
    end = std::min(end, m_source.file_size());
    const int32_t text_encoding = m_source.encoding();
    const int unit = encoding_unit(text_encoding);
    // Units are counted from the end of the BOM: an odd tail byte of a
    // two-byte file is not a unit.
    if (unit == 2 && end > bom)
        end = bom + ((end - bom) & ~int64_t{1});
    if (end <= bom)
        return 0;
    m_index.write().set_line_limit(line_limit_bytes(text_encoding));

    scan_buffers& scratch = buffers(read_size);
    char* const buffer = scratch.bytes.get();
    uint64_t* const masks = scratch.masks.get();
    std::vector<line_span>& spans = scratch.spans;

    uint64_t added = 0;
    bool done = false;
    // The line end that waits for the start of its line, as a file position:
    // it may lie chunks later when the line is longer than a chunk.
    int64_t pending = -1;
    auto take_segment = [&](int64_t segment_start, int64_t segment_end) {
        if (segment_end > segment_start) {
            spans.push_back({segment_start, static_cast<uint64_t>(segment_end - segment_start)});
            ++added;
            if (spans.size() == kSpanBatch)
                flush_spans(spans, false);
            if (limit != 0 && added >= limit)
                done = true;
        }
    };
    const auto chunk_size = static_cast<int64_t>(read_size);
    while (!done && (limit == 0 || added < limit) && end > bom) {
        // Also when exactly one chunk is left, the chunk reaches the start of
        // the text: its first segment is the file's first line.
        const bool reaches_start = end - bom <= chunk_size;
        const int64_t position = reaches_start ? bom : end - chunk_size;
        const auto length = static_cast<std::size_t>(end - position);
        const int64_t got = m_source.read_bytes(position, buffer, length);
        // Nothing read, or fewer bytes than the file had: it shrank under us;
        // end with the lines added so far.
        if (got <= 0 || static_cast<std::size_t>(got) < length)
            break;

        const std::size_t top_block = ((length - 1) / kMaskBlock) * kMaskBlock;
        for (std::size_t next_block = top_block + kMaskBlock; next_block > 0 && !done;) {
            next_block -= kMaskBlock;
            const std::size_t block = next_block;
            const std::size_t block_length = std::min(kMaskBlock, length - block);
            find_line_ends(buffer + block, block_length, unit, masks);
            const std::size_t words = (block_length + 63) / 64;
            for (std::size_t k = words; k-- > 0 && !done;) {
                uint64_t m = masks[k];
                while (m) {
                    const int bit = 63 - __builtin_clzll(m);
                    m &= ~(uint64_t{1} << bit);
                    const int64_t p = position + static_cast<int64_t>(block + 64 * k + static_cast<std::size_t>(bit));
                    if (pending >= 0)
                        take_segment(p + unit, pending);
                    pending = p;
                    if (done)
                        break;
                }
            }
        }
        if (!done && reaches_start && pending >= 0)
            take_segment(position, pending);
        flush_spans(spans, false);
        if (done || reaches_start)
            break;
        end = position;
    }
    flush_spans(spans, false);
    return static_cast<int64_t>(added);
}

int64_t line_indexer::index_more()
{
    if (!m_source.is_open())
        return -1;
    // The buffers stay for the next pass while there may be one.
    if (tail_mode()) {
        const int64_t added = scan_backward(-1, kPassLines);
        if (added <= 0)
            release_buffers();
        return added;
    }
    // A packed file's copy grows until the packed file has nothing more.
    for (;;) {
        const int64_t added = scan_forward(-1, kPassLines);
        if (added != 0 || !m_source.unpack_more()) {
            if (added <= 0)
                release_buffers();
            return added;
        }
        m_source.note_new_size();
    }
}

int64_t line_indexer::refresh()
{
    if (!m_source.is_open())
        return -1;
    if (m_control.is_running())
        return 0;
    while (m_source.unpack_more()) {}
    const int noted = m_source.note_new_size();
    if (noted <= 0)
        return noted;
    return index_forward(-1, 0);
}
