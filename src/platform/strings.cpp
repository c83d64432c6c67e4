#include "platform/strings.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Decodes UTF-8 strictly: overlong forms, surrogates, code points above
// U+10FFFF and truncated sequences are refused.
bool DecodeUtf8(std::string_view in, std::u16string& out, bool lenient)
{
    std::u16string result;
    result.reserve(in.size());
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* end = p + in.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            result.push_back(c);
            ++p;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            min = 0x10000;
        } else
            extra = -1;
        bool ok = extra > 0 && end - p > extra;
        if (ok) {
            for (int i = 1; i <= extra; ++i) {
                if ((p[i] & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (p[i] & 0x3F);
            }
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            if (!lenient)
                return false;
            result.push_back(kReplacement);
            ++p;
            while (p < end && (*p & 0xC0) == 0x80)
                ++p;
            continue;
        }
        p += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(cp));
        }
    }
    out = std::move(result);
    return true;
}

bool EncodeUtf8(std::u16string_view in, std::string& out, bool lenient)
{
    std::string result;
    result.reserve(in.size() + in.size() / 2);
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (!lenient)
                return false;
            result.push_back('?');
            continue;
        }
        if (cp < 0x80) {
            result.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    out = std::move(result);
    return true;
}

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves
// undefined map to the C1 control of the same value, as the system does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsCp1252(const std::string& name)
{
    std::string n;
    for (char c : name)
        if (c != '-' && c != '_')
            n.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    return n == "CP1252" || n == "WINDOWS1252";
}

bool IsUtf8(const std::string& name)
{
    std::string n;
    for (char c : name)
        if (c != '-' && c != '_')
            n.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    return n == "UTF8";
}

bool IconvConvert(const char* to, const char* from, const char* in, std::size_t in_len, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string result(in_len * 2 + 16, '\0');
    char* src = const_cast<char*>(in);
    std::size_t src_left = in_len;
    std::size_t done = 0;
    bool ok = true;
    while (src_left > 0) {
        char* dst = result.data() + done;
        std::size_t dst_left = result.size() - done;
        std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
        done = result.size() - dst_left;
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                result.resize(result.size() * 2);
                continue;
            }
            ok = false;
            break;
        }
        if (r > 0) {
            // Irreversible conversions are refusals here.
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok)
        return false;
    result.resize(done);
    out = std::move(result);
    return true;
}

} // namespace

std::string AnsiCodePageName()
{
    if (const char* env = std::getenv("VARNOTH_ANSI_CODEPAGE"); env && *env)
        return env;
    const char* cs = nl_langinfo(CODESET);
    if (!cs || !*cs || std::strcmp(cs, "ANSI_X3.4-1968") == 0 || std::strcmp(cs, "ASCII") == 0
        || std::strcmp(cs, "US-ASCII") == 0)
        return "WINDOWS-1252";
    return cs;
}

bool WideToAnsi(std::u16string_view in, std::string& out)
{
    if (in.empty()) {
        out.clear();
        return true;
    }
    const std::string cp = AnsiCodePageName();
    if (IsUtf8(cp))
        return EncodeUtf8(in, out, false);
    if (IsCp1252(cp)) {
        std::string result;
        result.reserve(in.size());
        for (char16_t c : in) {
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                result.push_back(static_cast<char>(c));
                continue;
            }
            int found = -1;
            for (int i = 0; i < 32; ++i)
                if (kCp1252High[i] == c) {
                    found = i;
                    break;
                }
            if (found < 0)
                return false;
            result.push_back(static_cast<char>(0x80 + found));
        }
        out = std::move(result);
        return true;
    }
    return IconvConvert(cp.c_str(), "UTF-16LE", reinterpret_cast<const char*>(in.data()), in.size() * 2, out);
}

bool AnsiToWide(std::string_view in, std::u16string& out)
{
    if (in.empty()) {
        out.clear();
        return true;
    }
    const std::string cp = AnsiCodePageName();
    if (IsUtf8(cp))
        return DecodeUtf8(in, out, false);
    if (IsCp1252(cp)) {
        std::u16string result;
        result.reserve(in.size());
        for (char ch : in) {
            auto c = static_cast<unsigned char>(ch);
            result.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
        }
        out = std::move(result);
        return true;
    }
    std::string bytes;
    if (!IconvConvert("UTF-16LE", cp.c_str(), in.data(), in.size(), bytes) || bytes.size() % 2)
        return false;
    out = Utf16LeToWide(bytes);
    return true;
}

std::u16string Utf16LeToWide(std::string_view bytes)
{
    std::u16string text(bytes.size() / 2, u'\0');
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = Utf16Unit(p + 2 * i, true);
    return text;
}

bool WideToUtf8(std::u16string_view in, std::string& out)
{
    if (in.empty()) {
        out.clear();
        return true;
    }
    return EncodeUtf8(in, out, false);
}

bool Utf8ToWide(std::string_view in, std::u16string& out)
{
    if (in.empty()) {
        out.clear();
        return true;
    }
    return DecodeUtf8(in, out, false);
}

std::u16string FromUtf8(std::string_view in)
{
    std::u16string out;
    DecodeUtf8(in, out, true);
    return out;
}

std::string ToUtf8(std::u16string_view in)
{
    std::string out;
    EncodeUtf8(in, out, true);
    return out;
}

std::size_t ReplaceAll(std::u16string& text, std::u16string_view find, std::u16string_view replacement)
{
    if (text.empty() || find.empty())
        return 0;
    std::size_t count = 0;
    std::size_t pos = 0;
    while ((pos = text.find(find.data(), pos, find.size())) != std::u16string::npos) {
        text.replace(pos, find.size(), replacement.data(), replacement.size());
        pos += replacement.size();
        ++count;
    }
    return count;
}

bool IsValidFileName(std::u16string_view name)
{
    if (name.empty())
        return false;
    for (char16_t c : name) {
        switch (c) {
        case u'"':
        case u'*':
        case u'/':
        case u':':
        case u'<':
        case u'>':
        case u'?':
        case u'\\':
        case u'|': return false;
        default: break;
        }
    }
    return true;
}

bool HasXmlSpecialChars(std::u16string_view text)
{
    for (char16_t c : text)
        if (c == u'"' || c == u'\'' || c == u'&' || c == u'<' || c == u'>')
            return true;
    return false;
}

char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

namespace {

template <class Unit>
int64_t ParseDecimalUnits(std::basic_string_view<Unit> text, std::size_t* length)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == Unit(' ') || (text[i] >= Unit('\t') && text[i] <= Unit('\r'))))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == Unit('+') || text[i] == Unit('-')))
        negative = text[i++] == Unit('-');
    const std::size_t first_digit = i;
    // The magnitude in unsigned arithmetic, up to 2^63 for a negative number.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool beyond = false;
    for (; i < text.size() && text[i] >= Unit('0') && text[i] <= Unit('9'); ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - Unit('0'));
        if (beyond)
            continue;
        if (magnitude > (limit - digit) / 10)
            beyond = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (length)
        *length = i == first_digit ? 0 : i;
    if (i == first_digit)
        return 0;
    if (beyond)
        return negative ? INT64_MIN : INT64_MAX;
    // 0 - 2^63 wraps to the bit pattern of INT64_MIN.
    return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}

} // namespace

int64_t ParseDecimal(std::u16string_view text, std::size_t* length)
{
    return ParseDecimalUnits(text, length);
}

int64_t ParseDecimal(std::string_view text, std::size_t* length)
{
    return ParseDecimalUnits(text, length);
}
