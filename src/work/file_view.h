// One open file and its view: what a tab shows, and the one owner of it.
//
//   widgets (ui, dialogs, shell)            engine (work thread)
//   ----------------------------            --------------------
//   read:  counts(), rows(), columns        view jobs (WM_JOB_VIEW, _PARSE,
//          the flags, rules, texts           _FILTER, _RELOAD) change the
//   act:   intents ---> file_view --------> window, its lists and the file
//          set_quick_filter, set_filter_      through file_view_engine
//          enabled, set_filter_groups,       (work/file_view_engine.h, not
//          set_highlight_*, change_parser,    for the GUI folders)
//          change_encoding, move_window(plan),
//          reload
//                  <--- WM_WORK_VIEW_UPDATE (file id, selection) ---
//
// An intent that needs the window, the filters or the file runs as a job on
// the work thread through the host (with the job protocol's progress
// dialog and cancel); the others only set the view's state.  While a job
// runs, every intent is refused (false): the interface thread never
// touches the window beside a job, also from a timer that fires inside a
// progress dialog's event loop.
//
// Thread-safety: the state is written on the interface thread by intents
// and on the work thread by the file's jobs, never both at once (an intent
// waits for its job).  counts() may be read at any time.
#pragma once

#include "filter/log_filter_groups.h"
#include "highlight/highlight.h"
#include "logfile/log_file.h"
#include "search/result_lines.h"
#include "search/search_info.h"
#include "search/whole_file_results.h"
#include "work/window_plan.h"

#include <cstdint>
#include <string>
#include <vector>

class view_host;
class file_view_engine;

// The counts a status bar, a scope bar or a command needs, read together.
struct view_counts {
    int64_t first = -1;      // the window's first line, -1 without one
    int64_t last = -1;       // its last line
    uint64_t line_count = 0; // lines indexed so far
    int64_t file_size = 0;   // bytes when last looked
    int32_t encoding = 0;    // ENCODING_*
    bool has_bom = false;
    bool indexing = false;                  // the index thread has not finished
    bool tail_mode = false;                 // indexed from the tail
    uint64_t long_lines = 0;                // lines longer than a row shows, cut in the list
    bool binary = false;                    // the file's first bytes do not look like text
    packing packed = packing::none;         // gzip or zstd, read through a plain copy
    unpack_note unpack = unpack_note::none; // how its decoding stands
};

class file_view {
public:
    // A new view of path with a serial id that no other view of this
    // process ever had.
    file_view(view_host& host, std::u16string path);
    file_view(const file_view&) = delete;
    file_view& operator=(const file_view&) = delete;

    // ---- identity -----------------------------------------------------------
    uint64_t id() const { return m_id; }
    const std::u16string& path() const { return m_path; }
    const std::u16string& name() const { return m_name; } // the tab label
    // The parser in use; empty for the default parser.
    const std::u16string& parser_name() const { return m_parser_name; }

    // ---- state the widgets read ---------------------------------------------
    bool auto_refresh() const { return m_auto_refresh; }
    bool filter_enabled() const { return m_filter_enabled; }
    bool highlight_enabled() const { return m_highlight_enabled; }
    const log_filter_groups& filter_groups() const { return m_filter_groups; }
    const CHighlight& highlight_rules() const { return m_highlight_rules; }
    // The text the quick filter applies now.
    const std::u16string& quick_filter_text() const { return m_quick_filter_text; }
    // The text last taken from the quick-filter box (compared with the box
    // so that an unchanged text is not applied again).
    const std::u16string& last_quick_filter_text() const { return m_last_quick_filter_text; }
    const CSearchInfo& search() const { return m_search; }
    // The encoding the user chose for the file (ENCODING_ANSI or
    // ENCODING_UTF8), 0 while the file is read as its first bytes suggest.
    // The choice outlives a reload.
    int32_t chosen_encoding() const { return m_chosen_encoding; }

    // ---- snapshots ----------------------------------------------------------
    view_counts counts();
    // The place the window plans start from, with the host's window size.
    window_place place();
    // The rows the file's list shows, for the reader's life: the quick-filter
    // result when a quick filter text is set, else the filter result when
    // filtering is enabled, else every line of the parsed window.  Taken
    // only while no job of the file runs (the window rule).
    class rows {
    public:
        explicit rows(const file_view& view);
        const std::vector<log_line*>& lines() const { return *m_source; }
        std::size_t size() const { return m_source->size(); }
        // The quick filter the window's quick-filter result was made with.
        const log_filter& quick_filter() const { return m_window.quick_filter(); }
        // The index's number (from 0) of the line that row shows; -1 for a
        // row that does not exist.  It is the file's line number from 0
        // when line_numbers_final().
        int64_t line_number(std::size_t row) const;

    private:
        log_file::window_reader m_window;
        const std::vector<log_line*>* m_source;
        int64_t m_first = -1; // the window's first line
    };
    rows read_rows() const { return rows(*this); }
    // The number of rows of the row source (0 without a window).
    std::size_t row_count() const { return read_rows().size(); }
    // The column names of the parser in use.
    std::vector<std::u16string> column_names() const;
    // The text of line n cut to 100 characters (the scope bar's preview).
    bool line_preview(uint64_t n, std::u16string& text) { return m_file.line_preview(n, text); }

    // ---- following the file (refresh, timer 100) ---------------------------
    using file_change = log_file::file_change;
    // What became of the file since it was opened (see log_file::check_change);
    // replaced when the view's file is not open at all.
    file_change check_rotation();
    // Indexes what was appended since the last look: lines added, 0 while
    // the index thread still runs, -1 when the file cannot be read.
    int64_t index_appended() { return m_file.refresh(); }
    // A share of the index thread's pause (the pointer over the scope bar).
    index_hold hold_indexing() { return m_file.indexer().hold(); }
    bool indexing() { return m_file.indexer().is_running(); }
    // Whether the index's line numbers are the file's: not while a
    // tail-first index still grows towards the file's start.
    bool line_numbers_final() { return !(m_file.tail_mode() && indexing()); }

    // ---- intents ------------------------------------------------------------
    // Each returns false when refused (a job runs, or nothing to do that
    // the caller must show); see the diagram above.
    void set_auto_refresh(bool on) { m_auto_refresh = on; }
    void set_highlight_enabled(bool on) { m_highlight_enabled = on; }
    void set_highlight_rules(CHighlight rules) { m_highlight_rules = std::move(rules); }
    void set_search(const CSearchInfo& search) { m_search = search; }
    void set_last_quick_filter_text(std::u16string text) { m_last_quick_filter_text = std::move(text); }
    // The quick filter's text (empty clears it), applied by a job.
    bool set_quick_filter(const std::u16string& text);
    // Filtering on (runs the groups over the window) or off.
    bool set_filter_enabled(bool on);
    // New filter groups; filtered again at once while filtering is on, or
    // turned on with them when enable.
    bool set_filter_groups(log_filter_groups groups, bool enable = false);
    // Another parser (empty: the default one): the window is parsed again
    // from its first line with it, the filter and highlight rules bound to
    // its columns, without closing the tab.
    bool change_parser(const std::u16string& name);
    // ENCODING_ANSI or ENCODING_UTF8 for a file without BOM; parsed again.
    bool change_encoding(int32_t encoding);
    // Moves the window by plan (nothing when plan.move is false).
    bool move_window(const window_plan& plan);
    // Waits, as a job the user can cancel, until the index thread has
    // indexed the whole file; true when it has (at once when it had).
    bool finish_indexing();
    // Opens the file again from scratch (after a rotation): index, parser
    // choice and first window as at its open; flags, filters and rules stay.
    bool reload();
    // Whether the last reload chose another parser than before.
    bool last_reload_changed_parser() const { return m_last_reload_changed_parser; }

    // ---- whole-file results (find all, filter whole file) -------------------
    // The line numbers of the results, in file order; readable at any time,
    // also while their job appends to them.
    const result_lines& results() const { return m_results; }
    // Whether a find all or a filter whole file ran in this view.
    bool results_used() const { return m_results_used; }
    const results_query& results_query_in_force() const { return m_results_query; }
    // How the last walk ended, and the line the next one goes on from.
    results_ending last_results_ending() const { return m_results_outcome.ending; }
    uint64_t results_next_line() const { return m_results_outcome.next_line; }
    // Find all: a new list of every line of the file that search matches
    // (expression as the search text, regexp set for wildcards too).
    bool find_all(const CSearchInfo& search);
    // Filter whole file: a new list of every line that passes the view's
    // filter groups.
    bool filter_whole_file();
    // Walks on from the next line (lines appended since, or the rest after a
    // cancel); false, and nothing run, before the first find all or filter.
    bool update_results();
    // Makes the list again from the file's start (after a reload).
    bool rerun_results();
    // The window that holds result k, its row selected; no move for a k
    // past the results.
    window_plan plan_for_result(uint64_t k);
    // The cells of line n (from 0) as the list would show them: read through
    // the index, split by the parser in use (one text per leaf; a line that
    // does not split fills what it can).  False when n is not indexed or the
    // line cannot be read.  Any thread, also while a job runs.
    bool line_cells(uint64_t n, std::vector<std::u16string>& cells);
    // The same line as a log line that owns its text (for a copy of results):
    // a line that does not split has its whole text as its one column.
    bool read_line(uint64_t n, log_line& line);

private:
    friend class file_view_engine;

    view_host& m_host;
    const uint64_t m_id;
    const std::u16string m_path;
    const std::u16string m_name;
    std::u16string m_parser_name;
    log_file m_file;
    bool m_auto_refresh = false;
    bool m_filter_enabled = false;
    log_filter_groups m_filter_groups;
    std::u16string m_quick_filter_text;
    std::u16string m_last_quick_filter_text;
    bool m_highlight_enabled = false;
    CHighlight m_highlight_rules;
    CSearchInfo m_search;
    int32_t m_chosen_encoding = 0;
    bool m_last_reload_changed_parser = false;
    result_lines m_results;
    results_query m_results_query;
    results_outcome m_results_outcome;
    bool m_results_used = false;
};

// The file-name part of path: what follows its last "/" (all of it when
// there is none).
std::u16string FileNamePart(const std::u16string& path);
