// The byte pre-scan of find in file: reads a stretch of a file's bytes in
// large chunks, finds in them the search's needle (its required literal) or
// the bytes its matches begin with, and hands on each indexed line that
// holds them; and the test that decides whether such a line would be a
// matching row of the view.
//
// Thread-safety: both serve one search on one thread.
#pragma once

#include "filter/filter_run.h"
#include "logfile/log_file.h"
#include "search/byte_finder.h"
#include "search/line_positions.h"
#include "search/search_info.h"
#include "search/search_literal.h"
#include "search/search_start.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Which lines of a window the view shows.
enum class row_source { all_lines, filtered_lines, quick_lines };

// Bytes of the file read by the scan, at file position offset.
struct file_chunk {
    const char* data = nullptr;
    int64_t offset = 0;
    std::size_t size = 0;
};

// A cache line of its own: the scans of the workers of one walk count their
// bytes and candidates at once.
class alignas(64) literal_scan {
public:
    static constexpr std::size_t kChunkSize = 4u * 1024u * 1024u;

    enum class ending { done, stopped, unreadable };

    // Without a needle every line is handed on.  chunk_size (at least 1) is
    // the most bytes one read covers (with a needle: of needle starts);
    // small values are for tests.
    literal_scan(log_file& file, const search_needle* needle, std::size_t chunk_size = kChunkSize);
    // The same for the start of a regular expression (none: every line).
    literal_scan(log_file& file, const search_start* start, std::size_t chunk_size = kChunkSize);
    // The same for any scanner of units of unit bytes (null: every line).
    literal_scan(log_file& file, std::unique_ptr<byte_scanner> finder, int unit, std::size_t chunk_size);

    // Each indexed line of lines first to last that holds the needle (each
    // one without a needle), once, in file order or backwards (upwards).
    // on_line returns false to stop; after each chunk read, between returns
    // false to stop.  done when every line was seen, stopped when a callback
    // stopped the scan, unreadable when a read of the needle scan came up
    // short (the rest is then not scanned; without a needle a line that
    // cannot be read is passed over).
    ending scan(const line_positions& lines, uint64_t first, uint64_t last, bool upwards,
                const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                const std::function<bool()>& between);

    uint64_t bytes_scanned() const { return m_bytes; }
    uint64_t candidate_lines() const { return m_candidates; }

private:
    ending scan_bytes(const line_positions& lines, int64_t from, int64_t to, bool upwards,
                      const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                      const std::function<bool()>& between);
    ending scan_lines(const line_positions& lines, uint64_t first, uint64_t last, bool upwards,
                      const std::function<bool(const indexed_line&, const file_chunk&)>& on_line,
                      const std::function<bool()>& between);
    char* buffer();

    log_file& m_file;
    std::unique_ptr<byte_scanner> m_finder; // null: every line
    std::size_t m_unit;
    std::size_t m_chunk_size;
    std::unique_ptr<char[]> m_buffer;
    std::vector<std::size_t> m_hits;
    uint64_t m_bytes = 0;
    uint64_t m_candidates = 0;
};

// Whether a line would be a matching row: its text holds the needle's
// literal (when there is a needle) and characters that fit the start of the
// search's matches (when it has one), it is a row of the view (by the
// file's filters, as parse_range would judge it), and search matches it.
// Lines are read, converted and split as parse_range does, into a scratch
// line.
class alignas(64) candidate_check {
public:
    candidate_check(log_file& file, const log_pattern_list& parser, const search_needle* needle,
                    const search_start* start, row_source source, search_matcher& matcher, int32_t column);

    bool is_hit(const indexed_line& line, const file_chunk& chunk);
    uint64_t lines_split() const { return m_split; }

private:
    // Whether the split line is a row of the view.
    bool in_row_source(const log_line& line);

    log_file& m_file;
    const log_pattern_list& m_parser;
    log_pattern_list m_text_parser; // the parser with every column as text: same columns, no typing
    std::u16string m_literal;       // lower-cased when it folds; empty: no needle
    bool m_literal_folds;
    const CStartClassesT* m_start; // null: none
    row_source m_source;
    bool m_groups_in_force;
    bool m_quick_in_force;
    std::unique_ptr<prepared_groups> m_groups;
    std::unique_ptr<prepared_condition> m_quick;
    search_matcher& m_matcher;
    int32_t m_column;
    int32_t m_encoding;
    std::string m_bytes;
    std::u16string m_text;
    log_line m_line;
    uint64_t m_split = 0;
};
