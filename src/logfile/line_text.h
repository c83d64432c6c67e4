// Turning a line's bytes into wide text by the file's encoding.
#pragma once

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

// Converts bytes[0..length) into out.  ANSI and UTF-8 text ends at the first
// zero byte, UCS-2 text at the first unit 0000.  Returns false (out emptied)
// for a UCS-2 line of odd byte length or an unknown encoding.  Bytes that the
// code page or UTF-8 cannot decode become U+FFFD rather than losing the line.
bool line_bytes_to_text(int32_t encoding, const char* bytes, std::size_t length, std::u16string& out);
