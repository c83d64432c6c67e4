// The filters a log file keeps for its window (private to the log file).
#pragma once

#include "filter/filter_run.h"
#include "filter/log_filter.h"
#include "filter/log_filter_groups.h"

#include <memory>

struct window_filters {
    log_filter_groups groups; // in force while the file's filter is applied
    log_filter quick;         // in force while it has text
    // Prepared for the parse under way (bind_window_filters), else null.
    std::unique_ptr<prepared_groups> bound_groups;
    std::unique_ptr<prepared_condition> bound_quick;
};
