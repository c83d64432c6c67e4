#include "logfile/line_index_flat.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

uint64_t first_used(const flat_line_block& block)
{
    return block.forward ? 0 : flat_line_index::kLinesPerBlock - block.used;
}

bool fits_offset(int64_t offset, int64_t base)
{
    const int64_t delta = offset - base;
    return delta >= std::numeric_limits<int32_t>::min() && delta <= std::numeric_limits<int32_t>::max();
}

} // namespace

uint64_t flat_line_index::lookups::line_count() const
{
    return m_index.m_line_total;
}

int64_t flat_line_index::lookups::first_slot() const
{
    return m_index.m_blocks.empty() ? -1 : static_cast<int64_t>(m_index.m_first_slot);
}

uint64_t flat_line_index::lookups::block_count() const
{
    return m_index.m_blocks.size();
}

bool flat_line_index::lookups::block_forward(uint64_t k) const
{
    auto it = m_index.m_blocks.begin();
    std::advance(it, static_cast<long>(std::min<uint64_t>(k, m_index.m_blocks.size())));
    return it != m_index.m_blocks.end() && it->forward;
}

uint64_t flat_line_index::lookups::block_used(uint64_t k) const
{
    auto it = m_index.m_blocks.begin();
    std::advance(it, static_cast<long>(std::min<uint64_t>(k, m_index.m_blocks.size())));
    return it != m_index.m_blocks.end() ? it->used : 0;
}

bool flat_line_index::writer::add_line(int64_t offset, uint64_t length, bool at_end)
{
    return m_target.add_one(offset, length, at_end);
}

void flat_line_index::writer::clear()
{
    m_target.m_blocks.clear();
    m_target.m_first_slot = 0;
    m_target.m_line_total = 0;
}

bool flat_line_index::add_one(int64_t offset, uint64_t length, bool at_end)
{
    if (length == 0 || length > kMaxLength)
        return false;
    const auto stored = static_cast<uint16_t>(length);
    if (at_end) {
        if (m_blocks.empty() || m_blocks.back().lines[kLinesPerBlock - 1].length != 0
            || !fits_offset(offset, m_blocks.back().base)) {
            flat_line_block block;
            block.lines.resize(kLinesPerBlock);
            block.base = offset;
            block.forward = true;
            m_blocks.push_back(std::move(block));
        }
        flat_line_block& back = m_blocks.back();
        back.lines[back.used] = {static_cast<int32_t>(offset - back.base), stored};
        ++back.used;
    } else {
        if (m_blocks.empty() || m_blocks.front().lines[0].length != 0 || !fits_offset(offset, m_blocks.front().base)) {
            flat_line_block block;
            block.lines.resize(kLinesPerBlock);
            block.base = offset;
            block.forward = false;
            m_blocks.push_front(std::move(block));
        }
        flat_line_block& front = m_blocks.front();
        ++front.used;
        m_first_slot = kLinesPerBlock - front.used;
        front.lines[m_first_slot] = {static_cast<int32_t>(offset - front.base), stored};
    }
    ++m_line_total;
    return true;
}

bool flat_line_index::lookups::locate(uint64_t n, flat_line_cursor& cursor) const
{
    const uint64_t total = m_index.m_line_total;
    const std::list<flat_line_block>& blocks = m_index.m_blocks;
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

bool flat_line_index::lookups::advance(flat_line_cursor& cursor) const
{
    const flat_line_block& block = *cursor.block;
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

void flat_line_index::lookups::line_at(const flat_line_cursor& cursor, int64_t& offset, uint64_t& length) const
{
    const flat_line_slot& slot = cursor.block->lines[cursor.slot];
    offset = cursor.block->base + slot.offset;
    length = slot.length;
}

bool flat_line_index::lookups::line(uint64_t n, int64_t& offset, uint64_t& length) const
{
    flat_line_cursor cursor;
    if (!locate(n, cursor))
        return false;
    line_at(cursor, offset, length);
    return true;
}

int64_t flat_line_index::lookups::last_line_end() const
{
    const std::list<flat_line_block>& blocks = m_index.m_blocks;
    if (blocks.empty())
        return -1;
    const flat_line_block& back = blocks.back();
    const flat_line_slot& slot = back.forward ? back.lines[back.used - 1] : back.lines[kLinesPerBlock - 1];
    return back.base + slot.offset + slot.length;
}

int64_t flat_line_index::lookups::first_line_start() const
{
    const std::list<flat_line_block>& blocks = m_index.m_blocks;
    if (blocks.empty())
        return -1;
    const flat_line_block& front = blocks.front();
    return front.base + front.lines[first_used(front)].offset;
}

uint64_t flat_line_index::lookups::memory_bytes() const
{
    return m_index.m_blocks.size()
           * (kLinesPerBlock * sizeof(flat_line_slot) + sizeof(flat_line_block) + 2 * sizeof(void*));
}
