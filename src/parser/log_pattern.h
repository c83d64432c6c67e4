// The parser model: a parser is an ordered list of column items; each item
// names the text before and after its value, the column's name and data
// format, or holds sub-items that cut its value further.
#pragma once

#include "format/data_format.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class log_pattern;

// A parser, or the sub-items of one item.  Items are held by value, in order.
class log_pattern_list : public std::list<log_pattern> {
public:
    using std::list<log_pattern>::list;
    virtual ~log_pattern_list() = default;
};

// One column item.  Copies are deep.
class log_pattern {
public:
    log_pattern() = default;
    explicit log_pattern(std::u16string item_name) : name(std::move(item_name)) {}
    virtual ~log_pattern() = default;

    int32_t version = 2;
    std::u16string start;
    std::u16string end;
    std::u16string name;
    tagDATA_FORMAT data_format;
    log_pattern_list sub_items; // when not empty the item has no column of its own
    // For a date-time item: its end text is looked for only after the part
    // of the value that the date-time format covers, so that a format holding
    // the end text ("Y-m-d H:M:S" before a space) keeps its value whole.
    // Off for every item unless switched on; files without it read as off.
    bool end_after_datetime = false;

    // Whether the end text is looked for after the date-time format's extent.
    bool ends_after_datetime() const { return end_after_datetime && data_format.data_type == DATA_TYPE_DATETIME; }
};

// Deep, field-by-field equality (version included).
bool operator==(const log_pattern& a, const log_pattern& b);

// One named parser of the parser folder: its name is the file name without
// ".xml".
struct tagPARSER_ITEM {
    log_pattern_list parser;
    std::u16string name;
};

// The application's parsers in the order the parser folder listed their
// files.  A list, so that entries stay where they are while others are added
// or removed.
using parser_list = std::list<tagPARSER_ITEM>;

// The number of leaves (items without sub-items, depth first in list order):
// the columns of every line the parser splits.  When leaves is given, the
// leaves are appended to it in column order.
int32_t leaf_count(const log_pattern_list& parser, std::vector<const log_pattern*>* leaves = nullptr);

// The parser as one line of template: an item reads start + "<name>" + end,
// an item with sub-items start + its sub-items' templates + end.
std::u16string template_text(const log_pattern_list& parser);
