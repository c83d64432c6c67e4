// Highlight rules: a text, wildcard or regular expression, optionally limited
// to one column, with the text and back colours of the cells it matches.
//
// Thread-safety: plain values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TiXmlElement;

struct tagHIGHLIGHT_ITEM {
    int32_t version = 1;
    int32_t text_color = 0;   // 0x00BBGGRR
    int32_t back_color = 213; // 0x00BBGGRR (red 213)
    std::u16string expression;
    std::u16string column; // empty: every column
    bool case_sensitive = false;
    bool wildcard = false;
    bool regexp = false;    // ignored when wildcard is set
    std::u16string pattern; // WildcardToRegex(expression) for a wildcard rule, else empty

    bool operator==(const tagHIGHLIGHT_ITEM&) const = default;
};

// Re-derives item.pattern from its expression and wildcard flag.
void DeriveHighlightPattern(tagHIGHLIGHT_ITEM& item);

// An ordered set of rules; later rules win.  Copies copy every rule.
class CHighlight : public std::vector<tagHIGHLIGHT_ITEM> {
public:
    using std::vector<tagHIGHLIGHT_ITEM>::vector;

    // A new "highlight" element with one "item" per rule, or null for an empty set.
    std::unique_ptr<TiXmlElement> ToXml() const;
    // Appends the rules of a "highlight" element.  An item without a version
    // text, or lacking a child, ends the reading and the answer is false (the
    // rules read before stay); an item of another version is skipped.
    // Otherwise true when the set ends with at least one rule.
    bool FromXml(const TiXmlElement* element);
};

// The most recent rules kept.
inline constexpr std::size_t kRecentHighlightLimit = 10;

// Puts a copy of rule (with the colours of a new rule) at the front of the
// recent rules after removing an older one with the same expression, column
// and flags; keeps at most kRecentHighlightLimit.
void AddRecentHighlight(CHighlight& recent, const tagHIGHLIGHT_ITEM& rule);
