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

uint64_t line_index::line_count()
{
    life_read_write_lock hold(m_lock, true);
    return line_count_locked();
}

int64_t line_index::first_slot()
{
    life_read_write_lock hold(m_lock, true);
    return first_slot_locked();
}

void line_index::add_line(int64_t offset, uint16_t length, bool at_end)
{
    life_read_write_lock hold(m_lock, false);
    add_one_locked(offset, length, at_end);
}

void line_index::clear()
{
    life_read_write_lock hold(m_lock, false);
    clear_locked();
}

uint64_t line_index::line_count_locked() const
{
    return m_line_total;
}

int64_t line_index::first_slot_locked() const
{
    return m_blocks.empty() ? -1 : static_cast<int64_t>(m_first_slot);
}

void line_index::add_lines_locked(const line_span* spans, std::size_t count, bool at_end)
{
    for (std::size_t i = 0; i < count; ++i)
        add_one_locked(spans[i].offset, spans[i].length, at_end);
}

bool line_index::add_one_locked(int64_t offset, uint16_t length, bool at_end)
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

void line_index::clear_locked()
{
    m_blocks.clear();
    m_block_count = 0;
    m_first_slot = 0;
    m_line_total = 0;
}

bool line_index::locate_locked(uint64_t n, line_cursor& cursor) const
{
    if (n >= m_line_total)
        return false;
    if (n < m_line_total / 2) {
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            if (n < it->used) {
                cursor.block = it;
                cursor.slot = first_used(*it) + n;
                return true;
            }
            n -= it->used;
        }
        return false;
    }
    uint64_t from_end = m_line_total - n; // 1 for the last line
    for (auto it = m_blocks.end(); it != m_blocks.begin();) {
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

bool line_index::advance_locked(line_cursor& cursor) const
{
    const line_block& block = *cursor.block;
    if (cursor.slot + 1 < first_used(block) + block.used) {
        ++cursor.slot;
        return true;
    }
    auto next = std::next(cursor.block);
    if (next == m_blocks.end() || next->used == 0)
        return false;
    cursor.block = next;
    cursor.slot = first_used(*next);
    return true;
}

void line_index::line_at_locked(const line_cursor& cursor, int64_t& offset, uint32_t& length) const
{
    const line_slot& slot = cursor.block->slots[cursor.slot];
    offset = cursor.block->base + slot.offset;
    length = slot.length;
}

int64_t line_index::last_line_end_locked() const
{
    if (m_blocks.empty())
        return -1;
    const line_block& back = m_blocks.back();
    const line_slot& slot = back.forward ? back.slots[back.used - 1] : back.slots[m_lines_per_block - 1];
    return back.base + slot.offset + slot.length;
}

int64_t line_index::first_line_start_locked() const
{
    if (m_blocks.empty())
        return -1;
    const line_block& front = m_blocks.front();
    return front.base + front.slots[first_used(front)].offset;
}
