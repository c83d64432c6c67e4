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

// Rewrites folder with one file per favourite; the paths that could not be
// written are appended to failed.
template <class Map, class Save>
void SaveFavoriteFolder(const std::u16string& folder, const Map& favorites, const std::set<std::u16string>& unloaded,
                        Save save, std::vector<std::u16string>& failed)
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
    rewrite.finish();
    failed.insert(failed.end(), rewrite.failed().begin(), rewrite.failed().end());
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

void CVarnothApp::SaveFavorites(std::vector<std::u16string>& failed)
{
    SaveFavoriteFolder(m_filter_directory, filter_favorite_sets, m_unloaded_filter_files, SaveFilterFavorite, failed);
    SaveFavoriteFolder(m_highlight_directory, highlight_favorite_sets, m_unloaded_highlight_files,
                       SaveHighlightFavorite, failed);
}

void CVarnothApp::SaveRecent(folder_rewrite& history)
{
    if (!recent_conditions.empty())
        history.keep(u"filter.xml", SaveRecentConditions(recent_conditions, history.path_of(u"filter.xml")));
    if (!recent_highlights.empty())
        history.keep(u"highlight.xml", SaveRecentHighlights(recent_highlights, history.path_of(u"highlight.xml")));
}
