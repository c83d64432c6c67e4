// What the first bytes of a file say about its text: the encoding it is read
// in and whether it looks like a binary file rather than text.
//
// A byte-order mark decides the encoding (FF FE, FE FF, EF BB BF).  Without
// one the bytes are read as UTF-8 when all of them are valid UTF-8 and they
// hold at least one multi-byte sequence; otherwise as ANSI.  A sequence cut
// by the end of the bytes does not count against UTF-8: the bytes may be the
// head of a longer file, or of a file still being written.
//
// A file looks binary when its text holds a zero unit (a zero byte in a
// one-byte encoding, a unit 0000 in UTF-16), or when more than half of its
// units are not text (control characters other than tab, line feed,
// vertical tab, form feed, carriage return and escape; bytes that belong to
// no valid UTF-8 sequence; unpaired surrogates) and at least one unit in 16
// is a control character.  The second condition keeps a text in an 8-bit
// code page (invalid UTF-8 throughout, but never control characters) from
// looking binary.
//
// Pure functions over a byte span; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// How many bytes from the start of a file the guess reads.
inline constexpr std::size_t kSniffBytes = 4 * 1024 * 1024;

// The counts a guess is made from.  Units are bytes in the one-byte reading
// and 16-bit units in UTF-16.
struct text_census {
    uint64_t units = 0;      // units read (a final odd byte of UTF-16 is not one)
    uint64_t zeros = 0;      // zero units
    uint64_t controls = 0;   // control characters that no text holds (not zero)
    uint64_t invalid = 0;    // bytes outside any valid UTF-8 sequence; unpaired surrogates
    uint64_t multi_unit = 0; // complete multi-byte UTF-8 sequences; surrogate pairs
    bool operator==(const text_census&) const = default;
};

// Counts bytes read as UTF-8.  A byte that starts no valid sequence (a stray
// continuation byte, an overlong form, a surrogate, a code point above
// U+10FFFF, a lead byte without its continuation bytes) is one invalid byte,
// and the count goes on at the byte after it.  A sequence cut by the end of
// bytes counts as text, not as invalid and not as a multi-byte sequence.
text_census CensusUtf8(std::string_view bytes);

// Counts 16-bit units of bytes in the given byte order.  A high surrogate
// cut by the end of bytes counts as text.
text_census CensusUtf16(std::string_view bytes, bool little_endian);

// Whether a census is of a binary file (see the rule at the top).
bool LooksBinary(const text_census& census);

struct content_sniff {
    int32_t encoding = 0; // ENCODING_*; ENCODING_UNKNOWN for fewer than two bytes
    bool has_bom = false;
    bool binary = false;
    bool operator==(const content_sniff&) const = default;
};

// The encoding of a file whose first bytes are head (at most kSniffBytes of
// them are read), whether it has a byte-order mark, and whether it looks
// binary.  The census starts after the byte-order mark.
content_sniff SniffContent(std::string_view head);
