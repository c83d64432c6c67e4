// How deep the calling thread's stack may go: the matcher and the parser stop
// (the search counts as not matching, the pattern text ends) rather than run
// into the end of a small thread stack.
#pragma once

#include <cstddef>
#include <cstdint>

// The lowest stack address the calling thread may reach while keeping margin
// bytes (at most a quarter of its stack) free below it.  The thread's stack
// bounds are read once per thread; when they cannot be read, the floor lies
// 256 KB minus the margin below the first caller's frame.
std::uintptr_t ThreadStackFloor(std::size_t margin);

// An address in the caller's stack frame, to compare with the floor (the
// stack grows downwards on every platform this builds for).
inline std::uintptr_t CurrentStackAddress()
{
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}
