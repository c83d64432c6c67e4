#include "filter/text_matcher.h"

#include "filter/text_rules.h"

#include <climits>

text_matcher text_matcher::Substring(std::u16string_view needle, bool case_sensitive)
{
    text_matcher m;
    m.m_case_sensitive = case_sensitive;
    m.m_needle = case_sensitive ? std::u16string(needle) : AsciiLowerCopy(needle);
    m.m_empty = needle.empty();
    return m;
}

text_matcher text_matcher::Regex(std::u16string_view pattern, bool case_sensitive, int runaway_limit)
{
    text_matcher m;
    m.m_case_sensitive = case_sensitive;
    m.m_empty = pattern.empty();
    m.m_runaway_limit = runaway_limit < 1 ? 1 : runaway_limit;
    if (!m.m_empty) {
        auto compiled = std::make_shared<CPatternT>();
        compiled->Compile(pattern, case_sensitive ? NO_FLAG : IgnoreCase);
        m.m_pattern = std::move(compiled);
    }
    return m;
}

bool text_matcher::Find(const char16_t* text, std::size_t length)
{
    if (m_empty)
        return true;
    if (!text)
        length = 0;
    if (!m_pattern) {
        const std::u16string_view view(text ? text : u"", length);
        return m_case_sensitive ? ContainsText(view, m_needle) : ContainsTextIgnoreCase(view, m_needle);
    }
    if (m_aborted >= m_runaway_limit)
        return false;
    const int clamped = length > std::size_t(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(length);
    const bool found = m_pattern->Search(text ? text : u"", clamped, m_context);
    if (!found && m_context.IsAborted())
        ++m_aborted;
    return found;
}
