// Exporting rows of a log file to a log or CSV file: the whole work of the
// export job, over engine types only.  The job hands in what the interface
// thread captured before posting, and turns the three callables into the
// work thread's cancel event, progress record and message boxes.
//
//   interface thread                      work thread (WM_JOB_EXPORT)
//   ----------------                      ---------------------------
//   save dialog, checks                   ExportRows(request, hooks)
//   selected row numbers  --post------->    cancel_requested()  <- cancel event
//   RunJobAndWait  <----- progress -------  progress(current, total)
//   message boxes  <----- message --------  message(text, flags) (sync)
//   OpenFiles(path) when open_after <----   result
//
// Thread-safety: ExportRows runs on one thread; everything the request
// points to must stay unchanged until it returns (the interface thread waits
// for the job, and the window of a file changes only by the file's jobs).
#pragma once

#include "logfile/log_file.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"
#include "work/output_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class log_filter;
class log_filter_groups;

// The export kinds: the export command's id minus 32810.
enum : int32_t {
    EXPORT_KIND_SELECTED_ROWS = 0,
    EXPORT_KIND_VISIBLE_ROWS = 1,
    EXPORT_KIND_WHOLE_FILE = 2,
    EXPORT_KIND_FILTERED_FILE = 3,
    EXPORT_KIND_RESULTS = 4, // the whole-file results (find all, filter whole file)
};

// What one export reads and where it writes.  Pointers and spans observe.
struct export_request {
    int32_t kind = EXPORT_KIND_VISIBLE_ROWS;
    std::u16string path;                      // the target
    bool csv = false;                         // IsCsvTarget(path) for a target from the save dialog
    log_file* file = nullptr;                 // the source: its encoding and line end; kinds 2 and 3 walk it
    std::u16string file_path;                 // the source's path, refused as a target
    const log_pattern_list* parser = nullptr; // kinds 2 and 3 split every line with it
    std::vector<std::u16string> column_names; // the list's columns in order (the CSV header)
    // Kinds 0 and 1: the row source of the file's window, as the list shows it.
    std::span<log_line* const> rows;
    // Kind 0: the selected row numbers, ascending; numbers past the rows are passed over.
    std::vector<std::size_t> selected;
    // Kind 3: the filter conditions; null or empty lets every line pass.
    const log_filter_groups* groups = nullptr;
    // Kind 3: the quick filter in force; null or without content lets every
    // line pass.  A line goes out when it passes both.
    const log_filter* quick = nullptr;
    // Kind 4: the line numbers of the results, in file order, and how a line
    // is read and split by its number (as the results pane shows it; false:
    // the line is passed over).
    std::vector<uint64_t> result_lines;
    std::function<bool(uint64_t line, log_line& out)> read_line;
};

// The job's side of an export.  Empty callables do nothing (cancel: never).
struct export_hooks {
    // True when the user has cancelled; the call also resets the cancel event.
    std::function<bool()> cancel_requested;
    // Rows or lines done of total: at the start (0), then at most every
    // 500 ms, and for kinds 2 and 3 once when the last line was walked.
    std::function<void(int64_t current, int64_t total)> progress;
    // Shows a message box and returns the button pressed (ShowMessage).
    std::function<int(const std::u16string& text, unsigned flags)> message;
    // Milliseconds of a steady clock; the system's when empty (tests drive it).
    std::function<int64_t()> clock_ms;
    // The system's write(2) when null; tests fail writes with it.
    write_function writer = nullptr;
};

// How an export ended.
enum class export_end {
    completed,         // every row written; "IDS_MSG_EXPORT_COMPLETE" shown
    cancelled_kept,    // cancelled, the user kept the partial file
    cancelled_deleted, // cancelled, the partial file was deleted
    create_failed,     // the target could not be created or was refused; nothing written
    write_failed,      // a write failed; the error shown, the partial file kept
    still_indexing,    // kinds 2 and 3 while the index thread runs; nothing created
    bad_request,       // no source file, or no parser for kinds 2 and 3; nothing shown
};

struct export_result {
    export_end end = export_end::bad_request;
    // Open the target when the job ends: a log export that completed or
    // was cancelled and kept; never a CSV export.
    bool open_after = false;
    uint64_t rows_written = 0;
    int error = 0; // errno of a failed create or write
};

// Runs one export from start to end, messages included (see export_end).
// The target is created or emptied (see output_file for what is refused);
// text goes out in the system ANSI code page without byte-order mark when
// the source is an ANSI file, else in UTF-8 after EF BB BF.  CSV: a header
// of the column names, then one line per row, "\r\n" after each; fields are
// joined by "," and, when the list has more than one column, a field holding
// a comma, a quotation mark, a carriage return or a line feed is enclosed in
// quotation marks with the inner ones doubled.  Log: each line's own text and
// the source's line end ("\n" when it has none).  Whole-file exports leave
// out lines without columns, as do the results (kind 4), which go out as
// the lines of a whole-file export do.  Cells are written as the list shows them
// (ShownCellText), lines as far as their text goes (a long line's first
// part).
export_result ExportRows(const export_request& request, const export_hooks& hooks);

// True when the file name of path ends in ".csv", ASCII case ignored.
bool IsCsvTarget(std::u16string_view path);

// The save dialog's initial name for an export of the file named name: the
// name up to its last "." (the whole name when it has none; a leading dot
// alone does not count, so ".profile" stays ".profile").
std::u16string ExportInitialName(std::u16string_view name);

// What the export command knows of the active file and list when chosen.
struct export_command_state {
    int32_t kind = EXPORT_KIND_VISIBLE_ROWS;
    std::size_t rows = 0;     // the list's rows (the row source)
    std::size_t selected = 0; // the list's selected rows
    bool indexing = false;    // the file's index thread still runs
    uint64_t indexed_lines = 0;
    bool has_conditions = false; // the file's filter conditions hold at least one
    std::u16string quick_filter; // the quick filter's text in force, empty without one
    uint64_t results = 0;        // the whole-file results listed (kind 4)
};

// The export command's checks before the save dialog, with their messages:
// no rows (kinds 0 and 1), no selection (kind 0) or no result (kind 4), the index thread still
// running or no indexed line (kinds 2 and 3): "IDS_MSG_NO_LINE_TO_EXPORT" or
// "IDS_MSG_EXPORT_STILL_INDEXING" and false; kind 3 without conditions asks
// "IDS_MSG_EXPORT_NO_FILTER", or with a quick filter only
// "IDS_MSG_EXPORT_QUICK_FILTER_ONLY" naming it, and goes on only on Yes.
// True: show the dialog.
bool ExportCommandChecks(const export_command_state& state,
                         const std::function<int(const std::u16string& text, unsigned flags)>& message);
