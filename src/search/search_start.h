// What the raw bytes of a line must hold for the line to match a regular
// expression search whose matches begin with known classes of characters
// (regex/start_classes.h): at some position, a byte of each class written
// in the file's encoding, position by position.
//
// Written as bytes: in UTF-8 a character outside ASCII stands for its
// sequence's first byte (a low surrogate for the sequence's other bytes,
// U+FFFD for any byte that is not ASCII) and ends the byte positions, since
// the bytes after it no longer line up with the characters; in a
// single-byte code page a character stands for the bytes the code page
// reads as it; in UCS-2 each character is two positions, the bytes of its
// unit in the file's order.  A multi-byte code page other than UTF-8 gives
// none, and so does a pattern whose start holds every byte.
//
// Thread-safety: plain functions over their arguments.
#pragma once

#include "regex/start_classes.h"
#include "search/class_finder.h"
#include "search/search_info.h"

#include <cstdint>
#include <optional>
#include <vector>

struct search_start {
    CStartClassesT classes;      // the classes, for the line's text
    std::vector<byte_set> bytes; // the byte positions, in the file's encoding
    int unit = 1;                // bytes per text unit: a start lies on a unit of its line
};

// The start of search (its expression the search text, regexp set for
// wildcards too) in a file of encoding (ENCODING_ANSI reads the code page in
// force); none for a plain-text search, an empty expression, a pattern
// whose start tells nothing, or bytes that cannot tell.
std::optional<search_start> SearchStart(const CSearchInfo& search, int32_t encoding);

// The same for classes already worked out.
std::optional<search_start> StartForClasses(const CStartClassesT& classes, int32_t encoding);
