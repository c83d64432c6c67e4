#include "logfile/line_index.h"

#include <limits>

namespace {

// First used slot of a block: forward blocks fill from 0, backward blocks
// from the last slot down.
uint64_t first_used(const line_block& block)
{
    return block.forward ? 0 : line_index::kLinesPerBlock - block.used;
}

bool fits_offset(int64_t offset, int64_t base)
{
    const int64_t delta = offset - base;
    return delta >= std::numeric_limits<int32_t>::min() && delta <= std::numeric_limits<int32_t>::max();
}

} // namespace

uint64_t line_index::lookups::line_count() const
{
    return m_index.m_line_total;
}

int64_t line_index::lookups::first_slot() const
{
    return m_index.m_blocks.empty() ? -1 : static_cast<int64_t>(m_index.m_first_slot);
}

uint64_t line_index::lookups::block_count() const
{
    return m_index.m_block_count;
}

const std::list<line_block>& line_index::lookups::blocks() const
{
    return m_index.m_blocks;
}

void line_index::writer::add_lines(const line_span* spans, std::size_t count, bool at_end)
{
    for (std::size_t i = 0; i < count; ++i)
        m_target.add_one(spans[i].offset, spans[i].length, at_end);
}

void line_index::writer::add_line(int64_t offset, uint16_t length, bool at_end)
{
    m_target.add_one(offset, length, at_end);
}

void line_index::writer::clear()
{
    m_target.m_blocks.clear();
    m_target.m_block_count = 0;
    m_target.m_first_slot = 0;
    m_target.m_line_total = 0;
}

bool line_index::add_one(int64_t offset, uint16_t length, bool at_end)
{
    if (length == 0)
        return false; // a zero length would read as an unused slot
    if (at_end) {
        // A block whose last slot is used is full (backward blocks always
        // use it).  A line too far from the base for a 32-bit offset closes
        // the block early rather than storing a wrong position.
        if (m_blocks.empty() || m_blocks.back().slots[m_lines_per_block - 1].length != 0
            || !fits_offset(offset, m_blocks.back().base)) {
            line_block block;
            block.slots.resize(m_lines_per_block);
            block.base = offset;
            block.forward = true;
            m_blocks.push_back(std::move(block));
            ++m_block_count;
        }
        line_block& back = m_blocks.back();
        back.slots[back.used] = {static_cast<int32_t>(offset - back.base), length};
        ++back.used;
    } else {
        if (m_blocks.empty() || m_blocks.front().slots[0].length != 0 || !fits_offset(offset, m_blocks.front().base)) {
            line_block block;
            block.slots.resize(m_lines_per_block);
            block.base = offset;
            block.forward = false;
            m_blocks.push_front(std::move(block));
            ++m_block_count;
        }
        line_block& front = m_blocks.front();
        ++front.used;
        m_first_slot = m_lines_per_block - front.used;
        front.slots[m_first_slot] = {static_cast<int32_t>(offset - front.base), length};
    }
    ++m_line_total;
    return true;
}

bool line_index::lookups::locate(uint64_t n, line_cursor& cursor) const
{
    const uint64_t total = m_index.m_line_total;
    const std::list<line_block>& blocks = m_index.m_blocks;
    if (n >= total)
        return false;
    if (n < total / 2) {
        for (auto it = blocks.begin(); it != blocks.end(); ++it) {
            if (n < it->used) {
                cursor.block = it;
                cursor.slot = first_used(*it) + n;
                return true;
            }
            n -= it->used;
        }
        return false;
    }
    uint64_t from_end = total - n; // 1 for the last line
    for (auto it = blocks.end(); it != blocks.begin();) {
        --it;
        if (from_end <= it->used) {
            cursor.block = it;
            cursor.slot = first_used(*it) + it->used - from_end;
            return true;
        }
        from_end -= it->used;
    }
    return false;
}

bool line_index::lookups::advance(line_cursor& cursor) const
{
    const line_block& block = *cursor.block;
    if (cursor.slot + 1 < first_used(block) + block.used) {
        ++cursor.slot;
        return true;
    }
    auto next = std::next(cursor.block);
    if (next == m_index.m_blocks.end() || next->used == 0)
        return false;
    cursor.block = next;
    cursor.slot = first_used(*next);
    return true;
}

void line_index::lookups::line_at(const line_cursor& cursor, int64_t& offset, uint32_t& length) const
{
    const line_slot& slot = cursor.block->slots[cursor.slot];
    offset = cursor.block->base + slot.offset;
    length = slot.length;
}

int64_t line_index::lookups::last_line_end() const
{
    const std::list<line_block>& blocks = m_index.m_blocks;
    if (blocks.empty())
        return -1;
    const line_block& back = blocks.back();
    const line_slot& slot = back.forward ? back.slots[back.used - 1] : back.slots[kLinesPerBlock - 1];
    return back.base + slot.offset + slot.length;
}

int64_t line_index::lookups::first_line_start() const
{
    const std::list<line_block>& blocks = m_index.m_blocks;
    if (blocks.empty())
        return -1;
    const line_block& front = blocks.front();
    return front.base + front.slots[first_used(front)].offset;
}
