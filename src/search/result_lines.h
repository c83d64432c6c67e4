// The line numbers of a whole-file result, in file order: one writer appends
// while any number of readers read what was published so far.  Numbers are
// kept in fixed chunks, so a million of them cost 8 MB and appending never
// moves what was written.
//
// Thread-safety: append and clear belong to one writer; size, at, read and
// lower_bound may be called from any thread at any time and see a prefix of
// the numbers appended (never a number half written).  Readers read under
// the chunk lock, so a clear never frees a chunk a reader is in.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class result_lines {
public:
    static constexpr std::size_t kChunkSize = 16384; // numbers per chunk

    result_lines() = default;
    result_lines(const result_lines&) = delete;
    result_lines& operator=(const result_lines&) = delete;

    // The numbers published so far.
    uint64_t size() const { return m_count.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }
    // Number k (k < size()); 0 past the end.
    uint64_t at(uint64_t k) const;
    // Up to count numbers from k into out (replaced); returns how many.
    std::size_t read(uint64_t k, std::size_t count, std::vector<uint64_t>& out) const;
    // All of them, for tests and exports.
    std::vector<uint64_t> copy() const;
    // The position of the first number >= line (size() when none is).
    uint64_t lower_bound(uint64_t line) const;
    // The last number published; false when there is none.
    bool back(uint64_t& line) const;

    // Appends line (not smaller than the last one) and publishes it.
    void append(uint64_t line);
    // Forgets every number.
    void clear();

    // Bytes held by the chunks.
    std::size_t memory_bytes() const;

private:
    mutable std::mutex m_lock; // guards the chunk table, not the numbers in it
    std::vector<std::unique_ptr<uint64_t[]>> m_chunks;
    std::atomic<uint64_t> m_count{0};
};
