// Choosing the parser of a freshly opened file: the user's parsers are tried,
// those with the most columns first, on the file's last indexed lines, and the
// first one that splits all of them completely wins.
//
// Thread-safety: runs on the interface thread while the file's index thread
// is not running (during an open it has not started; refresh acts only after
// it has finished).
#pragma once

#include "logfile/log_file.h"
#include "parser/log_pattern.h"

#include <vector>

// Whether parser splits each of the file's last five indexed lines (all of
// them when there are fewer) into exactly its number of columns.  The window
// is empty afterwards.  False for a file without lines and for a parser
// without items.
bool check_parser(log_file& file, const log_pattern_list& parser);

// The entries of parsers in the order they are tried: most columns first,
// and among equal counts an entry that comes later in the list first.
std::vector<const tagPARSER_ITEM*> parser_candidates(const parser_list& parsers);

// The first candidate whose parser fits the file (check_parser), or null when
// none does, the list is empty or the file has no indexed line (the caller
// then takes the default parser).
const tagPARSER_ITEM* choose_parser(log_file& file, const parser_list& parsers);
