// Line numbers and file positions of an index, looked up both ways: the line
// of a given number, and the line that holds a given byte of the file.
//
// Thread-safety: built from a view of the index and valid only while that
// view lives and the index does not change.
#pragma once

#include "logfile/line_index.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct indexed_line {
    uint64_t number = 0;
    int64_t offset = -1;
    uint32_t length = 0;
};

class line_positions {
public:
    explicit line_positions(const line_index::lookups& index);

    uint64_t line_count() const { return m_line_count; }
    // Line n; false when n is not indexed.
    bool line(uint64_t n, indexed_line& out) const;
    // The indexed line whose bytes [offset, offset + length) hold position;
    // false when position lies in no indexed line (a line end, an over-long
    // line, text after the last line end).
    bool line_holding(int64_t position, indexed_line& out) const;
    // The number of the line that starts at offset; -1 when none does.
    int64_t number_at(int64_t offset) const;
    // Calls visit for lines first to last (both indexed, first <= last) in
    // order, or from last back to first; stops when visit returns false.
    // Returns false when stopped.
    template <class F> bool for_each(uint64_t first, uint64_t last, bool backwards, F visit) const;

private:
    struct block_entry {
        const line_block* block;
        uint64_t first_number; // line number of the block's first used slot
        uint64_t first_slot;   // its first used slot
        int64_t first_offset;  // file offset of that line
    };
    std::size_t block_of(uint64_t n) const;
    // The entry of the last block whose first line starts at or before offset; -1 when none.
    int64_t block_before(int64_t offset) const;
    indexed_line at(const block_entry& entry, uint64_t slot) const;

    std::vector<block_entry> m_blocks;
    uint64_t m_line_count = 0;
};

template <class F> bool line_positions::for_each(uint64_t first, uint64_t last, bool backwards, F visit) const
{
    if (first > last || last >= m_line_count)
        return true;
    if (!backwards) {
        for (std::size_t k = block_of(first); k < m_blocks.size(); ++k) {
            const block_entry& entry = m_blocks[k];
            const uint64_t from = std::max(first, entry.first_number);
            const uint64_t to = std::min(last, entry.first_number + entry.block->used - 1);
            for (uint64_t n = from; n <= to; ++n)
                if (!visit(at(entry, entry.first_slot + (n - entry.first_number))))
                    return false;
            if (to == last)
                return true;
        }
        return true;
    }
    for (std::size_t k = block_of(last) + 1; k-- > 0;) {
        const block_entry& entry = m_blocks[k];
        const uint64_t from = std::max(first, entry.first_number);
        const uint64_t to = std::min(last, entry.first_number + entry.block->used - 1);
        for (uint64_t n = to + 1; n-- > from;)
            if (!visit(at(entry, entry.first_slot + (n - entry.first_number))))
                return false;
        if (from == first)
            return true;
    }
    return true;
}
