// The names of a suggested parser's columns: the obvious one for what a
// column holds (Time, Level, Thread, Client, Status, Size, Host, Program,
// Logger, ...), the key of a key=value column, else "Field n".
#pragma once

#include "parser/line_tokens.h"
#include "parser/log_pattern.h"

#include <string>
#include <vector>

// What is known of one column: its token on the selected line and its values
// on the lines the parser splits.
struct column_facts {
    const line_token* token = nullptr;
    std::u16string value; // on the selected line
    std::vector<std::u16string> values;
};

// Names the items of parser in order, one facts entry per item but a final
// Message item (present when message is true).  Names are unique, never
// empty and free of the characters a column name must not hold.
void name_columns(log_pattern_list& parser, const std::vector<column_facts>& facts, bool message);
