#include "logfile/unpack.h"

#include "logfile/file_access.h"
#include "platform/files.h"

#include <zlib.h>
#include <zstd.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr std::size_t kOutChunk = 256 * 1024;
// Packed bytes decoded between two writes of the copy: bounds the decoded
// bytes held in memory (a log packs about ten to one).
constexpr std::size_t kFeedSlice = 256 * 1024;
// A half-made copy (between its creation and its rename) older than this is
// an orphan even though its name is not yet a copy's.
constexpr time_t kHalfMadeSeconds = 60;

constexpr std::string_view kHalfMadePrefix = ".unpacking-";

bool byte_is(std::string_view bytes, std::size_t i, unsigned value)
{
    return i < bytes.size() && static_cast<unsigned char>(bytes[i]) == value;
}

bool write_all(int fd, const char* data, std::size_t size, int64_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

int64_t read_some(int fd, char* buffer, std::size_t size, int64_t offset)
{
    ssize_t n;
    do
        n = ::pread(fd, buffer, size, offset);
    while (n < 0 && errno == EINTR);
    return n;
}

} // namespace

packing sniff_packing(std::string_view head)
{
    if (byte_is(head, 0, 0x1F) && byte_is(head, 1, 0x8B) && byte_is(head, 2, 0x08))
        return packing::gzip;
    if (byte_is(head, 0, 0x28) && byte_is(head, 1, 0xB5) && byte_is(head, 2, 0x2F) && byte_is(head, 3, 0xFD))
        return packing::zstd;
    // A skippable frame (magic 184D2A50 to 184D2A5F) may open a zstd file.
    if (head.size() >= 4 && (static_cast<unsigned char>(head[0]) & 0xF0) == 0x50 && byte_is(head, 1, 0x2A)
        && byte_is(head, 2, 0x4D) && byte_is(head, 3, 0x18))
        return packing::zstd;
    return packing::none;
}

const char* packing_name(packing kind)
{
    switch (kind) {
    case packing::gzip: return "gzip";
    case packing::zstd: return "zstd";
    case packing::none: break;
    }
    return "";
}

// ---- unpack_stream ------------------------------------------------------------

struct unpack_stream::codec {
    z_stream z{};
    bool z_ready = false;
    ZSTD_DStream* zstd = nullptr;
    bool between = true;  // at the start of a member or frame
    uint64_t members = 0; // members or frames ended
    std::vector<char> chunk = std::vector<char>(kOutChunk);

    ~codec()
    {
        if (z_ready)
            inflateEnd(&z);
        if (zstd)
            ZSTD_freeDStream(zstd);
    }
};

unpack_stream::unpack_stream(packing kind) : m_codec(std::make_unique<codec>()), m_kind(kind)
{
    m_state = unpack_state::more;
}

unpack_stream::~unpack_stream() = default;

bool unpack_stream::feed(std::string_view packed, std::string& out)
{
    if (m_state == unpack_state::damaged || m_state == unpack_state::trailing)
        return true;
    switch (m_kind) {
    case packing::gzip: return feed_gzip(packed, out);
    case packing::zstd: return feed_zstd(packed, out);
    case packing::none: break;
    }
    m_state = unpack_state::damaged;
    return true;
}

bool unpack_stream::feed_gzip(std::string_view packed, std::string& out)
{
    codec& c = *m_codec;
    std::string joined;
    if (!m_held.empty()) {
        joined = m_held;
        joined.append(packed);
        m_held.clear();
        packed = joined;
    }
    bool output_full = false; // inflate may hold more output for the same input
    while (!packed.empty() || output_full) {
        if (c.between && packed.empty())
            return true;
        if (c.between) {
            // A member starts with 1F 8B; anything else after a member is
            // not ours.  A lone 1F waits for the byte after it.
            if (packed.size() == 1 && byte_is(packed, 0, 0x1F)) {
                m_held.assign(packed);
                m_state = unpack_state::more;
                return true;
            }
            if (!byte_is(packed, 0, 0x1F) || !byte_is(packed, 1, 0x8B)) {
                m_state = c.members > 0 ? unpack_state::trailing : unpack_state::damaged;
                return true;
            }
            const int rc = c.z_ready ? inflateReset(&c.z) : inflateInit2(&c.z, 16 + MAX_WBITS);
            if (rc != Z_OK) {
                m_state = unpack_state::damaged;
                return false;
            }
            c.z_ready = true;
            c.between = false;
            m_state = unpack_state::more;
        }
        const auto given = static_cast<uInt>(std::min<std::size_t>(packed.size(), UINT_MAX));
        c.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        c.z.avail_in = given;
        c.z.next_out = reinterpret_cast<Bytef*>(c.chunk.data());
        c.z.avail_out = static_cast<uInt>(c.chunk.size());
        const int rc = inflate(&c.z, Z_NO_FLUSH);
        const std::size_t used = given - c.z.avail_in;
        out.append(c.chunk.data(), c.chunk.size() - c.z.avail_out);
        packed.remove_prefix(used);
        m_used += used;
        output_full = c.z.avail_out == 0;
        if (rc == Z_STREAM_END) {
            c.between = true;
            ++c.members;
            m_state = unpack_state::complete;
        } else if (rc == Z_BUF_ERROR) {
            // No progress was possible: more packed bytes are needed.
            return true;
        } else if (rc != Z_OK) {
            m_state = unpack_state::damaged;
            return rc != Z_MEM_ERROR;
        }
    }
    return true;
}

namespace {

// Whether bytes (at most four) can start a zstd frame or a skippable frame.
bool may_start_frame(std::string_view bytes)
{
    static constexpr unsigned char frame[] = {0x28, 0xB5, 0x2F, 0xFD};
    static constexpr unsigned char skippable[] = {0x50, 0x2A, 0x4D, 0x18};
    bool is_frame = true;
    bool is_skippable = true;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        is_frame = is_frame && b == frame[i];
        is_skippable = is_skippable && (i == 0 ? (b & 0xF0) == skippable[0] : b == skippable[i]);
    }
    return is_frame || is_skippable;
}

} // namespace

bool unpack_stream::feed_zstd(std::string_view packed, std::string& out)
{
    codec& c = *m_codec;
    std::string joined;
    if (!m_held.empty()) {
        joined = m_held;
        joined.append(packed);
        m_held.clear();
        packed = joined;
    }
    if (!c.zstd) {
        c.zstd = ZSTD_createDStream();
        if (!c.zstd || ZSTD_isError(ZSTD_initDStream(c.zstd))) {
            m_state = unpack_state::damaged;
            return false;
        }
    }
    for (;;) {
        if (c.between && c.members > 0) {
            // After a frame only another frame may follow; a short tail is
            // held until it can be told.
            if (packed.empty())
                return true;
            if (!may_start_frame(packed.substr(0, 4))) {
                m_state = unpack_state::trailing;
                return true;
            }
            if (packed.size() < 4) {
                m_held.assign(packed);
                m_state = unpack_state::more;
                return true;
            }
        }
        ZSTD_inBuffer in{packed.data(), packed.size(), 0};
        ZSTD_outBuffer o{c.chunk.data(), c.chunk.size(), 0};
        const std::size_t rc = ZSTD_decompressStream(c.zstd, &o, &in);
        out.append(c.chunk.data(), o.pos);
        packed.remove_prefix(in.pos);
        m_used += in.pos;
        if (ZSTD_isError(rc)) {
            // At a frame's start after a frame: bytes that start no frame.
            m_state = c.between && c.members > 0 && o.pos == 0 ? unpack_state::trailing : unpack_state::damaged;
            return true;
        }
        if (rc == 0) {
            if (!c.between || in.pos > 0 || o.pos > 0)
                ++c.members;
            c.between = true;
            m_state = unpack_state::complete;
        } else if (in.pos > 0 || o.pos > 0) {
            c.between = false;
            m_state = unpack_state::more;
        }
        // Go on while bytes are left or the output may hold more.
        if (packed.empty() && o.pos < o.size)
            return true;
        if (in.pos == 0 && o.pos == 0)
            return true;
    }
}

// ---- unpacked_copy ------------------------------------------------------------

unpacked_copy::~unpacked_copy()
{
    remove();
}

bool unpacked_copy::start(const std::string& packed_path, packing kind, const std::string& folder)
{
    remove();
    if (kind == packing::none || folder.empty())
        return false;
    const int fd = open_regular_file(packed_path);
    if (fd < 0)
        return false;
    std::string head(kHeadBytes, '\0');
    const int64_t got = read_some(fd, head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (sniff_packing(head) != kind) {
        ::close(fd);
        return false;
    }
    // Made under a name no sweep takes, locked, then given its name: a sweep
    // never sees a copy of a living process unlocked.
    std::string half_made = folder + "/" + std::string(kHalfMadePrefix) + "XXXXXX";
    const int copy = ::mkostemp(half_made.data(), O_CLOEXEC);
    if (copy < 0) {
        ::close(fd);
        return false;
    }
    const std::string unique = half_made.substr(half_made.size() - 6);
    const std::string final_path = folder + "/" + std::string(kPrefix) + unique + std::string(kSuffix);
    const bool named = ::flock(copy, LOCK_EX | LOCK_NB) == 0 && ::link(half_made.c_str(), final_path.c_str()) == 0;
    ::unlink(half_made.c_str());
    if (!named) {
        ::close(copy);
        ::close(fd);
        return false;
    }
    m_packed_fd = fd;
    m_copy_fd = copy;
    m_copy_path = final_path;
    m_head = std::move(head);
    m_stream = std::make_unique<unpack_stream>(kind);
    m_kind = kind;
    return true;
}

int64_t unpacked_copy::step(std::size_t packed_budget)
{
    if (m_failed)
        return -1;
    if (!m_stream)
        return -1;
    const unpack_state state = m_stream->state();
    if (state == unpack_state::damaged || state == unpack_state::trailing)
        return 0;
    std::vector<char> buffer(std::min(packed_budget, kFeedSlice));
    int64_t added = 0;
    std::size_t left = packed_budget;
    while (left > 0) {
        const int64_t got = read_some(m_packed_fd, buffer.data(), std::min(left, buffer.size()), m_read);
        if (got < 0) {
            m_failed = true;
            return -1;
        }
        if (got == 0)
            break;
        m_read += got;
        left -= static_cast<std::size_t>(got);
        const bool fed = m_stream->feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)), m_out);
        if (!write_all(m_copy_fd, m_out.data(), m_out.size(), m_written) || !fed) {
            m_out.clear();
            m_failed = true;
            return -1;
        }
        m_written += static_cast<int64_t>(m_out.size());
        added += static_cast<int64_t>(m_out.size());
        m_out.clear();
        const unpack_state now = m_stream->state();
        if (now == unpack_state::damaged || now == unpack_state::trailing)
            break;
    }
    return added;
}

int64_t unpacked_copy::step_to_end()
{
    int64_t total = 0;
    for (;;) {
        const int64_t before = m_read;
        const int64_t added = step(4 * kFeedSlice);
        if (added < 0)
            return -1;
        total += added;
        if (m_read == before)
            return total;
        const unpack_state now = m_stream->state();
        if (now == unpack_state::damaged || now == unpack_state::trailing)
            return total;
    }
}

unpack_note unpacked_copy::note() const
{
    if (m_failed || !m_stream)
        return unpack_note::failed;
    switch (m_stream->state()) {
    case unpack_state::complete: return unpack_note::none;
    case unpack_state::more: return unpack_note::truncated;
    case unpack_state::damaged: return unpack_note::damaged;
    case unpack_state::trailing: return unpack_note::trailing;
    }
    return unpack_note::none;
}

bool unpacked_copy::packed_identity(uint64_t& device, uint64_t& inode) const
{
    struct stat st {};
    if (m_packed_fd < 0 || ::fstat(m_packed_fd, &st) != 0)
        return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool unpacked_copy::source_rewritten() const
{
    if (m_packed_fd < 0)
        return false;
    struct stat st {};
    if (::fstat(m_packed_fd, &st) != 0)
        return false;
    if (st.st_size < m_read)
        return true;
    std::string head(m_head.size(), '\0');
    const int64_t got = read_some(m_packed_fd, head.data(), head.size(), 0);
    return got != static_cast<int64_t>(head.size()) || head != m_head;
}

void unpacked_copy::remove()
{
    if (m_copy_fd >= 0) {
        // Unlinked while still locked: a sweep never takes a name being removed.
        ::unlink(m_copy_path.c_str());
        ::close(m_copy_fd);
    }
    if (m_packed_fd >= 0)
        ::close(m_packed_fd);
    m_copy_fd = -1;
    m_packed_fd = -1;
    m_copy_path.clear();
    m_head.clear();
    m_out.clear();
    m_stream.reset();
    m_read = 0;
    m_written = 0;
    m_kind = packing::none;
    m_failed = false;
}

std::string unpacked_copy_folder()
{
    const std::u16string cache = UserCacheDirectory();
    if (cache.empty())
        return {};
    const std::string folder = NativePath(cache) + "/unpacked";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    return folder;
}

int remove_orphan_copies(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        const bool copy = name.size() > unpacked_copy::kPrefix.size() + unpacked_copy::kSuffix.size()
                          && name.substr(0, unpacked_copy::kPrefix.size()) == unpacked_copy::kPrefix
                          && name.substr(name.size() - unpacked_copy::kSuffix.size()) == unpacked_copy::kSuffix;
        if (copy || name.substr(0, kHalfMadePrefix.size()) == kHalfMadePrefix)
            names.emplace_back(name);
    }
    ::closedir(dir);
    int removed = 0;
    const time_t now = ::time(nullptr);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        const bool half_made = name.substr(0, kHalfMadePrefix.size()) == kHalfMadePrefix;
        const bool old_enough = !half_made || (::fstat(fd, &st) == 0 && now - st.st_mtime > kHalfMadeSeconds);
        // Whoever holds the lock is alive and still uses the copy.
        if (old_enough && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}
