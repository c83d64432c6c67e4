#include "search/text_bytes.h"

#include "logfile/line_text.h"
#include "platform/strings.h"

#include <string>

namespace {

std::string normalised_name(const std::string& name)
{
    std::string n;
    for (char c : name)
        if (c != '-' && c != '_')
            n.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    return n;
}

// False when the code page in force is not a plain single-byte one: every
// byte must be a character by itself (a byte that is not may be the first of
// a character of several bytes), and a run of bytes must read as its bytes
// one by one (no shift states).
bool load_single_byte(std::array<char16_t, 256>& table)
{
    std::string bytes;
    std::u16string expected;
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::u16string one;
        if (!AnsiToWide(byte, one) || one.size() != 1)
            return false;
        table[static_cast<std::size_t>(b)] = one[0];
        bytes += byte;
        expected += one;
    }
    std::u16string together;
    return AnsiToWide(bytes, together) && together == expected;
}

} // namespace

text_bytes TextBytesOf(int32_t encoding)
{
    text_bytes out;
    switch (encoding) {
    case ENCODING_UTF8: out.form = byte_form::utf8; break;
    case ENCODING_UCS2LE: out.form = byte_form::ucs2le; break;
    case ENCODING_UCS2BE: out.form = byte_form::ucs2be; break;
    case ENCODING_ANSI:
        if (normalised_name(AnsiCodePageName()) == "UTF8")
            out.form = byte_form::utf8;
        else if (load_single_byte(out.table))
            out.form = byte_form::single_byte;
        break;
    default: break;
    }
    return out;
}
