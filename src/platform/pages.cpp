#include "platform/pages.h"

#include <cstdint>

#include <sys/mman.h>

void* MapPages(std::size_t bytes, std::size_t alignment, bool huge)
{
    // Maps more than asked and trims the ends, so that what is left starts
    // on the alignment.
    const std::size_t mapped = bytes + alignment;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    const std::uintptr_t tail = start + mapped - (aligned + bytes);
    if (tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    void* pages = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    if (huge)
        ::madvise(pages, bytes, MADV_HUGEPAGE);
#else
    (void)huge;
#endif
    return pages;
}

void UnmapPages(void* pages, std::size_t bytes)
{
    if (pages)
        ::munmap(pages, bytes);
}
