// Finding where bytes of a given shape start in a buffer: position o of a
// start must hold a byte of set o.  The kernel of the pre-scan for regular
// expressions without a required literal, whose matches begin with known
// classes of characters.
//
// The vector loops test two of the positions, those whose sets are rarest in
// log text, against a cover of each set by at most four ranges of bytes;
// every place they pass is then checked against the exact sets.
//
// Thread-safety: immutable once built; any number of threads may use one.
#pragma once

#include "search/byte_finder.h"

#include <array>
#include <cstddef>
#include <vector>

using byte_set = std::array<bool, 256>;

class class_finder final : public byte_scanner {
public:
    static constexpr int kMaxRanges = 4;

    // sets must not be empty.
    explicit class_finder(std::vector<byte_set> sets);

    std::size_t find(const char* data, std::size_t length, std::size_t from = 0) const override;
    // The same with a named code path ("avx2", "sse2" or "portable"); npos
    // as well when this processor or build lacks it.
    std::size_t find_using(const char* kind, const char* data, std::size_t length, std::size_t from) const;
    std::size_t size() const override { return m_sets.size(); }

    // Whether data[0..size()) fits the sets.
    bool matches_at(const char* data) const
    {
        for (std::size_t o : m_order)
            if (!m_sets[o][static_cast<unsigned char>(data[o])])
                return false;
        return true;
    }
    // The positions the vector loops test (one or two; none when every set
    // holds every byte).
    std::vector<std::size_t> probe_positions() const;

    // How common the bytes of set are in log text, roughly their share in
    // hundredths of a per cent summed; the lower, the better a position
    // sifts.
    static double commonness(const byte_set& set);

private:
    struct probe {
        std::size_t offset = 0;
        unsigned char low[kMaxRanges] = {};  // range starts
        unsigned char span[kMaxRanges] = {}; // range lengths minus one
    };

    std::size_t find_on(simd_path path, const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_portable(const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_sse2(const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_avx2(const char* data, std::size_t length, std::size_t from) const;

    std::vector<byte_set> m_sets;
    std::vector<std::size_t> m_order; // positions, rarest first: the order matches_at tests them
    probe m_probes[2];
    int m_probe_count = 0;
};
