#include "work/write_behind.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

// Writes all of [data, data + size) to fd: short writes go on, interrupted
// ones are retried.  Returns 0 or the errno code of the failure; written
// counts the bytes taken.
int WriteAll(write_function write, int fd, const char* data, std::size_t size, uint64_t& written)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno != 0 ? errno : EIO;
        }
        if (n == 0)
            return EIO; // a write that takes nothing would loop for ever
        done += static_cast<std::size_t>(n);
        written += static_cast<uint64_t>(n);
    }
    return 0;
}

} // namespace

write_behind::write_behind(write_function write) : m_write(write ? write : &::write)
{
    m_buffers[0].reset(new char[kBufferSize]);
    m_buffers[1].reset(new char[kBufferSize]);
}

write_behind::~write_behind()
{
    stop();
}

void write_behind::start(int fd)
{
    stop();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_fd = fd;
        m_error = 0;
        m_written = 0;
        m_stop = false;
    }
    try {
        m_thread = std::thread(&write_behind::run, this);
    } catch (const std::system_error&) {
        // No thread: hand_over writes at once.
    }
}

bool write_behind::hand_over(std::size_t size)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return m_pending == nullptr; });
    if (m_error != 0)
        return false;
    if (size == 0)
        return true;
    const char* data = m_buffers[m_filling].get();
    if (!m_thread.joinable()) {
        const int fd = m_fd;
        hold.unlock();
        uint64_t written = 0;
        const int error = WriteAll(m_write, fd, data, size, written);
        hold.lock();
        m_written += written;
        m_error = error;
        return error == 0;
    }
    m_pending = data;
    m_pending_size = size;
    m_filling ^= 1;
    m_changed.notify_all();
    return true;
}

bool write_behind::drain()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return m_pending == nullptr; });
    return m_error == 0;
}

void write_behind::stop()
{
    if (!m_thread.joinable())
        return;
    drain();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

int write_behind::error()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_error;
}

uint64_t write_behind::written()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_written;
}

void write_behind::run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [this] { return m_pending != nullptr || m_stop; });
        if (m_pending) {
            const char* data = m_pending;
            const std::size_t size = m_pending_size;
            const int fd = m_fd;
            hold.unlock();
            uint64_t written = 0;
            const int error = WriteAll(m_write, fd, data, size, written);
            hold.lock();
            m_written += written;
            if (error != 0 && m_error == 0)
                m_error = error;
            m_pending = nullptr;
            m_changed.notify_all();
            continue;
        }
        return;
    }
}
