// The engine's side of a file's view: the log file and the state its jobs
// write.  Only the engine (work, app) and tests include this header; the
// configure step refuses it, and the log file headers, in the GUI folders,
// so that widgets reach a file only through file_view's intents and
// snapshots.
#pragma once

#include "work/file_view.h"

class file_view_engine {
public:
    static log_file& file(file_view& view) { return view.m_file; }
    static const log_file& file(const file_view& view) { return view.m_file; }
    static void set_parser_name(file_view& view, std::u16string name) { view.m_parser_name = std::move(name); }
    static void set_quick_filter_text(file_view& view, std::u16string text)
    {
        view.m_quick_filter_text = std::move(text);
    }
    static void set_filter_enabled(file_view& view, bool on) { view.m_filter_enabled = on; }
    static void set_chosen_encoding(file_view& view, int32_t encoding) { view.m_chosen_encoding = encoding; }
    static log_filter_groups& filter_groups(file_view& view) { return view.m_filter_groups; }
    static CSearchInfo& search(file_view& view) { return view.m_search; }
    static CHighlight& highlight_rules(file_view& view) { return view.m_highlight_rules; }
    static view_host& host(file_view& view) { return view.m_host; }
    static result_lines& results(file_view& view) { return view.m_results; }
    static const results_query& results_query_of(const file_view& view) { return view.m_results_query; }
    static results_outcome& results_outcome_of(file_view& view) { return view.m_results_outcome; }
    // The row source of view within a reader of its window (see file_view::rows).
    static const std::vector<log_line*>& row_source(const file_view& view, const log_file::window_reader& window)
    {
        if (!view.m_quick_filter_text.empty())
            return window.quick_lines();
        if (view.m_filter_enabled)
            return window.filtered_lines();
        return window.lines();
    }
};

// Shorthand for the file of a view.
inline log_file& FileOf(file_view& view)
{
    return file_view_engine::file(view);
}
