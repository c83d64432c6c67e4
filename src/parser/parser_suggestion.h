// Suggesting a parser from a file's own lines: named, typed columns for a
// format no parser knows yet, which the user accepts or refines.
//
// The suggestion follows the selected line: its date-time (one column, even
// with spaces in it), level, bracketed and quoted fields, key=value pairs,
// addresses and numbers become columns, the free text after them a final
// Message column.  The other lines of the sample decide how far that head
// reaches: a column is kept only when the lines that begin like the selected
// one (at least 95 of 100) split there with their start texts in place and
// their typed values valid.  The same lines always give the same parser.
//
// Thread-safety: a pure function of its arguments (and of the date-time
// language table, which it reads like every date-time parse).
#pragma once

#include "parser/log_pattern.h"

#include <cstddef>
#include <string_view>
#include <vector>

struct parser_suggestion {
    log_pattern_list parser; // empty when the sample holds no line with text
    std::size_t sampled = 0; // lines looked at: the selected line and the others that are not empty
    std::size_t split = 0;   // of those, the lines split_line cuts into every column with every typed value valid
};

// The most lines a suggestion looks at, the selected one included.
inline constexpr std::size_t kMaxSuggestionSample = 500;

// Suggests a parser for lines like selected, checked against others (the
// last lines of the window, say); lines carry no line end.  Empty lines are
// passed over; when selected is empty the first other line with text stands
// in for it.  Lines beyond kMaxSuggestionSample in all are not looked at.
parser_suggestion suggest_parser(std::u16string_view selected, const std::vector<std::u16string_view>& others);
