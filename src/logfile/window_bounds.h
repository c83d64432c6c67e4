// Where a log file's parsed window lies: its first and last line numbers
// (-1 when there is none) and what the last parse did, under one lock, the
// window lock.  The scan that prepends lines moves the numbers with them.
#pragma once

#include "logfile/primitives.h"

#include <cstdint>

// What the last window parse did, for diagnostics and tests.
struct parse_counts {
    uint64_t visited = 0; // index slots visited
    uint64_t reused = 0;  // lines taken over from the old window
    uint64_t reads = 0;   // reads of the file
    uint64_t bytes_read = 0;
    uint64_t converted = 0; // lines converted into wide text
    uint64_t split = 0;     // lines split into columns
};

class window_bounds {
public:
    void get(int64_t& first, int64_t& last) const
    {
        life_lock hold(m_lock);
        first = m_first;
        last = m_last;
    }
    void set(int64_t first, int64_t last)
    {
        life_lock hold(m_lock);
        m_first = first;
        m_last = last;
    }
    // The numbers of a finished parse together with its counts.
    void set(int64_t first, int64_t last, const parse_counts& counts)
    {
        life_lock hold(m_lock);
        m_first = first;
        m_last = last;
        m_counts = counts;
    }
    parse_counts counts() const
    {
        life_lock hold(m_lock);
        return m_counts;
    }
    // Runs read under the window lock: for reads that must see the numbers
    // together with something taken after the window lock (the index).
    template <class Read>
    void read(Read&& read) const
    {
        life_lock hold(m_lock);
        read(m_first, m_last);
    }
    // Runs prepend (which adds count lines before the first indexed one)
    // under the window lock and moves the numbers by count.
    template <class Prepend>
    void prepend(int64_t count, Prepend&& prepend)
    {
        life_lock hold(m_lock);
        prepend();
        if (m_first != -1) {
            m_first += count;
            m_last += count;
        }
    }

private:
    mutable native_lock m_lock;
    int64_t m_first = -1;
    int64_t m_last = -1;
    parse_counts m_counts;
};
