// Line bytes for the window parse and the walk over every line (private to
// the log file engine).
#pragma once

#include "logfile/line_indexer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

// Reads line bytes through one buffer of at most 4 MB that holds the file
// range last read, so that consecutive lines cost one read.
class line_bytes_reader {
public:
    explicit line_bytes_reader(line_source& source) : m_source(source) {}

    bool holds(int64_t offset, std::size_t length) const
    {
        return m_offset >= 0 && offset >= m_offset && offset + static_cast<int64_t>(length) <= m_offset + m_size;
    }

    // The bytes of [offset, offset + length), read when the buffer does not
    // hold them: from offset up to wanted_end (at most 4 MB, at least the
    // line).  Null when they cannot be read.
    const char* bytes(int64_t offset, std::size_t length, int64_t wanted_end)
    {
        if (holds(offset, length))
            return m_buffer.get() + (offset - m_offset);
        const auto limit = static_cast<int64_t>(line_indexer::kReadBufferSize);
        const int64_t want = std::clamp<int64_t>(wanted_end - offset, static_cast<int64_t>(length), limit);
        const auto size = static_cast<std::size_t>(want);
        if (size > m_capacity) {
            m_buffer.reset(new char[size]);
            m_capacity = size;
        }
        ++m_reads;
        const int64_t got = m_source.read_bytes(offset, m_buffer.get(), size);
        if (got <= 0) {
            m_offset = -1;
            m_size = 0;
            return nullptr;
        }
        m_offset = offset;
        m_size = got;
        m_bytes += static_cast<uint64_t>(got);
        return got >= static_cast<int64_t>(length) ? m_buffer.get() : nullptr;
    }

    uint64_t reads() const { return m_reads; }
    uint64_t bytes_read() const { return m_bytes; }

private:
    line_source& m_source;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    int64_t m_offset = -1; // file position of the buffer's first byte; -1: holds nothing
    int64_t m_size = 0;
    uint64_t m_reads = 0;
    uint64_t m_bytes = 0;
};
