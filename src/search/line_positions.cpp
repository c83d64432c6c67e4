#include "search/line_positions.h"

#include <algorithm>

line_positions::line_positions(const line_index::lookups& index)
{
    uint64_t number = 0;
    for (const line_block& block : index.blocks()) {
        if (block.used == 0)
            continue;
        const uint64_t first = block.forward ? 0 : line_index::kLinesPerBlock - block.used;
        m_blocks.push_back({&block, number, first, block.base + block.slots[first].offset});
        number += block.used;
    }
    m_line_count = number;
}

indexed_line line_positions::at(const block_entry& entry, uint64_t slot) const
{
    const line_slot& s = entry.block->slots[slot];
    indexed_line out;
    out.number = entry.first_number + (slot - entry.first_slot);
    out.offset = entry.block->base + s.offset;
    out.length = s.length;
    return out;
}

std::size_t line_positions::block_of(uint64_t n) const
{
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), n,
                               [](uint64_t value, const block_entry& e) { return value < e.first_number; });
    return static_cast<std::size_t>(it - m_blocks.begin()) - 1;
}

bool line_positions::line(uint64_t n, indexed_line& out) const
{
    if (n >= m_line_count)
        return false;
    const block_entry& entry = m_blocks[block_of(n)];
    out = at(entry, entry.first_slot + (n - entry.first_number));
    return true;
}

int64_t line_positions::block_before(int64_t offset) const
{
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), offset,
                               [](int64_t value, const block_entry& e) { return value < e.first_offset; });
    return it == m_blocks.begin() ? -1 : static_cast<int64_t>(it - m_blocks.begin()) - 1;
}

bool line_positions::line_holding(int64_t position, indexed_line& out) const
{
    const int64_t k = block_before(position);
    if (k < 0)
        return false;
    const block_entry& entry = m_blocks[static_cast<std::size_t>(k)];
    const line_block& block = *entry.block;
    // The last used slot whose line starts at or before position.
    uint64_t low = entry.first_slot;
    uint64_t high = entry.first_slot + block.used; // exclusive
    while (high - low > 1) {
        const uint64_t mid = low + (high - low) / 2;
        if (block.base + block.slots[mid].offset <= position)
            low = mid;
        else
            high = mid;
    }
    const indexed_line found = at(entry, low);
    if (position >= found.offset + static_cast<int64_t>(found.length))
        return false;
    out = found;
    return true;
}

int64_t line_positions::number_at(int64_t offset) const
{
    indexed_line found;
    if (!line_holding(offset, found) || found.offset != offset)
        return -1;
    return static_cast<int64_t>(found.number);
}
