#include "search/search_literal.h"

#include "logfile/line_text.h"
#include "platform/strings.h"
#include "regex/regex.h"
#include "search/text_bytes.h"

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

// The byte character c comes from in a single-byte code page: lines of
// ASCII only keep their bytes as they are; other lines go through the table.
// -1 when no byte or several bytes give c.
int byte_of(const std::array<char16_t, 256>& table, char16_t c)
{
    int found = c < 0x80 ? static_cast<int>(c) : -1;
    for (int b = 1; b < 256; ++b) {
        if (table[static_cast<std::size_t>(b)] != c || b == found)
            continue;
        if (found >= 0)
            return -1;
        found = b;
    }
    return found;
}

// The longest run of literal that can be written as bytes in form, written;
// empty when no character can.
std::string longest_run(const std::u16string& literal, bool fold, const text_bytes& bytes_of)
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
            || (bytes_of.form != byte_form::ucs2le && bytes_of.form != byte_form::ucs2be
                && c == kReplacementCharacter)) {
            close_run();
            continue;
        }
        switch (bytes_of.form) {
        case byte_form::ucs2le:
            run.push_back(static_cast<char>(c & 0xFF));
            run.push_back(static_cast<char>(c >> 8));
            break;
        case byte_form::ucs2be:
            run.push_back(static_cast<char>(c >> 8));
            run.push_back(static_cast<char>(c & 0xFF));
            break;
        case byte_form::single_byte: {
            const int b = byte_of(bytes_of.table, c);
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
        case byte_form::none: close_run(); continue;
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
    const text_bytes bytes_of = TextBytesOf(encoding);
    if (bytes_of.form == byte_form::none)
        return std::nullopt; // a multi-byte code page: its bytes do not tell
    search_needle needle;
    needle.bytes = longest_run(literal, ignores_case, bytes_of);
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
