// One open log file: its handle and encoding, composed with the parts that
// do the rest, each with one job:
//   rotation_check  whether the file is still the one its path names;
//   line_indexer    the line index, its scans and the index thread;
//   parsed_window   the window's parsed lines, its filter lists and the
//                   window rule;
//   window_bounds    the window's line numbers under the window lock;
//   line_discard    deleting discarded lines on threads of their own.
#pragma once

#include "logfile/file_access.h"
#include "logfile/index_control.h"
#include "logfile/line_discard.h"
#include "logfile/line_index.h"
#include "logfile/line_indexer.h"
#include "logfile/line_text.h"
#include "logfile/parsed_window.h"
#include "logfile/primitives.h"
#include "logfile/rotation_check.h"
#include "logfile/unpack.h"
#include "logfile/window_bounds.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class log_filter_groups;

// Thread-safety: every piece of shared state is reached through a view that
// holds its lock (the index), through operations that take the lock they need
// (the file handle, the window numbers), or under the window rule (the
// window's lines and lists, see parsed_window.h).
class log_file : private line_source {
public:
    // The parsed window as the interface thread reads it, under the window
    // rule, for the reader's life.  Lines are in file order; the filtered and
    // quick lists point into them.
    using window_reader = parsed_window::reader;

    // The window's first and last line numbers, -1 when none, read together
    // with the number of indexed lines.
    struct window_numbers {
        int64_t first = -1;
        int64_t last = -1;
        uint64_t line_count = 0;
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
    bool is_open() override;

    // Reads the byte-order mark, else guesses UTF-8 or ANSI from the first
    // bytes (logfile/content_sniff.h); false only when no file is open.
    bool detect_encoding();
    // 2 for UCS-2, 3 for UTF-8 with BOM, 0 otherwise.
    int bom_length() const override;
    int32_t encoding() const override { return m_encoding.load(); }
    bool has_bom() const { return m_has_bom.load(); }
    // The first bytes hold zero bytes outside UTF-16 text, or mostly bytes
    // that are not text (see logfile/content_sniff.h).
    bool looks_binary() const { return m_binary.load(); }
    // The status bar's switch: only between ENCODING_ANSI and ENCODING_UTF8,
    // only for a file without BOM.  The index stays valid.
    bool set_encoding(int32_t encoding);
    int64_t file_size() const override { return m_file_size.load(); }
    // A file packed with gzip or zstd (told by its first bytes) is read
    // through a plain copy in the cache folder, decoded a step before each
    // pass of the index thread and at each refresh; it opens head first
    // whatever tail_first says.  none for a plain file.
    packing packed_as() const { return m_packed.load(); }
    // How the copy stands after its last step; none for a plain file.
    unpack_note unpack_status() const;
    bool tail_mode() const { return m_indexer.tail_mode(); }

    // "\r\n", "\r" or "\n" as found after the first indexed line; none with
    // no line or unknown encoding, or when reading fails.  Computed once.
    std::optional<std::u16string> line_end();
    // The text of line n, cut to 100 characters plus "..." when longer;
    // false when n is not indexed or the line cannot be read.
    bool line_preview(uint64_t n, std::u16string& text);

    // A shared view of the line index for the view's life (see line_index).
    line_index::reader read_index() const { return m_indexer.index().read(); }
    uint64_t line_count() const { return m_indexer.index().line_count(); }
    int64_t first_slot() const { return m_indexer.index().first_slot(); }

    // Lines added, or -1 when no file is open.  start/end -1 continue from
    // what is indexed; limit 0 means no limit.
    int64_t index_forward(int64_t start, uint64_t limit) { return m_indexer.index_forward(start, limit); }
    int64_t index_backward(int64_t end, uint64_t limit) { return m_indexer.index_backward(end, limit); }
    // One pass of the index thread: at most 10000 lines; -1 when not open.
    int64_t index_more() { return m_indexer.index_more(); }

    // Lines appended since the last look; 0 when nothing was added or the
    // index thread still runs; -1 when not open or the size cannot be told.
    int64_t refresh() { return m_indexer.refresh(); }

    // What became of the file since it was opened, as far as appending
    // cannot explain it (see rotation_check).  refresh() only ever appends,
    // so a caller that follows a log asks this first and reopens the file
    // when it is not none.
    using file_change = ::file_change;
    // path is the name the file was opened by.  While path names nothing
    // (a rotation between rename and re-create) the open file is still
    // followed: none.  A path that will not convert, or a file whose size
    // or first bytes cannot be read, is unchecked unless what could be
    // compared already differs.  Not open: none (refresh reports -1).
    file_change check_change(const std::u16string& path);

    // The most bytes from the start of the file that check_change compares.
    static constexpr std::size_t kHeadBytes = rotation_check::kHeadBytes;
    // The most bytes before the last indexed line end that it compares.
    static constexpr std::size_t kMarkBytes = rotation_check::kMarkBytes;

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
    using parse_counts = ::parse_counts;
    parse_counts last_parse_counts() const { return m_bounds.counts(); }

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
    int64_t apply_filter(const log_pattern_list& parser, const log_filter_groups& groups)
    {
        return m_window.apply_filter(parser, groups);
    }
    // Sets the quick filter (a wildcard when wildcard, else a contain
    // condition; never case-sensitive) and rebuilds the quick list from the
    // filtered list while a filter is applied, else from the whole window.
    // An empty text clears the quick filter and the list.  Returns the size
    // of the quick list.  Runs on the thread of the file's jobs.
    std::size_t apply_quick_filter(bool wildcard, std::u16string_view text)
    {
        return m_window.apply_quick_filter(wildcard, text);
    }
    // Takes the filter out of force: the filtered list is emptied and later
    // windows and quick filters work on every line of the window again.  The
    // groups stay as the last filter's.  Runs while no job of the file runs.
    void reset_filter() { m_window.reset_filter(); }

    // The index thread: started by the open job after the first window was
    // parsed, held around later window parses (see index_control).
    index_control& indexer() { return m_indexer.control(); }
    bool start_indexer() { return m_indexer.control().start(); }

    // Reads up to length bytes at offset under the file lock: bytes read, or
    // -1 when not open or the read failed.
    int64_t read_bytes(int64_t offset, void* buffer, std::size_t length) override;
    // Line bytes to text by the current encoding (see line_bytes_to_text).
    bool bytes_to_text(const char* bytes, std::size_t length, std::u16string& out) const
    {
        return line_bytes_to_text(encoding(), bytes, length, out);
    }

    // First and last line numbers of the parsed window, -1 when none, read
    // and set under the window lock.
    void window(int64_t& first, int64_t& last) const { m_bounds.get(first, last); }
    void set_window(int64_t first, int64_t last) { m_bounds.set(first, last); }
    // The window numbers and the line count under the window lock (taken
    // before the index lock, as the backward scan does).
    window_numbers read_window_numbers() const;

    // The parsed window under the window rule.
    window_reader read_window() const { return window_reader(m_window); }

    // The process-wide deletion lock: held while discarded lines are deleted.
    // The shell takes and releases it at exit so that a deletion in progress
    // ends first.
    static native_lock& deletion_lock() { return line_discard::deletion_lock(); }
    // Waits until every deleting thread started so far has finished (0), or
    // the time ran out (1).  Negative waits without limit.
    static int wait_for_discards(int milliseconds) { return line_discard::wait(milliseconds); }
    // Number of deleting threads that have not finished yet.
    static int pending_discards() { return line_discard::pending(); }

    static constexpr std::size_t kReadBufferSize = line_indexer::kReadBufferSize;
    // Packed bytes decoded in one step of a packed file's copy.
    static constexpr std::size_t kUnpackStep = 1u << 20;
    static constexpr uint64_t kPassLines = line_indexer::kPassLines;

private:
    friend struct log_file_test_access; // tests only

    // One window parse: the index's shared lock for the parse's whole life
    // and the window rule's writer mark.  Made only under a hold of the index
    // thread (parse_range).
    class window_parse {
    public:
        explicit window_parse(log_file& file) : m_index(file.m_indexer.index()), m_write(file.m_window) {}
        window_parse(const window_parse&) = delete;
        window_parse& operator=(const window_parse&) = delete;

        const line_index::reader& index() const { return m_index; }

    private:
        line_index::reader m_index;
        parsed_window::writer m_write;
    };

    int note_new_size() override;
    bool unpack_more() override;
    // Makes the plain copy of the packed file at path (native) and opens it
    // in place of the packed one, with the first bytes decoded; its size
    // goes to size.  False when the copy cannot be made.
    bool open_unpacked(const std::string& path, packing kind, int64_t& size);

    // Locks, always taken in this order when nested (a hold of the index
    // thread, index_control, goes before all of them):
    //   window lock -> index lock   (backward scan: prepending shifts the
    //                                window, window_bounds::prepend)
    //   index lock  -> window lock  (window parse; never while the index
    //                                thread runs unpaused, so the two orders
    //                                never meet)
    //   index lock  -> file lock    (every pread of the file is under the
    //                                file lock)
    //   file lock   -> unpack lock  (a packed file's copy, taken last)
    // The window lock is m_bounds's, the index lock m_indexer.index()'s, the
    // file lock this one.  The window's lines and lists have no lock: the
    // window rule (parsed_window.h).
    mutable native_lock m_file_lock;
    read_only_file m_file;                // under the file lock
    std::u16string m_line_end;            // under the file lock
    rotation_check m_rotation;            // under the file lock
    std::atomic<int64_t> m_file_size{0};
    std::atomic<bool> m_has_bom{false};
    std::atomic<bool> m_binary{false};
    std::atomic<int32_t> m_encoding{ENCODING_UNKNOWN};
    window_bounds m_bounds;
    parsed_window m_window;
    line_indexer m_indexer{*this, m_bounds};
    // The plain copy of a packed file, under its own lock (taken last).
    std::unique_ptr<unpacked_copy> m_unpacked;
    mutable native_lock m_unpack_lock;
    std::atomic<packing> m_packed{packing::none};
};
