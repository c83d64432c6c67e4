// One line of a log file split into columns: what a parser makes of a line's
// text, kept while the line is in a file's parsed window.
//
// A line holds its characters and one record per column (where the column's
// characters lie in the text, and its typed value when it has one, parsed
// once when the line is split) in one piece of storage.  A window line made by log_line::create
// is a single block, on the heap or cut from a slab: the line, its column
// records and its text.
#pragma once

#include "format/data_format.h"
#include "parser/line_slab.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <string_view>

// The most characters a line holds: a longer text is cut to it (a window
// line never holds more), so that a column's place fits 16 bits.
inline constexpr std::size_t kMaxLineText = 65535;

// One column of a line as it is read: its characters are text()[offset,
// offset + length) of the line that holds it, and its typed value.  14
// bytes: the typed value is kept unaligned, and its validity rides on the
// milliseconds (a valid value's milliseconds are those a parse gives, 0 to
// 999; -32768 marks an invalid value).  A line keeps only the place of a
// column without a valid typed value (a text column's), 4 bytes.
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
    friend class log_line;
    static constexpr int16_t kInvalid = INT16_MIN;
    unsigned char m_payload[8] = {};
    int16_t m_milliseconds = kInvalid;
};
static_assert(sizeof(log_column) == 14, "a column record is 14 bytes");

class log_line {
public:
    // Columns from this one on all have a typed value's room; the ones
    // before it have one when their bit in the valued mask is set.
    static constexpr std::size_t kMaskedColumns = 56;

    int64_t offset = -1; // file offset of the line's first byte

    log_line() = default;
    ~log_line();
    // Copies are deep and have storage of their own.
    log_line(const log_line& other);
    log_line& operator=(const log_line& other);

    // A new line in one block with text (cut to kMaxLineText) and room for
    // columns column records, typed of them with a typed value (all of them
    // unless told): cut from arena's slabs when one is given and the line
    // fits, else a heap block.  Deleted with delete.  Throws bad_alloc.
    static log_line* create(std::u16string_view text, std::size_t columns, line_arena* arena = nullptr,
                            std::size_t typed = SIZE_MAX);
    static void* operator new(std::size_t size) { return ::operator new(size); }
    // For a new-expression whose constructor throws.
    static void operator delete(void* block) { ::operator delete(block); }
    // A delete gives the block back to its slab or to the heap.  A slab
    // line is only read on its way out, never written: the lines of a
    // dropped window are deleted on another thread while the next parse
    // cuts new lines from the same memory.
    static void operator delete(log_line* line, std::destroying_delete_t)
    {
        line_slab* const slab = line->slab();
        if (slab) {
            line->free_outgrown_storage();
            line_slab::release(slab);
        } else {
            line->~log_line();
            ::operator delete(static_cast<void*>(line));
        }
    }

    // The line's byte length in the file when text holds only its first
    // part (a line longer than the most a line's text holds); 0 when text is
    // the whole line.
    uint64_t cut_length() const { return one_block() || !m_word ? 0 : head()->cut_length; }
    void set_cut_length(uint64_t length);

    std::u16string_view text() const { return {text_data(), m_text_size}; }

    // The columns, read one at a time: list[i] and *iterator are the column
    // (a log_column made on the spot, not a reference into the line).
    class column_list {
    public:
        class iterator {
        public:
            using iterator_category = std::input_iterator_tag;
            using value_type = log_column;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = log_column;
            iterator() = default;
            iterator(const log_line* line, std::size_t i) : m_line(line), m_i(i) {}
            log_column operator*() const { return m_line->column(m_i); }
            iterator& operator++()
            {
                ++m_i;
                return *this;
            }
            iterator operator++(int)
            {
                iterator was = *this;
                ++m_i;
                return was;
            }
            bool operator==(const iterator& other) const { return m_i == other.m_i; }

        private:
            const log_line* m_line = nullptr;
            std::size_t m_i = 0;
        };
        explicit column_list(const log_line& line) : m_line(&line) {}
        std::size_t size() const { return m_line->m_column_count; }
        bool empty() const { return m_line->m_column_count == 0; }
        log_column operator[](std::size_t i) const { return m_line->column(i); }
        log_column front() const { return m_line->column(0); }
        log_column back() const { return m_line->column(size() - 1); }
        iterator begin() const { return {m_line, 0}; }
        iterator end() const { return {m_line, size()}; }

    private:
        const log_line* m_line;
    };
    column_list columns() const { return column_list(*this); }
    // Column i of the columns, which must be fewer.
    [[gnu::always_inline]] log_column column(std::size_t i) const
    {
        log_column c;
        std::memcpy(&c.offset, column_area() + i * kPlaceBytes, sizeof c.offset);
        std::memcpy(&c.length, column_area() + i * kPlaceBytes + sizeof c.offset, sizeof c.length);
        if (const unsigned char* value = value_of(i)) {
            std::memcpy(c.m_payload, value, sizeof c.m_payload);
            std::memcpy(&c.m_milliseconds, value + sizeof c.m_payload, sizeof c.m_milliseconds);
        }
        return c;
    }
    // The characters of column, which must be one of this line's.
    std::u16string_view text_of(const log_column& column) const { return {text_data() + column.offset, column.length}; }

    // Whether the line, its column records and its text are one block (a
    // line made by create that has not outgrown its room).
    bool in_one_block() const { return one_block(); }
    // Whether the line's block was cut from a slab.
    bool in_slab() const { return slab() != nullptr; }

    // Replaces the text (cut to kMaxLineText) and drops the columns.
    void assign_text(std::u16string_view text);
    void clear_columns()
    {
        m_column_count = 0;
        set_valued_mask(0);
    }
    // Appends a column of the characters text()[first, first + length),
    // without a typed value, with value, or as column has them.  The text
    // stays the same, but moves when the line outgrows its room for
    // columns.  Throws bad_alloc past the most columns a line holds.
    [[gnu::always_inline]] void add_column(std::size_t first, std::size_t length) { append(first, length, nullptr, 0); }
    [[gnu::always_inline]] void add_column(std::size_t first, std::size_t length, const tagDATA_VALUE& value)
    {
        append(first, length, value.valid ? &value.payload : nullptr,
               value.milliseconds == log_column::kInvalid ? int16_t{log_column::kInvalid + 1} : value.milliseconds);
    }
    void add_column(const log_column& column)
    {
        append(column.offset, column.length, column.valid() ? column.m_payload : nullptr, column.m_milliseconds);
    }
    // Appends columns as add_column does, straight into the room that
    // make_room(columns, typed) made for them, and only when that room is
    // for the first kMaskedColumns columns: at most columns of them, at
    // most typed with a valid typed value.  The line changes in no other
    // way until commit, which ends the writing.
    class column_writer {
    public:
        explicit column_writer(log_line& line)
            : m_line(line),
              m_first(line.m_column_count),
              m_area(line.column_area()),
              m_slot(line.column_area_end() - line.values() * kValueBytes)
        {}
        void add(const log_column& c)
        {
            const std::size_t i = m_first + m_added;
            std::memcpy(m_area + i * kPlaceBytes, &c.offset, sizeof c.offset);
            std::memcpy(m_area + i * kPlaceBytes + sizeof c.offset, &c.length, sizeof c.length);
            if (c.valid()) {
                m_slot -= kValueBytes;
                std::memcpy(m_slot, c.m_payload, sizeof c.m_payload);
                std::memcpy(m_slot + sizeof c.m_payload, &c.m_milliseconds, sizeof c.m_milliseconds);
                m_valued += (uint64_t{1} << (kCountBits + i)) | 1;
            }
            ++m_added;
        }
        void commit()
        {
            m_line.set_valued(m_line.valued() + m_valued);
            m_line.m_column_count = static_cast<uint16_t>(m_first + m_added);
        }

    private:
        log_line& m_line;
        const std::size_t m_first;
        unsigned char* const m_area;
        unsigned char* m_slot;
        std::size_t m_added = 0;
        uint64_t m_valued = 0;
    };
    // Makes room for columns more column records, typed of them with a
    // typed value, so that adding them moves nothing.
    void make_room(std::size_t columns, std::size_t typed)
    {
        if (m_column_count == 0 && (columns * kPlaceBytes + typed * kValueBytes) <= std::size_t{m_column_room} * 2
            && columns <= kMaskedColumns)
            return;
        make_more_room(columns, typed);
    }

private:
    // The storage of a line that has outgrown its block (or never had
    // one) starts with this.
    struct outgrown_head {
        uint64_t valued; // as valued() reads it
        line_slab* slab;
        uint64_t cut_length;
    };
    static constexpr std::size_t kPlaceBytes = 4;  // a column's offset and length
    static constexpr std::size_t kValueBytes = 10; // payload and milliseconds
    static constexpr unsigned kCountBits = 6;      // below the mask: the bits set in it

    bool one_block() const { return (m_word & 1) != 0; }
    outgrown_head* head() const { return reinterpret_cast<outgrown_head*>(m_word); }
    line_slab* slab() const
    {
        if (one_block())
            return (m_word & 2) != 0 ? reinterpret_cast<line_slab*>(reinterpret_cast<std::uintptr_t>(this)
                                                                    & ~std::uintptr_t{line_slab::kBytes - 1})
                                     : nullptr;
        return m_word ? head()->slab : nullptr;
    }
    // The valued mask above kCountBits bits that count the bits set in it.
    uint64_t valued() const { return one_block() ? m_word >> 2 : m_word ? head()->valued : 0; }
    void set_valued(uint64_t valued)
    {
        if (one_block())
            m_word = (valued << 2) | (m_word & 3);
        else if (m_word)
            head()->valued = valued;
    }
    void set_valued_mask(uint64_t mask) { set_valued((mask << kCountBits) | bits_in(mask)); }
    char* storage() const
    {
        // The block goes on past the line's own fields.
        if (one_block())
            return reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(this) + sizeof(log_line));
        return m_word ? reinterpret_cast<char*>(head() + 1) : nullptr;
    }
    unsigned char* column_area() const { return reinterpret_cast<unsigned char*>(storage()); }
    char16_t* text_data() const
    {
        return reinterpret_cast<char16_t*>(storage() + std::size_t{m_column_room} * 2);
    }
    unsigned char* column_area_end() const { return column_area() + std::size_t{m_column_room} * 2; }
    // Typed values kept: they lie at the column area's end, the first one
    // last.
    std::size_t values() const
    {
        return (valued() & ((1u << kCountBits) - 1))
               + (m_column_count > kMaskedColumns ? m_column_count - kMaskedColumns : 0);
    }
    // The bits set in mask, inline: without a population-count instruction
    // in the target the builtin is a library call.
    static std::size_t bits_in(uint64_t mask)
    {
#if defined(__POPCNT__)
        return static_cast<std::size_t>(__builtin_popcountll(mask));
#else
        mask -= (mask >> 1) & 0x5555555555555555u;
        mask = (mask & 0x3333333333333333u) + ((mask >> 2) & 0x3333333333333333u);
        mask = (mask + (mask >> 4)) & 0x0f0f0f0f0f0f0f0fu;
        return static_cast<std::size_t>((mask * 0x0101010101010101u) >> 56);
#endif
    }
    std::size_t used_bytes() const
    {
        return m_column_count * kPlaceBytes + values() * kValueBytes;
    }
    // The typed value of column i, or null when it has none.
    const unsigned char* value_of(std::size_t i) const
    {
        const uint64_t bits = valued();
        std::size_t k;
        if (i < kMaskedColumns) {
            const uint64_t mask = bits >> kCountBits;
            if (((mask >> i) & 1) == 0)
                return nullptr;
            k = bits_in(mask & ((uint64_t{1} << i) - 1));
        } else {
            k = (bits & ((1u << kCountBits) - 1)) + (i - kMaskedColumns);
        }
        return column_area_end() - (k + 1) * kValueBytes;
    }
    // Appends a column whose typed value is the 8 bytes at payload with
    // milliseconds, or none when payload is null.
    [[gnu::always_inline]] void append(std::size_t first, std::size_t length, const void* payload, int16_t milliseconds)
    {
        const std::size_t i = m_column_count;
        const bool kept = payload || i >= kMaskedColumns;
        const std::size_t k = values();
        const std::size_t bytes = i * kPlaceBytes + (k + (kept ? 1 : 0)) * kValueBytes + kPlaceBytes;
        if (bytes > std::size_t{m_column_room} * 2)
            grow_columns(bytes);
        unsigned char* const area = column_area();
        const auto place_offset = static_cast<uint16_t>(first);
        const auto place_length = static_cast<uint16_t>(length);
        std::memcpy(area + i * kPlaceBytes, &place_offset, sizeof place_offset);
        std::memcpy(area + i * kPlaceBytes + sizeof place_offset, &place_length, sizeof place_length);
        if (kept) {
            unsigned char* slot = area + std::size_t{m_column_room} * 2 - (k + 1) * kValueBytes;
            if (!payload) {
                payload = kNoPayload;
                milliseconds = log_column::kInvalid;
            }
            std::memcpy(slot, payload, 8);
            std::memcpy(slot + 8, &milliseconds, sizeof milliseconds);
            if (i < kMaskedColumns)
                set_valued(valued() + ((uint64_t{1} << (kCountBits + i)) | 1));
        }
        ++m_column_count;
    }
    static constexpr unsigned char kNoPayload[8] = {};
    // Makes the column area at least bytes long (and at least twice what it
    // was); throws bad_alloc past the most a line holds.
    void grow_columns(std::size_t bytes);
    void make_more_room(std::size_t columns, std::size_t typed);
    // Lays the storage out anew, out of the line's block, with the given
    // room, keeping the columns and the text there are.
    void relayout(std::size_t column_bytes, std::size_t text_capacity);
    void release();
    // Frees the storage a line that outgrew its block moved to.
    void free_outgrown_storage() const
    {
        if (!one_block() && m_word)
            ::operator delete(head());
    }

    // A line in one block: 1, whether it lies in a slab (2), and valued()
    // above them; else the outgrown storage, or 0 when there is none.
    // The storage: [column area][characters x m_text_capacity], the area
    // holding the columns' places from its start and their typed values
    // from its end.
    uintptr_t m_word = 0;
    uint16_t m_text_size = 0;
    uint16_t m_text_capacity = 0;
    uint16_t m_column_count = 0;
    uint16_t m_column_room = 0; // the column area, in units of 2 bytes
};
static_assert(sizeof(log_line) == 24, "a line's own fields take 24 bytes");

// Deletes count lines, as delete would each of them.  The lines of a slab
// none of whose lines has outgrown its block go together with one count and
// are never read: the lines of a dropped window are deleted on another
// thread while the next parse cuts new lines from the same memory, which
// would otherwise come back to the parse from the other thread's cache.
void DeleteLines(log_line* const* lines, std::size_t count);
