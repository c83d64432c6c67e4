// The application's open files, one file_view per tab, and the open-files
// lock.  Views are known by their serial id: the tabs keep their own order.
#pragma once

#include "work/file_view.h"

#include <cstdint>

#include <memory>
#include <vector>

// Thread-safety: the array is reachable only through an access, which holds
// the open-files lock for its life.  The work thread appends, the interface
// thread looks up and removes.
class open_file_list {
public:
    using files = std::vector<std::unique_ptr<file_view>>;

    class access {
    public:
        explicit access(open_file_list& list) : m_hold(list.m_lock), m_files(list.m_files) {}
        files* operator->() { return &m_files; }
        files& operator*() { return m_files; }
        // The file at index, null when index is out of range.
        file_view* at(int index)
        {
            return index >= 0 && static_cast<std::size_t>(index) < m_files.size()
                       ? m_files[static_cast<std::size_t>(index)].get()
                       : nullptr;
        }
        // The index of data, -1 when it is not in the array.
        int index_of(const file_view* data) const;
        // The view with that id, null when none has it (any more).
        file_view* find(uint64_t id) const;

    private:
        life_lock m_hold;
        files& m_files;
    };

    access lock() { return access(*this); }
    // Appends data at the end; returns the observing pointer.
    file_view* append(std::unique_ptr<file_view> data);
    // Deletes the file at index; false when index is out of range.
    bool remove(int index);
    // Deletes the view with that id; false when none has it.
    bool remove_id(uint64_t id);
    // The view with that id, null when none has it.  The pointer stays good
    // until the interface thread removes the view (never while a job runs).
    file_view* find(uint64_t id) { return lock().find(id); }
    std::size_t size() { return lock()->size(); }
    // Deletes every file.
    void clear();

private:
    native_lock m_lock;
    files m_files;
};
