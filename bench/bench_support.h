// What the benchmarks share: the clock, sizes given as "512M" or "1G", and a
// small fast random generator whose sequence is the same on every run.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
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

// The work two threads get done per second beside one thread's, spinning
// on this machine now: 2.0 when a second core is free, 1.0 when the run
// gets one core's time however many threads it has.  The baseline for the
// figures on every core beside those on one thread.
inline double two_thread_capacity()
{
    const uint64_t steps = 300000000;
    auto spin = [steps] {
        volatile uint64_t sum = 0;
        for (uint64_t i = 0; i < steps; ++i)
            sum = sum + i;
    };
    auto start = clock_type::now();
    spin();
    const double one = seconds_since(start);
    start = clock_type::now();
    std::thread other(spin);
    spin();
    other.join();
    const double two = seconds_since(start);
    return 2 * one / two;
}

// The processor time of the whole process so far, every thread's.
inline double process_seconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The middle of the figures (the higher of the two middle ones); 0 for none.
inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
