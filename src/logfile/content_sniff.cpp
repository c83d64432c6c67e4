#include "logfile/content_sniff.h"

#include "logfile/line_text.h"

#include <cstring>

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// A unit below 0x80 that no text holds: C0 controls other than tab, line
// feed, vertical tab, form feed, carriage return and escape, and DEL.  Zero
// is counted on its own.
bool IsControl(unsigned value)
{
    if (value == 0x7F)
        return true;
    if (value == 0 || value >= 0x20)
        return false;
    return !(value >= 0x09 && value <= 0x0D) && value != 0x1B;
}

// Whether the eight bytes of word are all printable ASCII (0x20 to 0x7E).
bool AllPrintable(uint64_t word)
{
    if (word & kHighs)
        return false;
    // No high bits, so these byte-wise tests do not borrow across bytes.
    const uint64_t below_space = (word - kOnes * 0x20) & ~word & kHighs;
    const uint64_t del = word ^ (kOnes * 0x7F);
    const uint64_t has_del = (del - kOnes) & ~del & kHighs;
    return (below_space | has_del) == 0;
}

// The range the second byte of a sequence must lie in, by its lead byte
// (the later continuation bytes are always 0x80 to 0xBF); length 0 for a
// byte that leads no sequence.
struct lead_rule {
    int length;
    unsigned char low;
    unsigned char high;
};

lead_rule LeadRule(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF}; // no overlong forms
    if (lead == 0xED)
        return {3, 0x80, 0x9F}; // no surrogates
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF}; // no overlong forms
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F}; // nothing above U+10FFFF
    return {0, 0, 0};
}

} // namespace

text_census CensusUtf8(std::string_view bytes)
{
    text_census census;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    census.units = size;
    std::size_t i = 0;
    while (i < size) {
        if (i + 8 <= size) {
            uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (AllPrintable(word)) {
                i += 8;
                continue;
            }
        }
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            if (lead == 0)
                ++census.zeros;
            else if (IsControl(lead))
                ++census.controls;
            ++i;
            continue;
        }
        const lead_rule rule = LeadRule(lead);
        if (rule.length == 0) {
            ++census.invalid;
            ++i;
            continue;
        }
        bool valid = true;
        bool cut = false;
        for (int k = 1; k < rule.length; ++k) {
            if (i + static_cast<std::size_t>(k) >= size) {
                cut = true;
                break;
            }
            const unsigned char next = data[i + static_cast<std::size_t>(k)];
            const unsigned char low = k == 1 ? rule.low : 0x80;
            const unsigned char high = k == 1 ? rule.high : 0xBF;
            if (next < low || next > high) {
                valid = false;
                break;
            }
        }
        if (cut)
            break; // the rest of the bytes are the start of a valid sequence
        if (!valid) {
            ++census.invalid;
            ++i;
            continue;
        }
        ++census.multi_unit;
        i += static_cast<std::size_t>(rule.length);
    }
    return census;
}

text_census CensusUtf16(std::string_view bytes, bool little_endian)
{
    text_census census;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t count = bytes.size() / 2;
    census.units = count;
    auto unit = [&](std::size_t k) {
        const unsigned char* p = data + 2 * k;
        return little_endian ? static_cast<unsigned>(p[0] | p[1] << 8) : static_cast<unsigned>(p[0] << 8 | p[1]);
    };
    std::size_t k = 0;
    while (k < count) {
        const unsigned value = unit(k);
        if (value >= 0xD800 && value <= 0xDBFF) {
            if (k + 1 == count)
                break; // cut by the end
            const unsigned next = unit(k + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                ++census.multi_unit;
                k += 2;
            } else {
                ++census.invalid;
                ++k;
            }
            continue;
        }
        if (value >= 0xDC00 && value <= 0xDFFF)
            ++census.invalid;
        else if (value == 0)
            ++census.zeros;
        else if (IsControl(value))
            ++census.controls;
        ++k;
    }
    return census;
}

bool LooksBinary(const text_census& census)
{
    if (census.zeros > 0)
        return true;
    const uint64_t not_text = census.controls + census.invalid;
    return not_text * 2 > census.units && census.controls * 16 >= census.units;
}

content_sniff SniffContent(std::string_view head)
{
    content_sniff sniff;
    if (head.size() < 2)
        return sniff;
    if (head.size() > kSniffBytes)
        head = head.substr(0, kSniffBytes);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    if (byte(0) == 0xFF && byte(1) == 0xFE) {
        sniff.encoding = ENCODING_UCS2LE;
        sniff.has_bom = true;
        sniff.binary = LooksBinary(CensusUtf16(head.substr(2), true));
        return sniff;
    }
    if (byte(0) == 0xFE && byte(1) == 0xFF) {
        sniff.encoding = ENCODING_UCS2BE;
        sniff.has_bom = true;
        sniff.binary = LooksBinary(CensusUtf16(head.substr(2), false));
        return sniff;
    }
    if (head.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        sniff.encoding = ENCODING_UTF8;
        sniff.has_bom = true;
        sniff.binary = LooksBinary(CensusUtf8(head.substr(3)));
        return sniff;
    }
    const text_census census = CensusUtf8(head);
    sniff.encoding = census.invalid == 0 && census.multi_unit > 0 ? ENCODING_UTF8 : ENCODING_ANSI;
    sniff.binary = LooksBinary(census);
    return sniff;
}
