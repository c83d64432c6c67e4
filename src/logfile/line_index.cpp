#include "logfile/line_index.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>

#if defined(__x86_64__) || defined(__SSE2__)
#define VARNOTH_X86 1
#include <emmintrin.h>
#endif

namespace {

// A line's code.  Its first byte b says what follows:
//   b < 0xC0          the length is b, the gap the block's usual one;
//   0xC0 <= b < 0xF0  the length is 0xC0 + ((b - 0xC0) << 8 | next byte),
//                     the gap the usual one;
//   otherwise (0xFF)  the length and the gap follow as variable-length
//                     integers (7 bits a byte, low bits first; the gap
//                     zigzag-coded, so that any value is kept).
// The gap is what separates a line from the one before it in code order:
// for forward blocks the bytes from the previous line's end to this line's
// start, for backward blocks those from this line's end to the start of the
// line after it.  The first code of a group has its distance in the table,
// so its gap is never read.
constexpr uint8_t kTwoByteCode = 0xC0;
constexpr uint8_t kLongCode = 0xFF;
constexpr uint64_t kOneByteLengths = 0xC0;
constexpr uint64_t kTwoByteLengths = 0xC0 + (0x30 << 8);
constexpr uint32_t kGroup = line_block::kGroupLines;
constexpr uint32_t kGroups = line_block::kGroups;

// The most bytes one code takes: the marker and two 10-byte integers.
constexpr std::size_t kLongestCode = 21;

uint8_t* put_varint(uint8_t* out, uint64_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<uint8_t>(value);
    return out;
}

// The bytes of one group: its entry's, then those past them in the codes.
struct group_bytes {
    const uint8_t* p;
    const uint8_t* entry_end;
    const uint8_t* rest;
    uint8_t next()
    {
        if (p == entry_end)
            p = rest;
        return *p++;
    }
};

uint64_t get_varint(group_bytes& in)
{
    uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t b = in.next();
        value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80) || shift >= 63)
            return value;
    }
}

uint64_t zigzag(int64_t value)
{
    return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}

int64_t unzigzag(uint64_t value)
{
    return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1);
}

// Writes a line's code into out (room for kLongestCode bytes): its size.
std::size_t put_code(uint8_t* out, uint64_t length, bool usual_gap, int64_t gap)
{
    if (usual_gap && length < kOneByteLengths) {
        out[0] = static_cast<uint8_t>(length);
        return 1;
    }
    if (usual_gap && length < kTwoByteLengths) {
        const uint64_t v = length - kOneByteLengths;
        out[0] = static_cast<uint8_t>(kTwoByteCode + (v >> 8));
        out[1] = static_cast<uint8_t>(v & 0xFF);
        return 2;
    }
    out[0] = kLongCode;
    uint8_t* end = put_varint(out + 1, length);
    end = put_varint(end, zigzag(gap));
    return static_cast<std::size_t>(end - out);
}

// Reads one code; gap becomes usual unless the code carries its own.
inline void get_code(group_bytes& in, uint64_t& length, int64_t& gap, int64_t usual)
{
    const uint8_t b = in.next();
    if (b < kTwoByteCode) {
        length = b;
        gap = usual;
    } else if (b < 0xF0) {
        length = kOneByteLengths + ((static_cast<uint64_t>(b - kTwoByteCode) << 8) | in.next());
        gap = usual;
    } else {
        length = get_varint(in);
        gap = unzigzag(get_varint(in));
    }
}

using group_entry = line_block::group_entry;
static_assert(sizeof(group_entry) == 64 && alignof(group_entry) == 64, "an entry is one cache line");
static_assert(offsetof(group_entry, codes) == 8, "the codes are an entry's last 56 bytes");

// The sum of a group's first n (<= 56) code bytes: the entry's four 16-byte
// quarters masked and summed on x86 (the first quarter's low half is the
// entry's head and is left out), eight bytes at a time elsewhere.
inline uint64_t code_sum(const group_entry& entry, uint32_t n)
{
#ifdef VARNOTH_X86
    // Entry byte i is kept when kKeep[56 - n + i] is set, that is when
    // i < 8 + n.
    alignas(64) static const uint8_t kKeep[128] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto* keep = reinterpret_cast<const __m128i*>(kKeep + kGroup - n);
    const auto* quarters = reinterpret_cast<const __m128i*>(&entry);
    const __m128i zero = _mm_setzero_si128();
    auto quarter_sum = [&](int q) {
        return _mm_sad_epu8(_mm_and_si128(_mm_load_si128(quarters + q), _mm_loadu_si128(keep + q)), zero);
    };
    const __m128i sums = _mm_add_epi64(_mm_add_epi64(_mm_srli_si128(quarter_sum(0), 8), quarter_sum(1)),
                                       _mm_add_epi64(quarter_sum(2), quarter_sum(3)));
    return static_cast<uint64_t>(_mm_cvtsi128_si64(sums))
           + static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
#else
    const uint8_t* p = entry.codes;
    uint64_t sum = 0;
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x;
        std::memcpy(&x, p + i, 8);
        x = (x & 0x00FF00FF00FF00FFull) + ((x >> 8) & 0x00FF00FF00FF00FFull);
        sum += (x * 0x0001000100010001ull) >> 48;
    }
    for (; i < n; ++i)
        sum += p[i];
    return sum;
#endif
}

// The distance of code j of a group of one-byte codes, each a length with
// the usual gap.  Forward, line j starts after the lengths of codes 0..j-1;
// backward, code j's line starts before the lengths of codes 1..j.
inline int64_t quick_distance(const group_entry& entry, uint32_t j, int64_t gap, bool forward)
{
    const uint64_t lengths = forward ? code_sum(entry, j) : code_sum(entry, j + 1) - entry.codes[0];
    return static_cast<int64_t>(entry.distance) + static_cast<int64_t>(lengths) + static_cast<int64_t>(j) * gap;
}

} // namespace

// ---- one block ---------------------------------------------------------------

line_block::line_block(int64_t base, bool forward, int64_t gap_hint, group_entry* table)
    : m_groups(table), m_base(base), m_forward(forward)
{
    if (gap_hint >= 0) {
        m_gap = gap_hint;
        m_gap_known = true;
    }
}

void line_block::put_group_bytes(const uint8_t* bytes, std::size_t size)
{
    group_entry& entry = m_groups[m_group_count - 1];
    for (std::size_t i = 0; i < size; ++i, ++m_group_bytes) {
        if (m_group_bytes < kGroup)
            entry.codes[m_group_bytes] = bytes[i];
        else
            m_codes.push_back(bytes[i]);
    }
}

void line_block::add(int64_t offset, uint64_t length)
{
    const int64_t distance = m_forward ? offset - m_base : m_base - offset;
    if (m_used % kGroup == 0) {
        const bool narrow = distance >= 0 && distance <= static_cast<int64_t>(std::numeric_limits<uint32_t>::max());
        const bool wide = !narrow || !m_wide_distance.empty();
        // A wide block's groups all count as mixed: the quick path of a
        // lookup then needs to look at nothing but the entry.
        if (wide && m_wide_distance.empty()) {
            m_wide_distance.reserve(kGroups);
            for (uint32_t g = 0; g < m_group_count; ++g) {
                m_wide_distance.push_back(m_groups[g].distance);
                m_groups[g].rest |= kMixedGroup;
            }
        }
        group_entry& entry = m_groups[m_group_count++];
        entry = {static_cast<uint32_t>(m_codes.size()), narrow ? static_cast<uint32_t>(distance) : 0, {}};
        if (wide) {
            m_wide_distance.push_back(distance);
            entry.rest |= kMixedGroup;
        }
        m_group_bytes = 0;
    }
    uint8_t code[kLongestCode];
    std::size_t size;
    if (m_used == 0) {
        size = put_code(code, length, true, 0);
    } else {
        const auto signed_length = static_cast<int64_t>(length);
        const int64_t gap = m_forward ? distance - m_last_distance - static_cast<int64_t>(m_last_length)
                                      : distance - signed_length - m_last_distance;
        if (!m_gap_known) {
            m_gap = gap;
            m_gap_known = true;
        }
        size = put_code(code, length, gap == m_gap, gap);
    }
    put_group_bytes(code, size);
    if (size > 1)
        m_groups[m_group_count - 1].rest |= kMixedGroup;
    m_last_distance = distance;
    m_last_length = length;
    ++m_used;
}

uint32_t line_block::add_short_run(const line_span* spans, std::size_t count, uint64_t shortest_long)
{
    // Only into a group of one-byte codes so far, whose bytes all lie in its
    // entry.
    if (!m_gap_known || m_used % kGroup == 0 || (m_groups[m_group_count - 1].rest & kMixedGroup))
        return 0;
    // Up to the next group's first line, which add() puts in the table.
    const auto room = static_cast<uint32_t>(std::min<std::size_t>({count, kGroup - m_used % kGroup, kLines - m_used}));
    const uint64_t longest = std::min<uint64_t>(kOneByteLengths - 1, shortest_long);
    uint8_t* const out = m_groups[m_group_count - 1].codes + m_group_bytes;
    // Locals, so that the byte stores cannot make the compiler reload them.
    const int64_t base = m_base;
    const int64_t usual = m_gap;
    int64_t last_distance = m_last_distance;
    uint64_t last_length = m_last_length;
    uint32_t k = 0;
    if (m_forward) {
        int64_t last_end = last_distance + static_cast<int64_t>(last_length);
        for (; k < room; ++k) {
            const line_span& span = spans[k];
            const int64_t distance = span.offset - base;
            if (span.length == 0 || span.length > longest || distance - last_end != usual)
                break;
            out[k] = static_cast<uint8_t>(span.length);
            last_distance = distance;
            last_length = span.length;
            last_end = distance + static_cast<int64_t>(span.length);
        }
    } else {
        // Each line ends the usual gap before the start of the one after it.
        for (; k < room; ++k) {
            const line_span& span = spans[k];
            const int64_t distance = base - span.offset;
            if (span.length == 0 || span.length > longest
                || distance - static_cast<int64_t>(span.length) - last_distance != usual)
                break;
            out[k] = static_cast<uint8_t>(span.length);
            last_distance = distance;
            last_length = span.length;
        }
    }
    m_group_bytes += k;
    m_last_distance = last_distance;
    m_last_length = last_length;
    m_used += k;
    return k;
}

int64_t line_block::group_distance(uint32_t g) const
{
    return m_wide_distance.empty() ? static_cast<int64_t>(m_groups[g].distance) : m_wide_distance[g];
}

inline void line_block::code_at(uint32_t k, int64_t& distance, uint64_t& length) const
{
    const uint32_t j = k % kGroup;
    const group_entry& entry = m_groups[k / kGroup];
    if (!(entry.rest & kMixedGroup)) {
        distance = quick_distance(entry, j, m_gap, m_forward);
        length = entry.codes[j];
        return;
    }
    mixed_code_at(k, distance, length);
}

void line_block::mixed_code_at(uint32_t k, int64_t& distance, uint64_t& length) const
{
    const uint32_t g = k / kGroup;
    const uint32_t j = k % kGroup;
    const group_entry& entry = m_groups[g];
    group_bytes in{entry.codes, entry.codes + kGroup, m_codes.data() + (entry.rest & ~kMixedGroup)};
    int64_t d = group_distance(g);
    uint64_t len;
    int64_t gap;
    get_code(in, len, gap, m_gap);
    for (uint32_t i = 1; i <= j; ++i) {
        uint64_t next;
        get_code(in, next, gap, m_gap);
        d += m_forward ? static_cast<int64_t>(len) + gap : gap + static_cast<int64_t>(next);
        len = next;
    }
    distance = d;
    length = len;
}

uint32_t line_block::decode_group(uint32_t g, int64_t* distances, uint64_t* lengths) const
{
    const uint32_t count = std::min(kGroup, m_used - g * kGroup);
    const group_entry& entry = m_groups[g];
    group_bytes in{entry.codes, entry.codes + kGroup, m_codes.data() + (entry.rest & ~kMixedGroup)};
    int64_t d = group_distance(g);
    uint64_t len;
    int64_t gap;
    get_code(in, len, gap, m_gap);
    distances[0] = d;
    lengths[0] = len;
    for (uint32_t i = 1; i < count; ++i) {
        uint64_t next;
        get_code(in, next, gap, m_gap);
        d += m_forward ? static_cast<int64_t>(len) + gap : gap + static_cast<int64_t>(next);
        distances[i] = d;
        lengths[i] = next;
        len = next;
    }
    return count;
}

inline void line_block::line(uint32_t i, int64_t& offset, uint64_t& length) const
{
    int64_t distance;
    code_at(code_of(i), distance, length);
    offset = start_of(distance);
}

uint32_t line_block::group_lines(uint32_t i, int64_t* offsets, uint64_t* lengths, uint32_t& count) const
{
    const uint32_t g = code_of(i) / kGroup;
    int64_t distances[kGroup];
    uint64_t code_lengths[kGroup];
    count = decode_group(g, distances, code_lengths);
    if (m_forward) {
        for (uint32_t j = 0; j < count; ++j) {
            offsets[j] = m_base + distances[j];
            lengths[j] = code_lengths[j];
        }
        return g * kGroup;
    }
    // Codes run from the later lines to the earlier ones.
    for (uint32_t j = 0; j < count; ++j) {
        offsets[count - 1 - j] = m_base - distances[j];
        lengths[count - 1 - j] = code_lengths[j];
    }
    return m_used - g * kGroup - count;
}

int64_t line_block::first_start() const
{
    return m_forward ? m_base : m_base - m_last_distance;
}

int64_t line_block::last_end() const
{
    if (m_forward)
        return m_base + m_last_distance + static_cast<int64_t>(m_last_length);
    int64_t distance;
    uint64_t length;
    code_at(0, distance, length);
    return m_base + static_cast<int64_t>(length);
}

int64_t line_block::last_line_from(int64_t position) const
{
    if (m_used == 0 || position < first_start())
        return -1;
    const uint32_t groups = m_group_count;
    int64_t distances[kGroup];
    uint64_t lengths[kGroup];
    if (m_forward) {
        // The last group whose first line starts at or before position, then
        // its last such line.
        uint32_t low = 0;
        uint32_t high = groups;
        while (high - low > 1) {
            const uint32_t mid = low + (high - low) / 2;
            if (m_base + group_distance(mid) <= position)
                low = mid;
            else
                high = mid;
        }
        const uint32_t count = decode_group(low, distances, lengths);
        uint32_t j = 0;
        while (j + 1 < count && m_base + distances[j + 1] <= position)
            ++j;
        return static_cast<int64_t>(low * kGroup + j);
    }
    // Backward: starts fall as codes go on.  The wanted line is the first
    // code that starts at or before position: in the group before the first
    // group whose table line does, or that table line itself.
    uint32_t low = 0;
    uint32_t high = groups; // the first group whose table line starts at or before position
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        if (m_base - group_distance(mid) <= position)
            high = mid;
        else
            low = mid + 1;
    }
    uint32_t code;
    if (high == 0) {
        code = 0;
    } else {
        const uint32_t g = high - 1;
        const uint32_t count = decode_group(g, distances, lengths);
        uint32_t j = 0;
        while (j < count && m_base - distances[j] > position)
            ++j;
        code = j < count ? g * kGroup + j : high * kGroup;
    }
    return static_cast<int64_t>(m_used - 1 - code);
}

void line_block::compact()
{
    // The group table keeps its place: the index points at it.
    m_codes.shrink_to_fit();
    m_wide_distance.shrink_to_fit();
}

uint64_t line_block::memory_bytes() const
{
    return sizeof(*this) + m_codes.capacity() + m_wide_distance.capacity() * sizeof(int64_t);
}

// ---- the group tables --------------------------------------------------------

namespace {

constexpr std::size_t kTableBytes = sizeof(group_entry) * kGroups;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// A piece on a huge page holds so many tables.  The first pieces hold one
// table each, as many as four huge pages hold: below that the index is small
// enough for the processor's address caches, and a huge piece's unused rest
// is at most a fifth of what the tables take.
constexpr std::size_t kMostTables = kHugePage / kTableBytes;
constexpr std::size_t kSmallTables = 4 * kMostTables;

} // namespace

group_table_store::~group_table_store()
{
    clear();
}

line_block::group_entry* group_table_store::take()
{
    if (m_pieces.empty() || m_taken == m_pieces.back().tables) {
        if (m_pieces.size() == m_pieces.capacity())
            m_pieces.reserve(std::max<std::size_t>(16, 2 * m_pieces.size())); // before the memory it would lose
        const bool huge = m_pieces.size() >= kSmallTables;
        const std::size_t tables = huge ? kMostTables : 1;
        const std::size_t bytes = huge ? kHugePage : tables * kTableBytes;
        void* memory = ::operator new(bytes, std::align_val_t{huge ? kHugePage : alignof(group_entry)});
#ifdef MADV_HUGEPAGE
        if (huge)
            ::madvise(memory, bytes, MADV_HUGEPAGE); // a hint: without huge pages all works the same
#endif
        m_pieces.push_back({static_cast<group_entry*>(memory), tables, huge});
        m_taken = 0;
    }
    return m_pieces.back().entries + m_taken++ * kGroups;
}

void group_table_store::clear()
{
    for (const piece& p : m_pieces)
        ::operator delete(p.entries, std::align_val_t{p.huge ? kHugePage : alignof(group_entry)});
    m_pieces.clear();
    m_taken = 0;
}

uint64_t group_table_store::memory_bytes() const
{
    uint64_t bytes = m_pieces.capacity() * sizeof(piece);
    for (const piece& p : m_pieces)
        bytes += p.huge ? kHugePage : p.tables * kTableBytes;
    return bytes;
}

// ---- the index -------------------------------------------------------------------

uint64_t line_index::lookups::line_count() const
{
    return m_index.m_line_total;
}

int64_t line_index::lookups::first_slot() const
{
    return m_index.m_blocks.empty() ? -1 : static_cast<int64_t>(m_index.m_first_slot);
}

uint64_t line_index::lookups::block_count() const
{
    return m_index.m_blocks.size();
}

line_block_shape line_index::lookups::block_shape(uint64_t k) const
{
    if (k >= m_index.m_blocks.size())
        return {};
    const line_block& block = m_index.m_blocks[static_cast<std::size_t>(k)];
    return {block.forward(), block.used()};
}

void line_index::writer::add_lines(const line_span* spans, std::size_t count, bool at_end)
{
    // Most lines of a log are short and one line end apart: a run of them
    // goes into the back block (appending) or the front block (prepending)
    // at one byte each without the checks of add_one.
    const uint64_t shortest_long =
        m_target.m_line_limit > 0 ? m_target.m_line_limit : std::numeric_limits<uint64_t>::max();
    std::deque<line_block>& blocks = m_target.m_blocks;
    for (std::size_t i = 0; i < count;) {
        if (!blocks.empty()) {
            line_block& edge = at_end ? blocks.back() : blocks.front();
            const uint32_t run = edge.forward() == at_end ? edge.add_short_run(spans + i, count - i, shortest_long) : 0;
            if (run > 0) {
                m_target.m_line_total += run;
                if (!at_end)
                    m_target.m_first_slot = kLinesPerBlock - edge.used();
                i += run;
                if (edge.full())
                    edge.compact();
                continue;
            }
        }
        m_target.add_one(spans[i].offset, spans[i].length, at_end);
        ++i;
    }
}

void line_index::writer::add_line(int64_t offset, uint64_t length, bool at_end)
{
    m_target.add_one(offset, length, at_end);
}

void line_index::writer::clear()
{
    m_target.m_blocks.clear();
    m_target.m_block_at.clear();
    m_target.m_tables.clear();
    m_target.m_first_slot = 0;
    m_target.m_line_total = 0;
    m_target.m_long_lines = 0;
}

void line_index::writer::set_line_limit(uint64_t bytes)
{
    m_target.m_line_limit = bytes;
}

bool line_index::add_one(int64_t offset, uint64_t length, bool at_end)
{
    if (length == 0)
        return false; // no line is empty
    if (at_end) {
        // Backward blocks always end at the line that made them: appending
        // goes on in a new block.
        if (m_blocks.empty() || m_blocks.back().full() || !m_blocks.back().forward()) {
            m_blocks.emplace_back(offset, true, m_blocks.empty() ? -1 : m_blocks.back().usual_gap(), m_tables.take());
            m_block_at.push_back(place_of(m_blocks.back()));
        }
        line_block& back = m_blocks.back();
        back.add(offset, length);
        m_block_at.back().gap = back.gap(); // known from the block's second line on
        if (back.full())
            back.compact();
    } else {
        if (m_blocks.empty() || m_blocks.front().full() || m_blocks.front().forward()) {
            m_blocks.emplace_front(offset, false, m_blocks.empty() ? -1 : m_blocks.front().usual_gap(),
                                   m_tables.take());
            m_block_at.insert(m_block_at.begin(), place_of(m_blocks.front()));
        }
        line_block& front = m_blocks.front();
        front.add(offset, length);
        m_block_at.front().gap = front.gap();
        m_first_slot = kLinesPerBlock - front.used();
        if (front.full())
            front.compact();
    }
    ++m_line_total;
    if (m_line_limit > 0 && length > m_line_limit)
        ++m_long_lines;
    return true;
}

line_index::block_place line_index::place_of(const line_block& block)
{
    return {block.groups(), &block, block.base(), block.gap(), block.forward()};
}

void line_index::find(uint64_t n, std::size_t& block, uint32_t& place) const
{
    // Every block but the front and the back one is full, and the front one
    // is filled up to its end: numbering its slots from the front block's
    // first one makes line n slot n + first slot of the blocks laid end to end.
    const uint64_t t = n + m_first_slot;
    block = static_cast<std::size_t>(t / kLinesPerBlock);
    const auto slot = static_cast<uint32_t>(t % kLinesPerBlock);
    place = block == 0 ? slot - static_cast<uint32_t>(m_first_slot) : slot;
}

void line_index::lookups::hold_group(const line_block& block, line_cursor& cursor) const
{
    cursor.first = block.group_lines(cursor.line, cursor.offsets, cursor.lengths, cursor.count);
}

bool line_index::lookups::locate(uint64_t n, line_cursor& cursor) const
{
    if (n >= m_index.m_line_total)
        return false;
    m_index.find(n, cursor.block, cursor.line);
    hold_group(m_index.m_blocks[cursor.block], cursor);
    return true;
}

bool line_index::lookups::advance(line_cursor& cursor) const
{
    if (cursor.line + 1 < cursor.first + cursor.count) {
        ++cursor.line;
        return true;
    }
    const std::deque<line_block>& blocks = m_index.m_blocks;
    if (cursor.block >= blocks.size())
        return false;
    if (cursor.line + 1 < blocks[cursor.block].used()) {
        ++cursor.line;
        hold_group(blocks[cursor.block], cursor);
        return true;
    }
    if (cursor.block + 1 >= blocks.size() || blocks[cursor.block + 1].used() == 0)
        return false;
    ++cursor.block;
    cursor.line = 0;
    hold_group(blocks[cursor.block], cursor);
    return true;
}

void line_index::lookups::line_at(const line_cursor& cursor, int64_t& offset, uint64_t& length) const
{
    const uint32_t j = cursor.line - cursor.first;
    offset = cursor.offsets[j];
    length = cursor.lengths[j];
}

void line_index::lookups::line_at(const line_cursor& cursor, int64_t& offset, uint32_t& length) const
{
    uint64_t whole;
    line_at(cursor, offset, whole);
    length = static_cast<uint32_t>(std::min<uint64_t>(whole, std::numeric_limits<uint32_t>::max()));
}

bool line_index::lookups::line(uint64_t n, int64_t& offset, uint64_t& length) const
{
    if (n >= m_index.m_line_total)
        return false;
    // Slots as in find: a forward block's code k is its slot k (a forward
    // block is first only when nothing came before it), a backward block's
    // the slots counted from its end (a backward block is full or first,
    // and the first is filled up to its end).
    const uint64_t t = n + m_index.m_first_slot;
    const block_place& block = m_index.m_block_at[static_cast<std::size_t>(t / kLinesPerBlock)];
    const auto slot = static_cast<uint32_t>(t % kLinesPerBlock);
    const uint32_t k = block.forward ? slot : line_block::kLines - 1 - slot;
    const uint32_t j = k % kGroup;
    const group_entry& entry = block.groups[k / kGroup];
    if (entry.rest & line_block::kMixedGroup) [[unlikely]]
        return mixed_line(block, k, offset, length);
    const int64_t distance = quick_distance(entry, j, block.gap, block.forward);
    length = entry.codes[j];
    offset = block.forward ? block.base + distance : block.base - distance;
    return true;
}

bool line_index::lookups::mixed_line(const block_place& block, uint32_t k, int64_t& offset, uint64_t& length)
{
    int64_t distance;
    block.block->mixed_code_at(k, distance, length);
    offset = block.forward ? block.base + distance : block.base - distance;
    return true;
}

bool line_index::lookups::line_from(int64_t position, uint64_t& number, int64_t& offset, uint64_t& length) const
{
    const std::deque<line_block>& blocks = m_index.m_blocks;
    // The last block whose first line starts at or before position.
    std::size_t low = 0;
    std::size_t high = blocks.size();
    if (high == 0 || blocks[0].first_start() > position)
        return false;
    while (high - low > 1) {
        const std::size_t mid = low + (high - low) / 2;
        if (blocks[mid].first_start() <= position)
            low = mid;
        else
            high = mid;
    }
    const int64_t place = blocks[low].last_line_from(position);
    if (place < 0)
        return false;
    const uint64_t first_number = low == 0 ? 0 : low * kLinesPerBlock - m_index.m_first_slot;
    number = first_number + static_cast<uint64_t>(place);
    blocks[low].line(static_cast<uint32_t>(place), offset, length);
    return true;
}

int64_t line_index::lookups::last_line_end() const
{
    return m_index.m_blocks.empty() ? -1 : m_index.m_blocks.back().last_end();
}

int64_t line_index::lookups::first_line_start() const
{
    return m_index.m_blocks.empty() ? -1 : m_index.m_blocks.front().first_start();
}

uint64_t line_index::lookups::line_limit() const
{
    return m_index.m_line_limit;
}

uint64_t line_index::lookups::cut_length(uint64_t length) const
{
    return m_index.m_line_limit > 0 ? std::min(length, m_index.m_line_limit) : length;
}

uint64_t line_index::lookups::long_line_count() const
{
    return m_index.m_long_lines;
}

uint64_t line_index::lookups::memory_bytes() const
{
    uint64_t bytes =
        sizeof(line_index) + m_index.m_block_at.capacity() * sizeof(block_place) + m_index.m_tables.memory_bytes();
    for (const line_block& block : m_index.m_blocks)
        bytes += block.memory_bytes();
    return bytes;
}
