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

// Where a line lies in the index.  Valid while the view that located it lives.
struct line_cursor {
    std::list<line_block>::const_iterator block;
    uint64_t slot = 0;
};

// Thread-safety: the index's state is reachable only through a view that
// holds its lock for the view's whole life: a reader (shared; lookups) or a
// writer (exclusive; lookups and changes).  The self-locking operations below
// take a view for the one call.  The lock is not re-entrant for writers: a
// thread that holds a writer must not open another view.
class line_index {
public:
    static constexpr uint64_t kLinesPerBlock = 10000;

    // The lookups that both views offer.
    class lookups {
    public:
        uint64_t line_count() const;
        // The first used slot of the front block, or -1 without blocks.
        int64_t first_slot() const;
        uint64_t block_count() const;
        const std::list<line_block>& blocks() const;
        // Positions cursor on line n; false when n is not an indexed line.
        bool locate(uint64_t n, line_cursor& cursor) const;
        // Moves to the next line; false at the end of the index.
        bool advance(line_cursor& cursor) const;
        void line_at(const line_cursor& cursor, int64_t& offset, uint32_t& length) const;
        // The file position just after the last indexed line (its line end),
        // or -1 without lines; the first byte of the first indexed line, or -1.
        int64_t last_line_end() const;
        int64_t first_line_start() const;

    protected:
        explicit lookups(const line_index& index) : m_index(index) {}
        ~lookups() = default;
        lookups(const lookups&) = delete;
        lookups& operator=(const lookups&) = delete;

        const line_index& m_index;
    };

    // Shared access from construction to destruction.
    class reader : public lookups {
    public:
        explicit reader(const line_index& index) : lookups(index), m_hold(index.m_lock, true) {}

    private:
        life_read_write_lock m_hold;
    };

    // Exclusive access from construction to destruction.
    class writer : public lookups {
    public:
        explicit writer(line_index& index) : lookups(index), m_target(index), m_hold(index.m_lock, false) {}

        // Adds spans in the order given: at the end each after the last, at
        // the front each before the first (so they come in descending file
        // order).  A zero length is never stored.
        void add_lines(const line_span* spans, std::size_t count, bool at_end);
        void add_line(int64_t offset, uint16_t length, bool at_end);
        // Removes every block; the first slot becomes 0.
        void clear();

    private:
        line_index& m_target;
        life_read_write_lock m_hold;
    };

    line_index() = default;
    line_index(const line_index&) = delete;
    line_index& operator=(const line_index&) = delete;

    reader read() const { return reader(*this); }
    writer write() { return writer(*this); }

    // Each of these takes a view for the one call.
    uint64_t line_count() const { return read().line_count(); }
    int64_t first_slot() const { return read().first_slot(); }
    void add_line(int64_t offset, uint16_t length, bool at_end) { write().add_line(offset, length, at_end); }
    void clear() { write().clear(); }

private:
    bool add_one(int64_t offset, uint16_t length, bool at_end);

    std::list<line_block> m_blocks;
    uint64_t m_block_count = 0;
    uint64_t m_lines_per_block = kLinesPerBlock;
    uint64_t m_first_slot = 0;
    mutable read_wirte_lock m_lock;
    // Kept beside the blocks so that counting and locating stay right when a
    // block had to be closed early (see add_one).
    uint64_t m_line_total = 0;
};
