// Line numbers and file positions of an index, looked up both ways: the line
// of a given number, and the line that holds a given byte of the file.  A
// long line counts with the part of it that is read (the index's line limit).
//
// Thread-safety: built from a view of the index and valid only while that
// view lives and the index does not change.
#pragma once

#include "logfile/line_index.h"

#include <cstdint>

struct indexed_line {
    uint64_t number = 0;
    int64_t offset = -1;
    uint32_t length = 0; // the bytes read for the line: a long line's first part
    bool cut = false;    // the line is longer than length
};

class line_positions {
public:
    explicit line_positions(const line_index::lookups& index) : m_index(index) {}

    uint64_t line_count() const { return m_index.line_count(); }
    // Line n; false when n is not indexed.
    bool line(uint64_t n, indexed_line& out) const;
    // The indexed line whose bytes [offset, offset + length) hold position;
    // false when position lies in no indexed line (a line end, the part of a
    // long line past what is read of it, text after the last line end).
    bool line_holding(int64_t position, indexed_line& out) const;
    // The number of the last indexed line that starts at or before
    // position; false when position lies before the first line.
    bool last_line_from(int64_t position, uint64_t& number) const;
    // The number of the line that starts at offset; -1 when none does.
    int64_t number_at(int64_t offset) const;
    // Calls visit for lines first to last (both indexed, first <= last) in
    // order, or from last back to first; stops when visit returns false.
    // Returns false when stopped.
    template <class F> bool for_each(uint64_t first, uint64_t last, bool backwards, F visit) const;

private:
    indexed_line make(uint64_t number, int64_t offset, uint64_t length) const
    {
        const uint64_t read = m_index.cut_length(length);
        return {number, offset, static_cast<uint32_t>(read), read < length};
    }

    const line_index::lookups& m_index;
};

template <class F> bool line_positions::for_each(uint64_t first, uint64_t last, bool backwards, F visit) const
{
    if (first > last || last >= line_count())
        return true;
    if (!backwards) {
        line_cursor cursor;
        m_index.locate(first, cursor);
        for (uint64_t n = first;; ++n) {
            int64_t offset;
            uint64_t length;
            m_index.line_at(cursor, offset, length);
            if (!visit(make(n, offset, length)))
                return false;
            if (n == last || !m_index.advance(cursor))
                return true;
        }
    }
    for (uint64_t n = last + 1; n-- > first;) {
        int64_t offset;
        uint64_t length;
        m_index.line(n, offset, length);
        if (!visit(make(n, offset, length)))
            return false;
    }
    return true;
}
