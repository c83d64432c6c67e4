#include "parser/line_tokens.h"

#include "format/datetime.h"

#include <algorithm>
#include <array>

namespace {

bool is_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool is_letter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

char16_t upper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::u16string_view trim(std::u16string_view text)
{
    while (!text.empty() && is_gap_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_gap_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A date-time layout: shape letters 'D' (a digit), '_' (a digit or a space
// padding a day), 'M' (an English month abbreviation); every other character
// stands for itself.
struct datetime_layout {
    std::u16string_view shape;
    std::u16string_view format;
    std::u16string_view padded_format; // the format when '_' met a space
};

constexpr datetime_layout kLayouts[] = {
    {u"DDDD-DD-DDTDD:DD:DD", u"Y-m-dTH:M:S", u""},
    {u"DDDD-DD-DD DD:DD:DD", u"Y-m-d H:M:S", u""},
    {u"DDDD/DD/DD DD:DD:DD", u"Y/m/d H:M:S", u""},
    {u"DD/M/DDDD:DD:DD:DD", u"d/b/Y:H:M:S", u""},
    {u"DD-M-DDDD DD:DD:DD", u"d-b-Y H:M:S", u""},
    {u"DD M DDDD DD:DD:DD", u"d b Y H:M:S", u""},
    {u"M _D DD:DD:DD", u"b d H:M:S", u"b  d H:M:S"},
    {u"DD/DD/DDDD DD:DD:DD", u"m/d/Y H:M:S", u""},
    {u"DDDD-DD-DD", u"Y-m-d", u""},
    {u"DD:DD:DD", u"H:M:S", u""},
};

bool is_month_at(std::u16string_view text, std::size_t at)
{
    if (text.size() - at < 3)
        return false;
    for (const std::u16string& name : DefaultDateTimeWords().nick_name)
        if (text.substr(at, 3) == name)
            return true;
    return false;
}

// Characters that may follow a date-time token directly.
bool ends_datetime(std::u16string_view text, std::size_t at)
{
    if (at >= text.size())
        return true;
    const char16_t c = text[at];
    return is_gap_blank(c) || c == u']' || c == u')' || c == u'"' || c == u',' || c == u';' || c == u'|';
}

// A zone after a time: "Z", "+02:00", "-0700".  Its length, or 0.
std::size_t zone_length(std::u16string_view text, std::size_t at)
{
    if (at < text.size() && text[at] == u'Z')
        return 1;
    if (at >= text.size() || (text[at] != u'+' && text[at] != u'-'))
        return 0;
    std::size_t i = at + 1;
    std::size_t digits = 0;
    while (i < text.size() && digits < 4 && (is_digit(text[i]) || (text[i] == u':' && digits == 2))) {
        digits += is_digit(text[i]) ? 1 : 0;
        ++i;
    }
    return digits == 4 ? i - at : 0;
}

// The date-time at text[at..), or 0 with format untouched.  The token takes a
// fraction of a second and a zone after the seconds; the format reads the
// fraction as milliseconds only when it has exactly three digits.
std::size_t match_datetime(std::u16string_view text, std::size_t at, tagDATA_FORMAT& format)
{
    for (const datetime_layout& layout : kLayouts) {
        std::size_t i = at;
        bool padded = false;
        bool ok = true;
        for (const char16_t s : layout.shape) {
            if (s == u'M') {
                ok = is_month_at(text, i);
                i += 3;
            } else {
                ok = i < text.size()
                     && (s == u'D'   ? is_digit(text[i])
                         : s == u'_' ? (is_digit(text[i]) || text[i] == u' ')
                                     : text[i] == s);
                padded = padded || (s == u'_' && ok && text[i] == u' ');
                ++i;
            }
            if (!ok)
                break;
        }
        if (!ok)
            continue;
        std::u16string format_text(padded ? layout.padded_format : layout.format);
        if (format_text.back() == u'S') {
            if (i + 1 < text.size() && (text[i] == u'.' || text[i] == u',') && is_digit(text[i + 1])) {
                std::size_t digits = 0;
                while (i + 1 + digits < text.size() && is_digit(text[i + 1 + digits]))
                    ++digits;
                if (digits == 3) {
                    format_text += text[i];
                    format_text += u's';
                }
                i += 1 + digits;
            }
            i += zone_length(text, i);
        }
        if (!ends_datetime(text, i))
            continue;
        format.data_type = DATA_TYPE_DATETIME;
        format.format = std::move(format_text);
        format.language.clear();
        return i - at;
    }
    return 0;
}

// A zone written as a word after a date-time inside brackets: " +0200",
// " UTC", " CEST".
bool is_zone_suffix(std::u16string_view rest)
{
    if (rest.empty())
        return true;
    if (rest.front() != u' ')
        return false;
    rest.remove_prefix(1);
    if (rest.size() == 5 && (rest[0] == u'+' || rest[0] == u'-'))
        return std::all_of(rest.begin() + 1, rest.end(), is_digit);
    return rest.size() >= 1 && rest.size() <= 5
           && std::all_of(rest.begin(), rest.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
}

bool is_ipv4(std::u16string_view text)
{
    if (text.size() < 7 || text.size() > 15)
        return false;
    int groups = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && is_digit(text[i]) && digits < 4) {
            value = value * 10 + (text[i] - u'0');
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        ++groups;
        if (i == text.size())
            return groups == 4;
        if (text[i] != u'.' || groups == 4)
            return false;
        ++i;
    }
}

// An integer or a decimal number, with thousands separators; format set.
bool is_number(std::u16string_view text, tagDATA_FORMAT& format)
{
    std::size_t i = text.empty() || text[0] != u'-' ? 0 : 1;
    std::size_t digits = 0;
    bool commas = false;
    for (; i < text.size() && (is_digit(text[i]) || text[i] == u','); ++i) {
        if (text[i] == u',') {
            // Thousands separators only between groups of three digits.
            if (digits == 0 || i + 3 >= text.size() + 0 || !is_digit(text[i + 1]))
                return false;
            commas = true;
        } else {
            ++digits;
        }
    }
    if (digits == 0 || digits > 18)
        return false;
    std::size_t decimals = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        for (; i < text.size() && is_digit(text[i]); ++i)
            ++decimals;
        if (decimals == 0)
            return false;
    }
    if (i != text.size())
        return false;
    format = tagDATA_FORMAT();
    format.data_type = DATA_TYPE_NUMERIC;
    format.separator_1000 = commas;
    format.digit_count = static_cast<uint8_t>(std::min<std::size_t>(decimals, MAX_DIGIT_COUNT));
    return true;
}

// Seconds (2001 to 2100, perhaps with a fraction) or milliseconds since 1970.
bool is_epoch(std::u16string_view text, tagDATA_FORMAT& format)
{
    const std::size_t dot = text.find(u'.');
    const std::u16string_view whole = text.substr(0, dot);
    if (!std::all_of(whole.begin(), whole.end(), is_digit) || (whole.size() != 10 && whole.size() != 13))
        return false;
    if (whole.size() == 13 && dot != std::u16string_view::npos)
        return false;
    if (whole.front() != u'1' && whole.front() != u'2' && whole.front() != u'3' && whole.front() != u'4')
        return false;
    return is_number(text, format);
}

bool is_separator(std::u16string_view text)
{
    return text == u"-" || text == u"|" || text == u"--" || text == u"---" || text == u"::";
}

constexpr std::array<std::u16string_view, 12> kLevels = {u"TRACE", u"DEBUG",    u"INFO",   u"NOTICE",
                                                         u"WARN",  u"WARNING",  u"ERROR",  u"FATAL",
                                                         u"CRIT",  u"CRITICAL", u"SEVERE", u"ALERT"};

bool equals_upper(std::u16string_view text, std::u16string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != word[i])
            return false;
    return true;
}

// A word from line[at..) up to the next blank or the end of the window.
std::size_t word_end(std::u16string_view line, std::size_t at, std::size_t limit)
{
    std::size_t i = at;
    while (i < limit && !is_gap_blank(line[i]))
        ++i;
    return i;
}

bool is_key_start(char16_t c)
{
    return is_letter(c) || c == u'_';
}

bool is_key_char(char16_t c)
{
    return is_letter(c) || is_digit(c) || c == u'_' || c == u'.' || c == u'-';
}

line_token value_token(token_kind kind, std::size_t begin, std::size_t end)
{
    line_token token;
    token.kind = kind;
    token.begin = begin;
    token.end = end;
    token.value_begin = begin;
    token.value_end = end;
    token.content = kind;
    return token;
}

} // namespace

bool is_level_word(std::u16string_view text)
{
    text = trim(text);
    if (text == u"LOG" || text == u"PANIC" || text == u"EMERG")
        return true;
    for (const std::u16string_view level : kLevels)
        if (equals_upper(text, level))
            return true;
    return false;
}

token_kind classify_text(std::u16string_view text, tagDATA_FORMAT& format)
{
    const std::u16string_view trimmed = trim(text);
    if (trimmed.empty())
        return token_kind::word;
    tagDATA_FORMAT found;
    const std::size_t length = match_datetime(trimmed, 0, found);
    if (length > 0 && is_zone_suffix(trimmed.substr(length))) {
        format = found;
        return token_kind::datetime;
    }
    if (trimmed.size() != text.size())
        return is_level_word(trimmed) ? token_kind::level : token_kind::word;
    if (is_ipv4(text))
        return token_kind::ipv4;
    if (is_epoch(text, format))
        return token_kind::epoch;
    if (is_number(text, format))
        return token_kind::number;
    if (is_level_word(text))
        return token_kind::level;
    return token_kind::word;
}

std::vector<line_token> tokenize_line(std::u16string_view line)
{
    std::vector<line_token> tokens;
    const std::size_t limit = std::min(line.size(), kMaxTokenizedLength);
    bool colon_chain = false; // after "LEVEL:", a word is cut at its first ':'
    std::size_t pos = 0;
    while (tokens.size() < kMaxLineTokens) {
        if (!colon_chain)
            while (pos < limit && is_gap_blank(line[pos]))
                ++pos;
        if (pos >= limit)
            break;
        const char16_t c = line[pos];
        line_token token;

        tagDATA_FORMAT format;
        if (const std::size_t length = match_datetime(line.substr(0, limit), pos, format)) {
            token = value_token(token_kind::datetime, pos, pos + length);
            token.format = format;
        } else if (c == u'[' || c == u'(' || c == u'"') {
            const char16_t close = c == u'[' ? u']' : c == u'(' ? u')' : u'"';
            const std::size_t found = line.substr(0, limit).find(close, pos + 1);
            if (found != std::u16string_view::npos) {
                token.kind = c == u'"' ? token_kind::quoted : token_kind::bracket;
                token.begin = pos;
                token.end = found + 1;
                token.value_begin = pos + 1;
                token.value_end = found;
                token.open = std::u16string(1, c);
                token.close = std::u16string(1, close);
                token.content = classify_text(line.substr(pos + 1, found - pos - 1), token.format);
            }
        } else if (is_key_start(c)) {
            std::size_t k = pos + 1;
            while (k < limit && is_key_char(line[k]))
                ++k;
            if (k < limit && line[k] == u'=') {
                token.kind = token_kind::key_value;
                token.begin = pos;
                token.key = std::u16string(line.substr(pos, k - pos));
                token.open = token.key + u"=";
                std::size_t value = k + 1;
                std::size_t value_end = word_end(line, value, limit);
                std::size_t end = value_end;
                if (value < limit && line[value] == u'"') {
                    const std::size_t found = line.substr(0, limit).find(u'"', value + 1);
                    if (found != std::u16string_view::npos) {
                        token.open += u'"';
                        token.close = u"\"";
                        ++value;
                        value_end = found;
                        end = found + 1;
                    }
                }
                token.end = end;
                token.value_begin = value;
                token.value_end = value_end;
                token.content = classify_text(line.substr(value, value_end - value), token.format);
            }
        }

        if (token.end == 0) {
            // A word, classified by its text.
            std::size_t end = word_end(line, pos, limit);
            if (colon_chain) {
                const std::size_t colon = line.substr(0, end).find(u':', pos);
                if (colon != std::u16string_view::npos && colon > pos)
                    end = colon + 1;
            }
            const std::u16string_view text = line.substr(pos, end - pos);
            token = value_token(token_kind::word, pos, end);
            const std::size_t colon = text.find(u':');
            if (colon != std::u16string_view::npos && colon > 0 && colon + 1 < text.size()
                && is_level_word(text.substr(0, colon))) {
                // "WARNING:root:message": the level, then a chain of colons.
                token = value_token(token_kind::level, pos, pos + colon + 1);
                token.value_end = pos + colon;
                token.close = u":";
                tokens.push_back(std::move(token));
                pos += colon + 1;
                colon_chain = true;
                continue;
            }
            if (text.size() >= 2 && text.back() == u':'
                && text.find_first_not_of(u":-|") != std::u16string_view::npos) {
                const std::u16string_view name = text.substr(0, text.size() - 1);
                token.kind = is_level_word(name) ? token_kind::level : token_kind::label;
                token.content = token.kind;
                token.value_end = end - 1;
                token.close = u":";
            } else if (is_separator(text)) {
                token.kind = token_kind::separator;
                token.content = token_kind::separator;
            } else {
                token.kind = classify_text(text, token.format);
                token.content = token.kind;
                if (token.kind == token_kind::datetime)
                    token.kind = token.content = token_kind::word; // a date-time with a zone word
            }
        }
        colon_chain = colon_chain && token.kind == token_kind::level;
        pos = token.end;
        tokens.push_back(std::move(token));
    }
    return tokens;
}
