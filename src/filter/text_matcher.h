// A text test prepared once and run on many texts: a substring search (exact,
// or ignoring ASCII case with the needle lower-cased in advance) or a regular
// expression compiled once.  Its answers are those of compiling the pattern
// anew for every text.
//
// Runaway patterns: a regular-expression search that runs out of the
// engine's step budget counts as not matching.  Such a search costs tens of
// milliseconds, so a pattern that backtracks without end on every cell of a
// window would take minutes; after runaway_limit such searches the matcher
// answers false for every later text without searching.
//
// Thread-safety: an object keeps the search state of its regular expression,
// so it serves one thread at a time.  Build one per filter run, per search and
// per painted page; copies share only the immutable compiled pattern.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "regex/regex.h"

class text_matcher {
public:
    // Budget overruns tolerated before a pattern counts as runaway.
    static constexpr int kDefaultRunawayLimit = 3;

    // Matches every text (the empty substring).
    text_matcher() = default;

    // Whether needle occurs in a text (ignoring ASCII case when !case_sensitive).
    static text_matcher Substring(std::u16string_view needle, bool case_sensitive);
    // Whether pattern, compiled with no flags or with IgnoreCase only, matches
    // somewhere in a text.
    static text_matcher Regex(std::u16string_view pattern, bool case_sensitive,
                              int runaway_limit = kDefaultRunawayLimit);

    // The test on text[0..length); an empty needle or pattern matches every
    // text, the empty text included.
    bool Find(const char16_t* text, std::size_t length);
    bool Find(std::u16string_view text) { return Find(text.data(), text.size()); }

    bool is_regex() const { return m_pattern != nullptr; }
    // True when the needle or the pattern text is empty.
    bool is_empty() const { return m_empty; }
    // Searches that ran out of the step budget so far.
    int aborted_searches() const { return m_aborted; }
    bool runaway() const { return m_pattern && m_aborted >= m_runaway_limit; }

private:
    std::u16string m_needle; // lower-cased when !m_case_sensitive
    bool m_case_sensitive = true;
    bool m_empty = true;
    std::shared_ptr<const CPatternT> m_pattern;
    CMatchContextT m_context;
    int m_runaway_limit = kDefaultRunawayLimit;
    int m_aborted = 0;
};
