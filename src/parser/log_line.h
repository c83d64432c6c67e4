// One line of a log file split into columns: what a parser makes of a line's
// text, kept while the line is in a file's parsed window.
#pragma once

#include "format/data_format.h"

#include <cstdint>
#include <vector>

struct log_column {
    const char16_t* text_base = nullptr; // inside the owning line's text; never owned
    uint64_t offset = 0;                 // characters from text_base to the column's first one
    uint64_t length = 0;                 // characters
    tagDATA_VALUE value;
};

struct log_line {
    std::vector<log_column> columns;
    std::vector<char16_t> text; // the line's characters, no terminator
    int64_t offset = -1;        // file offset of the line's first byte
    // The line's byte length in the file when text holds only its first
    // part (a line longer than the most a line's text holds); 0 when text is
    // the whole line.
    uint64_t cut_length = 0;
};
