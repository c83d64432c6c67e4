#include "platform/named_mutex.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

named_mutex::named_mutex(std::u16string name) : m_name(std::move(name))
{}

named_mutex::~named_mutex()
{
    unlock();
}

bool named_mutex::open_file()
{
    if (m_fd >= 0)
        return true;
    const std::u16string folder = RuntimeDirectory();
    if (folder.empty())
        return false;
    std::u16string file = m_name;
    for (char16_t& c : file)
        if (c == u'/' || c == u' ')
            c = u'_';
    const std::string path = NativePath(JoinPath(folder, file + u".lock"));
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return m_fd >= 0;
}

bool named_mutex::try_lock()
{
    if (!open_file())
        return false;
    // flock locks belong to the open file description, so a second object in
    // the same process is refused just like another process.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

bool named_mutex::lock()
{
    if (!open_file())
        return false;
    int r;
    do {
        r = ::flock(m_fd, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    if (r == 0)
        return true;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

void named_mutex::unlock()
{
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}
