#include "parser/default_parser.h"

log_pattern_list MakeDefaultParser(std::u16string column_name)
{
    log_pattern_list parser;
    parser.emplace_back(std::move(column_name));
    return parser;
}
