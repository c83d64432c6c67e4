// Slabs: large blocks that the lines of a parsed window are cut from.  A parse
// of 100000 lines takes about fifteen slabs instead of 100000 heap blocks, and
// the lines of a dropped window give their slabs back whole.  A slab lives
// while any line cut from it does; an emptied slab is kept, up to a bound, for
// the lines of the next parse, its pages already in memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class line_slab {
public:
    static constexpr std::size_t kBytes = std::size_t{2} << 20;
    // The most bytes a line's room cut from a slab takes; a larger line is a
    // heap block of its own.
    static constexpr std::size_t kLargestCut = kBytes / 8;
    // The most emptied slabs kept for later parses (the rest go back to the
    // system).
    static constexpr std::size_t kMostKept = 32;

    // Lines cut from slab have gone: the last one gives the slab back.  Any
    // thread may call it.
    static void release(line_slab* slab, uint64_t lines = 1) noexcept;
    // The slab whose memory holds p, or null when p lies in none (a heap
    // block never does).
    static line_slab* holding(const void* p) noexcept;

    // A line of the slab has moved its storage out of its block, so that
    // its deletion must free that storage: until the slab comes back, every
    // deletion of its lines reads them.
    void note_outgrown() noexcept { m_outgrown.store(true, std::memory_order_relaxed); }
    bool any_outgrown() const noexcept { return m_outgrown.load(std::memory_order_relaxed); }

private:
    friend class line_arena;
    friend struct line_slab_pool;

    static line_slab* take(bool huge) noexcept;
    static void recycle(line_slab* slab) noexcept;
    char* room() { return reinterpret_cast<char*>(this) + kHeader; }

    static constexpr std::size_t kHeader = 64;
    // Lines alive in the slab, plus a credit while an arena cuts from it
    // (see line_arena).
    std::atomic<uint64_t> m_refs{0};
    std::atomic<bool> m_outgrown{false};
    line_slab* m_next = nullptr; // in the list of kept slabs
};

// Cuts rooms for lines out of slabs, for one thread at a time (the one that
// builds a window); the lines may go on any thread.  The slab being cut from
// is kept across cuts, so that a window that moves a few lines at a time
// fills its slabs rather than starting one for every move.
class line_arena {
public:
    line_arena() = default;
    ~line_arena() { let_go(); }
    line_arena(const line_arena&) = delete;
    line_arena& operator=(const line_arena&) = delete;

    // Room for bytes (8-aligned) and the slab it lies in, which the line
    // releases when it goes; nullptr when bytes exceeds kLargestCut or no
    // slab can be had.
    void* cut(std::size_t bytes, line_slab*& slab) noexcept;
    // Stops cutting from the current slab, which its lines keep alive.
    void let_go() noexcept;

private:
    // While a slab is cut from, its count carries kCredit less the lines cut
    // so far (counted here, not in the shared count): it cannot reach zero
    // however many of them go, and letting go settles the difference.
    static constexpr uint64_t kCredit = uint64_t{1} << 40;

    line_slab* m_slab = nullptr;
    std::size_t m_used = 0;   // bytes of the slab's room cut
    uint64_t m_cut = 0;       // lines cut from m_slab
    std::size_t m_slabs = 0;  // slabs this arena has taken
};

// The slabs of the process, in bytes: those holding lines (or being cut from)
// and those kept empty for later parses.
struct line_slab_figures {
    std::size_t live_bytes = 0;
    std::size_t kept_bytes = 0;
};
line_slab_figures LineSlabFigures();
