// The text comparisons that filter conditions, highlight rules and searches
// share.  Case folding is ASCII only (A-Z to a-z); nothing else changes.
// Every function is pure and may run on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A lower-cased copy (ASCII capitals become small letters).
std::u16string AsciiLowerCopy(std::u16string_view text);

// Compares character by character after folding ASCII case; the first
// differing character decides by its unsigned 16-bit value, a proper prefix
// is the smaller, and each text ends at its first zero character.  Returns
// <0, 0 or >0.
int CompareIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

// Whether needle occurs in text; an empty needle occurs in every text.
bool ContainsText(std::u16string_view text, std::u16string_view needle);

// The same ignoring ASCII case; lower_needle must already be lower-cased.
bool ContainsTextIgnoreCase(std::u16string_view text, std::u16string_view lower_needle);
