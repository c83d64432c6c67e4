// Text helpers shared by every subsystem: the four conversions between the
// engine's UTF-16 strings and narrow text, and the small string rules that
// names and patterns must pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 to and from narrow text.  An empty input gives an empty output and
// success.  A conversion that cannot be made (invalid UTF-8, an unpaired
// surrogate, a character the ANSI code page lacks) returns false and leaves
// the output exactly as it was.
bool WideToAnsi(std::u16string_view in, std::string& out);
bool AnsiToWide(std::string_view in, std::u16string& out);
bool WideToUtf8(std::u16string_view in, std::string& out);
bool Utf8ToWide(std::string_view in, std::u16string& out);

// Lenient conversions for texts that are shown or stored rather than checked:
// malformed input becomes U+FFFD (or "?" in UTF-8) instead of failing.
std::u16string FromUtf8(std::string_view in);
std::string ToUtf8(std::u16string_view in);

// One UTF-16 code unit from the two bytes at bytes, in little-endian or
// big-endian order.
inline char16_t Utf16Unit(const unsigned char* bytes, bool little_endian)
{
    return little_endian ? static_cast<char16_t>(bytes[0] | bytes[1] << 8)
                         : static_cast<char16_t>(bytes[0] << 8 | bytes[1]);
}

// UTF-16 little-endian bytes as text, unit for unit (nothing is checked); a
// final odd byte is ignored.
std::u16string Utf16LeToWide(std::string_view bytes);

// The name of the ANSI code page in force: VARNOTH_ANSI_CODEPAGE when set,
// else the locale's character set, Windows-1252 when that is plain ASCII.
std::string AnsiCodePageName();

// Replaces every occurrence of find, scanning left to right and resuming after
// each inserted replacement.  Returns the number of replacements; does nothing
// and returns 0 when text or find is empty.
std::size_t ReplaceAll(std::u16string& text, std::u16string_view find, std::u16string_view replacement);

// True when name is not empty and holds none of  " * / : < > ? \ |
bool IsValidFileName(std::u16string_view name);

// True when text holds a double quote, an apostrophe, "&", "<" or ">".
bool HasXmlSpecialChars(std::u16string_view text);

// ASCII-only case folding, as the system's case-insensitive comparisons use.
char16_t AsciiLower(char16_t c);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

// A decimal number as the C library's strtoll reads it: optional leading
// white space (space, tab, line feed, vertical tab, form feed, carriage
// return), an optional sign, then ASCII digits up to the first other
// character.  Exact over the whole 64-bit range; a number beyond it gives
// INT64_MAX or INT64_MIN (as strtoll does).  0 without a digit.  length,
// when given, receives how many units were read: 0 without a digit, else up
// to the last digit.
int64_t ParseDecimal(std::u16string_view text, std::size_t* length = nullptr);
int64_t ParseDecimal(std::string_view text, std::size_t* length = nullptr);
