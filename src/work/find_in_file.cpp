#include "work/find_in_file.h"

#include "search/search_info.h"
#include "work/work_data.h"

find_result FindInFile(CWorkData&, const log_pattern_list&, const CSearchInfo&, uint64_t, bool,
                       const std::function<bool()>&)
{
    // PENDING: the find-in-file loop comes with the search subsystem; this
    // call site hands it the file, the parser, the search, the window size,
    // the tail-first setting and the cancel test.
    return {};
}
