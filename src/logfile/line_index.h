// The index of a log file's lines: where each line's bytes start and how many
// there are.  Lines are kept in blocks of 10000 in file order.  A block holds
// one 64-bit base offset and, for each line, a variable-length code of its
// length and of the bytes between it and its neighbour (one byte for a line
// shorter than 192 bytes followed by the block's usual line end), with a
// table that holds, for every 56th line, how far it lies from the base and
// the first 56 code bytes of its group of 56 lines, 64 bytes an entry on a
// cache line of its own.  Any line is so found in constant time and a scan
// of at most 55 codes; in a group of one-byte codes (the usual case) that is
// one read of the group's entry and a masked sum.  A lookup by number goes
// from a small array of every block's place and usual gap straight to the
// entry, without touching the block itself.
// The index grows at the back (appending) and at the front (prepending)
// without moving what is there; every block but the front and the back one
// is full, whatever the distances.
//
//   block (forward):   base ─► line 0 │ line 1 │ ... │ line used-1
//   groups:            [distance of line 0 | len0 len1 ... len55]
//                      [distance of line 56 | len56 ... len111] ...
//   codes:             the bytes of a group past its first 56 (long codes)
//
// A backward block (made by prepending) keeps its codes from its last line
// (the one that made it, at base) towards its first.
#pragma once

#include "logfile/primitives.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// One line found by a scan, before it enters the index.
struct line_span {
    int64_t offset;
    uint64_t length;
};

// One block of the index.  Used by the index and its views only.
class line_block {
public:
    static constexpr uint32_t kLines = 10000;
    static constexpr uint32_t kGroupLines = 56;

    // One entry of the group table: the group's first 56 code bytes (all of
    // its codes when each is one byte, the usual case) beside its first
    // line's distance, so that a lookup reads one cache line and nothing
    // else.  The bytes of a group past the first 56 lie in the block's codes
    // from rest on.
    struct alignas(64) group_entry {
        uint32_t rest;     // where the group's bytes past the first 56 start, | kMixedGroup
        uint32_t distance; // of the group's first code, while every distance fits 32 bits
        uint8_t codes[kGroupLines];
    };
    // Set in rest once a code of the group is longer than one byte, and in
    // every group of a block whose distances do not all fit 32 bits.
    static constexpr uint32_t kMixedGroup = 0x80000000u;
    static constexpr uint32_t kGroups = (kLines + kGroupLines - 1) / kGroupLines;

    // gap_hint: the usual bytes between two lines, -1 when not known yet.
    // table: room for kGroups entries, owned by the caller (see
    // group_table_store), which keeps it in place for the block's life.
    line_block(int64_t base, bool forward, int64_t gap_hint, group_entry* table);

    // Adds a line after the last one (forward) or before the first (backward).
    void add(int64_t offset, uint64_t length);
    // Adds the first of spans (in the order add takes them: ascending for a
    // forward block, descending for a backward one) as long as each is one
    // byte's code (shorter than 192 bytes and at most shortest_long, after
    // the usual gap) and no group starts: returns how many were added.
    uint32_t add_short_run(const line_span* spans, std::size_t count, uint64_t shortest_long);
    uint32_t used() const { return m_used; }
    bool full() const { return m_used == kLines; }
    bool forward() const { return m_forward; }
    int64_t usual_gap() const { return m_gap_known ? m_gap : -1; }

    // Line i of the block in file order (i < used).
    void line(uint32_t i, int64_t& offset, uint64_t& length) const;
    // The distance from base of code k's line (forward: start - base;
    // backward: base - start) and its length, for a code of a mixed group.
    [[gnu::noinline]] void mixed_code_at(uint32_t k, int64_t& distance, uint64_t& length) const;
    const group_entry* groups() const { return m_groups; }
    int64_t base() const { return m_base; }
    int64_t gap() const { return m_gap; }
    // The lines of the group that holds line i, in file order: returns the
    // place of the first one and fills count lines into offsets and lengths
    // (room for kGroupLines).
    uint32_t group_lines(uint32_t i, int64_t* offsets, uint64_t* lengths, uint32_t& count) const;
    int64_t first_start() const;
    int64_t last_end() const;
    // The place of the last line that starts at or before position; -1 when
    // position lies before the block's first line.
    int64_t last_line_from(int64_t position) const;
    // Returns spare capacity once the block is full.
    void compact();
    // Bytes held, the group table left out.
    uint64_t memory_bytes() const;

private:
    // The distance and length of code k, as mixed_code_at for any group.
    void code_at(uint32_t k, int64_t& distance, uint64_t& length) const;
    // Decodes the codes of group g: distances and lengths in code order.
    uint32_t decode_group(uint32_t g, int64_t* distances, uint64_t* lengths) const;
    int64_t group_distance(uint32_t g) const;
    // Adds a code's bytes to the last group.
    void put_group_bytes(const uint8_t* bytes, std::size_t size);
    uint32_t code_of(uint32_t i) const { return m_forward ? i : m_used - 1 - i; }
    int64_t start_of(int64_t distance) const { return m_forward ? m_base + distance : m_base - distance; }

    group_entry* m_groups; // kGroups entries, m_group_count of them used
    std::vector<uint8_t> m_codes;         // the bytes of groups past their first 32
    std::vector<int64_t> m_wide_distance; // the distances once one does not fit 32 bits
    int64_t m_base;
    int64_t m_gap = 0;
    int64_t m_last_distance = 0; // of the last code
    uint64_t m_last_length = 0;
    uint32_t m_group_bytes = 0; // code bytes of the last group
    uint32_t m_used = 0;
    uint32_t m_group_count = 0;
    bool m_forward;
    bool m_gap_known = false;
};

// The group tables of an index's blocks, laid out one after another in large
// pieces: a lookup at random lines then finds most of them on a few huge
// pages (where the system offers them), and no table ever moves.  Pieces
// start small, so that a small file's index stays small.
class group_table_store {
public:
    group_table_store() = default;
    ~group_table_store();
    group_table_store(const group_table_store&) = delete;
    group_table_store& operator=(const group_table_store&) = delete;

    // Room for one block's table (line_block::kGroups entries).
    line_block::group_entry* take();
    // Gives back every table.
    void clear();
    uint64_t memory_bytes() const;

private:
    struct piece {
        line_block::group_entry* entries;
        std::size_t tables; // room for so many
        bool huge;          // on a 2 MiB boundary, for the system's huge pages
    };
    std::vector<piece> m_pieces;
    std::size_t m_taken = 0; // tables taken from the last piece
};

// Where a line lies in the index, with the lines of its group decoded so that
// walking on costs nothing.  Valid while the view that located it lives.
struct line_cursor {
    std::size_t block = 0;
    uint32_t line = 0;  // the line's place in its block, in file order
    uint32_t first = 0; // the place of held line 0
    uint32_t count = 0; // lines held
    int64_t offsets[line_block::kGroupLines] = {};
    uint64_t lengths[line_block::kGroupLines] = {};
};

// What one block looks like from outside, for tests and diagnostics.
struct line_block_shape {
    bool forward = true;
    uint64_t used = 0;
    bool operator==(const line_block_shape&) const = default;
};

// Thread-safety: the index's state is reachable only through a view that
// holds its lock for the view's whole life: a reader (shared; lookups) or a
// writer (exclusive; lookups and changes).  The self-locking operations below
// take a view for the one call.  The lock is not re-entrant for writers: a
// thread that holds a writer must not open another view.
class line_index {
    struct block_place;

public:
    static constexpr uint64_t kLinesPerBlock = line_block::kLines;

    // The lookups that both views offer.
    class lookups {
    public:
        uint64_t line_count() const;
        // The first used slot of the front block (the lines that block could
        // still take at its front), or -1 without blocks.
        int64_t first_slot() const;
        uint64_t block_count() const;
        line_block_shape block_shape(uint64_t k) const;
        // Positions cursor on line n; false when n is not an indexed line.
        bool locate(uint64_t n, line_cursor& cursor) const;
        // Moves to the next line; false at the end of the index.
        bool advance(line_cursor& cursor) const;
        // The line's first byte and its byte length in the file, line end not
        // counted (a long line's whole length: see cut_length).
        void line_at(const line_cursor& cursor, int64_t& offset, uint64_t& length) const;
        // The same for callers that hold lengths in 32 bits: a line of 4 GiB
        // or more reads as 4 GiB - 1 bytes.
        void line_at(const line_cursor& cursor, int64_t& offset, uint32_t& length) const;
        // Line n without a cursor; false when n is not indexed.
        bool line(uint64_t n, int64_t& offset, uint64_t& length) const;
        // The last line that starts at or before position: its number, first
        // byte and length; false when position lies before the first line.
        bool line_from(int64_t position, uint64_t& number, int64_t& offset, uint64_t& length) const;
        // The file position just after the last indexed line (its line end),
        // or -1 without lines; the first byte of the first indexed line, or -1.
        int64_t last_line_end() const;
        int64_t first_line_start() const;

        // The most bytes of a line that its text holds (see
        // writer::set_line_limit; 0: no limit), the bytes of a line of length
        // bytes that are read for it, and the number of indexed lines longer
        // than the limit.
        uint64_t line_limit() const;
        uint64_t cut_length(uint64_t length) const;
        uint64_t long_line_count() const;

        // Bytes the index holds, blocks and tables included.
        uint64_t memory_bytes() const;

    protected:
        explicit lookups(const line_index& index) : m_index(index) {}
        ~lookups() = default;
        lookups(const lookups&) = delete;
        lookups& operator=(const lookups&) = delete;

        const line_index& m_index;

    private:
        void hold_group(const line_block& block, line_cursor& cursor) const;
        // line() for a code of a mixed group, apart so that the usual way
        // needs no frame.
        [[gnu::noinline]] static bool mixed_line(const block_place& block, uint32_t k, int64_t& offset,
                                                 uint64_t& length);
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
        // order).  A zero length is never stored.  Lines must not overlap:
        // each span at the end starts at or after the end of the last line,
        // each at the front ends at or before the start of the first.
        void add_lines(const line_span* spans, std::size_t count, bool at_end);
        void add_line(int64_t offset, uint64_t length, bool at_end);
        // Removes every block; the first slot becomes 0.  The line limit stays.
        void clear();
        // The most bytes of a line that are read for it (the file's longest
        // text in its encoding); longer lines are counted as long lines.
        // Set while the index is empty; 0 means no limit.
        void set_line_limit(uint64_t bytes);

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
    void add_line(int64_t offset, uint64_t length, bool at_end) { write().add_line(offset, length, at_end); }
    void clear() { write().clear(); }

private:
    // What a lookup by number needs of a block, in one small array beside
    // the blocks: their group tables, bases and usual gaps.
    struct block_place {
        const line_block::group_entry* groups;
        const line_block* block;
        int64_t base;
        int64_t gap;
        bool forward;
    };

    bool add_one(int64_t offset, uint64_t length, bool at_end);
    static block_place place_of(const line_block& block);
    // Block and place of line n, which must be indexed.
    void find(uint64_t n, std::size_t& block, uint32_t& place) const;

    group_table_store m_tables; // before the blocks: they point into it
    std::deque<line_block> m_blocks;
    // The blocks in order again, for a lookup by number without the
    // deque's arithmetic and without a read of the block (a deque keeps its
    // elements in place at both ends).
    std::vector<block_place> m_block_at;
    uint64_t m_first_slot = 0;
    uint64_t m_line_total = 0;
    uint64_t m_line_limit = 0;
    uint64_t m_long_lines = 0;
    mutable read_wirte_lock m_lock;
};
