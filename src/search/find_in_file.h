// Find in file: the search goes on past the view, window after window of
// the file, until a row matches, a cancel is noticed between rows, or the
// start (searching up) or the end (searching down) of the indexed file is
// reached.  The window where it stopped stays parsed in the file's view.
//
// Each step chooses the next window as the view would see it: up, the
// max_lines lines before the window (from line 0 when fewer are left, its
// rows already searched skipped); down, the max_lines lines after it (the
// last max_lines of the file when fewer are left, its rows already searched
// skipped).  The rows walked are the view's rows (the row source): the quick
// list while a quick filter text is set, else the filtered list while the
// filter is enabled, else every line of the window.  The index thread is
// paused around each window parse.  Searching up at line 0 goes on while a
// tail-first file is still being indexed towards its start; searching down
// at the last indexed line goes on while a head-first file is still being
// indexed towards its end.
//
// Fast path: a line can match only when its bytes hold the search's required
// literal (search/search_literal.h) and, for a regular expression, bytes
// that fit the characters its matches begin with (search/search_start.h).
// The bytes of the windows are scanned for one of them first (the literal
// when it is three bytes or more, else the start); a window without a line
// that holds it, passes the view's filters and matches, is not parsed at
// all: the walk only reckons where the window would be.  The result is that
// of parsing and testing every window: the same row in the same window; the
// window the search would have ended in when nothing matches; a cancel
// stops at the first row the view would show of the window the search had
// reached.  Without either (a pattern whose start may be any character, as
// in ".*x" without a literal, or one that can match the empty text; a code
// page whose bytes cannot tell) every line is tested that way, still
// without building windows.
//
// A window's lines on the fast path are cut into chunks of whole lines
// that the caller and helper threads scan at once (search/chunk_workers.h):
// the first hit in the search's direction is that of the first chunk in
// that direction holding one, every chunk before it scanned to its end;
// chunks after it are given up.  A cancel gives up every chunk.
//
// Thread-safety: runs on the thread of the file's jobs, like parse_range;
// the callbacks are called on that thread.
#pragma once

#include "logfile/log_file.h"
#include "search/search_info.h"

#include <cstdint>
#include <functional>

enum class find_outcome {
    found,     // row is the matching row of the window now parsed
    cancelled, // row is the row the search had reached
    not_found, // the window parsed last stays (or the first one: see
               // keep_window_when_not_found); row is 0
};

struct find_result {
    find_outcome outcome = find_outcome::not_found;
    int64_t row = 0; // in the row source of the window now parsed
};

// A window the search reached: its first and last line numbers and the
// number of indexed lines at the time.
struct find_window {
    int64_t first = -1;
    int64_t last = -1;
    uint64_t line_count = 0;
};

// What one search did, for tests and benchmarks.
struct find_counts {
    bool fast_path = false;       // lines were tested without parsing their windows
    bool literal_scan = false;    // of those, only lines whose bytes hold the literal
    bool start_scan = false;      // or only lines whose bytes hold a start of the pattern
    uint64_t windows_reached = 0; // windows walked or reckoned
    uint64_t windows_parsed = 0;
    uint64_t bytes_scanned = 0;
    uint64_t candidate_lines = 0; // lines whose bytes hold the literal or the start
    uint64_t lines_split = 0;     // of those, lines split and tested
    uint64_t index_waits = 0;     // times the search let the index thread go on for lines it needed
};

struct find_in_file_options {
    uint64_t max_lines = 100000;     // the window size ("max_loading_lines"); 0: the whole index
    bool quick_filter_text = false;  // the view shows the quick list
    bool filter_enabled = false;     // else, the view shows the filtered list
    std::function<bool()> cancelled; // asked before each row; true once a cancel was taken
    // Told of every window the search reaches, before its rows are walked.
    std::function<void(const find_window&)> window_reached;
    // false: parse and test every window (the reference the fast path is
    // checked against).
    bool literal_scan = true;
    // The most bytes one read of the scan covers; 0: its default.  Small
    // values are for tests.
    std::size_t scan_chunk_size = 0;
    // The threads that scan a window's lines on the fast path, the
    // caller's included (0: one per hardware thread; 1: the caller alone),
    // and the bytes of the chunks they take in turn (0:
    // chunk_workers::kChunkBytes; small values are for tests).  The search
    // ends as with one thread.
    unsigned workers = 0;
    uint64_t chunk_bytes = 0;
    // Nothing found: the window the view had before the search is parsed
    // again when the search moved it (the view and its selection stay where
    // they were), instead of leaving the window the search ended in.
    bool keep_window_when_not_found = false;
    find_counts* counts = nullptr;
};

// Searches file with parser for search, whose expression holds the search
// text (the converted pattern of a wildcard) and whose regexp flag is set for
// wildcards too, as line_matches reads it; search.up gives the direction.
// Starts from the file's current window (none: down from line 0, up from
// the end).  Returns found or cancelled at a row of the window then parsed,
// or not found.
find_result find_in_file(log_file& file, const log_pattern_list& parser, const CSearchInfo& search,
                         const find_in_file_options& options);
