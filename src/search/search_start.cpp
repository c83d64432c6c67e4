#include "search/search_start.h"

#include "logfile/line_text.h"
#include "regex/regex.h"
#include "search/text_bytes.h"

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

void add_bytes(byte_set& set, int first, int last)
{
    for (int b = first; b <= last; ++b)
        set[static_cast<std::size_t>(b)] = true;
}

// The bytes that begin a character of set in UTF-8 text (for a low
// surrogate: the bytes of the sequence it ends); whether the set holds a
// character outside ASCII.
bool utf8_first_bytes(const CCharSetT& set, byte_set& out)
{
    bool wide = false;
    for (const auto& [low, high] : set.Ranges()) {
        const int lo = low;
        const int hi = high;
        auto part = [&](int from, int to, auto lead) {
            const int a = std::max(lo, from);
            const int b = std::min(hi, to);
            if (a <= b)
                add_bytes(out, lead(a), lead(b));
        };
        part(0x00, 0x7F, [](int c) { return c; });
        part(0x80, 0x7FF, [](int c) { return 0xC0 | (c >> 6); });
        part(0x800, 0xD7FF, [](int c) { return 0xE0 | (c >> 12); });
        part(0xE000, 0xFFFF, [](int c) { return 0xE0 | (c >> 12); });
        if (lo <= 0xDBFF && hi >= 0xD800)
            add_bytes(out, 0xF0, 0xF4); // a high surrogate: the first byte of a four-byte sequence
        if (lo <= 0xDFFF && hi >= 0xDC00)
            add_bytes(out, 0x80, 0xBF); // a low surrogate: inside the sequence
        if (hi >= 0x80)
            wide = true;
    }
    if (set.Has(kReplacementCharacter))
        add_bytes(out, 0x80, 0xFF); // any byte that does not decode
    return wide;
}

bool holds_every_byte(const byte_set& set)
{
    for (int b = 1; b < 256; ++b)
        if (!set[static_cast<std::size_t>(b)] && b != '\n' && b != '\r')
            return false;
    return true;
}

} // namespace

std::optional<search_start> StartForClasses(const CStartClassesT& classes, int32_t encoding)
{
    if (classes.known <= 0)
        return std::nullopt;
    const text_bytes bytes_of = TextBytesOf(encoding);
    search_start start;
    start.classes = classes;
    start.unit = encoding_unit(encoding);
    for (int o = 0; o < classes.known; ++o) {
        const CCharSetT& set = classes.sets[o];
        switch (bytes_of.form) {
        case byte_form::none: return std::nullopt;
        case byte_form::utf8: {
            byte_set bytes{};
            const bool wide = utf8_first_bytes(set, bytes);
            start.bytes.push_back(bytes);
            if (wide)
                o = classes.known; // the next characters' bytes are not at the next positions
            break;
        }
        case byte_form::single_byte: {
            byte_set bytes{};
            for (int b = 1; b < 256; ++b) {
                const bool ascii = b < 0x80 && set.Has(static_cast<char16_t>(b));
                if (ascii || set.Has(bytes_of.table[static_cast<std::size_t>(b)]))
                    bytes[static_cast<std::size_t>(b)] = true;
            }
            if (set.Has(kReplacementCharacter))
                add_bytes(bytes, 0x80, 0xFF); // a line the code page cannot read
            start.bytes.push_back(bytes);
            break;
        }
        case byte_form::ucs2le:
        case byte_form::ucs2be: {
            byte_set low{};
            byte_set high{};
            for (const auto& [first, last] : set.Ranges()) {
                add_bytes(high, first >> 8, last >> 8);
                if ((first >> 8) == (last >> 8))
                    add_bytes(low, first & 0xFF, last & 0xFF);
                else
                    add_bytes(low, 0x00, 0xFF);
            }
            start.bytes.push_back(bytes_of.form == byte_form::ucs2le ? low : high);
            start.bytes.push_back(bytes_of.form == byte_form::ucs2le ? high : low);
            break;
        }
        }
    }
    bool tells = false;
    for (const byte_set& set : start.bytes)
        tells = tells || !holds_every_byte(set);
    if (!tells)
        return std::nullopt;
    return start;
}

std::optional<search_start> SearchStart(const CSearchInfo& search, int32_t encoding)
{
    if (search.expression.empty() || !search.regexp)
        return std::nullopt;
    CPatternT pattern;
    pattern.Compile(search.expression, search.case_sensitive ? NO_FLAG : IgnoreCase);
    return StartForClasses(pattern.StartClasses(), encoding);
}
