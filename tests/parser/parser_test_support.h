// Building parsers in tests, and writing split lines as text to compare with
// golden text.
#pragma once

#include "format/data_format.h"
#include "parser/log_line.h"
#include "parser/log_pattern.h"
#include "platform/strings.h"

#include <initializer_list>
#include <string>
#include <vector>

// An item {start, end, name} with the text data format.
inline log_pattern Item(std::u16string start, std::u16string end, std::u16string name)
{
    log_pattern item(std::move(name));
    item.start = std::move(start);
    item.end = std::move(end);
    return item;
}

// An item with sub-items (its own name is shown nowhere).
inline log_pattern Group(std::u16string start, std::u16string end, std::initializer_list<log_pattern> sub_items,
                         std::u16string name = u"group")
{
    log_pattern item = Item(std::move(start), std::move(end), std::move(name));
    for (const log_pattern& sub : sub_items)
        item.sub_items.push_back(sub);
    return item;
}

inline log_pattern Typed(log_pattern item, int32_t data_type, std::u16string format = u"d/b/Y H:M:S")
{
    item.data_format.data_type = data_type;
    item.data_format.format = std::move(format);
    return item;
}

inline log_pattern_list Parser(std::initializer_list<log_pattern> items)
{
    log_pattern_list parser;
    for (const log_pattern& item : items)
        parser.push_back(item);
    return parser;
}

inline std::u16string ColumnText(const log_line& line, const log_column& column)
{
    return std::u16string(line.text_of(column));
}

inline std::vector<std::u16string> ColumnTexts(const log_line& line)
{
    std::vector<std::u16string> texts;
    for (const log_column& column : line.columns())
        texts.push_back(ColumnText(line, column));
    return texts;
}

// One line per column: "  Name = [text]" followed by " -> typed text" for a
// typed column (its value formatted back with the column's format) or
// " -> invalid" when its value did not parse.
inline std::string RenderColumns(const log_line& line, const log_pattern_list& parser)
{
    std::vector<const log_pattern*> leaves;
    leaf_count(parser, &leaves);
    std::string out;
    for (std::size_t i = 0; i < line.columns().size(); ++i) {
        const log_column& column = line.columns()[i];
        const log_pattern* leaf = i < leaves.size() ? leaves[i] : nullptr;
        out += "  " + (leaf ? ToUtf8(leaf->name) : std::string("?")) + " = [" + ToUtf8(ColumnText(line, column)) + "]";
        if (leaf && leaf->data_format.data_type != DATA_TYPE_TEXT) {
            std::u16string typed;
            if (column.value().valid && FormatDataValue(column.value(), leaf->data_format, typed))
                out += " -> " + ToUtf8(typed);
            else
                out += " -> invalid";
        }
        out += "\n";
    }
    return out;
}
