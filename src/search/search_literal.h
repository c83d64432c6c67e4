// What the raw bytes of a line must hold for the line to match a search: the
// search's required literal (the whole plain text, or the literal the regex
// engine finds on every match's path), written in the file's encoding.
//
// A line matches only when one of its columns does, and its columns are
// pieces of its text, so a line without the literal cannot match.  Only part
// of the literal may be written as bytes: the longest run of characters that
// every matching line certainly holds as the same bytes (no U+FFFD, which
// stands for undecodable bytes; no unpaired surrogate in UTF-8; only ASCII
// when case is ignored; in a single-byte code page only characters with one
// byte of their own).  A multi-byte code page other than UTF-8 gives none.
//
// Thread-safety: plain functions over their arguments.
#pragma once

#include "search/search_info.h"

#include <cstdint>
#include <optional>
#include <string>

struct search_needle {
    std::u16string literal;     // the whole required literal, as text
    bool literal_folds = false; // compared ignoring ASCII case
    std::string bytes;          // a run of the literal in the file's encoding
    bool bytes_fold = false;    // ASCII letters of bytes match either case
    int unit = 1;               // bytes per text unit: a match starts on a unit of its line
};

// The literal every line matching search holds (search's expression is the
// search text; regexp is set for wildcards too) and whether it is compared
// ignoring ASCII case; false when there is none (an empty expression, or a
// regular expression without a required literal).
bool RequiredSearchLiteral(const CSearchInfo& search, std::u16string& literal, bool& ignores_case);

// The needle for a file of encoding (ENCODING_ANSI uses the ANSI code page in
// force); none when no literal can be derived or written in that encoding.
std::optional<search_needle> SearchNeedle(const CSearchInfo& search, int32_t encoding);

// The needle for a given literal (the part of SearchNeedle after the
// literal is known).
std::optional<search_needle> NeedleForLiteral(const std::u16string& literal, bool ignores_case, int32_t encoding);
