#include "parser/suggestion_names.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace {

using vocabulary = std::initializer_list<std::u16string_view>;

const vocabulary kMethods = {u"GET", u"POST", u"PUT", u"DELETE", u"HEAD", u"OPTIONS", u"PATCH", u"CONNECT"};
const vocabulary kPackageActions = {u"install", u"upgrade",  u"remove",  u"purge",   u"configure",
                                    u"status",  u"trigproc", u"startup", u"conffile"};
const vocabulary kStreams = {u"stdout", u"stderr"};
const vocabulary kProtocols = {u"tcp", u"udp", u"icmp", u"TCP", u"UDP", u"ICMP"};

bool in(const vocabulary& words, std::u16string_view value)
{
    return std::find(words.begin(), words.end(), value) != words.end();
}

// Every value of the column is one of words (and there is one at least).
bool all_in(const column_facts& facts, const vocabulary& words)
{
    return !facts.values.empty() && std::all_of(facts.values.begin(), facts.values.end(), [&](const std::u16string& v) {
        return in(words, v);
    });
}

bool all_levels(const column_facts& facts)
{
    return !facts.values.empty() && std::all_of(facts.values.begin(), facts.values.end(), [](const std::u16string& v) {
        return is_level_word(v);
    });
}

bool is_dotted_name(std::u16string_view text)
{
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);
    if (text.empty() || text.find(u'.') == std::u16string_view::npos)
        return false;
    const bool letters = std::any_of(text.begin(), text.end(),
                                     [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
    return letters && std::all_of(text.begin(), text.end(), [](char16_t c) {
               return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.'
                      || c == u'_' || c == u'$' || c == u'-';
           });
}

bool all_statuses(const column_facts& facts)
{
    return !facts.values.empty() && std::all_of(facts.values.begin(), facts.values.end(), [](const std::u16string& v) {
        return v.size() == 3 && v[0] >= u'1' && v[0] <= u'5'
               && std::all_of(v.begin(), v.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
    });
}

bool all_upper_short(const std::u16string& value)
{
    return value.size() >= 2 && value.size() <= 5
           && std::all_of(value.begin(), value.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
}

bool starts_with_method(std::u16string_view value)
{
    const std::size_t space = value.find(u' ');
    return space != std::u16string_view::npos && in(kMethods, value.substr(0, space));
}

bool is_address_name(const std::u16string& name)
{
    return name == u"Client" || name == u"Server" || name == u"Address";
}

// A name fit for a column: no XML special characters, not empty.
std::u16string clean(std::u16string name)
{
    name.erase(
        std::remove_if(name.begin(), name.end(),
                       [](char16_t c) { return c == u'"' || c == u'\'' || c == u'&' || c == u'<' || c == u'>'; }),
        name.end());
    return name.empty() ? std::u16string(u"Field") : name;
}

std::u16string field_name(std::size_t index)
{
    std::u16string name = u"Field ";
    for (const char c : std::to_string(index + 1))
        name += static_cast<char16_t>(c);
    return name;
}

std::u16string name_of(const std::vector<column_facts>& all, std::size_t i, const std::vector<std::u16string>& names,
                       const log_pattern& item)
{
    const column_facts& facts = all[i];
    const line_token& token = *facts.token;
    const std::u16string previous = i > 0 ? names[i - 1] : std::u16string();
    const token_kind next_kind = i + 1 < all.size() ? all[i + 1].token->kind : token_kind::word;
    const bool next_is_time = i + 1 < all.size() && all[i + 1].token->content == token_kind::datetime;
    const auto used = [&](std::u16string_view name) {
        return std::find(names.begin(), names.begin() + i, name) != names.begin() + i;
    };

    if (token.kind == token_kind::key_value)
        return clean(token.key);
    if (token.content == token_kind::datetime || (token.content == token_kind::epoch && i == 0))
        return u"Time";
    if (token.kind == token_kind::level || token.content == token_kind::level || all_levels(facts))
        return u"Level";
    switch (token.kind) {
    case token_kind::label:
        if (std::all_of(facts.value.begin(), facts.value.end(),
                        [](char16_t c) { return (c >= u'0' && c <= u'9') || c == u'#'; }))
            return u"Process";
        if (facts.value.find(u'[') != std::u16string::npos || previous == u"Host")
            return u"Program";
        if (previous == u"Level" || facts.value.find(u'.') != std::u16string::npos)
            return u"Logger";
        return u"Source";
    case token_kind::bracket:
        if (token.content == token_kind::number || token.content == token_kind::epoch)
            return token.format.digit_count == 0 ? u"Process" : field_name(i);
        if (is_dotted_name(facts.value))
            return u"Logger";
        if (facts.value.find(u' ') == std::u16string::npos && !used(u"Thread"))
            return u"Thread";
        return u"Tag";
    case token_kind::quoted:
        if (starts_with_method(facts.value))
            return u"Request";
        if (previous == u"Referrer")
            return u"Agent";
        if (previous == u"Size" || previous == u"Status" || facts.value.find(u"://") != std::u16string::npos)
            return u"Referrer";
        return u"Text";
    case token_kind::ipv4: return !used(u"Client") ? u"Client" : !used(u"Server") ? u"Server" : u"Address";
    case token_kind::number:
    case token_kind::epoch:
        if (is_address_name(previous) || previous.starts_with(u"Address"))
            return u"Port";
        if (all_statuses(facts) && (previous == u"Request" || previous == u"Method"))
            return u"Status";
        if (previous == u"Status")
            return u"Size";
        return field_name(i);
    default: break;
    }
    // Words.
    if (all_in(facts, kMethods))
        return u"Method";
    if (all_in(facts, kPackageActions))
        return u"Action";
    if (previous == u"Action")
        return u"Package";
    if (all_in(facts, kStreams))
        return u"Stream";
    if (all_in(facts, kProtocols))
        return u"Protocol";
    if (previous == u"Client")
        return next_is_time ? u"User" : u"Identity";
    if (previous == u"Identity")
        return u"User";
    if (next_kind == token_kind::label && previous == u"Time")
        return u"Host";
    if (previous == u"Time" && all_upper_short(facts.value))
        return u"Zone";
    if (is_dotted_name(facts.value) || item.end.find(u" - ") != std::u16string::npos)
        return u"Logger";
    return field_name(i);
}

} // namespace

void name_columns(log_pattern_list& parser, const std::vector<column_facts>& facts, bool message)
{
    std::vector<std::u16string> names;
    auto item = parser.begin();
    for (std::size_t i = 0; i < facts.size() && item != parser.end(); ++i, ++item)
        names.push_back(name_of(facts, i, names, *item));
    if (message)
        names.push_back(u"Message");
    // Unique names: a later column with a name already given is numbered.
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string base = names[i];
        for (int n = 2; std::count(names.begin(), names.begin() + i, names[i]) > 0; ++n) {
            names[i] = base + u" ";
            for (const char c : std::to_string(n))
                names[i] += static_cast<char16_t>(c);
        }
    }
    std::size_t i = 0;
    for (log_pattern& named : parser)
        named.name = i < names.size() ? names[i++] : field_name(i++);
}
