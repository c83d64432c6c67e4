// One line of a log file split into columns: what a parser makes of a line's
// text, kept while the line is in a file's parsed window.
//
// A line holds its characters and one record per column (where the column's
// characters lie in the text, and its typed value, parsed once when the line
// is split) in one piece of storage.  A window line made by log_line::create
// is a single block, on the heap or cut from a slab: the line, its column
// records and its text.
#pragma once

#include "format/data_format.h"
#include "parser/line_slab.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <string_view>

// The most characters a line holds: a longer text is cut to it (a window
// line never holds more), so that a column's place fits 16 bits.
inline constexpr std::size_t kMaxLineText = 65535;

// One column of a line: its characters are text()[offset, offset + length)
// of the line that holds it.  14 bytes: the typed value is kept unaligned,
// and its validity rides on the milliseconds (a valid value's milliseconds
// are those a parse gives, 0 to 999; -32768 marks an invalid value).
struct log_column {
    uint16_t offset = 0; // characters from the first one of the line's text
    uint16_t length = 0; // characters

    // The typed value, as in tagDATA_VALUE; an invalid value reads with
    // milliseconds 0.
    tagDATA_VALUE value() const
    {
        tagDATA_VALUE v;
        std::memcpy(&v.payload, m_payload, sizeof v.payload);
        v.valid = m_milliseconds != kInvalid;
        v.milliseconds = v.valid ? m_milliseconds : int16_t{0};
        return v;
    }
    // Whether the typed value is valid, without reading it whole.
    bool valid() const { return m_milliseconds != kInvalid; }
    void set_value(const tagDATA_VALUE& v)
    {
        std::memcpy(m_payload, &v.payload, sizeof v.payload);
        m_milliseconds = v.valid ? (v.milliseconds == kInvalid ? int16_t{kInvalid + 1} : v.milliseconds) : kInvalid;
    }

private:
    static constexpr int16_t kInvalid = INT16_MIN;
    unsigned char m_payload[8] = {};
    int16_t m_milliseconds = kInvalid;
};
static_assert(sizeof(log_column) == 14, "a column record is 14 bytes");

class log_line {
public:
    int64_t offset = -1; // file offset of the line's first byte
    // The line's byte length in the file when text holds only its first
    // part (a line longer than the most a line's text holds); 0 when text is
    // the whole line.
    uint64_t cut_length = 0;

    log_line() = default;
    ~log_line();
    // Copies are deep and have storage of their own.
    log_line(const log_line& other);
    log_line& operator=(const log_line& other);

    // A new line in one block with text (cut to kMaxLineText) and room for
    // columns column records: cut from arena's slabs when one is given and
    // the line fits, else a heap block.  Deleted with delete.  Throws
    // bad_alloc.
    static log_line* create(std::u16string_view text, std::size_t columns, line_arena* arena = nullptr);
    static void* operator new(std::size_t size) { return ::operator new(size); }
    // For a new-expression whose constructor throws.
    static void operator delete(void* block) { ::operator delete(block); }
    // A delete gives the block back to its slab or to the heap.  A slab
    // line is only read on its way out, never written: the lines of a
    // dropped window are deleted on another thread while the next parse
    // cuts new lines from the same memory.
    static void operator delete(log_line* line, std::destroying_delete_t)
    {
        line_slab* const slab = line->m_slab;
        if (slab) {
            line->free_outgrown_storage();
            line_slab::release(slab);
        } else {
            line->~log_line();
            ::operator delete(static_cast<void*>(line));
        }
    }

    std::u16string_view text() const { return {text_data(), m_text_size}; }
    std::span<const log_column> columns() const { return {column_data(), m_column_count}; }
    // The characters of column, which must be one of this line's.
    std::u16string_view text_of(const log_column& column) const { return {text_data() + column.offset, column.length}; }

    // Whether the line, its column records and its text are one heap block
    // (a line made by create that has not outgrown its room).
    bool in_one_block() const { return m_storage == reinterpret_cast<const char*>(this + 1); }
    // Whether the line's block was cut from a slab.
    bool in_slab() const { return m_slab != nullptr; }

    // Replaces the text (cut to kMaxLineText) and drops the columns.
    void assign_text(std::u16string_view text);
    void clear_columns() { m_column_count = 0; }
    // Appends a column record (zeroed) and returns it.  The text stays the
    // same, but moves when the line outgrows its room for columns.
    log_column& add_column()
    {
        if (m_column_count == m_column_capacity)
            grow_columns();
        log_column* column = ::new (column_data() + m_column_count) log_column;
        ++m_column_count;
        return *column;
    }
    // Makes room for columns records in all, so that adding up to them
    // moves nothing.
    void reserve_columns(std::size_t columns);

private:
    log_column* column_data() const { return reinterpret_cast<log_column*>(m_storage); }
    char16_t* text_data() const
    {
        return m_storage ? reinterpret_cast<char16_t*>(m_storage + m_column_capacity * sizeof(log_column)) : nullptr;
    }
    // Lays the storage out anew for the given room, keeping the columns
    // and the text there are.
    void relayout(std::size_t column_capacity, std::size_t text_capacity);
    void release();
    // Doubles the room for columns (at least 4); throws bad_alloc past the
    // most a line holds.
    void grow_columns();
    // Frees the storage a line that outgrew its block moved to.
    void free_outgrown_storage() const
    {
        if (m_storage && !in_one_block())
            ::operator delete(m_storage);
    }

    // [column records x m_column_capacity][characters x m_text_capacity]
    char* m_storage = nullptr;
    line_slab* m_slab = nullptr; // the slab the line's block was cut from; null for a heap block
    uint16_t m_text_size = 0;
    uint16_t m_text_capacity = 0;
    uint16_t m_column_count = 0;
    uint16_t m_column_capacity = 0;
};

// Deletes count lines, as delete would each of them.  The lines of a slab
// none of whose lines has outgrown its block go together with one count and
// are never read: the lines of a dropped window are deleted on another
// thread while the next parse cuts new lines from the same memory, which
// would otherwise come back to the parse from the other thread's cache.
void DeleteLines(log_line* const* lines, std::size_t count);
