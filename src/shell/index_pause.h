// Pauses a file's index thread for a scope when it runs: a window parse
// must not meet the thread's backward scan.
//
// Thread-safety: interface thread only.
#pragma once

#include "work/work_data.h"

class index_pause {
public:
    explicit index_pause(CWorkData& file) : m_thread(file.file.indexer())
    {
        m_paused = m_thread.is_running();
        if (m_paused)
            m_thread.pause();
    }
    ~index_pause()
    {
        if (m_paused)
            m_thread.resume();
    }
    index_pause(const index_pause&) = delete;
    index_pause& operator=(const index_pause&) = delete;

private:
    index_thread& m_thread;
    bool m_paused = false;
};
