#include "work/text_encoder.h"

#include "platform/strings.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The most bytes the ANSI table keeps for one character.
constexpr std::size_t kMaxAnsiBytes = 7;

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Copies the leading ASCII units of [in, end) to out as bytes, stopping
// also at a quotation mark when StopAtQuote; returns how many.  Four units
// are tested and narrowed at a time.
template <bool StopAtQuote> std::size_t CopyAscii(const char16_t* in, const char16_t* end, char* out)
{
    const auto n = static_cast<std::size_t>(end - in);
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen units at a time.
    const __m128i high_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i quote = _mm_set1_epi16(static_cast<short>(u'"'));
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
        const __m128i wide = _mm_and_si128(_mm_or_si128(a, b), high_bits);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, _mm_setzero_si128())) != 0xFFFF)
            break;
        if constexpr (StopAtQuote) {
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(a, quote), _mm_cmpeq_epi16(b, quote))) != 0)
                break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t lanes_low = 0x0001000100010001ull;
        constexpr uint64_t lanes_high = 0x8000800080008000ull;
        for (; i + 4 <= n; i += 4) {
            uint64_t units;
            std::memcpy(&units, in + i, sizeof units);
            if (units & 0xFF80FF80FF80FF80ull)
                break;
            if constexpr (StopAtQuote) {
                const uint64_t x = units ^ (lanes_low * u'"'); // a zero lane where a quotation mark is
                if ((x - lanes_low) & ~x & lanes_high)
                    break;
            }
            const auto bytes = static_cast<uint32_t>((units & 0xFFu) | ((units >> 8) & 0xFF00u)
                                                     | ((units >> 16) & 0xFF0000u) | ((units >> 24) & 0xFF000000u));
            std::memcpy(out + i, &bytes, sizeof bytes);
        }
    }
    for (; i < n && in[i] < 0x80 && (!StopAtQuote || in[i] != u'"'); ++i)
        out[i] = static_cast<char>(in[i]);
    return i;
}

template <bool Double> char* EncodeUtf8(char* out_chars, std::u16string_view text)
{
    auto* out = reinterpret_cast<unsigned char*>(out_chars);
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const std::size_t ascii = CopyAscii<Double>(p, end, reinterpret_cast<char*>(out));
        out += ascii;
        p += ascii;
        if (p == end)
            break;
        const char16_t c = *p++;
        if (c < 0x80) { // a quotation mark, doubled
            *out++ = '"';
            *out++ = '"';
        } else if (c < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (IsHighSurrogate(c) && p < end && IsLowSurrogate(*p)) {
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (*p++ - 0xDC00u);
            *out++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *out++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            // An unpaired surrogate has no UTF-8 form: U+FFFD stands in.
            const char32_t cp = IsHighSurrogate(c) || IsLowSurrogate(c) ? 0xFFFD : c;
            *out++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        }
    }
    return reinterpret_cast<char*>(out);
}

} // namespace

// Characters to bytes of the ANSI code page through the system's own
// conversion (WideToAnsi), asked once per distinct character and remembered.
// A character the code page cannot hold becomes "?".
class text_encoder::ansi_table {
public:
    ansi_table() : m_table(0x10000)
    {
        // UTF-8 is recognised by what it does, whatever the locale calls it.
        std::string probe;
        m_utf8 = WideToAnsi(u"\u00e9\u20ac\U0001F600", probe) && probe == "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
        m_ascii_identity = true;
        for (char16_t c = 1; c < 0x80 && m_ascii_identity; ++c) {
            const entry& e = lookup(c);
            m_ascii_identity = e.length == 1 && static_cast<unsigned char>(e.bytes[0]) == c;
        }
    }

    bool is_utf8() const { return m_utf8; }

    char* encode(char* out, std::u16string_view text, bool double_quotes)
    {
        const char16_t* p = text.data();
        const char16_t* const end = p + text.size();
        while (p < end) {
            if (m_ascii_identity) {
                const std::size_t ascii = double_quotes ? CopyAscii<true>(p, end, out) : CopyAscii<false>(p, end, out);
                out += ascii;
                p += ascii;
                if (p == end)
                    break;
            }
            const char16_t c = *p;
            if (IsHighSurrogate(c) && p + 1 < end && IsLowSurrogate(p[1])) {
                std::string bytes;
                if (WideToAnsi(std::u16string_view(p, 2), bytes) && !bytes.empty() && bytes.size() <= kMaxAnsiBytes) {
                    std::memcpy(out, bytes.data(), bytes.size());
                    out += bytes.size();
                } else {
                    *out++ = '?';
                }
                p += 2;
                continue;
            }
            ++p;
            const entry& e = lookup(c);
            for (int times = c == u'"' && double_quotes ? 2 : 1; times > 0; --times) {
                std::memcpy(out, e.bytes, e.length);
                out += e.length;
            }
        }
        return out;
    }

private:
    struct entry {
        unsigned char length = 0; // 0: not looked up yet
        char bytes[kMaxAnsiBytes] = {};
    };

    const entry& lookup(char16_t c)
    {
        entry& e = m_table[c];
        if (e.length == 0) {
            std::string bytes;
            const char16_t unit[1] = {c};
            if (c != 0 && !IsHighSurrogate(c) && !IsLowSurrogate(c) && WideToAnsi(std::u16string_view(unit, 1), bytes)
                && !bytes.empty() && bytes.size() <= kMaxAnsiBytes) {
                std::memcpy(e.bytes, bytes.data(), bytes.size());
                e.length = static_cast<unsigned char>(bytes.size());
            } else if (c == 0) {
                e.length = 1; // a zero stays a zero
            } else {
                e.bytes[0] = '?';
                e.length = 1;
            }
        }
        return e;
    }

    std::vector<entry> m_table;
    bool m_utf8 = false;
    bool m_ascii_identity = false;
};

text_encoder::text_encoder(output_encoding encoding) : m_encoding(encoding), m_max_bytes_per_unit(3)
{
    if (m_encoding == output_encoding::ansi) {
        m_ansi = std::make_unique<ansi_table>();
        if (m_ansi->is_utf8()) {
            m_encoding = output_encoding::utf8;
            m_ansi.reset();
        } else {
            m_max_bytes_per_unit = 2 * kMaxAnsiBytes; // a quotation mark may come twice
        }
    }
}

text_encoder::~text_encoder() = default;

char* text_encoder::encode(char* out, std::u16string_view text, bool double_quotes)
{
    if (m_ansi)
        return m_ansi->encode(out, text, double_quotes);
    return double_quotes ? EncodeUtf8<true>(out, text) : EncodeUtf8<false>(out, text);
}
