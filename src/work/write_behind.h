// Writing a file from two large buffers: while one is filled, the other is
// written with write(2) on a thread of its own, so that the time the system
// spends taking the bytes overlaps the time spent making them.
//
//   filling thread                         write-behind thread
//   --------------                         -------------------
//   fill buffer A
//   hand_over(A) --------- pending -------> write(A) ... until all of it went
//   fill buffer B                           (short writes go on, EINTR retried)
//   hand_over(B): waits <- A done --------  sets the first error, if any
//   drain(): waits until B is written
//
// Thread-safety: every member is called from one thread, the filling one;
// the state both threads touch is reached only under the object's lock.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// The system's write(2), or a replacement that tests use to fail like a full disk.
using write_function = ssize_t (*)(int fd, const void* bytes, std::size_t count);

class write_behind {
public:
    static constexpr std::size_t kBufferSize = 1u << 20;

    // write null: the system's write(2).
    explicit write_behind(write_function write = nullptr);
    // Drains and stops the thread.
    ~write_behind();
    write_behind(const write_behind&) = delete;
    write_behind& operator=(const write_behind&) = delete;

    // Begins writing to fd: clears the error and the count and starts the
    // thread (when no thread can be had, each hand-over writes at once).
    void start(int fd);

    // The buffer to fill, kBufferSize bytes.
    char* buffer() { return m_buffers[m_filling].get(); }

    // Hands the first size bytes of the buffer over for writing and makes
    // the other buffer the one to fill, first waiting until the previous
    // hand-over is written.  False, and nothing handed over, once a write
    // has failed.
    bool hand_over(std::size_t size);
    // Waits until everything handed over is written; false when a write failed.
    bool drain();
    // Drains, then ends the thread.  start may follow again.
    void stop();

    // The errno code of the first failed write, 0 when none has failed.
    int error();
    // Bytes the file has taken.
    uint64_t written();

private:
    void run();

    write_function m_write;
    std::unique_ptr<char[]> m_buffers[2];
    int m_filling = 0;
    std::thread m_thread;

    // Under m_lock.
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_fd = -1;
    const char* m_pending = nullptr; // handed over and not yet written
    std::size_t m_pending_size = 0;
    bool m_stop = false;
    int m_error = 0;
    uint64_t m_written = 0;
};
