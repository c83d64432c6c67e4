// The tests' way into a log file's private state.
#pragma once

#include "logfile/log_file.h"

#include <functional>
#include <memory>
#include <utility>

struct log_file_test_access {
    // Verdicts from functions; the window's filters answer where a function
    // is empty.
    struct made_up_verdicts final : line_verdicts {
        made_up_verdicts(std::unique_ptr<line_verdicts> own, std::function<bool(const log_line&)> groups_test,
                         std::function<bool(const log_line&)> quick_test)
            : filters(std::move(own)), groups(std::move(groups_test)), quick(std::move(quick_test))
        {}
        bool groups_in_force() const override { return groups || filters->groups_in_force(); }
        bool quick_in_force() const override { return quick || filters->quick_in_force(); }
        void bind(const log_pattern_list& parser) override { filters->bind(parser); }
        bool passes_groups(const log_line& line) override
        {
            return groups ? groups(line) : filters->passes_groups(line);
        }
        bool passes_quick(const log_line& line) override { return quick ? quick(line) : filters->passes_quick(line); }
        void release() override { filters->release(); }

        std::unique_ptr<line_verdicts> filters;
        std::function<bool(const log_line&)> groups;
        std::function<bool(const log_line&)> quick;
    };

    // Puts made-up lines into a window, with the first ten filtered and the
    // first five in the quick list.
    static void fill_window(log_file& file, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto* line = new log_line;
            line->offset = i;
            line->assign_text(u"zzzzz");
            file.m_window.m_lines.adopt(line);
        }
        const std::vector<log_line*>& lines = file.m_window.m_lines.lines();
        file.m_window.m_filtered_lines.assign(lines.begin(), lines.begin() + 10);
        file.m_window.m_quick_lines.assign(lines.begin(), lines.begin() + 5);
    }
    // Begins and ends a window parse (its locks and its debug check).
    static void parse_window(log_file& file) { log_file::window_parse parse(file); }
    static native_lock& file_lock(log_file& file) { return file.m_file_lock; }
    // Verdicts in place of the filters; an empty function puts its filter
    // out of force.
    static void set_verdicts(log_file& file, std::function<bool(const log_line&)> groups,
                             std::function<bool(const log_line&)> quick)
    {
        std::unique_ptr<line_verdicts>& verdicts = file.m_window.m_verdicts;
        if (auto* set = dynamic_cast<made_up_verdicts*>(verdicts.get()))
            verdicts = std::move(set->filters);
        verdicts = std::make_unique<made_up_verdicts>(std::move(verdicts), std::move(groups), std::move(quick));
    }
    // Adds a line to the index as a scan would.
    static void add_indexed_line(log_file& file, int64_t offset, uint16_t length)
    {
        file.m_indexer.index().add_line(offset, length, true);
    }
};
