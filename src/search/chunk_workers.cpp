#include "search/chunk_workers.h"

#include <algorithm>
#include <chrono>

std::vector<line_chunk> cut_into_chunks(const line_positions& lines, uint64_t first, uint64_t last,
                                        uint64_t chunk_bytes)
{
    std::vector<line_chunk> chunks;
    const auto step = static_cast<int64_t>(std::max<uint64_t>(chunk_bytes, 1));
    indexed_line start;
    for (uint64_t n = first; n <= last;) {
        if (!lines.line(n, start))
            break;
        // The last line that starts before start + step.
        uint64_t end = n;
        uint64_t before = n;
        if (lines.last_line_from(start.offset + step - 1, before))
            end = std::max(before, n);
        end = std::min(end, last);
        chunks.push_back({n, end});
        n = end + 1;
    }
    return chunks;
}

unsigned chunk_workers::resolve(unsigned workers)
{
    if (workers == 0) {
        const unsigned hardware = std::thread::hardware_concurrency();
        workers = hardware == 0 ? 1 : hardware;
    }
    return std::clamp(workers, 1u, kMostWorkers);
}

chunk_workers::chunk_workers(unsigned workers) : m_workers(std::max(workers, 1u))
{}

chunk_workers::~chunk_workers()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_helpers)
        t.join();
}

void chunk_workers::start_helpers()
{
    if (!m_helpers.empty() || m_workers < 2)
        return;
    m_helpers.reserve(m_workers - 1);
    for (unsigned w = 1; w < m_workers; ++w)
        m_helpers.emplace_back(&chunk_workers::helper, this, w);
}

void chunk_workers::limit(std::size_t chunk)
{
    std::size_t now = m_limit.load(std::memory_order_acquire);
    while (chunk < now && !m_limit.compare_exchange_weak(now, chunk, std::memory_order_acq_rel)) {}
}

void chunk_workers::take_chunks(unsigned worker)
{
    for (;;) {
        const std::size_t k = m_next.fetch_add(1, std::memory_order_acq_rel);
        if (k >= m_count || passed(k))
            return;
        (*m_task)(worker, k);
    }
}

void chunk_workers::helper(unsigned worker)
{
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [&] { return m_quit || m_run != seen; });
            if (m_quit)
                return;
            seen = m_run;
        }
        take_chunks(worker);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            --m_busy;
        }
        m_idle.notify_one();
    }
}

void chunk_workers::run(std::size_t count, const task_function& task, const std::function<void()>& between)
{
    m_limit.store(count, std::memory_order_release);
    m_next.store(0, std::memory_order_release);
    const bool helped = count > 1 && m_workers > 1;
    if (helped) {
        start_helpers();
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_task = &task;
            m_count = count;
            m_busy = static_cast<unsigned>(m_helpers.size());
            ++m_run;
        }
        m_wake.notify_all();
    } else {
        m_task = &task;
        m_count = count;
    }
    for (;;) {
        const std::size_t k = m_next.fetch_add(1, std::memory_order_acq_rel);
        if (k >= count || passed(k))
            break;
        task(0, k);
        if (between)
            between();
    }
    if (!helped)
        return;
    std::unique_lock<std::mutex> hold(m_lock);
    while (m_busy > 0) {
        if (m_idle.wait_for(hold, std::chrono::milliseconds(kWaitStepMs), [&] { return m_busy == 0; }))
            break;
        if (between) {
            hold.unlock();
            between();
            hold.lock();
        }
    }
    m_task = nullptr;
}
