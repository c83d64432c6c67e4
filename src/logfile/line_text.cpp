#include "logfile/line_text.h"

#include "platform/strings.h"

#include <cstring>
#include <string_view>

namespace {

// Returns true and fills out when every byte is ASCII: the same text in every
// code page and in UTF-8, without a conversion call.
bool ascii_fast_path(const char* bytes, std::size_t length, std::u16string& out)
{
    std::size_t i = 0;
    uint64_t high = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        high |= word;
    }
    for (; i < length; ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    if (high & 0x8080808080808080ull)
        return false;
    out.resize(length);
    for (std::size_t k = 0; k < length; ++k)
        out[k] = static_cast<char16_t>(bytes[k]);
    return true;
}

void replace_undecodable(std::string_view bytes, std::u16string& out)
{
    out.clear();
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD');
    }
}

} // namespace

bool line_bytes_to_text(int32_t encoding, const char* bytes, std::size_t length, std::u16string& out)
{
    out.clear();
    switch (encoding) {
    case ENCODING_ANSI:
    case ENCODING_UTF8: {
        const void* zero = length ? std::memchr(bytes, 0, length) : nullptr;
        if (zero)
            length = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
        if (ascii_fast_path(bytes, length, out))
            return true;
        const std::string_view view(bytes, length);
        if (encoding == ENCODING_UTF8) {
            if (!Utf8ToWide(view, out))
                out = FromUtf8(view);
        } else if (!AnsiToWide(view, out)) {
            replace_undecodable(view, out);
        }
        return true;
    }
    case ENCODING_UCS2LE:
    case ENCODING_UCS2BE: {
        if (length % 2)
            return false;
        const std::size_t units = length / 2;
        out.resize(units);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes);
        const bool little = encoding == ENCODING_UCS2LE;
        std::size_t k = 0;
        for (; k < units; ++k) {
            const char16_t u = Utf16Unit(p + 2 * k, little);
            if (u == 0)
                break;
            out[k] = u;
        }
        out.resize(k);
        return true;
    }
    default: return false;
    }
}
