#include "parser/pattern_xml.h"

#include "format/data_format.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "xml/xml_file.h"

#include <tinyxml.h>

#include <climits>
#include <memory>

namespace {

// The leading decimal number of text, as the C library reads it (leading
// blanks and a sign allowed); 0 when there is none; clamped to 32 bits.
int32_t ReadVersion(const char* text)
{
    if (!text)
        return 0;
    const int64_t value = ParseDecimal(std::string_view(text));
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The text of the child element called name, empty when it has none; false
// when there is no such child.
bool ReadPresentText(const TiXmlElement* parent, const char* name, std::u16string& text)
{
    const TiXmlElement* child = parent->FirstChildElement(name);
    if (!child)
        return false;
    const char* value = child->GetText();
    text = value ? FromUtf8(value) : std::u16string();
    return true;
}

// The optional child that switches on the search for the end text after the
// date-time (log_pattern::end_after_datetime); written only when on, so that
// every other item is written exactly as before it existed.
const char* const kEndAfterDateTime = "end_after_datetime";

enum class item_read { taken, skipped, too_deep };

item_read ReadList(log_pattern_list& parser, const TiXmlElement* element, int depth);

item_read ReadItem(log_pattern& item, const TiXmlElement* element, int depth)
{
    const TiXmlElement* version = element->FirstChildElement("version");
    if (!version || !version->FirstChild() || !version->FirstChild()->ToText())
        return item_read::skipped;
    const int32_t v = ReadVersion(version->FirstChild()->Value());
    if (v >= 1) {
        if (!ReadPresentText(element, "start", item.start) || !ReadPresentText(element, "end", item.end)
            || !ReadPresentText(element, "name", item.name) || item.name.empty())
            return item_read::skipped;
        if (v >= 2 && !DataFormatFromXml(item.data_format, element->FirstChildElement("data_format")))
            return item_read::skipped;
        long long after_datetime = 0;
        item.end_after_datetime =
            ReadXmlChildInteger(element, kEndAfterDateTime, after_datetime) && after_datetime != 0;
    }
    if (const TiXmlElement* sub_items = element->FirstChildElement("pattern_list")) {
        if (depth >= kMaxPatternDepth)
            return item_read::too_deep;
        const item_read read = ReadList(item.sub_items, sub_items, depth + 1);
        if (read != item_read::taken)
            return read;
    }
    item.version = 2;
    return item_read::taken;
}

// taken: the list was read; skipped: it is no "pattern_list"; too_deep: an
// item inside nests too deep, and the item holding this list goes with it.
item_read ReadList(log_pattern_list& parser, const TiXmlElement* element, int depth)
{
    parser.clear();
    if (!element || element->ValueStr() != "pattern_list")
        return item_read::skipped;
    for (const TiXmlElement* child = element->FirstChildElement("pattern_item"); child;
         child = child->NextSiblingElement("pattern_item")) {
        log_pattern item;
        const item_read read = ReadItem(item, child, depth);
        if (read == item_read::taken)
            parser.push_back(std::move(item));
        else if (read == item_read::too_deep && depth > 0)
            return item_read::too_deep;
    }
    return item_read::taken;
}

TiXmlElement* ItemToXml(const log_pattern& item)
{
    auto* element = new TiXmlElement("pattern_item");
    AddXmlTextChild(element, "version", u"2");
    AddXmlTextChild(element, "start", item.start);
    AddXmlTextChild(element, "end", item.end);
    AddXmlTextChild(element, "name", item.name);
    TiXmlElement* format = DataFormatToXml(item.data_format);
    if (!format)
        format = DataFormatToXml(tagDATA_FORMAT());
    element->LinkEndChild(format);
    if (item.end_after_datetime)
        AddXmlTextChild(element, kEndAfterDateTime, u"1");
    if (TiXmlElement* sub_items = PatternListToXml(item.sub_items))
        element->LinkEndChild(sub_items);
    return element;
}

} // namespace

TiXmlElement* PatternListToXml(const log_pattern_list& parser)
{
    if (parser.empty())
        return nullptr;
    auto* element = new TiXmlElement("pattern_list");
    for (const log_pattern& item : parser)
        element->LinkEndChild(ItemToXml(item));
    return element;
}

bool PatternListFromXml(log_pattern_list& parser, const TiXmlElement* element)
{
    return ReadList(parser, element, 0) == item_read::taken;
}

bool LoadPatternFile(log_pattern_list& parser, std::u16string_view path)
{
    parser.clear();
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    return root && PatternListFromXml(parser, root.get());
}

bool SavePatternFile(const log_pattern_list& parser, std::u16string_view path)
{
    const std::unique_ptr<TiXmlElement> element(PatternListToXml(parser));
    return element && SaveXmlFile(element.get(), path);
}

std::u16string ParserNameOfFile(std::u16string_view file_name)
{
    return std::u16string(file_name.substr(0, file_name.size() >= 4 ? file_name.size() - 4 : 0));
}

bool IsStorableParserName(std::u16string_view name)
{
    return !name.empty() && name != u"." && name != u".." && name.find(u'/') == std::u16string_view::npos;
}

std::size_t LoadParserList(parser_list& parsers, std::u16string_view folder, std::vector<std::u16string>* passed_over)
{
    std::size_t added = 0;
    for (const std::u16string& file_name : ListFiles(folder, u".xml")) {
        tagPARSER_ITEM entry;
        if (!LoadPatternFile(entry.parser, JoinPath(folder, file_name))) {
            if (passed_over)
                passed_over->push_back(file_name);
            continue;
        }
        entry.name = ParserNameOfFile(file_name);
        parsers.push_back(std::move(entry));
        ++added;
    }
    return added;
}
