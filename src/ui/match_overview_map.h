// The match overview strip's geometry, free of painting: which lines of the
// whole file each pixel row of the strip stands for, which rows hold
// results, and which line a click on a row moves to.  Row r stands for the
// lines n with floor(n * rows / total) == r, so every line has exactly one
// row and the rows' lines follow each other in order; with fewer lines than
// rows some rows stand for none.  The widget only draws what this computes.
//
// Thread-safety: none; the interface thread owns it.
#pragma once

#include "search/result_lines.h"

#include <cstdint>
#include <utility>
#include <vector>

class match_overview_map {
public:
    // The indexed line count and the strip's height in pixels (negative: 0).
    void SetShape(uint64_t total_lines, int rows);
    uint64_t TotalLines() const { return m_total; }
    int Rows() const { return m_rows; }

    // The row that line stands at; -1 for a line not indexed, or no rows.
    int LineToRow(uint64_t line) const;
    // The lines [first, end) that row stands for; first == end when it
    // stands for none (also for a row outside the strip).
    std::pair<uint64_t, uint64_t> RowLines(int row) const;
    // The line a click at row y moves to (y clamped into the strip): the
    // first line the row stands for, or for a row without lines the line
    // whose row comes next; -1 without lines or rows.
    int64_t RowToLine(int y) const;
    // For each row, whether a result lies among its lines (results in
    // ascending order).
    std::vector<bool> MarkedRows(const result_lines& results) const;
    std::vector<bool> MarkedRows(const std::vector<uint64_t>& results) const;

private:
    // ceil(row * total / rows) for 0 <= row <= rows.
    uint64_t FirstLineOfRow(int row) const;

    uint64_t m_total = 0;
    int m_rows = 0;
};
