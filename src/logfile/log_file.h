// One open log file: its handle and encoding, the index of its lines, the
// parsed window and the background thread that extends the index.
//
// Locks, always taken in this order when nested:
//   window lock -> index lock   (backward scan: prepending shifts the window)
//   index lock  -> window lock  (window parse; never while the index thread
//                                runs unpaused, so the two orders never meet)
//   index lock  -> file lock    (every pread of the file is under the file lock)
#pragma once

#include "logfile/file_access.h"
#include "logfile/index_control.h"
#include "logfile/line_index.h"
#include "logfile/line_text.h"
#include "logfile/primitives.h"
#include "logfile/unpack.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class log_file;
class log_filter;
class log_filter_groups;
struct window_filters;

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
    // Present in every build, so that the layout of log_file does not depend
    // on NDEBUG; only debug builds assert on them.
    mutable std::atomic<int> m_readers{0};
    mutable std::atomic<int> m_writers{0};
};

// Thread-safety: every piece of shared state is reached through a view that
// holds its lock (the index), through operations that take the lock they need
// (the file handle, the window numbers), or under the window rule above (the
// window's lines and lists).
class log_file : private std::vector<log_line*> {
public:
    // The parsed window as the interface thread reads it, under the window
    // rule, for the reader's life.  Lines are in file order; the filtered and
    // quick lists point into them.
    class window_reader {
    public:
        explicit window_reader(const log_file& file) : m_file(file) { m_file.m_window_rule.begin_read(); }
        ~window_reader() { m_file.m_window_rule.end_read(); }
        window_reader(const window_reader&) = delete;
        window_reader& operator=(const window_reader&) = delete;

        const std::vector<log_line*>& lines() const { return m_file; }
        const std::vector<log_line*>& filtered_lines() const { return m_file.m_filtered_lines; }
        const std::vector<log_line*>& quick_lines() const { return m_file.m_quick_lines; }
        bool filter_applied() const { return m_file.m_filter_applied; }
        // The groups of the last apply_filter, and the quick filter.
        const log_filter_groups& filter_groups() const;
        const log_filter& quick_filter() const;

    private:
        const log_file& m_file;
    };

    // The window's first and last line numbers, -1 when none, read together
    // with the number of indexed lines.
    struct window_numbers {
        int64_t first = -1;
        int64_t last = -1;
        uint64_t line_count = 0;
    };

    // Deletes a batch of discarded lines under the process-wide deletion
    // lock, then destroys itself.  Its argument is a heap vector of lines.
    class autodelete_thread : public native_thread {
    public:
        autodelete_thread();
        ~autodelete_thread() override;
        unsigned run(void* argument) override;
    };

    log_file();
    virtual ~log_file();
    log_file(const log_file&) = delete;
    log_file& operator=(const log_file&) = delete;

    // Opens path for reading and indexes at most max_lines lines (0: no
    // limit) from the head, or from the tail when tail_first.  False for a
    // null or empty path, an unreadable path, a folder, a size that cannot be
    // told or a failed index; the file is then closed.  A file shorter than
    // two bytes opens with no lines and ENCODING_UNKNOWN.
    bool open(const char16_t* path, uint64_t max_lines, bool tail_first);
    bool open(const std::u16string& path, uint64_t max_lines, bool tail_first)
    {
        return open(path.c_str(), max_lines, tail_first);
    }
    // Discards the window, stops the index thread, closes the handle and
    // empties the index.  The encoding becomes ENCODING_ANSI.
    void close();
    bool is_open();

    // Reads the byte-order mark, else guesses UTF-8 or ANSI from the first
    // bytes (logfile/content_sniff.h); false only when no file is open.
    bool detect_encoding();
    // 2 for UCS-2, 3 for UTF-8 with BOM, 0 otherwise.
    int bom_length() const;
    int32_t encoding() const { return m_encoding.load(); }
    bool has_bom() const { return m_has_bom.load(); }
    // The first bytes hold zero bytes outside UTF-16 text, or mostly bytes
    // that are not text (see logfile/content_sniff.h).
    bool looks_binary() const { return m_binary.load(); }
    // The status bar's switch: only between ENCODING_ANSI and ENCODING_UTF8,
    // only for a file without BOM.  The index stays valid.
    bool set_encoding(int32_t encoding);
    int64_t file_size() const { return m_file_size.load(); }
    // A file packed with gzip or zstd (told by its first bytes) is read
    // through a plain copy in the cache folder, decoded a step before each
    // pass of the index thread and at each refresh; it opens head first
    // whatever tail_first says.  none for a plain file.
    packing packed_as() const { return m_packed.load(); }
    // How the copy stands after its last step; none for a plain file.
    unpack_note unpack_status() const;
    bool tail_mode() const { return m_tail_mode.load(); }

    // "\r\n", "\r" or "\n" as found after the first indexed line; none with
    // no line or unknown encoding, or when reading fails.  Computed once.
    std::optional<std::u16string> line_end();
    // The text of line n, cut to 100 characters plus "..." when longer;
    // false when n is not indexed or the line cannot be read.
    bool line_preview(uint64_t n, std::u16string& text);

    // A shared view of the line index for the view's life (see line_index).
    line_index::reader read_index() const { return m_index.read(); }
    uint64_t line_count() const { return m_index.line_count(); }
    int64_t first_slot() const { return m_index.first_slot(); }

    // Lines added, or -1 when no file is open.  start/end -1 continue from
    // what is indexed; limit 0 means no limit.
    int64_t index_forward(int64_t start, uint64_t limit);
    int64_t index_backward(int64_t end, uint64_t limit);
    // One pass of the index thread: at most 10000 lines; -1 when not open.
    int64_t index_more();

    // Lines appended since the last look; 0 when nothing was added or the
    // index thread still runs; -1 when not open or the size cannot be told.
    int64_t refresh();

    // What became of the file since it was opened, as far as appending
    // cannot explain it.  refresh() only ever appends, so a caller that
    // follows a log asks this first and reopens the file when it is not
    // none.
    enum class file_change {
        none,      // the same file, at least as long, its first bytes unchanged
        shrank,    // shorter than what was indexed (truncated, maybe regrown since)
        replaced,  // path now names another file (device or inode differ)
        rewritten, // the first bytes seen at opening are no longer there
    };
    // path is the name the file was opened by.  While path names nothing
    // (a rotation between rename and re-create) the open file is still
    // followed: none.  Not open: none as well (refresh reports -1).
    file_change check_change(const std::u16string& path);

private:
    // Remembers the bytes before end (the end of the last indexed line).
    // Call with the file lock held.
    void take_mark(int64_t end);

public:
    // The most bytes from the start of the file that check_change compares.
    static constexpr std::size_t kHeadBytes = 256;
    // The most bytes before the last indexed line end that it compares.
    static constexpr std::size_t kMarkBytes = 64;

    // Hands the window's lines to a deleting thread; empties the window and
    // the filtered and quick lists.
    void discard_lines();

    // Builds the window from line first_line: count lines (0, or not less
    // than the number of indexed lines, means every line to the end of the
    // index), each read, converted, split with parser and typed.  Lines of the
    // old window found again (by file offset) are kept with their columns and
    // verdicts, so only the new lines are read; the filtered and quick lists
    // are rebuilt in file order; what is left of the old window is discarded.
    // Lines that cannot be read, and two-byte lines of odd length, are left
    // out while the window's last number still counts them.  False, and
    // nothing changed, for a parser without items, a file that is not open
    // or a first line that is negative or not indexed.  Runs on the thread of
    // the file's jobs while the index thread is paused or not running; the
    // new lines of a large window are split on that thread and one helper
    // thread of its own, which ends before parse_range returns.  held must
    // hold this file's index thread (false otherwise): a parse never meets
    // the thread's backward scan, which takes the window lock before the
    // index lock while a parse takes them the other way round.
    bool parse_range(const index_hold& held, const log_pattern_list& parser, int64_t first_line, uint64_t count);

    // What the last parse_range did, for diagnostics and tests.
    struct parse_counts {
        uint64_t visited = 0; // index slots visited
        uint64_t reused = 0;  // lines taken over from the old window
        uint64_t reads = 0;   // reads of the file
        uint64_t bytes_read = 0;
        uint64_t converted = 0; // lines converted into wide text
        uint64_t split = 0;     // lines split into columns
    };
    parse_counts last_parse_counts() const;

    // Receives each line of the walk: the split line, its number (from 0),
    // the number of indexed lines and the context; returns false to stop.
    using line_callback = bool (*)(const log_line& line, uint64_t number, uint64_t total, void* context);
    // Decides whether a line of the walk reaches the callback; empty lets
    // every line through.  (The filter groups of an export come this way.)
    using line_test = std::function<bool(const log_line& line)>;

    // Walks every indexed line in file order: reads it (a line that cannot
    // be read, or a two-byte line of odd length, has no text and no
    // columns), splits it with parser into one line object re-used for the
    // whole walk, and hands it to callback when passes lets it through.
    // False, and nothing called, while the index thread runs (the walk needs
    // the complete, quiet index) or without a callback; true otherwise, also
    // when the callback stopped the walk.
    bool for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                       const line_test& passes = {});
    // The same walk letting through only the lines that pass groups (bound to
    // parser's columns, reference values parsed with their formats); null
    // groups or groups without a condition let every line through.
    bool for_each_line(const log_pattern_list& parser, line_callback callback, void* context,
                       const log_filter_groups* groups);

    // Runs groups over the window: the filtered list becomes the lines that
    // pass them and the quick list those that pass the quick filter as well
    // (every filtered line while the quick filter has no text); groups become
    // the file's filter and the filter is applied.  Returns the number of
    // rows to show: the quick list's size when the quick filter has text,
    // else the filtered list's; 0 for an empty window; -1, and nothing
    // changed, when parser has no items or groups no group.  Runs on the
    // thread of the file's jobs (the window rule).
    int64_t apply_filter(const log_pattern_list& parser, const log_filter_groups& groups);
    // Sets the quick filter (a wildcard when wildcard, else a contain
    // condition; never case-sensitive) and rebuilds the quick list from the
    // filtered list while a filter is applied, else from the whole window.
    // An empty text clears the quick filter and the list.  Returns the size
    // of the quick list.  Runs on the thread of the file's jobs.
    std::size_t apply_quick_filter(bool wildcard, std::u16string_view text);
    // Takes the filter out of force: the filtered list is emptied and later
    // windows and quick filters work on every line of the window again.  The
    // groups stay as the last filter's.  Runs while no job of the file runs.
    void reset_filter();

    // The index thread: started by the open job after the first window was
    // parsed, held around later window parses (see index_control).
    index_control& indexer() { return m_indexer; }
    bool start_indexer() { return m_indexer.start(); }

    // Reads up to length bytes at offset under the file lock: bytes read, or
    // -1 when not open or the read failed.
    int64_t read_bytes(int64_t offset, void* buffer, std::size_t length);
    // Line bytes to text by the current encoding (see line_bytes_to_text).
    bool bytes_to_text(const char* bytes, std::size_t length, std::u16string& out) const
    {
        return line_bytes_to_text(encoding(), bytes, length, out);
    }

    // First and last line numbers of the parsed window, -1 when none, read
    // and set under the window lock.
    void window(int64_t& first, int64_t& last) const;
    void set_window(int64_t first, int64_t last);
    // The window numbers and the line count under the window lock (taken
    // before the index lock, as the backward scan does).
    window_numbers read_window_numbers() const;

    // The parsed window under the window rule.
    window_reader read_window() const { return window_reader(*this); }

    // The process-wide deletion lock: held while discarded lines are deleted.
    // The shell takes and releases it at exit so that a deletion in progress
    // ends first.
    static native_lock& deletion_lock();
    // Waits until every deleting thread started so far has finished (0), or
    // the time ran out (1).  Negative waits without limit.
    static int wait_for_discards(int milliseconds);
    // Number of deleting threads that have not finished yet.
    static int pending_discards();

    static constexpr std::size_t kReadBufferSize = 4u * 1024u * 1024u;
    // Packed bytes decoded in one step of a packed file's copy.
    static constexpr std::size_t kUnpackStep = 1u << 20;
    static constexpr uint64_t kPassLines = 10000;

private:
    friend struct log_file_test_access; // tests only

    // Marks a stretch of code that changes the window (see window_rule).
    class window_write {
    public:
        explicit window_write(const log_file& file) : m_rule(file.m_window_rule) { m_rule.begin_write(); }
        ~window_write() { m_rule.end_write(); }
        window_write(const window_write&) = delete;
        window_write& operator=(const window_write&) = delete;

    private:
        const window_rule& m_rule;
    };

    // One window parse: the index's shared lock for the parse's whole life,
    // the window rule's writer mark, and the window lock when the numbers are
    // set.  Made only under a hold of the index thread (parse_range).
    class window_parse {
    public:
        explicit window_parse(log_file& file);
        window_parse(const window_parse&) = delete;
        window_parse& operator=(const window_parse&) = delete;

        const line_index::reader& index() const { return m_index; }
        void set_numbers(int64_t first, int64_t last) { m_file.set_window(first, last); }

    private:
        log_file& m_file;
        line_index::reader m_index;
        window_write m_write;
    };

    void flush_spans(std::vector<line_span>& spans, bool at_end);
    // Makes the plain copy of the packed file at path (native) and opens it
    // in place of the packed one, with the first bytes decoded; its size
    // goes to size.  False when the copy cannot be made.
    bool open_unpacked(const std::string& path, packing kind, int64_t& size);
    // One decode step of the copy: whether it read or wrote anything.
    bool unpack_more();
    // Hands lines to a deleting thread (deleting them here when no thread
    // can be had).  Does not touch the window.
    static void discard_batch(std::vector<log_line*> lines);

    // ---- the filter seam ----------------------------------------------------
    // parse_range rebuilds the filtered and quick lists from these.  The
    // groups are in force while a filter is applied, the quick filter while
    // it has text; bind_window_filters prepares both for parser once per
    // parse (columns bound, reference values parsed, patterns compiled), and
    // the two line tests are RowPasses and AnyCellMatches of those prepared
    // forms.  Reused lines carry their verdicts (their membership of the old
    // lists); the quick list takes a new line only when it passes the groups
    // too while they are in force.
    bool filter_groups_in_force() const;
    bool quick_filter_in_force() const;
    void bind_window_filters(const log_pattern_list& parser);
    bool line_passes_filter_groups(const log_line& line);
    bool line_passes_quick_filter(const log_line& line);
    void release_window_filters();

    // Tests only: verdicts in place of the filters.  A set function puts
    // its filter in force.
    struct verdict_hook {
        std::function<bool(const log_line&)> groups;
        std::function<bool(const log_line&)> quick;
    };

    read_only_file m_file;
    mutable native_lock m_file_lock;
    std::atomic<int64_t> m_file_size{0};
    std::atomic<bool> m_has_bom{false};
    std::atomic<bool> m_binary{false};
    std::atomic<int32_t> m_encoding{ENCODING_UNKNOWN};
    line_index m_index;
    std::atomic<bool> m_tail_mode{false};
    // The plain copy of a packed file, under its own lock (taken last).
    std::unique_ptr<unpacked_copy> m_unpacked;
    mutable native_lock m_unpack_lock;
    std::atomic<packing> m_packed{packing::none};
    std::u16string m_line_end; // under the file lock
    std::string m_head;        // the first bytes of the file (at most kHeadBytes), under the file lock
    // The bytes that ended the last indexed line when check_change (or open)
    // last looked, and where they ended: a file refilled past its old size
    // behind unchanged first bytes no longer has them there.  Under the file lock.
    std::string m_mark;
    int64_t m_mark_end = -1;
    int64_t m_window_first = -1;
    int64_t m_window_last = -1;
    mutable native_lock m_window_lock;
    window_rule m_window_rule;
    bool m_filter_applied = false;
    std::vector<log_line*> m_filtered_lines;
    std::vector<log_line*> m_quick_lines;
    verdict_hook m_verdict_hook;
    // The filter groups, the quick filter, and their prepared forms during a
    // parse (logfile/window_filters.h).
    std::unique_ptr<window_filters> m_filters;
    parse_counts m_parse_counts; // under the window lock
    // The index thread and the holds on it; close() ends the thread, so that
    // a file opened again is indexed again by a fresh one.
    index_control m_indexer{*this};
};
