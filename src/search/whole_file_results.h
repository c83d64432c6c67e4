// Whole-file results: every indexed line of a file that matches a find
// expression, or that passes a set of filter groups, appended by number in
// file order to a result_lines while the walk goes on.
//
// The walk reads the index and the file's bytes only, never the parsed
// window, so it may run on a thread of its own beside the file's jobs.  It
// goes in steps of at most kStepLines lines, each under a short view of the
// index, so a head-first index thread goes on adding lines meanwhile; lines
// added while the walk runs are walked too, until the index thread has
// ended.  A tail-first index still growing towards the file's start shifts
// every line number, so the index thread is held for the whole walk then.
//
// A find uses the byte pre-scan of find in file: the bytes are scanned for
// the required literal (or the start of a regular expression's matches),
// and only the lines that hold it are converted, split and tested.  A filter
// splits and tests every line: a group passes a row that lacks its cell, so
// no text of a condition is certain to be in a passing line.  The result is
// that of splitting and testing every line:
//   find:   line_matches on the line split with every column as text,
//   filter: prepared_groups::RowPasses on the line split with the parser,
// a line being read, converted and split as log_file::for_each_line does
// (a line that cannot be read is no result).
//
// A step longer than a chunk is cut into chunks of whole lines that the
// caller and helper threads walk at once (search/chunk_workers.h); each
// chunk's results are kept apart and appended, in file order, by the
// caller as soon as every chunk before it is done.
//
// Thread-safety: one walk serves one thread; the callbacks run on it.
#pragma once

#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "search/result_lines.h"
#include "search/search_info.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What a whole-file result looks for.
struct results_query {
    enum class kind { find, filter };
    kind what = kind::find;
    // find: expression holds the search text (the converted pattern of a
    // wildcard) and regexp is set for wildcards too, as for find in file.
    CSearchInfo search;
    log_filter_groups groups; // filter
};

struct results_counts {
    bool literal_scan = false; // the bytes were scanned for a required literal
    bool start_scan = false;   // or for the start of the matches
    uint64_t bytes_scanned = 0;
    uint64_t candidate_lines = 0; // lines handed on by the scan
    uint64_t lines_split = 0;     // of those, lines split and tested
};

struct results_options {
    // The first line to walk (lines before it were walked before: the
    // results of appended lines go on from here).
    uint64_t first_line = 0;
    // Asked between reads of the scan; true stops the walk.  What was found
    // stays, in order.
    std::function<bool()> cancelled;
    // Told after each read: the file offset the walk has reached and the
    // file's size then.
    std::function<void(int64_t offset, int64_t size)> progress;
    // false: every line is split and tested (the reference for the scan).
    bool literal_scan = true;
    std::size_t scan_chunk_size = 0; // the scan's reads (0: its default); small values are for tests
    // Lines per step under one view of the index (0: kStepLines).
    uint64_t step_lines = 0;
    // The threads that walk a step's lines, the caller's included (0: one
    // per hardware thread; 1: the caller alone), and the bytes of the
    // chunks they take in turn (0: chunk_workers::kChunkBytes; small values
    // are for tests).  The results are those of one thread, in file order.
    unsigned workers = 0;
    uint64_t chunk_bytes = 0;
    // Whether to wait for the index thread to add lines at the end (a
    // head-first index); false walks the lines indexed when each step starts
    // and ends at the last of them.
    bool wait_for_index = true;
    results_counts* counts = nullptr;
};

enum class results_ending {
    done,       // every indexed line was walked
    cancelled,  // stopped by the cancel; next_line tells where
    unreadable, // a read of the scan came up short (the file shrank)
    invalid,    // nothing to look for: an empty expression, no group, or a parser without items
};

struct results_outcome {
    results_ending ending = results_ending::done;
    // The line the walk would go on from: the number of lines walked from 0.
    uint64_t next_line = 0;
};

inline constexpr uint64_t kStepLines = 262144;

// Walks file from options.first_line and appends to out the number of every
// line that matches query (parser splits the lines into columns).  out is
// only appended to: numbers already in it must be smaller than first_line.
results_outcome whole_file_results(log_file& file, const log_pattern_list& parser, const results_query& query,
                                   result_lines& out, const results_options& options);
