// The parsers the benchmarks split their generated logs with.
#pragma once

#include "parser/log_pattern.h"

inline log_pattern item(const char16_t* end, const char16_t* name, int32_t type = DATA_TYPE_TEXT, const char16_t* format = u"")
{
    log_pattern p(name);
    p.end = end;
    p.data_format.data_type = type;
    if (type == DATA_TYPE_DATETIME)
        p.data_format.format = format;
    return p;
}

// Time, Level, Thread, Verb, Count, Rest: the parser of the parse benchmark.
inline log_pattern_list six_columns()
{
    log_pattern_list parser;
    parser.push_back(item(u" [", u"Time", DATA_TYPE_DATETIME, u"Y-m-d H:M:S.s"));
    parser.push_back(item(u"] [", u"Level"));
    parser.push_back(item(u"] ", u"Thread"));
    parser.push_back(item(u" ", u"Verb"));
    parser.push_back(item(u" ", u"Count", DATA_TYPE_NUMERIC));
    parser.push_back(item(u"", u"Rest"));
    return parser;
}
