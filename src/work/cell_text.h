// The text of a cell as the list shows it, which is also what copying and
// exporting rows take: the column's characters, at most kMaxCellText of them.
#pragma once

#include "parser/log_line.h"

#include <cstddef>
#include <string_view>

// The most characters a cell shows; longer column texts are cut to it.
inline constexpr std::size_t kMaxCellText = 65534;

// The characters of column of line, cut to kMaxCellText, pointing into the
// line's own text (valid as long as the line is).  Empty when the line has
// no such column, or the column lies outside its line's text.
std::u16string_view ShownCellText(const log_line& line, std::size_t column);
