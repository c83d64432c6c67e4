#include "work/output_file.h"

#include "glossant/dictionary_text.h"
#include "platform/files.h"
#include "platform/strings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Text is encoded in pieces of at most this many units, so that the worst
// case of a piece (14 bytes per unit) always fits the buffer.
constexpr std::size_t kPieceUnits = 64 * 1024;

constexpr std::size_t kMaxErrorTextLength = 1024;

// strerror_r in either of its two C library forms.
[[maybe_unused]] const char* ErrorString(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorString(const char* result, const char*)
{
    return result;
}

bool IsPair(char16_t high, char16_t low)
{
    return high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF;
}

// Whether a quoted CSV field must be enclosed.
bool NeedsQuotes(std::u16string_view field)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi16(static_cast<short>(u','));
    const __m128i quote = _mm_set1_epi16(static_cast<short>(u'"'));
    const __m128i cr = _mm_set1_epi16(static_cast<short>(u'\r'));
    const __m128i lf = _mm_set1_epi16(static_cast<short>(u'\n'));
    for (; i + 8 <= field.size(); i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field.data() + i));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, comma), _mm_cmpeq_epi16(v, quote)),
                                          _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (_mm_movemask_epi8(hits) != 0)
            return true;
    }
#endif
    constexpr uint64_t special = 1ull << u',' | 1ull << u'"' | 1ull << u'\r' | 1ull << u'\n';
    for (; i < field.size(); ++i)
        if (field[i] < 64 && (special >> field[i] & 1))
            return true;
    return false;
}

// The end of the next piece of text from start: at most kPieceUnits units,
// never between the two halves of a surrogate pair.
std::size_t PieceEnd(std::u16string_view text, std::size_t start)
{
    std::size_t end = std::min(text.size(), start + kPieceUnits);
    if (end < text.size() && end > start && IsPair(text[end - 1], text[end]))
        ++end;
    return end;
}

} // namespace

file_identity IdentityOfPath(std::u16string_view path)
{
    file_identity identity;
    struct stat st {};
    if (!path.empty() && ::stat(NativePath(path).c_str(), &st) == 0) {
        identity.device = st.st_dev;
        identity.inode = st.st_ino;
        identity.known = true;
    }
    return identity;
}

std::u16string ErrorCodeText(int code)
{
    if (code > 0) {
        char buffer[kMaxErrorTextLength + 1] = {};
        const char* text = ErrorString(strerror_r(code, buffer, sizeof buffer), buffer);
        // The C library invents "Unknown error N" for codes it does not know.
        if (text && *text && std::strncmp(text, "Unknown error", 13) != 0) {
            std::u16string wide = FromUtf8(text);
            if (wide.size() > kMaxErrorTextLength)
                wide.resize(kMaxErrorTextLength);
            return wide;
        }
    }
    return DictionaryText(u"IDS_MSG_UNKNOWN_ERROR");
}

output_file::output_file(output_encoding encoding, write_function writer)
    : m_encoder(encoding), m_writer(writer), m_buffer(m_writer.buffer())
{}

output_file::~output_file()
{
    m_writer.stop();
    if (m_fd >= 0)
        ::close(m_fd);
}

output_file::create_result output_file::create(std::u16string_view path, const file_identity& source)
{
    if (m_fd >= 0)
        close();
    m_error = 0;
    m_used = 0;
    m_identity = {};
    m_native_path = NativePath(path);
    if (m_native_path.empty()) {
        m_error = ENOENT;
        return create_result::failed;
    }
    // No O_TRUNC yet: nothing is emptied before the target is known to be
    // an ordinary file other than the source.  O_NONBLOCK keeps a pipe
    // without a reader from blocking the open; O_NOFOLLOW refuses a link.
    const int fd = ::open(m_native_path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (::lstat(m_native_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return create_result::not_a_file;
        m_error = error;
        return create_result::failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_error = errno;
        ::close(fd);
        return create_result::failed;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return create_result::not_a_file;
    }
    if (source.known && st.st_dev == source.device && st.st_ino == source.inode) {
        ::close(fd);
        return create_result::is_source;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
        m_error = errno;
        ::close(fd);
        return create_result::failed;
    }
    m_fd = fd;
    m_identity = {st.st_dev, st.st_ino, true};
    m_writer.start(fd);
    m_buffer = m_writer.buffer();
    return create_result::created;
}

char* output_file::reserve(std::size_t bytes)
{
    if (m_used + bytes > kBufferSize)
        hand_over();
    return m_buffer + m_used;
}

void output_file::hand_over()
{
    if (m_fd < 0) {
        m_error = EBADF;
    } else if (!failed() && !m_writer.hand_over(m_used)) {
        m_error = m_writer.error();
    }
    m_used = 0;
    m_buffer = m_writer.buffer();
}

void output_file::append_bytes(std::string_view bytes)
{
    while (!bytes.empty() && !failed()) {
        const std::size_t piece = std::min(bytes.size(), kBufferSize);
        std::memcpy(reserve(piece), bytes.data(), piece);
        m_used += piece;
        bytes.remove_prefix(piece);
    }
}

void output_file::append(std::u16string_view text)
{
    if (!failed())
        encode(text, false);
}

void output_file::append_csv_field(std::u16string_view field, bool quoted)
{
    if (failed())
        return;
    if (!quoted || !NeedsQuotes(field)) {
        encode(field, false);
        return;
    }
    append_bytes("\"");
    encode(field, true);
    append_bytes("\"");
}

void output_file::append_csv_line(std::span<const std::u16string_view> fields, bool quoted)
{
    if (failed())
        return;
    std::size_t units = 0;
    for (std::u16string_view field : fields)
        units += field.size();
    const std::size_t most = m_encoder.max_bytes_per_unit() * units + 3 * fields.size() + 2;
    if (most > kBufferSize) {
        // A line too long for one buffer goes field by field.
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                append_bytes(",");
            append_csv_field(fields[i], quoted);
        }
        append_bytes("\r\n");
        return;
    }
    char* out = reserve(most);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            *out++ = ',';
        if (quoted && NeedsQuotes(fields[i])) {
            *out++ = '"';
            out = m_encoder.encode(out, fields[i], true);
            *out++ = '"';
        } else {
            out = m_encoder.encode(out, fields[i], false);
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    m_used = static_cast<std::size_t>(out - m_buffer);
}

void output_file::encode(std::u16string_view text, bool double_quotes)
{
    for (std::size_t start = 0; start < text.size() && !failed();) {
        const std::size_t end = PieceEnd(text, start);
        char* const out = m_encoder.encode(reserve(m_encoder.max_bytes_per_unit() * (end - start)),
                                           text.substr(start, end - start), double_quotes);
        m_used = static_cast<std::size_t>(out - m_buffer);
        start = end;
    }
}

bool output_file::close()
{
    if (m_fd < 0)
        return !failed();
    if (m_used > 0)
        hand_over();
    m_writer.stop();
    if (!failed() && m_writer.error() != 0)
        m_error = m_writer.error();
    if (::close(m_fd) != 0 && !failed())
        m_error = errno;
    m_fd = -1;
    return !failed();
}

bool output_file::remove()
{
    m_writer.stop();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_used = 0;
    if (!m_identity.known)
        return false;
    struct stat st {};
    if (::lstat(m_native_path.c_str(), &st) != 0 || st.st_dev != m_identity.device || st.st_ino != m_identity.inode)
        return false;
    m_identity = {};
    if (::unlink(m_native_path.c_str()) != 0) {
        m_error = errno;
        return false;
    }
    return true;
}
