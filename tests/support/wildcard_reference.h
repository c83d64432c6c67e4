// An independent reference for wildcard searches in tests: does text contain
// a stretch that the wildcard ("*" any run, "?" one character, everything
// else itself) matches?  A plain recursive matcher, slow but obvious.
#pragma once

#include <string_view>

inline bool WildcardMatchesAt(std::string_view text, std::string_view wildcard)
{
    if (wildcard.empty())
        return true;
    if (wildcard.front() == '*') {
        for (std::size_t skip = 0; skip <= text.size(); ++skip)
            if (WildcardMatchesAt(text.substr(skip), wildcard.substr(1)))
                return true;
        return false;
    }
    if (text.empty() || (wildcard.front() != '?' && wildcard.front() != text.front()))
        return false;
    return WildcardMatchesAt(text.substr(1), wildcard.substr(1));
}

inline bool WildcardFound(std::string_view text, std::string_view wildcard)
{
    for (std::size_t start = 0; start <= text.size(); ++start)
        if (WildcardMatchesAt(text.substr(start), wildcard))
            return true;
    return false;
}
