#include "app/stdin_spool.h"

#include "platform/diagnostics.h"
#include "platform/files.h"
#include "platform/strings.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

constexpr std::size_t kBurstBytes = 64 * 1024;
std::atomic<unsigned> g_spool_serial{0};

// The null device's numbers, to tell it from other character devices.
bool IsNullDevice(const struct stat& st)
{
    struct stat null_device;
    return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null_device) == 0 && st.st_rdev == null_device.st_rdev;
}

// Makes one folder level with mode 0700; an existing one counts.
bool MakeOwnFolder(const std::string& folder)
{
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Only a folder of ours that nobody else can write into is used.
bool IsOwnFolder(const std::string& folder)
{
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 0022) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

// The pid of a spool name "stdin-<pid>-<n>.log" (or ".part" while it is
// made); 0 for another name.
pid_t SpoolOwner(std::string_view name, bool& part)
{
    constexpr std::string_view prefix = "stdin-";
    if (name.substr(0, prefix.size()) != prefix)
        return 0;
    name.remove_prefix(prefix.size());
    if (name.size() > 4 && name.substr(name.size() - 4) == ".log") {
        part = false;
        name.remove_suffix(4);
    } else if (name.size() > 5 && name.substr(name.size() - 5) == ".part") {
        part = true;
        name.remove_suffix(5);
    } else {
        return 0;
    }
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || dash + 1 == name.size())
        return 0;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (i != dash && (name[i] < '0' || name[i] > '9'))
            return 0;
    return static_cast<pid_t>(std::strtol(std::string(name.substr(0, dash)).c_str(), nullptr, 10));
}

bool ProcessIsGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

input_kind ClassifyInput(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return input_kind::closed;
    if (::isatty(fd))
        return input_kind::terminal;
    if (S_ISFIFO(st.st_mode))
        return input_kind::fifo;
    if (S_ISSOCK(st.st_mode))
        return input_kind::socket;
    if (S_ISREG(st.st_mode))
        return input_kind::regular_file;
    if (IsNullDevice(st))
        return input_kind::null_device;
    return input_kind::other;
}

stdin_use StandardInputUse(bool dash_named, bool files_named, input_kind input, bool started_from_terminal)
{
    switch (input) {
    case input_kind::closed:
    case input_kind::terminal:
    case input_kind::null_device: return stdin_use::none;
    default: break;
    }
    if (dash_named)
        return stdin_use::named;
    const bool pipe = input == input_kind::fifo || input == input_kind::socket;
    if (!files_named && pipe && started_from_terminal)
        return stdin_use::implied;
    return stdin_use::none;
}

std::u16string StandardInputFolder()
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return WidePath(xdg) + u"/varnoth";
    if (const char* home = std::getenv("HOME"); home && *home)
        return WidePath(std::string(home) + "/.cache/varnoth");
    return {};
}

int RemoveOrphanSpools(const std::u16string& folder)
{
    if (folder.empty() || !IsOwnFolder(NativePath(folder)))
        return 0;
    int removed = 0;
    for (const std::u16string& name : ListFiles(folder, u"")) {
        bool part = false;
        const pid_t owner = SpoolOwner(ToUtf8(name), part);
        if (owner <= 0)
            continue;
        const std::string path = NativePath(JoinPath(folder, name));
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A free lock: nobody follows the file any more.  A file still being
        // made has no lock yet; it goes only when its process is gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && (!part || ProcessIsGone(owner)) && ::unlink(path.c_str()) == 0) {
            ++removed;
            DebugOutput("[app] removed the orphaned standard-input file %s\n", path.c_str());
        }
        ::close(fd);
    }
    return removed;
}

stdin_spool::~stdin_spool()
{
    remove();
}

bool stdin_spool::start(const std::u16string& folder, int input, event_handler on_event)
{
    m_input = input;
    m_on_event = std::move(on_event);
    const auto refuse = [this](int error) {
        m_error = error != 0 ? error : EIO;
        if (m_input >= 0)
            ::close(m_input);
        m_input = -1;
        return false;
    };
    if (m_output >= 0 || m_thread.joinable())
        return refuse(EBUSY);
    const std::string native = NativePath(folder);
    if (folder.empty())
        return refuse(ENOENT);
    const std::size_t slash = native.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeOwnFolder(native.substr(0, slash)))
        return refuse(errno);
    if (!MakeOwnFolder(native))
        return refuse(errno);
    if (!IsOwnFolder(native))
        return refuse(EACCES);

    // Made under a name the orphan removal leaves alone while its maker
    // runs, locked, and only then given its name.
    const std::string stem = native + "/stdin-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 1000 && m_output < 0; ++attempt) {
        const std::string name = stem + std::to_string(++g_spool_serial);
        const std::string part = name + ".part";
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return refuse(errno);
        }
        int moved = ::flock(fd, LOCK_EX | LOCK_NB);
        if (moved == 0) {
            moved = ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, (name + ".log").c_str(), RENAME_NOREPLACE);
            if (moved != 0 && (errno == EINVAL || errno == ENOSYS) && ::access((name + ".log").c_str(), F_OK) != 0)
                moved = ::rename(part.c_str(), (name + ".log").c_str());
        }
        if (moved != 0) {
            const int error = errno;
            ::unlink(part.c_str());
            ::close(fd);
            if (error == EEXIST)
                continue;
            return refuse(error);
        }
        m_output = fd;
        m_path = WidePath(name + ".log");
    }
    if (m_output < 0)
        return refuse(EEXIST);
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        m_wake[0] = m_wake[1] = -1;
        return refuse(error);
    }
    try {
        m_thread = std::thread(&stdin_spool::run, this);
    } catch (const std::system_error& e) {
        return refuse(e.code().value());
    }
    return true;
}

void stdin_spool::fail(int error, bool writing)
{
    m_write_failed = writing;
    m_error = error != 0 ? error : EIO;
    DebugOutput("[app] standard input stops: %s %s: %s\n", writing ? "writing" : "reading", ToUtf8(m_path).c_str(),
                std::strerror(error));
    if (m_on_event)
        m_on_event(event::failed);
}

void stdin_spool::run()
{
    std::string buffer(kBurstBytes, '\0');
    bool any = false;
    for (;;) {
        pollfd fds[2] = {{m_input, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, false);
            return;
        }
        if (fds[1].revents != 0)
            return; // stopped
        if ((fds[0].revents & POLLNVAL) != 0) {
            fail(EBADF, false);
            return;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        const ssize_t n = ::read(m_input, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            fail(errno, false);
            return;
        }
        if (n == 0) {
            m_ended = true;
            if (m_on_event)
                m_on_event(event::ended);
            return;
        }
        // Written at once: the index thread reads the file, not our buffer.
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(m_output, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                fail(w < 0 ? errno : ENOSPC, true);
                return;
            }
            done += w;
        }
        m_bytes += static_cast<uint64_t>(n);
        if (!any) {
            any = true;
            if (m_on_event)
                m_on_event(event::first_data);
        }
    }
}

void stdin_spool::stop()
{
    if (m_thread.joinable()) {
        const char wake = 1;
        while (::write(m_wake[1], &wake, 1) < 0 && errno == EINTR) {}
        m_thread.join();
    }
    for (int* fd : {&m_input, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void stdin_spool::remove()
{
    stop();
    if (!m_path.empty())
        ::unlink(NativePath(m_path).c_str());
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
    m_path.clear();
}
