#include "highlight/highlight_store.h"

#include "xml/xml_file.h"

#include <tinyxml.h>

bool LoadHighlightFavorite(std::u16string_view path, CHighlight& rules)
{
    rules.clear();
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    if (root)
        rules.FromXml(root.get());
    return !rules.empty();
}

bool SaveHighlightFavorite(const CHighlight& rules, std::u16string_view path)
{
    const std::unique_ptr<TiXmlElement> element = rules.ToXml();
    return element && SaveXmlFile(element.get(), path);
}

void LoadRecentHighlights(std::u16string_view path, CHighlight& recent)
{
    const std::unique_ptr<TiXmlElement> root = LoadXmlFile(path);
    if (!root)
        return;
    recent.clear();
    recent.FromXml(root.get());
    if (recent.size() > kRecentHighlightLimit)
        recent.resize(kRecentHighlightLimit);
}

bool SaveRecentHighlights(const CHighlight& recent, std::u16string_view path)
{
    return SaveHighlightFavorite(recent, path);
}
