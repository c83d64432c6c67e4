// The application's filter and highlight favourites and its recent
// conditions and rules: read at start, written at exit.
#include "app/folder_rewrite.h"
#include "app/varnoth_app.h"
#include "platform/files.h"
#include "platform/strings.h"

namespace {

constexpr std::u16string_view kXmlSuffix = u".xml";

// Loads every "*.xml" file of folder with load(path, set) into favorites under
// the file name without its suffix; names of files that yield nothing go to
// unloaded.
template <class Map, class Load>
void LoadFavoriteFolder(const std::u16string& folder, Map& favorites, std::set<std::u16string>& unloaded, Load load)
{
    favorites.clear();
    unloaded.clear();
    for (const std::u16string& file : ListFiles(folder, kXmlSuffix)) {
        typename Map::mapped_type set;
        if (load(JoinPath(folder, file), set))
            favorites[file.substr(0, file.size() - kXmlSuffix.size())] = std::move(set);
        else
            unloaded.insert(file);
    }
}

template <class Map, class Save>
bool SaveFavoriteFolder(const std::u16string& folder, const Map& favorites, const std::set<std::u16string>& unloaded,
                        Save save)
{
    folder_rewrite rewrite(folder);
    for (const std::u16string& file : unloaded)
        rewrite.keep(file, true);
    for (const auto& [name, set] : favorites) {
        const std::u16string file = name + std::u16string(kXmlSuffix);
        if (!IsValidFileName(name)) {
            // Never written under a name the dialogs would refuse; a file that
            // already holds it stays as it is.
            rewrite.keep(file, true);
            continue;
        }
        if (set.empty())
            continue;
        rewrite.keep(file, save(set, rewrite.path_of(file)));
    }
    return rewrite.finish();
}

} // namespace

void CVarnothApp::LoadFavoritesAndRecent()
{
    LoadFavoriteFolder(m_filter_directory, filter_favorite_sets, m_unloaded_filter_files, LoadFilterFavorite);
    LoadFavoriteFolder(m_highlight_directory, highlight_favorite_sets, m_unloaded_highlight_files,
                       LoadHighlightFavorite);
    LoadRecentConditions(JoinPath(m_history_directory, u"filter.xml"), recent_conditions);
    recent_highlights.clear();
    LoadRecentHighlights(JoinPath(m_history_directory, u"highlight.xml"), recent_highlights);
}

bool CVarnothApp::SaveFavorites()
{
    const bool filters_ok =
        SaveFavoriteFolder(m_filter_directory, filter_favorite_sets, m_unloaded_filter_files, SaveFilterFavorite);
    const bool highlights_ok = SaveFavoriteFolder(m_highlight_directory, highlight_favorite_sets,
                                                  m_unloaded_highlight_files, SaveHighlightFavorite);
    return filters_ok && highlights_ok;
}

bool CVarnothApp::SaveRecent(folder_rewrite& history)
{
    bool ok = true;
    if (!recent_conditions.empty()) {
        const bool written = SaveRecentConditions(recent_conditions, history.path_of(u"filter.xml"));
        history.keep(u"filter.xml", written);
        ok = written;
    }
    if (!recent_highlights.empty()) {
        const bool written = SaveRecentHighlights(recent_highlights, history.path_of(u"highlight.xml"));
        history.keep(u"highlight.xml", written);
        ok = written && ok;
    }
    return ok;
}
