#include "search/line_positions.h"

bool line_positions::line(uint64_t n, indexed_line& out) const
{
    int64_t offset;
    uint64_t length;
    if (!m_index.line(n, offset, length))
        return false;
    out = make(n, offset, length);
    return true;
}

bool line_positions::line_holding(int64_t position, indexed_line& out) const
{
    uint64_t number;
    int64_t offset;
    uint64_t length;
    if (!m_index.line_from(position, number, offset, length))
        return false;
    const indexed_line found = make(number, offset, length);
    if (position >= found.offset + static_cast<int64_t>(found.length))
        return false;
    out = found;
    return true;
}

bool line_positions::last_line_from(int64_t position, uint64_t& number) const
{
    int64_t offset;
    uint64_t length;
    return m_index.line_from(position, number, offset, length);
}

int64_t line_positions::number_at(int64_t offset) const
{
    indexed_line found;
    if (!line_holding(offset, found) || found.offset != offset)
        return -1;
    return static_cast<int64_t>(found.number);
}
