#include "regex/text_match.h"

#include <list>
#include <mutex>
#include <unordered_map>

namespace {

bool IsWildcardSpecial(char16_t c)
{
    for (const char16_t* s = u"\\/.$^{}[]()|+#"; *s; ++s)
        if (*s == c)
            return true;
    return false;
}

std::u16string AsciiLowerCopy(const std::u16string& text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
    return out;
}

} // namespace

void WildcardToRegex(const std::u16string& wildcard, std::u16string& regex)
{
    std::u16string out;
    out.reserve(wildcard.size() * 2);
    for (std::size_t i = 0; i < wildcard.size(); ++i) {
        const char16_t c = wildcard[i];
        if (c == u'\\' && i + 1 < wildcard.size()) {
            out += c;
            out += wildcard[++i];
        } else if (c == u'*') {
            out += u"(.*)";
        } else if (c == u'?') {
            out += u"(.{1})";
        } else {
            if (IsWildcardSpecial(c))
                out += u'\\';
            out += c;
        }
    }
    regex.swap(out);
}

std::u16string WildcardToRegex(const std::u16string& wildcard)
{
    std::u16string regex;
    WildcardToRegex(wildcard, regex);
    return regex;
}

bool MatchText(const std::u16string& text, const std::u16string& pattern, bool case_sensitive, bool use_regex)
{
    if (text.empty() || pattern.empty())
        return false;
    if (!use_regex) {
        if (case_sensitive)
            return text.find(pattern) != std::u16string::npos;
        return AsciiLowerCopy(text).find(AsciiLowerCopy(pattern)) != std::u16string::npos;
    }
    return RegexSearch(text, pattern, case_sensitive ? NO_FLAG : IgnoreCase);
}

bool RegexSearch(std::u16string_view text, std::u16string_view pattern, int flags)
{
    return CPatternCache::Shared().Get(pattern, flags)->IsMatch(text);
}

struct CPatternCache::Impl {
    struct Key {
        std::u16string pattern;
        int flags;
        bool operator==(const Key& o) const { return flags == o.flags && pattern == o.pattern; }
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const
        {
            return std::hash<std::u16string>()(k.pattern) * 31 + std::size_t(k.flags);
        }
    };
    using Entry = std::pair<Key, std::shared_ptr<const CPatternT>>;

    std::size_t capacity;
    mutable std::mutex lock;
    std::list<Entry> order; // most recently used first
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index;
};

CPatternCache::CPatternCache(std::size_t capacity) : m_impl(std::make_unique<Impl>())
{
    m_impl->capacity = capacity == 0 ? 1 : capacity;
}

CPatternCache::~CPatternCache() = default;

std::shared_ptr<const CPatternT> CPatternCache::Get(std::u16string_view pattern, int flags)
{
    Impl::Key key{std::u16string(pattern), flags};
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        auto it = m_impl->index.find(key);
        if (it != m_impl->index.end()) {
            m_impl->order.splice(m_impl->order.begin(), m_impl->order, it->second);
            return it->second->second;
        }
    }
    // Compile outside the lock; a race only compiles the same pattern twice.
    auto compiled = std::make_shared<CPatternT>();
    compiled->Compile(pattern, flags);
    std::shared_ptr<const CPatternT> result = compiled;
    std::lock_guard<std::mutex> guard(m_impl->lock);
    auto it = m_impl->index.find(key);
    if (it != m_impl->index.end())
        return it->second->second;
    m_impl->order.emplace_front(key, result);
    m_impl->index.emplace(std::move(key), m_impl->order.begin());
    while (m_impl->order.size() > m_impl->capacity) {
        m_impl->index.erase(m_impl->order.back().first);
        m_impl->order.pop_back();
    }
    return result;
}

std::size_t CPatternCache::Size() const
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->order.size();
}

void CPatternCache::Clear()
{
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->index.clear();
    m_impl->order.clear();
}

CPatternCache& CPatternCache::Shared()
{
    static CPatternCache cache(128);
    return cache;
}
