// The index of a log file's lines: where each line's bytes start and how many
// there are, in blocks of 10000 eight-byte slots linked in file order.  The
// index grows at the back (appending) and at the front (prepending) without
// moving what is there.
#pragma once

#include "logfile/primitives.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

struct line_slot {
    int32_t offset = 0;  // first byte relative to the block's base (negative in backward blocks)
    uint16_t length = 0; // byte length without the line end; 0 marks an unused slot
};
static_assert(sizeof(line_slot) == 8, "a slot is 8 bytes");

// Qt's "slots" keyword macro must not rename the member below when a Qt
// header was included first.
#pragma push_macro("slots")
#undef slots
struct line_block {
    std::vector<line_slot> slots; // exactly lines-per-block, zeroed at creation
    uint64_t used = 0;
    int64_t base = 0;    // file offset of the line that created the block
    bool forward = true; // filled from slot 0 upwards (appended) or from the last slot down (prepended)
};
#pragma pop_macro("slots")

// One line found by a scan, before it enters the index.
struct line_span {
    int64_t offset;
    uint16_t length;
};

// Where a line lies in the index.  Valid while the caller holds the lock.
struct line_cursor {
    std::list<line_block>::const_iterator block;
    uint64_t slot = 0;
};

// Thread-safety: the public operations without "_locked" take the index's
// lock themselves; the "_locked" ones expect the caller to hold it (shared
// is enough for the const ones).
class line_index {
public:
    static constexpr uint64_t kLinesPerBlock = 10000;

    line_index() = default;
    line_index(const line_index&) = delete;
    line_index& operator=(const line_index&) = delete;

    read_wirte_lock& lock() { return m_lock; }

    uint64_t line_count();
    // The first used slot of the front block, or -1 without blocks.
    int64_t first_slot();
    void add_line(int64_t offset, uint16_t length, bool at_end);
    void clear();

    uint64_t line_count_locked() const;
    int64_t first_slot_locked() const;
    uint64_t block_count_locked() const { return m_block_count; }
    const std::list<line_block>& blocks_locked() const { return m_blocks; }
    // Adds spans in the order given: at the end each after the last, at the
    // front each before the first (so they come in descending file order).
    void add_lines_locked(const line_span* spans, std::size_t count, bool at_end);
    void clear_locked();

    // Positions cursor on line n; false when n is not an indexed line.
    bool locate_locked(uint64_t n, line_cursor& cursor) const;
    // Moves to the next line; false at the end of the index.
    bool advance_locked(line_cursor& cursor) const;
    void line_at_locked(const line_cursor& cursor, int64_t& offset, uint32_t& length) const;
    // The file position just after the last indexed line (its line end), or
    // -1 without lines; the first byte of the first indexed line, or -1.
    int64_t last_line_end_locked() const;
    int64_t first_line_start_locked() const;

private:
    bool add_one_locked(int64_t offset, uint16_t length, bool at_end);

    std::list<line_block> m_blocks;
    uint64_t m_block_count = 0;
    uint64_t m_lines_per_block = kLinesPerBlock;
    uint64_t m_first_slot = 0;
    read_wirte_lock m_lock;
    // Kept beside the blocks so that counting and locating stay right when a
    // block had to be closed early (see add_one_locked).
    uint64_t m_line_total = 0;
};
