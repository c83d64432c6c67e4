// One open file and its view state: what a tab shows.
#pragma once

#include "logfile/log_file.h"

#include <string>
#include <vector>

// Created by the open job and owned by the application's open-files array
// until its tab closes.  Thread-safety: none of its own; while a job runs
// the work thread uses it and the interface thread waits for the job, so
// the two never touch it at the same time.
struct CWorkData {
    std::u16string path;        // the full path as given
    std::u16string name;        // the file-name part of path (the tab label)
    std::u16string parser_name; // the parser in use; empty for the default parser
    log_file file;
    int auto_refresh = 0;
    int filter_enabled = 0;
    std::u16string quick_filter_text;      // the text the quick filter applies now
    std::u16string last_quick_filter_text; // the text last taken from the quick-filter box
    int highlight_enabled = 0;

    // The rows the file's list shows, read through window: the quick-filter
    // result when a quick filter text is set, else the filter result when
    // filtering is enabled, else every line of the parsed window.
    const std::vector<log_line*>& row_source(const log_file::window_reader& window) const;
    // The number of rows of the row source (0 without a window).
    std::size_t row_count() const;
};

// The file-name part of path: what follows its last "/" (all of it when
// there is none).
std::u16string FileNamePart(const std::u16string& path);
