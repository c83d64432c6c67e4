// Splitting one line's text into columns with a parser: a plain left-to-right
// scan for each item's start and end texts, no pattern matching.
#pragma once

#include "parser/fixed_datetime.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"

#include <cstddef>
#include <string>
#include <vector>

// Cuts text[0..length) into columns of line with parser and types each
// column's value with its item's data format.  text need not be terminated
// and is never read beyond length.
//
// With copy the line's columns are dropped and its text becomes a copy of the
// given characters (cut to kMaxLineText); without copy text must be the
// line's own text, and the columns are appended.  Either way the split reads
// the line's own text in place, and each column records where its characters
// lie in it.  Per item, from a position that starts at 0:
// a start text is looked for from the position and skipped over when found
// (an absent start text is no failure); an empty end text takes the rest of
// the text and leaves the position where it was; a non-empty end text must be
// found after the value's start, and the position moves past it.  For a
// date-time item with end_after_datetime the end text is looked for only
// after the part of the value its format covers (DateTimeExtent), or after
// the value's start when the value does not begin with the format.  Splitting
// fails at an item when the position has reached the end of the text, when
// its value would start at the end of the text, or when its end text is
// missing; columns made before the failure stay in the line.
//
// Returns true when the line has at least one column after every item was
// applied; false for an empty text (no column is made) and on failure.
// failed_name, when given, is emptied and then receives the name of the item
// at which splitting failed (empty when that item has no name); sub-items of
// an empty value fail at their first item.
bool split_line(log_line& line, const char16_t* text, std::size_t length, const log_pattern_list& parser, bool copy,
                std::u16string* failed_name = nullptr);

// A parser made ready for splitting many lines: the readers of its typed
// columns prepared once.  It refers to parser, which must outlive it and stay
// unchanged.  Splitting with a plan gives the same columns and values as
// splitting with its parser.  Read-only once built: threads may share one.
class split_plan {
public:
    explicit split_plan(const log_pattern_list& parser);
    split_plan(const split_plan&) = delete; // it points into itself
    split_plan& operator=(const split_plan&) = delete;

    const log_pattern_list& parser() const { return m_parser; }
    // The parser's columns (its leaves).
    std::size_t columns() const { return m_datetimes.size(); }
    // Those of them that are not text, whose typed values a line keeps.
    std::size_t typed_columns() const { return m_typed; }
    // The fixed-width reader of the date-time column leaf (in column order);
    // null for any other column, or when the column's format is read
    // otherwise.
    const fixed_datetime* datetime_of(std::size_t leaf) const
    {
        return leaf < m_readers.size() ? m_readers[leaf] : nullptr;
    }

    // One item as a split reads it: its texts, and for a leaf the reader
    // of its value.
    struct flat_item {
        const log_pattern* item;
        const char16_t* start;
        std::size_t start_size;
        const char16_t* end;
        std::size_t end_size;
        bool after_datetime;
        const fixed_datetime* fixed; // null: the value is parsed in full
    };
    // A parser without sub-items, as its split reads it: its items in one
    // array (empty when the parser has sub-items).
    const std::vector<flat_item>& flat() const { return m_flat; }

private:
    const log_pattern_list& m_parser;
    std::vector<fixed_datetime> m_datetimes;
    std::vector<const fixed_datetime*> m_readers; // into m_datetimes
    std::vector<flat_item> m_flat;
    std::size_t m_typed = 0;
};

bool split_line(log_line& line, const char16_t* text, std::size_t length, const split_plan& plan, bool copy,
                std::u16string* failed_name = nullptr);
