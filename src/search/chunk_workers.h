// The threads that scan the chunks of a stretch of lines beside the calling
// thread, and the cut of a stretch into chunks on line boundaries.
//
// A walk cuts the lines it is about to scan into chunks of about
// chunk_bytes bytes each (whole lines; a line longer than that is a chunk
// of its own) and hands the chunk numbers out in order, to the caller and
// to the helper threads alike, each taking the next number when it is done
// with one.  The caller alone talks to the walk's owner (cancel, progress,
// results): between its own chunks and, once none is left, while it waits
// for the helpers' last ones.
//
//        caller (worker 0)          helper 1 .. n
//   run ──┬─ chunk 0 ─ between ─┐    chunk 1 ─ chunk 3 ─ ...
//         ├─ chunk 2 ─ between ─┤    (take numbers while any is left
//         └─ wait ─ between ... ┘     below the limit)
//
// A limit makes the numbers from it on be passed over (a hit in an earlier
// chunk, or a cancel); a chunk being scanned looks at it between its reads.
//
// Thread-safety: run belongs to the thread that made the workers; the task
// runs on every worker thread at once, on different chunk numbers, and
// must keep what it changes per worker or per chunk.  limit and passed may
// be called from any thread.
#pragma once

#include "search/line_positions.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The lines first to last of a chunk.
struct line_chunk {
    uint64_t first = 0;
    uint64_t last = 0;
};

// Lines first to last (indexed, first <= last) cut into chunks in file
// order: each starts with the line after the last of the one before, and
// holds the lines that start less than chunk_bytes (at least 1) after its
// first line's start, at least one.
std::vector<line_chunk> cut_into_chunks(const line_positions& lines, uint64_t first, uint64_t last,
                                        uint64_t chunk_bytes);

class chunk_workers {
public:
    // The bytes of a chunk when the walk does not say.
    static constexpr uint64_t kChunkBytes = 1024u * 1024u;

    // The workers a walk asking for workers gets: 0 asks for one per
    // hardware thread (at most kMostWorkers), 1 for the caller alone.
    static constexpr unsigned kMostWorkers = 4;
    static unsigned resolve(unsigned workers);

    // workers threads in all, the caller included (at least 1); the helpers
    // start at the first run that has more than one chunk.
    explicit chunk_workers(unsigned workers);
    ~chunk_workers();
    chunk_workers(const chunk_workers&) = delete;
    chunk_workers& operator=(const chunk_workers&) = delete;

    unsigned workers() const { return m_workers; }

    using task_function = std::function<void(unsigned worker, std::size_t chunk)>;

    // Runs task(worker, k) once for every k of [0, count) below the limit,
    // numbers handed out in order; the caller is worker 0.  between runs on
    // the caller after each of its chunks and, while it waits for the
    // helpers, at least every kWaitStepMs.  Returns once no chunk is being
    // run.  The limit starts at count.
    void run(std::size_t count, const task_function& task, const std::function<void()>& between);

    // Chunks numbered limit and later are passed over from now on.
    void limit(std::size_t chunk);
    // Whether chunk is at or past the limit (its task may stop).
    bool passed(std::size_t chunk) const { return chunk >= m_limit.load(std::memory_order_acquire); }

    static constexpr int kWaitStepMs = 20;

private:
    void start_helpers();
    void helper(unsigned worker);
    // Takes and runs chunks while any is left below the limit.
    void take_chunks(unsigned worker);

    const unsigned m_workers;
    std::vector<std::thread> m_helpers;

    std::mutex m_lock;
    std::condition_variable m_wake; // a run began, or the helpers are to end
    std::condition_variable m_idle; // a helper finished its part of a run
    uint64_t m_run = 0;             // runs begun
    unsigned m_busy = 0;            // helpers still in the current run
    bool m_quit = false;
    const task_function* m_task = nullptr;
    std::size_t m_count = 0;

    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_limit{0};
};
