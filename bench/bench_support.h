// What the benchmarks share: the clock, sizes given as "512M" or "1G", and a
// small fast random generator whose sequence is the same on every run.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using clock_type = std::chrono::steady_clock;

inline double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// The size text means ("64k", "512M", "1.5G"; a plain number is bytes); 0
// when it is no positive size.
inline uint64_t parse_size(const char* text)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (!end || value <= 0)
        return 0;
    double factor = 1;
    switch (*end) {
    case 'k':
    case 'K': factor = 1024.0; break;
    case 'm':
    case 'M': factor = 1024.0 * 1024; break;
    case 'g':
    case 'G': factor = 1024.0 * 1024 * 1024; break;
    default: break;
    }
    return static_cast<uint64_t>(value * factor);
}

struct xorshift {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

// Reads the file once, so that what follows finds it in the page cache.
inline void warm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 22);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {}
}
