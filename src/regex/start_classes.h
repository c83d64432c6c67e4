// What every match of a compiled pattern begins with, position by position:
// the characters a match can hold at its first, second, ... position, and the
// least number of characters a match consumes.  A scan for these may reject a
// text, or the bytes of a file, before any search runs, and the search may
// skip every start position whose characters do not fit.
//
// Thread-safety: plain values.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// A set of 16-bit characters: a table below 256, sorted ranges above.
class CCharSetT {
public:
    bool Has(char16_t c) const
    {
        if (c < 256)
            return (m_low[c >> 6] >> (c & 63)) & 1u;
        return HasHigh(c);
    }
    void Add(char16_t c) { AddRange(c, c); }
    // Adds low to high, both included; nothing when low > high.
    void AddRange(char16_t low, char16_t high);
    void AddAll() { AddRange(0, 0xFFFF); }
    void Merge(const CCharSetT& other);
    bool IsEmpty() const;
    // The set's characters as ascending, disjoint, non-adjacent ranges (inclusive).
    std::vector<std::pair<char16_t, char16_t>> Ranges() const;
    bool operator==(const CCharSetT& other) const = default;

private:
    bool HasHigh(char16_t c) const;

    uint64_t m_low[4] = {};
    std::vector<std::pair<char16_t, char16_t>> m_high; // at or above 256: sorted, disjoint, non-adjacent
};

struct CStartClassesT {
    static constexpr int kMaxPositions = 16;

    // Every match consumes at least this many characters (counted up to kMaxPositions).
    int min_length = 0;
    // The positions described: for o below known (at most min_length), the
    // character at a match's start plus o lies in sets[o].  0 when nothing is
    // known (a pattern that can match the empty text, or that begins with a
    // back-reference, a recursion or a construct too deep to analyse).
    int known = 0;
    CCharSetT sets[kMaxPositions];

    // Whether the characters at text[start..] fit: start + min_length <= length
    // and each known position's character lies in its set.
    bool FitsAt(const char16_t* text, int length, int start) const
    {
        if (start < 0 || length - start < min_length)
            return false;
        for (int o = 0; o < known; ++o)
            if (!sets[o].Has(text[start + o]))
                return false;
        return true;
    }
    // The first start at or after from where they fit; -1 when there is none.
    int FindIn(const char16_t* text, int length, int from) const;
};
