// How the bytes of a file stand for the characters of its lines, for the
// scans that look for a search's text in the bytes before any line is
// converted.
//
// Thread-safety: plain functions and values.
#pragma once

#include <array>
#include <cstdint>

enum class byte_form {
    none,        // the bytes do not tell (a code page of several bytes a character other than UTF-8)
    utf8,        // UTF-8, also as the ANSI code page
    single_byte, // a code page of one byte a character
    ucs2le,
    ucs2be,
};

struct text_bytes {
    byte_form form = byte_form::none;
    // single_byte: the character each byte stands for in a line that is not
    // ASCII only (a line of ASCII keeps its bytes as its characters).
    std::array<char16_t, 256> table{};
};

// The form of a file of encoding; ENCODING_ANSI reads the ANSI code page in
// force.  A single-byte code page qualifies only when every byte is a
// character by itself and a run of bytes reads as its bytes one by one.
text_bytes TextBytesOf(int32_t encoding);
