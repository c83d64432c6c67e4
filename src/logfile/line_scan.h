// Finding line-end units in a buffer, 64 bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// Fills masks[0 .. (length + 63) / 64) with one bit per byte of data: bit i of
// masks[k] is set when byte 64k + i starts a line-end unit.  With unit 1 the
// line ends are the bytes 0D and 0A; with unit 2 they are the 16-bit
// little-endian units 000D, 000A, 0D00 and 0A00 at even positions (length
// must then be even).  Bits past length are clear.
void find_line_ends(const char* data, std::size_t length, int unit, uint64_t* masks);

// The same with a named code path ("avx2", "sse2" or "portable"); false when
// this processor or build lacks it.  For checking the paths against each other.
bool find_line_ends_using(const char* kind, const char* data, std::size_t length, int unit, uint64_t* masks);

// The name of the code path in use ("avx2", "sse2" or "portable").
const char* line_scan_kind();
