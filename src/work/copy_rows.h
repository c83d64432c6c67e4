// The texts that the copy commands put on the clipboard: selected rows (all
// columns or one), and a file's path, name or folder.  Pure functions; the
// clipboard itself belongs to the interface.
#pragma once

#include "parser/log_line.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// The most characters a copy of rows holds (the clipboard block of
// 15728640 characters less its terminating zero).
inline constexpr std::size_t kCopyRowsLimit = 15728639;

struct copy_rows_text {
    std::u16string text;
    bool cut = false; // rows were left out because the limit was reached
};

// The text of the selected rows (in row order; null rows count as rows
// without cells), each cell as the list shows it (ShownCellText).  column -1 copies every column of the list, joined by
// separator (the column separator setting, " " or "\t"); 0 or more copies
// that one column.  With two or more rows the text starts with a header
// line (the column names, or the one column's name) and every row ends in
// "\r\n"; a single row has neither.  Rows are added while the text stays
// within limit characters; the first row that would pass it, and every row
// after it, is left out and cut is set (a header that does not fit leaves
// the text empty).  No rows, or a column outside the list, give an empty
// text.
copy_rows_text CopyRowsText(std::span<const log_line* const> rows, int column,
                            std::span<const std::u16string> column_names, std::u16string_view separator,
                            std::size_t limit = kCopyRowsLimit);

// The file name of path: what follows its last "/" (the whole path when it
// has none).
std::u16string PathFileName(std::u16string_view path);
// The folder of path: what precedes its last "/" ("/" for a file in the
// root folder, empty when the path has no "/").
std::u16string PathFolder(std::u16string_view path);
