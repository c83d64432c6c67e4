#include "search/search_literal.h"

#include "logfile/line_text.h"
#include "platform/strings.h"
#include "regex/regex.h"

#include <array>
#include <vector>

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

bool is_high_surrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool is_low_surrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::string normalised_name(const std::string& name)
{
    std::string n;
    for (char c : name)
        if (c != '-' && c != '_')
            n.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    return n;
}

// For a single-byte code page: for each character, the one byte a line's
// text can have taken it from, or none (no byte, or several).
class single_byte_code_page {
public:
    // False when the code page in force is not a plain single-byte one:
    // every byte must be a character by itself (a byte that is not may be
    // the first of a character of several bytes), and a run of bytes must
    // read as its bytes one by one (no shift states).
    bool load()
    {
        std::string bytes;
        std::u16string expected;
        for (int b = 1; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            std::u16string one;
            if (!AnsiToWide(byte, one) || one.size() != 1)
                return false;
            m_table[static_cast<std::size_t>(b)] = one[0];
            bytes += byte;
            expected += one;
        }
        std::u16string together;
        return AnsiToWide(bytes, together) && together == expected;
    }

    // The byte character c comes from: lines of ASCII only keep their bytes
    // as they are; other lines go through the table.  -1 when no byte or
    // several bytes give c.
    int byte_of(char16_t c) const
    {
        int found = c < 0x80 ? static_cast<int>(c) : -1;
        for (int b = 1; b < 256; ++b) {
            if (m_table[static_cast<std::size_t>(b)] != c || b == found)
                continue;
            if (found >= 0)
                return -1;
            found = b;
        }
        return found;
    }

private:
    std::array<char16_t, 256> m_table{};
};

enum class byte_form { utf8, single_byte, ucs2le, ucs2be };

// The longest run of literal that can be written as bytes in form, written;
// empty when no character can.
std::string longest_run(const std::u16string& literal, bool fold, byte_form form, const single_byte_code_page& table)
{
    std::string best;
    std::string run;
    auto close_run = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    for (std::size_t i = 0; i < literal.size(); ++i) {
        const char16_t c = literal[i];
        // Text never holds U+0000 (conversion stops there) and U+FFFD may
        // stand for bytes that were not text; ignoring case folds ASCII only.
        if (c == 0 || (fold && c >= 0x80)
            || (form != byte_form::ucs2le && form != byte_form::ucs2be && c == kReplacementCharacter)) {
            close_run();
            continue;
        }
        switch (form) {
        case byte_form::ucs2le:
            run.push_back(static_cast<char>(c & 0xFF));
            run.push_back(static_cast<char>(c >> 8));
            break;
        case byte_form::ucs2be:
            run.push_back(static_cast<char>(c >> 8));
            run.push_back(static_cast<char>(c & 0xFF));
            break;
        case byte_form::single_byte: {
            const int b = table.byte_of(c);
            if (b < 0) {
                close_run();
                continue;
            }
            run.push_back(static_cast<char>(b));
            break;
        }
        case byte_form::utf8: {
            std::u16string_view piece(&literal[i], 1);
            if (is_high_surrogate(c) && i + 1 < literal.size() && is_low_surrogate(literal[i + 1])) {
                piece = std::u16string_view(&literal[i], 2);
                ++i;
            } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
                close_run();
                continue;
            }
            std::string bytes;
            if (!WideToUtf8(piece, bytes)) {
                close_run();
                continue;
            }
            run += bytes;
            break;
        }
        }
    }
    close_run();
    return best;
}

} // namespace

bool RequiredSearchLiteral(const CSearchInfo& search, std::u16string& literal, bool& ignores_case)
{
    if (search.expression.empty())
        return false;
    if (!search.regexp) {
        literal = search.expression;
        ignores_case = !search.case_sensitive;
        return true;
    }
    CPatternT pattern;
    pattern.Compile(search.expression, search.case_sensitive ? NO_FLAG : IgnoreCase);
    const std::u16string_view required = pattern.RequiredLiteral();
    if (required.empty())
        return false;
    literal.assign(required.begin(), required.end());
    ignores_case = pattern.RequiredLiteralIgnoresCase();
    return true;
}

std::optional<search_needle> NeedleForLiteral(const std::u16string& literal, bool ignores_case, int32_t encoding)
{
    if (literal.empty())
        return std::nullopt;
    byte_form form;
    single_byte_code_page table;
    switch (encoding) {
    case ENCODING_UTF8: form = byte_form::utf8; break;
    case ENCODING_UCS2LE: form = byte_form::ucs2le; break;
    case ENCODING_UCS2BE: form = byte_form::ucs2be; break;
    case ENCODING_ANSI:
        if (normalised_name(AnsiCodePageName()) == "UTF8") {
            form = byte_form::utf8;
        } else {
            if (!table.load())
                return std::nullopt; // a multi-byte code page: its bytes do not tell
            form = byte_form::single_byte;
        }
        break;
    default: return std::nullopt;
    }
    search_needle needle;
    needle.bytes = longest_run(literal, ignores_case, form, table);
    if (needle.bytes.empty())
        return std::nullopt;
    needle.literal = literal;
    needle.literal_folds = ignores_case;
    needle.bytes_fold = ignores_case;
    needle.unit = encoding_unit(encoding);
    return needle;
}

std::optional<search_needle> SearchNeedle(const CSearchInfo& search, int32_t encoding)
{
    std::u16string literal;
    bool ignores_case = false;
    if (!RequiredSearchLiteral(search, literal, ignores_case))
        return std::nullopt;
    return NeedleForLiteral(literal, ignores_case, encoding);
}
