#include "logfile/line_text.h"

#include "platform/strings.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string_view>

namespace {

// Returns true and fills out when every byte is ASCII: the same text in every
// code page and in UTF-8, without a conversion call.  Checks and widens in
// one pass, sixteen bytes at a time.
bool ascii_fast_path(const char* bytes, std::size_t length, std::u16string& out)
{
    out.resize(length);
    char16_t* wide = out.data();
    std::size_t k = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; k + 16 <= length; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
        if (_mm_movemask_epi8(v) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + k), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + k + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; k < length; ++k) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        if (b & 0x80)
            return false;
        wide[k] = b;
    }
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

bool line_bytes_to_text(int32_t encoding, const char* bytes, std::size_t length, std::u16string& out, bool cut)
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
        auto strict = [encoding, &out](std::string_view text) {
            return encoding == ENCODING_UTF8 ? Utf8ToWide(text, out) : AnsiToWide(text, out);
        };
        if (strict(view))
            return true;
        // A cut may split a character of up to four bytes: try without its
        // first bytes.
        if (cut && !zero) {
            for (std::size_t drop = 1; drop <= 3 && drop < length; ++drop)
                if (strict(view.substr(0, length - drop)))
                    return true;
        }
        if (encoding == ENCODING_UTF8)
            out = FromUtf8(view);
        else
            replace_undecodable(view, out);
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
        // A cut between the two halves of a surrogate pair leaves the first.
        if (cut && k == units && k > 0 && out[k - 1] >= 0xD800 && out[k - 1] <= 0xDBFF)
            --k;
        out.resize(k);
        return true;
    }
    default: return false;
    }
}
