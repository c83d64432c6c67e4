// The scanning part of a log file: its line index, the scans that extend it
// forwards and (tail first) backwards, refresh after appends, and the index
// thread that goes on in the background.
#pragma once

#include "logfile/index_control.h"
#include "logfile/line_index.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class window_bounds;

// What a scan reads: the open file's bytes and text encoding.
class line_source {
public:
    virtual bool is_open() = 0;
    // Up to length bytes at offset: bytes read, or -1 when not open or the
    // read failed.
    virtual int64_t read_bytes(int64_t offset, void* buffer, std::size_t length) = 0;
    virtual int32_t encoding() const = 0;
    virtual int bom_length() const = 0;
    // The size the index has seen.
    virtual int64_t file_size() const = 0;
    // Looks at the size now and notes it as the size seen when it differs,
    // guessing the encoding again while it is unknown: 1 when there may be
    // new bytes to scan, 0 when the size is the same or the encoding is still
    // unknown, -1 when the size cannot be told.
    virtual int note_new_size() = 0;
    // A packed file's plain copy decodes one more step: whether it read or
    // wrote anything (false at once for a plain file).
    virtual bool unpack_more() = 0;

protected:
    ~line_source() = default;
};

// Thread-safety: the scans run on the open job's thread, the index thread
// and (refresh) the interface thread, never two at once: the index thread
// runs only while no token holds it, and the others hold it or run before it
// starts.  The index is reached through its lock-holding views.
class line_indexer {
public:
    // Lines prepended by a backward scan move the numbers in bounds with them.
    line_indexer(line_source& source, window_bounds& bounds) : m_source(source), m_bounds(bounds) {}
    line_indexer(const line_indexer&) = delete;
    line_indexer& operator=(const line_indexer&) = delete;

    line_index& index() { return m_index; }
    const line_index& index() const { return m_index; }
    index_control& control() { return m_control; }

    // Lines added, or -1 when the file is not open.  start/end -1 continue
    // from what is indexed; limit 0 means no limit.
    int64_t index_forward(int64_t start, uint64_t limit);
    int64_t index_backward(int64_t end, uint64_t limit);
    // One pass of the index thread: at most kPassLines lines, backwards in
    // tail mode; -1 when not open.
    int64_t index_more();
    // Lines appended since the last look; 0 when nothing was added or the
    // index thread still runs; -1 when not open or the size cannot be told.
    int64_t refresh();

    bool tail_mode() const { return m_tail_mode.load(); }
    void set_tail_mode(bool tail) { m_tail_mode = tail; }

    static constexpr std::size_t kReadBufferSize = 4u * 1024u * 1024u;
    static constexpr uint64_t kPassLines = 10000;

private:
    // The buffers of one scan, kept from pass to pass of the index thread:
    // fresh memory for every pass cost a page fault for every 4 KB read.
    struct scan_buffers {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::unique_ptr<uint64_t[]> masks;
        std::vector<line_span> spans;
    };
    // The buffers with room for read_size bytes.
    scan_buffers& buffers(std::size_t read_size);
    void release_buffers() { m_buffers = scan_buffers(); }
    int64_t scan_forward(int64_t start, uint64_t limit);
    int64_t scan_backward(int64_t end, uint64_t limit);
    void flush_spans(std::vector<line_span>& spans, bool at_end);

    line_source& m_source;
    window_bounds& m_bounds;
    line_index m_index;
    std::atomic<bool> m_tail_mode{false};
    scan_buffers m_buffers; // used by the one scan that runs
    // The index thread and the holds on it; clear() ends the thread, so that
    // a file opened again is indexed again by a fresh one.
    index_control m_control{*this};
};
