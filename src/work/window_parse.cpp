#include "work/window_parse.h"

#include "parser/log_pattern.h"
#include "work/work_data.h"

bool ParseWindow(CWorkData& file, const log_pattern_list& parser, uint64_t first_line, uint64_t count)
{
    // PENDING: log_file::parse_range arrives with the parser subsystem; until
    // then the window stays empty and only the bounds are checked.
    (void)count;
    return !parser.empty() && file.file.is_open() && first_line < file.file.line_count();
}
