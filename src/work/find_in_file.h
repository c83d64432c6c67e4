// Find in file for the search job: the window-by-window walk through the
// indexed file until a row matches, the cancel event is noticed or the walk
// reaches the end (or the start) of the file.
#pragma once

#include <cstdint>
#include <functional>

class log_pattern_list;
struct CSearchInfo;
struct CWorkData;

enum class find_outcome {
    found,     // row is the matching row of the window now parsed
    cancelled, // row is the row the search had reached
    not_found, // the window parsed last stays; row is 0
};

struct find_result {
    find_outcome outcome = find_outcome::not_found;
    int64_t row = 0; // in the row source of the window now parsed
};

// Walks file with parser for search (whose expression holds the search
// text and whose regexp flag is set for wildcard searches too), parsing
// windows of max_lines lines; cancelled is asked before each row and is
// true once the cancel event was taken.
find_result FindInFile(CWorkData& file, const log_pattern_list& parser, const CSearchInfo& search, uint64_t max_lines,
                       bool load_tail_first, const std::function<bool()>& cancelled);
