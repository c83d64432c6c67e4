#include "filter/filter_store.h"

#include "xml/xml_file.h"

#include <algorithm>

#include <tinyxml.h>

namespace {

log_filter MakeValueCondition(std::u16string_view column_name, std::u16string_view cell_text, int32_t type,
                              bool logic_and)
{
    log_filter condition;
    condition.SetColumn(std::u16string(column_name));
    condition.SetType(type);
    condition.SetContent(cell_text);
    condition.SetCaseSensitive(true);
    condition.SetLogicAnd(logic_and);
    return condition;
}

} // namespace

log_filter MakeIncludeCondition(std::u16string_view column_name, std::u16string_view cell_text)
{
    return MakeValueCondition(column_name, cell_text, FILTER_TYPE_EQUAL, false);
}

log_filter MakeExcludeCondition(std::u16string_view column_name, std::u16string_view cell_text)
{
    return MakeValueCondition(column_name, cell_text, FILTER_TYPE_NOTEQUAL, true);
}

bool SetQuickFilter(log_filter& quick, std::u16string_view text, bool wildcard)
{
    if (text.empty()) {
        quick.SetContent(std::u16string_view());
        return false;
    }
    quick.SetType(wildcard ? FILTER_TYPE_WILDCARD : FILTER_TYPE_CONTAIN);
    quick.SetContent(text);
    quick.SetCaseSensitive(false);
    quick.SetColumn(std::u16string());
    return true;
}

bool IsQuickFilterWildcard(std::u16string_view text)
{
    return text.find_first_of(u"*?") != std::u16string_view::npos;
}

void AddRecentCondition(std::vector<log_filter>& recent, const log_filter& condition)
{
    const auto same = std::find_if(recent.begin(), recent.end(), [&](const log_filter& old) {
        return old.column() == condition.column() && old.content() == condition.content()
               && old.type() == condition.type() && old.case_sensitive() == condition.case_sensitive();
    });
    if (same != recent.end())
        recent.erase(same);
    recent.insert(recent.begin(), condition);
    if (recent.size() > kRecentConditionLimit)
        recent.resize(kRecentConditionLimit);
}

std::unique_ptr<TiXmlElement> ConditionListToXml(const std::vector<log_filter>& list)
{
    auto element = std::make_unique<TiXmlElement>("filters");
    for (const log_filter& condition : list)
        element->LinkEndChild(condition.ToXml().release());
    return element;
}

void ConditionListFromXml(const TiXmlElement* element, std::vector<log_filter>& list)
{
    if (!element || element->ValueStr() != "filters")
        return;
    for (const TiXmlElement* child = element->FirstChildElement("filter"); child && list.size() < kRecentConditionLimit;
         child = child->NextSiblingElement("filter")) {
        log_filter condition;
        if (condition.FromXml(child))
            list.push_back(std::move(condition));
    }
}

void LoadRecentConditions(std::u16string_view path, std::vector<log_filter>& list)
{
    list.clear();
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    ConditionListFromXml(root.get(), list);
}

bool SaveRecentConditions(const std::vector<log_filter>& list, std::u16string_view path)
{
    if (list.empty())
        return false;
    return SaveXmlFile(ConditionListToXml(list).get(), path);
}

bool LoadFilterFavorite(std::u16string_view path, log_filter_groups& groups)
{
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    if (!root) {
        groups.clear();
        return false;
    }
    return groups.FromXml(root.get());
}

bool SaveFilterFavorite(const log_filter_groups& groups, std::u16string_view path)
{
    if (groups.empty())
        return false;
    return SaveXmlFile(groups.ToXml().get(), path);
}
