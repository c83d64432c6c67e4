// Reading back what a log file's index holds, and a plain reference scan to
// compare it with.
#pragma once

#include "logfile/log_file.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using line_list = std::vector<std::pair<int64_t, uint64_t>>; // offset, byte length

// Every line of an index view (compact or flat), walked with its cursor.
template <class Cursor, class Lookups> line_list walk_lines(const Lookups& index)
{
    line_list out;
    Cursor cursor;
    if (!index.locate(0, cursor))
        return out;
    do {
        int64_t offset;
        uint64_t length;
        index.line_at(cursor, offset, length);
        out.emplace_back(offset, length);
    } while (index.advance(cursor));
    return out;
}

inline line_list indexed_lines(log_file& file)
{
    return walk_lines<line_cursor>(file.read_index());
}

using block_shape = line_block_shape;

inline std::vector<block_shape> index_blocks(log_file& file)
{
    std::vector<block_shape> out;
    const line_index::reader index = file.read_index();
    for (uint64_t k = 0; k < index.block_count(); ++k)
        out.push_back(index.block_shape(k));
    return out;
}

// Whether the text unit at byte p ends a line: CR or LF, for two-byte units
// in either byte order (the scan does not know the order).
inline bool is_line_end_unit(const std::string& bytes, std::size_t p, int unit)
{
    if (unit == 1)
        return bytes[p] == '\n' || bytes[p] == '\r';
    const unsigned u = static_cast<unsigned char>(bytes[p]) | (static_cast<unsigned char>(bytes[p + 1]) << 8);
    return u == 0x000D || u == 0x000A || u == 0x0D00 || u == 0x0A00;
}

// Every terminated, non-empty line, whatever its length, byte by byte.
inline line_list reference_lines(const std::string& bytes, int unit, std::size_t bom)
{
    line_list out;
    std::size_t s = bom;
    for (std::size_t p = bom; p + static_cast<std::size_t>(unit) <= bytes.size(); p += static_cast<std::size_t>(unit)) {
        if (!is_line_end_unit(bytes, p, unit))
            continue;
        if (p > s)
            out.emplace_back(static_cast<int64_t>(s), static_cast<uint64_t>(p - s));
        s = p + static_cast<std::size_t>(unit);
    }
    return out;
}
