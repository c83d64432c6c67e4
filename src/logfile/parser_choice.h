// Choosing the parser of a freshly opened file: the user's parsers are tried
// on the file's last indexed lines.  A parser fits when it splits every one
// of them completely and each of its typed columns (date-time, number, IPv4)
// reads as its type on at least one of them; parsers whose typed values all
// read, date-times with nothing left over, are taken before the others; among
// equals the one with the most columns wins.
//
// Thread-safety: runs on the interface thread while the file's index thread
// is not running (during an open it has not started; refresh acts only after
// it has finished).
#pragma once

#include "logfile/log_file.h"
#include "parser/log_pattern.h"

#include <vector>

// How a parser fits the file's last lines, from worst to best.
enum class parser_fit {
    none,   // a line does not split completely, or a typed column reads on none of the lines
    partly, // every line splits and each typed column reads somewhere, but not every typed value reads whole
    whole,  // every line splits and every typed value reads, a date-time covered whole by its format
};

// How parser fits the file's last five indexed lines (all of them when there
// are fewer).  The window is empty afterwards.  none for a file without lines
// and for a parser without items.
parser_fit rate_parser(log_file& file, const log_pattern_list& parser);

// Whether parser splits each of the file's last five indexed lines (all of
// them when there are fewer) into exactly its number of columns, whatever
// their typed values.  The window is empty afterwards.  False for a file
// without lines and for a parser without items.
bool check_parser(log_file& file, const log_pattern_list& parser);

// The entries of parsers in the order they are tried: most columns first,
// and among equal counts an entry that comes later in the list first.
std::vector<const tagPARSER_ITEM*> parser_candidates(const parser_list& parsers);

// The first candidate that fits the file whole, else the first that fits it
// partly, or null when none fits, the list is empty or the file has no
// indexed line (the caller then takes the default parser).
const tagPARSER_ITEM* choose_parser(log_file& file, const parser_list& parsers);
