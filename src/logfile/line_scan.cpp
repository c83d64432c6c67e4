#include "logfile/line_scan.h"

#include "platform/strings.h"

#include <cstring>
#include <string_view>

#if defined(__x86_64__) || defined(__i386__)
#define VARNOTH_X86 1
#include <immintrin.h>
#endif

namespace {

constexpr uint64_t kEvenBits = 0x5555555555555555ull;

uint64_t portable_mask1(const unsigned char* p)
{
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= static_cast<uint64_t>(p[i] == 0x0A || p[i] == 0x0D) << i;
    return mask;
}

uint64_t portable_mask2(const unsigned char* p)
{
    uint64_t mask = 0;
    for (int i = 0; i < 64; i += 2) {
        const char16_t u = Utf16Unit(p + i, true);
        mask |= static_cast<uint64_t>(u == 0x000D || u == 0x000A || u == 0x0D00 || u == 0x0A00) << i;
    }
    return mask;
}

void portable_scan(const char* data, std::size_t blocks, int unit, uint64_t* masks)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    for (std::size_t k = 0; k < blocks; ++k)
        masks[k] = unit == 1 ? portable_mask1(p + 64 * k) : portable_mask2(p + 64 * k);
}

#ifdef VARNOTH_X86
void sse2_scan(const char* data, std::size_t blocks, int unit, uint64_t* masks)
{
    if (unit == 1) {
        const __m128i lf = _mm_set1_epi8(0x0A);
        const __m128i cr = _mm_set1_epi8(0x0D);
        for (std::size_t k = 0; k < blocks; ++k) {
            const char* p = data + 64 * k;
            uint64_t m = 0;
            for (int j = 0; j < 4; ++j) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
                const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr));
                m |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(hit))) << (16 * j);
            }
            masks[k] = m;
        }
        return;
    }
    const __m128i a = _mm_set1_epi16(0x000D);
    const __m128i b = _mm_set1_epi16(0x000A);
    const __m128i c = _mm_set1_epi16(0x0D00);
    const __m128i d = _mm_set1_epi16(0x0A00);
    for (std::size_t k = 0; k < blocks; ++k) {
        const char* p = data + 64 * k;
        uint64_t m = 0;
        for (int j = 0; j < 4; ++j) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
            const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, a), _mm_cmpeq_epi16(v, b)),
                                             _mm_or_si128(_mm_cmpeq_epi16(v, c), _mm_cmpeq_epi16(v, d)));
            m |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(hit))) << (16 * j);
        }
        masks[k] = m & kEvenBits;
    }
}

__attribute__((target("avx2"))) void avx2_scan(const char* data, std::size_t blocks, int unit, uint64_t* masks)
{
    if (unit == 1) {
        const __m256i lf = _mm256_set1_epi8(0x0A);
        const __m256i cr = _mm256_set1_epi8(0x0D);
        for (std::size_t k = 0; k < blocks; ++k) {
            const char* p = data + 64 * k;
            const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            const __m256i h0 = _mm256_or_si256(_mm256_cmpeq_epi8(v0, lf), _mm256_cmpeq_epi8(v0, cr));
            const __m256i h1 = _mm256_or_si256(_mm256_cmpeq_epi8(v1, lf), _mm256_cmpeq_epi8(v1, cr));
            masks[k] = static_cast<uint32_t>(_mm256_movemask_epi8(h0))
                       | (static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(h1))) << 32);
        }
        return;
    }
    const __m256i a = _mm256_set1_epi16(0x000D);
    const __m256i b = _mm256_set1_epi16(0x000A);
    const __m256i c = _mm256_set1_epi16(0x0D00);
    const __m256i d = _mm256_set1_epi16(0x0A00);
    for (std::size_t k = 0; k < blocks; ++k) {
        const char* p = data + 64 * k;
        uint64_t m = 0;
        for (int j = 0; j < 2; ++j) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * j));
            const __m256i hit = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(v, a), _mm256_cmpeq_epi16(v, b)),
                                                _mm256_or_si256(_mm256_cmpeq_epi16(v, c), _mm256_cmpeq_epi16(v, d)));
            m |= static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(hit))) << (32 * j);
        }
        masks[k] = m & kEvenBits;
    }
}
#endif

using scan_fn = void (*)(const char*, std::size_t, int, uint64_t*);

struct scanner {
    scan_fn fn;
    const char* kind;
};

scanner choose_scanner()
{
#ifdef VARNOTH_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return {avx2_scan, "avx2"};
    return {sse2_scan, "sse2"};
#else
    return {portable_scan, "portable"};
#endif
}

const scanner& active_scanner()
{
    static const scanner chosen = choose_scanner();
    return chosen;
}

void scan_with(scan_fn fn, const char* data, std::size_t length, int unit, uint64_t* masks)
{
    const std::size_t full = length / 64;
    if (full > 0)
        fn(data, full, unit, masks);
    const std::size_t rest = length - full * 64;
    if (rest > 0) {
        alignas(64) char tail[64] = {};
        std::memcpy(tail, data + full * 64, rest);
        fn(tail, 1, unit, masks + full);
    }
}

} // namespace

void find_line_ends(const char* data, std::size_t length, int unit, uint64_t* masks)
{
    scan_with(active_scanner().fn, data, length, unit, masks);
}

bool find_line_ends_using(const char* kind, const char* data, std::size_t length, int unit, uint64_t* masks)
{
    const std::string_view name(kind ? kind : "");
    scan_fn fn = nullptr;
    if (name == "portable")
        fn = portable_scan;
#ifdef VARNOTH_X86
    else if (name == "sse2")
        fn = sse2_scan;
    else if (name == "avx2" && __builtin_cpu_supports("avx2"))
        fn = avx2_scan;
#endif
    if (!fn)
        return false;
    scan_with(fn, data, length, unit, masks);
    return true;
}

const char* line_scan_kind()
{
    return active_scanner().kind;
}
