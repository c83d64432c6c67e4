// How much of a text a date-time format covers: the part of a column's value
// that its date-time format reads, found from the format's literals and the
// natural end of its last field.
#pragma once

#include "format/data_format.h"

#include <cstddef>
#include <string_view>

inline constexpr std::size_t kNoDateTimeExtent = std::u16string_view::npos;

// The number of characters at the start of text[0..length) that format.format
// covers, or kNoDateTimeExtent when the text does not begin with the format.
// Walking the format: a literal must be the next character; a number letter
// (Y y m d H h M S s) takes leading blanks, one sign and at least one digit; a
// month letter (B b) the longest month name of format.language the text
// begins with; 'p' the longer of the AM and PM words it begins with.  Each
// field reads at most 103 characters.  A format without letters covers
// nothing (kNoDateTimeExtent).  Unlike the date-time parse, which lets the
// last field take the rest of the text, the extent ends where the last field
// does: "Y-m-d H:M:S" covers 19 characters of "2024-08-05 13:07:10 status".
std::size_t DateTimeExtent(const char16_t* text, std::size_t length, const tagDATA_FORMAT& format);

// Whether the date-time value text[0..length) is covered by format whole,
// nothing left over ("H:M:S" covers "13:07:10" whole, not "13:07:10.320").
bool DateTimeCoversWhole(const char16_t* text, std::size_t length, const tagDATA_FORMAT& format);
