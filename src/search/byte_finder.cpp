#include "search/byte_finder.h"

#include "search/simd_path.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VARNOTH_X86 1
#include <immintrin.h>
#endif

namespace {

bool is_ascii_letter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

byte_finder::byte_finder(std::string_view needle, bool fold_ascii)
    : m_needle(needle), m_masks(needle.size(), '\0'), m_fold(fold_ascii)
{
    for (std::size_t i = 0; i < m_needle.size(); ++i) {
        const auto c = static_cast<unsigned char>(m_needle[i]);
        if (fold_ascii && is_ascii_letter(c)) {
            m_needle[i] = static_cast<char>(c | 0x20);
            m_masks[i] = 0x20;
        }
    }
}

bool byte_finder::matches_at(const char* data) const
{
    for (std::size_t i = 0; i < m_needle.size(); ++i)
        if (static_cast<char>(data[i] | m_masks[i]) != m_needle[i])
            return false;
    return true;
}

std::size_t byte_finder::find_portable(const char* data, std::size_t length, std::size_t from) const
{
    const std::size_t n = m_needle.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    const char first = m_needle[0];
    const char mask = m_masks[0];
    const std::size_t last_start = length - n;
    if (!mask) {
        // An exact first byte: memchr finds the places to compare.
        std::size_t i = from;
        while (i <= last_start) {
            const void* hit = std::memchr(data + i, first, last_start - i + 1);
            if (!hit)
                return npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            if (matches_at(data + i))
                return i;
            ++i;
        }
        return npos;
    }
    for (std::size_t i = from; i <= last_start; ++i)
        if (static_cast<char>(data[i] | mask) == first && matches_at(data + i))
            return i;
    return npos;
}

#ifdef VARNOTH_X86
std::size_t byte_finder::find_sse2(const char* data, std::size_t length, std::size_t from) const
{
    const std::size_t n = m_needle.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    const __m128i first = _mm_set1_epi8(m_needle[0]);
    const __m128i first_mask = _mm_set1_epi8(m_masks[0]);
    const __m128i last = _mm_set1_epi8(m_needle[n - 1]);
    const __m128i last_mask = _mm_set1_epi8(m_masks[n - 1]);
    std::size_t i = from;
    // Blocks of 16 starts whose last bytes are inside the buffer.
    while (i + n - 1 + 16 <= length) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), first_mask);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1)), last_mask);
        auto m =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (m) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(m));
            if (matches_at(data + at))
                return at;
            m &= m - 1;
        }
        i += 16;
    }
    return find_portable(data, length, i);
}

__attribute__((target("avx2"))) std::size_t byte_finder::find_avx2(const char* data, std::size_t length,
                                                                   std::size_t from) const
{
    const std::size_t n = m_needle.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    const __m256i first = _mm256_set1_epi8(m_needle[0]);
    const __m256i first_mask = _mm256_set1_epi8(m_masks[0]);
    const __m256i last = _mm256_set1_epi8(m_needle[n - 1]);
    const __m256i last_mask = _mm256_set1_epi8(m_masks[n - 1]);
    std::size_t i = from;
    // Two blocks of 32 starts at a time while their last bytes are inside.
    while (i + n - 1 + 64 <= length) {
        const char* p = data + i;
        const __m256i a0 = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), first_mask);
        const __m256i a1 = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), first_mask);
        const __m256i b0 = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + n - 1)), last_mask);
        const __m256i b1 =
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + n - 1 + 32)), last_mask);
        const __m256i h0 = _mm256_and_si256(_mm256_cmpeq_epi8(a0, first), _mm256_cmpeq_epi8(b0, last));
        const __m256i h1 = _mm256_and_si256(_mm256_cmpeq_epi8(a1, first), _mm256_cmpeq_epi8(b1, last));
        uint64_t m = static_cast<uint32_t>(_mm256_movemask_epi8(h0))
                     | (static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(h1))) << 32);
        while (m) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctzll(m));
            if (matches_at(data + at))
                return at;
            m &= m - 1;
        }
        i += 64;
    }
    return find_sse2(data, length, i);
}
#else
std::size_t byte_finder::find_sse2(const char* data, std::size_t length, std::size_t from) const
{
    return find_portable(data, length, from);
}

std::size_t byte_finder::find_avx2(const char* data, std::size_t length, std::size_t from) const
{
    return find_portable(data, length, from);
}
#endif

std::size_t byte_finder::find_on(simd_path path, const char* data, std::size_t length, std::size_t from) const
{
    switch (path) {
    case simd_path::avx2: return find_avx2(data, length, from);
    case simd_path::sse2: return find_sse2(data, length, from);
    default: return find_portable(data, length, from);
    }
}

std::size_t byte_finder::find(const char* data, std::size_t length, std::size_t from) const
{
    return find_on(active_simd_path(), data, length, from);
}

std::size_t byte_finder::find_using(const char* kind, const char* data, std::size_t length, std::size_t from) const
{
    simd_path path;
    return simd_path_usable(kind, path) ? find_on(path, data, length, from) : npos;
}

const char* byte_finder::kind()
{
    return simd_path_name(active_simd_path());
}
