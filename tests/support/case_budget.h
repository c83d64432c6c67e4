// How many cases a randomized test runs.  The cases come from a seeded
// generator, so case k is the same on every run; only how far a run gets
// depends on the build and the machine.  A floor of cases always runs; past
// the floor the test goes on while its time budget lasts, up to the full
// count.  A release build on a quiet machine runs every case; a sanitizer
// build, many times slower, or a loaded machine runs the floor and what fits.
// The assertions of such a test must hold for any count from the floor up.
#pragma once

#include <chrono>

class case_budget {
public:
    // Up to full cases, at least floor of them, the rest while budget lasts.
    case_budget(int floor, int full, std::chrono::milliseconds budget = std::chrono::seconds(5))
        : m_floor(floor), m_full(full), m_deadline(std::chrono::steady_clock::now() + budget)
    {}

    // Whether case number done (counted from 0) should run.
    bool more(int done) const
    {
        if (done >= m_full)
            return false;
        return done < m_floor || std::chrono::steady_clock::now() < m_deadline;
    }

private:
    int m_floor;
    int m_full;
    std::chrono::steady_clock::time_point m_deadline;
};
