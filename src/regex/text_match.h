// The text tests that filters, highlight rules and searches share: wildcard
// conversion, the plain-or-regular-expression text match, and a cache of
// compiled patterns so that one pattern tested against millions of cells is
// compiled once.  Every function here is thread-safe.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "regex/regex.h"

// Turns a wildcard ("*" any run, "?" one character, "\x" kept as written) into
// a regular expression; the result replaces regex.  An empty wildcard gives "".
void WildcardToRegex(const std::u16string& wildcard, std::u16string& regex);

// The same, returning the expression.
std::u16string WildcardToRegex(const std::u16string& wildcard);

// True when pattern occurs in text (use_regex false: as a substring; true: as a
// regular expression searched anywhere in text).  Ignoring case folds ASCII
// letters only and never changes an escape.  False when text or pattern is
// empty.  Compiled patterns come from CPatternCache::Shared().
bool MatchText(const std::u16string& text, const std::u16string& pattern, bool case_sensitive, bool use_regex);

// A bounded cache of compiled patterns keyed by (pattern text, flags), least
// recently used out first.  Thread-safe; the patterns it hands out are
// immutable and stay valid as long as the caller holds them.
class CPatternCache {
public:
    explicit CPatternCache(std::size_t capacity = 64);
    ~CPatternCache();
    CPatternCache(const CPatternCache&) = delete;
    CPatternCache& operator=(const CPatternCache&) = delete;

    // The compiled pattern for (pattern, flags), compiled on first request; never null.
    std::shared_ptr<const CPatternT> Get(std::u16string_view pattern, int flags);
    // Number of patterns held.
    std::size_t Size() const;
    void Clear();

    // The process-wide cache MatchText and RegexSearch use.
    static CPatternCache& Shared();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// True when the regular expression pattern (compiled with flags: 0 or
// IgnoreCase) matches somewhere in text; an empty pattern matches every text.
// Same answer as compiling a fresh CPatternT; the compiled pattern is cached.
bool RegexSearch(std::u16string_view text, std::u16string_view pattern, int flags);
