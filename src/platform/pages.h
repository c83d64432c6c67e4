// Memory taken from the system a page at a time, for stores large enough to
// want their own pages: they come back zeroed, aligned as asked, and go back
// to the system when unmapped, never to the heap.
#pragma once

#include <cstddef>

// bytes (a multiple of the page size) aligned to alignment (a power of two,
// at least the page size); nullptr when the system refuses.  With huge, the
// system is asked to back the range with huge pages (a hint: without them
// all works the same).
void* MapPages(std::size_t bytes, std::size_t alignment, bool huge);
// Gives back what MapPages returned, with the same bytes.
void UnmapPages(void* pages, std::size_t bytes);
