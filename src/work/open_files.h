// The application's open files, one CWorkData per tab in tab order, and the
// open-files lock.
#pragma once

#include "work/work_data.h"

#include <memory>
#include <vector>

// Thread-safety: the array is reachable only through an access, which holds
// the open-files lock for its life.  The work thread appends, the interface
// thread looks up and removes.
class open_file_list {
public:
    using files = std::vector<std::unique_ptr<CWorkData>>;

    class access {
    public:
        explicit access(open_file_list& list) : m_hold(list.m_lock), m_files(list.m_files) {}
        files* operator->() { return &m_files; }
        files& operator*() { return m_files; }
        // The file at index, null when index is out of range.
        CWorkData* at(int index)
        {
            return index >= 0 && static_cast<std::size_t>(index) < m_files.size()
                       ? m_files[static_cast<std::size_t>(index)].get()
                       : nullptr;
        }
        // The index of data, -1 when it is not in the array.
        int index_of(const CWorkData* data) const;

    private:
        life_lock m_hold;
        files& m_files;
    };

    access lock() { return access(*this); }
    // Appends data at the end; returns the observing pointer.
    CWorkData* append(std::unique_ptr<CWorkData> data);
    // Deletes the file at index; false when index is out of range.
    bool remove(int index);
    std::size_t size() { return lock()->size(); }
    // Deletes every file.
    void clear();

private:
    native_lock m_lock;
    files m_files;
};
