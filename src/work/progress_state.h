// What the work thread is doing, for the progress dialog to show.
#pragma once

#include "logfile/primitives.h"

#include <string>

struct tagPROGRESS_STATE {
    int file_number = 0;   // 1-based number of the file worked on; 0 when reset
    int current = -1;      // lines done; -1 when unknown
    int total = -1;        // end of the position range; -1 when unknown
    std::u16string action; // localised text of the current step
    std::u16string object; // the file name worked on

    // File number 0, current and total -1, both texts empty.
    void reset() { *this = tagPROGRESS_STATE(); }
};

// The one progress record and its lock.  Thread-safe: the state is reachable
// only through an access, which holds the lock for its life.
class progress_record {
public:
    class access {
    public:
        explicit access(progress_record& record) : m_hold(record.m_lock), m_state(record.m_state) {}
        tagPROGRESS_STATE* operator->() { return &m_state; }
        tagPROGRESS_STATE& operator*() { return m_state; }

    private:
        life_lock m_hold;
        tagPROGRESS_STATE& m_state;
    };

    access lock() { return access(*this); }
    // A copy taken under the lock.
    tagPROGRESS_STATE snapshot()
    {
        access held(*this);
        return *held;
    }
    void reset() { lock()->reset(); }

private:
    native_lock m_lock;
    tagPROGRESS_STATE m_state;
};
