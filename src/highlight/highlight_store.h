// The files of highlight favourites and of the recently used rules.
//
// Thread-safety: plain functions over the values they are given.
#pragma once

#include "highlight/highlight.h"

#include <map>
#include <string>
#include <string_view>

// Favourite name to rule set.
using highlight_favorites = std::map<std::u16string, CHighlight>;

// Reads one favourite file into an emptied set; true when it yields at least
// one rule (rules before a malformed item are kept and count).
bool LoadHighlightFavorite(std::u16string_view path, CHighlight& rules);
// Writes a set; false (nothing written) for an empty set or a failed write.
bool SaveHighlightFavorite(const CHighlight& rules, std::u16string_view path);

// When the file loads: empties recent and reads its rules (at most
// kRecentHighlightLimit).  A missing or malformed file leaves recent as it was.
void LoadRecentHighlights(std::u16string_view path, CHighlight& recent);
// Writes the recent rules; false (nothing written) when there are none or the write failed.
bool SaveRecentHighlights(const CHighlight& recent, std::u16string_view path);
