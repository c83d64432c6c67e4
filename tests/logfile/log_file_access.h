// The tests' way into a log file's private state.
#pragma once

#include "logfile/log_file.h"

#include <functional>
#include <utility>

struct log_file_test_access {
    // Puts made-up lines into a window, with the first ten filtered and the
    // first five in the quick list.
    static void fill_window(log_file& file, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto* line = new log_line;
            line->offset = i;
            line->text.assign(5, u'z');
            file.push_back(line);
        }
        file.m_filtered_lines.assign(file.begin(), file.begin() + 10);
        file.m_quick_lines.assign(file.begin(), file.begin() + 5);
    }
    // Begins and ends a window parse (its locks and its debug check).
    static void parse_window(log_file& file) { log_file::window_parse parse(file); }
    static native_lock& file_lock(log_file& file) { return file.m_file_lock; }
    // Verdicts in place of the filters; an empty function puts its filter
    // out of force.
    static void set_verdicts(log_file& file, std::function<bool(const log_line&)> groups,
                             std::function<bool(const log_line&)> quick)
    {
        file.m_verdict_hook.groups = std::move(groups);
        file.m_verdict_hook.quick = std::move(quick);
    }
    // Adds a line to the index as a scan would.
    static void add_indexed_line(log_file& file, int64_t offset, uint16_t length)
    {
        file.m_index.add_line(offset, length, true);
    }
};
