#include "app/instance_handoff.h"

#include "platform/files.h"
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string EscapePiece(std::string_view native)
{
    std::string out;
    out.reserve(native.size());
    for (char c : native) {
        if (c == '%')
            out += "%25";
        else if (c == '|')
            out += "%7C";
        else
            out += c;
    }
    return out;
}

// False for an escape other than %25 and %7C (a piece that we did not write).
// A final "%L" with digits is the line, else line is 0.
bool UnescapePiece(std::string_view piece, std::string& out, uint64_t& line)
{
    out.clear();
    line = 0;
    const std::size_t mark = piece.rfind("%L");
    if (mark != std::string_view::npos) {
        const std::string_view digits = piece.substr(mark + 2);
        if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        for (char c : digits)
            line = line * 10 + static_cast<uint64_t>(c - '0');
        piece = piece.substr(0, mark);
    }
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] != '%') {
            out += piece[i];
            continue;
        }
        const std::string_view code = piece.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "7C" || code == "7c")
            out += '|';
        else
            return false;
        i += 2;
    }
    return true;
}

bool IsHandOffNative(std::string_view native)
{
    return !native.empty() && native.front() == '/' && native.size() <= kHandOffPathLimitBytes
           && native.find('\0') == std::string_view::npos;
}

// Reads at most limit bytes of the spool, ending at the last whole piece
// when the file is longer; false when it exists but cannot be read.
bool ReadSpool(const std::string& path, std::string& bytes, std::size_t limit)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::size_t wanted = limit + 1;
    bytes.resize(wanted);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::read(fd, bytes.data() + done, wanted - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > limit) {
        // Not ours (we never write past the limit): keep the whole pieces.
        const std::size_t cut = bytes.rfind('|', limit);
        done = cut == std::string::npos ? 0 : cut;
    }
    bytes.resize(done);
    return true;
}

} // namespace

std::u16string HandOffSpoolPath()
{
    const std::u16string folder = RuntimeDirectory();
    return folder.empty() ? folder : JoinPath(folder, u"vrnt");
}

std::u16string HandOffWakePath()
{
    const std::u16string folder = RuntimeDirectory();
    return folder.empty() ? folder : JoinPath(folder, u"wake");
}

bool IsHandOffPath(std::u16string_view path)
{
    return IsHandOffNative(NativePath(path));
}

std::string JoinSpoolFiles(const std::vector<handed_file>& files)
{
    std::string spool;
    for (const handed_file& file : files) {
        if (!spool.empty())
            spool += '|';
        spool += EscapePiece(NativePath(file.path));
        if (file.line > 0)
            spool += "%L" + std::to_string(file.line);
    }
    return spool;
}

std::vector<handed_file> SplitSpoolFiles(std::string_view spool)
{
    std::vector<handed_file> files;
    std::string native;
    uint64_t line = 0;
    std::size_t start = 0;
    while (start <= spool.size()) {
        std::size_t end = spool.find('|', start);
        if (end == std::string_view::npos)
            end = spool.size();
        const std::string_view piece = spool.substr(start, end - start);
        if (!piece.empty() && UnescapePiece(piece, native, line) && IsHandOffNative(native))
            files.push_back({WidePath(native), line});
        start = end + 1;
    }
    return files;
}

std::string JoinSpool(const std::vector<std::u16string>& paths)
{
    std::vector<handed_file> files;
    for (const std::u16string& path : paths)
        files.push_back({path, 0});
    return JoinSpoolFiles(files);
}

std::vector<std::u16string> SplitSpool(std::string_view spool)
{
    std::vector<std::u16string> paths;
    for (handed_file& file : SplitSpoolFiles(spool))
        paths.push_back(std::move(file.path));
    return paths;
}

bool HandOffPath(const std::u16string& path)
{
    return HandOffFiles({{path, 0}});
}

bool HandOffFiles(const std::vector<handed_file>& files)
{
    if (files.empty())
        return false;
    for (const handed_file& file : files)
        if (!IsHandOffPath(file.path))
            return false;
    const std::u16string spool_path = HandOffSpoolPath();
    if (spool_path.empty())
        return false;
    CAutoNamedMutex hold{std::u16string(kHandOffLockName)};
    if (!hold.locked())
        return false;
    std::string bytes;
    if (!ReadSpool(NativePath(spool_path), bytes, kSpoolLimitBytes))
        return false;
    std::vector<handed_file> queued = SplitSpoolFiles(bytes);
    queued.insert(queued.end(), files.begin(), files.end());
    const std::string next = JoinSpoolFiles(queued);
    if (next.size() > kSpoolLimitBytes)
        return false;
    return WriteFileAtomically(spool_path, next);
}

std::vector<std::u16string> TakeHandedOffPaths()
{
    std::vector<std::u16string> paths;
    for (handed_file& file : TakeHandedOffFiles())
        paths.push_back(std::move(file.path));
    return paths;
}

std::vector<handed_file> TakeHandedOffFiles()
{
    const std::u16string spool_path = HandOffSpoolPath();
    if (spool_path.empty())
        return {};
    CAutoNamedMutex hold{std::u16string(kHandOffLockName)};
    if (!hold.locked())
        return {};
    std::string bytes;
    const std::string native = NativePath(spool_path);
    if (!ReadSpool(native, bytes, kSpoolLimitBytes))
        return {};
    ::unlink(native.c_str());
    return SplitSpoolFiles(bytes);
}

bool WakeRunningInstance()
{
    const std::string path = NativePath(HandOffWakePath());
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool woken = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (woken) {
        const char wake = 'w';
        woken = ::send(fd, &wake, 1, MSG_NOSIGNAL) == 1;
    }
    ::close(fd);
    return woken;
}
