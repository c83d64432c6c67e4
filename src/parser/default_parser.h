// The built-in default parser: one column that holds the whole line.
#pragma once

#include "parser/log_pattern.h"

#include <string>

// A parser of exactly one item: version 2, empty start and end texts, the
// given column name, the text data format and no sub-items.  The caller
// passes the dictionary text of "IDS_SPECIAL_DEFAULT_PARSER_CONTENT".
log_pattern_list MakeDefaultParser(std::u16string column_name);
