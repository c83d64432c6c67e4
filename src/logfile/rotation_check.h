// Whether an open log file is still the file its path names, as far as
// appending cannot explain a difference: its identity, its size, the bytes
// it started with and the bytes that ended its last indexed line.
#pragma once

#include "logfile/file_access.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What became of the file since it was opened.
enum class file_change {
    none,      // the same file, at least as long, its first bytes unchanged
    shrank,    // shorter than what was indexed (truncated, maybe regrown since)
    replaced,  // path now names another file (device or inode differ)
    rewritten, // the first bytes seen at opening are no longer there
    unchecked, // the path or the file could not be looked at: nothing is known
};

// Not thread-safe: the log file calls it under its file lock.
class rotation_check {
public:
    // The most bytes from the start of the file that check compares.
    static constexpr std::size_t kHeadBytes = 256;
    // The most bytes before the last indexed line end that it compares.
    static constexpr std::size_t kMarkBytes = 64;

    // Remembers the first bytes of file (at most kHeadBytes of size).
    void take_head(const read_only_file& file, int64_t size);
    const std::string& head() const { return m_head; }
    // Remembers the bytes before end (the end of the last indexed line).
    void take_mark(const read_only_file& file, int64_t end);
    void clear();

    // Compares file with what was remembered.  path is the name it was opened
    // by, null when that name cannot be looked up (it would not convert);
    // noted_size the size the index has seen, indexed_end the end of the last
    // indexed line (the mark moves there when all else is unchanged).  While
    // path names nothing (a rotation between rename and re-create) the open
    // file is still followed.  compare_identity false: the caller compared
    // the identity itself (file is a copy of what path names).
    file_change check(const read_only_file& file, const std::string* path, int64_t noted_size, int64_t indexed_end,
                      bool compare_identity = true);

private:
    std::string m_head; // the first bytes of the file (at most kHeadBytes)
    // The bytes that ended the last indexed line when check (or the opening)
    // last looked, and where they ended: a file refilled past its old size
    // behind unchanged first bytes no longer has them there.
    std::string m_mark;
    int64_t m_mark_end = -1;
};
