// The plain line index of one 8-byte slot a line: a 32-bit offset from its
// block's 64-bit base and a 16-bit length, in blocks of 10000 slots linked
// in file order.  The log file keeps the compact index (line_index.h); this
// one is the reference that the compact index is checked against and
// measured beside, with the same views and answers.  It cannot hold a line
// of more than 65535 bytes (add_line refuses it), and a line too far from
// its block's base for 32 bits closes the block early.
#pragma once

#include "logfile/primitives.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

struct flat_line_slot {
    int32_t offset = 0;  // first byte relative to the block's base (negative in backward blocks)
    uint16_t length = 0; // byte length without the line end; 0 marks an unused slot
};
static_assert(sizeof(flat_line_slot) == 8, "a slot is 8 bytes");

struct flat_line_block {
    std::vector<flat_line_slot> lines; // exactly lines-per-block, zeroed at creation
    uint64_t used = 0;
    int64_t base = 0;    // file offset of the line that created the block
    bool forward = true; // filled from slot 0 upwards (appended) or from the last slot down (prepended)
};

struct flat_line_cursor {
    std::list<flat_line_block>::const_iterator block;
    uint64_t slot = 0;
};

// Thread-safety: as line_index, through a reader or a writer view.
class flat_line_index {
public:
    static constexpr uint64_t kLinesPerBlock = 10000;
    static constexpr uint64_t kMaxLength = 65535;

    class lookups {
    public:
        uint64_t line_count() const;
        int64_t first_slot() const;
        uint64_t block_count() const;
        // Whether block k was made by appending, and its lines.
        bool block_forward(uint64_t k) const;
        uint64_t block_used(uint64_t k) const;
        bool locate(uint64_t n, flat_line_cursor& cursor) const;
        bool advance(flat_line_cursor& cursor) const;
        void line_at(const flat_line_cursor& cursor, int64_t& offset, uint64_t& length) const;
        // Line n by a walk from the nearer end of the block list.
        bool line(uint64_t n, int64_t& offset, uint64_t& length) const;
        int64_t last_line_end() const;
        int64_t first_line_start() const;
        // Bytes held: the slots, the block records and the list links.
        uint64_t memory_bytes() const;

    protected:
        explicit lookups(const flat_line_index& index) : m_index(index) {}
        ~lookups() = default;
        lookups(const lookups&) = delete;
        lookups& operator=(const lookups&) = delete;

        const flat_line_index& m_index;
    };

    class reader : public lookups {
    public:
        explicit reader(const flat_line_index& index) : lookups(index), m_hold(index.m_lock, true) {}

    private:
        life_read_write_lock m_hold;
    };

    class writer : public lookups {
    public:
        explicit writer(flat_line_index& index) : lookups(index), m_target(index), m_hold(index.m_lock, false) {}
        // A zero length, or one of more than kMaxLength, is not stored.
        bool add_line(int64_t offset, uint64_t length, bool at_end);
        void clear();

    private:
        flat_line_index& m_target;
        life_read_write_lock m_hold;
    };

    flat_line_index() = default;
    flat_line_index(const flat_line_index&) = delete;
    flat_line_index& operator=(const flat_line_index&) = delete;

    reader read() const { return reader(*this); }
    writer write() { return writer(*this); }

private:
    bool add_one(int64_t offset, uint64_t length, bool at_end);

    std::list<flat_line_block> m_blocks;
    uint64_t m_first_slot = 0;
    uint64_t m_line_total = 0;
    mutable read_wirte_lock m_lock;
};
