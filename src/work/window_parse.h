// Parsing a window of a file's lines for the jobs.
#pragma once

#include <cstdint>

class log_pattern_list;
class file_view;

// Builds the file's window of at most count lines (0: all) from first_line
// with parser; false when the file is not open, the parser is empty or
// first_line lies beyond the indexed lines.  The index thread is held
// around the parse.
bool ParseWindow(file_view& file, const log_pattern_list& parser, uint64_t first_line, uint64_t count);
