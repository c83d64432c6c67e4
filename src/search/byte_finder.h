// Finding a string of bytes in a buffer, exactly or with the ASCII letters
// compared ignoring case: the kernel of the literal pre-scan of find in file.
//
// Thread-safety: a finder is immutable once built; any number of threads may
// use one at once.
#pragma once

#include "search/simd_path.h"

#include <cstddef>
#include <string>
#include <string_view>

// A kernel of the byte pre-scan: where bytes of a given shape start in a
// buffer.
class byte_scanner {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    virtual ~byte_scanner() = default;
    // The first start at or after from whose size() bytes all lie inside
    // data[0..length) and fit; npos when there is none.
    virtual std::size_t find(const char* data, std::size_t length, std::size_t from) const = 0;
    // The bytes one start spans (at least 1).
    virtual std::size_t size() const = 0;
};

class byte_finder final : public byte_scanner {
public:
    // needle must not be empty.  With fold_ascii, A-Z and a-z in the needle
    // match either case; every other byte matches only itself.
    byte_finder(std::string_view needle, bool fold_ascii);

    // The first start of the needle at or after from with the whole needle
    // inside data[0..length); npos when there is none.
    std::size_t find(const char* data, std::size_t length, std::size_t from = 0) const override;
    // The same with a named code path ("avx2", "sse2" or "portable"); npos
    // as well when this processor or build lacks it.  For checking the
    // paths against each other.
    std::size_t find_using(const char* kind, const char* data, std::size_t length, std::size_t from) const;

    std::size_t size() const override { return m_needle.size(); }
    bool folds() const { return m_fold; }
    // The code path find() uses ("avx2", "sse2" or "portable").
    static const char* kind();

    // Whether data[0..size()) equals the needle under this finder's rule.
    bool matches_at(const char* data) const;

private:
    std::size_t find_on(simd_path path, const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_portable(const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_sse2(const char* data, std::size_t length, std::size_t from) const;
    std::size_t find_avx2(const char* data, std::size_t length, std::size_t from) const;

    std::string m_needle; // letters lower-cased when folding
    std::string m_masks;  // per needle byte: 0x20 for a folded letter, else 0
    bool m_fold;
};
