// The parsed window of a log file: the lines it owns, in file order, split
// into columns; the filtered and quick lists that point into them; the
// filter groups and the quick filter they follow; and the rule of who may
// touch them.
#pragma once

#include "logfile/line_discard.h"
#include "logfile/line_index.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class line_source;
class log_filter;
class log_filter_groups;
class window_bounds;
struct parse_counts;
struct window_filters;

// The data formats of parser's columns, in column order.
std::vector<tagDATA_FORMAT> column_formats(const log_pattern_list& parser);

// Who may touch a parsed window: its lines and its filtered and quick lists.
// No lock guards them.  They are written only by the thread that runs the
// file's jobs (the work thread; the interface thread for the parser check,
// while the work thread waits for its answer), and read by the interface
// thread only while no job of the file runs.  Debug builds check the rule:
// a writer is alone, and readers never meet a writer.
class window_rule {
public:
    void begin_read() const;
    void end_read() const;
    void begin_write() const;
    void end_write() const;

private:
    // Present in every build, so that the layout of the window does not
    // depend on NDEBUG; only debug builds assert on them.
    mutable std::atomic<int> m_readers{0};
    mutable std::atomic<int> m_writers{0};
};

// The questions a window parse asks of each new line: whether the filter
// groups and the quick filter are in force, and whether the line passes
// them.  bind prepares them for a parser once per parse, release drops what
// bind prepared.
class line_verdicts {
public:
    virtual ~line_verdicts() = default;
    virtual bool groups_in_force() const = 0;
    virtual bool quick_in_force() const = 0;
    virtual void bind(const log_pattern_list& parser) = 0;
    virtual bool passes_groups(const log_line& line) = 0;
    virtual bool passes_quick(const log_line& line) = 0;
    virtual void release() = 0;
};

class parsed_window {
public:
    // The window as the interface thread reads it, under the window rule, for
    // the reader's life.
    class reader {
    public:
        explicit reader(const parsed_window& window) : m_window(window) { m_window.m_rule.begin_read(); }
        ~reader() { m_window.m_rule.end_read(); }
        reader(const reader&) = delete;
        reader& operator=(const reader&) = delete;

        const std::vector<log_line*>& lines() const { return m_window.m_lines.lines(); }
        const std::vector<log_line*>& filtered_lines() const { return m_window.m_filtered_lines; }
        const std::vector<log_line*>& quick_lines() const { return m_window.m_quick_lines; }
        bool filter_applied() const { return m_window.m_filter_applied; }
        // The groups of the last apply_filter, and the quick filter.
        const log_filter_groups& filter_groups() const;
        const log_filter& quick_filter() const;

    private:
        const parsed_window& m_window;
    };

    // Marks a stretch of code that changes the window (see window_rule).
    class writer {
    public:
        explicit writer(const parsed_window& window) : m_rule(window.m_rule) { m_rule.begin_write(); }
        ~writer() { m_rule.end_write(); }
        writer(const writer&) = delete;
        writer& operator=(const writer&) = delete;

    private:
        const window_rule& m_rule;
    };

    parsed_window();
    ~parsed_window();
    parsed_window(const parsed_window&) = delete;
    parsed_window& operator=(const parsed_window&) = delete;

    // Builds the window from the line first_line of index (which must hold
    // it): see log_file::parse_range.  The caller holds a writer.
    bool parse(const line_index::reader& index, line_source& source, const log_pattern_list& parser, int64_t first_line,
               uint64_t count, window_bounds& bounds);

    // See log_file: apply_filter, apply_quick_filter, reset_filter.
    int64_t apply_filter(const log_pattern_list& parser, const log_filter_groups& groups);
    std::size_t apply_quick_filter(bool wildcard, std::u16string_view text);
    void reset_filter();

    // Hands the lines to line_discard; empties the window and the lists.
    void discard();

private:
    friend struct log_file_test_access; // tests reach the lists and the verdicts

    owned_lines m_lines;
    // Where new lines are cut from: kept across parses, so that a window
    // that moves fills its slabs (parser/line_slab.h).
    line_arena m_arena;
    // The same for the second thread of a parse that shares its lines: a
    // block of its own, on no cache line that the parsing thread writes.
    std::unique_ptr<line_arena> m_helper_arena = std::make_unique<line_arena>();
    std::vector<log_line*> m_filtered_lines; // point into m_lines
    std::vector<log_line*> m_quick_lines;
    bool m_filter_applied = false;
    // The filter groups, the quick filter, and their prepared forms during a
    // parse (logfile/window_filters.h).
    std::unique_ptr<window_filters> m_filters;
    // What parse asks of new lines: the filters above.  Reused lines carry
    // their verdicts (their membership of the old lists); the quick list
    // takes a new line only when it passes the groups too while they are in
    // force.
    std::unique_ptr<line_verdicts> m_verdicts;
    // The column formats every line of the window was split with; none when
    // the lines were split with different formats (a parse that reused lines
    // of an earlier parser).  A filter run takes the lines' typed values
    // only for these formats.
    std::optional<std::vector<tagDATA_FORMAT>> m_split_formats{std::in_place};
    window_rule m_rule;
};
