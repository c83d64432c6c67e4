#include "search/class_finder.h"

#include "search/simd_path.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#define VARNOTH_X86 1
#include <immintrin.h>
#endif

namespace {

// A rough share of each byte in log text (ASCII letters by their share in
// English, digits and a few marks as logs hold them, the zero byte as the
// high half of every ASCII character of UCS-2 text).
double byte_weight(unsigned char b)
{
    static const double letters[26] = {8.2, 1.5, 2.8, 4.3, 12.7, 2.2, 2.0, 6.1, 7.0, 0.2, 0.8, 4.0, 2.4,
                                       6.7, 7.5, 1.9, 0.1, 6.0,  6.3, 9.1, 2.8, 1.0, 2.4, 0.2, 2.0, 0.1};
    if (b >= 'a' && b <= 'z')
        return letters[b - 'a'];
    if (b >= 'A' && b <= 'Z')
        return 0.4 + letters[b - 'A'] / 10;
    if (b >= '0' && b <= '9')
        return 4.0;
    switch (b) {
    case 0x00: return 50.0;
    case ' ': return 15.0;
    case '\n':
    case '\r': return 0.0; // never inside a line
    case '.':
    case ':':
    case '-':
    case '/':
    case '_':
    case '[':
    case ']':
    case ',':
    case '=': return 1.5;
    case '\t': return 0.5;
    default: break;
    }
    if (b >= 0x80)
        return 0.05;
    if (b < 0x20)
        return 0.01;
    return 0.3;
}

// The set's bytes as ranges [first, second], merged across the smallest
// gaps until at most kMaxRanges remain (a cover: it may hold more bytes).
std::vector<std::pair<int, int>> covering_ranges(const byte_set& set)
{
    std::vector<std::pair<int, int>> ranges;
    for (int b = 0; b < 256; ++b) {
        if (!set[static_cast<std::size_t>(b)])
            continue;
        if (!ranges.empty() && ranges.back().second == b - 1)
            ranges.back().second = b;
        else
            ranges.emplace_back(b, b);
    }
    while (ranges.size() > static_cast<std::size_t>(class_finder::kMaxRanges)) {
        std::size_t best = 0;
        for (std::size_t k = 1; k + 1 < ranges.size(); ++k)
            if (ranges[k + 1].first - ranges[k].second < ranges[best + 1].first - ranges[best].second)
                best = k;
        ranges[best].second = ranges[best + 1].second;
        ranges.erase(ranges.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    }
    return ranges;
}

bool holds_every_byte(const byte_set& set)
{
    for (int b = 0; b < 256; ++b)
        if (!set[static_cast<std::size_t>(b)] && b != 0 && b != '\n' && b != '\r')
            return false;
    return true;
}

} // namespace

double class_finder::commonness(const byte_set& set)
{
    double sum = 0;
    for (int b = 0; b < 256; ++b)
        if (set[static_cast<std::size_t>(b)])
            sum += byte_weight(static_cast<unsigned char>(b));
    return sum;
}

class_finder::class_finder(std::vector<byte_set> sets) : m_sets(std::move(sets))
{
    std::vector<std::pair<double, std::size_t>> ranked;
    for (std::size_t o = 0; o < m_sets.size(); ++o)
        ranked.emplace_back(commonness(m_sets[o]), o);
    std::stable_sort(ranked.begin(), ranked.end());
    for (const auto& r : ranked)
        m_order.push_back(r.second);
    for (const auto& r : ranked) {
        if (m_probe_count == 2 || holds_every_byte(m_sets[r.second]))
            break;
        probe& p = m_probes[m_probe_count++];
        p.offset = r.second;
        const std::vector<std::pair<int, int>> ranges = covering_ranges(m_sets[r.second]);
        for (int k = 0; k < kMaxRanges; ++k) {
            // Unused slots repeat the last range; an empty set is covered by
            // the zero byte alone, which the exact check then refuses.
            const auto& range = ranges.empty()
                                    ? std::pair<int, int>{0, 0}
                                    : ranges[std::min<std::size_t>(static_cast<std::size_t>(k), ranges.size() - 1)];
            p.low[k] = static_cast<unsigned char>(range.first);
            p.span[k] = static_cast<unsigned char>(range.second - range.first);
        }
    }
}

std::vector<std::size_t> class_finder::probe_positions() const
{
    std::vector<std::size_t> out;
    for (int k = 0; k < m_probe_count; ++k)
        out.push_back(m_probes[k].offset);
    return out;
}

std::size_t class_finder::find_portable(const char* data, std::size_t length, std::size_t from) const
{
    const std::size_t n = m_sets.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    const std::size_t first = m_order[0];
    const byte_set& sift = m_sets[first];
    const std::size_t last_start = length - n;
    for (std::size_t i = from; i <= last_start; ++i)
        if (sift[static_cast<unsigned char>(data[i + first])] && matches_at(data + i))
            return i;
    return npos;
}

#ifdef VARNOTH_X86
namespace {

struct sse_probe {
    __m128i low[class_finder::kMaxRanges];
    __m128i span[class_finder::kMaxRanges];
};

inline __m128i covered(__m128i x, const sse_probe& p)
{
    __m128i in = _mm_setzero_si128();
    for (int k = 0; k < class_finder::kMaxRanges; ++k) {
        const __m128i t = _mm_sub_epi8(x, p.low[k]);
        in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_min_epu8(t, p.span[k]), t));
    }
    return in;
}

struct avx_probe {
    __m256i low[class_finder::kMaxRanges];
    __m256i span[class_finder::kMaxRanges];
};

__attribute__((target("avx2"))) inline __m256i covered(__m256i x, const avx_probe& p)
{
    __m256i in = _mm256_setzero_si256();
    for (int k = 0; k < class_finder::kMaxRanges; ++k) {
        const __m256i t = _mm256_sub_epi8(x, p.low[k]);
        in = _mm256_or_si256(in, _mm256_cmpeq_epi8(_mm256_min_epu8(t, p.span[k]), t));
    }
    return in;
}

} // namespace

std::size_t class_finder::find_sse2(const char* data, std::size_t length, std::size_t from) const
{
    const std::size_t n = m_sets.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    if (m_probe_count == 0)
        return find_portable(data, length, from);
    sse_probe probes[2];
    for (int p = 0; p < m_probe_count; ++p) {
        for (int k = 0; k < kMaxRanges; ++k) {
            probes[p].low[k] = _mm_set1_epi8(static_cast<char>(m_probes[p].low[k]));
            probes[p].span[k] = _mm_set1_epi8(static_cast<char>(m_probes[p].span[k]));
        }
    }
    const std::size_t a = m_probes[0].offset;
    const std::size_t b = m_probes[m_probe_count - 1].offset;
    std::size_t i = from;
    // Blocks of 16 starts whose every byte is inside the buffer.
    while (i + n - 1 + 16 <= length) {
        __m128i hit = covered(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + a)), probes[0]);
        if (m_probe_count > 1)
            hit =
                _mm_and_si128(hit, covered(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + b)), probes[1]));
        auto m = static_cast<unsigned>(_mm_movemask_epi8(hit));
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

__attribute__((target("avx2"))) std::size_t class_finder::find_avx2(const char* data, std::size_t length,
                                                                    std::size_t from) const
{
    const std::size_t n = m_sets.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    if (m_probe_count == 0)
        return find_portable(data, length, from);
    avx_probe probes[2];
    for (int p = 0; p < m_probe_count; ++p) {
        for (int k = 0; k < kMaxRanges; ++k) {
            probes[p].low[k] = _mm256_set1_epi8(static_cast<char>(m_probes[p].low[k]));
            probes[p].span[k] = _mm256_set1_epi8(static_cast<char>(m_probes[p].span[k]));
        }
    }
    const std::size_t a = m_probes[0].offset;
    const std::size_t b = m_probes[m_probe_count - 1].offset;
    std::size_t i = from;
    // Blocks of 32 starts whose every byte is inside the buffer.
    while (i + n - 1 + 32 <= length) {
        __m256i hit = covered(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + a)), probes[0]);
        if (m_probe_count > 1)
            hit = _mm256_and_si256(
                hit, covered(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + b)), probes[1]));
        auto m = static_cast<uint32_t>(_mm256_movemask_epi8(hit));
        while (m) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(m));
            if (matches_at(data + at))
                return at;
            m &= m - 1;
        }
        i += 32;
    }
    return find_sse2(data, length, i);
}
#else
std::size_t class_finder::find_sse2(const char* data, std::size_t length, std::size_t from) const
{
    return find_portable(data, length, from);
}

std::size_t class_finder::find_avx2(const char* data, std::size_t length, std::size_t from) const
{
    return find_portable(data, length, from);
}
#endif

std::size_t class_finder::find_on(simd_path path, const char* data, std::size_t length, std::size_t from) const
{
    switch (path) {
    case simd_path::avx2: return find_avx2(data, length, from);
    case simd_path::sse2: return find_sse2(data, length, from);
    default: return find_portable(data, length, from);
    }
}

std::size_t class_finder::find(const char* data, std::size_t length, std::size_t from) const
{
    return find_on(active_simd_path(), data, length, from);
}

std::size_t class_finder::find_using(const char* kind, const char* data, std::size_t length, std::size_t from) const
{
    simd_path path;
    return simd_path_usable(kind, path) ? find_on(path, data, length, from) : npos;
}
