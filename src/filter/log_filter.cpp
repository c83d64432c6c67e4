#include "filter/log_filter.h"

#include "filter/condition_rules.h"
#include "platform/strings.h"
#include "regex/text_match.h"
#include "xml/xml_file.h"

#include <tinyxml.h>

namespace {

constexpr std::u16string_view kTypeDisplayKeys[FILTER_TYPE_COUNT] = {
    u"IDS_FILTER_TYPE_EQUAL",
    u"IDS_FILTER_TYPE_NOTEQUAL",
    u"IDS_FILTER_TYPE_CONTAIN",
    u"IDS_FILTER_TYPE_EXCLUDE",
    u"IDS_FILTER_TYPE_WILDCARD",
    u"IDS_FILTER_TYPE_REGEXP",
    u">",
    u">=",
    u"<",
    u"<=",
};

} // namespace

bool IsTextOnlyFilterType(int32_t type)
{
    return type >= FILTER_TYPE_CONTAIN && type <= FILTER_TYPE_REGEXP;
}

std::u16string_view FilterTypeDisplayKey(int32_t type)
{
    return type >= 0 && type < FILTER_TYPE_COUNT ? kTypeDisplayKeys[type] : std::u16string_view();
}

void log_filter::SetType(int32_t type)
{
    m_type = type;
    DerivePattern();
}

void log_filter::SetContent(const char16_t* text)
{
    SetContent(text ? std::u16string_view(text) : std::u16string_view());
}

void log_filter::SetContent(std::u16string_view text)
{
    m_content.assign(text);
    DerivePattern();
}

void log_filter::DerivePattern()
{
    if (m_type == FILTER_TYPE_WILDCARD)
        WildcardToRegex(m_content, m_pattern);
    else
        m_pattern.clear();
}

void log_filter::PrepareReferenceValue(const tagDATA_FORMAT& format)
{
    ParseDataValue(m_reference_value, m_content.data(), m_content.size(), format);
}

bool log_filter::IsSameCondition(const log_filter& other) const
{
    return m_column == other.m_column && m_content == other.m_content && m_case_sensitive == other.m_case_sensitive;
}

bool log_filter::Matches(const tagDATA_FORMAT& format, const char16_t* text, std::ptrdiff_t length) const
{
    const std::u16string_view cell = CellView(text, length);
    if (UsesTypedComparison(format, m_type, m_reference_value)) {
        tagDATA_VALUE value;
        ParseDataValue(value, cell.data(), cell.size(), format);
        if (value.valid)
            return CompareDataValues(value, m_reference_value, format, m_type);
    }
    auto find = [this](std::u16string_view c) {
        if (m_type == FILTER_TYPE_CONTAIN || m_type == FILTER_TYPE_EXCLUDE)
            return m_case_sensitive ? ContainsText(c, m_content) : ContainsTextIgnoreCase(c, AsciiLowerCopy(m_content));
        const std::u16string& regex = m_type == FILTER_TYPE_WILDCARD ? m_pattern : m_content;
        if (regex.empty())
            return true;
        return RegexSearch(c, regex, m_case_sensitive ? NO_FLAG : IgnoreCase);
    };
    return TextConditionHolds(m_type, m_case_sensitive, cell, m_content, find);
}

std::unique_ptr<TiXmlElement> log_filter::ToXml() const
{
    auto element = std::make_unique<TiXmlElement>("filter");
    AddXmlTextChild(element.get(), "version", FromUtf8(std::to_string(m_version)));
    AddXmlTextChild(element.get(), "column", m_column);
    AddXmlTextChild(element.get(), "type", FromUtf8(std::to_string(m_type)));
    AddXmlTextChild(element.get(), "content", m_content);
    AddXmlTextChild(element.get(), "case_sensitive", m_case_sensitive ? u"1" : u"0");
    AddXmlTextChild(element.get(), "logic_and", m_logic_and ? u"1" : u"0");
    return element;
}

bool log_filter::FromXml(const TiXmlElement* element)
{
    *this = log_filter();
    if (!element || element->ValueStr() != "filter")
        return false;
    std::u16string text;
    if (!ReadXmlChildText(element, "version", text) || text != u"1")
        return false;
    for (const char* child : {"column", "type", "content", "case_sensitive", "logic_and"})
        if (!element->FirstChildElement(child))
            return false;
    if (!ReadXmlChildText(element, "column", m_column) || m_column.empty())
        return false;
    long long number = 0;
    if (ReadXmlChildInteger(element, "type", number)) {
        if (number < 0 || number >= FILTER_TYPE_COUNT)
            return false;
        m_type = static_cast<int32_t>(number);
    }
    ReadXmlChildText(element, "content", m_content);
    if (ReadXmlChildInteger(element, "case_sensitive", number))
        m_case_sensitive = number != 0;
    if (ReadXmlChildInteger(element, "logic_and", number))
        m_logic_and = number != 0;
    DerivePattern();
    return true;
}

bool log_filter::operator==(const log_filter& other) const
{
    return m_version == other.m_version && m_column == other.m_column && m_type == other.m_type
           && m_content == other.m_content && m_case_sensitive == other.m_case_sensitive
           && m_logic_and == other.m_logic_and && m_pattern == other.m_pattern;
}
