// Read-only access to one file by 64-bit positions.  Opening denies nothing
// to other processes (writers may keep appending); a file that shrinks while
// it is read yields short reads, never a signal.  Not thread-safe: the owner
// serialises calls (the log file's file lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class read_only_file {
public:
    read_only_file() = default;
    ~read_only_file();
    read_only_file(const read_only_file&) = delete;
    read_only_file& operator=(const read_only_file&) = delete;

    // False for a path that cannot be opened or is not a regular file.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return m_fd >= 0; }

    // The position of the end of the file, or -1 when it cannot be told.
    int64_t size() const;
    // Reads up to length bytes at offset; returns the number read (short at
    // the end of the file, 0 past it) or -1 on failure.
    int64_t read_at(int64_t offset, void* buffer, std::size_t length) const;
    // The device and inode of the open file; false when none is open.
    bool identity(uint64_t& device, uint64_t& inode) const;

private:
    int m_fd = -1;
};

// The device and inode of what path names now; false when it cannot be looked at.
bool path_identity(const std::string& path, uint64_t& device, uint64_t& inode);
// A read-only descriptor of the regular file at path (never blocking on a
// FIFO, closed on exec), or -1 when it cannot be opened or is no regular file.
int open_regular_file(const std::string& path);

// Whether path names something the current user may read.
bool can_read_path(const std::string& path);
