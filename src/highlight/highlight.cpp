#include "highlight/highlight.h"

#include "platform/strings.h"
#include "regex/text_match.h"
#include "xml/xml_file.h"

#include <algorithm>
#include <climits>
#include <string>

#include <tinyxml.h>

namespace {

int32_t ColorValue(long long number)
{
    return static_cast<int32_t>(std::clamp<long long>(number, INT32_MIN, INT32_MAX));
}

const char* const kItemChildren[] = {"text_color",     "back_color", "expression", "column",
                                     "case_sensitive", "wildcard",   "regexp"};

} // namespace

void DeriveHighlightPattern(tagHIGHLIGHT_ITEM& item)
{
    if (item.wildcard)
        WildcardToRegex(item.expression, item.pattern);
    else
        item.pattern.clear();
}

std::unique_ptr<TiXmlElement> CHighlight::ToXml() const
{
    if (empty())
        return nullptr;
    auto element = std::make_unique<TiXmlElement>("highlight");
    for (const tagHIGHLIGHT_ITEM& rule : *this) {
        auto* item = new TiXmlElement("item");
        AddXmlTextChild(item, "version", FromUtf8(std::to_string(rule.version)));
        AddXmlTextChild(item, "text_color", FromUtf8(std::to_string(rule.text_color)));
        AddXmlTextChild(item, "back_color", FromUtf8(std::to_string(rule.back_color)));
        AddXmlTextChild(item, "expression", rule.expression);
        AddXmlTextChild(item, "column", rule.column);
        AddXmlTextChild(item, "case_sensitive", rule.case_sensitive ? u"1" : u"0");
        AddXmlTextChild(item, "wildcard", rule.wildcard ? u"1" : u"0");
        AddXmlTextChild(item, "regexp", rule.regexp ? u"1" : u"0");
        element->LinkEndChild(item);
    }
    return element;
}

bool CHighlight::FromXml(const TiXmlElement* element)
{
    if (!element || element->ValueStr() != "highlight")
        return false;
    for (const TiXmlElement* item = element->FirstChildElement("item"); item; item = item->NextSiblingElement("item")) {
        std::u16string version;
        if (!ReadXmlChildText(item, "version", version))
            return false;
        if (version != u"1")
            continue;
        for (const char* child : kItemChildren)
            if (!item->FirstChildElement(child))
                return false;
        tagHIGHLIGHT_ITEM rule;
        long long number = 0;
        if (ReadXmlChildInteger(item, "text_color", number))
            rule.text_color = ColorValue(number);
        if (ReadXmlChildInteger(item, "back_color", number))
            rule.back_color = ColorValue(number);
        ReadXmlChildText(item, "expression", rule.expression);
        ReadXmlChildText(item, "column", rule.column);
        if (ReadXmlChildInteger(item, "case_sensitive", number))
            rule.case_sensitive = number != 0;
        if (ReadXmlChildInteger(item, "wildcard", number))
            rule.wildcard = number != 0;
        if (ReadXmlChildInteger(item, "regexp", number))
            rule.regexp = number != 0;
        DeriveHighlightPattern(rule);
        push_back(std::move(rule));
    }
    return !empty();
}

void AddRecentHighlight(CHighlight& recent, const tagHIGHLIGHT_ITEM& rule)
{
    const auto same = std::find_if(recent.begin(), recent.end(), [&](const tagHIGHLIGHT_ITEM& old) {
        return old.expression == rule.expression && old.column == rule.column
               && old.case_sensitive == rule.case_sensitive && old.wildcard == rule.wildcard
               && old.regexp == rule.regexp;
    });
    if (same != recent.end())
        recent.erase(same);
    tagHIGHLIGHT_ITEM entry;
    entry.expression = rule.expression;
    entry.column = rule.column;
    entry.case_sensitive = rule.case_sensitive;
    entry.wildcard = rule.wildcard;
    entry.regexp = rule.regexp;
    DeriveHighlightPattern(entry);
    recent.insert(recent.begin(), std::move(entry));
    if (recent.size() > kRecentHighlightLimit)
        recent.resize(kRecentHighlightLimit);
}
