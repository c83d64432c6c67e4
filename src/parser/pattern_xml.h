// Parsers as XML: the "pattern_list" element with one "pattern_item" per
// column item, and the parser files of the parser folder that hold one each.
#pragma once

#include "parser/log_pattern.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TiXmlElement;

// Items nested deeper than this under a parser's top level are not read: the
// top-level item that holds them is skipped whole, so that a hostile file
// cannot exhaust the stack of the code that walks parsers recursively.
inline constexpr int kMaxPatternDepth = 32;

// A new "pattern_list" element for parser, owned by the caller (hand it to
// LinkEndChild), or null when parser has no items.  Every item is written as
// version 2; an item whose data type is out of range is written as text, so
// that it is not lost when read back.  An item with end_after_datetime gets
// an "end_after_datetime" child holding "1" after its "data_format"; other
// items have none.
TiXmlElement* PatternListToXml(const log_pattern_list& parser);

// Empties parser, then reads the items of a "pattern_list" element into it.
// False when the element is missing or not named exactly "pattern_list";
// items with a missing "version" text, a missing "start", "end" or "name", an
// empty name, a missing or unreadable "data_format" (version 2 and later) or
// sub-items nested too deep are skipped one by one, and the others are taken.
// Every item read has version 2; its end_after_datetime is on when it has an
// "end_after_datetime" child whose text reads as a non-zero number.
bool PatternListFromXml(log_pattern_list& parser, const TiXmlElement* element);

// Loads the parser file at path into parser; false (parser emptied) when the
// file does not load as XML or its first element is not a "pattern_list".
bool LoadPatternFile(log_pattern_list& parser, std::u16string_view path);

// Writes parser to path with the safe write of every data file (complete
// under a temporary name, then renamed).  False, and nothing written, for a
// parser without items or when the write fails.
bool SavePatternFile(const log_pattern_list& parser, std::u16string_view path);

// The entry name of a parser file: the file name without its last four
// characters ("web.xml" gives "web").
std::u16string ParserNameOfFile(std::u16string_view file_name);

// Whether name can be written as name + ".xml" inside the parser folder: not
// empty, no "/", and not "." or "..".
bool IsStorableParserName(std::u16string_view name);

// Appends an entry for every "*.xml" file of folder that loads as a parser,
// in the order the folder listing returns them; other files are passed over
// silently, their names appended to passed_over when given.  Returns the
// number of entries appended.
std::size_t LoadParserList(parser_list& parsers, std::u16string_view folder,
                           std::vector<std::u16string>* passed_over = nullptr);
