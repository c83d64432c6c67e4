#include "work/window_parse.h"

#include "logfile/log_file.h"
#include "parser/log_pattern.h"
#include "work/work_data.h"

#include <limits>

bool ParseWindow(CWorkData& file, const log_pattern_list& parser, uint64_t first_line, uint64_t count)
{
    if (first_line > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return false;
    // A window is parsed only while the index thread is paused or done.  The
    // callers pause it around their job; one that could not yet (a click that
    // came before the pause) is covered here.
    index_thread& indexer = file.file.indexer();
    const bool paused_here = indexer.runs_unpaused();
    if (paused_here)
        indexer.pause();
    const bool parsed = file.file.parse_range(parser, static_cast<int64_t>(first_line), count);
    if (paused_here)
        indexer.resume();
    return parsed;
}
