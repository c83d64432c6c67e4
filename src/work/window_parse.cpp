#include "work/window_parse.h"

#include "logfile/log_file.h"
#include "parser/log_pattern.h"
#include "work/file_view_engine.h"

#include <limits>

bool ParseWindow(file_view& file, const log_pattern_list& parser, uint64_t first_line, uint64_t count)
{
    if (first_line > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return false;
    // The index thread waits while the window is parsed; a hold that another
    // holder (the pointer over the file-scope bar) has taken goes on after it.
    const index_hold held = FileOf(file).indexer().hold();
    return FileOf(file).parse_range(held, parser, static_cast<int64_t>(first_line), count);
}
