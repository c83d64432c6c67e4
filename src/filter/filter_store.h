// Conditions made by the quick commands, the quick filter, and the files that
// keep filter favourites and the recently used conditions.
//
// Thread-safety: plain functions over the values they are given; the stores
// themselves belong to the application object.
#pragma once

#include "filter/log_filter_groups.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The most recent conditions kept.
inline constexpr std::size_t kRecentConditionLimit = 10;

// Favourite name to condition set.
using filter_favorites = std::map<std::u16string, log_filter_groups>;

// Include this value: column equals cell_text, case-sensitive, an OR member.
log_filter MakeIncludeCondition(std::u16string_view column_name, std::u16string_view cell_text);
// Exclude this value: column differs from cell_text, case-sensitive, an AND member.
log_filter MakeExcludeCondition(std::u16string_view column_name, std::u16string_view cell_text);

// Sets the quick filter condition: an empty text clears its content (and
// pattern) and returns false (the caller empties its quick rows; nothing is
// evaluated).  Otherwise content = text, a wildcard condition when wildcard is
// set, else a contain condition, not case-sensitive, no column; returns true
// (the quick rows are to be rebuilt).
bool SetQuickFilter(log_filter& quick, std::u16string_view text, bool wildcard);

// True when a quick-filter text is to be read as a wildcard (holds "*" or "?").
bool IsQuickFilterWildcard(std::u16string_view text);

// Puts condition at the front of the recent list after removing an older
// entry with the same column, content, type and case flag; keeps at most
// kRecentConditionLimit entries.
void AddRecentCondition(std::vector<log_filter>& recent, const log_filter& condition);

// A "filters" element holding the conditions in list order.
std::unique_ptr<TiXmlElement> ConditionListToXml(const std::vector<log_filter>& list);
// Appends, in document order, every "filter" child of a "filters" element
// that loads (at most kRecentConditionLimit in the list); nothing for any
// other element.
void ConditionListFromXml(const TiXmlElement* element, std::vector<log_filter>& list);

// Reads the recent conditions file into an emptied list; a missing or
// malformed file leaves it empty.
void LoadRecentConditions(std::u16string_view path, std::vector<log_filter>& list);
// Writes the list; false (nothing written) for an empty list or a failed write.
bool SaveRecentConditions(const std::vector<log_filter>& list, std::u16string_view path);

// Reads one favourite file into groups; true when it yields at least one group.
bool LoadFilterFavorite(std::u16string_view path, log_filter_groups& groups);
// Writes one favourite; false (nothing written) for a set without groups or a failed write.
bool SaveFilterFavorite(const log_filter_groups& groups, std::u16string_view path);
