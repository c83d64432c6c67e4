// Turning a line's bytes into wide text by the file's encoding.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

enum : int32_t {
    ENCODING_UNKNOWN = 0,
    ENCODING_ANSI = 1,
    ENCODING_UCS2LE = 2,
    ENCODING_UCS2BE = 3,
    ENCODING_UTF8 = 4,
};

// Bytes per text unit: 2 for the UCS-2 encodings, 1 otherwise.
inline int encoding_unit(int32_t encoding)
{
    return encoding == ENCODING_UCS2LE || encoding == ENCODING_UCS2BE ? 2 : 1;
}

// The most text units of a line that are read.  A longer line is indexed
// with its whole length, but its text holds only its first kMaxLineUnits
// units: the line is shown cut, and find, filters, copy and export see the
// part shown.
inline constexpr uint64_t kMaxLineUnits = 65535;

// The most bytes of a line that are read in encoding.
inline uint64_t line_limit_bytes(int32_t encoding)
{
    return kMaxLineUnits * static_cast<uint64_t>(encoding_unit(encoding));
}

// The bytes read for a line of length bytes: all of them, or the first
// line_limit_bytes of a longer one.
inline uint64_t shown_line_bytes(int32_t encoding, uint64_t length)
{
    return std::min(length, line_limit_bytes(encoding));
}

// Converts bytes[0..length) into out.  ANSI and UTF-8 text ends at the first
// zero byte, UCS-2 text at the first unit 0000.  Returns false (out emptied)
// for a UCS-2 line of odd byte length or an unknown encoding.  Bytes that the
// code page or UTF-8 cannot decode become U+FFFD rather than losing the line.
// cut says that the bytes are the first part of a longer line: a character
// that the cut splits (the first bytes of a multi-byte sequence, a high
// surrogate) is left out rather than shown as an undecodable one.
bool line_bytes_to_text(int32_t encoding, const char* bytes, std::size_t length, std::u16string& out, bool cut = false);
