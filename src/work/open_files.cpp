#include "work/open_files.h"

int open_file_list::access::index_of(const file_view* data) const
{
    for (std::size_t i = 0; i < m_files.size(); ++i)
        if (m_files[i].get() == data)
            return static_cast<int>(i);
    return -1;
}

file_view* open_file_list::access::find(uint64_t id) const
{
    for (const auto& view : m_files)
        if (view->id() == id)
            return view.get();
    return nullptr;
}

bool open_file_list::remove_id(uint64_t id)
{
    int index = -1;
    {
        access held(*this);
        index = held.index_of(held.find(id));
    }
    return index >= 0 && remove(index);
}

file_view* open_file_list::append(std::unique_ptr<file_view> data)
{
    access held(*this);
    held->push_back(std::move(data));
    return held->back().get();
}

bool open_file_list::remove(int index)
{
    std::unique_ptr<file_view> removed;
    {
        access held(*this);
        if (index < 0 || static_cast<std::size_t>(index) >= held->size())
            return false;
        removed = std::move((*held)[static_cast<std::size_t>(index)]);
        held->erase(held->begin() + index);
    }
    // The file (and its index thread) ends outside the lock.
    return true;
}

void open_file_list::clear()
{
    files removed;
    {
        access held(*this);
        removed.swap(*held);
    }
}
