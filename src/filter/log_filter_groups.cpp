#include "filter/log_filter_groups.h"

#include <tinyxml.h>

parser_columns ParserColumns(const log_pattern_list& parser)
{
    parser_columns columns;
    leaf_count(parser, &columns);
    return columns;
}

std::size_t log_filter_groups::AddCondition(const log_filter& condition)
{
    std::size_t position = 0;
    for (group& g : m_groups) {
        if (g.front().column() != condition.column()) {
            position += g.size();
            continue;
        }
        for (std::size_t i = 0; i < g.size(); ++i)
            if (g[i].IsSameCondition(condition))
                return position + i;
        if (condition.logic_and()) {
            g.push_back(condition);
            return position + g.size() - 1;
        }
        g.insert(g.begin(), condition);
        return position;
    }
    m_groups.push_back(group{condition});
    return position;
}

std::size_t log_filter_groups::ConditionCount() const
{
    std::size_t count = 0;
    for (const group& g : m_groups)
        count += g.size();
    return count;
}

void log_filter_groups::Flatten(std::vector<log_filter>& list) const
{
    list.clear();
    list.reserve(ConditionCount());
    for (const group& g : m_groups)
        list.insert(list.end(), g.begin(), g.end());
}

FilterColumnBinding log_filter_groups::BindColumns(const parser_columns& columns) const
{
    FilterColumnBinding binding;
    binding.reserve(m_groups.size());
    for (const group& g : m_groups) {
        std::size_t index = 0;
        while (index < columns.size() && columns[index]->name != g.front().column())
            ++index;
        binding.push_back(index);
    }
    return binding;
}

void log_filter_groups::PrepareReferenceValues(const FilterColumnBinding& binding, const parser_columns& columns)
{
    for (std::size_t k = 0; k < m_groups.size() && k < binding.size(); ++k) {
        if (binding[k] >= columns.size())
            continue;
        const tagDATA_FORMAT& format = columns[binding[k]]->data_format;
        if (format.data_type == DATA_TYPE_TEXT)
            continue;
        for (log_filter& condition : m_groups[k])
            condition.PrepareReferenceValue(format);
    }
}

bool log_filter_groups::RowPasses(const log_line& row, const FilterColumnBinding& binding,
                                  const parser_columns& columns) const
{
    bool passes = true;
    for (std::size_t k = 0; k < m_groups.size() && k < binding.size(); ++k) {
        const std::size_t i = binding[k];
        if (i >= columns.size() || i >= row.columns().size())
            continue;
        const std::u16string_view cell = ColumnText(row, row.columns()[i]);
        bool all_and = true, any_or = false, has_or = false;
        for (const log_filter& condition : m_groups[k]) {
            const bool holds =
                condition.Matches(columns[i]->data_format, cell.data(), static_cast<std::ptrdiff_t>(cell.size()));
            if (condition.logic_and()) {
                all_and = all_and && holds;
            } else {
                has_or = true;
                any_or = any_or || holds;
            }
        }
        passes = passes && all_and && (!has_or || any_or);
    }
    return passes;
}

bool log_filter_groups::AnyCellMatches(const log_line& row, const log_filter& condition)
{
    static const tagDATA_FORMAT text_format;
    for (const log_column& column : row.columns()) {
        const std::u16string_view cell = ColumnText(row, column);
        if (condition.Matches(text_format, cell.data(), static_cast<std::ptrdiff_t>(cell.size())))
            return true;
    }
    return false;
}

std::unique_ptr<TiXmlElement> log_filter_groups::ToXml() const
{
    auto element = std::make_unique<TiXmlElement>("filters");
    for (const group& g : m_groups)
        for (const log_filter& condition : g)
            element->LinkEndChild(condition.ToXml().release());
    return element;
}

bool log_filter_groups::FromXml(const TiXmlElement* element)
{
    m_groups.clear();
    if (!element || element->ValueStr() != "filters")
        return false;
    for (const TiXmlElement* child = element->FirstChildElement("filter"); child;
         child = child->NextSiblingElement("filter")) {
        log_filter condition;
        if (condition.FromXml(child))
            AddCondition(condition);
    }
    return !m_groups.empty();
}
