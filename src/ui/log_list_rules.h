// The log list's decisions that need no widget: the text of a cell, the
// window move asked for by a key at the edge of the window, and row-range
// arithmetic for selections.  Plain functions, tested with tables.
//
// Thread-safety: pure functions; CellText reads lines that the caller keeps
// alive (see CLogListModel for the rule).
#pragma once

#include "parser/log_line.h"
#include "work/cell_text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The characters of column of rows[row] as the list shows them
// (ShownCellText).  Empty when the row or the column does not exist, or the
// column lies outside its line's text.
std::u16string_view CellView(const std::vector<log_line*>& rows, int row, int column);

// How the list marks a line whose text holds only its first part (a line
// longer than the line limit).
struct cut_mark {
    uint64_t file_bytes = 0; // the line's length in the file; 0 when the line is whole
    std::size_t shown = 0;   // the characters of its text
    // The cell that shows where the text ends: the column holding its last
    // character, else the line's last column; -1 when whole or without columns.
    int column = -1;
};
cut_mark CutMarkOf(const std::vector<log_line*>& rows, int row);

// The keys that can move the window when pressed at its edges.
enum class edge_key { up, down, page_up, page_down, other };

// The signed number of lines the window should move for key, with the
// focused row focused (-1 without one), row_count rows and rows_per_page
// fully visible rows: -1 for Up on row 0, +1 for Down on the last row, the
// rows a Page Up or Page Down would run past the first or the last row, and
// 0 when the list handles the key itself.
int WindowMoveDistance(edge_key key, int focused, int row_count, int rows_per_page);

// An inclusive range of rows.
struct row_range {
    int first = 0;
    int last = 0;
    bool operator==(const row_range&) const = default;
};

// The ranges clipped to [0, row_count), sorted and merged (touching ranges
// join); empty ranges are dropped.
std::vector<row_range> MergeRowRanges(std::vector<row_range> ranges, int row_count);
// The rows of [0, row_count) that merged ranges (as MergeRowRanges gives
// them) do not cover.
std::vector<row_range> ComplementRowRanges(const std::vector<row_range>& merged, int row_count);
// The number of rows in merged ranges.
int64_t CountRows(const std::vector<row_range>& merged);
