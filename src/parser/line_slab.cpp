#include "parser/line_slab.h"

#include "platform/pages.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_set>

static_assert(sizeof(line_slab) <= 64, "a slab's head fits its first 64 bytes");

// The kept slabs and the counts, shared by every window of the process.
struct line_slab_pool {
    std::mutex mutex;
    std::unordered_set<std::uintptr_t> mapped; // every slab's address, live or kept
    line_slab* kept = nullptr;
    std::size_t kept_count = 0;
    std::atomic<std::size_t> live{0};

    static line_slab_pool& get()
    {
        // Never destroyed: lines may still be deleted during process exit.
        static line_slab_pool* pool = new line_slab_pool;
        return *pool;
    }
};

line_slab* line_slab::take(bool huge) noexcept
{
    line_slab_pool& pool = line_slab_pool::get();
    {
        std::lock_guard<std::mutex> guard(pool.mutex);
        if (line_slab* slab = pool.kept) {
            pool.kept = slab->m_next;
            --pool.kept_count;
            slab->m_next = nullptr;
            pool.live.fetch_add(1, std::memory_order_relaxed);
            return slab;
        }
    }
    void* pages = MapPages(kBytes, kBytes, huge);
    if (!pages)
        return nullptr;
    try {
        std::lock_guard<std::mutex> guard(pool.mutex);
        pool.mapped.insert(reinterpret_cast<std::uintptr_t>(pages));
    } catch (...) {
        UnmapPages(pages, kBytes);
        return nullptr;
    }
    pool.live.fetch_add(1, std::memory_order_relaxed);
    return ::new (pages) line_slab;
}

line_slab* line_slab::holding(const void* p) noexcept
{
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t{kBytes - 1};
    line_slab_pool& pool = line_slab_pool::get();
    std::lock_guard<std::mutex> guard(pool.mutex);
    return pool.mapped.count(base) ? reinterpret_cast<line_slab*>(base) : nullptr;
}

void line_slab::recycle(line_slab* slab) noexcept
{
    line_slab_pool& pool = line_slab_pool::get();
    pool.live.fetch_sub(1, std::memory_order_relaxed);
    slab->m_outgrown.store(false, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> guard(pool.mutex);
        if (pool.kept_count < kMostKept) {
            slab->m_next = pool.kept;
            pool.kept = slab;
            ++pool.kept_count;
            return;
        }
        pool.mapped.erase(reinterpret_cast<std::uintptr_t>(slab));
    }
    slab->~line_slab();
    UnmapPages(slab, kBytes);
}

void line_slab::release(line_slab* slab, uint64_t lines) noexcept
{
    if (slab->m_refs.fetch_sub(lines, std::memory_order_acq_rel) == lines)
        recycle(slab);
}

void* line_arena::cut(std::size_t bytes, line_slab*& slab) noexcept
{
    bytes = (bytes + 7) & ~std::size_t{7};
    if (bytes > line_slab::kLargestCut)
        return nullptr;
    if (m_slab && m_used + bytes > line_slab::kBytes - line_slab::kHeader
        && m_slab->m_refs.load(std::memory_order_acquire) == kCredit - m_cut) {
        // Every line cut from the full slab has gone: it is cut again from
        // its start (no other thread can touch it now).
        m_slab->m_refs.store(kCredit, std::memory_order_relaxed);
        m_slab->m_outgrown.store(false, std::memory_order_relaxed);
        m_used = 0;
        m_cut = 0;
    }
    if (!m_slab || m_used + bytes > line_slab::kBytes - line_slab::kHeader) {
        let_go();
        // Huge pages from the second slab on: a small window stays on a few
        // small pages.
        m_slab = line_slab::take(m_slabs > 0);
        if (!m_slab)
            return nullptr;
        ++m_slabs;
        m_slab->m_refs.store(kCredit, std::memory_order_relaxed);
        m_used = 0;
        m_cut = 0;
    }
    void* room = m_slab->room() + m_used;
    m_used += bytes;
    ++m_cut;
    slab = m_slab;
    return room;
}

void line_arena::let_go() noexcept
{
    if (!m_slab)
        return;
    line_slab* slab = m_slab;
    m_slab = nullptr;
    if (slab->m_refs.fetch_sub(kCredit - m_cut, std::memory_order_acq_rel) == kCredit - m_cut)
        line_slab::recycle(slab);
}

line_slab_figures LineSlabFigures()
{
    line_slab_pool& pool = line_slab_pool::get();
    line_slab_figures figures;
    figures.live_bytes = pool.live.load(std::memory_order_relaxed) * line_slab::kBytes;
    std::lock_guard<std::mutex> guard(pool.mutex);
    figures.kept_bytes = pool.kept_count * line_slab::kBytes;
    return figures;
}
