#include "logfile/log_file.h"

#include "logfile/content_sniff.h"
#include "platform/strings.h"

#include <algorithm>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif

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

log_file::log_file()
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
    packing kind;
    {
        life_lock hold(m_file_lock);
        m_rotation.take_head(m_file, size);
        kind = sniff_packing(m_rotation.head());
    }
    if (kind != packing::none) {
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
    m_indexer.set_tail_mode(tail_first && added > 0);
    const int64_t indexed_end = m_indexer.index().read().last_line_end();
    life_lock hold(m_file_lock);
    m_rotation.take_mark(m_file, indexed_end);
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
    m_rotation.take_head(m_file, size);
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
    m_indexer.control().stop();
    {
        life_lock hold(m_file_lock);
        m_file.close();
        // A file opened again by this object may end its lines differently.
        m_line_end.clear();
        m_rotation.clear();
    }
    m_file_size = 0;
    m_encoding = ENCODING_ANSI;
    m_binary = false;
    m_indexer.set_tail_mode(false);
    m_indexer.index().clear();
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
    const line_index::reader index = m_indexer.index().read();
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
    const line_index::reader index = m_indexer.index().read();
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

log_file::window_numbers log_file::read_window_numbers() const
{
    window_numbers numbers;
    // The window lock before the index lock, as the backward scan takes them.
    m_bounds.read([&](int64_t first, int64_t last) {
        numbers.first = first;
        numbers.last = last;
        numbers.line_count = m_indexer.index().line_count();
    });
    return numbers;
}

int log_file::note_new_size()
{
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
    return 1;
}

log_file::file_change log_file::check_change(const std::u16string& path)
{
    // A path that does not convert cannot be looked up: the open file is
    // still compared with itself (size, head, mark), only the identity check
    // is left out.
    std::string narrow;
    const bool named = WideToUtf8(std::u16string_view(path), narrow);
    // The index lock goes before the file lock.
    const int64_t indexed_end = m_indexer.index().read().last_line_end();
    life_lock hold(m_file_lock);
    if (!m_file.is_open())
        return file_change::none;
    {
        // A packed file is compared as the packed file it is; its plain copy
        // only grows and is looked at for a shrink, head and mark only.
        life_lock unpack_hold(m_unpack_lock);
        if (m_unpacked) {
            uint64_t open_device = 0, open_inode = 0, path_device = 0, path_inode = 0;
            if (named && m_unpacked->packed_identity(open_device, open_inode)
                && path_identity(narrow, path_device, path_inode)
                && (open_device != path_device || open_inode != path_inode))
                return file_change::replaced;
            if (m_unpacked->source_rewritten())
                return file_change::rewritten;
        }
    }
    const bool packed = packed_as() != packing::none;
    return m_rotation.check(m_file, named ? &narrow : nullptr, file_size(), indexed_end, !packed);
}

void log_file::discard_lines()
{
    m_window.discard();
    set_window(-1, -1);
}

bool log_file::parse_range(const index_hold& held, const log_pattern_list& parser, int64_t first_line, uint64_t count)
{
    if (!held.holds(m_indexer.control()) || parser.empty() || first_line < 0 || !is_open())
        return false;
    window_parse parse(*this);
    return m_window.parse(parse.index(), *this, parser, first_line, count, m_bounds);
}
