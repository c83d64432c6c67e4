#include "logfile/file_access.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

read_only_file::~read_only_file()
{
    close();
}

int open_regular_file(const std::string& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool read_only_file::open(const std::string& path)
{
    close();
    const int fd = open_regular_file(path);
    if (fd < 0)
        return false;
    // O_NONBLOCK only kept open() from hanging on a FIFO; regular files ignore it.
    m_fd = fd;
    return true;
}

bool read_only_file::identity(uint64_t& device, uint64_t& inode) const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool path_identity(const std::string& path, uint64_t& device, uint64_t& inode)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

void read_only_file::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int64_t read_only_file::size() const
{
    if (m_fd < 0)
        return -1;
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<int64_t>(end);
}

int64_t read_only_file::read_at(int64_t offset, void* buffer, std::size_t length) const
{
    if (m_fd < 0 || offset < 0)
        return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<int64_t>(done);
}

bool can_read_path(const std::string& path)
{
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}
