#include "logfile/log_file.h"

#include "logfile/content_sniff.h"

#include "logfile/line_scan.h"
#include "logfile/window_filters.h"
#include "platform/strings.h"

#include <algorithm>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cassert>
#include <memory>

namespace {

// Lines found by a scan are added to the index in runs of this many, one
// exclusive lock per run.
constexpr std::size_t kSpanBatch = 4096;

// Line ends are looked up in sub-blocks of this many bytes of a chunk, so that
// a scan with a small limit does not classify a whole 4 MB chunk.
constexpr std::size_t kMaskBlock = 64 * 1024;

struct discard_counter {
    std::mutex mutex;
    std::condition_variable changed;
    int pending = 0;
};

discard_counter& discards()
{
    // Never destroyed: deleting threads may still finish during process exit.
    static discard_counter* counter = new discard_counter;
    return *counter;
}

void delete_lines(std::vector<log_line*>* lines)
{
    life_lock hold(log_file::deletion_lock());
    for (log_line* line : *lines)
        delete line;
    delete lines;
}

} // namespace

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

log_file::autodelete_thread::autodelete_thread() : native_thread(true)
{
    std::lock_guard<std::mutex> guard(discards().mutex);
    ++discards().pending;
}

log_file::autodelete_thread::~autodelete_thread()
{
    std::lock_guard<std::mutex> guard(discards().mutex);
    --discards().pending;
    discards().changed.notify_all();
}

unsigned log_file::autodelete_thread::run(void* argument)
{
    if (argument)
        delete_lines(static_cast<std::vector<log_line*>*>(argument));
    return 0;
}

native_lock& log_file::deletion_lock()
{
    // Never destroyed, so that it outlives any deleting thread.
    static native_lock* lock = new native_lock;
    return *lock;
}

int log_file::wait_for_discards(int milliseconds)
{
    discard_counter& counter = discards();
    std::unique_lock<std::mutex> hold(counter.mutex);
    if (milliseconds < 0) {
        counter.changed.wait(hold, [&] { return counter.pending == 0; });
        return 0;
    }
    return counter.changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return counter.pending == 0; })
               ? 0
               : 1;
}

int log_file::pending_discards()
{
    std::lock_guard<std::mutex> guard(discards().mutex);
    return discards().pending;
}

namespace {

// A window of 100000 lines takes some 50 MB of small blocks that are freed
// together when the next window replaces it.  Keeping freed heap for the next
// window, instead of handing it back to the system and faulting it in again,
// halves the cost of a re-parse.
void keep_freed_heap_for_windows()
{
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024); });
#endif
}

} // namespace

log_file::log_file() : m_filters(std::make_unique<window_filters>())
{
    keep_freed_heap_for_windows();
}

log_file::~log_file()
{
    close();
}

bool log_file::open(const char16_t* path, uint64_t max_lines, bool tail_first)
{
    close();
    if (!path || !*path)
        return false;
    std::string narrow;
    if (!WideToUtf8(std::u16string_view(path), narrow) || !can_read_path(narrow))
        return false;
    int64_t size;
    {
        life_lock hold(m_file_lock);
        if (!m_file.open(narrow))
            return false;
        size = m_file.size();
    }
    if (size < 0) {
        close();
        return false;
    }
    m_file_size = size;
    {
        life_lock hold(m_file_lock);
        m_head.assign(static_cast<std::size_t>(std::min<int64_t>(size, static_cast<int64_t>(kHeadBytes))), '\0');
        const int64_t got = m_file.read_at(0, m_head.data(), m_head.size());
        m_head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    if (const packing kind = sniff_packing(m_head); kind != packing::none) {
        if (!open_unpacked(narrow, kind, size)) {
            close();
            return false;
        }
        m_file_size = size;
        tail_first = false;
    }
    detect_encoding();
    if (encoding() == ENCODING_UNKNOWN)
        return true;
    const int64_t added = tail_first ? index_backward(size, max_lines) : index_forward(bom_length(), max_lines);
    if (added < 0) {
        close();
        return false;
    }
    m_tail_mode = tail_first && added > 0;
    const int64_t indexed_end = m_index.read().last_line_end();
    life_lock hold(m_file_lock);
    take_mark(indexed_end);
    return true;
}

bool log_file::open_unpacked(const std::string& path, packing kind, int64_t& size)
{
    auto copy = std::make_unique<unpacked_copy>();
    if (!copy->start(path, kind, unpacked_copy_folder()))
        return false;
    // The bytes of the encoding guess first, so that the first rows show at once.
    while (copy->size() < static_cast<int64_t>(kSniffBytes)) {
        const int64_t read = copy->packed_read();
        if (copy->step(kUnpackStep) < 0 || copy->packed_read() == read)
            break;
    }
    life_lock hold(m_file_lock);
    if (!m_file.open(copy->path()))
        return false;
    size = m_file.size();
    m_head.assign(static_cast<std::size_t>(std::clamp<int64_t>(size, 0, static_cast<int64_t>(kHeadBytes))), '\0');
    const int64_t got = m_file.read_at(0, m_head.data(), m_head.size());
    m_head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    life_lock unpack_hold(m_unpack_lock);
    m_unpacked = std::move(copy);
    m_packed = kind;
    return size >= 0;
}

bool log_file::unpack_more()
{
    life_lock hold(m_unpack_lock);
    if (!m_unpacked)
        return false;
    const int64_t read = m_unpacked->packed_read();
    return m_unpacked->step(kUnpackStep) > 0 || m_unpacked->packed_read() != read;
}

unpack_note log_file::unpack_status() const
{
    life_lock hold(m_unpack_lock);
    return m_unpacked ? m_unpacked->note() : unpack_note::none;
}

void log_file::close()
{
    discard_lines();
    m_indexer.stop();
    {
        life_lock hold(m_file_lock);
        m_file.close();
        // A file opened again by this object may end its lines differently.
        m_line_end.clear();
        m_head.clear();
        m_mark.clear();
        m_mark_end = -1;
    }
    m_file_size = 0;
    m_encoding = ENCODING_ANSI;
    m_binary = false;
    m_tail_mode = false;
    m_index.clear();
    life_lock hold(m_unpack_lock);
    m_unpacked.reset();
    m_packed = packing::none;
}

bool log_file::is_open()
{
    life_lock hold(m_file_lock);
    return m_file.is_open();
}

bool log_file::detect_encoding()
{
    life_lock hold(m_file_lock);
    if (!m_file.is_open())
        return false;
    const int64_t size = m_file.size();
    std::string head(static_cast<std::size_t>(std::clamp<int64_t>(size, 0, static_cast<int64_t>(kSniffBytes))), '\0');
    const int64_t got = m_file.read_at(0, head.data(), head.size());
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    const content_sniff sniff = SniffContent(head);
    m_has_bom = sniff.has_bom;
    m_binary = sniff.binary;
    m_encoding = sniff.encoding;
    return true;
}

int log_file::bom_length() const
{
    switch (encoding()) {
    case ENCODING_UCS2LE:
    case ENCODING_UCS2BE: return 2;
    case ENCODING_UTF8: return has_bom() ? 3 : 0;
    default: return 0;
    }
}

bool log_file::set_encoding(int32_t wanted)
{
    if (has_bom() || (wanted != ENCODING_ANSI && wanted != ENCODING_UTF8))
        return false;
    const int32_t current = encoding();
    if (current != ENCODING_ANSI && current != ENCODING_UTF8)
        return false;
    m_encoding = wanted;
    return true;
}

std::optional<std::u16string> log_file::line_end()
{
    const int32_t enc = encoding();
    if (enc == ENCODING_UNKNOWN)
        return std::nullopt;
    const line_index::reader index = m_index.read();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return std::nullopt;
    life_lock file_hold(m_file_lock);
    if (!m_line_end.empty())
        return m_line_end;
    int64_t offset;
    uint64_t length;
    index.line_at(cursor, offset, length);
    const int unit = encoding_unit(enc);
    unsigned char bytes[4] = {};
    const int64_t got =
        m_file.read_at(offset + static_cast<int64_t>(length), bytes, static_cast<std::size_t>(2 * unit));
    if (got <= 0)
        return std::nullopt;
    // Bytes past a short read stay zero and so match nothing.
    std::u16string text = u"\n";
    if (unit == 1) {
        if (bytes[0] == 0x0D)
            text = bytes[1] == 0x0A ? u"\r\n" : u"\r";
    } else {
        const bool little_endian = enc == ENCODING_UCS2LE;
        if (Utf16Unit(bytes, little_endian) == u'\r')
            text = Utf16Unit(bytes + 2, little_endian) == u'\n' ? u"\r\n" : u"\r";
    }
    m_line_end = text;
    return text;
}

bool log_file::line_preview(uint64_t n, std::u16string& text)
{
    const line_index::reader index = m_index.read();
    line_cursor cursor;
    if (!index.locate(n, cursor))
        return false;
    int64_t offset;
    uint64_t length;
    index.line_at(cursor, offset, length);
    // A long line is read as far as its text goes.
    const uint64_t shown = shown_line_bytes(encoding(), length);
    std::string bytes(static_cast<std::size_t>(shown), '\0');
    const int64_t got = read_bytes(offset, bytes.data(), bytes.size());
    if (got <= 0)
        return false;
    std::u16string converted;
    if (!line_bytes_to_text(encoding(), bytes.data(), static_cast<std::size_t>(got), converted, shown < length))
        return false;
    if (converted.size() > 100) {
        converted.resize(100);
        converted += u"...";
    }
    text = std::move(converted);
    return true;
}

int64_t log_file::read_bytes(int64_t offset, void* buffer, std::size_t length)
{
    life_lock hold(m_file_lock);
    if (!m_file.is_open())
        return -1;
    return m_file.read_at(offset, buffer, length);
}

void log_file::window(int64_t& first, int64_t& last) const
{
    life_lock hold(m_window_lock);
    first = m_window_first;
    last = m_window_last;
}

void log_file::set_window(int64_t first, int64_t last)
{
    life_lock hold(m_window_lock);
    m_window_first = first;
    m_window_last = last;
}

log_file::window_parse::window_parse(log_file& file) : m_file(file), m_index(file.m_index), m_write(file)
{}

log_file::window_numbers log_file::read_window_numbers() const
{
    life_lock hold(m_window_lock);
    window_numbers numbers;
    numbers.first = m_window_first;
    numbers.last = m_window_last;
    numbers.line_count = m_index.line_count();
    return numbers;
}

void log_file::flush_spans(std::vector<line_span>& spans, bool at_end)
{
    if (spans.empty())
        return;
    if (at_end) {
        m_index.write().add_lines(spans.data(), spans.size(), true);
    } else {
        // Prepending renumbers every indexed line: the window moves with it,
        // under the window lock taken before the index lock.
        life_lock window_hold(m_window_lock);
        line_index::writer index = m_index.write();
        index.add_lines(spans.data(), spans.size(), false);
        if (m_window_first != -1) {
            m_window_first += static_cast<int64_t>(spans.size());
            m_window_last += static_cast<int64_t>(spans.size());
        }
    }
    spans.clear();
}

int64_t log_file::index_forward(int64_t start, uint64_t limit)
{
    if (!is_open())
        return -1;
    if (start == -1) {
        const line_index::reader index = m_index.read();
        start = index.line_count() > 0 ? index.last_line_end() : bom_length();
    }
    if (start < 0)
        return 0;
    const int32_t text_encoding = encoding();
    const int unit = encoding_unit(text_encoding);
    m_index.write().set_line_limit(line_limit_bytes(text_encoding));
    std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
    std::unique_ptr<uint64_t[]> masks(new uint64_t[kMaskBlock / 64]);
    std::vector<line_span> spans;
    spans.reserve(kSpanBatch);

    uint64_t added = 0;
    bool done = false;
    // Where the line being read starts: in an earlier chunk when the line is
    // longer than a chunk.
    int64_t segment = start;
    while (!done && (limit == 0 || added < limit)) {
        const int64_t got = read_bytes(start, buffer.get(), kReadBufferSize);
        if (got <= 0)
            break;
        const bool last_chunk = static_cast<std::size_t>(got) < kReadBufferSize;
        const std::size_t usable = static_cast<std::size_t>(got) & ~static_cast<std::size_t>(unit - 1);
        for (std::size_t block = 0; block < usable && !done; block += kMaskBlock) {
            const std::size_t length = std::min(kMaskBlock, usable - block);
            find_line_ends(buffer.get() + block, length, unit, masks.get());
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

int64_t log_file::index_backward(int64_t end, uint64_t limit)
{
    if (!is_open())
        return -1;
    if (end == 0)
        return 0;
    const int64_t bom = bom_length();
    if (end == -1) {
        const line_index::reader index = m_index.read();
        end = index.line_count() > 0 ? index.first_line_start() : bom;
    }
    end = std::min(end, file_size());
    const int32_t text_encoding = encoding();
    const int unit = encoding_unit(text_encoding);
    // Units are counted from the end of the BOM: an odd tail byte of a
    // two-byte file is not a unit.
    if (unit == 2 && end > bom)
        end = bom + ((end - bom) & ~int64_t{1});
    if (end <= bom)
        return 0;
    m_index.write().set_line_limit(line_limit_bytes(text_encoding));

    std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
    std::unique_ptr<uint64_t[]> masks(new uint64_t[kMaskBlock / 64]);
    std::vector<line_span> spans;
    spans.reserve(kSpanBatch);

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
    const auto chunk_size = static_cast<int64_t>(kReadBufferSize);
    while (!done && (limit == 0 || added < limit) && end > bom) {
        // Also when exactly one chunk is left, the chunk reaches the start of
        // the text: its first segment is the file's first line.
        const bool reaches_start = end - bom <= chunk_size;
        const int64_t position = reaches_start ? bom : end - chunk_size;
        const auto length = static_cast<std::size_t>(end - position);
        const int64_t got = read_bytes(position, buffer.get(), length);
        // Nothing read, or fewer bytes than the file had: it shrank under us;
        // end with the lines added so far.
        if (got <= 0 || static_cast<std::size_t>(got) < length)
            break;

        const std::size_t top_block = ((length - 1) / kMaskBlock) * kMaskBlock;
        for (std::size_t next_block = top_block + kMaskBlock; next_block > 0 && !done;) {
            next_block -= kMaskBlock;
            const std::size_t block = next_block;
            const std::size_t block_length = std::min(kMaskBlock, length - block);
            find_line_ends(buffer.get() + block, block_length, unit, masks.get());
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

int64_t log_file::index_more()
{
    if (!is_open())
        return -1;
    if (packed_as() == packing::none)
        return tail_mode() ? index_backward(-1, kPassLines) : index_forward(-1, kPassLines);
    // A packed file's copy grows until the packed file has nothing more.
    for (;;) {
        const int64_t added = index_forward(-1, kPassLines);
        if (added != 0 || !unpack_more())
            return added;
        life_lock hold(m_file_lock);
        m_file_size = m_file.size();
    }
}

int64_t log_file::refresh()
{
    if (!is_open())
        return -1;
    if (m_indexer.is_running())
        return 0;
    while (unpack_more()) {}
    int64_t size;
    {
        life_lock hold(m_file_lock);
        size = m_file.size();
    }
    if (size < 0)
        return -1;
    if (size == file_size())
        return 0;
    const int32_t noted = encoding();
    m_file_size = size;
    if (noted == ENCODING_UNKNOWN) {
        detect_encoding();
        if (encoding() == ENCODING_UNKNOWN)
            return 0;
    }
    return index_forward(-1, 0);
}

void log_file::take_mark(int64_t end)
{
    if (end <= 0) {
        m_mark.clear();
        m_mark_end = -1;
        return;
    }
    std::string bytes(static_cast<std::size_t>(std::min<int64_t>(end, static_cast<int64_t>(kMarkBytes))), '\0');
    const int64_t start = end - static_cast<int64_t>(bytes.size());
    if (m_file.read_at(start, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
        m_mark.clear();
        m_mark_end = -1;
        return;
    }
    m_mark = std::move(bytes);
    m_mark_end = end;
}

log_file::file_change log_file::check_change(const std::u16string& path)
{
    // A path that does not convert cannot be looked up: the open file is
    // still compared with itself (size, head, mark), only the identity check
    // is left out.
    std::string narrow;
    const bool named = WideToUtf8(std::u16string_view(path), narrow);
    // The index lock goes before the file lock.
    const int64_t indexed_end = m_index.read().last_line_end();
    life_lock hold(m_file_lock);
    if (!m_file.is_open())
        return file_change::none;
    uint64_t open_device = 0, open_inode = 0, path_device = 0, path_inode = 0;
    {
        // A packed file is compared as the packed file it is; its copy only grows.
        life_lock unpack_hold(m_unpack_lock);
        const bool known = m_unpacked ? m_unpacked->packed_identity(open_device, open_inode)
                                      : m_file.identity(open_device, open_inode);
        if (named && known && path_identity(narrow, path_device, path_inode)
            && (open_device != path_device || open_inode != path_inode))
            return file_change::replaced;
        if (m_unpacked && m_unpacked->source_rewritten())
            return file_change::rewritten;
    }
    const int64_t size = m_file.size();
    if (size < 0)
        return file_change::none;
    if (size < file_size())
        return file_change::shrank;
    // Compare what both the stored head and the file have; a head taken
    // from a file that was shorter then grows with the file.
    std::string head(static_cast<std::size_t>(std::min<int64_t>(size, static_cast<int64_t>(kHeadBytes))), '\0');
    const int64_t got = m_file.read_at(0, head.data(), head.size());
    if (got < 0)
        return file_change::none;
    head.resize(static_cast<std::size_t>(got));
    const std::size_t common = std::min(head.size(), m_head.size());
    if (head.compare(0, common, m_head, 0, common) != 0)
        return file_change::rewritten;
    if (head.size() > m_head.size())
        m_head = std::move(head);
    // What ended the indexed lines must still be where it was.
    if (m_mark_end > 0) {
        std::string now(m_mark.size(), '\0');
        const int64_t start = m_mark_end - static_cast<int64_t>(m_mark.size());
        if (m_file.read_at(start, now.data(), now.size()) == static_cast<int64_t>(now.size()) && now != m_mark)
            return file_change::rewritten;
    }
    if (indexed_end != m_mark_end)
        take_mark(indexed_end);
    return file_change::none;
}

void log_file::discard_batch(std::vector<log_line*> lines)
{
    if (lines.empty())
        return;
    auto* batch = new std::vector<log_line*>(std::move(lines));
    autodelete_thread* deleter = nullptr;
    try {
        deleter = new autodelete_thread();
    } catch (...) {
        deleter = nullptr;
    }
    // With no thread to hand them to, the lines are deleted here.
    if (!deleter || !deleter->start(batch, -1)) {
        delete deleter;
        delete_lines(batch);
    }
}

void log_file::discard_lines()
{
    window_write changing(*this);
    discard_batch(std::vector<log_line*>(begin(), end()));
    clear();
    m_filtered_lines.clear();
    m_quick_lines.clear();
    set_window(-1, -1);
}
