// The structure of one log line as the parser suggestion reads it: a run of
// tokens (date-times, levels, bracketed and quoted fields, key=value pairs,
// addresses, numbers, labels, separators and words) between gaps of blanks.
#pragma once

#include "format/data_format.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class token_kind {
    datetime,  // a date-time in a known layout (format set)
    epoch,     // a number of seconds or milliseconds since 1970 (format set)
    level,     // TRACE, DEBUG, INFO, WARN, ERROR, ... (any letter case)
    bracket,   // [...] or (...)
    quoted,    // "..."
    key_value, // key=value or key="value"
    ipv4,      // 10.0.0.1
    number,    // -12, 4711, 2.315, 24,768 (format set)
    label,     // a word ending in ':' such as "sshd[1234]:"
    separator, // a stand-alone "-", "|", "--", "---" or "::" between fields
    word,      // anything else up to the next blank
};

struct line_token {
    token_kind kind = token_kind::word;
    std::size_t begin = 0;       // the token in the line, its delimiters included
    std::size_t end = 0;         // one past its last character
    std::size_t value_begin = 0; // the column's value, delimiters excluded
    std::size_t value_end = 0;
    std::u16string open;  // text before the value: "[", "(", "\"", "key=" or "key=\""
    std::u16string close; // text after the value: "]", ")", "\"" or ":" (label, level with a colon)
    std::u16string key;   // key_value only
    // What the value is: for datetime, epoch and number the kind itself; for
    // bracket, quoted and key_value the kind of their inner text (datetime,
    // epoch, level, ipv4, number or word).
    token_kind content = token_kind::word;
    tagDATA_FORMAT format; // how the value is typed when content is datetime, epoch or number
};

// The tokens of line from its start, at most kMaxLineTokens of them and none
// beginning after kMaxTokenizedLength characters: a suggestion reads the head
// of a line, and the cost of a long or binary line stays bounded.
inline constexpr std::size_t kMaxLineTokens = 64;
inline constexpr std::size_t kMaxTokenizedLength = 4096;
std::vector<line_token> tokenize_line(std::u16string_view line);

// Whether text is one of the level words (TRACE, DEBUG, INFO, NOTICE, WARN,
// WARNING, ERROR, FATAL, CRITICAL, SEVERE, ALERT, EMERG, in any letter case,
// and the upper-case LOG and PANIC of database servers), blanks around it
// ignored.
bool is_level_word(std::u16string_view text);

// The kind of a field's inner text: datetime (format set, its layout at the
// start with at most a zone after it), epoch, level, ipv4, number (format
// set) or word.
token_kind classify_text(std::u16string_view text, tagDATA_FORMAT& format);

// Whether c is a blank between tokens (space or tab).
inline bool is_gap_blank(char16_t c)
{
    return c == u' ' || c == u'\t';
}
